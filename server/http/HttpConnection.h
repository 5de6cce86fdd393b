#pragma once

#include "http/HttpAnswer.h"
#include "http/HttpRequest.h"
#include "http/HttpRequestParser.h"

#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/beast/http/string_body.hpp>

#include <chrono>
#include <memory>
#include <optional>

// One accepted connection: reads requests one after the other, each within a deadline for
// its head and body, has them answered and writes the answers. Every wait is asynchronous,
// so a slow peer holds a socket and a few kilobytes, never a thread.
class HttpConnection : public std::enable_shared_from_this<HttpConnection>
{
public:
    using Clock = std::chrono::steady_clock;

    struct Timing
    {
        std::chrono::milliseconds idle{5000};     // for the first byte of a request
        std::chrono::milliseconds request{10000}; // from the first byte to the end of the body
        std::chrono::milliseconds write{10000};   // for the answer to be taken
    };

    // What the front end does for its connections.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // Fills in clientAddress; false refuses the request (unreadable forwarded address).
        virtual bool identify(HttpRequest &request) = 0;
        // How long to hold the request before answering it (slowed-down login guessing).
        virtual std::chrono::milliseconds holdFor(const HttpRequest &request) = 0;
        virtual HttpAnswer answer(const HttpRequest &request) = 0;
        // request: null when the request could not be read (its head was refused).
        virtual void log(const std::string &address, const HttpRequest *request, int status,
                         Clock::time_point started) = 0;
        // Called once per connection, just before its socket closes (a refused connection
        // that still drains what its peer sends is counted until then).
        virtual void closed(HttpConnection *connection, const std::string &peer) = 0;
    };

    HttpConnection(boost::asio::ip::tcp::socket socket, std::string peer, Owner &owner,
                   const HttpRequestParser::Limits &limits, const Timing &timing);
    ~HttpConnection();

    void start();
    // Ends the connection as soon as no answer is being made or written for it.
    void stop();

private:
    void waitForRequest();
    void readHead();
    void readBody();
    void refuse(const boost::beast::error_code &error);
    void dispatch();
    void respond();
    void write(const HttpAnswer &answer, bool keepAlive, const HttpRequest *request);
    void close();
    void releaseSlot();
    void lingerThenClose();
    void drain();

    boost::beast::tcp_stream stream_;
    boost::beast::flat_buffer buffer_;
    boost::asio::steady_timer hold_;
    std::string peer_;
    Owner &owner_;
    HttpRequestParser::Limits limits_;
    Timing timing_;
    std::optional<HttpRequestParser> parser_;
    boost::beast::http::response<boost::beast::http::string_body> response_;
    Clock::time_point started_;
    bool busy_ = false; // an answer is being made or written
    bool stopping_ = false;
    bool released_ = false;
};
