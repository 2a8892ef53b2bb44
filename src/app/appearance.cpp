// What every Lumidesk process sets up on its application object before the first window.
#include "appearance.h"
#include "ui/svgicon.h"

#include <QApplication>
#include <QFont>
#include <QIcon>

namespace Appearance {

void apply(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Lumidesk"));
    // Every window has fixed positions for its labels and buttons, laid out for an 8-point
    // sans serif; the desktop's usual 9 or 10 points would wrap and clip their texts.
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    app.setFont(font);
}

void showProgramIcon()
{
    if (QApplication::windowIcon().isNull())
        QApplication::setWindowIcon(svgIcon(QStringLiteral(":/icons/lumidesk.svg")));
}

} // namespace Appearance
