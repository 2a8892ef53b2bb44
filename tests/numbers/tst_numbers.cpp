// Reading what people type: the channel answer read leniently, levels and channels read
// strictly, and the order in which serial ports become COM1, COM2, ...
#include "cardlink/portmap.h"
#include "numbers/channelanswer.h"
#include "numbers/strictbyte.h"
#include "support/desk.h"

#include <QTest>
#include <climits>
#include <clocale>

namespace {

constexpr int kNone = INT_MIN; // outside 16 bits, or no byte

// A text, what it reads as, and the row's name when the text is not one.
struct Reading
{
    QString text;
    int reads;
    const char *name = nullptr;
};

void addReadings(std::initializer_list<Reading> rows)
{
    QTest::addColumn<Reading>("row");
    for (const Reading &row : rows)
        QTest::newRow(row.name ? row.name : qPrintable(row.text)) << row;
}

// The same in every locale: the desk takes the operator's, where "." may not be the decimal
// point.
template <class Read>
void checkReading(Read read)
{
    QFETCH(Reading, row);
    for (const char *locale : { "C", "de_DE.UTF-8" }) {
        QVERIFY2(setlocale(LC_ALL, locale), locale);
        const auto got = read(row.text);
        QCOMPARE(got ? int(*got) : kNone, row.reads);
    }
    setlocale(LC_ALL, "C");
}

} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void channelAnswer_data()
    {
        addReadings({
                { "12abc", 12 },
                { "abc", 0 },
                { " 1 2", 12, "inner blank" },
                { "\t1\n0", 10, "tab and line feed inside" },
                { "1\r0", 1, "carriage return stops" },
                { "- 5", -5, "sign then blank" },
                { "--5", 0 },
                { "+7", 7 },
                { "-0.6", -1 },
                { "7.5", 8, "7.5 to even" },
                { "8.5", 8, "8.5 to even" },
                { ".6", 1 },
                { "7,5", 7, "comma ends the number" },
                { "1.12D2", 112, "d exponent" },
                { "&hFF", 255 },
                { "&O160", 112 },
                { "&o78", 7, "octal stops at 8" },
                { "0x10", 0 },
                { "inf", 0 },
                { "-32768.5", -32768, "-32768.5 to even" },
                { "32767.5", kNone },
                { "65537", kNone, "65537 would wrap to 1" },
                { "&H10001", kNone, "&H10001 would wrap to 1" },
                { QString(10000, u'9'), kNone, "10,000 digits" },
                { QStringLiteral("\uFF11\uFF12"), 0, "full-width digits" },
        });
    }

    void channelAnswer() { checkReading(ChannelAnswer::read); }

    void strictByte_data()
    {
        addReadings({
                { "&hFF", 255 },
                { "255.5", kNone },
                { "-0.5", 0 },
                { "-5", kNone },
                { "12.", 12 },
                { " 12\t", 12, "blanks around" },
                { "", kNone, "empty" },
                { "&H", kNone },
                { "12abc", kNone },
                { " 1 2", kNone, "inner blank" },
                { "12e", kNone, "exponent without digits" },
                { "1.2.3", kNone },
                { "7,5", kNone, "comma" },
        });
    }

    void strictByte() { checkReading(StrictByte::read); }

    void portOrder()
    {
        // On-board ports, then USB adapters ("U:"), each in natural order, as COM1, COM2, ...
        const QStringList found{ "U:ttyUSB10", "ttyS10",  "U:ttyACM0", "ttyS2",
                                 "U:ttyUSB9",  "ttyS003", "ttyS1" };
        QList<SerialPortEntry> ports;
        for (const QString &f : found)
            ports.append({ "/dev/" + f.section(':', -1), f.section(':', -1), f.startsWith("U:") });
        const QList<SerialPortEntry> ordered = orderSerialPorts(ports);
        QStringList com; // up to the first COM number with no port
        for (int n = 1; !deviceForCom(ordered, n).isEmpty(); ++n)
            com << deviceForCom(ordered, n).mid(5);
        QCOMPARE(com.join(' '), "ttyS1 ttyS2 ttyS003 ttyS10 ttyACM0 ttyUSB9 ttyUSB10");
    }
};

QTEST_APPLESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
