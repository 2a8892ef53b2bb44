// The two-byte channel frame and the strict conversion of the texts that become its bytes.
#pragma once

#include <QString>
#include <optional>

namespace ChannelFrame {

// A text that becomes a byte on the line must read, as a whole (blanks around it allowed),
// as a number; it is rounded halves-to-even and must then lie from 0 to 255.
std::optional<quint8> strictByte(const QString &text);

} // namespace ChannelFrame
