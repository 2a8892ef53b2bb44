// COM1 to COM5 on pseudo-terminals, with ports that can be made missing or held.
#include "ptyports.h"

#include <QCoreApplication>
#include <QElapsedTimer>

PtyPorts::PtyPorts()
{
    for (auto &pty : m_ptys)
        pty = std::make_unique<PtyPair>();
}

PortMap PtyPorts::map()
{
    return [this](int com) -> QString {
        if (com < 1 || com > kPorts)
            return {};
        if (m_missing[com - 1])
            return QStringLiteral("/dev/lumidesk-test-missing-%1").arg(com);
        return m_ptys[com - 1]->slavePath();
    };
}

void PtyPorts::hold(int com)
{
    auto holder = std::make_unique<QSerialPort>(m_ptys[com - 1]->slavePath());
    holder->open(QIODevice::ReadWrite);
    m_holders[com - 1] = std::move(holder);
}

void PtyPorts::release(int com)
{
    m_holders[com - 1].reset();
}

void PtyPorts::replug(int com)
{
    m_ptys[com - 1] = std::make_unique<PtyPair>();
}

QByteArray readBytes(PtyPair &pty, int count, int timeoutMs)
{
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        got += pty.read(count - int(got.size()), 5);
    }
    return got;
}
