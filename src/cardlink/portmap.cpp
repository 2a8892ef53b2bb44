// Which serial device a COM number names on this machine.
#include "portmap.h"

#include <algorithm>
#ifndef Q_OS_WIN
#  include <QFile>
#  include <QSerialPortInfo>
#endif

namespace {

// Compares runs of digits by their value and everything else by character code. Written out
// because QCollator's numeric mode depends on the locale back end (none under the C locale).
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool naturalLess(QStringView a, QStringView b)
{
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isAsciiDigit(a[i]) && isAsciiDigit(b[j])) {
            qsizetype ie = i, je = j;
            while (ie < a.size() && isAsciiDigit(a[ie]))
                ++ie;
            while (je < b.size() && isAsciiDigit(b[je]))
                ++je;
            // Strip leading zeros, then the longer run is the larger number.
            QStringView ra = a.sliced(i, ie - i), rb = b.sliced(j, je - j);
            while (ra.size() > 1 && ra[0] == u'0')
                ra = ra.sliced(1);
            while (rb.size() > 1 && rb[0] == u'0')
                rb = rb.sliced(1);
            if (ra.size() != rb.size())
                return ra.size() < rb.size();
            if (const int c = ra.compare(rb); c != 0)
                return c < 0;
            i = ie;
            j = je;
        } else {
            if (a[i] != b[j])
                return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QList<SerialPortEntry> orderSerialPorts(QList<SerialPortEntry> ports)
{
    std::stable_sort(ports.begin(), ports.end(),
                     [](const SerialPortEntry &a, const SerialPortEntry &b) {
                         if (a.usb != b.usb)
                             return !a.usb;
                         return naturalLess(a.portName, b.portName);
                     });
    return ports;
}

QString deviceForCom(const QList<SerialPortEntry> &ports, int comNumber)
{
    if (comNumber < 1 || comNumber > ports.size())
        return {};
    return ports[comNumber - 1].systemLocation;
}

PortMap systemPortMap()
{
    return [](int comNumber) -> QString {
#ifdef Q_OS_WIN
        return comNumber >= 1 ? QStringLiteral("COM%1").arg(comNumber) : QString();
#else
        QList<SerialPortEntry> ports;
        const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : infos) {
            // The kernel keeps a few on-board port numbers whether or not a UART is behind
            // them (its type 0); Qt 6.8 lists them all, and such a COM1 can never open.
            QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(info.portName()));
            if (type.open(QIODevice::ReadOnly) && type.readAll().trimmed() == "0")
                continue;
            ports.append({ info.systemLocation(), info.portName(), info.hasVendorIdentifier() });
        }
        return deviceForCom(orderSerialPorts(ports), comNumber);
#endif
    };
}
