// A tool button of the desk's own.
#include "pressbutton.h"

#include "accessiblepress.h"
#include "press.h"

PressButton::PressButton(QWidget *parent) : QToolButton(parent)
{
    // Before anything asks for the button's interface: an interface, once made, stays.
    AccessiblePress::install();
    Press::byKeys(this);
}
