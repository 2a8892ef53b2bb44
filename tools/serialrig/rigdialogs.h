// The scripted answers in the rig's guest: every box and the ending are told as they come,
// and the ending is carried out at once, as the program's own dialogs do.
#pragma once

#include "virtualcard/scripteddialogs.h"

#include <cstdio>
#include <cstdlib>
#include <functional>

class RigDialogs : public ScriptedDialogs
{
public:
    std::function<void(const QByteArray &what, const QString &detail)> tell;

    void message(Icon icon, const QString &title, const QString &text,
                 const QString &detail) override
    {
        ScriptedDialogs::message(icon, title, text, detail);
        tell("box", text);
    }
    void endProgram(int exitCode) override
    {
        tell("ended", QString::number(exitCode));
        std::fflush(stdout);
        std::_Exit(exitCode);
    }
};
