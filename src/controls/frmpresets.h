// A preset window: ten named buttons, each sending its stored level on one channel.
#pragma once

#include "controlwindow.h"

#include <QStringList>
#include <array>

class Preset_Details;
class QPushButton;

class frmPresets : public ControlWindow
{
    Q_OBJECT

public:
    static constexpr int kPresets = 10;

    explicit frmPresets(ChannelSink &sink, QWidget *parent = nullptr);

    // Copies the dialog's ten names and levels; the window keeps its own copy.
    void Form_Load(const Preset_Details &details);

private:
    void cmdPresets_Click(int index);
    void cmdClose_Preset_Click();

    std::array<QPushButton *, kPresets> m_cmdPresets{};
    // The level each button sends, as typed: held out of sight, never shown.
    QStringList m_lblPresets_Val;
    QPushButton *m_cmdClose;
};
