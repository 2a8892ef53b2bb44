// What the driver of an open line holds, asked without waiting.
#include "linestate.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#  include <poll.h>
#  include <sys/ioctl.h>
#endif

namespace LineState {

bool hasRoom(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd p{ int(port.handle()), POLLOUT, 0 };
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT);
#else
    Q_UNUSED(port);
    return true;
#endif
}

bool holdsBytes(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    int queued = 0;
    return ::ioctl(int(port.handle()), TIOCOUTQ, &queued) == 0 && queued > 0;
#else
    Q_UNUSED(port);
    return false;
#endif
}

bool hungUp(const QSerialPort &port)
{
#ifdef Q_OS_UNIX
    pollfd p{ int(port.handle()), POLLIN, 0 };
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLHUP | POLLERR));
#else
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace LineState
