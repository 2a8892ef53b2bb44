// Ends the program cleanly when the system asks it to (shutdown, logout, Ctrl+C in a terminal).
#include "endonsignal.h"

#include <QSocketNotifier>
#include <QWidget>

#ifdef Q_OS_UNIX
#  include <csignal>
#  include <sys/socket.h>
#  include <unistd.h>
#endif

namespace EndOnSignal {

#ifdef Q_OS_UNIX
namespace {

int g_wake[2] = { -1, -1 };

// Only async-signal-safe work here: the event loop picks the signal up from the socket.
void wake(int)
{
    const char byte = 1;
    (void)!::write(g_wake[1], &byte, 1);
}

} // namespace

void install(QWidget &frame)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_wake) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_wake[0], QSocketNotifier::Read, &frame);
    QObject::connect(notifier, &QSocketNotifier::activated, &frame, [notifier, &frame] {
        notifier->setEnabled(false);
        frame.close();
    });
    struct sigaction action
    {
    };
    action.sa_handler = wake;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signal, &action, nullptr);
}
#else
void install(QWidget &) { }
#endif

} // namespace EndOnSignal
