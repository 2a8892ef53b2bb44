// A port being closed: what the link still holds goes out whole, at the line's own speed,
// and only then is the port closed.
#include "linedrain.h"

#include "linestate.h"

#include <QSerialPort>
#include <QThread>

LineDrain::LineDrain(QSerialPort *port, const QString &device, int giveUpMs, QObject *parent)
    : QObject(parent), m_port(port), m_device(device), m_giveUpMs(giveUpMs), m_giveUp(giveUpMs)
{
    m_port->setParent(this);
    // QSerialPort goes on handing its queue to the driver as the driver makes room; each
    // byte taken shows the line is alive.
    connect(m_port, &QSerialPort::bytesWritten, this,
            [this] { m_giveUp.setRemainingTime(m_giveUpMs); });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError && e != QSerialPort::NotOpenError && m_port->isOpen()) {
            finish(true); // pulled out while draining: nothing more can go
            deleteLater();
        }
    });
    // What the driver holds is asked about, not signalled: a look every few milliseconds,
    // only while something is left.
    m_look.setInterval(10);
    connect(&m_look, &QTimer::timeout, this, &LineDrain::check);
    m_look.start();
}

LineDrain::~LineDrain()
{
    if (!m_port || !m_port->isOpen())
        return;
    m_look.stop();
    while (m_port->bytesToWrite() > 0 && !m_giveUp.hasExpired())
        m_port->waitForBytesWritten(int(m_giveUp.remainingTime()));
    while (LineState::holdsBytes(*m_port) && !m_giveUp.hasExpired())
        QThread::msleep(5);
    finish(m_giveUp.hasExpired());
}

QSerialPort *LineDrain::takeBack()
{
    m_look.stop();
    m_device.clear();
    m_port->disconnect(this);
    QSerialPort *port = std::exchange(m_port, nullptr);
    deleteLater();
    return port;
}

void LineDrain::check()
{
    const bool drained = m_port->bytesToWrite() == 0 && !LineState::holdsBytes(*m_port);
    if (drained || m_giveUp.hasExpired()) {
        finish(!drained);
        deleteLater();
    }
}

void LineDrain::finish(bool drop)
{
    // The port's own errors as it closes are no news any more.
    m_look.stop();
    m_device.clear();
    m_port->disconnect(this);
    if (drop)
        m_port->clear(QSerialPort::Output);
    m_port->close();
}
