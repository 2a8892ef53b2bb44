// What every Lumidesk process sets up on its application object before the first window.
#pragma once

class QApplication;

namespace Appearance {

// The name, the icon, and a font the size the fixed layouts were drawn for.
void apply(QApplication &app);

} // namespace Appearance
