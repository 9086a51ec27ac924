// Filling the galaxy from the map and custom databases.
#include "testsupport.h"
#include "mapview/uColors.h"
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uSchema.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

void Exec(const QSqlDatabase& db, const QStringList& statements)
{
    TTransaction transaction(db);
    for (const QString& sql : statements)
        RunQuery(db, sql);
    transaction.Commit();
}

// A hand-made universe: two regions (one without colour), three constellations, five systems.
const QStringList kSmallMap = {
    "insert into factions values (500001, 'Guild')",
    "insert into factions values (500002, 'Order')",
    "insert into corporations values (1000002, 'zeta works')",
    "insert into corporations values (1000001, 'Alpha Mining')",
    "insert into corporations values (1000003, 'beta yards')",
    "insert into factionCorporations values (1000001, 500002)",
    "insert into factionCorporations values (1000001, 500001)",
    "insert into factionCorporations values (1000003, 999999)",
    "insert into divisions values (1, 'Security')",
    "insert into stationServices values (1, 'Repair')",
    "insert into stationServices values (2, '市场')",
    "insert into stationServices values (4, '市场')",
    "insert into stationOperationServices values (10, 1)",
    "insert into stationOperationServices values (10, 4)",
    "insert into implants values (1, 'Eye', 'perception', 3)",
    "insert into corporationImplants values (1000001, 1, 2)",
    "insert into corporationImplants values (1234567, 1, 3)",
    "insert into corporationImplants values (1000001, 77, 3)",
    "insert into regions values (10000001, 'Core', 255)",
    "insert into regions values (10000002, '边境', 0)",
    "insert into constellations values (20000001, 'Inner', 0, 0, 0, 10000001, '500001')",
    "insert into constellations values (20000002, 'Outer', 0, 0, 0, 10000002, '')",
    "insert into constellations values (20000003, 'Far', 0, 0, 0, 10000002, 'x')",
    "insert into solarSystems values (30000001, 'Home', 20000001, 10000001, -100, 5, 50, 0.9, '500001', 1.5)",
    "insert into solarSystems values (30000002, 'West', 20000001, 10000001, -300, 0, 0, 0.5, NULL, 0.2)",
    "insert into solarSystems values (30000004, 'East', 20000002, 10000002, 100, 1, 300, -0.2, '', 3.0)",
    "insert into solarSystems values (30000005, '8-4GQM', 20000003, 10000002, 0, -7, 100, 0.0, 'abc', 1.0)",
    "insert into solarSystems values (30000006, 'New Eden', 20000003, 10000002, 0, 2, 100, 0.45, '500002', 1.0)",
};

struct Universe {
    QTemporaryDir dir;
    std::unique_ptr<TDbConnection> map, custom;

    explicit Universe(const QStringList& rows = kSmallMap, const QStringList& customRows = {})
    {
        QString error;
        map = TDbConnection::Open(dir.filePath("map.db"), TOpenMode::CreateIfMissing, &error);
        custom = TDbConnection::Open(dir.filePath("custom.db"), TOpenMode::CreateIfMissing, &error);
        Exec(map->Db(), schema::mapCreateStatements());
        Exec(custom->Db(), schema::customCreateStatements());
        Exec(map->Db(), rows);
        Exec(custom->Db(), customRows);
    }

    std::unique_ptr<TGalaxy> load(QStringList* statuses = nullptr, QStringList* logs = nullptr)
    {
        auto galaxy = std::make_unique<TGalaxy>(QString());
        galaxy->MapConnection = map->Db();
        galaxy->CustomConnection = custom->Db();
        if (statuses)
            galaxy->Observer.ShowStatus = [statuses](const QString& s) { *statuses << s; };
        if (logs)
            galaxy->Observer.WriteLog = [logs](const QString& s) { *logs << s; };
        galaxy->Load();
        return galaxy;
    }
};

QString LoadError(Universe& u)
{
    try {
        u.load();
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return {};
}

} // namespace

class TestGalaxyLoad : public QObject {
    Q_OBJECT

private slots:
    void statusTextsAndTimingLinesInOrder()
    {
        Universe u;
        QStringList statuses, logs;
        u.load(&statuses, &logs);
        QCOMPARE(statuses,
            QStringList({ "载入分组..", "载入势力..", "载入公司..", "载入部门..", "载入设施..", "载入服务..",
                "载入植入体..", "载入星域..", "载入星座..", "载入星系.." }));
        const QStringList steps { "载入分组", "载入势力", "载入公司", "载入部门", "载入设施", "载入服务", "载入植入体",
            "载入星域", "载入星座" };
        QCOMPARE(logs.size(), steps.size() + 3);
        const QString time = QStringLiteral("\\d\\d:\\d\\d\\.\\d\\d\\d");
        for (int i = 0; i < steps.size(); ++i)
            QVERIFY2(QRegularExpression("^" + steps[i] + "使用了" + time + "秒$").match(logs[i]).hasMatch(),
                qPrintable(logs[i]));
        QVERIFY(QRegularExpression("^ >system query took " + time + "$").match(logs[9]).hasMatch());
        QVERIFY(QRegularExpression("^ >system process took " + time + "$").match(logs[10]).hasMatch());
        QVERIFY(QRegularExpression("^载入星系使用了" + time + "秒$").match(logs[11]).hasMatch());
    }

    void mapOnlyLoadSkipsReferenceData()
    {
        Universe u;
        auto everything = u.load();
        auto galaxy = std::make_unique<TGalaxy>(QString());
        galaxy->MapConnection = u.map->Db();
        galaxy->CustomConnection = u.custom->Db();
        QStringList statuses;
        galaxy->Observer.ShowStatus = [&statuses](const QString& s) { statuses << s; };
        galaxy->Load(TGalaxy::TLoadParts::MapOnly);
        QCOMPARE(statuses, QStringList({ "载入星域..", "载入星座..", "载入星系.." }));
        QVERIFY(galaxy->Corporations.IsEmpty());
        QVERIFY(galaxy->Factions.IsEmpty());
        QCOMPARE(galaxy->SystemCount, everything->SystemCount);
        for (const auto& e : everything->Systems) {
            const TSystem* twin = galaxy->SystemByID(e.Object->ID);
            QVERIFY(twin);
            QCOMPARE(twin->MapX, e.Object->MapX);
            QCOMPARE(twin->MapY, e.Object->MapY);
            QCOMPARE(twin->Region->ID, e.Object->Region->ID);
        }
    }

    void referenceData()
    {
        Universe u;
        auto g = u.load();
        // Sorted case-insensitively, the placeholder last with the "%d=%s" key.
        QCOMPARE(g->Corporations.Count(), 4);
        QCOMPARE(g->Corporations.Key(0), QStringLiteral("Alpha Mining"));
        QCOMPARE(g->Corporations.Key(1), QStringLiteral("beta yards"));
        QCOMPARE(g->Corporations.Key(2), QStringLiteral("zeta works"));
        QCOMPARE(g->Corporations.Key(3), QStringLiteral("-1=unknown"));
        QCOMPARE(g->Corporations[3]->ID, -1);
        QCOMPARE(g->Corporations[3]->Faction, nullptr);
        // The first factionCorporations row wins; an unknown faction leaves none.
        QCOMPARE(g->Corporations[0]->Faction->Name, QStringLiteral("Order"));
        QCOMPARE(g->Corporations[1]->Faction, nullptr);
        QCOMPARE(g->Corporations[2]->Faction, nullptr);
        QCOMPARE(g->Factions.Key(0), QStringLiteral("500001=Guild"));
        // The later of two market services wins.
        QVERIFY(g->MarketService);
        QCOMPARE(g->MarketService->ID, 4);
        QCOMPARE(g->OperationByID(10)->Services, 5);
        // Offers of unknown implant types are skipped; unknown corporations leave none.
        QCOMPARE(g->ImplantOffers.Count(), 2);
        QCOMPARE(g->ImplantTypes[0]->OfferCount, 2);
        QCOMPARE(g->ImplantOffers[0]->Corporation->Name, QStringLiteral("Alpha Mining"));
        QCOMPARE(g->ImplantOffers[1]->Corporation, nullptr);
        QCOMPARE(g->ImplantOffers[1]->Level, 3);
    }

    void regionsConstellationsAndSystems()
    {
        Universe u;
        auto g = u.load();
        TColorObj scheme;
        scheme.ResetToDefaults();
        QCOMPARE(g->Regions.Find("Core")->Colour, 255);
        QCOMPARE(g->Regions.Find("边境")->Colour, scheme.GetColor("System"));
        QCOMPARE(g->Constellations.Find("Inner")->FactionName, QStringLiteral("Guild"));
        QCOMPARE(g->Constellations.Find("Outer")->FactionID, -1);
        QCOMPARE(g->Constellations.Find("Far")->FactionID, -1);
        QCOMPARE(g->Regions.Find("边境")->Constellations.size(), std::size_t(2));

        QCOMPARE(g->SystemCount, 5);
        QCOMPARE(g->SystemSlots.size(), std::size_t(6));
        QCOMPARE(g->SystemByID(30000003), nullptr);
        TSystem* west = g->SystemByID(30000002);
        TSystem* east = g->SystemByID(30000004);
        QCOMPARE(west->MapX, 0);
        QCOMPARE(east->MapX, 1000000);
        QCOMPARE(west->MapY, 0);                          // smallest Z
        QCOMPARE(east->MapY, 1000000);                    // largest Z
        QCOMPARE(g->SystemByID(30000005)->MapHeight, 0);  // smallest Y
        QCOMPARE(g->MapBounds, (TIntRect { 0, 0, 1000000, 1000000 }));
        QCOMPARE(g->SystemByID(30000001)->FactionID, 500001);
        QCOMPARE(west->FactionID, -1);
        QCOMPARE(east->FactionID, -1);
        QCOMPARE(g->SystemByID(30000005)->FactionID, -1);
        QCOMPARE(g->SystemByName("New Eden")->Region->Name, QStringLiteral("边境"));
        QCOMPARE(g->SystemByName("new eden"), nullptr); // exact match only
        QCOMPARE(g->MinLuminosity, 0.2);
        QCOMPARE(g->MaxLuminosity, 3.0);
        // An empty custom database leaves no groups and no notes.
        for (const auto& e : g->Systems) {
            QVERIFY(e.Object->Groups.empty());
            QVERIFY(e.Object->Note.isEmpty());
            QCOMPARE(e.Object->BlockThreshold, 1);
        }
    }

    void userDataJoinsTheLoad()
    {
        Universe u(kSmallMap,
            { "insert into groups (ID, name, description) values (3, 'trade', 'hubs')",
                "insert into groups (ID, name, description) values (1, 'home', '')",
                "insert into systemGroups values (30000001, 3)", "insert into systemGroups values (30000001, 1)",
                "insert into systemGroups values (30000003, 1)", "insert into systemGroups values (30000002, 9)",
                "insert into systemNotes values (30000002, 0, 0, 'first')",
                "insert into systemNotes values (30000002, 0, 0, 'second')",
                "insert into systemNotes values (39999999, 0, 0, 'nowhere')",
                "insert into officeGroups values (2, 'mine', 65280)" });
        auto g = u.load();
        QCOMPARE(g->Groups.Count(), 2);
        QCOMPARE(g->Groups[0]->ID, 1); // ID order
        QCOMPARE(g->Groups.Key(1), QStringLiteral("3"));
        QCOMPARE(g->Groups[1]->Description, QStringLiteral("hubs"));
        const auto& groups = g->SystemByID(30000001)->Groups;
        QCOMPARE(groups.size(), std::size_t(2));
        QCOMPARE(groups[0]->Name, QStringLiteral("trade"));
        QVERIFY(g->SystemByID(30000002)->Groups.empty()); // unknown group skipped
        QCOMPARE(g->SystemByID(30000002)->Note, QStringLiteral("second")); // last row wins
        QCOMPARE(g->OfficeGroups[0]->Colour, 65280);
    }

    void brokenDataStopsTheLoad_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("missing region")
            << "insert into solarSystems values (30000007, 'Lost', 20000001, 10000009, 0, 0, 0, 0.5, '', 1)"
            << QStringList { "uGalaxy", "30000007", "Lost", "10000009" };
        QTest::newRow("missing constellation")
            << "insert into solarSystems values (30000007, 'Adrift', 20000099, 10000001, 0, 0, 0, 0.5, '', 1)"
            << QStringList { "uGalaxy", "30000007", "Adrift", "20000099" };
        QTest::newRow("missing column") << "alter table solarSystems drop column luminosity"
                                        << QStringList { "solarSystems", "luminosity" };
        QTest::newRow("missing table") << "drop table stationServices" << QStringList { "stationServices" };
    }
    void brokenDataStopsTheLoad()
    {
        QFETCH(QString, statement);
        QFETCH(QStringList, expected);
        Universe u(kSmallMap + QStringList { statement });
        const QString error = LoadError(u);
        for (const QString& part : expected)
            QVERIFY2(error.contains(part, Qt::CaseInsensitive), qPrintable(error));
    }

    void tinyFixtureLoadsEverySystem()
    {
        QString error;
        auto map = TDbConnection::Open(testsupport::fixtureDir() + "/map.db", TOpenMode::ExistingOnly, &error);
        auto custom = TDbConnection::Open(testsupport::fixtureDir() + "/custom.db", TOpenMode::ExistingOnly, &error);
        QVERIFY2(map && custom, qPrintable(error));
        TGalaxy g { QString() };
        g.MapConnection = map->Db();
        g.CustomConnection = custom->Db();
        g.Load();
        QCOMPARE(g.SystemCount, QueryScalar(map->Db(), "select count(1) from solarSystems").toInt());
        QCOMPARE(g.Regions.Count(), QueryScalar(map->Db(), "select count(1) from regions").toInt());
        for (const auto& e : g.Systems) {
            QCOMPARE(g.SystemByID(e.Object->ID), e.Object);
            QVERIFY(e.Object->MapX >= 0 && e.Object->MapX <= 1000000);
            QVERIFY(e.Object->MapY >= 0 && e.Object->MapY <= 1000000);
        }
        QCOMPARE(g.MapBounds.Left, 0);
        QCOMPARE(g.MapBounds.Bottom, 1000000);
    }
};

QTEST_GUILESS_MAIN(TestGalaxyLoad)
#include "tst_galaxyload.moc"
