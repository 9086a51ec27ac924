#pragma once
// The saved routes window: lists the stored routes with their start and end systems, deletes one,
// and hands the chosen one to the route planner, which also stores its plans through it.
#include "model/uGalaxy.h"

#include <QDialog>
#include <QSqlDatabase>

#include <functional>
#include <memory>
#include <vector>

class QPushButton;
class QTreeWidget;

// Runs action; an exception's text goes to report instead of through the event loop. False then.
bool RunReported(const std::function<void()>& action, const std::function<void(const QString&)>& report);

class TLoadRouteForm : public QDialog {
    Q_OBJECT
public:
    explicit TLoadRouteForm(QWidget* parent = nullptr);
    ~TLoadRouteForm() override;

    // The galaxy the routes' systems are looked up in; the routes live on its custom connection.
    void SetGalaxy(TGalaxy* galaxy) { m_galaxy = galaxy; }
    TGalaxy* Galaxy() const { return m_galaxy; }

    // Reads every stored route again; the rows own their routes until the next refresh.
    void RefreshRoutes();
    // Stores route as a new saved route (with its systems, in one transaction); returns its ID.
    qint32 SaveRoute(const TRoute& route);
    // Removes a listed route from the database, its row and its TRoute.
    void DeleteRoute(TRoute* route);

    // The route of the selected row; null without a selection.
    TRoute* SelectedRoute() const;
    int RouteCount() const { return int(m_routes.size()); }
    TRoute* RouteAt(int row) const;

    QTreeWidget* routeList;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel
    QPushButton* BitBtn3; // delete

    // Asks a Yes/No question; the message dialog unless replaced.
    std::function<bool(const QString&)> Confirm;
    // Reports a failed database statement (the message dialog unless replaced).
    std::function<void(const QString&)> ShowMessage;

public slots:
    void BitBtn3Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TGalaxy* m_galaxy = nullptr;
    std::vector<std::unique_ptr<TRoute>> m_routes; // by row
};
