#pragma once

#include "store/ChangeWatch.h"
#include "store/SqliteConnection.h"

#include <optional>
#include <string>

// Looks at SQLite's data version on a connection of its own: it changes whenever another
// connection, of this process or another, commits to the file. Asking costs a read of the
// shared WAL index, no file access, so looking often is cheap. Between looks it waits on the
// kernel's notice (inotify) of a write to the database or its WAL file, so a commit is seen
// the moment it is written rather than at the next look; where no notice can be had, it looks
// every timeout alone.
class SqliteChangeWatch : public ChangeWatch
{
public:
    explicit SqliteChangeWatch(const std::string &path);
    ~SqliteChangeWatch() override;
    SqliteChangeWatch(const SqliteChangeWatch &) = delete;
    SqliteChangeWatch &operator=(const SqliteChangeWatch &) = delete;

    Event wait(std::chrono::milliseconds timeout) override;
    bool tellsEveryChange() const override { return false; }

private:
    // Waits until the database or its WAL file is written, or timeout has passed.
    void waitForWrite(std::chrono::milliseconds timeout);
    bool wroteToDatabase(const char *events, long size) const;

    SqliteConnection connection_;
    std::optional<std::int64_t> seen_;
    int notices_ = -1; // the inotify descriptor watching the database's folder, or -1
    std::string fileName_;
};
