// Several service instances on one PostgreSQL database: what one instance writes, the
// others answer at once; an instance lost leaves the others serving; a database restart
// gives faults while it is down and normal answers after, without restarting the service.
#include "ChangeCounters.h"
#include "ClientStatements.h"
#include "PostgresFixture.h"
#include "RawConnection.h"
#include "ServiceClient.h"
#include "ServiceFixture.h"

#include <httplib.h>

#include <QDeadlineTimer>
#include <QTest>

#include <QElapsedTimer>

#include <future>
#include <memory>

namespace {

// The online record as the client writes it at login.
ClientStatements::OnlineRecord record(const QString &id, const QString &name)
{
    return {id, name, name, QStringLiteral("2099-12-31"), QStringLiteral("127.0.0.1")};
}
QString onlineInsert(const QString &id, const QString &name)
{
    return ClientStatements::onlineRecordInsert(record(id, name));
}
QString onlineUpdate(const QString &id, const QString &name)
{
    return ClientStatements::onlineRecordUpdate(record(id, name));
}

std::unique_ptr<WebServiceSoap> proxy(const ServiceFixture &service)
{
    return ServiceClient::GetWebServiceSoap(service.endpoint());
}

QStringList counters(const ServiceFixture &service, int level)
{
    return ChangeCounters::splitDelimitedText(proxy(service)->ifchangetable(level));
}

// One ifchangetable call with a bounded wait: the status and the body.
std::pair<int, std::string> rawCounters(const ServiceFixture &service)
{
    httplib::Client client("127.0.0.1", service.port());
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(20, 0);
    const std::string body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
        "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><ifchangetable "
        "xmlns=\"http://tempuri.org/\"><userdj>3</userdj></ifchangetable></soap:Body></"
        "soap:Envelope>";
    auto res = client.Post("/WebService.asmx", {{"SOAPAction", "\"http://tempuri.org/ifchangetable\""}}, body,
                           "text/xml; charset=utf-8");
    if (!res)
        return {-1, httplib::to_string(res.error())};
    return {res->status, res->body};
}

// The status a GET of path answers with; -1 when there is no answer.
int getStatus(const ServiceFixture &service, const char *path)
{
    httplib::Client client("127.0.0.1", service.port());
    client.set_connection_timeout(5, 0);
    client.set_read_timeout(20, 0);
    auto res = client.Get(path);
    return res ? res->status : -1;
}

// One login (yanzheng) from source, through a connection of its own: the status and the body.
std::pair<int, QByteArray> rawLogin(const ServiceFixture &service, const char *source)
{
    const QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?><soap:Envelope "
                            "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"><soap:Body><yanzheng "
                            "xmlns=\"http://tempuri.org/\"><username>demo</username><userpass>demo</userpass>"
                            "</yanzheng></soap:Body></soap:Envelope>";
    const QByteArray answer = RawConnection::exchange(
        service.port(), source,
        "POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml; charset=utf-8\r\nSOAPAction: "
        "\"http://tempuri.org/yanzheng\"\r\nContent-Length: " +
            QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body,
        20000);
    return {answer.mid(9, 3).toInt(), answer};
}

} // namespace

class tst_SharedStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void loginSeenByTheOtherInstance();
    void publishedItemCountedByTheOther();
    void otherInstanceServesWhenOneIsLost();
    void databaseRestartWhileServing();
    void loginsThroughAnOutage();
    void frozenDatabaseLeavesOtherAnswersQuick();

private:
    std::unique_ptr<ServiceFixture> a, b;
};

void tst_SharedStore::initTestCase()
{
    if (!ServiceFixture::onPostgres())
        QSKIP("instances share a database only on PostgreSQL (STOCK_ALERT_TEST_STORE=postgresql)");
    a = std::make_unique<ServiceFixture>();
    QVERIFY2(a->isRunning(), qPrintable(a->errorString()));
    b = std::make_unique<ServiceFixture>(*a, QStringList());
    QVERIFY2(b->isRunning(), qPrintable(b->errorString()));
    QVERIFY(a->port() != b->port());
}

void tst_SharedStore::loginSeenByTheOtherInstance()
{
    // The password proved through A lets B write the online record: proofs are shared.
    QCOMPARE(proxy(*a)->yanzheng("demo", "demo"), QStringLiteral("true"));
    QCOMPARE(proxy(*b)->zhixing(onlineInsert("1", "demo")), QStringLiteral("true"));
    const QString first = proxy(*a)->hqdlsj("1");
    QVERIFY(!first.isEmpty());
    QCOMPARE(proxy(*b)->hqdlsj("1"), first);

    // A later login through B: the client that checks through A sees it at once.
    QCOMPARE(proxy(*b)->yanzheng("demo", "demo"), QStringLiteral("true"));
    QCOMPARE(proxy(*b)->zhixing(onlineUpdate("1", "demo")), QStringLiteral("true"));
    const QString second = proxy(*b)->hqdlsj("1");
    QVERIFY2(second != first, qPrintable(second));
    QCOMPARE(proxy(*a)->hqdlsj("1"), second);

    // The record is held by the address that wrote it, whichever instance it goes through.
    QCOMPARE(proxy(*a)->zhixing(ClientStatements::onlineRecordDelete("1", second)), QStringLiteral("true"));
    QCOMPARE(proxy(*b)->hqdlsj("1"), QString());
}

void tst_SharedStore::publishedItemCountedByTheOther()
{
    // B keeps its answer until the database changes: the change must come from A's side.
    const QStringList before = counters(*b, 3);
    QCOMPARE(counters(*b, 3), before);
    QCOMPARE(a->runCommand({"publish", "stock", "--code", "600000", "--name", "浦发银行", "--op", "买入",
                            "--reason", "两个实例", "--level", "3"}),
             0);
    // B answers from memory, brought up to date by the database's notification a moment
    // after the command's commit.
    QStringList after = counters(*b, 3);
    QDeadlineTimer deadline(10000);
    while (after == before && !deadline.hasExpired()) {
        QTest::qWait(20);
        after = counters(*b, 3);
    }
    QCOMPARE(after[0].toInt(), before[0].toInt() + 1);
    QCOMPARE(after[1], before[1]);
    QTRY_COMPARE_WITH_TIMEOUT(counters(*a, 3), after, 10000);

    QCOMPARE(a->runCommand({"publish", "secret", "--title", "只在数据库里", "--level", "3"}), 0);
    QTRY_COMPARE_WITH_TIMEOUT(counters(*b, 3)[11], QStringLiteral("只在数据库里"), 10000);
}

void tst_SharedStore::otherInstanceServesWhenOneIsLost()
{
    ServiceFixture doomed(*a, {});
    QVERIFY2(doomed.isRunning(), qPrintable(doomed.errorString()));
    QCOMPARE(proxy(doomed)->yanzheng("vip", "vip"), QStringLiteral("true"));
    doomed.kill();
    QVERIFY(!doomed.isRunning());
    // Its password proof outlives it: the login goes on through another instance.
    QCOMPARE(proxy(*b)->zhixing(onlineInsert("2", "vip")), QStringLiteral("true"));
    QCOMPARE(proxy(*b)->hqdlsj("2"), proxy(*a)->hqdlsj("2"));
    QCOMPARE(counters(*b, 2), counters(*a, 2));
}

void tst_SharedStore::databaseRestartWhileServing()
{
    PostgresFixture &cluster = PostgresFixture::shared();
    const auto before = rawCounters(*a);
    QCOMPARE(before.first, 200);
    QCOMPARE(getStatus(*a, "/readyz"), 200);

    QVERIFY2(cluster.stop(), qPrintable(cluster.errorString()));
    // A load balancer's checks: the process answers, but it is not ready without its database.
    QCOMPARE(getStatus(*a, "/healthz"), 200);
    QCOMPARE(getStatus(*a, "/readyz"), 503);
    // While the database is down: a fault at once, never a hang, and the service lives on.
    for (int i = 0; i < 3; ++i) {
        const auto down = rawCounters(*a);
        QCOMPARE(down.first, 500);
        QVERIFY2(down.second.find("soap:Server") != std::string::npos, down.second.c_str());
    }
    QCOMPARE(rawCounters(*b).first, 500);
    QVERIFY(a->isRunning() && b->isRunning());

    QVERIFY2(cluster.start(), qPrintable(cluster.errorString()));
    // Back: answered normally by the same processes, every call.
    for (int i = 0; i < 20; ++i) {
        for (ServiceFixture *service : {a.get(), b.get()}) {
            const auto after = rawCounters(*service);
            QVERIFY2(after.first == 200, qPrintable(QString::number(after.first) + " " +
                                                    QString::fromStdString(after.second).right(300)));
            QCOMPARE(after.second, before.second);
        }
    }
    QCOMPARE(proxy(*b)->yanzheng("demo", "demo"), QStringLiteral("true"));
    QCOMPARE(getStatus(*a, "/readyz"), 200);
    QVERIFY(a->isRunning() && b->isRunning());
}

void tst_SharedStore::loginsThroughAnOutage()
{
    // Logins and the insider page while the database is stopped: faults and error pages, never
    // the end of the process. An instance started meanwhile starts and serves when it is back.
    PostgresFixture &cluster = PostgresFixture::shared();
    QVERIFY2(cluster.stop(), qPrintable(cluster.errorString()));
    ServiceFixture startedWhileDown(*a, {});
    QVERIFY2(startedWhileDown.isRunning(), qPrintable(startedWhileDown.errorString()));
    const char *sources[] = {"127.0.0.41", "127.0.0.42", "127.0.0.43"};
    for (const char *source : sources) {
        for (ServiceFixture *service : {a.get(), &startedWhileDown}) {
            const auto login = rawLogin(*service, source);
            QCOMPARE(login.first, 500);
            QVERIFY2(login.second.contains("soap:Server"), login.second.constData());
            // What the database said stays in the log.
            QVERIFY2(!login.second.contains("Connection refused") && !login.second.contains("socket"),
                     login.second.constData());
        }
        httplib::Client page("127.0.0.1", a->port());
        page.set_read_timeout(20, 0);
        auto res = page.Get("/GongGaoXinXi.aspx?username=demo&userpas=demo");
        QVERIFY(res);
        QCOMPARE(res->status, 503);
    }
    QVERIFY(a->isRunning() && startedWhileDown.isRunning());

    QVERIFY2(cluster.start(), qPrintable(cluster.errorString()));
    for (ServiceFixture *service : {a.get(), &startedWhileDown}) {
        const auto login = rawLogin(*service, "127.0.0.44");
        QCOMPARE(login.first, 200);
        QVERIFY2(login.second.contains("<yanzhengResult>true</yanzhengResult>"), login.second.constData());
    }
    QCOMPARE(startedWhileDown.stop(), 0);
}

void tst_SharedStore::frozenDatabaseLeavesOtherAnswersQuick()
{
    // A database that hangs (stopped, connections open) must not hold up answers that need
    // none of it, and calls that need it get a fault by the service's own deadline.
    PostgresFixture &cluster = PostgresFixture::shared();
    const auto beforeFreeze = rawCounters(*a);
    QCOMPARE(beforeFreeze.first, 200);
    QVERIFY2(cluster.freeze(), qPrintable(cluster.errorString()));
    auto login = std::async(std::launch::async, [&] { return rawLogin(*a, "127.0.0.45"); });
    auto counting = std::async(std::launch::async, [&] { return rawCounters(*a); });
    QElapsedTimer quick;
    httplib::Client plain("127.0.0.1", a->port());
    plain.set_read_timeout(20, 0);
    for (int i = 0; i < 5; ++i) {
        quick.start();
        auto res = plain.Get("/IP.aspx");
        QVERIFY(res);
        QCOMPARE(res->status, 200);
        // Far below the database deadline: these answers never wait for the database.
        QVERIFY2(quick.elapsed() < 2000, qPrintable(QString::number(quick.elapsed())));
    }
    QElapsedTimer waited;
    waited.start();
    const auto loginAnswer = login.get();
    const auto countersAnswer = counting.get();
    QVERIFY(cluster.thaw());
    QCOMPARE(loginAnswer.first, 500);
    QVERIFY2(loginAnswer.second.contains("soap:Server"), loginAnswer.second.constData());
    // The counters come from the instance's memory while it listens for changes (nothing can
    // change while the database is frozen), else as a fault by the deadline.
    if (countersAnswer.first == 200)
        QCOMPARE(countersAnswer.second, beforeFreeze.second);
    else
        QCOMPARE(countersAnswer.first, 500);
    // Answered by the deadline, not by the end of the freeze (the test held it until both came).
    QVERIFY2(waited.elapsed() < 15000, qPrintable(QString::number(waited.elapsed())));
    // Thawed: the service carries on.
    QTRY_COMPARE_WITH_TIMEOUT(rawCounters(*a).first, 200, 15000);
    QVERIFY(a->isRunning());
}

QTEST_GUILESS_MAIN(tst_SharedStore)
#include "tst_SharedStore.moc"
