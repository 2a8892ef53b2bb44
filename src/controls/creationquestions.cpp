// The questions both New commands ask: which channel, what name, and for presets the
// ten names and levels.
#include "creationquestions.h"

#include "numbers/channelanswer.h"
#include "presetdetails.h"
#include "ui/apptitle.h"
#include "ui/dialogs.h"

CreationQuestions::CreationQuestions(Dialogs &dialogs, QWidget *dialogParent)
    : m_dialogs(dialogs), m_dialogParent(dialogParent)
{
}

int CreationQuestions::askChannel(ControlRegistry::ControlKind kind)
{
    // The two lines are joined by a carriage return alone.
    const QString prompt = QStringLiteral("Please enter the value of the channel\r")
            + (kind == ControlRegistry::Slider
                       ? QStringLiteral("that you wish to control with this slider")
                       : QStringLiteral("that you wish to control with these Presets."));
    for (;;) {
        // Cancel reads as an empty answer, which is no channel: the question comes again.
        const QString answer =
                m_dialogs.input(appTitle(), prompt, QStringLiteral("0")).value_or(QString());
        const std::optional<qint16> channel = ChannelAnswer::read(answer);
        if (channel && isCardChannel(*channel))
            return *channel;
        m_dialogs.message(Dialogs::Icon::Exclamation, appTitle(),
                          QStringLiteral("A Channel Number from 1 to 112 must be entered"));
    }
}

QString CreationQuestions::askName(int channel)
{
    return m_dialogs
            .input(appTitle(),
                   QStringLiteral("If you would like to name this channel\rplease enter it here."),
                   QStringLiteral("Ch: %1").arg(channel))
            .value_or(QString());
}

PresetRows CreationQuestions::askPresets()
{
    if (!m_presetDetails)
        m_presetDetails = new Preset_Details(m_dialogParent);
    m_dialogs.showModal(*m_presetDetails);
    return m_presetDetails->rows();
}
