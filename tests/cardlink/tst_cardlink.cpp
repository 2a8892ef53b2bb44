// The card link on real pseudo-terminals: bytes on the wire, open failures, a lost line.
#include "cardlink/cardlink.h"
#include "support/ptyports.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

class TestCardLink : public QObject
{
    Q_OBJECT

private slots:
    void sendsExactBytes_data();
    void sendsExactBytes();
    void everyValueArrivesUnchanged();
    void closedPortSendsNothing();
    void lineSettings();
    void openFailures_data();
    void openFailures();
    void staleLockDoesNotBlock();
    void lostLineIsReportedOnce();
};

void TestCardLink::sendsExactBytes_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("wire"); // empty: refused, nothing written
    QTest::addColumn<int>("outcome");

    const int sent = int(CardLink::SendOutcome::Sent);
    const int badValue = int(CardLink::SendOutcome::BadValue);
    const int badChannel = int(CardLink::SendOutcome::BadChannel);
    QTest::newRow("112 at full") << "112" << "255" << QByteArray::fromHex("70ff") << sent;
    QTest::newRow("zero goes out") << "1" << "0" << QByteArray::fromHex("0100") << sent;
    QTest::newRow("blanks and half") << "7" << " 7.5 " << QByteArray::fromHex("0708") << sent;
    QTest::newRow("letters") << "5" << "abc" << QByteArray() << badValue;
    QTest::newRow("300") << "5" << "300" << QByteArray() << badValue;
    QTest::newRow("empty") << "5" << "" << QByteArray() << badValue;
    QTest::newRow("-1") << "5" << "-1" << QByteArray() << badValue;
    QTest::newRow("1e3") << "5" << "1e3" << QByteArray() << badValue;
    QTest::newRow("bad channel, good value") << "x" << "10" << QByteArray() << badChannel;
    QTest::newRow("channel 256") << "256" << "10" << QByteArray() << badChannel;
}

void TestCardLink::sendsExactBytes()
{
    QFETCH(QString, channel);
    QFETCH(QString, value);
    QFETCH(QByteArray, wire);
    QFETCH(int, outcome);
    PtyPorts ports;
    CardLink link(ports.map());
    link.setCommPort(1);
    QVERIFY(link.setPortOpen(true).ok());
    QCOMPARE(int(link.SendChannelFrame(channel, value)), outcome);
    // A marker frame after it shows that nothing else, not even half a frame, went out.
    QCOMPARE(int(link.SendChannelFrame("9", "9")), int(CardLink::SendOutcome::Sent));
    const QByteArray expected = wire + QByteArray::fromHex("0909");
    QCOMPARE(readBytes(ports.pty(1), int(expected.size()) + 1, 100).toHex(), expected.toHex());
}

void TestCardLink::everyValueArrivesUnchanged()
{
    PtyPorts ports;
    CardLink link(ports.map());
    link.setCommPort(2);
    QVERIFY(link.setPortOpen(true).ok());
    QByteArray expected;
    for (int v = 0; v <= 255; ++v) {
        link.SendChannelFrame("42", QString::number(v));
        expected += char(42);
        expected += char(v);
    }
    QCOMPARE(readBytes(ports.pty(2), int(expected.size())).toHex(), expected.toHex());
}

void TestCardLink::closedPortSendsNothing()
{
    PtyPorts ports;
    CardLink link(ports.map());
    link.setCommPort(1);
    QVERIFY(link.setPortOpen(true).ok());
    link.setPortOpen(false);
    QVERIFY(!link.portOpen());
    // Closed comes first: not even a bad level is reported.
    QCOMPARE(int(link.SendChannelFrame("1", "abc")), int(CardLink::SendOutcome::PortClosed));
    QCOMPARE(int(link.SendChannelFrame("1", "10")), int(CardLink::SendOutcome::PortClosed));
    QVERIFY(readBytes(ports.pty(1), 1, 200).isEmpty());
}

void TestCardLink::lineSettings()
{
    PtyPorts ports;
    CardLink link(ports.map());
    link.setCommPort(1);
    QVERIFY(link.setPortOpen(true).ok());
    // Read back from the device itself: what the card's end of the line really gets.
    const int fd = ::open(QFile::encodeName(ports.pty(1).slavePath()).constData(),
                          O_RDONLY | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios tio {};
    QCOMPARE(::tcgetattr(fd, &tio), 0);
    ::close(fd);
    QCOMPARE(cfgetospeed(&tio), speed_t(B9600));
    QCOMPARE(tio.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(tio.c_cflag & PARENB, tcflag_t(0));
    QCOMPARE(tio.c_cflag & CSTOPB, tcflag_t(0));
    QCOMPARE(tio.c_cflag & CRTSCTS, tcflag_t(0));
    QCOMPARE(tio.c_iflag & (IXON | IXOFF), tcflag_t(0));
    QCOMPARE(tio.c_oflag & OPOST, tcflag_t(0));
}

void TestCardLink::openFailures_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("failure");
    QTest::addColumn<QString>("reasonHas");

    QTest::newRow("missing device") << "missing" << int(PortFailure::NoSuchPort)
                                    << "there is no such device (/dev/lumidesk-test-missing-1)";
    QTest::newRow("past the map") << "unmapped" << int(PortFailure::NoSuchPort)
                                  << "there is no such port on this computer";
    QTest::newRow("held by another handle") << "held" << int(PortFailure::Held)
                                            << "is in use by another program";
    QTest::newRow("another program's lock file") << "uucp-lock" << int(PortFailure::Held)
                                                 << "is in use by another program (process 1,";
    QTest::newRow("exclusive access") << "exclusive" << int(PortFailure::Held)
                                      << "is in use by another program";
}

void TestCardLink::openFailures()
{
    QFETCH(QString, how);
    QFETCH(int, failure);
    QFETCH(QString, reasonHas);
    PtyPorts ports;
    CardLink link(ports.map());
    link.setCommPort(how == "unmapped" ? 9 : 1);
    QString lockPath;
    int exclusiveFd = -1;
    if (how == "missing") {
        ports.makeMissing(1);
    } else if (how == "held") {
        ports.hold(1);
    } else if (how == "uucp-lock") {
        // Process 1 is always alive: a live lock of another program's.
        QString name = ports.pty(1).slavePath().mid(5);
        lockPath = "/var/lock/LCK.." + name.replace('/', '_');
        QFile lock(lockPath);
        if (!lock.open(QIODevice::WriteOnly))
            QSKIP("cannot write to /var/lock here");
        lock.write("         1\n");
    } else if (how == "exclusive") {
        exclusiveFd = ::open(QFile::encodeName(ports.pty(1).slavePath()).constData(),
                             O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(exclusiveFd >= 0);
        QCOMPARE(::ioctl(exclusiveFd, TIOCEXCL), 0);
    }
    const OpenOutcome outcome = link.setPortOpen(true);
    if (!lockPath.isEmpty())
        QFile::remove(lockPath);
    if (exclusiveFd >= 0)
        ::close(exclusiveFd);
    QCOMPARE(int(outcome.failure), failure);
    QVERIFY2(outcome.reason.contains(reasonHas), qPrintable(outcome.reason));
    QVERIFY(!link.portOpen());
}

void TestCardLink::staleLockDoesNotBlock()
{
    PtyPorts ports;
    QString name = ports.pty(1).slavePath().mid(5);
    const QString lockPath = "/var/lock/LCK.." + name.replace('/', '_');
    QFile lock(lockPath);
    if (!lock.open(QIODevice::WriteOnly))
        QSKIP("cannot write to /var/lock here");
    // A pid far beyond any live process.
    lock.write("4194000\n");
    lock.close();
    CardLink link(ports.map());
    link.setCommPort(1);
    const OpenOutcome outcome = link.setPortOpen(true);
    link.setPortOpen(false);
    QFile::remove(lockPath);
    QVERIFY2(outcome.ok(), qPrintable(outcome.reason));
}

void TestCardLink::lostLineIsReportedOnce()
{
    PtyPorts ports;
    CardLink link(ports.map());
    QSignalSpy lost(&link, &CardLink::lost);
    link.setCommPort(3);
    QVERIFY(link.setPortOpen(true).ok());
    ports.pty(3).closeMaster();
    // Sends into a dead line: the first fails and closes the port, the rest find it closed.
    for (int i = 0; i < 5; ++i)
        link.SendChannelFrame("1", "1");
    QTest::qWait(50);
    QCOMPARE(lost.size(), 1);
    QCOMPARE(lost.first().at(0).toInt(), 3);
    QVERIFY(!link.portOpen());
    // Plugged back in at the same COM number, the link opens and sends again.
    ports.replug(3);
    QVERIFY(link.setPortOpen(true).ok());
    QCOMPARE(int(link.SendChannelFrame("3", "200")), int(CardLink::SendOutcome::Sent));
    QCOMPARE(readBytes(ports.pty(3), 2).toHex(), QByteArray("03c8"));
}

QTEST_GUILESS_MAIN(TestCardLink)
#include "tst_cardlink.moc"
