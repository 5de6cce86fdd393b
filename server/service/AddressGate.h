#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

// Limits one kind of costly request per client address: at most one in flight, and a budget
// of `burst` requests that refills by one every `refillEach`. A request that finds either
// spent is refused at once (it costs the service nothing). Other addresses are not affected.
//
// Memory is bounded: at most maxAddresses addresses are tracked (those whose budget is full
// again and have nothing in flight are dropped first); beyond that, new addresses share one
// budget, so a spread of addresses gains no more than one address would.
class AddressGate
{
public:
    using Clock = std::chrono::steady_clock;

    struct Settings
    {
        double burst = 10;
        std::chrono::milliseconds refillEach{6000};
        std::size_t maxAddresses = 100000;
    };

    // Held while the request's work runs; leaving it frees the address for its next one.
    class Pass
    {
    public:
        Pass(AddressGate *gate, std::string key) : gate_(gate), key_(std::move(key)) {}
        Pass(Pass &&other) noexcept : gate_(std::exchange(other.gate_, nullptr)), key_(std::move(other.key_))
        {
        }
        Pass &operator=(Pass &&) = delete;
        ~Pass();

    private:
        AddressGate *gate_;
        std::string key_;
    };

    explicit AddressGate(Settings settings) : settings_(settings) {}

    // A pass for one request from address, or nullopt when it must be refused.
    std::optional<Pass> enter(const std::string &address, Clock::time_point now = Clock::now());
    std::size_t trackedAddresses() const;

private:
    struct Budget
    {
        double left = 0;
        Clock::time_point at;
        bool inFlight = false;
    };
    void leave(const std::string &key);
    void refill(Budget &budget, Clock::time_point now) const;
    void dropIdle(Clock::time_point now);

    Settings settings_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Budget> budgets_;
    Clock::time_point lastDrop_{}; // a full table is swept at most once a second
};
