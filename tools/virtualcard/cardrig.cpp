// COM1 to COM5 wired to virtual cards on pseudo-terminals, any of them unplugged or held by
// another program when a fault is rehearsed. The demo, the bench and the tests share it.
#include "cardrig.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

CardRig::CardRig(const QSet<int> &missing, const QSet<int> &busy, QObject *parent) : QObject(parent)
{
    m_heldFds.fill(-1);
    for (int n = 1; n <= kComPorts; ++n) {
        m_cards[n - 1] = std::make_unique<VirtualCard>(!missing.contains(n));
        if (busy.contains(n))
            hold(n);
    }
}

CardRig::~CardRig()
{
    for (int n = 1; n <= kComPorts; ++n)
        release(n);
}

PortMap CardRig::map()
{
    return [this](int n) -> QString {
        if (n < 1 || n > kComPorts || !m_cards[n - 1]->isPlugged())
            return {};
        return m_cards[n - 1]->devicePath();
    };
}

void CardRig::hold(int com)
{
    if (m_heldFds[com - 1] >= 0 || !card(com)->isPlugged())
        return;
    const QByteArray device = QFile::encodeName(card(com)->devicePath());
    const int fd = ::open(device.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    ::ioctl(fd, TIOCEXCL);
    m_heldFds[com - 1] = fd;
}

void CardRig::release(int com)
{
    // The line stays open on the card's side, so exclusive access outlives this descriptor
    // unless it is given up first.
    if (m_heldFds[com - 1] >= 0) {
        ::ioctl(m_heldFds[com - 1], TIOCNXCL);
        ::close(m_heldFds[com - 1]);
    }
    m_heldFds[com - 1] = -1;
}

QByteArray CardRig::takeBytes(int com, int count, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (card(com)->unread().size() < count && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        card(com)->waitForBytes(5);
    }
    return card(com)->takeUnread();
}
