#include "service/ChangeFeed.h"

#include "http/EventStream.h"
#include "service/ChangeCounterText.h"
#include "service/WebService.h"
#include "store/Stream.h"

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
    auto holdersChecked = std::chrono::steady_clock::now();
    while (!stopping_) {
        if (std::chrono::steady_clock::now() - holdersChecked >= holdersCheckEvery) {
            checkHolders();
            holdersChecked = std::chrono::steady_clock::now();
        }
        auto event = watch->wait(lookEvery);
        if (event == ChangeWatch::Event::Quiet)
            continue;
        if (event == ChangeWatch::Event::Lost) {
            std::lock_guard lock(stateMutex_);
            answersKept_ = false;
            continue;
        }
        // Changed, or Resumed: what happened while the watch was away is unknown, so every
        // kept answer, and the holders, are read again before they are trusted.
        try {
            {
                std::lock_guard refreshing(refreshMutex_);
                refreshLevels(std::nullopt);
            }
            checkHolders();
            holdersChecked = std::chrono::steady_clock::now();
            std::lock_guard lock(stateMutex_);
            if (event == ChangeWatch::Event::Resumed)
                answersKept_ = watch->tellsEveryChange();
        } catch (const std::exception &) {
            std::lock_guard lock(stateMutex_);
            answersKept_ = false; // read again at the next change
        }
    }
}

void ChangeFeed::checkHolders()
{
    if (!holders_)
        return;
    try {
        Holders holders = store_.with([this](DatabaseConnection &c) { return holders_(c); });
        closeStreamsNotHeld(holders);
        std::lock_guard lock(stateMutex_);
        holdersKept_ = std::move(holders);
    } catch (const std::exception &) {
        // The store failed: the next look tries again; meanwhile the store is asked.
        std::lock_guard lock(stateMutex_);
        holdersKept_.reset();
    }
}

std::optional<int> ChangeFeed::heldLevel(const std::string &address, int level)
{
    std::lock_guard lock(stateMutex_);
    if (!answersKept_ || !holdersKept_ || !holdersKept_->count({address, level}))
        return std::nullopt;
    return level;
}

std::optional<std::string> ChangeFeed::keptAnswerNow(int level)
{
    std::lock_guard lock(stateMutex_);
    auto kept = answers_.find(level);
    if (!answersKept_ || kept == answers_.end())
        return std::nullopt;
    return kept->second;
}

void ChangeFeed::closeStreamsNotHeld(const Holders &holders)
{
    std::vector<std::shared_ptr<EventStream>> closing;
    {
        std::lock_guard lock(stateMutex_);
        for (auto &[level, streams] : streams_) {
            if (level == Stream::publicLevel)
                continue;
            for (auto &[raw, subscriber] : streams)
                if (!holders.count({subscriber.address, level}))
                    if (auto stream = subscriber.stream.lock())
                        closing.push_back(std::move(stream));
        }
    }
    // Outside the lock: a stream that ends removes itself under it.
    for (auto &stream : closing)
        stream->stop();
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
        for (auto &[raw, subscriber] : streams->second)
            if (auto stream = subscriber.stream.lock())
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
                           std::optional<std::int64_t> lastEventId, const std::string &address)
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
        streams_[level].emplace(raw, Subscriber{stream, address});
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
