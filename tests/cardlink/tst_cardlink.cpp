// The card link on real pseudo-terminals: bytes on the wire, line settings, why a port
// cannot be opened, and a long run that stays byte-exact with flat memory.
#include "support/desk.h"

#include <QFile>
#include <dlfcn.h>
#include <grp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

// What the program last asked of a line, whatever the device made of it: a pseudo-terminal
// forces 8 data bits and no parity, so reading the settings back could not catch a fault.
termios g_asked {};

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

QString lockPathFor(const QString &device)
{
    return "/var/lock/LCK.." + device.mid(5).replace('/', '_');
}

} // namespace

extern "C" int tcsetattr(int fd, int action, const termios *settings)
{
    using Real = int (*)(int, int, const termios *);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    g_asked = *settings;
    return real(fd, action, settings);
}

class TestCardLink : public QObject
{
    Q_OBJECT

private slots:
    void everyChannelAndValue();
    void refusedTexts_data();
    void refusedTexts();
    void lineSettings();
    void openFailures_data();
    void openFailures();
    void permissionDeniedNamesTheGroup();
    void longRun();
};

void TestCardLink::everyChannelAndValue()
{
    CardRig rig;
    rig.card(2)->setRecording(true);
    CardLink link(rig.map());
    link.setCommPort(2);
    QVERIFY(link.setPortOpen(true).ok());
    QByteArray expected;
    for (int v = 0; v <= 255; ++v) {
        const int channel = 1 + v % kChannelCount;
        QCOMPARE(link.SendChannelFrame(QString::number(channel), QString::number(v)),
                 CardLink::SendOutcome::Sent);
        expected += char(channel);
        expected += char(v);
    }
    QCOMPARE(rig.takeBytes(2, 512).toHex(), expected.toHex());
}

void TestCardLink::refusedTexts_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("value");
    QTest::addColumn<CardLink::SendOutcome>("outcome");
    using O = CardLink::SendOutcome;
    QTest::newRow("level abc") << true << "5" << "abc" << O::BadValue;
    QTest::newRow("level 300") << true << "5" << "300" << O::BadValue;
    QTest::newRow("level empty") << true << "5" << "" << O::BadValue;
    QTest::newRow("channel 256") << true << "256" << "10" << O::BadChannel;
    QTest::newRow("channel and level bad") << true << "x" << "y" << O::BadChannel;
    QTest::newRow("closed: good frame") << false << "5" << "10" << O::PortClosed;
    QTest::newRow("closed: bad level not even noticed") << false << "5" << "abc" << O::PortClosed;
}

void TestCardLink::refusedTexts()
{
    QFETCH(bool, open);
    QFETCH(QString, channel);
    QFETCH(QString, value);
    QFETCH(CardLink::SendOutcome, outcome);
    CardRig rig;
    rig.card(1)->setRecording(true);
    CardLink link(rig.map());
    link.setCommPort(1);
    QVERIFY(link.setPortOpen(true).ok());
    if (!open)
        link.setPortOpen(false);
    QCOMPARE(link.SendChannelFrame(channel, value), outcome);
    // A marker frame after it shows that nothing went out before, not even half a frame.
    link.setPortOpen(true);
    link.SendChannelFrame("9", "9");
    QCOMPARE(rig.takeBytes(1, 3, 300).toHex(), QByteArray("0909"));
}

void TestCardLink::lineSettings()
{
    CardRig rig;
    CardLink link(rig.map());
    link.setCommPort(1);
    g_asked = {};
    QVERIFY(link.setPortOpen(true).ok());
    QCOMPARE(cfgetospeed(&g_asked), speed_t(B9600));
    QCOMPARE(g_asked.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(g_asked.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
    QCOMPARE(g_asked.c_iflag & (IXON | IXOFF | IXANY), tcflag_t(0));
}

void TestCardLink::openFailures_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<PortFailure>("failure");
    QTest::addColumn<QString>("reasonHas");
    QTest::newRow("missing device") << "missing" << PortFailure::NoSuchPort << "there is no such device (/dev/lumidesk-missing)";
    QTest::newRow("past the map") << "unmapped" << PortFailure::NoSuchPort << "there is no such port on this computer";
    QTest::newRow("open in another handle") << "qt-lock" << PortFailure::Held << "is in use by another program";
    QTest::newRow("another program's lock file") << "uucp-lock" << PortFailure::Held << "is in use by another program (process 1,";
    QTest::newRow("exclusive access") << "exclusive" << PortFailure::Held << "is in use by another program";
    QTest::newRow("stale lock file") << "stale-lock" << PortFailure::None << "";
    QTest::newRow("not a terminal") << "regular-file" << PortFailure::Other << "lumidesk-not-a-tty";
}

void TestCardLink::openFailures()
{
    QFETCH(QString, how);
    QFETCH(PortFailure, failure);
    QFETCH(QString, reasonHas);
    CardRig rig;
    const QString device = rig.card(1)->devicePath();
    const QString file = QDir::temp().filePath("lumidesk-not-a-tty");
    CardLink link([&](int com) -> QString {
        if (how == "missing")
            return "/dev/lumidesk-missing";
        if (how == "regular-file")
            return file;
        return rig.map()(com);
    });
    link.setCommPort(how == "unmapped" ? 9 : 1);
    QSerialPort other(device);
    QFile lock(lockPathFor(device));
    QFile regular(file);
    if (how == "qt-lock")
        QVERIFY(other.open(QIODevice::ReadWrite));
    if (how == "exclusive")
        rig.hold(1);
    if (how.endsWith("lock") && how != "qt-lock") {
        if (!lock.open(QIODevice::WriteOnly))
            QSKIP("cannot write to /var/lock here");
        // Process 1 is always alive; 4194000 is past any live process.
        lock.write(how == "uucp-lock" ? "         1\n" : "   4194000\n");
        lock.close();
    }
    if (how == "regular-file") {
        QVERIFY(regular.open(QIODevice::WriteOnly));
        regular.close();
    }
    const OpenOutcome outcome = link.setPortOpen(true);
    lock.remove();
    regular.remove();
    QCOMPARE(outcome.failure, failure);
    QVERIFY2(outcome.reason.contains(reasonHas), qPrintable(outcome.reason));
    QCOMPARE(link.portOpen(), failure == PortFailure::None);
}

void TestCardLink::permissionDeniedNamesTheGroup()
{
    if (::geteuid() != 0)
        QSKIP("needs root to become another user");
    CardRig rig;
    const QString device = rig.card(1)->devicePath();
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(device).constData(), &st), 0);
    const QString group = QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name);
    ::chmod(QFile::encodeName(device).constData(), 0660);
    // The probe runs as the user nobody in a child, which writes what the operator would read.
    int fds[2];
    QCOMPARE(::pipe(fds), 0);
    if (::fork() == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const QByteArray text = PortProbe::beforeOpen(device).reason.toUtf8();
        (void)!::write(fds[1], text.constData(), size_t(text.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QFile answer;
    QVERIFY(answer.open(fds[0], QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    const QString reason = QString::fromUtf8(answer.readAll());
    ::wait(nullptr);
    QCOMPARE(reason, QStringLiteral("permission denied on %1: your user must join the group %2 that "
                                    "owns it, then log out and in again").arg(device, group));
}

void TestCardLink::longRun()
{
    CardRig rig;
    CardLink link(rig.map());
    link.setCommPort(1);
    QVERIFY(link.setPortOpen(true).ok());
    rig.card(1)->setRecording(true);
    constexpr int kFrames = 100000;
    qint64 rssAfterWarmUp = 0;
    QByteArray received;
    for (int i = 0; i < kFrames; ++i) {
        link.SendChannelFrame(QString::number(1 + i % kChannelCount), QString::number(i % 256));
        if (i % 500 == 499)
            received += rig.takeBytes(1, 1000, 1000);
        if (i == kFrames / 10)
            rssAfterWarmUp = residentKiB();
    }
    received += rig.takeBytes(1, 2 * kFrames - int(received.size()), 5000);
    QCOMPARE(received.size(), 2 * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        if (quint8(received[2 * i]) != 1 + i % kChannelCount || quint8(received[2 * i + 1]) != i % 256)
            QFAIL(qPrintable(QStringLiteral("frame %1 is wrong").arg(i)));
    }
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed memory in quarantine, so only a plain build can tell.
    QCOMPARE_LT(residentKiB() - rssAfterWarmUp, 1024);
#endif
}

QTEST_GUILESS_MAIN(TestCardLink)
#include "tst_cardlink.moc"
