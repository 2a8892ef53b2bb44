// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#include "virtualcard.h"

#include <poll.h>
#include <termios.h>
#include <thread>

VirtualCard::VirtualCard(bool plugged, QObject *parent) : QObject(parent)
{
    // Both bytes of a frame leave the program in one go; at 9600 baud the value follows its
    // channel within a few milliseconds, so a quarter of a second is far beyond any lag.
    m_loneByteTimer.setSingleShot(true);
    m_loneByteTimer.setInterval(250);
    connect(&m_loneByteTimer, &QTimer::timeout, this, [this] {
        if (const auto channel = m_decoder.waiting())
            emit loneByte(*channel);
    });
    if (plugged)
        plugIn();
}

void VirtualCard::setListening(bool on)
{
    m_notifier.reset();
    if (on && isPlugged()) {
        m_notifier = std::make_unique<QSocketNotifier>(m_pty->masterFd(), QSocketNotifier::Read);
        connect(m_notifier.get(), &QSocketNotifier::activated, this, &VirtualCard::readLine);
    }
}

void VirtualCard::unplug()
{
    if (!isPlugged())
        return;
    m_notifier.reset();
    m_pty->closeMaster();
    m_decoder = FrameDecoder();
    m_loneByteTimer.stop();
    emit plugChanged();
}

void VirtualCard::plugIn()
{
    if (isPlugged())
        return;
    m_pty = std::make_unique<PtyPair>();
    setListening(true);
    emit plugChanged();
}

void VirtualCard::waitForBytes(int ms) const
{
    if (!isPlugged()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    pollfd p{ m_pty->masterFd(), POLLIN, 0 };
    ::poll(&p, 1, ms);
}

QString VirtualCard::lineSettings() const
{
    // On Linux the master of a pseudo-terminal reports its slave's settings: what the program
    // asked of the line, which a real card has to match.
    termios t{};
    if (!isPlugged() || ::tcgetattr(m_pty->masterFd(), &t) != 0)
        return {};
    static const std::pair<speed_t, int> speeds[] = { { B1200, 1200 },   { B2400, 2400 },
                                                      { B4800, 4800 },   { B9600, 9600 },
                                                      { B19200, 19200 }, { B38400, 38400 },
                                                      { B57600, 57600 }, { B115200, 115200 } };
    int baud = 0;
    for (const auto &[code, rate] : speeds)
        baud = ::cfgetospeed(&t) == code ? rate : baud;
    const tcflag_t size = t.c_cflag & CSIZE;
    QString settings = QStringLiteral("%1 %2%3%4")
                               .arg(baud)
                               .arg(size == CS8           ? 8
                                            : size == CS7 ? 7
                                            : size == CS6 ? 6
                                                          : 5)
                               .arg(!(t.c_cflag & PARENB)        ? 'N'
                                            : t.c_cflag & PARODD ? 'O'
                                                                 : 'E')
                               .arg(t.c_cflag & CSTOPB ? 2 : 1);
    if (t.c_cflag & CRTSCTS)
        settings += QStringLiteral(" RTS/CTS");
    if (t.c_iflag & (IXON | IXOFF))
        settings += QStringLiteral(" XON/XOFF");
    return settings;
}

void VirtualCard::readLine()
{
    const QByteArray bytes = m_pty->drain();
    m_bytes += bytes.size();
    if (m_recording)
        m_unread += bytes;
    const QList<ReceivedFrame> frames = m_decoder.feed(bytes);
    for (const ReceivedFrame &frame : frames) {
        ++m_frames;
        // The card ignores frames for channels it does not have.
        if (isCardChannel(frame.channel)) {
            m_levels[frame.channel] = frame.value;
            m_lastChannel = frame.channel;
        }
        emit frameReceived(frame.channel, frame.value);
    }
    if (m_decoder.midFrame())
        m_loneByteTimer.start();
    else
        m_loneByteTimer.stop();
}
