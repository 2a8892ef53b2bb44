// A main frame on pseudo-terminal ports with scripted dialogs: the program as a test sees it.
#pragma once

#include "app/mdiform1.h"
#include "fakedialogs.h"
#include "ptyports.h"

#include <memory>

class QMdiSubWindow;

// The workspace window that holds a control window.
QMdiSubWindow *windowOf(QWidget *control);

struct Desk
{
    FakeDialogs dialogs;
    PtyPorts ports;
    std::unique_ptr<MDIForm1> frame;

    // Builds the frame; runs its start-up unless told not to.
    explicit Desk(bool load = true);
    // "lit" or "unlit"; "both" or "none" would be a fault.
    QString lamp() const;
    int checkedPort() const; // 0 when no port button is down
};
