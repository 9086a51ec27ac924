#include "uLoaders.h"

#include "model/uDatabase.h"
#include "model/uUserData.h"
#include "routing/uDijkstra.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

namespace {

// The system with id, or nullptr when the model has none (including ids that are no system id).
TSystem* SystemInModel(const TGalaxy& galaxy, qint32 id)
{
    return id > 30000000 ? galaxy.SystemByID(id) : nullptr;
}

const QString kStationStatement
    = QStringLiteral("SELECT StationID, StationName, OperationID, CorporationID, SolarSystemID from stations");

const QString kAgentStatement = QStringList {
    QStringLiteral("SELECT AG.AgentName, AG.AgentID, AG.Quality, AG.Level, AG.StationID, CORP.corporationID, "
                   "DIV.divisionID, SOL.SolarSystemID , STAT.stationName"),
    QStringLiteral("FROM agents              AG"),
    QStringLiteral("    ,corporations        CORP"),
    QStringLiteral("    ,divisions           DIV"),
    QStringLiteral("    ,stations            STAT"),
    QStringLiteral("    ,solarsystems        SOL"),
    QStringLiteral("WHERE CORP.CorporationID = AG.CorporationID"),
    QStringLiteral("AND   DIV.DivisionID     = AG.DivisionID"),
    QStringLiteral("AND   STAT.StationID     = AG.StationID"),
    QStringLiteral("AND   SOL.SolarSystemID  = STAT.SolarSystemID"),
}.join(QLatin1Char('\n'));

} // namespace

// ---------------------------------------------------------------- core steps

int LoadJumps(TGalaxy& galaxy, const QSqlDatabase& map, const std::function<bool()>& stop,
    const std::function<void(int)>& progress)
{
    galaxy.JumpCount = 0;
    int count = 0;
    for (TRowReader q(map, QStringLiteral("select fromSolarSystemID, toSolarSystemID from jumps")); q.Next();) {
        TSystem* from = SystemInModel(galaxy, q.Int(0));
        TSystem* to = SystemInModel(galaxy, q.Int(1));
        if (from && to) {
            auto jump = std::make_unique<TJump>();
            jump->Target = to;
            from->Jumps.push_back(std::move(jump));
            galaxy.JumpCount = ++count;
            if (count % 100 == 0 && progress)
                progress(count);
        }
        if (stop && stop())
            break;
    }
    return count;
}

void BuildRouteGraph(TGalaxy& galaxy, const std::function<bool()>& stop, std::span<const qint32> thresholds)
{
    TDijkstra& graph = *galaxy.Graph;
    const int first = graph.VertexCount();
    const bool snapshot = thresholds.size() == std::size_t(galaxy.Systems.Count());
    for (const auto& e : galaxy.Systems) {
        TSystem* system = e.Object;
        auto vertex = std::make_unique<TWeightedVertex>();
        vertex->SetOnCost([](TWeightedVertex*, int) { return 1.0f; });
        vertex->SetData(system);
        vertex->SetName(system->Name);
        system->VertexIndex = graph.AddVertex(std::move(vertex));
        if (stop && stop())
            return;
    }
    for (const auto& e : galaxy.Systems) {
        TCustomVertex* vertex = graph.GetVertex(e.Object->VertexIndex);
        for (const auto& jump : e.Object->Jumps) {
            const TSystem* target = jump->Target;
            if (target->VertexIndex < 0)
                continue;
            const qint32 threshold
                = snapshot ? thresholds[std::size_t(target->VertexIndex - first)] : target->BlockThreshold;
            vertex->AddWeightedNeighbour(graph.GetVertex(target->VertexIndex), float(threshold));
        }
        if (stop && stop())
            return;
    }
    graph.Finalize();
}

TStationData LoadStationsAndAgents(TGalaxy& galaxy, const QSqlDatabase& map, const QSqlDatabase& custom,
    const std::function<bool()>& stop)
{
    TStationData data;
    data.Stations = std::make_unique<TKeyedList<TStation>>();
    data.Agents = std::make_unique<TKeyedList<TAgent>>();
    auto stopping = [&stop] { return stop && stop(); };

    TCorporation* const unknownCorporation = galaxy.CorporationByID(-1);
    // Every agent names its station: an index instead of a scan per agent.
    QHash<qint32, TStation*> stations;
    for (QSqlQuery q = RunQuery(map, kStationStatement); q.next();) {
        const qint32 systemID = q.value(4).toInt();
        if (systemID > 30000000) {
            auto station = std::make_unique<TStation>(&galaxy);
            station->ID = q.value(0).toInt();
            station->Name = q.value(1).toString();
            TCorporation* corporation = galaxy.CorporationByID(q.value(3).toInt());
            station->Corporation = corporation ? corporation : unknownCorporation;
            station->System = galaxy.SystemByID(systemID);
            station->Operation = galaxy.OperationByID(q.value(2).toInt());
            if (!stations.contains(station->ID))
                stations.insert(station->ID, station.get());
            const QString key = QString::number(station->ID);
            data.Stations->Add(key, station.release());
        }
        if (stopping())
            return data;
    }

    for (QSqlQuery q = RunQuery(map, kAgentStatement); q.next();) {
        auto agent = std::make_unique<TAgent>();
        agent->Name = q.value(0).toString();
        agent->ID = q.value(1).toInt();
        agent->Quality = q.value(2).toInt();
        agent->Level = q.value(3).toInt();
        agent->StationID = q.value(4).toInt();
        agent->CorporationID = q.value(5).toInt();
        agent->DivisionID = q.value(6).toInt();
        agent->SolarSystemID = q.value(7).toInt();
        agent->Station = stations.value(agent->StationID);
        agent->System = SystemInModel(galaxy, agent->SolarSystemID);
        agent->Division = galaxy.DivisionByID(agent->DivisionID);
        agent->Corporation = galaxy.CorporationByID(agent->CorporationID);
        if (agent->Station)
            agent->Station->Agents.push_back(agent.get());
        const QString key = QString::number(agent->ID);
        data.Agents->Add(key, agent.release());
        if (stopping())
            return data;
    }

    userdata::LoadAgentNotes(custom, *data.Agents);
    return data;
}

// ---------------------------------------------------------------- handlers

void TLoadHandlers::Status(const QString& text) const
{
    if (m_host.ShowStatus)
        m_host.ShowStatus(text);
}

void TLoadHandlers::Log(const QString& text) const
{
    if (m_host.WriteLog)
        m_host.WriteLog(text);
}

void TLoadHandlers::Enable(const char* action) const
{
    if (m_host.EnableAction)
        m_host.EnableAction(QString::fromLatin1(action), true);
}

void TLoadHandlers::StationsLoaded(TStationData data)
{
    if (m_galaxy.ShuttingDown)
        return;
    m_stationsEnded = true;
    m_stationsOk = true;

    if (!data.Stations)
        data.Stations = std::make_unique<TKeyedList<TStation>>();
    if (!data.Agents)
        data.Agents = std::make_unique<TKeyedList<TAgent>>();
    for (const auto& e : *data.Stations)
        if (e.Object->System)
            e.Object->System->Stations.push_back(e.Object);
    for (const auto& e : *data.Agents)
        if (e.Object->System)
            e.Object->System->Agents.push_back(e.Object);
    m_galaxy.Stations = std::move(data.Stations);
    m_galaxy.Agents = std::move(data.Agents);

    try {
        userdata::LoadStationOffices(m_galaxy);
    } catch (const std::exception& e) {
        const QString message = QStringLiteral("station offices failed: %1").arg(QString::fromUtf8(e.what()));
        Status(message);
        Log(message);
    }

    if (m_jumpsEnded) {
        BothEnded();
        // The map is already up: let it show the stations' offices.
        if (m_host.Redraw)
            m_host.Redraw();
    }
}

void TLoadHandlers::JumpProgress()
{
    if (m_galaxy.ShuttingDown)
        return;
    Status(QStringLiteral("%1 跳跃 已载入").arg(m_galaxy.JumpCount.load()));
}

void TLoadHandlers::JumpsLoaded()
{
    if (m_galaxy.ShuttingDown)
        return;
    m_jumpsEnded = true;
    m_jumpsOk = true;

    Status(QStringLiteral("%1 星系 / %2 跳跃 已载入").arg(m_galaxy.SystemCount).arg(m_galaxy.JumpCount.load()));
    // A station load failure stays the last word in the status bar.
    if (m_stationsEnded && !m_stationsOk)
        Status(m_stationsFailure);
    m_galaxy.JumpsReady = true;
    Enable("acSearchSystem");
    Enable("acCIRS");
    Enable("acRegionCentral");
    Enable("acRegion3D");
    if (m_stationsEnded)
        BothEnded();
    if (m_host.SetBusyCursor)
        m_host.SetBusyCursor(false);
    m_galaxy.LoadComplete = true;
    if (m_host.Redraw)
        m_host.Redraw();
}

void TLoadHandlers::StationsFailed(const QString& error)
{
    if (m_galaxy.ShuttingDown)
        return;
    m_stationsEnded = true;
    m_stationsFailure = QStringLiteral("station loader failed: %1").arg(error);
    Status(m_stationsFailure);
    Log(m_stationsFailure);
    if (m_jumpsEnded)
        BothEnded();
}

void TLoadHandlers::JumpsFailed(const QString& error)
{
    if (m_galaxy.ShuttingDown)
        return;
    m_jumpsEnded = true;
    const QString message = QStringLiteral("jump loader failed: %1").arg(error);
    Status(message);
    Log(message);
    // Nothing more will come to end the wait.
    if (m_host.SetBusyCursor)
        m_host.SetBusyCursor(false);
    if (m_stationsEnded)
        BothEnded();
}

void TLoadHandlers::BothEnded()
{
    // Routing needs only the graph; the searches need the stations and the jump distances.
    if (m_jumpsOk && m_galaxy.Graph)
        m_galaxy.Graph->SetSuspended(false);
    if (m_jumpsOk && m_stationsOk) {
        Enable("acSearchAgent");
        Enable("acSearchStation");
    }
}

// ---------------------------------------------------------------- threads

TLoaderThread::TLoaderThread(TGalaxy& galaxy, QString mapPath, QString customPath)
    : m_galaxy(galaxy), m_mapPath(std::move(mapPath)), m_customPath(std::move(customPath))
{
}

TLoaderThread::~TLoaderThread() { StopAndWait(); }

void TLoaderThread::StopAndWait()
{
    requestInterruption();
    wait();
    // Taking the lock once more orders everything the run wrote before whatever frees it next.
    std::lock_guard lock(m_lock);
}

QString TLoaderThread::Error() const
{
    std::lock_guard lock(m_lock);
    return m_error;
}

bool TLoaderThread::Stopping() const { return m_galaxy.ShuttingDown || isInterruptionRequested(); }

void TLoaderThread::Finish(QString error)
{
    // Raised under the lock, so that whoever takes it next also sees this thread's last touch
    // of the object.
    std::lock_guard lock(m_lock);
    m_error = std::move(error);
    emit Done();
}

namespace {

std::unique_ptr<TDbConnection> OpenOrThrow(const QString& path)
{
    QString error;
    auto connection = TDbConnection::Open(path, TOpenMode::ExistingOnly, &error);
    if (!connection)
        throw EDatabaseError(error.toStdString());
    return connection;
}

} // namespace

TStationLoader::~TStationLoader() { StopAndWait(); }

TStationData TStationLoader::TakeData()
{
    std::lock_guard lock(m_lock);
    return std::move(m_data);
}

void TStationLoader::run()
{
    QString error;
    TStationData data;
    try {
        const auto map = OpenOrThrow(m_mapPath);
        const auto custom = OpenOrThrow(m_customPath);
        data = LoadStationsAndAgents(m_galaxy, map->Db(), custom->Db(), [this] { return Stopping(); });
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        data = {};
    }
    {
        std::lock_guard lock(m_lock);
        m_data = std::move(data);
    }
    Finish(std::move(error));
}

TJumpLoader::~TJumpLoader() { StopAndWait(); }

void TJumpLoader::run()
{
    QString error;
    m_galaxy.JumpCount = 0;
    emit Progress();
    try {
        {
            const auto map = OpenOrThrow(m_mapPath);
            LoadJumps(m_galaxy, map->Db(), [this] { return Stopping(); }, [this](int) { emit Progress(); });
        }
        if (!Stopping())
            BuildRouteGraph(m_galaxy, [this] { return Stopping(); }, m_thresholds);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    Finish(std::move(error));
}

// ---------------------------------------------------------------- start

void StartLoaders(TGalaxy& galaxy, TLoaderHost host)
{
    if (host.ShowStatus)
        host.ShowStatus(QStringLiteral("工作中.."));
    auto handlers = std::make_shared<TLoadHandlers>(galaxy, std::move(host));
    const QString mapPath = galaxy.MapConnection.databaseName();
    const QString customPath = galaxy.CustomConnection.databaseName();

    // Each notification's context is its loader, which the galaxy owns: a notification still
    // queued when the galaxy frees its loaders is dropped with them.
    auto stationLoader = std::make_unique<TStationLoader>(galaxy, mapPath, customPath);
    TStationLoader* stations = stationLoader.get();
    QObject::connect(
        stations, &TLoaderThread::Done, stations,
        [handlers, stations] {
            const QString error = stations->Error();
            if (error.isEmpty())
                handlers->StationsLoaded(stations->TakeData());
            else
                handlers->StationsFailed(error);
        },
        Qt::QueuedConnection);
    galaxy.Loaders.push_back(std::move(stationLoader));
    stations->start();

    galaxy.JumpsReady = false;
    // Vertex indexes follow the list order, so the thresholds can be looked up by them.
    std::vector<qint32> thresholds;
    thresholds.reserve(std::size_t(galaxy.Systems.Count()));
    for (const auto& e : galaxy.Systems)
        thresholds.push_back(e.Object->BlockThreshold);
    auto jumpLoader = std::make_unique<TJumpLoader>(galaxy, mapPath, std::move(thresholds));
    TJumpLoader* jumps = jumpLoader.get();
    QObject::connect(
        jumps, &TLoaderThread::Progress, jumps, [handlers] { handlers->JumpProgress(); }, Qt::QueuedConnection);
    QObject::connect(
        jumps, &TLoaderThread::Done, jumps,
        [handlers, jumps] {
            const QString error = jumps->Error();
            if (error.isEmpty())
                handlers->JumpsLoaded();
            else
                handlers->JumpsFailed(error);
        },
        Qt::QueuedConnection);
    galaxy.Loaders.push_back(std::move(jumpLoader));
    jumps->start();
}
