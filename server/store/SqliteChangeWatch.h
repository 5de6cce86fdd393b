#pragma once

#include "store/ChangeWatch.h"
#include "store/SqliteConnection.h"

#include <optional>
#include <string>

// Looks at SQLite's data version on a connection of its own: it changes whenever another
// connection, of this process or another, commits to the file. Asking costs a read of the
// shared WAL index, no file access, so looking often is cheap.
class SqliteChangeWatch : public ChangeWatch
{
public:
    explicit SqliteChangeWatch(const std::string &path) : connection_(path) {}

    Event wait(std::chrono::milliseconds timeout) override;
    bool tellsEveryChange() const override { return false; }

private:
    SqliteConnection connection_;
    std::optional<std::int64_t> seen_;
};
