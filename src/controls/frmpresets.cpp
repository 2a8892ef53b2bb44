// A preset window: ten named buttons, each sending its stored level on one channel.
#include "frmpresets.h"

#include "ui/press.h"
#include "ui/twips.h"

#include <QPushButton>

frmPresets::frmPresets(ChannelSink &sink, QWidget *parent)
    : ControlWindow(sink, parent),
      m_lblPresets_Val(kPresets, QStringLiteral("0")),
      m_cmdClose(new QPushButton(QStringLiteral("Close"), this))
{
    setWindowTitle(QStringLiteral("Presets"));
    setFixedSize(twipsSize(1392, 5484));

    for (int i = 0; i < kPresets; ++i) {
        m_cmdPresets[i] = new QPushButton(QStringLiteral("Preset (0)"), this);
        m_cmdPresets[i]->setObjectName(QStringLiteral("cmdPresets%1").arg(i));
        // The top button sits a little right of the others.
        m_cmdPresets[i]->setGeometry(i == 0 ? twipsRect(108, 120, 1215, 375)
                                            : twipsRect(71, 615 + 495 * (i - 1), 1215, 375));
        m_cmdPresets[i]->setAutoDefault(false);
        m_cmdPresets[i]->setFocusPolicy(Qt::StrongFocus);
        Press::byKeys(m_cmdPresets[i]);
        connect(m_cmdPresets[i], &QPushButton::clicked, this, [this, i] { cmdPresets_Click(i); });
        if (i > 0)
            setTabOrder(m_cmdPresets[i - 1], m_cmdPresets[i]);
    }
    m_cmdClose->setObjectName(QStringLiteral("cmdClose_Preset"));
    m_cmdClose->setGeometry(twipsRect(371, 5160, 615, 255));
    m_cmdClose->setAutoDefault(false);
    Press::byKeys(m_cmdClose);
    setTabOrder(m_cmdPresets[kPresets - 1], m_cmdClose);
    setFocusProxy(m_cmdPresets[0]);
    connect(m_cmdClose, &QPushButton::clicked, this, &frmPresets::cmdClose_Preset_Click);
}

void frmPresets::Form_Load(const PresetRows &rows)
{
    for (int i = 0; i < kPresets; ++i) {
        const QString &name = rows[i].name;
        m_cmdPresets[i]->setText(name);
        m_cmdPresets[i]->setAccessibleName(name.isEmpty() ? QStringLiteral("Preset %1").arg(i + 1)
                                                          : QString(name).remove(u'&'));
        m_lblPresets_Val[i] = rows[i].level;
        // The level is on no screen; a screen reader tells it with the name.
        m_cmdPresets[i]->setAccessibleDescription(
                QStringLiteral("level %1").arg(m_lblPresets_Val[i]));
    }
}

void frmPresets::cmdPresets_Click(int index)
{
    // Every press sends, repeats included.
    send(m_lblPresets_Val[index]);
}

void frmPresets::cmdClose_Preset_Click()
{
    hideWindow();
}
