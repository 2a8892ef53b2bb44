// What every Lumidesk process sets up on its application object before the first window.
#pragma once

class QApplication;

namespace Appearance {

// The name, and a font the size the fixed layouts were drawn for.
void apply(QApplication &app);

// The program's icon, for every window that has none of its own. Drawn from SVG for the
// window manager, so it waits until the main frame's first picture is on the screen.
void showProgramIcon();

} // namespace Appearance
