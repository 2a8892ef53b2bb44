// The dialog in which the ten presets of a new preset window are named and given levels.
#pragma once

#include "presetrow.h"

#include <QDialog>
#include <array>

class QLineEdit;
class QPushButton;

class Preset_Details : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kRows = std::tuple_size_v<PresetRows>;
    static constexpr int kNameLength = 7;

    explicit Preset_Details(QWidget *parent = nullptr);

    // The ten rows as they stand.
    PresetRows rows() const;

    // Every way out hides the dialog as OK does: New > Preset goes on and reads the rows.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void OK_Button_Click();

    std::array<QLineEdit *, kRows> m_names{};
    std::array<QLineEdit *, kRows> m_values{};
    QPushButton *m_ok;
};
