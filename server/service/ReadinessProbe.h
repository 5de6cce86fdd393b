#pragma once

#include <atomic>
#include <chrono>

class Store;

// Whether the service can do its work: the store answers a trivial statement within a
// deadline. Load balancers ask often and all at once, so only one question reaches the store
// at a time; a request that comes while one is under way gets the last answer, and the
// probe never holds more than one of the front end's threads.
class ReadinessProbe
{
public:
    explicit ReadinessProbe(Store &store,
                            std::chrono::milliseconds deadline = std::chrono::milliseconds(2000))
        : store_(store), deadline_(deadline)
    {
    }

    bool ready();
    std::chrono::milliseconds deadline() const { return deadline_; }

private:
    Store &store_;
    std::chrono::milliseconds deadline_;
    std::atomic<bool> probing_{false};
    std::atomic<bool> lastReady_{false};
};
