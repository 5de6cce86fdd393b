#pragma once

#include "http/HttpRequest.h"

#include <chrono>
#include <string>

// One line per request on standard error: local time, address, method, path, operation,
// status and milliseconds. Requests refused before they were read whole are logged too,
// with "-" for what is unknown. Parameters (passwords, SQL) and query strings never are.
class RequestLog
{
public:
    explicit RequestLog(bool enabled) : enabled_(enabled) {}

    bool enabled() const { return enabled_; }
    // operation: what the request handler calls the request (empty: "-").
    void write(const std::string &address, const HttpRequest *request, const std::string &operation,
               int status, std::chrono::steady_clock::time_point started) const;

    static std::string line(const std::string &address, const HttpRequest *request,
                            const std::string &operation, int status, double ms);

private:
    bool enabled_;
};
