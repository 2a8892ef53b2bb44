// Answers the program's questions from a script and records every box, dialog and ending.
#include "scripteddialogs.h"

#include <QDialog>

QList<ScriptedDialogs::Shown> ScriptedDialogs::messages() const
{
    QList<Shown> result;
    for (const Shown &s : shown) {
        if (s.kind == Shown::Message)
            result.append(s);
    }
    return result;
}

void ScriptedDialogs::message(Icon icon, const QString &title, const QString &text,
                              const QString &detail)
{
    shown.append({ Shown::Message, icon, title, text, detail, {} });
}

bool ScriptedDialogs::askYesNo(const QString &title, const QString &text)
{
    shown.append({ Shown::Question, Icon::Question, title, text, {}, {} });
    return false;
}

std::optional<QString> ScriptedDialogs::input(const QString &title, const QString &prompt,
                                              const QString &defaultAnswer)
{
    shown.append({ Shown::Input, Icon::Question, title, prompt, {}, defaultAnswer });
    if (inputAnswers.isEmpty()) {
        ranOutOfAnswers = true;
        return QStringLiteral("1");
    }
    // A new list of the rest rather than takeFirst(): Qt 6.8 asserts when a brace list is later
    // assigned to a list whose front takeFirst() freed, and scripts set their answers so.
    const std::optional<QString> answer = inputAnswers.first();
    inputAnswers = inputAnswers.sliced(1);
    return answer;
}

void ScriptedDialogs::showModal(QDialog &dialog)
{
    shown.append({ Shown::Modal, Icon::Question, dialog.windowTitle(), {}, {}, {} });
    if (onModal)
        onModal(dialog);
    dialog.hide();
}

void ScriptedDialogs::endProgram(int exitCode)
{
    endings.append(exitCode);
}
