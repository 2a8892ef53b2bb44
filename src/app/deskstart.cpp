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
    if (!frame->MDIForm_Load())
        return nullptr;
    frame->show();
    EndOnSignal::install(*frame);
    return frame;
}

} // namespace DeskStart
