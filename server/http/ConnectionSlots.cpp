#include "http/ConnectionSlots.h"

#include <algorithm>

ConnectionSlots::ConnectionSlots(std::size_t perAddress, std::size_t total)
    : ConnectionSlots(perAddress, total, total / 8)
{
}

ConnectionSlots::ConnectionSlots(std::size_t perAddress, std::size_t total, std::size_t reserved)
    : perAddress_(perAddress), total_(total), reserved_(std::min(reserved, total))
{
}

bool ConnectionSlots::take(const std::string &address, bool unbounded)
{
    std::lock_guard lock(mutex_);
    if (openTotal_ >= total_)
        return false;
    // A refused address leaves no entry behind: refusals must not grow the table.
    auto it = open_.find(address);
    std::size_t mine = it == open_.end() ? 0 : it->second;
    if (!unbounded && mine >= perAddress_)
        return false;
    bool inReserve = openTotal_ >= total_ - reserved_;
    if (inReserve && !unbounded && mine >= fewConnections)
        return false;
    ++open_[address];
    ++openTotal_;
    return true;
}

void ConnectionSlots::release(const std::string &address)
{
    std::lock_guard lock(mutex_);
    auto it = open_.find(address);
    if (it == open_.end())
        return;
    --openTotal_;
    if (--it->second == 0)
        open_.erase(it);
}
