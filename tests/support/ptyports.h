// COM1 to COM5 on pseudo-terminals, with ports that can be made missing or held.
#pragma once

#include "cardlink/portmap.h"
#include "virtualcard/ptypair.h"

#include <QSerialPort>
#include <array>
#include <memory>

class PtyPorts
{
public:
    static constexpr int kPorts = 5;

    PtyPorts();

    PortMap map();
    PtyPair &pty(int com) { return *m_ptys[com - 1]; }

    // The port's device does not exist.
    void makeMissing(int com) { m_missing[com - 1] = true; }
    void restore(int com) { m_missing[com - 1] = false; }
    // Another handle holds the port open, as another program would.
    void hold(int com);
    void release(int com);
    // Unplugs and plugs a fresh line in at the same COM number.
    void replug(int com);

private:
    std::array<std::unique_ptr<PtyPair>, kPorts> m_ptys;
    std::array<bool, kPorts> m_missing {};
    std::array<std::unique_ptr<QSerialPort>, kPorts> m_holders;
};

// Waits (processing events) until `pty` has at least `count` bytes, up to two seconds.
QByteArray readBytes(PtyPair &pty, int count, int timeoutMs = 2000);
