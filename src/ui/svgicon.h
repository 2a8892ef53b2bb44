// Icons drawn from the program's own SVG pictures by the program itself: crisp at any size and
// screen resolution, and no icon plugin to load before the first window shows.
#pragma once

#include <QIcon>

// The picture is read on first use, when the icon is first drawn.
QIcon svgIcon(const QString &resource);
