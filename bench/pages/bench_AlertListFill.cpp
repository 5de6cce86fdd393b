// The history grid StringGrid2 filled from a 10,000-row hqsametable answer, next to reading
// the same answer into a ResultDocument alone. The fill includes that read, the field reads,
// the list time format, the model reset and the view's repaint; what it adds to the read
// must stay below the read itself.

#include "BenchmarkAnswer.h"
#include "ClosedHost.h"
#include "FastestRunReporter.h"
#include "ResultDocument.h"
#include "ServiceClient.h"
#include "StringGrid.h"
#include "UnitSMNC.h"

#include <QApplication>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

const QString Declaration = QStringLiteral("<?xml version=\"1.0\" encoding=\"gb2312\"?> ");

void BM_ParseAnswer(benchmark::State &state)
{
    const QString &answer = benchmarkAnswer();
    ResultDocument document;
    for (auto _ : state) {
        document.load(Declaration + answer);
        benchmark::DoNotOptimize(document.rowCount());
    }
}

void BM_FillStringGrid2(benchmark::State &state)
{
    const QString &answer = benchmarkAnswer();
    QWidget host;
    host.resize(801, 547);
    TFormSMNC page(&host);
    host.show(); // the page's own calls fail at once: nothing listens on the bench's host
    QApplication::processEvents();
    for (auto _ : state) {
        const int rows = page.fillFromAnswer(AlertListFills::Grid::LatestAlerts, answer);
        QApplication::processEvents(); // the view's relayout and repaint after the reset
        benchmark::DoNotOptimize(rows);
    }
    if (page.StringGrid2->rowCount() != 10001)
        state.SkipWithError("the grid was not filled");
}

BENCHMARK(BM_ParseAnswer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FillStringGrid2)->Unit(benchmark::kMillisecond);

// Prints the usual table, then what the fill adds to the read (fastest runs).
class AddedCostReporter : public FastestRunReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double fill = fastestOf("BM_FillStringGrid2");
        const double parse = fastestOf("BM_ParseAnswer");
        if (fill < 0 || parse < 0)
            return;
        const double added = fill - parse;
        std::printf("fill %.2f ms, parse alone %.2f ms (CPU time, fastest run): the fill adds %.2f ms, "
                    "%.2f of the parse (target < 1): %s\n",
                    fill, parse, added, added / parse, added < parse ? "met" : "MISSED");
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ServiceClient::setServiceHost(ClosedHost);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmarkAnswer(); // built once, outside every measurement
    AddedCostReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
