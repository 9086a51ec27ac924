#include "universegen.h"

#include "model/uSchema.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <optional>

namespace universegen {

namespace {

    // One SQLite connection for the lifetime of the object.
    class Connection {
    public:
        explicit Connection(const QString& path)
            : m_name(QStringLiteral("genuniverse-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(path);
            db.open();
        }
        ~Connection()
        {
            {
                QSqlDatabase db = QSqlDatabase::database(m_name, false);
                db.close();
            }
            QSqlDatabase::removeDatabase(m_name);
        }
        Connection(const Connection&) = delete;
        Connection& operator=(const Connection&) = delete;
        QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

    private:
        QString m_name;
    };

    class Writer {
    public:
        explicit Writer(QSqlDatabase db)
            : m_db(db)
        {
        }

        bool exec(const QString& statement)
        {
            QSqlQuery q(m_db);
            return q.exec(statement) || fail(q.lastError().text() + QStringLiteral(" (") + statement + QLatin1Char(')'));
        }

        bool execAll(const QStringList& statements)
        {
            for (const QString& s : statements)
                if (!exec(s))
                    return false;
            return true;
        }

        // Prepares the insert for a table of the schema, columns in the schema's order.
        bool prepare(const schema::TableSpec& table)
        {
            QStringList marks;
            for (qsizetype i = 0; i < table.columns.size(); ++i)
                marks << QStringLiteral("?");
            m_insert.emplace(m_db);
            const QString text = QStringLiteral("insert into \"%1\" (%2) values (%3)")
                                     .arg(table.name, table.columns.join(QStringLiteral(", ")),
                                         marks.join(QStringLiteral(", ")));
            return m_insert->prepare(text) || fail(m_insert->lastError().text());
        }

        bool row(std::initializer_list<QVariant> values)
        {
            int i = 0;
            for (const QVariant& v : values)
                m_insert->bindValue(i++, v);
            return m_insert->exec() || fail(m_insert->lastError().text());
        }

        QString error() const { return m_error; }

    private:
        bool fail(const QString& text)
        {
            m_error = text;
            return false;
        }

        QSqlDatabase m_db;
        std::optional<QSqlQuery> m_insert;
        QString m_error;
    };

    QVariant factionValue(int factionId)
    {
        if (factionId >= 0)
            return factionId;
        if (factionId == kBlankFaction)
            return QString(QLatin1String(""));
        return QVariant(QMetaType::fromType<int>());
    }

    const schema::TableSpec& mapTable(const char* name)
    {
        for (const schema::TableSpec& t : schema::mapTables())
            if (t.name == QLatin1String(name))
                return t;
        qFatal("unknown map table %s", name);
    }

    template <class Rows, class Bind> bool insertRows(Writer& w, const char* table, const Rows& rows, Bind bind)
    {
        if (!w.prepare(mapTable(table)))
            return false;
        for (const auto& r : rows)
            if (!bind(r))
                return false;
        return true;
    }

    bool fillMap(Writer& w, const Universe& u)
    {
        return insertRows(w, "regions", u.regions,
                   [&](const Region& r) { return w.row({ r.id, r.name, r.color }); })
            && insertRows(w, "constellations", u.constellations,
                [&](const Constellation& c) {
                    return w.row({ c.id, c.name, c.x, c.y, c.z, c.regionId, factionValue(c.factionId) });
                })
            && insertRows(w, "solarSystems", u.systems,
                [&](const SolarSystem& s) {
                    return w.row({ s.id, s.name, s.constellationId, s.regionId, s.x, s.y, s.z, s.security,
                        factionValue(s.factionId), s.luminosity });
                })
            && insertRows(w, "factions", u.factions, [&](const Named& f) { return w.row({ f.id, f.name }); })
            && insertRows(w, "corporations", u.corporations, [&](const Named& c) { return w.row({ c.id, c.name }); })
            && insertRows(w, "factionCorporations", u.factionCorporations,
                [&](const IdPair& p) { return w.row({ p.first, p.second }); })
            && insertRows(w, "divisions", u.divisions, [&](const Named& d) { return w.row({ d.id, d.name }); })
            && insertRows(w, "stationServices", u.services, [&](const Named& s) { return w.row({ s.id, s.name }); })
            && insertRows(w, "stationOperationServices", u.operationServices,
                [&](const IdPair& p) { return w.row({ p.first, p.second }); })
            && insertRows(w, "implants", u.implants,
                [&](const Implant& i) { return w.row({ i.id, i.name, i.attribute, i.bonus }); })
            && insertRows(w, "corporationImplants", u.corporationImplants,
                [&](const CorporationImplant& c) { return w.row({ c.corporationId, c.implantId, c.agentLevel }); })
            && insertRows(w, "stations", u.stations,
                [&](const Station& s) {
                    return w.row({ s.id, s.name, s.operationId, s.corporationId, s.systemId });
                })
            && insertRows(w, "agents", u.agents,
                [&](const Agent& a) {
                    return w.row(
                        { a.id, a.name, a.quality, a.level, a.stationId, a.corporationId, a.divisionId });
                })
            && insertRows(w, "jumps", u.gates, [&](const IdPair& g) {
                   return w.row({ g.first, g.second }) && w.row({ g.second, g.first });
               });
    }

    // Builds one database file at path in a single transaction.
    template <class Fill> bool buildFile(const QString& path, Fill fill, QString* error)
    {
        QFile::remove(path);
        bool ok = false;
        {
            Connection conn(path);
            QSqlDatabase db = conn.db();
            if (!db.isOpen()) {
                *error = db.lastError().text();
                return false;
            }
            Writer w(db);
            // The file is only renamed into place once complete, so no rollback journal is needed.
            ok = w.exec(QStringLiteral("PRAGMA journal_mode = MEMORY")) && w.exec(QStringLiteral("PRAGMA synchronous = OFF"))
                && w.exec(QStringLiteral("BEGIN")) && fill(w) && w.exec(QStringLiteral("COMMIT"));
            if (!ok)
                *error = w.error();
        }
        if (!ok)
            QFile::remove(path);
        return ok;
    }

} // namespace

bool writeUniverse(const Universe& universe, const QString& dir, bool overwrite, QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    const QDir out(dir);
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create folder %1").arg(dir);
        return false;
    }
    const QString mapPath = out.filePath(QStringLiteral("map.db"));
    const QString customPath = out.filePath(QStringLiteral("custom.db"));
    if (!overwrite) {
        for (const QString& path : { mapPath, customPath }) {
            if (QFileInfo::exists(path)) {
                *error = QStringLiteral("%1 already exists (use --force to overwrite)").arg(path);
                return false;
            }
        }
    }

    const QString mapPart = mapPath + QStringLiteral(".part");
    const QString customPart = customPath + QStringLiteral(".part");
    const bool built = buildFile(
                           mapPart,
                           [&](Writer& w) {
                               return w.execAll(schema::mapCreateStatements()) && fillMap(w, universe)
                                   && w.execAll(schema::mapIndexStatements());
                           },
                           error)
        && buildFile(
            customPart, [&](Writer& w) { return w.execAll(schema::customCreateStatements()); }, error);
    if (!built) {
        QFile::remove(mapPart);
        QFile::remove(customPart);
        return false;
    }
    for (const auto& [part, path] : { std::pair { mapPart, mapPath }, std::pair { customPart, customPath } }) {
        if (QFileInfo::exists(path) && !QFile::remove(path)) {
            *error = QStringLiteral("cannot replace %1").arg(path);
            return false;
        }
        if (!QFile::rename(part, path)) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

} // namespace universegen
