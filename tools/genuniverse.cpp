// qormap-genuniverse: writes a fictional universe (map.db) and an empty user database (custom.db).
#include "universegen.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kBadArguments = 2;
constexpr int kWriteFailed = 1;

int usageError(const QString& message)
{
    std::fprintf(stderr, "qormap-genuniverse: %s\nTry 'qormap-genuniverse --help'.\n", qPrintable(message));
    return kBadArguments;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qormap-genuniverse"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes a fictional universe: DIR/map.db (regions, constellations, systems, gates, stations, agents and\n"
        "reference tables) and DIR/custom.db (every user table, empty). The same options always give the same\n"
        "files. The tiny preset (about 40 systems in 3 regions, one of them unreachable) is laid out by hand\n"
        "for test fixtures; --seed and --scale do not apply to it."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"), QStringLiteral("Folder to write into (created if missing)."),
        QStringLiteral("DIR"));
    const QCommandLineOption presetOption(QStringLiteral("preset"),
        QStringLiteral("Universe to write: tiny or default (about 5,200 systems). Default: default."),
        QStringLiteral("tiny|default"), QStringLiteral("default"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
        QStringLiteral("Random seed of the default preset, 0 .. 2^64-1. Default: 1."), QStringLiteral("N"),
        QStringLiteral("1"));
    const QCommandLineOption scaleOption(QStringLiteral("scale"),
        QStringLiteral("Multiplies systems, regions, gates, stations and agents, 0.01 .. 50. Default: 1."),
        QStringLiteral("K"), QStringLiteral("1"));
    const QCommandLineOption forceOption(QStringLiteral("force"), QStringLiteral("Replace existing map.db and custom.db."));
    parser.addOptions({ outOption, presetOption, seedOption, scaleOption, forceOption });

    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    for (const QCommandLineOption& o : { outOption, presetOption, seedOption, scaleOption }) {
        if (parser.values(o).size() > 1)
            return usageError(QStringLiteral("--%1 given more than once").arg(o.names().first()));
    }

    const QString out = parser.value(outOption);
    if (out.isEmpty())
        return usageError(QStringLiteral("--out DIR is required"));

    universegen::Options options;
    const QString preset = parser.value(presetOption);
    if (preset == QLatin1String("tiny"))
        options.preset = universegen::Preset::Tiny;
    else if (preset == QLatin1String("default"))
        options.preset = universegen::Preset::Default;
    else
        return usageError(QStringLiteral("unknown preset '%1' (expected tiny or default)").arg(preset));

    bool ok = false;
    options.seed = parser.value(seedOption).toULongLong(&ok);
    if (!ok)
        return usageError(QStringLiteral("invalid seed '%1' (expected a whole number 0 .. 2^64-1)")
                              .arg(parser.value(seedOption)));
    options.scale = parser.value(scaleOption).toDouble(&ok);
    if (!ok || !std::isfinite(options.scale) || options.scale < 0.01 || options.scale > 50)
        return usageError(
            QStringLiteral("invalid scale '%1' (expected a number 0.01 .. 50)").arg(parser.value(scaleOption)));
    if (options.preset == universegen::Preset::Tiny && parser.isSet(scaleOption) && options.scale != 1.0)
        return usageError(QStringLiteral("--scale does not apply to the tiny preset"));

    QElapsedTimer timer;
    timer.start();
    const universegen::Universe universe = universegen::generate(options);
    const qint64 generated = timer.elapsed();
    QString error;
    if (!universegen::writeUniverse(universe, out, parser.isSet(forceOption), &error)) {
        std::fprintf(stderr, "qormap-genuniverse: %s\n", qPrintable(error));
        return kWriteFailed;
    }
    std::printf("%s: %lld regions, %lld constellations, %lld systems, %lld gate links, %lld stations, "
                "%lld agents; generated in %.2f s, written in %.2f s\n",
        qPrintable(out), static_cast<long long>(universe.regions.size()),
        static_cast<long long>(universe.constellations.size()), static_cast<long long>(universe.systems.size()),
        static_cast<long long>(universe.gates.size()), static_cast<long long>(universe.stations.size()),
        static_cast<long long>(universe.agents.size()), generated / 1000.0, (timer.elapsed() - generated) / 1000.0);
    return 0;
}
