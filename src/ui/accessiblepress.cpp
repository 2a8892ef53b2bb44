// What assistive technology is told of a control the operator presses.
#include "accessiblepress.h"

#include "pressbutton.h"
#include "press.h"
#include "svgimage.h"

#include <QButtonGroup>

namespace {

QAccessibleInterface *pressFactory(const QString &key, QObject *object)
{
    if ((key == u"SvgImage" || key == u"PressButton") && object->isWidgetType())
        return new AccessiblePress(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

AccessiblePress::AccessiblePress(QWidget *widget) : QAccessibleWidget(widget) { }

void AccessiblePress::install()
{
    static const bool installed = (QAccessible::installFactory(pressFactory), true);
    Q_UNUSED(installed);
}

bool AccessiblePress::pressable() const
{
    // A picture that takes the focus takes clicks; any other is only a picture.
    return qobject_cast<QAbstractButton *>(widget()) || widget()->focusPolicy() != Qt::NoFocus;
}

std::optional<bool> AccessiblePress::checked() const
{
    if (auto *button = qobject_cast<QAbstractButton *>(widget()))
        return button->isCheckable() ? std::optional(button->isChecked()) : std::nullopt;
    auto *image = static_cast<SvgImage *>(widget());
    return image->isCheckable() ? std::optional(image->isChecked()) : std::nullopt;
}

QAccessible::Role AccessiblePress::role() const
{
    if (!pressable())
        return QAccessible::Graphic;
    // Push buttons that stay down, one of a group: what a screen reader calls radio buttons.
    auto *button = qobject_cast<QAbstractButton *>(widget());
    if (button && button->isCheckable() && button->group() && button->group()->exclusive())
        return QAccessible::RadioButton;
    return QAccessible::Button;
}

QAccessible::State AccessiblePress::state() const
{
    QAccessible::State s = QAccessibleWidget::state();
    if (const std::optional<bool> on = checked()) {
        s.checkable = true;
        s.checked = *on;
    }
    return s;
}

QStringList AccessiblePress::actionNames() const
{
    QStringList names;
    if (pressable())
        names << pressAction();
    if (pressable() && checked() && role() == QAccessible::Button)
        names << toggleAction();
    return names + QAccessibleWidget::actionNames();
}

void AccessiblePress::doAction(const QString &actionName)
{
    if (!widget()->isEnabled() || !pressable()
        || (actionName != pressAction() && actionName != toggleAction())) {
        QAccessibleWidget::doAction(actionName);
        return;
    }
    // Later, not inside the call: a press that opens a modal box (Help, Exit) would hold the
    // screen reader's call unanswered until the box closes.
    QMetaObject::invokeMethod(
            widget(), [w = widget()] { Press::click(w); }, Qt::QueuedConnection);
}
