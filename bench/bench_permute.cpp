// The waypoint optimiser on the default generated universe: a plan of a start, ten unchecked
// waypoints in different regions and a destination, optimised with the leg table and with one
// full route per candidate (every leg solved again), in the same run. The results must agree.
#include "routing/uPermute.h"
#include "routing/uRoute.h"

#include "benchuniverse.h"
#include "ratioreporter.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int WaypointCount = 10;

[[noreturn]] void Fail(const std::string& message)
{
    BenchFail("bench_permute", message);
}

class TPlanUniverse {
public:
    TPlanUniverse()
    {
        TGalaxy& g = m_universe.Galaxy();
        g.SecurityPreference = PreferHigh;

        // The start, then the first reachable system of every few regions, the last as destination.
        TSystem* start = g.Systems[0];
        m_plan.Add(start, 0, true);
        const int regions = g.Regions.Count();
        const int step = std::max(1, regions / (WaypointCount + 2));
        for (int r = 1; r < regions && m_plan.Count() < WaypointCount + 2; r += step)
            for (TSystem* system : g.Regions[r]->Systems)
                if (system != start && PathLength(g, start, system) > 0) {
                    m_plan.Add(system, 2, false);
                    break;
                }
        if (m_plan.Count() < WaypointCount + 2)
            Fail("not enough reachable regions");
        m_plan.Systems.back().Entry->RouteType = 1;
        m_plan.Systems.back().Entry->Fixed = true;
    }

    TGalaxy& Galaxy() { return m_universe.Galaxy(); }
    const TRoute& Plan() const { return m_plan; }

    TRoute Optimise(TOptimiseMethod method, TOptimiseStats* stats = nullptr)
    {
        TOptimiseOptions options;
        options.Method = method;
        options.Stats = stats;
        return OptimisePlan(Galaxy(), m_plan, options);
    }

private:
    TBenchUniverse m_universe { QStringLiteral(QORMAP_GENERATOR), "bench_permute" };
    TRoute m_plan;
};

TPlanUniverse* Universe = nullptr;

QString Order(const TRoute& route)
{
    QStringList names;
    for (const TRoute::Line& line : route.Systems)
        names << line.Text;
    return names.join(QStringLiteral(", "));
}

void BM_OptimiseLegTable(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Universe->Optimise(TOptimiseMethod::LegTable).Count());
}

void BM_OptimiseFullRoutes(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Universe->Optimise(TOptimiseMethod::FullRoutes).Count());
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TPlanUniverse universe;
    Universe = &universe;

    // Both methods must give the same order and the same progress.
    TGalaxy& g = universe.Galaxy();
    QList<int> progressTable, progressFull;
    TOptimiseStats tableStats, fullStats;
    g.OnOptimiseProgress = [&progressTable](int jumps) { progressTable << jumps; };
    const TRoute byTable = universe.Optimise(TOptimiseMethod::LegTable, &tableStats);
    g.OnOptimiseProgress = [&progressFull](int jumps) { progressFull << jumps; };
    const TRoute byFull = universe.Optimise(TOptimiseMethod::FullRoutes, &fullStats);
    g.OnOptimiseProgress = nullptr;
    if (Order(byTable) != Order(byFull) || progressTable != progressFull)
        Fail("the two methods disagree");
    std::printf(
        "plan:      %s\nresult:    %s\n", qPrintable(Order(universe.Plan())), qPrintable(Order(byTable)));
    std::printf("jumps %d -> %d; %lld candidates in %d passes; %lld leg-table solves\n",
        FullRouteLength(g, universe.Plan()) - 1, FullRouteLength(g, byTable) - 1, tableStats.Candidates,
        tableStats.Passes, tableStats.Solves);

    benchmark::RegisterBenchmark("OptimiseLegTable", BM_OptimiseLegTable)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("OptimiseFullRoutes", BM_OptimiseFullRoutes)->Unit(benchmark::kMillisecond);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double table = reporter.Time("OptimiseLegTable");
    if (table > 0)
        std::printf(
            "full routes / leg table = %.1f (target >= 100)\n", reporter.Time("OptimiseFullRoutes") / table);
    return 0;
}
