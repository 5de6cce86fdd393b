// Reading a large hqsametable answer through ResultDocument, next to pugixml parsing the
// same UTF-8 bytes alone. The GBK trip, the row index and the field reads must not cost
// more than the parse itself: ResultDocument should run at least half as fast.

#include "ResultDocument.h"

#include <QString>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int Rows = 10000;

// Shaped as the service serialises a data set: two blanks per level, CR LF line ends.
const QString &answer()
{
    static const QString text = [] {
        const QString operations[] = {u"买入"_qs, u"卖出"_qs, u"持有"_qs, u"减仓"_qs};
        const QString reasons[] = {u"放量突破前期平台，短线关注"_qs, u"业绩预增，机构资金持续流入"_qs,
                                   u"跌破二十日均线，注意风险"_qs};
        QString s = u"<NewDataSet>\r\n"_qs;
        for (int i = 0; i < Rows; ++i) {
            const int id = Rows - i;
            s += u"  <Table>\r\n"_qs;
            s += u"    <id>%1</id>\r\n"_qs.arg(id);
            s += u"    <nowtime>2011-06-%1T09:%2:05.1234567+08:00</nowtime>\r\n"_qs.arg(10 + i % 20)
                     .arg(i % 60, 2, 10, QLatin1Char('0'));
            s += u"    <gupiaodaima>%1</gupiaodaima>\r\n"_qs.arg(600000 + i % 4000, 6, 10, QLatin1Char('0'));
            s += u"    <jg>%1.%2元</jg>\r\n"_qs.arg(5 + i % 50).arg(i % 100, 2, 10, QLatin1Char('0'));
            s += u"    <czfs>%1</czfs>\r\n"_qs.arg(operations[i % 4]);
            s += u"    <czly>%1</czly>\r\n"_qs.arg(reasons[i % 3]);
            s += u"    <XinXiDJ>%1</XinXiDJ>\r\n"_qs.arg(1 + i % 3);
            s += u"  </Table>\r\n"_qs;
        }
        return s + u"</NewDataSet>"_qs;
    }();
    return text;
}

void BM_ResultDocument(benchmark::State &state)
{
    const QString &text = answer();
    const QString names[] = {u"id"_qs,   u"nowtime"_qs, u"gupiaodaima"_qs, u"jg"_qs,
                             u"czfs"_qs, u"czly"_qs,    u"XinXiDJ"_qs};
    ResultDocument document;
    for (auto _ : state) {
        document.load(text);
        qsizetype characters = 0;
        for (int row = 0; row < document.rowCount(); ++row) {
            for (const QString &name : names)
                characters += document.fieldText(row, name).size();
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

// Load alone, to tell the cost of the load from that of the field reads.
void BM_ResultDocumentLoadOnly(benchmark::State &state)
{
    const QString &text = answer();
    ResultDocument document;
    for (auto _ : state) {
        document.load(text);
        benchmark::DoNotOptimize(document.rowCount());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

void BM_PugixmlParseOnly(benchmark::State &state)
{
    const QByteArray bytes = answer().toUtf8();
    pugi::xml_document document;
    for (auto _ : state) {
        const pugi::xml_parse_result parsed = document.load_buffer(bytes.constData(), size_t(bytes.size()),
                                                                   pugi::parse_default, pugi::encoding_utf8);
        benchmark::DoNotOptimize(parsed.status);
        benchmark::DoNotOptimize(document.first_child());
    }
    state.SetBytesProcessed(state.iterations() * bytes.size());
}

BENCHMARK(BM_ResultDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResultDocumentLoadOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PugixmlParseOnly)->Unit(benchmark::kMillisecond);

// Prints the usual table, then the speed of ResultDocument relative to the bare parse.
// With --benchmark_repetitions the fastest repetition of each counts: on a shared machine
// the slower ones measure the neighbours.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const double cpu = run.GetAdjustedCPUTime();
            auto [slot, added] = fastest.try_emplace(run.run_name.function_name, cpu);
            if (!added && cpu < slot->second)
                slot->second = cpu;
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto document = fastest.find("BM_ResultDocument");
        const auto parse = fastest.find("BM_PugixmlParseOnly");
        if (document == fastest.end() || parse == fastest.end())
            return;
        const double speed = parse->second / document->second;
        std::printf("ResultDocument %.2f ms, bare parse %.2f ms (CPU time, fastest run): relative speed %.2f "
                    "(target >= 0.50): %s\n",
                    document->second, parse->second, speed, speed >= 0.5 ? "met" : "MISSED");
    }

private:
    std::map<std::string, double> fastest;
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    answer(); // built once, outside every measurement
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
