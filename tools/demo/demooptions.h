// The demo's command line: which ports start without a card or held by another program.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

struct DemoOptions
{
    QSet<int> missing; // COM numbers with no card plugged in at start
    QSet<int> busy; // COM numbers held by another program
    QString screenshotDir; // when set: build a desk, photograph it there, and end
    bool monitor = true; // false: no card monitor window (the bench measures the program alone)
    bool help = false;
    QString error; // a bad command line, in words

    static DemoOptions parse(const QStringList &arguments);
    static QString usage();
};
