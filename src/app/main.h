#pragma once
// The main window: the MDI frame with the main menu, the tool bar and the status bar; it
// opens the databases, runs the load sequence, owns the galaxy and saves the settings.
#include "app/applog.h"
#include "app/settings.h"
#include "model/uDatabase.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class QActionGroup;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;
class TGalaxy;
class TMapForm;
class TRouteForm;
class TSystem;

// Receives a fatal start-up message. The default shows a message box, except on the
// offscreen platform where nobody could answer it.
using TFatalReporter = std::function<void(const QString&)>;
extern TFatalReporter FatalReporter;
// Writes message to the error stream, then hands it to FatalReporter.
void ReportFatal(const QString& message);

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    // Runs FormCreate: opens the databases of appFolder. On failure Failed() is set and the
    // caller ends the application without showing, loading or saving anything.
    explicit TMainForm(const QString& appFolder, QWidget* parent = nullptr);
    ~TMainForm() override;

    bool Failed() const { return !m_fatal.isEmpty(); }
    // The message that ends the application, e.g. "fatal: unable to open map database".
    const QString& FatalMessage() const { return m_fatal; }
    const QString& FatalDetail() const { return m_fatalDetail; }

    // The start-up after the window is shown; false when it failed (see FatalMessage), in
    // which case the galaxy and both connections are gone and nothing has been written.
    bool LoadSequence();

    void LoadSettings();
    void SaveSettings();
    void ApplyDisplayOptions();
    TOptionStates OptionStates() const;
    void SetOptionStates(const TOptionStates& states);
    QAction* OptionAction(TOption option) const { return m_options[std::size_t(option)]; }

    // Application log VUDoza.log.
    void WriteLog(const QString& message);
    const QStringList& LogLines() const { return AppLog.Lines(); }

    // Status bar panels: 0 the system under the mouse, 1 progress, 2 the hint.
    // Panel 1 is repainted at once, so it shows during long work on the GUI thread.
    void SetStatusText(int panel, const QString& text);
    QString StatusText(int panel) const;

    void SetBusyCursor(bool busy);
    // The map's Redraw; does nothing until the galaxy exists.
    void Redraw();
    // Makes a system current: the system inspector shows it and, once loading is complete, the
    // 3D region view switches to its region. The map window and the search windows call it.
    void SelectSystem(TSystem* system);
    // The main window's wheel-up rule: zoom in about the map point under the last mouse
    // position over the map while ZoomPercent is above 2. Reports the wheel handled either way.
    bool FormMouseWheelUp();
    // The map window, created by the entry routine after the splash; binds its requests to this
    // window. The galaxy draws on its surface from the load sequence on.
    void SetMapForm(TMapForm* form);
    // The route planner, created by the entry routine; the map's route commands go to it.
    void SetRouteForm(TRouteForm* form);
    // Paints the security legend SecBox.
    void PaintSecurityLegend();

    // Components.
    QMdiArea* MdiArea = nullptr;
    QToolBar* ToolBar = nullptr;
    QStatusBar* StatusBar = nullptr;
    std::array<QLabel*, 3> StatusPanels {};
    QWidget* SecBox = nullptr;
    QLabel* Label7 = nullptr; // "0.0"
    QLabel* Label9 = nullptr; // "0.5"
    QLabel* Label8 = nullptr; // "1.0"
    QMenu *File1 = nullptr, *Map1 = nullptr, *Zoom1 = nullptr, *Route1 = nullptr, *Search1 = nullptr,
          *ools2 = nullptr, *ools1 = nullptr, *Window1 = nullptr, *WindowStyle1 = nullptr, *Help1 = nullptr,
          *Debug1 = nullptr;
    QAction *exit1 = nullptr, *galaxysize1 = nullptr;

    // ActionList1.
    QAction *acDrawJumps, *acDrawConstBox, *acShowNames, *acSmartNames, *acNoNames, *acSysClrRegion, *acSysClrSec,
        *acJmpClrType, *acJmpClrSec, *acRouteZoom, *acRouteNames, *acCursorPan, *acCursorZoom, *acZoom100,
        *acPreferEqual, *acPreferHigh, *acPreferLow, *acHotTrack, *acSearchSystem, *acSearchAgent,
        *acSearchStation, *acShowCharacters, *acQORpath, *acZoomIN, *acZoomOUT, *acCIRS, *acWindowMap2D,
        *acWindowSystem, *acWindowRoute, *acWindowDefaultLayout, *acWindowFloat, *acWindowMDI, *acSupportUs,
        *acShowRegions, *acMyStation, *acGroupsSystem, *acGroupsOffice, *acSystemColors, *acCheckUpdate,
        *acRegion3D, *acRegionCentral, *acRegionHot;
    // Enables or disables the action of that object name ("acSearchSystem", ...); the loaders
    // open the searches and the region tools this way. False when there is no such action.
    bool EnableAction(const QString& name, bool enabled);
    // Exclusive groups by their number (1, 2, 3, 4, 6, 34); nullptr for any other number.
    QActionGroup* ActionGroup(int number) const;

    // The databases: map.db and custom.db.
    std::unique_ptr<TDbConnection> map;
    std::unique_ptr<TDbConnection> custom;

    // State.
    std::unique_ptr<TGalaxy> Galaxy;
    QString AppFolder;
    QString SettingsPath;
    QString LayoutPath;
    TAppLog AppLog;
    QStringList ClientFolders;
    QStringList IgnoredCharacters; // compared without letter case
    bool MDIStyle = true;
    qint32 DayLimit = 30;
    bool DebugMenu = false;
    bool CheckUpdateAtStart = true;
    QString AntiAliasing = QStringLiteral("2x"); // kept for the 3D region window
    bool Loading = false;
    bool Closing = false;
    QPointer<QWidget> SplashForm; // closed at the end of the load sequence
    QPointer<TMapForm> MapForm;
    QPointer<TRouteForm> RouteForm;

public slots:
    void OptionExecute(TOption option);
    void exit1Click();
    void galaxysize1Click();

    // Handlers of actions whose windows arrive later; each does nothing until then.
    void acSearchSystemExecute();
    void acSearchAgentExecute();
    void acSearchStationExecute();
    void acCIRSExecute();
    void acRegion3DExecute();
    void acRegionCentralExecute();
    void acShowRegionsExecute();
    void acSystemColorsExecute();
    void acGroupsSystemExecute();
    void acGroupsOfficeExecute();
    void acQORpathExecute();
    void acZoomINExecute();
    void acZoomOUTExecute();
    void acZoom100Execute();
    void acWindowMap2DExecute();
    void acWindowSystemExecute();
    void acWindowRouteExecute();
    void acWindowDefaultLayoutExecute();
    void acWindowFloatExecute();
    void acWindowMDIExecute();
    void acSupportUsExecute();
    void acCheckUpdateExecute();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void FormCreate();
    void FormClose();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    QAction* NewAction(const char* name, const QString& caption, const QString& hint, int group = 0,
        bool checkable = false);
    QActionGroup* GroupFor(int number);
    void AbandonStart(const QString& message);

    std::array<QAction*, OptionCount> m_options {};
    std::vector<std::pair<int, QActionGroup*>> m_groups;
    QString m_fatal;
    QString m_fatalDetail;
    bool m_closed = false;
    bool m_busy = false;
    bool m_customCreated = false;
    int m_wheelDelta = 0; // eighths of a degree not yet turned into a zoom step
};

// The one main window of the process; null before it is created and after it is gone.
extern TMainForm* MainForm;
