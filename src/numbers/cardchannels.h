// What the card offers: its channels, numbered 1 to kChannelCount, each taking a level from
// 0 to kTopLevel.
#pragma once

inline constexpr int kChannelCount = 112;
inline constexpr int kTopLevel = 255;

constexpr bool isCardChannel(int channel)
{
    return channel >= 1 && channel <= kChannelCount;
}
