// How the card reads its line: bytes pair up by position, channel first, then value.
#include "framedecoder.h"

QList<ReceivedFrame> FrameDecoder::feed(const QByteArray &bytes)
{
    QList<ReceivedFrame> frames;
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        if (!m_channel) {
            m_channel = byte;
        } else {
            frames.append({ *m_channel, byte });
            m_channel.reset();
        }
    }
    return frames;
}
