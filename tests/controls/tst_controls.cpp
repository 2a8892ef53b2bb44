// The control windows as the operator meets them: the New questions, preset windows and their
// dialog, the slider under keys, wheel and screen reader, and its pacing, and what a screen
// reader is told of a text box.
#include "controls/framepacer.h"
#include "support/desk.h"
#include "ui/accessibletextbox.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <clocale>

namespace {

template <class T = QWidget>
T *part(QWidget *window, const QString &name)
{
    return window->findChild<T *>(name);
}

// The pacer's clock in the test's hands: time moves only when the test moves it.
struct HandClock : FramePacer::Clock
{
    qint64 time = 0, wake = -1;
    std::function<void()> then;
    qint64 now() const override { return time; }
    void after(int ms, std::function<void()> call) override
    {
        wake = time + ms;
        then = std::move(call);
    }
    void moveTo(qint64 to)
    {
        // A wake due at `to` comes after what happens at `to`.
        if (wake >= 0 && wake < to) {
            time = std::exchange(wake, -1);
            then();
        }
        time = to;
    }
};

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    // Every test on a desk whose locale writes 127,5.
    void initTestCase()
    {
        QVERIFY(setlocale(LC_ALL, "de_DE.UTF-8"));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }

    void presets_data()
    {
        // Pressed by a screen reader's Press, or by a click.
        QTest::addColumn<bool>("assistive");
        QTest::newRow("click") << false;
        QTest::newRow("screen reader's Press") << true;
    }

    void presets()
    {
        // Each button sends the level typed, with a point, on its own window's channel,
        // whichever window is active, and again when pressed again. The dialog keeps its rows
        // for the next window, and neither Enter nor Escape ends it half filled.
        QFETCH(bool, assistive);
        const auto typed = [](int level) { return QString::number(level - 0.4, 'f', 1); };
        Desk desk;
        desk.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
        int showing = 0;
        desk.dialogs.onModal = [&showing, &typed](QDialog &rows) {
            for (int i = 0; i < 10; ++i) {
                auto *value = part<QLineEdit>(&rows, QStringLiteral("Preset_Value%1").arg(i));
                QCOMPARE(value->text(), showing ? typed(10 * i) : "0");
                value->setText(i == 8 && showing ? "300" : typed(10 * i + showing));
            }
            // Seven characters at most.
            QTest::keyClicks(part(&rows, "Preset_Name4"), "&Full wash");
            for (const auto key : { Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter })
                QTest::keyClick(part(&rows, "Preset_Name4"), key);
            // Not ended as OK ends it.
            QCOMPARE(rows.result(), QDialog::Rejected);
            ++showing;
        };
        // The first window's name is cancelled, which leaves it none.
        desk.dialogs.inputAnswers = { typed(7), std::nullopt, typed(8), "b" };
        QWidget *first = desk.add(ControlRegistry::Preset, 0);
        QWidget *second = desk.add(ControlRegistry::Preset, 0);
        QCOMPARE(first->parentWidget()->windowTitle(), "");
        const auto press = [assistive](QWidget *window, const QString &name) {
            QWidget *button = part(window, name);
            if (!assistive)
                click(button);
            else
                QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
                        QAccessibleActionInterface::pressAction());
        };
        for (int again = 0; again < 2; ++again) {
            press(first, "cmdPresets3");
            QCOMPARE(desk.wire(1), frame(7, 30));
        }
        press(second, "cmdPresets4");
        QCOMPARE(desk.wire(1), frame(8, 41));
        // The level is on no screen: a screen reader tells it with the name.
        QAccessibleInterface *four =
                QAccessible::queryAccessibleInterface(part(second, "cmdPresets4"));
        QCOMPARE(four->text(QAccessible::Name) + ", " + four->text(QAccessible::Description),
                 "Full w, level 40.6");
        // A level that is no byte is said, and nothing goes, not even the channel.
        press(second, "cmdPresets8");
        QTRY_COMPARE(desk.dialogs.messages().value(0).text,
                     "The level \"300\" cannot be sent: it must be a number from 0 to 255.");
        // A window closed gives the focus to the one active before it, the last one to the port
        // in use, and neither takes a key any more.
        press(second, "cmdClose_Preset");
        QTRY_VERIFY(first->isAncestorOf(QApplication::focusWidget()));
        press(first, "cmdClose_Preset");
        QTRY_COMPARE(QApplication::focusWidget(), desk.find("optCommSelect1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(desk.wire(1, 2, 200).isEmpty());
    }

    void slider()
    {
        // The channel is asked again, after a box, until one from 1 to 112 comes, Cancel
        // included; the name offered is the channel's, and the one typed is kept as it is.
        Desk desk;
        desk.frame->show();
        desk.dialogs.inputAnswers = { "0", std::nullopt, "9", " n " };
        QWidget *slider = desk.add(ControlRegistry::Slider, 0);
        // Asked, refused, asked, refused, asked, named.
        const auto &shown = desk.dialogs.shown;
        QCOMPARE(shown.size(), 6);
        QCOMPARE(shown[3].text, "A Channel Number from 1 to 112 must be entered");
        QCOMPARE(shown[5].defaultAnswer, "Ch: 9");
        QCOMPARE(slider->parentWidget()->windowTitle(), " n ");
        // Keys, the wheel over any part of the window, and a screen reader's actions; each
        // level the label shows is the one a screen reader reads and goes out as one frame on
        // the slider's channel.
        auto *bar = part<QScrollBar>(slider, "vscSlide");
        auto *label = part<QLabel>(slider, "lblValue");
        QCOMPARE(label->text(), "0");
        QAccessibleInterface *level = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(level->role(), QAccessible::Slider);
        QCOMPARE(level->text(QAccessible::Name), "Channel 9 level");
        QCOMPARE(level->valueInterface()->maximumValue(), QVariant(255));
        const auto leaves = [&](int after) {
            QTRY_COMPARE(label->text(), QString::number(after));
            QCOMPARE(level->valueInterface()->currentValue().toString(), label->text());
            QCOMPARE(desk.wire(1) + desk.wire(1, 2, 300), frame(9, after));
        };
        const auto wheelUp = [slider](const char *over) {
            QWidget *part = slider->findChild<QWidget *>(over);
            QWheelEvent wheel({ 5, 5 }, part->mapToGlobal(QPointF(5, 5)), {}, { 0, 120 }, {}, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(part, &wheel);
        };
        level->valueInterface()->setCurrentValue(100);
        leaves(100);
        QTest::keyClick(bar, Qt::Key_Up);
        leaves(101);
        QTest::keyClick(bar, Qt::Key_PageDown);
        leaves(100);
        wheelUp("vscSlide");
        leaves(101);
        wheelUp("cmdClose_Slider");
        leaves(102);
        level->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
        leaves(103);
        level->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
        leaves(102);
        QTest::keyClick(bar, Qt::Key_Home);
        leaves(255);
    }

    void textBox()
    {
        // What a screen reader reads of a box holding "Ch: 12": the text as one run, each
        // character where the box highlights it, no second selection, no password's text.
        AccessibleTextBox::install();
        QLineEdit box("Ch: 12");
        QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(&box);
        QAccessibleTextInterface *text = reader->textInterface();
        QCOMPARE(readAsOneRun(&box), "Ch: 12");
        // A range that ends before it starts.
        QCOMPARE(text->text(4, 1), "");
        // Each character where the box highlights it.
        const QImage plain = box.grab().toImage();
        for (int i = 0; i < 6; ++i) {
            box.setSelection(i, 1);
            const QImage lit = box.grab().toImage();
            QList<int> changed; // the columns the highlight changed
            for (int x = 0; x < lit.width(); ++x) {
                for (int y = 0; y < lit.height(); ++y) {
                    if (lit.pixel(x, y) != plain.pixel(x, y)) {
                        changed << x;
                        break;
                    }
                }
            }
            const QRect place = text->characterRect(i).translated(-box.mapToGlobal(QPoint()));
            QVERIFY(qAbs(place.left() - changed.first()) <= 1);
            QVERIFY(qAbs(place.right() - changed.last()) <= 1);
        }
        box.selectAll();
        text->setSelection(1, 0, 3);
        text->removeSelection(1);
        QCOMPARE(box.selectedText(), "Ch: 12");
        for (const auto echo :
             { QLineEdit::Password, QLineEdit::PasswordEchoOnEdit, QLineEdit::NoEcho }) {
            box.setEchoMode(echo);
            QVERIFY(reader->state().passwordEdit);
            QCOMPARE(reader->text(QAccessible::Value), echo == QLineEdit::NoEcho ? "" : "******");
            QCOMPARE(readAsOneRun(&box), "");
        }
    }

    void pacing()
    {
        // A move after a quiet spell goes at once; those within 50 ms of a frame go 50 ms after
        // it as one frame of the last position, or as none when that is the position sent. The
        // slider's moves and the frames sent are (ms, level).
        const QList<QPair<int, int>> moves{ { 0, 1 },   { 10, 2 },  { 20, 3 },  { 49, 4 },
                                            { 200, 5 }, { 210, 6 }, { 220, 5 }, { 260, 7 } };
        auto owned = std::make_unique<HandClock>();
        HandClock *clock = owned.get();
        int level = 0, shown = 0;
        QList<QPair<int, int>> sent;
        FramePacer pacer(std::move(owned), [&] {
            if (shown == level)
                return false;
            shown = level;
            sent << QPair{ int(clock->now()), level };
            return true;
        });
        for (const auto &[at, to] : moves) {
            clock->moveTo(at);
            level = to;
            pacer.changed();
        }
        clock->moveTo(1000);
        QCOMPARE(sent, (QList<QPair<int, int>>{ { 0, 1 }, { 50, 4 }, { 200, 5 }, { 260, 7 } }));
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
