// The virtual card pairs bytes by position, as the real card does.
#include "virtualcard/framedecoder.h"

#include <QTest>

using Frames = QList<ReceivedFrame>;
Q_DECLARE_METATYPE(Frames)

class TestFrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void feed_data();
    void feed();
};

void TestFrameDecoder::feed_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<Frames>("frames");
    QTest::addColumn<bool>("midFrame");

    QTest::newRow("one frame") << QList<QByteArray>{QByteArray::fromHex("70ff")}
                               << Frames{{112, 255}} << false;
    QTest::newRow("two frames at once")
            << QList<QByteArray>{QByteArray::fromHex("0c00" "0cff")}
            << Frames{{12, 0}, {12, 255}} << false;
    QTest::newRow("cut between the bytes")
            << QList<QByteArray>{QByteArray::fromHex("01"), QByteArray::fromHex("8002")}
            << Frames{{1, 128}} << true;
    QTest::newRow("zero bytes are data")
            << QList<QByteArray>{QByteArray::fromHex("0000")} << Frames{{0, 0}} << false;
    QTest::newRow("byte by byte")
            << QList<QByteArray>{"\x05", QByteArray(1, '\0'), "\x06", "\xff"}
            << Frames{{5, 0}, {6, 255}} << false;
    QTest::newRow("empty chunk") << QList<QByteArray>{QByteArray()} << Frames{} << false;
}

void TestFrameDecoder::feed()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(Frames, frames);
    QFETCH(bool, midFrame);
    FrameDecoder decoder;
    Frames got;
    for (const QByteArray &chunk : chunks)
        got += decoder.feed(chunk);
    QCOMPARE(got, frames);
    QCOMPARE(decoder.midFrame(), midFrame);
}

QTEST_APPLESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
