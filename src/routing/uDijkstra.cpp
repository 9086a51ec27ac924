#include "routing/uDijkstra.h"

#include "routing/heap.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace {
const char* const UnassignedVertexText = "Vertex Can Not be Added to Graph, it is Unassigned.";
const char* const MissingStartText = "Assertion failure (uDijkstra)";
const char* const NoStepCostText = "Step cost function required for this operation";
constexpr float Infinity = std::numeric_limits<float>::infinity();
constexpr double InfinityD = std::numeric_limits<double>::infinity();
constexpr uint32_t InitialNeighbours = 8;
constexpr std::size_t InitialVertices = 256;
} // namespace

// ---- TCustomVertex ----

TCustomVertex::TCustomVertex()
    : Neighbours_(InitialNeighbours, nullptr)
    , Distance_(Infinity)
{
}

void TCustomVertex::GrowNeighbours()
{
    Neighbours_.resize(2 * (Neighbours_.size() - 1), nullptr);
}

void TCustomVertex::Reset()
{
    SetPrevious(nullptr);
    SetDistance(Infinity);
}

float TCustomVertex::EdgeWeight(int) const
{
    return 0;
}

void TCustomVertex::SetWeight(float)
{
}

float TCustomVertex::GetWeight() const
{
    return 0;
}

float TCustomVertex::Cost(int)
{
    return Infinity;
}

int TCustomVertex::AddNeighbour(TCustomVertex* vertex)
{
    if (!vertex)
        throw EDijkstraError(UnassignedVertexText);
    if (NeighbourCount_ + 1 >= Neighbours_.size())
        GrowNeighbours();
    // A subclass whose growth step does not grow must not make us write past the slots.
    if (NeighbourCount_ >= Neighbours_.size())
        throw EDijkstraError("Neighbour slots did not grow");
    const uint32_t index = NeighbourCount_++;
    Neighbours_[index] = vertex;
    if (Owner_)
        Owner_->Dirty_ = true;
    return int(index);
}

void TCustomVertex::AddWeightedNeighbour(TCustomVertex* vertex, float)
{
    AddNeighbour(vertex);
}

TCustomVertex* TCustomVertex::GetNeighbour(int index) const
{
    if (index < 0 || uint32_t(index) >= NeighbourCount_)
        return nullptr;
    return Neighbours_[std::size_t(index)];
}

void TCustomVertex::SetData(void* data)
{
    Data_ = data;
    if (Owner_)
        Owner_->Data_[Index_] = data;
}

void TCustomVertex::SetPassable(bool passable)
{
    Passable_ = passable;
    if (Owner_)
        Owner_->Passable_[Index_] = passable;
}

float TCustomVertex::Distance() const
{
    return Owner_ ? float(std::bit_cast<double>(Owner_->Slots_[Index_].Dist)) : Distance_;
}

void TCustomVertex::SetDistance(float distance)
{
    if (Owner_)
        Owner_->Slots_[Index_].Dist = std::bit_cast<uint64_t>(double(distance));
    else
        Distance_ = distance;
}

TCustomVertex* TCustomVertex::Previous() const
{
    if (!Owner_)
        return Previous_;
    return Owner_->GetVertex(Owner_->PreviousOf(int(Index_)));
}

void TCustomVertex::SetPrevious(TCustomVertex* previous)
{
    if (!Owner_) {
        Previous_ = previous;
        return;
    }
    // Only a vertex of the same graph can be recorded in its flat results.
    Owner_->Slots_[Index_].Prev = previous && previous->Owner_ == Owner_ ? previous->Index_ : TDijkstra::None;
}

// ---- TWeightedVertex ----

TWeightedVertex::TWeightedVertex()
    : Weights_(Neighbours_.size(), 0.0f)
{
}

void TWeightedVertex::GrowNeighbours()
{
    TCustomVertex::GrowNeighbours();
    Weights_.resize(Neighbours_.size(), 0.0f);
}

float TWeightedVertex::EdgeWeight(int index) const
{
    if (index < 0 || std::size_t(index) >= Weights_.size())
        return 0;
    return Weights_[std::size_t(index)];
}

float TWeightedVertex::Cost(int index)
{
    if (!OnCost_)
        throw EDijkstraError("");
    return OnCost_(this, index);
}

void TWeightedVertex::AddWeightedNeighbour(TCustomVertex* vertex, float weight)
{
    const int index = AddNeighbour(vertex);
    Weights_[std::size_t(index)] = weight;
}

// ---- TDijkstra ----

int32_t CompareDistance(void* a, void* b)
{
    const float da = static_cast<TCustomVertex*>(a)->Distance();
    const float db = static_cast<TCustomVertex*>(b)->Distance();
    if (da < db)
        return -1;
    if (da > db)
        return 1;
    return 0;
}

TDijkstra::TDijkstra()
    : Heap_(4, TEntry { 0, 0 })
{
    Vertices_.reserve(InitialVertices);
    Data_.reserve(InitialVertices);
    Passable_.reserve(InitialVertices);
    Slots_.reserve(InitialVertices);
}

TDijkstra::~TDijkstra() = default;

int TDijkstra::AddVertex(std::unique_ptr<TCustomVertex> vertex)
{
    if (!vertex)
        throw EDijkstraError(UnassignedVertexText);
    const auto index = uint32_t(Vertices_.size());
    TCustomVertex* v = vertex.get();
    Data_.push_back(v->Data_);
    Passable_.push_back(v->Passable_);
    Slots_.push_back({ std::bit_cast<uint64_t>(double(v->Distance_)), 0,
        v->Previous_ && v->Previous_->Owner_ == this ? v->Previous_->Index_ : None });
    Vertices_.push_back(std::move(vertex));
    v->Owner_ = this;
    v->Index_ = index;
    Dirty_ = true;
    return int(index);
}

TCustomVertex* TDijkstra::GetVertex(int index) const
{
    if (index < 0 || index >= VertexCount())
        return nullptr;
    return Vertices_[std::size_t(index)].get();
}

void TDijkstra::Finalize()
{
    const std::size_t count = Vertices_.size();
    Offsets_.assign(count + 1, 0);
    Targets_.clear();
    uint32_t maxDegree = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const TCustomVertex& v = *Vertices_[i];
        for (uint32_t k = 0; k < v.NeighbourCount_; ++k) {
            const TCustomVertex* n = v.Neighbours_[k];
            // A link into another graph cannot be walked by this one.
            if (n && n->Owner_ == this)
                Targets_.push_back(n->Index_);
        }
        Offsets_[i + 1] = uint32_t(Targets_.size());
        maxDegree = std::max(maxDegree, Offsets_[i + 1] - Offsets_[i]);
    }
    Improved_.assign(maxDegree, 0);
    Dirty_ = false;
}

void TDijkstra::ResetVertices()
{
    for (TSlot& s : Slots_) {
        s.Dist = std::bit_cast<uint64_t>(InfinityD);
        s.Prev = None;
    }
}

int TDijkstra::IndexOfData(void* data) const
{
    const auto it = std::find(Data_.begin(), Data_.end(), data);
    return it == Data_.end() ? -1 : int(it - Data_.begin());
}

int32_t TDijkstra::StartIndexOrThrow(void* startData)
{
    if (Dirty_)
        Finalize();
    ResetVertices();
    const int start = IndexOfData(startData);
    if (start < 0)
        throw EDijkstraError(MissingStartText);
    return start;
}

void TDijkstra::Solve(void* startData)
{
    if (Suspended_)
        return;
    const int32_t start = StartIndexOrThrow(startData);
    if (!OnStepCost_)
        throw EDijkstraError(NoStepCostText);
    // Blocked vertices are never asked; a negative price would let a solve run forever.
    const std::size_t count = Slots_.size();
    for (std::size_t i = 0; i < count; ++i)
        Slots_[i].Cost = Passable_[i] ? std::max(OnStepCost_(Data_[i]), 0) : Impassable;
    Run(uint32_t(start));
}

void TDijkstra::Solve(void* startData, std::span<const int32_t> stepCosts)
{
    if (Suspended_)
        return;
    const int32_t start = StartIndexOrThrow(startData);
    if (stepCosts.size() != Slots_.size())
        throw EDijkstraError("One step cost per vertex required");
    const std::size_t count = Slots_.size();
    for (std::size_t i = 0; i < count; ++i)
        Slots_[i].Cost = Passable_[i] ? std::max(stepCosts[i], 0) : Impassable;
    Run(uint32_t(start));
}

namespace {
constexpr auto KeyAbove = [](const auto& a, const auto& b) { return a.Key < b.Key; };
}

// Pads the heap's end: its key exceeds every distance's, +infinity's included, so it sits below all.
const TDijkstra::TEntry TDijkstra::HeapEnd { UINT64_MAX, None };

// Smallest distance first, with the heap's sift rules, so equal-cost ties fall exactly as that
// order dictates; only a strict improvement replaces a path. As the price is that of the vertex
// entered, a vertex's first distance is already its best: pops come in distance order, so a later
// predecessor is never closer. Hence no vertex improves while it waits in the heap, each waits at
// most once, and the keys stored in the entries are the vertices' live distances.
void TDijkstra::Run(uint32_t start)
{
    TSlot* s = Slots_.data();
    const uint32_t* offsets = Offsets_.data();
    const uint32_t* targets = Targets_.data();
    uint32_t* improved = Improved_.data();

    // Room for every vertex once, slot 0 and the end pad; grown further only if that ever fails.
    if (Heap_.size() < Slots_.size() + 2)
        Heap_.resize(Slots_.size() + 2);
    TEntry* heap = Heap_.data();
    uint32_t nextFree = 1;
    const auto push = [&](TEntry entry) {
        if (nextFree + 1 >= Heap_.size()) {
            Heap_.resize(2 * Heap_.size());
            heap = Heap_.data();
        }
        heap[nextFree] = entry;
        heapsift::SiftUp(heap, nextFree, KeyAbove);
        heap[++nextFree] = HeapEnd;
    };

    s[start].Dist = std::bit_cast<uint64_t>(0.0);
    push({ s[start].Dist, start });
    while (nextFree > 1) {
        const uint32_t v = heap[1].Vertex;
        --nextFree;
        heap[1] = heap[nextFree];
        heap[nextFree] = HeapEnd;
        heapsift::SiftDown<true>(heap, nextFree, KeyAbove);

        // Without branches, as whether an arc improves is unpredictable: distances compare as
        // their bit patterns, and an impassable vertex's candidate is all ones, above any of them.
        // The improved neighbours are then pushed in link order, as relaxing one by one would.
        const double dv = std::bit_cast<double>(s[v].Dist);
        uint32_t improvedCount = 0;
        for (uint32_t a = offsets[v], end = offsets[v + 1]; a < end; ++a) {
            const uint32_t n = targets[a];
            const int32_t cost = s[n].Cost;
            const uint64_t old = s[n].Dist;
            const uint64_t candidate = std::bit_cast<uint64_t>(dv + cost) | uint64_t(int64_t(cost) >> 63);
            const uint64_t better = uint64_t(0) - uint64_t(candidate < old);
            s[n].Dist = old ^ ((old ^ candidate) & better);
            s[n].Prev ^= (s[n].Prev ^ v) & uint32_t(better);
            improved[improvedCount] = n;
            improvedCount += uint32_t(better & 1);
        }
        for (uint32_t i = 0; i < improvedCount; ++i)
            push({ s[improved[i]].Dist, improved[i] });
    }
}

double TDijkstra::DistanceOf(int index) const
{
    if (index < 0 || index >= VertexCount())
        return InfinityD;
    return std::bit_cast<double>(Slots_[std::size_t(index)].Dist);
}

int TDijkstra::PreviousOf(int index) const
{
    if (index < 0 || index >= VertexCount())
        return -1;
    const uint32_t prev = Slots_[std::size_t(index)].Prev;
    return prev == None ? -1 : int(prev);
}

int TDijkstra::PathSize(int index) const
{
    if (index < 0 || index >= VertexCount())
        return 0;
    // Bounded by the vertex count so a hand-set cycle of predecessors cannot loop forever.
    int size = 1;
    for (int v = PreviousOf(index); v >= 0 && size < VertexCount(); v = PreviousOf(v))
        ++size;
    return size;
}

std::vector<int> TDijkstra::PathTo(int index) const
{
    std::vector<int> path;
    const int size = PathSize(index);
    path.reserve(std::size_t(size));
    for (int v = index; int(path.size()) < size; v = PreviousOf(v))
        path.push_back(v);
    return path;
}
