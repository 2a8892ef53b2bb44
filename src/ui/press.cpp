// Pressing one of the desk's controls as a click does, and the keys that press it.
#include "press.h"

#include "svgimage.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QSet>
#include <QTimer>

namespace Press {

namespace {

// How long a release's click waits for the press of a repeat to follow it. Qt misses the pair
// when the press has not reached it yet as it handles the release, which a busy machine
// delays by some milliseconds.
constexpr int kRepeatPairMs = 60;

// One for the whole program: a held key's repeats are the program's, whichever window they
// reach.
class KeyPresser : public QObject
{
public:
    KeyPresser()
    {
        m_wait.setSingleShot(true);
        m_wait.setInterval(kRepeatPairMs);
        connect(&m_wait, &QTimer::timeout, this, [this] {
            if (m_clicking && m_clicking->isVisible()) // not one put away meanwhile
                click(m_clicking);
        });
        QCoreApplication::instance()->installEventFilter(this);
    }

    void add(QWidget *control)
    {
        m_controls.insert(control);
        connect(control, &QObject::destroyed, this,
                [this, control] { m_controls.remove(control); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut && watched == m_down)
            m_down = nullptr; // it comes up somewhere else, or over a box: no press of ours
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
            return false;
        const auto *keyEvent = static_cast<QKeyEvent *>(event);
        const int key = keyEvent->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter && key != Qt::Key_Space)
            return false;
        const bool press = event->type() == QEvent::KeyPress;
        const bool ours = m_controls.contains(watched);
        // A timestamp of 0 is no time at all (a synthesized key).
        const bool pairedPress =
                press && keyEvent->timestamp() != 0 && keyEvent->timestamp() == m_releasedAt;
        if (key == m_key && (keyEvent->isAutoRepeat() || pairedPress)) {
            // The key that went down on a control is still down.
            if (pairedPress && m_wait.isActive()) {
                m_wait.stop();
                m_down = std::exchange(m_clicking, nullptr);
            }
            return true;
        }
        if (keyEvent->isAutoRepeat())
            return ours;
        if (press) {
            QWidget *target = qobject_cast<QWidget *>(watched);
            if (m_wait.isActive()) { // another press: the release before it was a real one
                m_wait.stop();
                click(m_clicking);
                target = QApplication::focusWidget();
            }
            m_key = m_controls.contains(target) ? key : 0;
            m_down = m_key ? target : nullptr;
            return m_key || ours;
        }
        if (key != m_key)
            return ours; // it went down elsewhere: it answered a box, say
        m_releasedAt = keyEvent->timestamp();
        if (m_down) {
            m_clicking = std::exchange(m_down, nullptr);
            m_wait.start();
        }
        return true;
    }

private:
    QSet<QObject *> m_controls;
    int m_key = 0; // down, or last down, on a control
    QPointer<QWidget> m_down; // the control it went down on, while it has the focus
    quint64 m_releasedAt = 0; // the timestamp of that key's last release
    QPointer<QWidget> m_clicking; // pressed by that release, unless a repeat's press follows
    QTimer m_wait;
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
    static KeyPresser presser;
    presser.add(control);
}

} // namespace Press
