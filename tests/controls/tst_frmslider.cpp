// The slider window: its layout, its 50 ms cadence, and the bytes it puts on the line.
#include "controls/controlregistry.h"
#include "controls/frmslider.h"
#include "support/desk.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

namespace {

// Comfortably past one tick, not a timing requirement.
constexpr int kAfterTick = 120;

struct SliderDesk : Desk
{
    frmSlider *add(int channel)
    {
        auto *slider = static_cast<frmSlider *>(
                frame->registry().ShowNewControl(ControlRegistry::Slider, channel, "s"));
        return slider;
    }
    // Asking for one byte more than a frame also shows that nothing else followed it.
    QByteArray wire(int atLeast = 2)
    {
        return readBytes(ports.pty(1), atLeast, atLeast > 2 ? 300 : 1000).toHex();
    }
    QByteArray quiet() { return ports.pty(1).read(1, kAfterTick).toHex(); }
};

} // namespace

class TestFrmSlider : public QObject
{
    Q_OBJECT

private slots:
    void layout();
    void sendsNothingUntilMoved();
    void topAndBottom();
    void keys_data();
    void keys();
    void oneFramePerTickWithTheLastPosition();
    void closedPortFollowsButSendsNothing();
    void eachSliderSendsItsOwnChannel();
    void wheelMovesTheSliderUnderThePointer();
    void closeHidesItsOwnWindow();
    void idleSlidersStopTheTicker();
};

void TestFrmSlider::layout()
{
    SliderDesk desk;
    frmSlider *s = desk.add(7);
    QCOMPARE(s->size(), QSize(64, 526));
    QCOMPARE(s->vscSlide()->geometry(), QRect(11, 10, 41, 441));
    QCOMPARE(s->lblValue()->geometry(), QRect(11, 460, 41, 21));
    QCOMPARE(s->cmdClose_Slider()->geometry(), QRect(6, 490, 51, 21));
    QCOMPARE(s->cmdClose_Slider()->text(), QStringLiteral("Close"));
    QCOMPARE(s->lblValue()->text(), QStringLiteral("0"));
    QCOMPARE(s->vscSlide()->value(), 0);
    QCOMPARE(s->vscSlide()->singleStep(), 1);
    QCOMPARE(s->vscSlide()->pageStep(), 1);
    // 255 at the top: the thumb of a new slider is at the bottom.
    QVERIFY(s->vscSlide()->invertedAppearance());
    QCOMPARE(s->vscSlide()->maximum(), 255);
    QCOMPARE(s->vscSlide()->minimum(), 0);
    QCOMPARE(s->lblValue()->alignment(), Qt::AlignCenter);
    QCOMPARE(s->vscSlide()->accessibleName(), QStringLiteral("Channel 7 level"));
}

void TestFrmSlider::sendsNothingUntilMoved()
{
    SliderDesk desk;
    desk.add(7);
    QCOMPARE(desk.quiet(), QByteArray());
}

void TestFrmSlider::topAndBottom()
{
    SliderDesk desk;
    frmSlider *s = desk.add(112);
    s->vscSlide()->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(desk.wire(), QByteArray("70ff"));
    QCOMPARE(s->lblValue()->text(), QStringLiteral("255"));
    s->vscSlide()->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(desk.wire(), QByteArray("7000"));
    QCOMPARE(s->lblValue()->text(), QStringLiteral("0"));
}

void TestFrmSlider::keys_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("value");
    QTest::newRow("Up") << 10 << int(Qt::Key_Up) << 11;
    QTest::newRow("Down") << 10 << int(Qt::Key_Down) << 9;
    QTest::newRow("Page Up") << 10 << int(Qt::Key_PageUp) << 11;
    QTest::newRow("Page Down") << 10 << int(Qt::Key_PageDown) << 9;
    QTest::newRow("Home") << 10 << int(Qt::Key_Home) << 255;
    QTest::newRow("End") << 10 << int(Qt::Key_End) << 0;
    QTest::newRow("Up at the top") << 255 << int(Qt::Key_Up) << 255;
    QTest::newRow("Down at the bottom") << 0 << int(Qt::Key_Down) << 0;
}

void TestFrmSlider::keys()
{
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, value);
    SliderDesk desk;
    frmSlider *s = desk.add(3);
    if (start != 0) {
        s->vscSlide()->setValue(start);
        QCOMPARE(desk.wire(), QByteArray::number(3, 16).rightJustified(2, '0')
                                      + QByteArray::number(start, 16).rightJustified(2, '0'));
    }
    QTest::keyClick(s->vscSlide(), Qt::Key(key));
    QCOMPARE(s->vscSlide()->value(), value);
    // Nothing goes out before the tick; one frame at it.
    if (value != start) {
        QCOMPARE(desk.ports.pty(1).drain(), QByteArray());
        QCOMPARE(desk.wire(3), QByteArray("03") + QByteArray::number(value, 16).rightJustified(2, '0'));
    } else {
        QCOMPARE(desk.quiet(), QByteArray());
    }
}

void TestFrmSlider::oneFramePerTickWithTheLastPosition()
{
    SliderDesk desk;
    frmSlider *s = desk.add(9);
    // A fast drag within one tick: only where the thumb is at the tick goes out.
    for (int v = 1; v <= 200; v += 7)
        s->vscSlide()->setValue(v);
    s->vscSlide()->setValue(77);
    QCOMPARE(desk.wire(3), QByteArray("094d"));
    // Back to where the label already is within one tick: the shown value never changed.
    s->vscSlide()->setValue(78);
    s->vscSlide()->setValue(77);
    QCOMPARE(desk.quiet(), QByteArray());
}

void TestFrmSlider::closedPortFollowsButSendsNothing()
{
    SliderDesk desk;
    frmSlider *s = desk.add(4);
    desk.frame->imgConnection_Status_Click(1);
    s->vscSlide()->setValue(99);
    QTRY_COMPARE(s->lblValue()->text(), QStringLiteral("99"));
    QCOMPARE(desk.quiet(), QByteArray());
    // Reopening does not resend the current value.
    desk.frame->imgConnection_Status_Click(0);
    QCOMPARE(desk.quiet(), QByteArray());
    s->vscSlide()->setValue(100);
    QCOMPARE(desk.wire(), QByteArray("0464"));
}

void TestFrmSlider::eachSliderSendsItsOwnChannel()
{
    SliderDesk desk;
    frmSlider *a = desk.add(10);
    frmSlider *b = desk.add(20);
    QMdiArea *area = desk.frame->mdiArea();
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(a->parentWidget()));
    a->vscSlide()->setValue(1);
    QCOMPARE(desk.wire(), QByteArray("0a01"));
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(b->parentWidget()));
    b->vscSlide()->setValue(2);
    QCOMPARE(desk.wire(), QByteArray("1402"));

    // The operator moves A and at once clicks into B, before A's tick: still A's channel.
    a->vscSlide()->setValue(3);
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow *>(b->parentWidget()));
    QCOMPARE(area->activeSubWindow()->widget(), b);
    QCOMPARE(desk.wire(), QByteArray("0a03"));
}

void TestFrmSlider::wheelMovesTheSliderUnderThePointer()
{
    SliderDesk desk;
    desk.frame->show();
    frmSlider *a = desk.add(30);
    frmSlider *b = desk.add(31);
    QCOMPARE(desk.frame->mdiArea()->activeSubWindow()->widget(), b);
    // Two notches up over A's scroll bar, one notch down over A's label.
    const QPoint centre = a->vscSlide()->rect().center();
    QWheelEvent up(centre, a->vscSlide()->mapToGlobal(centre), QPoint(), QPoint(0, 240),
                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(a->vscSlide(), &up);
    QCOMPARE(a->vscSlide()->value(), 2);
    QCOMPARE(desk.wire(), QByteArray("1e02"));
    QWheelEvent down(QPoint(5, 5), a->lblValue()->mapToGlobal(QPoint(5, 5)), QPoint(),
                     QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(a->lblValue(), &down);
    QCOMPARE(a->vscSlide()->value(), 1);
    QCOMPARE(desk.wire(), QByteArray("1e01"));
    QCOMPARE(b->vscSlide()->value(), 0);
}

void TestFrmSlider::closeHidesItsOwnWindow()
{
    SliderDesk desk;
    desk.frame->show();
    frmSlider *a = desk.add(1);
    frmSlider *b = desk.add(2);
    QCOMPARE(desk.frame->mdiArea()->activeSubWindow()->widget(), b);
    QTest::mouseClick(a->cmdClose_Slider(), Qt::LeftButton);
    QVERIFY(a->parentWidget()->isHidden());
    QVERIFY(!b->parentWidget()->isHidden());
    QCOMPARE(desk.frame->registry().SliderForms().indexOf(a), 2);
}

void TestFrmSlider::idleSlidersStopTheTicker()
{
    SliderDesk desk;
    frmSlider *s = desk.add(5);
    desk.add(6);
    SliderTicker &ticker = desk.frame->registry().ticker();
    QVERIFY(!ticker.isRunning());
    s->vscSlide()->setValue(50);
    QVERIFY(ticker.isRunning());
    QCOMPARE(desk.wire(), QByteArray("0532"));
    // Once every label has caught up the timer stops: an idle desk never wakes.
    QTRY_VERIFY(!ticker.isRunning());
}

QTEST_MAIN(TestFrmSlider)
#include "tst_frmslider.moc"
