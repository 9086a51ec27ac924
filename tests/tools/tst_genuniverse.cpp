// The universe generator: data invariants, the default universe's shape, determinism, its command line.
#include "model/uSchema.h"
#include "sqlitefile.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

QList<int> intColumn(const SqliteFile& f, const QString& statement)
{
    QList<int> values;
    QSqlQuery q(f.db());
    if (q.exec(statement))
        while (q.next())
            values << q.value(0).toInt();
    return values;
}

QStringList textColumn(const SqliteFile& f, const QString& statement)
{
    QStringList values;
    QSqlQuery q(f.db());
    if (q.exec(statement))
        while (q.next())
            values << q.value(0).toString();
    return values;
}

int count(const SqliteFile& f, const QString& statement) { return f.value(statement).toInt(); }

// Regions no gate path from the smallest system ID reaches; each must be connected inside itself.
struct Reachability {
    int unreachableRegions = 0;
    bool partlyReachedRegion = false;
    bool disconnectedIsland = false;
};

Reachability reachability(const SqliteFile& f)
{
    QHash<int, QList<int>> next;
    QSqlQuery j(f.db());
    j.exec(QStringLiteral("select fromSolarSystemID, toSolarSystemID from jumps"));
    while (j.next())
        next[j.value(0).toInt()] << j.value(1).toInt();
    QHash<int, int> regionOf;
    QHash<int, QList<int>> members;
    QSqlQuery s(f.db());
    s.exec(QStringLiteral("select solarSystemID, regionID from solarSystems order by solarSystemID"));
    while (s.next()) {
        regionOf.insert(s.value(0).toInt(), s.value(1).toInt());
        members[s.value(1).toInt()] << s.value(0).toInt();
    }
    auto reach = [&](int start, int onlyRegion) {
        QSet<int> seen { start };
        QList<int> queue { start };
        while (!queue.isEmpty()) {
            const int at = queue.takeFirst();
            for (int to : next.value(at)) {
                if ((onlyRegion == 0 || regionOf.value(to) == onlyRegion) && !seen.contains(to)) {
                    seen.insert(to);
                    queue << to;
                }
            }
        }
        return seen;
    };

    Reachability r;
    const QSet<int> main = reach(30000001, 0);
    for (auto it = members.cbegin(); it != members.cend(); ++it) {
        int reached = 0;
        for (int id : it.value())
            reached += main.contains(id) ? 1 : 0;
        if (reached == 0) {
            ++r.unreachableRegions;
            if (reach(it.value().first(), it.key()).size() != it.value().size())
                r.disconnectedIsland = true;
        } else if (reached != it.value().size()) {
            r.partlyReachedRegion = true;
        }
    }
    return r;
}

// A digest of every map table's rows in a fixed order.
QHash<QString, QByteArray> digest(const QString& mapPath)
{
    SqliteFile f(mapPath);
    QHash<QString, QByteArray> sums;
    for (const schema::TableSpec& t : schema::mapTables()) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        QSqlQuery q(f.db());
        q.exec(QStringLiteral("select %1 from \"%2\" order by %1").arg(t.columns.join(QStringLiteral(", ")), t.name));
        while (q.next())
            for (int c = 0; c < t.columns.size(); ++c)
                hash.addData((q.value(c).toString() + QLatin1Char('|')).toUtf8());
        sums.insert(t.name, hash.result());
    }
    return sums;
}

bool isPowerOfTwo(int v) { return v > 0 && (v & (v - 1)) == 0; }

} // namespace

class TestGenUniverse : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool generate(const QString& name, const QStringList& args, QString* output = nullptr)
    {
        return testsupport::runGenerator(QStringList { QStringLiteral("--out"), path(name) } + args, output);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QString output;
        QVERIFY2(generate(QStringLiteral("tiny"), { QStringLiteral("--preset"), QStringLiteral("tiny") }, &output),
            qPrintable(output));
        QVERIFY2(generate(QStringLiteral("default"), {}, &output), qPrintable(output));
        for (const char* seed : { "7", "8" }) {
            for (const char* copy : { "a", "b" }) {
                QVERIFY2(generate(QStringLiteral("small-%1%2").arg(QLatin1String(seed), QLatin1String(copy)),
                             { QStringLiteral("--seed"), QLatin1String(seed), QStringLiteral("--scale"),
                                 QStringLiteral("0.05") },
                             &output),
                    qPrintable(output));
            }
        }
    }

    void invariants_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("minUnreachable");
        QTest::addColumn<int>("maxUnreachable");
        QTest::newRow("tiny") << "tiny" << 1 << 1;
        QTest::newRow("default") << "default" << 2 << 3;
        QTest::newRow("small") << "small-7a" << 1 << 3;
    }
    void invariants()
    {
        QFETCH(QString, name);
        QFETCH(int, minUnreachable);
        QFETCH(int, maxUnreachable);
        SqliteFile f(path(name + QStringLiteral("/map.db")));
        QVERIFY(f.db().isOpen());
        QCOMPARE(schema::missingMapTableOrColumn(f.db()), QString());

        // Systems: IDs, links to regions and constellations, names, security.
        QCOMPARE(count(f, "select min(solarSystemID) from solarSystems"), 30000001);
        QCOMPARE(count(f, "select count(distinct solarSystemID) from solarSystems"),
            count(f, "select count(1) from solarSystems"));
        QCOMPARE(count(f, "select count(1) from solarSystems s where not exists (select 1 from regions r "
                          "where r.regionID = s.regionID)"),
            0);
        QCOMPARE(count(f, "select count(1) from solarSystems s where not exists (select 1 from constellations c "
                          "where c.constellationID = s.constellationID and c.regionID = s.regionID)"),
            0);
        QCOMPARE(count(f, "select count(1) from constellations c where not exists (select 1 from solarSystems s "
                          "where s.constellationID = c.constellationID)"),
            0);
        for (const char* column : { "solarSystemName", "lower(solarSystemName)" })
            QCOMPARE(count(f, QStringLiteral("select count(distinct %1) from solarSystems").arg(QLatin1String(column))),
                count(f, "select count(1) from solarSystems"));
        QCOMPARE(count(f, "select count(distinct lower(regionName)) from regions"), count(f, "select count(1) from regions"));
        QCOMPARE(count(f, "select count(distinct lower(constellationName)) from constellations"),
            count(f, "select count(1) from constellations"));
        const QStringList systemNames = textColumn(f, "select solarSystemName from solarSystems");
        static const QRegularExpression ascii(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9 -]*[A-Za-z0-9]$"));
        for (const QString& n : systemNames)
            QVERIFY2(ascii.match(n).hasMatch(), qPrintable(n));
        QVERIFY(!systemNames.filter(QStringLiteral("-")).isEmpty());
        QVERIFY(!systemNames.filter(QStringLiteral(" ")).isEmpty());
        QCOMPARE(count(f, "select count(1) from solarSystems where security < -1 or security > 1"), 0);
        QVERIFY(count(f, "select count(1) from solarSystems where security < 0") > 0);
        QVERIFY(count(f, "select count(1) from solarSystems where security >= 0.45") > 0);
        QVERIFY(count(f, "select count(1) from solarSystems where factionID is null or factionID = ''") > 0);
        QVERIFY(count(f, "select count(1) from solarSystems where factionID > 0") > 0);
        QCOMPARE(count(f, "select count(1) from solarSystems where luminosity <= 0"), 0);

        // Regions: colours and names.
        QCOMPARE(count(f, "select count(1) from regions where color < 0 or color > 16777215"), 0);
        QVERIFY(count(f, "select count(1) from regions where color = 0") > 0);
        QVERIFY(count(f, "select count(1) from regions where color > 0") > 0);
        bool chinese = false;
        for (const QString& n : textColumn(f, "select regionName from regions"))
            for (QChar c : n)
                chinese = chinese || (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF);
        QVERIFY(chinese);

        // Gates: every link both ways, between existing systems, no loops or repeats.
        QCOMPARE(count(f, "select count(1) from jumps j where not exists (select 1 from jumps r where "
                          "r.fromSolarSystemID = j.toSolarSystemID and r.toSolarSystemID = j.fromSolarSystemID)"),
            0);
        QCOMPARE(count(f, "select count(1) from jumps where fromSolarSystemID = toSolarSystemID"), 0);
        QCOMPARE(count(f, "select count(1) from (select distinct fromSolarSystemID, toSolarSystemID from jumps)"),
            count(f, "select count(1) from jumps"));
        QCOMPARE(count(f, "select count(1) from jumps j where not exists (select 1 from solarSystems s "
                          "where s.solarSystemID = j.toSolarSystemID)"),
            0);
        const Reachability r = reachability(f);
        QVERIFY(!r.partlyReachedRegion);
        QVERIFY(!r.disconnectedIsland);
        QVERIFY2(r.unreachableRegions >= minUnreachable && r.unreachableRegions <= maxUnreachable,
            qPrintable(QString::number(r.unreachableRegions)));

        // Services: distinct powers of two, exactly one market.
        const QList<int> services = intColumn(f, "select serviceID from stationServices");
        QVERIFY(!services.isEmpty());
        QCOMPARE(QSet<int>(services.cbegin(), services.cend()).size(), services.size());
        for (int id : services)
            QVERIFY2(isPowerOfTwo(id), qPrintable(QString::number(id)));
        int markets = 0;
        for (const QString& n : textColumn(f, "select serviceName from stationServices"))
            markets += n.toLower() == QString::fromUtf8("市场") ? 1 : 0;
        QCOMPARE(markets, 1);
        QCOMPARE(count(f, "select count(1) from stationOperationServices o where not exists (select 1 from "
                          "stationServices s where s.serviceID = o.serviceID)"),
            0);

        // Stations and agents refer to what exists; agents' levels and qualities in range.
        QCOMPARE(count(f, "select count(1) from stations t where not exists (select 1 from solarSystems s "
                          "where s.solarSystemID = t.solarSystemID)"),
            0);
        QCOMPARE(count(f, "select count(1) from stations t where not exists (select 1 from corporations c "
                          "where c.corporationID = t.corporationID)"),
            0);
        QCOMPARE(count(f, "select count(1) from stations t where not exists (select 1 from stationOperationServices o "
                          "where o.operationID = t.operationID)"),
            0);
        QVERIFY(count(f, "select count(1) from stations t, stationOperationServices o, stationServices v where "
                         "o.operationID = t.operationID and v.serviceID = o.serviceID and v.serviceName = '市场'")
            > 0);
        QCOMPARE(count(f, "select count(1) from agents a where not exists (select 1 from stations t where "
                          "t.stationID = a.stationID) or not exists (select 1 from divisions d where d.divisionID = "
                          "a.divisionID) or not exists (select 1 from corporations c where c.corporationID = "
                          "a.corporationID)"),
            0);
        QCOMPARE(count(f, "select count(1) from agents where level not between 1 and 5 or quality not between -20 and 20"),
            0);
        QCOMPARE(count(f, "select count(1) from corporationImplants ci where not exists (select 1 from implants i "
                          "where i.implantID = ci.implantID)"),
            0);
        QCOMPARE(count(f, "select count(1) from factionCorporations fc where not exists (select 1 from factions x "
                          "where x.factionID = fc.factionID)"),
            0);
        static const QRegularExpression stationName(QStringLiteral("^(.+) [IVX]+ - Moon \\d+ - .+ .+$"));
        QSqlQuery q(f.db());
        QVERIFY(q.exec(QStringLiteral("select t.stationName, s.solarSystemName from stations t, solarSystems s "
                                      "where s.solarSystemID = t.solarSystemID")));
        while (q.next()) {
            const QRegularExpressionMatch m = stationName.match(q.value(0).toString());
            QVERIFY2(m.hasMatch() && m.captured(1) == q.value(1).toString(), qPrintable(q.value(0).toString()));
        }

        // The user database: every table, no rows.
        SqliteFile custom(path(name + QStringLiteral("/custom.db")));
        for (const schema::TableSpec& t : schema::customTables()) {
            QSqlQuery columns(custom.db());
            columns.prepare(QStringLiteral("select name from pragma_table_info(?)"));
            columns.addBindValue(t.name);
            QVERIFY(columns.exec());
            QStringList names;
            while (columns.next())
                names << columns.value(0).toString();
            QCOMPARE(names, t.columns);
            QCOMPARE(count(custom, QStringLiteral("select count(1) from \"%1\"").arg(t.name)), 0);
        }
    }

    void tinyShape()
    {
        SqliteFile f(path(QStringLiteral("tiny/map.db")));
        QCOMPARE(count(f, "select count(1) from regions"), 3);
        QVERIFY(count(f, "select count(1) from solarSystems") <= 60);
        for (double sec : { 0.44, 0.45, 0.55, 0.0, 1.0, -1.0 }) {
            QSqlQuery q(f.db());
            q.prepare(QStringLiteral("select count(1) from solarSystems where security = ?"));
            q.addBindValue(sec);
            QVERIFY(q.exec() && q.next());
            QVERIFY2(q.value(0).toInt() > 0, qPrintable(QString::number(sec)));
        }
        // Both empty forms of factionID occur.
        QVERIFY(count(f, "select count(1) from solarSystems where factionID is null") > 0);
        QVERIFY(count(f, "select count(1) from solarSystems where typeof(factionID) = 'text' and factionID = ''") > 0);
        QVERIFY(count(f, "select count(1) from agents") >= 3);
    }

    void defaultShape()
    {
        SqliteFile f(path(QStringLiteral("default/map.db")));
        auto between = [&](const char* statement, double lo, double hi) {
            const double v = f.value(QLatin1String(statement)).toDouble();
            if (v < lo || v > hi)
                qWarning("%s gave %g, expected %g .. %g", statement, v, lo, hi);
            return v >= lo && v <= hi;
        };
        QVERIFY(between("select count(1) from regions", 60, 70));
        QVERIFY(between("select count(1) from constellations", 1000, 1200));
        QVERIFY(between("select count(1) from solarSystems", 5000, 5400));
        QVERIFY(between("select count(1) / 2 from jumps", 6400, 7400));
        QVERIFY(between("select count(1) from factions", 18, 22));
        QVERIFY(between("select count(1) from corporations", 230, 270));
        QVERIFY(between("select 1.0 * count(distinct corporationID) / (select count(1) from corporations) "
                        "from factionCorporations",
            0.7, 1.0));
        QVERIFY(between("select count(1) from divisions", 22, 28));
        QVERIFY(between("select count(1) from stationServices", 24, 24));
        QVERIFY(between("select count(distinct operationID) from stationOperationServices", 55, 65));
        QVERIFY(between("select count(1) from stations", 4500, 5500));
        QVERIFY(between("select count(distinct solarSystemID) from stations", 1350, 1650));
        QVERIFY(between("select count(1) from agents", 9000, 11000));
        QVERIFY(between("select count(distinct level) from agents", 5, 5));
        QVERIFY(between("select count(1) from implants", 100, 140));
        QVERIFY(between("select count(1) from corporationImplants", 350, 450));
        QVERIFY(between("select avg(security >= 0.45) from solarSystems", 0.22, 0.28));
        QVERIFY(between("select avg(security >= 0 and security < 0.45) from solarSystems", 0.14, 0.19));
        QVERIFY(between("select avg(factionID is null or factionID = '') from solarSystems", 0.2, 0.8));
        QVERIFY(between("select max(max(abs(X)), max(abs(Z))) from solarSystems", 3e16, 5e17));
        QVERIFY(between("select max(solarSystemID) - min(solarSystemID) + 1 - count(1) from solarSystems", 1, 200));
        QVERIFY(between("select count(1) from regions where regionName glob '*[a-z]*'", 40, 70));

        // Most gates inside constellations, fewer between constellations, fewest between regions.
        QSqlQuery q(f.db());
        QVERIFY(q.exec(QStringLiteral(
            "select sum(a.regionID <> b.regionID), sum(a.regionID = b.regionID and a.constellationID <> "
            "b.constellationID), sum(a.constellationID = b.constellationID) from jumps j, solarSystems a, "
            "solarSystems b where a.solarSystemID = j.fromSolarSystemID and b.solarSystemID = j.toSolarSystemID")));
        QVERIFY(q.next());
        const int region = q.value(0).toInt();
        const int constellation = q.value(1).toInt();
        const int system = q.value(2).toInt();
        QVERIFY2(region > 0 && region < constellation && constellation < system,
            qPrintable(QStringLiteral("%1 %2 %3").arg(region).arg(constellation).arg(system)));

        // High security lies in one core: its gates rarely lead straight into negative security.
        QVERIFY(between("select avg(b.security < 0) from jumps j, solarSystems a, solarSystems b where "
                        "a.solarSystemID = j.fromSolarSystemID and b.solarSystemID = j.toSolarSystemID and "
                        "a.security >= 0.45",
            0.0, 0.05));

        const Reachability r = reachability(f);
        QVERIFY(r.unreachableRegions >= 2 && r.unreachableRegions <= 3);
    }

    void sameSeedSameUniverse()
    {
        const QHash<QString, QByteArray> a = digest(path(QStringLiteral("small-7a/map.db")));
        QCOMPARE(a.size(), schema::mapTables().size());
        QCOMPARE(digest(path(QStringLiteral("small-7b/map.db"))), a);
        const QHash<QString, QByteArray> other = digest(path(QStringLiteral("small-8a/map.db")));
        QCOMPARE(digest(path(QStringLiteral("small-8b/map.db"))), other);
        for (const char* table : { "solarSystems", "jumps", "regions", "stations", "agents" })
            QVERIFY2(other.value(QLatin1String(table)) != a.value(QLatin1String(table)), table);
    }

    void scaleGrowsTheUniverse()
    {
        SqliteFile small(path(QStringLiteral("small-7a/map.db")));
        SqliteFile full(path(QStringLiteral("default/map.db")));
        const int smallSystems = count(small, "select count(1) from solarSystems");
        const int fullSystems = count(full, "select count(1) from solarSystems");
        QVERIFY2(smallSystems >= fullSystems / 25 && smallSystems <= fullSystems / 15,
            qPrintable(QString::number(smallSystems)));
        QVERIFY(count(small, "select count(1) from stations") < count(full, "select count(1) from stations") / 10);
    }

    void refusesToOverwrite()
    {
        const QString dir = QStringLiteral("overwrite");
        QVERIFY(generate(dir, { QStringLiteral("--preset"), QStringLiteral("tiny") }));
        {
            SqliteFile custom(path(dir + QStringLiteral("/custom.db")));
            QVERIFY(custom.exec(QStringLiteral("insert into groups (ID, name) values (1, 'keep')")));
        }
        QString output;
        QVERIFY(!generate(dir, { QStringLiteral("--preset"), QStringLiteral("tiny") }, &output));
        QVERIFY2(output.contains(QStringLiteral("already exists")), qPrintable(output));
        {
            SqliteFile custom(path(dir + QStringLiteral("/custom.db")));
            QCOMPARE(count(custom, "select count(1) from groups"), 1);
        }
        QVERIFY(generate(dir, { QStringLiteral("--preset"), QStringLiteral("tiny"), QStringLiteral("--force") }));
        SqliteFile custom(path(dir + QStringLiteral("/custom.db")));
        QCOMPARE(count(custom, "select count(1) from groups"), 0);
        QVERIFY(!QFile::exists(path(dir + QStringLiteral("/map.db.part"))));
    }

    void badArguments_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("complaint");
        const QString out = QStringLiteral("--out");
        QTest::newRow("no out") << QStringList { "--preset", "tiny" } << "--out";
        QTest::newRow("unknown preset") << QStringList { out, "@", "--preset", "huge" } << "huge";
        QTest::newRow("seed not a number") << QStringList { out, "@", "--seed", "abc" } << "abc";
        QTest::newRow("negative seed") << QStringList { out, "@", "--seed", "-1" } << "-1";
        QTest::newRow("scale zero") << QStringList { out, "@", "--scale", "0" } << "scale";
        QTest::newRow("scale too large") << QStringList { out, "@", "--scale", "1000" } << "scale";
        QTest::newRow("scale not a number") << QStringList { out, "@", "--scale", "nan" } << "scale";
        QTest::newRow("scale for tiny") << QStringList { out, "@", "--preset", "tiny", "--scale", "2" } << "tiny";
        QTest::newRow("unknown option") << QStringList { out, "@", "--frobnicate" } << "frobnicate";
        QTest::newRow("stray argument") << QStringList { out, "@", "extra" } << "extra";
        QTest::newRow("missing value") << QStringList { out } << "out";
    }
    void badArguments()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, complaint);
        const QString dir = path(QStringLiteral("bad-") + QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-'));
        args.replaceInStrings(QStringLiteral("@"), dir);
        QString output;
        QVERIFY(!testsupport::runGenerator(args, &output));
        QVERIFY2(output.contains(QStringLiteral("qormap-genuniverse")) && output.contains(complaint),
            qPrintable(output));
        QVERIFY(!QFile::exists(dir + QStringLiteral("/map.db")));
    }

    void helpNamesEveryOption()
    {
        QString output;
        QVERIFY(testsupport::runGenerator({ QStringLiteral("--help") }, &output));
        for (const char* option : { "--out", "--preset", "--seed", "--scale", "--force" })
            QVERIFY2(output.contains(QLatin1String(option)), option);
    }
};

QTEST_GUILESS_MAIN(TestGenUniverse)
#include "tst_genuniverse.moc"
