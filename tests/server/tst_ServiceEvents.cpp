// The service's /events against the real service process: an event for each change a level
// can see, whether the service, another process or another instance made it; the catch-up
// after Last-Event-ID; the caps.
#include "EventStreamReader.h"
#include "ServiceFixture.h"

#include <QDeadlineTimer>
#include <QTest>

#include <memory>

namespace {

QStringList publishStock(const QString &level)
{
    return {"publish", "stock", "--code",   "600036", "--name",  "招商银行",
            "--op",    "买入",  "--reason", "突破",   "--level", level};
}

// The number of stock-pool alerts in a change-counter answer (its first item).
int stockCount(const QByteArray &data)
{
    return data.left(data.indexOf(',')).toInt();
}

} // namespace

class tst_ServiceEvents : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void eventOnAnotherProcessesPublish();
    void eventOnOwnWrite();
    void eachLevelToldOfWhatItSees();
    void paidLevelOnlyToTheAddressHoldingIt_data();
    void paidLevelOnlyToTheAddressHoldingIt();
    void paidStreamClosedWhenItsAddressHoldsNoMore();
    void lastEventIdCatchUp_data();
    void lastEventIdCatchUp();
    void capsRefuseWith503();
    void unreadableLevelRefused_data();
    void unreadableLevelRefused();
    void publishThroughAnotherInstance();

private:
    std::unique_ptr<ServiceFixture> service;
};

void tst_ServiceEvents::initTestCase()
{
    service = std::make_unique<ServiceFixture>();
    QVERIFY2(service->isRunning(), qPrintable(service->errorString()));
    // 127.0.0.1 holds every account's online record, as signed-in clients there would: it is
    // told of the paid levels.
    QVERIFY(service->holdOnlineRecords());
}

void tst_ServiceEvents::cleanupTestCase()
{
    service.reset();
}

void tst_ServiceEvents::eventOnAnotherProcessesPublish()
{
    EventStreamReader reader(service->port(), "/events?userdj=2");
    QCOMPARE(reader.status(), 200);
    auto current = reader.nextEvent();
    QVERIFY(current.id >= 0);
    QString output;
    QCOMPARE(service->runCommand(publishStock("3"), &output), 0);
    auto next = reader.nextEvent(10000);
    QVERIFY2(next.id > current.id, qPrintable(output));
    QCOMPARE(stockCount(next.data), stockCount(current.data) + 1);
}

void tst_ServiceEvents::eventOnOwnWrite()
{
    ServiceFixture feeding(true, {"--demo-feed", "1"});
    QVERIFY2(feeding.isRunning(), qPrintable(feeding.errorString()));
    // The demo feed publishes at every level and kind; level 1 sees a change each time.
    EventStreamReader reader(feeding.port(), "/events?userdj=1");
    auto current = reader.nextEvent();
    QVERIFY(current.id >= 0);
    auto next = reader.nextEvent(15000);
    QVERIFY(next.id > current.id);
    QVERIFY(next.data != current.data);
}

void tst_ServiceEvents::eachLevelToldOfWhatItSees()
{
    EventStreamReader levelOne(service->port(), "/events?userdj=1");
    EventStreamReader levelTwo(service->port(), "/events?userdj=2");
    auto one = levelOne.nextEvent();
    auto two = levelTwo.nextEvent();
    QVERIFY(one.id >= 0 && two.id >= 0);
    QCOMPARE(service->runCommand(publishStock("1")), 0);
    auto oneNext = levelOne.nextEvent(10000);
    QVERIFY(oneNext.id > one.id);
    // Level 2 does not see a level-1 item, so its next event is that of the public item
    // published after it.
    QCOMPARE(service->runCommand(publishStock("3")), 0);
    auto twoNext = levelTwo.nextEvent(10000);
    QVERIFY(twoNext.id > oneNext.id);
    QCOMPARE(stockCount(twoNext.data), stockCount(two.data) + 1);
    QVERIFY(levelOne.nextEvent(10000).id > oneNext.id);
}

void tst_ServiceEvents::paidLevelOnlyToTheAddressHoldingIt_data()
{
    QTest::addColumn<QByteArray>("level");
    QTest::newRow("level 1") << QByteArray("1");
    QTest::newRow("level 2") << QByteArray("2");
}

void tst_ServiceEvents::paidLevelOnlyToTheAddressHoldingIt()
{
    QFETCH(QByteArray, level);
    // The stream tells what ifchangetable would answer the same caller.
    auto publicLevel = EventStreamReader(service->port(), "/events?userdj=3").nextEvent();
    auto holding = EventStreamReader(service->port(), "/events?userdj=" + level).nextEvent();
    auto stranger =
        EventStreamReader(service->port(), "/events?userdj=" + level, -1, "127.0.0.9").nextEvent();
    QVERIFY(publicLevel.id >= 0 && holding.id == publicLevel.id && stranger.id == publicLevel.id);
    QVERIFY(holding.data != publicLevel.data);
    QCOMPARE(stranger.data, publicLevel.data);
}

void tst_ServiceEvents::paidStreamClosedWhenItsAddressHoldsNoMore()
{
    ServiceFixture own;
    QVERIFY2(own.isRunning(), qPrintable(own.errorString()));
    QVERIFY(own.holdOnlineRecords("127.0.0.7"));
    EventStreamReader paid(own.port(), "/events?userdj=1", -1, "127.0.0.7");
    EventStreamReader publicLevel(own.port(), "/events?userdj=3", -1, "127.0.0.7");
    auto current = publicLevel.nextEvent();
    QVERIFY(paid.nextEvent().data != current.data);
    // The accounts sign in elsewhere: the paid stream ends, the public one goes on.
    QVERIFY(own.holdOnlineRecords("127.0.0.8"));
    QVERIFY(paid.closedByPeer(20000));
    QCOMPARE(own.runCommand(publishStock("3")), 0);
    QVERIFY(publicLevel.nextEvent(10000).id > current.id);
    // Asked again, the address is told of the public level.
    EventStreamReader again(own.port(), "/events?userdj=1", -1, "127.0.0.7");
    QCOMPARE(again.nextEvent().data, EventStreamReader(own.port(), "/events?userdj=3").nextEvent().data);
}

void tst_ServiceEvents::lastEventIdCatchUp_data()
{
    QTest::addColumn<int>("behindCurrent"); // -1: no Last-Event-ID
    QTest::addColumn<bool>("eventAtOnce");
    QTest::newRow("none sent") << -1 << true;
    QTest::newRow("older") << 1 << true;
    QTest::newRow("the current one") << 0 << false;
}

void tst_ServiceEvents::lastEventIdCatchUp()
{
    QFETCH(int, behindCurrent);
    QFETCH(bool, eventAtOnce);
    qint64 current = EventStreamReader(service->port(), "/events?userdj=3").nextEvent().id;
    QVERIFY(current > 0);
    EventStreamReader reader(service->port(), "/events?userdj=3",
                             behindCurrent < 0 ? -1 : current - behindCurrent);
    QCOMPARE(reader.status(), 200);
    if (!eventAtOnce) {
        // Nothing to catch up on: the first event is the next change's.
        QCOMPARE(service->runCommand(publishStock("3")), 0);
        QVERIFY(reader.nextEvent(10000).id > current);
        return;
    }
    QCOMPARE(reader.nextEvent().id, current);
}

void tst_ServiceEvents::capsRefuseWith503()
{
    ServiceFixture capped(true, {"--max-streams", "2", "--max-connections-per-address", "1"});
    QVERIFY2(capped.isRunning(), qPrintable(capped.errorString()));
    auto first = std::make_unique<EventStreamReader>(capped.port(), "/events?userdj=3", -1, "127.0.0.2");
    QCOMPARE(first->status(), 200);
    EventStreamReader sameAddress(capped.port(), "/events?userdj=3", -1, "127.0.0.2");
    QCOMPARE(sameAddress.status(), 503);
    EventStreamReader second(capped.port(), "/events?userdj=3", -1, "127.0.0.3");
    QCOMPARE(second.status(), 200);
    EventStreamReader third(capped.port(), "/events?userdj=3", -1, "127.0.0.4");
    QCOMPARE(third.status(), 503);
    // A stream that ends gives its place back; the service notices the close in a moment.
    // Each try comes from an address of its own: a refused connection keeps its address's
    // place while the service drains it.
    first.reset();
    QDeadlineTimer deadline(10000);
    int status = 0;
    for (int source = 5; status != 200 && source < 255 && !deadline.hasExpired(); ++source) {
        if (source > 5)
            QTest::qWait(20); // a refusal comes at once: the tries are spread over the wait
        status = EventStreamReader(capped.port(), "/events?userdj=3", -1,
                                   qPrintable(QStringLiteral("127.0.0.%1").arg(source)))
                     .status();
    }
    QCOMPARE(status, 200);
}

void tst_ServiceEvents::unreadableLevelRefused_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("no level") << QByteArray("/events");
    QTest::newRow("not a number") << QByteArray("/events?userdj=two");
    QTest::newRow("beyond an int") << QByteArray("/events?userdj=99999999999");
}

void tst_ServiceEvents::unreadableLevelRefused()
{
    QFETCH(QByteArray, target);
    EventStreamReader reader(service->port(), target);
    QCOMPARE(reader.status(), 400);
}

void tst_ServiceEvents::publishThroughAnotherInstance()
{
    if (!ServiceFixture::onPostgres())
        QSKIP("instances share a database on PostgreSQL only");
    // One instance publishes (its demo feed); a subscriber of the other is told.
    ServiceFixture publishing(*service, {"--demo-feed", "1"});
    QVERIFY2(publishing.isRunning(), qPrintable(publishing.errorString()));
    EventStreamReader reader(service->port(), "/events?userdj=1");
    auto current = reader.nextEvent();
    QVERIFY(current.id >= 0);
    auto next = reader.nextEvent(15000);
    QVERIFY(next.id > current.id);
}

QTEST_GUILESS_MAIN(tst_ServiceEvents)
#include "tst_ServiceEvents.moc"
