#pragma once
// The user's own data in the custom database: notes, groups, office groups, agent notes,
// blocks and saved routes. Every value is bound; multi-statement saves are one transaction.

#include <QSqlDatabase>
#include <QString>

class TGalaxy;

namespace userdata {

// Reads run on galaxy.CustomConnection; rows naming objects not in the model are skipped.
// The group loads also serve as reloads: surviving IDs keep their objects.
void LoadGroups(TGalaxy& galaxy);
void LoadOfficeGroups(TGalaxy& galaxy);
void LoadSystemGroups(TGalaxy& galaxy);
void LoadSystemNotes(TGalaxy& galaxy);
void LoadBlockThresholds(TGalaxy& galaxy);

} // namespace userdata
