// The one serial connection to the card: line settings, opening, and the two-byte frame.
#include "cardlink.h"

#include "linedrain.h"
#include "linestate.h"
#include "numbers/strictbyte.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>

namespace {

// While the program ends, no window and nothing that belongs to one acts: their timers, queued
// calls and input go unheard, so that no box opens and no control sends. Sockets are still
// read, so that none of them stays ready and wakes the loop again and again.
class WindowsAtRest : public QObject
{
public:
    WindowsAtRest() { QCoreApplication::instance()->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::SockAct || event->type() == QEvent::SockClose)
            return false;
        for (QObject *o = watched; o; o = o->parent()) {
            if (o->isWidgetType())
                return true;
        }
        return false;
    }
};

} // namespace

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
    // What the driver holds is asked about, not signalled: a look every few milliseconds
    // while something may be left, none once the queue has been seen empty.
    m_queueLook.setInterval(10);
    connect(&m_queueLook, &QTimer::timeout, this, &CardLink::lookAtQueue);
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
    // Bytes went to the driver.
    m_shifted = QDeadlineTimer::Forever;
    m_queueLook.start();
    if (m_port->isOpen() && m_port->bytesToWrite() > 0)
        m_stall.start(); // restarted by every write the line takes
    else
        m_stall.stop();
}

void CardLink::lookAtQueue()
{
    if (!m_port->isOpen()) {
        m_queueLook.stop();
    } else if (m_port->bytesToWrite() == 0 && !LineState::holdsBytes(*m_port)) {
        m_shifted.setRemainingTime(LineState::kTransmitterMs);
        m_queueLook.stop();
    }
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
        m_queueLook.stop();
        if (!m_port->isOpen())
            return {};
        stopHangUpWatch();
        const bool drained = m_port->bytesToWrite() == 0 && !LineState::holdsBytes(*m_port)
                && m_shifted.hasExpired();
        if (drained) {
            m_port->close();
        } else {
            // close() would drop what is still queued, and the driver's queue would then go
            // out at the speed the port had before: the last frame belongs on the wire, whole.
            QSerialPort *closing = std::exchange(m_port, nullptr);
            closing->disconnect(this);
            adopt(new QSerialPort(this));
            new LineDrain(closing, m_device, kStallMs, m_closer, this);
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
            m_device = device;
            watchHangUp();
            watchDrain();
            emit stateChanged();
            return {};
        }
    }
    // Given up a moment ago: an open would wait for the system to let go of it first.
    if (m_closer.closing(device)) {
        return { PortFailure::Held,
                 QStringLiteral("%1 is still closing after its line was given up; the system "
                                "can take up to half a minute over that")
                         .arg(device) };
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
    m_shifted = QDeadlineTimer(0);
    watchHangUp();
    emit stateChanged();
    return {};
}

std::optional<QString> CardLink::hangUp() const
{
    // However the loss was noticed, a line whose device went away says so, rather than
    // whatever error the system last had at hand.
    if (!LineState::hungUp(*m_port) && QFileInfo::exists(m_device))
        return std::nullopt;
    return QStringLiteral("%1: the device has gone").arg(m_port->portName());
}

void CardLink::watchHangUp()
{
    // Qt reports a hang-up only as a failed read, and Qt 6.8 not even that for a USB adapter
    // pulled out while nothing is sent: the link watches the line itself.
    m_hangUp = new QSocketNotifier(m_port->handle(), QSocketNotifier::Exception, this);
    connect(m_hangUp, &QSocketNotifier::activated, this, [this] {
        if (const auto why = m_port->isOpen() ? hangUp() : std::nullopt)
            loseLine(*why);
    });
}

void CardLink::stopHangUpWatch()
{
    // Perhaps from within its own signal, so not deleted at once.
    if (m_hangUp) {
        m_hangUp->setEnabled(false);
        m_hangUp->deleteLater();
    }
}

void CardLink::release()
{
    setPortOpen(false);
    const QDeadlineTimer end(kStallMs);
    QEventLoop draining;
    const auto busy = [this] {
        const QList<LineDrain *> drains = findChildren<LineDrain *>(Qt::FindDirectChildrenOnly);
        return std::any_of(drains.begin(), drains.end(),
                           [](LineDrain *d) { return !d->device().isEmpty(); });
    };
    for (LineDrain *drain : findChildren<LineDrain *>(Qt::FindDirectChildrenOnly)) {
        connect(drain, &LineDrain::finished, &draining, [&] {
            if (!busy())
                draining.quit();
        });
        drain->finishBy(end);
    }
    if (busy()) {
        const WindowsAtRest rest;
        draining.exec();
    }
    // A close that is still under way by now waits in the kernel for a line that takes
    // nothing; the end of the process cuts that wait short.
    m_closer.wait(100);
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
    loseLine(hangUp().value_or(
            QStringLiteral("%1: %2").arg(m_port->portName(), m_port->errorString())));
}

void CardLink::loseLine(const QString &why)
{
    m_handlingLoss = true;
    m_stall.stop();
    m_queueLook.stop();
    stopHangUpWatch();
    // What the line still holds can never leave, and the last close of its descriptor may
    // wait for it all the same: that wait is not the window's.
    m_port->clear(QSerialPort::Output);
    m_closer.close(*m_port, m_device);
    m_port->clearError();
    m_handlingLoss = false;
    emit stateChanged();
    emit lost(m_commPort, why);
}
