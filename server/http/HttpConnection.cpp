#include "http/HttpConnection.h"

#include <boost/asio/dispatch.hpp>
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
           error == net::error::broken_pipe || error == net::error::bad_descriptor;
}

const char *reason(int status)
{
    return http::obsolete_reason(http::status(status)).data();
}

} // namespace

HttpConnection::HttpConnection(net::ip::tcp::socket socket, std::string peer, Owner &owner,
                               const HttpRequestParser::Limits &limits, const Timing &timing)
    : stream_(std::move(socket)), buffer_(limits.headBytes + 4096), hold_(stream_.get_executor()),
      peer_(std::move(peer)), owner_(owner), limits_(limits), timing_(timing)
{
}

HttpConnection::~HttpConnection()
{
    releaseSlot();
}

void HttpConnection::start()
{
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] { self->waitForRequest(); });
}

void HttpConnection::stop()
{
    net::dispatch(stream_.get_executor(), [self = shared_from_this()] {
        self->stopping_ = true;
        self->hold_.cancel();
        if (!self->busy_)
            self->close();
    });
}

void HttpConnection::waitForRequest()
{
    if (stopping_)
        return close();
    if (buffer_.size() > 0)
        return readHead();
    // The deadline of a request starts with its first byte; before it, an idle time-out.
    stream_.expires_after(timing_.idle);
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code error, std::size_t size) {
                                if (error)
                                    return self->close();
                                self->buffer_.commit(size);
                                self->readHead();
                            });
}

void HttpConnection::readHead()
{
    started_ = Clock::now();
    stream_.expires_after(timing_.request);
    parser_.emplace(limits_);
    http::async_read_header(stream_, buffer_, *parser_,
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                if (error)
                                    return self->refuse(error);
                                self->readBody();
                            });
}

void HttpConnection::readBody()
{
    if (parser_->is_done())
        return dispatch();
    auto expect = parser_->request().header("Expect");
    bool continueWanted =
        expect && beast::iequals(*expect, "100-continue") && parser_->request().version >= 11;
    auto read = [self = shared_from_this()] {
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
                     [self = shared_from_this(), read](beast::error_code error, std::size_t) {
                         if (error)
                             return self->close();
                         read();
                     });
}

void HttpConnection::refuse(const beast::error_code &error)
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
    write(answer, false, nullptr);
}

void HttpConnection::dispatch()
{
    busy_ = true;
    HttpRequest &request = parser_->request();
    request.peerAddress = peer_;
    if (!owner_.identify(request))
        return write({400, "text/html; charset=utf-8", ""}, false, &request);
    auto hold = owner_.holdFor(request);
    if (hold.count() <= 0)
        return respond();
    hold_.expires_after(hold);
    hold_.async_wait([self = shared_from_this()](beast::error_code error) {
        if (error || self->stopping_) {
            self->busy_ = false;
            return self->close();
        }
        self->respond();
    });
}

void HttpConnection::respond()
{
    const HttpRequest &request = parser_->request();
    HttpAnswer answer = owner_.answer(request);
    write(answer, parser_->keep_alive() && !stopping_, &request);
}

void HttpConnection::write(const HttpAnswer &answer, bool keepAlive, const HttpRequest *request)
{
    response_ = {};
    response_.version(request && request->version == 10 ? 10 : 11);
    response_.result(answer.status);
    if (!answer.contentType.empty())
        response_.set(http::field::content_type, answer.contentType);
    response_.body() = answer.body;
    response_.keep_alive(keepAlive);
    response_.prepare_payload();
    stream_.expires_after(timing_.write);
    std::string address = request ? request->clientAddress : peer_;
    http::async_write(stream_, response_,
                      [self = shared_from_this(), keepAlive, request, address,
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

void HttpConnection::close()
{
    // A client that reconnects the moment it sees this close must find its slot free.
    releaseSlot();
    beast::error_code ignored;
    stream_.socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
    stream_.close();
}

void HttpConnection::releaseSlot()
{
    if (std::exchange(released_, true))
        return;
    owner_.closed(this, peer_);
}

void HttpConnection::lingerThenClose()
{
    // The peer may still be sending what was refused (a body over the limit). Closing with
    // unread data would reset the connection and could destroy the answer before the peer
    // read it, so read and drop what still comes, for a moment.
    beast::error_code ignored;
    stream_.socket().shutdown(net::ip::tcp::socket::shutdown_send, ignored);
    stream_.expires_after(std::chrono::seconds(1));
    drain();
}

void HttpConnection::drain()
{
    buffer_.clear();
    stream_.async_read_some(buffer_.prepare(4096),
                            [self = shared_from_this()](beast::error_code error, std::size_t) {
                                if (error)
                                    return self->close();
                                self->drain();
                            });
}
