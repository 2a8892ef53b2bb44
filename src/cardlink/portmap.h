// Which serial device a COM number names on this machine.
#pragma once

#include <QList>
#include <QString>
#include <functional>

// The toolbar offers COM1 to kComPorts; start-up tries COM1 to kLastStartupPort.
inline constexpr int kComPorts = 5;
inline constexpr int kLastStartupPort = 4;

// Maps a COM number (1 for COM1) to the device to open; an empty string means there is no
// such port. Tests and the demo hand in their own map of pseudo-terminals.
using PortMap = std::function<QString(int comNumber)>;

struct SerialPortEntry
{
    QString systemLocation; // e.g. /dev/ttyS0
    QString portName; // e.g. ttyS0
    bool usb = false; // has a USB vendor id
};

// On-board ports first, then USB adapters, each group in natural order of the port name
// (ttyS2 before ttyS10), so that COM1 is the machine's first on-board port.
QList<SerialPortEntry> orderSerialPorts(QList<SerialPortEntry> ports);

// The device for COMn among `ports` (already ordered), or empty past the end of the list.
QString deviceForCom(const QList<SerialPortEntry> &ports, int comNumber);

// The machine's own map: "COMn" on Windows; elsewhere the n-th port of the ordered list,
// read afresh at every call so that an adapter plugged in later is found.
PortMap systemPortMap();
