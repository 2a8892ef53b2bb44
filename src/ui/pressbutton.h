// A tool button of the desk's own: assistive technology is told of it as AccessiblePress
// says, while Qt's own tool buttons (a menu's, a line edit's clear button) keep Qt's interface;
// Enter presses it as Space does.
#pragma once

#include <QToolButton>

class PressButton : public QToolButton
{
    Q_OBJECT

public:
    explicit PressButton(QWidget *parent = nullptr);
};
