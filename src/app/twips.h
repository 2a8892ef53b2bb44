// The layout is given in twips at 12 twips to a logical pixel; Qt scales pixels for high DPI.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cmath>

constexpr int twips(int t)
{
    // Round halves away from zero, as the layout's 375-twip buttons become 31 pixels.
    return t >= 0 ? (t + 6) / 12 : -((-t + 6) / 12);
}

constexpr QSize twipsSize(int w, int h)
{
    return QSize(twips(w), twips(h));
}

constexpr QRect twipsRect(int left, int top, int w, int h)
{
    return QRect(twips(left), twips(top), twips(w), twips(h));
}
