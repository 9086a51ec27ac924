// One full solve of the route graph of the default generated universe under the prefer-high costs
// with some systems avoided and blocked, against Boost.Graph's Dijkstra on a compressed sparse row
// graph of the same links with the entering costs as edge weights. Both must agree on every distance.
#include "routing/uDijkstra.h"
#include "routing/uRoute.h"

#include "benchuniverse.h"
#include "ratioreporter.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>
#include <boost/graph/compressed_sparse_row_graph.hpp>
#include <boost/graph/dijkstra_shortest_paths.hpp>
#include <boost/graph/dijkstra_shortest_paths_no_color_map.hpp>
#include <boost/graph/two_bit_color_map.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

using TCsrGraph = boost::compressed_sparse_row_graph<boost::directedS, boost::no_property,
    boost::property<boost::edge_weight_t, int32_t>, boost::no_property, uint32_t, uint32_t>;
constexpr int32_t BoostInfinity = std::numeric_limits<int32_t>::max();
constexpr int StartCount = 16;

[[noreturn]] void Fail(const std::string& message)
{
    BenchFail("bench_dijkstra", message);
}

// The default universe with its route graph, prices and a Boost copy of the same links.
class TRouteUniverse {
public:
    TRouteUniverse()
    {
        TGalaxy& g = m_universe.Galaxy();
        // Prefer high, one system in 40 avoided and one in 60 blocked.
        g.SecurityPreference = PreferHigh;
        for (int i = 0; i < g.Systems.Count(); ++i) {
            if (i % 40 == 7)
                g.Systems[i]->BlockThreshold = AvoidedThreshold;
            else if (i % 60 == 11)
                g.Systems[i]->BlockThreshold = BlockedThreshold;
        }
        // One leg sets the passable flags as route building does.
        ComputeLeg(g, g.Systems[0], g.Systems[1]);

        const int count = g.Graph->VertexCount();
        m_costs.resize(std::size_t(count));
        for (int v = 0; v < count; ++v)
            m_costs[std::size_t(v)] = StepCost(g, *static_cast<TSystem*>(g.Graph->GetVertex(v)->Data()));

        std::vector<std::pair<uint32_t, uint32_t>> edges;
        std::vector<int32_t> weights;
        for (const auto& e : g.Systems)
            for (const auto& jump : e.Object->Jumps) {
                const TSystem* target = jump->Target;
                if (target->BlockThreshold == BlockedThreshold)
                    continue; // never entered
                edges.emplace_back(uint32_t(e.Object->VertexIndex), uint32_t(target->VertexIndex));
                weights.push_back(m_costs[std::size_t(target->VertexIndex)]);
            }
        m_arcs = int(edges.size());
        m_csr = std::make_unique<TCsrGraph>(
            boost::edges_are_unsorted, edges.begin(), edges.end(), weights.begin(), uint32_t(count));
        m_distance.resize(std::size_t(count));
        m_predecessor.resize(std::size_t(count));

        // Starts spread over the list, none of them blocked.
        for (int i = 0; int(m_starts.size()) < StartCount && i < g.Systems.Count();
             i += g.Systems.Count() / StartCount)
            for (int k = i; k < g.Systems.Count(); ++k)
                if (g.Systems[k]->BlockThreshold != BlockedThreshold) {
                    m_starts.push_back(g.Systems[k]);
                    break;
                }
    }
    TGalaxy& Galaxy() { return m_universe.Galaxy(); }
    int Arcs() const { return m_arcs; }
    TSystem* Start(int i) const { return m_starts[std::size_t(i) % m_starts.size()]; }

    void SolveOurs(int i) { Galaxy().Graph->Solve(Start(i), m_costs); }

    auto DistanceMap()
    {
        return boost::make_iterator_property_map(m_distance.begin(), boost::get(boost::vertex_index, *m_csr));
    }
    auto PredecessorMap()
    {
        return boost::make_iterator_property_map(
            m_predecessor.begin(), boost::get(boost::vertex_index, *m_csr));
    }

    void SolveBoost(int i)
    {
        const uint32_t start = uint32_t(Start(i)->VertexIndex);
        boost::dijkstra_shortest_paths(*m_csr, start,
            boost::predecessor_map(PredecessorMap())
                .distance_map(DistanceMap())
                .weight_map(boost::get(boost::edge_weight, *m_csr))
                .distance_inf(BoostInfinity)
                .color_map(boost::two_bit_color_map<>(boost::num_vertices(*m_csr))));
    }

    void SolveBoostNoColour(int i)
    {
        const uint32_t start = uint32_t(Start(i)->VertexIndex);
        boost::dijkstra_shortest_paths_no_color_map(*m_csr, start,
            boost::predecessor_map(PredecessorMap())
                .distance_map(DistanceMap())
                .weight_map(boost::get(boost::edge_weight, *m_csr))
                .distance_inf(BoostInfinity));
    }

    // Every distance of both solvers from every start; aborts on the first difference.
    void CheckAgreement()
    {
        const TDijkstra& graph = *Galaxy().Graph;
        int reached = 0;
        for (int i = 0; i < StartCount; ++i) {
            for (int variant = 0; variant < 2; ++variant) {
                SolveOurs(i);
                variant == 0 ? SolveBoost(i) : SolveBoostNoColour(i);
                for (int v = 0; v < graph.VertexCount(); ++v) {
                    const double ours = graph.DistanceOf(v);
                    const int32_t theirs = m_distance[std::size_t(v)];
                    const bool agree = std::isinf(ours) ? theirs == BoostInfinity : double(theirs) == ours;
                    if (!agree)
                        Fail("distances differ from " + Start(i)->Name.toStdString() + " at vertex "
                            + std::to_string(v) + ": ours " + std::to_string(ours) + ", Boost "
                            + std::to_string(theirs));
                    reached += std::isinf(ours) ? 0 : 1;
                }
            }
        }
        if (reached < graph.VertexCount())
            Fail("the starts reach too little of the graph to compare");
    }

private:
    TBenchUniverse m_universe { QStringLiteral(QORMAP_GENERATOR), "bench_dijkstra" };
    std::vector<int32_t> m_costs;
    std::vector<TSystem*> m_starts;
    std::unique_ptr<TCsrGraph> m_csr;
    std::vector<int32_t> m_distance;
    std::vector<uint32_t> m_predecessor;
    int m_arcs = 0;
};

TRouteUniverse* Universe = nullptr;

void BM_TDijkstraSolve(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
        Universe->SolveOurs(i++);
    state.counters["vertices"] = Universe->Galaxy().Graph->VertexCount();
    state.counters["arcs"] = Universe->Arcs();
}

void BM_BoostDijkstra(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
        Universe->SolveBoost(i++);
}

void BM_BoostDijkstraNoColorMap(benchmark::State& state)
{
    int i = 0;
    for (auto _ : state)
        Universe->SolveBoostNoColour(i++);
}

// A whole leg as the planner runs it: passable flags, prices, the solve and the path read back.
void BM_ComputeLeg(benchmark::State& state)
{
    TGalaxy& g = Universe->Galaxy();
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ComputeLeg(g, Universe->Start(i), Universe->Start(i + 7)));
        ++i;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TRouteUniverse universe;
    Universe = &universe;
    universe.CheckAgreement();
    std::printf("distances agree from %d starts\n", StartCount);

    // A shared virtual machine drifts between runs: the ratio is taken between medians.
    for (auto* b : { benchmark::RegisterBenchmark("TDijkstraSolve", BM_TDijkstraSolve),
             benchmark::RegisterBenchmark("BoostDijkstra", BM_BoostDijkstra),
             benchmark::RegisterBenchmark("BoostDijkstraNoColorMap", BM_BoostDijkstraNoColorMap),
             benchmark::RegisterBenchmark("ComputeLeg", BM_ComputeLeg) })
        b->Repetitions(5)->ReportAggregatesOnly(true);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double boost = std::min(reporter.Time("BoostDijkstra"), reporter.Time("BoostDijkstraNoColorMap"));
    if (boost > 0)
        std::printf("TDijkstra / fastest Boost.Graph = %.2f (target <= 0.80)\n",
            reporter.Time("TDijkstraSolve") / boost);
    return 0;
}
