// The lenient reading of the operator's answer to "which channel?".
#pragma once

#include "cardchannels.h"

#include <QString>
#include <optional>

namespace ChannelAnswer {

// Blanks, tabs and line feeds are dropped anywhere; the longest leading number counts and
// whatever follows is ignored; text that does not start with a number reads as 0. The number
// is rounded halves-to-even to a 16-bit integer; nullopt when it lies outside that range.
std::optional<qint16> read(const QString &answer);

} // namespace ChannelAnswer
