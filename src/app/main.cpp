#include "main.h"

#include "app/mydialog.h"
#include "app/startup.h"
#include "app/toolicons.h"
#include "mapview/map.h"
#include "mapview/uMapDraw.h"
#include "mapview/uMapView.h"
#include "model/uGalaxy.h"
#include "model/uLoaders.h"
#include "routing/routePlanner.h"
#include "routing/uPermute.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QTimer>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>

#include <cstdio>

TMainForm* MainForm = nullptr;

TFatalReporter FatalReporter = [](const QString& message) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QMessageBox::critical(nullptr, QStringLiteral("QOR MAP"), message);
};

void ReportFatal(const QString& message)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    if (FatalReporter)
        FatalReporter(message);
}

namespace {

void PrintError(const QString& message)
{
    std::fprintf(stderr, "qormap: %s\n", message.toLocal8Bit().constData());
}

// A menu entry with a shortcut of its own that runs action and follows its caption and state.
QAction* MenuEntry(QAction* action, const char* name, const QKeySequence& shortcut, QObject* parent)
{
    auto* entry = new QAction(action->text(), parent);
    entry->setObjectName(QLatin1String(name));
    entry->setShortcut(shortcut);
    entry->setShortcutContext(Qt::ApplicationShortcut);
    auto follow = [entry, action] {
        entry->setText(action->text());
        entry->setStatusTip(action->statusTip());
        entry->setEnabled(action->isEnabled());
        entry->setVisible(action->isVisible());
    };
    follow();
    QObject::connect(action, &QAction::changed, entry, follow);
    QObject::connect(entry, &QAction::triggered, action, &QAction::trigger);
    return entry;
}

// Adds runs of actions to a menu or tool bar with a separator between runs.
template <class Bar>
void AddRuns(Bar* bar, std::initializer_list<QList<QAction*>> runs)
{
    bool first = true;
    for (const QList<QAction*>& run : runs) {
        if (!first)
            bar->addSeparator();
        bar->addActions(run);
        first = false;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Creation

TMainForm::TMainForm(const QString& appFolder, QWidget* parent)
    : QMainWindow(parent), AppFolder(appFolder), AppLog(QDir(appFolder).filePath(LogFileName))
{
    setObjectName(QStringLiteral("MainForm"));
    MainForm = this;
    MdiArea = new QMdiArea(this);
    MdiArea->setObjectName(QStringLiteral("MdiArea"));
    setCentralWidget(MdiArea);
    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    FormCreate();
}

TMainForm::~TMainForm()
{
    SetBusyCursor(false);
    if (MapForm)
        MapForm->SetGalaxy(nullptr);
    if (RouteForm)
        RouteForm->SetGalaxy(nullptr);
    Galaxy.reset(); // before the connections it uses
    custom.reset();
    map.reset();
    if (MainForm == this)
        MainForm = nullptr;
}

void TMainForm::FormCreate()
{
    Closing = false;
    setWindowTitle(MainCaption(GetVersionInfo(QStringLiteral("FileVersion"))));
    // Hints of every window go to status panel 2, as the application's hint event did.
    qApp->installEventFilter(this);
    SettingsPath = QDir(AppFolder).filePath(SettingsFileName);

    TStartupDatabases dbs = OpenDatabases(AppFolder);
    if (!dbs.Fatal.isEmpty()) {
        m_fatal = dbs.Fatal;
        m_fatalDetail = dbs.Detail;
        return;
    }
    map = std::move(dbs.Map);
    custom = std::move(dbs.Custom);
    m_customCreated = dbs.CustomCreated;
    // RegionCentral, the reader of data/regionCentral.xml, arrives with the region tools.
}

QAction* TMainForm::NewAction(const char* name, const QString& caption, const QString& hint, int group, bool checkable)
{
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(hint);
    action->setToolTip(hint.isEmpty() ? caption : hint);
    action->setCheckable(checkable || group != 0);
    if (group != 0)
        GroupFor(group)->addAction(action);
    addAction(action); // shortcuts work wherever the menus are
    return action;
}

QActionGroup* TMainForm::ActionGroup(int number) const
{
    for (const auto& [n, group] : m_groups)
        if (n == number)
            return group;
    return nullptr;
}

QActionGroup* TMainForm::GroupFor(int number)
{
    if (QActionGroup* group = ActionGroup(number))
        return group;
    auto* group = new QActionGroup(this);
    group->setObjectName(QStringLiteral("group%1").arg(number));
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    m_groups.emplace_back(number, group);
    return group;
}

bool TMainForm::EnableAction(const QString& name, bool enabled)
{
    QAction* action = findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
    if (!action)
        return false;
    action->setEnabled(enabled);
    return true;
}

void TMainForm::CreateActions()
{
    const bool check = true;
    acDrawJumps = NewAction("acDrawJumps", "显示跳跃", "在星图上显示所有跳跃", 0, check);
    acDrawConstBox = NewAction("acDrawConstBox", "显示星座范围", "以方框表示星座范围", 0, check);
    acShowNames = NewAction("acShowNames", "始终显示名称", "始终显示星系名称", 1);
    acSmartNames = NewAction("acSmartNames", "智能显示名称", "智能显示星系名称", 1);
    acNoNames = NewAction("acNoNames", "隐藏名称", "不显示星系名称", 1);
    acSysClrRegion = NewAction("acSysClrRegion", "星域颜色标识星系", "使用星域的颜色来标识星系", 2);
    acSysClrSec = NewAction("acSysClrSec", "安全等级标识星系颜色", "使用安全等级颜色来标识星系", 2);
    acJmpClrType = NewAction("acJmpClrType", "跳跃类型颜色来标识跳跃", "使用跳跃类型的颜色来标识跳跃", 3);
    acJmpClrSec = NewAction("acJmpClrSec", "安全等级颜色来标识跳跃", "使用安全等级颜色来标识跳跃", 3);
    acRouteZoom = NewAction("acRouteZoom", "显示全部航线", "自动缩放到全部航线", 0, check);
    acRouteNames = NewAction("acRouteNames", "显示航标", "始终显示全部航标", 0, check);
    acCursorPan = NewAction("acCursorPan", "平移星图", "使用平移鼠标", 4);
    acCursorZoom = NewAction("acCursorZoom", "选择缩放", "使用选择缩放矩形鼠标", 4);
    acZoom100 = NewAction("acZoom100", "重置星图", "重置星图为100%");
    acPreferEqual = NewAction("acPreferEqual", "最短航线", "最短航线", 6);
    acPreferHigh = NewAction("acPreferHigh", "高安全等级航线", "高安全等级航线", 6);
    acPreferLow = NewAction("acPreferLow", "低安全等级航线", "低安全等级航线", 6);
    acHotTrack = NewAction("acHotTrack", "星系选择标识", "圆形标识被选择的星系", 0, check);
    acSearchSystem = NewAction("acSearchSystem", "星系", {});
    acSearchAgent = NewAction("acSearchAgent", "代理人", {});
    acSearchStation = NewAction("acSearchStation", "空间站", {});
    acShowCharacters = NewAction("acShowCharacters", "显示人物位置", "显示人物位置", 0, check);
    acQORpath = NewAction("acQORpath", "配置QOR客户端", {});
    acZoomIN = NewAction("acZoomIN", "放大", "放大星图");
    acZoomOUT = NewAction("acZoomOUT", "缩小", "缩小星图");
    acCIRS = NewAction("acCIRS", "星域中最近的星系", "查找星域中最近的星系");
    acWindowMap2D = NewAction("acWindowMap2D", "平面星图", "显示 / 隐藏星图窗口", 0, check);
    acWindowSystem = NewAction("acWindowSystem", "星系面板", {}, 0, check);
    acWindowRoute = NewAction("acWindowRoute", "航线面板", {}, 0, check);
    acWindowDefaultLayout = NewAction("acWindowDefaultLayout", "默认版面", "窗口定位使用默认版面");
    acWindowFloat = NewAction("acWindowFloat", "浮动窗口风格", {}, 34);
    acWindowMDI = NewAction("acWindowMDI", "多文档界面风格", {}, 34);
    acSupportUs = NewAction("acSupportUs", "支持我们！", {});
    acShowRegions = NewAction("acShowRegions", "显示 / 隐藏星域", {});
    acMyStation = NewAction("acMyStation", "我的空间站", "显示我的空间站信息", 0, check);
    acGroupsSystem = NewAction("acGroupsSystem", "管理星系分组", {});
    acGroupsOffice = NewAction("acGroupsOffice", "管理空间站分组", {});
    acSystemColors = NewAction("acSystemColors", "星图颜色", "改变星图颜色");
    acCheckUpdate = NewAction("acCheckUpdate", "检查版本更新", {});
    acRegion3D = NewAction("acRegion3D", "立体星图", {});
    acRegionCentral = NewAction("acRegionCentral", "星域中央星系", {});
    acRegionHot = NewAction("acRegionHot", "星域选择标识", {}, 0, check);

    for (QAction* a : { acDrawJumps, acSmartNames, acSysClrRegion, acJmpClrType, acRouteZoom, acRouteNames,
             acCursorPan, acPreferEqual, acHotTrack, acShowCharacters, acRegionHot })
        a->setChecked(true);
    // Enabled once the loaders have read what they need.
    for (QAction* a : { acSearchSystem, acSearchAgent, acSearchStation, acCIRS, acRegion3D, acRegionCentral })
        a->setEnabled(false);
    const std::pair<QAction*, Qt::Key> keys[] = { { acCIRS, Qt::Key_F5 }, { acShowRegions, Qt::Key_F6 },
        { acRegionCentral, Qt::Key_F7 }, { acWindowMap2D, Qt::Key_F10 }, { acRegion3D, Qt::Key_F11 } };
    for (const auto& [action, key] : keys) {
        action->setShortcut(QKeySequence(key));
        action->setShortcutContext(Qt::ApplicationShortcut);
    }

    const std::pair<TOption, QAction*> options[] = { { TOption::DrawJumps, acDrawJumps },
        { TOption::DrawConstBox, acDrawConstBox }, { TOption::ShowNames, acShowNames },
        { TOption::SmartNames, acSmartNames }, { TOption::NoNames, acNoNames },
        { TOption::SysClrRegion, acSysClrRegion }, { TOption::SysClrSec, acSysClrSec },
        { TOption::JmpClrType, acJmpClrType }, { TOption::JmpClrSec, acJmpClrSec },
        { TOption::RouteZoom, acRouteZoom }, { TOption::RouteNames, acRouteNames },
        { TOption::CursorPan, acCursorPan }, { TOption::CursorZoom, acCursorZoom },
        { TOption::PreferEqual, acPreferEqual }, { TOption::PreferHigh, acPreferHigh },
        { TOption::PreferLow, acPreferLow }, { TOption::HotTrack, acHotTrack },
        { TOption::ShowCharacters, acShowCharacters }, { TOption::MyStation, acMyStation },
        { TOption::RegionHot, acRegionHot } };
    for (const auto& [option, action] : options) {
        m_options[std::size_t(option)] = action;
        connect(action, &QAction::triggered, this, [this, option = option] { OptionExecute(option); });
    }

    const std::pair<QAction*, void (TMainForm::*)()> handlers[] = {
        { acSearchSystem, &TMainForm::acSearchSystemExecute },
        { acSearchAgent, &TMainForm::acSearchAgentExecute },
        { acSearchStation, &TMainForm::acSearchStationExecute },
        { acCIRS, &TMainForm::acCIRSExecute },
        { acRegion3D, &TMainForm::acRegion3DExecute },
        { acRegionCentral, &TMainForm::acRegionCentralExecute },
        { acShowRegions, &TMainForm::acShowRegionsExecute },
        { acSystemColors, &TMainForm::acSystemColorsExecute },
        { acGroupsSystem, &TMainForm::acGroupsSystemExecute },
        { acGroupsOffice, &TMainForm::acGroupsOfficeExecute },
        { acQORpath, &TMainForm::acQORpathExecute },
        { acZoomIN, &TMainForm::acZoomINExecute },
        { acZoomOUT, &TMainForm::acZoomOUTExecute },
        { acZoom100, &TMainForm::acZoom100Execute },
        { acWindowMap2D, &TMainForm::acWindowMap2DExecute },
        { acWindowSystem, &TMainForm::acWindowSystemExecute },
        { acWindowRoute, &TMainForm::acWindowRouteExecute },
        { acWindowDefaultLayout, &TMainForm::acWindowDefaultLayoutExecute },
        { acWindowFloat, &TMainForm::acWindowFloatExecute },
        { acWindowMDI, &TMainForm::acWindowMDIExecute },
        { acSupportUs, &TMainForm::acSupportUsExecute },
        { acCheckUpdate, &TMainForm::acCheckUpdateExecute },
    };
    for (const auto& [action, handler] : handlers)
        connect(action, &QAction::triggered, this, handler);
}

void TMainForm::CreateMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [this](QMenu* parentMenu, const char* name, const QString& caption) {
        QMenu* m = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        return m;
    };

    File1 = menu(nullptr, "File1", QStringLiteral("文件"));
    exit1 = File1->addAction(QStringLiteral("退出"));
    exit1->setObjectName(QStringLiteral("exit1"));
    connect(exit1, &QAction::triggered, this, &TMainForm::exit1Click);

    Map1 = menu(nullptr, "Map1", QStringLiteral("星图"));
    Zoom1 = menu(Map1, "Zoom1", QStringLiteral("缩放"));
    Zoom1->addActions({ acZoomIN, acZoomOUT, acZoom100 });
    Map1->addSeparator();
    AddRuns(Map1,
        { { acDrawJumps, acDrawConstBox }, { acHotTrack, acRegionHot, acShowCharacters, acMyStation },
            { acShowNames, acSmartNames, acNoNames }, { acSysClrRegion, acSysClrSec }, { acJmpClrType, acJmpClrSec } });

    Route1 = menu(nullptr, "Route1", QStringLiteral("航线"));
    AddRuns(Route1, { { acRouteNames, acRouteZoom }, { acPreferEqual, acPreferHigh, acPreferLow } });

    // The menu entries carry shortcuts of their own, apart from their actions'.
    Search1 = menu(nullptr, "Search1", QStringLiteral("搜索"));
    Search1->addAction(MenuEntry(acSearchSystem, "SearchSystem1", QKeySequence(Qt::Key_F1), this));
    Search1->addAction(MenuEntry(acSearchAgent, "SearchAgent1", QKeySequence(Qt::Key_F2), this));
    Search1->addAction(MenuEntry(acSearchStation, "SearchStation1", QKeySequence(Qt::Key_F3), this));

    ools2 = menu(nullptr, "ools2", QStringLiteral("工具"));
    ools2->addAction(MenuEntry(acCIRS, "CIRS1", QKeySequence(Qt::Key_F4), this));
    ools2->addActions({ acShowRegions, acRegionCentral });

    ools1 = menu(nullptr, "ools1", QStringLiteral("设置"));
    AddRuns(ools1, { { acQORpath }, { acGroupsSystem, acGroupsOffice }, { acSystemColors } });

    Window1 = menu(nullptr, "Window1", QStringLiteral("窗口"));
    AddRuns(Window1, { { acWindowMap2D, acRegion3D, acWindowSystem, acWindowRoute }, { acWindowDefaultLayout } });
    WindowStyle1 = menu(Window1, "WindowStyle1", QStringLiteral("窗口风格"));
    WindowStyle1->addActions({ acWindowFloat, acWindowMDI });

    Help1 = menu(nullptr, "Help1", QStringLiteral("帮助"));
    Help1->addActions({ acSupportUs, acCheckUpdate });

    Debug1 = menu(nullptr, "Debug1", QStringLiteral("调试"));
    galaxysize1 = Debug1->addAction(QStringLiteral("宇宙尺寸"));
    galaxysize1->setObjectName(QStringLiteral("galaxysize1"));
    connect(galaxysize1, &QAction::triggered, this, &TMainForm::galaxysize1Click);
    Debug1->menuAction()->setVisible(false);
}

void TMainForm::CreateToolBar()
{
    ToolBar = addToolBar(QStringLiteral("ToolBar"));
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setMovable(false);
    // ImageList1: images only on the bar, captions with the images in the menus.
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setIconSize(QSize(16, 16));
    for (const QString& name : ToolIconNames())
        if (QAction* action = findChild<QAction*>(name, Qt::FindDirectChildrenOnly))
            action->setIcon(ToolIcon(name));
    AddRuns(ToolBar,
        { { acCursorPan, acCursorZoom, acHotTrack }, { acDrawJumps, acDrawConstBox },
            { acShowNames, acSmartNames, acNoNames }, { acSysClrRegion, acSysClrSec }, { acJmpClrType, acJmpClrSec },
            { acRouteZoom, acRouteNames, acShowCharacters, acMyStation },
            { acPreferEqual, acPreferHigh, acPreferLow } });

    // The security legend: the gradient box with its three labels above it.
    auto* legend = new QWidget(ToolBar);
    legend->setObjectName(QStringLiteral("SecPanel"));
    legend->setFixedSize(104, 26);
    QFont small = legend->font();
    small.setPixelSize(10);
    auto label = [&](const char* name, const QString& text, int x, Qt::Alignment align) {
        auto* l = new QLabel(text, legend);
        l->setObjectName(QLatin1String(name));
        l->setFont(small);
        l->setAlignment(align);
        l->setGeometry(x, 2, 30, 12);
        return l;
    };
    Label7 = label("Label7", QStringLiteral("0.0"), 4, Qt::AlignLeft);
    Label9 = label("Label9", QStringLiteral("0.5"), 37, Qt::AlignHCenter);
    Label8 = label("Label8", QStringLiteral("1.0"), 70, Qt::AlignRight);
    SecBox = new QWidget(legend);
    SecBox->setObjectName(QStringLiteral("SecBox"));
    SecBox->setGeometry(4, 16, 96, 7);
    SecBox->installEventFilter(this);
    ToolBar->addWidget(legend);

    ToolBar->addSeparator();
    ToolBar->addActions({ acZoom100, acZoomOUT, acZoomIN });
    ToolBar->addSeparator();
    auto* support = new QToolButton(ToolBar);
    support->setObjectName(QStringLiteral("SupportButton"));
    support->setAutoRaise(true);
    support->setToolButtonStyle(Qt::ToolButtonIconOnly);
    support->setIconSize(ToolBar->iconSize());
    support->setDefaultAction(acSupportUs);
    ToolBar->addWidget(support);
}

void TMainForm::CreateStatusBar()
{
    StatusBar = statusBar();
    StatusBar->setObjectName(QStringLiteral("StatusBar"));
    const int widths[] = { 100, 250, 50 };
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (i < 2)
            panel->setFixedWidth(widths[i]);
        else
            panel->setMinimumWidth(widths[i]);
        StatusBar->addWidget(panel, i == 2 ? 1 : 0);
        StatusPanels[std::size_t(i)] = panel;
    }
    StatusPanels[0]->setAlignment(Qt::AlignCenter);
}

// ---------------------------------------------------------------------------------------------
// Start-up

bool TMainForm::LoadSequence()
{
    if (Failed())
        return false;
    Loading = true;
    TStartupFiles created(AppFolder);
    created.SetCustomCreated(m_customCreated);
    // The log of this run replaces the previous one only once the universe has loaded.
    AppLog.Hold();

    SecBox->repaint(); // 1
    LoadSettings();    // 2
    if (DebugMenu)     // 3
        Debug1->menuAction()->setVisible(true);
    if (MapForm) // 4
        MapForm->RecreateSurface();
    try {
        // 5. The galaxy draws on the map window's surface.
        Galaxy = std::make_unique<TGalaxy>(AppFolder, MapForm ? MapForm->Surface() : nullptr);
        if (MapForm)
            MapForm->SetGalaxy(Galaxy.get());
        Galaxy->MapConnection = map->Db();
        Galaxy->CustomConnection = custom->Db();
        Galaxy->Observer.ShowStatus = [this](const QString& text) { SetStatusText(1, text); };
        Galaxy->Observer.WriteLog = [this](const QString& text) { WriteLog(text); };
        Galaxy->Observer.SetBusyCursor = [this](bool busy) { SetBusyCursor(busy); };
        Galaxy->OnOptimiseProgress = [this](int jumps) { SetStatusText(1, OptimiseProgressText(jumps)); };

        repaint(); // 6
        SecBox->repaint();

        LayoutPath = QDir(AppFolder).filePath(LayoutFileName); // 7
        if (!QFileInfo::exists(LayoutPath)) {
            showMaximized();
            repaint();
        }
        MDIStyle = TIniFile(LayoutPath).ReadBool(QStringLiteral("application"), QStringLiteral("MDIstyle"), true); // 8
        acWindowMDI->setChecked(MDIStyle);
        acWindowFloat->setChecked(!MDIStyle);

        Galaxy->Load(); // 9
        TLoaderHost host;
        host.ShowStatus = [this](const QString& text) { SetStatusText(1, text); };
        host.WriteLog = [this](const QString& text) { WriteLog(text); };
        host.EnableAction = [this](const QString& name, bool enabled) { EnableAction(name, enabled); };
        host.SetBusyCursor = [this](bool busy) { SetBusyCursor(busy); };
        host.Redraw = [this] { Redraw(); };
        StartLoaders(*Galaxy, std::move(host));
        ShowAllSystems(*Galaxy); // the first view
    } catch (const std::exception& e) {
        AbandonStart(QString::fromUtf8(e.what()));
        created.RemoveCreated();
        return false;
    }
    // Without loaders nothing else ends the load's busy cursor.
    if (Galaxy->Loaders.empty())
        SetBusyCursor(false);
    if (!AppLog.Release())
        PrintError(AppLog.LastError());

    // 10. data/regionCentral.xml is read here once the region central tables arrive.
    // 11. The show/hide regions window fills its region list here.
    // 12. In the MDI style the tool windows are MDI children; the other tool windows join
    //     as they arrive. Otherwise the main window is a tool strip with floating windows.
    if (!MDIStyle)
        setMaximumHeight(ToolBar->height() + 65);
    for (QWidget* tool : { static_cast<QWidget*>(MapForm), static_cast<QWidget*>(RouteForm) }) {
        if (!tool)
            continue;
        if (MDIStyle) {
            QMdiSubWindow* frame = MdiArea->addSubWindow(tool);
            frame->setObjectName(tool->objectName() + QStringLiteral("Frame"));
            frame->setAttribute(Qt::WA_DeleteOnClose, false); // closing hides the window
        } else {
            tool->setParent(this, Qt::Tool | Qt::WindowStaysOnTopHint);
        }
        tool->show();
    }
    // 13. Window positions from layout.cfg, or the default layout, arrive with the positioner.
    // 14. The agent search window is hidden here.
    // 15. acWindowMap2D, acWindowRoute, acWindowSystem follow their windows' states here.
    ApplyDisplayOptions(); // 16
    Redraw();
    // 17. The update check starts here when CheckUpdateAtStart is set.
    // 18. The system search window gets the galaxy and its group list here.
    // 19. The route planner gets the galaxy (whose custom connection it uses); the agent and
    //     station searches fill their criteria lists.
    if (RouteForm) {
        RouteForm->SetGalaxy(Galaxy.get());
        RouteForm->RefreshExcludeList();
    }
    // 20. LoadTrackingFiles.
    if (SplashForm) // 21
        SplashForm->close();
    // 22. StartMonitors.
    Loading = false; // 23
    return true;
}

void TMainForm::AbandonStart(const QString& message)
{
    m_fatal = message;
    m_fatalDetail.clear();
    SetBusyCursor(false);
    if (MapForm)
        MapForm->SetGalaxy(nullptr);
    if (RouteForm)
        RouteForm->SetGalaxy(nullptr);
    Galaxy.reset();
    custom.reset();
    map.reset();
    Loading = false;
}

// ---------------------------------------------------------------------------------------------
// Shutdown

void TMainForm::closeEvent(QCloseEvent* event)
{
    // The optimiser lets events run between its steps: freeing the galaxy under it would crash,
    // so the close waits until the optimisation has finished.
    if (!m_closed && RouteForm && RouteForm->Optimising()) {
        event->ignore();
        QTimer::singleShot(200, this, [this] { close(); });
        return;
    }
    if (!m_closed && !Failed()) {
        m_closed = true;
        FormClose();
    }
    event->accept();
}

void TMainForm::FormClose()
{
    // 1. The station, agent and system inspectors store their pending edits here.
    if (Galaxy) // 2
        Galaxy->ShuttingDown = true;
    Closing = true;
    // 3. SaveTrackingFiles.
    // 4. MDIStyle and the window positions go to layout.cfg here, with the positioner.
    SaveSettings(); // 5
    if (MapForm)
        MapForm->SetGalaxy(nullptr);
    if (RouteForm)
        RouteForm->SetGalaxy(nullptr);
    Galaxy.reset(); // 6
}

// ---------------------------------------------------------------------------------------------
// Settings and display options

TOptionStates TMainForm::OptionStates() const
{
    TOptionStates states;
    for (std::size_t i = 0; i < OptionCount; ++i)
        if (m_options[i]->isChecked())
            states.SetChecked(TOption(i), true);
    return states;
}

void TMainForm::SetOptionStates(const TOptionStates& states)
{
    for (std::size_t i = 0; i < OptionCount; ++i)
        if (!states.Checked(TOption(i)))
            m_options[i]->setChecked(false);
    for (std::size_t i = 0; i < OptionCount; ++i)
        if (states.Checked(TOption(i)))
            m_options[i]->setChecked(true);
}

void TMainForm::LoadSettings()
{
    TSettings settings;
    settings.Options = OptionStates();
    ::LoadSettings(TIniFile(SettingsPath), settings);
    SetOptionStates(settings.Options);
    DayLimit = settings.DayLimit;
    DebugMenu = settings.DebugMenu;
    CheckUpdateAtStart = settings.CheckUpdateAtStart;
    AntiAliasing = settings.AntiAliasing; // handed to the 3D region window once it exists
}

void TMainForm::SaveSettings()
{
    // Updating the file keeps what is not written here, the debug key among it.
    TIniFile ini(SettingsPath);
    TSettings settings;
    settings.Options = OptionStates();
    settings.DayLimit = DayLimit;
    settings.DebugMenu = DebugMenu;
    settings.CheckUpdateAtStart = CheckUpdateAtStart;
    settings.AntiAliasing = AntiAliasing;
    ::SaveSettings(ini, settings);
    QString error;
    if (!ini.SaveTo(SettingsPath, &error))
        PrintError(error);
}

void TMainForm::ApplyDisplayOptions()
{
    if (Galaxy)
        ::ApplyDisplayOptions(OptionStates(), *Galaxy);
}

void TMainForm::OptionExecute(TOption option)
{
    if (!Galaxy)
        return;
    switch (ExecuteOption(option, m_options[std::size_t(option)]->isChecked(), *Galaxy)) {
    case TOptionFollowUp::Redraw:
        Redraw();
        break;
    case TOptionFollowUp::Recalculate:
        if (RouteForm)
            RouteForm->Recalculate(true);
        break;
    case TOptionFollowUp::None:
        break;
    }
}

void TMainForm::Redraw()
{
    if (Galaxy)
        ::Redraw(*Galaxy);
}

void TMainForm::SetMapForm(TMapForm* form)
{
    MapForm = form;
    if (!form)
        return;
    form->Host.SelectSystem = [this](TSystem* system) { SelectSystem(system); };
    form->Host.StatusText = [this](const QString& text) { SetStatusText(0, text); };
    form->Host.UnhandledWheel = [this](bool up) { return up && FormMouseWheelUp(); };
    // The route planner's operations, once the planner exists.
    auto planner = [this](void (TRouteForm::*operation)(TSystem*)) {
        return [this, operation](TSystem* system) {
            if (RouteForm)
                (RouteForm->*operation)(system);
        };
    };
    form->Host.SetStart = planner(&TRouteForm::SetStart);
    form->Host.SetEnd = planner(&TRouteForm::SetEnd);
    form->Host.AddWaypoint = planner(&TRouteForm::AddWaypoint);
    form->Host.EditExclusion = planner(&TRouteForm::EditExclusion);
    form->Host.RemoveExclusion = planner(&TRouteForm::RemoveExclusion);
    // The 3D region view (ShowRegion) is bound when that window arrives.
}

void TMainForm::SetRouteForm(TRouteForm* form)
{
    RouteForm = form;
    if (!form)
        return;
    form->Host.StatusText = [this](const QString& text) { SetStatusText(1, text); };
    form->Host.RepaintMain = [this] { repaint(); };
    // The system inspector (ShowSystemProps) and the 3D view (RefreshScene) join when they arrive.
}

void TMainForm::SelectSystem(TSystem* system)
{
    if (!system)
        return;
    // The system inspector shows the system here, and once LoadComplete is set the 3D region
    // view switches to its region with the system in focus; both arrive with their windows.
}

bool TMainForm::FormMouseWheelUp()
{
    if (Galaxy && ZoomInAllowed(*Galaxy))
        ZoomAtSurfacePoint(*Galaxy, Galaxy->MousePos, 1.5);
    return true;
}

void TMainForm::wheelEvent(QWheelEvent* event)
{
    // Only the upward turn is the main window's; whole notches, as on the map.
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / 120;
    m_wheelDelta -= steps * 120;
    for (int i = 0; i < steps; ++i)
        FormMouseWheelUp();
    event->setAccepted(event->angleDelta().y() > 0);
}

// ---------------------------------------------------------------------------------------------
// Status bar, log, cursor, legend

void TMainForm::SetStatusText(int panel, const QString& text)
{
    QLabel* label = StatusPanels.at(std::size_t(panel));
    label->setText(text);
    if (panel == 1)
        label->repaint();
}

QString TMainForm::StatusText(int panel) const
{
    return StatusPanels.at(std::size_t(panel))->text();
}

void TMainForm::WriteLog(const QString& message)
{
    if (!AppLog.WriteLog(message))
        PrintError(AppLog.LastError());
}

void TMainForm::SetBusyCursor(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}

void TMainForm::PaintSecurityLegend()
{
    QPainter p(SecBox);
    QLinearGradient gradient(0, 0, 100, 0);
    gradient.setColorAt(0, QColor(255, 0, 0));
    gradient.setColorAt(1, QColor(0, 255, 0));
    p.fillRect(QRect(0, 0, 100, 32), gradient);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::StatusTip) {
        SetStatusText(2, static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    if (watched == SecBox && event->type() == QEvent::Paint) {
        PaintSecurityLegend();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Menu items and actions of later windows

void TMainForm::exit1Click()
{
    close();
}

void TMainForm::galaxysize1Click()
{
    if (Galaxy)
        ShowInfo(QStringLiteral("galaxy size: %1").arg(Galaxy->SizeEstimate()), this);
}

// Search windows.
void TMainForm::acSearchSystemExecute() { }
void TMainForm::acSearchAgentExecute() { }
void TMainForm::acSearchStationExecute() { }
// Region tools.
void TMainForm::acCIRSExecute() { }
void TMainForm::acRegion3DExecute() { }
void TMainForm::acRegionCentralExecute() { }
// Colour and region windows.
void TMainForm::acShowRegionsExecute() { }
void TMainForm::acSystemColorsExecute() { }
// Group management.
void TMainForm::acGroupsSystemExecute() { }
void TMainForm::acGroupsOfficeExecute() { }
// Client folders.
void TMainForm::acQORpathExecute() { }
// Map window: zoom about the surface centre within the action limits; the view of all systems.
void TMainForm::acZoomINExecute()
{
    if (Galaxy && ZoomInAllowed(*Galaxy))
        ZoomAtCentre(*Galaxy, 1.5);
}

void TMainForm::acZoomOUTExecute()
{
    if (Galaxy && ZoomOutAllowed(*Galaxy))
        ZoomAtCentre(*Galaxy, 0.66);
}

void TMainForm::acZoom100Execute()
{
    if (Galaxy)
        ShowAllSystems(*Galaxy);
}
// Window layout.
void TMainForm::acWindowMap2DExecute() { }
void TMainForm::acWindowSystemExecute() { }
void TMainForm::acWindowRouteExecute() { }
void TMainForm::acWindowDefaultLayoutExecute() { }
void TMainForm::acWindowFloatExecute() { }
void TMainForm::acWindowMDIExecute() { }
// Online services.
void TMainForm::acSupportUsExecute() { }
void TMainForm::acCheckUpdateExecute() { }
