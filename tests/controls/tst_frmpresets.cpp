// Preset windows and the preset details dialog: copied rows, presses, bad levels, keys.
#include "controls/controlregistry.h"
#include "controls/frmpresets.h"
#include "controls/presetdetails.h"
#include "app/twips.h"
#include "support/desk.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

struct PresetDesk : Desk
{
    Preset_Details &details() { return frame->registry().presetDetails(); }
    frmPresets *add(int channel)
    {
        return static_cast<frmPresets *>(
                frame->registry().ShowNewControl(ControlRegistry::Preset, channel, "p"));
    }
    void fill(const QStringList &names, const QStringList &levels)
    {
        for (int i = 0; i < names.size(); ++i)
            details().Preset_Name(i)->setText(names[i]);
        for (int i = 0; i < levels.size(); ++i)
            details().Preset_Value(i)->setText(levels[i]);
    }
    QByteArray wire(int atLeast) { return readBytes(ports.pty(1), atLeast, 300).toHex(); }
};

} // namespace

class TestFrmPresets : public QObject
{
    Q_OBJECT

private slots:
    void dialogLayoutAndFirstShowing();
    void dialogKeepsItsRowsAndLimitsNames();
    void dialogIgnoresEnterAndEscape();
    void newPresetAsksThenShowsTheDialog();
    void windowFromAnUntouchedDialog();
    void windowKeepsItsOwnCopy();
    void pressesSendOnTheWindowsOwnChannel();
    void keyboard();
};

void TestFrmPresets::dialogLayoutAndFirstShowing()
{
    PresetDesk desk;
    Preset_Details &d = desk.details();
    QCOMPARE(d.windowTitle(), QStringLiteral("Set Presets"));
    QCOMPARE(d.size(), QSize(174, 381));
    QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
    QVERIFY(!(d.windowFlags() & Qt::WindowSystemMenuHint));
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(d.Preset_Name(i)->text(), QString());
        QCOMPARE(d.Preset_Value(i)->text(), QStringLiteral("0"));
        QCOMPARE(d.Preset_Name(i)->geometry(), QRect(20, 30 + 30 * i, 91, 24));
        QCOMPARE(d.Preset_Value(i)->geometry(), QRect(120, 30 + 30 * i, 31, 24));
    }
    QCOMPARE(d.OK_Button()->geometry(), QRect(31, 340, 111, 31));
    QVERIFY(!d.OK_Button()->isDefault());
    QVERIFY(!d.OK_Button()->autoDefault());
}

void TestFrmPresets::dialogKeepsItsRowsAndLimitsNames()
{
    PresetDesk desk;
    desk.frame->show();
    Preset_Details &d = desk.details();
    QTimer::singleShot(0, [&] {
        QCOMPARE(QApplication::activeModalWidget(), &d);
        d.Preset_Name(0)->setFocus();
        QTest::keyClicks(d.Preset_Name(0), "Blackout"); // eight characters
        d.Preset_Value(0)->selectAll();
        QTest::keyClicks(d.Preset_Value(0), "300");
        // The tab key walks name, value, name, value ... then OK.
        QWidget *w = d.Preset_Name(0);
        QWidgetList order;
        for (int i = 0; i < 21; ++i) {
            order << w;
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
        }
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(order[2 * i], d.Preset_Name(i));
            QCOMPARE(order[2 * i + 1], d.Preset_Value(i));
        }
        QCOMPARE(order[20], d.OK_Button());
        QTest::mouseClick(d.OK_Button(), Qt::LeftButton);
    });
    d.exec();
    QVERIFY(d.isHidden());
    QCOMPARE(d.Preset_Name(0)->text(), QStringLiteral("Blackou"));
    QCOMPARE(d.Preset_Value(0)->text(), QStringLiteral("300"));
    // The same instance, rows as they were left.
    QCOMPARE(&desk.details(), &d);
    QTimer::singleShot(0, [&] { d.OK_Button_Click(); });
    d.exec();
    QCOMPARE(d.Preset_Name(0)->text(), QStringLiteral("Blackou"));
}

void TestFrmPresets::dialogIgnoresEnterAndEscape()
{
    PresetDesk desk;
    Preset_Details &d = desk.details();
    bool stillShowing = false;
    QTimer::singleShot(0, [&] {
        d.Preset_Name(3)->setFocus();
        QTest::keyClick(d.Preset_Name(3), Qt::Key_Return);
        QTest::keyClick(d.Preset_Name(3), Qt::Key_Enter);
        QTest::keyClick(d.Preset_Name(3), Qt::Key_Escape);
        d.OK_Button()->setFocus();
        QTest::keyClick(d.OK_Button(), Qt::Key_Return);
        QTest::keyClick(d.OK_Button(), Qt::Key_Escape);
        stillShowing = d.isVisible() && QApplication::activeModalWidget() == &d;
        // Space presses the focused OK, as any button.
        QTest::keyClick(d.OK_Button(), Qt::Key_Space);
    });
    d.exec();
    QVERIFY(stillShowing);
    QVERIFY(d.isHidden());
    // A window manager's close hides it as OK does, the rows kept.
    d.Preset_Name(1)->setText("Warm");
    d.show();
    d.close();
    QVERIFY(d.isHidden());
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.Preset_Name(1)->text(), QStringLiteral("Warm"));
}

void TestFrmPresets::newPresetAsksThenShowsTheDialog()
{
    PresetDesk desk;
    desk.dialogs.inputAnswers = {"abc", "6", std::nullopt};
    int questionsBeforeDialog = -1;
    desk.frame->registry().showPresetDetails = [&](Preset_Details &d) {
        questionsBeforeDialog = int(desk.dialogs.shown.size());
        d.Preset_Name(0)->setText("Full");
        d.Preset_Value(0)->setText("255");
        d.OK_Button_Click();
    };
    desk.frame->findChild<QAction *>("mnuNew_Preset")->trigger();
    QCOMPARE(questionsBeforeDialog, 4); // channel, warning, channel, name
    QCOMPARE(desk.dialogs.shown[0].text,
             QStringLiteral("Please enter the value of the channel\rthat you wish to control "
                            "with these Presets."));
    QCOMPARE(desk.dialogs.shown[3].defaultAnswer, QStringLiteral("Ch: 6"));
    frmPresets *p = desk.frame->registry().PresetForms().last();
    QCOMPARE(p->Tag(), QStringLiteral("6"));
    QCOMPARE(windowOf(p)->windowTitle(), QString());
    QCOMPARE(p->cmdPresets(0)->text(), QStringLiteral("Full"));
    QCOMPARE(desk.frame->mdiArea()->activeSubWindow(), windowOf(p));
}

void TestFrmPresets::windowFromAnUntouchedDialog()
{
    PresetDesk desk;
    frmPresets *p = desk.add(8);
    QCOMPARE(p->size(), QSize(116, 457));
    QCOMPARE(p->cmdPresets(0)->geometry(), QRect(9, 10, 101, 31));
    for (int i = 1; i < 10; ++i)
        QCOMPARE(p->cmdPresets(i)->geometry(), QRect(6, twips(615 + 495 * (i - 1)), 101, 31));
    QCOMPARE(p->cmdClose_Preset()->geometry(), QRect(31, 430, 51, 21));
    QByteArray expected;
    for (int i = 0; i < 10; ++i) {
        QCOMPARE(p->cmdPresets(i)->text(), QString());
        QTest::mouseClick(p->cmdPresets(i), Qt::LeftButton);
        expected += "0800";
    }
    QCOMPARE(desk.wire(21), expected);
}

void TestFrmPresets::windowKeepsItsOwnCopy()
{
    PresetDesk desk;
    desk.fill({"&Wash", "", "Half"}, {"200", "17", "127.5"});
    frmPresets *first = desk.add(1);
    frmPresets *twin = desk.add(2);
    desk.fill({"Other"}, {"1"});
    frmPresets *later = desk.add(3);
    for (frmPresets *p : {first, twin}) {
        QCOMPARE(p->cmdPresets(0)->text(), QStringLiteral("&Wash"));
        QCOMPARE(p->cmdPresets(1)->text(), QString());
        QCOMPARE(p->lblPresets_Val(0), QStringLiteral("200"));
        QCOMPARE(p->lblPresets_Val(1), QStringLiteral("17"));
        QCOMPARE(p->lblPresets_Val(2), QStringLiteral("127.5"));
    }
    QCOMPARE(later->cmdPresets(0)->text(), QStringLiteral("Other"));
    QCOMPARE(later->cmdPresets(2)->text(), QStringLiteral("Half"));
    // A button without a name still sends its level; halves round to even.
    QTest::mouseClick(first->cmdPresets(1), Qt::LeftButton);
    QTest::mouseClick(first->cmdPresets(2), Qt::LeftButton);
    QCOMPARE(desk.wire(5), QByteArray("01110180"));
}

void TestFrmPresets::pressesSendOnTheWindowsOwnChannel()
{
    PresetDesk desk;
    desk.fill({}, {"10", "20"});
    frmPresets *a = desk.add(40);
    frmPresets *b = desk.add(41);
    QCOMPARE(desk.frame->mdiArea()->activeSubWindow(), windowOf(b));
    // A was not active: its press still carries its own channel. The same button twice
    // sends twice.
    a->cmdPresets_Click(1);
    a->cmdPresets_Click(1);
    b->cmdPresets_Click(0);
    QCOMPARE(desk.wire(7), QByteArray("2814" "2814" "290a"));
    // Close hides the window it belongs to, not the active one.
    a->cmdClose_Preset_Click();
    QVERIFY(windowOf(a)->isHidden());
    QVERIFY(!windowOf(b)->isHidden());
}

void TestFrmPresets::keyboard()
{
    PresetDesk desk;
    desk.frame->show();
    desk.frame->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(desk.frame.get()));
    desk.fill({"One", "&Two", "Three"}, {"1", "2", "3"});
    frmPresets *p = desk.add(9);
    p->cmdPresets(0)->setFocus();
    QTest::keyClick(p->cmdPresets(0), Qt::Key_Space);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), p->cmdPresets(1));
    QTest::keyClick(p->cmdPresets(1), Qt::Key_Return);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClick(p->cmdPresets(2), Qt::Key_Enter);
    // The access key from the ampersand.
    QTest::keyClick(p, Qt::Key_T, Qt::AltModifier);
    QCOMPARE(desk.wire(9), QByteArray("0901" "0902" "0903" "0902"));
}

QTEST_MAIN(TestFrmPresets)
#include "tst_frmpresets.moc"
