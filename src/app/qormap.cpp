// The entry routine: creates the windows, shows the main window, runs the load sequence and
// the message loop.
#include "app/main.h"
#include "app/settings.h"
#include "app/splash.h"
#include "mapview/map.h"
#include "mapview/uMapView.h"
#include "model/uGalaxy.h"
#include "routing/routePlanner.h"
#include "routing/uDijkstra.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

// The windows created after the main window, in this order; each window joins the list as
// it arrives: TSplashForm, TMapForm, TSearchForm, TSystemProps, TLoadRouteForm, TExcludeForm,
// TSearchAgentForm, TQORPathForm, TStationSearchForm, TCIRSform, TRouteForm,
// TAgentPropsForm, TStationPropsForm, TShowRegionForm, TmanageGroupsForm, TSystemColorForm,
// TRegion3dForm, TRegionCentralForm, TimplantUpdateForm, TreportImplantForm.
using TFormCreator = std::function<QWidget*(TMainForm&)>;
const std::vector<TFormCreator>& AutoCreateForms()
{
    static const std::vector<TFormCreator> forms = {
        [](TMainForm& main) -> QWidget* {
            auto* splash = new TSplashForm(GetVersionInfo(QStringLiteral("FileVersion")));
            splash->setObjectName(QStringLiteral("SplashForm"));
            splash->Loading = [&main] { return main.Loading; };
            main.SplashForm = splash;
            return splash;
        },
        [](TMainForm& main) -> QWidget* {
            auto* map = new TMapForm();
            main.SetMapForm(map);
            return map;
        },
        // TSearchForm, TSystemProps, TLoadRouteForm, TExcludeForm, TSearchAgentForm, TQORPathForm,
        // TStationSearchForm and TCIRSform go here as they arrive; the planner's own load-route
        // and exclude dialogs live inside it.
        [](TMainForm& main) -> QWidget* {
            auto* route = new TRouteForm();
            main.SetRouteForm(route);
            return route;
        },
    };
    return forms;
}

// Tool windows go before the main window, which they may hang from as MDI children.
void FreeForms(std::vector<QPointer<QWidget>>& forms)
{
    for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        delete it->data();
    forms.clear();
}

// Scripted runs (demo and screenshot): a route planned once loading is complete, and a picture
// of the main window.
struct TScript {
    QString From, To, Screenshot;
    int Status = 0;
};

bool LoadFinished(const TMainForm& main)
{
    const TGalaxy* g = main.Galaxy.get();
    return g && g->LoadComplete && g->Graph && !g->Graph->Suspended();
}

// The map on the left and the planner on the right of the main window's client area.
void ArrangeForPicture(TMainForm& main)
{
    main.showNormal();
    main.resize(1280, 800);
    const QRect area = main.MdiArea->viewport()->rect();
    const int side = 300;
    if (main.MapForm && qobject_cast<QMdiSubWindow*>(main.MapForm->parentWidget()))
        main.MapForm->parentWidget()->setGeometry(0, 0, area.width() - side, area.height());
    if (main.RouteForm && qobject_cast<QMdiSubWindow*>(main.RouteForm->parentWidget()))
        main.RouteForm->parentWidget()->setGeometry(area.width() - side, 0, side, area.height());
}

void Fail(TMainForm& main, TScript& script, const QString& message)
{
    std::fprintf(stderr, "qormap: %s\n", message.toLocal8Bit().constData());
    script.Status = 2;
    main.close();
}

bool PlanRoute(TMainForm& main, TScript& script)
{
    TSystem* from = main.Galaxy->SystemByName(script.From);
    TSystem* to = main.Galaxy->SystemByName(script.To);
    if (!from || !to || !main.RouteForm) {
        Fail(main, script,
            QStringLiteral("cannot plan a route from \"%1\" to \"%2\"").arg(script.From, script.To));
        return false;
    }
    main.RouteForm->SetStart(from);
    main.RouteForm->SetEnd(to);
    main.RouteForm->SpeedButton3Click(); // the map shows the whole route
    // The mouse rests on the destination: its ring, its region's outline, the status text.
    if (main.MapForm) {
        const QPoint p = Projection(*main.Galaxy).ToScreen(*to);
        main.MapForm->MouseMove(Qt::NoButton, Qt::NoModifier, p.x(), p.y());
    }
    return true;
}

// The windows take their places first, so that the route is zoomed for the final map size;
// each step lets the previous one lay out and paint.
void RunScript(TMainForm& main, TScript& script)
{
    if (!script.Screenshot.isEmpty())
        ArrangeForPicture(main);
    QTimer::singleShot(200, &main, [&main, &script] {
        if (!script.From.isEmpty() && !PlanRoute(main, script))
            return;
        if (script.Screenshot.isEmpty())
            return;
        QTimer::singleShot(300, &main, [&main, &script] {
            if (!main.grab().save(script.Screenshot)) {
                Fail(main, script, QStringLiteral("cannot write %1").arg(script.Screenshot));
                return;
            }
            main.close();
        });
    });
}

// Waits for the background loaders, then runs the script; gives up after two minutes.
void StartScript(TMainForm& main, TScript& script)
{
    auto* poll = new QTimer(&main);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, &main, [&main, &script, poll, waited] {
        if (LoadFinished(main)) {
            poll->deleteLater();
            RunScript(main, script);
        } else if ((*waited += poll->interval()) > 120000) {
            poll->deleteLater();
            Fail(main, script, QStringLiteral("the universe did not finish loading"));
        }
    });
    poll->start(50);
}

} // namespace

int main(int argc, char* argv[])
{
    // 1. Initialise the application.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qormap"));
    QApplication::setApplicationVersion(GetVersionInfo(QStringLiteral("FileVersion")));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "QOR MAP: the universe map, route planner, searches and character tracking."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption homeOption(QStringLiteral("home"),
        QStringLiteral("Application folder holding map.db, custom.db and the settings files "
                       "(default: the executable's folder)."),
        QStringLiteral("DIR"));
    const QCommandLineOption quitOption(QStringLiteral("quit-after-load"),
        QStringLiteral("Close the main window as soon as the universe has loaded, saving as at a normal "
                       "close (for scripted runs)."));
    const QCommandLineOption fromOption(QStringLiteral("route-from"),
        QStringLiteral("With --route-to: once loading is complete, plan the route between the two systems "
                       "(for scripted runs)."),
        QStringLiteral("SYSTEM"));
    const QCommandLineOption toOption(
        QStringLiteral("route-to"), QStringLiteral("See --route-from."), QStringLiteral("SYSTEM"));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
        QStringLiteral("Once loading is complete (and the route planned), save a picture of the main window "
                       "to FILE and close (for scripted runs)."),
        QStringLiteral("FILE"));
    parser.addOption(homeOption);
    parser.addOption(quitOption);
    parser.addOption(fromOption);
    parser.addOption(toOption);
    parser.addOption(screenshotOption);
    parser.process(app); // answers --help and --version, refuses unknown options
    TScript script { parser.value(fromOption), parser.value(toOption), parser.value(screenshotOption) };
    if (script.From.isEmpty() != script.To.isEmpty()) {
        std::fprintf(stderr, "qormap: --route-from and --route-to go together\n");
        return 2;
    }
    const QString appFolder = QDir(parser.isSet(homeOption) ? parser.value(homeOption)
                                                            : QCoreApplication::applicationDirPath())
                                  .absolutePath();

    // 2. Create the windows, the main window first; creating it opens the databases.
    TMainForm mainForm(appFolder);
    auto fail = [&mainForm] {
        if (!mainForm.FatalDetail().isEmpty() && mainForm.FatalDetail() != mainForm.FatalMessage())
            std::fprintf(stderr, "qormap: %s\n", mainForm.FatalDetail().toLocal8Bit().constData());
        ReportFatal(mainForm.FatalMessage());
        return 1;
    };
    if (mainForm.Failed())
        return fail();
    std::vector<QPointer<QWidget>> forms;
    for (const TFormCreator& create : AutoCreateForms())
        forms.emplace_back(create(mainForm));

    // 3. Show the main window, load, close the splash.
    mainForm.Loading = true;
    mainForm.show();
    if (!mainForm.LoadSequence()) {
        FreeForms(forms);
        return fail();
    }
    if (mainForm.SplashForm)
        mainForm.SplashForm->close();
    if (parser.isSet(quitOption))
        QTimer::singleShot(0, &mainForm, &QWidget::close);
    else if (!script.From.isEmpty() || !script.Screenshot.isEmpty())
        StartScript(mainForm, script);

    // 4. The message loop runs until the main window closes.
    const int status = QApplication::exec();
    FreeForms(forms);
    return script.Status != 0 ? script.Status : status;
}
