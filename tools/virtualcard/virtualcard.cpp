// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#include "virtualcard.h"

#include <poll.h>
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
