// The rig's guest seen from this machine: boots it (guest.sh), talks to the desk inside on
// its console, reads the card's two lines, pulls and plugs the USB adapter on QEMU's monitor,
// and follows every write to the UART's registers.
#pragma once

#include "pacedline.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <functional>
#include <optional>

class GuestRig : public QObject
{
    Q_OBJECT

public:
    struct Event
    {
        qint64 at = 0; // ms on this machine's clock since the boot began
        QByteArray what; // as the desk tells it: lamp, box, link, late, silence, ...
        QString detail;
        qsizetype uartWrites = 0; // how many writes to the UART's registers had been seen
    };
    struct RegisterWrite
    {
        int reg = 0;
        int value = 0;
    };

    explicit GuestRig(QObject *parent = nullptr);
    ~GuestRig() override;

    // Boots a guest of the kernel unpacked in `cache` running `program`, with `kernelArgs`;
    // true once the desk in it is ready.
    bool boot(const QString &cache, const QString &program, const QStringList &kernelArgs);

    void command(const QByteArray &line);
    // From here on: where waitFor looks from, and what count counts.
    void mark() { m_mark = m_events.size(); }
    // The first event `what` whose detail starts with `detail`, from event `from` on (the
    // mark when -1), waiting up to `timeoutMs` for it.
    std::optional<Event> waitFor(const QByteArray &what, const QString &detail = {},
                                 int timeoutMs = 10000, qsizetype from = -1);
    // Sends `line` and waits for the answer `what` that follows it.
    std::optional<Event> ask(const QByteArray &line, const QByteArray &what);
    qsizetype count(const QByteArray &what) const;
    // Handles events until `done` or `timeoutMs`; false on the timeout.
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    // A command on QEMU's monitor, e.g. "device_del adapter".
    void monitor(const QByteArray &line);
    void pull() { monitor("device_del adapter"); }
    void plug() { monitor("device_add usb-serial,id=adapter,chardev=adaptercard,bus=xhci.0"); }

    qint64 now() const { return m_clock.elapsed(); }
    const QList<Event> &events() const { return m_events; }
    const QList<RegisterWrite> &uartWrites() const { return m_uartWrites; }

    PacedLine uart{ 960 }; // COM1: the 16550, read at 9600 baud's pace
    PacedLine usb{ 0 }; // COM2: the FTDI adapter, whose line QEMU does not pace

private:
    void readConsole();
    void readTrace();

    QElapsedTimer m_clock;
    QTemporaryDir m_dir;
    QProcess m_qemu;
    QLocalSocket m_console;
    QLocalSocket m_monitor;
    QList<Event> m_events;
    qsizetype m_mark = 0;
    QList<RegisterWrite> m_uartWrites;
};
