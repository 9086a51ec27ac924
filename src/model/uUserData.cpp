#include "uUserData.h"

#include "app/functions.h"
#include "model/uDatabase.h"

#include <QHash>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <set>

namespace userdata {

namespace {

// Reload merge: surviving IDs keep their objects, new IDs are appended, vanished ones are
// detached by `detach` and freed.
template <class T, class Fill, class Detach>
void MergeByID(TKeyedList<T>& list, QSqlQuery& q, Fill fill, Detach detach)
{
    std::set<qint32> seen;
    while (q.next()) {
        const qint32 id = q.value(0).toInt();
        seen.insert(id);
        T* object = nullptr;
        for (const auto& e : list)
            if (e.Object->ID == id)
                object = e.Object;
        if (!object) {
            object = new T;
            object->ID = id;
            list.Add(QString::number(id), object);
        }
        fill(*object, q);
    }
    for (int i = list.Count() - 1; i >= 0; --i)
        if (!seen.count(list.Object(i)->ID)) {
            detach(list.Object(i));
            list.Delete(i);
        }
}

} // namespace

void LoadGroups(TGalaxy& galaxy)
{
    QSqlQuery q = RunQuery(galaxy.CustomConnection, QStringLiteral("select ID, name, description from groups order by id"));
    MergeByID(
        galaxy.Groups, q,
        [](Tgroup& group, const QSqlQuery& row) {
            group.Name = row.value(1).toString();
            group.Description = row.value(2).toString();
        },
        [&galaxy](Tgroup* gone) {
            for (const auto& e : galaxy.Systems)
                std::erase(e.Object->Groups, gone);
        });
}

void LoadOfficeGroups(TGalaxy& galaxy)
{
    QSqlQuery q = RunQuery(galaxy.CustomConnection, QStringLiteral("select ID, name, color from officeGroups order by id"));
    MergeByID(
        galaxy.OfficeGroups, q,
        [](TOfficeGroup& group, const QSqlQuery& row) {
            group.Name = row.value(1).toString();
            group.Colour = TColor(row.value(2).toLongLong());
        },
        [&galaxy](TOfficeGroup* gone) {
            if (galaxy.Stations)
                for (const auto& e : *galaxy.Stations)
                    std::erase(e.Object->OfficeGroups, gone);
        });
}

namespace {

// The system of a custom-database row, or nullptr for IDs the model does not know.
TSystem* KnownSystem(const TGalaxy& galaxy, const QVariant& id)
{
    const qint32 value = id.toInt();
    return value > 30000000 ? galaxy.SystemByID(value) : nullptr;
}

// Objects of a keyed list by ID, so a load does one lookup per row instead of a scan; the first
// of equal IDs wins, as a front-to-back search would find it.
template <class T, bool Owns>
QHash<qint32, T*> IndexByID(const TKeyedList<T, Owns>& list)
{
    QHash<qint32, T*> index;
    index.reserve(list.Count());
    for (const auto& e : list)
        if (!index.contains(e.Object->ID))
            index.insert(e.Object->ID, e.Object);
    return index;
}

// User text as it is bound: the quoting rule applied, and never NULL, so an empty text is
// stored as an empty text.
QString Bound(const QString& text)
{
    QString bound = SqlSafeText(text);
    return bound.isNull() ? QStringLiteral("") : bound;
}

} // namespace

void LoadSystemGroups(TGalaxy& galaxy)
{
    for (QSqlQuery q = RunQuery(galaxy.CustomConnection, QStringLiteral("select systemID, groupID from systemGroups"));
         q.next();) {
        TSystem* system = KnownSystem(galaxy, q.value(0));
        Tgroup* group = galaxy.GroupByID(q.value(1).toInt());
        if (system && group)
            system->Groups.push_back(group);
    }
}

void LoadSystemNotes(TGalaxy& galaxy)
{
    for (QSqlQuery q = RunQuery(galaxy.CustomConnection, QStringLiteral("select systemID, noteText from systemNotes"));
         q.next();)
        if (TSystem* system = KnownSystem(galaxy, q.value(0)))
            system->Note = q.value(1).toString();
}

void LoadBlockThresholds(TGalaxy& galaxy)
{
    for (const auto& e : galaxy.Systems)
        e.Object->BlockThreshold = 1;
    for (QSqlQuery q = RunQuery(galaxy.CustomConnection, QStringLiteral("select systemID, tresHold from systemBlocks"));
         q.next();)
        if (TSystem* system = KnownSystem(galaxy, q.value(0)))
            system->BlockThreshold = q.value(1).toInt();
}

void LoadStationOffices(TGalaxy& galaxy)
{
    if (!galaxy.Stations)
        return;
    const QHash<qint32, TStation*> stations = IndexByID(*galaxy.Stations);
    for (TStation* station : stations)
        station->OfficeGroups.clear();
    for (QSqlQuery q = RunQuery(galaxy.CustomConnection,
             QStringLiteral("select stationID, officeGroupID from stationOffices order by stationID"));
         q.next();) {
        TStation* station = stations.value(q.value(0).toInt());
        TOfficeGroup* group = galaxy.OfficeGroupByID(q.value(1).toInt());
        if (station && group)
            station->OfficeGroups.push_back(group);
    }
}

// ---------------------------------------------------------------- system notes and groups

namespace {

void WriteSystemNote(const QSqlDatabase& db, const TSystem& system)
{
    constexpr qint32 noteType = 0;
    const qint32 rows =
        QueryScalar(db, QStringLiteral("select count(1) from systemNotes where systemID = ?"), { system.ID }).toInt();
    if (rows > 0) {
        if (!system.Note.isEmpty())
            RunQuery(db, QStringLiteral("update systemNotes set noteText=? where systemID = ? and noteType = ?"),
                { Bound(system.Note), system.ID, noteType });
        else
            RunQuery(db, QStringLiteral("delete from systemNotes where systemID = ? and noteType = ?"),
                { system.ID, noteType });
    } else if (!system.Note.isEmpty()) {
        RunQuery(db,
            QStringLiteral("insert into systemNotes (systemID, NoteType, entityID, noteText) values (?, ?, ?, ?)"),
            { system.ID, noteType, 0, Bound(system.Note) });
    }
}

void WriteSystemGroups(const QSqlDatabase& db, const TSystem& system)
{
    RunQuery(db, QStringLiteral("delete from systemGroups where systemID = ?"), { system.ID });
    TPreparedQuery insert(db, QStringLiteral("insert into systemGroups (systemID, groupID) values (?, ?)"));
    for (const Tgroup* group : system.Groups)
        insert.Run({ system.ID, group->ID });
}

} // namespace

void SaveSystemNote(const QSqlDatabase& db, const TSystem& system) { WriteSystemNote(db, system); }

void SaveSystemGroups(const QSqlDatabase& db, const TSystem& system)
{
    TTransaction transaction(db);
    WriteSystemGroups(db, system);
    transaction.Commit();
}

void SaveSystem(const QSqlDatabase& db, const TSystem& system)
{
    TTransaction transaction(db);
    WriteSystemNote(db, system);
    WriteSystemGroups(db, system);
    transaction.Commit();
}

// ---------------------------------------------------------------- group management

namespace {

// The statements of one kind of group, as the group window issues them.
struct TGroupStatements {
    QString List, Count, Next, Insert, Update, Delete, DeleteMembers;
};

const TGroupStatements& StatementsOf(TGroupKind kind)
{
    static const TGroupStatements system {
        QStringLiteral("select ID, name from groups order by ID"),
        QStringLiteral("select count(1) from groups where ID=?"),
        QStringLiteral("select max(ID)+1 from Groups"),
        QStringLiteral("insert into Groups (ID, name) values(?,?)"),
        QStringLiteral("update Groups set name=? where ID=?"),
        QStringLiteral("delete from groups where ID=?"),
        QStringLiteral("delete from systemGroups where groupID=?"),
    };
    static const TGroupStatements office {
        QStringLiteral("select ID, name, color from Officegroups order by ID"),
        QStringLiteral("select count(1) from officegroups where ID=?"),
        QStringLiteral("select max(ID)+1 from officeGroups"),
        QStringLiteral("insert into officeGroups (ID, name, color) values(?,?,?)"),
        QStringLiteral("update officeGroups set name=?, color=? where ID=?"),
        QStringLiteral("delete from officegroups where ID=?"),
        QStringLiteral("delete from stationOffices where officeGroupID=?"),
    };
    return kind == TGroupKind::Office ? office : system;
}

} // namespace

std::vector<TGroupEntry> ListGroups(const QSqlDatabase& db, TGroupKind kind)
{
    std::vector<TGroupEntry> entries;
    for (QSqlQuery q = RunQuery(db, StatementsOf(kind).List); q.next();) {
        TGroupEntry entry { kind, q.value(1).toString(), q.value(0).toInt(), 0 };
        if (kind == TGroupKind::Office)
            entry.Color = TColor(q.value(2).toLongLong());
        entries.push_back(std::move(entry));
    }
    return entries;
}

qint32 CountGroups(const QSqlDatabase& db, TGroupKind kind, qint32 id)
{
    return QueryScalar(db, StatementsOf(kind).Count, { id }).toInt();
}

qint32 NextGroupID(const QSqlDatabase& db, TGroupKind kind)
{
    // The maximum of an empty table is NULL, which reads as 0.
    return QueryScalar(db, StatementsOf(kind).Next).toInt();
}

void InsertGroup(const QSqlDatabase& db, const TGroupEntry& entry)
{
    const QString name = Bound(entry.Name);
    if (entry.GroupKind == TGroupKind::Office)
        RunQuery(db, StatementsOf(entry.GroupKind).Insert, { entry.ID, name, entry.Color });
    else
        RunQuery(db, StatementsOf(entry.GroupKind).Insert, { entry.ID, name });
}

void UpdateGroup(const QSqlDatabase& db, const TGroupEntry& entry)
{
    const QString name = Bound(entry.Name);
    if (entry.GroupKind == TGroupKind::Office)
        RunQuery(db, StatementsOf(entry.GroupKind).Update, { name, entry.Color, entry.ID });
    else
        RunQuery(db, StatementsOf(entry.GroupKind).Update, { name, entry.ID });
}

qint32 SaveGroup(const QSqlDatabase& db, TGroupEntry& entry)
{
    if (CountGroups(db, entry.GroupKind, entry.ID) < 1) {
        entry.ID = NextGroupID(db, entry.GroupKind);
        InsertGroup(db, entry);
    } else {
        UpdateGroup(db, entry);
    }
    return entry.ID;
}

void DeleteGroup(const QSqlDatabase& db, TGroupKind kind, qint32 id)
{
    TTransaction transaction(db);
    RunQuery(db, StatementsOf(kind).Delete, { id });
    RunQuery(db, StatementsOf(kind).DeleteMembers, { id });
    transaction.Commit();
}

// ---------------------------------------------------------------- station offices and notes

void SaveStationOffices(const QSqlDatabase& db, const TStation& station)
{
    TTransaction transaction(db);
    RunQuery(db, QStringLiteral("delete from stationOffices where stationID = ?"), { station.ID });
    TPreparedQuery insert(db, QStringLiteral("insert into stationOffices (stationID,officeGroupID) values (?, ?)"));
    for (const TOfficeGroup* group : station.OfficeGroups)
        insert.Run({ station.ID, group->ID });
    transaction.Commit();
}

QString ReadStationNote(const QSqlDatabase& db, qint32 stationID)
{
    return QueryScalar(db, QStringLiteral("select stationNote from stationNotes where stationid=?"), { stationID })
        .toString();
}

void SaveStationNote(const QSqlDatabase& db, qint32 stationID, const QString& note)
{
    if (note.isEmpty()) {
        RunQuery(db, QStringLiteral("delete from stationNotes where stationid=?"), { stationID });
        return;
    }
    const qint32 rows =
        QueryScalar(db, QStringLiteral("select count(1) from stationNotes where stationid=?"), { stationID }).toInt();
    if (rows < 1)
        RunQuery(db, QStringLiteral("insert into stationNotes (stationID, stationNote) values (?,?)"),
            { stationID, Bound(note) });
    else
        RunQuery(db, QStringLiteral("update stationNotes set stationNote= ? where stationID = ?"),
            { Bound(note), stationID });
}

std::vector<TStationNote> ListStationNotes(const QSqlDatabase& db)
{
    std::vector<TStationNote> notes;
    for (QSqlQuery q = RunQuery(db, QStringLiteral("select stationID, stationNote from stationNotes")); q.next();)
        notes.push_back({ q.value(0).toInt(), q.value(1).toString() });
    return notes;
}

// ---------------------------------------------------------------- agent notes

void LoadAgentNotes(const QSqlDatabase& db, const TKeyedList<TAgent>& agents)
{
    const QHash<qint32, TAgent*> byID = IndexByID(agents);
    for (QSqlQuery q = RunQuery(db, QStringLiteral("select agentID, agentNote, myAgent from agentNotes")); q.next();)
        if (TAgent* agent = byID.value(q.value(0).toInt())) {
            agent->Note = q.value(1).toString();
            agent->MyAgent = q.value(2).toBool();
        }
}

void SaveAgentNote(const QSqlDatabase& db, const TAgent& agent)
{
    const bool keep = !agent.Note.isEmpty() || agent.MyAgent;
    const qint32 rows =
        QueryScalar(db, QStringLiteral("select count(1) from agentNotes where agentID = ?"), { agent.ID }).toInt();
    if (rows > 0) {
        if (keep)
            RunQuery(db, QStringLiteral("update agentNotes set agentNote=?, myAgent=? where agentID = ?"),
                { Bound(agent.Note), agent.MyAgent, agent.ID });
        else
            RunQuery(db, QStringLiteral("delete from agentNotes where agentID = ?"), { agent.ID });
    } else if (keep) {
        RunQuery(db, QStringLiteral("insert into agentNotes (agentID, agentNote, myAgent) values (?, ?, ?)"),
            { agent.ID, Bound(agent.Note), agent.MyAgent });
    }
}

// ---------------------------------------------------------------- blocks

QString BlockDescription(const QSqlDatabase& db, qint32 systemID)
{
    return QueryScalar(db, QStringLiteral("select description from systemBlocks where systemID = ?"), { systemID })
        .toString();
}

void SaveBlock(const QSqlDatabase& db, qint32 systemID, qint32 threshold, const QString& description)
{
    const qint32 rows =
        QueryScalar(db, QStringLiteral("select count(1) from systemBlocks where systemID = ?"), { systemID }).toInt();
    if (rows < 1)
        RunQuery(db, QStringLiteral("insert into systemBlocks (systemID, tresHold, description) values (?, ?, ?)"),
            { systemID, threshold, Bound(description) });
    else
        RunQuery(db, QStringLiteral("update systemBlocks set tresHold=?, description=? where systemID=?"),
            { threshold, Bound(description), systemID });
}

void DeleteBlock(const QSqlDatabase& db, qint32 systemID)
{
    RunQuery(db, QStringLiteral("delete from systemBlocks where systemID = ?"), { systemID });
}

// ---------------------------------------------------------------- saved routes

std::vector<std::unique_ptr<TRoute>> LoadRoutes(const QSqlDatabase& db, const TGalaxy& galaxy)
{
    std::vector<std::unique_ptr<TRoute>> routes;
    for (QSqlQuery q = RunQuery(db, QStringLiteral("select ID, description, entityID from routes")); q.next();) {
        auto route = std::make_unique<TRoute>();
        route->ID = q.value(0).toInt();
        route->Name = q.value(1).toString();
        route->EntityID = q.value(2).toInt();
        routes.push_back(std::move(route));
    }
    TPreparedQuery systems(
        db, QStringLiteral("select systemID, RouteType  from routeSystems where routeID = ? order by idx"));
    for (const auto& route : routes) {
        // IDs outside the system range are skipped like unknown systems, so one bad row cannot
        // hide every saved route.
        for (QSqlQuery& q = systems.Run({ route->ID }); q.next();)
            if (TSystem* system = KnownSystem(galaxy, q.value(0)))
                route->Add(system, quint8(q.value(1).toInt()));
    }
    return routes;
}

qint32 SaveRoute(const QSqlDatabase& db, const TRoute& route)
{
    TTransaction transaction(db);
    const qint32 id = QueryScalar(db, QStringLiteral("select max(ID) from routes")).toInt() + 1;
    RunQuery(db, QStringLiteral("insert into routes (ID, entityID, description) values (?, ?, ?)"),
        { id, 0, Bound(route.Name) });
    TPreparedQuery insert(
        db, QStringLiteral("insert into routeSystems (routeID, systemID, idx, RouteType) values (?, ?, ?, ?)"));
    qint32 idx = 0;
    for (const TRoute::Line& line : route.Systems)
        if (line.Entry && line.Entry->System)
            insert.Run({ id, line.Entry->System->ID, idx++, qint32(line.Entry->RouteType) });
    transaction.Commit();
    return id;
}

void DeleteRoute(const QSqlDatabase& db, qint32 routeID)
{
    TTransaction transaction(db);
    RunQuery(db, QStringLiteral("delete from routeSystems where routeID = ?"), { routeID });
    RunQuery(db, QStringLiteral("delete from routes where ID = ?"), { routeID });
    transaction.Commit();
}

// ---------------------------------------------------------------- map database

void SaveRegionColour(const QSqlDatabase& mapDb, qint32 regionID, TColor colour)
{
    RunQuery(mapDb, QStringLiteral("update regions set color=? where regionID=?"), { colour, regionID });
}

} // namespace userdata
