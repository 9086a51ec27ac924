// The waypoint order optimiser: candidate generation, the local search over a segment, the split
// of a plan at checked entries, and the leg table measured against full routes per candidate.
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/uDijkstra.h"
#include "routing/uPermute.h"
#include "routing/uRoute.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <stdexcept>

namespace {

// Systems S0, S1, ... in one region, joined by gates both ways as a test asks.
struct Net {
    TGalaxy galaxy { QString() };
    std::vector<TSystem*> s;

    explicit Net(int count, const QString& folder = QString())
    {
        galaxy.AppFolder = folder;
        auto* region = new TRegion;
        region->ID = 10000001;
        region->Name = QStringLiteral("R");
        galaxy.Regions.Add(region->Name, region);
        auto* constellation = new TConstellation;
        constellation->ID = 20000001;
        constellation->Name = QStringLiteral("C");
        constellation->Region = region;
        galaxy.Constellations.Add(constellation->Name, constellation);
        galaxy.SystemSlots.assign(std::size_t(count) + 1, nullptr);
        for (int i = 0; i < count; ++i)
            s.push_back(galaxy.AddSystem(FirstSystemID + i, QStringLiteral("S%1").arg(i), 0, 0, 0, region->ID,
                constellation->ID, 1.0, -1, 1.0));
    }
    void link(int a, int b)
    {
        for (auto [from, to] : { std::pair { a, b }, std::pair { b, a } }) {
            auto jump = std::make_unique<TJump>();
            jump->Target = s[std::size_t(to)];
            s[std::size_t(from)]->Jumps.push_back(std::move(jump));
        }
    }
    // A line a-(a+1)-...-b.
    void line(int a, int b)
    {
        for (int i = a; i < b; ++i)
            link(i, i + 1);
    }
    void finish()
    {
        BuildRouteGraph(galaxy, {});
        galaxy.Graph->SetSuspended(false);
    }
    // A route of the listed systems; "f" after an index checks the entry, e.g. "0f 3 2 5f".
    TRoute plan(const QString& spec) const
    {
        TRoute route;
        for (const QString& token : spec.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const bool fixed = token.endsWith(QLatin1Char('f'));
            const int index = (fixed ? token.chopped(1) : token).toInt();
            route.Add(s[std::size_t(index)], 2, fixed);
        }
        return route;
    }
};

// S0 - S1 - ... - S(count-1), ready to route.
struct LineNet : Net {
    explicit LineNet(int count)
        : Net(count)
    {
        line(0, count - 1);
        finish();
    }
};

QString Order(const TRoute& route)
{
    QStringList parts;
    for (const TRoute::Line& line : route.Systems)
        parts << line.Entry->System->Name.mid(1) + (line.Entry->Fixed ? QStringLiteral("f") : QString());
    return parts.join(QLatin1Char(' '));
}

// The smallest full-route length over every order of the entries between the first and the last.
qint32 BruteForceBest(TGalaxy& galaxy, const TRoute& plan)
{
    std::vector<int> middle;
    for (int i = 1; i + 1 < plan.Count(); ++i)
        middle.push_back(i);
    qint32 best = MaxInt;
    do {
        TRoute candidate;
        candidate.Systems.push_back(plan.Systems.front());
        for (int i : middle)
            candidate.Systems.push_back(plan.Systems[std::size_t(i)]);
        candidate.Systems.push_back(plan.Systems.back());
        const qint32 length = FullRouteLength(galaxy, candidate);
        if (length >= 0)
            best = std::min(best, length);
    } while (std::next_permutation(middle.begin(), middle.end()));
    return best;
}

} // namespace

class TestPermute : public QObject {
    Q_OBJECT

private slots:
    void candidatesInMoveOrder();
    void otherModesProduceNothing();
    void logWrittenOnlyWhenSwitchedOn();
    void laterWaypointFirstWhenShorter_data();
    void laterWaypointFirstWhenShorter();
    void unchangedShortestOrderRunsTwoPasses();
    void shortPlansStayAsTheyAre();
    void checkedWaypointSplitsThePlan();
    void noCheckedEntryFreesBothEnds();
    void freeLastPlaceAfterLastCheckedEntry();
    void findsBruteForceOptimumOnGrid();
    void unreachableCandidatesKeepTheOrder();
    void duplicateEntriesAreKept();
    void legTableSolvesOncePerSource();
    void legTableEqualsFullRoutesOnRandomPlans();
    void routingChangesDuringRunReachRemainingCandidates();
    void errorKeepsEveryEntry();
    void statusTexts_data();
    void statusTexts();
};

void TestPermute::candidatesInMoveOrder()
{
    Net net(3);
    TPermuter permuter;
    QCOMPARE(permuter.Restart(0, net.plan("0 1 2")), 9);
    const QStringList expected { "0 1 2", "1 0 2", "1 2 0", "1 0 2", "0 1 2", "0 2 1", "2 0 1", "0 2 1",
        "0 1 2" };
    TRoute candidate;
    QStringList produced;
    while (permuter.Next(candidate))
        produced << Order(candidate);
    QCOMPARE(produced, expected);
    QCOMPARE(permuter.StepCount, 9);
    // Exhausted: the caller still receives the last candidate.
    QCOMPARE(Order(candidate), QStringLiteral("0 1 2"));
    QVERIFY(!permuter.Next(candidate));
    QCOMPARE(permuter.StepCount, 9);

    QCOMPARE(permuter.Restart(0, net.plan("2 1")), 4);
    QCOMPARE(permuter.StepCount, 0);
    QVERIFY(permuter.Next(candidate));
    QCOMPARE(Order(candidate), QStringLiteral("2 1"));
}

void TestPermute::otherModesProduceNothing()
{
    Net net(3);
    TPermuter permuter;
    QCOMPARE(permuter.Restart(1, net.plan("0 1 2")), 0);
    TRoute candidate;
    QVERIFY(!permuter.Next(candidate));
    QCOMPARE(permuter.StepCount, 0);
    QCOMPARE(candidate.Count(), 0);
}

void TestPermute::logWrittenOnlyWhenSwitchedOn()
{
    QTemporaryDir dir;
    Net net(4, dir.path());
    net.line(0, 3);
    net.finish();
    TRoute plan = net.plan("0f 2 1 3f");
    QVERIFY(OptimiseOrder(net.galaxy, plan));
    QVERIFY(!QFile::exists(dir.filePath("permute.log")));

    TPermuter permuter(dir.path());
    QCOMPARE(permuter.LogFileName, QDir(dir.path()).filePath("permute.log"));
    permuter.Logging = true;
    permuter.Restart(0, net.plan("1 2"));
    TRoute candidate;
    while (permuter.Next(candidate)) { }
    QFile log(permuter.LogFileName);
    QVERIFY(log.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4 * 3);
    QCOMPARE(lines[0], QStringLiteral("*******  step 1 ********"));
    QCOMPARE(lines[1], QStringLiteral("0 S1"));
    QCOMPARE(lines[3], QStringLiteral("*******  step 2 ********"));
    QCOMPARE(lines[4], QStringLiteral("0 S2"));
}

void TestPermute::laterWaypointFirstWhenShorter_data()
{
    QTest::addColumn<TOptimiseMethod>("method");
    QTest::newRow("leg table") << TOptimiseMethod::LegTable;
    QTest::newRow("full routes") << TOptimiseMethod::FullRoutes;
}

void TestPermute::laterWaypointFirstWhenShorter()
{
    QFETCH(TOptimiseMethod, method);
    // S0 - S1 - S2 - S3 - S4 - S5: visiting 4 before 2 on the way to 5 goes back and forth.
    LineNet net(6);
    QList<int> progress;
    net.galaxy.OnOptimiseProgress = [&progress](int jumps) { progress << jumps; };
    TOptimiseOptions options;
    options.Method = method;
    const TRoute result = OptimisePlan(net.galaxy, net.plan("0f 4 2 5f"), options);
    QCOMPARE(Order(result), QStringLiteral("0f 2 4 5f"));
    // The unchanged order first (4 + 2 + 3 jumps), then the better one.
    QCOMPARE(progress, (QList<int> { 9, 5 }));
}

void TestPermute::unchangedShortestOrderRunsTwoPasses()
{
    LineNet net(6);
    TOptimiseStats stats;
    TOptimiseOptions options;
    options.Stats = &stats;
    TRoute segment = net.plan("0f 1 2 3 4 5f");
    QVERIFY(OptimiseOrder(net.galaxy, segment, options));
    QCOMPARE(Order(segment), QStringLiteral("0f 1 2 3 4 5f"));
    QCOMPARE(stats.Passes, 2);
    QCOMPARE(stats.Candidates, 2 * 4 * 4);
    QCOMPARE(stats.Improvements, 1);
}

void TestPermute::shortPlansStayAsTheyAre()
{
    LineNet net(4);
    int calls = 0;
    net.galaxy.OnOptimiseProgress = [&calls](int) { ++calls; };

    TRoute one = net.plan("2");
    QVERIFY(!OptimiseOrder(net.galaxy, one));
    QCOMPARE(Order(one), QStringLiteral("2"));

    TRoute two = net.plan("3f 0f");
    QVERIFY(OptimiseOrder(net.galaxy, two));
    QCOMPARE(Order(two), QStringLiteral("3f 0f"));

    // One free entry between the anchors leaves nothing to reorder.
    TRoute three = net.plan("0f 3 1f");
    QVERIFY(OptimiseOrder(net.galaxy, three));
    QCOMPARE(Order(three), QStringLiteral("0f 3 1f"));
    QCOMPARE(Order(OptimisePlan(net.galaxy, net.plan("0f 3 1f"))), QStringLiteral("0f 3 1f"));
    QCOMPARE(Order(OptimisePlan(net.galaxy, net.plan("3f 0f"))), QStringLiteral("3f 0f"));
    QCOMPARE(calls, 0);
}

void TestPermute::checkedWaypointSplitsThePlan()
{
    // A line 0..8 with the checked 4 in the middle: 6 and 2 may not cross it, so each side
    // is ordered on its own.
    LineNet net(9);
    const TRoute result = OptimisePlan(net.galaxy, net.plan("0f 6 3 4f 2 7 8f"));
    QCOMPARE(Order(result), QStringLiteral("0f 3 6 4f 2 7 8f"));
}

void TestPermute::noCheckedEntryFreesBothEnds()
{
    LineNet net(5);
    const TRoute result = OptimisePlan(net.galaxy, net.plan("2 4 0 3 1"));
    // Any monotone order of the line has 4 jumps; the first found is kept.
    QCOMPARE(FullRouteLength(net.galaxy, result), 5);
    QCOMPARE(result.Count(), 5);
}

void TestPermute::freeLastPlaceAfterLastCheckedEntry()
{
    LineNet net(5);
    QCOMPARE(Order(OptimisePlan(net.galaxy, net.plan("0f 4 2 1 3"))), QStringLiteral("0f 1 2 3 4"));
    // Unchecked entries before the first checked one have a free first place.
    QCOMPARE(Order(OptimisePlan(net.galaxy, net.plan("3 1 4f"))), QStringLiteral("1 3 4f"));
}

void TestPermute::findsBruteForceOptimumOnGrid()
{
    // A 4 x 4 grid; the start and the end are checked corners, the waypoints scattered.
    Net net(16);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            if (c < 3)
                net.link(r * 4 + c, r * 4 + c + 1);
            if (r < 3)
                net.link(r * 4 + c, (r + 1) * 4 + c);
        }
    net.finish();
    const TRoute plan = net.plan("0f 15 3 10 12 5 15f");
    const qint32 best = BruteForceBest(net.galaxy, plan);
    const TRoute result = OptimisePlan(net.galaxy, plan);
    QCOMPARE(FullRouteLength(net.galaxy, result), best);
    QVERIFY(best < FullRouteLength(net.galaxy, plan));
}

void TestPermute::unreachableCandidatesKeepTheOrder()
{
    // 5 lies apart: every order with it has a failing leg.
    Net net(6);
    net.line(0, 4);
    net.finish();
    int calls = 0;
    net.galaxy.OnOptimiseProgress = [&calls](int) { ++calls; };
    TOptimiseStats stats;
    TOptimiseOptions options;
    options.Stats = &stats;
    TRoute segment = net.plan("0f 3 5 1 4f");
    QVERIFY(OptimiseOrder(net.galaxy, segment, options));
    QCOMPARE(Order(segment), QStringLiteral("0f 3 5 1 4f"));
    QCOMPARE(calls, 0);
    QCOMPARE(stats.Passes, 1);
}

void TestPermute::duplicateEntriesAreKept()
{
    LineNet net(5);
    // The same system planned twice in a row, free or checked, stays twice.
    QCOMPARE(Order(OptimisePlan(net.galaxy, net.plan("0f 2 2 4f"))), QStringLiteral("0f 2 2 4f"));
    QCOMPARE(Order(OptimisePlan(net.galaxy, net.plan("0f 0f 4f"))), QStringLiteral("0f 0f 4f"));
    // Apart, a repeated system is ordered like any other, never next to itself.
    const TRoute result = OptimisePlan(net.galaxy, net.plan("0f 3 1 2 3 4f"));
    QCOMPARE(result.Count(), 6);
    QCOMPARE(FullRouteLength(net.galaxy, result), 7);
}

void TestPermute::legTableSolvesOncePerSource()
{
    LineNet net(10);
    TOptimiseStats stats;
    TOptimiseOptions options;
    options.Stats = &stats;
    OptimisePlan(net.galaxy, net.plan("0f 7 2 9 4 5f 8 1 9f"), options);
    QVERIFY(stats.Candidates > 50);
    QVERIFY(stats.Solves > 0);
    QVERIFY(stats.Solves <= 8); // distinct systems of the plan
}

void TestPermute::legTableEqualsFullRoutesOnRandomPlans()
{
    QRandomGenerator random(20240607);
    for (int trial = 0; trial < 120; ++trial) {
        // Two components joined by random gates inside each; random securities and exclusions.
        const int count = 30;
        Net net(count);
        for (int i = 0; i < count; ++i) {
            net.s[std::size_t(i)]->Security = random.bounded(11) / 10.0;
            const int kind = random.bounded(12);
            net.s[std::size_t(i)]->BlockThreshold = kind == 0 ? AvoidedThreshold
                : kind == 1                                   ? BlockedThreshold
                                                              : 1;
        }
        const int split = 24;
        for (int i = 1; i < split; ++i)
            net.link(i, int(random.bounded(i)));
        for (int i = split + 1; i < count; ++i)
            net.link(i, split + int(random.bounded(i - split)));
        for (int k = 0; k < 12; ++k)
            net.link(int(random.bounded(split)), int(random.bounded(split)));
        net.finish();
        net.galaxy.SecurityPreference = quint8(random.bounded(3));

        TRoute plan;
        const int size = 2 + int(random.bounded(6));
        for (int i = 0; i < size; ++i)
            plan.Add(net.s[std::size_t(random.bounded(count))], 2, random.bounded(3) == 0);

        QList<int> progressTable, progressFull;
        TOptimiseOptions options;
        net.galaxy.OnOptimiseProgress = [&progressTable](int jumps) { progressTable << jumps; };
        const QString byTable = Order(OptimisePlan(net.galaxy, plan, options));
        options.Method = TOptimiseMethod::FullRoutes;
        net.galaxy.OnOptimiseProgress = [&progressFull](int jumps) { progressFull << jumps; };
        const QString byFull = Order(OptimisePlan(net.galaxy, plan, options));
        const QByteArray where = QStringLiteral("trial %1, plan %2").arg(trial).arg(Order(plan)).toUtf8();
        QVERIFY2(byTable == byFull, where.constData());
        QVERIFY2(progressTable == progressFull, where.constData());
    }
}

void TestPermute::routingChangesDuringRunReachRemainingCandidates()
{
    // 0-1-2-3 low security in a ring with 4-5-6 high security; the preference turns to prefer high
    // part-way through, so later candidates are measured with other legs.
    const auto run = [](TOptimiseMethod method) {
        Net net(7);
        for (int i = 0; i < 7; ++i)
            net.s[std::size_t(i)]->Security = i < 4 ? 0.1 : 0.9;
        net.line(0, 6);
        net.link(6, 0);
        net.link(1, 5);
        net.finish();
        int calls = 0;
        TOptimiseOptions options;
        options.Method = method;
        options.ProcessEvents = [&] {
            if (++calls == 7) {
                net.galaxy.SecurityPreference = PreferHigh;
                net.s[4]->BlockThreshold = BlockedThreshold;
            }
        };
        QList<int> progress;
        net.galaxy.OnOptimiseProgress = [&progress](int jumps) { progress << jumps; };
        const QString order = Order(OptimisePlan(net.galaxy, net.plan("0f 3 5 2 6 1f"), options));
        return order + QStringLiteral(" / ") + QString::number(progress.size());
    };
    QCOMPARE(run(TOptimiseMethod::LegTable), run(TOptimiseMethod::FullRoutes));
}

void TestPermute::errorKeepsEveryEntry()
{
    LineNet net(6);
    int calls = 0;
    QStringList errors;
    TOptimiseOptions options;
    options.ProcessEvents = [&calls] {
        if (++calls == 3)
            throw std::runtime_error("interrupted");
    };
    options.OnError = [&errors](const QString& text) { errors << text; };
    TRoute segment = net.plan("0f 4 2 3 5f");
    QVERIFY(OptimiseOrder(net.galaxy, segment, options));
    QCOMPARE(errors, QStringList { QStringLiteral("p:1 s:3 t:0 idx:1") });
    QCOMPARE(segment.Count(), 5);
    QCOMPARE(segment.Systems.front().Entry->System, net.s[0]);
    QCOMPARE(segment.Systems.back().Entry->System, net.s[5]);
    QStringList middle = Order(segment).split(QLatin1Char(' ')).mid(1, 3);
    middle.sort();
    QCOMPARE(middle, (QStringList { "2", "3", "4" }));
}

void TestPermute::statusTexts_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << qint64(0) << QStringLiteral("优化航线使用了00.000秒");
    QTest::newRow("seconds") << qint64(5123) << QStringLiteral("优化航线使用了05.123秒");
    QTest::newRow("over a minute") << qint64(65007) << QStringLiteral("优化航线使用了65.007秒");
}

void TestPermute::statusTexts()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(OptimiseTimeText(ms), text);
    QCOMPARE(OptimisingText(), QStringLiteral("optimizing.."));
    QCOMPARE(OptimiseProgressText(12), QStringLiteral("optimizing, current best: 12"));
}

QTEST_GUILESS_MAIN(TestPermute)
#include "tst_permute.moc"
