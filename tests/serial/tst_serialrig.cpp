// The desk on the kernel's real serial drivers, in the rig's guest (guest.sh, booted by rig.py):
// COM1 is a 16550 UART (8250), at 115200 baud until the desk opens it, COM2 a USB CDC-ACM
// adapter (cdc_acm) and COM3 a USB FTDI adapter (ftdi_sio). What the UART's card and the FTDI
// adapter's receive comes into /rig from the machine outside, the UART's at 9600 baud's pace; the
// ACM adapter is the guest's own USB gadget, whose card's end, ttyGS0, is
// read here. The times a quiet machine beats by far are printed for make bench; the checks hold
// budgets that a loaded machine meets.
#include "support/desk.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The event loop never stops this long: a writer blocked on the UART waits 4 s at a time.
constexpr int kBlockMs = 3000;
// A loss is told, and the program leaves, within the stall window and time to spare: long
// before the 30 s a lost line's close may wait.
constexpr int kLeaveMs = CardLink::kStallMs + 4000;

// n frames over every channel in turn, each a level higher than the last.
QByteArray sweep(int n)
{
    QByteArray frames;
    for (int i = 0; i < n; ++i)
        frames += frame(i % 112 + 1, i % 256);
    return frames;
}

// com: the port the row is on, 1 the UART, 2 the ACM adapter, 3 the FTDI adapter; moving: a slider moves as the
// adapter is pulled out; stalled: the card has stopped reading.
struct Row
{
    const char *name;
    int com = 1;
    bool moving = false, stalled = false;
};

} // namespace

class TestSerialRig : public QObject
{
    Q_OBJECT

    std::unique_ptr<Desk> desk;
    QElapsedTimer clock;
    QTimer ticker; // every 10 ms: how late it runs is how long the event loop was stopped
    qint64 lastTick = 0, worst = 0, since = 0; // since: when the row's line was lost
    int far[4] = { -1, ::open("/rig/uart", O_RDONLY), -1, ::open("/rig/usb", O_RDONLY) };
    QByteArray got[4]; // what each card has received in this row
    bool acmStalled = false;
    QFile ask{ "/rig/ask" };

    auto &link() const { return desk->frame->MSComm1(); }
    auto boxes() const { return desk->dialogs.messages(); }

    void tick()
    {
        worst = std::max(worst, clock.elapsed() - lastTick - 10);
        lastTick = clock.elapsed();
        char buffer[65536];
        for (int com = 1; com <= 3; ++com) {
            for (ssize_t n; !(com == 2 && acmStalled) && (n = ::read(far[com], buffer, 65536)) > 0;)
                got[com].append(buffer, n);
        }
    }

    // The longest the event loop was stopped since it was last asked.
    qint64 late()
    {
        tick();
        return std::exchange(worst, 0);
    }

    // Whether COMn's adapter is in, by the record udev keeps of it.
    static bool plugged(int com)
    {
        return QFile::exists(com == 2 ? "/run/udev/data/c166:0" : "/run/udev/data/c188:0");
    }

    // Plugs COMn's adapter back in until it is there: QEMU lets a pulled adapter go a moment
    // after the guest has seen it gone.
    bool plugBack(int com)
    {
        for (int i = 0; i < 40 && !plugged(com); ++i) {
            plug(com, true);
            QTest::qWait(250);
        }
        return plugged(com);
    }

    // Pulls COMn's adapter out, or plugs it back in: the FTDI adapter in QEMU, the ACM adapter
    // in the guest, whose card's end opens cooked and echoing.
    void plug(int com, bool in)
    {
        tick();
        if (com == 3) {
            ask.write(in ? "plug\n" : "pull\n");
            since = clock.elapsed();
            return;
        }
        QFile udc("/sys/kernel/config/usb_gadget/card/UDC");
        const bool done =
                udc.open(QIODevice::WriteOnly) && udc.write(in ? "dummy_udc.0\n" : "\n") > 0;
        lastTick = since = clock.elapsed(); // the kernel's wait in this write is not the desk's
        if (!done || !in)
            return;
        ::close(far[2]);
        far[2] = ::open("/dev/ttyGS0", O_RDONLY | O_NOCTTY | O_NONBLOCK);
        termios raw;
        ::tcgetattr(far[2], &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(far[2], TCSANOW, &raw);
    }

    // COMn's card stops reading, and a burst of 40 KB backs the line up into the desk: the ACM
    // card before the burst, since the burst is more than its line holds; the UART's once its
    // driver has taken a queue, which it takes a little at a time.
    void stall(int com)
    {
        acmStalled = com == 2;
        since = clock.elapsed();
        send(sweep(20000));
        if (com == 1) {
            QTest::qWait(500);
            ask.write("stall\n");
            since = clock.elapsed();
        }
        late();
        QTest::qWait(2000);
    }

    // A desk started as the program starts, on the guest's own ports, with COMn chosen.
    bool start(int com)
    {
        desk.reset(new Desk({}, {}, true, false, systemPortMap()));
        desk->frame->show();
        late(); // the program's own start-up is not the desk answering late
        if (com > 1)
            click(desk->find(QStringLiteral("optCommSelect%1").arg(com)));
        return link().portOpen() && link().commPort() == com;
    }

    void send(const QByteArray &frames)
    {
        for (qsizetype i = 0; i < frames.size(); i += 2) {
            desk->frame->SendChannelFrame(QString::number(uchar(frames[i])),
                                          QString::number(uchar(frames[i + 1])));
        }
    }

    // Waits for COMn's card to have received `count` bytes in this row.
    bool received(int com, qsizetype count)
    {
        return QTest::qWaitFor([&] { return got[com].size() >= count; }, 30000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(ask.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        clock.start();
        ticker.callOnTimeout(this, &TestSerialRig::tick);
        ticker.start(10);
    }

    // Every row starts as the first did, whatever the last one left: no desk and no hand on a
    // slider, the adapter in and every card reading, nothing more coming on either line, and
    // what came before forgotten, so that each row's bytes start with a whole frame.
    void init()
    {
        desk.reset();
        ask.write("go\n");
        acmStalled = false;
        for (int com : { 2, 3 })
            QVERIFY(plugBack(com));
        do {
            got[1].clear();
            got[2].clear();
            got[3].clear();
            QTest::qWait(500);
        } while (!(got[1] + got[2] + got[3]).isEmpty());
        late();
    }

    void lost_data()
    {
        addRows<Row>({
                { .name = "pulled out idle: CDC-ACM", .com = 2 },
                { .name = "pulled out as a slider moves: CDC-ACM", .com = 2, .moving = true },
                { .name = "pulled out idle: FTDI", .com = 3 },
                { .name = "pulled out as a slider moves: FTDI", .com = 3, .moving = true },
                { .name = "dead line: 8250 UART", .stalled = true },
                { .name = "dead line: CDC-ACM", .com = 2, .stalled = true },
        });
    }

    // A line lost, its adapter pulled out or its card no longer reading: one box and the unlit
    // lamp, and the desk never stops answering. The adapter comes back as the same device,
    // nothing having gone while it was out, and the lamp opens it again. A dead line's queue is
    // dropped; tried again at once, while the system may still be closing it, the port opens,
    // or the box says it is still closing, never that another program holds it.
    void lost()
    {
        QFETCH(Row, row);
        QVERIFY(start(row.com));
        if (row.moving) {
            auto *bar = desk->add(ControlRegistry::Slider, 7)->findChild<QScrollBar *>();
            auto *hand = new QTimer(bar);
            connect(hand, &QTimer::timeout, bar,
                    [bar] { bar->setValue((bar->value() + 1) % 256); });
            hand->start(5);
            QVERIFY(received(row.com, 20));
        }
        if (row.stalled)
            stall(row.com);
        else
            plug(row.com, false);
        QVERIFY(QTest::qWaitFor([&] { return desk->lamp() == "unlit" && !boxes().isEmpty(); },
                                kLeaveMs));
        const qint64 seen = clock.elapsed() - since;
        QVERIFY(boxes()[0].text.startsWith(QStringLiteral("COM%1 was lost").arg(row.com)));
        const qsizetype after = got[row.com].size();
        if (!row.stalled) {
            QVERIFY(plugBack(row.com));
            QTest::qWait(1000);
            QCOMPARE(got[row.com].size(), after);
        }
        click(desk->find("imgConnection_Status0"));
        const QString again = link().portOpen() ? "open" : boxes().last().text;
        QTest::qWait(1000);
        const qint64 stopped = late();
        qInfo("lost after %lld ms; event loop stopped up to %lld ms; tried again: %s", seen,
              stopped, qPrintable(again));
        QVERIFY(stopped < kBlockMs);
        QVERIFY(again == "open" || (row.stalled && again.contains("still closing")));
        QCOMPARE(boxes().size(), again == "open" ? 1 : 2);
        if (row.stalled) {
            // The UART's queue is dropped; Debian 12's cdc_acm keeps its own.
            ask.write("go\n");
            QTest::qWait(2000);
            QVERIFY(row.com != 1 || got[1].size() - after < 1024);
        } else {
            send(frame(9, 99));
            QVERIFY(received(row.com, after + 2));
        }
    }

    void leave_data()
    {
        addRows<Row>({
                { .name = "exit: 8250 UART" },
                { .name = "exit: CDC-ACM", .com = 2 },
                { .name = "exit: FTDI", .com = 3 },
                { .name = "exit, stalled: CDC-ACM", .com = 2, .stalled = true },
        });
    }

    // Every channel at the levels a line might mangle, then a flood that a line at 9600 baud's
    // pace takes however far behind, never given up, and what is left of it at the exit goes out
    // whole. A line that has stopped taking bytes is not reported lost, then or when its drain
    // gives up, and is never waited for: the windows go at once, the program ends within the
    // stall window, and the event loop never stops.
    void leave()
    {
        QFETCH(Row, row);
        QVERIFY(start(row.com));
        QByteArray frames;
        for (int v : { 0, 3, 0x0A, 0x0D, 0x11, 0x13, 0x1A, 0x1C, 0x7F, 0xFF }) {
            for (int c = 1; c <= 112; ++c)
                frames += frame(c, v);
        }
        frames += sweep(2400);
        const qint64 sent = clock.elapsed();
        if (row.stalled) {
            stall(row.com);
        } else {
            send(frames);
            // The exit comes with 5 s of the flood to go: more than the UART's driver holds.
            QVERIFY(received(row.com, frames.size() - 4800));
            qInfo("%.1f frames a second", (frames.size() - 4800) / 2e-3 / (clock.elapsed() - sent));
        }
        QElapsedTimer leaving;
        qint64 hidden = -1;
        QObject watch; // ends with the row, and the connection with it
        connect(desk->frame->windowHandle(), &QWindow::visibleChanged, &watch,
                [&] { hidden = leaving.elapsed(); });
        leaving.start();
        desk->frame->close();
        const qint64 took = leaving.elapsed();
        const qint64 stopped = late();
        qInfo("left after %lld ms, the windows gone after %lld ms; event loop stopped up to %lld "
              "ms",
              took, hidden, stopped);
        QCOMPARE(boxes().size(), 0);
        QVERIFY(desk->dialogs.endings == QList{ 0 } && hidden >= 0 && hidden < kBlockMs);
        QVERIFY(took < kLeaveMs);
        QVERIFY(stopped < kBlockMs);
        if (!row.stalled) {
            received(row.com, frames.size());
            QCOMPARE(got[row.com].size(), frames.size());
            QCOMPARE(got[row.com], frames);
        }
    }
};

QTEST_MAIN(TestSerialRig)
#include "tst_serialrig.moc"
