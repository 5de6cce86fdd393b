#pragma once

#include "http/HttpConnection.h"
#include "http/HttpRequestParser.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ssl/context.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>

#include <memory>
#include <optional>
#include <type_traits>

// A connection's requests read one after the other, each within a deadline for its head
// and body, answered and written; over a TLS stream, after a handshake with a deadline of
// its own. Every wait is asynchronous, so a slow peer holds a socket and a few kilobytes,
// never a thread. The same code serves both streams, so every limit holds for both.
template <class Stream>
class HttpSession : public HttpConnection, public std::enable_shared_from_this<HttpSession<Stream>>
{
public:
    static constexpr bool overTls = !std::is_same_v<Stream, boost::beast::tcp_stream>;

    // tls: the context of a TLS session, held as long as the session lives (a reload gives
    // later sessions another one); null for plain HTTP.
    HttpSession(boost::asio::ip::tcp::socket socket, std::shared_ptr<boost::asio::ssl::context> tls,
                std::string peer, Owner &owner, const HttpRequestParser::Limits &limits, const Timing &timing,
                BodyBudget &bodies);
    ~HttpSession() override;

    void start() override;
    void stop() override;

private:
    static Stream makeStream(boost::asio::ip::tcp::socket socket, boost::asio::ssl::context *tls);
    boost::beast::tcp_stream &transport();
    void handshake();
    void waitForRequest();
    void readHead();
    void readBody();
    void refuse(const boost::beast::error_code &error);
    void dispatch();
    void respond(HttpAnswer answer);
    void write(HttpAnswer answer, bool keepAlive, const HttpRequest *request);
    // The answer stays open as an event stream, which takes the connection over.
    void openStream(HttpAnswer answer, const HttpRequest &request);
    void close();
    void releaseSlot();
    void lingerThenClose();
    void drain();

    std::shared_ptr<boost::asio::ssl::context> tls_;
    Stream stream_;
    boost::beast::flat_buffer buffer_;
    std::string peer_;
    Owner &owner_;
    HttpRequestParser::Limits limits_;
    BodyBudget &bodies_; // shared by every connection's request bodies
    Timing timing_;
    std::optional<HttpRequestParser> parser_;
    boost::beast::http::response<boost::beast::http::string_body> response_;
    Clock::time_point started_;
    bool busy_ = false; // an answer is being made or written
    bool stopping_ = false;
    bool released_ = false;
};

using PlainHttpSession = HttpSession<boost::beast::tcp_stream>;
using TlsHttpSession = HttpSession<boost::beast::ssl_stream<boost::beast::tcp_stream>>;

extern template class HttpSession<boost::beast::tcp_stream>;
extern template class HttpSession<boost::beast::ssl_stream<boost::beast::tcp_stream>>;
