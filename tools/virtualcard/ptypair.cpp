// A pseudo-terminal standing in for a serial line: the program opens the slave by its path,
// and whoever holds the master reads what the program wrote.
#include "ptypair.h"

#include <QElapsedTimer>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    int master = -1, slave = -1;
    char name[256] = {};
    // Raw from the start: the terminal must not translate or echo the card's bytes, even
    // before the program sets the line up.
    struct termios raw
    {
    };
    cfmakeraw(&raw);
    if (::openpty(&master, &slave, name, &raw, nullptr) != 0)
        return;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    m_master = master;
    m_slaveKeeper = slave;
    m_slavePath = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

QByteArray PtyPair::drain()
{
    QByteArray got;
    if (m_master < 0)
        return got;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break;
    }
    return got;
}

void PtyPair::closeMaster()
{
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}
