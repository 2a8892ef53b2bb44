// The main frame: start-up over COM1 to COM4; the toolbar by mouse, keyboard and screen reader;
// a pulled card and a stalled line; held keys on the real boxes; the exit; ending on a signal.
#include "support/desk.h"

#include "app/deskstart.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSerialPort>
#include <QTemporaryFile>
#include <QWindow>
#include <atomic>
#include <csignal>
#include <thread>
#include <sys/inotify.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// The visible control a screen reader names `name`.
QAccessibleInterface *named(Desk &desk, const QString &name)
{
    for (QWidget *w : desk.frame->findChildren<QWidget *>()) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        if (w->isVisible() && iface && iface->text(QAccessible::Name) == name)
            return iface;
    }
    return nullptr;
}

// The desk on screen with the keyboard, as the operator finds it.
bool shown(Desk &desk)
{
    desk.frame->show();
    return QTest::qWaitForWindowActive(desk.frame.get());
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
// steps: keys to the focused control; "click:" or "press:" a named control, as a mouse or a
// screen reader does; "pull:" or "plug:" a COM number's card; "send" a frame; "wait" until a
// box says the line is gone. box: how each box shown starts. said: the port's changes, as a
// screen reader is told them.
struct Operator
{
    const char *name;
    QString steps;
    int port = 1;
    bool lit = true;
    QString focus, box = {};
    QStringList said = {};
};
// control: in the second preset window (channel 8), or the toolbar's. focusTo: takes the focus
// while the key is down, or a command on the menu bar is pressed by a screen reader then. box:
// the box shown once the key is up, answered by `answer`; ends: the program ends by it. port
// and wire: the toolbar and what COM1 received after; opened: ports opened since the key went
// down; closed: the second preset window has gone.
struct Held
{
    const char *name;
    QString control;
    Qt::Key key;
    QString focusTo = {}, box = {};
    Qt::Key answer = Qt::Key_Escape;
    bool ends = false;
    QString port = "COM1 lit", wire = {};
    int opened = 0;
    bool closed = false;
};
// takes: bytes the line takes every 50 ms. then: the operator chooses COM2 meanwhile, or
// leaves.
struct Stall
{
    const char *name;
    int takes;
    QString then = {};
};
struct Signal
{
    const char *name;
    int signal;
};

} // namespace

class TestMDIForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startup_data()
    {
        addRows<Startup>({
                { .name = "COM1 free", .opened = 1 },
                { .name = "COM1 missing, COM2 held", .missing = { 1 }, .busy = { 2 }, .opened = 3 },
                { .name = "COM1 held, COM2 and COM3 missing",
                  .missing = { 2, 3 },
                  .busy = { 1 },
                  .opened = 4 },
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
        QCOMPARE(desk.lamp(), row.box.isEmpty() ? "lit" : "unlit");
        QCOMPARE(desk.dialogs.endings, row.opened ? QList<int>{} : QList<int>{ 1 });
        const auto boxes = desk.dialogs.messages();
        QCOMPARE(boxes.size(), row.box.isEmpty() ? 0 : 1);
        if (row.box.isEmpty()) {
            desk.frame->SendChannelFrame("12", "200");
            QCOMPARE(desk.wire(row.opened).toHex(), "0cc8");
            return;
        }
        QVERIFY2(boxes[0].text.startsWith(row.box), qPrintable(boxes[0].text));
        if (row.opened == 0) {
            // The detail says what each port answered, so that the operator learns why.
            QCOMPARE(boxes[0].title, "Fatal Error");
            QCOMPARE(boxes[0].icon, Dialogs::Icon::Critical);
            QVERIFY2(boxes[0].detail.count('\n') == 3
                             && boxes[0].detail.startsWith("COM1: there is no such port")
                             && boxes[0].detail.contains("in use by another"),
                     qPrintable(boxes[0].detail));
        }
    }

    void toolbar_data()
    {
        const QStringList toCOM1 = { "COM1 closed", "COM1 open" };
        addRows<Operator>({
                { .name = "Enter presses the port",
                  .steps = "F6 Right Right Enter",
                  .port = 3,
                  .focus = "COM3",
                  .said = { "COM1 closed", "COM3 open" } },
                { .name = "Tab leaves the ports for the lamp",
                  .steps = "F6 Tab Space",
                  .lit = false,
                  .focus = "COM port closed",
                  .said = { "COM1 closed" } },
                { .name = "Enter on the lamp opens it again",
                  .steps = "F6 Left Left Left Space Enter",
                  .focus = "COM port open",
                  .said = toCOM1 },
                { .name = "Shift+F6 back to the workspace",
                  .steps = "F6 Right Shift+F6",
                  .focus = "Channel 9 level" },
                { .name = "Press on a port",
                  .steps = "press:COM4",
                  .port = 4,
                  .focus = "Channel 9 level",
                  .said = { "COM1 closed", "COM4 open" } },
                { .name = "Press on the lamp, twice",
                  .steps = "press:COM_port_open press:COM_port_closed",
                  .focus = "Channel 9 level",
                  .said = toCOM1 },
                { .name = "a click on a port",
                  .steps = "click:COM2",
                  .port = 2,
                  .focus = "COM2",
                  .said = { "COM1 closed", "COM2 open" } },
                { .name = "the port button already down reconnects",
                  .steps = "click:COM_port_open click:COM1",
                  .focus = "COM1",
                  .said = toCOM1 },
                { .name = "a failed retry changes nothing",
                  .steps = "pull:5 click:COM5 click:COM_port_closed",
                  .port = 5,
                  .lit = false,
                  .focus = "COM port closed",
                  .box = "COM5 cannot be opened: ",
                  .said = { "COM1 closed" } },
                { .name = "the lamp retries it",
                  .steps = "pull:5 click:COM5 plug:5 click:COM_port_closed",
                  .port = 5,
                  .focus = "COM port open",
                  .box = "COM5 cannot be opened: ",
                  .said = { "COM1 closed", "COM5 open" } },
                { .name = "a card pulled out as a frame goes",
                  .steps = "pull:1 send wait",
                  .lit = false,
                  .focus = "Channel 9 level",
                  .box = "COM1 was lost: ",
                  .said = { "COM1 closed" } },
                { .name = "its port button reopens it",
                  .steps = "pull:1 wait plug:1 click:COM1",
                  .focus = "COM1",
                  .box = "COM1 was lost: ",
                  .said = toCOM1 },
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
            const QString what = step.section(':', 1).replace('_', ' ');
            if (step.startsWith("pull")) {
                desk.rig.card(what.toInt())->unplug();
            } else if (step.startsWith("plug")) {
                desk.rig.card(what.toInt())->plugIn();
            } else if (step == "send") {
                desk.frame->SendChannelFrame("12", "200");
            } else if (step == "wait") {
                QTRY_VERIFY(!desk.dialogs.messages().isEmpty());
            } else if (step.contains(':')) {
                QAccessibleInterface *control = named(desk, what);
                QVERIFY2(control, qPrintable(step));
                if (step.startsWith("click"))
                    click(static_cast<QWidget *>(control->object()));
                else
                    control->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
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
        const QString lamp = row.lit ? "lit" : "unlit";
        QTRY_COMPARE(seen(), (QStringList{ QString::number(row.port), lamp, row.focus }));
        const auto boxes = desk.dialogs.messages();
        QCOMPARE(boxes.isEmpty(), row.box.isEmpty());
        for (const auto &box : boxes)
            QVERIFY2(box.text.startsWith(row.box), qPrintable(box.text));
        // A screen reader reads the port's radio button checked, and the lamp as a button checked
        // while the port is open. It was told each change once, and nothing that did not happen.
        const auto *port = named(desk, QStringLiteral("COM%1").arg(row.port)),
                   *button = named(desk, row.lit ? "COM port open" : "COM port closed");
        QVERIFY(port->role() == QAccessible::RadioButton && port->state().checked);
        QVERIFY(button->role() == QAccessible::Button && bool(button->state().checked) == row.lit);
        QCOMPARE(told().filter("say ").replaceInStrings("say ", ""), row.said);
        // Frames go where the toolbar says.
        desk.frame->SendChannelFrame("12", "200");
        QCOMPARE(desk.wire(row.port, 2, row.lit ? 2000 : 200).toHex(), row.lit ? "0cc8" : "");
    }

    void heldKey_data()
    {
        addRows<Held>({
                { .name = "Space on Exit",
                  .control = "cmdExit",
                  .key = Qt::Key_Space,
                  .box = "Exit?" },
                { .name = "Space on a port",
                  .control = "optCommSelect3",
                  .key = Qt::Key_Space,
                  .port = "COM3 lit",
                  .opened = 1 },
                { .name = "Enter on the lamp",
                  .control = "imgConnection_Status1",
                  .key = Qt::Key_Return,
                  .port = "COM1 unlit" },
                { .name = "Space on a preset button",
                  .control = "cmdPresets0",
                  .key = Qt::Key_Space,
                  .wire = "0800" },
                // The focus goes on to the first preset window, whose buttons the key must not
                // reach.
                { .name = "Enter on Close",
                  .control = "cmdClose_Preset",
                  .key = Qt::Key_Return,
                  .closed = true },
                { .name = "Enter on a preset button, the focus taken by a box",
                  .control = "cmdPresets0",
                  .key = Qt::Key_Return,
                  .focusTo = "Help",
                  .box = "Instructions",
                  .answer = Qt::Key_Return },
                { .name = "Enter on a preset button, Exit from the menu answered Yes by Enter",
                  .control = "cmdPresets0",
                  .key = Qt::Key_Return,
                  .focusTo = "Exit",
                  .box = "Exit?",
                  .answer = Qt::Key_Return,
                  .ends = true },
                { .name = "Space on a preset button, the focus moved to Exit",
                  .control = "cmdPresets0",
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
        desk.add(ControlRegistry::Preset, 7);
        QWidget *presets = desk.add(ControlRegistry::Preset, 8);
        desk.frame->activateWindow(); // the preset dialog was the active window last
        QTRY_COMPARE(QApplication::activeWindow(), desk.frame.get());
        auto *control = presets->findChild<QWidget *>(row.control);
        (control ? control : desk.find(row.control))->setFocus();
        QSignalSpy errors(desk.frame->MSComm1().findChild<QSerialPort *>(),
                          &QSerialPort::errorOccurred); // an open reports NoError
        QString box = "none";
        const auto now = [&](const QString &shown, int ms) {
            return QStringList{ shown,
                                QStringLiteral("COM%1 %2").arg(desk.checkedPort()).arg(desk.lamp()),
                                desk.wire(1, 4, ms).toHex() };
        };
        QStringList whileDown; // nothing has acted before the key is up
        hold(
                desk.frame.get(), row.key,
                [&] {
                    whileDown = now(QApplication::activeModalWidget() ? "a box" : "", 0);
                    if (QWidget *other = row.focusTo.isEmpty() ? nullptr : desk.find(row.focusTo)) {
                        other->setFocus();
                        return;
                    }
                    // A screen reader waits on its press of a command on the menu bar: the press
                    // returns at once, and the box opens after it.
                    QAccessibleInterface *bar =
                            QAccessible::queryAccessibleInterface(desk.frame->menuBar());
                    for (int i = 0; i < bar->childCount(); ++i) {
                        if (bar->child(i)->text(QAccessible::Name) == row.focusTo)
                            bar->child(i)->actionInterface()->doAction(
                                    QAccessibleActionInterface::pressAction());
                    }
                    QCOMPARE(box, "none");
                },
                [&] {
                    QWidget *modal = QApplication::activeModalWidget();
                    box = modal ? modal->windowTitle() : "";
                    if (modal) {
                        click(presets->findChild<QWidget *>("cmdPresets0"));
                        hold(desk.frame.get(), row.answer, {}, {}, 0);
                    }
                });
        QTRY_VERIFY(box != "none");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(desk.real.endings, row.ends ? QList<int>{ 0 } : QList<int>{});
        QCOMPARE(whileDown, (QStringList{ "", "COM1 lit", "" }));
        if (row.ends) {
            // Every window goes at once, and the port is let go.
            QVERIFY(!desk.frame->isVisible());
            QVERIFY(QSerialPort(desk.rig.card(1)->devicePath()).open(QIODevice::WriteOnly));
            return;
        }
        QCOMPARE(now(box, 300), (QStringList{ row.box, row.port, row.wire }));
        QCOMPARE(errors.count({ QVariant::fromValue(QSerialPort::NoError) }), row.opened);
        QCOMPARE(presets->isVisible(), !row.closed);
    }

    void stalledLine_data()
    {
        addRows<Stall>({
                { .name = "dead line", .takes = 0 },
                { .name = "9600 baud", .takes = 48 },
                { .name = "another port chosen", .takes = 0, .then = "COM2" },
                { .name = "the exit as the line takes bytes at 9600 baud",
                  .takes = 48,
                  .then = "exit" },
        });
    }

    void stalledLine()
    {
        QFETCH(Stall, row);
        Desk desk;
        desk.frame->show();
        // The test is the card, reading no faster than the line carries bytes, after the desk
        // has filled the line and queued 8 KiB more, more than 9600 baud carry in the stall
        // window. The driver then takes nothing for seconds, as a UART's does under a flood.
        desk.rig.card(1)->setListening(false);
        auto *port = desk.frame->MSComm1().findChild<QSerialPort *>();
        QByteArray expected;
        for (int i = 0; port->bytesToWrite() < 8192; ++i) {
            desk.frame->SendChannelFrame("1", QString::number(i % 256));
            expected += frame(1, i % 256);
        }
        // On a thread of its own, as a card is: the end of the program runs no handler of ours.
        QByteArray got;
        std::atomic<bool> reading = row.takes > 0;
        std::thread card([&, fd = desk.rig.card(1)->masterFd()] {
            for (char taken[64]; reading; std::this_thread::sleep_for(50ms))
                got += QByteArray(taken, std::max<ssize_t>(0, ::read(fd, taken, row.takes)));
        });
        const auto stopCard = [&] {
            reading = false;
            if (card.joinable())
                card.join();
        };
        const auto joined = qScopeGuard(stopCard);
        if (row.then == "COM2") {
            // COM2 works at once, and COM1 is not reported lost for it.
            click(desk.find("optCommSelect2"));
            desk.frame->SendChannelFrame("12", "200");
            QCOMPARE(desk.wire(2).toHex(), "0cc8");
        } else if (row.then == "exit") {
            // The windows go at once; the program ends within the stall window, though the line
            // would take longer to send what it holds. Budgets that a busy machine meets, and
            // that a close waiting on the line misses.
            QElapsedTimer exiting;
            qint64 hidden = -1;
            connect(desk.frame->windowHandle(), &QWindow::visibleChanged, this,
                    [&] { hidden = exiting.elapsed(); });
            exiting.start();
            desk.frame->close();
            QCOMPARE(desk.dialogs.endings, QList<int>{ 0 });
            QVERIFY2(hidden >= 0 && hidden < 3000, qPrintable(QString::number(hidden)));
            QVERIFY2(exiting.elapsed() < CardLink::kStallMs + 3000,
                     qPrintable(QString::number(exiting.elapsed())));
            stopCard();
            QVERIFY(expected.startsWith(got));
            return;
        } else if (row.takes == 0) {
            QTRY_VERIFY_WITH_TIMEOUT(!desk.dialogs.messages().isEmpty(),
                                     CardLink::kStallMs + 10000);
            QCOMPARE(desk.lamp(), "unlit");
            QCOMPARE(desk.dialogs.messages()[0].text,
                     "COM1 was lost: " + port->portName()
                             + ": the line has taken no data for 6 seconds");
            return;
        }
        if (row.then.isEmpty())
            QTest::qWait(CardLink::kStallMs + 1000);
        QCOMPARE(desk.dialogs.messages().size(), 0);
        QCOMPARE(desk.lamp(), "lit");
        // Nothing was dropped or reordered on the way, nor left behind by the move.
        stopCard();
        desk.rig.card(1)->setListening(true);
        got += desk.rig.takeBytes(1, int(expected.size() - got.size()));
        QCOMPARE(got.toHex(), expected.toHex());
    }

    void signalDuringStartUp_data()
    {
        addRows<Signal>({
                { .name = "SIGTERM", .signal = SIGTERM },
                { .name = "SIGINT", .signal = SIGINT },
                { .name = "SIGHUP", .signal = SIGHUP },
        });
    }

    void signalDuringStartUp()
    {
        // The signal comes as start-up asks for COM1's device, just before the port opens.
        QFETCH(Signal, row);
        CardRig rig;
        ScriptedDialogs dialogs;
        const auto frame = DeskStart::open(*qApp, dialogs, [map = rig.map(), row](int n) {
            ::raise(row.signal);
            return map(n);
        });
        QVERIFY(frame);
        QTRY_COMPARE(dialogs.endings, QList<int>{ 0 });
        QSerialPort other(rig.card(1)->devicePath());
        QVERIFY(other.open(QIODevice::WriteOnly)); // closed, and its lock file gone too
    }
};

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
