#include "store/SqliteChangeWatch.h"

#include <thread>

ChangeWatch::Event SqliteChangeWatch::wait(std::chrono::milliseconds timeout)
{
    if (seen_)
        std::this_thread::sleep_for(timeout);
    auto version = connection_.scalar("PRAGMA data_version");
    auto *number = version ? std::get_if<std::int64_t>(&*version) : nullptr;
    if (!number)
        return Event::Quiet;
    bool first = !seen_;
    bool changed = seen_ && *seen_ != *number;
    seen_ = *number;
    return first ? Event::Resumed : changed ? Event::Changed : Event::Quiet;
}
