#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// Store failures the service met while answering, for the metrics: all of them, and those
// that were a database's time-out (a statement or lock wait that ran out).
class StoreFaultCounts
{
public:
    static void count(const std::string &message);
    // A database call the service itself gave up on at its deadline.
    static void countTimeout()
    {
        ++errors_;
        ++timeouts_;
    }
    static std::uint64_t errors() { return errors_; }
    static std::uint64_t timeouts() { return timeouts_; }

private:
    static inline std::atomic<std::uint64_t> errors_{0};
    static inline std::atomic<std::uint64_t> timeouts_{0};
};
