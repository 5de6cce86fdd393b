#include "http/RequestCounters.h"

void RequestCounters::answered(const std::string &operation, int status, double seconds)
{
    std::lock_guard lock(mutex_);
    std::pair<std::string, int> key(operation.empty() ? "-" : operation, status);
    if (requests_.size() >= maxKeys && !requests_.count(key))
        key.first = "other";
    ++requests_[key];
    for (std::size_t i = 0; i < bucketBounds.size(); ++i)
        if (seconds <= bucketBounds[i])
            ++latency_.cumulative[i];
    ++latency_.count;
    latency_.sumSeconds += seconds;
}

std::map<std::pair<std::string, int>, std::uint64_t> RequestCounters::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

RequestCounters::Latency RequestCounters::latency() const
{
    std::lock_guard lock(mutex_);
    return latency_;
}

std::uint64_t RequestCounters::total() const
{
    std::lock_guard lock(mutex_);
    return latency_.count;
}
