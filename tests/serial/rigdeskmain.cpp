// The desk as the rig's guest runs it: see RigDesk.
#include "rigdesk.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RigDesk desk;
    if (!desk.start(app))
        return 1;
    // However the program ends, the rig hears how late its event loop ran on the way out.
    desk.endProgram(app.exec());
}
