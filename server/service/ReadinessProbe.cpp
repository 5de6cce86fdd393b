#include "service/ReadinessProbe.h"

#include "store/Store.h"

bool ReadinessProbe::ready()
{
    if (probing_.exchange(true))
        return lastReady_;
    auto started = std::chrono::steady_clock::now();
    bool answered = false;
    try {
        store_.ping();
        answered = true;
    } catch (const std::exception &) {
    }
    bool inTime = std::chrono::steady_clock::now() - started <= deadline_;
    lastReady_ = answered && inTime;
    probing_ = false;
    return lastReady_;
}
