// The program as a test sees it: the main frame on virtual cards with scripted dialogs, and
// the operator's hands.
#pragma once

#include "app/mdiform1.h"
#include "app/qtdialogs.h"
#include "controls/controlregistry.h"
#include "controls/controlwindow.h"
#include "virtualcard/cardrig.h"
#include "virtualcard/scripteddialogs.h"

#include <QButtonGroup>
#include <QTest>
#include <functional>
#include <memory>

// The real Qt boxes and dialogs, with the ending recorded instead of carried out.
struct RealDialogs : QtDialogs
{
    QList<int> endings;
    void endProgram(int exitCode) override { endings << exitCode; }
};

struct Desk
{
    CardRig rig;
    ScriptedDialogs dialogs;
    RealDialogs real;
    std::unique_ptr<MDIForm1> frame;

    // COM numbers in `missing` have no card, those in `busy` are held by another program;
    // `ports`, when given, names the devices instead, and no card is made. Start-up runs unless
    // `load` is false; the frame asks through the real Qt dialogs when `realDialogs` is true,
    // through the scripted ones otherwise.
    explicit Desk(const QSet<int> &missing = {}, const QSet<int> &busy = {}, bool load = true,
                  bool realDialogs = false, PortMap ports = {});

    template <class T = QWidget>
    T *find(const QString &name) const
    {
        return frame->findChild<T *>(name);
    }
    // "lit" or "unlit".
    QString lamp() const;
    // 0 when no port button is down.
    int checkedPort() const { return std::max(0, frame->findChild<QButtonGroup *>()->checkedId()); }
    // New > Slider or New > Preset from the menu, answered with `channel`, the default name and
    // the preset rows as they stand, or with the answers already scripted when `channel` is 0.
    ControlWindow *add(ControlRegistry::ControlKind kind, int channel);
    // The bytes COMn's card has received since the last look, waiting up to `ms` for `count` of
    // them.
    QByteArray wire(int com, int count = 2, int ms = 2000) { return rig.takeBytes(com, count, ms); }
};

// A data-driven test's rows, each a struct named by its `name`, in the column "row".
template <class Row>
void addRows(std::initializer_list<Row> rows)
{
    QTest::addColumn<Row>("row");
    for (const Row &row : rows)
        QTest::newRow(QString(row.name).toUtf8().constData()) << row;
}

// The two bytes of one frame.
QByteArray frame(int channel, int value);

// The text a screen reader reads of a text box as the one run of attributes at its second
// character.
QString readAsOneRun(QWidget *box);

// A left click in the middle of `widget`, or at `at`.
void click(QWidget *widget, QPoint at = {});
// Holds `key` down as a hand does, delivered as the window system delivers it to whatever
// window has the keyboard at each moment: the press, `repeats` repeats 30 ms apart, the
// release; `midway` while it is down, then `then`. Under X each repeat is a release and a press
// with one timestamp: Qt marks the pair as a repeat when it reads X in time, and when it does
// not (a busy machine), the press comes a turn of the event loop after the release, neither
// marked. Odd repeats come the first way, even ones the second. Each key has a timer of its
// own, so that a box that a key opens, with its own event loop, does not stop the hand.
void hold(QObject *owner, Qt::Key key, std::function<void()> midway, std::function<void()> then,
          int repeats = 9);

// What the desk has told a screen reader, in order, since the list was last cleared: each focus
// change ("focus Channel 9 level") and each notification ("say COM1 open").
QStringList &told();
