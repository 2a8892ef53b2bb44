// The 50 ms cadence at which slider labels catch up with their scroll bars.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>

class frmSlider;

// One timer for every slider, running only while some slider's label lags its scroll bar,
// so that a desk of idle sliders never wakes the program.
class SliderTicker : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 50;

    explicit SliderTicker(QObject *parent = nullptr);

    // The slider's scroll bar moved: its label catches up at the next tick.
    void wake(frmSlider *slider);
    bool isRunning() const { return m_timer.isActive(); }

private:
    void tick();

    QTimer m_timer;
    QList<QPointer<frmSlider>> m_lagging;
};
