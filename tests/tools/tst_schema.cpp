// The schema module: create statements, the map check and adding missing user tables.
#include "model/uSchema.h"
#include "sqlitefile.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList columnsOf(const SqliteFile& f, const QString& table)
{
    QStringList names;
    QSqlQuery q(f.db());
    q.prepare(QStringLiteral("select name from pragma_table_info(?)"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            names << q.value(0).toString();
    return names;
}

bool execAll(const SqliteFile& f, const QStringList& statements)
{
    for (const QString& s : statements)
        if (!f.exec(s))
            return false;
    return true;
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_files = 0;
    QString newFile() { return m_dir.filePath(QStringLiteral("db%1.db").arg(++m_files)); }

private slots:
    void tableNamesAreDistinct()
    {
        QSet<QString> names;
        for (const auto* tables : { &schema::mapTables(), &schema::customTables() }) {
            for (const schema::TableSpec& t : *tables) {
                QVERIFY2(!names.contains(t.name.toLower()), qPrintable(t.name));
                names.insert(t.name.toLower());
                QSet<QString> columns;
                for (const QString& c : t.columns)
                    columns.insert(c.toLower());
                QCOMPARE(columns.size(), t.columns.size());
            }
        }
    }

    void createStatementsBuildEveryColumn_data()
    {
        QTest::addColumn<bool>("map");
        QTest::newRow("map") << true;
        QTest::newRow("custom") << false;
    }
    void createStatementsBuildEveryColumn()
    {
        QFETCH(bool, map);
        SqliteFile f(newFile());
        const QStringList statements = map ? schema::mapCreateStatements() : schema::customCreateStatements();
        const QList<schema::TableSpec>& tables = map ? schema::mapTables() : schema::customTables();
        QCOMPARE(statements.size(), tables.size());
        QVERIFY(execAll(f, statements));
        if (map)
            QVERIFY(execAll(f, schema::mapIndexStatements()));
        for (const schema::TableSpec& t : tables)
            QCOMPARE(columnsOf(f, t.name), t.columns);
        QCOMPARE(schema::missingMapTableOrColumn(f.db()), map ? QString() : schema::mapTables().first().name);
    }

    void customCreateStatementsCanRunTwice()
    {
        SqliteFile f(newFile());
        QVERIFY(execAll(f, schema::customCreateStatements()));
        QVERIFY(f.exec(QStringLiteral("insert into routes (ID, entityID, description) values (1, 0, 'r')")));
        QVERIFY(execAll(f, schema::customCreateStatements()));
        QCOMPARE(f.value(QStringLiteral("select count(1) from routes")).toInt(), 1);
    }

    // Statements in the spellings the application uses must run against the created schema.
    void applicationStatementsRun_data()
    {
        QTest::addColumn<bool>("map");
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QVariantList>("binds");
        const QVariantList none;
        const QVariantList one { 30000001 };
        const QString agentSelect = QStringLiteral(
            "SELECT AG.AgentName, AG.AgentID, AG.Quality, AG.Level, AG.StationID, CORP.corporationID, "
            "CORP.CorporationName, DIV.divisionID, DIV.DivisionName, SOL.SolarSystemID , STAT.stationName\n"
            "FROM agents              AG\n    ,corporations        CORP\n    ,divisions           DIV\n"
            "    ,stations            STAT\n    ,solarsystems        SOL\n    ,corporationImplants CIMP\n"
            "    ,factionCorporations  FCC\nWHERE CORP.CorporationID = AG.CorporationID\n"
            "AND   DIV.DivisionID     = AG.DivisionID\nAND   STAT.StationID     = AG.StationID\n"
            "AND   SOL.SolarSystemID  = STAT.SolarSystemID\nAND CORP.corporationID = CIMP.corporationID\n"
            "AND FCC.corporationID = CORP.corporationID\nAND (FCC.factionID = ? \nAND\nSOL.regionID = ? \nAND\n"
            "10*SOL.security > ? \nAND\n(((AG.Level-1)*200)+(AG.Quality*5) > ?) \nAND\n"
            "CIMP.implantID = ? AND AG.level = CIMP.AgentLevel)");
        const QString stationSelect = QStringLiteral(
            "SELECT STAT.StationID, STAT.StationName, STAT.OperationID, STAT.CorporationID, STAT.SolarSystemID, "
            "CORP.CorporationName\nFROM stations                 STAT\n    ,corporations             CORP\n"
            "    ,solarsystems             SOL\nWHERE CORP.corporationID = STAT.corporationID\n"
            "AND   SOL.SolarSystemID  = STAT.SolarSystemID\nAND (STAT.stationName like ? \nOR\n"
            "SOL.constellationID = ? )");
        QTest::newRow("bounds") << true
                                << QStringLiteral("select min(X), max(X), min(Y), max(Y), min(Z), max(Z), "
                                                  "max(solarSystemId), min(luminosity), max(luminosity), "
                                                  "min(solarSystemId) from solarSystems")
                                << none;
        QTest::newRow("systems") << true
                                 << QStringLiteral("select SYS.solarSystemID, SYS.constellationID, SYS.X, SYS.y, "
                                                   "SYS.Z, REG.color, SYS.solarSystemName, REG.regionID, "
                                                   "REG.regionName, SYS.security, SYS.factionID, SYS.luminosity "
                                                   "from solarsystems SYS, regions REG where SYS.regionID = "
                                                   "REG.regionID")
                                 << none;
        QTest::newRow("constellations") << true
                                        << QStringLiteral("select constellationID, constellationName, X, Y, Z, "
                                                          "regionID, factionID from constellations")
                                        << none;
        QTest::newRow("faction of corporation")
            << true << QStringLiteral("select FactionID from factionCorporations where CorporationID = ?") << one;
        QTest::newRow("divisions") << true << QStringLiteral("select DivisionID, DivisionName from divisions")
                                   << none;
        QTest::newRow("operations") << true
                                    << QStringLiteral("select operationID, sum(serviceID) from "
                                                      "stationOperationServices group by operationID")
                                    << none;
        QTest::newRow("implants") << true
                                  << QStringLiteral("select implantID, implantName, attribute, bonus from implants")
                                  << none;
        QTest::newRow("implant offers")
            << true << QStringLiteral("select corporationID, implantID, agentLevel from corporationimplants") << none;
        QTest::newRow("stations")
            << true << QStringLiteral("SELECT StationID, StationName, OperationID, CorporationID, SolarSystemID from stations")
            << none;
        QTest::newRow("jumps") << true << QStringLiteral("select fromSolarSystemID, toSolarSystemID from jumps")
                               << none;
        QTest::newRow("agent search") << true << agentSelect << QVariantList { 500001, 10000001, 4, 150, 22101 };
        QTest::newRow("station search") << true << stationSelect << QVariantList { QStringLiteral("%a%"), 20000001 };
        QTest::newRow("region colour") << true << QStringLiteral("update regions set color=? where regionID=?")
                                       << QVariantList { 255, 10000001 };

        QTest::newRow("groups max") << false << QStringLiteral("select max(ID)+1 from Groups") << none;
        QTest::newRow("groups insert")
            << false << QStringLiteral("insert into Groups (ID, name) values(?,?)") << QVariantList { 0, "g" };
        QTest::newRow("groups insert lower")
            << false << QStringLiteral("insert into groups (ID, name) values(?,?)") << QVariantList { 1, "h" };
        QTest::newRow("groups load")
            << false << QStringLiteral("select ID, name, description from groups order by id") << none;
        QTest::newRow("groups update")
            << false << QStringLiteral("update Groups set name=? where ID=?") << QVariantList { "x", 0 };
        QTest::newRow("groups delete") << false << QStringLiteral("delete from groups where ID=?") << QVariantList { 0 };
        QTest::newRow("office groups") << false
                                       << QStringLiteral("select ID, name, color from Officegroups order by ID")
                                       << none;
        QTest::newRow("office group count")
            << false << QStringLiteral("select count(1) from officegroups where ID=?") << QVariantList { 1 };
        QTest::newRow("system note insert")
            << false
            << QStringLiteral("insert into systemNotes (systemID, NoteType, entityID, noteText) values (?, ?, ?, ?)")
            << QVariantList { 30000001, 0, 0, "n" };
        QTest::newRow("station note")
            << false << QStringLiteral("select stationNote from stationNotes where stationid=?") << QVariantList { 1 };
        QTest::newRow("agent note mark")
            << false << QStringLiteral("insert into agentNotes (agentID, agentNote, myAgent) values (?, ?, true)")
            << QVariantList { 3008001, "" };
        QTest::newRow("agent note unmark")
            << false << QStringLiteral("update agentNotes set agentNote=?, myAgent=false where agentID = ?")
            << QVariantList { "", 3008001 };
        QTest::newRow("blocks") << false << QStringLiteral("select systemID, tresHold from systemBlocks") << none;
        QTest::newRow("route systems")
            << false << QStringLiteral("select systemID, RouteType  from routeSystems where routeID = ? order by idx")
            << QVariantList { 1 };
        QTest::newRow("office membership")
            << false << QStringLiteral("select stationID, officeGroupID from stationOffices order by stationID")
            << none;
        QTest::newRow("system groups") << false << QStringLiteral("select systemID, groupID from systemGroups")
                                       << none;
    }
    void applicationStatementsRun()
    {
        QFETCH(bool, map);
        QFETCH(QString, statement);
        QFETCH(QVariantList, binds);
        SqliteFile f(newFile());
        QVERIFY(execAll(f, map ? schema::mapCreateStatements() : schema::customCreateStatements()));
        QSqlQuery q(f.db());
        QVERIFY2(q.prepare(statement), qPrintable(q.lastError().text()));
        for (const QVariant& v : binds)
            q.addBindValue(v);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

    void newGroupIdFollowsTheLargest()
    {
        SqliteFile f(newFile());
        QVERIFY(execAll(f, schema::customCreateStatements()));
        QVERIFY(f.value(QStringLiteral("select max(ID)+1 from Groups")).isNull());
        QVERIFY(f.exec(QStringLiteral("insert into Groups (ID, name) values(?,?)"), { 4, "a" }));
        QCOMPARE(f.value(QStringLiteral("select max(ID)+1 from Groups")).toInt(), 5);
        QVERIFY(f.exec(QStringLiteral("insert into agentNotes (agentID, agentNote, myAgent) values (?, ?, true)"),
            { 7, "" }));
        QCOMPARE(f.value(QStringLiteral("select myAgent from agentNotes where agentID = 7")).toInt(), 1);
    }

    void missingMapTableOrColumn_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("expected");
        QTest::newRow("dropped column") << "alter table solarSystems drop column luminosity"
                                        << "solarSystems.luminosity";
        QTest::newRow("dropped last column") << "alter table jumps drop column toSolarSystemID"
                                             << "jumps.toSolarSystemID";
        QTest::newRow("dropped table") << "drop table agents"
                                       << "agents";
        QTest::newRow("renamed column") << "alter table regions rename column color to colour"
                                        << "regions.color";
        QTest::newRow("other spelling") << "alter table stations rename column solarSystemID to SOLARSYSTEMid"
                                        << "";
        QTest::newRow("extra column") << "alter table stations add column extra TEXT"
                                      << "";
    }
    void missingMapTableOrColumn()
    {
        QFETCH(QString, change);
        QFETCH(QString, expected);
        SqliteFile f(newFile());
        QVERIFY(execAll(f, schema::mapCreateStatements()));
        QVERIFY(f.exec(change));
        QCOMPARE(schema::missingMapTableOrColumn(f.db()), expected);
    }

    void missingMapTableInAnEmptyFile()
    {
        SqliteFile f(newFile());
        QCOMPARE(schema::missingMapTableOrColumn(f.db()), QStringLiteral("solarSystems"));
    }

    void ensureCustomSchemaAddsMissingTablesOnly()
    {
        SqliteFile f(newFile());
        QVERIFY(f.exec(QStringLiteral("create table GROUPS (ID INTEGER, name TEXT, description TEXT)")));
        QVERIFY(f.exec(QStringLiteral("insert into groups (ID, name, description) values (3, 'mine', 'd')")));
        // An older layout of one table is kept as it is, rows and all.
        QVERIFY(f.exec(QStringLiteral("create table systemBlocks (systemID INTEGER, tresHold INTEGER)")));
        QVERIFY(f.exec(QStringLiteral("insert into systemBlocks values (30000001, 2147483647)")));

        QString error;
        QVERIFY2(schema::ensureCustomSchema(f.db(), &error), qPrintable(error));
        for (const schema::TableSpec& t : schema::customTables())
            QVERIFY2(!columnsOf(f, t.name).isEmpty(), qPrintable(t.name));
        QCOMPARE(f.value(QStringLiteral("select name from groups where ID = 3")).toString(), QStringLiteral("mine"));
        QCOMPARE(f.value(QStringLiteral("select count(1) from groups")).toInt(), 1);
        QCOMPARE(columnsOf(f, QStringLiteral("systemBlocks")).size(), 2);
        QCOMPARE(f.value(QStringLiteral("select tresHold from systemBlocks")).toInt(), 2147483647);

        QVERIFY(schema::ensureCustomSchema(f.db(), &error));
        QCOMPARE(f.value(QStringLiteral("select count(1) from sqlite_master where type = 'table'")).toInt(),
            schema::customTables().size());
    }

    void ensureCustomSchemaReportsFailure()
    {
        const QString path = newFile();
        {
            SqliteFile create(path);
            QVERIFY(create.exec(QStringLiteral("create table routes (ID INTEGER)")));
        }
        SqliteFile readOnly(path, QStringLiteral("QSQLITE_OPEN_READONLY"));
        QVERIFY(readOnly.db().isOpen());
        QString error;
        QVERIFY(!schema::ensureCustomSchema(readOnly.db(), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(readOnly.value(QStringLiteral("select count(1) from sqlite_master")).toInt(), 1);

        QSqlDatabase closed;
        error.clear();
        QVERIFY(!schema::ensureCustomSchema(closed, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
