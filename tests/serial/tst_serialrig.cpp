// The desk on the kernel's real serial drivers: a guest whose COM1 is a 16550 UART (8250) and
// COM2 a USB FTDI adapter (ftdi_sio), the card's lines read here at 9600 baud's pace. The
// UART was set to 115200 baud before the desk started. The cases run in order on one guest.
#include "cardlink/cardlink.h"
#include "serialrig/guestrig.h"
#include "support/desk.h"

using Frames = QList<ReceivedFrame>;

namespace {

// `n` frames over every channel in turn, the levels counting up from `first`.
Frames sweep(int n, int first = 0)
{
    Frames frames;
    for (int i = 0; i < n; ++i)
        frames.append({ i % kChannelCount + 1, (first + i) % 256 });
    return frames;
}

// What the guest handed the UART between two points of its register trace: the bytes, how
// many went while the line was not 9600 baud 8N1 (divisor 12; 8 bits, 1 stop bit, no parity
// and no break), and how often DTR (modem control bit 0) rose and fell.
// clang-format off
struct Handed { QByteArray bytes; int offLine = 0, dtrRaised = 0, dtrDropped = 0; };
// clang-format on

Handed handed(const QList<GuestRig::RegisterWrite> &writes, qsizetype from, qsizetype to = -1)
{
    Handed h;
    int lcr = 0, divisor = 0, mcr = 0;
    for (qsizetype i = 0; i < (to < 0 ? writes.size() : to); ++i) {
        const auto [reg, value] = writes[i];
        const bool dlab = lcr & 0x80, counted = i >= from;
        if (reg == 3) {
            lcr = value;
        } else if (reg <= 1 && dlab) {
            divisor = reg == 0 ? (divisor & 0xff00) | value : (divisor & 0xff) | value << 8;
        } else if (reg == 0 && counted) {
            h.bytes += char(value);
            h.offLine += divisor != 12 || (lcr & 0x4f) != 0x03; // parity's kind is moot unless on
        } else if (reg == 4) {
            h.dtrRaised += counted && (value & 1) > (mcr & 1);
            h.dtrDropped += counted && (value & 1) < (mcr & 1);
            mcr = value;
        }
    }
    return h;
}

} // namespace

// clang-format off
struct Port { const char *name; int com; };
struct Pull { const char *name; bool moving; };
struct Close { const char *name; QByteArray command; const char *what, *detail; };
// clang-format on

class TestSerialRig : public QObject
{
    Q_OBJECT

    GuestRig rig;
    PacedLine &line(int com) { return com == 1 ? rig.uart : rig.usb; }

    // Presses COMn's button; true once the port is open.
    bool use(int com)
    {
        rig.mark();
        rig.command("port " + QByteArray::number(com));
        return rig.waitFor("link", QStringLiteral("COM%1 open").arg(com)).has_value();
    }
    void send(const Frames &frames)
    {
        for (qsizetype i = 0; i < frames.size(); i += 100) {
            QByteArray line = "send";
            for (const ReceivedFrame &f : frames.mid(i, 100))
                line += ' ' + QByteArray::number(f.channel) + ' ' + QByteArray::number(f.value);
            rig.command(line);
        }
    }
    // Sends `frames` and waits for COMn's card to have read as many more; what it read meanwhile.
    Frames carried(int com, const Frames &frames)
    {
        const qsizetype from = line(com).frames().size();
        send(frames);
        rig.waitUntil([&] { return line(com).frames().size() >= from + frames.size(); }, 30000);
        return line(com).frames().mid(from);
    }
    // clang-format off
    void pause(int ms) { rig.waitUntil([] { return false; }, ms); }
    int asked(const QByteArray &what)
    { return rig.ask(what, what).value_or(GuestRig::Event{}).detail.toInt(); }
    // clang-format on

private slots:
    void initTestCase()
    {
        QVERIFY(rig.boot(QStringLiteral(LUMIDESK_GUEST_CACHE), QStringLiteral(LUMIDESK_RIGDESK),
                         { QStringLiteral("rig.stty=115200") }));
    }

    // Opening the port drops and raises DTR and RTS on a real line: start-up does it once.
    void startupOpensOnce()
    {
        const auto start = rig.waitFor("start", {}, 0, 0), ready = rig.waitFor("ready", {}, 0, 0);
        QVERIFY(start && ready);
        QCOMPARE(ready->detail, "lit");
        const Handed h = handed(rig.uartWrites(), start->uartWrites, ready->uartWrites);
        QCOMPARE(h.dtrRaised, 1);
        QCOMPARE(h.dtrDropped, 0);
    }

    // clang-format off
    void exactFrames_data() { addRows<Port>({ { "8250 UART, COM1", 1 }, { "USB FTDI adapter, COM2", 2 } }); }
    // clang-format on
    // Every channel with the levels a line might mangle, then every level.
    void exactFrames()
    {
        QFETCH(Port, row);
        QVERIFY(use(row.com));
        Frames frames;
        for (const int level : { 0x00, 0x0A, 0x0D, 0x11, 0x13, 0x7F, 0xFF }) {
            for (int channel = 1; channel <= kChannelCount; ++channel)
                frames.append({ channel, level });
        }
        frames += sweep(256);
        const qsizetype trace = rig.uartWrites().size();
        QCOMPARE(carried(row.com, frames), frames);
        if (row.com == 1)
            QCOMPARE(handed(rig.uartWrites(), trace).offLine, 0);
        QCOMPARE(rig.count("box"), 0);
    }

    // A line that takes bytes at 9600 baud's pace, however far behind, is never given up.
    void healthyFlood()
    {
        QVERIFY(use(1));
        asked("silence");
        const Frames frames = sweep(3500, 7);
        QCOMPARE(carried(1, frames), frames);
        QCOMPARE(rig.count("box"), 0);
        const int silence = asked("silence");
        qInfo("longest the UART's driver took nothing in a flood: %d ms", silence);
        QVERIFY(silence > 0 && silence < CardLink::kStallMs);
    }

    // clang-format off
    void pulledOut_data() { addRows<Pull>({ { "idle", false }, { "while a slider moves", true } }); }
    // clang-format on
    // One box and the unlit lamp at once; nothing goes while the port is closed; the lamp
    // opens the same COM number again once the adapter is back.
    void pulledOut()
    {
        QFETCH(Pull, row);
        QVERIFY(use(2));
        if (row.moving) {
            rig.command("slider 7");
            rig.command("drag 7");
            const qsizetype n = rig.usb.bytes().size();
            QVERIFY(rig.waitUntil([&] { return rig.usb.bytes().size() > n + 20; }, 5000));
        }
        rig.mark();
        const qint64 pulled = rig.now();
        rig.pull();
        const auto box = rig.waitFor("box", "COM2 was lost"), lamp = rig.waitFor("lamp", "unlit");
        QVERIFY(box && lamp);
        qInfo("pulled to unlit lamp: %lld ms", lamp->at - pulled);
        QVERIFY(box->at - pulled <= 100 && lamp->at - pulled <= 100);
        pause(200);
        const qsizetype after = rig.usb.bytes().size();
        rig.plug();
        pause(2500);
        QCOMPARE(rig.usb.bytes().size(), after);
        QCOMPARE(rig.count("box"), 1);
        QVERIFY(rig.ask("lamp", "link").value_or(GuestRig::Event{}).detail == "COM2 open");
        if (!row.moving)
            send({ { 9, 99 } });
        QVERIFY(rig.waitUntil([&] { return rig.usb.bytes().size() >= after + 2; }, 5000));
        rig.command("still");
        QCOMPARE(rig.count("box"), 1);
    }

    // The lamp puts the port out, and lights it again at once, with nothing in between.
    void lampOffAndOn_data() { exactFrames_data(); }
    void lampOffAndOn()
    {
        QFETCH(Port, row);
        QVERIFY(use(row.com));
        pause(500);
        QVERIFY(rig.ask("lamp", "lamp").value_or(GuestRig::Event{}).detail == "unlit");
        QVERIFY(rig.ask("lamp", "lamp").value_or(GuestRig::Event{}).detail == "lit");
        const qsizetype from = line(row.com).bytes().size();
        send({ { 3, 33 } });
        QVERIFY(rig.waitUntil([&] { return line(row.com).bytes().size() >= from + 2; }, 5000));
        QCOMPARE(line(row.com).bytes().mid(from), frame(3, 33));
        QCOMPARE(rig.count("box"), 0);
    }

    // The card stops reading: the line is given up within the stall window, its queue is
    // dropped rather than waited for, and the desk never stops answering.
    void deadLine()
    {
        QVERIFY(use(1));
        asked("late");
        rig.uart.setReading(false);
        const qint64 stopped = rig.now();
        send(sweep(3000));
        const auto box = rig.waitFor("box", "COM1 was lost", 15000);
        pause(1000);
        const int late = asked("late");
        const qsizetype atBox = rig.uart.bytes().size();
        rig.uart.setReading(true);
        QVERIFY(box && rig.waitFor("lamp", "unlit"));
        qInfo("dead line given up after %lld ms", box->at - stopped);
        QVERIFY(box->at - stopped <= CardLink::kStallMs + 1000);
        qInfo("longest the event loop was blocked while the line was lost: %d ms", late);
        QVERIFY(late <= 100);
        pause(3000);
        qInfo("bytes on their way when it was given up: %lld", rig.uart.bytes().size() - atBox);
        QVERIFY(rig.uart.bytes().size() - atBox < 1024);
        QCOMPARE(rig.count("box"), 1);
    }

    // Leaving a port that has stopped taking bytes is not its loss, then or later, and does
    // not wait for it: a switch costs 150 to 300 ms in the guest, nearly all of it the open.
    void stalledSwitch()
    {
        QVERIFY(use(1));
        rig.uart.setReading(false);
        send(sweep(3000));
        pause(1500);
        asked("late");
        const bool opened = use(2);
        const int atSwitch = asked("late");
        const qsizetype boxes = rig.count("box");
        rig.mark();
        pause(CardLink::kStallMs + 1000);
        const int late = asked("late");
        rig.uart.setReading(true);
        QVERIFY(opened);
        QCOMPARE(boxes + rig.count("box"), 0);
        QCOMPARE(rig.count("lamp"), 0);
        qInfo("longest event-loop block at the switch %d ms, in the stall window after %d ms",
              atSwitch, late);
        QVERIFY(atSwitch <= 500 && late <= 100);
    }

    // clang-format off
    void lastFrame_data() { addRows<Close>({ { "a port switch", "port 2", "link", "COM2 open" }, { "the exit", "exit", "ended", "0" } }); }
    // clang-format on
    // The bytes queued when the port closes go out whole, at the desk's own 9600 8N1, though
    // the port had another speed before the desk opened it.
    void lastFrame()
    {
        QFETCH(Close, row);
        QVERIFY(use(1));
        pause(500);
        const qsizetype from = rig.uart.bytes().size(), trace = rig.uartWrites().size();
        QByteArray bytes;
        for (const ReceivedFrame &f : sweep(300, 50))
            bytes += frame(f.channel, f.value);
        send(sweep(300, 50));
        rig.command(row.command);
        QVERIFY(rig.waitFor(row.what, row.detail));
        rig.waitUntil([&] { return rig.uart.bytes().size() >= from + bytes.size(); }, 10000);
        QCOMPARE(rig.uart.bytes().mid(from), bytes);
        const Handed h = handed(rig.uartWrites(), trace);
        QCOMPARE(h.bytes, bytes);
        QCOMPARE(h.offLine, 0);
    }
};

QTEST_GUILESS_MAIN(TestSerialRig)
#include "tst_serialrig.moc"
