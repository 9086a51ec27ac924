// The route planner window on the tiny universe: the plan operations and their recalculation,
// drag and drop, the exclusion list, saving and loading a plan, and the optimise button.
#include "planfixture.h"
#include "routing/Exclude.h"
#include "routing/loadRoute.h"
#include "routing/routePlanner.h"
#include "routing/uPermute.h"
#include "routing/uRoute.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QStringList Column(const QTreeWidget* list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

QStringList RouteListNames(const TGalaxy& galaxy)
{
    QStringList names;
    for (const auto& e : galaxy.RouteList)
        names << e.Object->Name;
    return names;
}

// A planner on the tiny universe; dialogs answered by the test, messages collected.
struct Planner {
    TinyUniverse u;
    TRouteForm form;
    QStringList messages;
    QStringList status;
    QList<TSystem*> inspected;

    Planner()
    {
        form.SetGalaxy(u.galaxy.get());
        form.ShowMessage = [this](const QString& text) { messages << text; };
        form.ExecExclude = [](TExcludeForm&) { return false; };
        form.AskDescription = [](QString&) { return false; };
        form.ExecLoadRoute = [](TLoadRouteForm&) { return false; };
        form.Host.StatusText = [this](const QString& text) { status << text; };
        form.Host.ShowSystemProps = [this](TSystem* system) { inspected << system; };
        form.RefreshExcludeList();
    }
    TSystem* sys(const char* name) const { return u.sys(QString::fromUtf8(name)); }

    // "A* B C*": the plan list's texts with a star for a check mark.
    QString plan() const
    {
        QStringList parts;
        for (int i = 0; i < form.planList->count(); ++i) {
            const QListWidgetItem* item = form.planList->item(i);
            parts << item->text() + (item->checkState() == Qt::Checked ? QStringLiteral("*") : QString());
        }
        return parts.join(QLatin1Char(' '));
    }
    QStringList route() const { return Column(form.routelist, 0); }
    // Answers the exclude dialog with a type and a reason, recording what it was opened with.
    void answerExclude(TExclusionType type, const QString& reason, QStringList* opened = nullptr)
    {
        form.ExecExclude = [type, reason, opened](TExcludeForm& dialog) {
            if (opened)
                *opened << dialog.edSystem->text() + QLatin1Char('/')
                        + QString::number(dialog.edType->currentIndex()) + QLatin1Char('/')
                        + dialog.edDescription->text();
            dialog.edType->setCurrentIndex(int(type));
            dialog.edDescription->setText(reason);
            return true;
        };
    }
    // Glint to Jorvik through Brisk and Cavell.
    void glintToJorvik()
    {
        form.SetStart(sys("Glint"));
        form.SetEnd(sys("Jorvik"));
    }
};

const QStringList GlintJorvik { "Glint", "Aldera", "Brisk", "Cavell", "Jorvik" };

} // namespace

class TestRoutePlanner : public QObject {
    Q_OBJECT

private slots:
    void componentsAndHints();
    void planOperationsFillAndRecalculate();
    void checkMarksChangeThePlanOnly();
    void deletingDownToOneEntryKeepsTheRoute();
    void dragAndDropMovesTheEntry();
    void dropBelowTheLastEntryDoesNothing();
    void exclusionBlocksAndUpdates();
    void cancelledExclusionStillRecalculates();
    void blockedDestinationIsUnreachable();
    void removingAnExclusion();
    void calculateNeedsTwoEntries();
    void deleteAllAndClearRoute();
    void saveAndLoadPlan();
    void optimiseReordersAndDefersPlanCommands();
    void zoomFollowsRouteZoom();
    void selectionShowsAndCentres();
};

void TestRoutePlanner::componentsAndHints()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    const QList<std::pair<QToolButton*, QString>> hints {
        { p.form.SpeedButton1, "删除所有航标" },
        { p.form.SpeedButton5, "保存航线" },
        { p.form.SpeedButton6, "载入航线" },
        { p.form.SpeedButton7, "优化航线" },
        { p.form.SpeedButton2, "计算和显示航线" },
        { p.form.SpeedButton3, "显示航线" },
        { p.form.SpeedButton4, "清除航线" },
    };
    for (const auto& [button, hint] : hints)
        QCOMPARE(button->toolTip(), hint);
    QCOMPARE(p.form.ExcludeForm->windowTitle(), QStringLiteral("排除星系"));
    QCOMPARE(p.form.LoadRouteForm->windowTitle(), QStringLiteral("载入航线"));
    QCOMPARE(p.form.ExcludeForm->edType->itemText(0), QStringLiteral("避免"));
    QCOMPARE(p.form.ExcludeForm->edType->itemText(1), QStringLiteral("排除"));
}

void TestRoutePlanner::planOperationsFillAndRecalculate()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.form.SetStart(p.sys("Glint"));
    QCOMPARE(p.plan(), QStringLiteral("Glint*"));
    QVERIFY(p.route().isEmpty());

    p.form.SetEnd(p.sys("Jorvik"));
    QCOMPARE(p.plan(), QStringLiteral("Glint* Jorvik*"));
    QCOMPARE(p.route(), GlintJorvik);
    QCOMPARE(Column(p.form.routelist, 1), (QStringList { "0.9", "1.0", "0.9", "0.8", "0.6" }));
    QCOMPARE(RouteListNames(p.u.g()), (QStringList { "Jorvik", "Cavell", "Brisk", "Aldera", "Glint" }));

    p.form.AddWaypoint(p.sys("Esk"));
    QCOMPARE(p.plan(), QStringLiteral("Glint* Esk Jorvik*"));
    QVERIFY(p.route().contains("Esk"));
    QCOMPARE(p.route().last(), QStringLiteral("Jorvik"));

    p.form.SetStart(p.sys("Fennick"));
    QCOMPARE(p.plan(), QStringLiteral("Fennick* Glint* Esk Jorvik*"));
    QCOMPARE(p.route().first(), QStringLiteral("Fennick"));

    p.form.SetEnd(p.sys("Kell"));
    QCOMPARE(p.plan(), QStringLiteral("Fennick* Glint* Esk Jorvik* Kell*"));
    QCOMPARE(p.route().last(), QStringLiteral("Kell"));
    QCOMPARE(p.form.Plan().Count(), 5);
}

void TestRoutePlanner::checkMarksChangeThePlanOnly()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.form.AddWaypoint(p.sys("Esk"));
    p.form.SpeedButton4Click(); // clear the route: a recalculation would fill it again
    p.form.planList->item(1)->setCheckState(Qt::Checked);
    p.form.planList->item(0)->setCheckState(Qt::Unchecked);
    QCOMPARE(p.form.Plan().At(1).Fixed, true);
    QCOMPARE(p.form.Plan().At(0).Fixed, false);
    QVERIFY(p.route().isEmpty());
    const std::unique_ptr<TRoute> route = p.form.BuildPlanRoute();
    QCOMPARE(route->Entry(1)->Fixed, true);
    QCOMPARE(int(route->Entry(2)->RouteType), 1);
}

void TestRoutePlanner::deletingDownToOneEntryKeepsTheRoute()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.form.AddWaypoint(p.sys("Esk"));
    p.form.planList->setCurrentRow(1);
    p.form.Delete1Click();
    QCOMPARE(p.plan(), QStringLiteral("Glint* Jorvik*"));
    QCOMPARE(p.route(), GlintJorvik);

    // The Delete key on the list does the same; one entry left computes nothing.
    p.form.planList->setCurrentRow(1);
    QTest::keyClick(p.form.planList, Qt::Key_Delete);
    QCOMPARE(p.plan(), QStringLiteral("Glint*"));
    QCOMPARE(p.route(), GlintJorvik);
    QCOMPARE(RouteListNames(p.u.g()).size(), 5);

    // Without a selection nothing is removed.
    p.form.planList->clearSelection();
    p.form.Delete1Click();
    QCOMPARE(p.plan(), QStringLiteral("Glint*"));
}

void TestRoutePlanner::dragAndDropMovesTheEntry()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.form.AddWaypoint(p.sys("Esk"));
    p.form.AddWaypoint(p.sys("Fennick"));
    QCOMPARE(p.plan(), QStringLiteral("Glint* Esk Fennick Jorvik*"));

    p.form.planListStartDrag(2);
    QVERIFY(!p.form.planListDragOver(p.form.routelist, 1));
    QVERIFY(p.form.planListDragOver(p.form.planList, 1));
    QCOMPARE(p.form.planList->currentRow(), 1);
    QVERIFY(p.form.planListDragOver(p.form.planList, -1));
    QVERIFY(p.form.planList->selectedItems().isEmpty());
    p.form.planListDragDrop(1);
    QCOMPARE(p.plan(), QStringLiteral("Glint* Fennick Esk Jorvik*"));
    QCOMPARE(p.form.planList->currentRow(), 1);
    QCOMPARE(p.route().mid(0, 4), (QStringList { "Glint", "Aldera", "Brisk", "Fennick" }));

    // The destination dragged to the top keeps its check mark and starts the route.
    p.form.planListStartDrag(3);
    p.form.planListDragDrop(0);
    QCOMPARE(p.plan(), QStringLiteral("Jorvik* Glint* Fennick Esk"));
    QCOMPARE(p.route().first(), QStringLiteral("Jorvik"));
    QCOMPARE(p.route().last(), QStringLiteral("Esk"));
}

void TestRoutePlanner::dropBelowTheLastEntryDoesNothing()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.form.SpeedButton4Click();
    p.form.planListStartDrag(0);
    p.form.planListDragDrop(-1);
    QCOMPARE(p.plan(), QStringLiteral("Glint* Jorvik*"));
    QVERIFY(p.route().isEmpty()); // not recalculated
    // A drop without a drag start moves nothing either.
    p.form.planListDragDrop(1);
    QCOMPARE(p.plan(), QStringLiteral("Glint* Jorvik*"));
}

void TestRoutePlanner::exclusionBlocksAndUpdates()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    QStringList opened;
    p.answerExclude(TExclusionType::Block, QStringLiteral("a \"bad\" place"), &opened);
    p.form.EditExclusion(p.sys("Cavell"));
    QCOMPARE(opened, QStringList { "Cavell/0/" });
    QCOMPARE(p.u.query("select systemID, tresHold, description from systemBlocks"),
        QStringLiteral("30000003,2147483647,a 'bad' place"));
    QCOMPARE(p.sys("Cavell")->BlockThreshold, BlockedThreshold);
    QCOMPARE(Column(p.form.excludeList, 0), QStringList { "Cavell" });
    QCOMPARE(Column(p.form.excludeList, 1), QStringList { "block" });
    QCOMPARE(Column(p.form.excludeList, 2), QStringList { "a 'bad' place" });
    // The route on screen goes round at once.
    QVERIFY(!p.route().contains("Cavell"));
    QCOMPARE(p.route().last(), QStringLiteral("Jorvik"));

    // Again, from the list: the dialog opens with the stored type and reason; the row is updated.
    p.answerExclude(TExclusionType::Avoid, QStringLiteral("better now"), &opened);
    p.form.excludeList->setCurrentItem(p.form.excludeList->topLevelItem(0));
    p.form.excludeListDblClick();
    QCOMPARE(opened.last(), QStringLiteral("Cavell/1/a 'bad' place"));
    QCOMPARE(p.u.query("select systemID, tresHold, description from systemBlocks"),
        QStringLiteral("30000003,10,better now"));
    QCOMPARE(p.sys("Cavell")->BlockThreshold, AvoidedThreshold);
    QCOMPARE(Column(p.form.excludeList, 1), QStringList { "avoid" });
}

void TestRoutePlanner::cancelledExclusionStillRecalculates()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.form.SpeedButton4Click();
    QVERIFY(p.route().isEmpty());
    p.form.EditExclusion(p.sys("Brisk")); // answered with Cancel
    QCOMPARE(p.u.query("select count(1) from systemBlocks"), QStringLiteral("0"));
    QCOMPARE(p.route(), GlintJorvik);
}

void TestRoutePlanner::blockedDestinationIsUnreachable()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    QVERIFY(!p.u.g().Unreachable);
    p.answerExclude(TExclusionType::Block, QString());
    p.form.EditExclusion(p.sys("Jorvik"));
    QVERIFY(p.u.g().Unreachable);
    QVERIFY(p.route().isEmpty());
    QVERIFY(p.messages.isEmpty()); // no message box for an unreachable leg
}

void TestRoutePlanner::removingAnExclusion()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.answerExclude(TExclusionType::Block, QStringLiteral("x"));
    p.form.EditExclusion(p.sys("Cavell"));
    p.form.EditExclusion(p.sys("Esk"));
    QCOMPARE(Column(p.form.excludeList, 0), (QStringList { "Cavell", "Esk" }));

    p.form.excludeList->setCurrentItem(p.form.excludeList->topLevelItem(0));
    QTest::keyClick(p.form.excludeList, Qt::Key_Delete);
    QCOMPARE(Column(p.form.excludeList, 0), QStringList { "Esk" });
    QCOMPARE(p.u.query("select systemID from systemBlocks"), QStringLiteral("30000006"));
    QCOMPARE(p.sys("Cavell")->BlockThreshold, 1);
    QCOMPARE(p.route(), GlintJorvik);

    // A system without an exclusion: nothing changes, the route is computed again.
    p.form.SpeedButton4Click();
    p.form.RemoveExclusion(p.sys("Aldera"));
    QCOMPARE(Column(p.form.excludeList, 0), QStringList { "Esk" });
    QCOMPARE(p.route(), GlintJorvik);
}

void TestRoutePlanner::calculateNeedsTwoEntries()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.form.SetStart(p.sys("Glint"));
    p.form.SpeedButton2Click();
    QCOMPARE(p.messages, QStringList { "please specify at least a start and finish system" });
    QVERIFY(p.route().isEmpty());
    p.form.SetEnd(p.sys("Jorvik"));
    p.form.SpeedButton4Click();
    p.form.SpeedButton2Click();
    QCOMPARE(p.messages.size(), 1);
    QCOMPARE(p.route(), GlintJorvik);
}

void TestRoutePlanner::deleteAllAndClearRoute()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.u.g().Unreachable = true;
    p.form.SpeedButton1Click();
    QCOMPARE(p.form.planList->count(), 0);
    QCOMPARE(p.u.g().RouteList.Count(), 0);
    QVERIFY(!p.u.g().Unreachable);
    QCOMPARE(p.route(), GlintJorvik); // the rows stay

    p.glintToJorvik();
    p.u.g().Unreachable = true;
    p.form.SpeedButton4Click();
    QVERIFY(p.route().isEmpty());
    QCOMPARE(p.u.g().RouteList.Count(), 0);
    QVERIFY(p.u.g().Unreachable); // left as it was
    QCOMPARE(p.form.Plan().Count(), 2);
}

void TestRoutePlanner::saveAndLoadPlan()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    p.glintToJorvik();
    p.form.AddWaypoint(p.sys("Esk"));
    p.form.AskDescription = [](QString& text) {
        text = QStringLiteral("to \"Jorvik\"");
        return true;
    };
    p.form.SpeedButton5Click();
    QCOMPARE(p.u.query("select ID, entityID, description from routes"), QStringLiteral("1,0,to 'Jorvik'"));
    QCOMPARE(p.u.query("select systemID, idx, RouteType from routeSystems where routeID = 1 order by idx"),
        QStringLiteral("30000008,0,0|30000006,1,2|30000012,2,1"));

    // Cancelled input stores nothing.
    p.form.AskDescription = [](QString&) { return false; };
    p.form.SpeedButton5Click();
    QCOMPARE(p.u.query("select count(1) from routes"), QStringLiteral("1"));

    p.form.SpeedButton1Click();
    p.form.SpeedButton6Click(); // answered with Cancel
    QCOMPARE(p.form.planList->count(), 0);

    p.form.ExecLoadRoute = [](TLoadRouteForm& dialog) {
        dialog.RefreshRoutes();
        dialog.routeList->setCurrentItem(dialog.routeList->topLevelItem(0));
        return true;
    };
    p.form.SpeedButton6Click();
    QCOMPARE(p.plan(), QStringLiteral("Glint Esk Jorvik"));
    QCOMPARE(p.route().first(), QStringLiteral("Glint"));
    QCOMPARE(p.route().last(), QStringLiteral("Jorvik"));
    QVERIFY(p.route().contains("Esk"));
}

void TestRoutePlanner::optimiseReordersAndDefersPlanCommands()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    // Aldera to Cavell through Jorvik and Brisk: Brisk first saves two jumps.
    p.form.SetStart(p.sys("Aldera"));
    p.form.SetEnd(p.sys("Cavell"));
    p.form.AddWaypoint(p.sys("Jorvik"));
    p.form.AddWaypoint(p.sys("Brisk"));
    QCOMPARE(p.plan(), QStringLiteral("Aldera* Jorvik Brisk Cavell*"));

    QList<int> best;
    bool lockedDuringRun = true;
    p.u.g().OnOptimiseProgress = [&](int jumps) {
        best << jumps;
        lockedDuringRun = lockedDuringRun && p.form.Optimising() && !p.form.planList->isEnabled()
            && !p.form.SpeedButton7->isEnabled();
        if (best.size() == 1) {
            p.form.SetStart(p.sys("Glint")); // waits for the end of the run
            p.form.SpeedButton7Click(); // ignored while running
        }
    };
    p.form.SpeedButton7Click();
    QCOMPARE(best, (QList<int> { 6, 4 }));
    QVERIFY(lockedDuringRun);
    QVERIFY(!p.form.Optimising());
    QVERIFY(p.form.planList->isEnabled());
    QCOMPARE(p.plan(), QStringLiteral("Glint* Aldera* Brisk Jorvik Cavell*"));
    QCOMPARE(p.route().first(), QStringLiteral("Glint"));
    QCOMPARE(p.route().last(), QStringLiteral("Cavell"));
    QCOMPARE(p.status.size(), 2);
    QCOMPARE(p.status[0], QStringLiteral("optimizing.."));
    QVERIFY(p.status[1].startsWith(QStringLiteral("优化航线使用了")));
    QVERIFY(p.status[1].endsWith(QStringLiteral("秒")));
}

void TestRoutePlanner::zoomFollowsRouteZoom()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    TGalaxy& g = p.u.g();
    const TIntRect start { 0, 0, 1000000, 1000000 };
    g.View = start;
    g.RouteZoom = false;
    p.glintToJorvik();
    p.form.Recalculate(true);
    QCOMPARE(g.View, start);

    g.RouteZoom = true;
    p.form.Recalculate(false);
    QCOMPARE(g.View, start);
    p.form.Recalculate(true);
    QVERIFY(g.View != start);
    for (const char* name : { "Glint", "Aldera", "Brisk", "Cavell", "Jorvik" }) {
        const TSystem* s = p.sys(name);
        QVERIFY(s->MapX >= g.View.Left && s->MapX <= g.View.Right);
        QVERIFY(s->MapY >= g.View.Top && s->MapY <= g.View.Bottom);
    }

    // The show-route button zooms whatever RouteZoom says.
    g.RouteZoom = false;
    g.View = start;
    p.form.SpeedButton3Click();
    QVERIFY(g.View != start);
}

void TestRoutePlanner::selectionShowsAndCentres()
{
    Planner p;
    QVERIFY2(p.u.ok(), qPrintable(p.u.error));
    TGalaxy& g = p.u.g();
    p.glintToJorvik();
    g.View = TIntRect { 0, 0, 20000, 20000 };
    p.form.planList->setCurrentRow(1);
    p.form.planListClick();
    QCOMPARE(p.inspected, QList<TSystem*> { p.sys("Jorvik") });
    p.form.Selectonmap1Click();
    QCOMPARE((g.View.Left + g.View.Right) / 2, p.sys("Jorvik")->MapX);
    QCOMPARE((g.View.Top + g.View.Bottom) / 2, p.sys("Jorvik")->MapY);

    p.form.routelist->setCurrentItem(p.form.routelist->topLevelItem(2));
    QCOMPARE(p.inspected.last(), p.sys("Brisk"));
    p.form.routelistDblClick();
    QCOMPARE((g.View.Left + g.View.Right) / 2, p.sys("Brisk")->MapX);
}

QTEST_MAIN(TestRoutePlanner)
#include "tst_routeplanner.moc"
