#pragma once

#include "http/HttpAnswer.h"
#include "http/HttpRequest.h"

#include <boost/asio/any_io_executor.hpp>

#include <functional>
#include <string>

// What the HTTP front end knows of the application behind it. The front end owns the
// connections, their limits and deadlines, the client's address and the request log; the
// handler decides what each request means. Its functions are called on the front end's
// threads, several at once.
class RequestHandler
{
public:
    using Reply = std::function<void(HttpAnswer)>;

    virtual ~RequestHandler() = default;

    // Answers request by calling reply exactly once, at once or later, from any thread.
    // executor is the connection's: for timers and for continuing on the front end's
    // threads. Those threads read and write every connection, so work that may block (a
    // database, password hashing) must run elsewhere. request lives until reply is called.
    virtual void answer(const HttpRequest &request, const boost::asio::any_io_executor &executor,
                        Reply reply) = 0;
    // What the request log names as the request's operation; empty for none ("-").
    virtual std::string operationOf(const HttpRequest &) const { return {}; }
};
