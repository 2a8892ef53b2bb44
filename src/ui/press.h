// Pressing one of the desk's controls as a click does, and Enter as a way to press it.
#pragma once

class QWidget;

namespace Press {

// Clicks a button or one of the desk's pictures.
void click(QWidget *control);

// From now on Enter and Return press `control` as Space does. Qt leaves those keys to a
// dialog's default button, and the desk's buttons are nobody's default.
void onEnter(QWidget *control);

} // namespace Press
