// The two-byte channel frame and the strict conversion of the texts that become its bytes.
#include "channelframe.h"

#include "numbertext.h"

namespace ChannelFrame {

std::optional<quint8> strictByte(const QString &text)
{
    const QStringView trimmed = QStringView(text).trimmed();
    const NumberText::LeadingNumber number = NumberText::readLeading(trimmed);
    if (number.length == 0 || number.length != trimmed.size())
        return std::nullopt;
    long long byte = 0;
    if (!NumberText::roundHalfEven(number.value, 0, 255, &byte))
        return std::nullopt;
    return static_cast<quint8>(byte);
}

} // namespace ChannelFrame
