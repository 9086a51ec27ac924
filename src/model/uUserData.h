#pragma once
// The user's own data in the custom database: notes, groups, office groups, agent notes,
// blocks and saved routes. Every value is bound; multi-statement saves are one transaction.
// User text passes the quoting rule (double quotes become apostrophes) before it is bound.

#include <QSqlDatabase>
#include <QString>

#include <memory>
#include <vector>

#include "model/uGalaxy.h"

namespace userdata {

constexpr qint32 NoBlock = 1;
constexpr qint32 AvoidThreshold = 10;
constexpr qint32 BlockedThreshold = 2147483647;

// Reads run on galaxy.CustomConnection; rows naming objects not in the model are skipped.
// The group loads also serve as reloads: surviving IDs keep their objects.
void LoadGroups(TGalaxy& galaxy);
void LoadOfficeGroups(TGalaxy& galaxy);
void LoadSystemGroups(TGalaxy& galaxy);
void LoadSystemNotes(TGalaxy& galaxy);
void LoadBlockThresholds(TGalaxy& galaxy);
// Runs once the station loader has published the stations; replaces every station's
// OfficeGroups with the stored memberships.
void LoadStationOffices(TGalaxy& galaxy);

// ---- system notes and groups
// Clearing the note deletes its row; an empty note without a row writes nothing.
void SaveSystemNote(const QSqlDatabase& db, const TSystem& system);
// Replaces the system's membership rows with its Groups, in list order.
void SaveSystemGroups(const QSqlDatabase& db, const TSystem& system);
// The note, then the groups, as one transaction.
void SaveSystem(const QSqlDatabase& db, const TSystem& system);

// ---- group management (system groups and office groups)
enum class TGroupKind : quint8 { System = 0, Office = 1 };

// One group as the group window lists it; ID -1 for a group not yet stored.
struct TGroupEntry {
    TGroupKind GroupKind = TGroupKind::System;
    QString Name;
    qint32 ID = -1;
    TColor Color = 0; // office groups only
};

// All groups of a kind in ID order.
std::vector<TGroupEntry> ListGroups(const QSqlDatabase& db, TGroupKind kind);
qint32 CountGroups(const QSqlDatabase& db, TGroupKind kind, qint32 id);
// max(ID)+1; 0 for an empty table.
qint32 NextGroupID(const QSqlDatabase& db, TGroupKind kind);
// Inserts entry under entry.ID.
void InsertGroup(const QSqlDatabase& db, const TGroupEntry& entry);
// Renames (and recolours an office group) the stored group entry.ID.
void UpdateGroup(const QSqlDatabase& db, const TGroupEntry& entry);
// Updates a stored group, or inserts a new one under NextGroupID and sets entry.ID to it.
// Returns the group's ID.
qint32 SaveGroup(const QSqlDatabase& db, TGroupEntry& entry);
// Deletes the group and its memberships (systems or stations), as one transaction.
void DeleteGroup(const QSqlDatabase& db, TGroupKind kind, qint32 id);

// ---- station offices and notes
// Replaces the station's office memberships with its OfficeGroups, in list order.
void SaveStationOffices(const QSqlDatabase& db, const TStation& station);
// The stored note, empty when the station has none.
QString ReadStationNote(const QSqlDatabase& db, qint32 stationID);
// A non-empty note is inserted or updated; an empty one deletes the row.
void SaveStationNote(const QSqlDatabase& db, qint32 stationID, const QString& note);

struct TStationNote {
    qint32 StationID = 0;
    QString Note;
};
std::vector<TStationNote> ListStationNotes(const QSqlDatabase& db);

// ---- agent notes
// For the station loader, on its own connection: sets Note and MyAgent of every listed agent
// that has a row.
void LoadAgentNotes(const QSqlDatabase& db, const TKeyedList<TAgent>& agents);
// Writes Note and MyAgent; an agent with neither has no row afterwards.
void SaveAgentNote(const QSqlDatabase& db, const TAgent& agent);

// ---- blocked and avoided systems
// The stored reason, empty when the system has no row.
QString BlockDescription(const QSqlDatabase& db, qint32 systemID);
// Inserts the system's row or updates the existing one.
void SaveBlock(const QSqlDatabase& db, qint32 systemID, qint32 threshold, const QString& description);
void DeleteBlock(const QSqlDatabase& db, qint32 systemID);

// ---- saved routes
// Every stored route in the order the database returns them, each with its known systems in
// position order (entries not Fixed). Rows of systems the model lacks are dropped.
std::vector<std::unique_ptr<TRoute>> LoadRoutes(const QSqlDatabase& db, const TGalaxy& galaxy);
// Stores route as a new saved route with ID max(ID)+1 (1 for an empty table); returns the ID.
qint32 SaveRoute(const QSqlDatabase& db, const TRoute& route);
// Removes the route and its systems, as one transaction.
void DeleteRoute(const QSqlDatabase& db, qint32 routeID);

// ---- map database
// The region's display colour, on the map database connection.
void SaveRegionColour(const QSqlDatabase& mapDb, qint32 regionID, TColor colour);

} // namespace userdata
