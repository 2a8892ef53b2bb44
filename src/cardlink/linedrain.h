// A port being closed: what the link still holds goes out whole, at the line's own speed,
// and only then is the port closed. The desk goes on meanwhile, on another port if it likes.
#pragma once

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class LineCloser;
class QSerialPort;

class LineDrain : public QObject
{
    Q_OBJECT

public:
    // Takes `port`, open. A line that takes nothing for `giveUpMs` is given up: what it still
    // holds is dropped, and `closer` lets go of it, since its close may wait on the driver.
    LineDrain(QSerialPort *port, const QString &device, int giveUpMs, LineCloser &closer,
              QObject *parent);

    // The device it is draining; empty once done.
    const QString &device() const { return m_device; }
    // The port is wanted open again before it has drained: it is handed back as it is.
    QSerialPort *takeBack();
    // The program is ending: done by `deadline` however the line goes, bytes taken or not.
    void finishBy(QDeadlineTimer deadline);

signals:
    void finished();

private:
    void check();
    void finish(bool drop);

    QSerialPort *m_port;
    QString m_device;
    int m_giveUpMs;
    LineCloser &m_closer;
    QDeadlineTimer m_giveUp;
    QDeadlineTimer m_end = QDeadlineTimer::Forever;
    QElapsedTimer m_empty; // since the driver's queue was last seen empty
    QTimer m_look{ this };
};
