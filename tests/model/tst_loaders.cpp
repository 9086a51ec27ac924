// The background loaders: stations, agents, agent notes, jumps and the routing graph, their
// hand-over to the GUI thread, the order in which they open the application, shutdown and failure.
#include "testsupport.h"
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/uDijkstra.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QTest>

#include <algorithm>

namespace {

using testsupport::TempHome;

const QStringList kAllActions = { "acSearchSystem", "acCIRS", "acRegionCentral", "acRegion3D", "acSearchAgent",
    "acSearchStation" };
const QStringList kJumpActions = kAllActions.mid(0, 4);

// Records what the handlers do to the windows. Outlives the galaxy in the shutdown tests.
struct Recorder {
    QStringList statuses;
    QStringList logs;
    QStringList enabled;
    QList<bool> cursor;
    int redraws = 0;

    TLoaderHost host()
    {
        TLoaderHost h;
        h.ShowStatus = [this](const QString& s) { statuses << s; };
        h.WriteLog = [this](const QString& s) { logs << s; };
        h.EnableAction = [this](const QString& a, bool on) {
            QVERIFY(on);
            enabled << a;
        };
        h.SetBusyCursor = [this](bool busy) { cursor << busy; };
        h.Redraw = [this] { ++redraws; };
        return h;
    }
};

// A copy of the tiny universe, changed by a few statements, loaded into a galaxy on this thread.
struct Universe {
    TempHome home;
    std::unique_ptr<TDbConnection> map, custom;
    std::unique_ptr<TGalaxy> galaxy;

    explicit Universe(const QStringList& mapRows = {}, const QStringList& customRows = {})
    {
        QString error;
        map = TDbConnection::Open(home.file("map.db"), TOpenMode::ExistingOnly, &error);
        custom = TDbConnection::Open(home.file("custom.db"), TOpenMode::ExistingOnly, &error);
        if (!map || !custom)
            qFatal("fixture: %s", qPrintable(error));
        Exec(map->Db(), mapRows);
        Exec(custom->Db(), customRows);
        galaxy = std::make_unique<TGalaxy>(QString());
        galaxy->MapConnection = map->Db();
        galaxy->CustomConnection = custom->Db();
        galaxy->Load();
    }
    ~Universe() { galaxy.reset(); } // before the connections it holds

    static void Exec(const QSqlDatabase& db, const QStringList& statements)
    {
        for (const QString& sql : statements)
            RunQuery(db, sql);
    }
    int Count(const QString& sql) const { return QueryScalar(map->Db(), sql).toInt(); }

    bool LoadersEnded() const
    {
        return std::all_of(galaxy->Loaders.begin(), galaxy->Loaders.end(),
            [](const std::unique_ptr<QThread>& t) { return t->isFinished(); });
    }
};

// Waits until both loaders have ended and their notifications have run.
void FinishLoading(const Universe& u)
{
    QTRY_VERIFY_WITH_TIMEOUT(u.LoadersEnded(), 60000);
    QCoreApplication::sendPostedEvents();
}

// Jump rows whose two systems are both loaded.
const QString kKnownJumps = "select count(1) from jumps where fromSolarSystemID in (select solarSystemID from "
                            "solarSystems) and toSolarSystemID in (select solarSystemID from solarSystems)";

int JumpsInModel(const TGalaxy& galaxy)
{
    int n = 0;
    for (const auto& e : galaxy.Systems)
        n += int(e.Object->Jumps.size());
    return n;
}

bool Contains(const auto& list, const auto* object) { return std::find(list.begin(), list.end(), object) != list.end(); }

// Runs both loaders' work on this thread, ready to be handed to the handlers in any order.
TStationData LoadAllSynchronously(TGalaxy& galaxy)
{
    const auto never = [] { return false; };
    LoadJumps(galaxy, galaxy.MapConnection, never);
    BuildRouteGraph(galaxy, never);
    return LoadStationsAndAgents(galaxy, galaxy.MapConnection, galaxy.CustomConnection, never);
}

} // namespace

class TestLoaders : public QObject {
    Q_OBJECT

private slots:
    void loadsEverythingAndLinksIt();
    void systemsUnchangedUntilHandedOver();
    void rowsOutsideTheModel();
    void agentNotesAndOffices();
    void actionOrder_data();
    void actionOrder();
    void noJumpRows();
    void progressEveryHundredJumps();
    void routeGraph_data();
    void routeGraph();
    void stopsAfterTheCurrentRow();
    void shutdownWhileLoading_data();
    void shutdownWhileLoading();
    void failingLoader_data();
    void failingLoader();
};

void TestLoaders::loadsEverythingAndLinksIt()
{
    Universe u;
    Recorder r;
    TGalaxy& g = *u.galaxy;
    StartLoaders(g, r.host());
    QCOMPARE(r.statuses.value(0), QStringLiteral("工作中.."));
    QVERIFY(!g.Stations); // nothing is published before the notification
    FinishLoading(u);
    QCOMPARE(r.enabled, kAllActions);
    // Progress shows while jumps are read, before the final count.
    static const QRegularExpression progress("^\\d+ 跳跃 已载入$");
    QVERIFY(r.statuses.size() >= 3);
    QVERIFY(r.statuses.at(1).contains(progress));

    // Counts equal the rows the model can place.
    const int stations = u.Count("select count(1) from stations where solarSystemID > 30000000");
    const int agents = u.Count("select count(1) from agents AG, corporations CORP, divisions DIV, stations STAT, "
                               "solarsystems SOL where CORP.CorporationID = AG.CorporationID and DIV.DivisionID = "
                               "AG.DivisionID and STAT.StationID = AG.StationID and SOL.SolarSystemID = "
                               "STAT.SolarSystemID");
    const int jumps = u.Count(kKnownJumps);
    QVERIFY(stations > 0 && agents > 0 && jumps > 0);
    QVERIFY(g.Stations && g.Agents);
    QCOMPARE(g.Stations->Count(), stations);
    QCOMPARE(g.Agents->Count(), agents);
    QCOMPARE(g.JumpCount.load(), jumps);
    QCOMPARE(JumpsInModel(g), jumps);

    // Links both ways.
    for (QSqlQuery q = RunQuery(u.map->Db(), "select stationID, solarSystemID from stations"); q.next();) {
        const TStation* station = g.StationByID(q.value(0).toInt());
        QVERIFY(station);
        QCOMPARE(station->System, g.SystemByID(q.value(1).toInt()));
        QVERIFY(Contains(station->System->Stations, station));
    }
    int stationLinks = 0, agentLinks = 0;
    for (const auto& e : g.Systems) {
        stationLinks += int(e.Object->Stations.size());
        agentLinks += int(e.Object->Agents.size());
        for (const TAgent* agent : e.Object->Agents)
            QCOMPARE(agent->System, e.Object);
    }
    QCOMPARE(stationLinks, stations);
    QCOMPARE(agentLinks, agents);
    for (QSqlQuery q = RunQuery(u.map->Db(), "select agentID, stationID, corporationID, divisionID from agents");
         q.next();) {
        const TAgent* agent = g.AgentByID(q.value(0).toInt());
        QVERIFY(agent);
        QCOMPARE(agent->Station, g.StationByID(q.value(1).toInt()));
        QVERIFY(Contains(agent->Station->Agents, agent));
        QCOMPARE(agent->System, agent->Station->System);
        QCOMPARE(agent->Corporation, g.CorporationByID(q.value(2).toInt()));
        QCOMPARE(agent->Division, g.DivisionByID(q.value(3).toInt()));
    }

    // The final state.
    QCOMPARE(r.statuses.last(), QStringLiteral("%1 星系 / %2 跳跃 已载入").arg(g.SystemCount).arg(jumps));
    QVERIFY(g.JumpsReady);
    QVERIFY(g.LoadComplete);
    QVERIFY(!g.Graph->Suspended());
    QCOMPARE(g.Graph->VertexCount(), g.Systems.Count());
    QCOMPARE(r.cursor, QList<bool> { false });
    QVERIFY(r.redraws >= 1);
    QVERIFY(r.logs.isEmpty());
}

void TestLoaders::systemsUnchangedUntilHandedOver()
{
    // What the map draws while the loaders run (markets, own stations) reads the systems' station
    // lists; they stay empty until the hand-over on this thread.
    Universe u;
    Recorder r;
    TGalaxy& g = *u.galaxy;
    StartLoaders(g, r.host());
    int rounds = 0;
    do {
        for (const auto& e : g.Systems) {
            TColor colour = 0;
            QVERIFY(!e.Object->HasMarket());
            QVERIFY(!e.Object->MyStationColour(colour));
            QVERIFY(e.Object->Agents.empty());
        }
        ++rounds;
    } while (!u.LoadersEnded());
    QVERIFY(rounds > 0);
    FinishLoading(u);
    QVERIFY(std::any_of(g.Systems.begin(), g.Systems.end(), [](const auto& e) { return e.Object->HasMarket(); }));
}

void TestLoaders::rowsOutsideTheModel()
{
    Universe u({
        "insert into stations values (60009001, 'Beyond', 1, 1000001, 30099999)",
        "insert into stations values (60009002, 'Nowhere', 1, 1000001, 0)",
        "insert into stations values (60009003, 'Orphan', 999, 9999999, 30000001)",
        "insert into agents values (3009001, 'Lone Agent', 5, 3, 60009003, 1000001, 1)",
        "insert into agents values (3009002, 'Far Agent', 5, 3, 60009001, 1000001, 1)",
        "insert into jumps values (30000001, 30099999)",
        "insert into jumps values (0, 30000001)",
        "insert into jumps values (30000001, 29999999)",
    });
    Recorder r;
    TGalaxy& g = *u.galaxy;
    StartLoaders(g, r.host());
    FinishLoading(u);
    QVERIFY(g.Stations && g.Agents);

    const TStation* beyond = g.StationByID(60009001);
    QVERIFY(beyond); // loaded without a system
    QVERIFY(!beyond->System);
    QVERIFY(!g.StationByID(60009002)); // no system ID: skipped
    const TStation* orphan = g.StationByID(60009003);
    QVERIFY(orphan);
    QCOMPARE(orphan->System, g.SystemByID(30000001));
    QVERIFY(orphan->Corporation);
    QCOMPARE(orphan->Corporation->ID, -1);
    QCOMPARE(orphan->CorporationName(), QStringLiteral("unknown"));
    QVERIFY(!orphan->Operation);

    const TAgent* lone = g.AgentByID(3009001);
    QVERIFY(lone);
    QCOMPARE(lone->Station, orphan);
    QCOMPARE(orphan->Agents.size(), std::size_t(1));
    QCOMPARE(orphan->Agents.front(), lone);
    QVERIFY(Contains(g.SystemByID(30000001)->Agents, lone));
    QVERIFY(!g.AgentByID(3009002)); // its station's system is not in the map: the join leaves it out

    // Rows naming a system outside the model are neither added nor counted.
    QCOMPARE(g.JumpCount.load(), u.Count(kKnownJumps));
    QCOMPARE(g.JumpCount.load(), u.Count("select count(1) from jumps") - 3);
    QCOMPARE(JumpsInModel(g), g.JumpCount.load());
}

void TestLoaders::agentNotesAndOffices()
{
    Universe u({}, {
        "insert into agentNotes values (3008001, 'pays well', 1)",
        "insert into agentNotes values (3008002, '', 0)",
        "insert into agentNotes values (3999999, 'ghost', 1)",
        "insert into officeGroups values (1, 'Mine', 255)",
        "insert into stationOffices values (60000001, 1)",
        "insert into stationOffices values (60000002, 7)",
        "insert into stationOffices values (60009999, 1)",
    });
    Recorder r;
    TGalaxy& g = *u.galaxy;
    StartLoaders(g, r.host());
    FinishLoading(u);
    QVERIFY(g.Agents);

    const TAgent* noted = g.AgentByID(3008001);
    QVERIFY(noted);
    QCOMPARE(noted->Note, QStringLiteral("pays well"));
    QVERIFY(noted->MyAgent);
    const TAgent* plain = g.AgentByID(3008003);
    QVERIFY(plain);
    QVERIFY(plain->Note.isEmpty());
    QVERIFY(!plain->MyAgent);

    const TStation* office = g.StationByID(60000001);
    QVERIFY(office);
    QCOMPARE(office->OfficeGroups.size(), std::size_t(1));
    QCOMPARE(office->OfficeGroups.front(), g.OfficeGroupByID(1));
    QVERIFY(g.StationByID(60000002)->OfficeGroups.empty()); // unknown group
    TColor colour = 0;
    QVERIFY(office->System->MyStationColour(colour));
    QCOMPARE(colour, TColor(255));
}

void TestLoaders::actionOrder_data()
{
    QTest::addColumn<bool>("jumpsFirst");
    QTest::newRow("jump loader first") << true;
    QTest::newRow("station loader first") << false;
}

void TestLoaders::actionOrder()
{
    QFETCH(bool, jumpsFirst);
    Universe u({}, { "insert into officeGroups values (1, 'Mine', 255)", "insert into stationOffices values (60000001, 1)" });
    TGalaxy& g = *u.galaxy;
    TStationData data = LoadAllSynchronously(g);
    Recorder r;
    TLoadHandlers handlers(g, r.host());
    QVERIFY(g.Graph->Suspended());

    if (jumpsFirst) {
        handlers.JumpsLoaded();
        QCOMPARE(r.enabled, kJumpActions);
        QVERIFY(g.JumpsReady);
        QVERIFY(g.LoadComplete);
        QCOMPARE(r.cursor, QList<bool> { false });
        QVERIFY(g.Graph->Suspended()); // routing waits for the station loader
        QVERIFY(!g.Stations);
        handlers.StationsLoaded(std::move(data));
    } else {
        handlers.StationsLoaded(std::move(data));
        QVERIFY(r.enabled.isEmpty());
        QVERIFY(g.Graph->Suspended());
        QVERIFY(g.Stations);
        QCOMPARE(g.StationByID(60000001)->OfficeGroups.size(), std::size_t(1)); // offices come with the stations
        QVERIFY(!g.JumpsReady);
        QVERIFY(!g.LoadComplete);
        QVERIFY(r.cursor.isEmpty());
        handlers.JumpsLoaded();
    }
    QCOMPARE(r.enabled, kAllActions);
    QVERIFY(!g.Graph->Suspended());
    QVERIFY(handlers.StationsFinished() && handlers.JumpsFinished());
    QCOMPARE(g.StationByID(60000001)->OfficeGroups.size(), std::size_t(1));
    QCOMPARE(r.cursor, QList<bool> { false });
}

void TestLoaders::noJumpRows()
{
    Universe u({ "delete from jumps" });
    Recorder r;
    TGalaxy& g = *u.galaxy;
    StartLoaders(g, r.host());
    FinishLoading(u);
    QVERIFY(g.SystemCount > 0);
    QCOMPARE(r.statuses.last(), QStringLiteral("%1 星系 / 0 跳跃 已载入").arg(g.SystemCount));
    QCOMPARE(r.enabled, kAllActions);
    QCOMPARE(g.Graph->VertexCount(), g.Systems.Count());
    QVERIFY(!g.Graph->Suspended());
    QVERIFY(g.JumpsReady);
}

void TestLoaders::progressEveryHundredJumps()
{
    // Doubling twice: each row is its own jump, duplicates included.
    Universe u({ "insert into jumps select * from jumps", "insert into jumps select * from jumps" });
    TGalaxy& g = *u.galaxy;
    const int rows = u.Count(kKnownJumps);
    QVERIFY(rows > 300 && rows < 400);
    QList<int> reported;
    const int added = LoadJumps(g, g.MapConnection, [] { return false; }, [&](int n) {
        QCOMPARE(g.JumpCount.load(), n);
        reported << n;
    });
    QCOMPARE(added, rows);
    QCOMPARE(g.JumpCount.load(), rows);
    QCOMPARE(reported, (QList<int> { 100, 200, 300 }));
}

void TestLoaders::routeGraph_data()
{
    QTest::addColumn<bool>("taken");
    QTest::newRow("systems' thresholds") << false;
    QTest::newRow("thresholds taken at the start") << true;
}

void TestLoaders::routeGraph()
{
    QFETCH(bool, taken);
    Universe u;
    TGalaxy& g = *u.galaxy;
    LoadJumps(g, g.MapConnection, [] { return false; });
    // An avoided system: the weight of every link into it is its threshold.
    TSystem* avoided = g.Systems.Object(0)->Jumps.front()->Target;
    std::vector<qint32> thresholds(std::size_t(g.Systems.Count()), 1);
    if (taken) {
        thresholds[std::size_t(g.Systems.IndexOfObject(avoided))] = 10;
        BuildRouteGraph(g, [] { return false; }, thresholds);
    } else {
        avoided->BlockThreshold = 10;
        BuildRouteGraph(g, [] { return false; });
    }

    const TDijkstra& graph = *g.Graph;
    QCOMPARE(graph.VertexCount(), g.Systems.Count());
    for (int i = 0; i < g.Systems.Count(); ++i) {
        TSystem* system = g.Systems.Object(i);
        QCOMPARE(system->VertexIndex, i);
        TCustomVertex* vertex = graph.GetVertex(i);
        QCOMPARE(vertex->Data(), static_cast<void*>(system));
        QCOMPARE(vertex->Name(), system->Name);
        QCOMPARE(vertex->NeighbourCount(), int(system->Jumps.size()));
        for (int j = 0; j < vertex->NeighbourCount(); ++j) {
            const TSystem* target = system->Jumps[std::size_t(j)]->Target;
            QCOMPARE(vertex->GetNeighbour(j), graph.GetVertex(target->VertexIndex));
            const qint32 threshold = taken ? thresholds[std::size_t(target->VertexIndex)] : target->BlockThreshold;
            QCOMPARE(vertex->EdgeWeight(j), float(threshold));
            QCOMPARE(vertex->Cost(j), 1.0f);
        }
    }
    QCOMPARE(graph.GetVertex(0)->EdgeWeight(0), 10.0f);

    // The graph routes: one jump from the first system to its first neighbour.
    g.Graph->SetSuspended(false);
    const std::vector<int32_t> costs(std::size_t(graph.VertexCount()), 1);
    g.Graph->Solve(g.Systems.Object(0), costs);
    QCOMPARE(graph.DistanceOf(avoided->VertexIndex), 1.0);
}

void TestLoaders::stopsAfterTheCurrentRow()
{
    Universe u;
    TGalaxy& g = *u.galaxy;
    auto stopAfter = [](int rows) { return [rows, asked = 0]() mutable { return ++asked >= rows; }; };

    QCOMPARE(LoadJumps(g, g.MapConnection, stopAfter(3)), 3);
    QCOMPARE(g.JumpCount.load(), 3);
    QCOMPARE(JumpsInModel(g), 3);

    const int stations = u.Count("select count(1) from stations");
    TStationData first = LoadStationsAndAgents(g, g.MapConnection, g.CustomConnection, stopAfter(1));
    QCOMPARE(first.Stations->Count(), 1);
    QCOMPARE(first.Agents->Count(), 0);
    TStationData someAgents = LoadStationsAndAgents(g, g.MapConnection, g.CustomConnection, stopAfter(stations + 2));
    QCOMPARE(someAgents.Stations->Count(), stations);
    QCOMPARE(someAgents.Agents->Count(), 2);
}

void TestLoaders::shutdownWhileLoading_data()
{
    QTest::addColumn<bool>("destroyAtOnce");
    QTest::newRow("flag set, notifications delivered") << false;
    QTest::newRow("galaxy destroyed at once") << true;
}

void TestLoaders::shutdownWhileLoading()
{
    QFETCH(bool, destroyAtOnce);
    Recorder r;
    Universe u;
    TGalaxy& g = *u.galaxy;
    StartLoaders(g, r.host());
    g.ShuttingDown = true;
    if (destroyAtOnce) {
        u.galaxy.reset(); // waits for the loaders, whose notifications are still queued
    } else {
        FinishLoading(u);
        QVERIFY(!g.Stations);
        QVERIFY(!g.Agents);
        QVERIFY(!g.JumpsReady);
        QVERIFY(!g.LoadComplete);
        QVERIFY(g.Graph->Suspended());
        u.galaxy.reset();
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    QCOMPARE(r.statuses, QStringList { "工作中.." });
    QVERIFY(r.enabled.isEmpty());
    QVERIFY(r.cursor.isEmpty());
    QCOMPARE(r.redraws, 0);
    QVERIFY(r.logs.isEmpty());
}

void TestLoaders::failingLoader_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("failure");
    QTest::newRow("no stations table") << "drop table stations" << "station loader failed: ";
    QTest::newRow("no agents table") << "drop table agents" << "station loader failed: ";
    QTest::newRow("no jumps table") << "drop table jumps" << "jump loader failed: ";
}

void TestLoaders::failingLoader()
{
    QFETCH(QString, statement);
    QFETCH(QString, failure);
    Universe u;
    TGalaxy& g = *u.galaxy;
    RunQuery(u.map->Db(), statement); // after the map load, which checks the tables
    Recorder r;
    StartLoaders(g, r.host());
    FinishLoading(u);

    QCOMPARE(r.logs.size(), 1);
    QVERIFY2(r.logs.front().startsWith(failure), qPrintable(r.logs.front()));
    QVERIFY2(r.logs.front().size() > failure.size(), "the database's error is named");
    QCOMPARE(r.statuses.last(), r.logs.front());
    QCOMPARE(r.cursor, QList<bool> { false }); // the busy cursor never stays
    if (failure.startsWith("station")) {
        // The map, its jumps and routing keep working; the searches that need stations stay off.
        QVERIFY(!g.Stations);
        QCOMPARE(r.enabled, kJumpActions);
        QVERIFY(g.JumpsReady);
        QVERIFY(!g.Graph->Suspended());
    } else {
        QVERIFY(g.Stations);
        QVERIFY(r.enabled.isEmpty());
        QVERIFY(!g.JumpsReady);
        QVERIFY(g.Graph->Suspended());
    }
}

QTEST_GUILESS_MAIN(TestLoaders)
#include "tst_loaders.moc"
