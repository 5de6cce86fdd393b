#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>

// Slows down password guessing per address: after a few failed password checks from one
// address, its next checks are answered later, twice as late for each further failure up to
// a ceiling. Failures are forgiven one per minute. Other addresses are never affected, so a
// guesser cannot slow the right user down from elsewhere.
class LoginThrottle
{
public:
    using Clock = std::chrono::steady_clock;

    struct Settings
    {
        double freeFailures = 5;
        std::chrono::milliseconds firstDelay{500};
        std::chrono::milliseconds maxDelay{8000};
        std::chrono::seconds forgiveOneEach{60};
        std::size_t maxAddresses = 100000; // bounds the memory a spread of addresses can take
    };

    LoginThrottle() : LoginThrottle(Settings()) {}
    explicit LoginThrottle(Settings settings) : settings_(settings) {}

    // How long to hold the next password check from this address.
    std::chrono::milliseconds delayFor(const std::string &address, Clock::time_point now = Clock::now());
    void recordFailure(const std::string &address, Clock::time_point now = Clock::now());
    std::size_t trackedAddresses();

private:
    struct Failures
    {
        double count = 0;
        Clock::time_point last;
    };
    double decayed(const Failures &failures, Clock::time_point now) const;
    void dropForgiven(Clock::time_point now);

    Settings settings_;
    std::mutex mutex_;
    std::unordered_map<std::string, Failures> failures_;
};
