#include "service/LoginThrottle.h"

#include "store/Store.h"

#include <algorithm>
#include <cmath>

double LoginThrottle::seconds(Clock::time_point time)
{
    return std::chrono::duration<double>(time.time_since_epoch()).count();
}

std::chrono::milliseconds LoginThrottle::delayForFailures(double failures) const
{
    double over = std::ceil(failures) - settings_.freeFailures;
    if (over < 0)
        return std::chrono::milliseconds(0);
    double ms = double(settings_.firstDelay.count()) * std::pow(2.0, std::min(over, 30.0));
    return std::chrono::milliseconds(std::int64_t(std::min(ms, double(settings_.maxDelay.count()))));
}

std::chrono::milliseconds LoginThrottle::delayFor(const std::string &address, Clock::time_point now)
{
    double forgive = double(settings_.forgiveOneEach.count());
    return delayForFailures(store_.loginFailures(address, seconds(now), forgive));
}

std::int64_t LoginThrottle::slowedAddresses(Clock::time_point now)
{
    double forgive = double(settings_.forgiveOneEach.count());
    // delayForFailures slows from the freeFailures-th failure on.
    return store_.addressesWithFailuresAbove(seconds(now), forgive, settings_.freeFailures - 1);
}

void LoginThrottle::recordFailure(const std::string &address, Clock::time_point now)
{
    ++failuresCounted_;
    store_.recordLoginFailure(address, seconds(now), double(settings_.forgiveOneEach.count()));
}
