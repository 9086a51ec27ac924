#include "app/clicommands.h"

#include "model/uLoaders.h"
#include "model/uSchema.h"
#include "routing/uDijkstra.h"
#include "routing/uPermute.h"
#include "routing/uRoute.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <exception>

namespace cli {

namespace {

    const QString ProgramName = QStringLiteral("qormap-cli");

    bool Fail(QString* error, const QString& message)
    {
        if (error)
            *error = message;
        return false;
    }

    // Opens an existing SQLite file and reopens it read-only, so no statement can write to it.
    std::unique_ptr<TDbConnection> OpenReadOnly(const QString& path, QString* error)
    {
        auto connection = TDbConnection::Open(path, TOpenMode::ExistingOnly, error);
        if (!connection)
            return nullptr;
        QSqlDatabase db = connection->Db();
        db.close();
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(path, db.lastError().text());
            return nullptr;
        }
        // One shared lock held for the whole run instead of one per statement, and pages mapped
        // rather than read: the load runs a few hundred statements.
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("pragma locking_mode = exclusive"));
        pragma.exec(QStringLiteral("pragma mmap_size = 268435456"));
        return connection;
    }

    // An empty user database in memory: a home without custom.db has no stored exclusions.
    std::unique_ptr<TDbConnection> OpenEmptyCustom(QString* error)
    {
        auto connection = TDbConnection::Open(QStringLiteral(":memory:"), TOpenMode::CreateIfMissing, error);
        if (connection && !schema::ensureCustomSchema(connection->Db(), error))
            return nullptr;
        return connection;
    }

    // "--name value" or "--name=value"; advances i past what it used. False when the value is missing.
    bool OptionValue(const QStringList& args, int& i, const QString& name, QString& value, bool& matched)
    {
        const QString& arg = args[i];
        const QString flag = QStringLiteral("--") + name;
        matched = false;
        if (arg.startsWith(flag + QLatin1Char('='))) {
            matched = true;
            value = arg.mid(flag.size() + 1);
            ++i;
            return true;
        }
        if (arg != flag)
            return true;
        matched = true;
        if (i + 1 >= args.size())
            return false;
        value = args[i + 1];
        i += 2;
        return true;
    }

    // A command's arguments: the names in order, each option's values in order, the flags given.
    struct TArgs {
        QStringList Positional;
        QHash<QString, QStringList> Values;
        QSet<QString> Flags;
    };

    // Options take a value ("--name value" or "--name=value"), flags none; "--" ends the options.
    bool SplitArgs(const QStringList& args, const QStringList& options, const QStringList& flags,
        TArgs& parsed, QString* error)
    {
        parsed = TArgs();
        int i = 0;
        while (i < args.size()) {
            const QString& arg = args[i];
            if (arg == QLatin1String("--")) {
                parsed.Positional += args.mid(i + 1);
                break;
            }
            if (!arg.startsWith(QLatin1String("--"))) {
                parsed.Positional << arg;
                ++i;
                continue;
            }
            if (flags.contains(arg.mid(2))) {
                parsed.Flags.insert(arg.mid(2));
                ++i;
                continue;
            }
            bool matched = false;
            for (const QString& option : options) {
                QString value;
                if (!OptionValue(args, i, option, value, matched))
                    return Fail(error, QStringLiteral("--%1 needs a value").arg(option));
                if (matched) {
                    parsed.Values[option] << value;
                    break;
                }
            }
            if (!matched)
                return Fail(error, QStringLiteral("unknown option %1").arg(arg));
        }
        return true;
    }

    // Every --prefer value must be known; the last one given counts.
    bool TakePreference(const TArgs& parsed, quint8& preference, QString* error)
    {
        for (const QString& value : parsed.Values.value(QStringLiteral("prefer")))
            if (!PreferenceFromName(value, preference))
                return Fail(
                    error, QStringLiteral("--prefer takes shortest, high or low, not \"%1\"").arg(value));
        return true;
    }

    QString JumpsText(qint64 jumps)
    {
        return QStringLiteral("%1 %2").arg(jumps).arg(
            jumps == 1 ? QStringLiteral("jump") : QStringLiteral("jumps"));
    }

    QString RegionName(const TSystem& system)
    {
        return system.Region ? system.Region->Name : QStringLiteral("unknown");
    }

    // "name  security  region", the name padded to width.
    QString SystemRow(const TSystem& system, qsizetype width)
    {
        return QStringLiteral("%1  %2  %3")
            .arg(system.Name, int(-width))
            .arg(SecurityText(system.Security), 4)
            .arg(RegionName(system));
    }

    QJsonObject SystemJson(const TSystem& system)
    {
        QJsonObject entry;
        entry[QStringLiteral("name")] = system.Name;
        entry[QStringLiteral("id")] = system.ID;
        entry[QStringLiteral("security")] = SecurityText(system.Security).toDouble();
        entry[QStringLiteral("region")] = RegionName(system);
        return entry;
    }

    void ResetRouting(TGalaxy& galaxy, quint8 preference)
    {
        galaxy.SecurityPreference = preference;
        galaxy.LoadBlockThresholds(); // the stored exclusions, without those of an earlier request
    }

    const TCommand* FindCommand(const QString& name)
    {
        for (const TCommand& command : Commands())
            if (command.Name == name)
                return &command;
        return nullptr;
    }

    void WriteHelp(QTextStream& out)
    {
        out << "Usage: " << ProgramName << " [--home DIR] COMMAND [ARGUMENTS]...\n\n"
            << "Commands:\n";
        for (const TCommand& command : Commands())
            out << "  " << command.Name << ' ' << command.Arguments << "\n      " << command.Summary << '\n';
        out << "\nOptions:\n"
            << "  --home DIR  the folder with map.db and custom.db (default: the program's folder);\n"
            << "              nothing is written there\n"
            << "  --help      this text; COMMAND --help describes one command\n";
    }

    void WriteCommandHelp(QTextStream& out, const TCommand& command)
    {
        out << "Usage: " << ProgramName << " [--home DIR] " << command.Name << ' ' << command.Arguments
            << "\n\n"
            << command.Summary << "\n\n"
            << command.Details;
    }

    int UsageError(const TCliContext& context, const QString& command, const QString& message)
    {
        context.Err << "error: " << message << "\nTry '" << ProgramName << ' ' << command << " --help'.\n";
        return ExitError;
    }

    // Frees the universe unless the process ends right after the command: freeing thousands of
    // model objects just before the exit costs more than the route.
    struct TUniverseRelease {
        bool LeaveToExit = false;
        void operator()(TUniverse* universe) const
        {
            if (!LeaveToExit)
                delete universe;
        }
    };
    using TCommandUniverse = std::unique_ptr<TUniverse, TUniverseRelease>;

    // The universe for a command; null after reporting why it could not be opened.
    TCommandUniverse OpenCommandUniverse(const TCliContext& context)
    {
        QString error;
        std::unique_ptr<TUniverse> universe = OpenUniverse(context.Home, &error);
        if (!universe)
            context.Err << error << '\n';
        return TCommandUniverse(universe.release(), TUniverseRelease { context.LeaveToExit });
    }

    // Reports each unknown name with the closest known ones; true when there was none.
    bool AllNamesKnown(const TCliContext& context, const TGalaxy& galaxy, const QStringList& unknown)
    {
        for (const QString& name : unknown)
            context.Err << "error: unknown system \"" << name
                        << "\"; closest: " << ClosestNames(galaxy, name).join(QStringLiteral(", ")) << '\n';
        return unknown.isEmpty();
    }

    // Parses a command's request, opens the universe, checks every name of the request and runs the
    // command; reports what failed before.
    template <class TRequest>
    int RunOnUniverse(const TCliContext& context, const QString& command, const QStringList& args,
        bool (*parse)(const QStringList&, TRequest&, QString*),
        int (*run)(const TCliContext&, TGalaxy&, const TRequest&))
    {
        TRequest request;
        QString error;
        if (!parse(args, request, &error))
            return UsageError(context, command, error);
        const TCommandUniverse universe = OpenCommandUniverse(context);
        if (!universe)
            return ExitError;
        TGalaxy& galaxy = *universe->Galaxy;
        if (!AllNamesKnown(context, galaxy, UnknownNames(galaxy, request)))
            return ExitError;
        return run(context, galaxy, request);
    }

    int PrintRoute(const TCliContext& context, TGalaxy& galaxy, const TRouteRequest& request)
    {
        const TRouteResult result = PlanRoute(galaxy, request);
        if (request.Json)
            context.Out << QJsonDocument(RouteJson(request, result)).toJson(QJsonDocument::Indented);
        else
            context.Out << RouteText(result);
        if (result.Reachable)
            return ExitOk;
        if (result.LegFrom && result.LegTo)
            context.Err << "no route from " << result.LegFrom->Name << " to " << result.LegTo->Name << '\n';
        return ExitUnreachable;
    }

    int PrintOptimised(const TCliContext& context, TGalaxy& galaxy, const TOptimiseRequest& request)
    {
        TPlan plan;
        QString error;
        if (!BuildOptimisePlan(galaxy, request, plan, &error))
            return UsageError(context, QStringLiteral("optimise"), error);
        const TOptimiseResult result = OptimiseRoute(galaxy, plan, request.Preference);
        for (const QString& text : result.Errors)
            context.Err << "error while optimising: " << text << '\n';
        if (request.Json)
            context.Out << QJsonDocument(OptimiseJson(request, result)).toJson(QJsonDocument::Indented);
        else
            context.Out << OptimiseText(result);
        if (result.JumpsAfter >= 0)
            return ExitOk;
        context.Err << "no order of the plan has a route through every system\n";
        return ExitUnreachable;
    }

    int RunRoute(const TCliContext& context, const QStringList& args)
    {
        return RunOnUniverse(context, QStringLiteral("route"), args, ParseRouteArgs, PrintRoute);
    }

    int RunOptimise(const TCliContext& context, const QStringList& args)
    {
        return RunOnUniverse(context, QStringLiteral("optimise"), args, ParseOptimiseArgs, PrintOptimised);
    }

} // namespace

const std::vector<TCommand>& Commands()
{
    static const std::vector<TCommand> commands {
        { QStringLiteral("route"),
            QStringLiteral("FROM TO [--via SYSTEM]... [--prefer shortest|high|low] [--avoid SYSTEM]... "
                           "[--block SYSTEM]... [--json]"),
            QStringLiteral("Prints the route from FROM to TO: each system with its security and region, "
                           "then the number of jumps."),
            QStringLiteral(
                "Options:\n"
                "  --via SYSTEM     pass through SYSTEM; repeat for more, in order\n"
                "  --prefer WHAT    shortest (default), high or low security\n"
                "  --avoid SYSTEM   enter SYSTEM only when every way round costs more\n"
                "  --block SYSTEM   never enter SYSTEM\n"
                "  --json           print the route as one JSON object\n"
                "The exclusions stored in custom.db apply as well; the given ones are not stored.\n"
                "Exit status: 0 with a route, 2 when there is none (\"DESTINATION UNREACHABLE\"),\n"
                "1 on errors such as an unknown system name.\n"),
            RunRoute },
        { QStringLiteral("optimise"),
            QStringLiteral(
                "START WAYPOINT... [--end SYSTEM] [--fixed SYSTEM]... [--prefer shortest|high|low] "
                "[--json]"),
            QStringLiteral("Reorders the waypoints as the route planner's optimiser does and prints the "
                           "order, then the jumps before and after."),
            QStringLiteral(
                "The plan is START (checked), the WAYPOINTs unchecked in the order given, and the\n"
                "destination. Checked entries keep their places; the others are reordered between them\n"
                "to the fewest jumps.\n"
                "Options:\n"
                "  --end SYSTEM     the destination, checked; without it the last place is free too\n"
                "  --fixed SYSTEM   check SYSTEM's entries in the plan; repeat for more\n"
                "  --prefer WHAT    shortest (default), high or low security\n"
                "  --json           print the result as one JSON object\n"
                "The exclusions stored in custom.db apply. Jumps read \"unreachable\" when a leg has no\n"
                "route. Exit status: 0 with a route, 2 when no order has a route through every system,\n"
                "1 on errors such as an unknown system name.\n"),
            RunOptimise },
    };
    return commands;
}

int RunCli(
    const QStringList& args, const QString& defaultHome, QTextStream& out, QTextStream& err, bool leaveToExit)
{
    QString home = defaultHome;
    int i = 0;
    while (i < args.size()) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            WriteHelp(out);
            return ExitOk;
        }
        bool matched = false;
        if (!OptionValue(args, i, QStringLiteral("home"), home, matched)) {
            err << "error: --home needs a folder\n";
            return ExitError;
        }
        if (matched)
            continue;
        if (arg.startsWith(QLatin1Char('-'))) {
            err << "error: unknown option " << arg << "\nTry '" << ProgramName << " --help'.\n";
            return ExitError;
        }
        break;
    }
    if (i >= args.size()) {
        WriteHelp(err);
        return ExitError;
    }
    const TCommand* command = FindCommand(args[i]);
    if (!command) {
        err << "error: unknown command \"" << args[i] << "\"\nTry '" << ProgramName << " --help'.\n";
        return ExitError;
    }
    const QStringList rest = args.mid(i + 1);
    if (rest.contains(QLatin1String("--help")) || rest.contains(QLatin1String("-h"))) {
        WriteCommandHelp(out, *command);
        return ExitOk;
    }
    const TCliContext context { home, out, err, leaveToExit };
    return command->Run(context, rest);
}

std::unique_ptr<TUniverse> OpenUniverse(const QString& home, QString* error)
{
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return std::unique_ptr<TUniverse>();
    };
    auto universe = std::make_unique<TUniverse>();
    const QDir dir(home);
    QString reason;
    universe->Map = OpenReadOnly(dir.filePath(QStringLiteral("map.db")), &reason);
    if (!universe->Map)
        return fail(QStringLiteral("fatal: unable to open map database (%1)").arg(reason));
    const QString customPath = dir.filePath(QStringLiteral("custom.db"));
    universe->Custom
        = QFileInfo::exists(customPath) ? OpenReadOnly(customPath, &reason) : OpenEmptyCustom(&reason);
    if (!universe->Custom)
        return fail(QStringLiteral("fatal: unable to open custom database (%1)").arg(reason));

    // Without a folder the galaxy keeps the default colours and writes no colors.cfg.
    universe->Galaxy = std::make_unique<TGalaxy>(QString());
    TGalaxy& galaxy = *universe->Galaxy;
    galaxy.AppFolder = home;
    galaxy.MapConnection = universe->Map->Db();
    galaxy.CustomConnection = universe->Custom->Db();
    try {
        galaxy.Load(TGalaxy::TLoadParts::MapOnly); // routing needs no reference data
        LoadJumps(galaxy, galaxy.MapConnection, {});
        BuildRouteGraph(galaxy, {});
        galaxy.Graph->SetSuspended(false);
        galaxy.LoadBlockThresholds();
    } catch (const std::exception& e) {
        return fail(
            QStringLiteral("fatal: unable to load the universe: %1").arg(QString::fromUtf8(e.what())));
    }
    return universe;
}

int EditDistance(const QString& a, const QString& b)
{
    const QString x = a.toCaseFolded();
    const QString y = b.toCaseFolded();
    std::vector<int> row(std::size_t(y.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = int(j);
    for (qsizetype i = 1; i <= x.size(); ++i) {
        int diagonal = row[0];
        row[0] = int(i);
        for (qsizetype j = 1; j <= y.size(); ++j) {
            const int above = row[std::size_t(j)];
            const int substitution = diagonal + (x[i - 1] == y[j - 1] ? 0 : 1);
            row[std::size_t(j)] = std::min({ above + 1, row[std::size_t(j - 1)] + 1, substitution });
            diagonal = above;
        }
    }
    return row.back();
}

TSystem* FindSystem(const TGalaxy& galaxy, const QString& name)
{
    if (TSystem* exact = galaxy.SystemByName(name))
        return exact;
    for (const auto& e : galaxy.Systems)
        if (e.Object->Name.compare(name, Qt::CaseInsensitive) == 0)
            return e.Object;
    return nullptr;
}

QStringList ClosestNames(const TGalaxy& galaxy, const QString& name, int count)
{
    std::vector<std::pair<int, QString>> ranked;
    ranked.reserve(std::size_t(galaxy.Systems.Count()));
    for (const auto& e : galaxy.Systems)
        ranked.emplace_back(EditDistance(name, e.Object->Name), e.Object->Name);
    std::sort(ranked.begin(), ranked.end());
    ranked.erase(std::unique(ranked.begin(), ranked.end()), ranked.end());
    QStringList names;
    for (const auto& entry : ranked) {
        if (names.size() >= count)
            break;
        names << entry.second;
    }
    return names;
}

QString PreferenceName(quint8 preference)
{
    switch (preference) {
    case PreferHigh:
        return QStringLiteral("high");
    case PreferLow:
        return QStringLiteral("low");
    default:
        return QStringLiteral("shortest");
    }
}

bool PreferenceFromName(const QString& name, quint8& preference)
{
    for (quint8 p : { quint8(PreferHigh), quint8(PreferLow), quint8(PreferShortest) })
        if (PreferenceName(p) == name) {
            preference = p;
            return true;
        }
    return false;
}

bool ParseRouteArgs(const QStringList& args, TRouteRequest& request, QString* error)
{
    request = TRouteRequest();
    TArgs parsed;
    if (!SplitArgs(args,
            { QStringLiteral("via"), QStringLiteral("avoid"), QStringLiteral("block"),
                QStringLiteral("prefer") },
            { QStringLiteral("json") }, parsed, error)
        || !TakePreference(parsed, request.Preference, error))
        return false;
    const QStringList& positional = parsed.Positional;
    if (positional.size() != 2)
        return Fail(error,
            positional.size() < 2 ? QStringLiteral("FROM and TO are required")
                                  : QStringLiteral("unexpected argument \"%1\"").arg(positional[2]));
    request.From = positional[0];
    request.To = positional[1];
    request.Via = parsed.Values.value(QStringLiteral("via"));
    request.Avoid = parsed.Values.value(QStringLiteral("avoid"));
    request.Block = parsed.Values.value(QStringLiteral("block"));
    request.Json = parsed.Flags.contains(QStringLiteral("json"));
    return true;
}

QStringList UnknownNames(const TGalaxy& galaxy, const QStringList& names)
{
    QStringList unknown;
    for (const QString& name : names)
        if (!FindSystem(galaxy, name) && !unknown.contains(name))
            unknown << name;
    return unknown;
}

QStringList UnknownNames(const TGalaxy& galaxy, const TRouteRequest& request)
{
    return UnknownNames(
        galaxy, QStringList { request.From, request.To } + request.Via + request.Avoid + request.Block);
}

TRouteResult PlanRoute(TGalaxy& galaxy, const TRouteRequest& request)
{
    ResetRouting(galaxy, request.Preference);
    auto exclude = [&galaxy](const QStringList& names, qint32 threshold) {
        for (const QString& name : names)
            if (TSystem* system = FindSystem(galaxy, name))
                system->BlockThreshold = std::max(EffectiveThreshold(*system), threshold);
    };
    exclude(request.Avoid, AvoidedThreshold);
    exclude(request.Block, BlockedThreshold);

    std::vector<TSystem*> plan { FindSystem(galaxy, request.From) };
    for (const QString& name : request.Via)
        plan.push_back(FindSystem(galaxy, name));
    plan.push_back(FindSystem(galaxy, request.To));

    TRouteResult result;
    result.Reachable = BuildCurrentRoute(galaxy, plan, result.Systems);
    if (result.Reachable) {
        // A plan naming one system only: the route is that system, with no jump.
        if (result.Systems.empty())
            result.Systems.push_back(plan.front());
        return result;
    }
    // The failed leg starts where the route so far ends, and RouteList keeps its destination.
    result.LegFrom = result.Systems.empty() ? plan.front() : result.Systems.back();
    result.LegTo = galaxy.RouteList.IsEmpty() ? nullptr : galaxy.RouteList.Object(0);
    return result;
}

QString RouteText(const TRouteResult& result)
{
    if (!result.Reachable)
        return QStringLiteral("DESTINATION UNREACHABLE\n");
    qsizetype width = 0;
    for (const TSystem* system : result.Systems)
        width = std::max(width, system->Name.size());
    QString text;
    for (const TSystem* system : result.Systems)
        text += SystemRow(*system, width) + QLatin1Char('\n');
    return text + JumpsText(qint64(result.Systems.size()) - 1) + QLatin1Char('\n');
}

QJsonObject RouteJson(const TRouteRequest& request, const TRouteResult& result)
{
    QJsonObject json;
    auto names = [](const QStringList& list) { return QJsonArray::fromStringList(list); };
    json[QStringLiteral("from")] = request.From;
    json[QStringLiteral("to")] = request.To;
    json[QStringLiteral("via")] = names(request.Via);
    json[QStringLiteral("prefer")] = PreferenceName(request.Preference);
    json[QStringLiteral("avoid")] = names(request.Avoid);
    json[QStringLiteral("block")] = names(request.Block);
    json[QStringLiteral("reachable")] = result.Reachable;
    if (!result.Reachable) {
        json[QStringLiteral("message")] = QStringLiteral("DESTINATION UNREACHABLE");
        QJsonObject leg;
        leg[QStringLiteral("from")] = result.LegFrom ? result.LegFrom->Name : QString();
        leg[QStringLiteral("to")] = result.LegTo ? result.LegTo->Name : QString();
        json[QStringLiteral("unreachableLeg")] = leg;
        return json;
    }
    QJsonArray systems;
    for (const TSystem* system : result.Systems)
        systems.append(SystemJson(*system));
    json[QStringLiteral("systems")] = systems;
    json[QStringLiteral("jumps")] = qint64(result.Systems.size()) - 1;
    return json;
}

// ---------------------------------------------------------------- optimise

bool ParseOptimiseArgs(const QStringList& args, TOptimiseRequest& request, QString* error)
{
    request = TOptimiseRequest();
    TArgs parsed;
    if (!SplitArgs(args, { QStringLiteral("end"), QStringLiteral("fixed"), QStringLiteral("prefer") },
            { QStringLiteral("json") }, parsed, error)
        || !TakePreference(parsed, request.Preference, error))
        return false;
    const QStringList ends = parsed.Values.value(QStringLiteral("end"));
    if (ends.size() > 1)
        return Fail(error, QStringLiteral("--end may be given once"));
    if (ends.contains(QString()))
        return Fail(error, QStringLiteral("--end needs a value"));
    if (parsed.Positional.size() < 2)
        return Fail(error, QStringLiteral("START and at least one WAYPOINT are required"));
    request.Start = parsed.Positional[0];
    request.Waypoints = parsed.Positional.mid(1);
    request.End = ends.value(0);
    request.Fixed = parsed.Values.value(QStringLiteral("fixed"));
    request.Json = parsed.Flags.contains(QStringLiteral("json"));
    return true;
}

QStringList UnknownNames(const TGalaxy& galaxy, const TOptimiseRequest& request)
{
    QStringList names = QStringList { request.Start } + request.Waypoints;
    if (!request.End.isEmpty())
        names << request.End;
    return UnknownNames(galaxy, names + request.Fixed);
}

bool BuildOptimisePlan(const TGalaxy& galaxy, const TOptimiseRequest& request, TPlan& plan, QString* error)
{
    std::vector<TPlanEntry> entries { { FindSystem(galaxy, request.Start), true } };
    for (const QString& name : request.Waypoints)
        entries.push_back({ FindSystem(galaxy, name), false });
    if (!request.End.isEmpty())
        entries.push_back({ FindSystem(galaxy, request.End), true });
    for (const TPlanEntry& entry : entries)
        if (!entry.System)
            return Fail(error, QStringLiteral("the plan names an unknown system"));
    for (const QString& name : request.Fixed) {
        const TSystem* system = FindSystem(galaxy, name);
        bool planned = false;
        for (TPlanEntry& entry : entries)
            if (entry.System == system) {
                entry.Fixed = true;
                planned = true;
            }
        if (!planned)
            return Fail(error, QStringLiteral("--fixed \"%1\" is not in the plan").arg(name));
    }
    plan.Assign(std::move(entries));
    return true;
}

TOptimiseResult OptimiseRoute(TGalaxy& galaxy, const TPlan& plan, quint8 preference)
{
    ResetRouting(galaxy, preference);
    const auto jumps = [&galaxy](const TRoute& route) {
        const qint32 length = FullRouteLength(galaxy, route);
        return length < 0 ? -1 : std::max(length - 1, 0);
    };
    const std::unique_ptr<TRoute> route = BuildPlanRoute(plan);
    TOptimiseResult result;
    result.JumpsBefore = jumps(*route);
    TOptimiseOptions options;
    options.OnError = [&result](const QString& text) { result.Errors << text; };
    const TRoute optimised = OptimisePlan(galaxy, *route, options);
    result.Order = PlanEntriesOf(optimised);
    result.JumpsAfter = jumps(optimised);
    return result;
}

namespace {

    QString JumpsOrUnreachable(qint32 jumps)
    {
        return jumps < 0 ? QStringLiteral("unreachable") : JumpsText(jumps);
    }

    QJsonValue JumpsJson(qint32 jumps)
    {
        return jumps < 0 ? QJsonValue(QJsonValue::Null) : QJsonValue(jumps);
    }

} // namespace

QString OptimiseText(const TOptimiseResult& result)
{
    qsizetype width = 0;
    for (const TPlanEntry& entry : result.Order)
        width = std::max(width, entry.System->Name.size());
    QString text;
    for (const TPlanEntry& entry : result.Order)
        text += SystemRow(*entry.System, width)
            + (entry.Fixed ? QStringLiteral("  fixed\n") : QStringLiteral("\n"));
    return text
        + QStringLiteral("before: %1\nafter:  %2\n")
              .arg(JumpsOrUnreachable(result.JumpsBefore), JumpsOrUnreachable(result.JumpsAfter));
}

QJsonObject OptimiseJson(const TOptimiseRequest& request, const TOptimiseResult& result)
{
    QJsonObject json;
    json[QStringLiteral("start")] = request.Start;
    json[QStringLiteral("waypoints")] = QJsonArray::fromStringList(request.Waypoints);
    json[QStringLiteral("end")]
        = request.End.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(request.End);
    json[QStringLiteral("fixed")] = QJsonArray::fromStringList(request.Fixed);
    json[QStringLiteral("prefer")] = PreferenceName(request.Preference);
    QJsonArray order;
    for (const TPlanEntry& entry : result.Order) {
        QJsonObject system = SystemJson(*entry.System);
        system[QStringLiteral("fixed")] = entry.Fixed;
        order.append(system);
    }
    json[QStringLiteral("order")] = order;
    json[QStringLiteral("jumpsBefore")] = JumpsJson(result.JumpsBefore);
    json[QStringLiteral("jumpsAfter")] = JumpsJson(result.JumpsAfter);
    json[QStringLiteral("reachable")] = result.JumpsAfter >= 0;
    return json;
}

} // namespace cli
