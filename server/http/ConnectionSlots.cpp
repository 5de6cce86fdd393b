#include "http/ConnectionSlots.h"

bool ConnectionSlots::take(const std::string &address, bool unbounded)
{
    std::lock_guard lock(mutex_);
    if (openTotal_ >= total_)
        return false;
    std::size_t &mine = open_[address];
    if (!unbounded && mine >= perAddress_)
        return false;
    ++mine;
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
