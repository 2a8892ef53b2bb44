// The main frame: start-up over COM1 to COM4, the port buttons and the lamp, a line that is
// lost or stalls, exit, the real boxes, and frames that stay whole whatever the operator does.
#include "numbers/strictbyte.h"
#include "support/desk.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenuBar>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSerialPort>
#include <QToolButton>
#include <unistd.h>

namespace {

QSet<int> ports(const QString &digits)
{
    QSet<int> set;
    for (const QChar c : digits)
        set.insert(c.digitValue());
    return set;
}

void clickLamp(Desk &desk)
{
    auto *unlit = desk.find<QWidget>("imgConnection_Status0");
    click(unlit->isVisible() ? unlit : desk.find<QWidget>("imgConnection_Status1"));
}

struct Startup
{
    const char *name;
    QString missing, busy, notTty; // COM numbers as digits
    int opened; // the button down; 0 for none
    QString box;
};

struct Clicks
{
    const char *name;
    QString missing, clicks; // L the lamp, a digit that port's button
    QString lamp;
    int down;
    QStringList boxes;
};

} // namespace

class TestMDIForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startup_data()
    {
        QTest::addColumn<Startup>("row");
        // clang-format off
        const Startup rows[] = {
            {"COM1 free", "", "", "", 1, ""},
            {"COM1 missing, COM2 held", "1", "2", "", 3, ""},
            {"COM1 held, COM2 and COM3 missing", "23", "1", "", 4, ""},
            {"COM1 to COM4 unavailable, COM5 never tried", "13", "24", "", 0, "A valid COM port cannot be found"},
            {"another failure stops the fallback", "", "", "1", 1, "COM1 cannot be opened: /dev/null: "},
        };
        // clang-format on
        for (const Startup &row : rows)
            QTest::newRow(row.name) << row;
    }

    void startup()
    {
        QFETCH(Startup, row);
        Desk desk(ports(row.missing), ports(row.busy), false);
        for (const int n : ports(row.notTty))
            desk.devices[n] = "/dev/null";
        QCOMPARE(desk.frame->MDIForm_Load(), row.opened != 0);
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

    void portControls_data()
    {
        QTest::addColumn<Clicks>("row");
        const QString noPort = "COM5 cannot be opened: there is no such port on this computer";
        // clang-format off
        const Clicks rows[] = {
            {"lamp closes, button stays down", "", "L", "unlit", 1, {}},
            {"lamp twice reopens", "", "LL", "lit", 1, {}},
            {"closed, then another port", "", "L4", "lit", 4, {}},
            {"button already down reconnects", "", "L1", "lit", 1, {}},
            {"missing port: told, still running", "5", "5", "unlit", 5, {noPort}},
            {"the lamp tries it again", "5", "5L", "unlit", 5, {noPort, noPort}},
            {"back to a good port", "5", "52", "lit", 2, {noPort}},
        };
        // clang-format on
        for (const Clicks &row : rows)
            QTest::newRow(row.name) << row;
    }

    void portControls()
    {
        QFETCH(Clicks, row);
        Desk desk(ports(row.missing));
        for (const QChar c : row.clicks) {
            if (c == 'L')
                clickLamp(desk);
            else
                click(desk.find<QWidget>("optCommSelect" + QString(c)));
        }
        QCOMPARE(desk.lamp(), row.lamp);
        QCOMPARE(desk.checkedPort(), row.down);
        QStringList shown;
        for (const auto &box : desk.dialogs.messages())
            shown << box.text;
        QCOMPARE(shown, row.boxes);
        QVERIFY(desk.dialogs.endings.isEmpty());
        // Frames go out exactly while the lamp is lit, and on that port.
        const bool lit = row.lamp == "lit";
        desk.frame->SendChannelFrame("7", "70");
        QCOMPARE(desk.wire(row.down, 2, lit ? 2000 : 100).toHex(), lit ? "0746" : QByteArray());
    }

    void lostLine()
    {
        Desk desk;
        auto *port = desk.frame->MSComm1().findChild<QSerialPort *>();
        int errors = 0;
        connect(port, &QSerialPort::errorOccurred, this,
                [&](QSerialPort::SerialPortError e) { errors += e != QSerialPort::NoError; });
        click(desk.find<QWidget>("optCommSelect2"));
        for (int cycle = 1; cycle <= 20; ++cycle) {
            const int errorsBefore = errors;
            desk.rig.card(2)->unplug();
            desk.frame->SendChannelFrame("2", "1");
            desk.frame->SendChannelFrame("2", "2");
            QTRY_COMPARE(desk.dialogs.messages().size(), cycle);
            QVERIFY(desk.dialogs.messages().last().text.startsWith("COM2 was lost: "));
            QCOMPARE(desk.lamp(), "unlit");
            // Handled once, not spun on: QSerialPort repeats its error until the port closes.
            QCOMPARE_LE(errors - errorsBefore, 4);
            desk.rig.card(2)->plugIn();
            clickLamp(desk);
            QCOMPARE(desk.lamp(), "lit");
        }
        desk.frame->SendChannelFrame("2", "255");
        QCOMPARE(desk.wire(2).toHex(), QByteArray("02ff"));
    }

    void stalledLine()
    {
        Desk desk;
        // The card stops reading: the terminal's buffer fills and bytes wait in the link.
        desk.rig.card(1)->setListening(false);
        auto *port = desk.frame->MSComm1().findChild<QSerialPort *>();
        while (port->bytesToWrite() == 0)
            desk.frame->SendChannelFrame("1", "1");
        QVERIFY(desk.dialogs.messages().isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(desk.dialogs.messages().size(), 1, CardLink::kStallMs + 2000);
        QVERIFY(desk.dialogs.messages()[0].text.startsWith("COM1 was lost: "));
        QVERIFY(desk.dialogs.messages()[0].text.contains("has taken no data"));
        QCOMPARE(desk.lamp(), "unlit");

        // A full line that keeps taking bytes, as a real 9600-baud line under a flood does, is
        // not lost.
        desk.rig.card(1)->setListening(true);
        clickLamp(desk);
        desk.rig.card(1)->setListening(false);
        while (port->bytesToWrite() == 0)
            desk.frame->SendChannelFrame("1", "3");
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < CardLink::kStallMs + 1000) {
            desk.frame->SendChannelFrame("1", "4");
            QTest::qWait(50);
            char byte;
            (void)!::read(desk.rig.card(1)->masterFd(), &byte, 1);
        }
        QCOMPARE(desk.lamp(), "lit");
        QCOMPARE(desk.dialogs.messages().size(), 1);
    }

    void exit()
    {
        // The real question: the toolbar's Exit answered No by its button leaves everything as
        // it was; the menu's Exit answered Yes, the default button, ends with the port released.
        Desk desk({}, {}, true, true);
        MDIForm1 &frame = *desk.frame;
        frame.show();
        QStringList asked;
        const auto answer = [&asked](bool yes) {
            whenModal([&asked, yes](QWidget *modal) {
                auto *box = qobject_cast<QMessageBox *>(modal);
                asked << box->windowTitle() + ": " + box->text();
                if (yes)
                    QTest::keyClick(box, Qt::Key_Return);
                else
                    click(box->button(QMessageBox::No));
            });
        };
        answer(false);
        click(frame.findChild<QWidget *>("cmdExit"));
        QVERIFY(desk.real.endings.isEmpty() && frame.MSComm1().portOpen());
        answer(true);
        auto *bar = frame.menuBar();
        click(bar, bar->actionGeometry(frame.findChild<QAction *>("mnuExit")).center());
        QCOMPARE(desk.real.endings, QList<int>{ 0 });
        QVERIFY(!frame.MSComm1().portOpen());
        QCOMPARE(asked, QStringList(2, "Exit?: Please confirm that you wish to exit"));
    }

    void closeBoxEndsWithoutAsking()
    {
        Desk desk;
        desk.frame->show();
        desk.frame->close();
        QVERIFY(desk.dialogs.shown.isEmpty());
        QCOMPARE(desk.dialogs.endings, QList<int>{ 0 });
        QVERIFY(!desk.frame->MSComm1().portOpen());
    }

    void realFatalBox()
    {
        Desk desk({ 1, 2, 3, 4, 5 }, {}, false, true);
        QString shown;
        whenModal([&shown](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            shown = box->windowTitle() + ": " + box->text() + " / " + box->informativeText();
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QVERIFY(!desk.frame->MDIForm_Load());
        QVERIFY2(shown.startsWith("Fatal Error: A valid COM port cannot be found / COM1: there "
                                  "is no such port"),
                 qPrintable(shown));
        QCOMPARE(desk.real.endings, QList<int>{ 1 });
    }

    void framesStayWhole()
    {
        // Random sends, good and bad, among port changes: each card gets exactly the good frames
        // sent while it was the open port, and never half of one.
        Desk desk;
        QRandomGenerator random(20261207);
        std::array<QByteArray, kComPorts + 1> expected;
        int open = 1, refused = 0;
        const QStringList levels{ "0", "255", "17", "7.5", "abc", "300", "", "-1", "&HFF", " 9 " };
        for (int i = 0; i < 10000; ++i) {
            const int what = int(random.bounded(100));
            if (what < 2) {
                const int port = 1 + int(random.bounded(kComPorts));
                click(desk.find<QWidget>(QStringLiteral("optCommSelect%1").arg(port)));
                open = port;
            } else if (what < 4) {
                clickLamp(desk);
                open = desk.lamp() == "lit" ? desk.checkedPort() : 0;
            } else {
                const int channel = 1 + int(random.bounded(kChannelCount));
                const QString level = levels[random.bounded(levels.size())];
                desk.frame->SendChannelFrame(QString::number(channel), level);
                const std::optional<quint8> byte = StrictByte::read(level);
                if (open && byte)
                    expected[open] += frame(channel, *byte);
                refused += open && !byte;
            }
        }
        for (int n = 1; n <= kComPorts; ++n)
            QCOMPARE(desk.wire(n, int(expected[n].size())).toHex(), expected[n].toHex());
        QCOMPARE(desk.dialogs.messages().size(), refused);
        QVERIFY(refused > 100);
    }
};

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
