// A slider's scroll bar, read as a level from 0 at the bottom to 255 at the top.
#include "levelbar.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <algorithm>
#include <cmath>

namespace {

// Qt's own interface would tell the raw value, upside down: level 3 would read as 252 and
// Increase would lower the level. A screen reader gets the level instead.
class AccessibleLevel : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleLevel(LevelBar *bar) : QAccessibleWidget(bar, QAccessible::Slider) { }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Value ? QString::number(bar()->level())
                                       : QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return bar()->level(); }
    void setCurrentValue(const QVariant &value) override
    {
        bool ok = false;
        const double level = value.toDouble(&ok);
        if (ok && std::isfinite(level)) // a NaN would not survive the conversion to int
            bar()->setLevel(int(std::clamp(std::round(level), 0.0, double(LevelBar::kTop))));
    }
    QVariant maximumValue() const override { return LevelBar::kTop; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

    QStringList actionNames() const override
    {
        return QStringList{ increaseAction(), decreaseAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &actionName) override
    {
        // One step, as the Up and Down keys take it.
        if (actionName == increaseAction())
            bar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        else if (actionName == decreaseAction())
            bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    LevelBar *bar() const { return static_cast<LevelBar *>(widget()); }
};

QAccessibleInterface *levelFactory(const QString &key, QObject *object)
{
    if (auto *bar = qobject_cast<LevelBar *>(object); bar && key == u"LevelBar")
        return new AccessibleLevel(bar);
    return nullptr;
}

} // namespace

LevelBar::LevelBar(QWidget *parent) : QScrollBar(Qt::Vertical, parent)
{
    static const bool installed = (QAccessible::installFactory(levelFactory), true);
    Q_UNUSED(installed);
    setRange(0, kTop);
    setSingleStep(1);
    setPageStep(1);
    setValue(kTop); // level 0: the thumb starts at the bottom
}
