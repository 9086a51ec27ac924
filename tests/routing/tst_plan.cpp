// The planner's rules without its window: plan operations, the plan as a route and back, the
// route list's security text, the exclusion list and the saved routes' rows.
#include "planfixture.h"
#include "routing/uPlan.h"
#include "routing/uRoute.h"

#include <QTest>

namespace {

// Free-standing systems A, B, ... for the plan operations.
struct Systems {
    std::vector<std::unique_ptr<TSystem>> list;
    explicit Systems(int count)
    {
        for (int i = 0; i < count; ++i) {
            list.push_back(std::make_unique<TSystem>(nullptr));
            list.back()->Name = QString(QChar(u'A' + i));
            list.back()->ID = FirstSystemID + i;
        }
    }
    TSystem* operator[](int i) const { return list[std::size_t(i)].get(); }
};

// "A B* C": names, a star for a checked entry.
QString Describe(const TPlan& plan)
{
    QStringList parts;
    for (const TPlanEntry& e : plan.Entries())
        parts << e.System->Name + (e.Fixed ? QStringLiteral("*") : QString());
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestPlan : public QObject {
    Q_OBJECT

private slots:
    void setStartAddWaypointSetEnd();
    void addWaypointToShortPlansAppends();
    void removeAndFixed();
    void move_data();
    void move();
    void routeTypes_data();
    void routeTypes();
    void buildPlanRoute();
    void planEntriesOfRoute();
    void securityText_data();
    void securityText();
    void exclusionTypes_data();
    void exclusionTypes();
    void exclusionListReadsThresholdsAndReasons();
    void savingAnExclusionInsertsThenUpdates();
    void deletingAnExclusion();
    void savedRouteRows();
};

void TestPlan::setStartAddWaypointSetEnd()
{
    Systems s(6);
    TPlan plan;
    plan.AddWaypoint(s[0]);
    plan.AddWaypoint(s[1]);
    QCOMPARE(Describe(plan), QStringLiteral("A B"));
    plan.SetStart(s[2]);
    QCOMPARE(Describe(plan), QStringLiteral("C* A B"));
    plan.AddWaypoint(s[3]);
    QCOMPARE(Describe(plan), QStringLiteral("C* A D B"));
    // A second destination: the old one keeps its mark but is a waypoint by position.
    plan.SetEnd(s[4]);
    plan.SetEnd(s[5]);
    QCOMPARE(Describe(plan), QStringLiteral("C* A D B E* F*"));
    QCOMPARE(plan.Systems(), (std::vector<TSystem*> { s[2], s[0], s[3], s[1], s[4], s[5] }));
}

void TestPlan::addWaypointToShortPlansAppends()
{
    Systems s(3);
    TPlan plan;
    plan.SetStart(s[0]);
    plan.AddWaypoint(s[1]);
    QCOMPARE(Describe(plan), QStringLiteral("A* B"));
    plan.AddWaypoint(s[2]);
    QCOMPARE(Describe(plan), QStringLiteral("A* C B"));
}

void TestPlan::removeAndFixed()
{
    Systems s(3);
    TPlan plan;
    plan.SetStart(s[0]);
    plan.SetEnd(s[1]);
    QVERIFY(!plan.Remove(2));
    QVERIFY(!plan.Remove(-1));
    QVERIFY(plan.Remove(1));
    QCOMPARE(Describe(plan), QStringLiteral("A*"));
    QVERIFY(plan.SetFixed(0, false));
    QVERIFY(!plan.SetFixed(1, true));
    QCOMPARE(Describe(plan), QStringLiteral("A"));
    plan.Clear();
    QCOMPARE(plan.Count(), 0);
}

void TestPlan::move_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("down onto the last") << 0 << 3 << "B C* D A*";
    QTest::newRow("up onto the first") << 3 << 0 << "D A* B C*";
    QTest::newRow("one down") << 1 << 2 << "A* C* B D";
    QTest::newRow("onto itself") << 2 << 2 << "A* B C* D";
    QTest::newRow("below the last") << 1 << 4 << "A* B C* D";
    QTest::newRow("nothing dragged") << -1 << 2 << "A* B C* D";
}

void TestPlan::move()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, expected);
    Systems s(4);
    TPlan plan;
    plan.SetEnd(s[0]);
    plan.AddWaypoint(s[1]);
    plan.SetEnd(s[2]);
    plan.AddWaypoint(s[3]);
    plan.Move(plan.Count() - 1, plan.Count() - 1);
    QCOMPARE(Describe(plan), QStringLiteral("A* B D C*"));
    plan.Move(2, 3);
    QCOMPARE(Describe(plan), QStringLiteral("A* B C* D"));
    const bool moved = plan.Move(from, to);
    QCOMPARE(moved, from >= 0 && to < 4);
    QCOMPARE(Describe(plan), expected);
}

void TestPlan::routeTypes_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("types");
    QTest::newRow("one") << 1 << QList<int> { 0 };
    QTest::newRow("two") << 2 << QList<int> { 0, 1 };
    QTest::newRow("four") << 4 << QList<int> { 0, 2, 2, 1 };
}

void TestPlan::routeTypes()
{
    QFETCH(int, count);
    QFETCH(QList<int>, types);
    QList<int> actual;
    for (int i = 0; i < count; ++i)
        actual << PlanRouteType(i, count);
    QCOMPARE(actual, types);
}

void TestPlan::buildPlanRoute()
{
    Systems s(3);
    TPlan plan;
    plan.SetStart(s[0]);
    plan.SetEnd(s[2]);
    plan.AddWaypoint(s[1]);
    plan.SetFixed(0, false);
    plan.SetFixed(1, true);
    const std::unique_ptr<TRoute> route = BuildPlanRoute(plan);
    QCOMPARE(route->ID, -1);
    QCOMPARE(route->EntityID, 0);
    QVERIFY(route->Name.isEmpty());
    QCOMPARE(route->Count(), 3);
    const struct {
        const char* text;
        int type;
        bool fixed;
    } expected[] = { { "A", 0, false }, { "B", 2, true }, { "C", 1, true } };
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(route->Systems[std::size_t(i)].Text, QString::fromLatin1(expected[i].text));
        QCOMPARE(route->Entry(i)->System, s[i]);
        QCOMPARE(int(route->Entry(i)->RouteType), expected[i].type);
        QCOMPARE(route->Entry(i)->Fixed, expected[i].fixed);
    }

    TPlan one;
    one.SetEnd(s[1]);
    QCOMPARE(int(BuildPlanRoute(one)->Entry(0)->RouteType), 0);
    QCOMPARE(BuildPlanRoute(TPlan())->Count(), 0);
}

void TestPlan::planEntriesOfRoute()
{
    Systems s(3);
    TRoute route;
    route.Add(s[2], 0, true);
    route.Add(s[0], 2, false);
    route.Add(QStringLiteral("gone"), std::make_shared<TRouteSystem>(nullptr, 2));
    route.Add(s[1], 1, true);
    const std::vector<TPlanEntry> expected { { s[2], true }, { s[0], false }, { s[1], true } };
    QCOMPARE(PlanEntriesOf(route), expected);
}

void TestPlan::securityText_data()
{
    QTest::addColumn<double>("security");
    QTest::addColumn<QString>("text");
    QTest::newRow("one") << 1.0 << "1.0";
    QTest::newRow("band edge") << 0.45 << "0.5";
    QTest::newRow("below edge") << 0.44 << "0.4";
    QTest::newRow("tiny negative") << -0.04 << "0.0";
    QTest::newRow("negative") << -0.35 << "-0.3";
}

void TestPlan::securityText()
{
    QFETCH(double, security);
    QFETCH(QString, text);
    QCOMPARE(SecurityText(security), text);
}

void TestPlan::exclusionTypes_data()
{
    QTest::addColumn<int>("threshold");
    QTest::addColumn<QString>("text");
    QTest::newRow("blocked") << BlockedThreshold << "block";
    QTest::newRow("avoided") << AvoidedThreshold << "avoid";
    QTest::newRow("other") << 5 << "avoid";
}

void TestPlan::exclusionTypes()
{
    QFETCH(int, threshold);
    QFETCH(QString, text);
    QCOMPARE(ExclusionTypeText(threshold), text);
    QCOMPARE(ThresholdOf(ExclusionTypeOf(text)),
        text == QLatin1String("block") ? BlockedThreshold : AvoidedThreshold);
    QCOMPARE(ExclusionTypeOf(QStringLiteral("anything")), TExclusionType::Block);
}

void TestPlan::exclusionListReadsThresholdsAndReasons()
{
    TinyUniverse u;
    QVERIFY2(u.ok(), qPrintable(u.error));
    QVERIFY(u.query("delete from systemBlocks") != QLatin1String("error"));
    // Rows in another order than the system list; one for a system the map lacks.
    u.query("insert into systemBlocks (systemID, tresHold, description) values (30000010, 2147483647, "
            "'pirates')");
    u.query("insert into systemBlocks (systemID, tresHold, description) values (30000002, 10, 'slow')");
    u.query("insert into systemBlocks (systemID, tresHold, description) values (30000014, 10, 'gone')");
    u.query("insert into systemBlocks (systemID, tresHold, description) values (30000003, 1, 'normal')");
    u.sys("Lumen")->BlockThreshold = BlockedThreshold; // stale: the read starts from 1 again

    const std::vector<TExclusion> list = ReadExclusions(u.g());
    QCOMPARE(int(list.size()), 2);
    QCOMPARE(list[0].System, u.sys("Brisk"));
    QCOMPARE(list[0].Type, QStringLiteral("avoid"));
    QCOMPARE(list[0].Reason, QStringLiteral("slow"));
    QCOMPARE(list[1].System, u.sys("Hestra"));
    QCOMPARE(list[1].Type, QStringLiteral("block"));
    QCOMPARE(list[1].Reason, QStringLiteral("pirates"));
    QCOMPARE(u.sys("Lumen")->BlockThreshold, 1);
    QCOMPARE(u.sys("Hestra")->BlockThreshold, BlockedThreshold);

    const TExclusionPreset hestra = ExclusionPreset(list, u.sys("Hestra"));
    QCOMPARE(hestra.Type, TExclusionType::Block);
    QCOMPARE(hestra.Reason, QStringLiteral("pirates"));
    const TExclusionPreset aldera = ExclusionPreset(list, u.sys("Aldera"));
    QCOMPARE(aldera.Type, TExclusionType::Avoid);
    QVERIFY(aldera.Reason.isEmpty());
}

void TestPlan::savingAnExclusionInsertsThenUpdates()
{
    TinyUniverse u;
    QVERIFY2(u.ok(), qPrintable(u.error));
    u.query("delete from systemBlocks");
    TSystem* kell = u.sys("Kell");
    SaveExclusion(u.g(), *kell, AvoidedThreshold, QStringLiteral("the \"old\" gate"));
    QCOMPARE(u.query("select systemID, tresHold, description from systemBlocks"),
        QStringLiteral("30000013,10,the 'old' gate"));
    SaveExclusion(u.g(), *kell, BlockedThreshold, QString());
    QCOMPARE(u.query("select systemID, tresHold, description from systemBlocks"),
        QStringLiteral("30000013,2147483647,"));
    // The model follows at the next read.
    QCOMPARE(kell->BlockThreshold, 1);
    ReadExclusions(u.g());
    QCOMPARE(kell->BlockThreshold, BlockedThreshold);
}

void TestPlan::deletingAnExclusion()
{
    TinyUniverse u;
    QVERIFY2(u.ok(), qPrintable(u.error));
    u.query("delete from systemBlocks");
    SaveExclusion(u.g(), *u.sys("Kell"), AvoidedThreshold, QStringLiteral("a"));
    SaveExclusion(u.g(), *u.sys("Ivel"), AvoidedThreshold, QStringLiteral("b"));
    DeleteExclusion(u.g(), *u.sys("Kell"));
    DeleteExclusion(u.g(), *u.sys("Aldera")); // no row: nothing happens
    QCOMPARE(u.query("select systemID from systemBlocks"), QStringLiteral("30000011"));
}

void TestPlan::savedRouteRows()
{
    Systems s(3);
    TRoute route;
    route.Name = QStringLiteral("trip");
    route.Add(s[0], 0);
    route.Add(s[1], 2);
    route.Add(s[2], 1);
    TSavedRouteRow row = SavedRouteRow(route);
    QCOMPARE(row.Description, QStringLiteral("trip"));
    QCOMPARE(row.Start, QStringLiteral("A"));
    QCOMPARE(row.End, QStringLiteral("C"));

    TRoute single;
    single.Add(s[1], 0);
    row = SavedRouteRow(single);
    QCOMPARE(row.Start, QStringLiteral("B"));
    QCOMPARE(row.End, QStringLiteral("none"));
    QCOMPARE(SavedRouteRow(TRoute()).Start, QStringLiteral("none"));
}

QTEST_GUILESS_MAIN(TestPlan)
#include "tst_plan.moc"
