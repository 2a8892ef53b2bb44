// The strict conversion of the texts that become bytes on the line.
#include "cardlink/channelframe.h"

#include <QTest>

class TestChannelFrame : public QObject
{
    Q_OBJECT

private slots:
    void strictByte_data();
    void strictByte();
};

void TestChannelFrame::strictByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("byte"); // -1: cannot be sent

    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("top") << "255" << 255;
    QTest::newRow("channel 112") << "112" << 112;
    QTest::newRow("blanks around") << " 7.5 " << 8;
    QTest::newRow("half to even up") << "7.5" << 8;
    QTest::newRow("half to even down") << "8.5" << 8;
    QTest::newRow("255.5 rounds to 256") << "255.5" << -1;
    QTest::newRow("254.5 rounds to 254") << "254.5" << 254;
    QTest::newRow("-0.4 rounds to 0") << "-0.4" << 0;
    QTest::newRow("-0.5 rounds to 0") << "-0.5" << 0;
    QTest::newRow("-0.6 rounds to -1") << "-0.6" << -1;
    QTest::newRow("exponent") << "2.55e2" << 255;
    QTest::newRow("exponent d") << "1d2" << 100;
    QTest::newRow("hex") << "&HFF" << 255;
    QTest::newRow("octal") << "&O17" << 15;
    QTest::newRow("plus sign") << "+12" << 12;
    QTest::newRow("tab and newline around") << "\t12\n" << 12;

    QTest::newRow("letters") << "abc" << -1;
    QTest::newRow("too large") << "300" << -1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("blank") << "   " << -1;
    QTest::newRow("negative") << "-1" << -1;
    QTest::newRow("1e3") << "1e3" << -1;
    QTest::newRow("trailing letters") << "12abc" << -1;
    QTest::newRow("inner blank") << "1 2" << -1;
    QTest::newRow("lone sign") << "-" << -1;
    QTest::newRow("lone point") << "." << -1;
    QTest::newRow("exponent without digits") << "1e" << -1;
    QTest::newRow("huge") << "1e400" << -1;
    QTest::newRow("full-width digits") << QStringLiteral("\uFF11\uFF12") << -1;
    QTest::newRow("hex without digits") << "&H" << -1;
    QTest::newRow("NUL inside") << QString::fromUtf16(u"1\u00002", 3) << -1;
}

void TestChannelFrame::strictByte()
{
    QFETCH(QString, text);
    QFETCH(int, byte);
    const std::optional<quint8> got = ChannelFrame::strictByte(text);
    if (byte < 0)
        QVERIFY2(!got, qPrintable(QStringLiteral("accepted as %1").arg(got.value_or(0))));
    else
        QCOMPARE(got, std::optional<quint8>(byte));
}

QTEST_APPLESS_MAIN(TestChannelFrame)
#include "tst_channelframe.moc"
