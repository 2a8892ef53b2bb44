// Every control window ever made, the questions that make them, and where they are placed.
#pragma once

#include "sliderticker.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class ChannelSink;
class Dialogs;
class Preset_Details;
class QMdiArea;
class QMdiSubWindow;
class frmPresets;
class frmSlider;

class ControlRegistry : public QObject
{
    Q_OBJECT

public:
    enum ControlKind : qint16 { Slider = 0, Preset = 1 };

    ControlRegistry(QMdiArea *area, Dialogs &dialogs, ChannelSink &sink, QWidget *dialogParent,
                    QObject *parent = nullptr);
    ~ControlRegistry() override;

    // Placement starts at the left edge again and both registries hold two empty slots
    // that are never filled.
    void resetPlacement();
    void dimensionRegistries();

    int AddFormSlot(ControlKind kind);
    QWidget *ShowNewControl(ControlKind kind, int channel, const QString &name);

    int askChannel(const QString &secondLine);
    QString askName(int channel);

    void mnuNew_Slider_Click();
    void mnuNew_Preset_Click();

    // The shared preset details dialog, made on first use and never destroyed.
    Preset_Details &presetDetails();
    // Shows the dialog modally; tests replace it to fill the rows without an event loop.
    std::function<void(Preset_Details &)> showPresetDetails;

    const QList<frmSlider *> &SliderForms() const { return m_sliderForms; }
    const QList<frmPresets *> &PresetForms() const { return m_presetForms; }
    int NextLeft() const { return m_nextLeft; } // twips
    SliderTicker &ticker() { return m_ticker; }

private:
    void showPlaced(QWidget *content, const QString &name);

    QMdiArea *m_area;
    Dialogs &m_dialogs;
    ChannelSink &m_sink;
    QWidget *m_dialogParent;
    SliderTicker m_ticker;
    QPointer<Preset_Details> m_presetDetails;
    QList<frmSlider *> m_sliderForms;
    QList<frmPresets *> m_presetForms;
    // Twips; wider than the 16 bits it once had, so windows never wrap back to the left.
    int m_nextLeft = 0;
};
