// The strict conversion of the texts that become bytes on the line (a channel, a level).
#include "strictbyte.h"

#include "cardchannels.h"
#include "numbertext.h"

namespace StrictByte {

std::optional<quint8> read(const QString &text)
{
    const QStringView trimmed = QStringView(text).trimmed();
    const NumberText::LeadingNumber number = NumberText::readLeading(trimmed);
    if (number.length == 0 || number.length != trimmed.size())
        return std::nullopt;
    long long byte = 0;
    if (!NumberText::roundHalfEven(number.value, 0, kTopLevel, &byte))
        return std::nullopt;
    return static_cast<quint8>(byte);
}

} // namespace StrictByte
