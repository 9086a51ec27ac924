// The user data store on a real custom database: notes, groups, office groups, agent notes,
// blocks, routes, the region colour, and saves that fail half-way.
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uSchema.h"
#include "model/uUserData.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace userdata;

namespace {

// Text a user may type: every character but the double quote must survive unchanged.
const QString HostileText = QStringLiteral("it's 100% %s %d \\n back\\slash; drop table systemNotes; --\n"
                                           "第二行 ?? :name $1 ' or 1=1 -- \t end");

// A custom database in a temporary folder, created from the custom schema.
struct Store {
    QTemporaryDir dir;
    std::unique_ptr<TDbConnection> conn;

    explicit Store(const QStringList& createStatements = schema::customCreateStatements(),
        const QString& file = QStringLiteral("custom.db"))
    {
        QString error;
        conn = TDbConnection::Open(dir.filePath(file), TOpenMode::CreateIfMissing, &error);
        if (!conn)
            qFatal("cannot open the test database: %s", qPrintable(error));
        RunQuery(db(), QStringLiteral("PRAGMA synchronous = OFF")); // a throw-away file needs no flushes
        for (const QString& sql : createStatements)
            RunQuery(db(), sql);
    }
    QSqlDatabase db() const { return conn->Db(); }
    void exec(const QString& sql, const QVariantList& values = {}) const { RunQuery(db(), sql, values); }
    int count(const QString& sql, const QVariantList& values = {}) const
    {
        return QueryScalar(db(), sql, values).toInt();
    }
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const
    {
        return QueryScalar(db(), sql, values);
    }
};

// A galaxy of four systems (30000001..30000004), two stations, two agents and the custom
// connection of store.
struct World {
    TGalaxy galaxy { QString() };
    std::vector<TSystem*> systems;
    std::vector<TStation*> stations;
    std::vector<TAgent*> agents;

    explicit World(const Store& store)
    {
        galaxy.CustomConnection = store.db();
        auto* region = new TRegion;
        region->ID = 10000001;
        galaxy.Regions.Add(QStringLiteral("R"), region);
        auto* constellation = new TConstellation;
        constellation->ID = 20000001;
        constellation->Region = region;
        galaxy.Constellations.Add(QStringLiteral("C"), constellation);
        galaxy.Bounds = Tdim { 0, 4, 0, 4, 0, 1 };
        galaxy.SystemSlots.assign(4, nullptr);
        for (qint32 i = 0; i < 4; ++i)
            systems.push_back(galaxy.AddSystem(30000001 + i, QStringLiteral("S%1").arg(i + 1), i, i, 0,
                region->ID, constellation->ID, 0.5, -1, 1.0));
        galaxy.Stations = std::make_unique<TKeyedList<TStation>>();
        for (qint32 i = 0; i < 2; ++i) {
            auto* station = new TStation(&galaxy);
            station->ID = 60000001 + i;
            station->System = systems[std::size_t(i)];
            galaxy.Stations->Add(QString::number(station->ID), station);
            stations.push_back(station);
        }
        galaxy.Agents = std::make_unique<TKeyedList<TAgent>>();
        for (qint32 i = 0; i < 2; ++i)
            agents.push_back(addAgent(*galaxy.Agents, 3000001 + i));
    }

    // Groups, office groups and memberships, as the map load reads them.
    void loadGroups()
    {
        LoadGroups(galaxy);
        LoadOfficeGroups(galaxy);
        LoadSystemGroups(galaxy);
    }

    static TAgent* addAgent(TKeyedList<TAgent>& list, qint32 id)
    {
        auto* agent = new TAgent;
        agent->ID = id;
        list.Add(QString::number(id), agent);
        return agent;
    }
};

QStringList groupNames(const TSystem* system)
{
    QStringList names;
    for (const Tgroup* group : system->Groups)
        names << group->Name;
    return names;
}

} // namespace

class TestUserData : public QObject {
    Q_OBJECT

private slots:
    // ---- system notes

    void systemNote_data()
    {
        QTest::addColumn<QString>("stored"); // note row before the save; null = no row
        QTest::addColumn<QString>("note");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("expected"); // text in the database and after a reload
        QTest::newRow("new note") << QString() << QStringLiteral("hello") << 1 << QStringLiteral("hello");
        QTest::newRow("empty note without row writes nothing") << QString() << QString() << 0 << QString();
        QTest::newRow("clearing deletes the row") << QStringLiteral("old") << QString() << 0 << QString();
        QTest::newRow("update") << QStringLiteral("old") << QStringLiteral("new") << 1 << QStringLiteral("new");
        QTest::newRow("double quotes become apostrophes")
            << QString() << QStringLiteral("say \"hi\" \"\"") << 1 << QStringLiteral("say 'hi' ''");
        QTest::newRow("hostile text") << QStringLiteral("old") << HostileText << 1 << HostileText;
    }
    void systemNote()
    {
        QFETCH(QString, stored);
        QFETCH(QString, note);
        QFETCH(int, rows);
        QFETCH(QString, expected);
        Store store;
        if (!stored.isNull())
            store.exec(QStringLiteral("insert into systemNotes values (30000002, 0, 0, ?)"), { stored });
        store.exec(QStringLiteral("insert into systemNotes values (30000003, 0, 0, 'other')"));
        {
            World world(store);
            world.systems[1]->Note = note;
            SaveSystemNote(store.db(), *world.systems[1]);
            QCOMPARE(world.systems[1]->Note, note); // the model keeps what was typed until the reload
        }
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemNotes where systemID = 30000002")), rows);
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemNotes where systemID = 30000003")), 1);

        World reloaded(store);
        LoadSystemNotes(reloaded.galaxy);
        QCOMPARE(reloaded.systems[1]->Note, expected);
        QCOMPARE(reloaded.systems[2]->Note, QStringLiteral("other"));
    }

    void systemNoteRowsOfUnknownSystemsSkipped()
    {
        Store store;
        store.exec(QStringLiteral("insert into systemNotes values (30000009, 0, 0, 'gone')"));
        store.exec(QStringLiteral("insert into systemNotes values (12, 0, 0, 'bad id')"));
        store.exec(QStringLiteral("insert into systemNotes values (30000004, 0, 0, 'kept')"));
        World world(store);
        LoadSystemNotes(world.galaxy);
        QCOMPARE(world.systems[3]->Note, QStringLiteral("kept"));
        for (int i = 0; i < 3; ++i)
            QVERIFY(world.systems[std::size_t(i)]->Note.isEmpty());
    }

    // ---- system groups

    void newGroupIDs_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("system groups") << int(TGroupKind::System);
        QTest::newRow("office groups") << int(TGroupKind::Office);
    }
    void newGroupIDs()
    {
        QFETCH(int, kind);
        const auto groupKind = TGroupKind(kind);
        Store store;
        QCOMPARE(NextGroupID(store.db(), groupKind), 0);
        TGroupEntry first { groupKind, QStringLiteral("甲 \"one\""), -1, 0x00FF8040 };
        QCOMPARE(SaveGroup(store.db(), first), 0);
        QCOMPARE(first.ID, 0);
        TGroupEntry second { groupKind, QString(), -1, 0x123456 }; // an empty name is stored as it is
        QCOMPARE(SaveGroup(store.db(), second), 1);
        QCOMPARE(CountGroups(store.db(), groupKind, 1), 1);
        QCOMPARE(CountGroups(store.db(), groupKind, 2), 0);

        const std::vector<TGroupEntry> listed = ListGroups(store.db(), groupKind);
        QCOMPARE(listed.size(), std::size_t(2));
        QCOMPARE(listed[0].ID, 0);
        QCOMPARE(listed[0].Name, QStringLiteral("甲 'one'"));
        QCOMPARE(listed[1].Name, QString(""));
        QVERIFY(listed[0].GroupKind == groupKind);
        QCOMPARE(listed[0].Color, groupKind == TGroupKind::Office ? 0x00FF8040 : 0);
    }

    void renameKeepsIDAndMembers()
    {
        Store store;
        TGroupEntry group { TGroupKind::System, QStringLiteral("old"), -1, 0 };
        SaveGroup(store.db(), group);
        store.exec(QStringLiteral("insert into systemGroups values (30000001, 0)"));
        group.Name = HostileText;
        QCOMPARE(SaveGroup(store.db(), group), 0);
        QCOMPARE(store.count(QStringLiteral("select count(1) from groups")), 1);

        World world(store);
        world.loadGroups();
        QCOMPARE(groupNames(world.systems[0]), QStringList { HostileText });
    }

    void officeGroupRecolour()
    {
        Store store;
        TGroupEntry group { TGroupKind::Office, QStringLiteral("corp"), -1, 0x0000FF };
        SaveGroup(store.db(), group);
        group.Color = 0x00FF00;
        group.Name = QStringLiteral("corp 2");
        SaveGroup(store.db(), group);
        World world(store);
        LoadOfficeGroups(world.galaxy);
        QCOMPARE(world.galaxy.OfficeGroups.Count(), 1);
        QCOMPARE(world.galaxy.OfficeGroups[0]->Colour, 0x00FF00);
        QCOMPARE(world.galaxy.OfficeGroups[0]->Name, QStringLiteral("corp 2"));
    }

    void systemGroupsSaveReplacesRows()
    {
        Store store;
        store.exec(QStringLiteral("insert into groups values (5, 'five', ''), (7, 'seven', ''), (9, 'nine', '')"));
        store.exec(QStringLiteral("insert into systemGroups values (30000001, 9), (30000002, 9)"));
        World world(store);
        world.loadGroups();
        TSystem* system = world.systems[0];
        QCOMPARE(groupNames(system), QStringList { QStringLiteral("nine") });
        system->Groups = { world.galaxy.GroupByID(7), world.galaxy.GroupByID(5) };
        SaveSystemGroups(store.db(), *system);
        QSqlQuery q = RunQuery(store.db(), QStringLiteral("select groupID from systemGroups where systemID = 30000001 order by rowid"));
        QList<int> ids;
        while (q.next())
            ids << q.value(0).toInt();
        QCOMPARE(ids, (QList<int> { 7, 5 }));

        system->Groups.clear(); // every group unticked
        SaveSystemGroups(store.db(), *system);
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemGroups where systemID = 30000001")), 0);
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemGroups where systemID = 30000002")), 1);
    }

    void deleteGroupRemovesMemberships()
    {
        Store store;
        store.exec(QStringLiteral("insert into groups values (0, 'zero', ''), (1, 'one', 'd')"));
        store.exec(QStringLiteral("insert into systemGroups values (30000001, 0), (30000001, 1), (30000002, 0)"));
        World world(store);
        world.loadGroups();
        Tgroup* one = world.galaxy.GroupByID(1);
        QCOMPARE(one->Description, QStringLiteral("d"));

        DeleteGroup(store.db(), TGroupKind::System, 0);
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemGroups where groupID = 0")), 0);
        QCOMPARE(store.count(QStringLiteral("select count(1) from groups")), 1);

        // A new group and a renamed one arrive with the reload; the survivor keeps its object.
        store.exec(QStringLiteral("update groups set name = 'uno' where ID = 1"));
        store.exec(QStringLiteral("insert into groups values (2, 'two', '')"));
        LoadGroups(world.galaxy);
        QCOMPARE(world.galaxy.Groups.Count(), 2);
        QCOMPARE(world.galaxy.GroupByID(1), one);
        QCOMPARE(one->Name, QStringLiteral("uno"));
        QCOMPARE(world.galaxy.Groups[1]->ID, 2);
        QCOMPARE(groupNames(world.systems[0]), QStringList { QStringLiteral("uno") });
        QVERIFY(world.systems[1]->Groups.empty());

        World fresh(store);
        fresh.loadGroups();
        QCOMPARE(groupNames(fresh.systems[0]), QStringList { QStringLiteral("uno") });
        QVERIFY(fresh.systems[1]->Groups.empty());
    }

    void systemGroupRowsOfUnknownObjectsSkipped()
    {
        Store store;
        store.exec(QStringLiteral("insert into groups values (3, 'three', '')"));
        store.exec(QStringLiteral("insert into systemGroups values (30000001, 4), (30000077, 3), (30000003, 3)"));
        World world(store);
        world.loadGroups();
        QVERIFY(world.systems[0]->Groups.empty());
        QCOMPARE(groupNames(world.systems[2]), QStringList { QStringLiteral("three") });
    }

    // ---- office groups and stations

    void stationOfficesRoundTrip()
    {
        Store store;
        store.exec(QStringLiteral("insert into officeGroups values (0, 'a', 255), (1, 'b', 65280)"));
        store.exec(QStringLiteral("insert into stationOffices values (60000099, 0), (60000002, 5)"));
        {
            World world(store);
            LoadOfficeGroups(world.galaxy);
            world.stations[0]->OfficeGroups = { world.galaxy.OfficeGroupByID(1), world.galaxy.OfficeGroupByID(0) };
            SaveStationOffices(store.db(), *world.stations[0]);
        }
        World world(store);
        LoadOfficeGroups(world.galaxy);
        LoadStationOffices(world.galaxy);
        QCOMPARE(world.stations[0]->OfficeGroups.size(), std::size_t(2));
        QCOMPARE(world.stations[0]->OfficeGroups[0]->ID, 1);
        QCOMPARE(world.stations[0]->OfficeGroups[1]->ID, 0);
        QVERIFY(world.stations[1]->OfficeGroups.empty()); // its row names a group that does not exist
        LoadStationOffices(world.galaxy); // running it again does not double the memberships
        QCOMPARE(world.stations[0]->OfficeGroups.size(), std::size_t(2));

        TOfficeGroup* kept = world.galaxy.OfficeGroupByID(0);
        DeleteGroup(store.db(), TGroupKind::Office, 1);
        QCOMPARE(store.count(QStringLiteral("select count(1) from stationOffices where officeGroupID = 1")), 0);
        LoadOfficeGroups(world.galaxy);
        QCOMPARE(world.stations[0]->OfficeGroups, (std::vector<TOfficeGroup*> { kept }));
    }

    void stationOfficesBeforeStationsLoaded()
    {
        Store store;
        store.exec(QStringLiteral("insert into officeGroups values (0, 'a', 255)"));
        store.exec(QStringLiteral("insert into stationOffices values (60000001, 0)"));
        World world(store);
        world.galaxy.Stations.reset();
        LoadOfficeGroups(world.galaxy);
        LoadStationOffices(world.galaxy); // nothing to attach to, nothing breaks
        QCOMPARE(world.galaxy.OfficeGroups.Count(), 1);
    }

    void stationNotes()
    {
        Store store;
        const QSqlDatabase db = store.db();
        QCOMPARE(ReadStationNote(db, 60000001), QString());
        SaveStationNote(db, 60000001, QString()); // nothing to delete
        QCOMPARE(store.count(QStringLiteral("select count(1) from stationNotes")), 0);

        SaveStationNote(db, 60000001, QStringLiteral("dock \"here\""));
        SaveStationNote(db, 60000002, QStringLiteral("first"));
        SaveStationNote(db, 60000002, HostileText);
        QCOMPARE(store.count(QStringLiteral("select count(1) from stationNotes")), 2);
        QCOMPARE(ReadStationNote(db, 60000001), QStringLiteral("dock 'here'"));
        QCOMPARE(ReadStationNote(db, 60000002), HostileText);

        std::vector<TStationNote> all = ListStationNotes(db);
        QCOMPARE(all.size(), std::size_t(2));
        SaveStationNote(db, 60000001, QString());
        all = ListStationNotes(db);
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].StationID, 60000002);
        QCOMPARE(all[0].Note, HostileText);
    }

    // ---- agent notes

    void agentNote_data()
    {
        QTest::addColumn<bool>("hadRow");
        QTest::addColumn<QString>("note");
        QTest::addColumn<bool>("mark");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("storedNote");
        QTest::newRow("no note, no mark: no row") << false << QString() << false << 0 << QString();
        QTest::newRow("mark only") << false << QString() << true << 1 << QString("");
        QTest::newRow("note only") << false << QStringLiteral("n \"q\"") << false << 1 << QStringLiteral("n 'q'");
        QTest::newRow("unmarking without note deletes") << true << QString() << false << 0 << QString();
        QTest::newRow("update keeps one row") << true << HostileText << false << 1 << HostileText;
        QTest::newRow("update mark") << true << QString() << true << 1 << QString("");
    }
    void agentNote()
    {
        QFETCH(bool, hadRow);
        QFETCH(QString, note);
        QFETCH(bool, mark);
        QFETCH(int, rows);
        QFETCH(QString, storedNote);
        Store store;
        if (hadRow)
            store.exec(QStringLiteral("insert into agentNotes values (3000001, 'old', true)"));
        store.exec(QStringLiteral("insert into agentNotes values (3000002, 'other', false)"));
        {
            World world(store);
            world.agents[0]->Note = note;
            world.agents[0]->MyAgent = mark;
            SaveAgentNote(store.db(), *world.agents[0]);
        }
        QCOMPARE(store.count(QStringLiteral("select count(1) from agentNotes where agentID = 3000001")), rows);
        QCOMPARE(store.count(QStringLiteral("select count(1) from agentNotes")), rows + 1);

        // The loader thread's read, on a list of its own that also has an agent without a row.
        TKeyedList<TAgent> agents;
        TAgent* first = World::addAgent(agents, 3000001);
        TAgent* second = World::addAgent(agents, 3000002);
        LoadAgentNotes(store.db(), agents);
        QCOMPARE(first->Note, rows ? storedNote : QString());
        QCOMPARE(first->MyAgent, rows ? mark : false);
        QCOMPARE(second->Note, QStringLiteral("other"));
        QCOMPARE(second->MyAgent, false);
        if (rows) {
            QCOMPARE(store.scalar(QStringLiteral("select myAgent from agentNotes where agentID = 3000001")).toInt(),
                mark ? 1 : 0);
            QCOMPARE(store.count(QStringLiteral("select count(1) from agentNotes where agentNote is null")), 0);
        }
    }

    void agentNoteRowsOfUnknownAgentsSkipped()
    {
        Store store;
        store.exec(QStringLiteral("insert into agentNotes values (3999999, 'ghost', true)"));
        TKeyedList<TAgent> agents;
        TAgent* agent = World::addAgent(agents, 3000001);
        LoadAgentNotes(store.db(), agents);
        QVERIFY(agent->Note.isEmpty());
        QVERIFY(!agent->MyAgent);
    }

    // ---- blocks

    void blockRoundTrip_data()
    {
        QTest::addColumn<int>("threshold");
        QTest::newRow("avoid") << AvoidThreshold;
        QTest::newRow("block") << BlockedThreshold;
    }
    void blockRoundTrip()
    {
        QFETCH(int, threshold);
        Store store;
        store.exec(QStringLiteral("insert into systemBlocks values (30000099, 10, 'gone'), (7, 10, 'bad')"));
        World world(store);
        SaveBlock(store.db(), 30000002, AvoidThreshold + 1, QStringLiteral("first"));
        SaveBlock(store.db(), 30000002, threshold, QStringLiteral("pirates \"here\" 100%"));
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemBlocks where systemID = 30000002")), 1);
        QCOMPARE(BlockDescription(store.db(), 30000002), QStringLiteral("pirates 'here' 100%"));
        QCOMPARE(BlockDescription(store.db(), 30000001), QString());

        world.systems[0]->BlockThreshold = 5; // a stale value is reset by the load
        LoadBlockThresholds(world.galaxy);
        QCOMPARE(world.systems[1]->BlockThreshold, threshold);
        QCOMPARE(world.systems[0]->BlockThreshold, 1);

        DeleteBlock(store.db(), 30000002);
        LoadBlockThresholds(world.galaxy);
        QCOMPARE(world.systems[1]->BlockThreshold, NoBlock);
        QCOMPARE(store.count(QStringLiteral("select count(1) from systemBlocks")), 2);
    }

    // ---- routes

    void routesFromEmptyTable()
    {
        Store store;
        World world(store);
        QVERIFY(LoadRoutes(store.db(), world.galaxy).empty());

        TRoute plan;
        plan.Name = QStringLiteral("trade \"run\"");
        plan.Add(world.systems[2], 0, true);
        plan.Add(world.systems[0], 2, false);
        plan.Add(world.systems[3], 1, true);
        QCOMPARE(SaveRoute(store.db(), plan), 1);
        TRoute single;
        single.Add(world.systems[1], 0);
        QCOMPARE(SaveRoute(store.db(), single), 2);

        const auto routes = LoadRoutes(store.db(), world.galaxy);
        QCOMPARE(routes.size(), std::size_t(2));
        const TRoute& first = *routes[0];
        QCOMPARE(first.ID, 1);
        QCOMPARE(first.EntityID, 0);
        QCOMPARE(first.Name, QStringLiteral("trade 'run'"));
        QCOMPARE(first.Count(), 3);
        QCOMPARE(first.Entry(0)->System, world.systems[2]);
        QCOMPARE(first.Entry(1)->System, world.systems[0]);
        QCOMPARE(first.Entry(2)->System, world.systems[3]);
        QCOMPARE(int(first.Entry(2)->RouteType), 1);
        QCOMPARE(first.Systems[0].Text, QStringLiteral("S3"));
        for (int i = 0; i < first.Count(); ++i)
            QVERIFY(!first.Entry(i)->Fixed);
        QCOMPARE(routes[1]->Count(), 1);
        QCOMPARE(int(routes[1]->Entry(0)->RouteType), 0);

        DeleteRoute(store.db(), 1);
        QCOMPARE(store.count(QStringLiteral("select count(1) from routeSystems where routeID = 1")), 0);
        QCOMPARE(store.count(QStringLiteral("select count(1) from routes")), 1);
        QCOMPARE(SaveRoute(store.db(), single), 3); // the maximum, not the count, decides
    }

    void routeOrderAndUnknownSystems()
    {
        Store store;
        store.exec(QStringLiteral("insert into routes values (8, 4, 'stored')"));
        store.exec(QStringLiteral("insert into routeSystems values (8, 30000004, 3, 1), (8, 30000001, 0, 0), "
                                  "(8, 30000099, 1, 2), (8, 5, 2, 2), (8, 30000002, 2, 2)"));
        World world(store);
        const auto routes = LoadRoutes(store.db(), world.galaxy);
        QCOMPARE(routes.size(), std::size_t(1));
        QCOMPARE(routes[0]->EntityID, 4);
        QCOMPARE(routes[0]->Count(), 3);
        QCOMPARE(routes[0]->Entry(0)->System, world.systems[0]);
        QCOMPARE(routes[0]->Entry(1)->System, world.systems[1]);
        QCOMPARE(routes[0]->Entry(2)->System, world.systems[3]);
    }

    // ---- region colour

    void regionColour()
    {
        Store map(schema::mapCreateStatements(), QStringLiteral("map.db"));
        map.exec(QStringLiteral("insert into regions (regionID, regionName, color) values (10000001, 'A', 1), "
                                "(10000002, 'B', 2)"));
        SaveRegionColour(map.db(), 10000001, 0x00C08040);
        QCOMPARE(map.count(QStringLiteral("select color from regions where regionID = 10000001")), 0x00C08040);
        QCOMPARE(map.count(QStringLiteral("select color from regions where regionID = 10000002")), 2);
    }

    // ---- a save that fails half-way leaves the previous state

    void failedSaveKeepsPreviousState_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("state"); // a query over everything the save touches
        const QString abort = QStringLiteral("CREATE TRIGGER fail BEFORE %1 ON %2 WHEN %3 BEGIN SELECT RAISE(ABORT, 'x'); END");
        const QString memberships = QStringLiteral("select group_concat(systemID || ':' || groupID) from "
                                                   "(select * from systemGroups order by rowid)");
        QTest::newRow("system groups") << QStringLiteral("systemGroups")
                                       << abort.arg(QStringLiteral("INSERT"), QStringLiteral("systemGroups"),
                                              QStringLiteral("new.groupID = 2"))
                                       << memberships;
        QTest::newRow("system note and groups")
            << QStringLiteral("system")
            << abort.arg(QStringLiteral("INSERT"), QStringLiteral("systemGroups"), QStringLiteral("new.groupID = 2"))
            << QStringLiteral("select group_concat(noteText) || '/' || (%1) from systemNotes").arg(memberships);
        QTest::newRow("station offices")
            << QStringLiteral("offices")
            << abort.arg(QStringLiteral("INSERT"), QStringLiteral("stationOffices"), QStringLiteral("new.officeGroupID = 2"))
            << QStringLiteral("select group_concat(stationID || ':' || officeGroupID) from stationOffices");
        QTest::newRow("route with its systems")
            << QStringLiteral("route")
            << abort.arg(QStringLiteral("INSERT"), QStringLiteral("routeSystems"), QStringLiteral("new.idx = 1"))
            << QStringLiteral("select (select group_concat(ID) from routes) || '/' || "
                              "(select group_concat(routeID || ':' || systemID) from routeSystems)");
        QTest::newRow("group deletion")
            << QStringLiteral("deleteGroup")
            << abort.arg(QStringLiteral("DELETE"), QStringLiteral("systemGroups"), QStringLiteral("old.groupID = 1"))
            << QStringLiteral("select (select group_concat(ID) from groups) || '/' || (%1)").arg(memberships);
        QTest::newRow("office group deletion")
            << QStringLiteral("deleteOfficeGroup")
            << abort.arg(QStringLiteral("DELETE"), QStringLiteral("stationOffices"), QStringLiteral("old.officeGroupID = 1"))
            << QStringLiteral("select (select group_concat(ID) from officeGroups) || '/' || "
                              "(select group_concat(stationID || ':' || officeGroupID) from stationOffices)");
        QTest::newRow("route deletion")
            << QStringLiteral("deleteRoute")
            << abort.arg(QStringLiteral("DELETE"), QStringLiteral("routes"), QStringLiteral("1"))
            << QStringLiteral("select (select group_concat(ID) from routes) || '/' || "
                              "(select group_concat(routeID || ':' || systemID) from routeSystems)");
    }
    void failedSaveKeepsPreviousState()
    {
        QFETCH(QString, operation);
        QFETCH(QString, trigger);
        QFETCH(QString, state);
        Store store;
        store.exec(QStringLiteral("insert into groups values (1, 'one', ''), (2, 'two', '')"));
        store.exec(QStringLiteral("insert into systemGroups values (30000001, 2), (30000002, 1)"));
        store.exec(QStringLiteral("insert into systemNotes values (30000001, 0, 0, 'old note')"));
        store.exec(QStringLiteral("insert into officeGroups values (1, 'a', 1), (2, 'b', 2)"));
        store.exec(QStringLiteral("insert into stationOffices values (60000001, 2), (60000002, 1)"));
        store.exec(QStringLiteral("insert into routes values (1, 0, 'r')"));
        store.exec(QStringLiteral("insert into routeSystems values (1, 30000001, 0, 0), (1, 30000002, 1, 1)"));
        World world(store);
        world.loadGroups();
        const QString before = store.scalar(state).toString();
        QVERIFY(!before.isEmpty());
        // Each trigger fails a statement of the save after an earlier one has changed rows.
        store.exec(trigger);

        TSystem* system = world.systems[0];
        system->Note = QStringLiteral("new note");
        system->Groups = { world.galaxy.GroupByID(1), world.galaxy.GroupByID(2) };
        TStation* station = world.stations[0];
        station->OfficeGroups = { world.galaxy.OfficeGroupByID(1), world.galaxy.OfficeGroupByID(2) };
        TRoute route;
        route.Add(world.systems[2], 0);
        route.Add(world.systems[3], 1);

        const QSqlDatabase db = store.db();
        try {
            if (operation == QLatin1String("systemGroups"))
                SaveSystemGroups(db, *system);
            else if (operation == QLatin1String("system"))
                SaveSystem(db, *system);
            else if (operation == QLatin1String("offices"))
                SaveStationOffices(db, *station);
            else if (operation == QLatin1String("route"))
                SaveRoute(db, route);
            else if (operation == QLatin1String("deleteGroup"))
                DeleteGroup(db, TGroupKind::System, 1);
            else if (operation == QLatin1String("deleteOfficeGroup"))
                DeleteGroup(db, TGroupKind::Office, 1);
            else
                DeleteRoute(db, 1);
            QFAIL("the save did not report the failure");
        } catch (const EDatabaseError& e) {
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1Char('x')), e.what());
        }
        QCOMPARE(store.scalar(state).toString(), before);

        // The connection is usable afterwards: no transaction was left open.
        store.exec(QStringLiteral("DROP TRIGGER fail"));
        store.exec(QStringLiteral("insert into groups values (3, 'three', '')"));
        QVERIFY_THROWS_NO_EXCEPTION(TTransaction(db).Commit());
    }
};

QTEST_GUILESS_MAIN(TestUserData)
#include "tst_userdata.moc"
