#pragma once

#include "http/EventStream.h"
#include "http/HttpAnswer.h"
#include "http/HttpRequest.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <boost/asio/any_io_executor.hpp>

// One accepted connection as the front end sees it, whether it speaks plain HTTP or HTTP
// inside TLS (HttpSession holds the reading and answering): its deadlines, what the front
// end does for it, and how to start and stop it.
class HttpConnection
{
public:
    using Clock = std::chrono::steady_clock;

    struct Timing
    {
        std::chrono::milliseconds handshake{5000}; // a TLS handshake, from the accept on
        std::chrono::milliseconds idle{5000};      // for the first byte of a request
        std::chrono::milliseconds request{10000};  // from the first byte to the end of the body
        std::chrono::milliseconds write{10000};    // for the answer to be taken
    };

    // What the front end does for its connections.
    class Owner
    {
    public:
        virtual ~Owner() = default;
        // Fills in clientAddress; false refuses the request (unreadable forwarded address).
        virtual bool identify(HttpRequest &request) = 0;
        // Has request answered: reply is called once, from any thread (see RequestHandler).
        virtual void answer(const HttpRequest &request, const boost::asio::any_io_executor &executor,
                            std::function<void(HttpAnswer)> reply) = 0;
        // request: null when the request could not be read (its head was refused, or the TLS
        // handshake failed).
        virtual void log(const std::string &address, const HttpRequest *request, int status,
                         Clock::time_point started) = 0;
        // Called once per connection, just before its socket closes (a refused connection
        // that still drains what its peer sends is counted until then).
        virtual void closed(HttpConnection *connection, const std::string &peer) = 0;
        // Whether one more event stream may open; a place taken is given back when the
        // stream ends.
        virtual bool takeStreamPlace() = 0;
        virtual EventStream::Owner &streamOwner() = 0;
        virtual const EventStream::Limits &streamLimits() = 0;
        // The connection has become stream: it keeps the connection's place among its
        // address's connections until it ends.
        virtual void adoptStream(HttpConnection *from, const std::shared_ptr<EventStream> &stream) = 0;
    };

    virtual ~HttpConnection() = default;

    virtual void start() = 0;
    // Ends the connection as soon as no answer is being made or written for it.
    virtual void stop() = 0;
};
