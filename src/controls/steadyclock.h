// The program's clock for pacing frames: the monotonic clock, and a precise Qt timer that runs
// only while something waits on it.
#pragma once

#include "framepacer.h"

#include <QElapsedTimer>
#include <QTimer>

class SteadyClock : public FramePacer::Clock
{
public:
    SteadyClock();

    qint64 now() const override { return m_elapsed.elapsed(); }
    void after(int ms, std::function<void()> then) override;

private:
    QElapsedTimer m_elapsed;
    QTimer m_timer;
    std::function<void()> m_then;
};
