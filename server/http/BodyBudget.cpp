#include "http/BodyBudget.h"

bool BodyBudget::take(std::size_t bytes)
{
    std::size_t left = left_.load();
    while (left >= bytes)
        if (left_.compare_exchange_weak(left, left - bytes))
            return true;
    return false;
}
