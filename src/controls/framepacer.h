// Paces one slider's frames: a change after a quiet spell goes out at once; later ones wait
// until 50 ms after the last frame and carry the position at that moment.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class FramePacer : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 50;

    // `due` brings the shown value up to date; it returns whether a frame went out.
    explicit FramePacer(std::function<bool()> due, QObject *parent = nullptr);

    // The position moved.
    void changed();

private:
    void fire();

    std::function<bool()> m_due;
    QTimer m_wait; // runs only while a change waits for its turn: an idle desk never wakes
    QElapsedTimer m_sinceFrame;
};
