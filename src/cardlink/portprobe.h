// Why a serial device cannot be had, in words an operator can act on.
#pragma once

#include "openoutcome.h"

#include <QSerialPort>
#include <QString>
#include <optional>

namespace PortProbe {

struct LockOwner
{
    qint64 pid = 0;
    QString name; // the program's name, when the system tells it
};

// A live UUCP lock on the device (LCK..NAME in one of the lock directories Linux uses).
// A lock whose process is gone is stale and does not count.
std::optional<LockOwner> lockOwner(const QString &devicePath);

// Looks at the device before it is opened: absent, permission denied, locked by another
// program, or set to exclusive access by one. Returns a None outcome when nothing stands
// in the way.
OpenOutcome beforeOpen(const QString &devicePath);

// Turns QSerialPort's open error into the operator's terms.
OpenOutcome afterFailedOpen(const QString &devicePath, QSerialPort::SerialPortError error,
                            const QString &errorString);

} // namespace PortProbe
