#pragma once

#include "PollTick.h"

#include <functional>
#include <vector>

class Announcer;
class Tmain;

// The apply step's flows: what a poll tick does on the user-interface thread with the answers
// its fetch step brought (refill the alert list, reload the insider page, sound, toast). A
// flow gets its answers as arguments; an answer that failed fails the flow where it would have
// made that call, so what it did before stays done.
class AlertFlows
{
public:
    using CurrentPage = std::function<Tmain *()>;
    AlertFlows(Announcer &announcer, CurrentPage currentPage);

    // Runs one flow with the answers its queries got (PollTick::queriesOf, in order; fewer when
    // the fetch stopped early). Throws where the flow fails, unless the flow keeps its failures
    // to itself (hjgcADDclose).
    void run(PollTick::Flow flow, const std::vector<PollTick::Answer> &answers);

private:
    void hjgcanctdopen(const PollTick::Answer &todayAlerts, const PollTick::Answer &latestAlerts);
    void hjgcXGanddopen(const PollTick::Answer &todayAlerts, const PollTick::Answer &latestAlerts);
    void hjgcADDclose(const PollTick::Answer &todayAlerts);
    void spzxaddandopen(const PollTick::Answer &todayNews);
    void spzxXGanddopen(const PollTick::Answer &todayNews);
    void spzxADDclose(const PollTick::Answer &todayNews);
    void insiderToast();
    void secretToast();
    void reloadInsiderPage();

    Announcer &m_announcer;
    CurrentPage m_currentPage;
};
