#include "uGalaxy.h"

#include "mapview/uColors.h"
#include "model/uDatabase.h"
#include "model/uSchema.h"
#include "model/uUserData.h"
#include "routing/uDijkstra.h"
#include "routing/uRoute.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

// ---------------------------------------------------------------- helpers

namespace {

qint64 HalfExtent(double min, double max) { return std::llround(std::fabs(max - min) / 2.0); }

// "nn:ss.zzz": minutes, seconds, milliseconds.
QString FormatElapsed(qint64 ms)
{
    return QStringLiteral("%1:%2.%3")
        .arg(ms / 60000, 2, 10, QLatin1Char('0'))
        .arg((ms / 1000) % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

// One load step: its status text when it begins, its timing line when it ends.
class TLoadStep {
public:
    explicit TLoadStep(const TLoadObserver& observer) : m_observer(observer) { }

    // A step inside another has no status text of its own.
    void Begin(const QString& status = {})
    {
        if (!status.isEmpty() && m_observer.ShowStatus)
            m_observer.ShowStatus(status);
        m_timer.start();
    }
    // format takes the elapsed time as %1.
    void End(const QString& format) const { Log(format.arg(FormatElapsed(m_timer.elapsed()))); }
    void Log(const QString& text) const
    {
        if (m_observer.WriteLog)
            m_observer.WriteLog(text);
    }

private:
    const TLoadObserver& m_observer;
    QElapsedTimer m_timer;
};

// Rows of (ID, name) as objects keyed "%d=%s", in row order.
template <class T>
void LoadIDNames(const QSqlDatabase& db, const QString& sql, TKeyedList<T>& list)
{
    list.Clear();
    for (QSqlQuery q = RunQuery(db, sql); q.next();) {
        auto object = std::make_unique<T>();
        object->ID = q.value(0).toInt();
        object->Name = q.value(1).toString();
        const QString key = QStringLiteral("%1=%2").arg(object->ID).arg(object->Name);
        list.Add(key, object.release());
    }
}

// Broken map data: a system naming a region or constellation that does not exist.
EGalaxyError MissingLink(qint32 systemID, const QString& name, const char* kind, const QString& missingID)
{
    return EGalaxyError(QStringLiteral("uGalaxy: system %1 (%2) refers to %3 %4, which does not exist")
                            .arg(systemID)
                            .arg(name, QLatin1String(kind), missingID)
                            .toStdString());
}

// Red-to-green strip colour of column c (0 red ... 100 green) as 0x00BBGGRR.
TColor StripColour(int c)
{
    const int green = int(std::lround(255.0 * c / 100.0));
    const int red = 255 - green;
    return TColor(red | (green << 8));
}

template <class List>
auto FindByID(const List& list, qint32 id) -> decltype(list.Object(0))
{
    for (const auto& e : list)
        if (e.Object->ID == id)
            return e.Object;
    return nullptr;
}

} // namespace

qint32 FactionIDFromText(const QVariant& value)
{
    if (value.isNull())
        return -1;
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
        return value.toInt();
    bool ok = false;
    const qint32 id = value.toString().trimmed().toInt(&ok);
    return ok ? id : -1;
}

qint64 Tdim::HalfExtentX() const { return HalfExtent(MinX, MaxX); }
qint64 Tdim::HalfExtentZ() const { return HalfExtent(MinZ, MaxZ); }
qint64 Tdim::HalfExtentY() const { return HalfExtent(MinY, MaxY); }

// ---------------------------------------------------------------- entities

TJump* TSystem::JumpTo(const TSystem* target) const
{
    for (const auto& jump : Jumps)
        if (jump->Target == target)
            return jump.get();
    return nullptr;
}

bool TSystem::MyStationColour(TColor& colour) const
{
    for (const TStation* station : Stations)
        if (!station->OfficeGroups.empty()) {
            colour = station->OfficeGroups.front()->Colour;
            return true;
        }
    return false;
}

bool TSystem::HasMarket() const
{
    const TFacility* market = Galaxy ? Galaxy->MarketService : nullptr;
    if (!market)
        return false;
    for (const TStation* station : Stations)
        if (station->Operation && station->Operation->HasService(market->ID))
            return true;
    return false;
}

QString TStation::CorporationName() const
{
    return Corporation ? Corporation->Name : QStringLiteral("unknown");
}

QString TStation::OfficeGroupNames() const
{
    QStringList names;
    for (const TOfficeGroup* group : OfficeGroups)
        names << group->Name;
    return names.join(QStringLiteral(", "));
}

QString TAgent::CorporationName() const { return Corporation ? Corporation->Name : QStringLiteral("unknown"); }
QString TAgent::DivisionName() const { return Division ? Division->Name : QStringLiteral("unknown"); }
QString TAgent::StationName() const { return Station ? Station->Name : QStringLiteral("unknown"); }
TFaction* TAgent::CorporationFaction() const { return Corporation ? Corporation->Faction : nullptr; }

QString TAgent::FactionName() const
{
    const TFaction* faction = CorporationFaction();
    return faction ? faction->Name : QStringLiteral("unknown");
}

void TRoute::Add(TSystem* system, quint8 routeType, bool fixed)
{
    auto entry = std::make_shared<TRouteSystem>(system, routeType);
    entry->Fixed = fixed;
    Add(system ? system->Name : QString(), std::move(entry));
}

void TRoute::Assign(const TRoute& other)
{
    if (&other == this)
        return;
    Systems = other.Systems;
    ID = other.ID;
    Name = other.Name;
}

// ---------------------------------------------------------------- galaxy

TGalaxy::TGalaxy(const QString& appFolder, TMapSurface* surface) : AppFolder(appFolder), Surface(surface)
{
    BuildSecurityStrip();
    Colours = std::make_unique<TColorObj>();
    Colours->OnWarning = [this](const QString& message) {
        if (Observer.WriteLog)
            Observer.WriteLog(message);
    };
    // Without a folder (tests, tools) the defaults serve and nothing is written.
    if (AppFolder.isEmpty())
        Colours->ResetToDefaults();
    else
        Colours->LoadFrom(ColorsFilePath(AppFolder));
    Graph = std::make_unique<TDijkstra>();
    Graph->SetSuspended(true);
    Graph->SetOnStepCost([this](void* data) { return StepCost(*this, *static_cast<const TSystem*>(data)); });
}

TGalaxy::~TGalaxy()
{
    // The loaders attach objects to the model: they must have ended before it is freed.
    ShuttingDown = true;
    for (auto& loader : Loaders)
        if (loader)
            loader->wait();
    Loaders.clear();
    RouteList.Clear();
    Clear();
}

void TGalaxy::BuildSecurityStrip()
{
    SecurityStrip.Resize(100, 10);
    for (int c = 0; c < 100; ++c)
        for (int row = 0; row < 10; ++row)
            SecurityStrip.SetPixel(c, row, StripColour(c));
}

TColor TGalaxy::SecurityColourOf(double security) const
{
    // A negative security lies left of the strip: such systems take its red end.
    const long column = std::lrint(security * 100.0);
    if (column < 0)
        return StripColour(0);
    return StripColour(int(std::min(column, 99L)));
}

qint32 TGalaxy::Normalise(double value, double min, double max)
{
    const double range = max - min;
    if (!(range > 0))
        return 0; // a single point: everything lies at the origin
    const double quotient = (value - min) / range;
    return qint32(std::nearbyint(quotient * 1000000.0));
}

qint32 TGalaxy::NormaliseX(double x) const { return Normalise(x, Bounds.MinX, Bounds.MaxX); }
qint32 TGalaxy::NormaliseZ(double z) const { return Normalise(z, Bounds.MinZ, Bounds.MaxZ); }
qint32 TGalaxy::NormaliseY(double y) const { return Normalise(y, Bounds.MinY, Bounds.MaxY); }

// ---------------------------------------------------------------- lookups

TSystem* TGalaxy::SystemByID(qint32 id) const
{
    if (id <= 30000000)
        throw EGalaxyError("System ID out of bounds");
    const std::size_t slot = std::size_t(id - FirstSystemID);
    return slot < SystemSlots.size() ? SystemSlots[slot] : nullptr;
}

TSystem* TGalaxy::SystemByName(const QString& name) const
{
    for (const auto& e : Systems)
        if (e.Object->Name == name)
            return e.Object;
    return nullptr;
}

TRegion* TGalaxy::RegionByID(qint32 id) const { return FindByID(Regions, id); }
TConstellation* TGalaxy::ConstellationByID(qint32 id) const { return FindByID(Constellations, id); }
TFaction* TGalaxy::FactionByID(qint32 id) const { return FindByID(Factions, id); }
TCorporation* TGalaxy::CorporationByID(qint32 id) const { return FindByID(Corporations, id); }
TDivision* TGalaxy::DivisionByID(qint32 id) const { return FindByID(Divisions, id); }
TImplantType* TGalaxy::ImplantTypeByID(qint32 id) const { return FindByID(ImplantTypes, id); }
Tgroup* TGalaxy::GroupByID(qint32 id) const { return FindByID(Groups, id); }
TOfficeGroup* TGalaxy::OfficeGroupByID(qint32 id) const { return FindByID(OfficeGroups, id); }
TStation* TGalaxy::StationByID(qint32 id) const { return Stations ? FindByID(*Stations, id) : nullptr; }
TAgent* TGalaxy::AgentByID(qint32 id) const { return Agents ? FindByID(*Agents, id) : nullptr; }

TOperation* TGalaxy::OperationByID(qint32 id) const { return Operations.Find(QString::number(id)); }

bool TGalaxy::OperationHasService(qint32 operationID, qint32 serviceID) const
{
    const TOperation* operation = OperationByID(operationID);
    return operation && operation->HasService(serviceID);
}

QString TGalaxy::ServiceNames(const TOperation* operation) const
{
    QStringList names;
    if (operation)
        for (const auto& e : Services)
            if (operation->HasService(e.Object->ID))
                names << e.Object->Name;
    return names.join(QLatin1Char('\n'));
}

TColor TGalaxy::SchemeColour(const QString& name) const { return Colours->GetColor(name); }

// ---------------------------------------------------------------- load

void TGalaxy::Clear()
{
    SelectedSystem = nullptr;
    HotSystem = nullptr;
    HotRegion = nullptr;
    RouteList.Clear();
    Systems.Clear();
    SystemSlots.clear();
    SystemCount = 0;
    Regions.Clear();
}

TSystem* TGalaxy::AddSystem(qint32 id, const QString& name, double x, double z, double y, qint32 regionID,
    qint32 constellationID, double security, qint32 factionID, double luminosity)
{
    auto system = std::make_unique<TSystem>(this);
    system->ID = id;
    system->Name = name;
    system->Security = security;

    TRegion* region = m_regionIndex.isEmpty() ? RegionByID(regionID) : m_regionIndex.value(regionID);
    if (!region)
        throw MissingLink(id, name, "region", QString::number(regionID));
    TConstellation* constellation = m_constellationIndex.isEmpty() ? ConstellationByID(constellationID)
                                                                   : m_constellationIndex.value(constellationID);
    if (!constellation)
        throw MissingLink(id, name, "constellation", QString::number(constellationID));
    system->Region = region;
    system->Constellation = constellation;

    system->SecurityColour = SecurityColourOf(security);
    system->FactionID = factionID;
    system->Luminosity = luminosity;
    system->BlockThreshold = 1;
    system->X = x;
    system->Z = z;
    system->Y = y;
    system->MapX = NormaliseX(x);
    system->MapY = NormaliseZ(z);
    system->MapHeight = NormaliseY(y);

    MapBounds.Left = std::min(MapBounds.Left, system->MapX);
    MapBounds.Right = std::max(MapBounds.Right, system->MapX);
    MapBounds.Top = std::min(MapBounds.Top, system->MapY);
    MapBounds.Bottom = std::max(MapBounds.Bottom, system->MapY);

    TSystem* raw = system.get();
    region->Systems.push_back(raw);
    constellation->Systems.push_back(raw);
    raw->ListIndex = Systems.Add(QString::number(id), system.release());
    if (id > 30000000) {
        const std::size_t slot = std::size_t(id - FirstSystemID);
        if (slot < SystemSlots.size())
            SystemSlots[slot] = raw;
    }
    ++SystemCount;
    return raw;
}

void TGalaxy::SortCorporations()
{
    Corporations.Sort();
    auto placeholder = std::make_unique<TCorporation>();
    placeholder->ID = -1;
    placeholder->Name = QStringLiteral("unknown");
    const QString key = QStringLiteral("%1=%2").arg(-1).arg(placeholder->Name); // before release(): argument order is unspecified
    Corporations.Add(key, placeholder.release());
}

void TGalaxy::LoadReferenceData()
{
    const QSqlDatabase& db = MapConnection;
    TLoadStep step(Observer);

    step.Begin(QStringLiteral("载入分组.."));
    userdata::LoadGroups(*this);
    step.End(QStringLiteral("载入分组使用了%1秒"));
    userdata::LoadOfficeGroups(*this);

    step.Begin(QStringLiteral("载入势力.."));
    LoadIDNames(db, QStringLiteral("select factionID, factionName from factions"), Factions);
    step.End(QStringLiteral("载入势力使用了%1秒"));

    step.Begin(QStringLiteral("载入公司.."));
    Corporations.Clear();
    for (QSqlQuery q = RunQuery(db, QStringLiteral("select corporationID, corporationName from corporations"));
         q.next();) {
        auto corporation = std::make_unique<TCorporation>();
        corporation->ID = q.value(0).toInt();
        corporation->Name = q.value(1).toString();
        const QString key = corporation->Name;
        Corporations.Add(key, corporation.release());
    }
    SortCorporations();
    {
        // One read of the whole table instead of a statement per corporation; the first row of
        // a corporation still wins.
        QHash<qint32, qint32> factionOf;
        for (QSqlQuery q = RunQuery(db, QStringLiteral("select CorporationID, FactionID from factionCorporations"));
             q.next();)
            if (const qint32 corporation = q.value(0).toInt(); !factionOf.contains(corporation))
                factionOf.insert(corporation, q.value(1).toInt());
        for (const auto& e : Corporations) {
            const auto it = factionOf.constFind(e.Object->ID);
            e.Object->Faction = it == factionOf.cend() ? nullptr : FactionByID(*it);
        }
    }
    step.End(QStringLiteral("载入公司使用了%1秒"));

    step.Begin(QStringLiteral("载入部门.."));
    LoadIDNames(db, QStringLiteral("select DivisionID, DivisionName from divisions"), Divisions);
    step.End(QStringLiteral("载入部门使用了%1秒"));

    step.Begin(QStringLiteral("载入设施.."));
    LoadIDNames(db, QStringLiteral("select serviceID, serviceName from stationServices"), Services);
    MarketService = nullptr;
    for (const auto& e : Services) // the last market row wins
        if (e.Object->Name.toLower() == QStringLiteral("市场"))
            MarketService = e.Object;
    step.End(QStringLiteral("载入设施使用了%1秒"));

    step.Begin(QStringLiteral("载入服务.."));
    Operations.Clear();
    for (QSqlQuery q = RunQuery(db,
             QStringLiteral("select operationID, sum(serviceID) from stationOperationServices group by operationID"));
         q.next();) {
        auto operation = std::make_unique<TOperation>();
        operation->ID = q.value(0).toInt();
        operation->Services = q.value(1).toInt();
        const QString key = QString::number(operation->ID);
        Operations.Add(key, operation.release());
    }
    step.End(QStringLiteral("载入服务使用了%1秒"));

    step.Begin(QStringLiteral("载入植入体.."));
    ImplantTypes.Clear();
    for (QSqlQuery q = RunQuery(db, QStringLiteral("select implantID, implantName, attribute, bonus from implants"));
         q.next();) {
        auto type = std::make_unique<TImplantType>();
        type->ID = q.value(0).toInt();
        type->Name = q.value(1).toString();
        type->Attribute = q.value(2).toString();
        type->Bonus = q.value(3).toInt();
        const QString key = type->Name;
        ImplantTypes.Add(key, type.release());
    }
    ImplantOffers.Clear();
    for (QSqlQuery q
         = RunQuery(db, QStringLiteral("select corporationID, implantID, agentLevel from corporationimplants"));
         q.next();) {
        TImplantType* type = ImplantTypeByID(q.value(1).toInt());
        if (!type)
            continue;
        ++type->OfferCount;
        auto offer = std::make_unique<TImplant>();
        offer->ImplantType = type;
        offer->Corporation = CorporationByID(q.value(0).toInt());
        offer->Level = q.value(2).toInt();
        const QString key = QString();
        ImplantOffers.Add(key, offer.release());
    }
    step.End(QStringLiteral("载入植入体使用了%1秒"));
}

void TGalaxy::Load(TLoadParts parts)
{
    const QSqlDatabase& db = MapConnection;
    TLoadStep step(Observer);

    LoadComplete = false;
    if (Observer.SetBusyCursor)
        Observer.SetBusyCursor(true);
    Clear();

    const QString missing = schema::missingMapTableOrColumn(db);
    if (!missing.isEmpty())
        throw EDatabaseError(QStringLiteral("map database: missing %1").arg(missing).toStdString());

    if (parts == TLoadParts::Everything)
        LoadReferenceData();

    step.Begin(QStringLiteral("载入星域.."));
    for (QSqlQuery q = RunQuery(db, QStringLiteral("select regionID, regionName, color from regions")); q.next();) {
        auto region = std::make_unique<TRegion>();
        region->ID = q.value(0).toInt();
        region->Name = q.value(1).toString();
        const TColor colour = TColor(q.value(2).toLongLong());
        region->Colour = colour > 0 ? colour : SchemeColour(QStringLiteral("System"));
        const QString key = region->Name;
        Regions.Add(key, region.release());
    }
    step.End(QStringLiteral("载入星域使用了%1秒"));

    step.Begin(QStringLiteral("载入星座.."));
    Constellations.Clear();
    for (TRowReader q(db,
             QStringLiteral(
                 "select constellationID, constellationName, X, Y, Z, regionID, factionID from constellations"));
         q.Next();) {
        auto constellation = std::make_unique<TConstellation>();
        constellation->Name = q.Text(1);
        constellation->ID = q.Int(0);
        constellation->X = q.Double(2);
        constellation->Y = q.Double(3);
        constellation->Z = q.Double(4);
        constellation->Galaxy = this;
        constellation->Region = RegionByID(q.Int(5));
        if (constellation->Region)
            constellation->Region->Constellations.push_back(constellation.get());
        constellation->FactionID = FactionIDFromText(q.Value(6));
        if (constellation->FactionID >= 0)
            constellation->FactionName = Factions.Value(QString::number(constellation->FactionID));
        const QString key = constellation->Name;
        Constellations.Add(key, constellation.release());
    }
    step.End(QStringLiteral("载入星座使用了%1秒"));

    step.Begin(QStringLiteral("载入星系.."));
    LoadSystems();
    step.End(QStringLiteral("载入星系使用了%1秒"));
}

void TGalaxy::LoadSystems()
{
    const QSqlDatabase& db = MapConnection;
    TLoadStep query(Observer), process(Observer);
    {
        QSqlQuery q = RunQuery(db,
            QStringLiteral("select min(X), max(X), min(Y), max(Y), min(Z), max(Z), max(solarSystemId), "
                           "min(luminosity), max(luminosity), min(solarSystemId) from solarSystems"));
        Bounds = Tdim();
        SystemSlots.clear();
        if (q.next() && !q.value(6).isNull()) {
            Bounds.MinX = q.value(0).toDouble();
            Bounds.MaxX = q.value(1).toDouble();
            Bounds.MinY = q.value(2).toDouble();
            Bounds.MaxY = q.value(3).toDouble();
            Bounds.MinZ = q.value(4).toDouble();
            Bounds.MaxZ = q.value(5).toDouble();
            const qint64 largest = q.value(6).toLongLong();
            if (largest >= FirstSystemID)
                SystemSlots.assign(std::size_t(largest - FirstSystemID + 1), nullptr);
            MinLuminosity = q.value(7).toDouble();
            MaxLuminosity = q.value(8).toDouble();
        }
    }

    query.Begin();
    TRowReader q(db,
        QStringLiteral("select SYS.solarSystemID, SYS.constellationID, SYS.X, SYS.y, SYS.Z, REG.color, "
                       "SYS.solarSystemName, REG.regionID, REG.regionName, SYS.security, SYS.factionID, "
                       "SYS.luminosity from solarsystems SYS, regions REG where SYS.regionID = REG.regionID"));
    query.End(QStringLiteral(" >system query took %1"));

    MapBounds = TIntRect { MaxInt, MaxInt, -MaxInt, -MaxInt };
    process.Begin();
    Systems.Reserve(int(SystemSlots.size()));
    for (const auto& e : Regions)
        if (!m_regionIndex.contains(e.Object->ID))
            m_regionIndex.insert(e.Object->ID, e.Object);
    for (const auto& e : Constellations)
        if (!m_constellationIndex.contains(e.Object->ID))
            m_constellationIndex.insert(e.Object->ID, e.Object);
    struct IndexGuard {
        TGalaxy* g;
        ~IndexGuard()
        {
            g->m_regionIndex.clear();
            g->m_constellationIndex.clear();
        }
    } guard { this };
    while (q.Next())
        AddSystem(q.Int(0), q.Text(6), q.Double(2), q.Double(4), q.Double(3), q.Int(7), q.Int(1), q.Double(9),
            FactionIDFromText(q.Value(10)), q.Double(11));
    // The join drops systems of unknown regions: such data is broken and must not pass unseen.
    if (SystemCount != QueryScalar(db, QStringLiteral("select count(1) from solarSystems")).toInt()) {
        QSqlQuery orphan = RunQuery(db,
            QStringLiteral("select solarSystemID, solarSystemName, regionID from solarSystems "
                           "where regionID not in (select regionID from regions) limit 1"));
        if (orphan.next())
            throw MissingLink(orphan.value(0).toInt(), orphan.value(1).toString(), "region", orphan.value(2).toString());
    }
    userdata::LoadSystemGroups(*this);
    userdata::LoadSystemNotes(*this);
    process.End(QStringLiteral(" >system process took %1"));
}

void TGalaxy::LoadBlockThresholds() { userdata::LoadBlockThresholds(*this); }
void TGalaxy::ReloadGroups() { userdata::LoadGroups(*this); }
void TGalaxy::ReloadOfficeGroups() { userdata::LoadOfficeGroups(*this); }
