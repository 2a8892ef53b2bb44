// The strict conversion of the texts that become bytes on the line (a channel, a level).
#pragma once

#include <QString>
#include <optional>

namespace StrictByte {

// The whole text (blanks around it allowed) must read as a number; it is rounded
// halves-to-even and must then lie from 0 to 255.
std::optional<quint8> read(const QString &text);

} // namespace StrictByte
