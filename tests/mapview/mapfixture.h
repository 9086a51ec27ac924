#pragma once
// The tiny generated universe loaded into a galaxy that draws onto a QImage surface.
#include "mapview/uColors.h"
#include "mapview/uMapDraw.h"
#include "mapview/uMapSurface.h"
#include "mapview/uMapView.h"
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "testsupport.h"

#include <QSqlQuery>

#include <memory>

struct TinyMap {
    testsupport::TempHome home;
    std::unique_ptr<TDbConnection> map, custom;
    TImageSurface surface;
    std::unique_ptr<TGalaxy> galaxy;
    QString error;

    explicit TinyMap(QSize size = QSize(512, 512))
        : surface(size)
    {
        map = TDbConnection::Open(home.file(QStringLiteral("map.db")), TOpenMode::ExistingOnly, &error);
        custom = TDbConnection::Open(home.file(QStringLiteral("custom.db")), TOpenMode::ExistingOnly, &error);
        if (!map || !custom)
            return;
        galaxy = std::make_unique<TGalaxy>(QString(), &surface);
        galaxy->MapConnection = map->Db();
        galaxy->CustomConnection = custom->Db();
        try {
            galaxy->Load();
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
            galaxy.reset();
        }
    }
    ~TinyMap() { galaxy.reset(); } // before the connections close

    bool ok() const { return galaxy != nullptr; }
    TGalaxy& g() const { return *galaxy; }

    // The gate links of map.db, as the jump loader would attach them.
    void addJumps()
    {
        QSqlQuery q(map->Db());
        q.exec(QStringLiteral("select fromSolarSystemID, toSolarSystemID from jumps"));
        while (q.next()) {
            TSystem* from = galaxy->SystemByID(q.value(0).toInt());
            TSystem* to = galaxy->SystemByID(q.value(1).toInt());
            if (!from || !to)
                continue;
            auto jump = std::make_unique<TJump>();
            jump->Target = to;
            from->Jumps.push_back(std::move(jump));
        }
        galaxy->JumpsReady = true;
    }

    TSystem* system(const QString& name) const { return galaxy->SystemByName(name); }
    TRegion* region(const QString& name) const { return galaxy->Regions.Find(name); }
    QPoint at(const TSystem* s) const { return Projection(*galaxy).ToScreen(*s); }
    QRgb pixel(QPoint p) const { return surface.Image().pixel(p) & 0xFFFFFF; }
    QRgb pixel(int x, int y) const { return pixel(QPoint(x, y)); }
    QImage image() const { return surface.Image().copy(); }
    void redraw() const { Redraw(*galaxy); }

    // Centres a view of the given width (map units) on a system and draws it.
    void view(const TSystem* s, qint32 width) const
    {
        galaxy->View = TIntRect { 0, 0, width, width };
        CentreOn(*galaxy, s);
    }
};
