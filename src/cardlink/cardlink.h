// The one serial connection to the card: line settings, opening, and the two-byte frame.
#pragma once

#include "openoutcome.h"
#include "portmap.h"

#include <QObject>
#ifdef Q_OS_WIN
#  include "winserialport.h"
#else
#  include "linecloser.h"
#  include "portprobe.h"

#  include <QDeadlineTimer>
#  include <QPointer>
#  include <QSerialPort>
#  include <QSocketNotifier>
#  include <QTimer>
#endif

class CardLink : public QObject
{
    Q_OBJECT

public:
    // LineLost: the line failed as the frame went out; the port is closed, and the frame,
    // whole or half, may not have reached the card.
    enum class SendOutcome { Sent, PortClosed, BadChannel, BadValue, LineLost };

    // How long bytes may wait with none of them taken by the line before it counts as lost.
    // Longer than a healthy line at 9600 baud (960 bytes a second) ever goes without taking
    // any: under a flood the driver wakes a writer only when nearly all of its buffer has
    // gone out, (4096 - 256) bytes for a UART and (4095 - 128) for a pseudo-terminal, some
    // 4.1 s.
    static constexpr int kStallMs = 6000;

    explicit CardLink(PortMap portMap, QObject *parent = nullptr);

    // The three operations the rest of the program uses.
    void setCommPort(int comNumber);
    int commPort() const { return m_commPort; }
    bool portOpen() const { return m_port->isOpen(); }
    // Closing hands what the line still holds to a LineDrain, so the desk never waits on it.
    OpenOutcome setPortOpen(bool open);
    // The program is ending and its windows have gone: closes the port, and returns once what
    // the link still holds has gone out or been given up, within the stall window. Meanwhile
    // nothing that belongs to a window runs, since nothing of the desk may act any more.
    void release();

    // Sends one change: the channel byte, then the value byte. Both texts are converted
    // before either byte is written, because a lone channel byte would pair every later
    // byte wrongly on the card (the line has no start marker).
    SendOutcome SendChannelFrame(const QString &channel, const QString &value);

signals:
    // The port number or the open state changed; for views that follow the link.
    void stateChanged();
    // The open port failed under us (an adapter pulled out). The port is closed already.
    void lost(int comNumber, const QString &reason);

private:
    // Private: a lone byte on the wire would pair every later byte wrongly.
    void Output(quint8 byte);
#ifdef Q_OS_WIN
    // Windows has no QSerialPort here: the port is the desk's own.
    void adopt(WinSerialPort *port);

    PortMap m_portMap;
    WinSerialPort *m_port = nullptr; // the one the link writes to; closing ones are not it
    int m_commPort = 1;
#else
    void onError(QSerialPort::SerialPortError error);
    void loseLine(const QString &why);
    void watchDrain();
    void lookAtQueue();
    // Why the line is lost, when its device went away (an adapter pulled out).
    std::optional<QString> hangUp() const;
    void watchHangUp();
    void stopHangUpWatch();
    void adopt(QSerialPort *port);

    PortMap m_portMap;
    QSerialPort *m_port = nullptr; // the one the link writes to; draining ones are not it
    QString m_device; // the path COMn named when the port opened
    QPointer<QSocketNotifier> m_hangUp;
    LineCloser m_closer;
    // When a UART's FIFO has surely shifted its last byte out: its time after the driver's
    // queue was seen empty, looked at while bytes may be in it. A close before then would
    // send the last bytes at the settings the port had before.
    QDeadlineTimer m_shifted;
    QTimer m_queueLook;
    QTimer m_stall;
    int m_commPort = 1;
    bool m_handlingLoss = false;
#endif
};
