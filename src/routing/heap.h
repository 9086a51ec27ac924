#pragma once
// A binary heap of untyped references ordered by a compare function. Slot 0 stays unused; the
// sift rules below decide how ties fall, and the route solver relies on them.

#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

class EHeapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Negative when a sorts before b, 0 when equal, positive when after.
using THeapCompare = int32_t (*)(void* a, void* b);
using HeapArr = std::vector<void*>;

namespace heapsift {

// The sift steps over slots 1 .. nextFree - 1. above(a, b) is true when a belongs above b;
// equal items are never swapped, and between equal children the right one is taken.
// Shared by THeap and the solver's index heap so both break ties the same way.
template <class T, class Above> inline void SiftUp(T* items, uint32_t k, Above above)
{
    T item = items[k];
    while (k > 1) {
        const uint32_t p = k / 2;
        if (!above(item, items[p]))
            break;
        items[k] = items[p];
        k = p;
    }
    items[k] = item;
}

// Padded: slot nextFree holds an item below every other, so a missing right child needs no test.
template <bool Padded = false, class T, class Above>
inline void SiftDown(T* items, uint32_t nextFree, Above above)
{
    uint32_t k = 1;
    T item = items[k];
    for (;;) {
        const uint32_t l = 2 * k;
        if (l >= nextFree)
            break;
        // Arithmetic rather than a branch: which child wins is unpredictable.
        const uint32_t c = l + uint32_t((Padded || l + 1 < nextFree) && !above(items[l], items[l + 1]));
        if (!above(items[c], item))
            break;
        items[k] = items[c];
        k = c;
    }
    items[k] = item;
}

} // namespace heapsift

class THeap {
public:
    THeap() = default;

    // Raises "Compare function required for this operation" without a compare function.
    void Push(void* item);
    // The top item, or nullptr when empty.
    void* Pop();
    bool IsEmpty() const { return NextFree_ <= 1; }
    // 0: the greatest item on top; 1: the smallest. A change re-pushes the held items in slot order.
    void SetOrder(uint8_t order);
    void EnsureCapacity(uint32_t n);

    void SetCompare(THeapCompare compare) { Compare_ = compare; }
    THeapCompare Compare() const { return Compare_; }
    uint8_t Order() const { return Order_; }
    uint32_t Capacity() const { return Capacity_; }
    uint32_t NextFree() const { return NextFree_; }
    const HeapArr& Items() const { return Items_; }

private:
    bool Above(void* a, void* b) const;
    void SiftUp(uint32_t k);
    void SiftDown();

    HeapArr Items_;
    uint32_t Capacity_ = 0;
    uint32_t NextFree_ = 0;
    THeapCompare Compare_ = nullptr;
    uint8_t Order_ = 0;
};
