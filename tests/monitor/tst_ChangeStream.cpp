// The client's change stream on its own: against the real service (an event per publish),
// and against small fakes for what the real service does not do (no stream at all, a
// stream that falls silent).
#include "ChangeStream.h"
#include "ServiceFixture.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

constexpr int Bound = 15000;

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
    void eventsWantTicks();
    void serviceWithoutStreamBacksOff();
    void silentStreamReopenedWithOneTick();
};

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
    FakeService fake("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: 9\r\nConnection: "
                     "close\r\n\r\nnot found");
    ChangeStream stream;
    stream.setTiming({std::chrono::milliseconds(45000), std::chrono::milliseconds(300),
                      std::chrono::milliseconds(1200), std::chrono::milliseconds(5000)});
    QSignalSpy ticks(&stream, &ChangeStream::tickWanted);
    stream.start(fake.url());
    // Each refusal doubles the wait before the next attempt, up to the longest.
    using std::chrono::milliseconds;
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
    FakeService fake(
        "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nTransfer-Encoding: chunked\r\n\r\n");
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

QTEST_GUILESS_MAIN(tst_ChangeStream)
#include "tst_ChangeStream.moc"
