// Builds a typical desk and photographs it, the preset details dialog and the help window.
#pragma once

#include <QString>

class MDIForm1;
class QWidget;

namespace DeskPhotos {

// Writes desk.png, preset-details.png and help.png to `directory`. Needs a real display
// with a window manager, so that the pictures show what an operator sees.
bool take(MDIForm1 &frame, QWidget *monitor, const QString &directory);

} // namespace DeskPhotos
