#include "routing/uPermute.h"

#include "routing/uDijkstra.h"
#include "routing/uRoute.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

#include <exception>
#include <memory>

// ---------------------------------------------------------------- TPermuter

TPermuter::TPermuter(const QString& appFolder)
    : LogFileName(appFolder.isEmpty() ? QStringLiteral("permute.log")
                                      : QDir(appFolder).filePath(QStringLiteral("permute.log")))
{
}

qint32 TPermuter::Restart(quint8 mode, const TRoute& route)
{
    Mode = mode;
    Base.Assign(route);
    MoveFrom = 0;
    MoveTo = 0;
    StepCount = 0;
    return Mode == 0 ? Base.Count() * Base.Count() : 0;
}

bool TPermuter::Next(TRoute& candidate)
{
    const qint32 n = Base.Count();
    bool produced = false;
    if (Mode == 0 && MoveFrom <= n - 1) {
        Current.Assign(Base);
        const auto from = Current.Systems.begin() + MoveFrom;
        TRoute::Line moved = std::move(*from);
        Current.Systems.erase(from);
        Current.Systems.insert(Current.Systems.begin() + MoveTo, std::move(moved));
        if (MoveTo < n - 1) {
            ++MoveTo;
        } else {
            ++MoveFrom;
            MoveTo = 0;
        }
        ++StepCount;
        produced = true;
        if (Logging) {
            LogLines << QStringLiteral("*******  step %1 ********").arg(StepCount);
            for (int i = 0; i < Current.Count(); ++i)
                LogLines << QStringLiteral("%1 %2").arg(i).arg(Current.Systems[std::size_t(i)].Text);
        }
    } else if (Logging) {
        QFile file(LogFileName);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            QTextStream out(&file);
            for (const QString& line : std::as_const(LogLines))
                out << line << '\n';
        }
    }
    candidate.Assign(Current);
    return produced;
}

// ---------------------------------------------------------------- TLegTable

TLegTable::TLegTable(TGalaxy& galaxy, std::span<TSystem* const> systems)
    : m_galaxy(galaxy)
{
    for (TSystem* system : systems)
        if (!m_index.contains(system)) {
            m_index.insert(system, int(m_systems.size()));
            m_systems.push_back(system);
        }
    const std::size_t n = m_systems.size();
    m_legs.assign(n * n, 0);
    m_measured.assign(n, false);
    m_state = RoutingState();
}

int TLegTable::IndexOf(const TSystem* system) const
{
    return m_index.value(system, -1);
}

TLegTable::TRoutingState TLegTable::RoutingState() const
{
    TRoutingState state;
    state.Preference = m_galaxy.SecurityPreference;
    const TDijkstra* graph = m_galaxy.Graph.get();
    state.Graph = graph;
    state.Vertices = graph ? graph->VertexCount() : 0;
    state.Suspended = graph && graph->Suspended();
    state.Jumps = m_galaxy.JumpCount.load();
    state.Thresholds.reserve(std::size_t(m_galaxy.Systems.Count()));
    for (const auto& e : m_galaxy.Systems)
        state.Thresholds.push_back(e.Object->BlockThreshold);
    return state;
}

bool TLegTable::StateUnchanged() const
{
    const TDijkstra* graph = m_galaxy.Graph.get();
    if (m_state.Preference != m_galaxy.SecurityPreference || m_state.Graph != graph
        || m_state.Vertices != (graph ? graph->VertexCount() : 0)
        || m_state.Suspended != (graph && graph->Suspended()) || m_state.Jumps != m_galaxy.JumpCount.load()
        || m_state.Thresholds.size() != std::size_t(m_galaxy.Systems.Count()))
        return false;
    std::size_t i = 0;
    for (const auto& e : m_galaxy.Systems)
        if (m_state.Thresholds[i++] != e.Object->BlockThreshold)
            return false;
    return true;
}

void TLegTable::Revalidate()
{
    if (StateUnchanged())
        return;
    m_state = RoutingState();
    m_measured.assign(m_systems.size(), false);
}

void TLegTable::MeasureRow(int from)
{
    const std::size_t n = m_systems.size();
    qint32* row = m_legs.data() + std::size_t(from) * n;
    std::fill(row, row + n, 1);
    m_measured[std::size_t(from)] = true;
    TSystem* source = m_systems[std::size_t(from)];
    TDijkstra* graph = m_galaxy.Graph.get();
    if (!source || !graph || graph->Suspended())
        return;
    // One leg from the source is one full solve, which leaves the paths to every vertex readable;
    // a target other than the source keeps the leg an ordinary one.
    TSystem* other = source;
    for (TSystem* system : m_systems)
        if (system && system != source) {
            other = system;
            break;
        }
    ++m_solves;
    ComputeLeg(m_galaxy, source, other);
    for (std::size_t t = 0; t < n; ++t)
        if (const TSystem* target = m_systems[t]; target && graph->GetVertex(target->VertexIndex))
            row[t] = graph->PathSize(target->VertexIndex);
}

qint32 TLegTable::Leg(int from, int to)
{
    if (!m_measured[std::size_t(from)])
        MeasureRow(from);
    return m_legs[std::size_t(from) * m_systems.size() + std::size_t(to)];
}

qint32 TLegTable::RouteLength(std::span<const int> indexes)
{
    if (indexes.size() < 2)
        return 0;
    qint32 length = 1;
    for (std::size_t i = 0; i + 1 < indexes.size(); ++i) {
        if (indexes[i] < 0 || indexes[i + 1] < 0)
            return -1;
        const qint32 leg = Leg(indexes[i], indexes[i + 1]);
        if (leg < 2)
            return -1;
        length += leg - 1; // the leg's first system ends the leg before
    }
    return length;
}

// ---------------------------------------------------------------- OptimiseOrder

qint32 FullRouteLength(TGalaxy& galaxy, const TRoute& route)
{
    TRoute full;
    return RouteThrough(galaxy, route, full) ? full.Count() : -1;
}

namespace {

std::vector<TSystem*> SystemsOf(const std::vector<TRoute::Line>& lines)
{
    std::vector<TSystem*> systems;
    systems.reserve(lines.size());
    for (const TRoute::Line& line : lines)
        systems.push_back(line.Entry ? line.Entry->System : nullptr);
    return systems;
}

bool IsFixed(const TRoute::Line& line)
{
    return line.Entry && line.Entry->Fixed;
}

// Measures candidates between the anchors of one segment, by either method.
class TCandidateMeasure {
public:
    TCandidateMeasure(TGalaxy& galaxy, const TOptimiseOptions& options, const std::vector<TRoute::Line>& head,
        const std::vector<TRoute::Line>& tail, const TRoute& order)
        : m_galaxy(galaxy)
        , m_options(options)
        , m_head(head)
        , m_tail(tail)
    {
        if (options.Method != TOptimiseMethod::LegTable)
            return;
        std::vector<TSystem*> systems = SystemsOf(head);
        for (TSystem* s : SystemsOf(order.Systems))
            systems.push_back(s);
        for (TSystem* s : SystemsOf(tail))
            systems.push_back(s);
        m_table = options.Table;
        for (TSystem* s : systems)
            if (m_table && m_table->IndexOf(s) < 0)
                m_table = nullptr;
        if (!m_table) {
            m_ownTable = std::make_unique<TLegTable>(galaxy, systems);
            m_table = m_ownTable.get();
        }
        m_solvesBefore = m_table->Solves();
    }

    ~TCandidateMeasure()
    {
        if (m_table && m_options.Stats)
            m_options.Stats->Solves += m_table->Solves() - m_solvesBefore;
    }

    // Re-reads the routing state after other handlers may have run.
    void Revalidate()
    {
        if (m_table)
            m_table->Revalidate();
    }

    qint32 Length(const TRoute& candidate)
    {
        if (!m_table) {
            m_full.Systems = m_head;
            m_full.Systems.insert(m_full.Systems.end(), candidate.Systems.begin(), candidate.Systems.end());
            m_full.Systems.insert(m_full.Systems.end(), m_tail.begin(), m_tail.end());
            return FullRouteLength(m_galaxy, m_full);
        }
        m_indexes.clear();
        const auto add = [this](const TRoute::Line& line) {
            m_indexes.push_back(m_table->IndexOf(line.Entry ? line.Entry->System : nullptr));
        };
        for (const TRoute::Line& line : m_head)
            add(line);
        for (const TRoute::Line& line : candidate.Systems)
            add(line);
        for (const TRoute::Line& line : m_tail)
            add(line);
        return m_table->RouteLength(m_indexes);
    }

private:
    TGalaxy& m_galaxy;
    const TOptimiseOptions& m_options;
    const std::vector<TRoute::Line>& m_head;
    const std::vector<TRoute::Line>& m_tail;
    TLegTable* m_table = nullptr;
    std::unique_ptr<TLegTable> m_ownTable;
    qint64 m_solvesBefore = 0;
    TRoute m_full;
    std::vector<int> m_indexes;
};

} // namespace

bool OptimiseOrder(TGalaxy& galaxy, TRoute& segment, const TOptimiseOptions& options)
{
    if (segment.Count() < 2)
        return false;

    // The fixed ends are anchors, put back around every candidate.
    std::vector<TRoute::Line> head, tail;
    TRoute order;
    order.Assign(segment);
    if (IsFixed(order.Systems.front())) {
        head.push_back(order.Systems.front());
        order.Systems.erase(order.Systems.begin());
    }
    if (!order.Systems.empty() && IsFixed(order.Systems.back())) {
        tail.push_back(order.Systems.back());
        order.Systems.pop_back();
    }
    TRoute best;
    best.Assign(order);
    const auto finish = [&] {
        segment.Systems = head;
        segment.Systems.insert(segment.Systems.end(), best.Systems.begin(), best.Systems.end());
        segment.Systems.insert(segment.Systems.end(), tail.begin(), tail.end());
    };
    if (order.Count() <= 1) {
        finish();
        return true;
    }

    TPermuter permuter(galaxy.AppFolder);
    permuter.Logging = false;
    qint32 pass = 0;
    try {
        TCandidateMeasure measure(galaxy, options, head, tail, order);
        permuter.Restart(0, order);
        qint32 bestLength = MaxInt;
        TRoute candidate;
        bool improved = true;
        while (improved) {
            improved = false;
            ++pass;
            if (options.Stats)
                ++options.Stats->Passes;
            while (permuter.Next(candidate)) {
                if (options.ProcessEvents) {
                    options.ProcessEvents();
                    measure.Revalidate();
                }
                const qint32 length = measure.Length(candidate);
                if (options.Stats)
                    ++options.Stats->Candidates;
                if (length >= 0 && length < bestLength) {
                    improved = true;
                    bestLength = length;
                    best.Assign(candidate);
                    if (options.Stats)
                        ++options.Stats->Improvements;
                    if (galaxy.OnOptimiseProgress)
                        galaxy.OnOptimiseProgress(bestLength - 1);
                }
            }
            permuter.Restart(0, best);
        }
    } catch (const std::exception&) {
        // The segment keeps the best order found so far, so no entry is lost.
        if (options.OnError)
            options.OnError(QStringLiteral("p:%1 s:%2 t:%3 idx:%4")
                                .arg(pass)
                                .arg(permuter.StepCount)
                                .arg(permuter.MoveTo)
                                .arg(permuter.MoveFrom));
    }
    finish();
    return true;
}

// ---------------------------------------------------------------- OptimisePlan

TRoute OptimisePlan(TGalaxy& galaxy, const TRoute& plan, const TOptimiseOptions& options)
{
    TOptimiseOptions opts = options;
    std::unique_ptr<TLegTable> table;
    if (opts.Method == TOptimiseMethod::LegTable && !opts.Table) {
        const std::vector<TSystem*> systems = SystemsOf(plan.Systems);
        table = std::make_unique<TLegTable>(galaxy, systems);
        opts.Table = table.get();
    }

    TRoute result;
    result.ID = plan.ID;
    result.Name = plan.Name;
    result.EntityID = plan.EntityID;
    // Only the very entry already at the end is skipped: the anchor shared by two segments. A
    // system the user planned twice in a row stays twice.
    const auto append = [&result](const TRoute::Line& line) {
        if (!result.Systems.empty() && result.Systems.back().Entry == line.Entry)
            return;
        result.Systems.push_back(line);
    };
    TRoute segment;
    const TRoute::Line* lastFixed = nullptr;
    const auto optimiseSegment = [&] {
        if (lastFixed)
            segment.Systems.insert(segment.Systems.begin(), *lastFixed);
        OptimiseOrder(galaxy, segment, opts);
        for (const TRoute::Line& line : segment.Systems)
            append(line);
        segment.Clear();
    };
    for (const TRoute::Line& line : plan.Systems) {
        const bool fixed = IsFixed(line);
        if (fixed && !segment.Systems.empty()) {
            segment.Systems.push_back(line);
            optimiseSegment();
        } else if (fixed) {
            append(line);
        } else {
            segment.Systems.push_back(line);
        }
        if (fixed)
            lastFixed = &line;
    }
    if (!segment.Systems.empty())
        optimiseSegment();
    return result;
}

// ---------------------------------------------------------------- texts

QString OptimisingText()
{
    return QStringLiteral("optimizing..");
}

QString OptimiseProgressText(qint32 jumps)
{
    return QStringLiteral("optimizing, current best: %1").arg(jumps);
}

QString OptimiseTimeText(qint64 milliseconds)
{
    // All the seconds, not those within the minute: a run of 65 s must not read as 5 s.
    const qint64 ms = std::max<qint64>(milliseconds, 0);
    const QString seconds = QStringLiteral("%1.%2")
                                .arg(ms / 1000, 2, 10, QLatin1Char('0'))
                                .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    return QStringLiteral("优化航线使用了%1秒").arg(seconds);
}
