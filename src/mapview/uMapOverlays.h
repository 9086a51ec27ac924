#pragma once
// The map's overlays (own stations, region outlines, the route and its legend, the zoom
// rectangle, characters, the unreachable notice) and the hit tests behind hovering and clicks.

#include <QString>

#include "model/uGalaxy.h"

class TMapFrame;

void DrawMyStations(TMapFrame& frame);
void DrawRegionOutlines(TMapFrame& frame);
void DrawRoute(TMapFrame& frame);
void DrawZoomRect(TMapFrame& frame);
void DrawCharacters(TMapFrame& frame);
void DrawUnreachable(TMapFrame& frame);

inline const QString UnreachableText = QStringLiteral("DESTINATION UNREACHABLE");

// The first visible system whose dot covers the surface point (using the last frame's
// DotSize), or nullptr.
TSystem* SystemAt(const TGalaxy& galaxy, int x, int y);
// The first visible region whose bounds contain the map point under the surface point.
TRegion* RegionAt(const TGalaxy& galaxy, int x, int y);
// "name - constellation - region", the hint over a system.
QString SystemHint(const TSystem& system);
// Hovering without the left button: hint, status panel 0 and HotSystem follow the system
// under the mouse. Redraws only when hot-tracking has to show a different hot system (or
// none); returns whether it did.
bool HoverAt(TGalaxy& galaxy, int x, int y);
