#include "uMapOverlays.h"

#include "uMapDraw.h"
#include "uMapSurface.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// The legend's "0.0" and "0.000" formats: halves round away from zero, the locale's separator.
QString FormatFixed(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    return QLocale().toString(std::round(value * scale) / scale, 'f', decimals);
}

QString NameOr(const QString* name)
{
    return name ? *name : QStringLiteral("unknown");
}

} // namespace

void DrawMyStations(TMapFrame& frame)
{
    TGalaxy& g = frame.Galaxy;
    g.DotSize = DotSizeFor(g.ZoomPercent);
    const int r = DotRadius(g.DotSize);
    const int e = std::max(10, 2 * r);
    for (const auto& entry : g.Systems) {
        TColor c = 0;
        if (!entry.Object->MyStationColour(c))
            continue;
        const QPoint p = frame.Point(*entry.Object);
        frame.SetPen(c);
        frame.SetBrush(c);
        frame.Ellipse(p.x() - r - e, p.y() - r - e, p.x() + r + e, p.y() + r + e);
    }
}

void DrawRegionOutlines(TMapFrame& frame)
{
    const TGalaxy& g = frame.Galaxy;
    const TMapProjection& p = frame.Projection;
    for (const auto& entry : g.Regions) {
        const TRegion& region = *entry.Object;
        if (!region.Outlined && !(g.RegionHotTrack && g.HotRegion == &region))
            continue;
        const TIntRect b = RegionBounds(region);
        const int right = p.ScreenX(b.Right);
        const int bottom = p.ScreenY(b.Bottom);
        frame.SetPen(region.Colour);
        frame.ClearBrush();
        frame.Rectangle(p.ScreenX(b.Left), p.ScreenY(b.Top) + 1, right, bottom + 1);
        // A white name with a one-pixel grey shadow, right-aligned just below the box.
        frame.SetFont(8);
        const int tw = frame.TextWidth(region.Name);
        frame.TextOut(right - tw + 1, bottom + 4, region.Name, Grey);
        frame.TextOut(right - tw, bottom + 3, region.Name, White);
    }
}

void DrawRoute(TMapFrame& frame)
{
    const TGalaxy& g = frame.Galaxy;
    const TMapColours& c = frame.Colours;
    const int n = g.RouteList.Count();
    double lowest = MaxInt, highest = -MaxInt, sum = 0;
    // From the start (last) to the destination (first).
    for (int i = n - 1; i >= 0; --i) {
        const TSystem& s = *g.RouteList[i];
        lowest = std::min(lowest, s.Security);
        highest = std::max(highest, s.Security);
        sum += s.Security;
        if (i > 0) {
            const TSystem& t = *g.RouteList[i - 1];
            frame.SetPen(g.JumpColourMode == 1 ? c.Route : t.SecurityColour);
            frame.Line(frame.Point(s), frame.Point(t));
        }
        const TColor inner = i == n - 1 ? PureGreen : i == 0 ? PureRed : c.RouteName;
        DrawSystem(frame, s, c.Route, true, g.RouteNames, inner, c.RouteName);
    }

    frame.ClearBrush();
    frame.SetFont(8);
    const int th = frame.TextHeight();
    const int h = frame.Projection.Height();
    auto line = [&](int lines, const QString& label, const QString& value) {
        const int y = h - lines * th - 10;
        frame.TextOut(5, y, label, c.Legend1);
        frame.TextOut(60, y, value, c.Legend2);
    };
    if (n > 0) {
        line(5, QStringLiteral("跳跃数"), QString::number(n - 1));
        line(4, QStringLiteral("最高安全"), FormatFixed(highest, 1));
        line(3, QStringLiteral("最低安全"), FormatFixed(lowest, 1));
        line(2, QStringLiteral("平均安全"), FormatFixed(sum / n, 3));
    }
    line(1, QStringLiteral("比例"), ScaleText(g.ZoomPercent));
}

void DrawZoomRect(TMapFrame& frame)
{
    const TIntRect& z = frame.Galaxy.ZoomRect;
    if (z.Left == MaxInt)
        return;
    frame.ClearBrush();
    frame.SetPen(White, 1, Qt::DotLine);
    frame.Rectangle(std::min(z.Left, z.Right), std::min(z.Top, z.Bottom), std::max(z.Left, z.Right),
        std::max(z.Top, z.Bottom));
    frame.SetPen(White, 1, Qt::SolidLine);
}

void DrawCharacters(TMapFrame& frame)
{
    TGalaxy& g = frame.Galaxy;
    const TMapColours& c = frame.Colours;
    QHash<QString, int>& counts = frame.Renderer.CharacterCounts;
    counts.clear();
    const int r = DotRadius(g.DotSize);
    const int q = RoundToInt((r + 4) / 2.0);
    for (const auto& entry : g.Characters) {
        const TCharacterLocation& character = *entry.Object;
        if (!character.System || character.Ignored)
            continue;
        int& count = counts[character.System->Name];
        const int n = ++count;
        const QPoint p = frame.Point(*character.System);
        const int sx = p.x(), sy = p.y();
        frame.ClearBrush();
        frame.SetPen(c.Character, 2);
        frame.Ellipse(sx - r - 4, sy - r - 4, sx + r + 4, sy + r + 4);
        frame.Ellipse(sx - q, sy - q, sx + q, sy + q);
        frame.Line(QPoint(sx, sy - r - 5), QPoint(sx, sy + r + 5));
        frame.Line(QPoint(sx - r - 5, sy), QPoint(sx + r + 5, sy));
        frame.SetPen(c.Character, 1);
        frame.SetFont(std::max(10, 2 * r));
        const int tw = frame.TextWidth(character.Name);
        const int th = frame.TextHeight();
        frame.TextOut(sx - tw, sy - th - r - 6 + th * (n - 1), character.Name, c.CharacterText);
    }
}

void DrawUnreachable(TMapFrame& frame)
{
    frame.ClearBrush();
    frame.SetFont(10, true);
    const int tw = frame.TextWidth(UnreachableText);
    const int w = frame.Projection.Width();
    const int h = frame.Projection.Height();
    const int x = RoundToInt(w / 2.0 - tw / 2.0);
    frame.TextOut(x + 1, h - 49, UnreachableText, Navy);
    frame.TextOut(x, h - 50, UnreachableText, PureRed);
    frame.SetFont(10, false);
}

TSystem* SystemAt(const TGalaxy& galaxy, int x, int y)
{
    const TMapProjection p = Projection(galaxy);
    const qint64 reach = galaxy.DotSize / 2 + 2;
    for (const auto& e : galaxy.Systems) {
        TSystem* s = e.Object;
        if (!IsVisible(*s, p))
            continue;
        const QPoint d = p.ToScreen(*s) - QPoint(x, y);
        if (qint64(d.x()) * d.x() + qint64(d.y()) * d.y() <= reach * reach)
            return s;
    }
    return nullptr;
}

TRegion* RegionAt(const TGalaxy& galaxy, int x, int y)
{
    const TMapProjection p = Projection(galaxy);
    const qint32 mx = p.MapXAt(x);
    const qint32 my = p.MapYAt(y);
    for (const auto& e : galaxy.Regions) {
        TRegion* region = e.Object;
        if (!region->Visible)
            continue;
        const TIntRect b = RegionBounds(*region);
        if (mx >= b.Left && mx <= b.Right && my >= b.Top && my <= b.Bottom)
            return region;
    }
    return nullptr;
}

QString SystemHint(const TSystem& system)
{
    return QStringLiteral("%1 - %2 - %3")
        .arg(system.Name, NameOr(system.Constellation ? &system.Constellation->Name : nullptr),
            NameOr(system.Region ? &system.Region->Name : nullptr));
}

bool HoverAt(TGalaxy& galaxy, int x, int y)
{
    TMapSurface* surface = galaxy.Surface;
    if (TSystem* s = SystemAt(galaxy, x, y)) {
        if (surface) {
            surface->SetHint(SystemHint(*s), true);
            surface->ShowStatus(s->Name);
        }
        const bool changed = galaxy.HotSystem != s;
        galaxy.HotSystem = s;
        // Resting on the same system needs no new frame.
        if (galaxy.HotTrack && changed) {
            Redraw(galaxy);
            return true;
        }
        return false;
    }
    if (surface) {
        surface->ShowStatus(QString());
        surface->SetHint(QString(), false);
    }
    if (galaxy.HotTrack && galaxy.HotSystem) {
        galaxy.HotSystem = nullptr;
        Redraw(galaxy);
        return true;
    }
    return false;
}
