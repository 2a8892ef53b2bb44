// What assistive technology is told of a control the operator presses: a button (or a radio
// button of an exclusive group) with a checked state and a Press action that does exactly
// what a click does.
#pragma once

#include <QAccessibleWidget>
#include <optional>

class AccessiblePress : public QAccessibleWidget
{
public:
    // For one of the desk's tool buttons or pictures.
    explicit AccessiblePress(QWidget *widget);

    // Installs the interface for the desk's tool buttons and pictures, which call it as they
    // are made; any number of calls install it once.
    static void install();

    // Worked out at each question: an interface can be made while its widget is still
    // being set up.
    QAccessible::Role role() const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString &actionName) override;

private:
    bool pressable() const;
    std::optional<bool> checked() const; // nullopt when the control has no checked state
};
