// One preset of a preset window, as the preset details dialog's row holds it.
#pragma once

#include <QString>
#include <array>

struct PresetRow
{
    QString name; // the button's caption
    QString level = QStringLiteral("0"); // what the button sends, as typed
};

// The ten presets of one window, from the top button down.
using PresetRows = std::array<PresetRow, 10>;
