// The map load (TGalaxy::Load on this thread) against reading every row of the same tables with
// plain Qt SQL queries and no model. Target: the load takes at most 3x the plain read.
#include "benchuniverse.h"
#include "ratioreporter.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <benchmark/benchmark.h>

namespace {

TBenchUniverse& Universe()
{
    static TBenchUniverse universe(QStringLiteral(QORMAP_GENERATOR), "bench_load");
    return universe;
}

// Each table the load reads, map database first.
const char* const kMapTables[] = { "factions", "corporations", "factionCorporations", "divisions",
    "stationServices", "stationOperationServices", "implants", "corporationImplants", "regions", "constellations",
    "solarSystems" };
const char* const kCustomTables[] = { "groups", "officeGroups", "systemGroups", "systemNotes" };

void BM_GalaxyLoad(benchmark::State& state)
{
    TBenchUniverse& u = Universe();
    QString error;
    auto map = TDbConnection::Open(u.File("map.db"), TOpenMode::ExistingOnly, &error);
    auto custom = TDbConnection::Open(u.File("custom.db"), TOpenMode::ExistingOnly, &error);
    for (auto _ : state) {
        TGalaxy galaxy { QString() };
        galaxy.MapConnection = map->Db();
        galaxy.CustomConnection = custom->Db();
        galaxy.Load();
        benchmark::DoNotOptimize(galaxy.SystemCount);
        if (galaxy.SystemCount < 5000)
            state.SkipWithError("the universe did not load");
    }
}

qint64 ReadAll(const QSqlDatabase& db, const char* table)
{
    qint64 sum = 0;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.exec(QStringLiteral("select * from %1").arg(QLatin1String(table)));
    const int columns = q.record().count();
    while (q.next())
        for (int c = 0; c < columns; ++c)
            sum += q.value(c).isNull() ? 0 : 1;
    return sum;
}

void BM_PlainRead(benchmark::State& state)
{
    TBenchUniverse& u = Universe();
    QString error;
    auto map = TDbConnection::Open(u.File("map.db"), TOpenMode::ExistingOnly, &error);
    auto custom = TDbConnection::Open(u.File("custom.db"), TOpenMode::ExistingOnly, &error);
    for (auto _ : state) {
        qint64 sum = 0;
        for (const char* table : kMapTables)
            sum += ReadAll(map->Db(), table);
        for (const char* table : kCustomTables)
            sum += ReadAll(custom->Db(), table);
        benchmark::DoNotOptimize(sum);
    }
}

BENCHMARK(BM_GalaxyLoad)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("galaxy load / plain read", "BM_GalaxyLoad", "BM_PlainRead", 3.0);
    benchmark::Shutdown();
}
