// Frames of the tiny universe drawn into QImages (pixels at the projected points) and onto a
// recording device (the lines and texts a frame issues).
#include "mapfixture.h"
#include "mapview/uMapOverlays.h"

#include <QPaintEngine>
#include <QTest>

#include <algorithm>
#include <set>

namespace {

// Keeps the lines and texts it is asked to draw; everything else is dropped.
class TRecordingEngine : public QPaintEngine {
public:
    struct Text {
        QString text;
        QPoint baseline;
    };
    TRecordingEngine()
        : QPaintEngine(QPaintEngine::AllFeatures)
    {
    }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    void updateState(const QPaintEngineState&) override { }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { }
    void drawLines(const QLine* lines, int n) override { Lines.insert(Lines.end(), lines, lines + n); }
    void drawLines(const QLineF* lines, int n) override
    {
        for (int i = 0; i < n; ++i)
            Lines.push_back(lines[i].toLine());
    }
    void drawPath(const QPainterPath&) override { }
    void drawPoints(const QPointF*, int) override { }
    void drawPoints(const QPoint*, int) override { }
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override { }
    void drawPolygon(const QPoint*, int, PolygonDrawMode) override { }
    void drawRects(const QRect*, int) override { }
    void drawRects(const QRectF*, int) override { }
    void drawEllipse(const QRectF&) override { }
    void drawEllipse(const QRect&) override { }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        Texts.push_back({ item.text(), p.toPoint() });
    }
    Type type() const override { return QPaintEngine::User; }

    std::vector<QLine> Lines;
    std::vector<Text> Texts;
};

class TRecordingDevice : public QPaintDevice {
public:
    explicit TRecordingDevice(QSize size)
        : m_size(size)
    {
    }
    QPaintEngine* paintEngine() const override { return &m_engine; }
    TRecordingEngine& engine() { return m_engine; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return m_size.width() * 254 / 960;
        case PdmHeightMM:
            return m_size.height() * 254 / 960;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return 1 << 24;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    QSize m_size;
    mutable TRecordingEngine m_engine;
};

// Draws one frame of the galaxy onto a recording device.
TRecordingEngine& record(TRecordingDevice& device, TGalaxy& g, QSize size, TMapRenderer& renderer)
{
    QPainter painter(&device);
    DrawFrame(g, painter, size, renderer);
    return device.engine();
}

TRecordingEngine& record(TRecordingDevice& device, TGalaxy& g, QSize size)
{
    TMapRenderer renderer;
    return record(device, g, size, renderer);
}

using TPair = std::pair<std::pair<int, int>, std::pair<int, int>>;

TPair unordered(QPoint a, QPoint b)
{
    std::pair<int, int> p { a.x(), a.y() }, q { b.x(), b.y() };
    return p < q ? TPair { p, q } : TPair { q, p };
}

bool near(const QImage& img, QPoint p, QRgb colour)
{
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (img.valid(p + QPoint(dx, dy))
                && (img.pixel(p + QPoint(dx, dy)) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
    return false;
}

int countColour(const QImage& img, const QRect& area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.valid(x, y) && (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

QRgb rgb(TColor c)
{
    return ToRgb(c) & 0xFFFFFF;
}

} // namespace

class TestMapDraw : public QObject {
    Q_OBJECT

private slots:
    void dotColourBySystemColourMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("by region") << 0;
        QTest::newRow("by security") << 1;
    }
    void dotColourBySystemColourMode()
    {
        QFETCH(int, mode);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        g.SystemColourMode = quint8(mode);
        ShowAllSystems(g);
        QCOMPARE(g.DotSize, 0);
        int checked = 0;
        bool sawNegative = false;
        for (const auto& e : g.Systems) {
            const TSystem* s = e.Object;
            const QPoint p = m.at(s);
            bool shared = false;
            for (const auto& o : g.Systems)
                shared |= o.Object != s && m.at(o.Object) == p;
            if (shared)
                continue;
            const TColor expected = mode == 0 ? s->Region->Colour : s->SecurityColour;
            QCOMPARE(m.pixel(p), rgb(expected));
            // A single pixel: the neighbours stay background.
            QCOMPARE(m.pixel(p + QPoint(1, 0)), rgb(0));
            sawNegative |= s->Security < 0;
            ++checked;
        }
        QVERIFY(checked > 30);
        QVERIFY(sawNegative);
        // The region without a colour of its own takes the scheme's System colour.
        QCOMPARE(m.region(QStringLiteral("天穹星域"))->Colour, TColor(0xFF8000));
    }

    void hiddenRegionIsNotDrawn()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TRegion* hidden = m.region(QStringLiteral("Orvane"));
        hidden->Visible = false;
        g.AlwaysNames = true;
        ShowAllSystems(g);
        for (const auto& e : g.Systems) {
            const TSystem* s = e.Object;
            if (s->Region == hidden) {
                QCOMPARE(m.pixel(m.at(s)), rgb(0));
                // Nor its name.
                QCOMPARE(
                    countColour(m.image(), QRect(m.at(s) + QPoint(1, 1), QSize(20, 6)), rgb(hidden->Colour)),
                    0);
            } else {
                QCOMPARE(m.pixel(m.at(s)), rgb(s->Region->Colour));
            }
        }
    }

    void blockedAndAvoidedRings_data()
    {
        QTest::addColumn<qint32>("threshold");
        QTest::addColumn<QString>("ring");
        QTest::newRow("blocked") << MaxInt << QStringLiteral("Block");
        QTest::newRow("avoided") << 10 << QStringLiteral("Avoid");
        QTest::newRow("avoided, 2") << 2 << QStringLiteral("Avoid");
        QTest::newRow("normal") << 1 << QString();
    }
    void blockedAndAvoidedRings()
    {
        QFETCH(qint32, threshold);
        QFETCH(QString, ring);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* s = m.system(QStringLiteral("Jorvik"));
        s->BlockThreshold = threshold;
        ShowSystem(g, s);
        QCOMPARE(g.ZoomPercent, 3);
        const int r = DotRadius(g.DotSize);
        QCOMPARE(r, 10);
        const QPoint p = m.at(s);
        const QRgb own = rgb(s->Region->Colour);
        const QRgb mark = ring.isEmpty() ? own : rgb(g.Colours->GetColor(ring));
        QCOMPARE(m.pixel(p + QPoint(0, -r + 1)), mark); // the ring
        QCOMPARE(m.pixel(p + QPoint(-r + 1, 0)), mark);
        QCOMPARE(m.pixel(p + QPoint(3, -3)), own); // inside, off the band
        QCOMPARE(m.pixel(p), mark); // the band through the middle
        QCOMPARE(m.pixel(p + QPoint(-r - 2, 0)), rgb(0)); // outside the dot
    }

    void noRingOnSinglePixelDots()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TSystem* s = m.system(QStringLiteral("Jorvik"));
        s->BlockThreshold = MaxInt;
        ShowAllSystems(m.g());
        QCOMPARE(m.pixel(m.at(s)), rgb(s->Region->Colour));
        QCOMPARE(m.pixel(m.at(s) + QPoint(0, -1)), rgb(0));
    }

    void hotTrackMarksTheHotSystem_data()
    {
        QTest::addColumn<bool>("hotTrack");
        QTest::addColumn<bool>("fullView");
        QTest::newRow("pixels around a single dot") << true << true;
        QTest::newRow("ring around a large dot") << true << false;
        QTest::newRow("hot-tracking off") << false << false;
    }
    void hotTrackMarksTheHotSystem()
    {
        QFETCH(bool, hotTrack);
        QFETCH(bool, fullView);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* s = m.system(QStringLiteral("Umber"));
        g.HotTrack = hotTrack;
        g.HotSystem = s;
        if (fullView)
            ShowAllSystems(g);
        else
            ShowSystem(g, s);
        const QPoint p = m.at(s);
        const QRgb white = rgb(0xFFFFFF);
        const QRgb own = rgb(s->Region->Colour);
        if (fullView) {
            QCOMPARE(m.pixel(p), own);
            QCOMPARE(m.pixel(p + QPoint(1, 1)), white);
            QCOMPARE(m.pixel(p + QPoint(-1, 0)), white);
            return;
        }
        const int r = DotRadius(g.DotSize);
        const int ring = countColour(m.image(), QRect(p.x(), p.y() - r - 5, 1, 5), white)
            + countColour(m.image(), QRect(p.x() - r - 5, p.y(), 5, 1), white);
        QCOMPARE(ring > 0, hotTrack);
        QCOMPARE(m.pixel(p + QPoint(3, -3)), own);
    }

    void routeStartAndDestination_data()
    {
        QTest::addColumn<QStringList>("route"); // destination first
        QTest::addColumn<qint32>("width");
        QTest::addColumn<bool>("centres");
        const QStringList two { QStringLiteral("Brisk"), QStringLiteral("Aldera") };
        QTest::newRow("radius 4") << two << 90000 << true;
        QTest::newRow("radius 3: no centres") << two << 130000 << false;
        QTest::newRow("one system is the start") << QStringList { QStringLiteral("Aldera") } << 90000 << true;
    }
    void routeStartAndDestination()
    {
        QFETCH(QStringList, route);
        QFETCH(qint32, width);
        QFETCH(bool, centres);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        for (const QString& name : route)
            g.RouteList.Add(name, m.system(name));
        TSystem* start = g.RouteList[g.RouteList.Count() - 1];
        TSystem* destination = g.RouteList[0];
        TSystem centre(&g); // a point half-way between the ends
        centre.MapX = (start->MapX + destination->MapX) / 2;
        centre.MapY = (start->MapY + destination->MapY) / 2;
        m.view(&centre, width);
        QCOMPARE(g.ZoomPercent, width / 10000);
        QVERIFY(IsVisible(*start) && IsVisible(*destination));

        const QRgb yellow = rgb(g.Colours->GetColor(QStringLiteral("Route")));
        QCOMPARE(m.pixel(m.at(start)), centres ? rgb(PureGreen) : yellow);
        if (destination != start)
            QCOMPARE(m.pixel(m.at(destination)), centres ? rgb(PureRed) : yellow);
        // The dot itself is the route colour around the centre.
        const int r = DotRadius(g.DotSize);
        QVERIFY(countColour(m.image(), QRect(m.at(start) - QPoint(r, r), QSize(2 * r, 2 * r)), yellow) > 4);
    }

    void routeLegend_data()
    {
        QTest::addColumn<QStringList>("route");
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("three systems")
            << QStringList { QStringLiteral("Brisk"), QStringLiteral("Glint"), QStringLiteral("Aldera") }
            << QStringList { QStringLiteral("跳跃数"), QStringLiteral("2"), QStringLiteral("最高安全"),
                   QStringLiteral("1.0"), QStringLiteral("最低安全"), QStringLiteral("0.9"),
                   QStringLiteral("平均安全"), QStringLiteral("0.950"), QStringLiteral("比例"),
                   QStringLiteral("100%") };
        QTest::newRow("one system") << QStringList { QStringLiteral("Brisk") }
                                    << QStringList { QStringLiteral("跳跃数"), QStringLiteral("0"),
                                           QStringLiteral("最高安全"), QStringLiteral("0.9"),
                                           QStringLiteral("最低安全"), QStringLiteral("0.9"),
                                           QStringLiteral("平均安全"), QStringLiteral("0.900"),
                                           QStringLiteral("比例"), QStringLiteral("100%") };
        QTest::newRow("no route") << QStringList()
                                  << QStringList { QStringLiteral("比例"), QStringLiteral("100%") };
    }
    void routeLegend()
    {
        QFETCH(QStringList, route);
        QFETCH(QStringList, texts);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        g.RouteNames = false;
        for (const QString& name : route)
            g.RouteList.Add(name, m.system(name));
        m.surface.Resize(QSize()); // draw only onto the recording device
        ShowAllSystems(g);
        const QSize size(512, 400);
        TRecordingDevice device(size);
        TRecordingEngine& e = record(device, g, size);
        QStringList drawn;
        for (const auto& t : e.Texts)
            drawn << t.text;
        QCOMPARE(drawn, texts);
        // Five lines up from the bottom, labels at x = 5 and values at x = 60.
        if (!e.Texts.empty()) {
            QCOMPARE(e.Texts.front().baseline.x(), 5);
            QCOMPARE(e.Texts.back().baseline.x(), 60);
            QVERIFY(e.Texts.back().baseline.y() < size.height() - 10);
            QVERIFY(e.Texts.back().baseline.y() > size.height() - 40);
        }
        // One leg between each pair of neighbours on the route.
        QCOMPARE(int(e.Lines.size()), std::max<int>(0, int(route.size()) - 1));
    }

    void unreachableNotice_data()
    {
        QTest::addColumn<bool>("unreachable");
        QTest::newRow("unreachable") << true;
        QTest::newRow("reachable") << false;
    }
    void unreachableNotice()
    {
        QFETCH(bool, unreachable);
        TinyMap m(QSize(600, 500));
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        g.Unreachable = unreachable;
        ShowAllSystems(g);
        const QRect band(150, 500 - 50, 300, 16);
        QCOMPARE(countColour(m.image(), band, rgb(PureRed)) > 20, unreachable);
        QCOMPARE(countColour(m.image(), band.translated(1, 1), rgb(Navy)) > 5, unreachable);
        // Centred: as much red left of the middle as right of it, give or take a glyph.
        if (unreachable) {
            const int left = countColour(m.image(), QRect(150, 450, 150, 16), rgb(PureRed));
            const int right = countColour(m.image(), QRect(300, 450, 150, 16), rgb(PureRed));
            QVERIFY(std::abs(left - right) < (left + right) / 4);
        }
    }

    void smartNames_data()
    {
        QTest::addColumn<qint32>("zoom");
        QTest::addColumn<bool>("always");
        QTest::addColumn<bool>("names");
        QTest::newRow("13: smart names") << 13 << false << true;
        QTest::newRow("14: none") << 14 << false << false;
        QTest::newRow("110: none") << 110 << false << false;
        QTest::newRow("110 with AlwaysNames") << 110 << true << true;
    }
    void smartNames()
    {
        QFETCH(qint32, zoom);
        QFETCH(bool, always);
        QFETCH(bool, names);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* s = m.system(QStringLiteral("Hestra"));
        g.AlwaysNames = always;
        g.SmartNames = false;
        m.view(s, zoom * 10000);
        QCOMPARE(g.ZoomPercent, zoom);
        const QImage plain = m.image();
        g.SmartNames = true;
        m.redraw();
        const QImage smart = m.image();
        QCOMPARE(smart != plain, zoom == 13);
        // The name sits right of and below the dot, in the dot's colour.
        const int r = DotRadius(g.DotSize);
        const QRect nameBox(m.at(s) + QPoint(r, r), QSize(40, 12));
        QCOMPARE(countColour(smart, nameBox, rgb(s->Region->Colour)) > 5, names);
    }

    void jumpsDrawnOncePerLink_data()
    {
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("fullDetail");
        QTest::addColumn<QString>("region"); // zoom to it; empty: all systems
        QTest::newRow("all systems") << true << true << QString();
        QTest::newRow("one region") << true << true << QStringLiteral("Orvane");
        QTest::newRow("while dragging") << true << false << QString();
        QTest::newRow("jumps not loaded yet") << false << true << QString();
    }
    void jumpsDrawnOncePerLink()
    {
        QFETCH(bool, ready);
        QFETCH(bool, fullDetail);
        QFETCH(QString, region);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        m.addJumps();
        g.JumpsReady = ready;
        g.DrawJumps = true;
        if (region.isEmpty())
            ShowAllSystems(g);
        else
            ZoomToRegion(g, m.region(region));
        g.FullDetail = fullDetail;

        // Each stored pair of directions is one link; it is drawn when either end is visible.
        std::multiset<TPair> expected;
        int links = 0;
        for (const auto& e : g.Systems)
            for (const auto& j : e.Object->Jumps)
                if (e.Object->ListIndex < j->Target->ListIndex) {
                    ++links;
                    QVERIFY(j->Target->JumpTo(e.Object));
                    if (IsVisible(*e.Object) || IsVisible(*j->Target))
                        expected.insert(unordered(m.at(e.Object), m.at(j->Target)));
                }
        QCOMPARE(links, 44);
        if (!region.isEmpty())
            QVERIFY(expected.size() < 44 && expected.size() > 5);

        const QSize size = m.surface.Size();
        TRecordingDevice device(size);
        TRecordingEngine& e = record(device, g, size);
        std::multiset<TPair> drawn;
        for (const QLine& l : e.Lines)
            drawn.insert(unordered(l.p1(), l.p2()));
        if (ready && fullDetail)
            QVERIFY(drawn == expected);
        else
            QVERIFY(drawn.empty());
    }

    void oneWayLinkIsStillDrawn()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        m.addJumps();
        g.DrawJumps = true;
        ShowAllSystems(g);
        // Drop the way back of one link from the later system: the earlier one must draw it.
        TSystem* later = nullptr;
        TSystem* earlier = nullptr;
        for (const auto& e : g.Systems)
            for (const auto& j : e.Object->Jumps)
                if (!later && j->Target->ListIndex < e.Object->ListIndex) {
                    later = e.Object;
                    earlier = j->Target;
                }
        QVERIFY(later && earlier);
        // A renderer that has drawn the links before must notice the change.
        const QSize size = m.surface.Size();
        TMapRenderer renderer;
        TRecordingDevice before(size);
        QCOMPARE(int(record(before, g, size, renderer).Lines.size()), 44);
        auto& back = later->Jumps;
        back.erase(
            std::find_if(back.begin(), back.end(), [&](const auto& j) { return j->Target == earlier; }));
        TRecordingDevice device(size);
        TRecordingEngine& e = record(device, g, size, renderer);
        const TPair link = unordered(m.at(earlier), m.at(later));
        QCOMPARE(std::count_if(e.Lines.begin(), e.Lines.end(),
                     [&](const QLine& l) { return unordered(l.p1(), l.p2()) == link; }),
            1);
        QCOMPARE(int(e.Lines.size()), 44);
    }

    void jumpColours_data()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("by kind") << 1;
        QTest::newRow("by security") << 2;
    }
    void jumpColours()
    {
        QFETCH(int, mode);
        TinyMap m(QSize(1024, 1024));
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        m.addJumps();
        g.DrawJumps = true;
        g.JumpColourMode = quint8(mode);
        ShowAllSystems(g);
        const QImage img = m.image();
        int kinds[3] = { 0, 0, 0 };
        for (const auto& e : g.Systems) {
            const TSystem* s = e.Object;
            for (const auto& j : s->Jumps) {
                const TSystem* t = j->Target;
                if (s->ListIndex < t->ListIndex)
                    continue;
                const QPoint mid = (m.at(s) + m.at(t)) / 2;
                TColor expected = t->SecurityColour; // the earlier system's, as if drawn from both ends
                int kind = 0;
                if (mode == 1) {
                    kind = s->Region != t->Region ? 0 : s->Constellation == t->Constellation ? 2 : 1;
                    const TColor byKind[3] = { g.Colours->GetColor(QStringLiteral("RegionJump")),
                        g.Colours->GetColor(QStringLiteral("ConstJump")),
                        g.Colours->GetColor(QStringLiteral("SysJump")) };
                    expected = byKind[kind];
                }
                if (near(img, mid, rgb(expected)))
                    ++kinds[kind];
                else
                    QFAIL(qPrintable(QStringLiteral("link %1 - %2 not in its colour").arg(s->Name, t->Name)));
            }
        }
        if (mode == 1)
            QVERIFY(kinds[0] > 0 && kinds[1] > 0 && kinds[2] > 0);
    }

    void regionOutlines_data()
    {
        QTest::addColumn<bool>("outlined");
        QTest::addColumn<bool>("hotTrack");
        QTest::addColumn<bool>("drawn");
        QTest::newRow("outlined, even hidden") << true << false << true;
        QTest::newRow("hot region") << false << true << true;
        QTest::newRow("hot region, hot-tracking off") << false << false << false;
    }
    void regionOutlines()
    {
        QFETCH(bool, outlined);
        QFETCH(bool, hotTrack);
        QFETCH(bool, drawn);
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TRegion* region = m.region(QStringLiteral("Hollow Drift"));
        region->Outlined = outlined;
        region->Visible = !outlined;
        g.HotRegion = region;
        g.RegionHotTrack = hotTrack;
        ShowAllSystems(g);
        const TMapProjection p = Projection(g);
        const TIntRect b = RegionBounds(*region);
        const int left = p.ScreenX(b.Left), right = p.ScreenX(b.Right) - 1;
        const int top = p.ScreenY(b.Top) + 1, bottom = p.ScreenY(b.Bottom);
        const QRgb colour = rgb(region->Colour);
        QCOMPARE(m.pixel(left, (top + bottom) / 2) == colour, drawn);
        QCOMPARE(m.pixel((left + right) / 2, top) == colour, drawn);
        // The white label under the box's right end.
        QCOMPARE(countColour(m.image(), QRect(right - 60, bottom + 3, 62, 14), rgb(White)) > 5, drawn);
    }

    void charactersStackTheirNames()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* a = m.system(QStringLiteral("Aldera"));
        TSystem* k = m.system(QStringLiteral("Kiln"));
        auto add = [&](const QString& name, TSystem* s, bool ignored = false) {
            auto c = std::make_unique<TCharacterLocation>();
            c->Name = name;
            c->System = s;
            c->Ignored = ignored;
            g.Characters.Add(name + QLatin1Char('=') + (s ? s->Name : QString()), c.release());
        };
        add(QStringLiteral("Ann"), a);
        add(QStringLiteral("Nobody"), nullptr);
        add(QStringLiteral("Hidden"), a, true);
        add(QStringLiteral("Bartholomew"), a);
        add(QStringLiteral("Cy"), k);
        g.ShowCharacters = true;
        m.surface.Resize(QSize());
        ShowAllSystems(g);
        const QSize size(512, 512);
        TRecordingDevice device(size);
        TRecordingEngine& e = record(device, g, size);

        QFont font(MapFontFamily());
        font.setPixelSize(PointsToPixels(10)); // the larger of 10 and 2 x r
        const QFontMetrics fm(font);
        const int r = 1, th = fm.height();
        const TMapProjection p(g.View, size);
        auto expectAt = [&](const QString& name, const TSystem* s, int n) {
            const QPoint sp = p.ToScreen(*s);
            return QPoint(
                sp.x() - fm.horizontalAdvance(name), sp.y() - th - r - 6 + th * (n - 1) + fm.ascent());
        };
        // After the legend's scale line.
        QStringList names;
        for (const auto& t : e.Texts)
            names << t.text;
        QCOMPARE(names,
            (QStringList { QStringLiteral("比例"), QStringLiteral("100%"), QStringLiteral("Ann"),
                QStringLiteral("Bartholomew"), QStringLiteral("Cy") }));
        QCOMPARE(e.Texts[2].baseline, expectAt(QStringLiteral("Ann"), a, 1));
        QCOMPARE(e.Texts[3].baseline, expectAt(QStringLiteral("Bartholomew"), a, 2));
        QCOMPARE(e.Texts[4].baseline, expectAt(QStringLiteral("Cy"), k, 1));
        // Each mark is a cross through the system.
        QCOMPARE(int(e.Lines.size()), 6);
    }

    void myStationDiscsLieUnderTheDots()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        TSystem* s = m.system(QStringLiteral("Wold"));
        TOfficeGroup group;
        group.Colour = 0x00FF00;
        TStation station(&g);
        station.System = s;
        station.OfficeGroups.push_back(&group);
        s->Stations.push_back(&station);
        g.ShowMyStations = true;
        ShowAllSystems(g);
        const QPoint p = m.at(s);
        s->Stations.clear();
        QCOMPARE(m.pixel(p), rgb(s->Region->Colour));
        QCOMPARE(m.pixel(p + QPoint(8, 0)), rgb(0x00FF00));
        QCOMPARE(m.pixel(p + QPoint(0, -9)), rgb(0x00FF00));
        QCOMPARE(m.pixel(p + QPoint(14, 0)), rgb(0));
    }

    void zoomRectangleIsDottedWhite()
    {
        TinyMap m;
        QVERIFY2(m.ok(), qPrintable(m.error));
        TGalaxy& g = m.g();
        ShowAllSystems(g);
        g.ZoomRect = TIntRect { 300, 200, 100, 100 };
        m.redraw();
        const int onTop = countColour(m.image(), QRect(110, 100, 180, 1), rgb(White));
        QVERIFY(onTop > 30 && onTop < 170); // dotted, not solid
        QVERIFY(countColour(m.image(), QRect(100, 110, 1, 80), rgb(White)) > 15);
        ZoomToSurfaceRect(g, TIntRect { 100, 100, 100, 300 }); // no area: dropped and wiped
        QCOMPARE(countColour(m.image(), QRect(110, 100, 180, 1), rgb(White)), 0);
    }

    void securityLegend()
    {
        QImage box(96, 7, QImage::Format_RGB32);
        box.fill(Qt::black);
        {
            QPainter p(&box);
            PaintSecurityLegend(p);
        }
        const QColor left = box.pixelColor(0, 3), middle = box.pixelColor(50, 3),
                     right = box.pixelColor(95, 6);
        QVERIFY(left.red() > 250 && left.green() < 5 && left.blue() == 0);
        QVERIFY(std::abs(middle.red() - 127) < 5 && std::abs(middle.green() - 128) < 5);
        QVERIFY(right.green() > 235 && right.red() < 20);
    }
};

QTEST_MAIN(TestMapDraw)
#include "tst_mapdraw.moc"
