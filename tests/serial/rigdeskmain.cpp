// The desk as the rig's guest runs it: see RigDesk.
#include "rigdesk.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    RigDesk desk;
    return desk.start(app) ? app.exec() : 1;
}
