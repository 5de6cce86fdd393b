#pragma once

#include "http/EventStream.h"

#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

// An event stream over the connection's own stream, plain or TLS, taken over from the
// session that read its request. All its work runs on that connection's strand.
template <class Stream>
class EventStreamSession : public EventStream, public std::enable_shared_from_this<EventStreamSession<Stream>>
{
public:
    // chunked: frame the body in HTTP/1.1 chunks (else it ends with the connection, as
    // HTTP/1.0 has it). tls: the context the TLS stream was made with, kept while it lives.
    EventStreamSession(Stream stream, std::shared_ptr<boost::asio::ssl::context> tls, std::string peer,
                       bool chunked, Owner &owner, const Limits &limits);
    ~EventStreamSession() override;

    void start(std::string head) override;
    void send(std::string event) override;
    void stop() override;

private:
    boost::beast::tcp_stream &transport();
    // What waits to be written, and whether it is an event (for the counts).
    struct Queued
    {
        std::string bytes;
        bool event = false;
    };

    void enqueue(Queued queued);
    void writeNext();
    void readUntilClosed();
    void keepAliveLater();
    void end(Ending why = Ending::Closed);

    std::shared_ptr<boost::asio::ssl::context> tls_;
    Stream stream_;
    boost::asio::steady_timer writeDeadline_;
    boost::asio::steady_timer keepAlive_;
    bool chunked_;
    Owner &owner_;
    Limits limits_;
    std::deque<Queued> queue_;
    std::size_t queuedBytes_ = 0;
    bool writing_ = false;
    std::uint64_t writesStarted_ = 0; // tells a write's deadline whether that write is still on
    bool ended_ = false;
    std::array<char, 512> discarded_{};
};

extern template class EventStreamSession<boost::beast::tcp_stream>;
extern template class EventStreamSession<boost::beast::ssl_stream<boost::beast::tcp_stream>>;
