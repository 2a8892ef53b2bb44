// The bench's own desk: the real main frame on pseudo-terminals, filled through the same
// creation path New > Slider and New > Preset use, with the questions answered by script.
#pragma once

#include <QTextStream>

namespace BenchDesk {

// Builds 112 sliders and 112 preset windows, alternating, printing the time each took; then
// prints READY and waits for commands on standard input ("latency" measures and prints the
// slider and preset latencies; end of input ends the process).
int run(int argc, char *argv[]);

} // namespace BenchDesk
