#pragma once

#include <atomic>
#include <cstddef>

// The bytes of request bodies held at once over all connections. Each body is bounded on
// its own; this bounds what many peers sending bodies at the same time can make the service
// hold. A request whose body does not fit is refused (503) before any of it is read.
class BodyBudget
{
public:
    explicit BodyBudget(std::size_t bytes) : left_(bytes) {}

    // Takes bytes from the budget; false (nothing taken) when fewer are left.
    bool take(std::size_t bytes);
    void give(std::size_t bytes) { left_ += bytes; }
    std::size_t left() const { return left_; }

private:
    std::atomic<std::size_t> left_;
};
