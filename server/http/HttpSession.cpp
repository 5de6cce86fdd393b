#include "http/HttpSession.h"

#include "http/EventStreamSession.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/ssl/error.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

#include <utility>

namespace beast = boost::beast;
namespace http = beast::http;
namespace net = boost::asio;

namespace {

// The peer went away or the service is stopping: nothing to answer, nothing to log.
bool quietEnd(const beast::error_code &error)
{
    return error == http::error::end_of_stream || error == net::error::eof ||
           error == net::error::connection_reset || error == net::error::operation_aborted ||
           error == net::error::broken_pipe || error == net::error::bad_descriptor ||
           error == net::ssl::error::stream_truncated;
}

const char *reason(int status)
{
    return http::obsolete_reason(http::status(status)).data();
}

} // namespace

template <class Stream>
HttpSession<Stream>::HttpSession(net::ip::tcp::socket socket, std::shared_ptr<net::ssl::context> tls,
                                 std::string peer, Owner &owner, const HttpRequestParser::Limits &limits,
                                 const Timing &timing, BodyBudget &bodies)
    : tls_(std::move(tls)), stream_(makeStream(std::move(socket), tls_.get())),
      buffer_(limits.headBytes + 4096), peer_(std::move(peer)), owner_(owner), limits_(limits),
      bodies_(bodies), timing_(timing)
{
}

template <class Stream> HttpSession<Stream>::~HttpSession()
{
    releaseSlot();
}

template <class Stream>
Stream HttpSession<Stream>::makeStream(net::ip::tcp::socket socket, net::ssl::context *tls)
{
    if constexpr (overTls)
        return Stream(beast::tcp_stream(std::move(socket)), *tls);
    else
        return Stream(std::move(socket));
}

template <class Stream> beast::tcp_stream &HttpSession<Stream>::transport()
{
    return beast::get_lowest_layer(stream_);
}

template <class Stream> void HttpSession<Stream>::start()
{
    net::dispatch(stream_.get_executor(), [self = this->shared_from_this()] {
        if constexpr (overTls)
            self->handshake();
        else
            self->waitForRequest();
    });
}

template <class Stream> void HttpSession<Stream>::handshake()
{
    if constexpr (overTls) {
        // The whole handshake has one deadline, however slowly its bytes arrive: a peer that
        // never finishes holds its slot for seconds, not for as long as it likes.
        started_ = Clock::now();
        transport().expires_after(timing_.handshake);
        stream_.async_handshake(
            net::ssl::stream_base::server, [self = this->shared_from_this()](beast::error_code error) {
                if (!error)
                    return self->waitForRequest();
                // Not TLS (plain HTTP sent here), a peer that does not trust
                // the certificate, or too slow: nothing is answered in clear,
                // but the operator sees who it was.
                if (!self->stopping_ && !quietEnd(error))
                    self->owner_.log(self->peer_, nullptr, error == beast::error::timeout ? 408 : 400,
                                     self->started_);
                self->close();
            });
    }
}

template <class Stream> void HttpSession<Stream>::stop()
{
    net::dispatch(stream_.get_executor(), [self = this->shared_from_this()] {
        self->stopping_ = true;
        if (!self->busy_)
            self->close();
    });
}

template <class Stream> void HttpSession<Stream>::waitForRequest()
{
    if (stopping_)
        return close();
    if (buffer_.size() > 0)
        return readHead();
    // The deadline of a request starts with its first byte; before it, an idle time-out.
    transport().expires_after(timing_.idle);
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = this->shared_from_this()](beast::error_code error, std::size_t size) {
                                if (error)
                                    return self->close();
                                self->buffer_.commit(size);
                                self->readHead();
                            });
}

template <class Stream> void HttpSession<Stream>::readHead()
{
    started_ = Clock::now();
    transport().expires_after(timing_.request);
    parser_.emplace(limits_, &bodies_);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                                if (error)
                                    return self->refuse(error);
                                self->readBody();
                            });
}

template <class Stream> void HttpSession<Stream>::readBody()
{
    if (parser_->is_done())
        return dispatch();
    auto expect = parser_->request().header("Expect");
    bool continueWanted =
        expect && beast::iequals(*expect, "100-continue") && parser_->request().version >= 11;
    auto read = [self = this->shared_from_this()] {
        http::async_read(self->stream_, self->buffer_, *self->parser_,
                         [self](beast::error_code error, std::size_t) {
                             if (error)
                                 return self->refuse(error);
                             self->dispatch();
                         });
    };
    if (!continueWanted)
        return read();
    static const std::string goOn = "HTTP/1.1 100 Continue\r\n\r\n";
    net::async_write(stream_, net::buffer(goOn),
                     [self = this->shared_from_this(), read](beast::error_code error, std::size_t) {
                         if (error)
                             return self->close();
                         read();
                     });
}

template <class Stream> void HttpSession<Stream>::refuse(const beast::error_code &error)
{
    if (error == beast::error::timeout) {
        // Too slow to send its request: no answer (the peer is not reading anyway), but
        // the operator sees who it was.
        owner_.log(peer_, nullptr, 408, started_);
        return close();
    }
    if (quietEnd(error) || stopping_)
        return close();
    int status = HttpRequestParser::refusalStatus(error);
    HttpAnswer answer{status, "text/html; charset=utf-8", ""};
    if (status != 400)
        answer.body = std::string("<html><head><title>") + std::to_string(status) +
                      "</title></head><body><h1>" + std::to_string(status) + " " + reason(status) +
                      "</h1></body></html>";
    busy_ = true;
    write(std::move(answer), false, nullptr);
}

template <class Stream> void HttpSession<Stream>::dispatch()
{
    busy_ = true;
    HttpRequest &request = parser_->request();
    request.peerAddress = peer_;
    if (!owner_.identify(request))
        return write({400, "text/html; charset=utf-8", ""}, false, &request);
    // The answer may come from another thread: it is written from this connection's strand.
    auto executor = stream_.get_executor();
    owner_.answer(request, executor, [self = this->shared_from_this(), executor](HttpAnswer answer) {
        net::dispatch(executor,
                      [self, answer = std::move(answer)]() mutable { self->respond(std::move(answer)); });
    });
}

template <class Stream> void HttpSession<Stream>::respond(HttpAnswer answer)
{
    const HttpRequest &request = parser_->request();
    if (answer.openStream)
        return openStream(std::move(answer), request);
    write(std::move(answer), parser_->keep_alive() && !stopping_, &request);
}

template <class Stream> void HttpSession<Stream>::openStream(HttpAnswer answer, const HttpRequest &request)
{
    if (stopping_ || !owner_.takeStreamPlace())
        return write({503, "text/html; charset=utf-8", ""}, false, &request);
    bool http11 = request.version >= 11;
    std::string head = std::string(http11 ? "HTTP/1.1" : "HTTP/1.0") +
                       " 200 OK\r\nContent-Type: text/event-stream; charset=utf-8\r\n"
                       "Cache-Control: no-cache\r\nX-Accel-Buffering: no\r\n" +
                       (http11 ? "Transfer-Encoding: chunked\r\n\r\n" : "Connection: close\r\n\r\n");
    owner_.log(request.clientAddress, &request, 200, started_);
    // The connection's stream, and its place under the caps, go to the event stream.
    auto stream = std::make_shared<EventStreamSession<Stream>>(std::move(stream_), tls_, peer_, http11,
                                                               owner_.streamOwner(), owner_.streamLimits());
    released_ = true;
    busy_ = false;
    owner_.adoptStream(this, stream);
    answer.openStream(stream);
    stream->start(std::move(head));
}

template <class Stream>
void HttpSession<Stream>::write(HttpAnswer answer, bool keepAlive, const HttpRequest *request)
{
    response_ = {};
    response_.version(request && request->version == 10 ? 10 : 11);
    response_.result(answer.status);
    if (!answer.contentType.empty())
        response_.set(http::field::content_type, answer.contentType);
    for (const auto &[name, value] : answer.headers)
        response_.insert(name, value);
    response_.body() = std::move(answer.body); // one copy of a large answer, not two
    response_.keep_alive(keepAlive);
    response_.prepare_payload();
    transport().expires_after(timing_.write);
    std::string address = request ? request->clientAddress : peer_;
    http::async_write(stream_, response_,
                      [self = this->shared_from_this(), keepAlive, request, address,
                       status = answer.status](beast::error_code error, std::size_t) {
                          self->owner_.log(address, request, status, self->started_);
                          self->busy_ = false;
                          if (!error && !request)
                              return self->lingerThenClose();
                          if (error || !keepAlive || self->stopping_)
                              return self->close();
                          self->waitForRequest();
                      });
}

template <class Stream> void HttpSession<Stream>::close()
{
    // A client that reconnects the moment it sees this close must find its slot free.
    releaseSlot();
    beast::error_code ignored;
    transport().socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
    transport().close();
}

template <class Stream> void HttpSession<Stream>::releaseSlot()
{
    if (std::exchange(released_, true))
        return;
    owner_.closed(this, peer_);
}

template <class Stream> void HttpSession<Stream>::lingerThenClose()
{
    // The peer may still be sending what was refused (a body over the limit). Closing with
    // unread data would reset the connection and could destroy the answer before the peer
    // read it, so read and drop what still comes, for a moment.
    beast::error_code ignored;
    transport().socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
    transport().expires_after(std::chrono::seconds(1));
    drain();
}

template <class Stream> void HttpSession<Stream>::drain()
{
    buffer_.clear();
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = this->shared_from_this()](beast::error_code error, std::size_t) {
                                if (error)
                                    return self->close();
                                self->drain();
                            });
}

template class HttpSession<beast::tcp_stream>;
template class HttpSession<beast::ssl_stream<beast::tcp_stream>>;
