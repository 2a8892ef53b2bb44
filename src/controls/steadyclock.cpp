// The program's clock for pacing frames.
#include "steadyclock.h"

SteadyClock::SteadyClock()
{
    m_elapsed.start();
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { m_then(); });
}

void SteadyClock::after(int ms, std::function<void()> then)
{
    m_then = std::move(then);
    m_timer.start(ms);
}
