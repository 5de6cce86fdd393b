// The HTTP front end's event streams in-process, with a handler that opens one for every
// request: framing, keep-alive comments, the caps, and the close of a reader that does not
// read.
#include "EventStreamReader.h"

#include "http/EventStream.h"
#include "http/HttpFrontEnd.h"
#include "http/RequestCounters.h"
#include "http/RequestHandler.h"

#include <QTest>

#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class StreamingHandler : public RequestHandler
{
public:
    void answer(const HttpRequest &, const boost::asio::any_io_executor &, Reply reply) override
    {
        HttpAnswer answer;
        answer.openStream = [this](const std::shared_ptr<EventStream> &stream) {
            std::lock_guard lock(mutex_);
            streams_.push_back(stream);
        };
        reply(std::move(answer));
    }
    std::shared_ptr<EventStream> stream(std::size_t index)
    {
        std::lock_guard lock(mutex_);
        return index < streams_.size() ? streams_[index] : nullptr;
    }
    std::size_t opened()
    {
        std::lock_guard lock(mutex_);
        return streams_.size();
    }

private:
    std::mutex mutex_;
    std::vector<std::shared_ptr<EventStream>> streams_;
};

// A front end on a free loopback port, run on a thread of its own.
class RunningFrontEnd
{
public:
    explicit RunningFrontEnd(HttpFrontEnd::Options options)
    {
        options.host = "127.0.0.1";
        options.port = 0;
        options.threads = 2;
        options.log = false;
        frontEnd_ = std::make_unique<HttpFrontEnd>(handler_, options);
        port_ = quint16(frontEnd_->bind());
        thread_ = std::thread([this] { frontEnd_->run(); });
    }
    ~RunningFrontEnd()
    {
        frontEnd_->stop();
        thread_.join();
    }
    quint16 port() const { return port_; }
    HttpFrontEnd &frontEnd() { return *frontEnd_; }
    StreamingHandler &handler() { return handler_; }

private:
    StreamingHandler handler_;
    std::unique_ptr<HttpFrontEnd> frontEnd_;
    quint16 port_ = 0;
    std::thread thread_;
};

} // namespace

class tst_EventStream : public QObject
{
    Q_OBJECT

private slots:
    void eventsArriveInOrder();
    void keepAliveComments();
    void readerThatDoesNotReadIsClosed_data();
    void readerThatDoesNotReadIsClosed();
    void capsRefuseWith503();
    void stopEndsStreams();
};

void tst_EventStream::eventsArriveInOrder()
{
    RunningFrontEnd running({});
    EventStreamReader reader(running.port(), "/events");
    QCOMPARE(reader.status(), 200);
    QTRY_COMPARE(running.handler().opened(), std::size_t(1));
    auto stream = running.handler().stream(0);
    for (int i = 1; i <= 3; ++i)
        stream->send("id: " + std::to_string(i) + "\ndata: text " + std::to_string(i) + "\n\n");
    for (int i = 1; i <= 3; ++i) {
        auto event = reader.nextEvent();
        QCOMPARE(event.id, qint64(i));
        QCOMPARE(event.data, QByteArray("text ") + QByteArray::number(i));
    }
    // The metrics count the events written and the stream among the open connections.
    const RequestCounters &counters = running.frontEnd().counters();
    QTRY_COMPARE(counters.eventsWritten(), std::uint64_t(3));
    QCOMPARE(counters.openStreams(), std::int64_t(1));
    QCOMPARE(counters.openConnections(), std::int64_t(1));
    QCOMPARE(counters.slowReadersClosed(), std::uint64_t(0));
}

void tst_EventStream::keepAliveComments()
{
    HttpFrontEnd::Options options;
    options.stream.keepAlive = std::chrono::milliseconds(100);
    RunningFrontEnd running(options);
    EventStreamReader reader(running.port(), "/events");
    QCOMPARE(reader.status(), 200);
    QVERIFY(reader.nextComment(5000));
    QVERIFY(reader.nextComment(5000));
}

void tst_EventStream::readerThatDoesNotReadIsClosed_data()
{
    QTest::addColumn<int>("queuedBytes");
    QTest::addColumn<int>("writeMs");
    QTest::newRow("its queue overflows") << 16 * 1024 << 10000;
    QTest::newRow("a write outlives its deadline") << 64 * 1024 * 1024 << 300;
}

void tst_EventStream::readerThatDoesNotReadIsClosed()
{
    QFETCH(int, queuedBytes);
    QFETCH(int, writeMs);
    HttpFrontEnd::Options options;
    options.stream.queuedBytes = std::size_t(queuedBytes);
    options.stream.write = std::chrono::milliseconds(writeMs);
    RunningFrontEnd running(options);
    EventStreamReader reader(running.port(), "/events", -1, "127.0.0.1", 4096);
    QCOMPARE(reader.status(), 200);
    QTRY_COMPARE(running.handler().opened(), std::size_t(1));
    QCOMPARE(running.frontEnd().openStreams(), std::size_t(1));
    // More than the socket buffers and the queue hold, while the reader reads nothing.
    auto stream = running.handler().stream(0);
    std::string big = "data: " + std::string(8 * 1024, 'x') + "\n\n";
    for (int i = 0; i < 2000 && running.frontEnd().openStreams() > 0; ++i)
        stream->send(big);
    QTRY_COMPARE_WITH_TIMEOUT(running.frontEnd().openStreams(), std::size_t(0), 15000);
    QVERIFY(reader.closedByPeer(15000));
    const RequestCounters &counters = running.frontEnd().counters();
    QCOMPARE(counters.slowReadersClosed(), std::uint64_t(1));
    QCOMPARE(counters.openStreams(), std::int64_t(0));
    QCOMPARE(counters.openConnections(), std::int64_t(0));
}

void tst_EventStream::capsRefuseWith503()
{
    HttpFrontEnd::Options options;
    options.streams = 2;
    options.connectionsPerAddress = 1;
    RunningFrontEnd running(options);
    auto first = std::make_unique<EventStreamReader>(running.port(), "/events", -1, "127.0.0.2");
    QCOMPARE(first->status(), 200);
    // A second connection from that address is one over its cap, stream or not.
    EventStreamReader sameAddress(running.port(), "/events", -1, "127.0.0.2");
    QCOMPARE(sameAddress.status(), 503);
    EventStreamReader second(running.port(), "/events", -1, "127.0.0.3");
    QCOMPARE(second.status(), 200);
    // Two streams in all.
    EventStreamReader third(running.port(), "/events", -1, "127.0.0.4");
    QCOMPARE(third.status(), 503);
    // A stream that ends gives both places back.
    first.reset();
    QTRY_COMPARE_WITH_TIMEOUT(running.frontEnd().openStreams(), std::size_t(1), 10000);
    EventStreamReader again(running.port(), "/events", -1, "127.0.0.2");
    QCOMPARE(again.status(), 200);
    // A reader that left is no slow reader; the streams it left are no open connections.
    const RequestCounters &counters = running.frontEnd().counters();
    QCOMPARE(counters.slowReadersClosed(), std::uint64_t(0));
    QTRY_COMPARE(counters.openStreams(), std::int64_t(2));
    QTRY_COMPARE(counters.openConnections(), std::int64_t(2));
}

void tst_EventStream::stopEndsStreams()
{
    auto running = std::make_unique<RunningFrontEnd>(HttpFrontEnd::Options{});
    EventStreamReader reader(running->port(), "/events");
    QCOMPARE(reader.status(), 200);
    running.reset(); // stops the front end and waits for its run() to return
    QVERIFY(reader.closedByPeer(5000));
}

QTEST_GUILESS_MAIN(tst_EventStream)
#include "tst_EventStream.moc"
