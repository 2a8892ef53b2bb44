// Lumidesk: a control panel for a DMX512 interface card on a serial port.
#include "app/deskstart.h"
#include "app/mdiform1.h"
#include "app/qtdialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QtDialogs dialogs;
    const std::unique_ptr<MDIForm1> frame = DeskStart::open(app, dialogs, systemPortMap());
    return frame ? app.exec() : 1;
}
