// The saved routes window on the tiny universe: storing plans, listing them with their ends,
// loading them back unchecked, deleting with confirmation, and rows the model cannot resolve.
#include "planfixture.h"
#include "routing/loadRoute.h"
#include "routing/uPlan.h"

#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {

// A plan of the named systems, all checked: the marks must not survive saving.
TPlan PlanOf(const TinyUniverse& u, const QStringList& names)
{
    TPlan plan;
    for (const QString& name : names)
        plan.SetEnd(u.sys(name));
    return plan;
}

QStringList Row(const QTreeWidget* list, int row)
{
    const QTreeWidgetItem* item = list->topLevelItem(row);
    return { item->text(0), item->text(1), item->text(2) };
}

struct Saved {
    TinyUniverse u;
    TLoadRouteForm form;
    QStringList questions;
    bool answer = true;

    Saved()
    {
        form.SetGalaxy(u.galaxy.get());
        form.Confirm = [this](const QString& text) {
            questions << text;
            return answer;
        };
        form.ShowMessage = [](const QString& text) { QFAIL(qPrintable(text)); };
    }
    qint32 save(const QStringList& names, const QString& description)
    {
        const std::unique_ptr<TRoute> route = BuildPlanRoute(PlanOf(u, names));
        route->Name = description;
        return form.SaveRoute(*route);
    }
};

} // namespace

class TestLoadRoute : public QObject {
    Q_OBJECT

private slots:
    void emptyListAndFirstID();
    void consecutiveIDsAndQuotes();
    void oneSystemPlan();
    void loadedEntriesAreUnchecked();
    void deleteAsksFirst();
    void unknownSystemsAreSkipped();
    void showingRefreshes();
};

void TestLoadRoute::emptyListAndFirstID()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    s.form.RefreshRoutes();
    QCOMPARE(s.form.routeList->topLevelItemCount(), 0);
    QCOMPARE(s.form.SelectedRoute(), nullptr);
    QCOMPARE(s.save({ "Glint", "Esk", "Jorvik" }, QStringLiteral("trip")), 1);
    s.form.RefreshRoutes();
    QCOMPARE(s.form.routeList->topLevelItemCount(), 1);
    QCOMPARE(Row(s.form.routeList, 0), (QStringList { "trip", "Glint", "Jorvik" }));
    QCOMPARE(s.u.query("select ID, entityID, description from routes"), QStringLiteral("1,0,trip"));
}

void TestLoadRoute::consecutiveIDsAndQuotes()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    const qint32 first = s.save({ "Glint", "Jorvik" }, QStringLiteral("say \"hi\""));
    const qint32 second = s.save({ "Glint", "Jorvik" }, QStringLiteral("say \"hi\""));
    QCOMPARE(second, first + 1);
    s.form.RefreshRoutes();
    QCOMPARE(s.form.routeList->topLevelItemCount(), 2);
    QCOMPARE(Row(s.form.routeList, 1), (QStringList { "say 'hi'", "Glint", "Jorvik" }));
    QCOMPARE(s.form.RouteAt(1)->ID, second);
    QCOMPARE(s.form.RouteAt(1)->Name, QStringLiteral("say 'hi'"));
}

void TestLoadRoute::oneSystemPlan()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    s.save({ "Kell" }, QString());
    QCOMPARE(s.u.query("select systemID, idx, RouteType from routeSystems"), QStringLiteral("30000013,0,0"));
    s.form.RefreshRoutes();
    QCOMPARE(Row(s.form.routeList, 0), (QStringList { "", "Kell", "none" }));
}

void TestLoadRoute::loadedEntriesAreUnchecked()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    s.save({ "Glint", "Esk", "Jorvik" }, QStringLiteral("trip"));
    s.form.RefreshRoutes();
    s.form.routeList->setCurrentItem(s.form.routeList->topLevelItem(0));
    const TRoute* route = s.form.SelectedRoute();
    QVERIFY(route);
    const std::vector<TPlanEntry> expected { { s.u.sys("Glint"), false }, { s.u.sys("Esk"), false },
        { s.u.sys("Jorvik"), false } };
    QCOMPARE(PlanEntriesOf(*route), expected);
    QCOMPARE(int(route->Entry(1)->RouteType), 2);
}

void TestLoadRoute::deleteAsksFirst()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    s.save({ "Glint", "Jorvik" }, QStringLiteral("one"));
    s.save({ "Aldera", "Kell" }, QStringLiteral("two"));
    s.form.RefreshRoutes();

    s.form.BitBtn3Click(); // no selection: nothing asked
    QVERIFY(s.questions.isEmpty());

    s.form.routeList->setCurrentItem(s.form.routeList->topLevelItem(0));
    s.answer = false;
    s.form.BitBtn3Click();
    QCOMPARE(s.questions, QStringList { "do you want to permanently delete this route?" });
    QCOMPARE(s.form.routeList->topLevelItemCount(), 2);
    QCOMPARE(s.u.query("select count(1) from routes"), QStringLiteral("2"));

    s.answer = true;
    s.form.BitBtn3->click();
    QCOMPARE(s.form.routeList->topLevelItemCount(), 1);
    QCOMPARE(s.form.RouteCount(), 1);
    QCOMPARE(Row(s.form.routeList, 0)[0], QStringLiteral("two"));
    QCOMPARE(s.u.query("select ID from routes"), QStringLiteral("2"));
    QCOMPARE(s.u.query("select distinct routeID from routeSystems"), QStringLiteral("2"));
}

void TestLoadRoute::unknownSystemsAreSkipped()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    s.u.query("insert into routes (ID, entityID, description) values (7, 0, 'odd')");
    s.u.query("insert into routeSystems (routeID, systemID, idx, RouteType) values (7, 30000000, 0, 0)");
    s.u.query("insert into routeSystems (routeID, systemID, idx, RouteType) values (7, 30000013, 1, 2)");
    s.u.query("insert into routeSystems (routeID, systemID, idx, RouteType) values (7, 30000014, 2, 2)");
    s.u.query("insert into routeSystems (routeID, systemID, idx, RouteType) values (7, 30000015, 3, 1)");
    s.save({ "Glint", "Jorvik" }, QStringLiteral("next"));
    s.form.RefreshRoutes();
    QCOMPARE(s.form.routeList->topLevelItemCount(), 2);
    QCOMPARE(Row(s.form.routeList, 0), (QStringList { "odd", "none", "Lumen" }));
    QCOMPARE(s.form.RouteAt(0)->Count(), 2);
    QCOMPARE(Row(s.form.routeList, 1), (QStringList { "next", "Glint", "Jorvik" }));
    QCOMPARE(s.form.RouteAt(1)->ID, 8);
}

void TestLoadRoute::showingRefreshes()
{
    Saved s;
    QVERIFY2(s.u.ok(), qPrintable(s.u.error));
    s.save({ "Glint", "Jorvik" }, QStringLiteral("shown"));
    s.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&s.form));
    QCOMPARE(s.form.routeList->topLevelItemCount(), 1);
    s.form.routeList->setCurrentItem(s.form.routeList->topLevelItem(0));
    s.form.BitBtn1->click();
    QCOMPARE(s.form.result(), int(QDialog::Accepted));
    QVERIFY(s.form.SelectedRoute());
    QCOMPARE(s.form.SelectedRoute()->Name, QStringLiteral("shown"));
}

QTEST_MAIN(TestLoadRoute)
#include "tst_loadroute.moc"
