#include <QTest>
class Tst : public QObject { Q_OBJECT private slots: void placeholder() { QVERIFY(true); } };
QTEST_MAIN(Tst)
#include "tst_mdiform1.moc"
