// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#include "virtualcard.h"

VirtualCard::VirtualCard(bool plugged, QObject *parent)
    : QObject(parent)
{
    if (plugged) {
        m_pty = std::make_unique<PtyPair>();
        attach();
    }
}

void VirtualCard::attach()
{
    if (!isPlugged())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_pty->masterFd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &VirtualCard::readLine);
}

void VirtualCard::unplug()
{
    if (!isPlugged())
        return;
    m_notifier.reset();
    m_pty->closeMaster();
    m_decoder = FrameDecoder();
    emit plugChanged();
}

void VirtualCard::plugIn()
{
    if (isPlugged())
        return;
    m_pty = std::make_unique<PtyPair>();
    attach();
    emit plugChanged();
}

void VirtualCard::readLine()
{
    const QByteArray bytes = m_pty->drain();
    m_bytes += bytes.size();
    const QList<ReceivedFrame> frames = m_decoder.feed(bytes);
    for (const ReceivedFrame &frame : frames) {
        ++m_frames;
        // The card has 112 channels; it ignores frames for any other.
        if (frame.channel >= 1 && frame.channel <= kChannels) {
            m_levels[frame.channel] = frame.value;
            m_lastChannel = frame.channel;
        }
        emit frameReceived(frame.channel, frame.value);
    }
}
