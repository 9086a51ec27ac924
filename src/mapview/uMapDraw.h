#pragma once
// Drawing the 2D map: a whole frame (Redraw) onto the galaxy's surface, or onto any QPainter,
// one small function per layer. Every coordinate goes through the frame's TMapProjection.

#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QLine>
#include <QPainter>
#include <QPoint>
#include <QSize>

#include <unordered_map>
#include <vector>

#include "mapview/uMapView.h"

class TColorObj;

// The fifteen drawing colours, 0x00BBGGRR, copied from the colour scheme.
struct TMapColours {
    TColor Galaxy = 0x000000;
    TColor Route = 0x00FFFF;
    TColor RouteName = 0x008080;
    TColor System = 0xFF8000;
    TColor RegionJump = 0x4080FF;
    TColor ConstJump = 0xC08000;
    TColor SysJump = 0x804000;
    TColor Legend1 = 0xFF00FF;
    TColor Legend2 = 0xFF80FF;
    TColor Block = 0x0000FF;
    TColor Avoid = 0x0080FF;
    TColor MouseOver = 0xFFFFFF;
    TColor Character = 0x00FFFF;
    TColor CharacterText = 0xFFFF80;
    TColor MyStation = 0xFFFFFF;

    void Load(TColorObj& scheme);
};

// Fixed colours of the overlays.
constexpr TColor PureGreen = 0x00FF00;
constexpr TColor PureRed = 0x0000FF;
constexpr TColor White = 0xFFFFFF;
constexpr TColor Grey = 0x808080;
constexpr TColor Navy = 0x800000;

inline QRgb ToRgb(TColor colour)
{
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

// "tahoma" where the system has it, else the system's sans-serif.
QString MapFontFamily();
// A size in points as pixels on the 96 dpi surface the sizes were chosen for.
int PointsToPixels(int points);

// What frames keep between them: the colours and the buffers each frame refills, so that
// drawing allocates nothing per system.
class TMapRenderer {
public:
    TMapColours Colours;
    bool ColoursLoaded = false;

    // RefreshColours(): reload the drawing colours from the scheme.
    void RefreshColours(TColorObj& scheme);

    // What a frame needs of each system, by list position, read once per frame so that the
    // jump loop touches little more than the jumps themselves.
    struct TSystemInfo {
        const TSystem* System = nullptr;
        const TRegion* Region = nullptr;
        const TConstellation* Constellation = nullptr;
        QPoint Point;
        TColor SecurityColour = 0;
        bool Visible = false;
    };

    // Reused buffers.
    std::vector<TSystemInfo> Systems;
    std::vector<QPoint> Pixels; // single pixels waiting to be drawn in one colour
    std::vector<QLine> KindLines[3]; // jump links by kind: region, constellation, system
    std::unordered_map<TColor, std::size_t> SecurityBatch; // colour -> index in SecurityLines
    std::vector<std::pair<TColor, std::vector<QLine>>> SecurityLines;
    QHash<QString, int> CharacterCounts;

    // The stored jumps as list positions in Systems and list order, with what does not change
    // between frames; rebuilt when the systems or the number of jumps change.
    struct TLinkInfo {
        int From = 0, To = 0;
        quint8 Kind = 0; // 0 region, 1 constellation, 2 system
        bool DrawnFromTo = false; // between two visible ends the way back draws it instead
    };
    std::vector<TLinkInfo> Links;
    struct TLinkSource {
        qint64 Jumps = -1;
        std::size_t Systems = 0;
        const TSystem* First = nullptr;
        const TSystem* Last = nullptr;
        bool operator==(const TLinkSource&) const = default;
    } LinkSource;
};

// One frame being drawn: the painter, the projection, and the pen, brush and font state,
// which is changed only when a layer asks for something different.
class TMapFrame {
public:
    TMapFrame(TGalaxy& galaxy, QPainter& painter, QSize size, TMapRenderer& renderer);
    ~TMapFrame();
    TMapFrame(const TMapFrame&) = delete;
    TMapFrame& operator=(const TMapFrame&) = delete;

    TGalaxy& Galaxy;
    QPainter& Painter;
    TMapRenderer& Renderer;
    const TMapColours& Colours;
    const TMapProjection Projection;

    // Projects every system once and notes which are visible.
    void PrepareSystems();
    // The system's entry of this frame, or nullptr for a system not in the galaxy's list.
    const TMapRenderer::TSystemInfo* Info(const TSystem& system) const
    {
        const std::size_t i = std::size_t(system.ListIndex);
        return i < Renderer.Systems.size() && Renderer.Systems[i].System == &system ? &Renderer.Systems[i]
                                                                                    : nullptr;
    }
    QPoint Point(const TSystem& system) const;
    bool Visible(const TSystem& system) const;
    // Stored jumps in the galaxy at the last PrepareSystems.
    qint64 JumpTotal() const { return m_jumpTotal; }

    void SetPen(TColor colour, int width = 1, Qt::PenStyle style = Qt::SolidLine);
    void SetBrush(TColor colour);
    void ClearBrush();
    void SetFont(int points, bool bold = false);
    int TextWidth(const QString& text) const { return m_metrics.horizontalAdvance(text); }
    int TextHeight() const { return m_metrics.height(); }
    // Text in the given colour with its top left corner at (x, y), on a clear background.
    void TextOut(int x, int y, const QString& text, TColor colour);

    // Ellipse and rectangle over the box from (l, t) to (r, b), right and bottom excluded.
    void Ellipse(int l, int t, int r, int b);
    void Rectangle(int l, int t, int r, int b);
    void Polygon(const QPoint* points, int count);
    void Line(QPoint from, QPoint to);
    // A single pixel; runs of one colour go to the painter in one call.
    void Pixel(QPoint p, TColor colour);
    void FlushPixels();

private:
    void ApplyPen(TColor colour, int width, Qt::PenStyle style);

    TColor m_penColour = InvalidColour;
    int m_penWidth = -1;
    Qt::PenStyle m_penStyle = Qt::NoPen;
    TColor m_brushColour = InvalidColour; // InvalidColour: clear brush
    bool m_brushSet = false;
    int m_fontPoints = -1;
    bool m_fontBold = false;
    QFont m_font;
    QFontMetrics m_metrics;
    TColor m_pixelColour = InvalidColour;
    qint64 m_jumpTotal = 0;
};

// Draws the whole frame onto the galaxy's surface and presents it; nothing while the surface
// cannot draw.
void Redraw(TGalaxy& galaxy);
// The frame's layers in their order onto any painter of the given size.
void DrawFrame(TGalaxy& galaxy, QPainter& painter, QSize size, TMapRenderer& renderer);
// RefreshColours() of the galaxy: its surface's drawing colours from Colours.
void RefreshColours(TGalaxy& galaxy);

// Layers of the base map.
void ClearSurface(TMapFrame& frame);
void DrawSystems(TMapFrame& frame);
void DrawSystem(TMapFrame& frame, const TSystem& system, TColor colour, bool isRoute, bool showName,
    TColor innerColour, TColor textColour);
void DrawJumpLinks(TMapFrame& frame);
void DrawConstellationBoxes(TMapFrame& frame);

// The main window's SecBox: red at x = 0 to green at x = 100, 32 pixels high.
void PaintSecurityLegend(QPainter& painter);
