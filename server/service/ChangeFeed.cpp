#include "service/ChangeFeed.h"

#include "http/EventStream.h"
#include "service/ChangeCounterText.h"
#include "service/WebService.h"

#include <cstdio>
#include <vector>

ChangeFeed::~ChangeFeed()
{
    stopWatching();
}

std::string ChangeFeed::event(std::int64_t number, const std::string &text)
{
    // The answer holds no line break (titles are quoted with breaks blanked), so it is one
    // data line.
    return "id: " + std::to_string(number) + "\ndata: " + text + "\n\n";
}

void ChangeFeed::startWatching()
{
    stopping_ = false;
    watcher_ = std::thread([this] { watch(); });
}

void ChangeFeed::stopWatching()
{
    stopping_ = true;
    if (watcher_.joinable())
        watcher_.join();
}

void ChangeFeed::watch()
{
    std::unique_ptr<ChangeWatch> watch;
    try {
        watch = store_.watchChanges();
    } catch (const std::exception &error) {
        std::fprintf(stderr, "change watch: %s\n", error.what());
        return;
    }
    while (!stopping_) {
        auto event = watch->wait(lookEvery);
        if (event == ChangeWatch::Event::Quiet)
            continue;
        if (event == ChangeWatch::Event::Lost) {
            std::lock_guard lock(stateMutex_);
            answersKept_ = false;
            continue;
        }
        // Changed, or Resumed: what happened while the watch was away is unknown, so every
        // kept answer is read again before it is trusted.
        try {
            std::lock_guard refreshing(refreshMutex_);
            refreshLevels(std::nullopt);
            std::lock_guard lock(stateMutex_);
            if (event == ChangeWatch::Event::Resumed)
                answersKept_ = watch->tellsEveryChange();
        } catch (const std::exception &) {
            std::lock_guard lock(stateMutex_);
            answersKept_ = false; // read again at the next change
        }
    }
}

void ChangeFeed::refresh()
{
    try {
        std::lock_guard refreshing(refreshMutex_);
        refreshLevels(std::nullopt);
    } catch (const std::exception &) {
        // The store failed: the watch or the next write tries again; polls still answer.
    }
}

void ChangeFeed::refreshLevels(std::optional<int> alsoLevel)
{
    std::vector<int> levels;
    {
        std::lock_guard lock(stateMutex_);
        for (const auto &[level, answer] : answers_)
            levels.push_back(level);
        if (alsoLevel && !answers_.count(*alsoLevel))
            levels.push_back(*alsoLevel);
    }
    std::map<int, std::string> read;
    std::int64_t number = store_.with([&](DatabaseConnection &c) {
        for (int level : levels)
            read[level] = WebService::changeCounterText(store_, c, level);
        return ChangeCounterText::changeNumber(c);
    });
    std::lock_guard lock(stateMutex_);
    number_ = number;
    for (auto &[level, answer] : read) {
        std::string &kept = answers_[level];
        if (kept == answer)
            continue;
        kept = std::move(answer);
        auto streams = streams_.find(level);
        if (streams == streams_.end())
            continue;
        std::string text = event(number, kept);
        for (auto &[raw, weak] : streams->second)
            if (auto stream = weak.lock())
                stream->send(text);
    }
}

void ChangeFeed::prepare(int level)
{
    {
        std::lock_guard lock(stateMutex_);
        if (answers_.count(level))
            return;
    }
    try {
        std::lock_guard refreshing(refreshMutex_);
        refreshLevels(level);
    } catch (const std::exception &) {
    }
}

void ChangeFeed::subscribe(const std::shared_ptr<EventStream> &stream, int level,
                           std::optional<std::int64_t> lastEventId)
{
    EventStream *raw = stream.get();
    stream->onEnd([this, raw, level] { remove(raw, level); });
    try {
        std::lock_guard refreshing(refreshMutex_);
        bool known = false;
        {
            std::lock_guard lock(stateMutex_);
            known = answers_.count(level) > 0;
        }
        if (!known)
            refreshLevels(level);
        std::lock_guard lock(stateMutex_);
        streams_[level].emplace(raw, stream);
        if (lastEventId != number_)
            stream->send(event(number_, answers_[level]));
    } catch (const std::exception &) {
        // Nothing to tell it yet: the subscriber polls and tries the stream again later.
        stream->stop();
    }
}

void ChangeFeed::remove(EventStream *stream, int level)
{
    std::lock_guard lock(stateMutex_);
    auto streams = streams_.find(level);
    if (streams == streams_.end())
        return;
    streams->second.erase(stream);
    if (streams->second.empty())
        streams_.erase(streams);
}

std::optional<std::string> ChangeFeed::keptAnswer(int level)
{
    {
        std::lock_guard lock(stateMutex_);
        if (!answersKept_)
            return std::nullopt;
        auto kept = answers_.find(level);
        if (kept != answers_.end())
            return kept->second;
        if (answers_.size() >= keptLevels)
            return std::nullopt;
    }
    try {
        std::lock_guard refreshing(refreshMutex_);
        refreshLevels(level);
    } catch (const std::exception &) {
        return std::nullopt;
    }
    std::lock_guard lock(stateMutex_);
    auto kept = answers_.find(level);
    if (!answersKept_ || kept == answers_.end())
        return std::nullopt;
    return kept->second;
}
