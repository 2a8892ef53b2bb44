// The one serial connection to the card on Windows: the desk's own port, opening, and the
// two-byte frame.
#include "cardlink.h"

#include "numbers/strictbyte.h"

CardLink::CardLink(PortMap portMap, QObject *parent)
    : QObject(parent), m_portMap(std::move(portMap))
{
    adopt(new WinSerialPort(kStallMs, this));
}

void CardLink::adopt(WinSerialPort *port)
{
    m_port = port;
    connect(m_port, &WinSerialPort::lost, this, [this](const QString &why) {
        emit stateChanged();
        emit lost(m_commPort, why);
    });
}

void CardLink::setCommPort(int comNumber)
{
    m_commPort = comNumber;
    emit stateChanged();
}

OpenOutcome CardLink::setPortOpen(bool open)
{
    if (!open) {
        if (!m_port->isOpen())
            return {};
        // The last frame belongs on the wire, whole: the port closes once it has gone out,
        // and the desk goes on meanwhile.
        WinSerialPort *closing = std::exchange(m_port, nullptr);
        closing->disconnect(this);
        connect(closing, &WinSerialPort::closed, closing, &QObject::deleteLater);
        adopt(new WinSerialPort(kStallMs, this));
        closing->closeWhenSent();
        emit stateChanged();
        return {};
    }
    if (m_port->isOpen())
        return {};

    const QString name = m_portMap ? m_portMap(m_commPort) : QString();
    if (name.isEmpty()) {
        return { PortFailure::NoSuchPort,
                 QStringLiteral("there is no such port on this computer") };
    }
    // Closed a moment ago and still sending its last frames: the same line, as it was.
    for (WinSerialPort *port : findChildren<WinSerialPort *>(Qt::FindDirectChildrenOnly)) {
        if (port != m_port && port->closing() && port->name() == name) {
            delete m_port;
            port->keepOpen();
            port->disconnect(this);
            disconnect(port, &WinSerialPort::closed, port, &QObject::deleteLater);
            adopt(port);
            emit stateChanged();
            return {};
        }
    }
    if (OpenOutcome opened = m_port->open(name); !opened.ok())
        return opened;
    emit stateChanged();
    return {};
}

void CardLink::release()
{
    setPortOpen(false);
    const QDeadlineTimer end(kStallMs);
    for (WinSerialPort *port : findChildren<WinSerialPort *>(Qt::FindDirectChildrenOnly))
        port->finishBy(end);
}

void CardLink::Output(quint8 byte)
{
    m_port->write(QByteArray(1, char(byte)));
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
    // Both bytes join the port's queue before either goes, so they go together and in order.
    Output(*channelByte);
    Output(*valueByte);
    m_port->flush();
    return m_port->isOpen() ? SendOutcome::Sent : SendOutcome::LineLost;
}
