#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

// What the front end counts for the service's metrics: answered requests by operation and
// status, their latency in fixed buckets, the connections open now (event streams included),
// and of the event streams those open now, the events written and the streams closed because
// their reader did not keep up. Safe to update from every front-end thread and to read at any
// time.
class RequestCounters
{
public:
    // Upper bounds of the latency buckets, in seconds (the last bucket is everything).
    static constexpr std::array<double, 10> bucketBounds = {0.001, 0.0025, 0.005, 0.01, 0.025,
                                                            0.05,  0.1,    0.25,  1,    5};

    struct Latency
    {
        std::array<std::uint64_t, bucketBounds.size()> cumulative{}; // requests within each bound
        std::uint64_t count = 0;
        double sumSeconds = 0;
    };

    void answered(const std::string &operation, int status, double seconds);
    void connectionOpened() { ++open_; }
    void connectionClosed() { --open_; }
    void streamOpened() { ++streams_; }
    void streamEnded(bool slowReader)
    {
        --streams_;
        if (slowReader)
            ++slowReadersClosed_;
    }
    void eventWritten() { ++eventsWritten_; }

    // (operation, status) -> requests; operation "-" for requests that are not a call.
    std::map<std::pair<std::string, int>, std::uint64_t> requests() const;
    Latency latency() const;
    std::int64_t openConnections() const { return open_; }
    std::int64_t openStreams() const { return streams_; }
    std::uint64_t eventsWritten() const { return eventsWritten_; }
    std::uint64_t slowReadersClosed() const { return slowReadersClosed_; }
    std::uint64_t total() const;

    // Distinct operations are few (the service's own and "-"); anything beyond this many is
    // counted under "other", so a peer cannot grow the table.
    static constexpr std::size_t maxKeys = 256;

private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, int>, std::uint64_t> requests_;
    Latency latency_;
    std::atomic<std::int64_t> open_{0};
    std::atomic<std::int64_t> streams_{0};
    std::atomic<std::uint64_t> eventsWritten_{0};
    std::atomic<std::uint64_t> slowReadersClosed_{0};
};
