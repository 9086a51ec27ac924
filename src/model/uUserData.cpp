#include "uUserData.h"

#include "model/uDatabase.h"
#include "model/uGalaxy.h"

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

} // namespace userdata
