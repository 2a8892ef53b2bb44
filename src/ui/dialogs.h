// The program's modal questions, boxes and dialogs, and its ending: one seam, so that tests
// can answer them.
#pragma once

#include <QString>
#include <optional>

class QDialog;
class QWidget;

class Dialogs
{
public:
    enum class Icon { Question, Exclamation, Critical };

    virtual ~Dialogs() = default;

    // The window the boxes belong to and are centred over; the main frame, once it exists.
    virtual void setParentWidget(QWidget *) { }

    // A message box with an OK button. `detail` is a second, smaller text; may be empty.
    virtual void message(Icon icon, const QString &title, const QString &text,
                         const QString &detail = {}) = 0;
    // A question with Yes (the default) and No; true for Yes.
    virtual bool askYesNo(const QString &title, const QString &text) = 0;
    // An input box with OK and Cancel, the default answer selected. Cancel gives nullopt.
    virtual std::optional<QString> input(const QString &title, const QString &prompt,
                                         const QString &defaultAnswer) = 0;
    // Shows one of the program's own dialogs modally and returns when it is dismissed.
    virtual void showModal(QDialog &dialog) = 0;
    // Ends the program at once: no further handler runs. Returns only in tests; callers
    // return straight after it.
    virtual void endProgram(int exitCode) = 0;
};
