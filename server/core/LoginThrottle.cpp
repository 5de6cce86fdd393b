#include "LoginThrottle.h"

#include <algorithm>
#include <cmath>
#include <vector>

double LoginThrottle::decayed(const Failures &failures, Clock::time_point now) const
{
    double forgiven = std::chrono::duration<double>(now - failures.last).count() /
                      std::chrono::duration<double>(settings_.forgiveOneEach).count();
    return std::max(0.0, failures.count - std::max(0.0, forgiven));
}

std::chrono::milliseconds LoginThrottle::delayFor(const std::string &address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    auto it = failures_.find(address);
    if (it == failures_.end())
        return std::chrono::milliseconds(0);
    double over = std::ceil(decayed(it->second, now)) - settings_.freeFailures;
    if (over < 0)
        return std::chrono::milliseconds(0);
    double ms = double(settings_.firstDelay.count()) * std::pow(2.0, std::min(over, 30.0));
    return std::chrono::milliseconds(std::int64_t(std::min(ms, double(settings_.maxDelay.count()))));
}

void LoginThrottle::recordFailure(const std::string &address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    if (failures_.size() >= settings_.maxAddresses && !failures_.count(address))
        dropForgiven(now);
    Failures &failures = failures_[address];
    failures.count = decayed(failures, now) + 1;
    failures.last = now;
}

void LoginThrottle::dropForgiven(Clock::time_point now)
{
    for (auto it = failures_.begin(); it != failures_.end();)
        it = decayed(it->second, now) < 1 ? failures_.erase(it) : std::next(it);
    // Still full of live guessers: forget the mildest half rather than grow.
    if (failures_.size() >= settings_.maxAddresses) {
        std::vector<double> counts;
        for (const auto &[address, f] : failures_)
            counts.push_back(f.count);
        std::nth_element(counts.begin(), counts.begin() + counts.size() / 2, counts.end());
        double median = counts[counts.size() / 2];
        for (auto it = failures_.begin(); it != failures_.end();)
            it = it->second.count <= median ? failures_.erase(it) : std::next(it);
    }
}

std::size_t LoginThrottle::trackedAddresses()
{
    std::lock_guard lock(mutex_);
    return failures_.size();
}
