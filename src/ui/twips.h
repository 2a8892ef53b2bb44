// The layout is given in twips at 12 twips to a logical pixel; Qt scales pixels for high DPI.
#pragma once

#include <QRect>
#include <QSize>

inline constexpr int kTwipsPerPixel = 12;

// Every twips figure becomes pixels here, rounded halves away from zero, as the layout's
// 375-twip buttons become 31 pixels.
constexpr int twips(int t)
{
    constexpr int half = kTwipsPerPixel / 2;
    return t >= 0 ? (t + half) / kTwipsPerPixel : -((-t + half) / kTwipsPerPixel);
}

// Whole pixels are whole twips: no rounding this way.
constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

constexpr QSize twipsSize(int w, int h)
{
    return QSize(twips(w), twips(h));
}

constexpr QRect twipsRect(int left, int top, int w, int h)
{
    return QRect(twips(left), twips(top), twips(w), twips(h));
}
