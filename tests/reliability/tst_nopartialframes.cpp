// Ten thousand random operations: every byte on every line belongs to a whole, valid frame,
// and the frames are exactly the valid sends, in order.
#include "controls/controlregistry.h"
#include "controls/frmpresets.h"
#include "controls/frmslider.h"
#include "controls/presetdetails.h"
#include "support/desk.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <map>

class TestNoPartialFrames : public QObject
{
    Q_OBJECT

private slots:
    void randomOperations();
};

void TestNoPartialFrames::randomOperations()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    ControlRegistry &registry = frame.registry();
    QRandomGenerator random(20261207);

    const QStringList invalid{"abc", "300", "", "-1", "1e3", "2 5", "256", "x1"};
    std::vector<frmSlider *> sliders;
    std::vector<frmPresets *> presets;
    std::map<frmPresets *, std::array<int, 10>> levels; // -1: invalid
    for (int i = 0; i < 4; ++i)
        sliders.push_back(static_cast<frmSlider *>(
                registry.ShowNewControl(ControlRegistry::Slider, 1 + 30 * i, "s")));
    for (int w = 0; w < 3; ++w) {
        std::array<int, 10> row {};
        for (int i = 0; i < 10; ++i) {
            const bool bad = random.bounded(100) < 20;
            row[i] = bad ? -1 : int(random.bounded(256));
            registry.presetDetails().Preset_Value(i)->setText(
                    bad ? invalid[random.bounded(int(invalid.size()))]
                        : QStringLiteral(" %1 ").arg(row[i]));
        }
        auto *p = static_cast<frmPresets *>(
                registry.ShowNewControl(ControlRegistry::Preset, 100 + w, "p"));
        presets.push_back(p);
        levels[p] = row;
    }

    std::array<QByteArray, 6> expected, received;
    int port = 1;
    bool open = true;
    int warnings = 0;
    for (int op = 0; op < 10000; ++op) {
        const int kind = int(random.bounded(100));
        if (kind < 40) {
            frmSlider *s = sliders[random.bounded(int(sliders.size()))];
            const int value = int(random.bounded(256));
            const bool shownChanges = s->lblValue()->text() != QString::number(value);
            s->vscSlide()->setValue(value);
            s->Timer1_Timer();
            if (open && shownChanges)
                expected[port] += QByteArray(1, char(s->Tag().toInt())) + char(value);
        } else if (kind < 85) {
            frmPresets *p = presets[random.bounded(int(presets.size()))];
            const int index = int(random.bounded(10));
            p->cmdPresets_Click(index);
            if (open && levels[p][index] >= 0)
                expected[port] += QByteArray(1, char(p->Tag().toInt())) + char(levels[p][index]);
            else if (open)
                ++warnings;
        } else if (kind < 93) {
            frame.imgConnection_Status_Click(open ? 1 : 0);
            open = !open;
        } else {
            port = 1 + int(random.bounded(5));
            frame.optCommSelect(port)->click();
            open = true;
        }
        if (op % 200 == 0) {
            for (int n = 1; n <= 5; ++n)
                received[n] += desk.ports.pty(n).drain();
        }
    }
    for (int n = 1; n <= 5; ++n) {
        received[n] += readBytes(desk.ports.pty(n), int(expected[n].size() - received[n].size()),
                                 2000);
        QCOMPARE(received[n].size() % 2, 0);
        QCOMPARE(received[n].toHex(), expected[n].toHex());
    }
    QCOMPARE(desk.dialogs.messages().size(), warnings);
    QVERIFY(warnings > 100);
    QVERIFY(desk.dialogs.endings.isEmpty());
}

QTEST_MAIN(TestNoPartialFrames)
#include "tst_nopartialframes.moc"
