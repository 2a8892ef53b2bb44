// The 50 ms cadence at which slider labels catch up with their scroll bars.
#include "sliderticker.h"

#include "frmslider.h"

SliderTicker::SliderTicker(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SliderTicker::tick);
}

void SliderTicker::wake(frmSlider *slider)
{
    if (!m_lagging.contains(slider))
        m_lagging.append(slider);
    if (!m_timer.isActive())
        m_timer.start();
}

void SliderTicker::tick()
{
    // Taken first: a send may open a box whose event loop moves another slider.
    const QList<QPointer<frmSlider>> due = std::exchange(m_lagging, {});
    for (const QPointer<frmSlider> &slider : due) {
        if (slider)
            slider->Timer1_Timer();
    }
    if (m_lagging.isEmpty())
        m_timer.stop();
}
