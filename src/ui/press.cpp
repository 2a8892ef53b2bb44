// Pressing one of the desk's controls as a click does, and Enter as a way to press it.
#include "press.h"

#include "svgimage.h"

#include <QAbstractButton>
#include <QKeyEvent>

namespace Press {

namespace {

class EnterFilter : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        click(static_cast<QWidget *>(watched));
        return true;
    }
};

} // namespace

void click(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->click();
    else if (auto *image = qobject_cast<SvgImage *>(control))
        image->click();
}

void onEnter(QWidget *control)
{
    static EnterFilter filter;
    control->installEventFilter(&filter);
}

} // namespace Press
