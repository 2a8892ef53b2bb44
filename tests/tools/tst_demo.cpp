// The demo's fault rehearsal and card monitor, on the real program and real pseudo-terminals.
#include "controls/controlregistry.h"
#include "demo/cardmonitor.h"
#include "demo/channelgrid.h"
#include "demo/demorig.h"
#include "app/svgimage.h"
#include "support/desk.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void faultRehearsal();
};

void TestDemo::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("missing");
    QTest::addColumn<QList<int>>("busy");
    QTest::addColumn<bool>("bad");

    QTest::newRow("none") << QStringList{} << QList<int>{} << QList<int>{} << false;
    QTest::newRow("rehearsal") << QStringList{"--missing", "1,2", "--busy", "3"}
                               << QList<int>{1, 2} << QList<int>{3} << false;
    QTest::newRow("COM6") << QStringList{"--missing", "6"} << QList<int>{} << QList<int>{} << true;
    QTest::newRow("not a number") << QStringList{"--busy", "x"} << QList<int>{} << QList<int>{}
                                  << true;
    QTest::newRow("no value") << QStringList{"--busy"} << QList<int>{} << QList<int>{} << true;
    QTest::newRow("unknown") << QStringList{"--fast"} << QList<int>{} << QList<int>{} << true;
}

void TestDemo::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, missing);
    QFETCH(QList<int>, busy);
    QFETCH(bool, bad);
    const DemoOptions options = DemoOptions::parse(QStringList{"lumidesk-demo"} + arguments);
    QCOMPARE(!options.error.isEmpty(), bad);
    if (!bad) {
        QCOMPARE(options.missing, QSet<int>(missing.begin(), missing.end()));
        QCOMPARE(options.busy, QSet<int>(busy.begin(), busy.end()));
    }
}

void TestDemo::faultRehearsal()
{
    FakeDialogs dialogs;
    DemoRig rig(DemoOptions::parse({"lumidesk-demo", "--missing", "1,2", "--busy", "3"}));
    MDIForm1 frame(dialogs, rig.map());
    CardMonitor monitor(rig, frame.MSComm1());
    QVERIFY(frame.MDIForm_Load());
    // COM1 and COM2 absent, COM3 held by another program: start-up settles on COM4.
    QVERIFY(frame.optCommSelect(4)->isChecked());
    QVERIFY(dialogs.shown.isEmpty());
    QCOMPARE(monitor.statusLine(),
             QStringLiteral("COM4 on %1, open").arg(rig.card(4)->devicePath()));

    frame.SendChannelFrame("12", "200");
    QTRY_COMPARE(monitor.grid()->level(12), 200);
    QCOMPARE(monitor.grid()->lastChannel(), 12);

    // Unplug under an open port: the next send finds the line gone.
    QTest::mouseClick(monitor.unplugButton(), Qt::LeftButton);
    QVERIFY(!monitor.unplugButton()->isEnabled());
    QCOMPARE(monitor.statusLine(), QStringLiteral("COM4: no card plugged in"));
    frame.SendChannelFrame("12", "100");
    QTRY_COMPARE(dialogs.messages().size(), 1);
    QVERIFY(dialogs.messages().first().text.startsWith("COM4 was lost: "));
    QVERIFY(frame.imgConnection_Status(1)->isHidden());

    // Plugged back in at the same number, a lamp click opens it and frames flow again.
    QTest::mouseClick(monitor.plugInButton(), Qt::LeftButton);
    QSignalSpy frames(rig.card(4), &VirtualCard::frameReceived);
    frame.imgConnection_Status_Click(0);
    QVERIFY(!frame.imgConnection_Status(1)->isHidden());
    QCOMPARE(monitor.statusLine(),
             QStringLiteral("COM4 on %1, open").arg(rig.card(4)->devicePath()));
    frame.SendChannelFrame("7", "77");
    QTRY_COMPARE(frames.size(), 1);
    QCOMPARE(frames.first(), (QList<QVariant>{7, 77}));
    QCOMPARE(dialogs.messages().size(), 1);

    // The monitor follows a port switch and the lamp.
    frame.optCommSelect_Click(5);
    QVERIFY(monitor.statusLine().startsWith("COM5 on "));
    frame.imgConnection_Status_Click(1);
    QVERIFY(monitor.statusLine().endsWith(", closed"));
}

QTEST_MAIN(TestDemo)
#include "tst_demo.moc"
