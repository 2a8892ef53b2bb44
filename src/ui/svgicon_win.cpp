// Icons from the program's own pictures on Windows, whose Qt has no Svg module: each picture
// was rendered into PNG at the display scales Windows offers when the program was built, and
// the icon picks the size the screen asks for.
#include "svgicon.h"

#include <QDir>

QIcon svgIcon(const QString &resource)
{
    // ":/icons/lamp-on.svg" became ":/icons/lamp-on-100.png" to ":/icons/lamp-on-300.png".
    const QFileInfo svg(resource);
    const QDir folder(svg.path());
    QIcon icon;
    const QStringList pngs =
            folder.entryList({ svg.completeBaseName() + QStringLiteral("-*.png") });
    for (const QString &png : pngs)
        icon.addFile(folder.filePath(png));
    return icon;
}
