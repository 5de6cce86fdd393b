#pragma once

#include <chrono>

// Learns of commits to the database by anyone: this process, the operator's commands, other
// service instances. One watch is used by one thread.
class ChangeWatch
{
public:
    enum class Event {
        Quiet,   // nothing changed in the time waited
        Changed, // something was committed
        Lost,    // the watch cannot see changes until it is Resumed
        Resumed, // the watch sees changes again (or for the first time); what it missed is unknown
    };

    virtual ~ChangeWatch() = default;
    // Waits at most about timeout for the next event.
    virtual Event wait(std::chrono::milliseconds timeout) = 0;
    // Whether every change is told as it happens (a quiet wait then means no change), rather
    // than found by looking every now and then.
    virtual bool tellsEveryChange() const = 0;
};
