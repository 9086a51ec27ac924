#include "uMapDraw.h"

#include "uColors.h"
#include "uMapOverlays.h"
#include "uMapSurface.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QLinearGradient>

#include <algorithm>

namespace {

enum JumpKind { RegionKind, ConstellationKind, SystemKind };

QFont MapFont()
{
    QFont font(MapFontFamily());
    font.setPixelSize(PointsToPixels(8));
    // Crisp text in the exact colours asked for, as on the rest of the map.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

// ---------------------------------------------------------------- colours and fonts

void TMapColours::Load(TColorObj& scheme)
{
    Galaxy = scheme.GetColor(QStringLiteral("Galaxy"));
    Route = scheme.GetColor(QStringLiteral("Route"));
    RouteName = scheme.GetColor(QStringLiteral("RouteName"));
    System = scheme.GetColor(QStringLiteral("System"));
    RegionJump = scheme.GetColor(QStringLiteral("RegionJump"));
    ConstJump = scheme.GetColor(QStringLiteral("ConstJump"));
    SysJump = scheme.GetColor(QStringLiteral("SysJump"));
    Legend1 = scheme.GetColor(QStringLiteral("Legend1"));
    Legend2 = scheme.GetColor(QStringLiteral("Legend2"));
    Block = scheme.GetColor(QStringLiteral("Block"));
    Avoid = scheme.GetColor(QStringLiteral("Avoid"));
    MouseOver = scheme.GetColor(QStringLiteral("MouseOver"));
    Character = scheme.GetColor(QStringLiteral("Character"));
    CharacterText = scheme.GetColor(QStringLiteral("CharacterText"));
    MyStation = scheme.GetColor(QStringLiteral("MyStation"));
}

void TMapRenderer::RefreshColours(TColorObj& scheme)
{
    Colours.Load(scheme);
    ColoursLoaded = true;
}

void RefreshColours(TGalaxy& galaxy)
{
    if (galaxy.Surface && galaxy.Colours)
        galaxy.Surface->Renderer().RefreshColours(*galaxy.Colours);
}

QString MapFontFamily()
{
    static const QString family = [] {
        for (const QString& f : QFontDatabase::families())
            if (f.compare(QLatin1String("tahoma"), Qt::CaseInsensitive) == 0)
                return f;
        QFont sans(QStringLiteral("Sans Serif"));
        sans.setStyleHint(QFont::SansSerif);
        return QFontInfo(sans).family();
    }();
    return family;
}

int PointsToPixels(int points)
{
    return std::max(1, RoundToInt(points * 96 / 72.0));
}

// ---------------------------------------------------------------- frame state

TMapFrame::TMapFrame(TGalaxy& galaxy, QPainter& painter, QSize size, TMapRenderer& renderer)
    : Galaxy(galaxy)
    , Painter(painter)
    , Renderer(renderer)
    , Colours(renderer.Colours)
    , Projection(galaxy.View, size)
    , m_font(MapFont())
    , m_metrics(m_font)
{
    Painter.setRenderHint(QPainter::Antialiasing, false);
    Painter.setBackgroundMode(Qt::TransparentMode);
    Painter.setFont(m_font);
    m_fontPoints = 8;
    Renderer.Pixels.clear();
}

TMapFrame::~TMapFrame()
{
    FlushPixels();
}

void TMapFrame::PrepareSystems()
{
    std::vector<TMapRenderer::TSystemInfo>& infos = Renderer.Systems;
    infos.resize(std::size_t(Galaxy.Systems.Count()));
    m_jumpTotal = 0;
    const int count = Galaxy.Systems.Count();
    constexpr int ahead = 8; // the systems lie scattered on the heap: ask for them early
    for (int i = 0; i < count; ++i) {
        if (i + ahead < count) {
            const char* next = reinterpret_cast<const char*>(Galaxy.Systems.Object(i + ahead));
            __builtin_prefetch(next);
            __builtin_prefetch(next + 64);
            __builtin_prefetch(next + 128);
        }
        const TSystem& s = *Galaxy.Systems.Object(i);
        TMapRenderer::TSystemInfo& info = infos[std::size_t(i)];
        info.System = &s;
        info.Region = s.Region;
        info.Constellation = s.Constellation;
        info.Point = Projection.ToScreen(s);
        info.SecurityColour = s.SecurityColour;
        info.Visible = s.Region && s.Region->Visible && Projection.OnSurface(info.Point);
        m_jumpTotal += qint64(s.Jumps.size());
    }
}

QPoint TMapFrame::Point(const TSystem& system) const
{
    const TMapRenderer::TSystemInfo* info = Info(system);
    return info ? info->Point : Projection.ToScreen(system);
}

bool TMapFrame::Visible(const TSystem& system) const
{
    const TMapRenderer::TSystemInfo* info = Info(system);
    return info ? info->Visible : IsVisible(system, Projection);
}

void TMapFrame::ApplyPen(TColor colour, int width, Qt::PenStyle style)
{
    if (colour == m_penColour && width == m_penWidth && style == m_penStyle)
        return;
    m_penColour = colour;
    m_penWidth = width;
    m_penStyle = style;
    Painter.setPen(QPen(QColor(ToRgb(colour)), width, style, Qt::SquareCap, Qt::MiterJoin));
}

void TMapFrame::SetPen(TColor colour, int width, Qt::PenStyle style)
{
    FlushPixels();
    ApplyPen(colour, width, style);
}

void TMapFrame::SetBrush(TColor colour)
{
    if (m_brushSet && colour == m_brushColour)
        return;
    FlushPixels();
    m_brushSet = true;
    m_brushColour = colour;
    Painter.setBrush(QColor(ToRgb(colour)));
}

void TMapFrame::ClearBrush()
{
    if (m_brushSet && m_brushColour == InvalidColour)
        return;
    FlushPixels();
    m_brushSet = true;
    m_brushColour = InvalidColour;
    Painter.setBrush(Qt::NoBrush);
}

void TMapFrame::SetFont(int points, bool bold)
{
    if (points == m_fontPoints && bold == m_fontBold)
        return;
    FlushPixels();
    m_fontPoints = points;
    m_fontBold = bold;
    m_font.setPixelSize(PointsToPixels(points));
    m_font.setBold(bold);
    Painter.setFont(m_font);
    m_metrics = QFontMetrics(m_font);
}

void TMapFrame::TextOut(int x, int y, const QString& text, TColor colour)
{
    SetPen(colour);
    Painter.drawText(x, y + m_metrics.ascent(), text);
}

void TMapFrame::Ellipse(int l, int t, int r, int b)
{
    FlushPixels();
    // A 1-pixel outline over a w x h rectangle covers w + 1 pixels.
    Painter.drawEllipse(QRect(l, t, r - l - 1, b - t - 1));
}

void TMapFrame::Rectangle(int l, int t, int r, int b)
{
    FlushPixels();
    Painter.drawRect(QRect(l, t, r - l - 1, b - t - 1));
}

void TMapFrame::Polygon(const QPoint* points, int count)
{
    FlushPixels();
    Painter.drawPolygon(points, count);
}

void TMapFrame::Line(QPoint from, QPoint to)
{
    FlushPixels();
    Painter.drawLine(from, to);
}

void TMapFrame::Pixel(QPoint p, TColor colour)
{
    if (colour != m_pixelColour)
        FlushPixels();
    m_pixelColour = colour;
    Renderer.Pixels.push_back(p);
}

void TMapFrame::FlushPixels()
{
    std::vector<QPoint>& pixels = Renderer.Pixels;
    if (pixels.empty())
        return;
    ApplyPen(m_pixelColour, 1, Qt::SolidLine);
    Painter.drawPoints(pixels.data(), int(pixels.size()));
    pixels.clear();
}

// ---------------------------------------------------------------- the frame

void Redraw(TGalaxy& galaxy)
{
    TMapSurface* surface = galaxy.Surface;
    if (!surface || !surface->CanDraw())
        return;
    QPaintDevice* device = surface->Canvas();
    if (!device)
        return;
    {
        QPainter painter(device);
        if (!painter.isActive())
            return;
        DrawFrame(galaxy, painter, surface->Size(), surface->Renderer());
    }
    surface->Present();
}

void DrawFrame(TGalaxy& galaxy, QPainter& painter, QSize size, TMapRenderer& renderer)
{
    if (!renderer.ColoursLoaded && galaxy.Colours)
        renderer.RefreshColours(*galaxy.Colours);
    TMapFrame frame(galaxy, painter, size, renderer);
    ClearSurface(frame);
    // Until the first view is set (while loading) the map shows only its background.
    if (double(galaxy.View.Right) - galaxy.View.Left <= 0)
        return;
    UpdateZoomPercent(galaxy);
    frame.PrepareSystems();
    if (galaxy.ShowMyStations)
        DrawMyStations(frame);
    if (galaxy.JumpsReady && galaxy.DrawJumps && galaxy.FullDetail)
        DrawJumpLinks(frame);
    DrawSystems(frame);
    if (galaxy.DrawConstBoxes)
        DrawConstellationBoxes(frame);
    DrawRegionOutlines(frame);
    DrawRoute(frame);
    DrawZoomRect(frame);
    if (galaxy.ShowCharacters)
        DrawCharacters(frame);
    if (galaxy.Unreachable)
        DrawUnreachable(frame);
}

void ClearSurface(TMapFrame& frame)
{
    frame.FlushPixels();
    frame.Painter.fillRect(QRect(QPoint(0, 0), QSize(frame.Projection.Width(), frame.Projection.Height())),
        QColor(ToRgb(frame.Colours.Galaxy)));
}

namespace {

void DrawSystemAt(TMapFrame& frame, const TSystem& system, bool visible, QPoint p, TColor colour,
    bool isRoute, bool showName, TColor innerColour, TColor textColour);

} // namespace

void DrawSystems(TMapFrame& frame)
{
    const TGalaxy& g = frame.Galaxy;
    for (const TMapRenderer::TSystemInfo& s : frame.Renderer.Systems) {
        if (!s.Region || !s.Region->Visible)
            continue;
        const TColor c = g.SystemColourMode == 0 ? s.Region->Colour : s.SecurityColour;
        DrawSystemAt(frame, *s.System, s.Visible, s.Point, c, false, g.AlwaysNames, c, c);
    }
}

void DrawSystem(TMapFrame& frame, const TSystem& system, TColor colour, bool isRoute, bool showName,
    TColor innerColour, TColor textColour)
{
    const TMapRenderer::TSystemInfo* info = frame.Info(system);
    DrawSystemAt(frame, system, info ? info->Visible : IsVisible(system, frame.Projection),
        info ? info->Point : frame.Projection.ToScreen(system), colour, isRoute, showName, innerColour,
        textColour);
}

namespace {

void DrawSystemAt(TMapFrame& frame, const TSystem& system, bool visible, QPoint p, TColor colour,
    bool isRoute, bool showName, TColor innerColour, TColor textColour)
{
    TGalaxy& g = frame.Galaxy;
    const TMapColours& colours = frame.Colours;
    TColor myStation = 0;
    const bool hasMyStation = g.ShowMyStations && system.MyStationColour(myStation);
    if (!visible && !hasMyStation)
        return;

    const int sx = p.x(), sy = p.y();
    const bool hot = g.HotTrack && g.HotSystem == &system;
    g.DotSize = DotSizeFor(g.ZoomPercent);
    int r = 1;
    if (g.DotSize < 2) {
        frame.Pixel(p, colour);
        if (hot)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx != 0 || dy != 0)
                        frame.Pixel(QPoint(sx + dx, sy + dy), colours.MouseOver);
    } else {
        r = DotRadius(g.DotSize);
        if (hot) {
            // The dot drawn next covers the middle and leaves a ring.
            frame.SetPen(colours.MouseOver, 2);
            frame.SetBrush(colours.Galaxy);
            frame.Ellipse(sx - r - 4, sy - r - 4, sx + r + 4, sy + r + 4);
        }
        frame.SetPen(colour);
        frame.SetBrush(colour);
        frame.Ellipse(sx - r, sy - r, sx + r, sy + r);
        if (innerColour != colour && r > 3) {
            frame.SetPen(innerColour);
            frame.SetBrush(innerColour);
            frame.Ellipse(sx - r + 1, sy - r + 1, sx + r - 1, sy + r - 1);
        }
        if (system.BlockThreshold > 1) {
            // A ring with a band from its top left to its bottom right.
            const TColor m = system.BlockThreshold == MaxInt ? colours.Block : colours.Avoid;
            frame.SetPen(m);
            frame.SetBrush(m);
            frame.Ellipse(sx - r, sy - r, sx + r, sy + r);
            frame.SetPen(colour);
            frame.SetBrush(colour);
            frame.Ellipse(sx - r + 3, sy - r + 3, sx + r - 3, sy + r - 3);
            const int q = RoundToInt(r / 3.0) - 1;
            const QPoint band[4] = { { sx - r, sy - r + q }, { sx - r + q, sy - r }, { sx + r, sy + r - q },
                { sx + r - q, sy + r } };
            frame.SetPen(m);
            frame.SetBrush(m);
            frame.Polygon(band, 4);
        }
        frame.SetBrush(colours.Galaxy);
    }

    if (showName || (g.SmartNames && g.DotSize / 2.0 > 1.5)) {
        frame.ClearBrush();
        frame.SetFont(isRoute ? std::max(7, 2 * r) : 2 * r);
        frame.TextOut(sx + r, sy + r, system.Name, textColour);
    }
}

} // namespace

namespace {

void BuildLinks(const TMapFrame& frame, TMapRenderer& R)
{
    R.Links.clear();
    const TMapRenderer::TSystemInfo* first = R.Systems.data();
    for (const TMapRenderer::TSystemInfo& s : R.Systems)
        for (const auto& jump : s.System->Jumps) {
            const TSystem* target = jump->Target;
            const TMapRenderer::TSystemInfo* t = target ? frame.Info(*target) : nullptr;
            if (!t)
                continue;
            TMapRenderer::TLinkInfo link;
            link.From = int(&s - first);
            link.To = int(t - first);
            link.Kind = quint8(s.Region != t->Region      ? RegionKind
                    : s.Constellation == t->Constellation ? SystemKind
                                                          : ConstellationKind);
            // Links are stored in both directions: between two visible systems the later one in
            // the list draws it (its colour then matches a link drawn from both ends).
            link.DrawnFromTo = !(link.To > link.From && target->JumpTo(s.System));
            R.Links.push_back(link);
        }
}

} // namespace

void DrawJumpLinks(TMapFrame& frame)
{
    const TGalaxy& g = frame.Galaxy;
    TMapRenderer& R = frame.Renderer;
    const bool byKind = g.JumpColourMode == 1;
    for (auto& lines : R.KindLines)
        lines.clear();
    for (auto& batch : R.SecurityLines)
        batch.second.clear();
    const TMapRenderer::TLinkSource source { frame.JumpTotal(), R.Systems.size(),
        R.Systems.empty() ? nullptr : R.Systems.front().System,
        R.Systems.empty() ? nullptr : R.Systems.back().System };
    if (!(source == R.LinkSource)) {
        BuildLinks(frame, R);
        R.LinkSource = source;
    }

    for (const TMapRenderer::TLinkInfo& link : R.Links) {
        const TMapRenderer::TSystemInfo& s = R.Systems[std::size_t(link.From)];
        if (!s.Visible)
            continue;
        const TMapRenderer::TSystemInfo& t = R.Systems[std::size_t(link.To)];
        if (t.Visible && !link.DrawnFromTo)
            continue;
        const QLine line(s.Point, t.Point);
        if (byKind) {
            R.KindLines[link.Kind].push_back(line);
        } else {
            auto [it, added] = R.SecurityBatch.try_emplace(t.SecurityColour, R.SecurityLines.size());
            if (added)
                R.SecurityLines.emplace_back(t.SecurityColour, std::vector<QLine>());
            R.SecurityLines[it->second].second.push_back(line);
        }
    }

    const TMapColours& c = frame.Colours;
    const TColor kindColours[3] = { c.RegionJump, c.ConstJump, c.SysJump };
    for (int k = 0; k < 3; ++k)
        if (!R.KindLines[k].empty()) {
            frame.SetPen(kindColours[k]);
            frame.Painter.drawLines(R.KindLines[k].data(), int(R.KindLines[k].size()));
        }
    for (const auto& [colour, lines] : R.SecurityLines)
        if (!lines.empty()) {
            frame.SetPen(colour);
            frame.Painter.drawLines(lines.data(), int(lines.size()));
        }
}

void DrawConstellationBoxes(TMapFrame& frame)
{
    const TMapProjection& p = frame.Projection;
    frame.ClearBrush();
    for (const auto& e : frame.Galaxy.Regions) {
        const TRegion& region = *e.Object;
        if (region.Colour <= 0)
            continue;
        frame.SetPen(region.Colour);
        for (const TConstellation* c : region.Constellations) {
            const TIntRect b = ConstellationBounds(*c);
            frame.Rectangle(
                p.ScreenX(b.Left), p.ScreenY(b.Top) + 1, p.ScreenX(b.Right), p.ScreenY(b.Bottom) + 1);
        }
    }
}

void PaintSecurityLegend(QPainter& painter)
{
    QLinearGradient gradient(0, 0, 100, 0);
    gradient.setColorAt(0, QColor(255, 0, 0));
    gradient.setColorAt(1, QColor(0, 255, 0));
    painter.fillRect(QRect(0, 0, 100, 32), gradient);
}
