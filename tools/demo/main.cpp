// The real program with five virtual cards on pseudo-terminals in place of COM1 to COM5,
// each printing the frames it receives, and a monitor of the card on the selected port.
#include "app/deskstart.h"
#include "app/mdiform1.h"
#include "app/qtdialogs.h"
#include "cardmonitor.h"
#include "demooptions.h"
#include "deskphotos.h"
#include "virtualcard/cardrig.h"

#include <QApplication>
#include <QTextStream>
#include <QTimer>
#include <memory>

int main(int argc, char *argv[])
{
    // Read before the application object, so that --help works without a display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const DemoOptions options = DemoOptions::parse(arguments);
    QTextStream out(stdout);
    if (options.help || !options.error.isEmpty()) {
        QTextStream err(stderr);
        if (!options.error.isEmpty())
            err << "lumidesk-demo: " << options.error << "\n\n";
        (options.help ? out : err) << DemoOptions::usage();
        return options.help ? 0 : 2;
    }

    QApplication app(argc, argv);
    CardRig rig(options.missing, options.busy);
    for (int n = 1; n <= kComPorts; ++n) {
        VirtualCard *card = rig.card(n);
        QObject::connect(card, &VirtualCard::frameReceived, [&out, n](int ch, int v) {
            out << "COM" << n << " ch " << ch << " = " << v << Qt::endl;
        });
        QObject::connect(card, &VirtualCard::loneByte, [&out, n](int ch) {
            out << "COM" << n << " ch " << ch << " has no value" << Qt::endl;
        });
        const auto tell = [&out, card, n] {
            out << "COM" << n << " is "
                << (card->isPlugged() ? card->devicePath() : QStringLiteral("unplugged"))
                << Qt::endl;
        };
        QObject::connect(card, &VirtualCard::plugChanged, tell);
        tell();
    }

    QtDialogs dialogs;
    const std::unique_ptr<MDIForm1> desk = DeskStart::open(app, dialogs, rig.map());
    if (!desk)
        return 1;
    MDIForm1 &frame = *desk;
    std::unique_ptr<CardMonitor> monitor;
    if (options.monitor) {
        // A window of the frame's own, which window managers and compositors keep above the frame
        // (KWin and mutter put an unrelated window behind the frame after the first box). Beside
        // the frame where a program may place its windows (X11); on Wayland the compositor places
        // it. weston gives the keyboard to a window's newest child instead of the window, so
        // there the frame takes keys only while the monitor is closed.
        monitor = std::make_unique<CardMonitor>(rig, frame.MSComm1(), &frame);
        monitor->move(frame.frameGeometry().topRight() + QPoint(12, 0));
        monitor->show();
    }

    if (!options.screenshotDir.isEmpty()) {
        QTimer::singleShot(800, &frame, [&] {
            const bool ok = DeskPhotos::take(frame, monitor.get(), options.screenshotDir);
            out << (ok ? "Pictures saved to " : "Could not save every picture to ")
                << options.screenshotDir << Qt::endl;
            QApplication::exit(ok ? 0 : 1);
        });
    }
    return app.exec();
}
