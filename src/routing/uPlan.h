#pragma once
// The route planner's rules without its window: the plan (start, waypoints, destination with
// their check marks), its conversion to and from TRoute, the rows of the computed route, the
// exclusion list of avoided and blocked systems, and the rows of the saved routes list.

#include "model/uGalaxy.h"

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <vector>

// One line of the plan: a system and its check mark, which fixes its place for the optimiser.
struct TPlanEntry {
    TSystem* System = nullptr;
    bool Fixed = false;
    bool operator==(const TPlanEntry&) const = default;
};

// The planner's plan in order: the first entry is the start, the last the destination.
class TPlan {
public:
    const std::vector<TPlanEntry>& Entries() const { return m_entries; }
    int Count() const { return int(m_entries.size()); }
    const TPlanEntry& At(int index) const { return m_entries[std::size_t(index)]; }
    std::vector<TSystem*> Systems() const;

    // Inserts the system first, checked.
    void SetStart(TSystem* system);
    // Appends the system, checked; an existing destination becomes a waypoint by position.
    void SetEnd(TSystem* system);
    // Inserts the system unchecked just before the last entry, or appends it to a plan of at most
    // one entry.
    void AddWaypoint(TSystem* system);
    // False for an index outside the plan.
    bool Remove(int index);
    // Takes the entry out and puts it back at to (an index of the plan as it is before the move);
    // the entry keeps its check mark. False, changing nothing, for an index outside the plan.
    bool Move(int from, int to);
    bool SetFixed(int index, bool fixed);
    void Clear() { m_entries.clear(); }
    void Assign(std::vector<TPlanEntry> entries) { m_entries = std::move(entries); }

private:
    std::vector<TPlanEntry> m_entries;
};

// Route type of the plan entry at index in a plan of count entries: 0 start (the first, also of a
// one-entry plan), 1 end (the last), 2 waypoint.
quint8 PlanRouteType(int index, int count);

// BuildPlanRoute: the plan as a new TRoute (ID -1, no name, EntityID 0), one entry per plan line
// with its route type and its check mark as Fixed, under the system's name.
std::unique_ptr<TRoute> BuildPlanRoute(const TPlan& plan);
// The plan lines of a route for LoadPlan: each entry's system with its Fixed flag; entries
// without a system are left out.
std::vector<TPlanEntry> PlanEntriesOf(const TRoute& route);

// A security as the route list shows it ("0.0").
QString SecurityText(double security);

// ---- exclusions

enum class TExclusionType : quint8 { Avoid = 0, Block = 1 }; // the exclude dialog's edType index

// One line of the exclusion list.
struct TExclusion {
    TSystem* System = nullptr;
    QString Type; // "block" or "avoid"
    QString Reason;
};

// "block" for the blocked threshold, else "avoid".
QString ExclusionTypeText(qint32 threshold);
TExclusionType ExclusionTypeOf(const QString& typeText); // "avoid" is Avoid, anything else Block
qint32 ThresholdOf(TExclusionType type); // 10 or 2147483647

// RefreshExcludeList without the window: reloads every block threshold from the custom database
// and lists the systems above 1 in system-list order with their type and stored reason.
std::vector<TExclusion> ReadExclusions(TGalaxy& galaxy);

// What the exclude dialog opens with for system: its listed type and reason, or avoid and no reason.
struct TExclusionPreset {
    TExclusionType Type = TExclusionType::Avoid;
    QString Reason;
};
TExclusionPreset ExclusionPreset(const std::vector<TExclusion>& list, const TSystem* system);

// Stores the system's exclusion (the reason after the quoting rule), inserting its row or updating
// the existing one, on galaxy.CustomConnection. The thresholds are reloaded by the next ReadExclusions.
void SaveExclusion(TGalaxy& galaxy, const TSystem& system, qint32 threshold, const QString& reason);
// Deletes the system's exclusion row, if any.
void DeleteExclusion(TGalaxy& galaxy, const TSystem& system);

// ---- saved routes

// One line of the saved routes list: the description, the start and the end system, "none" where
// the route has no such entry.
struct TSavedRouteRow {
    QString Description;
    QString Start;
    QString End;
};
TSavedRouteRow SavedRouteRow(const TRoute& route);
