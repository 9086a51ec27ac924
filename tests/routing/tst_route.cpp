// Route building: the cost table, legs, distances, routes through plans and the current route,
// on small hand-built galaxies and on the tiny generated universe.
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/uDijkstra.h"
#include "routing/uRoute.h"
#include "testsupport.h"

#include <QTest>

#include <cmath>

namespace {

// The graph as the jump loader builds it, opened for solving.
void BuildGraph(TGalaxy& galaxy)
{
    BuildRouteGraph(galaxy, {});
    galaxy.Graph->SetSuspended(false);
}

// A galaxy of named systems in one region; gates both ways unless told otherwise.
struct RouteGalaxy : testsupport::TTestGalaxy {
    qint32 nextID = FirstSystemID;

    TSystem* add(const QString& name, double security = 1.0) { return Add(nextID++, name, 0, 0, security); }
    TSystem* sys(const QString& name) const
    {
        TSystem* s = galaxy.SystemByName(name);
        if (!s)
            qFatal("no system %s", qPrintable(name));
        return s;
    }
    static void gate(TSystem* from, TSystem* to) { Gate(from, to); }
    // "A-B-C" links neighbours both ways, adding systems that do not exist yet at security 1.0.
    void chain(const QString& names)
    {
        TSystem* prev = nullptr;
        for (const QString& name : names.split(QLatin1Char('-'))) {
            TSystem* s = galaxy.SystemByName(name);
            if (!s)
                s = add(name);
            if (prev) {
                gate(prev, s);
                gate(s, prev);
            }
            prev = s;
        }
    }
    void finish() { BuildGraph(galaxy); }

    QStringList routeNames() const
    {
        QStringList names;
        for (const auto& e : galaxy.RouteList)
            names << e.Object->Name;
        return names;
    }
    std::vector<TSystem*> systems(const QString& names) const
    {
        std::vector<TSystem*> list;
        for (const QString& name : names.split(QLatin1Char('-')))
            list.push_back(sys(name));
        return list;
    }
};

QStringList Names(const std::vector<TSystem*>& systems)
{
    QStringList names;
    for (const TSystem* s : systems)
        names << s->Name;
    return names;
}

QStringList Names(const TRoute& route)
{
    QStringList names;
    for (int i = 0; i < route.Count(); ++i)
        names << route.Systems[std::size_t(i)].Text;
    return names;
}

QStringList OnRouteJumps(const TGalaxy& galaxy)
{
    QStringList jumps;
    for (const auto& e : galaxy.Systems)
        for (const auto& jump : e.Object->Jumps)
            if (jump->OnRoute)
                jumps << e.Object->Name + QLatin1Char('>') + jump->Target->Name;
    return jumps;
}

} // namespace

class TestRoute : public QObject {
    Q_OBJECT

private slots:
    void stepCostTable_data();
    void stepCostTable();
    void shortestCostsOneJumpEach();
    void equalCostTiesKeepTheFirstPath_data();
    void equalCostTiesKeepTheFirstPath();
    void securityPreferenceChoosesPath_data();
    void securityPreferenceChoosesPath();
    void avoidedSystemOnlyWhenCheaper_data();
    void avoidedSystemOnlyWhenCheaper();
    void nonPositiveThresholdCountsAsNormal_data();
    void nonPositiveThresholdCountsAsNormal();
    void blockedSystemIsNeverEntered();
    void blockedEndsOfALeg();
    void selfLegIsUnreachable();
    void pathLengthCountsBothEnds();
    void distanceQueryEmptiesCurrentRoute();
    void suspendedGraphReachesNothing();
    void currentRouteThroughPlan();
    void currentRouteClearsOldFlags();
    void duplicatePlanEntries_data();
    void duplicatePlanEntries();
    void unreachableSecondLeg();
    void routeThrough();
    void routeThroughFailures();
    void tinyUniverseCostsHold_data();
    void tinyUniverseCostsHold();
};

void TestRoute::stepCostTable_data()
{
    QTest::addColumn<double>("security");
    QTest::addColumn<int>("preference");
    QTest::addColumn<int>("threshold");
    QTest::addColumn<int>("cost");

    QTest::newRow("0.44 high") << 0.44 << 0 << 1 << 5;
    QTest::newRow("0.45 high") << 0.45 << 0 << 1 << 1;
    QTest::newRow("0.45 low") << 0.45 << 1 << 1 << 1;
    QTest::newRow("0.54 low") << 0.54 << 1 << 1 << 1;
    QTest::newRow("0.55 low") << 0.55 << 1 << 1 << 5;
    QTest::newRow("0.55 high") << 0.55 << 0 << 1 << 1;
    QTest::newRow("1.0 low") << 1.0 << 1 << 1 << 5;
    QTest::newRow("1.0 high") << 1.0 << 0 << 1 << 1;
    QTest::newRow("0.25 high (exact tie)") << 0.25 << 0 << 1 << 5;
    QTest::newRow("0.0 high") << 0.0 << 0 << 1 << 5;
    QTest::newRow("0.0 low") << 0.0 << 1 << 1 << 1;
    QTest::newRow("-0.04 high") << -0.04 << 0 << 1 << 5;
    QTest::newRow("-0.05 high") << -0.05 << 0 << 1 << 5;
    QTest::newRow("-1.0 high") << -1.0 << 0 << 1 << 5;
    QTest::newRow("-1.0 low") << -1.0 << 1 << 1 << 1;
    QTest::newRow("0.44 shortest") << 0.44 << 2 << 1 << 1;
    QTest::newRow("1.0 shortest") << 1.0 << 2 << 1 << 1;
    QTest::newRow("0.1 unknown preference") << 0.1 << 7 << 1 << 1;
    QTest::newRow("avoid high") << 1.0 << 0 << 10 << 10;
    QTest::newRow("avoid low") << 1.0 << 1 << 10 << 10;
    QTest::newRow("avoid shortest") << 0.2 << 2 << 10 << 10;
    QTest::newRow("other threshold") << 0.2 << 0 << 7 << 7;
    QTest::newRow("threshold 0 as normal") << 0.2 << 0 << 0 << 5;
    QTest::newRow("threshold -3 as normal") << 0.9 << 1 << -3 << 5;
    QTest::newRow("threshold minimum as normal") << 0.5 << 2 << int(std::numeric_limits<qint32>::min()) << 1;
    QTest::newRow("blocked") << 0.5 << 0 << MaxInt << MaxInt;
}

void TestRoute::stepCostTable()
{
    QFETCH(double, security);
    QFETCH(int, preference);
    QFETCH(int, threshold);
    QFETCH(int, cost);
    RouteGalaxy g;
    TSystem* s = g.add(QStringLiteral("S"), security);
    s->BlockThreshold = threshold;
    g.galaxy.SecurityPreference = quint8(preference);
    QCOMPARE(StepCost(g.galaxy, *s), cost);
}

// With no preference and no exclusions a route costs its number of jumps.
void TestRoute::shortestCostsOneJumpEach()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C-D-E"));
    g.chain(QStringLiteral("A-X-E"));
    g.sys(QStringLiteral("X"))->Security = -0.9;
    g.finish();
    QCOMPARE(g.galaxy.SecurityPreference, quint8(PreferShortest));
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("E")));
    QCOMPARE(g.routeNames(), QStringList({ "E", "X", "A" }));
    QCOMPARE(g.galaxy.Graph->DistanceOf(g.sys("E")->VertexIndex), 2.0);
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("B")), 2);
    QCOMPARE(PathLength(g.galaxy, g.sys("B"), g.sys("D")), 3);
}

// S-A-T and S-B-T cost the same under every preference: the path found first stays, and which
// one that is follows the order the gates were added in.
void TestRoute::equalCostTiesKeepTheFirstPath_data()
{
    QTest::addColumn<int>("preference");
    QTest::addColumn<bool>("bFirst");
    for (int preference : { 0, 1, 2 }) {
        const QByteArray p = QByteArray::number(preference);
        QTest::newRow("A first, pref " + p) << preference << false;
        QTest::newRow("B first, pref " + p) << preference << true;
    }
}

void TestRoute::equalCostTiesKeepTheFirstPath()
{
    QFETCH(int, preference);
    QFETCH(bool, bFirst);
    RouteGalaxy g;
    g.add(QStringLiteral("S"));
    g.add(QStringLiteral("A"), 0.3);
    g.add(QStringLiteral("B"), 0.3);
    g.add(QStringLiteral("T"));
    g.chain(bFirst ? QStringLiteral("S-B-T") : QStringLiteral("S-A-T"));
    g.chain(bFirst ? QStringLiteral("S-A-T") : QStringLiteral("S-B-T"));
    g.finish();
    g.galaxy.SecurityPreference = quint8(preference);
    QVERIFY(ComputeLeg(g.galaxy, g.sys("S"), g.sys("T")));
    QCOMPARE(g.routeNames(), QStringList({ "T", bFirst ? "B" : "A", "S" }));
}

// A-M-T directly, or A-H1-H2-H3-T round through high security.
void TestRoute::securityPreferenceChoosesPath_data()
{
    QTest::addColumn<double>("middle");
    QTest::addColumn<int>("preference");
    QTest::addColumn<QString>("route"); // destination first

    const QString direct = QStringLiteral("T M A");
    const QString round = QStringLiteral("T H3 H2 H1 A");
    QTest::newRow("high avoids 0.44") << 0.44 << 0 << round;
    QTest::newRow("high takes 0.45") << 0.45 << 0 << direct;
    QTest::newRow("high avoids negative") << -0.3 << 0 << round;
    QTest::newRow("low takes 0.44") << 0.44 << 1 << direct;
    QTest::newRow("shortest takes 0.44") << 0.44 << 2 << direct;
}

void TestRoute::securityPreferenceChoosesPath()
{
    QFETCH(double, middle);
    QFETCH(int, preference);
    QFETCH(QString, route);
    RouteGalaxy g;
    g.chain(QStringLiteral("A-M-T"));
    g.chain(QStringLiteral("A-H1-H2-H3-T"));
    g.sys(QStringLiteral("M"))->Security = middle;
    g.finish();
    g.galaxy.SecurityPreference = quint8(preference);
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QCOMPARE(g.routeNames().join(' '), route);
    QVERIFY(!g.galaxy.Unreachable);
}

// A-V-T through the avoided V costs 11; round the other way costs the detour's length + 1.
void TestRoute::avoidedSystemOnlyWhenCheaper_data()
{
    QTest::addColumn<int>("preference");
    QTest::addColumn<int>("detour");
    QTest::addColumn<bool>("throughAvoided");

    for (int preference : { 0, 1, 2 }) {
        const QByteArray p = QByteArray::number(preference);
        QTest::newRow("detour 9, pref " + p) << preference << 9 << false;
        QTest::newRow("detour 11, pref " + p) << preference << 11 << true;
    }
}

void TestRoute::avoidedSystemOnlyWhenCheaper()
{
    QFETCH(int, preference);
    QFETCH(int, detour);
    QFETCH(bool, throughAvoided);
    RouteGalaxy g;
    g.chain(QStringLiteral("A-V-T"));
    QStringList round { QStringLiteral("A") };
    for (int i = 0; i < detour; ++i)
        round << QStringLiteral("D%1").arg(i);
    round << QStringLiteral("T");
    g.chain(round.join('-'));
    // Security 0.5 costs 1 under every preference, so only the avoidance counts.
    for (const auto& e : g.galaxy.Systems)
        e.Object->Security = 0.5;
    g.sys(QStringLiteral("V"))->BlockThreshold = AvoidedThreshold;
    g.finish();
    g.galaxy.SecurityPreference = quint8(preference);
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QCOMPARE(g.routeNames().contains(QStringLiteral("V")), throughAvoided);
    QCOMPARE(g.galaxy.RouteList.Count(), throughAvoided ? 3 : detour + 2);
}

// A threshold of 0 or below prices the system as a normal one and leaves it passable.
void TestRoute::nonPositiveThresholdCountsAsNormal_data()
{
    QTest::addColumn<int>("threshold");
    QTest::newRow("1") << 1;
    QTest::newRow("0") << 0;
    QTest::newRow("-1") << -1;
    QTest::newRow("minimum") << int(std::numeric_limits<qint32>::min());
}

void TestRoute::nonPositiveThresholdCountsAsNormal()
{
    QFETCH(int, threshold);
    RouteGalaxy g;
    g.chain(QStringLiteral("A-M-T"));
    g.chain(QStringLiteral("A-H1-H2-H3-H4-T"));
    TSystem* m = g.sys(QStringLiteral("M"));
    m->Security = 0.3;
    m->BlockThreshold = threshold;
    g.finish();
    g.galaxy.SecurityPreference = PreferHigh;
    // Through M: 5 + 1; round: 5.
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QCOMPARE(g.galaxy.Graph->DistanceOf(g.sys("T")->VertexIndex), 5.0);
    QVERIFY(!g.routeNames().contains(QStringLiteral("M")));
    g.galaxy.SecurityPreference = PreferShortest;
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("T")), 3);
}

void TestRoute::blockedSystemIsNeverEntered()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-X-T"));
    g.chain(QStringLiteral("A-B-C-D-E-F-G-H-I-J-K-L-T"));
    g.finish();
    TSystem* x = g.sys(QStringLiteral("X"));
    x->BlockThreshold = BlockedThreshold;
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("T")), 13);

    // Without the long way round there is no route; the leg leaves only the destination.
    g.sys(QStringLiteral("L"))->BlockThreshold = BlockedThreshold;
    QVERIFY(!ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(g.routeNames(), QStringList({ "T" }));

    // Unblocking takes effect at the next leg.
    x->BlockThreshold = NormalThreshold;
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QVERIFY(!g.galaxy.Unreachable);
    QCOMPARE(g.routeNames(), QStringList({ "T", "X", "A" }));
}

void TestRoute::blockedEndsOfALeg()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-T"));
    g.finish();
    g.sys(QStringLiteral("T"))->BlockThreshold = BlockedThreshold;
    QVERIFY(!ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("T")), -1);

    // A blocked start is left normally.
    g.sys(QStringLiteral("T"))->BlockThreshold = NormalThreshold;
    g.sys(QStringLiteral("A"))->BlockThreshold = BlockedThreshold;
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("T")));
    QCOMPARE(g.routeNames(), QStringList({ "T", "B", "A" }));
    QVERIFY(!g.galaxy.Unreachable);
}

void TestRoute::selfLegIsUnreachable()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B"));
    g.finish();
    QVERIFY(!ComputeLeg(g.galaxy, g.sys("A"), g.sys("A")));
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(g.routeNames(), QStringList({ "A" }));
    QVERIFY(ComputeLeg(g.galaxy, g.sys("A"), g.sys("B")));
    QVERIFY(!g.galaxy.Unreachable);
    QCOMPARE(PathLength(g.galaxy, g.sys("B"), g.sys("B")), -1);
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(g.routeNames(), QStringList({ "B" }));
}

void TestRoute::pathLengthCountsBothEnds()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C-D"));
    g.add(QStringLiteral("Lone"));
    // One-way gate: D can be reached from A but A not from D through it.
    TSystem* oneWay = g.add(QStringLiteral("W"));
    RouteGalaxy::gate(g.sys(QStringLiteral("A")), oneWay);
    g.finish();
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("B")), 2);
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("D")), 4);
    QVERIFY(g.galaxy.RouteList.IsEmpty());
    QVERIFY(!g.galaxy.Unreachable);
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("W")), 2);
    QCOMPARE(PathLength(g.galaxy, g.sys("W"), g.sys("A")), -1);
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("Lone")), -1);
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(g.routeNames(), QStringList({ "Lone" }));
    // A missing system is no path, not a crash.
    QCOMPARE(PathLength(g.galaxy, nullptr, g.sys("A")), -1);
    QVERIFY(!ComputeLeg(g.galaxy, g.sys("A"), nullptr));
}

void TestRoute::distanceQueryEmptiesCurrentRoute()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C-D"));
    g.finish();
    std::vector<TSystem*> rows;
    const auto plan = g.systems(QStringLiteral("A-D"));
    QVERIFY(BuildCurrentRoute(g.galaxy, plan, rows));
    QCOMPARE(g.galaxy.RouteList.Count(), 4);
    QCOMPARE(PathLength(g.galaxy, g.sys("B"), g.sys("C")), 2);
    QVERIFY(g.galaxy.RouteList.IsEmpty());
    QVERIFY(!g.galaxy.Unreachable);
}

void TestRoute::suspendedGraphReachesNothing()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B"));
    g.finish();
    g.galaxy.Graph->SetSuspended(true);
    QVERIFY(!ComputeLeg(g.galaxy, g.sys("A"), g.sys("B")));
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(g.routeNames(), QStringList({ "B" }));
    QCOMPARE(PathLength(g.galaxy, g.sys("A"), g.sys("B")), -1);
}

// Plan A, C, E over A-B-C-D-E: rows from the start, RouteList destination first, the jumps
// taken marked in the direction travelled.
void TestRoute::currentRouteThroughPlan()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C-D-E"));
    g.finish();
    std::vector<TSystem*> rows;
    int refreshed = 0;
    const auto plan = g.systems(QStringLiteral("A-C-E"));
    QVERIFY(BuildCurrentRoute(g.galaxy, plan, rows, [&] { ++refreshed; }));
    QCOMPARE(Names(rows), QStringList({ "A", "B", "C", "D", "E" }));
    QCOMPARE(g.routeNames(), QStringList({ "E", "D", "C", "B", "A" }));
    QCOMPARE(OnRouteJumps(g.galaxy), QStringList({ "A>B", "B>C", "C>D", "D>E" }));
    QVERIFY(!g.galaxy.Unreachable);
    QCOMPARE(refreshed, 1);

    // Back again: the plan's order sets the direction.
    const auto back = g.systems(QStringLiteral("E-A"));
    QVERIFY(BuildCurrentRoute(g.galaxy, back, rows));
    QCOMPARE(Names(rows), QStringList({ "E", "D", "C", "B", "A" }));
    QCOMPARE(OnRouteJumps(g.galaxy), QStringList({ "B>A", "C>B", "D>C", "E>D" }));

    // Fewer than two entries compute nothing but still refresh the views.
    const auto single = g.systems(QStringLiteral("C"));
    QVERIFY(BuildCurrentRoute(g.galaxy, single, rows, [&] { ++refreshed; }));
    QVERIFY(rows.empty());
    QCOMPARE(refreshed, 2);
    QVERIFY(OnRouteJumps(g.galaxy).isEmpty());
}

void TestRoute::currentRouteClearsOldFlags()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C"));
    g.chain(QStringLiteral("C-D"));
    g.finish();
    std::vector<TSystem*> rows;
    QVERIFY(BuildCurrentRoute(g.galaxy, g.systems(QStringLiteral("A-C")), rows));
    QCOMPARE(OnRouteJumps(g.galaxy), QStringList({ "A>B", "B>C" }));
    QVERIFY(BuildCurrentRoute(g.galaxy, g.systems(QStringLiteral("C-D")), rows));
    QCOMPARE(OnRouteJumps(g.galaxy), QStringList({ "C>D" }));
    QCOMPARE(g.routeNames(), QStringList({ "D", "C" }));
}

void TestRoute::duplicatePlanEntries_data()
{
    QTest::addColumn<QString>("plan");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("jumps");

    QTest::newRow("start twice") << "A-A-C"
                                 << "A B C"
                                 << "A>B B>C";
    QTest::newRow("waypoint twice") << "A-C-C-E"
                                    << "A B C D E"
                                    << "A>B B>C C>D D>E";
    QTest::newRow("end twice") << "A-C-C"
                               << "A B C"
                               << "A>B B>C";
    QTest::newRow("leg joins itself") << "A-C-A"
                                      << "A B C B A"
                                      << "A>B B>A B>C C>B";
    QTest::newRow("only one system") << "C-C-C"
                                     << ""
                                     << "";
}

void TestRoute::duplicatePlanEntries()
{
    QFETCH(QString, plan);
    QFETCH(QString, rows);
    QFETCH(QString, jumps);
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C-D-E"));
    g.finish();
    // A route drawn before must not survive a plan that computes nothing.
    std::vector<TSystem*> produced;
    QVERIFY(BuildCurrentRoute(g.galaxy, g.systems(QStringLiteral("E-D")), produced));
    QVERIFY(!ComputeLeg(g.galaxy, g.sys("E"), g.sys("E")));
    QVERIFY(g.galaxy.Unreachable);

    bool refreshed = false;
    QVERIFY(BuildCurrentRoute(g.galaxy, g.systems(plan), produced, [&] { refreshed = true; }));
    QVERIFY(refreshed);
    QCOMPARE(Names(produced).join(' '), rows);
    QCOMPARE(OnRouteJumps(g.galaxy).join(' '), jumps);
    QStringList reversed = rows.isEmpty() ? QStringList() : rows.split(' ');
    std::reverse(reversed.begin(), reversed.end());
    QCOMPARE(g.routeNames(), reversed);
    QVERIFY(!g.galaxy.Unreachable);
}

// Plan A, C, X where X lies beyond reach: the rows of the first leg stay, RouteList holds only
// the unreached destination, Unreachable is set and the views are not refreshed.
void TestRoute::unreachableSecondLeg()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C"));
    g.chain(QStringLiteral("X-Y"));
    g.finish();
    std::vector<TSystem*> rows;
    bool refreshed = false;
    QVERIFY(
        !BuildCurrentRoute(g.galaxy, g.systems(QStringLiteral("A-C-X-Y")), rows, [&] { refreshed = true; }));
    QVERIFY(!refreshed);
    QCOMPARE(Names(rows), QStringList({ "A", "B", "C" }));
    QCOMPARE(g.routeNames(), QStringList({ "X" }));
    QVERIFY(g.galaxy.Unreachable);
    QCOMPARE(OnRouteJumps(g.galaxy), QStringList({ "A>B", "B>C" }));

    // An unreachable first leg leaves no rows at all.
    QVERIFY(!BuildCurrentRoute(g.galaxy, g.systems(QStringLiteral("X-A")), rows));
    QVERIFY(rows.empty());
    QCOMPARE(g.routeNames(), QStringList({ "A" }));
    QVERIFY(OnRouteJumps(g.galaxy).isEmpty());
}

void TestRoute::routeThrough()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C-D-E"));
    g.finish();
    TRoute plan;
    plan.Add(g.sys("A"), 0, true);
    plan.Add(g.sys("D"), 2, false);
    plan.Add(g.sys("B"), 1, true);
    TRoute result;
    result.Add(g.sys("E"), 2); // replaced
    QVERIFY(RouteThrough(g.galaxy, plan, result));
    QCOMPARE(Names(result), QStringList({ "A", "B", "C", "D", "C", "B" }));
    for (int i = 0; i < result.Count(); ++i) {
        QCOMPARE(result.Entry(i)->RouteType, quint8(2));
        QVERIFY(result.Entry(i)->Fixed);
        QCOMPARE(result.Entry(i)->System->Name, result.Systems[std::size_t(i)].Text);
    }

    TRoute one;
    one.Add(g.sys("C"), 0);
    QVERIFY(RouteThrough(g.galaxy, one, result));
    QCOMPARE(result.Count(), 0);

    // The same route as source and result.
    QVERIFY(RouteThrough(g.galaxy, plan, plan));
    QCOMPARE(Names(plan), QStringList({ "A", "B", "C", "D", "C", "B" }));
}

void TestRoute::routeThroughFailures()
{
    RouteGalaxy g;
    g.chain(QStringLiteral("A-B-C"));
    g.add(QStringLiteral("Lone"));
    g.finish();
    TRoute result;
    TRoute twice;
    twice.Add(g.sys("A"), 0);
    twice.Add(g.sys("C"), 2);
    twice.Add(g.sys("C"), 1);
    QVERIFY(!RouteThrough(g.galaxy, twice, result));
    QCOMPARE(Names(result), QStringList({ "A", "B", "C" }));

    TRoute cut;
    cut.Add(g.sys("B"), 0);
    cut.Add(g.sys("C"), 2);
    cut.Add(g.sys("Lone"), 1);
    QVERIFY(!RouteThrough(g.galaxy, cut, result));
    QCOMPARE(Names(result), QStringList({ "B", "C" }));
    QVERIFY(g.galaxy.Unreachable);
}

void TestRoute::tinyUniverseCostsHold_data()
{
    QTest::addColumn<int>("preference");
    QTest::newRow("prefer high") << 0;
    QTest::newRow("prefer low") << 1;
    QTest::newRow("shortest") << 2;
}

// On the generated universe, with some systems avoided and blocked: no arc can still improve a
// reached system, every path is as dear as its distance says, and the prices handed to the solver
// give exactly what asking the galaxy's own step cost per vertex gives, ties included.
void TestRoute::tinyUniverseCostsHold()
{
    QFETCH(int, preference);
    QString error;
    auto map = TDbConnection::Open(testsupport::fixtureDir() + "/map.db", TOpenMode::ExistingOnly, &error);
    auto custom
        = TDbConnection::Open(testsupport::fixtureDir() + "/custom.db", TOpenMode::ExistingOnly, &error);
    QVERIFY2(map && custom, qPrintable(error));
    TGalaxy galaxy { QString() };
    galaxy.MapConnection = map->Db();
    galaxy.CustomConnection = custom->Db();
    galaxy.Load();
    QVERIFY(LoadJumps(galaxy, galaxy.MapConnection, {}) > 40);
    BuildGraph(galaxy);
    galaxy.SecurityPreference = quint8(preference);
    galaxy.SystemByName("Kell")->BlockThreshold = AvoidedThreshold;
    galaxy.SystemByName("Brisk")->BlockThreshold
        = BlockedThreshold; // Fennick's only gate; left when it is the start
    galaxy.SystemByName("Noll")->BlockThreshold = 0;

    TDijkstra& graph = *galaxy.Graph;
    int reachedArcs = 0;
    for (const auto& start : galaxy.Systems) {
        QCOMPARE(ComputeLeg(galaxy, start.Object, galaxy.SystemByName("Aldera")),
            start.Object->Name != "Aldera" && start.Object->Region->Name != "Hollow Drift"
                && start.Object->Name != "Fennick");
        std::vector<double> dist;
        std::vector<int> prev;
        for (int v = 0; v < graph.VertexCount(); ++v) {
            dist.push_back(graph.DistanceOf(v));
            prev.push_back(graph.PreviousOf(v));
        }
        for (const auto& e : galaxy.Systems) {
            const TSystem* u = e.Object;
            for (const auto& jump : u->Jumps) {
                const TSystem* v = jump->Target;
                if (std::isinf(dist[std::size_t(u->VertexIndex)]) || v->BlockThreshold == BlockedThreshold)
                    continue;
                ++reachedArcs;
                QVERIFY(dist[std::size_t(v->VertexIndex)]
                    <= dist[std::size_t(u->VertexIndex)] + StepCost(galaxy, *v));
            }
            const int p = prev[std::size_t(u->VertexIndex)];
            if (p >= 0)
                QCOMPARE(dist[std::size_t(u->VertexIndex)], dist[std::size_t(p)] + StepCost(galaxy, *u));
        }
        // The solver asking the galaxy through OnStepCost agrees in every distance and predecessor.
        graph.Solve(start.Object);
        for (int v = 0; v < graph.VertexCount(); ++v) {
            QCOMPARE(graph.DistanceOf(v), dist[std::size_t(v)]);
            QCOMPARE(graph.PreviousOf(v), prev[std::size_t(v)]);
        }
    }
    QVERIFY(reachedArcs > 100);
}

QTEST_GUILESS_MAIN(TestRoute)
#include "tst_route.moc"
