// A port being closed: what the link still holds goes out whole, at the line's own speed,
// and only then is the port closed. The desk goes on meanwhile, on another port if it likes.
#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

class QSerialPort;

class LineDrain : public QObject
{
    Q_OBJECT

public:
    // Takes `port`, open. A line that takes nothing for `giveUpMs` is given up: what it still
    // holds is dropped, so that the close does not wait on the driver for half a minute.
    LineDrain(QSerialPort *port, const QString &device, int giveUpMs, QObject *parent);
    // The program is ending: the rest goes out now, within the same time.
    ~LineDrain() override;

    // The device it is draining; empty once done.
    const QString &device() const { return m_device; }
    // The port is wanted open again before it has drained: it is handed back as it is.
    QSerialPort *takeBack();

private:
    void check();
    void finish(bool drop);

    QSerialPort *m_port;
    QString m_device;
    int m_giveUpMs;
    QDeadlineTimer m_giveUp;
    QTimer m_look;
};
