// Icons drawn from the program's own SVG pictures by the program itself: crisp at any size and
// screen resolution, and no icon plugin to load before the first window shows.
#include "svgicon.h"

#include <QIconEngine>
#include <QPainter>
#include <QSvgRenderer>
#include <memory>

namespace {

class SvgIconEngine : public QIconEngine
{
public:
    explicit SvgIconEngine(const QString &resource) : m_resource(resource) { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode, QIcon::State) override
    {
        if (!m_renderer)
            m_renderer = std::make_unique<QSvgRenderer>(m_resource);
        m_renderer->render(painter, QRectF(rect));
    }

    // Asked for in device pixels, so the picture is drawn at the screen's own resolution.
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        QPixmap picture(size);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(&painter, QRect(QPoint(), size), mode, state);
        return picture;
    }

    QIconEngine *clone() const override { return new SvgIconEngine(m_resource); }

private:
    QString m_resource;
    std::unique_ptr<QSvgRenderer> m_renderer;
};

} // namespace

QIcon svgIcon(const QString &resource)
{
    return QIcon(new SvgIconEngine(resource));
}
