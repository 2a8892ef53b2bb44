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

QWidget *windowOf(QWidget *content)
{
    return content->parentWidget();
}

// One input to a slider at level 100, and the level it leaves.
struct Input
{
    const char *name;
    Qt::Key key = {};
    const char *wheelOn = nullptr; // the part of the window the wheel turns over
    const char *action = nullptr; // a screen reader's action
    int value = 0; // a value a screen reader sets
    int after;
};

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
        if (wake >= 0 && wake < to) { // a wake due at `to` comes after what happens at `to`
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
    void questions()
    {
        // The channel is asked again until one from 1 to 112 comes, Cancel included; the name
        // offered is the channel's, and the one typed is kept as it is.
        Desk desk;
        desk.dialogs.inputAnswers = { "0", std::nullopt, "12abc", " n " };
        ControlWindow *window = desk.add(ControlRegistry::Slider, 0);
        QStringList asked;
        for (const auto &box : desk.dialogs.shown)
            asked << box.text + " [" + box.defaultAnswer + "]";
        const QString channel = "Please enter the value of the channel\rthat you wish to control "
                                "with this slider [0]";
        const QString refused = "A Channel Number from 1 to 112 must be entered []";
        QCOMPARE(asked,
                 QStringList({ channel, refused, channel, refused, channel,
                               "If you would like to name this channel\rplease enter it here. "
                               "[Ch: 12]" }));
        QCOMPARE(window->Tag(), "12");
        QCOMPARE(windowOf(window)->windowTitle(), " n ");
    }

    void presets_data()
    {
        QTest::addColumn<bool>("assistive"); // pressed by a screen reader's Press, not a click
        QTest::newRow("click") << false;
        QTest::newRow("screen reader's Press") << true;
    }

    void presets()
    {
        // On a desk whose locale writes 127,5, each button sends its own level on its own
        // window's channel, whichever window is active, and again when pressed again. The
        // dialog keeps its rows for the next window, and neither Enter nor Escape ends it half
        // filled.
        QFETCH(bool, assistive);
        QVERIFY2(setlocale(LC_ALL, "de_DE.UTF-8"), "the locale de_DE.UTF-8 is not installed");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto typed = [](int level) { return QString::number(level - 0.4, 'f', 1); };
        Desk desk;
        desk.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
        int showing = 0;
        desk.dialogs.onModal = [&showing, &typed](QDialog &rows) {
            rows.show();
            for (int i = 0; i < 10; ++i) {
                auto *value = part<QLineEdit>(&rows, QStringLiteral("Preset_Value%1").arg(i));
                QCOMPARE(value->text(), showing ? typed(10 * i) : "0");
                value->setText(i == 8 && showing ? "300" : typed(10 * i + showing));
            }
            QTest::keyClicks(part(&rows, "Preset_Name4"), "&Full wash"); // seven characters at most
            for (const auto key : { Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter })
                QTest::keyClick(part(&rows, "Preset_Name4"), key);
            QVERIFY(rows.isVisible());
            rows.hide();
            ++showing;
        };
        desk.dialogs.inputAnswers = { typed(7), "a", typed(8), "b" };
        QWidget *first = desk.add(ControlRegistry::Preset, 0);
        QWidget *second = desk.add(ControlRegistry::Preset, 0);
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
            QCOMPARE(desk.wire(1).toHex(), QByteArray("071e"));
        }
        press(second, "cmdPresets4");
        QCOMPARE(desk.wire(1).toHex(), QByteArray("0829"));
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
        desk.frame->activateWindow(); // the dialog was the active window last
        QTRY_COMPARE(QApplication::activeWindow(), desk.frame.get());
        press(second, "cmdClose_Preset");
        QTRY_VERIFY(first->isAncestorOf(QApplication::focusWidget()));
        press(first, "cmdClose_Preset");
        QTRY_COMPARE(QApplication::focusWidget(), desk.find("optCommSelect1"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        QVERIFY(desk.wire(1, 2, 200).isEmpty());
    }

    void cleanup() // a failed row leaves its locale to no other test
    {
        setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
    }

    void sliderInput_data()
    {
        addRows<Input>({
                { .name = "Up", .key = Qt::Key_Up, .after = 101 },
                { .name = "Page Down", .key = Qt::Key_PageDown, .after = 99 },
                { .name = "Home", .key = Qt::Key_Home, .after = 255 },
                { .name = "wheel up", .wheelOn = "vscSlide", .after = 101 },
                { .name = "wheel up on Close", .wheelOn = "cmdClose_Slider", .after = 101 },
                { .name = "Increase", .action = "Increase", .after = 101 },
                { .name = "Decrease", .action = "Decrease", .after = 99 },
                { .name = "value 300 stops at the top", .value = 300, .after = 255 },
        });
    }

    void sliderInput()
    {
        // What the label shows is what a screen reader reads, and goes out once as one frame
        // on the slider's channel.
        QFETCH(Input, row);
        Desk desk;
        desk.frame->show();
        QWidget *slider = desk.add(ControlRegistry::Slider, 9);
        auto *bar = part<QScrollBar>(slider, "vscSlide");
        auto *label = part<QLabel>(slider, "lblValue");
        QCOMPARE(label->text(), "0");
        QAccessibleInterface *level = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(level->role(), QAccessible::Slider);
        QCOMPARE(level->text(QAccessible::Name), "Channel 9 level");
        QCOMPARE(level->valueInterface()->maximumValue(), QVariant(255));
        level->valueInterface()->setCurrentValue(100);
        QCOMPARE(desk.wire(1).toHex(), frame(9, 100).toHex());
        if (row.key) {
            QTest::keyClick(bar, row.key);
        } else if (row.wheelOn) {
            QWidget *over = part(slider, row.wheelOn);
            QWheelEvent wheel({ 5, 5 }, over->mapToGlobal(QPointF(5, 5)), {}, { 0, 120 }, {}, {},
                              Qt::NoScrollPhase, false);
            QApplication::sendEvent(over, &wheel);
        } else if (row.action) {
            level->actionInterface()->doAction(row.action);
        } else {
            level->valueInterface()->setCurrentValue(row.value);
        }
        QTRY_COMPARE(label->text(), QString::number(row.after));
        QCOMPARE(level->valueInterface()->currentValue().toString(), label->text());
        QCOMPARE((desk.wire(1) + desk.wire(1, 2, 300)).toHex(), frame(9, row.after).toHex());
    }

    void textBox()
    {
        // What a screen reader reads of a box holding "Ch: 12": the text as one run, each
        // character where the box highlights it, no second selection, no password's text.
        AccessibleTextBox::install();
        QLineEdit box("Ch: 12");
        QAccessibleInterface *told = QAccessible::queryAccessibleInterface(&box);
        QAccessibleTextInterface *text = told->textInterface();
        QCOMPARE(readAsOneRun(&box), "Ch: 12");
        QCOMPARE(text->text(4, 1), ""); // a range that ends before it starts
        const QImage plain = box.grab().toImage();
        for (int i = 0; i < 6; ++i) {
            box.setSelection(i, 1);
            const QImage lit = box.grab().toImage();
            int first = lit.width(), last = -1; // the columns the highlight changed
            for (int x = 0; x < lit.width(); ++x) {
                for (int y = 0; y < lit.height(); ++y)
                    if (lit.pixel(x, y) != plain.pixel(x, y))
                        std::tie(first, last) = std::tuple(std::min(first, x), x);
            }
            const QRect place = text->characterRect(i).translated(-box.mapToGlobal(QPoint()));
            QVERIFY(qAbs(place.left() - first) <= 1 && qAbs(place.right() - last) <= 1);
        }
        box.selectAll();
        text->setSelection(1, 0, 3);
        text->removeSelection(1);
        QCOMPARE(box.selectedText(), "Ch: 12");
        int start = 0, end = 0;
        for (const auto echo :
             { QLineEdit::Password, QLineEdit::PasswordEchoOnEdit, QLineEdit::NoEcho }) {
            box.setEchoMode(echo);
            QVERIFY(told->state().passwordEdit);
            QCOMPARE(told->text(QAccessible::Value), echo == QLineEdit::NoEcho ? "" : "******");
            QCOMPARE(readAsOneRun(&box), "");
            QCOMPARE(text->textAtOffset(1, QAccessible::CharBoundary, &start, &end), "");
            text->selection(0, &start, &end);
            QCOMPARE(text->text(start, end), "");
        }
    }

    void pacing()
    {
        // A move after a quiet spell goes at once; those within 50 ms of a frame go 50 ms after
        // it as one frame of the last position, or as none when that is the position sent.
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
        for (const auto &[at, to] : moves) { // (ms, level)
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
