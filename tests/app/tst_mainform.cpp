#include "app/main.h"
#include "routing/routePlanner.h"
#include "routing/uDijkstra.h"
#include "app/startup.h"
#include "model/uGalaxy.h"
#include "model/uSchema.h"
#include "qormap_version.h"
#include "testsupport.h"

#include <QActionGroup>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

namespace {

// Every file of a folder with its bytes: "writes nothing" means this does not change.
QMap<QString, QByteArray> Snapshot(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.filePath());
        files.insert(info.fileName(), file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
    }
    return files;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs statements on an SQLite file through a connection of its own, closed afterwards.
bool ExecSql(const QString& path, const QStringList& statements)
{
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_mainform_edit"));
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString& sql : statements) {
            QSqlQuery q(db);
            if (ok && !q.exec(sql)) {
                qWarning() << sql << q.lastError().text();
                ok = false;
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst_mainform_edit"));
    return ok;
}

// Tables and their columns (lower case) of an SQLite file.
QMap<QString, QStringList> TablesOf(const QString& path)
{
    QMap<QString, QStringList> tables;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tst_mainform_read"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("select name from sqlite_master where type = 'table'"));
            while (q.next())
                tables.insert(q.value(0).toString().toLower(), {});
            for (auto it = tables.begin(); it != tables.end(); ++it) {
                QSqlQuery c(db);
                c.exec(QStringLiteral("pragma table_info(\"%1\")").arg(it.key()));
                while (c.next())
                    it.value() << c.value(1).toString().toLower();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst_mainform_read"));
    return tables;
}

struct RunResult {
    int exitCode = -1;
    bool finished = false;
    QString out;
    QString err;
};

RunResult RunApp(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(QORMAP_APP), args);
    RunResult r;
    r.finished = p.waitForFinished(120000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

const QString Elapsed = QStringLiteral("\\d\\d:\\d\\d\\.\\d\\d\\d");

// The load's timing lines, oldest first.
QStringList ExpectedTimingPatterns()
{
    QStringList patterns;
    for (const char* step : { "分组", "势力", "公司", "部门", "设施", "服务", "植入体", "星域", "星座" })
        patterns << QStringLiteral("载入%1使用了%2秒").arg(QString::fromUtf8(step), Elapsed);
    patterns << QStringLiteral(" >system query took %1").arg(Elapsed)
             << QStringLiteral(" >system process took %1").arg(Elapsed)
             << QStringLiteral("载入星系使用了%1秒").arg(Elapsed);
    return patterns;
}

// Checks a VUDoza.log: time-stamped CR LF lines, newest first, whose messages, oldest first,
// are the load's timing lines.
void VerifyLoadLog(const QByteArray& bytes)
{
    QVERIFY(bytes.endsWith("\r\n"));
    QStringList lines = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
    lines.removeLast();
    const QStringList patterns = ExpectedTimingPatterns();
    QCOMPARE(lines.size(), patterns.size());
    const QRegularExpression stamp(QStringLiteral("^(\\d{8} \\d\\d:\\d\\d:\\d\\d\\.\\d{3}) (.*)$"));
    QString newer;
    for (int i = 0; i < lines.size(); ++i) {
        QVERIFY2(!lines[i].contains(QLatin1Char('\n')), qPrintable(lines[i]));
        const QRegularExpressionMatch m = stamp.match(lines[i]);
        QVERIFY2(m.hasMatch(), qPrintable(lines[i]));
        const QString pattern = QStringLiteral("^") + patterns[patterns.size() - 1 - i] + QStringLiteral("$");
        QVERIFY2(QRegularExpression(pattern).match(m.captured(2)).hasMatch(), qPrintable(lines[i]));
        if (!newer.isEmpty())
            QVERIFY2(m.captured(1) <= newer, "lines must be newest first");
        newer = m.captured(1);
    }
}

QStringList MenuTokens(const QList<QAction*>& actions, QToolBar* bar = nullptr)
{
    QStringList tokens;
    for (QAction* a : actions) {
        if (a->isSeparator())
            tokens << QStringLiteral("|");
        else if (a->menu())
            tokens << a->menu()->objectName();
        else if (bar && qobject_cast<QWidgetAction*>(a))
            tokens << bar->widgetForAction(a)->objectName(); // a widget placed on the bar
        else
            tokens << a->objectName();
    }
    return tokens;
}

// Records the text of a label each time it is painted.
class PaintRecorder : public QObject {
public:
    explicit PaintRecorder(QLabel* label) : m_label(label) { label->installEventFilter(this); }
    QStringList texts;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_label && event->type() == QEvent::Paint && !m_label->text().isEmpty()
            && (texts.isEmpty() || texts.back() != m_label->text()))
            texts << m_label->text();
        return false;
    }

private:
    QLabel* m_label;
};

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void caption();
    void actionTable_data();
    void actionTable();
    void exclusiveGroups();
    void mainMenu();
    void menuEntriesWithOwnShortcuts();
    void toolBar();
    void toolBarImages();
    void securityLegend();
    void statusBarAndHints();
    void loadAndClose();
    void settingsDriveTheStart();
    void optionHandlers();
    void openDatabases();
    void fatalInProcess_data();
    void fatalInProcess();
    void fatalRuns_data();
    void fatalRuns();
    void runCreatesMissingCustomDatabase();
    void runAddsMissingCustomTables();
    void runEndToEnd();
    void closeWaitsForTheOptimiser();
    void helpAndVersion();

private:
    QStringList m_reported;
};

void TestMainForm::initTestCase()
{
    FatalReporter = [this](const QString& message) { m_reported << message; };
    QVERIFY(QFile::exists(testsupport::fixtureDir() + "/map.db"));
}

void TestMainForm::caption()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(form.windowTitle(), QStringLiteral("QOR MAP v" QORMAP_VERSION));
    QCOMPARE(MainForm, &form);
    QCOMPARE(form.SettingsPath, QDir(home.path()).filePath(QStringLiteral("vudoza.cfg")));
    QVERIFY(!form.Failed());
    QVERIFY(!form.Closing);
    QVERIFY(qobject_cast<QMdiArea*>(form.centralWidget()));
}

void TestMainForm::actionTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<int>("group");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QKeySequence>("shortcut");
    auto row = [](const char* name, const char* text, const char* hint, int group, bool checked, bool enabled = true,
                   QKeySequence key = {}) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text) << QString::fromUtf8(hint) << group
                            << checked << enabled << key;
    };
    row("acDrawJumps", "显示跳跃", "在星图上显示所有跳跃", 0, true);
    row("acDrawConstBox", "显示星座范围", "以方框表示星座范围", 0, false);
    row("acShowNames", "始终显示名称", "始终显示星系名称", 1, false);
    row("acSmartNames", "智能显示名称", "智能显示星系名称", 1, true);
    row("acNoNames", "隐藏名称", "不显示星系名称", 1, false);
    row("acSysClrRegion", "星域颜色标识星系", "使用星域的颜色来标识星系", 2, true);
    row("acSysClrSec", "安全等级标识星系颜色", "使用安全等级颜色来标识星系", 2, false);
    row("acJmpClrType", "跳跃类型颜色来标识跳跃", "使用跳跃类型的颜色来标识跳跃", 3, true);
    row("acJmpClrSec", "安全等级颜色来标识跳跃", "使用安全等级颜色来标识跳跃", 3, false);
    row("acRouteZoom", "显示全部航线", "自动缩放到全部航线", 0, true);
    row("acRouteNames", "显示航标", "始终显示全部航标", 0, true);
    row("acCursorPan", "平移星图", "使用平移鼠标", 4, true);
    row("acCursorZoom", "选择缩放", "使用选择缩放矩形鼠标", 4, false);
    row("acZoom100", "重置星图", "重置星图为100%", 0, false);
    row("acPreferEqual", "最短航线", "最短航线", 6, true);
    row("acPreferHigh", "高安全等级航线", "高安全等级航线", 6, false);
    row("acPreferLow", "低安全等级航线", "低安全等级航线", 6, false);
    row("acHotTrack", "星系选择标识", "圆形标识被选择的星系", 0, true);
    row("acSearchSystem", "星系", "", 0, false, false);
    row("acSearchAgent", "代理人", "", 0, false, false);
    row("acSearchStation", "空间站", "", 0, false, false);
    row("acShowCharacters", "显示人物位置", "显示人物位置", 0, true);
    row("acQORpath", "配置QOR客户端", "", 0, false);
    row("acZoomIN", "放大", "放大星图", 0, false);
    row("acZoomOUT", "缩小", "缩小星图", 0, false);
    row("acCIRS", "星域中最近的星系", "查找星域中最近的星系", 0, false, false, QKeySequence(Qt::Key_F5));
    row("acWindowMap2D", "平面星图", "显示 / 隐藏星图窗口", 0, false, true, QKeySequence(Qt::Key_F10));
    row("acWindowSystem", "星系面板", "", 0, false);
    row("acWindowRoute", "航线面板", "", 0, false);
    row("acWindowDefaultLayout", "默认版面", "窗口定位使用默认版面", 0, false);
    row("acWindowFloat", "浮动窗口风格", "", 34, false);
    row("acWindowMDI", "多文档界面风格", "", 34, false);
    row("acSupportUs", "支持我们！", "", 0, false);
    row("acShowRegions", "显示 / 隐藏星域", "", 0, false, true, QKeySequence(Qt::Key_F6));
    row("acMyStation", "我的空间站", "显示我的空间站信息", 0, false);
    row("acGroupsSystem", "管理星系分组", "", 0, false);
    row("acGroupsOffice", "管理空间站分组", "", 0, false);
    row("acSystemColors", "星图颜色", "改变星图颜色", 0, false);
    row("acCheckUpdate", "检查版本更新", "", 0, false);
    row("acRegion3D", "立体星图", "", 0, false, false, QKeySequence(Qt::Key_F11));
    row("acRegionCentral", "星域中央星系", "", 0, false, false, QKeySequence(Qt::Key_F7));
    row("acRegionHot", "星域选择标识", "", 0, true);
}

void TestMainForm::actionTable()
{
    QFETCH(QString, name);
    QFETCH(int, group);
    testsupport::TempHome home;
    TMainForm form(home.path());
    auto* action = form.findChild<QAction*>(name);
    QVERIFY(action);
    QTEST(action->text(), "text");
    QTEST(action->statusTip(), "hint");
    QTEST(action->isChecked(), "checked");
    QTEST(action->isEnabled(), "enabled");
    QTEST(action->shortcut(), "shortcut");
    if (group == 0) {
        QVERIFY(!action->actionGroup());
    } else {
        QCOMPARE(action->actionGroup(), form.ActionGroup(group));
        QVERIFY(action->isCheckable());
        QVERIFY(action->actionGroup()->isExclusive());
    }
}

void TestMainForm::exclusiveGroups()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(form.ActionGroup(1)->actions(), QList<QAction*>({ form.acShowNames, form.acSmartNames, form.acNoNames }));
    QCOMPARE(form.ActionGroup(6)->actions(),
        QList<QAction*>({ form.acPreferEqual, form.acPreferHigh, form.acPreferLow }));
    QVERIFY(!form.ActionGroup(5));
    form.acNoNames->trigger();
    QVERIFY(form.acNoNames->isChecked());
    QVERIFY(!form.acSmartNames->isChecked());
    form.acNoNames->trigger(); // a checked radio item stays checked
    QVERIFY(form.acNoNames->isChecked());

    // The settings may leave a group with nothing checked.
    TOptionStates states = form.OptionStates();
    states.SetChecked(TOption::NoNames, false);
    form.SetOptionStates(states);
    QVERIFY(!form.acShowNames->isChecked() && !form.acSmartNames->isChecked() && !form.acNoNames->isChecked());
    QCOMPARE(form.OptionStates(), states);
}

void TestMainForm::mainMenu()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(MenuTokens(form.menuBar()->actions()),
        QStringList({ "File1", "Map1", "Route1", "Search1", "ools2", "ools1", "Window1", "Help1", "Debug1" }));
    QStringList titles;
    for (QAction* a : form.menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, QStringList({ "文件", "星图", "航线", "搜索", "工具", "设置", "窗口", "帮助", "调试" }));
    QCOMPARE(MenuTokens(form.File1->actions()), QStringList({ "exit1" }));
    QCOMPARE(form.exit1->text(), QStringLiteral("退出"));
    QCOMPARE(MenuTokens(form.Map1->actions()),
        QStringList({ "Zoom1", "|", "acDrawJumps", "acDrawConstBox", "|", "acHotTrack", "acRegionHot",
            "acShowCharacters", "acMyStation", "|", "acShowNames", "acSmartNames", "acNoNames", "|", "acSysClrRegion",
            "acSysClrSec", "|", "acJmpClrType", "acJmpClrSec" }));
    QCOMPARE(form.Zoom1->title(), QStringLiteral("缩放"));
    QCOMPARE(MenuTokens(form.Zoom1->actions()), QStringList({ "acZoomIN", "acZoomOUT", "acZoom100" }));
    QCOMPARE(MenuTokens(form.Route1->actions()),
        QStringList({ "acRouteNames", "acRouteZoom", "|", "acPreferEqual", "acPreferHigh", "acPreferLow" }));
    QCOMPARE(MenuTokens(form.ools1->actions()),
        QStringList({ "acQORpath", "|", "acGroupsSystem", "acGroupsOffice", "|", "acSystemColors" }));
    QCOMPARE(MenuTokens(form.Window1->actions()),
        QStringList({ "acWindowMap2D", "acRegion3D", "acWindowSystem", "acWindowRoute", "|", "acWindowDefaultLayout",
            "WindowStyle1" }));
    QCOMPARE(form.WindowStyle1->title(), QStringLiteral("窗口风格"));
    QCOMPARE(MenuTokens(form.WindowStyle1->actions()), QStringList({ "acWindowFloat", "acWindowMDI" }));
    QCOMPARE(MenuTokens(form.Help1->actions()), QStringList({ "acSupportUs", "acCheckUpdate" }));
    QCOMPARE(MenuTokens(form.Debug1->actions()), QStringList({ "galaxysize1" }));
    QCOMPARE(form.galaxysize1->text(), QStringLiteral("宇宙尺寸"));
    QVERIFY(!form.Debug1->menuAction()->isVisible());
}

void TestMainForm::menuEntriesWithOwnShortcuts()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    const QList<QAction*> search = form.Search1->actions();
    QCOMPARE(search.size(), 3);
    const QList<QAction*> targets = { form.acSearchSystem, form.acSearchAgent, form.acSearchStation };
    const Qt::Key keys[] = { Qt::Key_F1, Qt::Key_F2, Qt::Key_F3 };
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(search[i]->text(), targets[i]->text());
        QCOMPARE(search[i]->shortcut(), QKeySequence(keys[i]));
        QVERIFY(!search[i]->isEnabled()); // follows its disabled action
        targets[i]->setEnabled(true);
        QVERIFY(search[i]->isEnabled());
        QSignalSpy spy(targets[i], &QAction::triggered);
        search[i]->trigger();
        QCOMPARE(spy.count(), 1);
    }
    QVERIFY(form.EnableAction(QStringLiteral("acCIRS"), false));
    QVERIFY(!form.ools2->actions().value(0)->isEnabled());
    QVERIFY(form.EnableAction(QStringLiteral("acCIRS"), true));
    QVERIFY(!form.EnableAction(QStringLiteral("acNoSuchAction"), true));
    const QList<QAction*> tools = form.ools2->actions();
    QVERIFY(tools[0]->isEnabled());
    QCOMPARE(tools.size(), 3);
    QCOMPARE(tools[0]->text(), form.acCIRS->text());
    QCOMPARE(tools[0]->shortcut(), QKeySequence(Qt::Key_F4));
    QCOMPARE(form.acCIRS->shortcut(), QKeySequence(Qt::Key_F5));
    QCOMPARE(tools[1], form.acShowRegions);
    QCOMPARE(tools[2], form.acRegionCentral);
    QSignalSpy spy(form.acCIRS, &QAction::triggered);
    tools[0]->trigger();
    QCOMPARE(spy.count(), 1);
}

void TestMainForm::toolBar()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(MenuTokens(form.ToolBar->actions(), form.ToolBar),
        QStringList({ "acCursorPan", "acCursorZoom", "acHotTrack", "|", "acDrawJumps", "acDrawConstBox", "|",
            "acShowNames", "acSmartNames", "acNoNames", "|", "acSysClrRegion", "acSysClrSec", "|", "acJmpClrType",
            "acJmpClrSec", "|", "acRouteZoom", "acRouteNames", "acShowCharacters", "acMyStation", "|", "acPreferEqual",
            "acPreferHigh", "acPreferLow", "SecPanel", "|", "acZoom100", "acZoomOUT", "acZoomIN", "|",
            "SupportButton" }));
    auto* support = form.findChild<QToolButton*>(QStringLiteral("SupportButton"));
    QVERIFY(support);
    QCOMPARE(support->defaultAction(), form.acSupportUs);
    QVERIFY(support->autoRaise());
    // Buttons show the hint, or the caption where there is none.
    QCOMPARE(form.acDrawJumps->toolTip(), QStringLiteral("在星图上显示所有跳跃"));
    QCOMPARE(form.acSupportUs->toolTip(), QStringLiteral("支持我们！"));
}

void TestMainForm::toolBarImages()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(form.ToolBar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    // The actions of the bar with their buttons, the support button's included.
    QList<std::pair<QAction*, QToolButton*>> buttons;
    for (QAction* a : form.ToolBar->actions()) {
        auto* button = qobject_cast<QToolButton*>(form.ToolBar->widgetForAction(a));
        if (button)
            buttons.append({ button->defaultAction(), button });
    }
    QCOMPARE(buttons.size(), 23);
    QCOMPARE(buttons.last().first, form.acSupportUs);
    QList<QImage> images;
    for (const auto& [action, button] : buttons) {
        const QByteArray name = action->objectName().toLatin1();
        QVERIFY2(!action->icon().isNull(), name.constData());
        QVERIFY2(action->icon().availableSizes().contains(QSize(32, 32)), name.constData());
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(button->iconSize(), QSize(16, 16));
        const QImage image = action->icon().pixmap(QSize(16, 16)).toImage();
        QCOMPARE(image.size(), QSize(16, 16));
        int inked = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                inked += qAlpha(image.pixel(x, y)) > 128;
        QVERIFY2(inked >= 20, name.constData()); // a picture, not a speck
        QVERIFY2(!images.contains(image), name.constData()); // each action its own picture
        images << image;
    }

    // At 1024 pixels the whole bar fits in one row: nothing goes behind the overflow button.
    form.resize(1024, 700);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.width(), 1024);
    const QRect bar = form.ToolBar->rect();
    for (const auto& [action, button] : buttons) {
        QVERIFY2(button->isVisible(), qPrintable(action->objectName()));
        QVERIFY2(bar.contains(button->geometry()), qPrintable(action->objectName()));
        QCOMPARE(button->y(), buttons.first().second->y());
    }
    QWidget* legend = form.SecBox->parentWidget();
    QVERIFY(legend->isVisible());
    QVERIFY(bar.contains(legend->geometry()));
    for (QWidget* w : { form.SecBox, static_cast<QWidget*>(form.Label7), static_cast<QWidget*>(form.Label9),
             static_cast<QWidget*>(form.Label8) })
        QVERIFY2(w->isVisible(), qPrintable(w->objectName()));
    form.close();
}

void TestMainForm::securityLegend()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(form.SecBox->size(), QSize(96, 7));
    QCOMPARE(form.Label7->text(), QStringLiteral("0.0"));
    QCOMPARE(form.Label9->text(), QStringLiteral("0.5"));
    QCOMPARE(form.Label8->text(), QStringLiteral("1.0"));
    for (QLabel* label : { form.Label7, form.Label9, form.Label8 }) {
        QCOMPARE(label->parentWidget(), form.SecBox->parentWidget());
        QVERIFY(label->geometry().bottom() < form.SecBox->geometry().top());
    }
    QVERIFY(form.Label7->x() < form.Label9->x() && form.Label9->x() < form.Label8->x());
    const QImage image = form.SecBox->grab().toImage();
    const QColor left = image.pixelColor(0, 3);
    const QColor right = image.pixelColor(95, 3);
    QVERIFY2(left.red() > 240 && left.green() < 15, qPrintable(left.name()));
    QVERIFY2(right.green() > 230 && right.red() < 25, qPrintable(right.name()));
}

void TestMainForm::statusBarAndHints()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    QCOMPARE(form.StatusPanels[0]->width(), 100);
    QCOMPARE(form.StatusPanels[1]->width(), 250);
    QVERIFY(form.StatusPanels[2]->minimumWidth() >= 50);
    QCOMPARE(form.StatusPanels[0]->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    for (QLabel* panel : form.StatusPanels)
        QCOMPARE(panel->parentWidget(), form.statusBar());

    form.acDrawJumps->showStatusText(form.ToolBar);
    QCOMPARE(form.StatusText(2), QStringLiteral("在星图上显示所有跳跃"));
    QVERIFY(form.statusBar()->currentMessage().isEmpty()); // the panels stay in view
    QWidget other; // hints of any window reach the panel
    QStatusTipEvent tip(QStringLiteral("x"));
    QCoreApplication::sendEvent(&other, &tip);
    QCOMPARE(form.StatusText(2), QStringLiteral("x"));
    form.SetStatusText(0, QStringLiteral("Aldera"));
    QCOMPARE(form.StatusText(0), QStringLiteral("Aldera"));
}

void TestMainForm::loadAndClose()
{
    testsupport::TempHome home;
    const QString vudoza = home.file(QStringLiteral("vudoza.cfg"));
    const QString log = home.file(QStringLiteral("VUDoza.log"));
    TMainForm form(home.path());
    QVERIFY(!form.Failed());
    form.Loading = true;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    PaintRecorder panel1(form.StatusPanels[1]);
    QVERIFY(form.LoadSequence());
    QVERIFY(!form.Loading);
    QVERIFY(form.Galaxy);
    QVERIFY(form.Galaxy->SystemCount > 0);
    // Each status text was painted as its step began, in the order of the steps.
    QCOMPARE(panel1.texts,
        QStringList({ "载入分组..", "载入势力..", "载入公司..", "载入部门..", "载入设施..", "载入服务..", "载入植入体..",
            "载入星域..", "载入星座..", "载入星系..", "工作中.." }));
    QCOMPARE(form.LayoutPath, home.file(QStringLiteral("layout.cfg")));
    QVERIFY(form.isMaximized()); // no layout.cfg yet
    QVERIFY(form.acWindowMDI->isChecked());
    QTRY_VERIFY(!QGuiApplication::overrideCursor()); // ended by the jump loader's completion
    QCOMPARE(form.LogLines().size(), ExpectedTimingPatterns().size());
    QVERIFY(!QFile::exists(vudoza));

    form.close();
    QVERIFY(form.Closing);
    QVERIFY(!form.Galaxy);
    TIniFile expected;
    TSettings defaults;
    ::LoadSettings(TIniFile(), defaults);
    ::SaveSettings(expected, defaults);
    QCOMPARE(ReadAll(vudoza), expected.ToText());
    QVERIFY(ReadAll(vudoza).startsWith("[fileScan]\r\nlimitDays=30\r\n\r\n[buttons]\r\nDrawJumps=0\r\n"));
    VerifyLoadLog(ReadAll(log));
    QVERIFY(!QFile::exists(home.file(QStringLiteral("layout.cfg"))));
    QVERIFY(m_reported.isEmpty());
}

void TestMainForm::settingsDriveTheStart()
{
    testsupport::TempHome home;
    const QString vudoza = home.file(QStringLiteral("vudoza.cfg"));
    QVERIFY(WriteAll(vudoza,
        "[debug]\r\ndebug=1\r\n"
        "[fileScan]\r\nlimitDays=0x0A\r\n"
        "[buttons]\r\nDrawJumps=1\r\nShowNames=1\r\nSmartNames=0\r\nSysClrRegion=0\r\nPreferEqual=0\r\nPreferLow=1\r\n"
        "CursorPan=0\r\nRegionHotTrack=0\r\n"
        "[OpenGL]\r\nAntiAliasing=4x\r\n"
        "[application]\r\nCheckForUpdateStartup=0\r\n"));
    QVERIFY(WriteAll(home.file(QStringLiteral("layout.cfg")), "[application]\r\nMDIstyle=0\r\n"));
    TMainForm form(home.path());
    form.show();
    QVERIFY(form.LoadSequence());
    QCOMPARE(form.DayLimit, 10);
    QVERIFY(form.DebugMenu);
    QVERIFY(form.Debug1->menuAction()->isVisible());
    QVERIFY(!form.CheckUpdateAtStart);
    QCOMPARE(form.AntiAliasing, QStringLiteral("4x"));
    QVERIFY(form.acShowNames->isChecked() && !form.acSmartNames->isChecked());
    QVERIFY(form.acSysClrSec->isChecked() && !form.acSysClrRegion->isChecked());
    QVERIFY(form.acPreferLow->isChecked() && !form.acPreferEqual->isChecked());
    QVERIFY(!form.acCursorPan->isChecked());
    QVERIFY(!form.MDIStyle);
    QVERIFY(form.acWindowFloat->isChecked() && !form.acWindowMDI->isChecked());
    QVERIFY(!form.isMaximized()); // layout.cfg exists
    QCOMPARE(form.maximumHeight(), form.ToolBar->height() + 65);
    const TGalaxy& g = *form.Galaxy;
    QVERIFY(g.DrawJumps);
    QVERIFY(g.AlwaysNames);
    QCOMPARE(int(g.SystemColourMode), 2);
    QCOMPARE(int(g.SecurityPreference), 1);
    QVERIFY(g.ZoomRectMode);
    QVERIFY(!g.RegionHotTrack);

    form.close();
    const QByteArray written = ReadAll(vudoza);
    QVERIFY(written.startsWith("[debug]\r\ndebug=1\r\n[fileScan]\r\nlimitDays=10\r\n[buttons]\r\nDrawJumps=1\r\n"));
    QCOMPARE(written.count("debug="), 1);
    for (const char* line : { "\r\nShowNames=1\r\n", "\r\nSmartNames=0\r\n", "\r\nSysClrRegion=0\r\n",
             "\r\nPreferLow=1\r\n", "\r\nCursorPan=0\r\n", "\r\nAntiAliasing=4x\r\n", "\r\nCheckForUpdateStartup=0\r\n",
             "\r\nRegionHotTrack=0\r\n", "\r\nJmpClrType=1\r\n" })
        QVERIFY2(written.contains(line), line);
}

void TestMainForm::optionHandlers()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    form.show();
    QVERIFY(form.LoadSequence());
    TGalaxy& g = *form.Galaxy;
    form.acSysClrSec->trigger();
    QCOMPARE(int(g.SystemColourMode), 2);
    form.acJmpClrSec->trigger();
    QCOMPARE(int(g.JumpColourMode), 2);
    form.acNoNames->trigger();
    QVERIFY(!g.AlwaysNames && !g.SmartNames);
    form.acShowNames->trigger();
    QVERIFY(g.AlwaysNames);
    form.acPreferHigh->trigger();
    QCOMPARE(int(g.SecurityPreference), 0);
    QVERIFY(!g.DrawJumps);
    form.acDrawJumps->trigger();
    QVERIFY(g.DrawJumps && form.acDrawJumps->isChecked());
    form.acCursorZoom->trigger();
    QVERIFY(g.ZoomRectMode);
    form.acRouteZoom->trigger();
    QVERIFY(!g.RouteZoom);
    form.close();
    const QByteArray written = ReadAll(home.file(QStringLiteral("vudoza.cfg")));
    for (const char* line : { "\r\nDrawJumps=1\r\n", "\r\nSysClrRegion=0\r\n", "\r\nPreferHigh=1\r\n",
             "\r\nShowNames=1\r\n", "\r\nCursorPan=0\r\n", "\r\nRouteZoom=0\r\n", "\r\nJmpClrType=0\r\n" })
        QVERIFY2(written.contains(line), line);
}

void TestMainForm::openDatabases()
{
    testsupport::TempHome home(true, false);
    {
        TStartupDatabases dbs = OpenDatabases(home.path());
        QVERIFY2(dbs.Fatal.isEmpty(), qPrintable(dbs.Detail));
        QVERIFY(dbs.Map && dbs.Custom);
        QVERIFY(dbs.CustomCreated);
    }
    TStartupDatabases again = OpenDatabases(home.path());
    QVERIFY(again.Fatal.isEmpty());
    QVERIFY(!again.CustomCreated);

    // A custom.db that cannot take the schema is removed again when this start made it.
    testsupport::TempHome readOnly(true, false);
    QFile::setPermissions(readOnly.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    const QString probe = readOnly.file(QStringLiteral("probe"));
    if (QFile(probe).open(QIODevice::WriteOnly)) {
        QFile::setPermissions(readOnly.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QSKIP("the folder stays writable (running as root)");
    }
    TStartupDatabases denied = OpenDatabases(readOnly.path());
    QFile::setPermissions(readOnly.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(denied.Fatal, FatalCustomDatabase);
    QVERIFY(!denied.Map && !denied.Custom);
    QVERIFY(!QFile::exists(readOnly.file(CustomDatabaseName)));
}

void TestMainForm::fatalInProcess_data()
{
    QTest::addColumn<bool>("withMap");
    QTest::addColumn<QByteArray>("mapBytes");
    QTest::addColumn<QByteArray>("customBytes");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing map") << false << QByteArray() << QByteArray() << FatalMapDatabase;
    QTest::newRow("map not SQLite") << true << QByteArray("plain text, not a database\n") << QByteArray()
                                    << FatalMapDatabase;
    QTest::newRow("custom not a database")
        << true << QByteArray() << QByteArray(4096, '\x5a') << FatalCustomDatabase;
}

void TestMainForm::fatalInProcess()
{
    QFETCH(bool, withMap);
    QFETCH(QByteArray, mapBytes);
    QFETCH(QByteArray, customBytes);
    testsupport::TempHome home(withMap, true);
    if (!mapBytes.isEmpty())
        QVERIFY(WriteAll(home.file(MapDatabaseName), mapBytes));
    if (!customBytes.isEmpty())
        QVERIFY(WriteAll(home.file(CustomDatabaseName), customBytes));
    const auto before = Snapshot(home.path());
    {
        TMainForm form(home.path());
        QVERIFY(form.Failed());
        QTEST(form.FatalMessage(), "message");
        QVERIFY(!form.map && !form.custom);
        QVERIFY(!form.LoadSequence());
        form.close();
        QVERIFY(!form.Closing);
    }
    QCOMPARE(Snapshot(home.path()), before);
}

void TestMainForm::fatalRuns_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("missing map.db") << "missing map" << FatalMapDatabase;
    QTest::newRow("map.db not SQLite") << "text map" << FatalMapDatabase;
    QTest::newRow("map.db unreadable") << "unreadable map" << FatalMapDatabase;
    QTest::newRow("map.db a folder") << "folder map" << FatalMapDatabase;
    QTest::newRow("custom.db not a database") << "text custom" << FatalCustomDatabase;
    QTest::newRow("map.db lacks a column") << "drop column" << "map database: missing solarSystems.luminosity";
    QTest::newRow("map.db lacks a table") << "drop table" << "map database: missing factions";
    QTest::newRow("system in a missing region") << "orphan region" << "refers to region 10999999";
    QTest::newRow("system in a missing constellation")
        << "orphan constellation" << "refers to constellation 20999999";
}

void TestMainForm::fatalRuns()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    testsupport::TempHome home(kind != "missing map", true);
    const QString mapPath = home.file(MapDatabaseName);
    const QString firstSystem = QStringLiteral("(select min(solarSystemID) from solarSystems)");
    if (kind == "text map") {
        QVERIFY(WriteAll(mapPath, "not a database"));
    } else if (kind == "unreadable map") {
        QFile::setPermissions(mapPath, QFileDevice::Permissions());
        if (QFile(mapPath).open(QIODevice::ReadOnly))
            QSKIP("permissions do not apply (running as root)");
    } else if (kind == "folder map") {
        QVERIFY(QFile::remove(mapPath));
        QVERIFY(QDir(home.path()).mkdir(MapDatabaseName));
    } else if (kind == "text custom") {
        QVERIFY(WriteAll(home.file(CustomDatabaseName), QByteArray("SQLite format 2\0garbage", 23)));
    } else if (kind == "drop column") {
        QVERIFY(ExecSql(mapPath, { "alter table solarSystems drop column luminosity" }));
    } else if (kind == "drop table") {
        QVERIFY(ExecSql(mapPath, { "drop table factions" }));
    } else if (kind == "orphan region") {
        QVERIFY(ExecSql(mapPath, { "update solarSystems set regionID = 10999999 where solarSystemID = " + firstSystem }));
    } else if (kind == "orphan constellation") {
        QVERIFY(ExecSql(
            mapPath, { "update solarSystems set constellationID = 20999999 where solarSystemID = " + firstSystem }));
    }
    const auto before = Snapshot(home.path());

    const RunResult r = RunApp({ QStringLiteral("--home"), home.path(), QStringLiteral("--quit-after-load") });
    QFile::setPermissions(mapPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QVERIFY(r.finished);
    QVERIFY2(r.exitCode > 0, qPrintable(r.err));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(Snapshot(home.path()), before);
}

void TestMainForm::runCreatesMissingCustomDatabase()
{
    testsupport::TempHome home(true, false);
    const RunResult r = RunApp({ QStringLiteral("--home"), home.path(), QStringLiteral("--quit-after-load") });
    QVERIFY(r.finished);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const auto tables = TablesOf(home.file(CustomDatabaseName));
    for (const schema::TableSpec& table : schema::customTables()) {
        QVERIFY2(tables.contains(table.name.toLower()), qPrintable(table.name));
        for (const QString& column : table.columns)
            QVERIFY2(tables.value(table.name.toLower()).contains(column.toLower()), qPrintable(table.name + "." + column));
    }
    QVERIFY(QFile::exists(home.file(QStringLiteral("vudoza.cfg"))));
    QVERIFY(QFile::exists(home.file(QStringLiteral("VUDoza.log"))));
}

void TestMainForm::runAddsMissingCustomTables()
{
    testsupport::TempHome home(true, false);
    const QString customPath = home.file(CustomDatabaseName);
    const schema::TableSpec& first = schema::customTables().front();
    QVERIFY(ExecSql(customPath,
        { "create table keepme (a text)", "insert into keepme values ('still here')",
            schema::customCreateStatements().front() }));
    const RunResult r = RunApp({ QStringLiteral("--home"), home.path(), QStringLiteral("--quit-after-load") });
    QVERIFY(r.finished);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const auto tables = TablesOf(customPath);
    QCOMPARE(tables.size(), schema::customTables().size() + 1);
    QVERIFY(tables.contains(first.name.toLower()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("keep"));
    db.setDatabaseName(customPath);
    QVERIFY(db.open());
    {
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("select a from keepme")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("still here"));
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("keep"));
}

void TestMainForm::runEndToEnd()
{
    testsupport::TempHome home;
    const RunResult r = RunApp({ QStringLiteral("--home"), home.path(), QStringLiteral("--quit-after-load") });
    QVERIFY(r.finished);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(ReadAll(home.file(QStringLiteral("vudoza.cfg"))).startsWith("[fileScan]\r\nlimitDays=30\r\n"));
    VerifyLoadLog(ReadAll(home.file(QStringLiteral("VUDoza.log"))));
}

void TestMainForm::helpAndVersion()
{
    const RunResult version = RunApp({ QStringLiteral("--version") });
    QVERIFY(version.finished);
    QCOMPARE(version.exitCode, 0);
    QVERIFY2(version.out.contains(QStringLiteral(QORMAP_VERSION)), qPrintable(version.out));
    const RunResult help = RunApp({ QStringLiteral("--help") });
    QCOMPARE(help.exitCode, 0);
    for (const char* option : { "--home", "--quit-after-load", "--version" })
        QVERIFY2(help.out.contains(QLatin1String(option)), qPrintable(help.out));
    const RunResult wrong = RunApp({ QStringLiteral("--no-such-option") });
    QVERIFY(wrong.exitCode > 0);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"

void TestMainForm::closeWaitsForTheOptimiser()
{
    testsupport::TempHome home;
    TMainForm form(home.path());
    TRouteForm planner;
    QStringList messages;
    planner.ShowMessage = [&messages](const QString& text) { messages << text; };
    form.SetRouteForm(&planner);
    form.Loading = true;
    form.show();
    QVERIFY(form.LoadSequence());
    // Routing opens once both loaders are done, whichever ends last.
    QTRY_VERIFY(form.Galaxy->LoadComplete && !form.Galaxy->Graph->Suspended());
    TGalaxy& galaxy = *form.Galaxy;
    planner.SetStart(galaxy.SystemByName(QStringLiteral("Aldera")));
    for (const char* name : { "Galloway", "Hestra", "Mirth" })
        planner.AddWaypoint(galaxy.SystemByName(QString::fromLatin1(name)));
    planner.SetEnd(galaxy.SystemByName(QStringLiteral("Tarn")));
    QCOMPARE(planner.Plan().Count(), 5);

    // A close arriving while the optimiser lets events run must not free the galaxy under it.
    bool closeTried = false;
    bool galaxyAliveAfterClose = false;
    const auto progress = galaxy.OnOptimiseProgress;
    galaxy.OnOptimiseProgress = [&](int jumps) {
        progress(jumps);
        if (!closeTried) {
            closeTried = true;
            form.close();
            galaxyAliveAfterClose = form.Galaxy != nullptr;
        }
    };
    planner.Optimise();
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join('\n')));
    QVERIFY(closeTried);
    QVERIFY(galaxyAliveAfterClose);
    QVERIFY(!planner.Optimising());
    QTRY_VERIFY(form.Closing); // the postponed close goes through afterwards
    QVERIFY(!form.Galaxy);
    QVERIFY(QFile::exists(home.file(QStringLiteral("vudoza.cfg"))));
    form.SetRouteForm(nullptr);
}
