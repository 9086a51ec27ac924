#pragma once
// A directed graph of vertices that carry opaque payloads, and a single-source cheapest-path solver
// whose step cost is the owner's price for entering a vertex (OnStepCost, asked with the payload).

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <vector>

class EDijkstraError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TDijkstra;
class TCustomVertex;
using TVerticies = std::vector<TCustomVertex*>;
using TWeights = std::vector<float>;

// One node of the graph. Once added to a TDijkstra, its Distance and Previous read the results of
// that graph's last solve, and its Data and Passable are mirrored into the graph's flat arrays.
class TCustomVertex {
public:
    TCustomVertex();
    virtual ~TCustomVertex() = default;
    TCustomVertex(const TCustomVertex&) = delete;
    TCustomVertex& operator=(const TCustomVertex&) = delete;

    // Neighbours grows 8, 14, 26, 50, ... slots; one slot always stays free.
    virtual void GrowNeighbours();
    virtual void Reset();
    virtual float EdgeWeight(int index) const;
    virtual void SetWeight(float value);
    virtual float GetWeight() const;
    virtual float Cost(int index);
    // Appends a directed link and returns its slot; raises on a null vertex.
    virtual int AddNeighbour(TCustomVertex* vertex);
    virtual void AddWeightedNeighbour(TCustomVertex* vertex, float weight);

    TCustomVertex* GetNeighbour(int index) const;
    int NeighbourCount() const { return int(NeighbourCount_); }
    const TVerticies& Neighbours() const { return Neighbours_; } // every slot, used or not

    const QString& Name() const { return Name_; }
    void SetName(const QString& name) { Name_ = name; }
    void* Data() const { return Data_; }
    void SetData(void* data);
    bool Passable() const { return Passable_; }
    void SetPassable(bool passable);
    float Distance() const;
    void SetDistance(float distance);
    TCustomVertex* Previous() const;
    void SetPrevious(TCustomVertex* previous);

    TDijkstra* Owner() const { return Owner_; }
    int Index() const { return Owner_ ? int(Index_) : -1; }

protected:
    TVerticies Neighbours_;
    uint32_t NeighbourCount_ = 0;

private:
    friend class TDijkstra;

    QString Name_;
    void* Data_ = nullptr;
    bool Passable_ = true;
    float Distance_; // used only while the vertex is in no graph
    TCustomVertex* Previous_ = nullptr;
    TDijkstra* Owner_ = nullptr;
    uint32_t Index_ = 0;
};

// A vertex with a weight per link and a scalar weight; the solver reads none of them.
class TWeightedVertex : public TCustomVertex {
public:
    using TCostFunc = std::function<float(TWeightedVertex* vertex, int index)>;

    TWeightedVertex();

    void GrowNeighbours() override;
    float EdgeWeight(int index) const override;
    void SetWeight(float value) override { Weight_ = value; }
    float GetWeight() const override { return Weight_; }
    // Raises an error with an empty message when OnCost is unassigned.
    float Cost(int index) override;
    void AddWeightedNeighbour(TCustomVertex* vertex, float weight) override;

    const TWeights& Weights() const { return Weights_; }
    const TCostFunc& OnCost() const { return OnCost_; }
    void SetOnCost(TCostFunc onCost) { OnCost_ = std::move(onCost); }

private:
    TWeights Weights_;
    float Weight_ = 0;
    TCostFunc OnCost_;
};

// The graph and its solver; owns its vertices. For speed the links are copied into flat
// offset/target arrays (rebuilt by Finalize, or by the first Solve after links change), and the
// results live in flat arrays reused by every solve; a solve asks OnStepCost once per passable vertex.
class TDijkstra {
public:
    using TStepCost = std::function<int32_t(void* data)>;

    TDijkstra();
    ~TDijkstra();
    TDijkstra(const TDijkstra&) = delete;
    TDijkstra& operator=(const TDijkstra&) = delete;

    // Takes the vertex and returns its index, which never changes; raises on a null vertex.
    int AddVertex(std::unique_ptr<TCustomVertex> vertex);
    TCustomVertex* GetVertex(int index) const;
    int VertexCount() const { return int(Vertices_.size()); }

    // The price of entering the vertex carrying data; a negative price counts as 0.
    const TStepCost& OnStepCost() const { return OnStepCost_; }
    void SetOnStepCost(TStepCost onStepCost) { OnStepCost_ = std::move(onStepCost); }
    bool Suspended() const { return Suspended_; }
    void SetSuspended(bool suspended) { Suspended_ = suspended; }

    // Cheapest paths from the first vertex whose Data is startData to every vertex it reaches; the
    // start's own price is never counted and impassable vertices are never entered. Does nothing
    // while suspended. A start no vertex carries, or no OnStepCost, raises after every vertex is reset.
    void Solve(void* startData);
    // The same with the step costs handed in by vertex index (one per vertex); OnStepCost is not asked.
    void Solve(void* startData, std::span<const int32_t> stepCosts);

    // Builds the flat link arrays now instead of at the next solve.
    void Finalize();
    void ResetVertices();
    int IndexOfData(void* data) const; // -1 when no vertex carries it

    // Results of the last solve by vertex index.
    double DistanceOf(int index) const; // exact cost; +infinity when unreached
    int PreviousOf(int index) const; // -1 at the start and for unreached vertices
    std::vector<int> PathTo(int index) const; // the Previous chain: destination first, start last
    int PathSize(int index) const; // number of vertices on that chain

private:
    friend class TCustomVertex;

    static constexpr uint32_t None = UINT32_MAX;
    static constexpr int32_t Impassable = -1;

    // Per vertex: its distance (exact: integer sums stay exact in a double, where single precision
    // would round large ones into false ties), its entering cost in this solve, its predecessor.
    // The distance is held by its bit pattern, which orders the same as the value for the
    // non-negative distances a solve produces, and serves as the heap key.
    struct TSlot {
        uint64_t Dist;
        int32_t Cost;
        uint32_t Prev;
    };

    // A heap entry carries its vertex's distance.
    struct TEntry {
        uint64_t Key;
        uint32_t Vertex;
    };
    static const TEntry HeapEnd;

    int32_t StartIndexOrThrow(void* startData);
    void Run(uint32_t start);

    std::vector<std::unique_ptr<TCustomVertex>> Vertices_;
    std::vector<void*> Data_;
    std::vector<uint8_t> Passable_;
    std::vector<TSlot> Slots_;
    std::vector<uint32_t> Offsets_;
    std::vector<uint32_t> Targets_;
    std::vector<uint32_t> Improved_; // one expansion's improved neighbours
    std::vector<TEntry> Heap_; // slot 0 unused, kept between solves
    bool Dirty_ = true;
    bool Suspended_ = false;
    TStepCost OnStepCost_;
};

// The solver's heap order: -1 when a's Distance is smaller, +1 when larger, 0 otherwise.
int32_t CompareDistance(void* a, void* b);
