// The client's change stream on its own: against the real service (an event per publish,
// over HTTPS with a private authority), and against small fakes for what the real service does
// not do (no stream at all, a stream that falls silent); with clocks of the test's own for a
// wake from sleep, and the network's changes as QNetworkInformation tells them.
#include "ChangeStream.h"
#include "ServiceFixture.h"
#include "TestCertificates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <atomic>
#include <memory>

using std::chrono::milliseconds;
using Reachability = QNetworkInformation::Reachability;

namespace {

constexpr int Bound = 15000;

const QByteArray openStreamHead =
    "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nTransfer-Encoding: chunked\r\n\r\n";
const QByteArray notFound = "HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\n"
                            "Connection: close\r\n\r\nnot found";

// Clocks the test moves by hand; counts how often the stream looked at them.
struct HandClocks
{
    std::atomic<qint64> monotonic{1000};
    std::atomic<qint64> wall{1700000000000};
    std::atomic<int> looks{0};

    ChangeStream::Clocks clocks()
    {
        return {[this] { return milliseconds(monotonic.load()); },
                [this] {
                    ++looks;
                    return milliseconds(wall.load());
                }};
    }
};

// Answers every request with a fixed head (and keeps the connection open when asked to):
// a service without the stream, or one whose stream falls silent.
class FakeService : public QObject
{
public:
    explicit FakeService(QByteArray answer) : m_answer(std::move(answer))
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    ++requests;
                    socket->write(m_answer);
                    if (!m_answer.contains("text/event-stream"))
                        socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/events?userdj=2").arg(m_server.serverPort()));
    }
    int requests = 0;

private:
    QTcpServer m_server;
    QByteArray m_answer;
};

} // namespace

class tst_ChangeStream : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void eventsWantTicks();
    void serviceWithoutStreamBacksOff();
    void silentStreamReopenedWithOneTick();
    void wakeFromSleepReopensWithOneTick_data();
    void wakeFromSleepReopensWithOneTick();
    void networkChangeReopensWithOneTick_data();
    void networkChangeReopensWithOneTick();
    void networkBackEndsTheBackOff();
    void httpsTrustsTheExtraAuthorities_data();
    void httpsTrustsTheExtraAuthorities();
};

void tst_ChangeStream::initTestCase()
{
    // The configuration folder (ca.pem) is a test one of its own, never the user's.
    QStandardPaths::setTestModeEnabled(true);
}

void tst_ChangeStream::eventsWantTicks()
{
    ServiceFixture service;
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    ChangeStream stream;
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(QUrl(service.host() + QStringLiteral("/events?userdj=2")));
    // The current event comes first.
    QVERIFY(ticks.wait(Bound));
    QVERIFY(stream.isOpen());
    ticks.clear();
    QCOMPARE(service.runCommand({"publish", "stock", "--code", "600036", "--name", "招商银行", "--op", "买入",
                                 "--reason", "突破", "--level", "3"}),
             0);
    QVERIFY(ticks.wait(Bound));
    QCOMPARE(ticks.count(), 1);
}

void tst_ChangeStream::serviceWithoutStreamBacksOff()
{
    FakeService fake(notFound);
    ChangeStream stream;
    stream.setTiming({std::chrono::milliseconds(45000), std::chrono::milliseconds(300),
                      std::chrono::milliseconds(1200), std::chrono::milliseconds(5000)});
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(fake.url());
    // Each refusal doubles the wait before the next attempt, up to the longest.
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 1 && stream.retryIn() == milliseconds(300), Bound);
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 2 && stream.retryIn() == milliseconds(600), Bound);
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 3 && stream.retryIn() == milliseconds(1200), Bound);
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 4 && stream.retryIn() == milliseconds(1200), Bound);
    QVERIFY(!stream.isOpen());
    QCOMPARE(ticks.count(), 0);
}

void tst_ChangeStream::silentStreamReopenedWithOneTick()
{
    // A head and then nothing: no event, no keep-alive comment.
    FakeService fake(openStreamHead);
    ChangeStream stream;
    stream.setTiming({std::chrono::milliseconds(300), std::chrono::milliseconds(5000),
                      std::chrono::milliseconds(300000), std::chrono::milliseconds(5000)});
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(fake.url());
    QTRY_VERIFY_WITH_TIMEOUT(stream.isOpen(), Bound);
    QCOMPARE(ticks.count(), 0);
    // After the silence it asks again and wants one tick, for what it may have missed.
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests >= 2 && ticks.count() >= 1, Bound);
}

void tst_ChangeStream::wakeFromSleepReopensWithOneTick_data()
{
    QTest::addColumn<qint64>("monotonicMoves");
    QTest::addColumn<qint64>("wallMoves");
    QTest::addColumn<bool>("reopens");
    QTest::newRow("ten minutes asleep") << qint64(0) << qint64(600000) << true;
    QTest::newRow("awake, both clocks go on") << qint64(60000) << qint64(60000) << false;
    QTest::newRow("wall clock set back an hour") << qint64(0) << qint64(-3600000) << false;
    QTest::newRow("wall clock set forward a little") << qint64(0) << qint64(90) << false;
}

void tst_ChangeStream::wakeFromSleepReopensWithOneTick()
{
    QFETCH(qint64, monotonicMoves);
    QFETCH(qint64, wallMoves);
    QFETCH(bool, reopens);
    FakeService fake(openStreamHead);
    HandClocks clocks;
    ChangeStream stream;
    stream.setTiming({milliseconds(45000), milliseconds(5000), milliseconds(300000), milliseconds(50)});
    stream.setClocks(clocks.clocks());
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(fake.url());
    QTRY_VERIFY_WITH_TIMEOUT(stream.isOpen(), Bound);

    clocks.monotonic += monotonicMoves;
    clocks.wall += wallMoves;
    // Two looks at the clocks since they moved.
    const int looked = clocks.looks;
    QTRY_VERIFY_WITH_TIMEOUT(clocks.looks >= looked + 2, Bound);
    if (reopens) {
        QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 2 && stream.isOpen(), Bound);
        QCOMPARE(ticks.count(), 1);
    } else {
        QVERIFY(stream.isOpen());
        QCOMPARE(fake.requests, 1);
        QCOMPARE(ticks.count(), 0);
    }
}

void tst_ChangeStream::networkChangeReopensWithOneTick_data()
{
    QTest::addColumn<Reachability>("reachability");
    QTest::addColumn<bool>("reopens");
    QTest::newRow("online again") << Reachability::Online << true;
    QTest::newRow("the local network only (a service on it)") << Reachability::Site << true;
    QTest::newRow("disconnected") << Reachability::Disconnected << false;
}

void tst_ChangeStream::networkChangeReopensWithOneTick()
{
    QFETCH(Reachability, reachability);
    QFETCH(bool, reopens);
    FakeService fake(openStreamHead);
    ChangeStream stream;
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(fake.url());
    QTRY_VERIFY_WITH_TIMEOUT(stream.isOpen(), Bound);
    stream.networkChanged(reachability);
    // The old connection is dropped at once, or left alone.
    QCOMPARE(stream.isOpen(), !reopens);
    if (reopens) {
        QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 2 && stream.isOpen(), Bound);
        QCOMPARE(ticks.count(), 1);
    } else {
        QCOMPARE(fake.requests, 1);
        QCOMPARE(ticks.count(), 0);
    }
}

void tst_ChangeStream::networkBackEndsTheBackOff()
{
    FakeService fake(notFound);
    ChangeStream stream;
    stream.setTiming({milliseconds(45000), milliseconds(600000), milliseconds(600000), milliseconds(5000)});
    stream.start(fake.url());
    QTRY_VERIFY_WITH_TIMEOUT(fake.requests == 1 && stream.retryIn() == milliseconds(600000), Bound);
    // Not ten minutes later: now.
    stream.networkChanged(Reachability::Online);
    QTRY_COMPARE_WITH_TIMEOUT(fake.requests, 2, Bound);
}

void tst_ChangeStream::httpsTrustsTheExtraAuthorities_data()
{
    QTest::addColumn<bool>("authorityInConfigurationFolder");
    QTest::newRow("ca.pem in the configuration folder") << true;
    QTest::newRow("the system's authorities alone") << false;
}

void tst_ChangeStream::httpsTrustsTheExtraAuthorities()
{
    QFETCH(bool, authorityInConfigurationFolder);
    TestCertificates authority;
    QVERIFY2(authority.issue("server", "service"), qPrintable(authority.errorString()));
    ServiceFixture service(
        true, {"--tls-cert", authority.certificateFile("server"), "--tls-key", authority.keyFile("server")});
    QVERIFY2(service.isRunning(), qPrintable(service.errorString()));
    QVERIFY(service.host().startsWith("https://"));
    const QString own =
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) + QStringLiteral("/ca.pem");
    QDir().mkpath(QFileInfo(own).path());
    QFile::remove(own);
    if (authorityInConfigurationFolder)
        QVERIFY(QFile::copy(authority.authorityFile(), own));
    auto removeOwn = qScopeGuard([&] { QFile::remove(own); });

    ChangeStream stream;
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(QUrl(service.host() + QStringLiteral("/events?userdj=2")));
    if (authorityInConfigurationFolder) {
        // The current event comes first, then one per publish.
        QVERIFY(ticks.wait(Bound));
        QVERIFY(stream.isOpen());
        ticks.clear();
        QCOMPARE(service.runCommand({"publish", "news", "--type", "t", "--text", "x"}), 0);
        QVERIFY(ticks.wait(Bound));
    } else {
        // A certificate that does not verify is a failure like any other: polling goes on.
        QTRY_VERIFY_WITH_TIMEOUT(stream.retryIn() > milliseconds(0), Bound);
        QVERIFY(!stream.isOpen());
        QCOMPARE(ticks.count(), 0);
    }
}

QTEST_GUILESS_MAIN(tst_ChangeStream)
#include "tst_ChangeStream.moc"
