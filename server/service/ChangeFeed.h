#pragma once

#include "store/Store.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>

class EventStream;

// Tells the open event streams of each change their level can see, the moment this process
// writes and soon after anyone else does: one event per change, "id:" the change number
// (ChangeCounterText::changeNumber) and "data:" the level's change-counter answer. The
// stream only says "ask now": the subscriber's poll stays the source of truth.
//
// Where changes come from: refresh() after this process's own writes; a watch thread on the
// store (ChangeWatch) for everyone else's. When the watch is told of every change
// (PostgreSQL's notifications), the answers read for the streams also answer ifchangetable
// from memory, and are read again whole whenever the watch resumes after a loss.
//
// A stream of a paid level was opened by an address that held such a subscription's online
// record; the watch looks at the holders every holdersCheckEvery and closes the streams whose
// address holds it no more (the subscriber signed in elsewhere), whose callers reconnect and
// are told what they may read now.
class ChangeFeed
{
public:
    explicit ChangeFeed(Store &store) : store_(store) {}
    ~ChangeFeed();
    ChangeFeed(const ChangeFeed &) = delete;
    ChangeFeed &operator=(const ChangeFeed &) = delete;

    // Starts and stops the thread that watches the store.
    void startWatching();
    void stopWatching();

    // Reads the counters again and sends an event to each stream whose level's answer
    // changed. Any thread; a store that fails leaves everything as it was.
    void refresh();

    // Reads level's answer unless it is known already, so that a stream of that level can
    // start without reading the store. A store that fails leaves it for subscribe().
    void prepare(int level);

    // Adds a stream told of level's changes, opened by address. It gets the current event at
    // once unless lastEventId is the current change number (it has seen it). Call before the
    // stream starts.
    void subscribe(const std::shared_ptr<EventStream> &stream, int level,
                   std::optional<std::int64_t> lastEventId, const std::string &address);

    // The (address, level) pairs that may be told of a paid level now.
    using Holders = std::set<std::pair<std::string, int>>;
    // How the watch reads the holders; before startWatching(). Without it streams are never
    // closed for it.
    void checkHoldersWith(std::function<Holders(DatabaseConnection &)> holders)
    {
        holders_ = std::move(holders);
    }
    // Closes every stream of a level other than the public one whose address does not hold
    // that level among holders.
    void closeStreamsNotHeld(const Holders &holders);

    // The change-counter answer of level as kept in memory; nullopt when it is not kept (the
    // watch is not told of every change, or is not listening now, or too many levels are
    // kept already): then it must be read from the store.
    std::optional<std::string> keptAnswer(int level);

    // The same without reading the store: nullopt too when the level is not in memory yet.
    std::optional<std::string> keptAnswerNow(int level);
    // The paid level a caller at address may read, asking for it, when the feed knows it for
    // sure: it keeps the holders current (PostgreSQL's notifications, and a look every
    // holdersCheckEvery for a subscription or a holding that ran out) and address holds it.
    // nullopt: ask the store.
    std::optional<int> heldLevel(const std::string &address, int level);

    // One event as sent on the stream.
    static std::string event(std::int64_t number, const std::string &text);

    // How often the watch looks, where it has to look for changes itself.
    static constexpr std::chrono::milliseconds lookEvery{50};
    // Levels whose answers are kept: a subscriber may ask for any number.
    static constexpr std::size_t keptLevels = 8;
    // How often the holders of the paid streams' levels are looked at.
    static constexpr std::chrono::seconds holdersCheckEvery{10};

private:
    struct Subscriber
    {
        std::weak_ptr<EventStream> stream;
        std::string address;
    };
    using Streams = std::unordered_map<EventStream *, Subscriber>;

    void refreshLevels(std::optional<int> alsoLevel);
    void watch();
    void checkHolders();
    void remove(EventStream *stream, int level);

    Store &store_;
    std::mutex refreshMutex_; // one read and its events at a time, so numbers go out in order
    std::mutex stateMutex_;   // what follows: short holds only
    std::map<int, std::string> answers_;
    std::int64_t number_ = 0;
    std::map<int, Streams> streams_;
    bool answersKept_ = false;
    std::function<Holders(DatabaseConnection &)> holders_;
    std::optional<Holders> holdersKept_; // as last read
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
};
