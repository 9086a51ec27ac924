#include "universegen.h"

#include <QHash>

namespace universegen {

// The tiny universe, laid out by hand for test fixtures; the seed does not change it.
//
// Regions (IDs 10000001-10000003):
//   "Orvane" (color 0x0040A0FF, faction 500001): high security core, 0.25 .. 1.0.
//     Tessa 20000001: Aldera 30000001 (1.0, the smallest ID), Brisk, Cavell, Dunmore,
//                     "Old Harbor" 30000005 (name with a blank, 0.55), Esk, Fennick, Glint.
//     Marrow 20000002: Galloway 30000009 (0.45), Hestra 30000010 (0.44), Ivel, Jorvik,
//                     Kell, Lumen, Marl. (No system 30000014.)
//   "天穹星域" (color 0): low and negative security.
//     北斗座 20000003 (faction 500002): Mirth 30000017 (0.1), Noll (exactly 0.0), Orrin, Pyke,
//                     Quarry, Rask, Pell.
//     Ruska 20000004 (factionID NULL): K-6ZPQ 30000024, 3T-V9X, Tarn, X-Q27R, J5-M0T 30000028
//                     (-1.0), Umber, "Sable Rock".
//   "Hollow Drift" (color 0x00C08040, factionID ''): no gate leads there; internally connected.
//     Veil 20000005: Vesk 30000031, Wold, Yarrow, Zeph. (No system 30000033.)
//     Ember 20000006: Q-1B7D, Cinder, Ashfall, Brand, Kiln 30000040 (the largest ID).
// Region gates: Lumen-Mirth and Kell-Quarry join Orvane and 天穹星域.
// Six station services (1 "市场", 2, 4, 8, 16, 32); operations 1 and 2 have a market, 3 has none.
// Stations: two in Aldera (one with a market), Galloway (market), Mirth (none), Tarn (market),
// Vesk (market, unreachable). Eight agents of levels 1-5, quality -20 .. 20.
Universe tinyUniverse()
{
    Universe u;
    u.regions = {
        { 10000001, QStringLiteral("Orvane"), 0x0040A0FF },
        { 10000002, QString::fromUtf8("天穹星域"), 0 },
        { 10000003, QStringLiteral("Hollow Drift"), 0x00C08040 },
    };

    struct ConstellationRow {
        int id;
        const char* name;
        int regionId;
        int factionId;
    };
    const ConstellationRow constellations[] = {
        { 20000001, "Tessa", 10000001, 500001 },
        { 20000002, "Marrow", 10000001, 500001 },
        { 20000003, "北斗座", 10000002, 500002 },
        { 20000004, "Ruska", 10000002, kNullFaction },
        { 20000005, "Veil", 10000003, kBlankFaction },
        { 20000006, "Ember", 10000003, kBlankFaction },
    };

    // Positions in units of 1e16 metres: X across, Z down the map, Y height.
    struct SystemRow {
        int id;
        const char* name;
        int constellation; // index into constellations
        double x, z, y;
        double security;
        double luminosity;
    };
    const SystemRow systems[] = {
        { 30000001, "Aldera", 0, -4.0, -1.5, 0.2, 1.0, 1.25 },
        { 30000002, "Brisk", 0, -3.5, -2.0, 0.1, 0.9, 0.48 },
        { 30000003, "Cavell", 0, -3.0, -1.6, 0.3, 0.85, 0.91 },
        { 30000004, "Dunmore", 0, -3.6, -0.9, 0.0, 0.7, 2.1 },
        { 30000005, "Old Harbor", 0, -4.3, -0.7, 0.2, 0.55, 0.33 },
        { 30000006, "Esk", 0, -2.8, -0.8, 0.1, 0.65, 1.7 },
        { 30000007, "Fennick", 0, -3.2, -2.4, 0.4, 0.75, 0.06 },
        { 30000008, "Glint", 0, -4.6, -2.1, 0.3, 0.95, 3.4 },
        { 30000009, "Galloway", 1, -2.0, -0.2, -0.1, 0.45, 0.72 },
        { 30000010, "Hestra", 1, -1.6, 0.3, -0.2, 0.44, 1.05 },
        { 30000011, "Ivel", 1, -2.3, 0.5, 0.0, 0.5, 0.5 },
        { 30000012, "Jorvik", 1, -1.2, -0.4, -0.1, 0.6, 0.88 },
        { 30000013, "Kell", 1, -1.0, 0.6, -0.3, 0.35, 1.3 },
        { 30000015, "Lumen", 1, -0.6, 0.1, -0.2, 0.25, 2.6 },
        { 30000016, "Marl", 1, -1.9, 1.0, 0.0, 0.4, 0.2 },
        { 30000017, "Mirth", 2, 0.8, 0.0, 0.5, 0.1, 0.61 },
        { 30000018, "Noll", 2, 1.3, -0.5, 0.4, 0.0, 1.15 },
        { 30000019, "Orrin", 2, 1.1, 0.6, 0.6, 0.2, 0.95 },
        { 30000020, "Pyke", 2, 1.8, 0.2, 0.5, -0.05, 0.4 },
        { 30000021, "Quarry", 2, 0.6, 0.9, 0.7, 0.3, 1.8 },
        { 30000022, "Rask", 2, 1.6, -1.0, 0.3, -0.1, 0.27 },
        { 30000023, "Pell", 2, 0.9, -0.7, 0.4, 0.15, 0.66 },
        { 30000024, "K-6ZPQ", 3, 2.6, 0.8, 0.9, -0.2, 0.58 },
        { 30000025, "3T-V9X", 3, 3.0, 1.4, 1.0, -0.35, 1.4 },
        { 30000026, "Tarn", 3, 3.4, 0.6, 0.8, -0.5, 0.99 },
        { 30000027, "X-Q27R", 3, 3.9, 1.1, 1.1, -0.8, 0.12 },
        { 30000028, "J5-M0T", 3, 3.6, 1.9, 1.2, -1.0, 0.03 },
        { 30000029, "Umber", 3, 2.8, 2.1, 0.9, -0.6, 2.25 },
        { 30000030, "Sable Rock", 3, 4.2, 0.3, 1.0, -0.7, 0.77 },
        { 30000031, "Vesk", 4, -0.8, 4.2, -1.0, -0.3, 0.85 },
        { 30000032, "Wold", 4, -0.3, 4.6, -1.1, -0.4, 0.31 },
        { 30000034, "Yarrow", 4, -1.1, 4.9, -0.9, -0.45, 1.6 },
        { 30000035, "Zeph", 4, -0.5, 5.3, -1.2, -0.7, 0.09 },
        { 30000036, "Q-1B7D", 5, 0.6, 4.8, -1.0, -0.9, 0.44 },
        { 30000037, "Cinder", 5, 0.9, 5.4, -1.3, -0.25, 1.9 },
        { 30000038, "Ashfall", 5, 1.3, 4.5, -0.8, -0.15, 0.52 },
        { 30000039, "Brand", 5, 0.4, 5.8, -1.1, -0.05, 1.1 },
        { 30000040, "Kiln", 5, 1.5, 5.2, -1.0, -0.35, 0.36 },
    };
    constexpr double unit = 1e16;

    QHash<QString, int> idOf;
    for (const ConstellationRow& c : constellations) {
        double x = 0, y = 0, z = 0;
        int n = 0;
        for (const SystemRow& s : systems) {
            if (constellations[s.constellation].id != c.id)
                continue;
            x += s.x;
            y += s.y;
            z += s.z;
            ++n;
        }
        u.constellations.append(
            { c.id, QString::fromUtf8(c.name), c.regionId, x / n * unit, y / n * unit, z / n * unit, c.factionId });
    }
    for (const SystemRow& s : systems) {
        const ConstellationRow& c = constellations[s.constellation];
        u.systems.append({ s.id, QString::fromUtf8(s.name), c.id, c.regionId, s.x * unit, s.y * unit, s.z * unit,
            s.security, c.factionId, s.luminosity });
        idOf.insert(QString::fromUtf8(s.name), s.id);
    }

    const char* const gates[][2] = {
        // Tessa
        { "Aldera", "Brisk" }, { "Brisk", "Cavell" }, { "Aldera", "Dunmore" }, { "Dunmore", "Old Harbor" },
        { "Old Harbor", "Aldera" }, { "Dunmore", "Esk" }, { "Cavell", "Esk" }, { "Brisk", "Fennick" },
        { "Aldera", "Glint" },
        // Tessa - Marrow
        { "Esk", "Galloway" }, { "Cavell", "Jorvik" },
        // Marrow
        { "Galloway", "Ivel" }, { "Galloway", "Hestra" }, { "Hestra", "Jorvik" }, { "Hestra", "Kell" },
        { "Kell", "Lumen" }, { "Ivel", "Marl" }, { "Marl", "Kell" },
        // Orvane - 天穹星域
        { "Lumen", "Mirth" }, { "Kell", "Quarry" },
        // 北斗座
        { "Mirth", "Noll" }, { "Mirth", "Orrin" }, { "Orrin", "Quarry" }, { "Orrin", "Pyke" }, { "Noll", "Rask" },
        { "Noll", "Pell" }, { "Pyke", "Rask" },
        // 北斗座 - Ruska
        { "Pyke", "K-6ZPQ" },
        // Ruska
        { "K-6ZPQ", "3T-V9X" }, { "K-6ZPQ", "Tarn" }, { "Tarn", "X-Q27R" }, { "X-Q27R", "J5-M0T" },
        { "J5-M0T", "Umber" }, { "Umber", "3T-V9X" }, { "Tarn", "Sable Rock" },
        // Hollow Drift, reached by no gate from outside
        { "Vesk", "Wold" }, { "Wold", "Yarrow" }, { "Yarrow", "Zeph" }, { "Zeph", "Wold" }, { "Wold", "Q-1B7D" },
        { "Q-1B7D", "Cinder" }, { "Q-1B7D", "Ashfall" }, { "Cinder", "Brand" }, { "Ashfall", "Kiln" },
    };
    for (const auto& g : gates)
        u.gates.append({ idOf.value(QString::fromUtf8(g[0])), idOf.value(QString::fromUtf8(g[1])) });

    u.factions = {
        { 500001, QStringLiteral("Solari Dominion") },
        { 500002, QStringLiteral("Karn Republic") },
        { 500003, QStringLiteral("Vey Syndicate") },
    };
    u.corporations = {
        { 1000001, QStringLiteral("Solari Navy") },
        { 1000002, QStringLiteral("Brightwater Logistics") },
        { 1000003, QStringLiteral("Karn Mining Guild") },
        { 1000004, QStringLiteral("Vey Holdings") },
        { 1000005, QStringLiteral("Drifter Freight") },
    };
    u.factionCorporations = { { 1000001, 500001 }, { 1000002, 500001 }, { 1000003, 500002 }, { 1000004, 500003 } };
    u.divisions = {
        { 1, QString::fromUtf8("安保部") },
        { 2, QString::fromUtf8("物流部") },
        { 3, QString::fromUtf8("研发部") },
    };
    u.services = {
        { 1, QString::fromUtf8("市场") },
        { 2, QString::fromUtf8("维修厂") },
        { 4, QString::fromUtf8("克隆舱") },
        { 8, QString::fromUtf8("精炼厂") },
        { 16, QString::fromUtf8("制造工厂") },
        { 32, QString::fromUtf8("研究实验室") },
    };
    u.operationServices = { { 1, 1 }, { 1, 2 }, { 1, 4 }, { 2, 1 }, { 2, 8 }, { 3, 2 }, { 3, 16 }, { 3, 32 } };
    u.implants = {
        { 22101, QStringLiteral("Velor Ocular Filter Mk 1"), QStringLiteral("Perception"), 1 },
        { 22102, QStringLiteral("Quen Memory Augmentation Mk 2"), QStringLiteral("Memory"), 2 },
        { 22103, QStringLiteral("Tarsis Reflex Coupler Mk 3"), QString(QLatin1String("")), 3 },
    };
    u.corporationImplants = { { 1000001, 22101, 4 }, { 1000001, 22102, 1 }, { 1000003, 22103, 3 },
        { 1000004, 22102, 5 } };
    u.stations = {
        { 60000001, QStringLiteral("Aldera IV - Moon 2 - Solari Navy Assembly Plant"), 1, 1000001, 30000001 },
        { 60000002, QStringLiteral("Aldera VII - Moon 1 - Brightwater Logistics Warehouse"), 3, 1000002, 30000001 },
        { 60000003, QStringLiteral("Galloway II - Moon 3 - Brightwater Logistics Trading Post"), 2, 1000002,
            30000009 },
        { 60000004, QStringLiteral("Mirth V - Moon 5 - Karn Mining Guild Refinery"), 3, 1000003, 30000017 },
        { 60000005, QStringLiteral("Tarn III - Moon 1 - Vey Holdings Depot"), 1, 1000004, 30000026 },
        { 60000006, QStringLiteral("Vesk I - Moon 1 - Drifter Freight Storage"), 2, 1000005, 30000031 },
    };
    u.agents = {
        { 3008001, QStringLiteral("Mara Solen"), 20, 4, 60000001, 1000001, 1 },
        { 3008002, QStringLiteral("Tovin Ashe"), -20, 1, 60000001, 1000001, 2 },
        { 3008003, QStringLiteral("Ilsa Varn"), 0, 2, 60000003, 1000002, 2 },
        { 3008004, QStringLiteral("Corvin Dale"), 5, 3, 60000004, 1000003, 3 },
        { 3008005, QStringLiteral("Brenna Holt"), -5, 5, 60000005, 1000004, 1 },
        { 3008006, QStringLiteral("Jessa Quill"), 12, 2, 60000002, 1000002, 3 },
        { 3008007, QStringLiteral("Oren Pike"), -12, 3, 60000006, 1000005, 2 },
        { 3008008, QStringLiteral("Nyla"), 10, 1, 60000004, 1000003, 1 },
    };
    return u;
}

} // namespace universegen
