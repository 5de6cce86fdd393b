#pragma once

#include "http/HttpRequest.h"

#include <chrono>
#include <string>

// One line per request on standard error: local time, address, method, path, operation,
// status and milliseconds, as text or as one JSON object. Requests refused before they were
// read whole are logged too, with "-" (text) or null (JSON) for what is unknown. Parameters
// (passwords, SQL) and query strings never are.
class RequestLog
{
public:
    explicit RequestLog(bool enabled, bool json = false) : enabled_(enabled), json_(json) {}

    bool enabled() const { return enabled_; }
    // operation: what the request handler calls the request (empty: "-").
    void write(const std::string &address, const HttpRequest *request, const std::string &operation,
               int status, std::chrono::steady_clock::time_point started) const;

    static std::string line(const std::string &address, const HttpRequest *request,
                            const std::string &operation, int status, double ms);
    static std::string jsonLine(const std::string &address, const HttpRequest *request,
                                const std::string &operation, int status, double ms);
    // Local wall-clock time with milliseconds, as the log lines give it.
    static std::string logTime();

private:
    bool enabled_;
    bool json_;
};
