// The main frame: start-up over COM1 to COM4; the toolbar by mouse, keyboard and screen reader;
// a pulled card and a stalled line; the real boxes; held keys; the exit; ending on a signal.
#include "support/desk.h"

#include "app/deskstart.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSerialPort>
#include <QScopeGuard>
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

// clang-format off
// steps: keys to the focused control; "click:" or "press:" a named control, as a mouse or a
// screen reader does; "pull:" or "plug:" a COM number's card; "send" a frame, or "wait", until
// the box says the line is gone; "quiet": no more errors come from the lost line.
// box: how the one box shown starts, if any; said: the port's changes, as a screen reader is
// told them.
struct Operator { const char *name; QString steps; int port; QString lamp, focus, box = {}; QStringList said = {}; };
// opener: a toolbar button, or a command on the menu bar pressed by a screen reader.
struct Modal { const char *name; QString opener; QKeyCombination answer; QString title; bool ends; };
// control: in the second preset window (channel 8), or the toolbar's. after: once the key is up,
// the box the press opened, the port and lamp, what COM1 received, ports opened since the key
// went down, and whether the second preset window still shows. away: Help opens while the key is
// down, and is answered by Enter once it is up.
struct Held { const char *name; QString control; Qt::Key key; QStringList after; bool away = false; };
// opened: the button down; 0 for none.
struct Startup { const char *name; QSet<int> missing, busy, notTty; int opened; QString box; };
// takes: bytes the line takes every 50 ms. then: COM2 chosen, or the exit.
struct Stall { const char *name; int takes; QString then = {}; };
struct Signal { const char *name; int signal; };
// clang-format on

} // namespace

class TestMDIForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startup_data()
    {
        // clang-format off
        addRows<Startup>({
            {"COM1 free", {}, {}, {}, 1, ""},
            {"COM1 missing, COM2 held", {1}, {2}, {}, 3, ""},
            {"COM1 held, COM2 and COM3 missing", {2, 3}, {1}, {}, 4, ""},
            {"COM1 to COM4 unavailable, COM5 never tried", {1, 3}, {2, 4}, {}, 0, "A valid COM port cannot be found"},
            {"another failure stops the fallback", {}, {}, {1}, 1, "COM1 cannot be opened: "},
        });
        // clang-format on
    }

    void startup()
    {
        QFETCH(Startup, row);
        Desk desk(row.missing, row.busy, false);
        QTemporaryFile notTty;
        QVERIFY(notTty.open());
        for (const int n : row.notTty)
            desk.devices[n] = notTty.fileName();
        // Every open and close of the port that start-up keeps: a close drops DTR and RTS.
        const int seen = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (row.opened) {
            const QString device =
                    desk.devices.value(row.opened, desk.rig.card(row.opened)->devicePath());
            ::inotify_add_watch(seen, QFile::encodeName(device), IN_OPEN | IN_CLOSE);
        }
        QCOMPARE(desk.frame->MDIForm_Load(), row.opened != 0);
        inotify_event events[8];
        const ssize_t got = std::max<ssize_t>(0, ::read(seen, events, sizeof events));
        ::close(seen);
        // As root, the look for another program's exclusive access comes first, and closes
        // while the card still holds the line. A port that is no terminal is opened and closed
        // once.
        const int looks = !row.notTty.isEmpty() ? 2 : ::geteuid() == 0 ? 3 : 1;
        QCOMPARE(got / ssize_t(sizeof(inotify_event)), row.opened ? looks : 0);
        QCOMPARE(desk.checkedPort(), row.opened);
        QCOMPARE(desk.lamp(), row.box.isEmpty() ? "lit" : "unlit");
        QCOMPARE(desk.dialogs.endings, row.opened ? QList<int>{} : QList<int>{ 1 });
        const auto shown = desk.dialogs.messages();
        QCOMPARE(shown.size(), row.box.isEmpty() ? 0 : 1);
        if (row.box.isEmpty()) {
            desk.frame->SendChannelFrame("12", "200");
            QCOMPARE(desk.wire(row.opened).toHex(), QByteArray("0cc8"));
        } else if (row.opened) {
            QVERIFY2(shown[0].text.startsWith(row.box), qPrintable(shown[0].text));
        } else {
            QCOMPARE(shown[0].text, row.box);
            QCOMPARE(shown[0].title, "Fatal Error");
            QCOMPARE(shown[0].icon, Dialogs::Icon::Critical);
            // The detail says what each port answered, so that the operator learns why.
            const QStringList detail = shown[0].detail.split('\n');
            QCOMPARE(detail.size(), 4);
            QVERIFY(detail[0].startsWith("COM1: there is no such port"));
            QVERIFY(detail[1].startsWith("COM2: ") && detail[1].contains("in use by another"));
        }
    }

    void toolbar_data()
    {
        // clang-format off
        addRows<Operator>({
            {"F6 reaches the port that is down", "F6", 1, "lit", "COM1"},
            {"arrows only move", "F6 Right Right", 1, "lit", "COM3"},
            {"Enter presses the port", "F6 Right Right Enter", 3, "lit", "COM3", "", {"COM1 closed", "COM3 open"}},
            {"Tab leaves the ports for the lamp", "F6 Tab Space", 1, "unlit", "COM port closed", "", {"COM1 closed"}},
            {"Space on the lamp closes the port", "F6 Left Left Left Space", 1, "unlit", "COM port closed", "", {"COM1 closed"}},
            {"Enter on the lamp opens it again", "F6 Left Left Left Space Enter", 1, "lit", "COM port open", "", {"COM1 closed", "COM1 open"}},
            {"F6 back to the workspace", "F6 Right F6", 1, "lit", "Channel 9 level"},
            {"Shift+F6 back to the workspace", "F6 Right Shift+F6", 1, "lit", "Channel 9 level"},
            {"Press on a port", "press:COM4", 4, "lit", "Channel 9 level", "", {"COM1 closed", "COM4 open"}},
            {"Press on the lamp, twice", "press:COM_port_open press:COM_port_closed", 1, "lit", "Channel 9 level", "", {"COM1 closed", "COM1 open"}},
            {"a click on a port", "click:COM2", 2, "lit", "COM2", "", {"COM1 closed", "COM2 open"}},
            {"a second click opens it again", "click:COM_port_open click:COM_port_closed", 1, "lit", "COM port open", "", {"COM1 closed", "COM1 open"}},
            {"the port button already down reconnects", "click:COM_port_open click:COM1", 1, "lit", "COM1", "", {"COM1 closed", "COM1 open"}},
            {"a failed retry changes nothing", "pull:5 click:COM5 click:COM_port_closed", 5, "unlit", "COM port closed", "COM5 cannot be opened: ", {"COM1 closed"}},
            {"the lamp retries it", "pull:5 click:COM5 plug:5 click:COM_port_closed", 5, "lit", "COM port open", "COM5 cannot be opened: ", {"COM1 closed", "COM5 open"}},
            {"a card pulled out as a frame goes", "pull:1 send quiet", 1, "unlit", "Channel 9 level", "COM1 was lost: ", {"COM1 closed"}},
            {"its port button reopens it", "pull:1 wait quiet plug:1 click:COM1", 1, "lit", "COM1", "COM1 was lost: ", {"COM1 closed", "COM1 open"}},
        });
        // clang-format on
    }

    void toolbar()
    {
        QFETCH(Operator, row);
        Desk desk;
        desk.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
        desk.add(ControlRegistry::Slider, 9);
        QSignalSpy errors(desk.frame->MSComm1().findChild<QSerialPort *>(),
                          &QSerialPort::errorOccurred);
        told().clear();
        for (const QString &step : row.steps.split(' ')) {
            const QString what = step.section(':', 1).replace('_', ' ');
            if (step.startsWith("pull") || step.startsWith("plug")) {
                VirtualCard *card = desk.rig.card(what.toInt());
                step.startsWith("pull") ? card->unplug() : card->plugIn();
            } else if (step == "send" || step == "wait") { // the line is gone
                if (step == "send")
                    desk.frame->SendChannelFrame("12", "200");
                QTRY_VERIFY_WITH_TIMEOUT(!desk.dialogs.messages().isEmpty(), 1000);
            } else if (step == "quiet") { // a few errors from the port, and none more after
                const qsizetype errorCount = errors.size();
                QTest::qWait(200);
                QVERIFY(errors.size() == errorCount && errorCount <= 4);
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
            QWidget *focus = QApplication::focusWidget();
            return QStringList{ QString::number(desk.checkedPort()), desk.lamp(),
                                QAccessible::queryAccessibleInterface(focus)->text(
                                        QAccessible::Name) };
        };
        QTRY_COMPARE(seen(), (QStringList{ QString::number(row.port), row.lamp, row.focus }));
        const auto boxes = desk.dialogs.messages();
        QCOMPARE(boxes.isEmpty(), row.box.isEmpty());
        for (const auto &box : boxes)
            QVERIFY2(box.text.startsWith(row.box), qPrintable(box.text));
        // A screen reader reads the port's radio button checked, and the lamp as a button checked
        // while the port is open. Whatever changed the port, it was told each change once, as it
        // happened, and nothing that did not happen.
        const bool lit = row.lamp == "lit";
        const auto *port = named(desk, QStringLiteral("COM%1").arg(row.port)),
                   *lamp = named(desk, lit ? "COM port open" : "COM port closed");
        QVERIFY(port->role() == QAccessible::RadioButton && port->state().checked);
        QVERIFY(lamp->role() == QAccessible::Button && bool(lamp->state().checked) == lit);
        QCOMPARE(told().filter(QRegularExpression("^say ")).replaceInStrings("say ", ""), row.said);
        // Frames go where the toolbar says.
        desk.frame->SendChannelFrame("12", "200");
        QCOMPARE(desk.wire(row.port, 2, lit ? 2000 : 200).toHex(), QByteArray(lit ? "0cc8" : ""));
    }

    void modalBoxes_data()
    {
        // clang-format off
        addRows<Modal>({
            {"Exit answered No by Escape", "cmdExit", Qt::Key_Escape, "Exit?", false},
            {"Exit answered Yes by Enter", "cmdExit", Qt::Key_Return, "Exit?", true},
            {"Exit from the menu answered Yes by Alt+Y", "Exit", Qt::ALT | Qt::Key_Y, "Exit?", true},
            {"Help from the menu closed by Escape", "Help", Qt::Key_Escape, "Instructions", false},
        });
        // clang-format on
    }

    void modalBoxes()
    {
        // The real boxes: while one is up the desk takes no clicks; then it is as it was, or
        // the program has ended and let the port go.
        QFETCH(Modal, row);
        Desk desk({}, {}, true, true);
        desk.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
        QWidget *presets = desk.add(ControlRegistry::Preset, 7);
        auto *button = presets->findChild<QWidget *>("cmdPresets0");
        QString title;
        whenModal(desk.frame.get(), [&](QWidget *box) {
            title = box->windowTitle();
            for (QLabel *text : box->findChildren<QLabel *>()) // read only when tied to nothing
                QVERIFY(QAccessible::queryAccessibleInterface(text)->relations().isEmpty());
            click(button);
            QTest::keyClick(box, row.answer.key(), row.answer.keyboardModifiers());
        });
        if (row.opener.startsWith("cmd")) {
            click(desk.find<QWidget>(row.opener));
        } else {
            // A screen reader, a voice or a switch tool waits on its press: the press returns
            // at once, and the box opens after it.
            auto *bar = QAccessible::queryAccessibleInterface(desk.frame->menuBar());
            for (int i = 0; i < bar->childCount(); ++i) {
                if (bar->child(i)->text(QAccessible::Name) == row.opener)
                    bar->child(i)->actionInterface()->doAction(
                            QAccessibleActionInterface::pressAction());
            }
            QVERIFY(title.isEmpty());
            QTRY_VERIFY(!title.isEmpty());
        }
        QCOMPARE(title, row.title);
        QCOMPARE(desk.real.endings, row.ends ? QList<int>{ 0 } : QList<int>{});
        QCOMPARE(desk.frame->MSComm1().portOpen(), !row.ends);
        QSerialPort other(desk.rig.card(1)->devicePath());
        QCOMPARE(other.open(QIODevice::WriteOnly), row.ends);
        QCOMPARE(desk.frame->isVisible(), !row.ends); // every window goes at once
        QCOMPARE(desk.wire(1, 2, 200).toHex(), QByteArray()); // the click behind the box
        click(button);
        QCOMPARE(desk.wire(1, 2, row.ends ? 200 : 2000).toHex(),
                 QByteArray(row.ends ? "" : "0700"));
    }

    void heldKey_data()
    {
        // clang-format off
        addRows<Held>({
            {"Enter on Exit", "cmdExit", Qt::Key_Return, {"Exit?", "COM1 lit", "", "0 opened", "shown"}},
            {"Space on Exit", "cmdExit", Qt::Key_Space, {"Exit?", "COM1 lit", "", "0 opened", "shown"}},
            {"Enter on a port", "optCommSelect3", Qt::Key_Return, {"", "COM3 lit", "", "1 opened", "shown"}},
            {"Space on a port", "optCommSelect3", Qt::Key_Space, {"", "COM3 lit", "", "1 opened", "shown"}},
            {"Enter on the lamp", "imgConnection_Status1", Qt::Key_Return, {"", "COM1 unlit", "", "0 opened", "shown"}},
            {"Space on the lamp", "imgConnection_Status1", Qt::Key_Space, {"", "COM1 unlit", "", "0 opened", "shown"}},
            {"Enter on a preset button", "cmdPresets0", Qt::Key_Return, {"", "COM1 lit", "0800", "0 opened", "shown"}},
            {"Space on a preset button", "cmdPresets0", Qt::Key_Space, {"", "COM1 lit", "0800", "0 opened", "shown"}},
            // The focus goes on to the first preset window, whose buttons the key must not reach.
            {"Enter on Close", "cmdClose_Preset", Qt::Key_Return, {"", "COM1 lit", "", "0 opened", "closed"}},
            {"Space on Close", "cmdClose_Preset", Qt::Key_Space, {"", "COM1 lit", "", "0 opened", "closed"}},
            {"Enter on a preset button, the focus taken by a box", "cmdPresets0", Qt::Key_Return, {"Instructions", "COM1 lit", "", "0 opened", "shown"}, true},
        });
        // clang-format on
    }

    void heldKey()
    {
        // A key held for a while acts once, as it comes up; no repeat answers a box it opened.
        QFETCH(Held, row);
        Desk desk({}, {}, true, true);
        desk.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
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
        const auto midway = [&] {
            whileDown = now(QApplication::activeModalWidget() ? "a box" : "", 0);
            if (row.away)
                desk.find<QAction>("mnuHelp")->trigger();
        };
        hold(desk.frame.get(), row.key, midway, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            box = modal ? modal->windowTitle() : "";
            if (modal)
                hold(desk.frame.get(), row.away ? Qt::Key_Return : Qt::Key_Escape, {}, {}, 0);
        });
        QTRY_VERIFY(box != "none");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QCOMPARE(desk.real.endings, QList<int>{});
        const QString opened =
                QString::number(errors.count({ QVariant::fromValue(QSerialPort::NoError) }));
        QCOMPARE(whileDown, (QStringList{ "", "COM1 lit", "" }));
        const QStringList after = now(box, 300)
                << opened + " opened" << (presets->isVisible() ? "shown" : "closed");
        QCOMPARE(after, row.after);
    }

    void stalledLine_data()
    {
        // clang-format off
        addRows<Stall>({
            {"dead line", 0},
            {"9600 baud", 48},
            {"another port chosen", 0, "COM2"},
            {"the exit as the line takes bytes at 9600 baud", 48, "exit"},
        });
        // clang-format on
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
            // The operator moves on: COM2 works at once, and COM1 is not reported lost for it.
            click(desk.find<QWidget>("optCommSelect2"));
            desk.frame->SendChannelFrame("12", "200");
            QCOMPARE(desk.wire(2).toHex(), QByteArray("0cc8"));
        }
        if (row.then == "exit") {
            // The windows go at once; the program ends within the stall window, though the line
            // would take longer to send what it holds.
            QElapsedTimer exiting;
            qint64 hidden = -1;
            connect(desk.frame->windowHandle(), &QWindow::visibleChanged, this,
                    [&] { hidden = exiting.elapsed(); });
            exiting.start();
            desk.frame->close();
            QCOMPARE(desk.dialogs.endings, QList<int>{ 0 });
            QVERIFY2(hidden >= 0 && hidden < 1000, qPrintable(QString::number(hidden)));
            QVERIFY2(exiting.elapsed() < CardLink::kStallMs + 1000,
                     qPrintable(QString::number(exiting.elapsed())));
            stopCard();
            QVERIFY(expected.startsWith(got));
            return;
        }
        if (row.then.isEmpty())
            QTest::qWait(CardLink::kStallMs + 1000);
        QCOMPARE(desk.dialogs.messages().size(), row.takes || row.then == "COM2" ? 0 : 1);
        QCOMPARE(desk.lamp(), row.takes || row.then == "COM2" ? "lit" : "unlit");
        if (desk.lamp() == "unlit") {
            QCOMPARE(desk.dialogs.messages()[0].text,
                     "COM1 was lost: " + port->portName()
                             + ": the line has taken no data for 6 seconds");
            return;
        }
        // Nothing was dropped or reordered on the way, nor left behind by the move.
        stopCard();
        desk.rig.card(1)->setRecording(true);
        desk.rig.card(1)->setListening(true);
        got += desk.rig.takeBytes(1, int(expected.size() - got.size()));
        QCOMPARE(got.toHex(), expected.toHex());
    }

    // clang-format off
    void signalDuringStartUp_data() { addRows<Signal>({ {"SIGTERM", SIGTERM}, {"SIGINT", SIGINT}, {"SIGHUP", SIGHUP} }); }
    // clang-format on

    void signalDuringStartUp()
    {
        // The signal comes as start-up asks for COM1's device, just before the port opens.
        QFETCH(Signal, row);
        const int signal = row.signal;
        CardRig rig;
        ScriptedDialogs dialogs;
        const auto frame = DeskStart::open(*qApp, dialogs, [map = rig.map(), signal](int n) {
            ::raise(signal);
            return map(n);
        });
        QVERIFY(frame);
        QTRY_COMPARE(dialogs.endings, QList<int>{ 0 });
        QVERIFY(!frame->MSComm1().portOpen());
        QSerialPort other(rig.card(1)->devicePath());
        QVERIFY(other.open(QIODevice::WriteOnly)); // its lock file is gone too
    }
};

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
