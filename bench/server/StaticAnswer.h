#pragma once

#include "http/RequestHandler.h"

#include <string>

// The load benchmark's baseline: every request gets the same ready answer, so what is left to
// measure is the HTTP front end itself (connections, parsing, threads, writing).
class StaticAnswer : public RequestHandler
{
public:
    explicit StaticAnswer(HttpAnswer answer) : answer_(std::move(answer)) {}

    void answer(const HttpRequest &, const boost::asio::any_io_executor &, Reply reply) override
    {
        reply(answer_);
    }

private:
    HttpAnswer answer_;
};
