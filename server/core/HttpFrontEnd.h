#pragma once

#include <memory>
#include <string>

class Store;

// The service on HTTP (cpp-httplib, thread pool): POST /WebService.asmx for the SOAP calls,
// the WSDL and help page, /IP.aspx, /GongGaoXinXi.aspx and the demo pages under /pages/.
// Logs one line per request to standard error: method, path, operation, status, time.
class HttpFrontEnd
{
public:
    struct Options
    {
        std::string host = "127.0.0.1";
        int port = 8765; // 0: any free port
        int threads = 128; // one per open connection
        bool log = true;
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
