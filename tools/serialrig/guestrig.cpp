// The rig's guest seen from this machine: boots it (guest.sh), talks to the desk inside on
// its console, reads the card's two lines, pulls and plugs the USB adapter on QEMU's monitor,
// and follows every write to the UART's registers.
#include "guestrig.h"

#include <QCoreApplication>
#include <algorithm>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>
#include <cstdio>

namespace {

bool connectLocal(QLocalSocket &socket, const QString &path, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        socket.connectToServer(path);
        if (socket.waitForConnected(1000))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

} // namespace

GuestRig::GuestRig(QObject *parent) : QObject(parent)
{
    m_clock.start();
    connect(&m_console, &QLocalSocket::readyRead, this, &GuestRig::readConsole);
    m_qemu.setReadChannel(QProcess::StandardError);
    connect(&m_qemu, &QProcess::readyReadStandardError, this, &GuestRig::readTrace);
    // The monitor's prompts and echoes say nothing the rig needs.
    connect(&m_monitor, &QLocalSocket::readyRead, this, [this] { m_monitor.readAll(); });
}

GuestRig::~GuestRig()
{
    m_qemu.kill();
    m_qemu.waitForFinished(5000);
}

bool GuestRig::boot(const QString &cache, const QString &program, const QStringList &kernelArgs)
{
    const QString script = QStringLiteral(LUMIDESK_SOURCE_DIR "/tools/serialrig/guest.sh");
    m_qemu.setStandardOutputFile(QProcess::nullDevice());
    m_qemu.start(QStringLiteral("bash"),
                 QStringList{ script, QStringLiteral("boot"), cache, m_dir.path(), program }
                         + kernelArgs);
    // QEMU opens the sockets one after the other, each waiting for its reader.
    const QString dir = m_dir.path() + u'/';
    if (!connectLocal(m_console, dir + "console", 30000) || !uart.connectTo(dir + "uart", 10000)
        || !usb.connectTo(dir + "usb", 10000) || !connectLocal(m_monitor, dir + "monitor", 10000))
        return false;
    return waitFor("ready", {}, 120000).has_value();
}

void GuestRig::command(const QByteArray &line)
{
    m_console.write(line + '\n');
    m_console.flush();
}

std::optional<GuestRig::Event> GuestRig::waitFor(const QByteArray &what, const QString &detail,
                                                 int timeoutMs, qsizetype from)
{
    std::optional<Event> found;
    qsizetype next = from < 0 ? m_mark : from;
    waitUntil(
            [&] {
                for (; !found && next < m_events.size(); ++next) {
                    if (m_events[next].what == what && m_events[next].detail.startsWith(detail))
                        found = m_events[next];
                }
                return found.has_value();
            },
            timeoutMs);
    return found;
}

std::optional<GuestRig::Event> GuestRig::ask(const QByteArray &line, const QByteArray &what)
{
    const qsizetype from = m_events.size();
    command(line);
    return waitFor(what, {}, 10000, from);
}

qsizetype GuestRig::count(const QByteArray &what) const
{
    return std::count_if(m_events.cbegin() + m_mark, m_events.cend(),
                         [&](const Event &e) { return e.what == what; });
}

bool GuestRig::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired() || m_qemu.state() == QProcess::NotRunning)
            return done();
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

void GuestRig::monitor(const QByteArray &line)
{
    m_monitor.write(line + '\n');
    m_monitor.flush();
}

void GuestRig::readConsole()
{
    // "EV <ms> <what> <detail>"; anything else is the guest's own talk, passed on.
    while (m_console.canReadLine()) {
        const QByteArray line = m_console.readLine().trimmed();
        const QList<QByteArray> words = line.split(' ');
        if (words.size() < 3 || words[0] != "EV") {
            std::fprintf(stderr, "guest: %s\n", line.constData());
            continue;
        }
        readTrace(); // the registers' writes up to now, before the event
        m_events.append(
                { now(), words[2], QString::fromUtf8(line).section(u' ', 3), m_uartWrites.size() });
    }
}

void GuestRig::readTrace()
{
    // QEMU's trace of the UART: "serial_write write addr 0x04 val 0x0b".
    static const QRegularExpression write(QStringLiteral("addr 0x([0-9a-f]+) val 0x([0-9a-f]+)"));
    while (m_qemu.canReadLine()) {
        const QString line = QString::fromLatin1(m_qemu.readLine());
        if (const QRegularExpressionMatch m = write.match(line); m.hasMatch())
            m_uartWrites.append(
                    { m.captured(1).toInt(nullptr, 16), m.captured(2).toInt(nullptr, 16) });
        else
            std::fprintf(stderr, "qemu: %s", qPrintable(line));
    }
}
