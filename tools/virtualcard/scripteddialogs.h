// Answers the program's questions from a script and records every box, dialog and ending.
#pragma once

#include "ui/dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

class ScriptedDialogs : public Dialogs
{
public:
    struct Shown
    {
        enum Kind { Message, Question, Input, Modal } kind;
        Icon icon;
        QString title;
        QString text;
        QString detail;
        QString defaultAnswer;
    };

    // Answers to input boxes in order; nullopt is Cancel; a question is answered No. When they run out the script
    // answers "1" and notes it, so that a question that should have ended cannot hang.
    QList<std::optional<QString>> inputAnswers;
    // Runs in place of a modal showing of one of the program's dialogs; without it the
    // dialog is dismissed at once, as it stands.
    std::function<void(QDialog &)> onModal;

    QList<Shown> shown;
    QList<int> endings;
    bool ranOutOfAnswers = false;

    QList<Shown> messages() const;

    void message(Icon icon, const QString &title, const QString &text,
                 const QString &detail) override;
    bool askYesNo(const QString &title, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultAnswer) override;
    void showModal(QDialog &dialog) override;
    void endProgram(int exitCode) override;
};
