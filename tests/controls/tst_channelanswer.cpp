// The lenient reading of the answer to the channel question.
#include "controls/channelanswer.h"

#include <QTest>

class TestChannelAnswer : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

void TestChannelAnswer::read_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("number"); // what the answer reads as
    QTest::addColumn<bool>("inRange"); // fits in 16 bits

    // The examples an operator's answers are held to.
    QTest::newRow("1") << "1" << 1 << true;
    QTest::newRow("112") << "112" << 112 << true;
    QTest::newRow("0") << "0" << 0 << true;
    QTest::newRow("113") << "113" << 113 << true;
    QTest::newRow("-5") << "-5" << -5 << true;
    QTest::newRow("abc") << "abc" << 0 << true;
    QTest::newRow("empty (Cancel)") << "" << 0 << true;
    QTest::newRow("12abc") << "12abc" << 12 << true;
    QTest::newRow("blank inside") << " 1 2" << 12 << true;
    QTest::newRow("7.5") << "7.5" << 8 << true;
    QTest::newRow("8.5") << "8.5" << 8 << true;
    QTest::newRow("112.5") << "112.5" << 112 << true;
    QTest::newRow("0.5") << "0.5" << 0 << true;
    QTest::newRow("1e2") << "1e2" << 100 << true;
    QTest::newRow("&H70") << "&H70" << 112 << true;

    // More of our own.
    QTest::newRow("tab and line feed") << "\t1\n0" << 10 << true;
    QTest::newRow("carriage return stops") << "1\r0" << 1 << true;
    QTest::newRow("lower-case hex") << "&h1f" << 31 << true;
    QTest::newRow("octal") << "&O160" << 112 << true;
    QTest::newRow("octal stops at 8") << "&o78" << 7 << true;
    QTest::newRow("hex without digits") << "&H" << 0 << true;
    QTest::newRow("lone ampersand") << "&" << 0 << true;
    QTest::newRow("upper-case exponent") << "1E2" << 100 << true;
    QTest::newRow("d exponent") << "1d2" << 100 << true;
    QTest::newRow("D exponent") << "1.12D2" << 112 << true;
    QTest::newRow("exponent sign") << "5000e-2" << 50 << true;
    QTest::newRow("exponent without digits") << "12e" << 12 << true;
    QTest::newRow("exponent sign without digits") << "12e+x" << 12 << true;
    QTest::newRow("leading point") << ".6" << 1 << true;
    QTest::newRow("trailing point") << "12." << 12 << true;
    QTest::newRow("two points") << "1.2.3" << 1 << true;
    QTest::newRow("plus sign") << "+7" << 7 << true;
    QTest::newRow("double sign") << "--5" << 0 << true;
    QTest::newRow("lone sign") << "+" << 0 << true;
    QTest::newRow("lone point") << "." << 0 << true;
    QTest::newRow("blank only") << " " << 0 << true;
    QTest::newRow("sign then blank") << "- 5" << -5 << true;
    QTest::newRow("full-width digits") << QStringLiteral("\uFF11\uFF12") << 0 << true;
    QTest::newRow("NUL first") << QString::fromUtf16(u"\u00005", 2) << 0 << true;
    QTest::newRow("comma") << "1,5" << 1 << true;
    QTest::newRow("-32768.5 to even") << "-32768.5" << -32768 << true;
    QTest::newRow("32767") << "32767" << 32767 << true;

    // Past 16 bits: out of range, never wrapped round to something that looks valid.
    QTest::newRow("40000") << "40000" << 0 << false;
    QTest::newRow("32767.5 to even") << "32767.5" << 0 << false;
    QTest::newRow("65537 would wrap to 1") << "65537" << 0 << false;
    QTest::newRow("1e10") << "1e10" << 0 << false;
    QTest::newRow("1e400") << "1e400" << 0 << false;
    QTest::newRow("&H10000") << "&H10000" << 0 << false;
    QTest::newRow("&H10001 would wrap to 1") << "&H10001" << 0 << false;
    QTest::newRow("&HFFFFFFFFFFFF") << "&HFFFFFFFFFFFF" << 0 << false;
    QTest::newRow("-40000") << "-40000" << 0 << false;
    QTest::newRow("10000 digits") << QString(10000, u'9') << 0 << false;
}

void TestChannelAnswer::read()
{
    QFETCH(QString, answer);
    QFETCH(int, number);
    QFETCH(bool, inRange);
    const std::optional<qint16> got = ChannelAnswer::read(answer);
    QCOMPARE(got.has_value(), inRange);
    if (inRange)
        QCOMPARE(int(*got), number);
}

QTEST_APPLESS_MAIN(TestChannelAnswer)
#include "tst_channelanswer.moc"
