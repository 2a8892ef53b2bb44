// How the card reads its line: bytes pair up by position, channel first, then value.
#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

struct ReceivedFrame
{
    int channel = 0;
    int value = 0;
    bool operator==(const ReceivedFrame &) const = default;
};

class FrameDecoder
{
public:
    // The frames completed by `bytes`; a lone channel byte waits for its value.
    QList<ReceivedFrame> feed(const QByteArray &bytes);
    bool midFrame() const { return m_channel.has_value(); }
    // The channel byte that waits for its value, if one does.
    std::optional<quint8> waiting() const { return m_channel; }

private:
    std::optional<quint8> m_channel;
};
