#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

// Open connections per peer address and in all, each bounded, so that a few peers cannot
// take every socket the process may open.
class ConnectionSlots
{
public:
    ConnectionSlots(std::size_t perAddress, std::size_t total) : perAddress_(perAddress), total_(total) {}

    // Takes a slot for a new connection from address; false when either bound is reached.
    // unbounded: the address is a trusted proxy, which carries many subscribers' connections.
    bool take(const std::string &address, bool unbounded);
    void release(const std::string &address);

private:
    std::size_t perAddress_;
    std::size_t total_;
    std::mutex mutex_;
    std::unordered_map<std::string, std::size_t> open_;
    std::size_t openTotal_ = 0;
};
