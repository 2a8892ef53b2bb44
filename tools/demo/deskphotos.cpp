// Builds a typical desk through the menus and the real dialogs, and photographs it, the
// preset details dialog and the help window.
#include "deskphotos.h"

#include "app/mdiform1.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

namespace {

void settle(int ms = 400)
{
    // Long enough for the window manager to map and decorate, and for slider frames.
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool photograph(const QRect &area, const QString &path)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    return !shot.isNull() && shot.save(path);
}

// Triggers the frame's menu command `action` and plays the operator in each modal window it
// opens: input boxes get the next of `answers`; any other dialog goes to `other`, which
// must dismiss it.
void run(MDIForm1 &frame, const char *action, QStringList answers,
         const std::function<void(QDialog &)> &other = {})
{
    QTimer operatorHand;
    operatorHand.setInterval(100);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        if (auto *input = qobject_cast<QInputDialog *>(dialog)) {
            input->setTextValue(answers.isEmpty() ? QString() : answers.takeFirst());
            input->accept();
        } else if (other) {
            other(*dialog);
        }
    });
    operatorHand.start();
    frame.findChild<QAction *>(QString::fromLatin1(action))->trigger();
    // The command runs once the press has returned.
    QCoreApplication::sendPostedEvents(&frame, QEvent::MetaCall);
}

} // namespace

namespace DeskPhotos {

bool take(MDIForm1 &frame, QWidget *monitor, const QString &directory)
{
    QDir().mkpath(directory);
    const QDir dir(directory);

    run(frame, "mnuNew_Slider", { QStringLiteral("1"), QStringLiteral("Front") });
    run(frame, "mnuNew_Slider", { QStringLiteral("2"), QStringLiteral("Back") });
    const QStringList names{ "&Full", "&Half", "&Warm", "Dim",   "Glow",
                             "Cue 6", "Cue 7", "Cue 8", "Cue 9", "&Off" };
    const QStringList levels{ "255", "128", "200", "60", "30", "90", "110", "150", "180", "0" };
    run(frame, "mnuNew_Preset", { QStringLiteral("3"), QStringLiteral("Spots") },
        [&](QDialog &details) {
            for (int i = 0; i < names.size(); ++i) {
                details.findChild<QLineEdit *>(QStringLiteral("Preset_Name%1").arg(i))
                        ->setText(names[i]);
                details.findChild<QLineEdit *>(QStringLiteral("Preset_Value%1").arg(i))
                        ->setText(levels[i]);
            }
            settle();
            photograph(details.frameGeometry(), dir.filePath(QStringLiteral("preset-details.png")));
            details.findChild<QPushButton *>(QStringLiteral("OK_Button"))->click();
        });

    const QList<QScrollBar *> sliders =
            frame.findChildren<QScrollBar *>(QStringLiteral("vscSlide"));
    // The bar's raw value runs downwards: level 200 is 55 from the top.
    sliders.value(0)->setValue(255 - 200);
    sliders.value(1)->setValue(255 - 90);
    settle();
    frame.findChildren<QPushButton *>(QStringLiteral("cmdPresets2")).value(0)->click();
    settle();
    photograph(monitor ? frame.frameGeometry().united(monitor->frameGeometry())
                       : frame.frameGeometry(),
               dir.filePath(QStringLiteral("desk.png")));

    run(frame, "mnuHelp", {}, [&](QDialog &help) {
        settle();
        photograph(help.frameGeometry(), dir.filePath(QStringLiteral("help.png")));
        help.findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
    });
    for (const char *name : { "desk.png", "preset-details.png", "help.png" }) {
        if (!QFile::exists(dir.filePath(QString::fromLatin1(name))))
            return false;
    }
    return true;
}

} // namespace DeskPhotos
