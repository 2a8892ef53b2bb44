// Reading what people type: the channel answer read leniently, levels and channels read
// strictly, and the order in which serial ports become COM1, COM2, ...
#include "cardlink/portmap.h"
#include "numbers/channelanswer.h"
#include "numbers/strictbyte.h"

#include <QTest>
#include <climits>
#include <clocale>

namespace {

// A reading outside 16 bits, or no byte.
constexpr int kNone = INT_MIN;

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

template <class Read>
void checkReading(Read read)
{
    QFETCH(Reading, row);
    const auto got = read(row.text);
    QCOMPARE(got ? int(*got) : kNone, row.reads);
}

} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    // The desk takes the operator's locale, where "." may not be the decimal point.
    void initTestCase() { QVERIFY(setlocale(LC_ALL, "de_DE.UTF-8")); }

    void channelAnswer_data()
    {
        addReadings({
                { "12abc", 12 },
                { "abc", 0 },
                { " 1 2", 12, "inner blank" },
                { "\t1\n0", 10, "tab and line feed inside" },
                { "1\r0", 1, "carriage return stops" },
                { "7.5", 8, "7.5 to even" },
                { "8.5", 8, "8.5 to even" },
                { "7,5", 7, "comma ends the number" },
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
                { "255", 255 },
                { "255.5", kNone },
                { "-0.5", 0 },
                { "-5", kNone },
                { " 12\t", 12, "blanks around" },
                { "", kNone, "empty" },
                { "12abc", kNone },
                { " 1 2", kNone, "inner blank" },
                { "7,5", kNone, "comma" },
        });
    }

    void strictByte() { checkReading(StrictByte::read); }

    void portOrder()
    {
        // On-board ports, then USB adapters, each in natural order, as COM1, COM2, ...
        QList<SerialPortEntry> ports;
        for (const QString name :
             { "ttyUSB10", "ttyS10", "ttyACM0", "ttyS2", "ttyUSB9", "ttyS003", "ttyS1" })
            ports.append({ name, name, !name.startsWith("ttyS") });
        const QList<SerialPortEntry> ordered = orderSerialPorts(ports);
        // Up to the first COM number with no port.
        QStringList com;
        for (int n = 1; !deviceForCom(ordered, n).isEmpty(); ++n)
            com << deviceForCom(ordered, n);
        QCOMPARE(com.join(' '), "ttyS1 ttyS2 ttyS003 ttyS10 ttyACM0 ttyUSB9 ttyUSB10");
    }
};

QTEST_APPLESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
