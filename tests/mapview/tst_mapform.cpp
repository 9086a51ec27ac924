// The map window driven by simulated mouse and wheel events on the tiny universe, and its place
// in the main window: the first view, the zoom actions, the wheel, the planner commands.
#include "app/main.h"
#include "mapfixture.h"
#include "mapview/map.h"
#include "mapview/uMapOverlays.h"
#include "routing/routePlanner.h"

#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QWheelEvent>

#include <cmath>

Q_DECLARE_METATYPE(TIntRect)

namespace {

// The map window showing the tiny universe, every call it makes to the windows around it
// recorded.
struct MapWindow {
    TinyMap map { QSize(1, 1) };
    TMapForm form;
    QList<TSystem*> selected, starts, ends, waypoints, exclusions, removals;
    QList<TRegion*> regionsShown;
    QStringList status;
    QList<bool> unhandledWheels;

    MapWindow()
    {
        form.Host.SelectSystem = [this](TSystem* s) { selected << s; };
        form.Host.ShowRegion = [this](TRegion* r) { regionsShown << r; };
        form.Host.StatusText = [this](const QString& text) { status << text; };
        form.Host.UnhandledWheel = [this](bool up) {
            unhandledWheels << up;
            return up;
        };
        form.Host.SetStart = [this](TSystem* s) { starts << s; };
        form.Host.SetEnd = [this](TSystem* s) { ends << s; };
        form.Host.AddWaypoint = [this](TSystem* s) { waypoints << s; };
        form.Host.EditExclusion = [this](TSystem* s) { exclusions << s; };
        form.Host.RemoveExclusion = [this](TSystem* s) { removals << s; };
        form.resize(400, 400);
        form.show();
        if (!QTest::qWaitForWindowExposed(&form))
            return;
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form) || !map.ok())
            return;
        // Moves to where the mouse already is are dropped: start from a corner no test uses.
        QTest::mouseMove(&form, QPoint(399, 399));
        form.SetGalaxy(&map.g());
        ShowAllSystems(map.g());
        ready = true;
    }
    ~MapWindow() { form.SetGalaxy(nullptr); }

    bool ready = false;
    TGalaxy& g() const { return map.g(); }
    TMapBox* box() const { return form.box; }
    TSystem* system(const QString& name) const { return map.system(name); }
    TRegion* region(const QString& name) const { return map.region(name); }
    QPoint at(const TSystem* s) const { return map.at(s); }
    TMapProjection projection() const { return Projection(map.g()); }
    QPoint mapPoint(QPoint surface) const
    {
        const TMapProjection p = projection();
        return { p.MapXAt(surface.x()), p.MapYAt(surface.y()) };
    }
    int presents() const { return form.box->PresentCount(); }

    // A surface point at least 10 pixels from every visible system whose region under the mouse
    // is the given one (nullptr: no region), away from the points to avoid.
    QPoint emptyPoint(const TRegion* inRegion, const QList<QPoint>& avoid = {}) const
    {
        const TMapProjection p = projection();
        for (int y = 20; y < p.Height() - 20; y += 3)
            for (int x = 20; x < p.Width() - 20; x += 3) {
                const QPoint q(x, y);
                if (RegionAt(g(), x, y) != inRegion)
                    continue;
                bool clear = true;
                for (const auto& e : g().Systems)
                    if (IsVisible(*e.Object) && (p.ToScreen(*e.Object) - q).manhattanLength() < 14)
                        clear = false;
                for (const QPoint& a : avoid)
                    if ((a - q).manhattanLength() < 20)
                        clear = false;
                if (clear)
                    return q;
            }
        return { -1, -1 };
    }

    QStringList visibleEntries() const
    {
        QStringList names;
        for (const QAction* a : form.PopupMenu1->actions())
            if (a->isVisible() && !a->isSeparator())
                names << a->objectName();
        return names;
    }
};

// Turns the wheel over the widget; returns whether the event was accepted.
bool wheel(QWidget* widget, QPoint pos, int delta)
{
    QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    event.setAccepted(false);
    QApplication::sendEvent(widget, &event);
    return event.isAccepted();
}

int nonBackground(const QImage& image)
{
    int n = 0;
    const QRgb background = image.pixel(0, 0);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixel(x, y) != background;
    return n;
}

TIntRect viewOfWidth(const QPoint& centre, qint32 width)
{
    return { centre.x() - width / 2, centre.y() - width / 2, centre.x() + width / 2, centre.y() + width / 2 };
}

} // namespace

class TestMapForm : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(QFile::exists(testsupport::fixtureDir() + "/map.db")); }

    void windowAndMenu()
    {
        MapWindow w;
        QVERIFY(w.ready);
        QCOMPARE(w.form.windowTitle(), QStringLiteral("平面星图"));
        QCOMPARE(w.box()->objectName(), QStringLiteral("box"));
        QCOMPARE(w.box()->size(), QSize(400, 400));
        QCOMPARE(w.box()->cursor().shape(), Qt::CrossCursor);
        QCOMPARE(w.g().Surface, static_cast<TMapSurface*>(w.box()));
        // The first view was drawn into the back buffer and shows all systems at 100 %.
        QCOMPARE(w.box()->Image().size(), QSize(400, 400));
        QCOMPARE(ScaleText(w.g().ZoomPercent), QStringLiteral("100%"));
        QVERIFY(nonBackground(w.box()->Image()) > 0);

        QStringList entries;
        for (const QAction* a : w.form.PopupMenu1->actions())
            entries << (a->isSeparator() ? QStringLiteral("-")
                                         : a->objectName() + QLatin1Char('=') + a->text());
        QCOMPARE(entries,
            QStringList({ "setstart1=设为起点", "setend1=设为终点", "setwaypoint1=添加航标", "-",
                "AddtoExcludeList1=添加到排除列表", "RemovefromExcludelist1=从排除列表删除", "-",
                "Zoomtosystem1=显示星系", "zoomtoregion1=显示星域", "Onlyshowthisregion1=仅显示本星域",
                "Hidethisregion1=不显示本星域", "ShowAllRegions1=显示所有星域", "-", "ResetMap1=重置星图" }));
    }

    void surfaceFollowsTheWindow()
    {
        MapWindow w;
        QVERIFY(w.ready);
        const int before = w.presents();
        w.form.resize(300, 240);
        QTRY_COMPARE(w.box()->Image().size(), QSize(300, 240));
        QVERIFY(w.presents() > before); // redrawn at the new size
        QCOMPARE(SurfaceSize(w.g()), QSize(300, 240));

        TMapBox* old = w.box();
        w.form.RecreateSurface();
        QVERIFY(w.box() != old);
        QCOMPARE(w.g().Surface, static_cast<TMapSurface*>(w.box()));
    }

    void clickSelectsASystem()
    {
        MapWindow w;
        QVERIFY(w.ready);
        TSystem* aldera = w.system(QStringLiteral("Aldera"));
        const QPoint p = w.at(aldera);
        QTest::mouseClick(w.box(), Qt::LeftButton, {}, p + QPoint(1, 1)); // within the catch radius
        QCOMPARE(w.g().SelectedSystem, aldera);
        QCOMPARE(w.selected, QList<TSystem*>({ aldera }));
        QCOMPARE(w.g().DownPoint, p + QPoint(1, 1));
        QCOMPARE(w.g().LastMouse, p + QPoint(1, 1));

        // Empty space keeps the selection; before loading completes the 3D view is left alone.
        const QPoint empty = w.emptyPoint(aldera->Region);
        QVERIFY(empty.x() >= 0);
        QTest::mouseMove(w.box(), empty);
        QCOMPARE(w.g().HotRegion, aldera->Region);
        QTest::mouseClick(w.box(), Qt::LeftButton, {}, empty);
        QCOMPARE(w.g().SelectedSystem, aldera);
        QCOMPARE(w.selected.size(), 1);
        QVERIFY(w.regionsShown.isEmpty());
        QCOMPARE(w.g().DownPoint, empty);

        // Once loading is complete, it switches the 3D view to the region under the mouse.
        w.g().LoadComplete = true;
        QTest::mouseClick(w.box(), Qt::LeftButton, {}, empty);
        QCOMPARE(w.regionsShown, QList<TRegion*>({ aldera->Region }));

        // The middle button does nothing at all.
        w.form.MouseDown(Qt::MiddleButton, p.x(), p.y());
        QCOMPARE(w.g().DownPoint, empty);
    }

    void panMovesTheMapWithTheMouse()
    {
        MapWindow w;
        QVERIFY(w.ready);
        w.map.addJumps();
        w.g().DrawJumps = true;
        Redraw(w.g());
        const QPoint start(150, 200);
        const QPoint under = w.mapPoint(start);
        const TIntRect before = w.g().View;

        QTest::mousePress(w.box(), Qt::LeftButton, {}, start);
        QTest::mouseMove(w.box(), start + QPoint(100, 0));
        // The map point that was under the mouse still is; the view moved by 100 pixels' worth.
        QCOMPARE(w.mapPoint(start + QPoint(100, 0)), under);
        QCOMPARE(w.g().View.Top, before.Top);
        QCOMPARE(w.g().View.Width(), before.Width());
        QCOMPARE(w.box()->cursor().shape(), Qt::SizeAllCursor);
        QVERIFY(w.g().FullDetail);
        const QImage dragFrame = w.box()->Image().copy();

        QTest::mouseMove(w.box(), start + QPoint(100, 40));
        QCOMPARE(w.mapPoint(start + QPoint(100, 40)), under); // no jump between moves
        QTest::mouseMove(w.box(), start + QPoint(100, 0));
        const int presents = w.presents();
        QTest::mouseRelease(w.box(), Qt::LeftButton, {}, start + QPoint(100, 0));
        QCOMPARE(w.presents(), presents + 1);
        QCOMPARE(w.box()->cursor().shape(), Qt::CrossCursor);
        // The frame after the release adds the jumps that dragging left out.
        QVERIFY(nonBackground(w.box()->Image()) > nonBackground(dragFrame));
    }

    void zoomRectangle_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::newRow("top left to bottom right") << QPoint(100, 120) << QPoint(220, 300);
        QTest::newRow("bottom right to top left") << QPoint(220, 300) << QPoint(100, 120);
        QTest::newRow("bottom left to top right") << QPoint(100, 300) << QPoint(220, 120);
    }
    void zoomRectangle()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        MapWindow w;
        QVERIFY(w.ready);
        w.g().ZoomRectMode = true;
        const QPoint topLeft = w.mapPoint(QPoint(100, 120));
        const QPoint bottomRight = w.mapPoint(QPoint(220, 300));

        QTest::mousePress(w.box(), Qt::LeftButton, {}, from);
        const TIntRect view = w.g().View;
        const int presents = w.presents();
        QTest::mouseMove(w.box(), to);
        QCOMPARE(w.g().ZoomRect, (TIntRect { from.x(), from.y(), to.x(), to.y() }));
        QCOMPARE(w.g().View, view); // only the rectangle is drawn while dragging
        QCOMPARE(w.presents(), presents + 1);
        QCOMPARE(w.box()->cursor().shape(), Qt::DragMoveCursor);
        QVERIFY(w.g().FullDetail);

        QTest::mouseRelease(w.box(), Qt::LeftButton, {}, to);
        QCOMPARE(w.g().ZoomRect.Left, MaxInt);
        QCOMPARE(w.box()->cursor().shape(), Qt::CrossCursor);
        // Taller than wide: the view spans the rectangle's height, squared about its centre.
        const TIntRect& v = w.g().View;
        QCOMPARE(v.Top, topLeft.y());
        QCOMPARE(v.Bottom, bottomRight.y());
        QCOMPARE(v.Width(), v.Height());
        QVERIFY(std::abs((v.Left + v.Right) / 2 - (topLeft.x() + bottomRight.x()) / 2) <= 1);
    }

    void zeroWidthZoomRectangleKeepsTheView()
    {
        MapWindow w;
        QVERIFY(w.ready);
        w.g().ZoomRectMode = true;
        const TIntRect view = w.g().View;
        QTest::mousePress(w.box(), Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(w.box(), QPoint(100, 250));
        QTest::mouseRelease(w.box(), Qt::LeftButton, {}, QPoint(100, 250));
        QCOMPARE(w.g().View, view);
        QCOMPARE(w.g().ZoomRect.Left, MaxInt);
    }

    void bothButtonsZoom_data()
    {
        QTest::addColumn<bool>("withSelection");
        QTest::addColumn<int>("dy");
        QTest::addColumn<double>("factor"); // 0: ignored
        QTest::newRow("up 10 about the selection") << true << -10 << 1.2;
        QTest::newRow("down 25 about the selection") << true << 25 << 0.5;
        QTest::newRow("up 10 about the centre") << false << -10 << 1.2;
        QTest::newRow("down 50: factor 0 ignored") << true << 50 << 0.0;
        QTest::newRow("down 60: factor below 0 ignored") << false << 60 << 0.0;
    }
    void bothButtonsZoom()
    {
        QFETCH(bool, withSelection);
        QFETCH(int, dy);
        QFETCH(double, factor);
        MapWindow w;
        QVERIFY(w.ready);
        TSystem* hestra = w.system(QStringLiteral("Hestra"));
        const QPoint start = withSelection ? w.at(hestra) : w.emptyPoint(nullptr);
        QVERIFY(start.x() >= 0);
        const QPoint fixedPoint = withSelection ? QPoint(hestra->MapX, hestra->MapY) : MapCentre(w.g());
        const QPoint fixedOnScreen = withSelection ? w.at(hestra) : QPoint(200, 200);
        const TIntRect view = w.g().View;

        QTest::mousePress(w.box(), Qt::LeftButton, {}, start);
        QTest::mousePress(w.box(), Qt::RightButton, Qt::NoModifier, start);
        QCOMPARE(w.g().SelectedSystem, withSelection ? hestra : nullptr);
        QTest::mouseMove(w.box(), start + QPoint(5, dy));
        if (factor == 0) {
            QCOMPARE(w.g().View, view);
            QCOMPARE(w.g().LastMouse, start);
        } else {
            // Rounding the new edges may add a unit.
            QVERIFY(std::abs(w.g().View.Width() - RoundToInt(view.Width() / factor)) <= 1);
            QCOMPARE(w.g().LastMouse, start + QPoint(5, dy));
            // The point zoomed about stays where it was on the surface.
            const QPoint now = w.projection().ToScreen(fixedPoint.x(), fixedPoint.y());
            QVERIFY2((now - fixedOnScreen).manhattanLength() <= 2,
                qPrintable(QStringLiteral("%1,%2").arg(now.x()).arg(now.y())));
        }
        // Releasing the right button while the left one is held opens no menu.
        QTest::mouseRelease(w.box(), Qt::RightButton, {}, start + QPoint(5, dy));
        QTest::mouseRelease(w.box(), Qt::LeftButton, {}, start + QPoint(5, dy));
        QVERIFY(!w.form.PopupMenu1->isVisible());
    }

    void wheelOnTheMap()
    {
        MapWindow w;
        QVERIFY(w.ready);
        const QPoint mouse(120, 160);
        QTest::mouseMove(w.box(), mouse); // gives the map the focus
        QVERIFY(w.form.MapHasFocus());
        const QPoint under = w.mapPoint(mouse);
        const qint32 width = w.g().View.Width();

        QVERIFY(wheel(w.box(), mouse, 120));
        QCOMPARE(w.g().View.Width(), RoundToInt(width / 1.5));
        QCOMPARE(w.mapPoint(mouse), under);
        // Half notches add up to one step.
        wheel(w.box(), mouse, 60);
        QCOMPARE(w.g().View.Width(), RoundToInt(width / 1.5));
        wheel(w.box(), mouse, 60);
        QCOMPARE(w.g().View.Width(), RoundToInt(RoundToInt(width / 1.5) / 1.5));

        // Down zooms out while the scale is above 25 %, and reports the wheel handled either way.
        const qint32 before = w.g().View.Width();
        QVERIFY(wheel(w.box(), mouse, -120));
        QCOMPARE(w.g().View.Width(), RoundToInt(before / 0.66));
        w.g().View = viewOfWidth(under, w.g().MapBounds.Right * 44 / 10); // ZoomPercent 440: 25 %
        Redraw(w.g());
        QCOMPARE(w.g().ZoomPercent, 440);
        const TIntRect far = w.g().View;
        QVERIFY(wheel(w.box(), mouse, -120));
        QCOMPARE(w.g().View, far);

        // The wheel has no lower limit (the zoom-in action stops at ZoomPercent 2).
        w.g().View = viewOfWidth(under, w.g().MapBounds.Right / 50);
        Redraw(w.g());
        QCOMPARE(w.g().ZoomPercent, 2);
        wheel(w.box(), mouse, 120);
        QVERIFY(w.g().ZoomPercent < 2);
        QVERIFY(w.unhandledWheels.isEmpty());
    }

    void wheelWithoutTheFocus()
    {
        MapWindow w;
        QVERIFY(w.ready);
        w.g().MousePos = QPoint(200, 200);
        w.box()->clearFocus();
        QVERIFY(!w.form.MapHasFocus());
        const TIntRect view = w.g().View;
        // Down is left to others; up goes to the main window's rule, stood in for here.
        QVERIFY(!wheel(w.box(), QPoint(200, 200), -120));
        QVERIFY(wheel(w.box(), QPoint(200, 200), 120));
        QCOMPARE(w.unhandledWheels, QList<bool>({ false, true }));
        QCOMPARE(w.g().View, view);
    }

    void hoverShowsTheSystemWithoutNeedlessFrames()
    {
        MapWindow w;
        QVERIFY(w.ready);
        w.g().HotTrack = true;
        w.g().RegionHotTrack = true;
        TSystem* aldera = w.system(QStringLiteral("Aldera"));
        const QPoint a = w.emptyPoint(aldera->Region);
        const QPoint b = w.emptyPoint(aldera->Region, { a });
        QVERIFY(a.x() >= 0 && b.x() >= 0);
        QTest::mouseMove(w.box(), a);
        QCOMPARE(w.g().HotRegion, aldera->Region);

        // Across empty space of the same region nothing is drawn.
        int presents = w.presents();
        QTest::mouseMove(w.box(), b);
        QTest::mouseMove(w.box(), a);
        QCOMPARE(w.presents(), presents);
        QVERIFY(!w.box()->HintShown());
        QCOMPARE(w.status.last(), QString());

        // Onto a system: hint, status panel 0, one frame with the ring; resting there: none.
        QTest::mouseMove(w.box(), w.at(aldera));
        QCOMPARE(w.presents(), presents + 1);
        QCOMPARE(w.g().HotSystem, aldera);
        QVERIFY(w.box()->HintShown());
        QCOMPARE(w.box()->Hint(), QStringLiteral("Aldera - Tessa - Orvane"));
        QCOMPARE(w.status.last(), QStringLiteral("Aldera"));
        QTest::mouseMove(w.box(), w.at(aldera) + QPoint(1, 0));
        QCOMPARE(w.presents(), presents + 1);
        // Off it again: one frame without the ring.
        QTest::mouseMove(w.box(), a);
        QCOMPARE(w.presents(), presents + 2);
        QCOMPARE(w.g().HotSystem, nullptr);
        QVERIFY(!w.box()->HintShown());

        // Leaving the region changes the outline: one frame; with region hot-tracking off, none.
        const QPoint outside = w.emptyPoint(nullptr);
        QVERIFY(outside.x() >= 0);
        presents = w.presents();
        QTest::mouseMove(w.box(), outside);
        QCOMPARE(w.g().HotRegion, nullptr);
        QCOMPARE(w.presents(), presents + 1);
        w.g().RegionHotTrack = false;
        QTest::mouseMove(w.box(), a);
        QCOMPARE(w.g().HotRegion, aldera->Region);
        QCOMPARE(w.presents(), presents + 1);
    }

    void popupEntries_data()
    {
        QTest::addColumn<QString>("system"); // empty: none selected
        QTest::addColumn<qint32>("threshold");
        QTest::addColumn<bool>("overRegion");
        QTest::addColumn<QStringList>("visible");
        const QStringList systemEntries { "setstart1", "setend1", "setwaypoint1" };
        const QStringList regionEntries { "zoomtoregion1", "Onlyshowthisregion1", "Hidethisregion1" };
        QTest::newRow("system, not excluded, over its region")
            << "Old Harbor" << 1 << true
            << systemEntries + QStringList { "AddtoExcludeList1", "Zoomtosystem1" } + regionEntries
                + QStringList { "ShowAllRegions1", "ResetMap1" };
        QTest::newRow("avoided system outside every region") << "Old Harbor" << 10 << false
                                                             << systemEntries
                + QStringList { "RemovefromExcludelist1", "Zoomtosystem1", "ShowAllRegions1", "ResetMap1" };
        QTest::newRow("blocked system") << "Old Harbor" << MaxInt << false
                                        << systemEntries
                + QStringList { "RemovefromExcludelist1", "Zoomtosystem1", "ShowAllRegions1", "ResetMap1" };
        QTest::newRow("threshold 0 counts as not excluded") << "Old Harbor" << 0 << false
                                                            << systemEntries
                + QStringList { "AddtoExcludeList1", "Zoomtosystem1", "ShowAllRegions1", "ResetMap1" };
        QTest::newRow("nothing selected, over a region")
            << QString() << 1 << true << regionEntries + QStringList { "ShowAllRegions1", "ResetMap1" };
        QTest::newRow("nothing at all")
            << QString() << 1 << false << QStringList { "ShowAllRegions1", "ResetMap1" };
    }
    void popupEntries()
    {
        QFETCH(QString, system);
        QFETCH(qint32, threshold);
        QFETCH(bool, overRegion);
        QFETCH(QStringList, visible);
        MapWindow w;
        QVERIFY(w.ready);
        TSystem* s = system.isEmpty() ? nullptr : w.system(system);
        if (s) {
            s->BlockThreshold = threshold;
            QTest::mouseClick(w.box(), Qt::LeftButton, {}, w.at(s));
            QCOMPARE(w.g().SelectedSystem, s);
        }
        // A right click on empty space opens the menu for the system selected before.
        const QPoint empty = w.emptyPoint(overRegion ? w.region(QStringLiteral("Orvane")) : nullptr);
        QVERIFY(empty.x() >= 0);
        QTest::mouseMove(w.box(), empty);
        QTest::mouseClick(w.box(), Qt::RightButton, {}, empty);
        QTRY_VERIFY(w.form.PopupMenu1->isVisible());
        QCOMPARE(w.g().SelectedSystem, s);
        QCOMPARE(w.visibleEntries(), visible);
        if (s) {
            QCOMPARE(w.form.setstart1->text(), QStringLiteral("将 Old Harbor 设为起点"));
            QCOMPARE(w.form.setend1->text(), QStringLiteral("将 Old Harbor 设为终点"));
            QCOMPARE(w.form.setwaypoint1->text(), QStringLiteral("将 Old Harbor 添加为航标"));
        }
        w.form.PopupMenu1->hide();
    }

    void routeCommandsTakeTheSelection()
    {
        MapWindow w;
        QVERIFY(w.ready);
        // Without a selection they do nothing.
        w.form.setstart1->trigger();
        QVERIFY(w.starts.isEmpty());
        TSystem* kell = w.system(QStringLiteral("Kell"));
        QTest::mouseClick(w.box(), Qt::RightButton, {}, w.at(kell));
        QTRY_VERIFY(w.form.PopupMenu1->isVisible());
        w.form.PopupMenu1->hide();
        QCOMPARE(w.g().SelectedSystem, kell);
        w.form.setstart1->trigger();
        w.form.setend1->trigger();
        w.form.setwaypoint1->trigger();
        w.form.AddtoExcludeList1->trigger();
        w.form.RemovefromExcludelist1->trigger();
        const QList<TSystem*> once { kell };
        QCOMPARE(w.starts, once);
        QCOMPARE(w.ends, once);
        QCOMPARE(w.waypoints, once);
        QCOMPARE(w.exclusions, once);
        QCOMPARE(w.removals, once);

        // "显示星系": the 26000-unit square about the system.
        w.form.Zoomtosystem1->trigger();
        QVERIFY(std::abs(w.g().View.Width() - 26000) <= 2);
        QVERIFY((w.projection().ToScreen(*kell) - QPoint(200, 200)).manhattanLength() <= 1);
        QCOMPARE(w.g().SelectedSystem, kell);
    }

    void regionCommands()
    {
        MapWindow w;
        QVERIFY(w.ready);
        TRegion* orvane = w.region(QStringLiteral("Orvane"));
        TSystem* mirth = w.system(QStringLiteral("Mirth")); // another region
        const QPoint mirthAt = w.at(mirth);
        QCOMPARE(SystemAt(w.g(), mirthAt.x(), mirthAt.y()), mirth);
        QTest::mouseMove(w.box(), w.emptyPoint(orvane));
        QCOMPARE(w.g().HotRegion, orvane);

        int presents = w.presents();
        w.form.Onlyshowthisregion1->trigger(); // "仅显示本星域"
        QCOMPARE(w.presents(), presents + 1);
        for (const auto& e : w.g().Regions)
            QCOMPARE(e.Object->Visible, e.Object == orvane);
        QCOMPARE(SystemAt(w.g(), mirthAt.x(), mirthAt.y()), nullptr);

        w.form.ShowAllRegions1->trigger(); // "显示所有星域"
        for (const auto& e : w.g().Regions)
            QVERIFY(e.Object->Visible);
        QCOMPARE(SystemAt(w.g(), mirthAt.x(), mirthAt.y()), mirth);

        w.form.Hidethisregion1->trigger(); // "不显示本星域"
        QVERIFY(!orvane->Visible);
        QVERIFY(mirth->Region->Visible);

        // "显示星域": every system of the region on the surface, closer than the whole map.
        w.form.zoomtoregion1->trigger();
        orvane->Visible = true;
        for (const TSystem* s : orvane->Systems)
            QVERIFY2(IsVisible(*s), qPrintable(s->Name));
        QVERIFY(w.g().View.Width() < w.g().MapBounds.Width());

        // "重置星图": all systems at 100 % and every region shown again.
        w.form.Onlyshowthisregion1->trigger();
        presents = w.presents();
        w.form.ResetMap1->trigger();
        QVERIFY(w.presents() > presents);
        QCOMPARE(ScaleText(w.g().ZoomPercent), QStringLiteral("100%"));
        for (const auto& e : w.g().Regions)
            QVERIFY(e.Object->Visible);
    }

    void mainWindowWiring()
    {
        testsupport::TempHome home;
        TMainForm main(home.path());
        QVERIFY(!main.Failed());
        auto* map = new TMapForm();
        main.SetMapForm(map);
        auto* planner = new TRouteForm();
        main.SetRouteForm(planner);
        main.show();
        QVERIFY(main.LoadSequence());

        // The galaxy draws on the map window, an MDI child, and starts with all systems.
        TGalaxy& g = *main.Galaxy;
        QCOMPARE(map->Galaxy(), &g);
        QCOMPARE(g.Surface, static_cast<TMapSurface*>(map->box));
        QVERIFY(qobject_cast<QMdiSubWindow*>(map->parentWidget()));
        QVERIFY(map->isVisible());
        QCOMPARE(ScaleText(g.ZoomPercent), QStringLiteral("100%"));
        const TIntRect all = g.View;
        // The loaders finish: jumps drawn, searches open, the busy cursor gone.
        QTRY_VERIFY(g.LoadComplete);
        QTRY_VERIFY(main.acSearchAgent->isEnabled());
        QVERIFY(main.acSearchSystem->isEnabled());
        QVERIFY(main.StatusText(1).endsWith(QStringLiteral("已载入")));
        QVERIFY(!QGuiApplication::overrideCursor());
        const int presents = map->box->PresentCount();
        main.Redraw();
        QCOMPARE(map->box->PresentCount(), presents + 1);

        // Zoom actions about the surface centre, and the view of all systems.
        const QPoint centre = MapCentre(g);
        main.acZoomIN->trigger();
        QCOMPARE(g.View.Width(), RoundToInt(all.Width() / 1.5));
        QVERIFY((MapCentre(g) - centre).manhattanLength() <= 2);
        main.acZoomOUT->trigger();
        QCOMPARE(g.View.Width(), RoundToInt(RoundToInt(all.Width() / 1.5) / 0.66));
        main.acZoom100->trigger();
        QCOMPARE(g.View, all);

        // The pop-up menu's route commands reach the planner.
        TSystem* aldera = g.SystemByName(QStringLiteral("Aldera"));
        TSystem* tarn = g.SystemByName(QStringLiteral("Tarn"));
        map->MouseDown(
            Qt::RightButton, Projection(g).ScreenX(aldera->MapX), Projection(g).ScreenY(aldera->MapY));
        QCOMPARE(g.SelectedSystem, aldera);
        map->setstart1->trigger();
        g.SelectedSystem = tarn;
        map->setend1->trigger();
        QCOMPARE(planner->Plan().Systems(), std::vector<TSystem*>({ aldera, tarn }));
        QVERIFY(g.RouteList.Count() > 2);
        // Hovering fills status panel 0.
        const QPoint tarnAt = Projection(g).ToScreen(*tarn);
        map->MouseMove(Qt::NoButton, Qt::NoModifier, tarnAt.x(), tarnAt.y());
        QCOMPARE(main.StatusText(0), QStringLiteral("Tarn"));
        main.close();
        QVERIFY(!main.Galaxy);
        QCOMPARE(map->Galaxy(), nullptr);
    }

    void zoomActionLimits_data()
    {
        QTest::addColumn<int>("zoomPercent");
        QTest::addColumn<bool>("zoomIn");
        QTest::addColumn<bool>("zoomOut");
        QTest::newRow("2: no more zooming in") << 2 << false << true;
        QTest::newRow("3") << 3 << true << true;
        QTest::newRow("439") << 439 << true << true;
        QTest::newRow("440: no more zooming out") << 440 << true << false;
    }
    void zoomActionLimits()
    {
        QFETCH(int, zoomPercent);
        QFETCH(bool, zoomIn);
        QFETCH(bool, zoomOut);
        testsupport::TempHome home;
        TMainForm main(home.path());
        auto* map = new TMapForm();
        main.SetMapForm(map);
        main.show();
        QVERIFY(main.LoadSequence());
        TGalaxy& g = *main.Galaxy;
        const auto setZoom = [&] {
            g.View = viewOfWidth(MapCentre(g), qint32(qint64(g.MapBounds.Right) * zoomPercent / 100));
            main.Redraw();
            return g.View;
        };
        TIntRect before = setZoom();
        QCOMPARE(g.ZoomPercent, zoomPercent);
        main.acZoomIN->trigger();
        QCOMPARE(g.View != before, zoomIn);
        before = setZoom();
        main.acZoomOUT->trigger();
        QCOMPARE(g.View != before, zoomOut);
        // The main window's wheel follows the zoom-in action's limit, about the last mouse
        // position over the map, and is handled either way.
        before = setZoom();
        g.MousePos = QPoint(30, 40);
        const QPoint under(Projection(g).MapXAt(30), Projection(g).MapYAt(40));
        QVERIFY(main.FormMouseWheelUp());
        QCOMPARE(g.View != before, zoomIn);
        QCOMPARE(QPoint(Projection(g).MapXAt(30), Projection(g).MapYAt(40)), under);
        main.close();
    }
};

QTEST_MAIN(TestMapForm)
#include "tst_mapform.moc"
