// The questions both New commands ask: which channel, what name, and for presets the
// ten names and levels.
#pragma once

#include "controlregistry.h"

#include <QPointer>

class Dialogs;
class Preset_Details;
class QWidget;

class CreationQuestions
{
public:
    CreationQuestions(Dialogs &dialogs, QWidget *dialogParent);

    // Asks until the answer is a channel from 1 to 112; the prompt's second line names
    // what the channel is for.
    int askChannel(ControlRegistry::ControlKind kind);
    // The answer as typed; Cancel gives an empty name.
    QString askName(int channel);
    // Shows the shared preset details dialog modally and returns its rows, which stay in it
    // for the next time. The dialog is made on first use and hidden, never destroyed.
    PresetRows askPresets();

private:
    Dialogs &m_dialogs;
    QWidget *m_dialogParent;
    QPointer<Preset_Details> m_presetDetails; // a child of the frame, which owns it
};
