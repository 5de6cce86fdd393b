#include "console/MetricsText.h"

#include "http/RequestCounters.h"
#include "service/LoginThrottle.h"
#include "service/StoreFaultCounts.h"
#include "store/Store.h"
#include "store/Stream.h"

#include <cstdio>

namespace {

std::string number(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// A bucket bound as written in the label: 0.0025, not 0.0025000000000000001.
std::string bound(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

void family(std::string &out, const char *name, const char *type, const char *help)
{
    out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

} // namespace

std::string MetricsText::labelValue(const std::string &text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

std::string MetricsText::render(const RequestCounters *requests, Store &store)
{
    std::string out;
    if (requests) {
        family(out, "stock_alert_requests_total", "counter",
               "Requests answered by the subscribers' listener, by operation and status.");
        for (const auto &[key, count] : requests->requests())
            out += "stock_alert_requests_total{operation=\"" + labelValue(key.first) + "\",status=\"" +
                   std::to_string(key.second) + "\"} " + std::to_string(count) + "\n";
        family(out, "stock_alert_request_duration_seconds", "histogram",
               "Time from a request's first byte to its answer written.");
        auto latency = requests->latency();
        for (std::size_t i = 0; i < RequestCounters::bucketBounds.size(); ++i)
            out += "stock_alert_request_duration_seconds_bucket{le=\"" +
                   bound(RequestCounters::bucketBounds[i]) + "\"} " + std::to_string(latency.cumulative[i]) +
                   "\n";
        out += "stock_alert_request_duration_seconds_bucket{le=\"+Inf\"} " + std::to_string(latency.count) +
               "\n";
        out += "stock_alert_request_duration_seconds_sum " + number(latency.sumSeconds) + "\n";
        out += "stock_alert_request_duration_seconds_count " + std::to_string(latency.count) + "\n";
        family(out, "stock_alert_open_connections", "gauge",
               "Connections open on the subscribers' listener.");
        out += "stock_alert_open_connections " + std::to_string(requests->openConnections()) + "\n";
        family(out, "stock_alert_open_event_streams", "gauge",
               "Event streams open on the subscribers' listener (counted among the connections too).");
        out += "stock_alert_open_event_streams " + std::to_string(requests->openStreams()) + "\n";
        family(out, "stock_alert_events_sent_total", "counter",
               "Change events written whole to event streams (keep-alive comments not counted).");
        out += "stock_alert_events_sent_total " + std::to_string(requests->eventsWritten()) + "\n";
        family(out, "stock_alert_slow_readers_closed_total", "counter",
               "Event streams closed because their reader did not take what was written in time.");
        out +=
            "stock_alert_slow_readers_closed_total " + std::to_string(requests->slowReadersClosed()) + "\n";
    }
    family(out, "stock_alert_store_errors_total", "counter", "Store failures met while answering calls.");
    out += "stock_alert_store_errors_total " + std::to_string(StoreFaultCounts::errors()) + "\n";
    family(out, "stock_alert_store_timeouts_total", "counter", "Store failures that were a time-out.");
    out += "stock_alert_store_timeouts_total " + std::to_string(StoreFaultCounts::timeouts()) + "\n";
    family(out, "stock_alert_failed_logins_total", "counter",
           "Failed password checks (subscribers and operators) counted by this process.");
    out += "stock_alert_failed_logins_total " + std::to_string(LoginThrottle::failuresCounted()) + "\n";
    family(out, "stock_alert_slowed_addresses", "gauge",
           "Addresses whose password checks are slowed down now.");
    out += "stock_alert_slowed_addresses " + std::to_string(LoginThrottle(store).slowedAddresses()) + "\n";
    family(out, "stock_alert_items_published_total", "counter",
           "Items published per stream, from the database.");
    auto rows = store.with([](DatabaseConnection &c) {
        return c.query("SELECT stream, sum(added) FROM ChangeCounter GROUP BY stream");
    });
    for (const Stream &stream : Stream::all()) {
        std::string count = "0";
        for (const SqlRow &row : rows)
            if (sqlValueText(row[0].value) == stream.counter)
                count = sqlValueText(row[1].value);
        out +=
            std::string("stock_alert_items_published_total{stream=\"") + stream.word + "\"} " + count + "\n";
    }
    return out;
}
