// Lets go of ports away from the window's thread. A tty's last close waits for what its line
// still holds, up to the port's closing wait (30 s by default), and a line that was given up
// takes nothing: on some drivers (cdc_acm before Linux 6.12) not even a flush empties it.
#pragma once

#include <QString>
#include <memory>

class QSerialPort;

class LineCloser
{
public:
    LineCloser();

    // Closes `port` for good: Qt lets go of it at once (its settings restored, its lock file
    // gone), and the descriptor's last close runs on a thread of its own.
    void close(QSerialPort &port, const QString &device);
    // `device` is still being let go of; opening it now would wait for that, or fail.
    bool closing(const QString &device) const;
    // Waits up to `ms` for every close to end. A close that takes longer waits in the kernel,
    // where the end of the process cuts it short.
    void wait(int ms) const;

private:
    struct Closing;
    std::shared_ptr<Closing> m_closing; // shared with the threads, which may outlive the link
};
