#include "routing/uPlan.h"

#include "model/uUserData.h"
#include "routing/uRoute.h"

// ---------------------------------------------------------------- the plan

std::vector<TSystem*> TPlan::Systems() const
{
    std::vector<TSystem*> systems;
    systems.reserve(m_entries.size());
    for (const TPlanEntry& e : m_entries)
        systems.push_back(e.System);
    return systems;
}

void TPlan::SetStart(TSystem* system)
{
    m_entries.insert(m_entries.begin(), { system, true });
}

void TPlan::SetEnd(TSystem* system)
{
    m_entries.push_back({ system, true });
}

void TPlan::AddWaypoint(TSystem* system)
{
    if (m_entries.size() > 1)
        m_entries.insert(m_entries.end() - 1, { system, false });
    else
        m_entries.push_back({ system, false });
}

bool TPlan::Remove(int index)
{
    if (index < 0 || index >= Count())
        return false;
    m_entries.erase(m_entries.begin() + index);
    return true;
}

bool TPlan::Move(int from, int to)
{
    if (from < 0 || from >= Count() || to < 0 || to >= Count())
        return false;
    const TPlanEntry entry = m_entries[std::size_t(from)];
    m_entries.erase(m_entries.begin() + from);
    m_entries.insert(m_entries.begin() + to, entry);
    return true;
}

bool TPlan::SetFixed(int index, bool fixed)
{
    if (index < 0 || index >= Count())
        return false;
    m_entries[std::size_t(index)].Fixed = fixed;
    return true;
}

quint8 PlanRouteType(int index, int count)
{
    if (index == 0)
        return 0;
    return index == count - 1 ? 1 : 2;
}

std::unique_ptr<TRoute> BuildPlanRoute(const TPlan& plan)
{
    auto route = std::make_unique<TRoute>();
    for (int i = 0; i < plan.Count(); ++i)
        route->Add(plan.At(i).System, PlanRouteType(i, plan.Count()), plan.At(i).Fixed);
    return route;
}

std::vector<TPlanEntry> PlanEntriesOf(const TRoute& route)
{
    std::vector<TPlanEntry> entries;
    for (const TRoute::Line& line : route.Systems)
        if (line.Entry && line.Entry->System)
            entries.push_back({ line.Entry->System, line.Entry->Fixed });
    return entries;
}

QString SecurityText(double security)
{
    QString text = QString::number(security, 'f', 1);
    if (text == QLatin1String("-0.0"))
        text = QStringLiteral("0.0");
    return text;
}

// ---------------------------------------------------------------- exclusions

QString ExclusionTypeText(qint32 threshold)
{
    return threshold == BlockedThreshold ? QStringLiteral("block") : QStringLiteral("avoid");
}

TExclusionType ExclusionTypeOf(const QString& typeText)
{
    return typeText == QLatin1String("avoid") ? TExclusionType::Avoid : TExclusionType::Block;
}

qint32 ThresholdOf(TExclusionType type)
{
    return type == TExclusionType::Avoid ? AvoidedThreshold : BlockedThreshold;
}

std::vector<TExclusion> ReadExclusions(TGalaxy& galaxy)
{
    galaxy.LoadBlockThresholds();
    std::vector<TExclusion> list;
    for (const auto& e : galaxy.Systems) {
        TSystem* system = e.Object;
        if (system->BlockThreshold <= NormalThreshold)
            continue;
        list.push_back({ system, ExclusionTypeText(system->BlockThreshold),
            userdata::BlockDescription(galaxy.CustomConnection, system->ID) });
    }
    return list;
}

TExclusionPreset ExclusionPreset(const std::vector<TExclusion>& list, const TSystem* system)
{
    for (const TExclusion& e : list)
        if (e.System == system)
            return { ExclusionTypeOf(e.Type), e.Reason };
    return {};
}

void SaveExclusion(TGalaxy& galaxy, const TSystem& system, qint32 threshold, const QString& reason)
{
    userdata::SaveBlock(galaxy.CustomConnection, system.ID, threshold, reason);
}

void DeleteExclusion(TGalaxy& galaxy, const TSystem& system)
{
    userdata::DeleteBlock(galaxy.CustomConnection, system.ID);
}

// ---------------------------------------------------------------- saved routes

TSavedRouteRow SavedRouteRow(const TRoute& route)
{
    TSavedRouteRow row { route.Name, QStringLiteral("none"), QStringLiteral("none") };
    for (const TRoute::Line& line : route.Systems) {
        if (!line.Entry || !line.Entry->System)
            continue;
        if (line.Entry->RouteType == 0)
            row.Start = line.Entry->System->Name;
        else if (line.Entry->RouteType == 1)
            row.End = line.Entry->System->Name;
    }
    return row;
}
