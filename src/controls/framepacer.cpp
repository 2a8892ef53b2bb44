// Paces one slider's frames: a change after a quiet spell goes out at once; later ones wait
// until 50 ms after the last frame and carry the position at that moment.
#include "framepacer.h"

FramePacer::FramePacer(std::unique_ptr<Clock> clock, std::function<bool()> due, QObject *parent)
    : QObject(parent), m_clock(std::move(clock)), m_due(std::move(due))
{
}

FramePacer::~FramePacer() = default;

void FramePacer::changed()
{
    // A frame already waiting keeps its time, and will carry this position.
    const qint64 since = m_lastFrame ? m_clock->now() - *m_lastFrame : kIntervalMs;
    if (since >= kIntervalMs) {
        fire();
        return;
    }
    m_clock->after(int(kIntervalMs - since), [this] { fire(); });
}

void FramePacer::fire()
{
    if (m_due())
        m_lastFrame = m_clock->now();
}
