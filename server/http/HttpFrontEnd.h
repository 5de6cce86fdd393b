#pragma once

#include "http/HttpConnection.h"
#include "http/HttpRequestParser.h"
#include "http/RequestCounters.h"
#include "http/TlsContext.h"

#include <boost/asio/io_context.hpp>

#include <memory>
#include <string>
#include <vector>

class RequestHandler;

// An HTTP/1.1 server on Boost.Beast (Asio, a few threads for every connection) that has a
// RequestHandler answer each request, in plain HTTP or, given a TlsContext, only in HTTPS. Logs one line per
// request to standard error: time, address, method, path, operation, status, milliseconds.
//
// What one peer can hold is bounded: a deadline for each request's head and body, limits on
// the head's size and field count and on the body's size (decided from the announced
// length), a budget for the bodies of all connections together, a cap on open connections
// per address, and for HTTPS a deadline for the handshake. An answer may stay open as a
// stream of server-sent events (EventStream): each stream keeps its connection's place under
// the per-address cap, and the streams together have a cap of their own.
class HttpFrontEnd
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        int port = 8765; // 0: any free port
        int threads = 8; // run every connection's reads, answers and writes
        bool log = true;
        bool jsonLog = false; // one JSON object per request instead of a text line
        // Proxies whose X-Forwarded-For entry names the client (and whose own connections
        // are not capped per address).
        std::vector<std::string> trustedProxies;
        std::size_t connectionsPerAddress = 64;
        // Open connections in all, event streams included; lowered to what the process may open.
        std::size_t connections = 30000;
        std::size_t streams = 20000; // open event streams in all
        EventStream::Limits stream;
        HttpRequestParser::Limits limits;
        // Request bodies held at once over all connections (beyond: 503).
        std::size_t bodyBudget = 32 * 1024 * 1024;
        HttpConnection::Timing timing;
        // Set: every connection speaks TLS with this context's certificate (which a reload
        // may change for later connections); null: plain HTTP.
        std::shared_ptr<TlsContext> tls;
    };

    // handler must outlive the front end.
    HttpFrontEnd(RequestHandler &handler, Options options);
    ~HttpFrontEnd();

    // Binds the listening socket; returns the port (the chosen one when 0 was asked).
    // Throws std::runtime_error when the address cannot be bound.
    int bind();
    // "http://host:port" or "https://host:port" as bound (IPv6 hosts in brackets); empty before bind().
    std::string siteAddress() const;
    // Serves until stop() is called (from any thread) and every piece of work queued on the
    // I/O context (a signal wait, a timer) has ended.
    void run();
    void stop();
    // Event streams open now.
    std::size_t openStreams() const;

    // The I/O context that run() runs on its threads: for what should happen beside the
    // requests without a thread of its own (stop signals, timers).
    boost::asio::io_context &ioContext();

    // Requests answered, their latency and the open connections, for the metrics.
    const RequestCounters &counters() const;

    // The largest request body: the client's calls are a few kilobytes.
    static constexpr size_t maxBody = 64 * 1024;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
