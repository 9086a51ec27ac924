#include "universegen.h"

#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <set>
#include <tuple>
#include <unordered_set>
#include <vector>

namespace universegen {

Universe tinyUniverse(); // tinyuniverse.cpp

namespace {

    std::uint64_t splitmix(std::uint64_t x)
    {
        x += 0x9E3779B97F4A7C15ull;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return x ^ (x >> 31);
    }

    // Every number comes from the engine's raw output through plain arithmetic: std:: distributions
    // and libm's transcendental functions may differ between library versions, which would change
    // the universe a seed stands for.
    class Rng {
    public:
        Rng(std::uint64_t seed, std::uint64_t stream)
            : m_engine(splitmix(seed ^ splitmix(stream)))
        {
        }
        double uniform() { return double(m_engine() >> 11) * 0x1.0p-53; }
        double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
        int below(int n)
        {
            const std::uint64_t range = std::uint64_t(n);
            const std::uint64_t limit = UINT64_MAX - UINT64_MAX % range;
            std::uint64_t r;
            do {
                r = m_engine();
            } while (r >= limit);
            return int(r % range);
        }
        int between(int lo, int hi) { return lo + below(hi - lo + 1); }
        bool chance(double p) { return uniform() < p; }
        // Roughly normal, mean 0 and deviation 1 (sum of four uniforms).
        double normal() { return (uniform() + uniform() + uniform() + uniform() - 2.0) * 1.7320508075688772; }
        // x rounded up or down at random so that the mean stays x.
        int roundRandom(double x)
        {
            const double base = std::floor(x);
            return int(base) + (chance(x - base) ? 1 : 0);
        }
        template <class T> void shuffle(std::vector<T>& v)
        {
            for (std::size_t i = v.size(); i > 1; --i)
                std::swap(v[i - 1], v[std::size_t(below(int(i)))]);
        }
        template <class T> const T& pick(const std::vector<T>& v) { return v[std::size_t(below(int(v.size())))]; }
        // Index into weights, chosen with probability proportional to its weight.
        int weighted(const std::vector<double>& weights, double total)
        {
            double r = uniform() * total;
            for (std::size_t i = 0; i < weights.size(); ++i) {
                r -= weights[i];
                if (r < 0)
                    return int(i);
            }
            return int(weights.size()) - 1;
        }

    private:
        std::mt19937_64 m_engine;
    };

    double round6(double v) { return std::round(v * 1e6) / 1e6; }
    double round4(double v) { return std::round(v * 1e4) / 1e4; }

    // ---- names ----

    const char* const kOnsets[] = { "b", "br", "c", "ch", "d", "dr", "f", "g", "gr", "h", "j", "k", "kr", "l", "m",
        "n", "p", "pr", "r", "s", "sh", "sk", "st", "t", "th", "tr", "v", "w", "y", "z" };
    const char* const kVowels[] = { "a", "e", "i", "o", "u", "a", "e", "o", "ai", "ei", "ou", "ia", "ae" };
    const char* const kCodas[] = { "", "", "", "", "n", "r", "s", "l", "th", "k", "m", "nd", "rn", "st", "x", "sk",
        "ll", "v" };
    const char kCodeChars[] = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789";

    template <class T, std::size_t N> const T& pickFrom(Rng& rng, const T (&items)[N])
    {
        return items[rng.below(int(N))];
    }

    class NameMaker {
    public:
        explicit NameMaker(Rng& rng)
            : m_rng(rng)
        {
        }

        // A pronounceable capitalised word of 4 to 9 letters.
        QString word()
        {
            for (;;) {
                const int syllables = m_rng.chance(0.55) ? 2 : (m_rng.chance(0.7) ? 3 : 1);
                QString w;
                for (int s = 0; s < syllables; ++s) {
                    if (s > 0 || m_rng.chance(0.85))
                        w += QLatin1String(pickFrom(m_rng, kOnsets));
                    w += QLatin1String(pickFrom(m_rng, kVowels));
                    if (s == syllables - 1 || m_rng.chance(0.25))
                        w += QLatin1String(pickFrom(m_rng, kCodas));
                }
                if (w.size() >= 4 && w.size() <= 9) {
                    w[0] = w[0].toUpper();
                    return w;
                }
            }
        }

        // A code name of the lawless parts, such as "K-6ZPQ".
        QString code()
        {
            static const int shapes[][2] = { { 1, 4 }, { 2, 4 }, { 3, 3 }, { 2, 3 }, { 1, 5 }, { 3, 4 } };
            const auto& shape = pickFrom(m_rng, shapes);
            QString c;
            for (int i = 0; i < shape[0]; ++i)
                c += QLatin1Char(kCodeChars[m_rng.below(int(sizeof kCodeChars) - 1)]);
            c += QLatin1Char('-');
            for (int i = 0; i < shape[1]; ++i)
                c += QLatin1Char(kCodeChars[m_rng.below(int(sizeof kCodeChars) - 1)]);
            return c;
        }

        // Two characters from a stock of Chinese characters and one of the suffixes.
        QString chinese(const QStringList& suffixes)
        {
            static const QString stock = QString::fromUtf8(
                "天穹幽暗星辰霜焰苍澜云岚玄冥烈风银河碧落紫雾寒潮赤沙金岭翠原北境南荒东海西陵长夜灵光青曜");
            QString n;
            n += stock[m_rng.below(int(stock.size()))];
            n += stock[m_rng.below(int(stock.size()))];
            return n + suffixes[m_rng.below(int(suffixes.size()))];
        }

        // Makes names with make() until one is not in used (compared without letter case).
        template <class Make> QString unique(QSet<QString>& used, Make make)
        {
            for (;;) {
                QString n = make();
                if (!used.contains(n.toLower())) {
                    used.insert(n.toLower());
                    return n;
                }
            }
        }

    private:
        Rng& m_rng;
    };

    QString roman(int n)
    {
        static const char* const numerals[]
            = { "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX", "X", "XI", "XII", "XIII", "XIV" };
        return QLatin1String(numerals[n - 1]);
    }

    // Sequential IDs with a few gaps.
    class IdSequence {
    public:
        IdSequence(int first, double gapChance, int maxGap)
            : m_next(first)
            , m_gapChance(gapChance)
            , m_maxGap(maxGap)
        {
        }
        int take(Rng& rng)
        {
            if (m_started && rng.chance(m_gapChance))
                m_next += rng.between(1, m_maxGap);
            m_started = true;
            return m_next++;
        }

    private:
        int m_next;
        double m_gapChance;
        int m_maxGap;
        bool m_started = false;
    };

    // ---- layout ----

    struct Pt {
        double x = 0;
        double z = 0;
    };

    double dist2(Pt a, Pt b) { return (a.x - b.x) * (a.x - b.x) + (a.z - b.z) * (a.z - b.z); }

    Pt centroid(const std::vector<Pt>& pts, const std::vector<int>& members)
    {
        Pt c;
        for (int i : members) {
            c.x += pts[std::size_t(i)].x;
            c.z += pts[std::size_t(i)].z;
        }
        c.x /= double(members.size());
        c.z /= double(members.size());
        return c;
    }

    // Splits points into about k compact clusters: spread-out seeds refined by a few Lloyd rounds.
    // weightSpread makes some seeds pull harder, so that cluster sizes vary. Empty clusters are
    // dropped; returns the member lists.
    std::vector<std::vector<int>> cluster(const std::vector<Pt>& pts, int k, double weightSpread, Rng& rng)
    {
        const int n = int(pts.size());
        k = std::clamp(k, 1, n);
        std::vector<Pt> seeds { pts[std::size_t(rng.below(n))] };
        while (int(seeds.size()) < k) {
            Pt best;
            double bestD = -1;
            for (int c = 0; c < 8; ++c) {
                const Pt p = pts[std::size_t(rng.below(n))];
                double nearest = std::numeric_limits<double>::max();
                for (const Pt& s : seeds)
                    nearest = std::min(nearest, dist2(p, s));
                if (nearest > bestD) {
                    bestD = nearest;
                    best = p;
                }
            }
            seeds.push_back(best);
        }
        std::vector<double> pull(static_cast<std::size_t>(k));
        for (double& w : pull) {
            const double f = 1.0 + weightSpread * rng.uniform(-1, 1);
            w = 1.0 / (f * f);
        }
        std::vector<int> label(static_cast<std::size_t>(n));
        for (int round = 0;; ++round) {
            for (int i = 0; i < n; ++i) {
                double best = std::numeric_limits<double>::max();
                for (int j = 0; j < k; ++j) {
                    const double d = dist2(pts[std::size_t(i)], seeds[std::size_t(j)]) * pull[std::size_t(j)];
                    if (d < best) {
                        best = d;
                        label[std::size_t(i)] = j;
                    }
                }
            }
            if (round == 3)
                break;
            std::vector<Pt> sums(static_cast<std::size_t>(k));
            std::vector<int> counts(static_cast<std::size_t>(k));
            for (int i = 0; i < n; ++i) {
                const auto l = std::size_t(label[std::size_t(i)]);
                sums[l].x += pts[std::size_t(i)].x;
                sums[l].z += pts[std::size_t(i)].z;
                ++counts[l];
            }
            for (std::size_t j = 0; j < std::size_t(k); ++j) {
                if (counts[j] == 0)
                    seeds[j] = pts[std::size_t(rng.below(n))];
                else
                    seeds[j] = { sums[j].x / counts[j], sums[j].z / counts[j] };
            }
        }
        std::vector<std::vector<int>> groups(static_cast<std::size_t>(k));
        for (int i = 0; i < n; ++i)
            groups[std::size_t(label[std::size_t(i)])].push_back(i);
        std::erase_if(groups, [](const std::vector<int>& g) { return g.empty(); });
        return groups;
    }

    struct GenRegion {
        std::vector<int> constellations;
        std::vector<int> systems;
        bool reachable = true;
        int id = 0;
        QString name;
        int color = 0;
        int faction = kNullFaction;
        Pt centre;
        double y = 0;
    };

    struct GenConstellation {
        int region = 0;
        std::vector<int> systems;
        int id = 0;
        QString name;
        Pt centre;
        double y = 0;
    };

    struct GenSystem {
        Pt p;
        double y = 0;
        int constellation = 0;
        int region = 0;
        double security = 0;
        int id = 0;
        QString name;
        double luminosity = 0;
    };

    struct Galaxy {
        std::vector<GenRegion> regions;
        std::vector<int> idOrder; // region indices in ID order
        std::vector<GenConstellation> constellations;
        std::vector<GenSystem> systems;
    };

    // Adds one region made of the given points (system positions) to the galaxy, its systems
    // clustered into constellations and pulled together so that constellations and regions show
    // as separate patches on the map.
    void addRegion(Galaxy& g, const std::vector<Pt>& pts, double perConstellation, double yScale, bool reachable,
        Rng& rng)
    {
        GenRegion region;
        region.reachable = reachable;
        const int regionIndex = int(g.regions.size());
        std::vector<int> all(pts.size());
        for (std::size_t i = 0; i < pts.size(); ++i)
            all[i] = int(i);
        region.centre = centroid(pts, all);
        region.y = rng.normal() * 1.0e16 * yScale;
        const int k = std::max(1, int(std::lround(double(pts.size()) / perConstellation)));
        for (const std::vector<int>& members : cluster(pts, k, 0.2, rng)) {
            GenConstellation c;
            c.region = regionIndex;
            const Pt centre = centroid(pts, members);
            c.centre = { region.centre.x + 0.82 * (centre.x - region.centre.x),
                region.centre.z + 0.82 * (centre.z - region.centre.z) };
            c.y = region.y + rng.normal() * 3.0e15;
            const int constellationIndex = int(g.constellations.size());
            for (int m : members) {
                GenSystem s;
                const Pt p = pts[std::size_t(m)];
                s.p = { c.centre.x + 0.5 * (p.x - centre.x), c.centre.z + 0.5 * (p.z - centre.z) };
                s.y = c.y + rng.normal() * 1.5e15;
                s.constellation = constellationIndex;
                s.region = regionIndex;
                c.systems.push_back(int(g.systems.size()));
                region.systems.push_back(int(g.systems.size()));
                g.systems.push_back(s);
            }
            region.constellations.push_back(constellationIndex);
            g.constellations.push_back(c);
        }
        g.regions.push_back(region);
    }

    struct Targets {
        int regions;
        int unreachable;
        int systems;
        int constellations;
        int stations;
        int stationSystems;
        int agents;
    };

    Targets targetsFor(double scale)
    {
        Targets t {};
        t.unreachable = std::clamp(int(std::lround(3 * scale)), 1, 3);
        t.regions = std::max(t.unreachable + 2, int(std::lround(65 * scale)));
        t.systems = std::max(t.regions * 6, int(std::lround(5200 * scale)));
        t.constellations = std::max(t.regions, int(std::lround(1100 * scale)));
        t.stationSystems = std::max(2, int(std::lround(1500 * scale)));
        t.stations = std::max(t.stationSystems, int(std::lround(5000 * scale)));
        t.agents = std::max(2, int(std::lround(10000 * scale)));
        return t;
    }

    Galaxy layOut(const Targets& t, double scale, Rng& rng)
    {
        const double root = std::sqrt(scale);
        const double rx = 1.05e17 * root;
        const double rz = 0.80e17 * root;
        const double perConstellation = double(t.systems) / t.constellations;

        std::vector<int> islandSizes;
        int islandTotal = 0;
        for (int i = 0; i < t.unreachable; ++i) {
            islandSizes.push_back(std::max(4, int(std::lround(std::min(1.0, scale) * rng.between(22, 40)))));
            islandTotal += islandSizes.back();
        }
        const int mainCount = t.systems - islandTotal;

        // The main area: an ellipse with denser and thinner parts.
        struct Bump {
            Pt c;
            double r2;
            double a;
        };
        std::vector<Bump> bumps;
        for (int i = 0; i < 8; ++i) {
            const double r = rng.uniform(0.15, 0.4) * rx;
            bumps.push_back({ { rng.uniform(-0.7, 0.7) * rx, rng.uniform(-0.7, 0.7) * rz }, r * r, rng.uniform(0.6, 1.2) });
        }
        std::vector<Pt> mainPts;
        while (int(mainPts.size()) < mainCount) {
            const Pt p { rng.uniform(-1, 1) * rx, rng.uniform(-1, 1) * rz };
            const double e = (p.x / rx) * (p.x / rx) + (p.z / rz) * (p.z / rz);
            if (e > 1)
                continue;
            double density = 0.08;
            for (const Bump& b : bumps)
                density += b.a / (1 + dist2(p, b.c) / b.r2);
            if (rng.uniform() < density * (1 - e * e * e))
                mainPts.push_back(p);
        }

        Galaxy g;
        for (const std::vector<int>& members : cluster(mainPts, t.regions - t.unreachable, 0.25, rng)) {
            std::vector<Pt> pts;
            for (int m : members)
                pts.push_back(mainPts[std::size_t(m)]);
            addRegion(g, pts, perConstellation, root, true, rng);
        }

        // Islands no gate reaches, off the edges of the main area.
        static const Pt directions[] = { { 1.22, 0.35 }, { -1.18, -0.5 }, { 0.2, 1.2 } };
        for (int i = 0; i < t.unreachable; ++i) {
            const Pt centre { directions[i].x * rx + rng.normal() * 0.03 * rx,
                directions[i].z * rz + rng.normal() * 0.03 * rz };
            const double radius = 0.1 * rx * std::sqrt(islandSizes[std::size_t(i)] / 30.0);
            std::vector<Pt> pts;
            while (int(pts.size()) < islandSizes[std::size_t(i)]) {
                const double dx = rng.uniform(-1, 1);
                const double dz = rng.uniform(-1, 1);
                if (dx * dx + dz * dz <= 1)
                    pts.push_back({ centre.x + dx * radius, centre.z + dz * radius });
            }
            addRegion(g, pts, perConstellation, root, false, rng);
        }
        return g;
    }

    // ---- gates ----

    class GateBuilder {
    public:
        explicit GateBuilder(const std::vector<GenSystem>& systems)
            : m_systems(systems)
        {
            degree.assign(systems.size(), 0);
        }

        bool linked(int a, int b) const { return m_keys.contains(key(a, b)); }

        bool link(int a, int b)
        {
            if (a == b || !m_keys.insert(key(a, b)).second)
                return false;
            links.push_back({ a, b });
            ++degree[std::size_t(a)];
            ++degree[std::size_t(b)];
            return true;
        }

        double distance(int a, int b) const
        {
            return std::sqrt(dist2(m_systems[std::size_t(a)].p, m_systems[std::size_t(b)].p));
        }

        double minDistance(const std::vector<int>& as, const std::vector<int>& bs) const
        {
            double best = std::numeric_limits<double>::max();
            for (int a : as)
                for (int b : bs)
                    best = std::min(best, dist2(m_systems[std::size_t(a)].p, m_systems[std::size_t(b)].p));
            return std::sqrt(best);
        }

        // Links the closest unlinked pair of the two groups, sparing systems that have many gates.
        bool linkClosest(const std::vector<int>& as, const std::vector<int>& bs)
        {
            double best = std::numeric_limits<double>::max();
            int bestA = -1;
            int bestB = -1;
            for (int a : as) {
                for (int b : bs) {
                    if (a == b || linked(a, b))
                        continue;
                    const double cost = distance(a, b) * (1 + 0.4 * degree[std::size_t(a)])
                        * (1 + 0.4 * degree[std::size_t(b)]);
                    if (cost < best) {
                        best = cost;
                        bestA = a;
                        bestB = b;
                    }
                }
            }
            return bestA >= 0 && link(bestA, bestB);
        }

        std::vector<IdPair> links;
        std::vector<int> degree;

    private:
        static std::uint64_t key(int a, int b)
        {
            return (std::uint64_t(std::uint32_t(std::min(a, b))) << 32) | std::uint32_t(std::max(a, b));
        }
        const std::vector<GenSystem>& m_systems;
        std::unordered_set<std::uint64_t> m_keys;
    };

    struct Candidate {
        double d;
        int a;
        int b;
        bool operator<(const Candidate& o) const
        {
            if (d != o.d)
                return d < o.d;
            if (a != o.a)
                return a < o.a;
            return b < o.b;
        }
    };

    // Minimum spanning tree of a small complete graph given by its distance matrix (Prim).
    std::vector<IdPair> spanningTree(const std::vector<std::vector<double>>& d)
    {
        const std::size_t n = d.size();
        std::vector<IdPair> edges;
        std::vector<bool> inTree(n);
        std::vector<double> best(n, std::numeric_limits<double>::max());
        std::vector<int> parent(n, -1);
        best[0] = 0;
        for (std::size_t step = 0; step < n; ++step) {
            std::size_t u = n;
            for (std::size_t v = 0; v < n; ++v)
                if (!inTree[v] && (u == n || best[v] < best[u]))
                    u = v;
            inTree[u] = true;
            if (parent[u] >= 0)
                edges.push_back({ parent[u], int(u) });
            for (std::size_t v = 0; v < n; ++v) {
                if (!inTree[v] && d[u][v] < best[v]) {
                    best[v] = d[u][v];
                    parent[v] = int(u);
                }
            }
        }
        return edges;
    }

    // Gates inside each constellation: a spanning tree plus a few short loops.
    void constellationGates(const Galaxy& g, GateBuilder& gates, Rng& rng)
    {
        for (const GenConstellation& c : g.constellations) {
            const std::vector<int>& m = c.systems;
            const std::size_t n = m.size();
            std::vector<std::vector<double>> d(n, std::vector<double>(n));
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = 0; j < n; ++j)
                    d[i][j] = gates.distance(m[i], m[j]);
            for (const IdPair& e : spanningTree(d))
                gates.link(m[std::size_t(e.first)], m[std::size_t(e.second)]);
            if (n < 3)
                continue;
            int extras = rng.roundRandom(double(n - 1) * 0.245);
            std::vector<Candidate> candidates;
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = i + 1; j < n; ++j)
                    if (!gates.linked(m[i], m[j]))
                        candidates.push_back({ d[i][j], m[i], m[j] });
            std::sort(candidates.begin(), candidates.end());
            for (const Candidate& cand : candidates) {
                if (extras == 0)
                    break;
                if (gates.degree[std::size_t(cand.a)] < 4 && gates.degree[std::size_t(cand.b)] < 4 && rng.chance(0.65)) {
                    gates.link(cand.a, cand.b);
                    --extras;
                }
            }
        }
    }

    // Gates between the constellations of each region: a spanning tree of the constellations,
    // each edge realised between their closest systems, plus a few extra links.
    void regionInternalGates(const Galaxy& g, GateBuilder& gates, Rng& rng)
    {
        for (const GenRegion& r : g.regions) {
            const std::size_t n = r.constellations.size();
            if (n < 2)
                continue;
            auto members = [&](std::size_t i) -> const std::vector<int>& {
                return g.constellations[std::size_t(r.constellations[i])].systems;
            };
            std::vector<std::vector<double>> d(n, std::vector<double>(n));
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = i + 1; j < n; ++j)
                    d[i][j] = d[j][i] = gates.minDistance(members(i), members(j));
            const std::vector<IdPair> tree = spanningTree(d);
            std::set<std::pair<int, int>> used;
            for (const IdPair& e : tree) {
                gates.linkClosest(members(std::size_t(e.first)), members(std::size_t(e.second)));
                used.insert({ std::min(e.first, e.second), std::max(e.first, e.second) });
            }
            int extras = rng.roundRandom(double(n - 1) * 0.39);
            std::vector<Candidate> candidates;
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = i + 1; j < n; ++j)
                    if (!used.contains({ int(i), int(j) }))
                        candidates.push_back({ d[i][j], int(i), int(j) });
            std::sort(candidates.begin(), candidates.end());
            for (const Candidate& cand : candidates) {
                if (extras == 0)
                    break;
                if (rng.chance(0.6)) {
                    gates.linkClosest(members(std::size_t(cand.a)), members(std::size_t(cand.b)));
                    --extras;
                }
            }
        }
    }

    int findRoot(std::vector<int>& parent, int x)
    {
        while (parent[std::size_t(x)] != x) {
            parent[std::size_t(x)] = parent[std::size_t(parent[std::size_t(x)])];
            x = parent[std::size_t(x)];
        }
        return x;
    }

    // Gates between the reachable regions: a spanning tree over neighbouring regions keeps them
    // all connected; more links, mostly between close neighbours, make the borders porous.
    void interRegionGates(const Galaxy& g, GateBuilder& gates, Rng& rng)
    {
        std::vector<int> mains;
        for (std::size_t i = 0; i < g.regions.size(); ++i)
            if (g.regions[i].reachable)
                mains.push_back(int(i));
        const std::size_t n = mains.size();
        auto region = [&](std::size_t i) -> const GenRegion& { return g.regions[std::size_t(mains[i])]; };

        std::set<std::pair<int, int>> pairSet;
        for (std::size_t i = 0; i < n; ++i) {
            std::vector<Candidate> near;
            for (std::size_t j = 0; j < n; ++j)
                if (j != i)
                    near.push_back({ dist2(region(i).centre, region(j).centre), int(i), int(j) });
            std::sort(near.begin(), near.end());
            for (std::size_t k = 0; k < std::min<std::size_t>(6, near.size()); ++k)
                pairSet.insert({ std::min(near[k].a, near[k].b), std::max(near[k].a, near[k].b) });
        }
        std::vector<Candidate> pairs;
        for (const auto& [a, b] : pairSet)
            pairs.push_back({ gates.minDistance(region(std::size_t(a)).systems, region(std::size_t(b)).systems), a, b });
        std::sort(pairs.begin(), pairs.end());

        std::vector<int> parent(n);
        for (std::size_t i = 0; i < n; ++i)
            parent[i] = int(i);
        std::vector<double> treeLengths;
        auto join = [&](int a, int b, double d) {
            parent[std::size_t(findRoot(parent, a))] = findRoot(parent, b);
            gates.linkClosest(region(std::size_t(a)).systems, region(std::size_t(b)).systems);
            treeLengths.push_back(d);
        };
        for (const Candidate& p : pairs)
            if (findRoot(parent, p.a) != findRoot(parent, p.b))
                join(p.a, p.b, p.d);
        // Neighbour lists can leave separate groups; join them by their closest centres.
        for (;;) {
            Candidate best { std::numeric_limits<double>::max(), -1, -1 };
            for (std::size_t i = 0; i < n; ++i)
                for (std::size_t j = i + 1; j < n; ++j)
                    if (findRoot(parent, int(i)) != findRoot(parent, int(j))) {
                        const Candidate c { dist2(region(i).centre, region(j).centre), int(i), int(j) };
                        if (c < best)
                            best = c;
                    }
            if (best.a < 0)
                break;
            join(best.a, best.b,
                gates.minDistance(region(std::size_t(best.a)).systems, region(std::size_t(best.b)).systems));
        }
        if (pairs.empty() || treeLengths.empty())
            return;

        std::sort(treeLengths.begin(), treeLengths.end());
        const double reference = treeLengths[treeLengths.size() / 2];
        std::vector<double> weights;
        double total = 0;
        for (const Candidate& p : pairs) {
            // Far pairs would need long gates across other regions.
            const double q = p.d / reference;
            weights.push_back(q > 2.5 ? 0.0 : 1.0 / (1.0 + q * q * q * q));
            total += weights.back();
        }
        const int extras = rng.roundRandom(double(n) * 4.77);
        for (int e = 0; e < extras; ++e) {
            const Candidate& p = pairs[std::size_t(rng.weighted(weights, total))];
            gates.linkClosest(region(std::size_t(p.a)).systems, region(std::size_t(p.b)).systems);
        }
    }

    // ---- security, factions ----

    // A quarter of all systems, nearest a core point, get high security; the next sixth low
    // security; the rest (and every island) negative. Constellation and region noise keep the
    // bands grouped but ragged.
    void assignSecurity(Galaxy& g, double scale, Rng& rng)
    {
        const double span = 1.05e17 * std::sqrt(scale);
        std::vector<int> mains;
        Pt core;
        for (std::size_t i = 0; i < g.systems.size(); ++i) {
            if (g.regions[std::size_t(g.systems[i].region)].reachable) {
                mains.push_back(int(i));
                core.x += g.systems[i].p.x;
                core.z += g.systems[i].p.z;
            }
        }
        core.x = core.x / double(mains.size()) + rng.uniform(-0.15, 0.15) * span;
        core.z = core.z / double(mains.size()) + rng.uniform(-0.15, 0.15) * span;

        std::vector<double> regionNoise(g.regions.size());
        for (double& v : regionNoise)
            v = rng.uniform(-0.12, 0.12);
        std::vector<double> constellationNoise(g.constellations.size());
        std::vector<double> depth(g.constellations.size());
        for (std::size_t c = 0; c < g.constellations.size(); ++c) {
            constellationNoise[c] = rng.uniform(-0.1, 0.1);
            depth[c] = rng.uniform(-0.5, 0.5);
        }
        std::vector<Candidate> order;
        for (int i : mains) {
            const GenSystem& s = g.systems[std::size_t(i)];
            const double score = std::sqrt(dist2(s.p, core)) / span + regionNoise[std::size_t(s.region)]
                + constellationNoise[std::size_t(s.constellation)] + rng.uniform(-0.02, 0.02);
            order.push_back({ score, i, 0 });
        }
        std::sort(order.begin(), order.end());

        const double total = double(g.systems.size());
        const std::size_t high = std::min(order.size(), std::size_t(std::lround(total * 0.25)));
        const std::size_t low = std::min(order.size(), high + std::size_t(std::lround(total / 6)));
        for (std::size_t k = 0; k < order.size(); ++k) {
            GenSystem& s = g.systems[std::size_t(order[k].a)];
            double sec;
            if (k < high) {
                const double t = double(k) / double(high);
                sec = std::clamp(round6(1.05 - 0.6 * t + 0.06 * rng.normal()), 0.45, 1.0);
            } else if (k < low) {
                const double t = double(k - high) / double(low - high);
                sec = std::clamp(round6(0.47 - 0.5 * t + 0.04 * rng.normal()), 0.0, 0.449999);
            } else {
                const double t = double(k - low) / double(order.size() - low);
                sec = std::clamp(round6(-(0.12 + 0.6 * t + 0.35 * depth[std::size_t(s.constellation)]
                                     + 0.1 * rng.normal())),
                    -1.0, -0.000001);
            }
            s.security = sec;
        }
        for (GenSystem& s : g.systems) {
            if (!g.regions[std::size_t(s.region)].reachable)
                s.security = std::clamp(
                    round6(-(0.45 + 0.4 * depth[std::size_t(s.constellation)] + 0.15 * rng.normal())), -1.0, -0.000001);
        }
    }

    // Regions with any high or low security belong to the empire (among the first four factions)
    // whose capital is nearest; some lawless regions to other factions; islands carry an empty text.
    void assignFactions(Galaxy& g, int factionCount, Rng& rng)
    {
        std::vector<Pt> secure;
        for (const GenSystem& s : g.systems)
            if (s.security >= 0.45)
                secure.push_back(s.p);
        std::vector<Pt> capitals;
        if (!secure.empty()) {
            for (const std::vector<int>& group : cluster(secure, 4, 0.0, rng))
                capitals.push_back(centroid(secure, group));
        } else {
            capitals.push_back({});
        }
        for (GenRegion& r : g.regions) {
            if (!r.reachable) {
                r.faction = kBlankFaction;
                continue;
            }
            int lawful = 0;
            for (int s : r.systems)
                lawful += g.systems[std::size_t(s)].security >= 0 ? 1 : 0;
            if (lawful * 5 >= int(r.systems.size())) {
                std::size_t nearest = 0;
                for (std::size_t c = 1; c < capitals.size(); ++c)
                    if (dist2(r.centre, capitals[c]) < dist2(r.centre, capitals[nearest]))
                        nearest = c;
                r.faction = int(nearest);
            } else if (rng.chance(0.25)) {
                r.faction = rng.between(4, std::min(9, factionCount - 1));
            }
        }
    }

    // ---- names and IDs ----

    void nameAndNumber(Galaxy& g, Rng& rng)
    {
        NameMaker names(rng);
        QSet<QString> regionNames;
        QSet<QString> constellationNames;
        QSet<QString> systemNames;
        const QStringList regionSuffixes { QString::fromUtf8("星域"), QString::fromUtf8("之域"), QString::fromUtf8("边域") };
        const QStringList constellationSuffixes { QString::fromUtf8("座"), QString::fromUtf8("星团"), QString::fromUtf8("之环") };
        static const char* const regionWords[] = { " Reach", " Expanse", " Drift", " Frontier", " Marches", " Basin", " Verge" };

        std::vector<int> order(g.regions.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        rng.shuffle(order);
        // Every universe has at least one of each kind of name and colour.
        const int chineseRegion = rng.below(int(order.size()));
        const int blankColour = rng.below(int(order.size()));
        const int firstColour = (blankColour + 1) % int(order.size());
        const int spacedName = rng.below(int(g.systems.size()));
        int codedName = rng.below(int(g.systems.size()));
        if (codedName == spacedName)
            codedName = (codedName + 1) % int(g.systems.size());

        IdSequence regionIds(10000001, 0.05, 2);
        IdSequence constellationIds(20000001, 0.02, 2);
        IdSequence systemIds(30000001, 0.004, 3);
        for (std::size_t k = 0; k < order.size(); ++k) {
            GenRegion& r = g.regions[std::size_t(order[k])];
            r.id = regionIds.take(rng);
            const bool chinese = int(k) == chineseRegion || rng.chance(0.12);
            r.name = names.unique(regionNames, [&] {
                if (chinese)
                    return names.chinese(regionSuffixes);
                return rng.chance(0.3) ? names.word() + QLatin1String(pickFrom(rng, regionWords)) : names.word();
            });
            if (int(k) == blankColour || (int(k) != firstColour && rng.chance(0.15))) {
                r.color = 0;
            } else {
                const int red = rng.between(60, 255);
                const int green = rng.between(60, 255);
                const int blue = rng.between(60, 255);
                r.color = (blue << 16) | (green << 8) | red;
            }
            const bool lawless = r.faction == kNullFaction;
            for (int ci : r.constellations) {
                GenConstellation& c = g.constellations[std::size_t(ci)];
                c.id = constellationIds.take(rng);
                c.name = names.unique(constellationNames, [&] {
                    return chinese ? names.chinese(constellationSuffixes) : names.word();
                });
                for (int si : c.systems) {
                    GenSystem& s = g.systems[std::size_t(si)];
                    s.id = systemIds.take(rng);
                    const bool coded = si == codedName || (s.security < 0 && rng.chance(lawless ? 0.75 : 0.3));
                    const bool spaced = si == spacedName || rng.chance(0.015);
                    s.name = names.unique(systemNames, [&] {
                        if (coded && si != spacedName)
                            return names.code();
                        return spaced ? names.word() + QLatin1Char(' ') + names.word() : names.word();
                    });
                    const double u = rng.uniform();
                    s.luminosity = round4(0.02 + 3.0 * u * u * rng.uniform(0.5, 1.5));
                }
            }
        }
        g.idOrder = order;
    }

    // ---- reference data ----

    struct Reference {
        std::vector<int> factionIds;
        std::vector<Named> corporations;
        std::vector<int> corporationFaction; // index into factionIds, -1 for none
        std::vector<int> divisionIds;
        std::vector<int> operationIds;
        std::vector<QString> facilities; // per operation
    };

    Reference addReferenceData(Universe& u, Rng& rng)
    {
        Reference ref;
        NameMaker names(rng);
        QSet<QString> used;

        static const char* const factionWords[] = { "Empire", "Republic", "State", "Federation", "Syndicate", "Cartel",
            "Collective", "Union", "Directorate", "Assembly", "Brotherhood", "Commonwealth", "Dominion", "Consortium",
            "Order", "League", "Khanate", "Covenant", "Accord", "Remnant" };
        std::vector<const char*> factionSuffixes(std::begin(factionWords), std::end(factionWords));
        for (std::size_t i = 0; i < factionSuffixes.size(); ++i) {
            const int id = 500001 + int(i);
            u.factions.append({ id, names.unique(used, [&] {
                return names.word() + QLatin1Char(' ') + QLatin1String(factionSuffixes[i]);
            }) });
            ref.factionIds.push_back(id);
        }

        static const char* const corporationWords[] = { "Industries", "Logistics", "Mining", "Navy", "Manufacturing",
            "Shipyards", "Research", "Trading", "Holdings", "Security", "Exploration", "Foundry", "Biotech", "Systems",
            "Bureau", "Guard", "Outfitters", "Academy", "Consolidated", "Dynamics" };
        IdSequence corporationIds(1000002, 0.05, 3);
        for (int i = 0; i < 250; ++i) {
            const Named corp { corporationIds.take(rng), names.unique(used, [&] {
                                  return names.word() + QLatin1Char(' ') + QLatin1String(pickFrom(rng, corporationWords));
                              }) };
            u.corporations.append(corp);
            ref.corporations.push_back(corp);
            int faction = -1;
            if (rng.chance(0.86)) {
                faction = rng.chance(0.65) ? rng.below(4) : rng.below(int(ref.factionIds.size()));
                u.factionCorporations.append({ corp.id, ref.factionIds[std::size_t(faction)] });
            }
            ref.corporationFaction.push_back(faction);
        }

        const QStringList divisions = QString::fromUtf8("财务部 行政部 顾问部 档案部 勘测部 指挥部 物流部 情报部 内务部 "
                                                        "法务部 制造部 营销部 采矿部 人事部 生产部 公关部 研发部 安保部 "
                                                        "仓储部 监察部 工程部 外交部 医疗部 运输部 培训部")
                                          .split(QLatin1Char(' '));
        for (int i = 0; i < divisions.size(); ++i) {
            u.divisions.append({ i + 1, divisions[i] });
            ref.divisionIds.push_back(i + 1);
        }

        // Service 0 is the market.
        const QStringList services = QString::fromUtf8("市场 维修厂 克隆舱 精炼厂 制造工厂 研究实验室 保险公司 "
                                                       "赏金办公室 新闻中心 黑市 证券所 舰船装配 停泊港 健身中心 "
                                                       "办公室出租 货运中心 兵工厂 医疗舱 导航中心 声望办公室 拍卖行 "
                                                       "燃料库 档案馆 海关")
                                         .split(QLatin1Char(' '));
        for (int i = 0; i < services.size(); ++i)
            u.services.append({ 1 << i, services[i] });

        static const char* const facilityWords[] = { "Factory", "Warehouse", "Storage", "Academy", "Refinery",
            "Assembly Plant", "Trading Post", "Logistic Support", "Testing Facilities", "Research Center", "Shipyard",
            "Treasury", "Bureau Offices", "Plantation", "Foundry", "Mining Outpost", "Hospital", "Depot", "School",
            "Tribunal" };
        IdSequence operationIds(1, 0.15, 2);
        for (int i = 0; i < 60; ++i) {
            const int id = operationIds.take(rng);
            ref.operationIds.push_back(id);
            ref.facilities.push_back(QLatin1String(facilityWords[std::size_t(i) % std::size(facilityWords)]));
            int count = 0;
            for (int s = 0; s < services.size(); ++s) {
                if (rng.chance(s == 0 ? 0.75 : 0.35) || (s == services.size() - 1 && count < 2)) {
                    u.operationServices.append({ id, 1 << s });
                    ++count;
                }
            }
        }

        static const char* const implantKinds[] = { "Ocular Filter", "Memory Augmentation", "Neural Boost",
            "Cybernetic Subprocessor", "Social Adaptation Chip", "Reflex Coupler", "Spinal Relay", "Cortex Weave",
            "Hull Sense Array", "Nav Link" };
        static const char* const attributes[] = { "Perception", "Memory", "Willpower", "Intelligence", "Charisma" };
        IdSequence implantIds(22101, 0.1, 4);
        std::vector<int> implantIds_;
        for (int i = 0; i < 120; ++i) {
            const int kind = rng.below(int(std::size(implantKinds)));
            const int grade = rng.between(1, 5);
            const QString attribute = kind < 5 ? QLatin1String(attributes[kind]) : QString(QLatin1String(""));
            const int id = implantIds.take(rng);
            implantIds_.push_back(id);
            u.implants.append({ id, names.unique(used, [&] {
                                   return names.word() + QLatin1Char(' ') + QLatin1String(implantKinds[kind])
                                       + QStringLiteral(" Mk %1").arg(grade);
                               }),
                attribute, grade });
        }
        std::vector<int> offering;
        for (int i = 0; i < 100; ++i)
            offering.push_back(ref.corporations[std::size_t(rng.below(int(ref.corporations.size())))].id);
        std::set<std::tuple<int, int, int>> offers;
        while (offers.size() < 400) {
            const std::tuple<int, int, int> offer { rng.pick(offering), rng.pick(implantIds_), rng.between(1, 5) };
            if (offers.insert(offer).second)
                u.corporationImplants.append({ std::get<0>(offer), std::get<1>(offer), std::get<2>(offer) });
        }
        return ref;
    }

    // ---- stations and agents ----

    double stationWeight(const GenSystem& s, const GenRegion& r)
    {
        if (!r.reachable)
            return 0.4;
        if (s.security >= 0.45)
            return 3.0;
        if (s.security >= 0)
            return 2.0;
        return r.faction >= 0 ? 1.0 : 0.5;
    }

    void addStationsAndAgents(Universe& u, const Galaxy& g, const Reference& ref, const Targets& t, Rng& rng)
    {
        NameMaker names(rng);
        const std::size_t n = g.systems.size();
        std::vector<double> weight(n);
        for (std::size_t i = 0; i < n; ++i)
            weight[i] = stationWeight(g.systems[i], g.regions[std::size_t(g.systems[i].region)]);

        // Which systems have stations, and how many.
        std::vector<int> count(n);
        const int systemsWanted = std::min(t.stationSystems, int(n));
        std::vector<int> chosen;
        while (int(chosen.size()) < systemsWanted) {
            const int i = rng.below(int(n));
            if (count[std::size_t(i)] == 0 && rng.chance(weight[std::size_t(i)] / 3.0)) {
                count[std::size_t(i)] = 1;
                chosen.push_back(i);
            }
        }
        for (int extra = t.stations - systemsWanted; extra > 0;) {
            const int i = rng.pick(chosen);
            if (count[std::size_t(i)] < 20 && rng.chance(weight[std::size_t(i)] / 3.0)) {
                ++count[std::size_t(i)];
                --extra;
            }
        }

        std::vector<std::vector<int>> corporationsOf(ref.factionIds.size());
        for (std::size_t c = 0; c < ref.corporations.size(); ++c)
            if (ref.corporationFaction[c] >= 0)
                corporationsOf[std::size_t(ref.corporationFaction[c])].push_back(int(c));
        std::vector<int> factionIndex(g.regions.size(), -1);
        for (std::size_t r = 0; r < g.regions.size(); ++r)
            factionIndex[r] = g.regions[r].faction >= 0 ? g.regions[r].faction : -1;

        // Stations in system ID order.
        std::vector<int> systemOrder;
        for (int ri : g.idOrder)
            for (int c : g.regions[std::size_t(ri)].constellations)
                for (int s : g.constellations[std::size_t(c)].systems)
                    systemOrder.push_back(s);
        IdSequence stationIds(60000001, 0.01, 4);
        std::vector<int> stationCorporation;
        for (int si : systemOrder) {
            const GenSystem& s = g.systems[std::size_t(si)];
            std::set<std::pair<int, int>> places;
            for (int k = 0; k < count[std::size_t(si)]; ++k) {
                std::pair<int, int> place;
                do {
                    place = { rng.between(1, 12), rng.between(1, 20) };
                } while (!places.insert(place).second);
                const int faction = factionIndex[std::size_t(s.region)];
                const std::size_t corp = faction >= 0 && !corporationsOf[std::size_t(faction)].empty() && rng.chance(0.7)
                    ? std::size_t(rng.pick(corporationsOf[std::size_t(faction)]))
                    : std::size_t(rng.below(int(ref.corporations.size())));
                const int op = rng.below(int(ref.operationIds.size()));
                const QString name = QStringLiteral("%1 %2 - Moon %3 - %4 %5")
                                         .arg(s.name, roman(place.first))
                                         .arg(place.second)
                                         .arg(ref.corporations[corp].name, ref.facilities[std::size_t(op)]);
                u.stations.append({ stationIds.take(rng), name, ref.operationIds[std::size_t(op)],
                    ref.corporations[corp].id, s.id });
                stationCorporation.push_back(int(corp));
            }
        }

        // Agents at a little over half of the stations.
        std::vector<int> hosts;
        for (int i = 0; i < int(u.stations.size()); ++i)
            if (rng.chance(0.55))
                hosts.push_back(i);
        if (hosts.empty())
            hosts.push_back(0);
        std::vector<int> perStation(u.stations.size());
        for (int a = 0; a < t.agents; ++a)
            ++perStation[std::size_t(rng.pick(hosts))];
        static const double levelWeights[] = { 0.30, 0.25, 0.22, 0.15, 0.08 };
        const std::vector<double> levels(std::begin(levelWeights), std::end(levelWeights));
        IdSequence agentIds(3008001, 0.01, 3);
        for (int st = 0; st < int(u.stations.size()); ++st) {
            for (int k = 0; k < perStation[std::size_t(st)]; ++k) {
                const QString name = rng.chance(0.1) ? names.word() : names.word() + QLatin1Char(' ') + names.word();
                const std::size_t corp = rng.chance(0.85) ? std::size_t(stationCorporation[std::size_t(st)])
                                                          : std::size_t(rng.below(int(ref.corporations.size())));
                u.agents.append({ agentIds.take(rng), name, rng.between(-20, 20), 1 + rng.weighted(levels, 1.0),
                    u.stations[st].id, ref.corporations[corp].id, rng.pick(ref.divisionIds) });
            }
        }
    }

    Universe generateDefault(std::uint64_t seed, double scale)
    {
        const Targets t = targetsFor(scale);
        Rng layoutRng(seed, 1);
        Rng gateRng(seed, 2);
        Rng securityRng(seed, 3);
        Rng nameRng(seed, 4);
        Rng referenceRng(seed, 5);
        Rng stationRng(seed, 6);

        Galaxy g = layOut(t, scale, layoutRng);
        GateBuilder gates(g.systems);
        constellationGates(g, gates, gateRng);
        regionInternalGates(g, gates, gateRng);
        interRegionGates(g, gates, gateRng);
        assignSecurity(g, scale, securityRng);

        Universe u;
        const Reference ref = addReferenceData(u, referenceRng);
        assignFactions(g, int(ref.factionIds.size()), securityRng);
        nameAndNumber(g, nameRng);

        auto factionOf = [&](const GenRegion& r) {
            return r.faction >= 0 ? ref.factionIds[std::size_t(r.faction)] : r.faction;
        };
        for (int ri : g.idOrder) {
            const GenRegion& r = g.regions[std::size_t(ri)];
            u.regions.append({ r.id, r.name, r.color });
            for (int ci : r.constellations) {
                const GenConstellation& c = g.constellations[std::size_t(ci)];
                double x = 0, y = 0, z = 0;
                for (int si : c.systems) {
                    const GenSystem& s = g.systems[std::size_t(si)];
                    x += s.p.x;
                    y += s.y;
                    z += s.p.z;
                }
                const double count = double(c.systems.size());
                u.constellations.append({ c.id, c.name, r.id, x / count, y / count, z / count, factionOf(r) });
                for (int si : c.systems) {
                    const GenSystem& s = g.systems[std::size_t(si)];
                    u.systems.append(
                        { s.id, s.name, c.id, r.id, s.p.x, s.y, s.p.z, s.security, factionOf(r), s.luminosity });
                }
            }
        }
        for (const IdPair& l : gates.links)
            u.gates.append({ g.systems[std::size_t(l.first)].id, g.systems[std::size_t(l.second)].id });

        addStationsAndAgents(u, g, ref, t, stationRng);
        return u;
    }

} // namespace

Universe generate(const Options& options)
{
    if (options.preset == Preset::Tiny)
        return tinyUniverse();
    return generateDefault(options.seed, options.scale);
}

} // namespace universegen
