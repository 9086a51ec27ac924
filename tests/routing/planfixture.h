#pragma once
// The tiny generated universe in a throw-away home, loaded with its jumps and routing graph, for
// the planner and saved-route tests.
#include "model/uDatabase.h"
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/uDijkstra.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <memory>

struct TinyUniverse {
    testsupport::TempHome home;
    std::unique_ptr<TDbConnection> map, custom;
    std::unique_ptr<TGalaxy> galaxy;
    QString error;

    TinyUniverse()
    {
        map = TDbConnection::Open(home.file(QStringLiteral("map.db")), TOpenMode::ExistingOnly, &error);
        custom = TDbConnection::Open(home.file(QStringLiteral("custom.db")), TOpenMode::ExistingOnly, &error);
        if (!map || !custom)
            return;
        galaxy = std::make_unique<TGalaxy>(home.path());
        galaxy->MapConnection = map->Db();
        galaxy->CustomConnection = custom->Db();
        try {
            galaxy->Load();
            LoadJumps(*galaxy, galaxy->MapConnection, {});
            BuildRouteGraph(*galaxy, {});
            galaxy->Graph->SetSuspended(false);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
            galaxy.reset();
        }
    }
    ~TinyUniverse() { galaxy.reset(); } // before the connections close

    bool ok() const { return galaxy != nullptr; }
    TGalaxy& g() const { return *galaxy; }
    TSystem* sys(const QString& name) const
    {
        TSystem* s = galaxy->SystemByName(name);
        if (!s)
            qFatal("no system %s", qPrintable(name));
        return s;
    }

    // Runs a statement on custom.db: each row as its columns joined by ",", the rows by "|".
    QString query(const QString& sql) const
    {
        QSqlQuery q(custom->Db());
        if (!q.exec(sql))
            return QStringLiteral("error");
        QStringList rows;
        while (q.next()) {
            QStringList columns;
            for (int i = 0; i < q.record().count(); ++i)
                columns << q.value(i).toString();
            rows << columns.join(QLatin1Char(','));
        }
        return rows.join(QLatin1Char('|'));
    }
};
