// `make bench`, on the kernel's real serial drivers: the rig's guest (a 16550 UART as COM1, a
// USB FTDI adapter as COM2) measured as an operator feels it. Appends a section to the results.
#include "serialrig/guestrig.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray sendLine(int frames, int first)
{
    QByteArray line = "send";
    for (int i = 0; i < frames; ++i)
        line += ' ' + QByteArray::number(i % 112 + 1) + ' ' + QByteArray::number((first + i) % 256);
    return line;
}

int figure(GuestRig &rig, const QByteArray &what)
{
    return rig.ask(what, what).value_or(GuestRig::Event{}).detail.toInt();
}

bool use(GuestRig &rig, int com)
{
    rig.mark();
    rig.command("port " + QByteArray::number(com));
    return rig.waitFor("link", QStringLiteral("COM%1 open").arg(com)).has_value();
}

// What the desk said lately, when a pull went wrong.
void tellLately(const GuestRig &rig, const char *what)
{
    std::fprintf(stderr, "lumidesk-serialbench: %s; the desk said:\n", what);
    for (const GuestRig::Event &e :
         rig.events().mid(std::max<qsizetype>(0, rig.events().size() - 12)))
        std::fprintf(stderr, "  %lld ms %s %s\n", e.at, e.what.constData(), qPrintable(e.detail));
}

// Pulls the adapter out, idle or as a slider moves and a burst of 2,000 frames goes out; ms
// to the unlit lamp, or -1. The adapter is plugged back and the port opened again.
double pullToLamp(GuestRig &rig, bool flooding)
{
    if (!use(rig, 2)) {
        tellLately(rig, "COM2 did not open");
        return -1;
    }
    if (flooding) {
        rig.command("drag 9");
        const qsizetype n = rig.usb.bytes().size();
        rig.waitUntil([&] { return rig.usb.bytes().size() > n + 20; }, 2000);
        rig.command(sendLine(2000, 0));
    }
    rig.mark();
    const qint64 pulled = rig.now();
    rig.pull();
    const auto lamp = rig.waitFor("lamp", "unlit", 5000);
    if (!lamp)
        tellLately(rig, "no unlit lamp within 5 s of the pull");
    rig.command("still");
    // QEMU takes a moment to let the adapter go; plugged back at once, the name is still taken.
    rig.waitUntil([] { return false; }, 500);
    rig.plug();
    rig.waitUntil([] { return false; }, 2500);
    rig.ask("lamp", "link");
    return lamp ? double(lamp->at - pulled) : -1;
}

// The median and the worst of the pulls whose lamp went out, and how many did not.
QString spread(std::vector<double> v)
{
    const qsizetype missed = std::erase(v, -1.0);
    std::sort(v.begin(), v.end());
    if (v.empty())
        return QStringLiteral("no lamp went out (%1 pulls)").arg(missed);
    return QStringLiteral("%1 ms (worst %2 ms, %3 pulls%4)")
            .arg(v[v.size() / 2])
            .arg(v.back())
            .arg(v.size())
            .arg(missed ? QStringLiteral("; %1 more found no port to pull").arg(missed)
                        : QString());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: lumidesk-serialbench GUEST-CACHE RESULTS.md\n");
        return 2;
    }
    GuestRig rig;
    if (!rig.boot(QString::fromLocal8Bit(argv[1]), QStringLiteral(LUMIDESK_RIGDESK), {})) {
        std::fprintf(stderr, "lumidesk-serialbench: the guest did not start\n");
        return 1;
    }

    use(rig, 2);
    rig.command("slider 9"); // moved as a hand does while the adapter is pulled
    // Frames through the UART at line pace: a flood, first byte to last on the card's side.
    use(rig, 1);
    figure(rig, "silence");
    constexpr int kFlood = 3000;
    const qsizetype from = rig.uart.bytes().size();
    for (int i = 0; i < kFlood / 100; ++i)
        rig.command(sendLine(100, i));
    // Between a tenth and nine tenths of it, clear of the start and the end.
    rig.waitUntil([&] { return rig.uart.bytes().size() >= from + kFlood / 5; }, 10000);
    const qint64 first = rig.now();
    rig.waitUntil([&] { return rig.uart.bytes().size() >= from + kFlood * 9 / 5; }, 30000);
    const double perSecond = kFlood * 0.8 * 1000.0 / double(rig.now() - first);
    rig.waitUntil([&] { return rig.uart.bytes().size() >= from + 2 * kFlood; }, 10000);
    const int silence = figure(rig, "silence");

    // A dead line: the card stops reading in a flood; the longest block of the event loop
    // from then until a second after the box.
    figure(rig, "late");
    rig.mark();
    rig.uart.setReading(false);
    const qint64 stopped = rig.now();
    rig.command(sendLine(2000, 0));
    const auto box = rig.waitFor("box", "COM1 was lost", 15000);
    rig.waitUntil([] { return false; }, 1000);
    const int lossBlock = figure(rig, "late");
    rig.uart.setReading(true);

    std::vector<double> idle, flood;
    for (int i = 0; i < 3; ++i) {
        idle.push_back(pullToLamp(rig, false));
        flood.push_back(pullToLamp(rig, true));
    }

    const QString report =
            QStringLiteral(
                    "\n## On the kernel's real serial drivers, %8\n\nThe rig's QEMU guest (TCG, "
                    "2 processors) on this release's kernel, Qt %1, %9; the UART's far end read "
                    "at 960 bytes a second.\n\n| figure | measured | limit |\n|---|---|---|\n"
                    "| frames a second through the 8250 UART in a flood, at line pace | %2 | "
                    "480 (9600 8N1) |\n"
                    "| longest the UART's driver took nothing on that healthy line | %3 ms | "
                    "below the 6 s stall window |\n"
                    "| dead UART line: the card stops reading, to the box | %4 ms | 6 s stall "
                    "window |\n"
                    "| dead UART line: longest event-loop block, to a second after the box | "
                    "%5 ms | 100 ms |\n"
                    "| USB adapter pulled out, idle: to the unlit lamp | %6 | 100 ms |\n"
                    "| USB adapter pulled out as a slider moves and 2,000 frames go: to the "
                    "unlit lamp | %7 | 100 ms |\n")
                    .arg(QString::fromLatin1(qVersion()))
                    .arg(perSecond, 0, 'f', 1)
                    .arg(silence)
                    .arg(box ? box->at - stopped : -1)
                    .arg(lossBlock)
                    .arg(spread(idle), spread(flood), QSysInfo::prettyProductName(),
                         QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    std::fputs(qPrintable(report), stdout);
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (out.open(QIODevice::Append))
        out.write(report.toUtf8());
    return 0;
}
