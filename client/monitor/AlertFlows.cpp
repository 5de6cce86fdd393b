#include "AlertFlows.h"

#include "AlertListFills.h"
#include "AlertToastTexts.h"
#include "Announcer.h"
#include "ChangeCounters.h"
#include "RefreshablePage.h"
#include "ReminderSettings.h"
#include "ResultDocument.h"
#include "TextConversions.h"
#include "Unit3.h"

#include <exception>
#include <stdexcept>

namespace {

using PollTick::Answer;
using Stream = ReminderSettings::Stream;

// The text of an answer; an answer whose call failed fails here, where the flow would have
// made the call.
QString textOf(const Answer &answer)
{
    if (!answer.text)
        throw std::runtime_error(answer.error.toStdString());
    return *answer.text;
}

// The answer at this place, or a failed one when the fetch stopped before it.
Answer answerAt(const std::vector<Answer> &answers, size_t index)
{
    if (index < answers.size())
        return answers[index];
    return Answer{std::nullopt, QStringLiteral("The poll fetched no answer for this query")};
}

AlertListFills &alertList(Tmain *page)
{
    auto *fills = dynamic_cast<AlertListFills *>(page);
    if (!fills)
        throw std::runtime_error("The alert list page is not open");
    return *fills;
}

QString counterText(const char *name)
{
    return TextConversions::trim(ChangeCounters::value(QLatin1String(name)));
}

} // namespace

AlertFlows::AlertFlows(Announcer &announcer, CurrentPage currentPage)
    : m_announcer(announcer), m_currentPage(std::move(currentPage))
{
}

void AlertFlows::run(PollTick::Flow flow, const std::vector<Answer> &answers)
{
    using PollTick::Flow;
    switch (flow) {
    case Flow::hjgcanctdopen:
        return hjgcanctdopen(answerAt(answers, 0), answerAt(answers, 1));
    case Flow::hjgcXGanddopen:
        return hjgcXGanddopen(answerAt(answers, 0), answerAt(answers, 1));
    case Flow::hjgcADDclose:
        return hjgcADDclose(answerAt(answers, 0));
    case Flow::spzxaddandopen:
        return spzxaddandopen(answerAt(answers, 0));
    case Flow::spzxXGanddopen:
        return spzxXGanddopen(answerAt(answers, 0));
    case Flow::spzxADDclose:
        return spzxADDclose(answerAt(answers, 0));
    case Flow::InsiderAddedPageOpen:
        reloadInsiderPage();
        return insiderToast();
    case Flow::InsiderChangedPageOpen:
        return reloadInsiderPage();
    case Flow::InsiderAddedPageClosed:
        return insiderToast();
    case Flow::SecretAdded:
        return secretToast();
    }
}

void AlertFlows::hjgcanctdopen(const Answer &todayAlerts, const Answer &latestAlerts)
{
    using Grid = AlertListFills::Grid;
    AlertListFills &page = alertList(m_currentPage());
    QString time, code, operation;
    if (page.fillFromAnswer(Grid::TodayAlerts, textOf(todayAlerts)) > 0) {
        time = TextConversions::trim(page.cellText(Grid::TodayAlerts, 1, 1));
        code = page.cellText(Grid::TodayAlerts, 1, 2);
        operation = page.cellText(Grid::TodayAlerts, 1, 4);
    }
    page.fillFromAnswer(Grid::LatestAlerts, textOf(latestAlerts));
    m_announcer.alert(Stream::StockPool, AlertToastTexts::stockAlert(time, code, operation));
}

void AlertFlows::hjgcXGanddopen(const Answer &todayAlerts, const Answer &latestAlerts)
{
    using Grid = AlertListFills::Grid;
    AlertListFills &page = alertList(m_currentPage());
    page.fillFromAnswer(Grid::TodayAlerts, textOf(todayAlerts));
    page.fillFromAnswer(Grid::LatestAlerts, textOf(latestAlerts));
}

void AlertFlows::hjgcADDclose(const Answer &todayAlerts)
{
    // This flow keeps its failures to itself: the tick goes on with the next stream.
    try {
        ResultDocument document;
        document.load(textOf(todayAlerts));
        QString time, code, operation;
        if (document.rowCount() > 0) {
            time = AlertToastTexts::displayTime(document.fieldText(0, QStringLiteral("nowtime")));
            code = document.fieldText(0, QStringLiteral("gupiaodaima"));
            operation = document.fieldText(0, QStringLiteral("czfs"));
        }
        m_announcer.alert(Stream::StockPool, AlertToastTexts::stockAlert(time, code, operation));
    } catch (const std::exception &) {
    }
}

void AlertFlows::spzxaddandopen(const Answer &todayNews)
{
    using Grid = AlertListFills::Grid;
    AlertListFills &page = alertList(m_currentPage());
    QString time, type, text;
    if (page.fillFromAnswer(Grid::TodayNews, textOf(todayNews)) > 0) {
        time = TextConversions::trim(page.cellText(Grid::TodayNews, 1, 1));
        type = page.cellText(Grid::TodayNews, 1, 2);
        text = page.cellText(Grid::TodayNews, 1, 3);
    }
    m_announcer.alert(Stream::LiveNews, AlertToastTexts::liveNews(time, type, text));
}

void AlertFlows::spzxXGanddopen(const Answer &todayNews)
{
    alertList(m_currentPage()).fillFromAnswer(AlertListFills::Grid::TodayNews, textOf(todayNews));
}

void AlertFlows::spzxADDclose(const Answer &todayNews)
{
    ResultDocument document;
    document.load(textOf(todayNews));
    QString time, type, text;
    if (document.rowCount() > 0) {
        time = AlertToastTexts::displayTime(document.fieldText(0, QStringLiteral("nowtime")));
        type = document.fieldText(0, QStringLiteral("zxlx"));
        text = document.fieldText(0, QStringLiteral("zxnr"));
    }
    m_announcer.alert(Stream::LiveNews, AlertToastTexts::liveNews(time, type, text));
}

void AlertFlows::insiderToast()
{
    m_announcer.alert(Stream::Insider,
                      AlertToastTexts::insiderNews(counterText("smncaddsj"), counterText("smncaddbt")));
}

void AlertFlows::secretToast()
{
    m_announcer.alert(Stream::Secret,
                      AlertToastTexts::secretNews(counterText("smjmaddsj"), counterText("smjmaddbt")));
}

void AlertFlows::reloadInsiderPage()
{
    auto *page = dynamic_cast<RefreshablePage *>(m_currentPage());
    if (!page)
        throw std::runtime_error("The insider page is not open");
    page->Refresh();
}
