#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// The usual console table, remembering each benchmark's fastest CPU time: with
// --benchmark_repetitions the slower repetitions on a shared machine measure the neighbours.
// Subclasses print their comparison in Finalize().
class FastestRunReporter : public benchmark::ConsoleReporter
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

protected:
    // The fastest CPU time of the named benchmark, or a negative value when it did not run.
    double fastestOf(const std::string &name) const
    {
        const auto found = fastest.find(name);
        return found == fastest.end() ? -1 : found->second;
    }

private:
    std::map<std::string, double> fastest;
};
