#include "uMapView.h"

#include "uMapDraw.h"
#include "uMapSurface.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint32 ShowSystemSize = 26000; // the square of map units around one shown system
constexpr double AllSystemsMargin = 0.05;
constexpr double RegionMargin = 0.01;
constexpr qint32 MaxViewSize = 1000000000; // a thousand times the whole map

} // namespace

qint32 RoundToInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double r = std::nearbyint(value); // the default rounding mode: ties to even
    if (r >= double(MaxInt))
        return MaxInt;
    if (r <= -double(MaxInt))
        return -MaxInt;
    return qint32(r);
}

TMapProjection::TMapProjection(const TIntRect& view, QSize size)
    : m_view(view)
    , m_w(std::max(0, size.width()))
    , m_h(std::max(0, size.height()))
{
    const double side = std::min(m_w, m_h);
    const double w = double(view.Right) - view.Left;
    const double h = double(view.Bottom) - view.Top;
    m_sx = w != 0 ? side / w : 0;
    m_sy = h != 0 ? side / h : 1;
    // Without a surface there is no pixel to map back from.
    m_mx = side > 0 ? w / side : 0;
    m_my = side > 0 ? h / side : 0;
}

QSize SurfaceSize(const TGalaxy& galaxy)
{
    return galaxy.Surface ? galaxy.Surface->Size() : QSize();
}

TMapProjection Projection(const TGalaxy& galaxy)
{
    return TMapProjection(galaxy.View, SurfaceSize(galaxy));
}

bool IsVisible(const TSystem& system, const TMapProjection& projection)
{
    return system.Region && system.Region->Visible && projection.OnSurface(projection.ToScreen(system));
}

bool IsVisible(const TSystem& system)
{
    return system.Galaxy && IsVisible(system, Projection(*system.Galaxy));
}

qint32 DotSizeFor(qint32 zoomPercent)
{
    return 55 / std::max(1, zoomPercent);
}

qint32 DotRadius(qint32 dotSize)
{
    return RoundToInt(dotSize / 2.0) + 1;
}

qint32 ZoomPercentOf(const TIntRect& view, const TIntRect& mapBounds)
{
    // Before the load the bounds are still "empty" (negative): treat them like 0.
    if (mapBounds.Right <= 0)
        return 100;
    return RoundToInt((double(view.Right) - view.Left) / mapBounds.Right * 100.0);
}

void UpdateZoomPercent(TGalaxy& galaxy)
{
    galaxy.ZoomPercent = ZoomPercentOf(galaxy.View, galaxy.MapBounds);
    galaxy.DotSize = DotSizeFor(galaxy.ZoomPercent);
}

QString ScaleText(qint32 zoomPercent)
{
    if (zoomPercent <= 0)
        return QStringLiteral("> 11000%");
    return QString::number(RoundToInt(100.0 / (zoomPercent / 110.0))) + QLatin1Char('%');
}

TIntRect ConstellationBounds(const TConstellation& constellation)
{
    TIntRect r { MaxInt, MaxInt, -MaxInt, -MaxInt };
    for (const TSystem* s : constellation.Systems) {
        r.Left = std::min(r.Left, s->MapX);
        r.Top = std::min(r.Top, s->MapY);
        r.Right = std::max(r.Right, s->MapX + 1);
        r.Bottom = std::max(r.Bottom, s->MapY + 1);
    }
    return r;
}

TIntRect RegionBounds(const TRegion& region)
{
    TIntRect r { MaxInt, MaxInt, -MaxInt, -MaxInt };
    for (const TConstellation* c : region.Constellations) {
        const TIntRect b = ConstellationBounds(*c);
        r.Left = std::min(r.Left, b.Left);
        r.Top = std::min(r.Top, b.Top);
        r.Right = std::max(r.Right, b.Right);
        r.Bottom = std::max(r.Bottom, b.Bottom);
    }
    return r;
}

TIntRect RouteBounds(const TGalaxy& galaxy)
{
    if (galaxy.RouteList.Count() < 2)
        return galaxy.MapBounds;
    TIntRect r { MaxInt, MaxInt, -MaxInt, -MaxInt };
    for (const auto& e : galaxy.RouteList) {
        r.Left = std::min(r.Left, e.Object->MapX);
        r.Top = std::min(r.Top, e.Object->MapY);
        r.Right = std::max(r.Right, e.Object->MapX);
        r.Bottom = std::max(r.Bottom, e.Object->MapY);
    }
    return r;
}

void ZoomToRect(TGalaxy& galaxy, TIntRect rect, double margin)
{
    const bool hadZoomRect = galaxy.ZoomRect.Left != MaxInt;
    galaxy.ZoomRect = TIntRect { MaxInt, 0, 0, 0 };
    if (rect.Left > rect.Right)
        std::swap(rect.Left, rect.Right);
    if (rect.Top > rect.Bottom)
        std::swap(rect.Top, rect.Bottom);
    const double w = double(rect.Right) - rect.Left;
    const double h = double(rect.Bottom) - rect.Top;
    if (w <= 0 || h <= 0) {
        // The view stays; only a dragged rectangle still on screen has to go.
        if (hadZoomRect)
            Redraw(galaxy);
        return;
    }
    rect.Left = RoundToInt(rect.Left - w * margin);
    rect.Right = RoundToInt(rect.Right + w * margin);
    rect.Top = RoundToInt(rect.Top - h * margin);
    rect.Bottom = RoundToInt(rect.Bottom + h * margin);

    const double w2 = double(rect.Right) - rect.Left;
    const double h2 = double(rect.Bottom) - rect.Top;
    if (h2 < w2) {
        const qint32 cy = RoundToInt(rect.Top + h2 / 2);
        rect.Top = RoundToInt(cy - w2 / 2);
        rect.Bottom = RoundToInt(cy + w2 / 2);
    } else {
        const qint32 cx = RoundToInt(rect.Left + w2 / 2);
        rect.Left = RoundToInt(cx - h2 / 2);
        rect.Right = RoundToInt(cx + h2 / 2);
    }
    galaxy.View = rect;
    Redraw(galaxy);
}

void ZoomAt(TGalaxy& galaxy, qint32 mx, qint32 my, double factor)
{
    // A factor of 0 or less would empty or mirror the view.
    if (!(factor > 0) || !std::isfinite(factor))
        return;
    TIntRect& v = galaxy.View;
    const double width = double(v.Right) - v.Left;
    const double height = double(v.Bottom) - v.Top;
    const double fx = width != 0 ? (mx - double(v.Left)) / width : 0.5;
    const double fy = height != 0 ? (my - double(v.Top)) / height : 0.5;
    // Never zoom into an empty view (later zooms and the projection divide by its size), nor
    // out so far that the view's edges leave the integer range.
    const double w = std::clamp(RoundToInt(width / factor), 1, MaxViewSize);
    const double h = std::clamp(RoundToInt(height / factor), 1, MaxViewSize);
    v.Left = RoundToInt(mx - w * fx);
    v.Right = RoundToInt(mx + w * (1 - fx));
    v.Top = RoundToInt(my - h * fy);
    v.Bottom = RoundToInt(my + h * (1 - fy));
    // Rounding both edges of a 1-unit view about its middle can make them meet.
    if (v.Right <= v.Left)
        v.Right = v.Left + 1;
    if (v.Bottom <= v.Top)
        v.Bottom = v.Top + 1;
    Redraw(galaxy);
}

void Pan(TGalaxy& galaxy, qint32 dx, qint32 dy)
{
    TIntRect& v = galaxy.View;
    v.Left = RoundToInt(double(v.Left) + dx);
    v.Right = RoundToInt(double(v.Right) + dx);
    v.Top = RoundToInt(double(v.Top) + dy);
    v.Bottom = RoundToInt(double(v.Bottom) + dy);
    Redraw(galaxy);
}

void CentreOn(TGalaxy& galaxy, const TSystem* system)
{
    if (!system)
        return;
    TIntRect& v = galaxy.View;
    const double w = double(v.Right) - v.Left;
    const double h = double(v.Bottom) - v.Top;
    v.Left = RoundToInt(system->MapX - w / 2);
    v.Right = RoundToInt(system->MapX + w / 2);
    v.Top = RoundToInt(system->MapY - h / 2);
    v.Bottom = RoundToInt(system->MapY + h / 2);
    Redraw(galaxy);
}

void ShowSystem(TGalaxy& galaxy, const TSystem* system)
{
    if (!system)
        return;
    galaxy.View = TIntRect { 1, 1, ShowSystemSize, ShowSystemSize };
    CentreOn(galaxy, system);
}

void ZoomToRegion(TGalaxy& galaxy, const TRegion* region)
{
    if (region)
        ZoomToRect(galaxy, RegionBounds(*region), RegionMargin);
}

void ShowAllSystems(TGalaxy& galaxy)
{
    ZoomToRect(galaxy, galaxy.MapBounds, AllSystemsMargin);
}

QPoint MapCentre(const TGalaxy& galaxy)
{
    const TMapProjection p = Projection(galaxy);
    return { p.MapXAt(RoundToInt(p.Width() / 2.0)), p.MapYAt(RoundToInt(p.Height() / 2.0)) };
}

void ZoomAtCentre(TGalaxy& galaxy, double factor)
{
    const QPoint c = MapCentre(galaxy);
    ZoomAt(galaxy, c.x(), c.y(), factor);
}

void PanByPixels(TGalaxy& galaxy, int dx, int dy)
{
    const TMapProjection p = Projection(galaxy);
    const TIntRect& v = galaxy.View;
    galaxy.FullDetail = false;
    Pan(galaxy, RoundToInt(double(v.Left) - p.MapXAt(dx)), RoundToInt(double(v.Top) - p.MapYAt(dy)));
    galaxy.FullDetail = true;
}

void ZoomToSurfaceRect(TGalaxy& galaxy, const TIntRect& pixels)
{
    const TMapProjection p = Projection(galaxy);
    ZoomToRect(galaxy,
        TIntRect {
            p.MapXAt(pixels.Left), p.MapYAt(pixels.Top), p.MapXAt(pixels.Right), p.MapYAt(pixels.Bottom) },
        0);
}

bool ZoomInAllowed(const TGalaxy& galaxy)
{
    return galaxy.ZoomPercent > 2;
}

bool ZoomOutAllowed(const TGalaxy& galaxy)
{
    return 100.0 / std::max(galaxy.ZoomPercent / 110.0, 1.0) > 25;
}
