// A picture drawn from SVG at the screen's own resolution, optionally clickable.
#include "svgimage.h"

#include "accessiblepress.h"
#include "press.h"
#include "svgicon.h"

#include <QMouseEvent>
#include <QPainter>

SvgImage::SvgImage(const QString &resource, QWidget *parent) : QWidget(parent), m_resource(resource)
{
    // Before anything asks for the picture's interface: an interface, once made, stays.
    AccessiblePress::install();
    Press::byKeys(this); // a picture without the focus gets no keys
}

void SvgImage::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
#ifdef Q_OS_WIN
    if (m_picture.isNull())
        m_picture = svgIcon(m_resource);
    m_picture.paint(&painter, rect());
#else
    if (!m_renderer.isValid())
        m_renderer.load(m_resource);
    painter.setRenderHint(QPainter::Antialiasing);
    m_renderer.render(&painter, QRectF(rect()));
#endif
    if (hasFocus()) {
        // A visible focus mark for keyboard users; the picture itself has no frame.
        painter.setPen(QPen(palette().highlight().color(), 1, Qt::DotLine));
        painter.drawRect(rect().adjusted(4, 4, -5, -5));
    }
}

void SvgImage::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        click();
}
