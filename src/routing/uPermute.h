#pragma once
// The waypoint order optimiser: candidate orders (TPermuter), the local search over one segment
// (OptimiseOrder) and the split of a plan into segments at its checked entries (OptimisePlan).

#include "model/uGalaxy.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <span>
#include <vector>

// Candidate orders of a route: every single move of one entry to another place, in the order
// (0,0), (0,1), ... (0,n-1), (1,0), ...; the moves onto their own place repeat the unchanged order.
class TPermuter {
public:
    // LogFileName is permute.log in appFolder.
    explicit TPermuter(const QString& appFolder = QString());

    TRoute Base; // the order of the current pass
    TRoute Current; // the candidate last produced
    qint32 MoveFrom = 0;
    qint32 MoveTo = 0;
    qint32 StepCount = 0; // candidates since the last Restart
    quint8 Mode = 0; // 0 = move mode; no other mode produces candidates
    bool Logging = false; // diagnostic log; the optimiser keeps it off
    QStringList LogLines;
    QString LogFileName;

    // Starts a pass over route; returns the number of candidates (n x n in move mode, else 0).
    qint32 Restart(quint8 mode, const TRoute& route);
    // Produces the next candidate into candidate (which receives Current in any case); false
    // when the pass is exhausted.
    bool Next(TRoute& candidate);
};

// Leg lengths (systems on the cheapest path, both ends counted) between the systems of a plan:
// one solve per source system, read for every target at once. The rows are dropped and measured
// again when the security preference, a block threshold or the graph changes.
class TLegTable {
public:
    TLegTable(TGalaxy& galaxy, std::span<TSystem* const> systems);

    // Index of system in the table, -1 when it is not there.
    int IndexOf(const TSystem* system) const;
    // Systems on the cheapest path from one table index to another; below 2 when there is no leg
    // (no path, the same system, a system without a vertex, or the solver not yet released).
    qint32 Leg(int from, int to);
    // Systems of the full route through the table indexes, consecutive legs sharing their ends;
    // -1 when a leg fails, 0 for fewer than two indexes.
    qint32 RouteLength(std::span<const int> indexes);
    // Drops the measured rows when the routing state differs from when they were measured.
    void Revalidate();
    qint64 Solves() const { return m_solves; }

private:
    // Everything a leg depends on besides its two systems.
    struct TRoutingState {
        quint8 Preference = 0;
        const void* Graph = nullptr;
        int Vertices = 0;
        bool Suspended = false;
        qint32 Jumps = 0;
        std::vector<qint32> Thresholds; // by system-list position
    };
    TRoutingState RoutingState() const;
    bool StateUnchanged() const;
    void MeasureRow(int from);

    TGalaxy& m_galaxy;
    std::vector<TSystem*> m_systems;
    QHash<const TSystem*, int> m_index;
    std::vector<qint32> m_legs; // row-major; 0 = not measured yet
    std::vector<bool> m_measured;
    TRoutingState m_state;
    qint64 m_solves = 0;
};

// How each candidate is measured. Both give the same lengths; FullRoutes computes the complete
// route of every candidate leg by leg, LegTable looks the legs up.
enum class TOptimiseMethod : quint8 { LegTable, FullRoutes };

struct TOptimiseStats {
    qint64 Candidates = 0; // candidates measured
    qint32 Passes = 0;
    qint32 Improvements = 0;
    qint64 Solves = 0; // leg-table solves (the full-route method solves once per leg instead)
};

struct TOptimiseOptions {
    TOptimiseMethod Method = TOptimiseMethod::LegTable;
    // Runs between candidates so the application stays responsive; the routing state may change
    // meanwhile, which the remaining candidates then see.
    std::function<void()> ProcessEvents;
    // Told when the optimisation of a segment ends on an error ("p:%d s:%d t:%d idx:%d").
    std::function<void(const QString&)> OnError;
    TLegTable* Table = nullptr; // shared by the segments of one plan; one of its own when null
    TOptimiseStats* Stats = nullptr;
};

// Reorders the unfixed entries of segment in place to the fewest systems on the full route; a
// fixed first or last entry stays where it is. Passes of n x n single moves repeat while one
// finds a strictly shorter route; ties keep the order found first. galaxy.OnOptimiseProgress gets
// the jumps of each new best route. False only for a segment of fewer than two entries.
bool OptimiseOrder(TGalaxy& galaxy, TRoute& segment, const TOptimiseOptions& options = {});

// The whole plan: checked entries keep their places and split the plan into segments, each
// optimised with its checked ends as anchors; unchecked entries before the first or after the last
// checked entry have a free first or last place. The result shares the plan's entries; an anchor
// ending one segment and starting the next appears once.
TRoute OptimisePlan(TGalaxy& galaxy, const TRoute& plan, const TOptimiseOptions& options = {});

// Systems of the full route through the route's entries as RouteThrough builds it; -1 when a leg
// fails, 0 for fewer than two entries. Leaves RouteList as the last leg left it.
qint32 FullRouteLength(TGalaxy& galaxy, const TRoute& route);

// Status texts of the optimise button.
QString OptimisingText(); // "optimizing.."
QString OptimiseProgressText(qint32 jumps); // "optimizing, current best: 12"
QString OptimiseTimeText(qint64 milliseconds);
