// The start every Lumidesk process makes, the program's, the demo's and the bench's: one
// sequence from the application object to the shown main frame.
#pragma once

#include "cardlink/portmap.h"

#include <memory>

class Dialogs;
class MDIForm1;
class QApplication;

namespace DeskStart {

// The program's name and font on `app`, then the main frame on `portMap` asking through
// `dialogs`, its load step, the frame shown, and a clean end on SIGTERM, SIGINT and SIGHUP.
// Null when start-up found no port: the program has ended.
std::unique_ptr<MDIForm1> open(QApplication &app, Dialogs &dialogs, PortMap portMap);

} // namespace DeskStart
