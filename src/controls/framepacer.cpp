// Paces one slider's frames: a change after a quiet spell goes out at once; later ones wait
// until 50 ms after the last frame and carry the position at that moment.
#include "framepacer.h"

FramePacer::FramePacer(std::function<bool()> due, QObject *parent)
    : QObject(parent), m_due(std::move(due))
{
    m_wait.setSingleShot(true);
    m_wait.setTimerType(Qt::PreciseTimer);
    connect(&m_wait, &QTimer::timeout, this, &FramePacer::fire);
}

void FramePacer::changed()
{
    if (m_wait.isActive())
        return; // the waiting frame will carry this position
    const qint64 since = m_sinceFrame.isValid() ? m_sinceFrame.elapsed() : kIntervalMs;
    if (since >= kIntervalMs)
        fire();
    else
        m_wait.start(int(kIntervalMs - since));
}

void FramePacer::fire()
{
    if (m_due())
        m_sinceFrame.start();
}
