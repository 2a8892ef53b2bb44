// COM1 to COM5 wired to virtual cards on pseudo-terminals, any of them unplugged or held by
// another program when a fault is rehearsed. The demo, the bench and the tests share it.
#pragma once

#include "cardlink/portmap.h"
#include "virtualcard.h"

#include <QObject>
#include <QSet>
#include <array>
#include <memory>

class CardRig : public QObject
{
    Q_OBJECT

public:
    // Cards on every COM number except `missing`; `busy` ones are held by another program.
    explicit CardRig(const QSet<int> &missing = {}, const QSet<int> &busy = {},
                     QObject *parent = nullptr);
    ~CardRig() override;

    // COMn is the n-th card's line while it is plugged in; otherwise there is no such port.
    PortMap map();
    VirtualCard *card(int com) const { return m_cards[com - 1].get(); }

    // Another program opens the line and asks for exclusive access, as terminal programs do.
    void hold(int com);
    void release(int com);

    // Waits, handling events, until COMn's card has `count` bytes not yet taken, up to
    // `timeoutMs`; takes and returns what it has by then.
    QByteArray takeBytes(int com, int count, int timeoutMs = 2000);

private:
    std::array<std::unique_ptr<VirtualCard>, kComPorts> m_cards;
    std::array<int, kComPorts> m_heldFds;
};
