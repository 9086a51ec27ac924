// The whole "qormap-cli route" command on the default generated universe, as a process, against
// sqlite3 selecting every row of solarSystems and jumps from the same map.db, in the same run.
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/uDijkstra.h"
#include "routing/uRoute.h"

#include "ratioreporter.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

extern char** environ;

namespace {

[[noreturn]] void Fail(const std::string& message)
{
    std::fprintf(stderr, "bench_routecmd: %s\n", message.c_str());
    std::abort();
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
    QTemporaryDir Dir;
    std::vector<std::string> RouteCommand;
    std::vector<std::string> SqliteCommand;
};

TSetup* Setup = nullptr;

// Generates the universe and picks a long route: from the first system to the farthest one.
void Prepare(TSetup& setup)
{
    if (!setup.Dir.isValid())
        Fail("no temporary folder");
    QProcess generator;
    generator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    generator.start(QStringLiteral(QORMAP_GENERATOR), { QStringLiteral("--out"), setup.Dir.path() });
    if (!generator.waitForFinished(600000) || generator.exitCode() != 0)
        Fail("the universe generator failed");
    const QString mapPath = setup.Dir.filePath(QStringLiteral("map.db"));

    QString from;
    QString to;
    {
        QString error;
        auto map = TDbConnection::Open(mapPath, TOpenMode::ExistingOnly, &error);
        auto custom = TDbConnection::Open(setup.Dir.filePath(QStringLiteral("custom.db")), TOpenMode::ExistingOnly, &error);
        if (!map || !custom)
            Fail(error.toStdString());
        TGalaxy galaxy { QString() };
        galaxy.MapConnection = map->Db();
        galaxy.CustomConnection = custom->Db();
        galaxy.Load();
        LoadJumps(galaxy, galaxy.MapConnection, {});
        BuildRouteGraph(galaxy, {});
        galaxy.Graph->SetSuspended(false);
        TSystem* first = galaxy.Systems[0];
        int longest = 0;
        galaxy.Graph->Solve(first);
        for (const auto& e : galaxy.Systems) {
            const int size = galaxy.Graph->PathSize(e.Object->VertexIndex);
            if (size > longest) {
                longest = size;
                to = e.Object->Name;
            }
        }
        from = first->Name;
        std::printf("route from %s to %s: %d jumps by the shortest way\n", qPrintable(from), qPrintable(to), longest - 1);
    }
    setup.RouteCommand = { QORMAP_CLI, "--home", setup.Dir.path().toStdString(), "route", from.toStdString(),
        to.toStdString(), "--prefer", "high" };
    setup.SqliteCommand = { "sqlite3", mapPath.toStdString(), "select * from solarSystems; select * from jumps;" };
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    TSetup setup;
    Setup = &setup;
    Prepare(setup);

    benchmark::RegisterBenchmark("RouteCommand", BM_RouteCommand)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("Sqlite3SelectAll", BM_Sqlite3SelectAll)->Unit(benchmark::kMillisecond)->UseRealTime();
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    reporter.PrintRatio("route command / sqlite3", "RouteCommand", "Sqlite3SelectAll", 2.0);
    return 0;
}
