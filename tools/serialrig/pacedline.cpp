// The far end of one of the guest's serial lines, read as the card reads its line: at most
// so many bytes a second (960 is 9600 baud, 8N1), each pair of bytes decoded as a frame.
#include "pacedline.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

PacedLine::PacedLine(int bytesPerSecond, QObject *parent) : QObject(parent), m_rate(bytesPerSecond)
{
    m_pace.setTimerType(Qt::PreciseTimer);
    connect(&m_pace, &QTimer::timeout, this, &PacedLine::read);
}

PacedLine::~PacedLine()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PacedLine::connectTo(const QString &path, int timeoutMs)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    const QDeadlineTimer deadline(timeoutMs);
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    while (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
    m_clock.start();
    if (m_rate > 0) {
        m_pace.start(10);
    } else {
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &PacedLine::read);
    }
    return true;
}

void PacedLine::setReading(bool on)
{
    m_reading = on;
    if (m_notifier)
        m_notifier->setEnabled(on);
}

void PacedLine::read()
{
    // A card's line gives no more than its rate, and saves nothing up while it is idle
    // beyond 50 ms worth.
    const qint64 now = m_clock.elapsed();
    m_allowance = std::min(m_allowance + double(m_rate) * double(now - m_lastRead) / 1000.0,
                           m_rate / 20.0);
    m_lastRead = now;
    if (!m_reading)
        return;
    char buffer[4096];
    const qsizetype want = m_rate > 0 ? qsizetype(m_allowance) : qsizetype(sizeof buffer);
    const ssize_t n = want > 0 ? ::recv(m_fd, buffer, size_t(want), MSG_DONTWAIT) : 0;
    if (n <= 0) {
        if (n == 0 && m_notifier)
            m_notifier->setEnabled(false); // the guest has gone
        return;
    }
    m_allowance -= double(n);
    const QByteArray bytes(buffer, n);
    m_bytes += bytes;
    m_frames += m_decoder.feed(bytes);
    emit arrived();
}
