// The one serial connection to the card: line settings, opening, and the two-byte frame.
#include "cardlink.h"

#include "linedrain.h"
#include "linestate.h"
#include "numbers/strictbyte.h"

CardLink::CardLink(PortMap portMap, QObject *parent)
    : QObject(parent), m_portMap(std::move(portMap))
{
    adopt(new QSerialPort(this));
    // A dead adapter can stop taking bytes without an error: the queue would then grow
    // without bound and every later frame would come late. Runs only while bytes wait.
    m_stall.setSingleShot(true);
    m_stall.setInterval(kStallMs);
    connect(&m_stall, &QTimer::timeout, this, [this] {
        if (m_port->isOpen() && m_port->bytesToWrite() > 0)
            loseLine(QStringLiteral("%1: the line has taken no data for %2 seconds")
                             .arg(m_port->portName())
                             .arg(kStallMs / 1000));
    });
}

void CardLink::adopt(QSerialPort *port)
{
    m_port = port;
    m_port->setParent(this);
    connect(m_port, &QSerialPort::errorOccurred, this, &CardLink::onError);
    connect(m_port, &QSerialPort::bytesWritten, this, &CardLink::watchDrain);
    // The port is open for reading only so that a hang-up is heard while nothing is sent;
    // the card says nothing, and anything that comes is noise.
    connect(m_port, &QSerialPort::readyRead, m_port, &QSerialPort::readAll, Qt::UniqueConnection);
}

void CardLink::watchDrain()
{
    if (m_port->isOpen() && m_port->bytesToWrite() > 0)
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
        m_stall.stop();
        if (!m_port->isOpen())
            return {};
        if (m_port->bytesToWrite() == 0 && !LineState::holdsBytes(*m_port)) {
            m_port->close();
        } else {
            // close() would drop what is still queued, and the driver's queue would then go
            // out at the speed the port had before: the last frame belongs on the wire, whole.
            QSerialPort *closing = std::exchange(m_port, nullptr);
            closing->disconnect(this);
            adopt(new QSerialPort(this));
            new LineDrain(closing, m_device, kStallMs, this);
        }
        emit stateChanged();
        return {};
    }
    if (m_port->isOpen())
        return {};

    const QString device = m_portMap ? m_portMap(m_commPort) : QString();
    if (device.isEmpty()) {
        return { PortFailure::NoSuchPort,
                 QStringLiteral("there is no such port on this computer") };
    }
    // Closed a moment ago and still sending its last frames: the same line, as it was.
    for (LineDrain *drain : findChildren<LineDrain *>(Qt::FindDirectChildrenOnly)) {
        if (drain->device() == device) {
            delete m_port;
            adopt(drain->takeBack());
            watchDrain();
            emit stateChanged();
            return {};
        }
    }
    if (OpenOutcome seen = PortProbe::beforeOpen(device); !seen.ok())
        return seen;

    m_port->setPortName(device);
    m_port->setBaudRate(QSerialPort::Baud9600);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite))
        return PortProbe::afterFailedOpen(device, m_port->error(), m_port->errorString());
    m_device = device;
    emit stateChanged();
    return {};
}

void CardLink::release()
{
    setPortOpen(false);
    qDeleteAll(findChildren<LineDrain *>(Qt::FindDirectChildrenOnly));
}

void CardLink::Output(quint8 byte)
{
    const char c = char(byte);
    m_port->write(&c, 1);
}

CardLink::SendOutcome CardLink::SendChannelFrame(const QString &channel, const QString &value)
{
    if (!m_port->isOpen())
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
    if (m_port->isOpen() && LineState::hasRoom(*m_port))
        m_port->flush();
    if (!m_port->isOpen())
        return SendOutcome::LineLost;
    if (!m_stall.isActive())
        watchDrain();
    return SendOutcome::Sent;
}

void CardLink::onError(QSerialPort::SerialPortError error)
{
    // QSerialPort repeats a device error until the port is closed, and close() raises an
    // error of its own: handle the first one, once.
    if (m_handlingLoss || !m_port->isOpen())
        return;
    // A pulled adapter: a read that finds the line hung up (ReadError, or ResourceError for
    // EIO) comes at once, idle or not; a write that fails comes with the next frame.
    if (error != QSerialPort::ResourceError && error != QSerialPort::WriteError
        && error != QSerialPort::ReadError)
        return;
    loseLine(QStringLiteral("%1: %2").arg(m_port->portName(), m_port->errorString()));
}

void CardLink::loseLine(const QString &why)
{
    m_handlingLoss = true;
    m_stall.stop();
    // What the line still holds can never leave; a tty's close would wait up to half a
    // minute for it.
    m_port->clear(QSerialPort::Output);
    m_port->close();
    m_port->clearError();
    m_handlingLoss = false;
    emit stateChanged();
    emit lost(m_commPort, why);
}
