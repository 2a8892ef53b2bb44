// The program as a test sees it: the main frame on virtual cards with scripted dialogs, and
// the operator's hands.
#include "desk.h"

#include "ui/svgimage.h"

#include <QAction>
#include <QTimer>
#include <QWindow>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <qpa/qwindowsysteminterface.h>

Desk::Desk(const QSet<int> &missing, const QSet<int> &busy, bool load, bool realDialogs,
           PortMap ports)
    : rig(ports ? QSet<int>{ 1, 2, 3, 4, 5 } : missing, busy),
      frame(std::make_unique<MDIForm1>(realDialogs ? static_cast<Dialogs &>(real) : dialogs,
                                       ports ? ports : rig.map()))
{
    // Accessibility on, as with a screen reader running, and what the desk says recorded.
    [[maybe_unused]] static const bool listening = [] {
        QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(true);
        QAccessible::installUpdateHandler([](QAccessibleEvent *event) {
            QAccessibleInterface *iface = event->accessibleInterface();
            const bool says = event->type() == QAccessible::ObjectShow && iface
                    && iface->role() == QAccessible::Notification;
            if (iface && (event->type() == QAccessible::Focus || says))
                told() << (says ? "say " : "focus ") + iface->text(QAccessible::Name);
        });
        return true;
    }();
    for (int n = 1; n <= kComPorts; ++n)
        rig.card(n)->setRecording(true);
    if (load)
        frame->MDIForm_Load();
}

QString Desk::lamp() const
{
    return find<SvgImage>("imgConnection_Status1")->isHidden() ? "unlit" : "lit";
}

ControlWindow *Desk::add(ControlRegistry::ControlKind kind, int channel)
{
    if (channel)
        dialogs.inputAnswers = { QString::number(channel), QStringLiteral("Ch: %1").arg(channel) };
    find<QAction>(kind == ControlRegistry::Preset ? "mnuNew_Preset" : "mnuNew_Slider")->trigger();
    QCoreApplication::sendPostedEvents(frame.get(), QEvent::MetaCall); // after the press
    return find<ControlRegistry>({})->forms().last();
}

QByteArray frame(int channel, int value)
{
    return QByteArray(1, char(channel)) + char(value);
}

QString readAsOneRun(QWidget *box)
{
    QAccessibleTextInterface *text = QAccessible::queryAccessibleInterface(box)->textInterface();
    int start = 0, end = 0;
    text->attributes(1, &start, &end);
    return text->text(start, end);
}

void click(QWidget *widget, QPoint at)
{
    // Through the window, as the window system delivers it, so that a modal box can stop it.
    const QPoint point = at.isNull() ? widget->rect().center() : at;
    QWidget *top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, {}, widget->mapTo(top, point));
}

void hold(QObject *owner, Qt::Key key, std::function<void()> midway, std::function<void()> then,
          int repeats)
{
    static ulong clock = 1000; // the window system's milliseconds; 0 would be no time at all
    const ulong t0 = clock += 10000;
    const auto send = [key](QEvent::Type type, ulong at, bool repeat) {
        if (QWindow *window = QGuiApplication::focusWindow())
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::SynchronousDelivery>(
                    window, at, type, key, {}, key == Qt::Key_Space ? " " : "\r", repeat);
    };
    QTimer::singleShot(0, owner, [=] { send(QEvent::KeyPress, t0, false); });
    for (int i = 1; i <= repeats; ++i) {
        const ulong at = t0 + 30 * i;
        const bool marked = i % 2 == 1;
        QTimer::singleShot(30 * i, owner, [=] { send(QEvent::KeyRelease, at, marked); });
        QTimer::singleShot(30 * i + (marked ? 0 : 5), owner,
                           [=] { send(QEvent::KeyPress, at, marked); });
    }
    const int up = 30 * (repeats + 1);
    if (midway)
        QTimer::singleShot(up / 2 + 10, owner, midway);
    QTimer::singleShot(up, owner, [=] { send(QEvent::KeyRelease, t0 + up, false); });
    if (then)
        QTimer::singleShot(up + 500, owner, then);
}

QStringList &told()
{
    static QStringList said;
    return said;
}
