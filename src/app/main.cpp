// Lumidesk: a control panel for a DMX512 interface card on a serial port.
#include "app/appearance.h"
#include "app/endonsignal.h"
#include "app/mdiform1.h"
#include "app/qtdialogs.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Appearance::apply(app);
    QtDialogs dialogs;
    MDIForm1 frame(dialogs, systemPortMap());
    dialogs.setParentWidget(&frame);
    if (!frame.MDIForm_Load())
        return 1;
    frame.show();
    EndOnSignal::install(frame);
    return app.exec();
}
