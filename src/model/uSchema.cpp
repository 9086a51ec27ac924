#include "uSchema.h"

#include <QSqlError>
#include <QSqlQuery>

#include <vector>

namespace schema {

namespace {

    // Column declarations: name and SQLite type. Names compare without letter case in SQLite,
    // which covers the different spellings the statements use.
    struct ColumnDecl {
        const char* name;
        const char* type;
    };
    struct TableDecl {
        const char* name;
        std::vector<ColumnDecl> columns;
    };

    const std::vector<TableDecl>& mapDecls()
    {
        static const std::vector<TableDecl> decls {
            { "solarSystems",
                { { "solarSystemID", "INTEGER" }, { "solarSystemName", "TEXT" },
                    { "constellationID", "INTEGER" }, { "regionID", "INTEGER" }, { "X", "REAL" },
                    { "Y", "REAL" }, { "Z", "REAL" }, { "security", "REAL" }, { "factionID", "INTEGER" },
                    { "luminosity", "REAL" } } },
            { "regions", { { "regionID", "INTEGER" }, { "regionName", "TEXT" }, { "color", "INTEGER" } } },
            { "constellations",
                { { "constellationID", "INTEGER" }, { "constellationName", "TEXT" }, { "X", "REAL" },
                    { "Y", "REAL" }, { "Z", "REAL" }, { "regionID", "INTEGER" },
                    { "factionID", "INTEGER" } } },
            { "factions", { { "factionID", "INTEGER" }, { "factionName", "TEXT" } } },
            { "corporations", { { "corporationID", "INTEGER" }, { "corporationName", "TEXT" } } },
            { "factionCorporations", { { "corporationID", "INTEGER" }, { "factionID", "INTEGER" } } },
            { "divisions", { { "divisionID", "INTEGER" }, { "divisionName", "TEXT" } } },
            { "stationServices", { { "serviceID", "INTEGER" }, { "serviceName", "TEXT" } } },
            { "stationOperationServices", { { "operationID", "INTEGER" }, { "serviceID", "INTEGER" } } },
            { "implants",
                { { "implantID", "INTEGER" }, { "implantName", "TEXT" }, { "attribute", "TEXT" },
                    { "bonus", "INTEGER" } } },
            { "corporationImplants",
                { { "corporationID", "INTEGER" }, { "implantID", "INTEGER" }, { "agentLevel", "INTEGER" } } },
            { "stations",
                { { "stationID", "INTEGER" }, { "stationName", "TEXT" }, { "operationID", "INTEGER" },
                    { "corporationID", "INTEGER" }, { "solarSystemID", "INTEGER" } } },
            { "agents",
                { { "agentID", "INTEGER" }, { "agentName", "TEXT" }, { "quality", "INTEGER" },
                    { "level", "INTEGER" }, { "stationID", "INTEGER" }, { "corporationID", "INTEGER" },
                    { "divisionID", "INTEGER" } } },
            { "jumps", { { "fromSolarSystemID", "INTEGER" }, { "toSolarSystemID", "INTEGER" } } },
        };
        return decls;
    }

    const std::vector<TableDecl>& customDecls()
    {
        static const std::vector<TableDecl> decls {
            { "systemNotes",
                { { "systemID", "INTEGER" }, { "noteType", "INTEGER" }, { "entityID", "INTEGER" },
                    { "noteText", "TEXT" } } },
            { "systemGroups", { { "systemID", "INTEGER" }, { "groupID", "INTEGER" } } },
            { "groups", { { "ID", "INTEGER" }, { "name", "TEXT" }, { "description", "TEXT" } } },
            { "officeGroups", { { "ID", "INTEGER" }, { "name", "TEXT" }, { "color", "INTEGER" } } },
            { "stationOffices", { { "stationID", "INTEGER" }, { "officeGroupID", "INTEGER" } } },
            { "stationNotes", { { "stationID", "INTEGER" }, { "stationNote", "TEXT" } } },
            // myAgent holds the literals true and false, which SQLite stores as 1 and 0.
            { "agentNotes", { { "agentID", "INTEGER" }, { "agentNote", "TEXT" }, { "myAgent", "INTEGER" } } },
            { "systemBlocks",
                { { "systemID", "INTEGER" }, { "tresHold", "INTEGER" }, { "description", "TEXT" } } },
            { "routes", { { "ID", "INTEGER" }, { "entityID", "INTEGER" }, { "description", "TEXT" } } },
            { "routeSystems",
                { { "routeID", "INTEGER" }, { "systemID", "INTEGER" }, { "idx", "INTEGER" },
                    { "RouteType", "INTEGER" } } },
        };
        return decls;
    }

    QList<TableSpec> toSpecs(const std::vector<TableDecl>& decls)
    {
        QList<TableSpec> specs;
        for (const TableDecl& t : decls) {
            TableSpec spec { QString::fromLatin1(t.name), {} };
            for (const ColumnDecl& c : t.columns)
                spec.columns << QString::fromLatin1(c.name);
            specs << spec;
        }
        return specs;
    }

    // Table names are quoted: "groups" is a keyword in newer SQLite versions.
    QStringList createStatements(const std::vector<TableDecl>& decls, const char* prefix)
    {
        QStringList statements;
        for (const TableDecl& t : decls) {
            QStringList cols;
            for (const ColumnDecl& c : t.columns)
                cols << QStringLiteral("%1 %2").arg(QLatin1String(c.name), QLatin1String(c.type));
            statements << QStringLiteral("%1 \"%2\" (%3)")
                              .arg(QLatin1String(prefix), QLatin1String(t.name), cols.join(QStringLiteral(", ")));
        }
        return statements;
    }

    bool tableExists(QSqlDatabase db, const QString& table)
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select count(1) from sqlite_master where type in ('table', 'view') "
                                 "and name = ? collate nocase"));
        q.addBindValue(table);
        return q.exec() && q.next() && q.value(0).toInt() > 0;
    }

    QStringList columnsOf(QSqlDatabase db, const QString& table)
    {
        QStringList names;
        QSqlQuery q(db);
        q.prepare(QStringLiteral("select name from pragma_table_info(?)"));
        q.addBindValue(table);
        if (q.exec()) {
            while (q.next())
                names << q.value(0).toString();
        }
        return names;
    }

} // namespace

const QList<TableSpec>& mapTables()
{
    static const QList<TableSpec> specs = toSpecs(mapDecls());
    return specs;
}

const QList<TableSpec>& customTables()
{
    static const QList<TableSpec> specs = toSpecs(customDecls());
    return specs;
}

QStringList mapCreateStatements() { return createStatements(mapDecls(), "CREATE TABLE"); }

QStringList mapIndexStatements()
{
    return {
        QStringLiteral("CREATE INDEX idx_solarSystems_id ON solarSystems (solarSystemID)"),
        QStringLiteral("CREATE INDEX idx_regions_id ON regions (regionID)"),
        QStringLiteral("CREATE INDEX idx_constellations_id ON constellations (constellationID)"),
        QStringLiteral("CREATE INDEX idx_corporations_id ON corporations (corporationID)"),
        QStringLiteral("CREATE INDEX idx_factionCorporations_corp ON factionCorporations (corporationID)"),
        QStringLiteral("CREATE INDEX idx_divisions_id ON divisions (divisionID)"),
        QStringLiteral("CREATE INDEX idx_corporationImplants_corp ON corporationImplants (corporationID)"),
        QStringLiteral("CREATE INDEX idx_stations_id ON stations (stationID)"),
        QStringLiteral("CREATE INDEX idx_stations_system ON stations (solarSystemID)"),
        QStringLiteral("CREATE INDEX idx_agents_station ON agents (stationID)"),
        QStringLiteral("CREATE INDEX idx_jumps_from ON jumps (fromSolarSystemID)"),
    };
}

QStringList customCreateStatements() { return createStatements(customDecls(), "CREATE TABLE IF NOT EXISTS"); }

bool ensureCustomSchema(QSqlDatabase db, QString* error)
{
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (!db.isOpen())
        return fail(QStringLiteral("custom database is not open"));

    const QList<TableSpec>& tables = customTables();
    const QStringList statements = customCreateStatements();
    QStringList needed;
    for (qsizetype i = 0; i < tables.size(); ++i) {
        if (!tableExists(db, tables[i].name))
            needed << statements[i];
    }
    if (needed.isEmpty())
        return true;

    if (!db.transaction())
        return fail(db.lastError().text());
    for (const QString& statement : needed) {
        QSqlQuery q(db);
        if (!q.exec(statement)) {
            const QString text = q.lastError().text();
            db.rollback();
            return fail(text);
        }
    }
    if (!db.commit()) {
        const QString text = db.lastError().text();
        db.rollback();
        return fail(text);
    }
    return true;
}

QString missingMapTableOrColumn(QSqlDatabase db)
{
    for (const TableSpec& table : mapTables()) {
        if (!tableExists(db, table.name))
            return table.name;
        const QStringList present = columnsOf(db, table.name);
        for (const QString& column : table.columns) {
            if (!present.contains(column, Qt::CaseInsensitive))
                return table.name + QLatin1Char('.') + column;
        }
    }
    return {};
}

} // namespace schema
