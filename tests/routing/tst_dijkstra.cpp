// The graph and its solver: entering costs, passability, ties, failures, and random graphs
// checked against a plain reference and against the literal relaxation order.
#include "routing/heap.h"
#include "routing/uDijkstra.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>
#include <queue>
#include <set>

namespace {

constexpr double Inf = std::numeric_limits<double>::infinity();

// A graph whose payloads are the vertex numbers and whose entering costs sit in a table.
struct TestGraph {
    std::vector<int> payload;
    std::vector<int32_t> cost;
    std::vector<std::pair<int, int>> arcs;
    TDijkstra graph;
    std::vector<int> asked; // payloads OnStepCost was asked about

    explicit TestGraph(int n, int32_t defaultCost = 1)
        : payload(std::size_t(n))
        , cost(std::size_t(n), defaultCost)
    {
        for (int i = 0; i < n; ++i) {
            payload[std::size_t(i)] = i;
            auto v = std::make_unique<TWeightedVertex>();
            v->SetData(&payload[std::size_t(i)]);
            v->SetName(QStringLiteral("V%1").arg(i));
            graph.AddVertex(std::move(v));
        }
        graph.SetOnStepCost([this](void* data) {
            const int i = *static_cast<int*>(data);
            asked.push_back(i);
            return cost[std::size_t(i)];
        });
    }

    void link(int from, int to)
    {
        graph.GetVertex(from)->AddWeightedNeighbour(graph.GetVertex(to), 1.0f);
        arcs.emplace_back(from, to);
    }
    void* data(int i) { return &payload[std::size_t(i)]; }
    TCustomVertex* vertex(int i) const { return graph.GetVertex(i); }
    void block(int i) { vertex(i)->SetPassable(false); }
    void solve(int start) { graph.Solve(data(start)); }
};

// A random graph with repeated costs, so equal-cost paths abound, and a few blocked vertices.
void fillRandom(TestGraph& g, quint32 seed, int arcs)
{
    QRandomGenerator random(seed);
    const int n = g.graph.VertexCount();
    static const int32_t costs[] = { 1, 1, 1, 5, 10, 0 };
    for (int i = 0; i < n; ++i) {
        g.cost[std::size_t(i)] = costs[random.bounded(6)];
        if (i > 0 && random.bounded(20) == 0)
            g.block(i);
    }
    // A random tree from vertex 0 first, so most of the graph is reachable from there.
    for (int i = 1; i < n; ++i)
        g.link(int(random.bounded(i)), i);
    for (int k = 0; k < arcs; ++k)
        g.link(int(random.bounded(n)), int(random.bounded(n)));
}

// Textbook Dijkstra with a priority queue, for the distances only.
std::vector<double> referenceDistances(const TestGraph& g, int start)
{
    const std::size_t n = g.payload.size();
    std::vector<std::vector<int>> out(n);
    for (auto [from, to] : g.arcs)
        out[std::size_t(from)].push_back(to);
    std::vector<double> dist(n, Inf);
    using Entry = std::pair<double, int>;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> queue;
    dist[std::size_t(start)] = 0;
    queue.push({ 0, start });
    while (!queue.empty()) {
        const auto [d, v] = queue.top();
        queue.pop();
        if (d > dist[std::size_t(v)])
            continue;
        for (int n2 : out[std::size_t(v)]) {
            if (!g.vertex(n2)->Passable())
                continue;
            const double c = d + g.cost[std::size_t(n2)];
            if (c < dist[std::size_t(n2)]) {
                dist[std::size_t(n2)] = c;
                queue.push({ c, n2 });
            }
        }
    }
    return dist;
}

// The relaxation spelt out over the vertex objects: a vertex is pushed on every strict
// improvement, the heap reads the live distances, a vertex popped again is expanded again.
struct LiteralNode {
    float dist;
    int prev;
    int index;
};

int32_t compareLiteral(void* a, void* b)
{
    const float da = static_cast<LiteralNode*>(a)->dist;
    const float db = static_cast<LiteralNode*>(b)->dist;
    return da < db ? -1 : (da > db ? 1 : 0);
}

std::vector<int> literalPredecessors(const TestGraph& g, int start)
{
    std::vector<LiteralNode> nodes;
    for (int i = 0; i < g.graph.VertexCount(); ++i)
        nodes.push_back({ std::numeric_limits<float>::infinity(), -1, i });
    THeap heap;
    heap.SetOrder(1);
    heap.SetCompare(compareLiteral);
    nodes[std::size_t(start)].dist = 0;
    heap.Push(&nodes[std::size_t(start)]);
    while (!heap.IsEmpty()) {
        auto* v = static_cast<LiteralNode*>(heap.Pop());
        const TCustomVertex* vertex = g.vertex(v->index);
        for (int i = 0; i < vertex->NeighbourCount(); ++i) {
            const TCustomVertex* n = vertex->GetNeighbour(i);
            if (!n->Passable())
                continue;
            LiteralNode& node = nodes[std::size_t(n->Index())];
            const double candidate = double(v->dist) + g.cost[std::size_t(n->Index())];
            if (candidate < node.dist) {
                node.dist = float(candidate);
                node.prev = v->index;
                heap.Push(&node);
            }
        }
    }
    std::vector<int> prev;
    for (const LiteralNode& node : nodes)
        prev.push_back(node.prev);
    return prev;
}

struct Snapshot {
    std::vector<double> dist;
    std::vector<int> prev;
    bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const TDijkstra& graph)
{
    Snapshot s;
    for (int i = 0; i < graph.VertexCount(); ++i) {
        s.dist.push_back(graph.DistanceOf(i));
        s.prev.push_back(graph.PreviousOf(i));
    }
    return s;
}

bool allUnreached(const TDijkstra& graph)
{
    for (int i = 0; i < graph.VertexCount(); ++i) {
        const TCustomVertex* v = graph.GetVertex(i);
        if (v->Previous() || !std::isinf(v->Distance()) || graph.PreviousOf(i) != -1)
            return false;
    }
    return true;
}

} // namespace

class TestDijkstra : public QObject {
    Q_OBJECT

private slots:
    void freshObjects();
    void indexesAndLookups();
    void unassignedVertexRaises();
    void neighbourGrowth_data();
    void neighbourGrowth();
    void weightedCostNeedsOnCost();
    void pathCostCountsEveryEnteredVertexButTheStart();
    void equalCostTieFollowsHeapOrder();
    void laterEqualPathDoesNotReplace();
    void largeCostsAddUpExactly();
    void impassableVertexIsNeverEntered();
    void impassableStartIsStillExpanded();
    void unreachableTarget();
    void suspendedSolveTouchesNothing();
    void missingStartResetsEveryVertex();
    void missingStepCostRaisesBeforeRelaxing();
    void blockedVerticesAreNeverPriced();
    void negativeCostsCannotLoop();
    void linksAddedAfterASolveAreSeen();
    void randomGraphs_data();
    void randomGraphs();
    void repeatedSolvesAgree();
    void handedInCostsAgree();
};

void TestDijkstra::freshObjects()
{
    TWeightedVertex v;
    QVERIFY(v.Data() == nullptr);
    QVERIFY(v.Previous() == nullptr);
    QVERIFY(std::isinf(v.Distance()) && v.Distance() > 0);
    QVERIFY(v.Passable());
    QCOMPARE(v.NeighbourCount(), 0);
    QCOMPARE(v.Neighbours().size(), std::size_t(8));
    QCOMPARE(v.Weights().size(), std::size_t(8));
    QCOMPARE(v.Index(), -1);

    TDijkstra graph;
    QCOMPARE(graph.VertexCount(), 0);
    QVERIFY(!graph.Suspended());
    QVERIFY(!graph.OnStepCost());
    QVERIFY(graph.GetVertex(0) == nullptr);
}

void TestDijkstra::indexesAndLookups()
{
    TestGraph g(300); // past the first 256 slots
    for (int i = 0; i < 300; ++i) {
        QCOMPARE(g.vertex(i)->Index(), i);
        QCOMPARE(g.vertex(i)->Owner(), &g.graph);
        QCOMPARE(g.graph.IndexOfData(g.data(i)), i);
    }
    QVERIFY(g.graph.GetVertex(300) == nullptr);
    QVERIFY(g.graph.GetVertex(-1) == nullptr);
    int other = 0;
    QCOMPARE(g.graph.IndexOfData(&other), -1);

    g.link(0, 1);
    QCOMPARE(g.vertex(0)->GetNeighbour(0), g.vertex(1));
    QVERIFY(g.vertex(0)->GetNeighbour(1) == nullptr);
    QVERIFY(g.vertex(0)->GetNeighbour(-1) == nullptr);
}

void TestDijkstra::unassignedVertexRaises()
{
    const QString text = QStringLiteral("Vertex Can Not be Added to Graph, it is Unassigned.");
    TDijkstra graph;
    try {
        graph.AddVertex(nullptr);
        QFAIL("AddVertex(nullptr) must raise");
    } catch (const EDijkstraError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), text);
    }
    QCOMPARE(graph.VertexCount(), 0);

    TCustomVertex v;
    try {
        v.AddNeighbour(nullptr);
        QFAIL("AddNeighbour(nullptr) must raise");
    } catch (const EDijkstraError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), text);
    }
    QVERIFY_THROWS_EXCEPTION(EDijkstraError, v.AddWeightedNeighbour(nullptr, 2.0f));
    QCOMPARE(v.NeighbourCount(), 0);
}

void TestDijkstra::neighbourGrowth_data()
{
    QTest::addColumn<int>("links");
    QTest::addColumn<int>("slotCount");
    QTest::newRow("seven fit in eight") << 7 << 8;
    QTest::newRow("eighth grows to fourteen") << 8 << 14;
    QTest::newRow("thirteen fit in fourteen") << 13 << 14;
    QTest::newRow("fourteenth grows to twenty-six") << 14 << 26;
    QTest::newRow("twenty-sixth grows to fifty") << 26 << 50;
}

void TestDijkstra::neighbourGrowth()
{
    QFETCH(int, links);
    QFETCH(int, slotCount);
    TCustomVertex target;
    TCustomVertex plain;
    TWeightedVertex weighted;
    for (int i = 0; i < links; ++i) {
        QCOMPARE(plain.AddNeighbour(&target), i);
        weighted.AddWeightedNeighbour(&target, float(i + 1));
    }
    QCOMPARE(plain.Neighbours().size(), std::size_t(slotCount));
    QCOMPARE(weighted.Neighbours().size(), std::size_t(slotCount));
    QCOMPARE(weighted.Weights().size(), std::size_t(slotCount));
    QCOMPARE(weighted.NeighbourCount(), links);
    for (int i = 0; i < links; ++i) {
        QCOMPARE(weighted.EdgeWeight(i), float(i + 1));
        QCOMPARE(weighted.GetNeighbour(i), &target);
    }
    QCOMPARE(weighted.EdgeWeight(links), 0.0f);
    QVERIFY(plain.Neighbours()[std::size_t(links)] == nullptr);
    QCOMPARE(plain.EdgeWeight(0), 0.0f);
}

void TestDijkstra::weightedCostNeedsOnCost()
{
    TWeightedVertex v;
    try {
        v.Cost(0);
        QFAIL("Cost without OnCost must raise");
    } catch (const EDijkstraError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QString());
    }
    v.SetOnCost([](TWeightedVertex*, int index) { return float(index) * 2; });
    QCOMPARE(v.Cost(3), 6.0f);
    v.SetWeight(2.5f);
    QCOMPARE(v.GetWeight(), 2.5f);
    TCustomVertex plain;
    QVERIFY(std::isinf(plain.Cost(0)));
    plain.SetWeight(2.5f);
    QCOMPARE(plain.GetWeight(), 0.0f);
}

void TestDijkstra::pathCostCountsEveryEnteredVertexButTheStart()
{
    TestGraph g(4);
    g.cost = { 100, 2, 3, 7 };
    g.link(0, 1);
    g.link(1, 2);
    g.link(2, 3);
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(0), 0.0);
    QCOMPARE(g.graph.DistanceOf(1), 2.0);
    QCOMPARE(g.graph.DistanceOf(3), 12.0);
    QCOMPARE(g.vertex(3)->Distance(), 12.0f);
    QCOMPARE(g.graph.PathTo(3), (std::vector<int> { 3, 2, 1, 0 }));
    QCOMPARE(g.graph.PathSize(3), 4);
    QCOMPARE(g.vertex(3)->Previous(), g.vertex(2));
    QVERIFY(g.vertex(0)->Previous() == nullptr);
}

// Three equal neighbours a, b, c of the start: after a leaves the heap, the last slot's c moves to
// the top and stays above b, so c's path to t is found first and kept.
void TestDijkstra::equalCostTieFollowsHeapOrder()
{
    enum { S, A, B, C, T, X };
    TestGraph g(6);
    g.link(S, A);
    g.link(S, B);
    g.link(S, C);
    g.link(A, X);
    g.link(B, T);
    g.link(C, T);
    g.solve(S);
    QCOMPARE(g.graph.DistanceOf(T), 2.0);
    QCOMPARE(g.graph.PreviousOf(T), int(C));
    QCOMPARE(g.graph.PathTo(T), (std::vector<int> { T, C, S }));
}

// S-A-T and S-B-T cost the same; A leaves the heap first, so its path stays.
void TestDijkstra::laterEqualPathDoesNotReplace()
{
    enum { S, A, B, T };
    TestGraph g(4);
    g.link(S, A);
    g.link(S, B);
    g.link(A, T);
    g.link(B, T);
    g.solve(S);
    QCOMPARE(g.graph.DistanceOf(T), 2.0);
    QCOMPARE(g.graph.PreviousOf(T), int(A));

    g.cost[B] = 0; // now strictly cheaper through B
    g.solve(S);
    QCOMPARE(g.graph.DistanceOf(T), 1.0);
    QCOMPARE(g.graph.PreviousOf(T), int(B));
}

// Past 2^24 single precision rounds 16777219 up to 16777220, which would let the later of two
// equal paths through A and C look cheaper; the sums stay exact, so the first one stays.
void TestDijkstra::largeCostsAddUpExactly()
{
    enum { S, A, C, B };
    TestGraph g(4);
    g.cost = { 0, 16777218, 16777218, 1 };
    g.link(S, A);
    g.link(S, C);
    g.link(A, B);
    g.link(C, B);
    g.solve(S);
    QCOMPARE(g.graph.DistanceOf(B), 16777219.0);
    QCOMPARE(g.graph.PreviousOf(B), int(A));
    QCOMPARE(g.vertex(B)->Distance(), 16777220.0f);
}

void TestDijkstra::impassableVertexIsNeverEntered()
{
    enum { S, M, T, U };
    TestGraph g(4);
    g.link(S, M);
    g.link(M, T);
    g.link(S, U);
    g.block(M);
    g.block(U);
    g.solve(S);
    for (int v : { M, T, U }) {
        QVERIFY(g.vertex(v)->Previous() == nullptr);
        QVERIFY(std::isinf(g.vertex(v)->Distance()));
        QCOMPARE(g.graph.PathSize(v), 1);
    }

    g.vertex(M)->SetPassable(true);
    g.solve(S);
    QCOMPARE(g.graph.PathTo(T), (std::vector<int> { T, M, S }));
}

void TestDijkstra::impassableStartIsStillExpanded()
{
    TestGraph g(3);
    g.link(0, 1);
    g.link(1, 2);
    g.block(0);
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(0), 0.0);
    QCOMPARE(g.graph.DistanceOf(2), 2.0);
    QCOMPARE(g.graph.PathTo(2), (std::vector<int> { 2, 1, 0 }));
}

void TestDijkstra::unreachableTarget()
{
    TestGraph g(4);
    g.link(0, 1);
    g.link(2, 3); // a component the start cannot reach
    g.link(3, 0); // links are directed
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(1), 1.0);
    for (int v : { 2, 3 }) {
        QVERIFY(std::isinf(g.graph.DistanceOf(v)));
        QCOMPARE(g.graph.PreviousOf(v), -1);
        QCOMPARE(g.graph.PathTo(v), std::vector<int> { v });
    }
}

void TestDijkstra::suspendedSolveTouchesNothing()
{
    TestGraph g(3);
    g.link(0, 1);
    g.link(1, 2);
    g.graph.SetSuspended(true);
    g.solve(0);
    QVERIFY(allUnreached(g.graph));
    QVERIFY(g.asked.empty());

    g.graph.SetSuspended(false);
    g.solve(0);
    const Snapshot before = snapshot(g.graph);
    g.graph.SetSuspended(true);
    g.solve(2);
    int missing = 0;
    g.graph.Solve(&missing); // not even the missing start is noticed
    QVERIFY(snapshot(g.graph) == before);
    QCOMPARE(g.graph.DistanceOf(2), 2.0);
}

void TestDijkstra::missingStartResetsEveryVertex()
{
    TestGraph g(3);
    g.link(0, 1);
    g.link(1, 2);
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(2), 2.0);
    g.asked.clear();
    int missing = 0;
    try {
        g.graph.Solve(&missing);
        QFAIL("A start no vertex carries must raise");
    } catch (const EDijkstraError& e) {
        QVERIFY(QString::fromUtf8(e.what()).startsWith(QStringLiteral("Assertion failure")));
    }
    QVERIFY(allUnreached(g.graph));
    QVERIFY(g.asked.empty());
}

// An unbound cost function fails cleanly instead of calling through nothing.
void TestDijkstra::missingStepCostRaisesBeforeRelaxing()
{
    TestGraph g(2);
    g.link(0, 1);
    g.solve(0);
    g.graph.SetOnStepCost({});
    QVERIFY_THROWS_EXCEPTION(EDijkstraError, g.solve(0));
    QVERIFY(allUnreached(g.graph));
}

void TestDijkstra::blockedVerticesAreNeverPriced()
{
    TestGraph g(5);
    for (int i = 1; i < 5; ++i)
        g.link(0, i);
    g.block(2);
    g.block(4);
    g.solve(0);
    const std::set<int> asked(g.asked.begin(), g.asked.end());
    QVERIFY(!asked.contains(2));
    QVERIFY(!asked.contains(4));
    QVERIFY(asked.contains(1) && asked.contains(3));
}

// A negative price is taken as free: a cycle of them cannot keep improving forever.
void TestDijkstra::negativeCostsCannotLoop()
{
    TestGraph g(3, -5);
    g.link(0, 1);
    g.link(1, 2);
    g.link(2, 1);
    g.link(1, 0);
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(1), 0.0);
    QCOMPARE(g.graph.DistanceOf(2), 0.0);
    QCOMPARE(g.graph.PathTo(2), (std::vector<int> { 2, 1, 0 }));
}

void TestDijkstra::linksAddedAfterASolveAreSeen()
{
    TestGraph g(3);
    g.link(0, 1);
    g.solve(0);
    QVERIFY(std::isinf(g.graph.DistanceOf(2)));
    g.link(1, 2);
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(2), 2.0);

    auto late = std::make_unique<TCustomVertex>();
    int payload = 3;
    late->SetData(&payload);
    late->AddNeighbour(g.vertex(0));
    const int index = g.graph.AddVertex(std::move(late));
    g.cost.push_back(4);
    g.link(2, index);
    g.graph.Solve(&payload);
    QCOMPARE(g.graph.DistanceOf(2), 3.0);
    g.solve(0);
    QCOMPARE(g.graph.DistanceOf(index), 6.0);
}

void TestDijkstra::randomGraphs_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("vertices");
    QTest::addColumn<int>("arcs");
    QTest::newRow("sparse") << 11u << 300 << 700;
    QTest::newRow("gate-like") << 12u << 500 << 1300;
    QTest::newRow("dense") << 13u << 120 << 1500;
    QTest::newRow("tiny") << 14u << 12 << 30;
}

void TestDijkstra::randomGraphs()
{
    QFETCH(quint32, seed);
    QFETCH(int, vertices);
    QFETCH(int, arcs);
    TestGraph g(vertices);
    fillRandom(g, seed, arcs);
    int reached = 0;
    for (int start : { 0, vertices / 2, vertices - 1 }) {
        g.solve(start);
        const TDijkstra& graph = g.graph;
        // No arc can still improve a reached vertex.
        for (auto [u, v] : g.arcs) {
            if (std::isinf(graph.DistanceOf(u)) || !g.vertex(v)->Passable())
                continue;
            QVERIFY2(graph.DistanceOf(v) <= graph.DistanceOf(u) + g.cost[std::size_t(v)],
                qPrintable(QStringLiteral("arc %1->%2").arg(u).arg(v)));
        }
        const std::vector<double> reference = referenceDistances(g, start);
        for (int v = 0; v < vertices; ++v) {
            QCOMPARE(graph.DistanceOf(v), reference[std::size_t(v)]);
            QCOMPARE(double(g.vertex(v)->Distance()), reference[std::size_t(v)]);
            const int p = graph.PreviousOf(v);
            if (p >= 0) {
                QCOMPARE(graph.DistanceOf(v), graph.DistanceOf(p) + g.cost[std::size_t(v)]);
                ++reached;
            }
        }
        QCOMPARE(graph.PreviousOf(start), -1);
        // Equal-cost ties fall exactly as the literal relaxation order decides.
        std::vector<int> prev;
        for (int v = 0; v < vertices; ++v)
            prev.push_back(graph.PreviousOf(v));
        QCOMPARE(prev, literalPredecessors(g, start));
    }
    QVERIFY(reached > vertices / 2); // the checks above saw real paths
}

// Solves in between, from another start or with a vertex blocked, leave no trace.
void TestDijkstra::repeatedSolvesAgree()
{
    TestGraph g(400);
    fillRandom(g, 21u, 1000);
    g.solve(0);
    const Snapshot first = snapshot(g.graph);
    g.solve(200);
    QVERIFY(!(snapshot(g.graph) == first));

    const auto via = std::find_if(first.prev.begin(), first.prev.end(), [](int p) { return p > 0; });
    QVERIFY(via != first.prev.end());
    g.block(*via);
    g.solve(0);
    QVERIFY(!(snapshot(g.graph) == first));
    g.vertex(*via)->SetPassable(true);

    g.solve(0);
    QVERIFY(snapshot(g.graph) == first);
    g.solve(0);
    QVERIFY(snapshot(g.graph) == first);
}

void TestDijkstra::handedInCostsAgree()
{
    TestGraph g(300);
    fillRandom(g, 31u, 800);
    g.solve(3);
    const Snapshot asked = snapshot(g.graph);
    g.asked.clear();
    g.graph.Solve(g.data(3), g.cost);
    QVERIFY(g.asked.empty());
    QVERIFY(snapshot(g.graph) == asked);

    const std::vector<int32_t> tooFew(10, 1);
    QVERIFY_THROWS_EXCEPTION(EDijkstraError, g.graph.Solve(g.data(3), tooFew));
}

QTEST_GUILESS_MAIN(TestDijkstra)
#include "tst_dijkstra.moc"
