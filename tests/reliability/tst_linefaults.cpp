// Faults on the line: pulled adapters, a line that stops draining, refused permission, and a
// long run that must stay byte-exact with flat memory.
#include "app/svgimage.h"
#include "support/desk.h"

#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTest>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace

class TestLineFaults : public QObject
{
    Q_OBJECT

private slots:
    void pulledAndPluggedFiftyTimes();
    void lineThatStopsDrainingIsLost();
    void permissionDeniedNamesTheGroup();
    void soak();
};

void TestLineFaults::pulledAndPluggedFiftyTimes()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    auto *port = frame.MSComm1().findChild<QSerialPort *>();
    QVERIFY(port);
    int errors = 0;
    connect(port, &QSerialPort::errorOccurred, this, [&](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::NoError)
            ++errors;
    });
    int lostBoxes = 0;
    desk.dialogs.onMessage = [&](const FakeDialogs::Shown &box) {
        if (box.text.startsWith("COM2 was lost: "))
            ++lostBoxes;
    };
    frame.optCommSelect_Click(2);
    for (int cycle = 0; cycle < 50; ++cycle) {
        const int errorsBefore = errors;
        frame.SendChannelFrame("2", QString::number(cycle));
        QCOMPARE(readBytes(desk.ports.pty(2), 2).toHex(),
                 (QByteArray::fromHex("02") + char(cycle)).toHex());
        desk.ports.pty(2).closeMaster();
        frame.SendChannelFrame("2", "1");
        frame.SendChannelFrame("2", "2");
        QTRY_COMPARE(lostBoxes, cycle + 1);
        QCOMPARE(desk.lamp(), QStringLiteral("unlit"));
        QVERIFY(!frame.MSComm1().portOpen());
        // Handled once, not spun on: QSerialPort repeats its error until the port closes.
        QVERIFY2(errors - errorsBefore <= 4, qPrintable(QString::number(errors - errorsBefore)));
        desk.ports.replug(2);
        frame.imgConnection_Status_Click(0);
        QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    }
    QCOMPARE(lostBoxes, 50);
    QCOMPARE(desk.dialogs.messages().size(), 50);
    frame.SendChannelFrame("2", "255");
    QCOMPARE(readBytes(desk.ports.pty(2), 2).toHex(), QByteArray("02ff"));
}

void TestLineFaults::lineThatStopsDrainingIsLost()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    // Nobody reads the master: the terminal's buffer fills and bytes wait in the link.
    auto *port = frame.MSComm1().findChild<QSerialPort *>();
    int sent = 0;
    while (port->bytesToWrite() == 0 && sent < 200000) {
        frame.SendChannelFrame("1", "1");
        ++sent;
    }
    QVERIFY2(port->bytesToWrite() > 0, "the line never filled");
    QVERIFY(desk.dialogs.messages().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(desk.dialogs.messages().size(), 1, CardLink::kStallMs + 2000);
    const QString text = desk.dialogs.messages().first().text;
    QVERIFY2(text.startsWith("COM1 was lost: ") && text.contains("has taken no data"),
             qPrintable(text));
    QCOMPARE(desk.lamp(), QStringLiteral("unlit"));
    QVERIFY(!frame.MSComm1().portOpen());

    // A line that is full but keeps taking bytes, as a real 9600-baud line does under a
    // flood of frames, is not lost.
    desk.ports.pty(1).drain();
    frame.imgConnection_Status_Click(0);
    QVERIFY(frame.MSComm1().portOpen());
    while (port->bytesToWrite() == 0)
        frame.SendChannelFrame("1", "3");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < CardLink::kStallMs + 1000) {
        frame.SendChannelFrame("1", "4");
        QTest::qWait(50);
        desk.ports.pty(1).read(1, 1);
    }
    QVERIFY(frame.MSComm1().portOpen());
    QCOMPARE(desk.dialogs.messages().size(), 1);
}

void TestLineFaults::permissionDeniedNamesTheGroup()
{
    if (::geteuid() != 0)
        QSKIP("needs root to become another user");
    PtyPorts ports;
    const QByteArray device = QFile::encodeName(ports.pty(1).slavePath());
    struct stat st {};
    QCOMPARE(::stat(device.constData(), &st), 0);
    const QString group = QString::fromLocal8Bit(::getgrgid(st.st_gid)->gr_name);
    ::chmod(device.constData(), 0660);

    // The probe runs as the unprivileged user nobody, in a child so that this process keeps
    // its rights; the child writes what the operator would read.
    int pipeFds[2];
    QCOMPARE(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeFds[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        const OpenOutcome outcome = PortProbe::beforeOpen(ports.pty(1).slavePath());
        const QByteArray text = QByteArray::number(int(outcome.failure)) + ' '
                + outcome.reason.toUtf8();
        (void)!::write(pipeFds[1], text.constData(), size_t(text.size()));
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    QByteArray answer;
    char buffer[512];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        answer.append(buffer, n);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    QCOMPARE(WEXITSTATUS(status), 0);
    const QString reason = QString::fromUtf8(answer);
    QVERIFY2(reason.startsWith(QString::number(int(PortFailure::Held)) + " permission denied on "
                               + ports.pty(1).slavePath()),
             qPrintable(reason));
    QVERIFY2(reason.contains("join the group " + group) && reason.contains("log out and in again"),
             qPrintable(reason));
}

void TestLineFaults::soak()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    constexpr int kFrames = 100000;
    constexpr int kWarmUp = 10000;
    QByteArray received;
    received.reserve(2 * kFrames);
    qint64 rssAfterWarmUp = 0;
    for (int i = 0; i < kFrames; ++i) {
        frame.SendChannelFrame(QString::number(1 + i % 112), QString::number(i % 256));
        if (i % 500 == 499)
            received += desk.ports.pty(1).drain();
        if (i == kWarmUp)
            rssAfterWarmUp = residentKiB();
    }
    received += readBytes(desk.ports.pty(1), 2 * kFrames - int(received.size()), 5000);
    const qint64 growth = residentKiB() - rssAfterWarmUp;

    QCOMPARE(received.size(), 2 * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        if (quint8(received[2 * i]) != 1 + i % 112 || quint8(received[2 * i + 1]) != i % 256)
            QFAIL(qPrintable(QStringLiteral("frame %1 is wrong").arg(i)));
    }
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer holds freed memory in quarantine, so only a plain build can tell.
    QVERIFY2(growth < 1024, qPrintable(QStringLiteral("grew %1 KiB").arg(growth)));
#else
    Q_UNUSED(growth);
#endif
    QVERIFY(desk.dialogs.shown.isEmpty());
}

QTEST_MAIN(TestLineFaults)
#include "tst_linefaults.moc"
