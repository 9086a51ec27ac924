#pragma once
// A console reporter that keeps each benchmark's real time per iteration (the median when runs
// are repeated), so a program can print the ratio its target is stated in.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median")
                m_times[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }

    // Prints "label = ratio (target <= target)" when both benchmarks ran.
    void PrintRatio(
        const char* label, const std::string& numerator, const std::string& denominator, double target) const
    {
        const auto n = m_times.find(numerator);
        const auto d = m_times.find(denominator);
        if (n != m_times.end() && d != m_times.end() && d->second > 0)
            std::printf("%s = %.2f (target <= %.2f)\n", label, n->second / d->second, target);
    }

    double Time(const std::string& name) const
    {
        const auto it = m_times.find(name);
        return it == m_times.end() ? 0 : it->second;
    }

private:
    std::map<std::string, double> m_times;
};
