#pragma once

#include <stdexcept>

// A statement did not finish by the deadline its connection was given: the database is
// hung or overloaded. The service answers at once instead of waiting with it.
class DatabaseTimeout : public std::runtime_error
{
public:
    DatabaseTimeout() : std::runtime_error("the database did not answer in time") {}
};
