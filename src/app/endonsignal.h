// Ends the program cleanly when the system asks it to (shutdown, logout, Ctrl+C in a terminal).
#pragma once

class QWidget;

namespace EndOnSignal {

// SIGTERM, SIGINT and SIGHUP close `frame` as its close box does, so that the port is released
// and its lock file goes with it, instead of the process dying with the port held.
void install(QWidget &frame);

} // namespace EndOnSignal
