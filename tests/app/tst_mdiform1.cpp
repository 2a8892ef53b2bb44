// The main frame: start-up fallback, port selector and lamp, exit, and its layout.
#include "app/qtdialogs.h"
#include "app/svgimage.h"
#include "controls/controlregistry.h"
#include "controls/frmslider.h"
#include "support/desk.h"

#include <QAbstractButton>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using Icon = Dialogs::Icon;

class TestMDIForm1 : public QObject
{
    Q_OBJECT

private slots:
    void startupFallback_data();
    void startupFallback();
    void noPortAtStartupEndsTheProgram();
    void openComClosesAnOpenPortFirst();
    void portButtonsAndLamp();
    void unopenablePortKeepsTheProgram_data();
    void unopenablePortKeepsTheProgram();
    void lostLine();
    void badLevelIsRefusedWithAWarning();
    void exitQuestion_data();
    void exitQuestion();
    void closeBoxEndsWithoutAsking();
    void realExitBox();
    void realFatalBox();
    void toolbarLayout();
    void menus();
};

void TestMDIForm1::startupFallback_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("held");
    QTest::addColumn<int>("opened");

    QTest::newRow("COM1 free") << "" << "" << 1;
    QTest::newRow("COM1 missing, COM2 held") << "1" << "2" << 3;
    QTest::newRow("COM1 held, COM2 and COM3 missing") << "23" << "1" << 4;
}

void TestMDIForm1::startupFallback()
{
    QFETCH(QString, missing);
    QFETCH(QString, held);
    QFETCH(int, opened);
    Desk desk(false);
    for (QChar c : missing)
        desk.ports.makeMissing(c.digitValue());
    for (QChar c : held)
        desk.ports.hold(c.digitValue());
    QVERIFY(desk.frame->MDIForm_Load());

    QCOMPARE(desk.checkedPort(), opened);
    QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    QVERIFY(desk.dialogs.shown.isEmpty());
    // The link really is on that port.
    desk.frame->SendChannelFrame("12", "200");
    QCOMPARE(readBytes(desk.ports.pty(opened), 2).toHex(), QByteArray("0cc8"));
}

void TestMDIForm1::noPortAtStartupEndsTheProgram()
{
    Desk desk(false);
    desk.ports.makeMissing(1);
    desk.ports.hold(2);
    desk.ports.makeMissing(3);
    desk.ports.hold(4);
    // COM5 is free, but start-up never tries it.
    QVERIFY(!desk.frame->MDIForm_Load());

    QCOMPARE(desk.dialogs.shown.size(), 1);
    const FakeDialogs::Shown box = desk.dialogs.shown.first();
    QCOMPARE(box.text, QStringLiteral("A valid COM port cannot be found"));
    QCOMPARE(box.title, QStringLiteral("Fatal Error"));
    QCOMPARE(box.icon, Icon::Critical);
    // The detail says what each port answered, so that the operator learns why.
    const QStringList detail = box.detail.split('\n');
    QCOMPARE(detail.size(), 4);
    QVERIFY(detail[0].startsWith("COM1: there is no such device"));
    QVERIFY(detail[1].startsWith("COM2: ") && detail[1].contains("in use by another program"));
    QVERIFY(detail[3].startsWith("COM4: "));
    QCOMPARE(desk.dialogs.endings, QList<int>{1});
    // Nothing after the ending: no button pressed, no lamp lit, no port open.
    QCOMPARE(desk.checkedPort(), 0);
    QCOMPARE(desk.lamp(), QStringLiteral("unlit"));
    QVERIFY(!desk.frame->MSComm1().portOpen());
}

void TestMDIForm1::openComClosesAnOpenPortFirst()
{
    Desk desk;
    desk.frame->optCommSelect_Click(2);
    QVERIFY(desk.frame->MSComm1().portOpen());
    // Without closing first, COM1's attempt would find the link still open on COM2.
    QCOMPARE(desk.frame->OpenCOM(1), std::optional<int>(1));
    desk.frame->SendChannelFrame("1", "1");
    QCOMPARE(readBytes(desk.ports.pty(1), 2).toHex(), QByteArray("0101"));
    QVERIFY(desk.ports.pty(2).read(1, 50).isEmpty());
}

void TestMDIForm1::portButtonsAndLamp()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    // The lamp twice: closed, then the same port open again.
    frame.imgConnection_Status_Click(1);
    QCOMPARE(desk.lamp(), QStringLiteral("unlit"));
    QVERIFY(!frame.MSComm1().portOpen());
    QCOMPARE(desk.checkedPort(), 1);
    frame.SendChannelFrame("1", "50");
    QVERIFY(desk.ports.pty(1).read(1, 50).isEmpty());
    frame.imgConnection_Status_Click(0);
    QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    frame.SendChannelFrame("1", "51");
    QCOMPARE(readBytes(desk.ports.pty(1), 2).toHex(), QByteArray("0133"));

    // Closed by the lamp, then another port's button: that port opens, the lamp lights.
    frame.imgConnection_Status_Click(1);
    QTest::mouseClick(frame.optCommSelect(4), Qt::LeftButton);
    QCOMPARE(desk.checkedPort(), 4);
    QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    frame.SendChannelFrame("4", "4");
    QCOMPARE(readBytes(desk.ports.pty(4), 2).toHex(), QByteArray("0404"));

    // The button already down reconnects: closed by the lamp, pressed again, open again.
    frame.imgConnection_Status_Click(1);
    QTest::mouseClick(frame.optCommSelect(4), Qt::LeftButton);
    QCOMPARE(desk.checkedPort(), 4);
    QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    QVERIFY(frame.MSComm1().portOpen());
    QVERIFY(desk.dialogs.shown.isEmpty());
}

void TestMDIForm1::unopenablePortKeepsTheProgram_data()
{
    QTest::addColumn<bool>("byLamp");
    QTest::addColumn<bool>("held");
    QTest::newRow("missing port by button") << false << false;
    QTest::newRow("held port by button") << false << true;
    QTest::newRow("missing port by lamp") << true << false;
}

void TestMDIForm1::unopenablePortKeepsTheProgram()
{
    QFETCH(bool, byLamp);
    QFETCH(bool, held);
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    frame.registry().ShowNewControl(ControlRegistry::Slider, 5, "kept");
    if (byLamp) {
        frame.imgConnection_Status_Click(1);
        desk.ports.makeMissing(1);
        frame.imgConnection_Status_Click(0);
    } else {
        held ? desk.ports.hold(5) : desk.ports.makeMissing(5);
        QTest::mouseClick(frame.optCommSelect(5), Qt::LeftButton);
    }
    const int port = byLamp ? 1 : 5;
    QCOMPARE(desk.dialogs.shown.size(), 1);
    const FakeDialogs::Shown box = desk.dialogs.shown.first();
    QCOMPARE(box.icon, Icon::Critical);
    QCOMPARE(box.title, QStringLiteral("Lumidesk"));
    const QString expected = held ? QStringLiteral("COM5 cannot be opened: %1 is in use by "
                                                   "another program")
                                            .arg(desk.ports.pty(5).slavePath())
                                  : QStringLiteral("COM%1 cannot be opened: there is no such "
                                                   "device (/dev/lumidesk-test-missing-%1)")
                                            .arg(port);
    QVERIFY2(box.text.startsWith(expected), qPrintable(box.text));
    QVERIFY(desk.dialogs.endings.isEmpty());
    QCOMPARE(desk.lamp(), QStringLiteral("unlit"));
    QCOMPARE(desk.checkedPort(), port);
    QVERIFY(!frame.MSComm1().portOpen());
    // Everything else stays: the operator's window is still there.
    QCOMPARE(frame.registry().SliderForms().size(), 3);
    QVERIFY(frame.registry().SliderForms()[2]->parentWidget()->isVisibleTo(frame.mdiArea()));

    // Once the port can be had, the lamp retries the port whose button is down.
    held ? desk.ports.release(5) : desk.ports.restore(port);
    frame.imgConnection_Status_Click(0);
    QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    frame.SendChannelFrame("9", "9");
    QCOMPARE(readBytes(desk.ports.pty(port), 2).toHex(), QByteArray("0909"));
}

void TestMDIForm1::lostLine()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    desk.ports.pty(1).closeMaster();
    frame.SendChannelFrame("1", "10");
    frame.SendChannelFrame("1", "11");
    QTRY_COMPARE(desk.dialogs.shown.size(), 1);
    QTest::qWait(50);
    QCOMPARE(desk.dialogs.shown.size(), 1);
    const FakeDialogs::Shown box = desk.dialogs.shown.first();
    QCOMPARE(box.icon, Icon::Critical);
    QCOMPARE(box.title, QStringLiteral("Lumidesk"));
    QVERIFY2(box.text.startsWith("COM1 was lost: "), qPrintable(box.text));
    QCOMPARE(desk.lamp(), QStringLiteral("unlit"));
    QVERIFY(desk.dialogs.endings.isEmpty());

    // Plugged back in at the same number, the lamp reopens it.
    desk.ports.replug(1);
    frame.imgConnection_Status_Click(0);
    QCOMPARE(desk.lamp(), QStringLiteral("lit"));
    frame.SendChannelFrame("1", "12");
    QCOMPARE(readBytes(desk.ports.pty(1), 2).toHex(), QByteArray("010c"));
}

void TestMDIForm1::badLevelIsRefusedWithAWarning()
{
    Desk desk;
    desk.frame->SendChannelFrame("3", "300");
    desk.frame->SendChannelFrame("x7", "3");
    const QList<FakeDialogs::Shown> boxes = desk.dialogs.messages();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0].text,
             QStringLiteral("The level \"300\" cannot be sent: it must be a number from 0 to 255."));
    QCOMPARE(boxes[0].icon, Icon::Exclamation);
    QCOMPARE(boxes[0].title, QStringLiteral("Lumidesk"));
    QCOMPARE(boxes[1].text,
             QStringLiteral("The channel \"x7\" cannot be sent: it must be a number from 0 to "
                            "255."));
    QVERIFY(desk.ports.pty(1).read(1, 50).isEmpty());
    QVERIFY(desk.dialogs.endings.isEmpty());
}

void TestMDIForm1::exitQuestion_data()
{
    QTest::addColumn<bool>("fromMenu");
    QTest::addColumn<bool>("yes");
    QTest::newRow("toolbar, No") << false << false;
    QTest::newRow("toolbar, Yes") << false << true;
    QTest::newRow("menu, No") << true << false;
    QTest::newRow("menu, Yes") << true << true;
}

void TestMDIForm1::exitQuestion()
{
    QFETCH(bool, fromMenu);
    QFETCH(bool, yes);
    Desk desk;
    desk.dialogs.yesNoAnswers = {yes};
    if (fromMenu)
        desk.frame->findChild<QAction *>("mnuExit")->trigger();
    else
        QTest::mouseClick(desk.frame->cmdExit(), Qt::LeftButton);

    QCOMPARE(desk.dialogs.shown.size(), 1);
    QCOMPARE(desk.dialogs.shown.first().kind, FakeDialogs::Shown::Question);
    QCOMPARE(desk.dialogs.shown.first().title, QStringLiteral("Exit?"));
    QCOMPARE(desk.dialogs.shown.first().text, QStringLiteral("Please confirm that you wish to exit"));
    QCOMPARE(desk.dialogs.endings, yes ? QList<int>{0} : QList<int>{});
    // Yes releases the port before the end; No leaves it open.
    QCOMPARE(desk.frame->MSComm1().portOpen(), !yes);
}

void TestMDIForm1::closeBoxEndsWithoutAsking()
{
    Desk desk;
    desk.frame->show();
    desk.frame->close();
    QVERIFY(desk.dialogs.shown.isEmpty());
    QCOMPARE(desk.dialogs.endings, QList<int>{0});
    QVERIFY(!desk.frame->MSComm1().portOpen());
}

namespace {

class ObservedQtDialogs : public QtDialogs
{
public:
    QList<int> endings;
    void endProgram(int exitCode) override { endings.append(exitCode); }
};

struct BoxSeen
{
    QString title, text, detail;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool yesIsDefault = false;
    qsizetype buttons = 0;
};

// Once the next real message box is up, notes what it shows and presses `answer`.
void answerNextBox(BoxSeen *seen, QMessageBox::StandardButton answer)
{
    QTimer::singleShot(0, [seen, answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->detail = box->informativeText();
        seen->icon = box->icon();
        seen->buttons = box->buttons().size();
        seen->yesIsDefault = box->defaultButton()
                && static_cast<QAbstractButton *>(box->defaultButton())
                        == box->button(QMessageBox::Yes);
        box->button(answer)->click();
    });
}

} // namespace

void TestMDIForm1::realExitBox()
{
    ObservedQtDialogs dialogs;
    PtyPorts ports;
    MDIForm1 frame(dialogs, ports.map());
    dialogs.setParentWidget(&frame);
    QVERIFY(frame.MDIForm_Load());
    frame.show();

    for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
        BoxSeen box;
        answerNextBox(&box, answer);
        frame.cmdExit_Click();
        QCOMPARE(box.title, QStringLiteral("Exit?"));
        QCOMPARE(box.text, QStringLiteral("Please confirm that you wish to exit"));
        QCOMPARE(box.icon, QMessageBox::Question);
        QVERIFY(box.yesIsDefault);
        QCOMPARE(frame.MSComm1().portOpen(), answer == QMessageBox::No);
    }
    QCOMPARE(dialogs.endings, QList<int>{0});
}

void TestMDIForm1::realFatalBox()
{
    ObservedQtDialogs dialogs;
    PtyPorts ports;
    for (int n = 1; n <= 4; ++n)
        ports.makeMissing(n);
    MDIForm1 frame(dialogs, ports.map());
    dialogs.setParentWidget(&frame);
    BoxSeen box;
    answerNextBox(&box, QMessageBox::Ok);
    QVERIFY(!frame.MDIForm_Load());
    QCOMPARE(box.title, QStringLiteral("Fatal Error"));
    QCOMPARE(box.text, QStringLiteral("A valid COM port cannot be found"));
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.buttons, 1);
    QVERIFY2(box.detail.startsWith("COM1: there is no such device"), qPrintable(box.detail));
    QVERIFY(box.detail.contains("COM4: "));
    QCOMPARE(dialogs.endings, QList<int>{1});
}

void TestMDIForm1::toolbarLayout()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    frame.show();
    QCOMPARE(frame.windowTitle(), QStringLiteral("Lumidesk"));
    QCOMPARE(frame.centralWidget()->size(), QSize(797, 640));
    QCOMPARE(frame.Picture1()->height(), 30);
    for (int n = 1; n <= 5; ++n) {
        QAbstractButton *button = frame.optCommSelect(n);
        QCOMPARE(button->geometry(), QRect(qRound(375 * (n - 1) / 12.0), 0, 31, 31));
        QCOMPARE(button->text(), QString::number(n));
        QCOMPARE(button->toolTip(), QStringLiteral("Use COM%1 to send data").arg(n));
        QVERIFY(button->font().bold());
        QCOMPARE(button->font().pointSizeF(), 7.8);
        QCOMPARE(button->accessibleName(), QStringLiteral("COM%1").arg(n));
        QCOMPARE(button->focusPolicy(), Qt::StrongFocus);
    }
    QCOMPARE(frame.imgConnection_Status(0)->accessibleName(), QStringLiteral("COM port closed"));
    QCOMPARE(frame.imgConnection_Status(1)->accessibleName(), QStringLiteral("COM port open"));
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(frame.imgConnection_Status(i)->geometry(), QRect(156, -4, 32, 32));
        QCOMPARE(frame.imgConnection_Status(i)->toolTip(),
                 QStringLiteral("Toggle the COM port status (open/closed)"));
    }
    QCOMPARE(frame.cmdExit()->toolTip(), QStringLiteral("Exit Application"));
    QVERIFY(!frame.cmdHelp()->toolTip().isEmpty());
    // Help and Exit sit at 2520 and 2880 twips in the strip, inside Frame1.
    QCOMPARE(frame.cmdHelp()->mapTo(frame.Picture1(), QPoint()), QPoint(210, 0));
    QCOMPARE(frame.cmdExit()->mapTo(frame.Picture1(), QPoint()), QPoint(240, 0));
}

void TestMDIForm1::menus()
{
    Desk desk;
    MDIForm1 &frame = *desk.frame;
    QStringList bar;
    for (QAction *action : frame.menuBar()->actions())
        bar << action->text();
    QCOMPARE(bar, (QStringList{"&New", "&Help", "E&xit"}));
    QVERIFY(!frame.findChild<QAction *>("mnuHelp")->menu());
    QVERIFY(!frame.findChild<QAction *>("mnuExit")->menu());
    QCOMPARE(frame.findChild<QAction *>("mnuNew_Slider")->text(), QStringLiteral("&Slider"));
    QCOMPARE(frame.findChild<QAction *>("mnuNew_Slider")->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(frame.findChild<QAction *>("mnuNew_Preset")->text(), QStringLiteral("&Preset"));
    QCOMPARE(frame.findChild<QAction *>("mnuNew_Preset")->shortcut(),
             QKeySequence(QStringLiteral("Ctrl+P")));
}

QTEST_MAIN(TestMDIForm1)
#include "tst_mdiform1.moc"
