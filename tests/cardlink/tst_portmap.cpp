// COM numbers follow the machine's ports: on-board first, then USB, in natural order.
#include "cardlink/portmap.h"

#include <QTest>

class TestPortMap : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
    void pastTheEnd();
};

void TestPortMap::order_data()
{
    QTest::addColumn<QStringList>("onBoard");
    QTest::addColumn<QStringList>("usb");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("natural order, not alphabetical")
            << QStringList{"ttyS10", "ttyS2", "ttyS1", "ttyS0"} << QStringList{}
            << QStringList{"ttyS0", "ttyS1", "ttyS2", "ttyS10"};
    QTest::newRow("usb after on-board")
            << QStringList{"ttyS1", "ttyS0"} << QStringList{"ttyUSB0", "ttyACM0"}
            << QStringList{"ttyS0", "ttyS1", "ttyACM0", "ttyUSB0"};
    QTest::newRow("usb numbered past 9")
            << QStringList{} << QStringList{"ttyUSB11", "ttyUSB9", "ttyUSB10"}
            << QStringList{"ttyUSB9", "ttyUSB10", "ttyUSB11"};
    QTest::newRow("leading zeros") << QStringList{"ttyS010", "ttyS9"} << QStringList{}
                                   << QStringList{"ttyS9", "ttyS010"};
    QTest::newRow("prefix first") << QStringList{"ttyS1x", "ttyS1"} << QStringList{}
                                  << QStringList{"ttyS1", "ttyS1x"};
}

void TestPortMap::order()
{
    QFETCH(QStringList, onBoard);
    QFETCH(QStringList, usb);
    QFETCH(QStringList, expected);
    QList<SerialPortEntry> ports;
    // Interleaved, as the system may list them.
    for (qsizetype i = 0; i < std::max(onBoard.size(), usb.size()); ++i) {
        if (i < usb.size())
            ports.append({"/dev/" + usb[i], usb[i], true});
        if (i < onBoard.size())
            ports.append({"/dev/" + onBoard[i], onBoard[i], false});
    }
    const QList<SerialPortEntry> ordered = orderSerialPorts(ports);
    QStringList names;
    for (const SerialPortEntry &p : ordered)
        names << p.portName;
    QCOMPARE(names, expected);
    for (int com = 1; com <= expected.size(); ++com)
        QCOMPARE(deviceForCom(ordered, com), "/dev/" + expected[com - 1]);
}

void TestPortMap::pastTheEnd()
{
    const QList<SerialPortEntry> ports{{"/dev/ttyS0", "ttyS0", false}};
    QCOMPARE(deviceForCom(ports, 1), QStringLiteral("/dev/ttyS0"));
    QVERIFY(deviceForCom(ports, 2).isEmpty());
    QVERIFY(deviceForCom(ports, 0).isEmpty());
    QVERIFY(deviceForCom({}, 1).isEmpty());
}

QTEST_APPLESS_MAIN(TestPortMap)
#include "tst_portmap.moc"
