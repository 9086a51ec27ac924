#pragma once
// The map's projection (map coordinates <-> surface pixels) and the galaxy's view operations:
// zoom to a rectangle, zoom about a point, pan, centre, show one system, and the bounds they use.

#include <QPoint>
#include <QSize>
#include <QString>

#include <algorithm>

#include "model/uGalaxy.h"

// Nearest integer, ties to even, clamped to the 32-bit range (NaN gives 0).
qint32 RoundToInt(double value);

// One frame's mapping between the galaxy's View and a surface of W x H pixels. Both axes use
// one scale based on min(W, H): the view fills the top-left square of the surface.
class TMapProjection {
public:
    TMapProjection() = default;
    TMapProjection(const TIntRect& view, QSize size);

    const TIntRect& View() const { return m_view; }
    int Width() const { return m_w; }
    int Height() const { return m_h; }

    // Points far off the surface are held at +-2^30 so that offsets around them stay in range.
    int ScreenX(qint32 mx) const { return FarOff(RoundToInt((double(mx) - m_view.Left) * m_sx)); }
    int ScreenY(qint32 my) const { return FarOff(RoundToInt((double(my) - m_view.Top) * m_sy)); }
    QPoint ToScreen(qint32 mx, qint32 my) const { return { ScreenX(mx), ScreenY(my) }; }
    QPoint ToScreen(const TSystem& system) const { return ToScreen(system.MapX, system.MapY); }

    // The exact inverses, used for every conversion from surface to map.
    qint32 MapXAt(int sx) const { return RoundToInt(sx * m_mx + m_view.Left); }
    qint32 MapYAt(int sy) const { return RoundToInt(sy * m_my + m_view.Top); }

    // The point lies on the surface, right and bottom edges included.
    bool OnSurface(QPoint p) const { return p.x() >= 0 && p.x() <= m_w && p.y() >= 0 && p.y() <= m_h; }

private:
    static int FarOff(int v) { return std::clamp(v, -(1 << 30), 1 << 30); }

    TIntRect m_view;
    int m_w = 0, m_h = 0;
    double m_sx = 0, m_sy = 0; // pixels per map unit
    double m_mx = 0, m_my = 0; // map units per pixel
};

// The surface's size, empty without a surface.
QSize SurfaceSize(const TGalaxy& galaxy);
// The galaxy's view on its surface as it is now.
TMapProjection Projection(const TGalaxy& galaxy);

// TSystem.IsVisible(): on the surface and in a visible region.
bool IsVisible(const TSystem& system, const TMapProjection& projection);
bool IsVisible(const TSystem& system);

// 55 / zoomPercent truncated; a zoom of 0 or less counts as 1.
qint32 DotSizeFor(qint32 zoomPercent);
// The radius of a dot: dotSize / 2 rounded, plus 1.
qint32 DotRadius(qint32 dotSize);
// The view's width as a percentage of MapBounds.right, rounded; 100 without bounds.
qint32 ZoomPercentOf(const TIntRect& view, const TIntRect& mapBounds);
// Sets ZoomPercent and DotSize from the current view (done by every frame).
void UpdateZoomPercent(TGalaxy& galaxy);
// The legend's scale: "100%" for the view of all systems, "> 11000%" at ZoomPercent 0 or less.
QString ScaleText(qint32 zoomPercent);

TIntRect ConstellationBounds(const TConstellation& constellation);
TIntRect RegionBounds(const TRegion& region);
// The route's extent, or MapBounds for a route of fewer than 2 systems.
TIntRect RouteBounds(const TGalaxy& galaxy);

// View operations; each ends with Redraw unless it changes nothing.
void ZoomToRect(TGalaxy& galaxy, TIntRect rect, double margin);
void ZoomAt(TGalaxy& galaxy, qint32 mx, qint32 my, double factor); // factor <= 0 is ignored
void Pan(TGalaxy& galaxy, qint32 dx, qint32 dy);
void CentreOn(TGalaxy& galaxy, const TSystem* system);
void ShowSystem(TGalaxy& galaxy, const TSystem* system);
void ZoomToRegion(TGalaxy& galaxy, const TRegion* region);
// All systems with 5 % margins: the first view after the load and acZoom100.
void ShowAllSystems(TGalaxy& galaxy);

// Helpers for the map window, all through the projection.
// The map point under the surface centre (W / 2, H / 2 rounded).
QPoint MapCentre(const TGalaxy& galaxy);
// ZoomAt about the surface centre.
void ZoomAtCentre(TGalaxy& galaxy, double factor);
// Moves the map content with a mouse drag of (dx, dy) pixels, drawn without jumps.
void PanByPixels(TGalaxy& galaxy, int dx, int dy);
// Zooms to a rectangle of surface pixels given by any two opposite corners (margin 0).
void ZoomToSurfaceRect(TGalaxy& galaxy, const TIntRect& pixels);
// The zoom-in action's and main window wheel's test: ZoomPercent above 2.
bool ZoomInAllowed(const TGalaxy& galaxy);
// The zoom-out action's and map wheel's test: the displayed scale is above 25 %.
bool ZoomOutAllowed(const TGalaxy& galaxy);
