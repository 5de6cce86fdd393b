#pragma once

#include "http/HttpAnswer.h"
#include "http/HttpRequest.h"

#include <chrono>
#include <functional>
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
    };

    virtual ~HttpConnection() = default;

    virtual void start() = 0;
    // Ends the connection as soon as no answer is being made or written for it.
    virtual void stop() = 0;
};
