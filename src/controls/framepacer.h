// Paces one slider's frames: a change after a quiet spell goes out at once; later ones wait
// until 50 ms after the last frame and carry the position at that moment.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class FramePacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 50;

    // The pacer's time: the program's is SteadyClock.
    class Clock
    {
    public:
        virtual ~Clock() = default;
        // Milliseconds from a fixed moment.
        virtual qint64 now() const = 0;
        // Calls `then` once, `ms` from now, in place of any call still waiting. Nothing runs
        // while nothing waits: an idle desk never wakes.
        virtual void after(int ms, std::function<void()> then) = 0;
    };

    // `due` brings the shown value up to date; it returns whether a frame went out.
    FramePacer(std::unique_ptr<Clock> clock, std::function<bool()> due, QObject *parent = nullptr);
    ~FramePacer() override;

    // The position moved.
    void changed();

private:
    void fire();

    std::unique_ptr<Clock> m_clock;
    std::function<bool()> m_due;
    std::optional<qint64> m_lastFrame;
};
