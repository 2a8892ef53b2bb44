// The start every Lumidesk process makes: one sequence from the application object to the
// shown main frame.
#include "deskstart.h"

#include "appearance.h"
#include "endonsignal.h"
#include "mdiform1.h"

namespace DeskStart {

std::unique_ptr<MDIForm1> open(QApplication &app, Dialogs &dialogs, PortMap portMap)
{
    Appearance::apply(app);
    auto frame = std::make_unique<MDIForm1>(dialogs, std::move(portMap));
    // Before the port opens: a signal from then on waits for the event loop, which closes the
    // frame and so releases the port, rather than ending the process with the port held.
    EndOnSignal::install(*frame);
    if (!frame->MDIForm_Load())
        return nullptr;
    frame->show();
    return frame;
}

} // namespace DeskStart
