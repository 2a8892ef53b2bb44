// A port being closed: what the link still holds goes out whole, at the line's own speed,
// and only then is the port closed.
#include "linedrain.h"

#include "linecloser.h"
#include "linestate.h"

#include <QSerialPort>

LineDrain::LineDrain(QSerialPort *port, const QString &device, int giveUpMs, LineCloser &closer,
                     QObject *parent)
    : QObject(parent),
      m_port(port),
      m_device(device),
      m_giveUpMs(giveUpMs),
      m_closer(closer),
      m_giveUp(giveUpMs)
{
    m_port->setParent(this);
    // QSerialPort goes on handing its queue to the driver as the driver makes room; each
    // byte taken shows the line is alive.
    connect(m_port, &QSerialPort::bytesWritten, this,
            [this] { m_giveUp.setRemainingTime(m_giveUpMs); });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError && e != QSerialPort::NotOpenError)
            finish(true); // pulled out while draining: nothing more can go
    });
    // What the driver holds is asked about, not signalled: a look every few milliseconds,
    // only while something is left.
    m_look.setInterval(10);
    connect(&m_look, &QTimer::timeout, this, &LineDrain::check);
    m_look.start();
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

void LineDrain::finishBy(QDeadlineTimer deadline)
{
    m_end = deadline;
    check();
}

void LineDrain::check()
{
    if (m_port->bytesToWrite() > 0 || LineState::holdsBytes(*m_port))
        m_empty.invalidate();
    else if (!m_empty.isValid())
        m_empty.start();
    const bool drained = m_empty.isValid() && m_empty.elapsed() >= LineState::kTransmitterMs;
    if (drained || m_giveUp.hasExpired() || m_end.hasExpired())
        finish(!drained);
}

void LineDrain::finish(bool drop)
{
    if (m_device.isEmpty())
        return; // done already: the port's own errors as it closes are no news
    m_look.stop();
    const QString device = std::exchange(m_device, {});
    m_port->disconnect(this);
    if (drop) {
        // What the line still holds can never leave; its close may still wait on it.
        m_port->clear(QSerialPort::Output);
        m_closer.close(*m_port, device);
    } else {
        m_port->close();
    }
    emit finished();
    deleteLater();
}
