// The desk on the kernel's real serial drivers, in the rig's guest (guest.sh, booted by rig.py):
// COM1 is a 16550 UART (8250), at 115200 baud until the desk opens it, COM2 a USB CDC-ACM
// adapter (cdc_acm) and COM3 a USB FTDI adapter (ftdi_sio). What the UART's card and the FTDI
// adapter's receive comes into /rig from the machine outside, the UART's at 9600 baud's pace,
// with QEMU's trace of every write to the UART's registers; the ACM adapter is the guest's own
// USB gadget, whose card's end, ttyGS0, is read here.
#include "support/desk.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QSerialPort>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kStallMs = 6000; // a line that takes nothing this long is given up

// n frames over every channel in turn, each a level higher than the last.
QByteArray sweep(int n)
{
    QByteArray frames;
    for (int i = 0; i < n; ++i)
        frames += frame(i % 112 + 1, i % 256);
    return frames;
}

// com: the port the row starts on, 1 the UART, 2 the ACM adapter, 3 the FTDI adapter; to: the
// port chosen next; moving: a slider moves as the adapter is pulled out; exit: the program ends;
// stalled: the card has stopped reading.
struct Row
{
    const char *name;
    int com = 1;
    int to = 0;
    bool moving = false, exit = false, stalled = false;
};

} // namespace

class TestSerialRig : public QObject
{
    Q_OBJECT

    std::unique_ptr<Desk> desk;
    QElapsedTimer clock;
    QTimer ticker; // every 10 ms: how late it runs is how long the event loop was blocked
    qint64 lastTick = 0, worst = 0, stopped = 0; // stopped: when a card last stopped reading
    int far[4] = { -1, -1, -1, -1 }; // each card's end of its line
    QByteArray got[4]; // what each card has received
    bool acmStalled = false;
    QFile ask{ "/rig/ask" }, trace{ "/rig/trace" };
    int lcr = 0, divisor = 0, mcr = 0; // the UART's registers as traced so far
    QString dtr; // its rises (+) and falls (-)

    auto &link() const { return desk->frame->MSComm1(); }
    auto boxes() const { return desk->dialogs.messages(); }

    void tick()
    {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - lastTick - 10);
        lastTick = now;
        char buffer[65536];
        for (int com = 1; com <= 3; ++com) {
            for (ssize_t n; !(com == 2 && acmStalled) && (n = ::read(far[com], buffer, 65536)) > 0;)
                got[com].append(buffer, n);
        }
    }

    // The longest the event loop was blocked since it was last asked.
    qint64 late()
    {
        tick();
        return std::exchange(worst, 0);
    }

    // Pulls COMn's USB adapter out, or plugs it back in: the FTDI adapter in QEMU, the ACM
    // gadget here, whose end opens cooked and echoing.
    void plug(int com, bool in)
    {
        if (com == 3) {
            ask.write(in ? "plug\n" : "pull\n");
            return;
        }
        QFile udc("/sys/kernel/config/usb_gadget/card/UDC");
        QVERIFY(udc.open(QIODevice::WriteOnly) && udc.write(in ? "dummy_udc.0\n" : "\n") > 0);
        if (!in)
            return;
        ::close(far[2]);
        far[2] = ::open("/dev/ttyGS0", O_RDONLY | O_NOCTTY | O_NONBLOCK);
        termios raw;
        ::tcgetattr(far[2], &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(far[2], TCSANOW, &raw);
    }

    // COMn's card stops reading, and a burst of 40 KB backs the line up into the desk: the ACM
    // card before the burst, since the burst is more than its line holds (16 writes of up to 1280
    // bytes in its driver, 4 KB at the card's end); the UART's once its driver has taken a
    // queue, which it takes a little at a time. The event loop's blocks count from then on.
    void stall(int com)
    {
        acmStalled = com == 2;
        stopped = clock.elapsed();
        send(sweep(20000));
        if (com == 1) {
            QTest::qWait(500);
            ask.write("stall\n");
            stopped = clock.elapsed();
        }
        late();
        QTest::qWait(2000);
        QVERIFY(link().findChild<QSerialPort *>()->bytesToWrite() > 0);
    }

    void resume()
    {
        ask.write("go\n");
        acmStalled = false;
    }

    // A desk started as the program starts, on the guest's own ports, with COMn chosen.
    bool start(int com)
    {
        desk.reset(new Desk({}, {}, true, false, systemPortMap()));
        desk->frame->show();
        if (com > 1)
            choose(com);
        return link().portOpen() && link().commPort() == com;
    }

    void choose(int com) { click(desk->find(QStringLiteral("optCommSelect%1").arg(com))); }

    void lamp()
    {
        click(desk->find(desk->lamp() == "lit" ? "imgConnection_Status1"
                                               : "imgConnection_Status0"));
    }

    void send(const QByteArray &frames)
    {
        for (qsizetype i = 0; i < frames.size(); i += 2) {
            desk->frame->SendChannelFrame(QString::number(uchar(frames[i])),
                                          QString::number(uchar(frames[i + 1])));
        }
    }

    // Waits for COMn's card to have received `count` bytes in all.
    bool received(int com, qsizetype count)
    {
        return QTest::qWaitFor([&] { return got[com].size() >= count; }, 30000);
    }

    // Sends `frames`; whether COMn's card received just them.
    bool carried(int com, const QByteArray &frames)
    {
        const qsizetype from = got[com].size();
        send(frames);
        return received(com, from + frames.size()) && got[com].mid(from) == frames;
    }

    // How many bytes the desk handed the UART while the line was not 9600 baud 8N1, since the
    // last look, from QEMU's trace of its register writes ("serial_write write addr 0x04 val
    // 0x0b", a line each): register 0 takes a byte unless the line control's bit 7 latches the
    // divisor there and in register 1 (12 is 9600 baud); the line control under 0x4f is 3 for
    // 8N1 without a break; DTR is bit 0 of the modem control, register 4.
    int uart()
    {
        int off = 0;
        for (const QByteArray &line : trace.readAll().split('\n')) {
            unsigned reg = 0, value = 0;
            if (std::sscanf(line.constData(), "%*[^x]x%x val 0x%x", &reg, &value) != 2)
                continue;
            if (reg == 3) {
                lcr = value;
            } else if (reg <= 1 && lcr & 0x80) {
                divisor = reg == 0 ? (divisor & 0xff00) | value : (divisor & 0xff) | value << 8;
            } else if (reg == 0) {
                off += divisor != 12 || (lcr & 0x4f) != 3;
            } else if (reg == 4) {
                dtr += (value ^ mcr) & 1 ? (value & 1 ? "+" : "-") : "";
                mcr = value;
            }
        }
        return off;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ask.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        QVERIFY(trace.open(QIODevice::ReadOnly));
        far[1] = ::open("/rig/uart", O_RDONLY);
        far[3] = ::open("/rig/usb", O_RDONLY);
        plug(2, true);
        QTRY_VERIFY(QFile::exists("/run/udev/data/c166:0")); // the ACM adapter's vendor id
        clock.start();
        ticker.callOnTimeout(this, &TestSerialRig::tick);
        ticker.start(10);
    }

    void cleanup()
    {
        resume();
        desk.reset();
    }

    // Opening a port drops and raises DTR and RTS on a real line: start-up does it once.
    void startUp()
    {
        uart();
        dtr.clear();
        QVERIFY(start(1));
        uart();
        QCOMPARE(dtr, "+");
    }

    // clang-format off
    void frames_data()
    {
        addRows<Row>({
            {.name = "8250 UART"},
            {.name = "CDC-ACM", .com = 2},
            {.name = "FTDI", .com = 3},
        });
    }
    // clang-format on

    // Every channel at the levels a line might mangle; the lamp out and lit again at once; then
    // a flood, which a line at 9600 baud's pace takes however far behind: never given up, the
    // driver's longest silence below the stall window. Nothing goes off 9600 8N1 on the UART.
    void frames()
    {
        QFETCH(Row, row);
        QVERIFY(start(row.com));
        QByteArray mangled;
        for (int v : { 0, 3, 0x0A, 0x0D, 0x11, 0x13, 0x1A, 0x1C, 0x7F, 0xFF }) {
            for (int c = 1; c <= 112; ++c)
                mangled += frame(c, v);
        }
        uart();
        QVERIFY(carried(row.com, mangled));
        lamp();
        QCOMPARE(desk->lamp(), "unlit");
        lamp();
        QCOMPARE(desk->lamp(), "lit");
        auto *port = link().findChild<QSerialPort *>();
        qint64 taken = -1, silence = 0; // since the driver last took bytes, while bytes wait
        connect(port, &QSerialPort::bytesWritten, this, [&] {
            if (taken >= 0)
                silence = std::max(silence, clock.elapsed() - taken);
            taken = port->bytesToWrite() > 0 ? clock.elapsed() : -1;
        });
        const qint64 sent = clock.elapsed();
        QVERIFY(carried(row.com, sweep(3500)));
        port->disconnect(this);
        qInfo("%.1f frames a second; the driver took nothing for up to %lld ms",
              3500e3 / (clock.elapsed() - sent), silence);
        QCOMPARE(uart(), 0);
        QCOMPARE(boxes().size(), 0);
        QVERIFY(silence < kStallMs);
    }

    // clang-format off
    void lost_data()
    {
        addRows<Row>({
            {.name = "pulled out idle: CDC-ACM", .com = 2},
            {.name = "pulled out as a slider moves: CDC-ACM", .com = 2, .moving = true},
            {.name = "pulled out idle: FTDI", .com = 3},
            {.name = "pulled out as a slider moves: FTDI", .com = 3, .moving = true},
            {.name = "dead line: 8250 UART", .stalled = true},
            {.name = "dead line: CDC-ACM", .com = 2, .stalled = true},
        });
    }
    // clang-format on

    // A line lost, its adapter pulled out or its card no longer reading: one box and the unlit
    // lamp, within a second of the pull or within the stall window; the desk never stops
    // answering. The adapter comes back as the same device, nothing having gone while it was out,
    // and the lamp opens it again. A dead line's queue is dropped; tried again at once, while the
    // system may still be closing it, the port opens, or the box says it is still closing, never
    // that another program holds it.
    void lost()
    {
        QFETCH(Row, row);
        QVERIFY(start(row.com));
        QTimer drag; // a hand on the slider
        if (row.moving) {
            auto *bar = desk->add(ControlRegistry::Slider, 7)->findChild<QScrollBar *>();
            connect(&drag, &QTimer::timeout, bar,
                    [bar] { bar->setValue((bar->value() + 1) % 256); });
            drag.start(5);
            QVERIFY(received(row.com, got[row.com].size() + 20));
        }
        const qint64 pulled = clock.elapsed();
        if (row.stalled) {
            stall(row.com);
        } else {
            late();
            plug(row.com, false);
        }
        QVERIFY(QTest::qWaitFor([&] { return desk->lamp() == "unlit" && !boxes().isEmpty(); },
                                45000));
        const qint64 seen = clock.elapsed() - (row.stalled ? stopped : pulled);
        QVERIFY(boxes()[0].text.startsWith(QStringLiteral("COM%1 was lost").arg(row.com)));
        QTest::qWait(row.stalled ? 0 : 200); // QEMU lets the adapter go
        const qsizetype after = got[row.com].size();
        if (!row.stalled) {
            plug(row.com, true);
            QTest::qWait(2500);
            QCOMPARE(got[row.com].size(), after);
            QVERIFY(QFile::exists(row.com == 2 ? "/dev/ttyACM0" : "/dev/ttyUSB0"));
        }
        lamp();
        const QString again = link().portOpen() ? "open" : boxes().last().text;
        QTest::qWait(1000);
        const qint64 blocked = late();
        qInfo("lost after %lld ms; event loop blocked up to %lld ms; tried again: %s", seen,
              blocked, qPrintable(again));
        QVERIFY(seen <= (row.stalled ? kStallMs : 0) + 1000);
        QVERIFY(blocked <= 1000);
        QVERIFY(again == "open" || (row.stalled && again.contains("still closing")));
        QCOMPARE(boxes().size(), again == "open" ? 1 : 2);
        if (row.stalled) {
            // The UART's queue is dropped; Debian 12's cdc_acm keeps its own.
            resume();
            QTest::qWait(2000);
            QVERIFY(row.com != 1 || got[1].size() - after < 1024);
        } else {
            if (!row.moving)
                send(frame(9, 99));
            QVERIFY(received(row.com, after + 2));
        }
    }

    // clang-format off
    void leave_data()
    {
        addRows<Row>({
            {.name = "port switch: 8250 UART to FTDI", .to = 3},
            {.name = "exit: 8250 UART", .exit = true},
            {.name = "port switch, stalled: 8250 UART to FTDI", .to = 3, .stalled = true},
            {.name = "port switch, stalled: CDC-ACM to 8250 UART", .com = 2, .to = 1, .stalled = true},
            {.name = "exit, stalled: 8250 UART", .exit = true, .stalled = true},
            {.name = "exit, stalled: CDC-ACM", .com = 2, .exit = true, .stalled = true},
        });
    }
    // clang-format on

    // Leaving a port, for another or by the exit: what it holds goes out whole at the desk's own
    // 9600 8N1, though the port was at 115200 baud before the desk opened it. A line that has
    // stopped taking bytes is not reported lost, then or when its drain gives up, and is never
    // waited for: the windows go at once, the program ends within the stall window, and the event
    // loop never blocks.
    void leave()
    {
        QFETCH(Row, row);
        QVERIFY(start(row.com));
        const QByteArray frames = sweep(300);
        const qsizetype from = got[1].size();
        uart();
        if (row.stalled)
            stall(row.com);
        else
            send(frames);
        late();
        QElapsedTimer leaving;
        qint64 hidden = -1;
        connect(desk->frame->windowHandle(), &QWindow::visibleChanged, this,
                [&] { hidden = leaving.elapsed(); });
        leaving.start();
        if (row.exit)
            desk->frame->close();
        else
            choose(row.to);
        const qint64 took = leaving.elapsed();
        QTest::qWait(row.stalled && row.to ? kStallMs + 1000 : 0);
        const qint64 blocked = late();
        if (row.exit)
            qInfo("windows gone after %lld ms", hidden);
        qInfo("left after %lld ms; event loop blocked up to %lld ms", took, blocked);
        QCOMPARE(boxes().size(), 0);
        QVERIFY(row.exit ? desk->dialogs.endings == QList{ 0 } && hidden >= 0 && hidden <= 1000
                         : link().portOpen() && link().commPort() == row.to);
        QVERIFY(took <= kStallMs + 1000);
        QVERIFY(blocked <= 1000);
        if (!row.stalled) {
            QVERIFY(received(1, from + frames.size()));
            QCOMPARE(got[1].mid(from), frames);
            QCOMPARE(uart(), 0);
        }
    }
};

QTEST_MAIN(TestSerialRig)
#include "tst_serialrig.moc"
