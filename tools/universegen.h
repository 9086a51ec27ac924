#pragma once
// Fictional universes for the map and custom databases: a hand-laid tiny one for test fixtures and
// a seeded full-size one shaped like the game's universe (regions of constellations of systems).
#include <QList>
#include <QString>

#include <cstdint>

namespace universegen {

enum class Preset { Tiny, Default };

struct Options {
    Preset preset = Preset::Default;
    std::uint64_t seed = 1;
    double scale = 1.0; // multiplies systems, regions, constellations, gates, stations and agents
};

// factionID column values besides a faction's ID: the loaders must accept both empty forms.
constexpr int kNullFaction = -1;  // SQL NULL
constexpr int kBlankFaction = -2; // empty text

struct Region {
    int id;
    QString name;
    int color; // 0x00BBGGRR, 0 for none
};

struct Constellation {
    int id;
    QString name;
    int regionId;
    double x, y, z;
    int factionId;
};

struct SolarSystem {
    int id;
    QString name;
    int constellationId;
    int regionId;
    double x, y, z;
    double security;
    int factionId;
    double luminosity;
};

struct Named {
    int id;
    QString name;
};

struct IdPair {
    int first;
    int second;
};

struct Implant {
    int id;
    QString name;
    QString attribute;
    int bonus;
};

struct CorporationImplant {
    int corporationId;
    int implantId;
    int agentLevel;
};

struct Station {
    int id;
    QString name;
    int operationId;
    int corporationId;
    int systemId;
};

struct Agent {
    int id;
    QString name;
    int quality;
    int level;
    int stationId;
    int corporationId;
    int divisionId;
};

struct Universe {
    QList<Region> regions;
    QList<Constellation> constellations;
    QList<SolarSystem> systems;
    QList<Named> factions;
    QList<Named> corporations;
    QList<IdPair> factionCorporations; // corporationID, factionID
    QList<Named> divisions;
    QList<Named> services;          // serviceID is a power of two
    QList<IdPair> operationServices; // operationID, serviceID
    QList<Implant> implants;
    QList<CorporationImplant> corporationImplants;
    QList<Station> stations;
    QList<Agent> agents;
    QList<IdPair> gates; // system IDs, each link once; written to jumps in both directions
};

Universe generate(const Options& options);

// Writes dir/map.db (with the universe) and dir/custom.db (empty user tables), one transaction
// each. Existing files are replaced only with overwrite; a failed write leaves them as they were.
bool writeUniverse(const Universe& universe, const QString& dir, bool overwrite, QString* error);

} // namespace universegen
