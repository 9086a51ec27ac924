#pragma once
// The default generated universe for benchmarks: generated once into a temporary folder, loaded
// with its jumps and the route graph open for solving. Any failure aborts with a message.
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/uDijkstra.h"

#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

[[noreturn]] inline void BenchFail(const char* program, const std::string& message)
{
    std::fprintf(stderr, "%s: %s\n", program, message.c_str());
    std::abort();
}

class TBenchUniverse {
public:
    // generator: the path of qormap-genuniverse; program names the caller in failure messages.
    TBenchUniverse(const QString& generator, const char* program)
    {
        if (!m_dir.isValid())
            BenchFail(program, "no temporary folder");
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(generator, { QStringLiteral("--out"), m_dir.path() });
        if (!process.waitForFinished(600000) || process.exitCode() != 0)
            BenchFail(program, "the universe generator failed");
        QString error;
        m_map = TDbConnection::Open(File("map.db"), TOpenMode::ExistingOnly, &error);
        m_custom = TDbConnection::Open(File("custom.db"), TOpenMode::ExistingOnly, &error);
        if (!m_map || !m_custom)
            BenchFail(program, error.toStdString());
        m_galaxy = std::make_unique<TGalaxy>(QString());
        TGalaxy& g = *m_galaxy;
        g.MapConnection = m_map->Db();
        g.CustomConnection = m_custom->Db();
        g.Load();
        LoadJumps(g, g.MapConnection, {});
        BuildRouteGraph(g, {});
        g.Graph->SetSuspended(false);
    }
    ~TBenchUniverse() { m_galaxy.reset(); } // before the connections it reads through

    TGalaxy& Galaxy() { return *m_galaxy; }
    QString Home() const { return m_dir.path(); }
    QString File(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TDbConnection> m_map;
    std::unique_ptr<TDbConnection> m_custom;
    std::unique_ptr<TGalaxy> m_galaxy;
};
