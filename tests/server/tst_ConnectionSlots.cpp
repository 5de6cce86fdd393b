// Who may open one more connection: the per-address and total caps, and the share of pool kept
// for addresses that hold only a few.
#include "http/ConnectionSlots.h"

#include <QTest>

#include <string>

class tst_ConnectionSlots : public QObject
{
    Q_OBJECT

private slots:
    void take_data();
    void take();
    void releasedSlotsComeBack();
};

namespace {

// Fills pool with `count` connections from each of `addresses` (named "busyN").
int fill(ConnectionSlots &pool, int addresses, int count)
{
    int taken = 0;
    for (int a = 0; a < addresses; ++a)
        for (int c = 0; c < count; ++c)
            taken += pool.take("busy" + std::to_string(a), false) ? 1 : 0;
    return taken;
}

} // namespace

void tst_ConnectionSlots::take_data()
{
    // 8 per address, 40 in all, the top 8 kept for addresses holding fewer than 4.
    QTest::addColumn<int>("busyAddresses");
    QTest::addColumn<int>("eachOpens");
    QTest::addColumn<int>("taken");
    QTest::addColumn<QString>("newcomer"); // "busy0", "fresh" or "proxy"
    QTest::addColumn<bool>("expected");

    QTest::newRow("room left: a fresh address") << 2 << 8 << 16 << "fresh" << true;
    QTest::newRow("room left: a busy address below its cap") << 1 << 7 << 7 << "busy0" << true;
    QTest::newRow("per-address cap") << 1 << 8 << 8 << "busy0" << false;
    QTest::newRow("only the reserve left: a fresh address") << 4 << 8 << 32 << "fresh" << true;
    QTest::newRow("only the reserve left: a busy address") << 4 << 8 << 32 << "busy0" << false;
    QTest::newRow("only the reserve left: a trusted proxy") << 4 << 8 << 32 << "proxy" << true;
    // The fifth address gets a few of the reserve, like any address, and no more.
    QTest::newRow("more busy addresses than room") << 5 << 8 << 36 << "fresh" << true;
}

void tst_ConnectionSlots::take()
{
    QFETCH(int, busyAddresses);
    QFETCH(int, eachOpens);
    QFETCH(int, taken);
    QFETCH(QString, newcomer);
    QFETCH(bool, expected);
    ConnectionSlots pool(8, 40, 8);
    QCOMPARE(fill(pool, busyAddresses, eachOpens), taken);
    QCOMPARE(pool.take(newcomer.toStdString(), newcomer == "proxy"), expected);
}

void tst_ConnectionSlots::releasedSlotsComeBack()
{
    ConnectionSlots pool(8, 40, 8);
    QCOMPARE(fill(pool, 4, 8), 32);
    // The reserve itself: a connection or three each from many small addresses, then full.
    int small = 0;
    for (int a = 0; a < 20; ++a)
        small += pool.take("small" + std::to_string(a), false) ? 1 : 0;
    QCOMPARE(small, 8);
    QVERIFY(!pool.take("one more", false));
    QVERIFY(!pool.take("proxy", true));
    pool.release("small0");
    QVERIFY(pool.take("another", false));
    pool.release("busy1");
    QVERIFY(!pool.take("busy1", false)); // back in the reserve: busy addresses still wait
}

QTEST_GUILESS_MAIN(tst_ConnectionSlots)
#include "tst_ConnectionSlots.moc"
