// Renders one of the desk's SVG pictures into PNG files at the display scales Windows offers,
// for the Windows build, whose Qt has no Svg module:
//   lumidesk-svgtopng PICTURE.svg PREFIX PERCENT...   writes PREFIX-PERCENT.png for each
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    QSvgRenderer renderer(args.value(1));
    if (args.size() < 4 || !renderer.isValid()) {
        std::fprintf(stderr, "usage: lumidesk-svgtopng PICTURE.svg PREFIX PERCENT...\n");
        return 2;
    }
    for (const QString &percent : args.sliced(3)) {
        // At 100 % a picture has the size its SVG gives, in pixels.
        QImage image(renderer.defaultSize() * percent.toInt() / 100, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        if (!image.save(QStringLiteral("%1-%2.png").arg(args[2], percent)))
            return 1;
    }
    return 0;
}
