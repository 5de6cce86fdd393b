#include "service/ChangeCounterText.h"

#include <string>

std::int64_t ChangeCounterText::changeNumber(DatabaseConnection &c)
{
    auto sum = c.scalar("SELECT coalesce(sum(added + revised), 0) FROM ChangeCounter");
    // PostgreSQL's sum of integers is a numeric, which arrives as text.
    return sum ? std::stoll(sqlValueText(*sum)) : 0;
}
