// The demo's command line.
#include "demo/demooptions.h"

#include <QTest>

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
};

void TestDemo::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("outcome"); // what the options come to, or the error's start
    QTest::newRow("none") << QStringList{} << "missing  busy  monitor 1 help 0";
    QTest::newRow("faults") << QStringList{ "--missing", "1,2", "--busy", " 3 " }
                            << "missing 1,2 busy 3 monitor 1 help 0";
    QTest::newRow("no monitor, help")
            << QStringList{ "--no-monitor", "-h" } << "missing  busy  monitor 0 help 1";
    QTest::newRow("port 6") << QStringList{ "--missing", "6" }
                            << "--missing takes COM numbers from 1 to 5";
    QTest::newRow("not a number") << QStringList{ "--busy", "x" }
                                  << "--busy takes COM numbers from 1 to 5";
    QTest::newRow("no value") << QStringList{ "--busy" } << "--busy needs a value";
    QTest::newRow("unknown") << QStringList{ "--card" } << "unknown option \"--card\"";
}

void TestDemo::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, outcome);
    const DemoOptions o = DemoOptions::parse(QStringList{ "lumidesk-demo" } + arguments);
    const auto list = [](QSet<int> set) {
        QList<int> sorted(set.begin(), set.end());
        std::sort(sorted.begin(), sorted.end());
        QStringList out;
        for (int n : sorted)
            out << QString::number(n);
        return out.join(',');
    };
    const QString got = o.error.isEmpty() ? QStringLiteral("missing %1 busy %2 monitor %3 help %4")
                                                    .arg(list(o.missing), list(o.busy))
                                                    .arg(o.monitor)
                                                    .arg(o.help)
                                          : o.error;
    QVERIFY2(got.startsWith(outcome), qPrintable(got));
    QVERIFY(DemoOptions::usage().contains("--missing N,..."));
}

QTEST_APPLESS_MAIN(TestDemo)
#include "tst_demo.moc"
