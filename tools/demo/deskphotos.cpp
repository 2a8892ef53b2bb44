// Builds a typical desk and photographs it, the preset details dialog and the help window.
#include "deskphotos.h"

#include "app/mdiform1.h"
#include "cardmonitor.h"
#include "controls/controlregistry.h"
#include "controls/frmpresets.h"
#include "controls/frmslider.h"
#include "controls/presetdetails.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>

namespace {

void settle(int ms = 400)
{
    // Long enough for the window manager to map and decorate, and for slider ticks.
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

// Shows `dialog` modally and photographs it once it is up.
void photographModal(QDialog &dialog, const QString &path)
{
    QTimer::singleShot(600, &dialog, [&dialog, path] {
        photograph(dialog.frameGeometry(), path);
        dialog.accept();
    });
    dialog.exec();
}

} // namespace

namespace DeskPhotos {

bool take(MDIForm1 &frame, CardMonitor &monitor, const QString &directory)
{
    QDir().mkpath(directory);
    const QDir dir(directory);
    ControlRegistry &registry = frame.registry();

    auto *front = static_cast<frmSlider *>(
            registry.ShowNewControl(ControlRegistry::Slider, 1, QStringLiteral("Front")));
    auto *back = static_cast<frmSlider *>(
            registry.ShowNewControl(ControlRegistry::Slider, 2, QStringLiteral("Back")));
    Preset_Details &details = registry.presetDetails();
    const QStringList names{"&Full", "&Half", "&Warm", "Dim", "Glow", "Cue 6", "Cue 7", "Cue 8",
                            "Cue 9", "&Off"};
    const QStringList levels{"255", "128", "200", "60", "30", "90", "110", "150", "180", "0"};
    for (int i = 0; i < Preset_Details::kRows; ++i) {
        details.Preset_Name(i)->setText(names[i]);
        details.Preset_Value(i)->setText(levels[i]);
    }
    photographModal(details, dir.filePath(QStringLiteral("preset-details.png")));

    auto *spots = static_cast<frmPresets *>(
            registry.ShowNewControl(ControlRegistry::Preset, 3, QStringLiteral("Spots")));
    front->vscSlide()->setValue(200);
    back->vscSlide()->setValue(90);
    settle();
    spots->cmdPresets_Click(2);
    settle();
    const QRect desk = frame.frameGeometry().united(monitor.frameGeometry());
    photograph(desk, dir.filePath(QStringLiteral("desk.png")));

    QTimer::singleShot(600, &frame, [&frame, path = dir.filePath(QStringLiteral("help.png"))] {
        if (frmHelp *help = frame.helpWindow()) {
            photograph(help->frameGeometry(), path);
            help->cmdOK_Click();
        }
    });
    frame.cmdHelp_Click();
    for (const char *name : {"desk.png", "preset-details.png", "help.png"}) {
        if (!QFile::exists(dir.filePath(QString::fromLatin1(name))))
            return false;
    }
    return true;
}

} // namespace DeskPhotos
