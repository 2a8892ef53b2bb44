// The card link on real pseudo-terminals: bytes on the wire and why a port cannot be opened.
#include "support/desk.h"

#include <QFile>
#include <sys/inotify.h>

namespace {

struct Open
{
    QString name;
    PortFailure failure;
    QString reasonHas;
};
struct Refused
{
    const char *name;
    QStringList texts;
    CardLink::SendOutcome outcome;
};

} // namespace

class TestCardLink : public QObject
{
    Q_OBJECT

    CardRig rig;
    CardLink link{ rig.map() };

private slots:
    void init()
    {
        rig.card(1)->setRecording(true);
        link.setPortOpen(false);
        link.setCommPort(1);
        QVERIFY(link.setPortOpen(true).ok());
    }

    void everyChannelAndValue()
    {
        // At the speed and framing the card listens at: 9600 baud, 8N1, no flow control. A
        // pseudo-terminal carries every byte as 8 bits without parity, whatever it was asked,
        // so those two are read from the port the link set up.
        QCOMPARE(rig.card(1)->lineSettings(), "9600 8N1");
        const auto *port = link.findChild<QSerialPort *>();
        QVERIFY(port->dataBits() == QSerialPort::Data8 && port->parity() == QSerialPort::NoParity);
        QByteArray expected;
        for (int v = 0; v <= 255; ++v) {
            const int channel = 1 + v % kChannelCount;
            link.SendChannelFrame(QString::number(channel), QString::number(v));
            expected += frame(channel, v);
        }
        QCOMPARE(rig.takeBytes(1, 512).toHex(), expected.toHex());
    }

    void refusedTexts_data()
    {
        // The channel, the level, and "closed" for a closed port or "pulled" for a pulled card.
        using O = CardLink::SendOutcome;
        addRows<Refused>({
                { "level abc", { "5", "abc" }, O::BadValue },
                { "both bad", { "x", "y" }, O::BadChannel },
                { "closed, bad level", { "5", "abc", "closed" }, O::PortClosed },
                { "card pulled", { "5", "10", "pulled" }, O::LineLost },
        });
    }

    void refusedTexts()
    {
        QFETCH(Refused, row);
        link.setPortOpen(row.texts.value(2) != "closed");
        if (row.texts.value(2) == "pulled")
            rig.card(1)->unplug();
        QCOMPARE(link.SendChannelFrame(row.texts[0], row.texts[1]), row.outcome);
        rig.card(1)->plugIn(); // back, if it was pulled
        // A marker frame after it shows that nothing went out before, not even half a frame.
        link.setPortOpen(true);
        link.SendChannelFrame("9", "9");
        QCOMPARE(rig.takeBytes(1, 3, 300).toHex(), "0909");
    }

    void openFailures_data()
    {
        using F = PortFailure;
        addRows<Open>({
                { "missing device", F::NoSuchPort,
                  "there is no such device (/dev/lumidesk-missing)" },
                { "another program's lock file", F::Held,
                  "is in use by another program (process 1," },
                { "stale lock file", F::None, "" },
        });
    }

    void openFailures()
    {
        QFETCH(Open, row);
        // A line whose far end nobody has opened, as a card's keeps one open.
        const int free = ::getpt();
        QVERIFY(free >= 0 && ::grantpt(free) == 0 && ::unlockpt(free) == 0);
        const QString device = ::ptsname(free);
        // Every open and close of the device: a close by the last holder drops DTR and RTS.
        const int opens = ::inotify_init1(IN_NONBLOCK);
        ::inotify_add_watch(opens, QFile::encodeName(device), IN_OPEN | IN_CLOSE);
        CardLink other([&](int) -> QString {
            return row.name == "missing device" ? "/dev/lumidesk-missing" : device;
        });
        // Another program's lock goes where any user may write one, and where two runs of the
        // suite at once keep apart: the temporary folder is one of the lock folders Linux uses.
        QFile lock(QDir::temp().filePath("LCK.." + device.mid(5).replace('/', '_')));
        if (row.name.endsWith("lock file")) {
            // Process 1 is always alive; 4194000 is past any live process.
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write(row.name.startsWith("another") ? "         1\n" : "   4194000\n");
            lock.close();
        }
        const OpenOutcome outcome = other.setPortOpen(true);
        lock.remove();
        QCOMPARE(outcome.failure, row.failure);
        QVERIFY(outcome.reason.contains(row.reasonHas));
        QCOMPARE(other.portOpen(), row.failure == PortFailure::None);
        inotify_event events[8];
        const ssize_t seen = ::read(opens, events, sizeof events);
        ::close(opens);
        ::close(free);
        // The open, and nothing else.
        QCOMPARE(std::max<ssize_t>(0, seen),
                 row.failure == PortFailure::None ? ssize_t(sizeof *events) : 0);
    }
};

QTEST_GUILESS_MAIN(TestCardLink)
#include "tst_cardlink.moc"
