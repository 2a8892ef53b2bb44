// Pressing one of the desk's controls as a click does, and the keys that press it.
#include "press.h"

#include "svgimage.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QPointer>

namespace Press {

namespace {

class KeyFilter : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        const int key = keyEvent->key();
        // Qt's buttons take Space themselves.
        if (key != Qt::Key_Return && key != Qt::Key_Enter
            && (key != Qt::Key_Space || qobject_cast<QAbstractButton *>(watched)))
            return false;
        if (keyEvent->isAutoRepeat())
            return true;
        if (event->type() == QEvent::KeyPress) {
            m_down = watched;
            m_key = key;
            return true;
        }
        // Only a key that went down here: not one that answered a box as it went down, whose
        // release comes to the control that has the focus back.
        const bool pressedHere = watched == m_down && key == m_key;
        m_down = nullptr;
        if (pressedHere)
            click(static_cast<QWidget *>(watched));
        return true;
    }

private:
    QPointer<QObject> m_down; // the control the key went down on
    int m_key = 0;
};

} // namespace

void click(QWidget *control)
{
    if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->click();
    else if (auto *image = qobject_cast<SvgImage *>(control))
        image->click();
}

void byKeys(QWidget *control)
{
    static KeyFilter filter;
    control->installEventFilter(&filter);
}

} // namespace Press
