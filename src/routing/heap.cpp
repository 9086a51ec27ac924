#include "routing/heap.h"

#include <algorithm>

namespace {
const char* const NoCompareText = "Compare function required for this operation";
}

bool THeap::Above(void* a, void* b) const
{
    // Any order other than 0 and 1 never swaps.
    if (Order_ == 0)
        return Compare_(a, b) > 0;
    if (Order_ == 1)
        return Compare_(a, b) < 0;
    return false;
}

void THeap::SiftUp(uint32_t k)
{
    heapsift::SiftUp(Items_.data(), k, [this](void* a, void* b) { return Above(a, b); });
}

void THeap::SiftDown()
{
    heapsift::SiftDown(Items_.data(), NextFree_, [this](void* a, void* b) { return Above(a, b); });
}

void THeap::Push(void* item)
{
    if (!Compare_)
        throw EHeapError(NoCompareText);
    if (Capacity_ == 0) {
        EnsureCapacity(4);
        NextFree_ = 1;
    } else if (Capacity_ == NextFree_) {
        EnsureCapacity(2 * Capacity_);
    }
    Items_[NextFree_] = item;
    SiftUp(NextFree_);
    ++NextFree_;
}

void* THeap::Pop()
{
    if (NextFree_ <= 1)
        return nullptr;
    --NextFree_;
    void* result = Items_[1];
    Items_[1] = Items_[NextFree_];
    Items_[NextFree_] = nullptr;
    SiftDown();
    return result;
}

void THeap::SetOrder(uint8_t order)
{
    if (order == Order_)
        return;
    // Checked first so a failing re-push cannot drop the held items.
    if (NextFree_ > 1 && !Compare_)
        throw EHeapError(NoCompareText);
    HeapArr old(Capacity_, nullptr);
    std::swap(old, Items_);
    const uint32_t oldNextFree = NextFree_;
    NextFree_ = 1;
    Order_ = order;
    // A heap that never held anything (NextFree 0) has nothing to re-push.
    for (uint32_t i = 1; i < oldNextFree; ++i)
        Push(old[i]);
}

void THeap::EnsureCapacity(uint32_t n)
{
    if (n <= Capacity_)
        return;
    Items_.resize(n, nullptr);
    Capacity_ = n;
}
