// Reading a large hqsametable answer through ResultDocument, next to pugixml parsing the
// same UTF-8 bytes alone. A load that reads every field (UTF-8, parse, the GBK trip, the
// row index and one QString per field read) must cost at most 3.3 times the bare parse.
// count-instructions, next to this file, measures the same in instructions.

#include "BenchmarkAnswer.h"
#include "FastestRunReporter.h"
#include "ResultDocument.h"

#include <QString>

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <map>
#include <string>

namespace {

void BM_ResultDocument(benchmark::State &state)
{
    const QString &text = benchmarkAnswer();
    const QString *const names = benchmarkFieldNames();
    ResultDocument document;
    for (auto _ : state) {
        document.load(text);
        qsizetype characters = 0;
        for (int row = 0; row < document.rowCount(); ++row) {
            for (int field = 0; field < BenchmarkFieldCount; ++field)
                characters += document.fieldText(row, names[field]).size();
        }
        benchmark::DoNotOptimize(characters);
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

// Load alone, to tell the cost of the load from that of the field reads.
void BM_ResultDocumentLoadOnly(benchmark::State &state)
{
    const QString &text = benchmarkAnswer();
    ResultDocument document;
    for (auto _ : state) {
        document.load(text);
        benchmark::DoNotOptimize(document.rowCount());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}

void BM_PugixmlParseOnly(benchmark::State &state)
{
    const QByteArray bytes = benchmarkAnswer().toUtf8();
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

// At most this many times the bare parse, for a load that reads every field.
constexpr double TargetRatio = 3.3;

// Prints the usual table, then the time of ResultDocument relative to the bare parse
// (fastest runs).
class RatioReporter : public FastestRunReporter
{
public:
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double document = fastestOf("BM_ResultDocument");
        const double parse = fastestOf("BM_PugixmlParseOnly");
        if (document < 0 || parse < 0)
            return;
        const double ratio = document / parse;
        std::printf("ResultDocument %.2f ms, bare parse %.2f ms (CPU time, fastest run): ratio %.2f "
                    "(target <= %.1f): %s\n",
                    document, parse, ratio, TargetRatio, ratio <= TargetRatio ? "met" : "MISSED");
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmarkAnswer(); // built once, outside every measurement
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
