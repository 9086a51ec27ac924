#pragma once
// The route planner window: the plan (start, waypoints, destination) with its check marks, the
// computed route, the exclusion list of avoided and blocked systems, the optimiser and the saved
// routes. Other windows drive it through SetStart, SetEnd, AddWaypoint, EditExclusion and
// RemoveExclusion; the rules live in routing/uPlan and routing/uPermute.
#include "routing/uPlan.h"

#include <QListWidget>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class TExcludeForm;
class TLoadRouteForm;

// What the planner asks of the windows around it; unset members are skipped.
struct TRouteFormHost {
    std::function<void(TSystem*)> ShowSystemProps; // the system inspector shows the system
    std::function<void()> RefreshScene; // the 3D region view shows the new route
    std::function<void(const QString&)> StatusText; // the main window's second status panel, repainted
    std::function<void()> RepaintMain; // the main window repaints
};

// The plan's list box: check marks, and drag and drop within itself, handed to the form.
class TPlanListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TPlanListBox(QWidget* parent = nullptr);

    std::function<void(int)> OnStartDrag; // index of the entry dragged
    std::function<bool(QObject*, int)> OnDragOver; // source, row under the mouse (-1: none)
    std::function<void(int)> OnDragDrop; // row under the mouse (-1: none)

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class TRouteForm : public QWidget {
    Q_OBJECT
public:
    explicit TRouteForm(QWidget* parent = nullptr);
    ~TRouteForm() override;

    // Set by the main window after loading, before RefreshExcludeList; the exclusions and saved
    // routes live on the galaxy's custom connection.
    void SetGalaxy(TGalaxy* galaxy);
    TGalaxy* Galaxy() const { return m_galaxy; }

    // ---- operations other windows call
    void SetStart(TSystem* system);
    void SetEnd(TSystem* system);
    void AddWaypoint(TSystem* system);
    void EditExclusion(TSystem* system);
    void RemoveExclusion(TSystem* system);
    void RefreshExcludeList();
    void Recalculate(bool zoom);
    void LoadPlan(const TRoute& route);
    std::unique_ptr<TRoute> BuildPlanRoute() const;
    // Reorders the plan's unchecked entries to the shortest route and loads the result.
    void Optimise();
    // Replaces the plan without calculating (the closest inter-region window fills it this way).
    void SetPlanEntries(std::vector<TPlanEntry> entries);

    const TPlan& Plan() const { return m_plan; }
    const std::vector<TExclusion>& Exclusions() const { return m_exclusions; }
    // While true the plan cannot change; plan commands from other windows wait until it ends.
    bool Optimising() const { return m_optimising; }

    TRouteFormHost Host;
    // Dialogs, replaceable for tests: each returns whether the user confirmed.
    std::function<bool(TExcludeForm&)> ExecExclude;
    std::function<bool(QString&)> AskDescription; // "save route" / "description"
    std::function<bool(TLoadRouteForm&)> ExecLoadRoute;
    // Messages and error reports (the message dialog unless replaced).
    std::function<void(const QString&)> ShowMessage;

    // Components.
    QTabWidget* pages;
    QWidget* tabPlanner;
    QWidget* TabSheet2;
    TPlanListBox* planList;
    QToolButton* SpeedButton1; // delete all waypoints
    QToolButton* SpeedButton5; // save
    QToolButton* SpeedButton6; // load
    QToolButton* SpeedButton7; // optimise
    QToolButton* SpeedButton2; // calculate and show
    QToolButton* SpeedButton3; // show route
    QToolButton* SpeedButton4; // clear route
    QTreeWidget* routelist;
    QTreeWidget* excludeList;
    QMenu* PopupMenu1;
    QAction* Delete1;
    QAction* Selectonmap1;
    QAction* addtoexcludelist1;
    QMenu* PopupMenu2;
    QAction* Selectonmap2;
    QAction* AddtoExcludelist2;
    TExcludeForm* ExcludeForm;
    TLoadRouteForm* LoadRouteForm;

public slots:
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click();
    void planListClick();
    void planListDblClick();
    void Selectonmap1Click();
    void Selectonmap2Click();
    void routelistDblClick();
    void routelistSelectItem();
    void excludeListSelectItem();
    void Delete1Click();
    void addtoexcludelist1Click();
    void AddtoExcludelist2Click();
    void excludeListDblClick();

    // Drag and drop inside planList.
    void planListStartDrag(int index);
    bool planListDragOver(QObject* source, int row);
    void planListDragDrop(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowRoute();
    void ZoomToRoute();
    void RedrawMap();
    void RefreshPlanList();
    void SetPlanControlsEnabled(bool enabled);
    // Runs a plan command now, or after the optimisation when one runs.
    bool DeferWhileOptimising(std::function<void()> command);
    // Applies a plan operation on system and recalculates.
    void PlanCommand(TSystem* system, void (TPlan::*command)(TSystem*));
    int SelectedPlanIndex() const;
    TSystem* SelectedPlanSystem() const;
    static TSystem* ItemSystem(const QTreeWidgetItem* item);
    // Runs action and reports an exception's text instead of letting it through the event loop.
    bool Guarded(const std::function<void()>& action);

    TGalaxy* m_galaxy = nullptr;
    TPlan m_plan;
    std::vector<TExclusion> m_exclusions; // the rows of excludeList
    int m_dragIndex = -1;
    bool m_filling = false;
    bool m_optimising = false;
    std::vector<std::function<void()>> m_deferred;
};
