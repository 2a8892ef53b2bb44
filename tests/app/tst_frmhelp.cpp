// The instructions window: modal, one shared instance, its texts, and how it is dismissed.
#include "support/desk.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

class TestFrmHelp : public QObject
{
    Q_OBJECT

private slots:
    void texts();
    void modalAndShared_data();
    void modalAndShared();
};

void TestFrmHelp::texts()
{
    frmHelp help;
    QCOMPARE(help.windowTitle(), QStringLiteral("Instructions"));
    QCOMPARE(help.size(), QSize(504, 336));
    QVERIFY(!(help.windowFlags() & Qt::WindowCloseButtonHint));
    auto *frame = help.findChild<QGroupBox *>("Frame1");
    QCOMPARE(frame->title(), QStringLiteral("Lumidesk"));
    QVERIFY(frame->font().bold());
    QCOMPARE(frame->font().pointSizeF(), 13.8);
    const auto text = [&](const char *name) {
        return help.findChild<QLabel *>(QString::fromLatin1(name))->text();
    };
    QCOMPARE(text("Label1"),
             QStringLiteral("This program is designed to control the Serilume card from Brackwater."));
    QCOMPARE(text("Label2"),
             QStringLiteral("The 5 numbered buttons in the toolbar are for selecting which COM port "
                            "you have connected your card to. If you select an invalid port (one "
                            "that is already in use, or does not exist) the program will tell you "
                            "and leave the port closed. "));
    QCOMPARE(text("Label3"),
             QStringLiteral("The indicator beside these buttons shows the status of the COM port "
                            "that has been selected, and by clicking this indicator you can open "
                            "and close the port."));
    QCOMPARE(text("Label4"),
             QStringLiteral("You can add new Sliders and Presets with the 'New' Menu item. Enter "
                            "the channel number, and in the case of presets, the button values, and "
                            "arrange the controls as you wish!"));
    QCOMPARE(text("Label5"), QStringLiteral("Shortcuts"));
    QVERIFY(help.findChild<QLabel *>("Label5")->font().bold());
    QVERIFY(!help.findChild<QLabel *>("Label1")->font().bold());
    QCOMPARE(text("Label6"), QStringLiteral("Ctrl+S: New Slider"));
    QCOMPARE(text("Label7"), QStringLiteral("Ctrl+P: New Preset"));
    QVERIFY(text("Label9").startsWith("For further assistance or info, contact "));
    QVERIFY(text("Label9").contains('@'));
    QVERIFY(text("Label8").contains("Lumidesk"));
    QCOMPARE(help.cmdOK()->text(), QStringLiteral("OK"));
    QVERIFY(help.cmdOK()->font().bold());
}

void TestFrmHelp::modalAndShared_data()
{
    QTest::addColumn<int>("key"); // 0: a click on OK
    QTest::newRow("OK") << 0;
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("Escape") << int(Qt::Key_Escape);
}

void TestFrmHelp::modalAndShared()
{
    QFETCH(int, key);
    Desk desk;
    desk.frame->show();
    frmHelp *first = nullptr;
    bool frameBlocked = false;
    QPoint centreOffset;
    QTimer::singleShot(0, [&] {
        first = qobject_cast<frmHelp *>(QApplication::activeModalWidget());
        QVERIFY(first);
        // While it shows, the frame and its windows take no input.
        frameBlocked = QApplication::activeModalWidget() == first && first->isModal()
                && desk.frame->isEnabled() && !desk.frame->isActiveWindow();
        centreOffset = first->frameGeometry().center() - desk.frame->frameGeometry().center();
        if (key == 0)
            QTest::mouseClick(first->cmdOK(), Qt::LeftButton);
        else
            QTest::keyClick(first, Qt::Key(key));
    });
    QTest::mouseClick(desk.frame->cmdHelp(), Qt::LeftButton);
    QVERIFY(first);
    QVERIFY(frameBlocked);
    QVERIFY(first->isHidden());
    // Within the few pixels a frame decoration added on showing can shift it.
    QVERIFY2(qAbs(centreOffset.x()) <= 3 && qAbs(centreOffset.y()) <= 3,
             qPrintable(QStringLiteral("%1,%2").arg(centreOffset.x()).arg(centreOffset.y())));

    // The Help menu shows the same window again.
    frmHelp *second = nullptr;
    QTimer::singleShot(0, [&] {
        second = qobject_cast<frmHelp *>(QApplication::activeModalWidget());
        if (second)
            second->cmdOK_Click();
    });
    desk.frame->findChild<QAction *>("mnuHelp")->trigger();
    QCOMPARE(second, first);
    QCOMPARE(desk.frame->helpWindow(), first);
}

QTEST_MAIN(TestFrmHelp)
#include "tst_frmhelp.moc"
