#include "routing/uRoute.h"

#include "routing/uDijkstra.h"

#include <exception>

namespace {

// Entering costs by vertex index, reused by every solve on this thread.
std::vector<int32_t>& CostScratch()
{
    thread_local std::vector<int32_t> costs;
    return costs;
}

// Solves from `from` with the current thresholds and preference. Returns the index of to's vertex,
// or -1 when to has none. Throws what the solver throws (a start without a vertex).
int SolveLeg(TGalaxy& galaxy, TSystem* from, TSystem* to)
{
    // Passable flags and prices in one pass over the systems; each system's vertex carries it as
    // its payload, so these are the answers OnStepCost gives, asked once per vertex rather than
    // once per relaxation.
    TDijkstra& graph = *galaxy.Graph;
    std::vector<int32_t>& costs = CostScratch();
    costs.assign(std::size_t(graph.VertexCount()), NormalThreshold);
    for (const auto& e : galaxy.Systems) {
        const TSystem& system = *e.Object;
        if (TCustomVertex* vertex = graph.GetVertex(system.VertexIndex)) {
            const bool passable = system.BlockThreshold < BlockedThreshold;
            if (vertex->Passable() != passable)
                vertex->SetPassable(passable);
            costs[std::size_t(system.VertexIndex)] = StepCost(galaxy, system);
        }
    }
    if (!graph.Suspended())
        graph.Solve(from, costs);
    return graph.GetVertex(to->VertexIndex) ? to->VertexIndex : -1;
}

// Number of systems on the chain back from target; only target itself while the graph is
// suspended, since nothing was solved.
int ChainSize(const TGalaxy& galaxy, int target)
{
    return galaxy.Graph->Suspended() ? 1 : galaxy.Graph->PathSize(target);
}

TSystem* SystemOf(const TGalaxy& galaxy, int vertex)
{
    return static_cast<TSystem*>(galaxy.Graph->GetVertex(vertex)->Data());
}

} // namespace

qint32 EffectiveThreshold(const TSystem& system)
{
    return system.BlockThreshold <= 0 ? NormalThreshold : system.BlockThreshold;
}

qint32 StepCost(const TGalaxy& galaxy, const TSystem& system)
{
    const qint32 threshold = EffectiveThreshold(system);
    if (threshold != NormalThreshold)
        return threshold;
    const quint8 preference = galaxy.SecurityPreference;
    if (preference != PreferHigh && preference != PreferLow)
        return 1;
    // Security x 10 at extended precision, rounded to nearest (ties to even): 4 and below is the low
    // band, 5 the middle, 6 and above the high one. So a stored 0.45 is in the middle and 0.55 high,
    // negative security is low, and no rounding call is needed per system.
    const long double tenfold = static_cast<long double>(system.Security) * 10.0L;
    if (preference == PreferHigh)
        return tenfold <= 4.5L ? 5 : 1;
    return tenfold >= 5.5L ? 5 : 1;
}

bool ComputeLeg(TGalaxy& galaxy, TSystem* from, TSystem* to)
{
    if (!from || !to)
        return false;
    int target = -1;
    try {
        target = SolveLeg(galaxy, from, to);
    } catch (const std::exception&) {
        return false;
    }
    galaxy.RouteList.Clear();
    if (target < 0)
        return false;
    const int size = ChainSize(galaxy, target);
    int vertex = target;
    for (int k = 0; k < size; ++k, vertex = galaxy.Graph->PreviousOf(vertex)) {
        TSystem* system = SystemOf(galaxy, vertex);
        galaxy.RouteList.Add(system ? system->Name : QString(), system);
    }
    galaxy.Unreachable = size < 2;
    return size > 1;
}

qint32 PathLength(TGalaxy& galaxy, TSystem* from, TSystem* to)
{
    // ComputeLeg without building the list that is emptied again at once.
    if (!from || !to)
        return -1;
    int target = -1;
    try {
        target = SolveLeg(galaxy, from, to);
    } catch (const std::exception&) {
        return -1;
    }
    galaxy.RouteList.Clear();
    if (target < 0)
        return -1;
    const int size = ChainSize(galaxy, target);
    galaxy.Unreachable = size < 2;
    if (size < 2) {
        TSystem* system = SystemOf(galaxy, target);
        galaxy.RouteList.Add(system ? system->Name : QString(), system);
        return -1;
    }
    return size;
}

bool RouteThrough(TGalaxy& galaxy, const TRoute& route, TRoute& result)
{
    // Reading and writing the same route: work from a copy of its entries.
    TRoute copy;
    const TRoute* source = &route;
    if (&route == &result) {
        copy.Assign(route);
        source = &copy;
    }
    result.Clear();
    if (source->Count() < 2)
        return true;
    const TSystem* last = nullptr;
    for (int i = 0; i + 1 < source->Count(); ++i) {
        if (!ComputeLeg(galaxy, source->Entry(i)->System, source->Entry(i + 1)->System))
            return false;
        for (int k = galaxy.RouteList.Count() - 1; k >= 0; --k) {
            TSystem* system = galaxy.RouteList.Object(k);
            if (system == last)
                continue;
            auto entry = std::make_shared<TRouteSystem>(system, quint8(2));
            entry->Fixed = true;
            result.Add(system->Name, std::move(entry));
            last = system;
        }
    }
    return true;
}

bool BuildCurrentRoute(TGalaxy& galaxy, std::span<TSystem* const> plan, std::vector<TSystem*>& rows,
    const std::function<void()>& refreshScene)
{
    rows.clear();
    for (const auto& e : galaxy.Systems)
        for (const auto& jump : e.Object->Jumps)
            jump->OnRoute = false;

    TSystem* prev = nullptr;
    bool legComputed = false;
    for (std::size_t i = 0; i + 1 < plan.size(); ++i) {
        if (plan[i] == plan[i + 1])
            continue;
        if (!ComputeLeg(galaxy, plan[i], plan[i + 1]))
            return false;
        legComputed = true;
        for (int k = galaxy.RouteList.Count() - 1; k >= 0; --k) {
            TSystem* system = galaxy.RouteList.Object(k);
            if (prev)
                if (TJump* jump = prev->JumpTo(system))
                    jump->OnRoute = true;
            if (system != prev)
                rows.push_back(system);
            prev = system;
        }
        galaxy.RouteList.Clear();
        for (auto it = rows.rbegin(); it != rows.rend(); ++it)
            galaxy.RouteList.Add((*it)->Name, *it);
    }
    // A plan that names one system over and over has no route: the last one must not stay drawn.
    if (plan.size() >= 2 && !legComputed) {
        galaxy.RouteList.Clear();
        galaxy.Unreachable = false;
    }
    if (refreshScene)
        refreshScene();
    return true;
}
