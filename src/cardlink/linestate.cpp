// What the driver of an open line holds, asked without waiting.
#include "linestate.h"

#include <QSerialPort>

#ifdef Q_OS_UNIX
#  include <poll.h>
#  include <sys/ioctl.h>
#  include <termios.h>
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
    const int fd = int(port.handle());
    int queued = 0;
    if (::ioctl(fd, TIOCOUTQ, &queued) == 0 && queued > 0)
        return true;
    // A UART's transmitter still shifting its last bytes out. Drivers without the question
    // (USB adapters, pseudo-terminals) count everything in the queue above.
    unsigned int status = 0;
    return ::ioctl(fd, TIOCSERGETLSR, &status) == 0 && !(status & TIOCSER_TEMT);
#else
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace LineState
