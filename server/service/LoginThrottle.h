#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

class Store;

// Slows down password guessing per address: after a few failed password checks from one
// address, its next checks are answered later, twice as late for each further failure up to
// a ceiling. Failures are forgiven one per minute. Other addresses are never affected, so a
// guesser cannot slow the right user down from elsewhere.
//
// The failures are kept in the store, so that every service instance on a shared database
// slows the same guesser down: spreading guesses over the instances gains nothing. Times
// are wall-clock times, which instances on different machines agree on.
class LoginThrottle
{
public:
    using Clock = std::chrono::system_clock;

    struct Settings
    {
        double freeFailures = 5;
        std::chrono::milliseconds firstDelay{500};
        std::chrono::milliseconds maxDelay{8000};
        std::chrono::seconds forgiveOneEach{60};
    };

    explicit LoginThrottle(Store &store) : LoginThrottle(store, Settings()) {}
    LoginThrottle(Store &store, Settings settings) : store_(store), settings_(settings) {}

    // How long to hold the next password check from this address.
    std::chrono::milliseconds delayFor(const std::string &address, Clock::time_point now = Clock::now());
    void recordFailure(const std::string &address, Clock::time_point now = Clock::now());
    // Failed password checks this process has counted, for the metrics.
    static std::uint64_t failuresCounted() { return failuresCounted_; }
    // Addresses whose checks are being slowed down now.
    std::int64_t slowedAddresses(Clock::time_point now = Clock::now());
    // The delay for a number of failures not yet forgiven.
    std::chrono::milliseconds delayForFailures(double failures) const;

private:
    static double seconds(Clock::time_point time);

    Store &store_;
    Settings settings_;
    static inline std::atomic<std::uint64_t> failuresCounted_{0};
};
