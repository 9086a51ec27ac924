#include "routing/routePlanner.h"

#include "app/mydialog.h"
#include "mapview/uMapDraw.h"
#include "mapview/uMapView.h"
#include "routing/Exclude.h"
#include "routing/loadRoute.h"
#include "routing/uPermute.h"
#include "routing/uRoute.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QScopeGuard>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr double RouteZoomMargin = 0.05;

// The hourglass for the lifetime of the object.
class TBusyCursor {
public:
    TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

QVariant SystemData(TSystem* system)
{
    return QVariant::fromValue(static_cast<void*>(system));
}

QToolButton* SpeedButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& hint)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setIcon(parent->style()->standardIcon(icon));
    button->setToolTip(hint);
    button->setStatusTip(hint);
    return button;
}

QTreeWidget* ReportList(QWidget* parent, const char* name, const QStringList& columns)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setRootIsDecorated(false);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setHeaderLabels(columns);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    return list;
}

} // namespace

// ---------------------------------------------------------------- TPlanListBox

TPlanListBox::TPlanListBox(QWidget* parent)
    : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
}

void TPlanListBox::startDrag(Qt::DropActions)
{
    const QModelIndexList indexes = selectedIndexes();
    if (indexes.isEmpty())
        return;
    if (OnStartDrag)
        OnStartDrag(indexes.first().row());
    // The drop moves the entry itself; whatever the drag returns, no row is removed here.
    auto* drag = new QDrag(this);
    drag->setMimeData(model()->mimeData(indexes));
    drag->exec(Qt::MoveAction, Qt::MoveAction);
}

void TPlanListBox::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->source() == this)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TPlanListBox::dragMoveEvent(QDragMoveEvent* event)
{
    const int row = indexAt(event->position().toPoint()).row();
    if (OnDragOver && OnDragOver(event->source(), row))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TPlanListBox::dropEvent(QDropEvent* event)
{
    if (event->source() != this) {
        event->ignore();
        return;
    }
    const int row = indexAt(event->position().toPoint()).row();
    if (OnDragDrop)
        OnDragDrop(row);
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

// ---------------------------------------------------------------- TRouteForm

TRouteForm::TRouteForm(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("RouteForm"));
    setWindowTitle(QStringLiteral("航线面板"));
    resize(260, 480);

    pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    tabPlanner = new QWidget;
    tabPlanner->setObjectName(QStringLiteral("tabPlanner"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    pages->addTab(tabPlanner, QStringLiteral("航线"));
    pages->addTab(TabSheet2, QStringLiteral("排除列表"));
    pages->setCurrentWidget(tabPlanner);

    SpeedButton1
        = SpeedButton(tabPlanner, "SpeedButton1", QStyle::SP_TrashIcon, QStringLiteral("删除所有航标"));
    SpeedButton5
        = SpeedButton(tabPlanner, "SpeedButton5", QStyle::SP_DialogSaveButton, QStringLiteral("保存航线"));
    SpeedButton6
        = SpeedButton(tabPlanner, "SpeedButton6", QStyle::SP_DialogOpenButton, QStringLiteral("载入航线"));
    SpeedButton7
        = SpeedButton(tabPlanner, "SpeedButton7", QStyle::SP_BrowserReload, QStringLiteral("优化航线"));
    SpeedButton2
        = SpeedButton(tabPlanner, "SpeedButton2", QStyle::SP_MediaPlay, QStringLiteral("计算和显示航线"));
    SpeedButton3 = SpeedButton(
        tabPlanner, "SpeedButton3", QStyle::SP_FileDialogContentsView, QStringLiteral("显示航线"));
    SpeedButton4
        = SpeedButton(tabPlanner, "SpeedButton4", QStyle::SP_DialogResetButton, QStringLiteral("清除航线"));
    connect(SpeedButton1, &QToolButton::clicked, this, &TRouteForm::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TRouteForm::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &TRouteForm::SpeedButton3Click);
    connect(SpeedButton4, &QToolButton::clicked, this, &TRouteForm::SpeedButton4Click);
    connect(SpeedButton5, &QToolButton::clicked, this, &TRouteForm::SpeedButton5Click);
    connect(SpeedButton6, &QToolButton::clicked, this, &TRouteForm::SpeedButton6Click);
    connect(SpeedButton7, &QToolButton::clicked, this, &TRouteForm::SpeedButton7Click);

    planList = new TPlanListBox(tabPlanner);
    planList->setObjectName(QStringLiteral("planList"));
    planList->setContextMenuPolicy(Qt::CustomContextMenu);
    planList->OnStartDrag = [this](int index) { planListStartDrag(index); };
    planList->OnDragOver = [this](QObject* source, int row) { return planListDragOver(source, row); };
    planList->OnDragDrop = [this](int row) { planListDragDrop(row); };
    planList->installEventFilter(this);
    connect(planList, &QListWidget::itemClicked, this, &TRouteForm::planListClick);
    connect(planList, &QListWidget::itemDoubleClicked, this, &TRouteForm::planListDblClick);
    connect(planList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
        if (!m_filling)
            m_plan.SetFixed(planList->row(item), item->checkState() == Qt::Checked);
    });

    routelist = ReportList(tabPlanner, "routelist", { QStringLiteral("星系"), QStringLiteral("安全等级") });
    connect(routelist, &QTreeWidget::itemSelectionChanged, this, &TRouteForm::routelistSelectItem);
    connect(routelist, &QTreeWidget::itemDoubleClicked, this, &TRouteForm::routelistDblClick);

    excludeList = ReportList(
        TabSheet2, "excludeList", { QStringLiteral("星系"), QStringLiteral("类型"), QStringLiteral("原因") });
    excludeList->setSelectionBehavior(QAbstractItemView::SelectRows);
    excludeList->installEventFilter(this);
    connect(excludeList, &QTreeWidget::itemSelectionChanged, this, &TRouteForm::excludeListSelectItem);
    connect(excludeList, &QTreeWidget::itemDoubleClicked, this, &TRouteForm::excludeListDblClick);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Delete1 = PopupMenu1->addAction(QStringLiteral("删除"), this, &TRouteForm::Delete1Click);
    Selectonmap1
        = PopupMenu1->addAction(QStringLiteral("在地图上显示"), this, &TRouteForm::Selectonmap1Click);
    PopupMenu1->addSeparator();
    addtoexcludelist1
        = PopupMenu1->addAction(QStringLiteral("加入排除列表"), this, &TRouteForm::addtoexcludelist1Click);
    connect(planList, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { PopupMenu1->popup(planList->viewport()->mapToGlobal(pos)); });

    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName(QStringLiteral("PopupMenu2"));
    Selectonmap2
        = PopupMenu2->addAction(QStringLiteral("在地图上显示"), this, &TRouteForm::Selectonmap2Click);
    PopupMenu2->addSeparator();
    AddtoExcludelist2
        = PopupMenu2->addAction(QStringLiteral("加入排除列表"), this, &TRouteForm::AddtoExcludelist2Click);
    connect(routelist, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& pos) { PopupMenu2->popup(routelist->viewport()->mapToGlobal(pos)); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(0);
    for (QToolButton* b :
        { SpeedButton1, SpeedButton5, SpeedButton6, SpeedButton7, SpeedButton2, SpeedButton3, SpeedButton4 })
        buttons->addWidget(b);
    buttons->addStretch();
    auto* splitter = new QSplitter(Qt::Vertical, tabPlanner);
    splitter->addWidget(planList);
    splitter->addWidget(routelist);
    auto* plannerLayout = new QVBoxLayout(tabPlanner);
    plannerLayout->setContentsMargins(2, 2, 2, 2);
    plannerLayout->addLayout(buttons);
    plannerLayout->addWidget(splitter);
    auto* excludeLayout = new QVBoxLayout(TabSheet2);
    excludeLayout->setContentsMargins(2, 2, 2, 2);
    excludeLayout->addWidget(excludeList);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages);

    ExcludeForm = new TExcludeForm(this);
    LoadRouteForm = new TLoadRouteForm(this);

    ExecExclude = [](TExcludeForm& dialog) { return dialog.exec() == QDialog::Accepted; };
    AskDescription = [this](QString& text) {
        bool ok = false;
        text = QInputDialog::getText(this, QStringLiteral("save route"), QStringLiteral("description"),
            QLineEdit::Normal, QString(), &ok);
        return ok;
    };
    ExecLoadRoute = [](TLoadRouteForm& dialog) { return dialog.exec() == QDialog::Accepted; };
    ShowMessage = [this](const QString& text) { ShowInfo(text, this); };
}

TRouteForm::~TRouteForm() = default;

void TRouteForm::SetGalaxy(TGalaxy* galaxy)
{
    m_galaxy = galaxy;
    LoadRouteForm->SetGalaxy(galaxy);
}

bool TRouteForm::Guarded(const std::function<void()>& action)
{
    return RunReported(action, ShowMessage);
}

bool TRouteForm::DeferWhileOptimising(std::function<void()> command)
{
    if (!m_optimising)
        return false;
    m_deferred.push_back(std::move(command));
    return true;
}

// ---- the plan

void TRouteForm::RefreshPlanList()
{
    m_filling = true;
    const auto done = qScopeGuard([this] { m_filling = false; });
    planList->clear();
    for (const TPlanEntry& entry : m_plan.Entries()) {
        auto* item = new QListWidgetItem(entry.System ? entry.System->Name : QString(), planList);
        item->setFlags(
            Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable | Qt::ItemIsDragEnabled);
        item->setCheckState(entry.Fixed ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, SystemData(entry.System));
    }
    planList->update();
}

void TRouteForm::PlanCommand(TSystem* system, void (TPlan::*command)(TSystem*))
{
    if (!system || DeferWhileOptimising([this, system, command] { PlanCommand(system, command); }))
        return;
    (m_plan.*command)(system);
    RefreshPlanList();
    Recalculate(false);
}

void TRouteForm::SetStart(TSystem* system)
{
    PlanCommand(system, &TPlan::SetStart);
}

void TRouteForm::SetEnd(TSystem* system)
{
    PlanCommand(system, &TPlan::SetEnd);
}

void TRouteForm::AddWaypoint(TSystem* system)
{
    PlanCommand(system, &TPlan::AddWaypoint);
}

void TRouteForm::SetPlanEntries(std::vector<TPlanEntry> entries)
{
    if (DeferWhileOptimising([this, entries] { SetPlanEntries(entries); }))
        return;
    m_plan.Assign(std::move(entries));
    RefreshPlanList();
}

std::unique_ptr<TRoute> TRouteForm::BuildPlanRoute() const
{
    return ::BuildPlanRoute(m_plan);
}

void TRouteForm::LoadPlan(const TRoute& route)
{
    m_plan.Assign(PlanEntriesOf(route));
    RefreshPlanList();
    if (Host.RepaintMain)
        Host.RepaintMain();
    ShowRoute();
    if (m_galaxy && m_galaxy->RouteZoom)
        ZoomToRoute();
    else
        RedrawMap();
}

int TRouteForm::SelectedPlanIndex() const
{
    const QListWidgetItem* item = planList->currentItem();
    return item && item->isSelected() ? planList->currentRow() : -1;
}

TSystem* TRouteForm::SelectedPlanSystem() const
{
    const int index = SelectedPlanIndex();
    return index >= 0 && index < m_plan.Count() ? m_plan.At(index).System : nullptr;
}

TSystem* TRouteForm::ItemSystem(const QTreeWidgetItem* item)
{
    return item ? static_cast<TSystem*>(item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

// ---- the route

void TRouteForm::RedrawMap()
{
    if (m_galaxy)
        Redraw(*m_galaxy);
}

void TRouteForm::ZoomToRoute()
{
    if (!m_galaxy)
        return;
    const TIntRect bounds = RouteBounds(*m_galaxy);
    // A route along one line of the map has no area to zoom to; it must still be drawn.
    if (bounds.Width() > 0 && bounds.Height() > 0)
        ZoomToRect(*m_galaxy, bounds, RouteZoomMargin);
    else
        RedrawMap();
}

void TRouteForm::ShowRoute()
{
    if (!m_galaxy)
        return;
    TBusyCursor busy;
    routelist->clear();
    routelist->setUpdatesEnabled(false);
    const auto resume = qScopeGuard([this] { routelist->setUpdatesEnabled(true); });
    std::vector<TSystem*> rows;
    const std::vector<TSystem*> systems = m_plan.Systems();
    BuildCurrentRoute(*m_galaxy, systems, rows, Host.RefreshScene);
    for (TSystem* system : rows) {
        auto* item = new QTreeWidgetItem(routelist, { system->Name, SecurityText(system->Security) });
        item->setData(0, Qt::UserRole, SystemData(system));
    }
}

void TRouteForm::Recalculate(bool zoom)
{
    if (!m_galaxy || m_plan.Count() < 2)
        return;
    ShowRoute();
    if (zoom && m_galaxy->RouteZoom)
        ZoomToRoute();
    else
        RedrawMap();
}

// ---- exclusions

void TRouteForm::RefreshExcludeList()
{
    if (!m_galaxy)
        return;
    Guarded([this] {
        // Read first: after a failure the list keeps the last good state.
        std::vector<TExclusion> list = ReadExclusions(*m_galaxy);
        m_exclusions = std::move(list);
        excludeList->clear();
        for (const TExclusion& e : m_exclusions) {
            auto* item = new QTreeWidgetItem(excludeList, { e.System->Name, e.Type, e.Reason });
            item->setData(0, Qt::UserRole, SystemData(e.System));
        }
    });
}

void TRouteForm::EditExclusion(TSystem* system)
{
    if (!system || !m_galaxy)
        return;
    ExcludeForm->Setup(system->Name, ExclusionPreset(m_exclusions, system));
    if (ExecExclude && ExecExclude(*ExcludeForm)) {
        const qint32 threshold = ThresholdOf(ExcludeForm->Type());
        const QString reason = ExcludeForm->Reason();
        if (Guarded([&] { SaveExclusion(*m_galaxy, *system, threshold, reason); }))
            RefreshExcludeList();
    }
    Recalculate(false);
}

void TRouteForm::RemoveExclusion(TSystem* system)
{
    if (!system || !m_galaxy)
        return;
    Guarded([&] { DeleteExclusion(*m_galaxy, *system); });
    RefreshExcludeList();
    Recalculate(false);
}

// ---- the optimiser

void TRouteForm::SetPlanControlsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*> { planList, SpeedButton1, SpeedButton6, SpeedButton7 })
        w->setEnabled(enabled);
    Delete1->setEnabled(enabled);
}

void TRouteForm::Optimise()
{
    if (!m_galaxy || m_optimising)
        return;
    const std::unique_ptr<TRoute> plan = BuildPlanRoute();
    QPointer<TRouteForm> self(this);
    TRoute result;
    {
        TBusyCursor busy;
        m_optimising = true;
        SetPlanControlsEnabled(false);
        TOptimiseOptions options;
        options.ProcessEvents = [] { QCoreApplication::processEvents(); };
        options.OnError = [self](const QString& text) {
            if (self && self->ShowMessage)
                self->ShowMessage(text);
        };
        result = OptimisePlan(*m_galaxy, *plan, options);
        if (!self)
            return;
        m_optimising = false;
        SetPlanControlsEnabled(true);
    }
    LoadPlan(result);
    // Plan commands that came in meanwhile apply to the new order.
    std::vector<std::function<void()>> deferred;
    deferred.swap(m_deferred);
    for (const auto& command : deferred)
        command();
}

// ---- handlers

void TRouteForm::SpeedButton1Click()
{
    if (m_optimising)
        return;
    if (m_galaxy) {
        m_galaxy->Unreachable = false;
        m_galaxy->RouteList.Clear();
        RedrawMap();
    }
    m_plan.Clear();
    RefreshPlanList();
}

void TRouteForm::SpeedButton2Click()
{
    if (m_plan.Count() < 2) {
        if (ShowMessage)
            ShowMessage(QStringLiteral("please specify at least a start and finish system"));
        return;
    }
    Recalculate(true);
}

void TRouteForm::SpeedButton3Click()
{
    ZoomToRoute();
}

void TRouteForm::SpeedButton4Click()
{
    routelist->clear();
    if (m_galaxy) {
        m_galaxy->RouteList.Clear();
        RedrawMap();
    }
}

void TRouteForm::SpeedButton5Click()
{
    QString description;
    if (!AskDescription || !AskDescription(description))
        return;
    const std::unique_ptr<TRoute> route = BuildPlanRoute();
    route->Name = description;
    Guarded([&] { LoadRouteForm->SaveRoute(*route); });
}

void TRouteForm::SpeedButton6Click()
{
    if (m_optimising || !m_galaxy)
        return;
    LoadRouteForm->SetGalaxy(m_galaxy);
    if (!ExecLoadRoute || !ExecLoadRoute(*LoadRouteForm))
        return;
    if (const TRoute* route = LoadRouteForm->SelectedRoute())
        LoadPlan(*route);
}

void TRouteForm::SpeedButton7Click()
{
    if (m_optimising)
        return;
    if (Host.StatusText)
        Host.StatusText(OptimisingText());
    QElapsedTimer timer;
    timer.start();
    QPointer<TRouteForm> self(this);
    Optimise();
    if (self && Host.StatusText)
        Host.StatusText(OptimiseTimeText(timer.elapsed()));
}

void TRouteForm::planListClick()
{
    if (TSystem* system = SelectedPlanSystem(); system && Host.ShowSystemProps)
        Host.ShowSystemProps(system);
}

void TRouteForm::planListDblClick()
{
    Selectonmap1Click();
}

void TRouteForm::Selectonmap1Click()
{
    if (TSystem* system = SelectedPlanSystem(); system && m_galaxy)
        CentreOn(*m_galaxy, system);
}

void TRouteForm::Selectonmap2Click()
{
    if (TSystem* system = ItemSystem(routelist->currentItem()); system && m_galaxy)
        CentreOn(*m_galaxy, system);
}

void TRouteForm::routelistDblClick()
{
    Selectonmap2Click();
}

void TRouteForm::routelistSelectItem()
{
    const QList<QTreeWidgetItem*> selected = routelist->selectedItems();
    if (TSystem* system = selected.isEmpty() ? nullptr : ItemSystem(selected.first());
        system && Host.ShowSystemProps)
        Host.ShowSystemProps(system);
}

void TRouteForm::excludeListSelectItem()
{
    const QList<QTreeWidgetItem*> selected = excludeList->selectedItems();
    if (TSystem* system = selected.isEmpty() ? nullptr : ItemSystem(selected.first());
        system && Host.ShowSystemProps)
        Host.ShowSystemProps(system);
}

void TRouteForm::Delete1Click()
{
    const int index = SelectedPlanIndex();
    if (m_optimising || index < 0)
        return;
    m_plan.Remove(index);
    RefreshPlanList();
    Recalculate(false);
}

void TRouteForm::addtoexcludelist1Click()
{
    if (TSystem* system = SelectedPlanSystem())
        EditExclusion(system);
}

void TRouteForm::AddtoExcludelist2Click()
{
    if (TSystem* system = ItemSystem(routelist->currentItem()))
        EditExclusion(system);
}

void TRouteForm::excludeListDblClick()
{
    if (TSystem* system = ItemSystem(excludeList->currentItem()))
        EditExclusion(system);
}

bool TRouteForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (watched == planList)
            Delete1Click();
        else if (watched == excludeList)
            if (TSystem* system = ItemSystem(excludeList->currentItem()))
                RemoveExclusion(system);
    }
    return QWidget::eventFilter(watched, event);
}

// ---- drag and drop

void TRouteForm::planListStartDrag(int index)
{
    m_dragIndex = index;
}

bool TRouteForm::planListDragOver(QObject* source, int row)
{
    if (source != planList)
        return false;
    if (row >= 0)
        planList->setCurrentRow(row);
    else
        planList->clearSelection();
    return true;
}

void TRouteForm::planListDragDrop(int row)
{
    const int from = m_dragIndex;
    m_dragIndex = -1;
    if (m_optimising || row < 0 || !m_plan.Move(from, row))
        return;
    RefreshPlanList();
    planList->setCurrentRow(row);
    Recalculate(false);
}
