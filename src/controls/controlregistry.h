// Every control window ever made, and where each new one is placed.
#pragma once

#include <QList>
#include <QObject>
#include <functional>

class ChannelSink;
class ControlWindow;
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

    // `presetRows` gives the dialog whose rows a new preset window copies.
    ControlRegistry(QMdiArea *area, ChannelSink &sink,
                    std::function<const Preset_Details &()> presetRows, QObject *parent = nullptr);

    // Placement starts at the left edge again and both registries hold two empty slots
    // that are never filled.
    void resetPlacement();
    void dimensionRegistries();

    int AddFormSlot(ControlKind kind);
    QWidget *ShowNewControl(ControlKind kind, int channel, const QString &name);
    // Scrolls the workspace until `window` is in view, however the operator has scrolled it.
    void bringIntoView(QMdiSubWindow *window);

signals:
    // A control window has been closed by its Close and is hidden for good.
    void windowClosed();

private:
    void place(ControlWindow *content);

    QMdiArea *m_area;
    ChannelSink &m_sink;
    std::function<const Preset_Details &()> m_presetRows;
    // The workspace's windows own the controls; these only list them, never emptied.
    QList<frmSlider *> m_sliderForms;
    QList<frmPresets *> m_presetForms;
    // Twips; wider than the 16 bits it once had, so windows never wrap back to the left.
    int NextLeft = 0;
};
