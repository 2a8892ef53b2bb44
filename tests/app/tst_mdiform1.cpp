// The main frame: start-up over COM1 to COM4; the toolbar by mouse, keyboard and screen reader;
// held keys on the real boxes; the real input box; a stalled line and the exit on it; ending on
// a signal.
#include "support/desk.h"

#include "app/deskstart.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSerialPort>
#include <QTemporaryFile>
#include <QWindow>
#include <csignal>
#include <thread>
#include <sys/inotify.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// The desk on screen with the keyboard, as the operator finds it.
bool shown(Desk &desk)
{
    desk.frame->show();
    return QTest::qWaitForWindowActive(desk.frame.get());
}

// The desk shown, its card reading nothing, after it has filled the line and queued 8 KiB
// more, more than 9600 baud carry in the stall window: the driver then takes nothing for
// seconds, as a UART's does under a flood. Returns what was sent.
QByteArray fillLine(Desk &desk)
{
    desk.frame->show();
    desk.rig.card(1)->setListening(false);
    auto *port = desk.frame->MSComm1().findChild<QSerialPort *>();
    QByteArray sent;
    for (int i = 0; port->bytesToWrite() < 8192; ++i) {
        desk.frame->SendChannelFrame("1", QString::number(i % 256));
        sent += frame(1, i % 256);
    }
    return sent;
}

// opened: the port button down after start-up, 0 for none. box: how the one box starts, if any.
struct Startup
{
    const char *name;
    QSet<int> missing = {}, busy = {};
    bool notTty = false;
    int opened;
    QString box = {};
};
// steps: keys to the focused control; "click:" or "press:" a control, as a mouse or a screen
// reader does. said: the port's changes, as a screen reader is told them.
struct Operator
{
    const char *name;
    QString steps;
    int port = 1;
    QString lamp = "lit";
    QString focus;
    QStringList said = {};
};
// control: the toolbar's. focusTo: takes the focus while the key is down. box: the box shown
// once the key is up, answered Yes by Enter when the program `ends` by it, by Escape otherwise.
// wire: what COM1 received.
struct Held
{
    const char *name;
    QString control;
    Qt::Key key;
    QString focusTo = {}, box = {};
    bool ends = false;
    QByteArray wire = {};
};

} // namespace

class TestMDIForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startup_data()
    {
        addRows<Startup>({
                { .name = "COM1 missing, COM2 held", .missing = { 1 }, .busy = { 2 }, .opened = 3 },
                { .name = "COM1 to COM4 unavailable, COM5 never tried",
                  .missing = { 1, 3 },
                  .busy = { 2, 4 },
                  .opened = 0,
                  .box = "A valid COM port cannot be found" },
                { .name = "COM1 no terminal: another failure stops the fallback",
                  .notTty = true,
                  .opened = 1,
                  .box = "COM1 cannot be opened: " },
        });
    }

    void startup()
    {
        QFETCH(Startup, row);
        QTemporaryFile notTty;
        QVERIFY(notTty.open());
        Desk desk(row.missing, row.busy, false, false,
                  row.notTty ? [&](int n) { return n == 1 ? notTty.fileName() : ""; } : PortMap());
        // Every open and close of the port start-up keeps: it stays open, since a close drops
        // DTR and RTS. As root, the look for another program's exclusive access comes first. A
        // port that is no terminal is opened and closed once.
        const int opens = ::inotify_init1(IN_NONBLOCK);
        ::inotify_add_watch(
                opens,
                QFile::encodeName(row.notTty ? notTty.fileName()
                                             : desk.rig.card(qMax(1, row.opened))->devicePath()),
                IN_OPEN | IN_CLOSE);
        QCOMPARE(desk.frame->MDIForm_Load(), row.opened != 0);
        inotify_event events[8];
        const auto seen =
                std::max<ssize_t>(0, ::read(opens, events, sizeof events)) / sizeof *events;
        ::close(opens);
        QCOMPARE(seen, row.notTty ? 2 : !row.opened ? 0 : ::geteuid() == 0 ? 3 : 1);
        QCOMPARE(desk.checkedPort(), row.opened);
        QCOMPARE(desk.dialogs.endings, row.opened ? QList<int>{} : QList<int>{ 1 });
        const auto boxes = desk.dialogs.messages();
        QCOMPARE(boxes.size(), row.box.isEmpty() ? 0 : 1);
        if (row.box.isEmpty()) {
            desk.frame->SendChannelFrame("12", "200");
            QCOMPARE(desk.wire(row.opened).toHex(), "0cc8");
            return;
        }
        QVERIFY(boxes[0].text.startsWith(row.box));
        if (row.opened == 0) {
            // The detail says what each port answered, so that the operator learns why.
            QCOMPARE(boxes[0].title, "Fatal Error");
            QCOMPARE(boxes[0].icon, Dialogs::Icon::Critical);
            QVERIFY(boxes[0].detail.count('\n') == 3
                    && boxes[0].detail.startsWith("COM1: there is no such port")
                    && boxes[0].detail.contains("in use by another"));
        }
    }

    void toolbar_data()
    {
        addRows<Operator>({
                { .name = "Enter presses a port, Tab leaves for the lamp, Shift+F6 goes back",
                  .steps = "F6 Right Right Enter Tab Space Shift+F6",
                  .port = 3,
                  .lamp = "unlit",
                  .focus = "Channel 9 level",
                  .said = { "COM1 closed", "COM3 open", "COM3 closed" } },
                { .name = "a screen reader's presses and a mouse's clicks on the ports and the "
                          "lamp",
                  .steps = "press:optCommSelect4 click:imgConnection_Status1 click:optCommSelect4 "
                           "click:imgConnection_Status1 press:imgConnection_Status0",
                  .port = 4,
                  .focus = "COM port open",
                  .said = { "COM1 closed", "COM4 open", "COM4 closed", "COM4 open", "COM4 closed",
                            "COM4 open" } },
        });
    }

    void toolbar()
    {
        QFETCH(Operator, row);
        Desk desk;
        QVERIFY(shown(desk));
        desk.add(ControlRegistry::Slider, 9);
        told().clear();
        for (const QString &step : row.steps.split(' ')) {
            if (QWidget *control = desk.find(step.section(':', 1)); step.contains(':')) {
                if (step.startsWith("click"))
                    click(control);
                else
                    QAccessible::queryAccessibleInterface(control)->actionInterface()->doAction(
                            QAccessibleActionInterface::pressAction());
                QCoreApplication::processEvents(); // a press is carried out after the call
            } else {
                const QKeyCombination key = QKeySequence::fromString(step)[0];
                QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
            }
        }
        // Enter and Space press once the key is up and no repeat has followed.
        const auto seen = [&desk] {
            return QStringList{ QString::number(desk.checkedPort()), desk.lamp(),
                                QAccessible::queryAccessibleInterface(QApplication::focusWidget())
                                        ->text(QAccessible::Name) };
        };
        QTRY_COMPARE(seen(), (QStringList{ QString::number(row.port), row.lamp, row.focus }));
        // A screen reader was told each change once, and nothing that did not happen.
        QCOMPARE(told().filter("say ").replaceInStrings("say ", ""), row.said);
        // Frames go where the toolbar says.
        desk.frame->SendChannelFrame("12", "200");
        const bool lit = row.lamp == "lit";
        QCOMPARE(desk.wire(row.port, 2, lit ? 2000 : 200).toHex(), lit ? "0cc8" : "");
        // A port another program holds says so when chosen, and again when the lamp retries it.
        desk.rig.hold(5);
        click(desk.find("optCommSelect5"));
        click(desk.find("imgConnection_Status0"));
        const auto boxes = desk.dialogs.messages();
        QCOMPARE(boxes.size(), 2);
        QVERIFY(boxes[0].text.startsWith("COM5 cannot be opened")
                && boxes[1].text == boxes[0].text);
    }

    void heldKey_data()
    {
        addRows<Held>({
                { .name = "Space on Exit",
                  .control = "cmdExit",
                  .key = Qt::Key_Space,
                  .box = "Exit?" },
                { .name = "Enter on a preset button",
                  .control = "cmdPresets0",
                  .key = Qt::Key_Return,
                  .wire = "0800" },
                { .name = "Enter on Exit answered Yes by Enter",
                  .control = "cmdExit",
                  .key = Qt::Key_Return,
                  .box = "Exit?",
                  .ends = true },
                { .name = "Space on the lamp, the focus moved to Exit",
                  .control = "imgConnection_Status1",
                  .key = Qt::Key_Space,
                  .focusTo = "cmdExit" },
        });
    }

    void heldKey()
    {
        // A key held for a while acts once, as it comes up, on the control it went down on; no
        // repeat answers a box it opened. While a box is up the desk takes no clicks.
        QFETCH(Held, row);
        Desk desk({}, {}, true, true);
        QVERIFY(shown(desk));
        desk.find<ControlRegistry>({})->ShowNewControl(ControlRegistry::Preset, 8, "P");
        desk.find(row.control)->setFocus();
        QString box = "none";
        const auto now = [&](const QString &shown, int ms) {
            return QStringList{ shown, desk.lamp(), desk.wire(1, 4, ms).toHex() };
        };
        QStringList whileDown; // nothing has acted before the key is up
        hold(
                desk.frame.get(), row.key,
                [&] {
                    whileDown = now(QApplication::activeModalWidget() ? "a box" : "", 0);
                    if (!row.focusTo.isEmpty())
                        desk.find(row.focusTo)->setFocus();
                },
                [&] {
                    QWidget *modal = QApplication::activeModalWidget();
                    box = modal ? modal->windowTitle() : "";
                    if (modal) {
                        click(desk.find("imgConnection_Status1"));
                        hold(desk.frame.get(), row.ends ? Qt::Key_Return : Qt::Key_Escape, {}, {},
                             0);
                    }
                });
        QTRY_VERIFY(box != "none");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(desk.real.endings, row.ends ? QList<int>{ 0 } : QList<int>{});
        QCOMPARE(whileDown, (QStringList{ "", "lit", "" }));
        if (row.ends) {
            // Every window goes at once, and the port is let go.
            QVERIFY(!desk.frame->isVisible());
            QVERIFY(QSerialPort(desk.rig.card(1)->devicePath()).open(QIODevice::WriteOnly));
            return;
        }
        QCOMPARE(now(box, 300), (QStringList{ row.box, "lit", row.wire }));
    }

    void inputBox()
    {
        // The prompt's carriage return shows as a line break; typing replaces the default, and a
        // screen reader reads the box whole.
        QtDialogs dialogs;
        QString label, read;
        QTimer::singleShot(0, this, [&] {
            QWidget *box = QApplication::activeModalWidget();
            label = box->findChild<QLabel *>()->text();
            auto *edit = box->findChild<QLineEdit *>();
            QTest::keyClicks(edit, "12");
            read = readAsOneRun(edit);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(dialogs.input({}, "the channel\rthat", "1"), "12");
        QCOMPARE(label, "the channel\nthat");
        QCOMPARE(read, "12");
    }

    void stalledLine()
    {
        // A line that takes nothing for the stall window is reported lost.
        Desk desk;
        fillLine(desk);
        QTRY_VERIFY_WITH_TIMEOUT(!desk.dialogs.messages().isEmpty(), CardLink::kStallMs + 10000);
        QCOMPARE(desk.lamp(), "unlit");
        QCOMPARE(desk.dialogs.messages()[0].text,
                 "COM1 was lost: " + desk.frame->MSComm1().findChild<QSerialPort *>()->portName()
                         + ": the line has taken no data for 6 seconds");
    }

    void exitOnStalledLine()
    {
        Desk desk;
        const QByteArray expected = fillLine(desk);
        // The card reads 48 bytes every 50 ms, as 9600 baud carry them, on a thread of its own
        // as a card is: the end of the program runs no handler of ours.
        QByteArray got;
        std::jthread card([&, fd = desk.rig.card(1)->masterFd()](std::stop_token reading) {
            for (char taken[48]; !reading.stop_requested(); std::this_thread::sleep_for(50ms))
                got += QByteArray(taken, std::max<ssize_t>(0, ::read(fd, taken, sizeof taken)));
        });
        // The windows go at once; the program ends within the stall window, though the line
        // would take longer to send what it holds. Budgets that a busy machine meets, and that a
        // close waiting on the line misses.
        QElapsedTimer exiting;
        qint64 hidden = -1;
        connect(desk.frame->windowHandle(), &QWindow::visibleChanged, this,
                [&] { hidden = exiting.elapsed(); });
        exiting.start();
        desk.frame->close();
        QCOMPARE(desk.dialogs.endings, QList<int>{ 0 });
        QCOMPARE_GE(hidden, 0);
        QCOMPARE_LT(hidden, 3000);
        QCOMPARE_LT(exiting.elapsed(), CardLink::kStallMs + 3000);
        card = {}; // stopped and joined
        QVERIFY(expected.startsWith(got)); // nothing dropped or reordered on the way
    }

    void signalDuringStartUp_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGHUP") << SIGHUP;
    }

    void signalDuringStartUp()
    {
        // The signal comes as start-up asks for COM1's device, just before the port opens.
        QFETCH(int, signal);
        CardRig rig;
        ScriptedDialogs dialogs;
        const auto frame = DeskStart::open(*qApp, dialogs, [map = rig.map(), signal](int n) {
            ::raise(signal);
            return map(n);
        });
        QTRY_COMPARE(dialogs.endings, QList<int>{ 0 });
        QSerialPort other(rig.card(1)->devicePath());
        QVERIFY(other.open(QIODevice::WriteOnly)); // closed, and its lock file gone too
    }
};

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
