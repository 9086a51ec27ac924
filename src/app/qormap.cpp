// The entry routine: creates the windows, shows the main window, runs the load sequence and
// the message loop.
#include "app/main.h"
#include "app/settings.h"
#include "app/splash.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <functional>
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
    parser.addOption(homeOption);
    parser.addOption(quitOption);
    parser.process(app); // answers --help and --version, refuses unknown options
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

    // 4. The message loop runs until the main window closes.
    const int status = QApplication::exec();
    FreeForms(forms);
    return status;
}
