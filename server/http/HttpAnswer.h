#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class EventStream;

// What the front end sends back for one request.
struct HttpAnswer
{
    HttpAnswer() = default;
    HttpAnswer(int status, std::string contentType, std::string body)
        : status(status), contentType(std::move(contentType)), body(std::move(body))
    {
    }
    HttpAnswer(int status, std::string contentType, std::string body,
               std::vector<std::pair<std::string, std::string>> headers)
        : status(status), contentType(std::move(contentType)), body(std::move(body)),
          headers(std::move(headers))
    {
    }

    int status = 200;
    std::string contentType;
    std::string body;
    // Further header fields (Set-Cookie, Location, ...), sent as they are.
    std::vector<std::pair<std::string, std::string>> headers = {};
    // Set for an answer that stays open as a stream of server-sent events: the front end
    // writes the head (status 200, text/event-stream) and hands the stream over, on the
    // connection's executor, before anything is written. The stream counts against the
    // front end's caps until it ends; when no place is left, 503 is answered instead.
    std::function<void(const std::shared_ptr<EventStream> &)> openStream;
};
