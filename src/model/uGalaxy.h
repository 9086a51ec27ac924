#pragma once
// The in-memory model of the universe: systems, jumps, regions and the
// reference and annotation objects, all owned by one TGalaxy.

#include <QHash>
#include <QPoint>
#include <QRect>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <QThread>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "model/uKeyedList.h"

using TColor = qint32; // 0x00BBGGRR, red in the low byte

class TGalaxy;
class TSystem;
class TRegion;
class TConstellation;
class TStation;
class TAgent;
class TCorporation;
class TFaction;
class TDivision;
class TOperation;
class TOfficeGroup;
class Tgroup;
class TColorObj;
class TDijkstra;
class TMapSurface;

constexpr qint32 MaxInt = std::numeric_limits<qint32>::max();
constexpr qint32 FirstSystemID = 30000001;
constexpr TColor InvalidColour = -1; // all bits set: no colour

// A rectangle by its edges, as the map's arithmetic wants it (right and bottom inclusive values,
// width = Right - Left), unlike QRect's pixel-cell semantics.
struct TIntRect {
    qint32 Left = 0, Top = 0, Right = 0, Bottom = 0;
    qint32 Width() const { return Right - Left; }
    qint32 Height() const { return Bottom - Top; }
    bool operator==(const TIntRect&) const = default;
};

// A small bitmap of 0x00BBGGRR pixels; the model keeps it free of the GUI libraries so that
// headless tools load none of them.
struct TBitmap {
    int Width = 0;
    int Height = 0;
    std::vector<TColor> Pixels;

    void Resize(int width, int height)
    {
        Width = width;
        Height = height;
        Pixels.assign(std::size_t(width) * std::size_t(height), 0);
    }
    TColor Pixel(int x, int y) const { return Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)]; }
    void SetPixel(int x, int y, TColor colour) { Pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)] = colour; }
};

// Raised for broken map data and failed lookups that must not pass silently.
class EGalaxyError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TSystemArray = std::vector<TSystem*>;
using TRegionJumpArray = std::vector<qint32>;

// Coordinate bounds of all systems; starts "empty" so running minima/maxima fold into it.
struct Tdim {
    double MinX = std::numeric_limits<double>::max();
    double MaxX = std::numeric_limits<double>::min();
    double MinZ = std::numeric_limits<double>::max();
    double MaxZ = std::numeric_limits<double>::min();
    double MinY = std::numeric_limits<double>::max();
    double MaxY = std::numeric_limits<double>::min();

    qint64 HalfExtentX() const;
    qint64 HalfExtentZ() const;
    qint64 HalfExtentY() const;
};

// One directed gate link; owned by its origin system.
class TJump {
public:
    void* Line = nullptr; // 3D view's line, owned there
    TSystem* Target = nullptr;
    bool OnRoute = false;
};

class TSystem {
public:
    explicit TSystem(TGalaxy* galaxy) : Galaxy(galaxy) { }

    QString Name;
    qint32 ID = 0;
    qint32 BlockThreshold = 1;
    double X = 0, Z = 0, Y = 0;
    qint32 MapX = 0;
    qint32 MapY = 0;
    qint32 MapHeight = 0;
    TColor SecurityColour = 0;
    std::vector<std::unique_ptr<TJump>> Jumps;
    std::vector<TStation*> Stations;
    std::vector<Tgroup*> Groups;
    TRegion* Region = nullptr;
    TConstellation* Constellation = nullptr;
    double Security = 0;
    TGalaxy* Galaxy = nullptr;
    qint32 FactionID = -1;
    double Luminosity = 0;
    qint32 ListIndex = MaxInt;
    qint32 VertexIndex = -1;
    std::vector<TAgent*> Agents;
    QString Note;
    void* Sphere = nullptr; // 3D view objects, owned by that view
    void* Label = nullptr;
    TRegionJumpArray Jumps1;
    TRegionJumpArray Jumps2;
    qint32 CentralScratch = 0;

    TJump* JumpTo(const TSystem* target) const;
    bool MyStationColour(TColor& colour) const;
    bool HasMarket() const;
};

class TConstellation {
public:
    double X = 0, Y = 0, Z = 0;
    std::vector<TSystem*> Systems;
    QString Name;
    qint32 ID = 0;
    qint32 FactionID = -1;
    QString FactionName;
    TRegion* Region = nullptr;
    TGalaxy* Galaxy = nullptr;
};

class TRegion {
public:
    std::vector<TSystem*> Systems; // each under an empty key
    std::vector<TConstellation*> Constellations;
    QString Name;
    TColor Colour = 0;
    qint32 ID = 0;
    bool Visible = true;
    bool Outlined = false;
};

class TFaction {
public:
    qint32 ID = 0;
    QString Name;
};

class TCorporation {
public:
    qint32 ID = 0;
    QString Name;
    TFaction* Faction = nullptr;
};

class TDivision {
public:
    qint32 ID = 0;
    QString Name;
};

// A station service.
class TFacility {
public:
    qint32 ID = 0;
    QString Name;
};

// A station operation; Services is a bit set of power-of-two service IDs.
class TOperation {
public:
    qint32 ID = 0;
    qint32 Services = 0;
    bool HasService(qint32 serviceID) const { return (Services & serviceID) == serviceID; }
};

class TImplantType {
public:
    qint32 ID = 0;
    QString Name;
    QString Attribute;
    qint32 Bonus = 0;
    qint32 OfferCount = 0;
};

// A corporation's implant offer.
class TImplant {
public:
    TImplantType* ImplantType = nullptr;
    TCorporation* Corporation = nullptr;
    qint32 Level = 0;
};

class Tgroup {
public:
    qint32 ID = 0;
    QString Name;
    QString Description;
};

class TOfficeGroup {
public:
    qint32 ID = 0;
    QString Name;
    TColor Colour = 0;
};

class TCharacterLocation {
public:
    QString Name;
    TSystem* System = nullptr;
    bool Ignored = false;
};

class TStation {
public:
    explicit TStation(TGalaxy* galaxy) : Galaxy(galaxy) { }

    QString Name;
    qint32 ID = 0;
    TCorporation* Corporation = nullptr;
    qint32 JumpScratch = 0;
    TSystem* System = nullptr;
    TOperation* Operation = nullptr;
    std::vector<TAgent*> Agents;
    std::vector<TOfficeGroup*> OfficeGroups;
    TGalaxy* Galaxy = nullptr;

    QString CorporationName() const;
    QString OfficeGroupNames() const;
};

class TAgent {
public:
    QString Name;
    qint32 ID = 0;
    qint32 Level = 0;
    qint32 Quality = 0;
    qint32 CorporationID = 0;
    TCorporation* Corporation = nullptr;
    qint32 DivisionID = 0;
    TDivision* Division = nullptr;
    qint32 StationID = 0;
    qint32 SolarSystemID = 0;
    TStation* Station = nullptr;
    TSystem* System = nullptr;
    qint32 JumpScratch = 0;
    bool MyAgent = false;
    QString Note;

    QString CorporationName() const;
    QString DivisionName() const;
    QString StationName() const;
    TFaction* CorporationFaction() const;
    QString FactionName() const;
};

// One entry of a route: a system and its role. Routes share entries on Assign.
class TRouteSystem {
public:
    TRouteSystem() = default;
    TRouteSystem(TSystem* system, quint8 routeType) : System(system), RouteType(routeType) { }

    TSystem* System = nullptr;
    quint8 RouteType = 2; // 0 start, 1 end, 2 waypoint
    bool Fixed = false;
};

// An ordered list of route entries (a plan or a saved route). Assign shares the entries,
// so they are reference-counted: each is freed with the last route that holds it.
class TRoute {
public:
    struct Line {
        QString Text;
        std::shared_ptr<TRouteSystem> Entry;
    };

    std::vector<Line> Systems;
    QString Name;
    qint32 ID = -1;
    qint32 EntityID = 0;

    void Add(const QString& text, std::shared_ptr<TRouteSystem> entry) { Systems.push_back({ text, std::move(entry) }); }
    void Add(TSystem* system, quint8 routeType, bool fixed = false);
    void Clear() { Systems.clear(); }
    void Assign(const TRoute& other);
    int Count() const { return int(Systems.size()); }
    TRouteSystem* Entry(int i) const { return Systems[std::size_t(i)].Entry.get(); }
};

// Status and log sink of the load, so the model never reaches into windows.
struct TLoadObserver {
    std::function<void(const QString&)> ShowStatus; // status panel 1, repainted at once
    std::function<void(const QString&)> WriteLog;   // application log
    std::function<void(bool)> SetBusyCursor;
};

// The root of the model. Owns every model object, the route solver and the colour scheme.
class TGalaxy {
public:
    // Create(surface): see the constructor; appFolder is where colors.cfg lives.
    explicit TGalaxy(const QString& appFolder, TMapSurface* surface = nullptr);
    ~TGalaxy();
    TGalaxy(const TGalaxy&) = delete;
    TGalaxy& operator=(const TGalaxy&) = delete;

    // Data sources.
    QSqlDatabase MapConnection;
    QSqlDatabase CustomConnection;
    QString AppFolder;

    // Collections (owned).
    TKeyedList<TSystem> Systems;
    TSystemArray SystemSlots;
    qint32 SystemCount = 0;
    TKeyedList<TRegion> Regions;
    TKeyedList<TConstellation> Constellations;
    TKeyedList<TFaction> Factions;
    TKeyedList<TCorporation> Corporations;
    TKeyedList<TDivision> Divisions;
    TKeyedList<TFacility> Services;
    TKeyedList<TOperation> Operations;
    TKeyedList<TImplantType> ImplantTypes;
    TKeyedList<TImplant> ImplantOffers;
    TKeyedList<Tgroup> Groups;
    TKeyedList<TOfficeGroup> OfficeGroups;
    std::unique_ptr<TKeyedList<TStation>> Stations; // absent until the station loader publishes
    std::unique_ptr<TKeyedList<TAgent>> Agents;
    TKeyedList<TCharacterLocation> Characters; // key "name=system"
    TFacility* MarketService = nullptr;
    double MinLuminosity = 0;
    double MaxLuminosity = 0;
    Tdim Bounds;
    TIntRect MapBounds { MaxInt, MaxInt, -MaxInt, -MaxInt }; // min/max MapX across, MapY down

    // Load state.
    std::atomic<qint32> JumpCount { 0 };    // advanced by the jump loader
    bool JumpsReady = false;
    bool LoadComplete = false;
    std::atomic<bool> ShuttingDown { false }; // read by the loader threads
    // The background loaders; the galaxy waits for them before it frees the model.
    std::vector<std::unique_ptr<QThread>> Loaders;

    // Routing state.
    std::unique_ptr<TDijkstra> Graph;
    quint8 SecurityPreference = 2;
    TKeyedList<TSystem, false> RouteList; // destination first, start last; key the system name
    bool Unreachable = false;
    std::function<void(int)> OnOptimiseProgress;

    // View state.
    TMapSurface* Surface = nullptr;
    TIntRect View; // map coordinates filling the surface
    qint32 ZoomPercent = 100;
    qint32 DotSize = 3;
    bool FullDetail = true;
    bool ZoomRectMode = false;
    TIntRect ZoomRect { MaxInt, 0, 0, 0 }; // surface pixels; Left == MaxInt means none
    QPoint MousePos, LastMouse, DownPoint;

    // Display options.
    quint8 SystemColourMode = 0;
    quint8 JumpColourMode = 1;
    bool AlwaysNames = false;
    bool SmartNames = true;
    bool DrawJumps = false;
    bool DrawConstBoxes = false;
    bool RouteNames = true;
    bool RouteZoom = true;
    bool HotTrack = false;
    bool RegionHotTrack = false;
    bool ShowCharacters = false;
    bool ShowMyStations = false;

    // Interaction state.
    TSystem* SelectedSystem = nullptr;
    TSystem* HotSystem = nullptr;
    TRegion* HotRegion = nullptr;

    // Drawing resources.
    std::unique_ptr<TColorObj> Colours;
    TBitmap SecurityStrip; // 100 x 10, red (left) to green (right)

    // Lookups: nullptr when not found.
    TSystem* SystemByID(qint32 id) const; // throws EGalaxyError("System ID out of bounds") for id <= 30000000
    TSystem* SystemByName(const QString& name) const;
    TRegion* RegionByID(qint32 id) const;
    TConstellation* ConstellationByID(qint32 id) const;
    TFaction* FactionByID(qint32 id) const;
    TCorporation* CorporationByID(qint32 id) const;
    TDivision* DivisionByID(qint32 id) const;
    TImplantType* ImplantTypeByID(qint32 id) const;
    Tgroup* GroupByID(qint32 id) const;
    TOfficeGroup* OfficeGroupByID(qint32 id) const;
    TStation* StationByID(qint32 id) const;
    TAgent* AgentByID(qint32 id) const;
    TOperation* OperationByID(qint32 id) const;
    bool OperationHasService(qint32 operationID, qint32 serviceID) const;
    QString ServiceNames(const TOperation* operation) const;
    qint64 SizeEstimate() const { return 4 + 4 * qint64(SystemCount); }

    // Map coordinates and colours.
    TColor SecurityColourOf(double security) const;
    qint32 NormaliseX(double x) const;
    qint32 NormaliseZ(double z) const;
    qint32 NormaliseY(double y) const;

    // Loading (map and custom databases).
    TLoadObserver Observer;
    // Runs the load steps in order; throws EGalaxyError or EDatabaseError with a message naming
    // what is wrong. Starting the background loaders and the first view are left to the caller.
    // Headless commands that only route pass TLoadParts::MapOnly: the user's groups and the
    // reference tables (factions to implants) are then left empty.
    enum class TLoadParts { Everything, MapOnly };
    void Load(TLoadParts parts = TLoadParts::Everything);
    TSystem* AddSystem(qint32 id, const QString& name, double x, double z, double y, qint32 regionID,
        qint32 constellationID, double security, qint32 factionID, double luminosity);
    void Clear();

    // Custom-database reads that may run again later (group window, exclude list).
    void LoadBlockThresholds();
    void ReloadGroups();
    void ReloadOfficeGroups();

    // The colour-scheme entry name, or its default while no scheme is loaded.
    TColor SchemeColour(const QString& name) const;

private:
    // ID indexes used while systems are added in bulk; the first object of an ID wins, as in
    // the linear lookups. Empty outside the systems step.
    QHash<qint32, TRegion*> m_regionIndex;
    QHash<qint32, TConstellation*> m_constellationIndex;

    void LoadReferenceData();
    void LoadSystems();
    void BuildSecurityStrip();
    void SortCorporations();
    static qint32 Normalise(double value, double min, double max);
};

// Reads a factionID column given as text: -1 when empty or not a number.
qint32 FactionIDFromText(const QVariant& value);
