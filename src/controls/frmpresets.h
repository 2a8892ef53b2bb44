// A preset window: ten named buttons, each sending its stored level on one channel.
#pragma once

#include "controlwindow.h"
#include "presetrow.h"

#include <QStringList>
#include <array>

class QPushButton;

class frmPresets : public ControlWindow
{
    Q_OBJECT

public:
    static constexpr int kPresets = std::tuple_size_v<PresetRows>;

    explicit frmPresets(ChannelSink &sink, QWidget *parent = nullptr);

    // Takes the ten names and levels; the window keeps its own copy.
    void Form_Load(const PresetRows &rows);

private:
    void cmdPresets_Click(int index);
    void cmdClose_Preset_Click();

    std::array<QPushButton *, kPresets> m_cmdPresets{};
    // The level each button sends, as typed: held out of sight, never shown.
    QStringList m_lblPresets_Val;
    QPushButton *m_cmdClose;
};
