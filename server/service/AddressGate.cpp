#include "service/AddressGate.h"

#include <algorithm>

namespace {
// The budget new addresses share once the table is full.
const std::string sharedKey = "*";
} // namespace

AddressGate::Pass::~Pass()
{
    if (gate_)
        gate_->leave(key_);
}

void AddressGate::refill(Budget &budget, Clock::time_point now) const
{
    double earned = std::chrono::duration<double>(now - budget.at) / settings_.refillEach;
    budget.left = std::min(settings_.burst, budget.left + std::max(0.0, earned));
    budget.at = now;
}

void AddressGate::dropIdle(Clock::time_point now)
{
    for (auto it = budgets_.begin(); it != budgets_.end();) {
        refill(it->second, now);
        if (!it->second.inFlight && it->second.left >= settings_.burst)
            it = budgets_.erase(it);
        else
            ++it;
    }
}

std::optional<AddressGate::Pass> AddressGate::enter(const std::string &address, Clock::time_point now)
{
    std::lock_guard lock(mutex_);
    std::string key = address;
    if (!budgets_.count(key) && budgets_.size() >= settings_.maxAddresses) {
        if (now - lastDrop_ >= std::chrono::seconds(1)) {
            lastDrop_ = now;
            dropIdle(now);
        }
        if (budgets_.size() >= settings_.maxAddresses)
            key = sharedKey;
    }
    auto [it, added] = budgets_.try_emplace(key);
    Budget &budget = it->second;
    if (added)
        budget = {settings_.burst, now, false};
    refill(budget, now);
    if (budget.inFlight || budget.left < 1)
        return std::nullopt;
    budget.left -= 1;
    budget.inFlight = true;
    return Pass(this, key);
}

void AddressGate::leave(const std::string &key)
{
    std::lock_guard lock(mutex_);
    auto it = budgets_.find(key);
    if (it != budgets_.end())
        it->second.inFlight = false;
}

std::size_t AddressGate::trackedAddresses() const
{
    std::lock_guard lock(mutex_);
    return budgets_.size();
}
