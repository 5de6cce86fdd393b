// The poll tick's plan: which flows a counter text dispatches from the last-seen counters and
// the two open flags, in the dispatch's fixed order.
#include "PollTick.h"

#include <QTest>

using PollTick::Flow;
using Flows = std::vector<Flow>;
Q_DECLARE_METATYPE(Flows)

namespace {

// The eight counters in PollTick::CounterNames order: stock added/changed, insider
// added/changed, secret added/changed, live news added/changed.
enum Counter {
    StockAdded,
    StockChanged,
    InsiderAdded,
    InsiderChanged,
    SecretAdded,
    SecretChanged,
    NewsAdded,
    NewsChanged
};

// An ifchangetable answer with these counters (dates and titles in their places).
QString counterText(const std::array<qint32, PollTick::CounterCount> &c)
{
    return QStringLiteral("%1,%2,%3,%4,2024-01-01 00:00:01,\"内参\",%5,%6,2024-01-01 00:00:02,\"绝密\",%7,%8")
        .arg(c[0])
        .arg(c[1])
        .arg(c[2])
        .arg(c[3])
        .arg(c[4])
        .arg(c[5])
        .arg(c[6])
        .arg(c[7]);
}

// Counters where each named one has moved on from the last-seen values (all 5).
QString textWithChanged(std::initializer_list<Counter> changed)
{
    std::array<qint32, PollTick::CounterCount> counters;
    counters.fill(5);
    for (const Counter counter : changed)
        counters[counter] = 6;
    return counterText(counters);
}

} // namespace

class tst_PollTick : public QObject
{
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
};

void tst_PollTick::plan_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("alertListOpen");
    QTest::addColumn<bool>("insiderPageOpen");
    QTest::addColumn<Flows>("flows");

    const auto row = [](const char *name, const QString &text, bool listOpen, bool insiderOpen, Flows flows) {
        QTest::newRow(name) << text << listOpen << insiderOpen << flows;
    };
    row("nothing changed", textWithChanged({}), true, true, {});
    row("stock added, list open", textWithChanged({StockAdded}), true, false, {Flow::hjgcanctdopen});
    row("stock added, list closed", textWithChanged({StockAdded}), false, false, {Flow::hjgcADDclose});
    row("stock changed, list open", textWithChanged({StockChanged}), true, false, {Flow::hjgcXGanddopen});
    row("stock changed, list closed", textWithChanged({StockChanged}), false, false, {});
    row("news added, list open", textWithChanged({NewsAdded}), true, false, {Flow::spzxaddandopen});
    row("news added, list closed", textWithChanged({NewsAdded}), false, false, {Flow::spzxADDclose});
    row("news changed, list open", textWithChanged({NewsChanged}), true, false, {Flow::spzxXGanddopen});
    row("news changed, list closed", textWithChanged({NewsChanged}), false, false, {});
    row("insider added, page open", textWithChanged({InsiderAdded}), false, true,
        {Flow::InsiderAddedPageOpen});
    row("insider added, page closed", textWithChanged({InsiderAdded}), false, false,
        {Flow::InsiderAddedPageClosed});
    row("insider changed, page open", textWithChanged({InsiderChanged}), false, true,
        {Flow::InsiderChangedPageOpen});
    row("insider changed, page closed", textWithChanged({InsiderChanged}), false, false, {});
    row("secret added", textWithChanged({SecretAdded}), false, false, {Flow::SecretAdded});
    row("secret changed", textWithChanged({SecretChanged}), true, true, {});
    // A counter that went down is a change too.
    row("stock added went down", counterText({4, 5, 5, 5, 5, 5, 5, 5}), true, false, {Flow::hjgcanctdopen});

    const std::initializer_list<Counter> all = {StockAdded,  StockChanged,  InsiderAdded, InsiderChanged,
                                                SecretAdded, SecretChanged, NewsAdded,    NewsChanged};
    row("everything, both open", textWithChanged(all), true, true,
        {Flow::hjgcanctdopen, Flow::hjgcXGanddopen, Flow::spzxaddandopen, Flow::spzxXGanddopen,
         Flow::InsiderAddedPageOpen, Flow::InsiderChangedPageOpen, Flow::SecretAdded});
    row("everything, both closed", textWithChanged(all), false, false,
        {Flow::hjgcADDclose, Flow::spzxADDclose, Flow::InsiderAddedPageClosed, Flow::SecretAdded});
    row("everything, list open only", textWithChanged(all), true, false,
        {Flow::hjgcanctdopen, Flow::hjgcXGanddopen, Flow::spzxaddandopen, Flow::spzxXGanddopen,
         Flow::InsiderAddedPageClosed, Flow::SecretAdded});

    // A text that does not yield the eight counters ends the tick before any dispatch.
    row("items missing", QStringLiteral("6,5,5"), true, true, {});
    row("counter not an integer", QStringLiteral("x,5,5,5,d,t,\"a\",5,5,d,t,\"b\",5,5"), true, true, {});
    row("empty answer", QString(), true, true, {});
}

void tst_PollTick::plan()
{
    QFETCH(QString, text);
    QFETCH(bool, alertListOpen);
    QFETCH(bool, insiderPageOpen);
    QFETCH(Flows, flows);

    PollTick::State state;
    state.lastSeen.fill(5);
    state.alertListOpen = alertListOpen;
    state.insiderPageOpen = insiderPageOpen;
    QVERIFY(PollTick::plan(text, state) == flows);
}

QTEST_GUILESS_MAIN(tst_PollTick)
#include "tst_PollTick.moc"
