// Whatever the operator types, the program neither crashes nor hangs, and nothing wrong
// reaches the line.
#include "controls/controlregistry.h"
#include "controls/frmpresets.h"
#include "controls/frmslider.h"
#include "controls/presetdetails.h"
#include "support/desk.h"

#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

class TestHostileInput : public QObject
{
    Q_OBJECT

private slots:
    void channelAnswers_data();
    void channelAnswers();
    void names_data();
    void names();
    void levels_data();
    void levels();
};

void TestHostileInput::channelAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("channel"); // 0: warned about and asked again

    const auto row = [](const char *name, const QString &answer, int channel) {
        QTest::newRow(name) << answer << channel;
    };
    row("10,000 nines", QString(10000, u'9'), 0);
    row("10,000 blanks then 5", QString(10000, u' ') + "5", 5);
    row("10,000 letters", QString(10000, u'x'), 0);
    row("5 then 10,000 letters", "5" + QString(10000, u'x'), 5);
    row("10,000 zeros then 7", QString(10000, u'0') + "7", 7);
    row("NUL", QString(QChar(0)), 0);
    row("NUL then 5", QString(QChar(0)) + "5", 0);
    row("5 then NUL", "5" + QString(QChar(0)), 5);
    row("bell", "\a", 0);
    row("escape sequence", "\x1b[31m5", 0);
    row("backspace", "5\b6", 5);
    row("carriage return inside", "1\r2", 1);
    row("line feed inside", "1\n2", 12);
    row("tab inside", "1\t2", 12);
    row("vertical tab", "\v5", 0);
    row("form feed", "\f5", 0);
    row("non-breaking space", QStringLiteral("\u00a05"), 0);
    row("full-width digits", QStringLiteral("\uFF11\uFF12"), 0);
    row("Arabic-Indic digits", QStringLiteral("\u0661\u0662"), 0);
    row("superscript two", QStringLiteral("\u00b2"), 0);
    row("lone surrogate", QString(QChar(0xd800)), 0);
    row("emoji then 5", QStringLiteral("\U0001F4A1") + "5", 0);
    row("1e400", "1e400", 0);
    row("-1e400", "-1e400", 0);
    row("1e-400", "1e-400", 0);
    row("&HFFFFFFFFFFFF", "&HFFFFFFFFFFFF", 0);
    row("&H7FFF", "&H7FFF", 0);
    row("&H0070", "&H0070", 112);
    row("&O777777777777777777777", "&O777777777777777777777", 0);
    row("&H followed by G", "&HG", 0);
    row("--5", "--5", 0);
    row("+-5", "+-5", 0);
    row("+", "+", 0);
    row("-", "-", 0);
    row("&", "&", 0);
    row("&H", "&H", 0);
    row("&O", "&O", 0);
    row("&X5", "&X5", 0);
    row(".", ".", 0);
    row("..5", "..5", 0);
    row("lone blank", " ", 0);
    row("e5", "e5", 0);
    row("5e", "5e", 5);
    row("5e+", "5e+", 5);
    row("5e-0", "5e-0", 5);
    row("1.12e2", "1.12e2", 112);
    row("1.125e2", "1.125e2", 112);
    row("1.13e2", "1.13e2", 0);
    row("1d2", "1d2", 100);
    row("100.5", "100.5", 100);
    row("101.5", "101.5", 102);
    row("0.5000001", "0.5000001", 1);
    row("112.50001", "112.50001", 0);
    row("-0", "-0", 0);
    row("0x10", "0x10", 0);
    row("1,000", "1,000", 1);
    row("1_000", "1_000", 1);
    row("inf", "inf", 0);
    row("nan", "nan", 0);
    row("infinity digits", "1" + QString(400, u'0'), 0);
    row("long fraction", "5." + QString(5000, u'9'), 6);
    row("SQL", "1; DROP TABLE", 1);
    row("format string", "%s%n%x", 0);
    row("percent then number", "%5", 0);
}

void TestHostileInput::channelAnswers()
{
    QFETCH(QString, answer);
    QFETCH(int, channel);
    Desk desk;
    // The hostile answer, then a valid one that ends the loop if it was rejected.
    desk.dialogs.inputAnswers = {answer, "111", "name"};
    desk.frame->mnuNew_Slider_Click();
    QVERIFY(!desk.dialogs.ranOutOfAnswers);
    const bool accepted = channel != 0;
    QCOMPARE(desk.dialogs.messages().size(), accepted ? 0 : 1);
    if (!accepted)
        QCOMPARE(desk.dialogs.messages().first().text,
                 QStringLiteral("A Channel Number from 1 to 112 must be entered"));
    QCOMPARE(desk.frame->registry().SliderForms().size(), 3);
    QCOMPARE(desk.frame->registry().SliderForms().last()->Tag(),
             QString::number(accepted ? channel : 111));
}

void TestHostileInput::names_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("10,000 characters") << QString(10000, u'N');
    QTest::newRow("control characters") << QStringLiteral("a\x01\x02\x1b[2Jb\r\n\t");
    QTest::newRow("NUL inside") << QString::fromUtf16(u"Front\u0000wash", 10);
    QTest::newRow("ampersands") << QStringLiteral("&&&Wash&");
    QTest::newRow("modified placeholder") << QStringLiteral("[*] Spot [*]");
    QTest::newRow("right-to-left mark") << QStringLiteral("\u202eesuoH");
    QTest::newRow("HTML") << QStringLiteral("<b>bold</b><img src=x>");
}

void TestHostileInput::names()
{
    QFETCH(QString, name);
    Desk desk;
    desk.dialogs.inputAnswers = {"7", name};
    desk.frame->mnuNew_Slider_Click();
    frmSlider *slider = desk.frame->registry().SliderForms().last();
    auto *window = qobject_cast<QMdiSubWindow *>(slider->parentWidget());
    // The caption is the name as typed (Qt's own title placeholder escaped).
    QCOMPARE(window->windowTitle().replace("[*][*]", "[*]"), name);
    // The window works as any other.
    slider->vscSlide()->setValue(9);
    QCOMPARE(readBytes(desk.ports.pty(1), 2).toHex(), QByteArray("0709"));

    // As a preset name the dialog keeps seven characters at most, whatever is pasted.
    desk.frame->registry().presetDetails().Preset_Name(0)->insert(name);
    QVERIFY(desk.frame->registry().presetDetails().Preset_Name(0)->text().size() <= 7);
}

void TestHostileInput::levels_data()
{
    QTest::addColumn<QString>("level");
    QTest::addColumn<int>("byte"); // -1: refused with the warning

    QTest::newRow("plain") << "200" << 200;
    QTest::newRow("blanks") << "  17  " << 17;
    QTest::newRow("tab and line feed") << "\t9\n" << 9;
    QTest::newRow("hex") << "&H80" << 128;
    QTest::newRow("half") << "0.5" << 0;
    QTest::newRow("255.4") << "255.4" << 255;
    QTest::newRow("255.5") << "255.5" << -1;
    QTest::newRow("letters") << "abc" << -1;
    QTest::newRow("300") << "300" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("-1") << "-1" << -1;
    QTest::newRow("10,000 digits") << QString(10000, u'1') << -1;
    QTest::newRow("NUL") << QString(QChar(0)) << -1;
    QTest::newRow("NUL after") << "5" + QString(QChar(0)) << -1;
    QTest::newRow("control") << "\x1b" "5" << -1;
    QTest::newRow("full-width") << QStringLiteral("\uFF15") << -1;
    QTest::newRow("1e400") << "1e400" << -1;
    QTest::newRow("--5") << "--5" << -1;
    QTest::newRow("&") << "&" << -1;
    QTest::newRow("inner blank") << "2 5" << -1;
    QTest::newRow("trailing letters") << "12abc" << -1;
}

void TestHostileInput::levels()
{
    QFETCH(QString, level);
    QFETCH(int, byte);
    Desk desk;
    Preset_Details &details = desk.frame->registry().presetDetails();
    details.Preset_Value(0)->setText(level);
    details.Preset_Value(1)->setText("1");
    auto *presets = static_cast<frmPresets *>(
            desk.frame->registry().ShowNewControl(ControlRegistry::Preset, 44, "p"));
    QCOMPARE(presets->lblPresets_Val(0), level);
    presets->cmdPresets_Click(0);
    presets->cmdPresets_Click(1);
    QByteArray expected;
    if (byte >= 0)
        expected += QByteArray::fromHex("2c") + char(byte);
    expected += QByteArray::fromHex("2c01");
    QCOMPARE(readBytes(desk.ports.pty(1), int(expected.size()) + 1, 300).toHex(), expected.toHex());
    // A refused level is said in words, and the program goes on (the next press went out).
    QCOMPARE(desk.dialogs.messages().size(), byte >= 0 ? 0 : 1);
    if (byte < 0)
        QCOMPARE(desk.dialogs.messages().first().text,
                 QStringLiteral("The level \"%1\" cannot be sent: it must be a number from 0 to "
                                "255.")
                         .arg(level));
    QVERIFY(desk.dialogs.endings.isEmpty());
}

QTEST_MAIN(TestHostileInput)
#include "tst_hostileinput.moc"
