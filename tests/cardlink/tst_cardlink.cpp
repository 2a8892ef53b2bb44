// The card link on real pseudo-terminals: bytes on the wire and why a port cannot be opened.
// The line settings each byte leaves with are read from a real UART's registers in the serial
// rig.
#include "support/desk.h"

#include <QFile>
#include <sys/inotify.h>

namespace {

// clang-format off
struct Open { QString name; PortFailure failure; QString reasonHas; };
struct Refused { const char *name; QStringList texts; CardLink::SendOutcome outcome; };
// clang-format on

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
        QByteArray expected;
        for (int v = 0; v <= 255; ++v) {
            const int channel = 1 + v % kChannelCount;
            QCOMPARE(link.SendChannelFrame(QString::number(channel), QString::number(v)),
                     CardLink::SendOutcome::Sent);
            expected += frame(channel, v);
        }
        QCOMPARE(rig.takeBytes(1, 512).toHex(), expected.toHex());
    }

    void refusedTexts_data()
    {
        // The channel, the level, and "closed" for a closed port or "pulled" for a pulled card.
        using O = CardLink::SendOutcome;
        // clang-format off
        addRows<Refused>({
            {"level abc", {"5", "abc"}, O::BadValue},
            {"level 300", {"5", "300"}, O::BadValue},
            {"level empty", {"5", ""}, O::BadValue},
            {"channel 256", {"256", "10"}, O::BadChannel},
            {"both bad", {"x", "y"}, O::BadChannel},
            {"closed", {"5", "10", "closed"}, O::PortClosed},
            {"closed, bad level", {"5", "abc", "closed"}, O::PortClosed},
            {"card pulled", {"5", "10", "pulled"}, O::LineLost},
        });
        // clang-format on
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
        QCOMPARE(rig.takeBytes(1, 3, 300).toHex(), QByteArray("0909"));
    }

    void openFailures_data()
    {
        using F = PortFailure;
        // clang-format off
        addRows<Open>({
            {"missing device", F::NoSuchPort, "there is no such device (/dev/lumidesk-missing)"},
            {"past the map", F::NoSuchPort, "there is no such port on this computer"},
            {"open in another handle", F::Held, "is in use by another program"},
            {"another program's lock file", F::Held, "is in use by another program (process 1,"},
            {"exclusive access", F::Held, "is in use by another program"},
            {"stale lock file", F::None, ""},
            {"nobody else has it", F::None, ""},
            {"not a terminal", F::Other, "lumidesk-not-a-tty"},
        });
        // clang-format on
    }

    void openFailures()
    {
        QFETCH(Open, row);
        link.setPortOpen(false);
        // A line whose far end nobody has opened: the card's own keeps one open.
        const int free = ::getpt();
        QVERIFY(free >= 0 && ::grantpt(free) == 0 && ::unlockpt(free) == 0);
        const QString device = row.name == "nobody else has it"
                ? QString::fromLocal8Bit(::ptsname(free))
                : rig.card(1)->devicePath();
        // Every open and close of the device: a close by the last holder drops DTR and RTS.
        const int seen = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ::inotify_add_watch(seen, QFile::encodeName(device).constData(), IN_OPEN | IN_CLOSE);
        QFile file(QDir::temp().filePath("lumidesk-not-a-tty"));
        CardLink other([&](int com) -> QString {
            if (row.name == "missing device")
                return "/dev/lumidesk-missing";
            return row.name == "not a terminal" ? file.fileName() : com == 1 ? device : QString();
        });
        other.setCommPort(row.name == "past the map" ? 9 : 1);
        QSerialPort holder(device);
        // Another program's lock goes where any user may write one, and where two runs of the
        // suite at once keep apart: the temporary folder is one of the lock folders Linux uses.
        QFile lock(QDir::temp().filePath("LCK.." + device.mid(5).replace('/', '_')));
        if (row.name == "open in another handle")
            QVERIFY(holder.open(QIODevice::ReadWrite));
        if (row.name == "exclusive access")
            rig.hold(1);
        if (row.name.endsWith("lock file")) {
            QVERIFY(lock.open(QIODevice::WriteOnly));
            // Process 1 is always alive; 4194000 is past any live process.
            lock.write(row.name.startsWith("another") ? "         1\n" : "   4194000\n");
            lock.close();
        }
        if (row.name == "not a terminal")
            QVERIFY(file.open(QIODevice::WriteOnly));
        const OpenOutcome outcome = other.setPortOpen(true);
        lock.remove();
        file.remove();
        rig.release(1);
        QCOMPARE(outcome.failure, row.failure);
        QVERIFY2(outcome.reason.contains(row.reasonHas), qPrintable(outcome.reason));
        QCOMPARE(other.portOpen(), row.failure == PortFailure::None);
        inotify_event events[8];
        const ssize_t got = ::read(seen, events, sizeof events);
        ::close(seen);
        ::close(free);
        if (row.name == "nobody else has it")
            QCOMPARE(got / ssize_t(sizeof(inotify_event)), 1); // the open, and nothing else
    }
};

QTEST_GUILESS_MAIN(TestCardLink)
#include "tst_cardlink.moc"
