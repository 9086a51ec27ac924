#include "app/clicommands.h"

#include "model/uLoaders.h"
#include "model/uSchema.h"
#include "routing/uDijkstra.h"
#include "routing/uRoute.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <exception>

namespace cli {

namespace {

    const QString ProgramName = QStringLiteral("qormap-cli");

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

    int RunRoute(const TCliContext& context, const QStringList& args)
    {
        TRouteRequest request;
        QString error;
        if (!ParseRouteArgs(args, request, &error))
            return UsageError(context, QStringLiteral("route"), error);
        std::unique_ptr<TUniverse> universe = OpenUniverse(context.Home, &error);
        if (!universe) {
            context.Err << error << '\n';
            return ExitError;
        }
        // Freeing thousands of model objects just before the process ends costs more than the route.
        const auto leave = qScopeGuard([&] {
            if (context.LeaveToExit)
                (void)universe.release();
        });
        TGalaxy& galaxy = *universe->Galaxy;
        const QStringList unknown = UnknownNames(galaxy, request);
        for (const QString& name : unknown)
            context.Err << "error: unknown system \"" << name
                        << "\"; closest: " << ClosestNames(galaxy, name).join(QStringLiteral(", ")) << '\n';
        if (!unknown.isEmpty())
            return ExitError;

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
        galaxy.Load();
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
    auto fail = [error](const QString& message) {
        if (error)
            *error = message;
        return false;
    };
    request = TRouteRequest();
    QStringList positional;
    int i = 0;
    while (i < args.size()) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--json")) {
            request.Json = true;
            ++i;
            continue;
        }
        if (arg == QLatin1String("--")) {
            positional += args.mid(i + 1);
            break;
        }
        if (!arg.startsWith(QLatin1String("--"))) {
            positional << arg;
            ++i;
            continue;
        }
        bool matched = false;
        QString value;
        for (const char* option : { "via", "avoid", "block", "prefer" }) {
            if (!OptionValue(args, i, QString::fromLatin1(option), value, matched))
                return fail(QStringLiteral("--%1 needs a value").arg(QString::fromLatin1(option)));
            if (!matched)
                continue;
            const QString name = QString::fromLatin1(option);
            if (name == QLatin1String("via"))
                request.Via << value;
            else if (name == QLatin1String("avoid"))
                request.Avoid << value;
            else if (name == QLatin1String("block"))
                request.Block << value;
            else if (!PreferenceFromName(value, request.Preference))
                return fail(QStringLiteral("--prefer takes shortest, high or low, not \"%1\"").arg(value));
            break;
        }
        if (!matched)
            return fail(QStringLiteral("unknown option %1").arg(arg));
    }
    if (positional.size() != 2)
        return fail(positional.size() < 2 ? QStringLiteral("FROM and TO are required")
                                          : QStringLiteral("unexpected argument \"%1\"").arg(positional[2]));
    request.From = positional[0];
    request.To = positional[1];
    return true;
}

QStringList UnknownNames(const TGalaxy& galaxy, const TRouteRequest& request)
{
    QStringList unknown;
    const QStringList names
        = QStringList { request.From, request.To } + request.Via + request.Avoid + request.Block;
    for (const QString& name : names)
        if (!FindSystem(galaxy, name) && !unknown.contains(name))
            unknown << name;
    return unknown;
}

TRouteResult PlanRoute(TGalaxy& galaxy, const TRouteRequest& request)
{
    galaxy.SecurityPreference = request.Preference;
    galaxy.LoadBlockThresholds(); // the stored exclusions, without those of an earlier request
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

QString SecurityText(double security)
{
    const QString text = QString::number(security, 'f', 1);
    return text == QLatin1String("-0.0") ? QStringLiteral("0.0") : text;
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
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(system->Name, int(-width))
                    .arg(SecurityText(system->Security), 4)
                    .arg(system->Region ? system->Region->Name : QStringLiteral("unknown"));
    const auto jumps = qsizetype(result.Systems.size()) - 1;
    text += QStringLiteral("%1 %2\n").arg(jumps).arg(
        jumps == 1 ? QStringLiteral("jump") : QStringLiteral("jumps"));
    return text;
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
    for (const TSystem* system : result.Systems) {
        QJsonObject entry;
        entry[QStringLiteral("name")] = system->Name;
        entry[QStringLiteral("id")] = system->ID;
        entry[QStringLiteral("security")] = SecurityText(system->Security).toDouble();
        entry[QStringLiteral("region")] = system->Region ? system->Region->Name : QStringLiteral("unknown");
        systems.append(entry);
    }
    json[QStringLiteral("systems")] = systems;
    json[QStringLiteral("jumps")] = qint64(result.Systems.size()) - 1;
    return json;
}

} // namespace cli
