// The one serial connection to the card: line settings, opening, and the two-byte frame.
#include "cardlink.h"

#include "numbers/strictbyte.h"

#ifdef Q_OS_UNIX
#  include <poll.h>
#endif

CardLink::CardLink(PortMap portMap, QObject *parent)
    : QObject(parent), m_portMap(std::move(portMap))
{
    connect(&m_port, &QSerialPort::errorOccurred, this, &CardLink::onError);
    // A dead adapter can stop taking bytes without an error: the queue would then grow
    // without bound and every later frame would come late. Runs only while bytes wait.
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallMs);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        if (m_port.isOpen() && m_port.bytesToWrite() > 0)
            loseLine(QStringLiteral("%1: the line has taken no data for %2 seconds")
                             .arg(m_port.portName())
                             .arg(kStallMs / 1000));
    });
    connect(&m_port, &QSerialPort::bytesWritten, this, &CardLink::watchDrain);
}

void CardLink::watchDrain()
{
    if (m_port.isOpen() && m_port.bytesToWrite() > 0)
        m_stall.start(); // restarted by every write the line takes
    else
        m_stall.stop();
}

void CardLink::setCommPort(int comNumber)
{
    m_commPort = comNumber;
    emit stateChanged();
}

OpenOutcome CardLink::setPortOpen(bool open)
{
    if (!open) {
        if (m_port.isOpen()) {
            // close() drops what is still queued; the last frame belongs on the wire.
            m_port.flush();
            m_port.close();
            emit stateChanged();
        }
        m_stall.stop();
        return {};
    }
    if (m_port.isOpen())
        return {};

    const QString device = m_portMap ? m_portMap(m_commPort) : QString();
    if (device.isEmpty()) {
        return { PortFailure::NoSuchPort,
                 QStringLiteral("there is no such port on this computer") };
    }
    if (OpenOutcome seen = PortProbe::beforeOpen(device); !seen.ok())
        return seen;

    m_port.setPortName(device);
    m_port.setBaudRate(QSerialPort::Baud9600);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    // Nothing is ever read from the card.
    if (!m_port.open(QIODevice::WriteOnly))
        return PortProbe::afterFailedOpen(device, m_port.error(), m_port.errorString());
    emit stateChanged();
    return {};
}

void CardLink::Output(quint8 byte)
{
    const char c = char(byte);
    m_port.write(&c, 1);
}

CardLink::SendOutcome CardLink::SendChannelFrame(const QString &channel, const QString &value)
{
    if (!m_port.isOpen())
        return SendOutcome::PortClosed;
    const std::optional<quint8> channelByte = StrictByte::read(channel);
    if (!channelByte)
        return SendOutcome::BadChannel;
    const std::optional<quint8> valueByte = StrictByte::read(value);
    if (!valueByte)
        return SendOutcome::BadValue;
    // Output only appends to the link's queue, which hands its bytes to the driver in order
    // at the next turn of the event loop or the flush below: nothing between the two writes
    // can close the port, so the value byte always follows its channel byte.
    Output(*channelByte);
    Output(*valueByte);
    // Hand both bytes to the driver now rather than at the next turn of the event loop, but
    // only when it has room: QSerialPort reports a full buffer as a failed write.
    if (m_port.isOpen() && lineHasRoom())
        m_port.flush();
    if (!m_port.isOpen())
        return SendOutcome::LineLost;
    if (!m_stall.isActive())
        watchDrain();
    return SendOutcome::Sent;
}

bool CardLink::lineHasRoom() const
{
#ifdef Q_OS_UNIX
    pollfd p{ int(m_port.handle()), POLLOUT, 0 };
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLOUT);
#else
    return true;
#endif
}

void CardLink::onError(QSerialPort::SerialPortError error)
{
    // QSerialPort repeats a device error until the port is closed, and close() raises an
    // error of its own: handle the first one, once.
    if (m_handlingLoss || !m_port.isOpen())
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::WriteError)
        return;
    loseLine(QStringLiteral("%1: %2").arg(m_port.portName(), m_port.errorString()));
}

void CardLink::loseLine(const QString &why)
{
    m_handlingLoss = true;
    m_stall.stop();
    m_port.close();
    m_port.clearError();
    m_handlingLoss = false;
    emit stateChanged();
    emit lost(m_commPort, why);
}
