// Answers the program's questions from a script and records every box and ending.
#pragma once

#include "app/dialogs.h"

#include <QList>
#include <QStringList>
#include <functional>

class FakeDialogs : public Dialogs
{
public:
    struct Shown
    {
        enum Kind { Message, Question, Input } kind;
        Icon icon;
        QString title;
        QString text;
        QString detail;
        QString defaultAnswer;
    };

    // Answers to input boxes in order; nullopt is Cancel. When they run out the fake answers
    // "1" and notes it, so that a loop that should have ended cannot hang the test.
    QList<std::optional<QString>> inputAnswers;
    QList<bool> yesNoAnswers;
    // Runs while a message box "shows", as the operator's other clicks would.
    std::function<void(const Shown &)> onMessage;

    QList<Shown> shown;
    QList<int> endings;
    bool ranOutOfAnswers = false;

    QList<Shown> messages() const;

    void message(Icon icon, const QString &title, const QString &text,
                 const QString &detail) override;
    bool askYesNo(const QString &title, const QString &text) override;
    std::optional<QString> input(const QString &title, const QString &prompt,
                                 const QString &defaultAnswer) override;
    void endProgram(int exitCode) override;
};
