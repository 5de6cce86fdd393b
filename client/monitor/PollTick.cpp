#include "PollTick.h"

#include "ChangeCounters.h"
#include "ClientStatements.h"
#include "ServiceClient.h"
#include "UnitGlouble.h"

#include <exception>

namespace PollTick {

const std::array<const char *, CounterCount> CounterNames = {
    "gptjadd", "gptjsx", "smncadd", "smncsx", "smjmadd", "smjmsx", "spzxadd", "spzxsx",
};

namespace {

enum Counter {
    StockAdded,
    StockChanged,
    InsiderAdded,
    InsiderChanged,
    SecretAdded_,
    SecretChanged,
    NewsAdded,
    NewsChanged
};

// The "changed" marks of the tick, or nothing when a counter cannot be read.
std::optional<std::array<bool, CounterCount>> changedMarks(const QString &counterText, const State &state)
{
    QStringList lines;
    std::array<bool, CounterCount> changed{};
    try {
        ChangeCounters::appendLines(counterText, lines);
        for (int i = 0; i < CounterCount; ++i)
            changed[i] = ChangeCounters::counter(lines, QLatin1String(CounterNames[i])) != state.lastSeen[i];
    } catch (const std::exception &) {
        return std::nullopt;
    }
    return changed;
}

} // namespace

State State::current()
{
    const GlobalState &g = UnitGlouble;
    return State{{g.LastStockAdded, g.LastStockChanged, g.LastInsiderAdded, g.LastInsiderChanged,
                  g.LastSecretAdded, g.LastSecretChanged, g.LastLiveNewsAdded, g.LastLiveNewsChanged},
                 g.AlertListOpen,
                 g.InsiderPageOpen};
}

std::vector<Flow> plan(const QString &counterText, const State &state)
{
    const auto marks = changedMarks(counterText, state);
    if (!marks)
        return {};
    const auto &changed = *marks;
    std::vector<Flow> flows;
    const auto add = [&flows](bool condition, Flow flow) {
        if (condition)
            flows.push_back(flow);
    };
    add(changed[StockAdded] && state.alertListOpen, Flow::hjgcanctdopen);
    add(changed[StockChanged] && state.alertListOpen, Flow::hjgcXGanddopen);
    add(changed[StockAdded] && !state.alertListOpen, Flow::hjgcADDclose);
    add(changed[NewsAdded] && state.alertListOpen, Flow::spzxaddandopen);
    add(changed[NewsChanged] && state.alertListOpen, Flow::spzxXGanddopen);
    add(changed[NewsAdded] && !state.alertListOpen, Flow::spzxADDclose);
    add(changed[InsiderAdded] && state.insiderPageOpen, Flow::InsiderAddedPageOpen);
    add(changed[InsiderChanged] && state.insiderPageOpen, Flow::InsiderChangedPageOpen);
    add(changed[InsiderAdded] && !state.insiderPageOpen, Flow::InsiderAddedPageClosed);
    add(changed[SecretAdded_], Flow::SecretAdded);
    return flows;
}

Queries Queries::current()
{
    const ClientStatements::Audience audience{UnitGlouble.UserTiering, UnitGlouble.UserLevel};
    return Queries{ClientStatements::todayAlerts(audience), ClientStatements::latestAlerts(audience),
                   ClientStatements::todayNews(audience)};
}

QStringList queriesOf(Flow flow, const Queries &queries)
{
    switch (flow) {
    case Flow::hjgcanctdopen:
    case Flow::hjgcXGanddopen:
        return {queries.todayAlerts, queries.latestAlerts};
    case Flow::hjgcADDclose:
        return {queries.todayAlerts};
    case Flow::spzxaddandopen:
    case Flow::spzxXGanddopen:
    case Flow::spzxADDclose:
        return {queries.todayNews};
    default:
        return {};
    }
}

Fetched fetchCounters(const QString &userLevel)
{
    Fetched fetched;
    try {
        fetched.counterText = ChangeCounters::fetchText(userLevel);
    } catch (const std::exception &error) {
        fetched.error = QString::fromUtf8(error.what());
    }
    return fetched;
}

Fetched fetch(const QString &userLevel, const State &state, const Queries &queries)
{
    Fetched fetched = fetchCounters(userLevel);
    if (!fetched.counterText)
        return fetched;
    fetched.flows = plan(*fetched.counterText, state);
    bool tickEnded = false;
    for (const Flow flow : fetched.flows) {
        std::vector<Answer> &answers = fetched.answers.emplace_back();
        if (tickEnded)
            continue;
        for (const QString &query : queriesOf(flow, queries)) {
            Answer &answer = answers.emplace_back();
            try {
                answer.text = ServiceClient::GetWebServiceSoap()->hqsametable(query);
            } catch (const std::exception &error) {
                answer.error = QString::fromUtf8(error.what());
                tickEnded = flow != Flow::hjgcADDclose;
                break;
            }
        }
    }
    return fetched;
}

} // namespace PollTick
