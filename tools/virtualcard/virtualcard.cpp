// A card on the far end of a pseudo-terminal, decoding what the program sends it.
#include "virtualcard.h"

VirtualCard::VirtualCard(QObject *parent)
    : QObject(parent)
    , m_pty(std::make_unique<PtyPair>())
{
    attach();
}

void VirtualCard::attach()
{
    if (!m_pty->isValid())
        return;
    m_notifier = std::make_unique<QSocketNotifier>(m_pty->masterFd(), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &VirtualCard::readLine);
}

void VirtualCard::unplug()
{
    m_notifier.reset();
    m_pty->closeMaster();
    m_decoder = FrameDecoder();
    emit plugChanged();
}

void VirtualCard::plugIn()
{
    if (m_pty->isValid())
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
        emit frameReceived(frame.channel, frame.value);
    }
}
