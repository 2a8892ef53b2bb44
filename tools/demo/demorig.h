// The demo's bench: five virtual cards on COM1 to COM5, some of them absent or held by
// another program when the operator rehearses faults.
#pragma once

#include "cardlink/portmap.h"
#include "virtualcard/virtualcard.h"

#include <QObject>
#include <QSet>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

struct DemoOptions
{
    QSet<int> missing;     // COM numbers with no card plugged in at start
    QSet<int> busy;        // COM numbers held by another program
    QString screenshotDir; // when set: build a desk, photograph it there, and end
    bool monitor = true;   // false: no card monitor window (the bench measures the program alone)
    bool help = false;
    QString error;         // a bad command line, in words

    static DemoOptions parse(const QStringList &arguments);
    static QString usage();
};

class DemoRig : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPorts = 5;

    explicit DemoRig(const DemoOptions &options, QObject *parent = nullptr);
    ~DemoRig() override;

    PortMap map();
    VirtualCard *card(int com) const { return m_cards[com - 1].get(); }

private:
    void holdLikeAnotherProgram(const QString &device);

    std::array<std::unique_ptr<VirtualCard>, kPorts> m_cards;
    std::vector<int> m_heldFds;
};
