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
constexpr int kNone = INT_MIN; // the lenient reading is outside 16 bits
constexpr int kRefused = -1; // the strict reading makes no byte
// clang-format off
struct Reading { QString text; int lenient, strict; const char *name = nullptr; };
struct Order { const char *name; QStringList found, comOrder; };
// clang-format on
} // namespace

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void readings_data()
    {
        QTest::addColumn<Reading>("row");
        // The text, its lenient reading, its strict reading; the text names the row unless a
        // name is given.
        // clang-format off
        const Reading rows[] = {
            {"1", 1, 1},
            {"0", 0, 0},
            {"-5", -5, kRefused},
            {"abc", 0, kRefused},
            {"", 0, kRefused, "empty"},
            {"12abc", 12, kRefused},
            {" 1 2", 12, kRefused, "inner blank"},
            {"7.5", 8, 8, "7.5 to even"},
            {"8.5", 8, 8, "8.5 to even"},
            {" 7.5 ", 8, 8, "blanks around"},
            {"255.5", 256, kRefused},
            {"-0.5", 0, 0},
            {"-0.6", -1, kRefused},
            {"1e2", 100, 100},
            {"1.12D2", 112, 112, "d exponent"},
            {"12e", 12, kRefused, "exponent without digits"},
            {"&hFF", 255, 255},
            {"&O160", 112, 112},
            {"&o78", 7, kRefused, "octal stops at 8"},
            {"&H", 0, kRefused},
            {".6", 1, 1},
            {"12.", 12, 12},
            {"1.2.3", 1, kRefused},
            {"+7", 7, 7},
            {"--5", 0, kRefused},
            {"- 5", -5, kRefused, "sign then blank"},
            {"\t1\n0", 10, kRefused, "tab and line feed inside"},
            {"\t12\n", 12, 12, "tab and line feed around"},
            {"1\r0", 1, kRefused, "carriage return stops"},
            {"7,5", 7, kRefused, "comma ends the number"},
            {"127.5", 128, 128},
            {"1e-400", 0, 0},
            {"0x10", 0, kRefused},
            {"inf", 0, kRefused},
            {"nan", 0, kRefused},
            {"32767", 32767, kRefused},
            {"-32768.5", -32768, kRefused, "-32768.5 to even"},
            {"32767.5", kNone, kRefused},
            {"65537", kNone, kRefused, "65537 would wrap to 1"},
            {"&H10001", kNone, kRefused, "&H10001 would wrap to 1"},
            {"1e400", kNone, kRefused},
            {QString(10000, u'9'), kNone, kRefused, "10,000 digits"},
            {QString::fromUtf16(u"\u00005", 2), 0, kRefused, "NUL first"},
            {QStringLiteral("\uFF11\uFF12"), 0, kRefused, "full-width digits"},
            {QStringLiteral("\u00A05"), 0, 5, "non-breaking space"},
        };
        // clang-format on
        for (const Reading &row : rows)
            QTest::newRow(row.name ? row.name : qPrintable(row.text)) << row;
    }

    void readings()
    {
        QFETCH(Reading, row);
        // The same in every locale: the desk takes the operator's, where "." may not be the
        // decimal point.
        for (const char *locale : { "C", "de_DE.UTF-8" }) {
            QVERIFY2(setlocale(LC_ALL, locale), locale);
            const std::optional<qint16> channel = ChannelAnswer::read(row.text);
            QCOMPARE(channel ? int(*channel) : kNone, row.lenient);
            const std::optional<quint8> byte = StrictByte::read(row.text);
            QCOMPARE(byte ? int(*byte) : kRefused, row.strict);
        }
        setlocale(LC_ALL, "C");
    }

    void portOrder_data()
    {
        // What the system lists ("U:" marks a USB adapter), and the order of COM1, COM2, ...
        // clang-format off
        addRows<Order>({ {"natural order", {"ttyS10", "ttyS2", "ttyS0", "ttyS1"}, {"ttyS0", "ttyS1", "ttyS2", "ttyS10"}},
            {"on-board before USB", {"U:ttyUSB1", "U:ttyACM0", "ttyS1", "U:ttyUSB0", "ttyS0"}, {"ttyS0", "ttyS1", "ttyACM0", "ttyUSB0", "ttyUSB1"}},
            {"leading zeros", {"ttyS010", "ttyS9"}, {"ttyS9", "ttyS010"}} });
        // clang-format on
    }

    void portOrder()
    {
        QFETCH(Order, row);
        QList<SerialPortEntry> ports;
        for (const QString &f : row.found)
            ports.append({ "/dev/" + f.section(':', -1), f.section(':', -1), f.startsWith("U:") });
        const QList<SerialPortEntry> ordered = orderSerialPorts(ports);
        for (int com = 1; com <= row.comOrder.size(); ++com)
            QCOMPARE(deviceForCom(ordered, com), "/dev/" + row.comOrder[com - 1]);
        // Past either end there is no such port.
        QVERIFY(deviceForCom(ordered, int(row.comOrder.size()) + 1).isEmpty());
        QVERIFY(deviceForCom(ordered, 0).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
