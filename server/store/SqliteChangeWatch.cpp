#include "store/SqliteChangeWatch.h"

#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <thread>
#include <unistd.h>

SqliteChangeWatch::SqliteChangeWatch(const std::string &path) : connection_(path)
{
    // The folder is watched, not the files: the WAL file comes and goes with the connections.
    const std::filesystem::path file = std::filesystem::absolute(path);
    fileName_ = file.filename().string();
    notices_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notices_ >= 0 &&
        inotify_add_watch(notices_, file.parent_path().c_str(), IN_MODIFY | IN_MOVED_TO) < 0) {
        close(notices_);
        notices_ = -1;
    }
}

SqliteChangeWatch::~SqliteChangeWatch()
{
    if (notices_ >= 0)
        close(notices_);
}

ChangeWatch::Event SqliteChangeWatch::wait(std::chrono::milliseconds timeout)
{
    if (seen_)
        waitForWrite(timeout);
    auto version = connection_.scalar("PRAGMA data_version");
    auto *number = version ? std::get_if<std::int64_t>(&*version) : nullptr;
    if (!number)
        return Event::Quiet;
    bool first = !seen_;
    bool changed = seen_ && *seen_ != *number;
    seen_ = *number;
    return first ? Event::Resumed : changed ? Event::Changed : Event::Quiet;
}

void SqliteChangeWatch::waitForWrite(std::chrono::milliseconds timeout)
{
    if (notices_ < 0)
        return std::this_thread::sleep_for(timeout);
    // Other files in the folder (a log) wake the wait too; only the database's own end it.
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd waiting{notices_, POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, int(left.count())) <= 0)
            return;
        alignas(inotify_event) std::array<char, 4096> events;
        bool wrote = false;
        for (long size; (size = read(notices_, events.data(), events.size())) > 0;)
            wrote = wroteToDatabase(events.data(), size) || wrote;
        if (wrote)
            return;
    }
}

bool SqliteChangeWatch::wroteToDatabase(const char *events, long size) const
{
    for (long at = 0; at + long(sizeof(inotify_event)) <= size;) {
        const auto *event = reinterpret_cast<const inotify_event *>(events + at);
        const std::string name = event->len ? std::string(event->name) : std::string();
        if (name == fileName_ || name == fileName_ + "-wal")
            return true;
        at += long(sizeof(inotify_event)) + long(event->len);
    }
    return false;
}
