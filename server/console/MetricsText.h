#pragma once

#include <string>

class RequestCounters;
class Store;

// The service's metrics in the Prometheus text format (version 0.0.4): requests by operation
// and status with a latency histogram, the open connections and event streams, the events
// sent and the slow readers closed (of the subscribers' listener), store errors and
// time-outs, failed logins, addresses slowed down, and items published per stream (from the
// database, so items published by any instance or command count).
class MetricsText
{
public:
    static std::string render(const RequestCounters *requests, Store &store);
    // A label value with backslash, quote and line feed escaped.
    static std::string labelValue(const std::string &text);
};
