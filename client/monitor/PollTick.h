#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

// One poll tick, split so that the window never waits for the service: the fetch step makes
// every service call the tick needs on a worker thread; the apply step (TFrmMain) does the
// rest on the user-interface thread, in the dispatch order, stopping where a call failed just
// where a tick that waited for each call would have stopped.
namespace PollTick {

// The eight counters in the order the tick reads and stores them.
constexpr int CounterCount = 8;
extern const std::array<const char *, CounterCount> CounterNames; // gptjadd, gptjsx, smncadd, ...

// What the dispatch depends on besides the counters: the last-seen values and the two open
// flags.
struct State
{
    std::array<qint32, CounterCount> lastSeen{};
    bool alertListOpen = false;
    bool insiderPageOpen = false;

    static State current(); // from UnitGlouble
    bool operator==(const State &) const = default;
};

// What the dispatch runs, in its fixed order.
enum class Flow {
    hjgcanctdopen,
    hjgcXGanddopen,
    hjgcADDclose,
    spzxaddandopen,
    spzxXGanddopen,
    spzxADDclose,
    InsiderAddedPageOpen,   // reload the insider page, sound, insider toast
    InsiderChangedPageOpen, // reload the insider page
    InsiderAddedPageClosed, // sound, insider toast
    SecretAdded,            // sound, secret toast
};

// The flows a tick dispatches for this counter text from this state. Empty when the text does
// not yield the eight counters: the tick then ends before it dispatches anything.
std::vector<Flow> plan(const QString &counterText, const State &state);

// The SQL texts the flows send, taken on the user-interface thread when the tick starts (they
// depend on UserTiering and UserLevel).
struct Queries
{
    QString todayAlerts;
    QString latestAlerts;
    QString todayNews;

    static Queries current();
};

// The hqsametable texts a flow sends, in order.
QStringList queriesOf(Flow flow, const Queries &queries);

// The answer to one query, or the failure it met.
struct Answer
{
    std::optional<QString> text;
    QString error;
};

struct Fetched
{
    // The ifchangetable answer; empty with `error` set when the call failed.
    std::optional<QString> counterText;
    QString error;
    std::vector<Flow> flows;
    // Per flow, the answers to its queries in order. A flow whose answer failed gets no further
    // answers, and neither do the flows after it, unless it is hjgcADDclose, which keeps its
    // failures to itself.
    std::vector<std::vector<Answer>> answers;
};

// The counters alone, for a tick that stands in for the show sequence's failed first fetch.
Fetched fetchCounters(const QString &userLevel);

// The fetch step: every service call of one tick. Blocks; reads nothing but its arguments, so
// it runs on any thread.
Fetched fetch(const QString &userLevel, const State &state, const Queries &queries);

} // namespace PollTick
