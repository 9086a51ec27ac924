// The binary heap: orders, tie rules, growth, re-ordering and its errors.
#include "routing/heap.h"
#include "routing/uDijkstra.h"

#include <QRandomGenerator>
#include <QTest>

#include <memory>
#include <utility>

namespace {

// An item with a key and an identity, so ties can be told apart.
struct Item {
    int key;
    int id;
};

int32_t compareItems(void* a, void* b)
{
    const int ka = static_cast<Item*>(a)->key;
    const int kb = static_cast<Item*>(b)->key;
    return ka < kb ? -1 : (ka > kb ? 1 : 0);
}

// The sift rules spelt out step by step with swaps, to hold the heap to them.
class LiteralHeap {
public:
    explicit LiteralHeap(uint8_t order)
        : m_order(order)
    {
    }

    void push(Item* item)
    {
        m_slots.push_back(item);
        std::size_t k = m_slots.size() - 1;
        while (k > 1) {
            const std::size_t p = k / 2;
            if (!above(m_slots[k], m_slots[p]))
                break;
            std::swap(m_slots[k], m_slots[p]);
            k = p;
        }
    }

    Item* pop()
    {
        if (m_slots.size() <= 1)
            return nullptr;
        Item* result = m_slots[1];
        m_slots[1] = m_slots.back();
        m_slots.pop_back();
        const std::size_t nextFree = m_slots.size();
        std::size_t k = 1;
        for (;;) {
            const std::size_t l = 2 * k;
            if (l >= nextFree)
                break;
            std::size_t c = l + 1;
            if (l + 1 >= nextFree || above(m_slots[l], m_slots[l + 1]))
                c = l;
            if (!above(m_slots[c], m_slots[k]))
                break;
            std::swap(m_slots[c], m_slots[k]);
            k = c;
        }
        return result;
    }

private:
    bool above(Item* a, Item* b) const
    {
        const int32_t c = compareItems(a, b);
        return m_order == 0 ? c > 0 : c < 0;
    }

    uint8_t m_order;
    std::vector<Item*> m_slots { nullptr };
};

THeap heapWithOrder(uint8_t order)
{
    THeap heap;
    heap.SetCompare(compareItems);
    heap.SetOrder(order);
    return heap;
}

std::vector<int> popIds(THeap& heap)
{
    std::vector<int> ids;
    while (void* item = heap.Pop())
        ids.push_back(static_cast<Item*>(item)->id);
    return ids;
}

} // namespace

class TestHeap : public QObject {
    Q_OBJECT

private slots:
    void freshHeap();
    void distanceOrder();
    void popsByOrder_data();
    void popsByOrder();
    void equalItemsNeverSwapUp();
    void rightChildTakenBetweenEqualChildren();
    void followsTheSiftRules_data();
    void followsTheSiftRules();
    void growth_data();
    void growth();
    void ensureCapacityKeepsItems();
    void setOrderRepushes();
    void setOrderUnchangedKeepsSlots();
    void pushWithoutCompareRaises();
    void setOrderWithoutCompareKeepsItems();
};

void TestHeap::freshHeap()
{
    THeap heap;
    QCOMPARE(heap.Capacity(), 0u);
    QCOMPARE(heap.NextFree(), 0u);
    QCOMPARE(heap.Order(), uint8_t(0));
    QVERIFY(heap.Compare() == nullptr);
    QVERIFY(heap.IsEmpty());
    QVERIFY(heap.Pop() == nullptr);

    Item a { 1, 1 };
    heap.SetCompare(compareItems);
    heap.Push(&a);
    QVERIFY(!heap.IsEmpty());
    QCOMPARE(heap.Pop(), static_cast<void*>(&a));
    QVERIFY(heap.IsEmpty());
    QVERIFY(heap.Pop() == nullptr);
}

// The solver's own use: smallest distance first on a heap never used before.
void TestHeap::distanceOrder()
{
    std::vector<std::unique_ptr<TCustomVertex>> vertices;
    THeap heap;
    heap.SetOrder(1);
    heap.SetCompare(CompareDistance);
    for (float d : { 5.0f, 1.0f, 3.0f }) {
        vertices.push_back(std::make_unique<TCustomVertex>());
        vertices.back()->SetDistance(d);
        heap.Push(vertices.back().get());
    }
    QCOMPARE(static_cast<TCustomVertex*>(heap.Pop())->Distance(), 1.0f);
    QCOMPARE(static_cast<TCustomVertex*>(heap.Pop())->Distance(), 3.0f);
    QCOMPARE(static_cast<TCustomVertex*>(heap.Pop())->Distance(), 5.0f);
    QVERIFY(heap.Pop() == nullptr);
    QVERIFY(heap.IsEmpty());
}

void TestHeap::popsByOrder_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("largest first") << 0 << QList<int> { 4, 9, 1, 7, 3, 8 } << QList<int> { 9, 8, 7, 4, 3, 1 };
    QTest::newRow("smallest first") << 1 << QList<int> { 4, 9, 1, 7, 3, 8 }
                                    << QList<int> { 1, 3, 4, 7, 8, 9 };
    QTest::newRow("negative keys") << 1 << QList<int> { 0, -3, 2, -8 } << QList<int> { -8, -3, 0, 2 };
}

void TestHeap::popsByOrder()
{
    QFETCH(int, order);
    QFETCH(QList<int>, keys);
    QFETCH(QList<int>, expected);
    std::vector<Item> items;
    for (int k : keys)
        items.push_back({ k, k });
    THeap heap = heapWithOrder(uint8_t(order));
    for (Item& item : items)
        heap.Push(&item);
    const std::vector<int> popped = popIds(heap);
    QCOMPARE(QList<int>(popped.begin(), popped.end()), expected);
}

// Equal items pushed one after the other leave in push order: a new equal item never rises.
void TestHeap::equalItemsNeverSwapUp()
{
    Item items[] = { { 9, 0 }, { 5, 1 }, { 5, 2 } };
    THeap heap = heapWithOrder(1);
    for (Item& item : items)
        heap.Push(&item);
    QCOMPARE(heap.Items()[1], static_cast<void*>(&items[1]));
    QCOMPARE(heap.Items()[3], static_cast<void*>(&items[2]));
    QCOMPARE(popIds(heap), (std::vector<int> { 1, 2, 0 }));
}

// After the top leaves, the right one of two equal children moves up.
void TestHeap::rightChildTakenBetweenEqualChildren()
{
    const int keys[] = { 0, 5, 5, 9 };
    for (uint8_t order : { uint8_t(0), uint8_t(1) }) {
        // Largest first sees the same shape with the keys negated.
        Item items[4];
        for (int i = 0; i < 4; ++i)
            items[i] = { order == 0 ? -keys[i] : keys[i], i };
        THeap heap = heapWithOrder(order);
        for (Item& item : items)
            heap.Push(&item);
        QCOMPARE(popIds(heap), (std::vector<int> { 0, 2, 1, 3 }));
    }
}

// Random pushes and pops with many ties leave the heap in the order of the literal rules.
void TestHeap::followsTheSiftRules_data()
{
    QTest::addColumn<int>("order");
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : { 1u, 2u, 3u, 4u }) {
        QTest::addRow("largest first, seed %u", seed) << 0 << seed;
        QTest::addRow("smallest first, seed %u", seed) << 1 << seed;
    }
}

void TestHeap::followsTheSiftRules()
{
    QFETCH(int, order);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    std::vector<Item> items(2000);
    THeap heap = heapWithOrder(uint8_t(order));
    LiteralHeap literal { uint8_t(order) };
    std::size_t next = 0;
    int compared = 0;
    while (next < items.size()) {
        if (random.bounded(3) != 0) {
            items[next] = { int(random.bounded(6)), int(next) };
            heap.Push(&items[next]);
            literal.push(&items[next]);
            ++next;
        } else {
            void* popped = heap.Pop();
            QCOMPARE(popped, static_cast<void*>(literal.pop()));
            compared += popped ? 1 : 0;
        }
    }
    while (!heap.IsEmpty()) {
        QCOMPARE(heap.Pop(), static_cast<void*>(literal.pop()));
        ++compared;
    }
    QVERIFY(literal.pop() == nullptr);
    QCOMPARE(compared, int(items.size()));
}

void TestHeap::growth_data()
{
    QTest::addColumn<int>("pushes");
    QTest::addColumn<uint>("capacity");
    QTest::newRow("first push") << 1 << 4u;
    QTest::newRow("three fill four slots") << 3 << 4u;
    QTest::newRow("fourth doubles") << 4 << 8u;
    QTest::newRow("seventh fits") << 7 << 8u;
    QTest::newRow("eighth doubles") << 8 << 16u;
    QTest::newRow("sixteenth") << 16 << 32u;
}

void TestHeap::growth()
{
    QFETCH(int, pushes);
    QFETCH(uint, capacity);
    std::vector<Item> items(static_cast<std::size_t>(pushes));
    THeap heap = heapWithOrder(0);
    for (int i = 0; i < pushes; ++i) {
        items[std::size_t(i)] = { i, i };
        heap.Push(&items[std::size_t(i)]);
    }
    QCOMPARE(heap.Capacity(), capacity);
    QCOMPARE(heap.NextFree(), uint(pushes + 1));
    QCOMPARE(heap.Items().size(), std::size_t(capacity));
    QVERIFY(heap.Items()[0] == nullptr);
    QCOMPARE(int(popIds(heap).size()), pushes);
    QCOMPARE(heap.Capacity(), capacity);
}

void TestHeap::ensureCapacityKeepsItems()
{
    Item a { 1, 1 }, b { 2, 2 };
    THeap heap = heapWithOrder(0);
    heap.Push(&a);
    heap.Push(&b);
    heap.EnsureCapacity(3);
    QCOMPARE(heap.Capacity(), 4u);
    heap.EnsureCapacity(10);
    QCOMPARE(heap.Capacity(), 10u);
    QCOMPARE(heap.Items().size(), std::size_t(10));
    QVERIFY(heap.Items()[9] == nullptr);
    QCOMPARE(popIds(heap), (std::vector<int> { 2, 1 }));
}

void TestHeap::setOrderRepushes()
{
    Item items[] = { { 3, 3 }, { 1, 1 }, { 4, 4 }, { 2, 2 }, { 5, 5 } };
    THeap heap = heapWithOrder(0);
    for (Item& item : items)
        heap.Push(&item);
    const uint32_t capacity = heap.Capacity();
    heap.SetOrder(1);
    QCOMPARE(heap.Order(), uint8_t(1));
    QCOMPARE(heap.Capacity(), capacity);
    QCOMPARE(heap.NextFree(), 6u);
    QCOMPARE(popIds(heap), (std::vector<int> { 1, 2, 3, 4, 5 }));
}

void TestHeap::setOrderUnchangedKeepsSlots()
{
    Item items[] = { { 1, 1 }, { 5, 5 }, { 3, 3 } };
    THeap heap = heapWithOrder(1);
    for (Item& item : items)
        heap.Push(&item);
    const HeapArr before = heap.Items();
    heap.SetOrder(1);
    QVERIFY(heap.Items() == before);
    QCOMPARE(heap.NextFree(), 4u);
}

void TestHeap::pushWithoutCompareRaises()
{
    Item a { 1, 1 };
    THeap heap;
    try {
        heap.Push(&a);
        QFAIL("Push without a compare function must raise");
    } catch (const EHeapError& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Compare function required for this operation"));
    }
    QVERIFY(heap.IsEmpty());
    QCOMPARE(heap.Capacity(), 0u);
}

// Re-ordering without a compare function must not lose what the heap holds.
void TestHeap::setOrderWithoutCompareKeepsItems()
{
    Item a { 1, 1 }, b { 2, 2 };
    THeap heap = heapWithOrder(0);
    heap.Push(&a);
    heap.Push(&b);
    heap.SetCompare(nullptr);
    QVERIFY_THROWS_EXCEPTION(EHeapError, heap.SetOrder(1));
    QCOMPARE(heap.Order(), uint8_t(0));
    QCOMPARE(heap.NextFree(), 3u);
    heap.SetCompare(compareItems);
    QCOMPARE(popIds(heap), (std::vector<int> { 2, 1 }));
}

QTEST_GUILESS_MAIN(TestHeap)
#include "tst_heap.moc"
