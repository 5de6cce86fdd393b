// The slowdown of password guessing, on a clock the test moves itself, with the failures
// kept in a fresh store (SQLite, or PostgreSQL with STOCK_ALERT_TEST_STORE=postgresql).
#include "PostgresFixture.h"
#include "ServiceFixture.h"
#include "service/LoginThrottle.h"
#include "store/Store.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;
using Clock = LoginThrottle::Clock;

class tst_LoginThrottle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void delayGrowsWithFailures_data();
    void delayGrowsWithFailures();
    void otherAddressesUnaffected();
    void failuresForgivenOverTime();
    void addressTableStaysBounded();
    void sharedByThrottlesOnOneStore();

private:
    QTemporaryDir dir_;
    std::unique_ptr<Store> store_;
    int stores_ = 0;
};

void tst_LoginThrottle::init()
{
    std::string database = dir_.filePath(QString("throttle%1.db").arg(++stores_)).toStdString();
    if (ServiceFixture::onPostgres()) {
        QVERIFY2(PostgresFixture::shared().isRunning(), qPrintable(PostgresFixture::shared().errorString()));
        database = PostgresFixture::shared().createDatabase().toStdString();
    }
    store_ = Store::open(database, true);
    store_->createSchema();
}

void tst_LoginThrottle::delayGrowsWithFailures_data()
{
    QTest::addColumn<int>("failures");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("four") << 4 << 0;
    QTest::newRow("five") << 5 << 500;
    QTest::newRow("six") << 6 << 1000;
    QTest::newRow("eight") << 8 << 4000;
    QTest::newRow("ceiling") << 9 << 8000;
    QTest::newRow("far past the ceiling") << 500 << 8000;
}

void tst_LoginThrottle::delayGrowsWithFailures()
{
    QFETCH(int, failures);
    QFETCH(int, delayMs);
    LoginThrottle throttle(*store_);
    Clock::time_point now{1000h};
    for (int i = 0; i < failures; ++i)
        throttle.recordFailure("198.51.100.1", now);
    QCOMPARE(throttle.delayFor("198.51.100.1", now).count(), delayMs);
}

void tst_LoginThrottle::otherAddressesUnaffected()
{
    LoginThrottle throttle(*store_);
    Clock::time_point now{1000h};
    for (int i = 0; i < 50; ++i)
        throttle.recordFailure("198.51.100.1", now);
    QCOMPARE(throttle.delayFor("198.51.100.2", now).count(), 0);
    QCOMPARE(throttle.delayFor("2001:db8::1", now).count(), 0);
    QVERIFY(throttle.delayFor("198.51.100.1", now).count() > 0);
}

void tst_LoginThrottle::failuresForgivenOverTime()
{
    LoginThrottle throttle(*store_);
    Clock::time_point start{1000h};
    for (int i = 0; i < 7; ++i)
        throttle.recordFailure("198.51.100.1", start);
    QCOMPARE(throttle.delayFor("198.51.100.1", start).count(), 2000);
    // One failure forgiven each minute.
    QCOMPARE(throttle.delayFor("198.51.100.1", start + 60s).count(), 1000);
    QCOMPARE(throttle.delayFor("198.51.100.1", start + 120s).count(), 500);
    QCOMPARE(throttle.delayFor("198.51.100.1", start + 180s).count(), 0);
    // A failure after a quiet spell counts from what is left, not from seven.
    throttle.recordFailure("198.51.100.1", start + 180s);
    QCOMPARE(throttle.delayFor("198.51.100.1", start + 180s).count(), 500);
}

void tst_LoginThrottle::addressTableStaysBounded()
{
    LoginThrottle throttle(*store_);
    Clock::time_point now{1000h};
    // A persistent guesser stays slowed down while a spread of one-off addresses comes and goes.
    for (int i = 0; i < 10; ++i)
        throttle.recordFailure("198.51.100.1", now);
    for (int i = 0; i < 500; ++i)
        throttle.recordFailure("10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), now);
    QCOMPARE(store_->trackedAddresses(), 501);
    // A minute on, the next failure sweeps out every address whose failures are forgiven.
    throttle.recordFailure("203.0.113.9", now + 61s);
    QCOMPARE(store_->trackedAddresses(), 2);
    QCOMPARE(throttle.delayFor("198.51.100.1", now + 241s).count(), 1000);
    QCOMPARE(throttle.delayFor("10.0.0.1", now + 61s).count(), 0);
}

void tst_LoginThrottle::sharedByThrottlesOnOneStore()
{
    // Two service instances: guesses spread over both count as one series.
    LoginThrottle first(*store_), second(*store_);
    Clock::time_point now{1000h};
    for (int i = 0; i < 3; ++i) {
        first.recordFailure("198.51.100.1", now);
        second.recordFailure("198.51.100.1", now);
    }
    QCOMPARE(first.delayFor("198.51.100.1", now).count(), 1000);
    QCOMPARE(second.delayFor("198.51.100.1", now).count(), 1000);
}

QTEST_GUILESS_MAIN(tst_LoginThrottle)
#include "tst_LoginThrottle.moc"
