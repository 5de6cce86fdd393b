#pragma once

#include "http/HttpAnswer.h"
#include "http/HttpRequest.h"

#include <chrono>
#include <string>

// What the HTTP front end knows of the application behind it. The front end owns the
// connections, their limits and deadlines, the client's address and the request log; the
// handler decides what each request means. Its functions are called on the front end's
// threads, several at once.
class RequestHandler
{
public:
    virtual ~RequestHandler() = default;

    // How long to hold the request before answering it, without holding a thread (e.g. to
    // slow down password guessing from one address).
    virtual std::chrono::milliseconds holdFor(const HttpRequest &) { return std::chrono::milliseconds(0); }
    virtual HttpAnswer answer(const HttpRequest &request) = 0;
    // What the request log names as the request's operation; empty for none ("-").
    virtual std::string operationOf(const HttpRequest &) const { return {}; }
};
