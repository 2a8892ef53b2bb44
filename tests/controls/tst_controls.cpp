// The control windows as the operator meets them: the New questions, placement and the window
// list, preset windows and their dialog, the slider under mouse, keys, wheel and screen reader,
// and its pacing; and what a screen reader is told of a text box.
#include "controls/framepacer.h"
#include "support/desk.h"
#include "ui/accessibletextbox.h"

#include <QAccessible>
#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <clocale>

namespace {

constexpr int kHigher = -2; // a drag raises the level by an amount the style decides

const auto windowOf = [](QWidget *c) { return qobject_cast<QMdiSubWindow *>(c->parentWidget()); };

template <class T = QWidget>
T *part(QWidget *window, const QString &name)
{
    return window->findChild<T *>(name);
}

QRect subControl(QScrollBar *bar, QStyle::SubControl which)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    std::tie(opt.orientation, opt.minimum, opt.maximum, opt.sliderPosition, opt.pageStep) =
            std::tuple(bar->orientation(), bar->minimum(), bar->maximum(), bar->sliderPosition(),
                       bar->pageStep());
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, which, bar);
}

struct Input
{
    const char *name;
    enum { Part, Key, Drag, Wheel, WheelOnClose, Increase, Decrease, SetValue } kind;
    int arg; // the part of the bar, the key, how far to drag, the wheel's turn
    int before, after;
};

// How the buttons are pressed: a click, or a screen reader's Press. Enter and Space press a
// preset button and Close in the held-key rows of the main frame's test.
struct Press
{
    const char *name;
    bool assistive;
    bool comma = false; // a desk whose locale writes 127,5
};

// The pacer's clock in the test's hands: time moves only when the test moves it.
struct HandClock : FramePacer::Clock
{
    qint64 time = 0;
    std::optional<qint64> wake;
    std::function<void()> then;
    qint64 now() const override { return time; }
    void after(int ms, std::function<void()> call) override
    {
        wake = time + ms;
        then = std::move(call);
    }
    void moveTo(qint64 to)
    {
        while (wake && *wake < to) { // a wake due at `to` comes after what happens at `to`
            time = *std::exchange(wake, std::nullopt);
            then();
        }
        time = to;
    }
};

struct Pacing
{
    const char *name;
    QList<QPair<int, int>> moves, frames; // (ms, level): the slider's moves, the frames sent
};

// What a screen reader reads of a box holding "Ch: 12", or does to it.
struct Reading
{
    const char *name;
    QLineEdit::EchoMode echo;
    enum {
        Value,
        Backwards,
        Selected,
        Run,
        AtOffset,
        Password,
        SetSecond,
        RemoveSecond,
        Places
    } ask;
    QString heard = {}; // the text read, or the box's selection after the deed
};

struct Question
{
    const char *name;
    bool preset;
    QStringList answers; // channel answers, then the name; "<cancel>" for Cancel
    int channel, warnings;
    QString title;
};

} // namespace

class TestControls : public QObject
{
    Q_OBJECT

private slots:
    void questions_data()
    {
        // clang-format off
        addRows<Question>({
            {"1, default name", false, {"1", "Ch: 1"}, 1, 0, "Ch: 1"},
            {"112, named", true, {"112", "Wash"}, 112, 0, "Wash"},
            {"refused until valid", false, {"0", "113", "-5", "abc", "<cancel>", "40000", "0.5", "7.5", "x"}, 8, 7, "x"},
            {"12abc, name cancelled", true, {"12abc", "<cancel>"}, 12, 0, ""},
            {"blank inside, name kept as typed", false, {" 1 2", " n "}, 12, 0, " n "},
        });
        // clang-format on
    }

    void questions()
    {
        QFETCH(Question, row);
        Desk desk;
        for (const QString &a : row.answers)
            desk.dialogs.inputAnswers << (a == "<cancel>" ? std::nullopt : std::optional(a));
        ControlWindow *window = desk.add(ControlRegistry::ControlKind(row.preset), 0);
        QVERIFY(!desk.dialogs.ranOutOfAnswers);

        const auto &shown = desk.dialogs.shown;
        QCOMPARE(shown.size(), 1 + 2 * row.warnings + 1 + (row.preset ? 1 : 0));
        const QString second = row.preset ? "that you wish to control with these Presets."
                                          : "that you wish to control with this slider";
        for (int i = 0; i <= row.warnings; ++i) {
            QCOMPARE(shown[2 * i].text, "Please enter the value of the channel\r" + second);
            QCOMPARE(shown[2 * i].defaultAnswer, "0");
            if (i < row.warnings)
                QCOMPARE(shown[2 * i + 1].text, "A Channel Number from 1 to 112 must be entered");
        }
        const auto &name = shown[2 * row.warnings + 1];
        QCOMPARE(name.title, "Lumidesk");
        QCOMPARE(name.text, "If you would like to name this channel\rplease enter it here.");
        QCOMPARE(name.defaultAnswer, QStringLiteral("Ch: %1").arg(row.channel));
        if (row.preset)
            QCOMPARE(shown.last().title, "Set Presets"); // after both questions
        QCOMPARE(window->Tag(), QString::number(row.channel));
        QCOMPARE(windowOf(window)->windowTitle(), row.title);
    }

    void presets_data()
    {
        // clang-format off
        addRows<Press>({
            {"click", false},
            {"screen reader's Press", true},
            {"click, comma-decimal locale", false, true},
        });
        // clang-format on
    }

    void presets()
    {
        // Each button sends its own level on its own window's channel, whichever window is
        // active, and again when pressed again. The dialog keeps its rows for the next window,
        // and neither Enter nor Escape ends it half filled.
        QFETCH(Press, row);
        if (row.comma) { // the channel answers and the levels keep the point all the same
            QVERIFY2(setlocale(LC_ALL, "de_DE.UTF-8"), "the locale de_DE.UTF-8 is not installed");
            QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        }
        const auto typed = [&row](int level) {
            return row.comma ? QString::number(level - 0.4, 'f', 1) : QString::number(level);
        };
        Desk desk;
        desk.frame->show();
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
        int showing = 0;
        desk.dialogs.onModal = [&showing, &typed](QDialog &rows) {
            rows.show();
            for (int i = 0; i < 10; ++i) {
                auto *value = part<QLineEdit>(&rows, QStringLiteral("Preset_Value%1").arg(i));
                QCOMPARE(value->text(), showing ? typed(10 * i) : "0");
                value->setText(typed(10 * i + showing));
            }
            QCOMPARE(readAsOneRun(part(&rows, "Preset_Value9")), typed(90 + showing));
            if (showing)
                part<QLineEdit>(&rows, "Preset_Value8")->setText("300");
            QTest::keyClicks(part(&rows, "Preset_Name4"), "&Full wash"); // seven characters at most
            for (const auto key : { Qt::Key_Return, Qt::Key_Escape, Qt::Key_Enter })
                QTest::keyClick(part(&rows, "Preset_Name4"), key);
            QCOMPARE(part<QLineEdit>(&rows, "Preset_Name4")->text(), "&Full w");
            QVERIFY(rows.isVisible());
            rows.hide();
            ++showing;
        };
        desk.dialogs.inputAnswers = { "9", "s", typed(7), "a", typed(8), "b" };
        QWidget *slider = desk.add(ControlRegistry::Slider, 0);
        QWidget *first = desk.add(ControlRegistry::Preset, 0);
        QWidget *second = desk.add(ControlRegistry::Preset, 0);
        const auto press = [&row](QWidget *button) {
            if (!row.assistive)
                click(button);
            else
                QAccessible::queryAccessibleInterface(button)->actionInterface()->doAction(
                        QAccessibleActionInterface::pressAction());
        };
        for (int again = 0; again < 2; ++again) {
            press(part(first, "cmdPresets3"));
            QCOMPARE(desk.wire(1).toHex(), QByteArray("071e"));
        }
        press(part(second, "cmdPresets9"));
        setlocale(LC_ALL, "C");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(desk.wire(1).toHex(), QByteArray("085b"));
        // A level that is no byte is said, and nothing goes, not even the channel.
        press(part(second, "cmdPresets8"));
        QTRY_COMPARE(desk.dialogs.messages().value(0).text,
                     "The level \"300\" cannot be sent: it must be a number from 0 to 255.");
        QCOMPARE(desk.wire(1, 2, 200).toHex(), QByteArray());
        QAccessibleInterface *nine =
                QAccessible::queryAccessibleInterface(part(second, "cmdPresets9"));
        QCOMPARE(nine->text(QAccessible::Description), "level " + typed(91)); // on no screen
        // A window closed by the same hands gives the focus to the window active before it, the
        // last one to the port in use, and none of them takes a key any more.
        const QList<QWidget *> order{ second, first, slider, desk.find("optCommSelect1") };
        desk.frame->activateWindow(); // the dialog was the active window last
        QTRY_COMPARE(QApplication::activeWindow(), desk.frame.get());
        for (int i = 0; i < 3; ++i) {
            press(order[i]->findChildren<QPushButton *>(QRegularExpression("cmdClose_")).value(0));
            QTRY_VERIFY(windowOf(order[i])->isHidden());
            QVERIFY(order[i + 1]->hasFocus()
                    || order[i + 1]->isAncestorOf(QApplication::focusWidget()));
        }
        for (const auto key : { Qt::Key_Up, Qt::Key_Home, Qt::Key_Space })
            QTest::keyClick(QApplication::focusWidget(), key);
        QCOMPARE(desk.wire(1, 2, 200).toHex(), QByteArray());
    }

    void placement()
    {
        // Windows line up along the top by outer width, sliders and presets alike, and a closed
        // one leaves its gap. With the workspace scrolled away a new window comes into view,
        // and so does one chosen from the New menu's window list.
        Desk desk;
        desk.frame->show();
        QList<QWidget *> made;
        for (int channel = 1; channel <= 3; ++channel)
            made << windowOf(desk.add(ControlRegistry::ControlKind(channel % 2), channel));
        for (QWidget *window : std::as_const(made)) { // whole, below the title bar, Close within
            QWidget *content = qobject_cast<QMdiSubWindow *>(window)->widget();
            auto *close =
                    content->findChildren<QPushButton *>(QRegularExpression("cmdClose_")).value(0);
            QVERIFY(content->geometry().top() > 0);
            QVERIFY(window->contentsRect().contains(
                    QRect(close->mapTo(window, QPoint()), close->size())));
        }
        click(part(made[2], "cmdClose_Preset"));
        QVERIFY(made[2]->isHidden());
        desk.frame->resize(300, 300);
        QWidget *last = made[1];
        auto *area = desk.find<QMdiArea>({});
        const auto scrollAway = [&](QWidget *from) {
            QTRY_VERIFY(area->verticalScrollBar()->maximum() > 0); // laid out for the new size
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            area->horizontalScrollBar()->setValue(0);
            QVERIFY(!area->viewport()->rect().contains(from->geometry().topLeft()));
        };
        scrollAway(last);
        QWidget *newest = windowOf(desk.add(ControlRegistry::Slider, 4));
        QVERIFY(area->viewport()->rect().contains(QRect(newest->pos(), QSize(newest->width(), 1))));
        made << newest;
        for (int i = 0; i + 1 < made.size(); ++i)
            QCOMPARE(made[i + 1]->pos(), made[i]->geometry().topRight() + QPoint(1, 0));

        scrollAway(last);
        // Chosen by keys from the list below New's two items: the window's control takes the
        // focus last, when the menu has gone. The closed window is not listed.
        QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
        QTest::keyClick(desk.frame.get(), Qt::Key_N, Qt::AltModifier);
        const QList<QAction *> items = QApplication::activePopupWidget()->actions().mid(3);
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[2]->text(), "&3 Ch: 4 (channel 4)");
        told().clear();
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_2);
        QTRY_COMPARE(QApplication::focusWidget(), part(last, "vscSlide"));
        // Qt tells a screen reader of the control's focus as the menu goes and as the frame is
        // active again; under X the frame's own activation can reach Orca after both, so the
        // desk tells it once more as the frame comes back.
        QTRY_COMPARE(told().filter("focus Channel 2 level").size(), 3);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(area->activeSubWindow(), last);
        QVERIFY(area->viewport()->rect().contains(QRect(last->pos(), QSize(last->width(), 1))));
    }

    void sliderInput_data()
    {
        using S = QStyle;
        // clang-format off
        addRows<Input>({
            {"arrow up", Input::Part, S::SC_ScrollBarSubLine, 100, 101},
            {"trough below", Input::Part, S::SC_ScrollBarAddPage, 100, 99},
            {"arrow up at the top", Input::Part, S::SC_ScrollBarSubLine, 255, 255},
            {"drag up", Input::Drag, -60, 100, kHigher},
            {"Up", Input::Key, Qt::Key_Up, 100, 101},
            {"Home", Input::Key, Qt::Key_Home, 100, 255},
            {"End", Input::Key, Qt::Key_End, 100, 0},
            {"wheel up", Input::Wheel, 120, 100, 101},
            {"wheel on Close", Input::WheelOnClose, 120, 100, 101},
            // As a screen reader drives it: the level, not the scroll bar's raw value.
            {"Increase", Input::Increase, 0, 100, 101},
            {"Decrease", Input::Decrease, 0, 100, 99},
            {"Increase at the top", Input::Increase, 0, 255, 255},
            {"value 200", Input::SetValue, 200, 100, 200},
            {"value 300 stops at the top", Input::SetValue, 300, 100, 255},
        });
        // clang-format on
    }

    void sliderInput()
    {
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
        QTest::keyClick(bar, row.before == 255 ? Qt::Key_Home : Qt::Key_End);
        for (int i = 0; i < row.before % 255; ++i)
            QTest::keyClick(bar, Qt::Key_Up);
        QTRY_COMPARE(label->text(), QString::number(row.before));
        desk.wire(1, 1000, 200);

        if (row.kind == Input::Part) {
            click(bar, subControl(bar, QStyle::SubControl(row.arg)).center());
        } else if (row.kind == Input::Key) {
            QTest::keyClick(bar, Qt::Key(row.arg));
        } else if (row.kind == Input::Drag) {
            const QPoint from = subControl(bar, QStyle::SC_ScrollBarSlider).center();
            QTest::mousePress(bar, Qt::LeftButton, {}, from);
            QTest::mouseMove(bar, from + QPoint(0, row.arg));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, from + QPoint(0, row.arg));
        } else if (row.kind == Input::SetValue) {
            level->valueInterface()->setCurrentValue(row.arg);
        } else if (row.kind != Input::Wheel && row.kind != Input::WheelOnClose) {
            auto *actions = level->actionInterface();
            actions->doAction(row.kind == Input::Increase ? actions->increaseAction()
                                                          : actions->decreaseAction());
        } else {
            QWidget *target = row.kind == Input::Wheel ? bar : part(slider, "cmdClose_Slider");
            QWheelEvent wheel({ 5, 5 }, target->mapToGlobal(QPointF(5, 5)), {}, { 0, row.arg }, {},
                              {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(target, &wheel);
        }
        if (row.after == kHigher)
            QTRY_VERIFY(label->text().toInt() > row.before);
        else
            QTRY_COMPARE(label->text(), QString::number(row.after));
        QCOMPARE(level->valueInterface()->currentValue().toString(), label->text());
        // One frame of what the label shows, on this slider's channel; a drag's last.
        const bool moved = label->text() != QString::number(row.before);
        const QByteArray frames = desk.wire(1, 2, moved ? 2000 : 200) + desk.wire(1, 2, 300);
        QCOMPARE((row.after == kHigher ? frames.right(2) : frames).toHex(),
                 moved ? frame(9, label->text().toInt()).toHex() : "");
    }

    void textBox_data()
    {
        using E = QLineEdit;
        using R = Reading;
        // clang-format off
        addRows<Reading>({
            {.name = "a range that ends before it starts", .echo = E::Normal, .ask = R::Backwards},
            {.name = "a password's value, as stars", .echo = E::Password, .ask = R::Value, .heard = "******"},
            {.name = "a box that echoes nothing, no value", .echo = E::NoEcho, .ask = R::Value},
            {.name = "a password's selected text", .echo = E::PasswordEchoOnEdit, .ask = R::Selected},
            {.name = "a password's run of attributes", .echo = E::Password, .ask = R::Run},
            {.name = "a password's character at an offset", .echo = E::Password, .ask = R::AtOffset},
            {.name = "a password box is one", .echo = E::Password, .ask = R::Password, .heard = "password"},
            {.name = "no second selection to set", .echo = E::Normal, .ask = R::SetSecond},
            {.name = "no second selection to remove", .echo = E::Normal, .ask = R::RemoveSecond, .heard = "Ch: 12"},
            {.name = "each character where the box highlights it", .echo = E::Normal, .ask = R::Places},
        });
        // clang-format on
    }

    void textBox()
    {
        QFETCH(Reading, row);
        AccessibleTextBox::install();
        QLineEdit box("Ch: 12");
        box.setEchoMode(row.echo);
        box.resize(200, 30);
        QAccessibleInterface *told = QAccessible::queryAccessibleInterface(&box);
        QAccessibleTextInterface *text = told->textInterface();
        int start = 0, end = 0;
        const QString heard = [&]() -> QString {
            switch (row.ask) {
            case Reading::Value:
                return told->text(QAccessible::Value);
            case Reading::Backwards:
                return text->text(4, 1);
            case Reading::Selected:
                box.selectAll();
                text->selection(0, &start, &end);
                return text->text(start, end);
            case Reading::Run:
                return readAsOneRun(&box);
            case Reading::AtOffset:
                return text->textAtOffset(1, QAccessible::CharBoundary, &start, &end);
            case Reading::Password:
                return told->state().passwordEdit ? "password" : "text";
            case Reading::SetSecond:
                text->setSelection(1, 0, 3);
                return box.selectedText();
            case Reading::RemoveSecond:
                box.selectAll();
                text->removeSelection(1);
                return box.selectedText();
            default: // the places, below
                return {};
            }
        }();
        const QImage plain = box.grab().toImage();
        for (int i = 0; row.ask == Reading::Places && i < 6; ++i) {
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
        QCOMPARE(heard, row.heard);
    }

    void pacing_data()
    {
        // clang-format off
        addRows<Pacing>({
            {"after a quiet spell, at once", {{0, 1}, {200, 2}}, {{0, 1}, {200, 2}}},
            {"within 50 ms, the last position 50 ms after the frame", {{0, 1}, {10, 2}, {20, 3}, {49, 4}}, {{0, 1}, {50, 4}}},
            {"50 ms after the frame, at once", {{0, 1}, {50, 2}, {50, 3}}, {{0, 1}, {50, 2}, {100, 3}}},
            {"a drag: one frame each 50 ms", {{0, 1}, {30, 2}, {60, 3}, {90, 4}, {120, 5}}, {{0, 1}, {50, 2}, {100, 4}, {150, 5}}},
            {"back where it was: no frame, and no wait after", {{0, 1}, {10, 2}, {20, 1}, {60, 3}}, {{0, 1}, {60, 3}}},
        });
        // clang-format on
    }

    void pacing()
    {
        QFETCH(Pacing, row);
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
        for (const auto &[at, to] : row.moves) {
            clock->moveTo(at);
            level = to;
            pacer.changed();
        }
        clock->moveTo(1000);
        QCOMPARE(sent, row.frames);
    }
};

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
