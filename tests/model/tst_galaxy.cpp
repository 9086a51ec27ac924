// The galaxy model without a database: lookups, map coordinates, colours, routes.
#include "model/uGalaxy.h"
#include "testsupport.h"

#include <QTest>

namespace {

// The test galaxy with the given coordinate bounds.
struct SmallGalaxy : testsupport::TTestGalaxy {
    SmallGalaxy(double minX, double maxX, double minZ, double maxZ, qint32 largestID) : TTestGalaxy(largestID)
    {
        galaxy.Bounds.MinX = minX;
        galaxy.Bounds.MaxX = maxX;
        galaxy.Bounds.MinZ = minZ;
        galaxy.Bounds.MaxZ = maxZ;
        galaxy.Bounds.MinY = 0;
        galaxy.Bounds.MaxY = 1;
    }

    TSystem* add(qint32 id, double x, double z, double security = 0.5, const QString& name = {})
    {
        return Add(id, name.isEmpty() ? QStringLiteral("S%1").arg(id) : name, x, z, security);
    }
};

} // namespace

class TestGalaxy : public QObject {
    Q_OBJECT

private slots:
    void systemByIdBounds()
    {
        SmallGalaxy g(0, 10, 0, 10, 30000005);
        TSystem* first = g.add(30000001, 0, 0);
        g.add(30000005, 10, 10);
        try {
            g.galaxy.SystemByID(30000000);
            QFAIL("no error for ID 30000000");
        } catch (const EGalaxyError& e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("System ID out of bounds"));
        }
        QCOMPARE(g.galaxy.SystemByID(30000001), first);
        QCOMPARE(g.galaxy.SystemByID(30000003), nullptr); // a gap
        QCOMPARE(g.galaxy.SystemByID(30000006), nullptr); // past the largest
        QCOMPARE(g.galaxy.SystemByID(2147483647), nullptr);
        QCOMPARE(g.galaxy.SystemCount, 2);
        QCOMPARE(first->ListIndex, 0);
        QCOMPARE(g.galaxy.Systems.Find(QStringLiteral("30000005"))->ID, 30000005);
    }

    void mapCoordinatesSpanTheExtent()
    {
        SmallGalaxy g(-4e16, 6e16, -1e17, 3e17, 30000003);
        TSystem* west = g.add(30000001, -4e16, 1e17);
        TSystem* east = g.add(30000002, 6e16, 3e17);
        TSystem* mid = g.add(30000003, 1e16, -1e17);
        QCOMPARE(west->MapX, 0);
        QCOMPARE(east->MapX, 1000000);
        QCOMPARE(mid->MapX, 500000);
        QCOMPARE(mid->MapY, 0);
        QCOMPARE(east->MapY, 1000000);
        QCOMPARE(west->MapY, 500000);
        QCOMPARE(g.galaxy.MapBounds, (TIntRect { 0, 0, 1000000, 1000000 }));
    }

    void mapCoordinatesRoundHalfToEven()
    {
        // 0.0000025 of the extent is 2.5 map units: ties go to the even neighbour.
        SmallGalaxy g(0, 1e7, 0, 1, 30000002);
        QCOMPARE(g.galaxy.NormaliseX(25.0), 2);
        QCOMPARE(g.galaxy.NormaliseX(35.0), 4);
        QCOMPARE(g.galaxy.NormaliseX(36.0), 4);
    }

    void securityColour_data()
    {
        QTest::addColumn<double>("security");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::newRow("full high") << 1.0 << 3 << 252; // capped at column 99
        QTest::newRow("half") << 0.5 << 127 << 128;
        QTest::newRow("zero") << 0.0 << 255 << 0;
        QTest::newRow("negative draws red") << -0.7 << 255 << 0;
    }
    void securityColour()
    {
        QFETCH(double, security);
        QFETCH(int, red);
        QFETCH(int, green);
        TGalaxy galaxy { QString() };
        const TColor c = galaxy.SecurityColourOf(security);
        QCOMPARE(c & 0xFF, red);
        QCOMPARE((c >> 8) & 0xFF, green);
        QCOMPARE(c >> 16, 0);
        QVERIFY(c != InvalidColour);
        // The strip holds the same colours the systems get.
        const TColor pixel = galaxy.SecurityStrip.Pixel(std::clamp(int(std::lround(security * 100)), 0, 99), 0);
        QCOMPARE(pixel, c);
        QCOMPARE(galaxy.SecurityStrip.Width, 100);
        QCOMPARE(galaxy.SecurityStrip.Height, 10);
    }

    void operationServices_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("service");
        QTest::addColumn<bool>("offered");
        QTest::newRow("4 in 6") << 7 << 4 << true;
        QTest::newRow("8 not in 6") << 7 << 8 << false;
        QTest::newRow("unknown operation") << 99 << 4 << false;
    }
    void operationServices()
    {
        QFETCH(int, operation);
        QFETCH(int, service);
        QFETCH(bool, offered);
        TGalaxy galaxy { QString() };
        auto* op = new TOperation;
        op->ID = 7;
        op->Services = 6;
        galaxy.Operations.Add(QStringLiteral("7"), op);
        QCOMPARE(galaxy.OperationHasService(operation, service), offered);
    }

    void serviceNamesAndMarket()
    {
        SmallGalaxy g(0, 1, 0, 1, 30000001);
        TSystem* system = g.add(30000001, 0, 0);
        for (auto [id, name] : { std::pair { 1, "修理" }, { 2, "市场" }, { 4, "克隆" } }) {
            auto* f = new TFacility;
            f->ID = id;
            f->Name = QString::fromUtf8(name);
            g.galaxy.Services.Add(QStringLiteral("%1=%2").arg(id).arg(f->Name), f);
        }
        auto* op = new TOperation;
        op->ID = 3;
        op->Services = 5;
        g.galaxy.Operations.Add(QStringLiteral("3"), op);
        QCOMPARE(g.galaxy.ServiceNames(op), QStringLiteral("修理\n克隆"));

        TStation station(&g.galaxy);
        station.Operation = op;
        system->Stations.push_back(&station);
        QVERIFY(!system->HasMarket()); // no market service known
        g.galaxy.MarketService = g.galaxy.Services.Object(1);
        QVERIFY(!system->HasMarket()); // operation lacks service 2
        op->Services = 7;
        QVERIFY(system->HasMarket());
        system->Stations.clear();
    }

    void stationColourAndNames()
    {
        SmallGalaxy g(0, 1, 0, 1, 30000001);
        TSystem* system = g.add(30000001, 0, 0);
        TStation plain(&g.galaxy), mine(&g.galaxy);
        TOfficeGroup red { 1, QStringLiteral("Red"), 0xFF }, blue { 2, QStringLiteral("Blue"), 0xFF0000 };
        system->Stations = { &plain, &mine };
        TColor colour = 0;
        QVERIFY(!system->MyStationColour(colour));
        mine.OfficeGroups = { &blue, &red };
        QVERIFY(system->MyStationColour(colour));
        QCOMPARE(colour, 0xFF0000);
        QCOMPARE(mine.OfficeGroupNames(), QStringLiteral("Blue, Red"));
        QCOMPARE(plain.CorporationName(), QStringLiteral("unknown"));
        system->Stations.clear();
    }

    void agentNamesFallBackToUnknown()
    {
        TAgent agent;
        QCOMPARE(agent.CorporationName(), QStringLiteral("unknown"));
        QCOMPARE(agent.DivisionName(), QStringLiteral("unknown"));
        QCOMPARE(agent.StationName(), QStringLiteral("unknown"));
        QCOMPARE(agent.FactionName(), QStringLiteral("unknown"));
        TFaction faction { 5, QStringLiteral("Guild") };
        TCorporation corp { 9, QStringLiteral("Works"), nullptr };
        agent.Corporation = &corp;
        QCOMPARE(agent.FactionName(), QStringLiteral("unknown"));
        corp.Faction = &faction;
        QCOMPARE(agent.CorporationFaction(), &faction);
        QCOMPARE(agent.FactionName(), QStringLiteral("Guild"));
    }

    void keyedListLookups()
    {
        TKeyedList<TFaction> factions;
        factions.Add(QStringLiteral("5=Guild"), new TFaction { 5, QStringLiteral("Guild") });
        factions.Add(QStringLiteral("12=Order"), new TFaction { 12, QStringLiteral("Order") });
        QCOMPARE(factions.Value(QStringLiteral("12")), QStringLiteral("Order"));
        QCOMPARE(factions.Value(QStringLiteral("1")), QString());
        QCOMPARE(factions.IndexOf(QStringLiteral("5=GUILD")), 0);
        TKeyedList<TCorporation> corps;
        for (const char* name : { "beta", "Alpha", "gamma", "ALPHA" })
            corps.Add(QString::fromLatin1(name), new TCorporation { 0, QString::fromLatin1(name), nullptr });
        corps.Sort();
        QCOMPARE(corps.Key(0), QStringLiteral("Alpha")); // stable for equal keys
        QCOMPARE(corps.Key(1), QStringLiteral("ALPHA"));
        QCOMPARE(corps.Key(3), QStringLiteral("gamma"));
    }

    void routeAssignSharesEntriesSafely()
    {
        SmallGalaxy g(0, 1, 0, 1, 30000002);
        TSystem* a = g.add(30000001, 0, 0);
        TSystem* b = g.add(30000002, 1, 1);
        TRoute copy;
        {
            TRoute plan;
            plan.ID = 4;
            plan.Name = QStringLiteral("trip");
            plan.Add(a, 0, true);
            plan.Add(b, 1);
            copy.Assign(plan);
            QCOMPARE(copy.Entry(0), plan.Entry(0)); // shared, not copied
        }
        // The entries outlive the route that made them.
        QCOMPARE(copy.Count(), 2);
        QCOMPARE(copy.Entry(0)->System, a);
        QVERIFY(copy.Entry(0)->Fixed);
        QCOMPARE(copy.Entry(1)->RouteType, quint8(1));
        QCOMPARE(copy.Systems[1].Text, QStringLiteral("S30000002"));
        QCOMPARE(copy.ID, 4);
    }

    void dimensionsStartEmptyAndHalve()
    {
        Tdim dim;
        QVERIFY(dim.MinX > 1e300);
        QVERIFY(dim.MaxX > 0 && dim.MaxX < 1e-300);
        dim.MinX = -3;
        dim.MaxX = 4;
        QCOMPARE(dim.HalfExtentX(), qint64(4)); // 3.5 rounds away from zero
    }

    void jumpToFindsTheLink()
    {
        SmallGalaxy g(0, 1, 0, 1, 30000002);
        TSystem* a = g.add(30000001, 0, 0);
        TSystem* b = g.add(30000002, 1, 1);
        auto jump = std::make_unique<TJump>();
        jump->Target = b;
        TJump* raw = jump.get();
        a->Jumps.push_back(std::move(jump));
        QCOMPARE(a->JumpTo(b), raw);
        QCOMPARE(b->JumpTo(a), nullptr);
    }

    void missingRegionNamesTheSystem()
    {
        SmallGalaxy g(0, 1, 0, 1, 30000002);
        try {
            g.galaxy.AddSystem(30000002, QStringLiteral("Lost"), 0, 0, 0, 777, g.constellation->ID, 0.5, -1, 1);
            QFAIL("no error");
        } catch (const EGalaxyError& e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains(QStringLiteral("uGalaxy")) && message.contains(QStringLiteral("30000002"))
                    && message.contains(QStringLiteral("777")),
                qPrintable(message));
        }
        QCOMPARE(g.galaxy.SystemCount, 0);
        QCOMPARE(g.region->Systems.size(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestGalaxy)
#include "tst_galaxy.moc"
