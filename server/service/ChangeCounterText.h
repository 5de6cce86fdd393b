#pragma once

#include "store/Store.h"

#include <cstdint>

// The number a change-counter answer goes with (WebService::changeCounterText is the answer).
class ChangeCounterText
{
public:
    // A number that grows with every addition, revision and removal of an item in any stream
    // and level: the sum of every counter. The same in every instance on one database, and
    // it survives restarts.
    static std::int64_t changeNumber(DatabaseConnection &connection);
};
