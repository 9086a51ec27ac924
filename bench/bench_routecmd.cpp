// The whole "qormap-cli route" command on the default generated universe, as a process, against
// sqlite3 selecting every row of solarSystems and jumps from the same map.db, in the same run.
#include "routing/uDijkstra.h"

#include "benchuniverse.h"
#include "ratioreporter.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

[[noreturn]] void Fail(const std::string& message)
{
    BenchFail("bench_routecmd", message);
}

// Runs argv with its output sent to /dev/null and returns the exit status.
int RunProcess(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        Fail("cannot start " + args[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        Fail(args[0] + " did not exit normally");
    return WEXITSTATUS(status);
}

struct TSetup {
    std::vector<std::string> RouteCommand;
    std::vector<std::string> SqliteCommand;
};

TSetup* Setup = nullptr;

// A long route: from the first system to the farthest one it reaches.
void Prepare(TSetup& setup, TBenchUniverse& universe)
{
    TGalaxy& galaxy = universe.Galaxy();
    TSystem* first = galaxy.Systems[0];
    galaxy.Graph->Solve(first);
    QString to;
    int longest = 0;
    for (const auto& e : galaxy.Systems) {
        const int size = galaxy.Graph->PathSize(e.Object->VertexIndex);
        if (size > longest) {
            longest = size;
            to = e.Object->Name;
        }
    }
    std::printf("route from %s to %s: %d jumps by the shortest way\n", qPrintable(first->Name),
        qPrintable(to), longest - 1);
    setup.RouteCommand = { QORMAP_CLI, "--home", universe.Home().toStdString(), "route",
        first->Name.toStdString(), to.toStdString(), "--prefer", "high" };
    setup.SqliteCommand = { "sqlite3", universe.File("map.db").toStdString(),
        "select * from solarSystems; select * from jumps;" };
    if (RunProcess(setup.RouteCommand) != 0)
        Fail("the route command failed");
    if (RunProcess(setup.SqliteCommand) != 0)
        Fail("sqlite3 failed");
}

void BM_RouteCommand(benchmark::State& state)
{
    for (auto _ : state)
        if (RunProcess(Setup->RouteCommand) != 0)
            state.SkipWithError("the route command failed");
}

void BM_Sqlite3SelectAll(benchmark::State& state)
{
    for (auto _ : state)
        if (RunProcess(Setup->SqliteCommand) != 0)
            state.SkipWithError("sqlite3 failed");
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The two processes alternately, so that drift in the machine's state (page cache, other load)
// falls on both alike; the counters give the median of each and their ratio.
void BM_Paired(benchmark::State& state)
{
    std::vector<double> route, sqlite;
    auto timed = [](const std::vector<std::string>& command) {
        const auto start = std::chrono::steady_clock::now();
        if (RunProcess(command) != 0)
            Fail(command[0] + " failed");
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    for (auto _ : state) {
        route.push_back(timed(Setup->RouteCommand));
        sqlite.push_back(timed(Setup->SqliteCommand));
    }
    const double r = Median(route), q = Median(sqlite);
    state.counters["route_ms"] = r;
    state.counters["sqlite3_ms"] = q;
    state.counters["ratio"] = q > 0 ? r / q : 0;
    std::printf("paired medians over %zu runs: route %.1f ms, sqlite3 %.1f ms, route command / sqlite3 = %.2f "
                "(target <= 2.00)\n",
        route.size(), r, q, q > 0 ? r / q : 0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TBenchUniverse universe(QStringLiteral(QORMAP_GENERATOR), "bench_routecmd");
    TSetup setup;
    Setup = &setup;
    Prepare(setup, universe);

    // Whole processes are noisy: the ratio is taken between medians of repeated runs.
    benchmark::RegisterBenchmark("RouteCommand", BM_RouteCommand)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("Sqlite3SelectAll", BM_Sqlite3SelectAll)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(7)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("Paired", BM_Paired)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(41);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    reporter.PrintRatio("route command / sqlite3", "RouteCommand", "Sqlite3SelectAll", 2.0);
    return 0;
}
