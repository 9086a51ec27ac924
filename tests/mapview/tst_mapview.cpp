// The map's projection and view operations, hit tests and hovering, on the tiny universe.
#include "mapfixture.h"
#include "mapview/uMapOverlays.h"

#include <QTest>

Q_DECLARE_METATYPE(TIntRect)

class TestMapView : public QObject {
    Q_OBJECT

private slots:
    void projectionRoundsTiesToEven_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<qint32>("mx");
        QTest::addColumn<int>("sx");
        // View 0 .. 1000 across: 10 map units per pixel on a 100-pixel square.
        QTest::newRow("0.5 down to 0") << QSize(100, 100) << 5 << 0;
        QTest::newRow("1.5 up to 2") << QSize(100, 100) << 15 << 2;
        QTest::newRow("2.5 down to 2") << QSize(100, 100) << 25 << 2;
        QTest::newRow("right edge") << QSize(100, 100) << 1000 << 100;
        QTest::newRow("wide surface uses its height") << QSize(300, 100) << 1000 << 100;
        QTest::newRow("tall surface uses its width") << QSize(50, 400) << 1000 << 50;
        QTest::newRow("left of the view") << QSize(100, 100) << -36 << -4;
    }
    void projectionRoundsTiesToEven()
    {
        QFETCH(QSize, size);
        QFETCH(qint32, mx);
        QFETCH(int, sx);
        const TMapProjection p(TIntRect { 0, 0, 1000, 1000 }, size);
        QCOMPARE(p.ScreenX(mx), sx);
        QCOMPARE(p.ScreenY(mx), sx);
        // The inverse maps the pixel back onto the map unit it stands for.
        const int side = std::min(size.width(), size.height());
        QCOMPARE(p.MapXAt(sx), RoundToInt(sx * (1000.0 / side)));
    }

    void flatViewUsesScaleOne()
    {
        const TMapProjection p(TIntRect { 0, 7, 1000, 7 }, QSize(100, 100));
        QCOMPARE(p.ScreenY(12), 5);
        QCOMPARE(p.ScreenX(500), 50);
    }

    void farPointsAreHeldOffTheSurface()
    {
        // A view one unit wide on a large surface puts distant systems billions of pixels away.
        const TMapProjection p(TIntRect { 0, 0, 1, 1 }, QSize(4096, 4096));
        QCOMPARE(p.ScreenX(1000000), 1 << 30);
        QCOMPARE(p.ScreenY(-1000000), -(1 << 30));
        QVERIFY(!p.OnSurface(p.ToScreen(1000000, 0)));
        QCOMPARE(p.ScreenX(1), 4096);
    }

    void visibleUpToTheEdges()
    {
        TinyMap m(QSize(100, 80));
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        g.View = TIntRect { 0, 0, 80, 80 }; // one map unit per pixel
        TSystem* s = m.system(QStringLiteral("Aldera"));
        s->MapY = 40;
        s->MapX = 100;
        QVERIFY(IsVisible(*s)); // ScreenX = W
        s->MapX = 101;
        QVERIFY(!IsVisible(*s)); // W + 1
        s->MapX = 0;
        s->MapY = 80;
        QVERIFY(IsVisible(*s)); // ScreenY = H
        s->MapY = -1;
        QVERIFY(!IsVisible(*s));
        s->MapY = 40;
        s->Region->Visible = false;
        QVERIFY(!IsVisible(*s));
    }

    void dotSizes_data()
    {
        QTest::addColumn<qint32>("zoom");
        QTest::addColumn<qint32>("dot");
        QTest::addColumn<qint32>("radius");
        QTest::newRow("all systems") << 110 << 0 << 1;
        QTest::newRow("27") << 27 << 2 << 2;
        QTest::newRow("14") << 14 << 3 << 3; // 1.5 rounds to 2
        QTest::newRow("13") << 13 << 4 << 3;
        QTest::newRow("5") << 5 << 11 << 7; // 5.5 rounds to 6
        QTest::newRow("zero counts as 1") << 0 << 55 << 29; // 27.5 rounds to 28
    }
    void dotSizes()
    {
        QFETCH(qint32, zoom);
        QFETCH(qint32, dot);
        QFETCH(qint32, radius);
        QCOMPARE(DotSizeFor(zoom), dot);
        QCOMPARE(DotRadius(dot), radius);
    }

    void scaleText_data()
    {
        QTest::addColumn<qint32>("zoom");
        QTest::addColumn<QString>("text");
        QTest::newRow("all systems") << 110 << QStringLiteral("100%");
        QTest::newRow("13") << 13 << QStringLiteral("846%");
        QTest::newRow("440") << 440 << QStringLiteral("25%");
        QTest::newRow("1") << 1 << QStringLiteral("11000%");
        QTest::newRow("0") << 0 << QStringLiteral("> 11000%");
    }
    void scaleText()
    {
        QFETCH(qint32, zoom);
        QFETCH(QString, text);
        QCOMPARE(ScaleText(zoom), text);
    }

    void showAllReads100Percent()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        QCOMPARE(g.MapBounds, (TIntRect { 0, 0, 1000000, 1000000 }));
        ShowAllSystems(g);
        QCOMPARE(g.View, (TIntRect { -50000, -50000, 1050000, 1050000 }));
        QCOMPARE(g.ZoomPercent, 110);
        QCOMPARE(g.DotSize, 0);
        QCOMPARE(ScaleText(g.ZoomPercent), QStringLiteral("100%"));
        QCOMPARE(m.surface.PresentCount(), 1);
    }

    void nothingDrawnBeforeTheFirstView()
    {
        TinyMap m(QSize(64, 64));
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        g.ZoomPercent = 42;
        m.redraw();
        QCOMPARE(m.surface.PresentCount(), 1);
        QCOMPARE(g.ZoomPercent, 42); // no frame content, no zoom update
        const QImage img = m.image();
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                QCOMPARE(img.pixel(x, y) & 0xFFFFFF, 0u);
    }

    void noSurfaceNoFrame()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        m.surface.Resize(QSize());
        ShowAllSystems(m.g());
        QCOMPARE(m.surface.PresentCount(), 0);
        QCOMPARE(m.g().View, (TIntRect { -50000, -50000, 1050000, 1050000 })); // the view still changes
    }

    void showSystemCentresA26000Square()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* s = m.system(QStringLiteral("Esk"));
        s->MapX = 500000;
        s->MapY = 500000;
        TSystem* selected = m.system(QStringLiteral("Glint"));
        g.SelectedSystem = selected;
        ShowSystem(g, s);
        // 500000 -+ 12999.5: the halves go to the even neighbours.
        QCOMPARE(g.View, (TIntRect { 487000, 487000, 513000, 513000 }));
        QCOMPARE(g.SelectedSystem, selected);
        ShowSystem(g, nullptr);
        QCOMPARE(g.View, (TIntRect { 487000, 487000, 513000, 513000 }));
    }

    void zoomRectangleEitherDirection_data()
    {
        QTest::addColumn<TIntRect>("pixels");
        QTest::newRow("top left to bottom right") << TIntRect { 100, 120, 300, 220 };
        QTest::newRow("bottom right to top left") << TIntRect { 300, 220, 100, 120 };
        QTest::newRow("bottom left to top right") << TIntRect { 100, 220, 300, 120 };
    }
    void zoomRectangleEitherDirection()
    {
        QFETCH(TIntRect, pixels);
        TinyMap m(QSize(550, 550));
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g); // 2000 map units per pixel
        g.ZoomRect = pixels;
        ZoomToSurfaceRect(g, pixels);
        // 150000 .. 550000 across, 190000 .. 390000 down, made square about its middle.
        QCOMPARE(g.View, (TIntRect { 150000, 90000, 550000, 490000 }));
        QCOMPARE(g.ZoomRect.Left, MaxInt);
    }

    void zoomRectangleWithoutAreaKeepsTheView_data()
    {
        QTest::addColumn<TIntRect>("rect");
        QTest::newRow("no width") << TIntRect { 500, 100, 500, 900 };
        QTest::newRow("no height") << TIntRect { 100, 300, 900, 300 };
    }
    void zoomRectangleWithoutAreaKeepsTheView()
    {
        QFETCH(TIntRect, rect);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        const TIntRect before = g.View;
        const int frames = m.surface.PresentCount();
        ZoomToRect(g, rect, 0);
        QCOMPARE(g.View, before);
        QCOMPARE(m.surface.PresentCount(), frames);
        // A dragged rectangle still on screen is dropped and wiped.
        g.ZoomRect = TIntRect { 10, 10, 10, 40 };
        ZoomToRect(g, rect, 0);
        QCOMPARE(g.View, before);
        QCOMPARE(g.ZoomRect.Left, MaxInt);
        QCOMPARE(m.surface.PresentCount(), frames + 1);
    }

    void zoomToRectMakesItSquare_data()
    {
        QTest::addColumn<TIntRect>("rect");
        QTest::addColumn<double>("margin");
        QTest::addColumn<TIntRect>("view");
        QTest::newRow("wide") << TIntRect { 0, 0, 1000, 500 } << 0.0 << TIntRect { 0, -250, 1000, 750 };
        QTest::newRow("tall") << TIntRect { 0, 0, 400, 1000 } << 0.0 << TIntRect { -300, 0, 700, 1000 };
        QTest::newRow("region margin")
            << TIntRect { 0, 0, 1000, 1000 } << 0.01 << TIntRect { -10, -10, 1010, 1010 };
    }
    void zoomToRectMakesItSquare()
    {
        QFETCH(TIntRect, rect);
        QFETCH(double, margin);
        QFETCH(TIntRect, view);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        ZoomToRect(m.g(), rect, margin);
        QCOMPARE(m.g().View, view);
    }

    void panBy100PixelsMovesTheContent_data()
    {
        QTest::addColumn<QPoint>("drag");
        QTest::newRow("right") << QPoint(100, 0);
        QTest::newRow("left and down") << QPoint(-100, 100);
    }
    void panBy100PixelsMovesTheContent()
    {
        QFETCH(QPoint, drag);
        TinyMap m(QSize(550, 550));
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        g.JumpsReady = g.DrawJumps = true;
        const TSystem* s = m.system(QStringLiteral("Kiln"));
        const QPoint before = m.at(s);
        PanByPixels(g, drag.x(), drag.y());
        QCOMPARE(m.at(s), before + drag);
        QVERIFY(g.FullDetail);
        QCOMPARE(g.View.Width(), 1100000);
    }

    void panAddsToBothEdges()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        g.View = TIntRect { 10, 20, 110, 120 };
        Pan(g, -5, 7);
        QCOMPARE(g.View, (TIntRect { 5, 27, 105, 127 }));
    }

    void zoomInActionStopsAt2Percent()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        int steps = 0;
        while (ZoomInAllowed(g) && steps < 100) {
            ZoomAtCentre(g, 1.5);
            ++steps;
        }
        QVERIFY(steps < 100);
        QVERIFY(g.ZoomPercent <= 2);
        QVERIFY(100.0 / (g.ZoomPercent / 110.0) >= 5500);
        QVERIFY(g.View.Width() > 1);
    }

    void wheelZoomsInToOneMapUnit()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        const TSystem* s = m.system(QStringLiteral("Tarn"));
        for (int i = 0; i < 60; ++i)
            ZoomAt(g, s->MapX, s->MapY, 1.5);
        // The edges round separately: one or two units remain.
        QVERIFY(g.View.Width() >= 1 && g.View.Width() <= 2);
        QVERIFY(g.View.Height() >= 1 && g.View.Height() <= 2);
        QVERIFY(IsVisible(*s));
        g.View = TIntRect { 10, 10, 11, 11 };
        ZoomAt(g, 10, 10, 1.5); // 1 / 1.5 rounds back to 1
        QCOMPARE(g.View, (TIntRect { 10, 10, 11, 11 }));
    }

    void zoomingInNeverEmptiesTheView()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        // About the middle of a 2-unit view both edges would round to 10.
        g.View = TIntRect { 9, 9, 11, 11 };
        ZoomAt(g, 10, 10, 1.5);
        QCOMPARE(g.View, (TIntRect { 10, 10, 11, 11 }));
        ZoomAt(g, 10, 10, 1.5);
        QVERIFY(g.View.Width() >= 1 && g.View.Height() >= 1);
    }

    void zoomOutStopsAt25Percent()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        QVERIFY(ZoomOutAllowed(g));
        int steps = 0;
        qint32 previous = g.ZoomPercent;
        while (ZoomOutAllowed(g) && steps < 100) {
            previous = g.ZoomPercent;
            ZoomAtCentre(g, 0.66);
            ++steps;
        }
        QVERIFY(steps < 100);
        QVERIFY(previous < 440);
        QVERIFY(g.ZoomPercent >= 440);
        g.ZoomPercent = 439;
        QVERIFY(ZoomOutAllowed(g));
        g.ZoomPercent = 440;
        QVERIFY(!ZoomOutAllowed(g));
    }

    void zoomAtKeepsThePointInPlace()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        const TIntRect start = g.View;
        const TSystem* s = m.system(QStringLiteral("Noll"));
        const QPoint before = m.at(s);
        ZoomAt(g, s->MapX, s->MapY, 1.5);
        QCOMPARE(g.View.Width(), 733333);
        QVERIFY((m.at(s) - before).manhattanLength() <= 1);
        ZoomAt(g, s->MapX, s->MapY, 0.66);
        QVERIFY((m.at(s) - before).manhattanLength() <= 1);
        // 1.5 x 0.66 = 0.99: the view does not come back exactly.
        QVERIFY(g.View != start);
        QCOMPARE(g.View.Width(), 1111111);
    }

    void zoomingFarOutKeepsTheViewInRange()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        // Dragging with both buttons can ask for 0.02 again and again.
        for (int i = 0; i < 20; ++i)
            ZoomAtCentre(g, 0.02);
        QVERIFY(g.View.Left < 0 && g.View.Right > 1000000);
        QVERIFY(double(g.View.Right) - g.View.Left <= 1000000001.0);
        QCOMPARE(g.View.Width(), g.View.Height());
        QVERIFY(g.ZoomPercent > 0);
        ZoomAtCentre(g, 1.5); // and back in from there
        QVERIFY(g.View.Width() < 700000000);
    }

    void zoomAtIgnoresFactorsOfZeroOrLess_data()
    {
        QTest::addColumn<double>("factor");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -0.4;
    }
    void zoomAtIgnoresFactorsOfZeroOrLess()
    {
        QFETCH(double, factor);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        const TIntRect before = g.View;
        ZoomAtCentre(g, factor);
        QCOMPARE(g.View, before);
    }

    void bounds()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        const TConstellation* c
            = g.Constellations.Find(m.system(QStringLiteral("Aldera"))->Constellation->Name);
        TIntRect expected { MaxInt, MaxInt, -MaxInt, -MaxInt };
        for (const TSystem* s : c->Systems) {
            expected.Left = std::min(expected.Left, s->MapX);
            expected.Top = std::min(expected.Top, s->MapY);
            expected.Right = std::max(expected.Right, s->MapX + 1);
            expected.Bottom = std::max(expected.Bottom, s->MapY + 1);
        }
        QCOMPARE(ConstellationBounds(*c), expected);

        const TRegion* r = c->Region;
        const TIntRect rb = RegionBounds(*r);
        for (const TSystem* s : r->Systems)
            QVERIFY(s->MapX >= rb.Left && s->MapX < rb.Right && s->MapY >= rb.Top && s->MapY < rb.Bottom);

        QCOMPARE(RouteBounds(g), g.MapBounds);
        TSystem* a = m.system(QStringLiteral("Aldera"));
        TSystem* b = m.system(QStringLiteral("Kiln"));
        g.RouteList.Add(a->Name, a);
        QCOMPARE(RouteBounds(g), g.MapBounds); // one system is not a route yet
        g.RouteList.Add(b->Name, b);
        QCOMPARE(RouteBounds(g),
            (TIntRect { std::min(a->MapX, b->MapX), std::min(a->MapY, b->MapY), std::max(a->MapX, b->MapX),
                std::max(a->MapY, b->MapY) }));

        ZoomToRegion(g, r);
        const TIntRect v = g.View;
        QVERIFY(v.Left < rb.Left && v.Right > rb.Right && v.Top < rb.Top && v.Bottom > rb.Bottom);
        QCOMPARE(v.Width(), v.Height());
    }

    void systemAtCatchRadius_data()
    {
        QTest::addColumn<qint32>("zoom");
        QTest::addColumn<int>("reach");
        QTest::newRow("all systems: 2 pixels") << 110 << 2;
        QTest::newRow("dot 11: 7 pixels") << 5 << 7;
    }
    void systemAtCatchRadius()
    {
        QFETCH(qint32, zoom);
        QFETCH(int, reach);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* s = m.system(QStringLiteral("Hestra"));
        m.view(s, zoom * 10000);
        QCOMPARE(g.ZoomPercent, zoom);
        const QPoint p = m.at(s);
        QCOMPARE(SystemAt(g, p.x(), p.y()), s);
        QCOMPARE(SystemAt(g, p.x() + reach, p.y()), s);
        QCOMPARE(SystemAt(g, p.x(), p.y() - reach), s);
        QCOMPARE(SystemAt(g, p.x() + reach, p.y() + 1), nullptr); // just outside the circle
        QCOMPARE(SystemAt(g, p.x() - reach - 1, p.y()), nullptr);
        s->Region->Visible = false;
        QCOMPARE(SystemAt(g, p.x(), p.y()), nullptr);
    }

    void regionAtSkipsHiddenAndPrefersTheFirst()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        TRegion* first = g.Regions[0];
        TRegion* second = g.Regions[1];
        const TMapProjection p = Projection(g);
        const TIntRect b = RegionBounds(*first);
        const QPoint inside = p.ToScreen((b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2);
        QCOMPARE(RegionAt(g, inside.x(), inside.y()), first);
        // Make the second region's box cover the same spot: the first still wins.
        TSystem* far = second->Systems.front();
        const qint32 oldX = far->MapX, oldY = far->MapY;
        far->MapX = b.Left;
        far->MapY = b.Top;
        TIntRect b2 = RegionBounds(*second);
        QVERIFY(b2.Left <= (b.Left + b.Right) / 2 && b2.Top <= (b.Top + b.Bottom) / 2);
        QCOMPARE(RegionAt(g, inside.x(), inside.y()), first);
        first->Visible = false;
        QCOMPARE(RegionAt(g, inside.x(), inside.y()), second);
        second->Visible = false;
        QCOMPARE(RegionAt(g, inside.x(), inside.y()), nullptr);
        far->MapX = oldX;
        far->MapY = oldY;
        QCOMPARE(RegionAt(g, -5000, -5000), nullptr);
    }

    void hoverSetsHintStatusAndHotSystem()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        TSystem* s = m.system(QStringLiteral("Pell"));
        const QPoint p = m.at(s);
        const int frames = m.surface.PresentCount();
        g.HotTrack = false;
        QVERIFY(!HoverAt(g, p.x(), p.y()));
        QCOMPARE(
            m.surface.Hint(), QStringLiteral("Pell - %1 - %2").arg(s->Constellation->Name, s->Region->Name));
        QVERIFY(m.surface.HintShown());
        QCOMPARE(m.surface.Status(), QStringLiteral("Pell"));
        QCOMPARE(g.HotSystem, s);
        QCOMPARE(m.surface.PresentCount(), frames); // no redraw without hot-tracking

        QVERIFY(!HoverAt(g, -100, -100));
        QVERIFY(!m.surface.HintShown());
        QCOMPARE(m.surface.Hint(), QString());
        QCOMPARE(m.surface.Status(), QString());
        QCOMPARE(g.HotSystem, s); // cleared only while hot-tracking
    }

    void hoverRedrawsOnlyWhenTheHotSystemChanges()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        g.HotTrack = true;
        TSystem* s = m.system(QStringLiteral("Pell"));
        const QPoint p = m.at(s);
        int frames = m.surface.PresentCount();

        // Empty space, nothing hot: no frame however often the mouse moves.
        for (int x = 0; x < 5; ++x)
            QVERIFY(!HoverAt(g, x, 0));
        QCOMPARE(m.surface.PresentCount(), frames);

        QVERIFY(HoverAt(g, p.x(), p.y()));
        QCOMPARE(m.surface.PresentCount(), ++frames);
        QVERIFY(!HoverAt(g, p.x() + 1, p.y())); // still the same system
        QCOMPARE(m.surface.PresentCount(), frames);

        QVERIFY(HoverAt(g, 0, 0)); // leaving it clears the ring
        QCOMPARE(g.HotSystem, nullptr);
        QCOMPARE(m.surface.PresentCount(), ++frames);
        QVERIFY(!HoverAt(g, 1, 0));
        QCOMPARE(m.surface.PresentCount(), frames);
    }
};

QTEST_MAIN(TestMapView)
#include "tst_mapview.moc"
