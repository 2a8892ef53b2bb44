// A preset window: ten named buttons, each sending its stored level on one channel.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>

class ChannelSink;
class Preset_Details;
class QPushButton;

class frmPresets : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kPresets = 10;

    frmPresets(ChannelSink &sink, QWidget *parent = nullptr);

    QString Tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // Copies the dialog's ten names and levels; the window keeps its own copy.
    void Form_Load(const Preset_Details &details);

    QPushButton *cmdPresets(int index) const { return m_buttons[index]; }
    QPushButton *cmdClose_Preset() const { return m_cmdClose; }
    // The level each button sends, as typed: held out of sight, never shown.
    QString lblPresets_Val(int index) const { return m_levels[index]; }

    void cmdPresets_Click(int index);
    void cmdClose_Preset_Click();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ChannelSink &m_sink;
    QString m_tag;
    std::array<QPushButton *, kPresets> m_buttons {};
    QStringList m_levels;
    QPushButton *m_cmdClose;
};
