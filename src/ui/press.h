// Pressing one of the desk's controls as a click does, and the keys that press it.
#pragma once

class QWidget;

namespace Press {

// Clicks a button or one of the desk's pictures.
void click(QWidget *control);

// From now on Enter, Return and Space press `control` once for each time the key goes down on
// it, as the key comes up. A held key presses nothing more, wherever its repeats land, so no
// repeat answers a box the press opened; nor does a key that lost the focus while it was
// down. Under X a repeat may come as a release and a press that carry one timestamp, with
// neither marked as a repeat: the click waits a moment for such a press, which cancels it.
void byKeys(QWidget *control);

} // namespace Press
