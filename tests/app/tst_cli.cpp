// qormap-cli run as a process on copies of the tiny universe, checked against the same core
// computation in process; and the command pieces (names, suggestions, arguments) directly.
#include "app/clicommands.h"
#include "model/uDatabase.h"
#include "routing/uRoute.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
};

Run RunCliProcess(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(QORMAP_CLI), args);
    Run run;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return run;
    run.code = p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

Run Route(const QString& home, const QStringList& args)
{
    return RunCliProcess(QStringList { QStringLiteral("--home"), home, QStringLiteral("route") } + args);
}

// Every file under dir with its size, time and content hash.
QStringList Snapshot(const QString& dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        const QFileInfo info(path);
        files << QStringLiteral("%1 %2 %3 %4")
                     .arg(info.fileName())
                     .arg(info.size())
                     .arg(info.lastModified().toMSecsSinceEpoch())
                     .arg(QString::fromLatin1(
                         QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex()));
    }
    files.sort();
    return files;
}

// The route text the command must print for the request, computed in process.
QString ExpectedText(cli::TUniverse& universe, const cli::TRouteRequest& request)
{
    return cli::RouteText(cli::PlanRoute(*universe.Galaxy, request));
}

cli::TRouteRequest Request(const QString& from, const QString& to, quint8 preference = PreferShortest)
{
    cli::TRouteRequest request;
    request.From = from;
    request.To = to;
    request.Preference = preference;
    return request;
}

Run Optimise(const QString& home, const QStringList& args)
{
    return RunCliProcess(QStringList { QStringLiteral("--home"), home, QStringLiteral("optimise") } + args);
}

// The optimise command's text: the systems in order with their check marks, then the jumps.
struct OptimiseOutput {
    QStringList names;
    QList<bool> fixed;
    QString before;
    QString after;
};

OptimiseOutput ParseOptimise(const QString& text)
{
    OptimiseOutput parsed;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("before: ")))
            parsed.before = line.section(QLatin1Char(':'), 1).trimmed();
        else if (line.startsWith(QLatin1String("after: ")))
            parsed.after = line.section(QLatin1Char(':'), 1).trimmed();
        else {
            parsed.names << line.section(QLatin1String("  "), 0, 0).trimmed();
            parsed.fixed << line.endsWith(QLatin1String("  fixed"));
        }
    }
    return parsed;
}

QStringList RouteNames(const QString& text)
{
    QStringList names;
    for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (line.contains(QLatin1String("  ")))
            names << line.section(QLatin1String("  "), 0, 0).trimmed();
    return names;
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void editDistance_data();
    void editDistance();
    void closestNamesAndLookup();
    void arguments_data();
    void arguments();
    void knownRoute_data();
    void knownRoute();
    void jsonOutput();
    void unknownNameSuggestsClosest();
    void unreachableDestination();
    void avoidAndBlockChangeTheRoute();
    void storedExclusionsApply();
    void viaAndSameSystem();
    void helpListsCommands();
    void usageErrors();
    void missingMapIsFatal();
    void nothingWrittenToHome();
    void optimiseOrder_data();
    void optimiseOrder();
    void optimiseJson();
    void optimiseUnreachable();
    void optimiseUnknownNames();

private:
    // Jumps of the route through names in that order as the route command builds it; -1 without one.
    int JumpsThrough(const QStringList& names, quint8 preference) const;
    // Stores a block of the named system in the home's custom.db.
    bool StoreBlock(const testsupport::TempHome& home, const QString& name) const;

    std::unique_ptr<testsupport::TempHome> m_home;
    std::unique_ptr<cli::TUniverse> m_universe;
    QString m_first; // the system with the smallest ID
    QString m_far; // the system farthest from it that is still reachable
    QString m_unreachable; // a system of a region no gate leads into
    QStringList m_direct; // the shortest route from m_first to m_far
    QString m_detour; // a system on it with a way round
};

void TestCli::initTestCase()
{
    m_home = std::make_unique<testsupport::TempHome>();
    QVERIFY(m_home->isValid());
    QString error;
    m_universe = cli::OpenUniverse(m_home->path(), &error);
    QVERIFY2(m_universe, qPrintable(error));

    const QSqlDatabase map = m_universe->Map->Db();
    m_first = QueryScalar(map, "select solarSystemName from solarSystems order by solarSystemID limit 1")
                  .toString();
    m_unreachable = QueryScalar(map,
        "select solarSystemName from solarSystems where regionID not in ("
        " select t.regionID from jumps j, solarSystems f, solarSystems t"
        " where f.solarSystemID = j.fromSolarSystemID and t.solarSystemID = j.toSolarSystemID"
        " and f.regionID <> t.regionID) order by solarSystemID limit 1")
                        .toString();
    QVERIFY(!m_first.isEmpty() && !m_unreachable.isEmpty());

    TGalaxy& galaxy = *m_universe->Galaxy;
    TSystem* first = galaxy.SystemByName(m_first);
    int longest = 0;
    for (const auto& e : galaxy.Systems) {
        const int length = PathLength(galaxy, first, e.Object);
        if (length > longest) {
            longest = length;
            m_far = e.Object->Name;
        }
    }
    QVERIFY(longest >= 5);

    m_direct = RouteNames(ExpectedText(*m_universe, Request(m_first, m_far)));
    for (const QString& middle : m_direct.mid(1, m_direct.size() - 2)) {
        cli::TRouteRequest request = Request(m_first, m_far);
        request.Block << middle;
        const QStringList round = RouteNames(ExpectedText(*m_universe, request));
        if (!round.isEmpty() && !round.contains(middle)) {
            m_detour = middle;
            break;
        }
    }
    QVERIFY2(!m_detour.isEmpty(), "no system on the route has a way round");
}

void TestCli::editDistance_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("distance");
    QTest::newRow("same") << "Aldera"
                          << "Aldera" << 0;
    QTest::newRow("case only") << "aldera"
                               << "ALDERA" << 0;
    QTest::newRow("one dropped") << "Aldra"
                                 << "Aldera" << 1;
    QTest::newRow("one changed") << "Kell"
                                 << "Kelp" << 1;
    QTest::newRow("two changed") << "Kell"
                                 << "Kilt" << 2;
    QTest::newRow("empty") << ""
                           << "Esk" << 3;
    QTest::newRow("wide characters") << "天穹"
                                     << "天穹星域" << 2;
}

void TestCli::editDistance()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, distance);
    QCOMPARE(cli::EditDistance(a, b), distance);
    QCOMPARE(cli::EditDistance(b, a), distance);
}

void TestCli::closestNamesAndLookup()
{
    const TGalaxy& galaxy = *m_universe->Galaxy;
    QString typo = m_far.toLower();
    typo.remove(1, 1);
    const QStringList closest = cli::ClosestNames(galaxy, typo, 3);
    QCOMPARE(closest.size(), 3);
    QCOMPARE(closest.first(), m_far);
    QVERIFY(cli::EditDistance(typo, closest[1]) >= 1);
    QVERIFY(cli::EditDistance(typo, closest[1]) <= cli::EditDistance(typo, closest[2]));

    QCOMPARE(cli::FindSystem(galaxy, m_far)->Name, m_far);
    QCOMPARE(cli::FindSystem(galaxy, m_far.toUpper())->Name, m_far);
    QVERIFY(!cli::FindSystem(galaxy, typo));
}

void TestCli::arguments_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("valid");
    // route: from|to|via|avoid|block|preference|json; optimise: start|waypoints|end|fixed|preference|json
    QTest::addColumn<QString>("parsed");

    const QString route = QStringLiteral("route");
    QTest::newRow("route: plain") << route << QStringList { "A", "B" } << true << "A|B||||2|0";
    QTest::newRow("route: everything") << route
                                       << QStringList { "--prefer", "high", "A", "--via", "V1", "--avoid=X",
                                              "B", "--via=V2", "--block", "Y", "--json", "--block", "Z" }
                                       << true << "A|B|V1,V2|X|Y,Z|0|1";
    QTest::newRow("route: prefer low")
        << route << QStringList { "A", "B", "--prefer=low" } << true << "A|B||||1|0";
    QTest::newRow("route: name like an option")
        << route << QStringList { "A", "--", "--odd" } << true << "A|--odd||||2|0";
    QTest::newRow("route: one name") << route << QStringList { "A" } << false << "";
    QTest::newRow("route: three names") << route << QStringList { "A", "B", "C" } << false << "";
    QTest::newRow("route: bad preference")
        << route << QStringList { "A", "B", "--prefer", "safe" } << false << "";
    QTest::newRow("route: missing value") << route << QStringList { "A", "B", "--via" } << false << "";
    QTest::newRow("route: unknown option") << route << QStringList { "A", "B", "--fast" } << false << "";

    const QString optimise = QStringLiteral("optimise");
    QTest::newRow("optimise: plain") << optimise << QStringList { "A", "B" } << true << "A|B|||2|0";
    QTest::newRow("optimise: everything")
        << optimise
        << QStringList { "--prefer", "low", "A", "B", "--fixed", "B", "C", "--end=D", "--json", "--fixed=C" }
        << true << "A|B,C|D|B,C|1|1";
    QTest::newRow("optimise: name like an option")
        << optimise << QStringList { "A", "--", "--odd" } << true << "A|--odd|||2|0";
    QTest::newRow("optimise: start only") << optimise << QStringList { "A", "--end", "B" } << false << "";
    QTest::newRow("optimise: end twice")
        << optimise << QStringList { "A", "B", "--end", "C", "--end", "D" } << false << "";
    QTest::newRow("optimise: empty end") << optimise << QStringList { "A", "B", "--end=" } << false << "";
    QTest::newRow("optimise: missing value")
        << optimise << QStringList { "A", "B", "--fixed" } << false << "";
    QTest::newRow("optimise: bad preference")
        << optimise << QStringList { "A", "B", "--prefer", "safe" } << false << "";
    QTest::newRow("optimise: route option")
        << optimise << QStringList { "A", "B", "--via", "C" } << false << "";
}

void TestCli::arguments()
{
    QFETCH(QString, command);
    QFETCH(QStringList, args);
    QFETCH(bool, valid);
    QFETCH(QString, parsed);
    QString error;
    QStringList fields;
    bool ok = false;
    if (command == QLatin1String("route")) {
        cli::TRouteRequest request;
        ok = cli::ParseRouteArgs(args, request, &error);
        fields = QStringList { request.From, request.To, request.Via.join(','), request.Avoid.join(','),
            request.Block.join(','), QString::number(request.Preference), QString::number(request.Json) };
    } else {
        cli::TOptimiseRequest request;
        ok = cli::ParseOptimiseArgs(args, request, &error);
        fields = QStringList { request.Start, request.Waypoints.join(','), request.End,
            request.Fixed.join(','), QString::number(request.Preference), QString::number(request.Json) };
    }
    QCOMPARE(ok, valid);
    if (!valid)
        QVERIFY(!error.isEmpty());
    else
        QCOMPARE(fields.join('|'), parsed);
}

void TestCli::knownRoute_data()
{
    QTest::addColumn<QString>("prefer");
    QTest::addColumn<int>("preference");
    QTest::newRow("default") << QString() << int(PreferShortest);
    QTest::newRow("shortest") << "shortest" << int(PreferShortest);
    QTest::newRow("high") << "high" << int(PreferHigh);
    QTest::newRow("low") << "low" << int(PreferLow);
}

// The printed route is the core's route: one line per system, then the jumps.
void TestCli::knownRoute()
{
    QFETCH(QString, prefer);
    QFETCH(int, preference);
    QStringList args { m_first, m_far };
    if (!prefer.isEmpty())
        args << "--prefer" << prefer;
    const Run run = Route(m_home->path(), args);
    QCOMPARE(run.code, 0);
    QVERIFY(run.err.isEmpty());
    const QString expected = ExpectedText(*m_universe, Request(m_first, m_far, quint8(preference)));
    QCOMPARE(run.out, expected);

    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    const QStringList names = RouteNames(run.out);
    QCOMPARE(names.first(), m_first);
    QCOMPARE(names.last(), m_far);
    QCOMPARE(lines.last(), QStringLiteral("%1 jumps").arg(names.size() - 1));
    const TSystem* first = m_universe->Galaxy->SystemByName(m_first);
    QVERIFY(lines.first().endsWith(cli::SecurityText(first->Security) + "  " + first->Region->Name));
}

void TestCli::jsonOutput()
{
    const Run text = Route(m_home->path(), { m_first, m_far, "--prefer", "high" });
    const Run run = Route(m_home->path(), { m_first, m_far, "--prefer", "high", "--json" });
    QCOMPARE(run.code, 0);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    QVERIFY2(doc.isObject(), qPrintable(error.errorString()));
    const QJsonObject json = doc.object();
    QCOMPARE(json["reachable"].toBool(), true);
    QCOMPARE(json["prefer"].toString(), QStringLiteral("high"));
    QCOMPARE(json["from"].toString(), m_first);
    QCOMPARE(json["to"].toString(), m_far);
    const QJsonArray systems = json["systems"].toArray();
    QCOMPARE(json["jumps"].toInt(), systems.size() - 1);

    QStringList names;
    for (const QJsonValue& v : systems) {
        const QJsonObject s = v.toObject();
        names << s["name"].toString();
        const TSystem* system = m_universe->Galaxy->SystemByName(s["name"].toString());
        QVERIFY(system);
        QCOMPARE(s["id"].toInt(), system->ID);
        QCOMPARE(s["region"].toString(), system->Region->Name);
        QCOMPARE(s["security"].toDouble(), cli::SecurityText(system->Security).toDouble());
    }
    QCOMPARE(names, RouteNames(text.out));

    const Run unreachable = Route(m_home->path(), { m_first, m_unreachable, "--json" });
    QCOMPARE(unreachable.code, 2);
    const QJsonObject none = QJsonDocument::fromJson(unreachable.out.toUtf8()).object();
    QCOMPARE(none["reachable"].toBool(), false);
    QCOMPARE(none["message"].toString(), QStringLiteral("DESTINATION UNREACHABLE"));
    QCOMPARE(none["unreachableLeg"].toObject()["to"].toString(), m_unreachable);
}

void TestCli::unknownNameSuggestsClosest()
{
    QString typo = m_far;
    typo.insert(2, QLatin1Char('q'));
    const Run run = Route(m_home->path(), { m_first, typo });
    QCOMPARE(run.code, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(QStringLiteral("unknown system \"%1\"").arg(typo)), qPrintable(run.err));
    const QString suggestions = run.err.section(QLatin1String("closest: "), 1).trimmed();
    QCOMPARE(suggestions.split(QStringLiteral(", ")).first(), m_far);

    // Every unknown name is reported, an unknown exclusion too.
    const Run two = Route(m_home->path(), { "Nowhere1", m_far, "--avoid", "Nowhere2" });
    QCOMPARE(two.code, 1);
    QVERIFY(two.err.contains("\"Nowhere1\""));
    QVERIFY(two.err.contains("\"Nowhere2\""));

    // Names are matched ignoring case.
    const Run lower = Route(m_home->path(), { m_first.toLower(), m_far.toUpper() });
    QCOMPARE(lower.code, 0);
    QCOMPARE(RouteNames(lower.out).last(), m_far);
}

void TestCli::unreachableDestination()
{
    const Run run = Route(m_home->path(), { m_first, m_unreachable });
    QCOMPARE(run.code, 2);
    QCOMPARE(run.out, QStringLiteral("DESTINATION UNREACHABLE\n"));
    QVERIFY(run.err.contains(m_unreachable));

    // Blocking the destination makes it unreachable as well.
    const Run blocked = Route(m_home->path(), { m_first, m_far, "--block", m_far });
    QCOMPARE(blocked.code, 2);
    QCOMPARE(blocked.out, QStringLiteral("DESTINATION UNREACHABLE\n"));
}

// A system on the route, avoided or blocked, moves the route off it, exactly as the core computes it.
void TestCli::avoidAndBlockChangeTheRoute()
{
    for (const char* option : { "--avoid", "--block" }) {
        const Run run = Route(m_home->path(), { m_first, m_far, option, m_detour });
        QCOMPARE(run.code, 0);
        cli::TRouteRequest request = Request(m_first, m_far);
        (QByteArray(option) == "--avoid" ? request.Avoid : request.Block) << m_detour;
        QCOMPARE(run.out, ExpectedText(*m_universe, request));
        const QStringList names = RouteNames(run.out);
        QVERIFY(!names.contains(m_detour));
        QCOMPARE(names.first(), m_first);
        QCOMPARE(names.last(), m_far);
    }
    // Nothing was stored: the next run takes the direct route again.
    QCOMPARE(RouteNames(Route(m_home->path(), { m_first, m_far }).out), m_direct);
}

// An exclusion stored in custom.db applies without being named.
void TestCli::storedExclusionsApply()
{
    testsupport::TempHome home;
    QVERIFY(StoreBlock(home, m_detour));
    const Run run = Route(home.path(), { m_first, m_far });
    QCOMPARE(run.code, 0);
    QVERIFY(!RouteNames(run.out).contains(m_detour));
    QVERIFY(RouteNames(run.out) != m_direct);
    cli::TRouteRequest request = Request(m_first, m_far);
    request.Block << m_detour;
    QCOMPARE(run.out, ExpectedText(*m_universe, request));

    // A stored block stays a block when the command line only asks to avoid.
    const Run avoid = Route(home.path(), { m_first, m_far, "--avoid", m_detour });
    QCOMPARE(avoid.out, run.out);
}

void TestCli::viaAndSameSystem()
{
    const QStringList& direct = m_direct;
    const QString middle = direct[direct.size() / 2];
    const Run via = Route(m_home->path(), { m_first, m_far, "--via", m_far, "--via", middle });
    QCOMPARE(via.code, 0);
    cli::TRouteRequest request = Request(m_first, m_far);
    request.Via = QStringList { m_far, middle };
    QCOMPARE(via.out, ExpectedText(*m_universe, request));
    QVERIFY(RouteNames(via.out).size() > direct.size());
    QCOMPARE(RouteNames(via.out).count(m_far), 2);

    const Run same = Route(m_home->path(), { m_first, m_first });
    QCOMPARE(same.code, 0);
    QCOMPARE(RouteNames(same.out), QStringList { m_first });
    QVERIFY(same.out.endsWith("0 jumps\n"));

    const Run unreachableVia = Route(m_home->path(), { m_first, m_far, "--via", m_unreachable });
    QCOMPARE(unreachableVia.code, 2);
    QVERIFY(unreachableVia.err.contains(QStringLiteral("from %1 to %2").arg(m_first, m_unreachable)));
}

void TestCli::helpListsCommands()
{
    const Run help = RunCliProcess({ "--help" });
    QCOMPARE(help.code, 0);
    for (const cli::TCommand& command : cli::Commands())
        QVERIFY(help.out.contains("  " + command.Name + ' ' + command.Arguments));
    QVERIFY(help.out.contains("--home DIR"));

    const Run routeHelp = RunCliProcess({ "route", "--help" });
    QCOMPARE(routeHelp.code, 0);
    QVERIFY(routeHelp.out.contains("--prefer"));
    QVERIFY(routeHelp.out.contains("DESTINATION UNREACHABLE"));

    const Run optimiseHelp = RunCliProcess({ "optimise", "--help" });
    QCOMPARE(optimiseHelp.code, 0);
    QVERIFY(optimiseHelp.out.contains("--fixed SYSTEM"));
    QVERIFY(optimiseHelp.out.contains("--end SYSTEM"));
}

void TestCli::usageErrors()
{
    for (const QStringList& args : { QStringList {}, QStringList { "fly" }, QStringList { "--colour" },
             QStringList { "--home" }, QStringList { "--home", m_home->path(), "route", m_first },
             QStringList { "--home", m_home->path(), "route", m_first, m_far, "--prefer", "safe" } }) {
        const Run run = RunCliProcess(args);
        QCOMPARE(run.code, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY(!run.err.isEmpty());
    }
}

void TestCli::missingMapIsFatal()
{
    testsupport::TempHome home(false, true);
    const Run run = Route(home.path(), { m_first, m_far });
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.startsWith("fatal: unable to open map database"), qPrintable(run.err));

    // Without a --home the program's own folder serves, which holds no universe.
    const Run noHome = RunCliProcess({ "route", m_first, m_far });
    QCOMPARE(noHome.code, 1);
    QVERIFY(noHome.err.contains(QFileInfo(QStringLiteral(QORMAP_CLI)).absolutePath() + "/map.db"));
}

void TestCli::nothingWrittenToHome()
{
    testsupport::TempHome full;
    testsupport::TempHome mapOnly(true, false);
    QFile::setPermissions(full.file("map.db"), QFileDevice::ReadOwner);
    const QStringList before = Snapshot(full.path());
    const QStringList beforeMapOnly = Snapshot(mapOnly.path());
    QCOMPARE(Route(full.path(), { m_first, m_far, "--block", m_far }).code, 2);
    QCOMPARE(Route(full.path(), { m_first, m_far, "--avoid", m_far, "--json" }).code, 0);
    QCOMPARE(Optimise(full.path(), { m_first, m_far, m_direct[1], "--fixed", m_far }).code, 0);
    QCOMPARE(Optimise(full.path(), { m_first, m_far, m_direct[1], "--end", m_direct[2], "--json" }).code, 0);
    QCOMPARE(Optimise(mapOnly.path(), { m_first, m_far, m_direct[1] }).code, 0);
    QCOMPARE(
        Route(mapOnly.path(), { m_first, m_far }).out, ExpectedText(*m_universe, Request(m_first, m_far)));
    QCOMPARE(Snapshot(full.path()), before);
    QCOMPARE(Snapshot(mapOnly.path()), beforeMapOnly);
    QVERIFY(!QFileInfo::exists(mapOnly.file("custom.db")));
}

int TestCli::JumpsThrough(const QStringList& names, quint8 preference) const
{
    cli::TRouteRequest request = Request(names.first(), names.last(), preference);
    request.Via = names.mid(1, names.size() - 2);
    const cli::TRouteResult result = cli::PlanRoute(*m_universe->Galaxy, request);
    return result.Reachable ? int(result.Systems.size()) - 1 : -1;
}

// Waypoints named out of their order along the direct route from m_first to m_far.
bool TestCli::StoreBlock(const testsupport::TempHome& home, const QString& name) const
{
    QString error;
    auto custom = TDbConnection::Open(home.file("custom.db"), TOpenMode::ExistingOnly, &error);
    if (!custom)
        return false;
    RunQuery(custom->Db(), "insert into systemBlocks (systemID, tresHold, description) values (?, ?, ?)",
        { m_universe->Galaxy->SystemByName(name)->ID, BlockedThreshold, "test" });
    return true;
}

void TestCli::optimiseOrder_data()
{
    QTest::addColumn<QStringList>("waypoints");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("fixed");
    QTest::addColumn<QString>("prefer");
    QTest::addColumn<QStringList>("expected"); // empty: any order at most as long
    QTest::addColumn<bool>("shorter");

    const QString near = m_direct[1];
    const QString middle = m_direct[m_direct.size() / 2];
    QTest::newRow("reversed, free last place")
        << QStringList { m_far, middle, near } << QString() << QStringList {} << QString()
        << QStringList { m_first, near, middle, m_far } << true;
    QTest::newRow("checked destination") << QStringList { middle, near } << m_far << QStringList {}
                                         << QString() << QStringList { m_first, near, middle, m_far } << true;
    QTest::newRow("checked waypoint stays")
        << QStringList { m_far, near, middle } << QString() << QStringList { m_far.toLower() } << QString()
        << QStringList { m_first, m_far, middle, near } << true;
    QTest::newRow("already in order") << QStringList { near, middle, m_far } << QString() << QStringList {}
                                      << QString() << QStringList { m_first, near, middle, m_far } << false;
    QTest::newRow("prefer high") << QStringList { m_far, middle, near } << QString() << QStringList {}
                                 << "high" << QStringList {} << false;
}

// The order keeps every system, the checked ones in their places, and needs at most as many
// jumps as the given order; the jumps printed are those of the route through each order.
void TestCli::optimiseOrder()
{
    QFETCH(QStringList, waypoints);
    QFETCH(QString, end);
    QFETCH(QStringList, fixed);
    QFETCH(QString, prefer);
    QFETCH(QStringList, expected);
    QFETCH(bool, shorter);

    QStringList args = QStringList { m_first } + waypoints;
    QStringList plan = args;
    if (!end.isEmpty()) {
        args << "--end" << end;
        plan << end;
    }
    for (const QString& name : fixed)
        args << "--fixed" << name;
    quint8 preference = PreferShortest;
    if (!prefer.isEmpty()) {
        args << "--prefer" << prefer;
        QVERIFY(cli::PreferenceFromName(prefer, preference));
    }
    QList<bool> planFixed;
    for (int i = 0; i < plan.size(); ++i)
        planFixed << (i == 0 || (!end.isEmpty() && i == plan.size() - 1)
            || fixed.contains(plan[i], Qt::CaseInsensitive));

    const Run run = Optimise(m_home->path(), args);
    QCOMPARE(run.code, 0);
    QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
    const OptimiseOutput out = ParseOptimise(run.out);
    QStringList sortedOut = out.names, sortedPlan = plan;
    sortedOut.sort();
    sortedPlan.sort();
    QCOMPARE(sortedOut, sortedPlan);
    QCOMPARE(out.fixed, planFixed);
    for (int i = 0; i < plan.size(); ++i)
        if (planFixed[i])
            QCOMPARE(out.names[i], plan[i]);
    if (!expected.isEmpty())
        QCOMPARE(out.names, expected);

    const int before = JumpsThrough(plan, preference);
    const int after = JumpsThrough(out.names, preference);
    QVERIFY(after >= 0);
    QCOMPARE(out.before, QStringLiteral("%1 jumps").arg(before));
    QCOMPARE(out.after, QStringLiteral("%1 jumps").arg(after));
    QVERIFY(after <= before);
    if (shorter)
        QVERIFY(after < before);
}

void TestCli::optimiseJson()
{
    const QStringList args { m_first, m_far, m_direct[1], "--end", m_direct[2], "--prefer", "low" };
    const Run text = Optimise(m_home->path(), args);
    const Run run = Optimise(m_home->path(), args + QStringList { "--json" });
    QCOMPARE(run.code, 0);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    QVERIFY2(doc.isObject(), qPrintable(error.errorString()));
    const QJsonObject json = doc.object();
    QCOMPARE(json["start"].toString(), m_first);
    QCOMPARE(json["waypoints"].toArray(), QJsonArray({ m_far, m_direct[1] }));
    QCOMPARE(json["end"].toString(), m_direct[2]);
    QCOMPARE(json["prefer"].toString(), QStringLiteral("low"));
    QCOMPARE(json["reachable"].toBool(), true);

    const OptimiseOutput expected = ParseOptimise(text.out);
    QStringList names;
    QList<bool> fixed;
    for (const QJsonValue& v : json["order"].toArray()) {
        const QJsonObject s = v.toObject();
        names << s["name"].toString();
        fixed << s["fixed"].toBool();
        QCOMPARE(s["id"].toInt(), m_universe->Galaxy->SystemByName(names.last())->ID);
    }
    QCOMPARE(names, expected.names);
    QCOMPARE(fixed, expected.fixed);
    QCOMPARE(QStringLiteral("%1 jumps").arg(json["jumpsBefore"].toInt()), expected.before);
    QCOMPARE(QStringLiteral("%1 jumps").arg(json["jumpsAfter"].toInt()), expected.after);

    const Run unreachable = Optimise(m_home->path(), { m_first, m_unreachable, m_direct[1], "--json" });
    QCOMPARE(unreachable.code, 2);
    const QJsonObject none = QJsonDocument::fromJson(unreachable.out.toUtf8()).object();
    QCOMPARE(none["reachable"].toBool(), false);
    QVERIFY(none["jumpsBefore"].isNull());
    QVERIFY(none["jumpsAfter"].isNull());
    QVERIFY(none["end"].isNull());
    QCOMPARE(none["order"].toArray().size(), 3);
}

// No order reaches a system no gate leads to: the plan is printed as given, both lengths unreachable.
void TestCli::optimiseUnreachable()
{
    const Run run = Optimise(m_home->path(), { m_first, m_unreachable, m_direct[1] });
    QCOMPARE(run.code, 2);
    QVERIFY(!run.err.isEmpty());
    const OptimiseOutput out = ParseOptimise(run.out);
    QCOMPARE(out.names, QStringList({ m_first, m_unreachable, m_direct[1] }));
    QCOMPARE(out.before, QStringLiteral("unreachable"));
    QCOMPARE(out.after, QStringLiteral("unreachable"));

    // A blocked waypoint stored in custom.db cannot be entered either.
    testsupport::TempHome home;
    QVERIFY(StoreBlock(home, m_far));
    const Run blocked = Optimise(home.path(), { m_first, m_far, m_direct[1] });
    QCOMPARE(blocked.code, 2);
    QCOMPARE(ParseOptimise(blocked.out).after, QStringLiteral("unreachable"));
}

void TestCli::optimiseUnknownNames()
{
    QString typo = m_far;
    typo.insert(2, QLatin1Char('q'));
    const Run run = Optimise(m_home->path(), { m_first, m_direct[1], typo });
    QCOMPARE(run.code, 1);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(QStringLiteral("unknown system \"%1\"").arg(typo)), qPrintable(run.err));
    QCOMPARE(
        run.err.section(QLatin1String("closest: "), 1).trimmed().split(QStringLiteral(", ")).first(), m_far);

    // Every unknown name is reported, in --end and --fixed too.
    const Run three
        = Optimise(m_home->path(), { "Nowhere1", m_far, "--end", "Nowhere2", "--fixed", "Nowhere3" });
    QCOMPARE(three.code, 1);
    for (const char* name : { "\"Nowhere1\"", "\"Nowhere2\"", "\"Nowhere3\"" })
        QVERIFY2(three.err.contains(name), qPrintable(three.err));

    // A known system that is not in the plan cannot be checked.
    const Run notPlanned = Optimise(m_home->path(), { m_first, m_direct[1], "--fixed", m_far });
    QCOMPARE(notPlanned.code, 1);
    QVERIFY(notPlanned.out.isEmpty());
    QVERIFY2(notPlanned.err.contains(m_far), qPrintable(notPlanned.err));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
