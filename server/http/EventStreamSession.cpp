#include "http/EventStreamSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace beast = boost::beast;
namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

std::string chunk(const std::string &bytes)
{
    char size[20];
    std::snprintf(size, sizeof size, "%zx\r\n", bytes.size());
    return size + bytes + "\r\n";
}

const std::string keepAliveComment = ": keep-alive\n\n";

// A stream's time-outs rounded up to a grid (a tenth of the period, a second at most): the
// timers of thousands of streams fall due together, and the service wakes once for all of
// them rather than once for each.
std::chrono::steady_clock::time_point onGrid(std::chrono::milliseconds period)
{
    using std::chrono::steady_clock;
    const auto grid = std::chrono::duration_cast<steady_clock::duration>(
        std::clamp(period / 10, std::chrono::milliseconds(1), std::chrono::milliseconds(1000)));
    const auto due = (steady_clock::now() + period).time_since_epoch();
    return steady_clock::time_point((due + grid - steady_clock::duration(1)) / grid * grid);
}

} // namespace

template <class Stream>
EventStreamSession<Stream>::EventStreamSession(Stream stream, std::shared_ptr<net::ssl::context> tls,
                                               std::string peer, bool chunked, Owner &owner,
                                               const Limits &limits)
    : EventStream(std::move(peer)), tls_(std::move(tls)), stream_(std::move(stream)),
      writeDeadline_(stream_.get_executor()), keepAlive_(stream_.get_executor()), chunked_(chunked),
      owner_(owner), limits_(limits)
{
    // The stream has deadlines of its own for each write; reading waits for the close.
    transport().expires_never();
}

template <class Stream> EventStreamSession<Stream>::~EventStreamSession()
{
    if (!ended_)
        owner_.ended(this, peer(), Ending::Closed);
}

template <class Stream> beast::tcp_stream &EventStreamSession<Stream>::transport()
{
    return beast::get_lowest_layer(stream_);
}

template <class Stream> void EventStreamSession<Stream>::start(std::string head)
{
    net::dispatch(stream_.get_executor(),
                  [self = this->shared_from_this(), head = std::move(head)]() mutable {
                      // The head goes before anything sent meanwhile.
                      self->queuedBytes_ += head.size();
                      self->queue_.push_front({std::move(head)});
                      self->writeNext();
                      self->readUntilClosed();
                      self->keepAliveLater();
                  });
}

template <class Stream> void EventStreamSession<Stream>::send(std::string event)
{
    std::string bytes = chunked_ ? chunk(event) : std::move(event);
    net::post(stream_.get_executor(), [self = this->shared_from_this(), bytes = std::move(bytes)]() mutable {
        self->enqueue({std::move(bytes), true});
    });
}

template <class Stream> void EventStreamSession<Stream>::stop()
{
    net::dispatch(stream_.get_executor(), [self = this->shared_from_this()] { self->end(); });
}

template <class Stream> void EventStreamSession<Stream>::enqueue(Queued queued)
{
    if (ended_)
        return;
    if (queuedBytes_ + queued.bytes.size() > limits_.queuedBytes)
        return end(Ending::SlowReader); // the peer does not read: drop it rather than hold ever more for it
    queuedBytes_ += queued.bytes.size();
    queue_.push_back(std::move(queued));
    writeNext();
}

template <class Stream> void EventStreamSession<Stream>::writeNext()
{
    if (writing_ || ended_ || queue_.empty())
        return;
    writing_ = true;
    // The deadline is not cancelled when the write completes (each cancel would cost one more
    // wake-up): when it falls due it looks whether this very write is still under way.
    const std::uint64_t write = ++writesStarted_;
    writeDeadline_.expires_at(onGrid(limits_.write));
    writeDeadline_.async_wait([self = this->shared_from_this(), write](boost::system::error_code error) {
        if (!error && self->writing_ && self->writesStarted_ == write)
            self->end(Ending::SlowReader);
    });
    net::async_write(stream_, net::buffer(queue_.front().bytes),
                     [self = this->shared_from_this()](boost::system::error_code error, std::size_t) {
                         self->writing_ = false;
                         if (error || self->ended_)
                             return self->end();
                         const Queued &written = self->queue_.front();
                         if (written.event)
                             self->owner_.eventWritten();
                         self->queuedBytes_ -= written.bytes.size();
                         self->queue_.pop_front();
                         self->writeNext();
                     });
}

template <class Stream> void EventStreamSession<Stream>::readUntilClosed()
{
    // The peer sends nothing on a stream; reading is how its close is noticed.
    stream_.async_read_some(net::buffer(discarded_),
                            [self = this->shared_from_this()](boost::system::error_code error, std::size_t) {
                                if (error)
                                    return self->end();
                                self->readUntilClosed();
                            });
}

template <class Stream> void EventStreamSession<Stream>::keepAliveLater()
{
    keepAlive_.expires_at(onGrid(limits_.keepAlive));
    keepAlive_.async_wait([self = this->shared_from_this()](boost::system::error_code error) {
        if (error || self->ended_)
            return;
        self->enqueue({self->chunked_ ? chunk(keepAliveComment) : keepAliveComment});
        self->keepAliveLater();
    });
}

template <class Stream> void EventStreamSession<Stream>::end(Ending why)
{
    if (ended_)
        return;
    ended_ = true;
    writeDeadline_.cancel();
    keepAlive_.cancel();
    // The owner frees the stream's places first: a peer that reconnects at once is let in.
    owner_.ended(this, peer(), why);
    boost::system::error_code ignored;
    transport().socket().shutdown(tcp::socket::shutdown_both, ignored);
    transport().close();
    runEndHandler();
}

template class EventStreamSession<beast::tcp_stream>;
template class EventStreamSession<beast::ssl_stream<beast::tcp_stream>>;
