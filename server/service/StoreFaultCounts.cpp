#include "service/StoreFaultCounts.h"

void StoreFaultCounts::count(const std::string &message)
{
    ++errors_;
    // PostgreSQL: "canceling statement due to statement timeout", a connect or TCP time-out;
    // SQLite: a lock wait that outlasted the busy time-out.
    bool timeout = message.find("timeout") != std::string::npos ||
                   message.find("time-out") != std::string::npos ||
                   message.find("database is locked") != std::string::npos;
    if (timeout)
        ++timeouts_;
}
