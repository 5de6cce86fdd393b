#pragma once

#include "HttpConnection.h"
#include "HttpRequestParser.h"

#include <memory>
#include <string>
#include <vector>

class Store;

// The service on HTTP (Boost.Beast on Asio, a few threads for every connection): POST
// /WebService.asmx for the SOAP calls, the WSDL and help page, /IP.aspx,
// /GongGaoXinXi.aspx and the demo pages under /pages/. Logs one line per request to
// standard error: time, address, method, path, operation, status, milliseconds.
//
// What one peer can hold is bounded: a deadline for each request's head and body, limits on
// the head's size and field count and on the body's size (decided from the announced
// length), and a cap on open connections per address.
class HttpFrontEnd
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        int port = 8765; // 0: any free port
        int threads = 8; // run every connection's reads, answers and writes
        bool log = true;
        // Proxies whose X-Forwarded-For entry names the client (and whose own connections
        // are not capped per address).
        std::vector<std::string> trustedProxies;
        std::size_t connectionsPerAddress = 64;
        std::size_t connections = 10000; // lowered to what the process may open
        HttpRequestParser::Limits limits;
        HttpConnection::Timing timing;
        // Also serve POST /StaticBench.asmx: a fixed answer as long as an ifchangetable
        // answer, the baseline of the load benchmark.
        bool staticBench = false;
    };

    HttpFrontEnd(Store &store, Options options);
    ~HttpFrontEnd();

    // Binds the listening socket; returns the port (the chosen one when 0 was asked).
    // Throws std::runtime_error when the address cannot be bound.
    int bind();
    // Serves until stop() is called (from any thread).
    void run();
    void stop();

    static constexpr size_t maxBody = 1024 * 1024;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
