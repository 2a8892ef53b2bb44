// Pressing one of the desk's controls as a click does, and the keys that press it.
#pragma once

class QWidget;

namespace Press {

// Clicks a button or one of the desk's pictures.
void click(QWidget *control);

// From now on Enter and Return press `control` as Space presses Qt's buttons: once for each
// time the key goes down on it, as the key comes up. A held key's repeats press nothing, and a
// box that the press opens shows only once the key is up, so that no repeat answers it. Space
// presses the desk's pictures the same way. (Qt leaves Enter to a dialog's default button, and
// the desk's buttons are nobody's default.)
void byKeys(QWidget *control);

} // namespace Press
