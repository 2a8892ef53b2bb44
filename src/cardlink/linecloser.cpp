// Lets go of ports away from the window's thread.
#include "linecloser.h"

#include <QSerialPort>
#include <QStringList>
#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#  include <fcntl.h>
#  include <unistd.h>
#endif

struct LineCloser::Closing
{
    mutable std::mutex mutex;
    mutable std::condition_variable ended;
    QStringList devices;
};

LineCloser::LineCloser() : m_closing(std::make_shared<Closing>()) { }

void LineCloser::close(QSerialPort &port, const QString &device)
{
#ifdef Q_OS_UNIX
    // A second descriptor of the same open file: Qt's close is then not the last one, and
    // returns at once, while the driver's wait falls to the copy.
    const int last = ::fcntl(int(port.handle()), F_DUPFD_CLOEXEC, 0);
    port.close();
    if (last < 0)
        return;
    {
        const std::lock_guard lock(m_closing->mutex);
        m_closing->devices << device;
    }
    std::thread([closing = m_closing, last, device] {
        ::close(last);
        const std::lock_guard lock(closing->mutex);
        closing->devices.removeOne(device);
        closing->ended.notify_all();
    }).detach();
#else
    Q_UNUSED(device);
    port.close();
#endif
}

bool LineCloser::closing(const QString &device) const
{
    const std::lock_guard lock(m_closing->mutex);
    return m_closing->devices.contains(device);
}

void LineCloser::wait(int ms) const
{
    std::unique_lock lock(m_closing->mutex);
    m_closing->ended.wait_for(lock, std::chrono::milliseconds(ms),
                              [this] { return m_closing->devices.isEmpty(); });
}
