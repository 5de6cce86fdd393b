#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

// Open connections per peer address and in all, each bounded, so that a few peers cannot
// take every socket the process may open. The last share of the slots is kept for addresses
// that hold only a few connections (a subscriber's client holds one or two): many addresses
// that each hold many cannot take the room the subscribers' polls need.
class ConnectionSlots
{
public:
    static constexpr std::size_t fewConnections = 4;

    // reserved: slots at the top of total that only addresses below fewConnections (and
    // trusted proxies) may take; by default an eighth of total.
    ConnectionSlots(std::size_t perAddress, std::size_t total);
    ConnectionSlots(std::size_t perAddress, std::size_t total, std::size_t reserved);

    // Takes a slot for a new connection from address; false when a bound is reached.
    // unbounded: the address is a trusted proxy, which carries many subscribers' connections.
    bool take(const std::string &address, bool unbounded);
    void release(const std::string &address);

private:
    std::size_t perAddress_;
    std::size_t total_;
    std::size_t reserved_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::size_t> open_;
    std::size_t openTotal_ = 0;
};
