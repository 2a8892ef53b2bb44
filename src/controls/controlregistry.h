// Every control window ever made, and where each new one is placed.
#pragma once

#include "presetrow.h"

#include <QList>
#include <QObject>

class ChannelSink;
class ControlWindow;
class QMdiArea;
class QMdiSubWindow;

class ControlRegistry : public QObject
{
    Q_OBJECT

public:
    enum ControlKind : qint16 { Slider = 0, Preset = 1 };

    ControlRegistry(QMdiArea *area, ChannelSink &sink, QObject *parent = nullptr);

    // Placement starts at the left edge again.
    void resetPlacement();

    // A new, empty slot at the end of the registry; returns its index.
    int AddFormSlot();
    // Makes a window of `kind` on `channel`, captioned `name`, and shows and places it; a
    // preset window keeps its own copy of `rows`.
    void ShowNewControl(ControlKind kind, int channel, const QString &name,
                        const PresetRows &rows = {});
    // Every control window ever made, in the order made; a closed one stays, hidden.
    const QList<ControlWindow *> &forms() const { return m_forms; }
    // Scrolls the workspace until `window` is in view, however the operator has scrolled it.
    void bringIntoView(QMdiSubWindow *window);

signals:
    // A control window has been closed by its Close and is hidden for good.
    void windowClosed();

private:
    void place(ControlWindow *content);

    QMdiArea *m_area;
    ChannelSink &m_sink;
    // Slots are never emptied or reused; the workspace's windows own the controls.
    QList<ControlWindow *> m_forms;
    // Twips; wider than the 16 bits it once had, so windows never wrap back to the left.
    int NextLeft = 0;
};
