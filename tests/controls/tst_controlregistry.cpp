// Making control windows: the channel and name questions, the registries and placement.
#include "app/qtdialogs.h"
#include "controls/controlregistry.h"
#include "controls/frmpresets.h"
#include "controls/frmslider.h"
#include "controls/presetdetails.h"
#include "support/desk.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using Shown = FakeDialogs::Shown;
using Answers = QList<std::optional<QString>>;
Q_DECLARE_METATYPE(Answers)

namespace {

const QString kSliderPrompt = QStringLiteral(
        "Please enter the value of the channel\rthat you wish to control with this slider");
const QString kWarning = QStringLiteral("A Channel Number from 1 to 112 must be entered");

} // namespace

class TestControlRegistry : public QObject
{
    Q_OBJECT

private slots:
    void channelQuestion_data();
    void channelQuestion();
    void nameQuestion_data();
    void nameQuestion();
    void registriesKeepEverySlot();
    void placementAlongTheTop();
    void placementNeverWraps();
    void shortcutsFromAChildWindow();
    void realInputDialogs();
};

void TestControlRegistry::channelQuestion_data()
{
    QTest::addColumn<Answers>("answers");
    QTest::addColumn<int>("channel");

    QTest::newRow("first answer") << Answers{"1"} << 1;
    QTest::newRow("112") << Answers{"112"} << 112;
    QTest::newRow("rejected, then accepted")
            << Answers{"0", "113", "-5", "abc", "", "0.5", "12abc"} << 12;
    QTest::newRow("Cancel asks again") << Answers{std::nullopt, std::nullopt, " 1 2"} << 12;
    QTest::newRow("past 16 bits") << Answers{"40000", "1e10", "&H10000", "65537", "&H70"} << 112;
    QTest::newRow("rounded") << Answers{"112.5"} << 112;
    QTest::newRow("8.5") << Answers{"8.5"} << 8;
}

void TestControlRegistry::channelQuestion()
{
    QFETCH(Answers, answers);
    QFETCH(int, channel);
    Desk desk;
    desk.dialogs.inputAnswers = answers;
    QCOMPARE(desk.frame->registry().askChannel("that you wish to control with this slider"),
             channel);
    QVERIFY(!desk.dialogs.ranOutOfAnswers);

    // Every rejected answer gets the warning, then the same question again.
    QCOMPARE(desk.dialogs.shown.size(), 2 * answers.size() - 1);
    for (qsizetype i = 0; i < desk.dialogs.shown.size(); ++i) {
        const Shown &s = desk.dialogs.shown[i];
        QCOMPARE(s.title, QStringLiteral("Lumidesk"));
        if (i % 2 == 0) {
            QCOMPARE(s.kind, Shown::Input);
            QCOMPARE(s.text, kSliderPrompt);
            QCOMPARE(s.defaultAnswer, QStringLiteral("0"));
        } else {
            QCOMPARE(s.kind, Shown::Message);
            QCOMPARE(s.text, kWarning);
            QCOMPARE(s.icon, Dialogs::Icon::Exclamation);
        }
    }
}

void TestControlRegistry::nameQuestion_data()
{
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<QString>("caption");
    QTest::newRow("default") << std::optional<QString>("Ch: 5") << "Ch: 5";
    QTest::newRow("taken unchanged") << std::optional<QString>("  Front wash ")
                                     << "  Front wash ";
    QTest::newRow("Cancel gives no caption") << std::optional<QString>() << "";
    QTest::newRow("ampersand and placeholder") << std::optional<QString>("A&B [*]")
                                               << "A&B [*]";
}

void TestControlRegistry::nameQuestion()
{
    QFETCH(std::optional<QString>, answer);
    QFETCH(QString, caption);
    Desk desk;
    desk.dialogs.inputAnswers = {"5", answer};
    desk.frame->mnuNew_Slider_Click();
    QCOMPARE(desk.dialogs.shown.size(), 2);
    const Shown &name = desk.dialogs.shown[1];
    QCOMPARE(name.text, QStringLiteral("If you would like to name this channel\rplease enter it here."));
    QCOMPARE(name.title, QStringLiteral("Lumidesk"));
    QCOMPARE(name.defaultAnswer, QStringLiteral("Ch: 5"));

    frmSlider *slider = desk.frame->registry().SliderForms().last();
    QCOMPARE(slider->Tag(), QStringLiteral("5"));
    QCOMPARE(windowOf(slider)->windowTitle().replace("[*][*]", "[*]"), caption);
}

void TestControlRegistry::registriesKeepEverySlot()
{
    Desk desk;
    ControlRegistry &registry = desk.frame->registry();
    QCOMPARE(registry.SliderForms(), (QList<frmSlider *>{nullptr, nullptr}));
    QCOMPARE(registry.PresetForms(), (QList<frmPresets *>{nullptr, nullptr}));
    QCOMPARE(registry.AddFormSlot(ControlRegistry::Slider), 2);
    QCOMPARE(registry.AddFormSlot(ControlRegistry::Slider), 3);
    QCOMPARE(registry.AddFormSlot(ControlRegistry::Preset), 2);

    auto *first = static_cast<frmSlider *>(registry.ShowNewControl(ControlRegistry::Slider, 1, "a"));
    QCOMPARE(registry.SliderForms().indexOf(first), 4);
    first->cmdClose_Slider_Click();
    // A closed window keeps its slot and is never reused; a new one takes a new slot.
    auto *second = static_cast<frmSlider *>(registry.ShowNewControl(ControlRegistry::Slider, 2, "b"));
    QCOMPARE(registry.SliderForms().indexOf(first), 4);
    QCOMPARE(registry.SliderForms().indexOf(second), 5);
    QVERIFY(windowOf(first)->isHidden());
    QCOMPARE(registry.PresetForms().size(), 3);
}

void TestControlRegistry::placementAlongTheTop()
{
    Desk desk;
    desk.frame->show();
    ControlRegistry &registry = desk.frame->registry();
    QWidget *a = registry.ShowNewControl(ControlRegistry::Slider, 1, "a");
    QCOMPARE(windowOf(a)->pos(), QPoint(0, 0));
    const int width = windowOf(a)->frameGeometry().width();
    QCOMPARE(registry.NextLeft(), width * 12);
    QCOMPARE(desk.frame->mdiArea()->activeSubWindow(), windowOf(a));

    QWidget *b = registry.ShowNewControl(ControlRegistry::Preset, 2, "b");
    QCOMPARE(windowOf(b)->pos(), QPoint(width, 0));
    // Closing leaves its gap; the next window goes on to the right.
    static_cast<frmPresets *>(b)->cmdClose_Preset_Click();
    QWidget *c = registry.ShowNewControl(ControlRegistry::Slider, 3, "c");
    QCOMPARE(windowOf(c)->pos(), QPoint(width + windowOf(b)->frameGeometry().width(), 0));
    // Sliders and presets share the offset but not the registries.
    QCOMPARE(registry.SliderForms().size(), 4);
    QCOMPARE(registry.PresetForms().size(), 3);

    // A fixed border: the window cannot be resized.
    QCOMPARE(windowOf(a)->minimumSize(), windowOf(a)->maximumSize());
    QVERIFY(!(windowOf(a)->windowFlags() & Qt::WindowSystemMenuHint));
    QVERIFY(!(windowOf(a)->windowFlags() & Qt::WindowCloseButtonHint));
}

void TestControlRegistry::placementNeverWraps()
{
    Desk desk;
    desk.frame->show();
    ControlRegistry &registry = desk.frame->registry();
    QMdiArea *area = desk.frame->mdiArea();
    int previousRight = -1;
    for (int i = 0; i < 60; ++i) {
        QWidget *w = registry.ShowNewControl(ControlRegistry::Slider, 1 + i % 112, "w");
        QCoreApplication::processEvents();
        // In workspace coordinates the windows keep going right, past the old 16-bit limit.
        const int left = windowOf(w)->x() + area->horizontalScrollBar()->value();
        QVERIFY2(left > previousRight - 1, qPrintable(QString::number(i)));
        previousRight = left + windowOf(w)->width();
        // The workspace scrolls to the newest window.
        QVERIFY(area->viewport()->rect().contains(windowOf(w)->geometry()));
    }
    QVERIFY(registry.NextLeft() > 32767);
}

void TestControlRegistry::shortcutsFromAChildWindow()
{
    Desk desk;
    desk.frame->show();
    desk.frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
    auto *slider = static_cast<frmSlider *>(
            desk.frame->registry().ShowNewControl(ControlRegistry::Slider, 9, "x"));
    slider->vscSlide()->setFocus();
    desk.dialogs.inputAnswers = {"10", "ten"};
    QTest::keyClick(slider->vscSlide(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(desk.frame->registry().SliderForms().size(), 4);
    QCOMPARE(desk.frame->registry().SliderForms().last()->Tag(), QStringLiteral("10"));

    desk.dialogs.inputAnswers = {"11", "eleven"};
    desk.frame->registry().showPresetDetails = [](Preset_Details &d) { d.OK_Button_Click(); };
    QTest::keyClick(desk.frame->registry().SliderForms().last()->vscSlide(), Qt::Key_P,
                    Qt::ControlModifier);
    QCOMPARE(desk.frame->registry().PresetForms().size(), 3);
    QCOMPARE(desk.frame->registry().PresetForms().last()->Tag(), QStringLiteral("11"));
}

void TestControlRegistry::realInputDialogs()
{
    QtDialogs dialogs;
    PtyPorts ports;
    MDIForm1 frame(dialogs, ports.map());
    dialogs.setParentWidget(&frame);
    QVERIFY(frame.MDIForm_Load());
    frame.show();

    QString label, title, selected, nameDefault;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        label = dialog->labelText();
        title = dialog->windowTitle();
        auto *edit = dialog->findChild<QLineEdit *>();
        selected = edit->selectedText();
        // Typing replaces the selected default.
        QTest::keyClicks(edit, "7");
        QTimer::singleShot(0, [&] {
            auto *names = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            QVERIFY(names);
            nameDefault = names->textValue();
            names->accept();
        });
        dialog->accept();
    });
    frame.mnuNew_Slider_Click();
    QCOMPARE(label, QStringLiteral("Please enter the value of the channel\nthat you wish to "
                                   "control with this slider"));
    QCOMPARE(title, QStringLiteral("Lumidesk"));
    QCOMPARE(selected, QStringLiteral("0"));
    QCOMPARE(nameDefault, QStringLiteral("Ch: 7"));
    QCOMPARE(frame.registry().SliderForms().last()->Tag(), QStringLiteral("7"));
    QCOMPARE(windowOf(frame.registry().SliderForms().last())->windowTitle(),
             QStringLiteral("Ch: 7"));
}

QTEST_MAIN(TestControlRegistry)
#include "tst_controlregistry.moc"
