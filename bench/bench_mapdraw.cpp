// Drawing the 2D map: one full frame of the default generated universe at 1024 x 1024, measured
// against a bare QPainter loop that draws the same dots and lines in one batch each.
#include "mapview/uMapDraw.h"
#include "mapview/uMapOverlays.h"
#include "mapview/uMapSurface.h"
#include "mapview/uMapView.h"
#include "model/uDatabase.h"
#include "model/uGalaxy.h"

#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

constexpr int Side = 1024;

// The default universe, generated once into a temporary folder and loaded with its jumps.
class TUniverse {
public:
    TUniverse()
        : m_surface(QSize(Side, Side))
    {
        if (!m_dir.isValid())
            throw std::runtime_error("no temporary folder");
        QProcess generator;
        generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        generator.start(QStringLiteral(QORMAP_GENERATOR), { QStringLiteral("--out"), m_dir.path() });
        if (!generator.waitForFinished(600000) || generator.exitCode() != 0)
            throw std::runtime_error("the universe generator failed");
        QString error;
        m_map
            = TDbConnection::Open(m_dir.filePath(QStringLiteral("map.db")), TOpenMode::ExistingOnly, &error);
        m_custom = TDbConnection::Open(
            m_dir.filePath(QStringLiteral("custom.db")), TOpenMode::ExistingOnly, &error);
        if (!m_map || !m_custom)
            throw std::runtime_error(error.toStdString());
        m_galaxy = std::make_unique<TGalaxy>(QString(), &m_surface);
        m_galaxy->MapConnection = m_map->Db();
        m_galaxy->CustomConnection = m_custom->Db();
        m_galaxy->Load();
        QSqlQuery q(m_map->Db());
        q.exec(QStringLiteral("select fromSolarSystemID, toSolarSystemID from jumps"));
        while (q.next()) {
            TSystem* from = m_galaxy->SystemByID(q.value(0).toInt());
            TSystem* to = m_galaxy->SystemByID(q.value(1).toInt());
            if (from && to) {
                auto jump = std::make_unique<TJump>();
                jump->Target = to;
                from->Jumps.push_back(std::move(jump));
                ++m_jumps;
            }
        }
        m_galaxy->JumpsReady = true;
    }
    ~TUniverse() { m_galaxy.reset(); }

    TGalaxy& Galaxy() { return *m_galaxy; }
    int Jumps() const { return m_jumps; }

    // The default display for the measured frames: all systems, jumps by kind, names off.
    void ShowAll()
    {
        TGalaxy& g = *m_galaxy;
        g.DrawJumps = true;
        g.FullDetail = true;
        g.SmartNames = false;
        g.AlwaysNames = false;
        g.JumpColourMode = 1;
        ShowAllSystems(g);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TDbConnection> m_map, m_custom;
    TImageSurface m_surface;
    std::unique_ptr<TGalaxy> m_galaxy;
    int m_jumps = 0;
};

TUniverse& Universe()
{
    static TUniverse universe;
    return universe;
}

void BM_FullFrame(benchmark::State& state)
{
    TUniverse& u = Universe();
    u.ShowAll();
    TGalaxy& g = u.Galaxy();
    for (auto _ : state)
        Redraw(g);
    state.counters["systems"] = g.SystemCount;
    state.counters["stored_jumps"] = u.Jumps();
}

// The same visible dots and the same links (each once, at least one end visible), one call each.
void BM_BareLoop(benchmark::State& state)
{
    TUniverse& u = Universe();
    u.ShowAll();
    TGalaxy& g = u.Galaxy();
    const TMapProjection p = Projection(g);
    std::vector<QPoint> dots;
    std::vector<QLine> lines;
    for (const auto& e : g.Systems) {
        const TSystem& s = *e.Object;
        const bool visible = IsVisible(s, p);
        if (visible)
            dots.push_back(p.ToScreen(s));
        for (const auto& j : s.Jumps)
            if (j->Target->ListIndex < s.ListIndex && (visible || IsVisible(*j->Target, p)))
                lines.emplace_back(p.ToScreen(s), p.ToScreen(*j->Target));
    }
    QImage image(Side, Side, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(image.rect(), Qt::black);
        painter.setPen(QColor(0x40, 0x80, 0xFF));
        painter.drawLines(lines.data(), int(lines.size()));
        painter.setPen(QColor(0xFF, 0x80, 0x00));
        painter.drawPoints(dots.data(), int(dots.size()));
    }
    state.counters["dots"] = double(dots.size());
    state.counters["lines"] = double(lines.size());
}

// While dragging: no jumps.
void BM_DragFrame(benchmark::State& state)
{
    TUniverse& u = Universe();
    u.ShowAll();
    TGalaxy& g = u.Galaxy();
    g.FullDetail = false;
    for (auto _ : state)
        Redraw(g);
    g.FullDetail = true;
}

// Zoomed to one region with every system named.
void BM_RegionWithNames(benchmark::State& state)
{
    TUniverse& u = Universe();
    u.ShowAll();
    TGalaxy& g = u.Galaxy();
    g.AlwaysNames = true;
    ZoomToRegion(g, g.Regions[g.Regions.Count() / 2]);
    int named = 0;
    for (const auto& e : g.Systems)
        named += IsVisible(*e.Object) ? 1 : 0;
    for (auto _ : state)
        Redraw(g);
    state.counters["zoom_percent"] = g.ZoomPercent;
    state.counters["visible"] = named;
    g.AlwaysNames = false;
}

BENCHMARK(BM_FullFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareLoop)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DragFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegionWithNames)->Unit(benchmark::kMicrosecond);

// Prints the runs as usual and keeps each one's times per iteration (the median when the run
// is repeated) for the ratio.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    struct Times {
        double Real = 0, Cpu = 0;
    };
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration || r.aggregate_name == "median")
                Measured[r.run_name.function_name] = { r.GetAdjustedRealTime(), r.GetAdjustedCPUTime() };
    }
    std::map<std::string, Times> Measured;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the legend and names
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto frame = reporter.Measured.find("BM_FullFrame");
    const auto bare = reporter.Measured.find("BM_BareLoop");
    if (frame != reporter.Measured.end() && bare != reporter.Measured.end() && bare->second.Cpu > 0)
        std::printf("full frame / bare loop: %.2f real, %.2f CPU (target <= 2)\n",
            frame->second.Real / bare->second.Real, frame->second.Cpu / bare->second.Cpu);
    benchmark::Shutdown();
    return 0;
}
