#include "toolicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>
#include <utility>

namespace {

// One flat palette for every image. Thin lines sit on half units and thick ones on whole
// units, so that they fall on whole pixels at 16 and at 32 px.
const QColor Ink(0x37, 0x47, 0x4f);
const QColor Muted(0x9e, 0xa7, 0xad);
const QColor Blue(0x1e, 0x88, 0xe5);
const QColor Glass(0xe3, 0xf2, 0xfd);
const QColor Red(0xe5, 0x39, 0x35);
const QColor Orange(0xfb, 0x8c, 0x00);
const QColor Amber(0xf9, 0xa8, 0x25);
const QColor Yellow(0xfd, 0xd8, 0x35);
const QColor Lime(0x7c, 0xb3, 0x42);
const QColor Green(0x43, 0xa0, 0x47);
const QColor Purple(0x8e, 0x24, 0xaa);
const QColor Pink(0xec, 0x40, 0x7a);
const QColor Teal(0x00, 0x89, 0x7b);

using TDraw = void (*)(QPainter&);

QPen Line(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Dot(QPainter& p, QPointF centre, qreal radius, const QColor& fill, const QColor& edge = Ink)
{
    p.setPen(QPen(edge, 1));
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
}

void Stroke(QPainter& p, std::initializer_list<QPointF> points, const QPen& pen)
{
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(points.begin(), int(points.size()));
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& fill)
{
    const QPointF points[] = { a, b, c };
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPolygon(points, 3);
}

// A magnifier: the lens at the upper left, the handle towards the lower right corner.
void Magnifier(QPainter& p, QPointF centre, qreal radius)
{
    const qreal reach = radius * 0.7071 + 0.8;
    Stroke(p, { centre + QPointF(reach, reach), QPointF(14.5, 14.5) }, Line(Ink, 2.5));
    p.setPen(QPen(Ink, 1.5));
    p.setBrush(Glass);
    p.drawEllipse(centre, radius, radius);
}

// The letter A of the name images.
void LetterA(QPainter& p, const QColor& colour)
{
    QPen pen = Line(colour, 2);
    pen.setJoinStyle(Qt::MiterJoin);
    pen.setCapStyle(Qt::FlatCap);
    Stroke(p, { { 1.5, 14 }, { 6, 2.5 }, { 10.5, 14 } }, pen);
    Stroke(p, { { 3.5, 10 }, { 8.5, 10 } }, pen);
}

// Four systems in the corners of the image, each in its own colour.
void FourSystems(QPainter& p, const QColor (&colours)[4])
{
    const QPointF at[] = { { 3.5, 4.5 }, { 12, 3.5 }, { 4, 12 }, { 12.5, 12 } };
    p.setPen(QPen(Muted, 1));
    p.drawLine(at[0], at[1]);
    p.drawLine(at[0], at[2]);
    p.drawLine(at[1], at[3]);
    for (int i = 0; i < 4; ++i)
        Dot(p, at[i], 2.5, colours[i], colours[i].darker(150));
}

// Three systems joined by three jumps, each jump in its own colour.
void ThreeJumps(QPainter& p, const QColor (&colours)[3])
{
    const QPointF a(3, 13), b(8, 3), c(13, 13);
    Stroke(p, { a, b }, Line(colours[0], 2.2));
    Stroke(p, { b, c }, Line(colours[1], 2.2));
    Stroke(p, { c, a }, Line(colours[2], 2.2));
    for (QPointF at : { a, b, c })
        Dot(p, at, 1.8, Ink);
}

// A route across the image in the map's route colour.
void Route(QPainter& p, std::initializer_list<QPointF> points)
{
    Stroke(p, points, Line(Amber, 2));
    Dot(p, *points.begin(), 1.8, Yellow, Amber.darker(140));
    Dot(p, *(points.end() - 1), 1.8, Yellow, Amber.darker(140));
}

// A shield with a chevron pointing up or down.
void Shield(QPainter& p, const QColor& fill, bool up)
{
    QPainterPath shield;
    shield.moveTo(8, 1);
    shield.lineTo(14, 3.5);
    shield.cubicTo(14, 9.5, 11.5, 13, 8, 15);
    shield.cubicTo(4.5, 13, 2, 9.5, 2, 3.5);
    shield.closeSubpath();
    p.setPen(QPen(fill.darker(130), 1));
    p.setBrush(fill);
    p.drawPath(shield);
    QPen pen = Line(Qt::white, 2);
    const qreal tip = up ? 5 : 10.5, base = up ? 9.5 : 6;
    Stroke(p, { { 5, base }, { 8, tip }, { 11, base } }, pen);
}

void CursorPan(QPainter& p)
{
    Stroke(p, { { 8, 3.5 }, { 8, 12.5 } }, QPen(Ink, 2));
    Stroke(p, { { 3.5, 8 }, { 12.5, 8 } }, QPen(Ink, 2));
    Triangle(p, { 8, 0.5 }, { 4.5, 4.5 }, { 11.5, 4.5 }, Ink);
    Triangle(p, { 8, 15.5 }, { 4.5, 11.5 }, { 11.5, 11.5 }, Ink);
    Triangle(p, { 0.5, 8 }, { 4.5, 4.5 }, { 4.5, 11.5 }, Ink);
    Triangle(p, { 15.5, 8 }, { 11.5, 4.5 }, { 11.5, 11.5 }, Ink);
    Dot(p, { 8, 8 }, 2, Blue, Blue.darker(130));
}

void CursorZoom(QPainter& p)
{
    QPen dashed(Ink, 1, Qt::CustomDashLine, Qt::FlatCap);
    dashed.setDashPattern({ 2, 1 });
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, 10, 10));
    Magnifier(p, { 9.5, 9.5 }, 3.5);
}

void HotTrack(QPainter& p)
{
    p.setPen(QPen(Ink, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 6.25, 6.25);
    Dot(p, { 8, 8 }, 3, Red, Red.darker(140));
}

void DrawJumps(QPainter& p)
{
    Stroke(p, { { 3.5, 12.5 }, { 12.5, 3.5 } }, Line(Blue, 2));
    Dot(p, { 3.5, 12.5 }, 2.5, Blue);
    Dot(p, { 12.5, 3.5 }, 2.5, Blue);
}

void DrawConstBox(QPainter& p)
{
    p.setPen(QPen(Blue, 1));
    p.setBrush(QColor(0xbb, 0xde, 0xfb, 110));
    p.drawRect(QRectF(0.5, 0.5, 15, 15));
    Stroke(p, { { 4.5, 5 }, { 11, 4.5 }, { 7.5, 11.5 } }, QPen(Muted, 1));
    for (QPointF at : { QPointF(4.5, 5), QPointF(11, 4.5), QPointF(7.5, 11.5) })
        Dot(p, at, 1.8, Ink, Ink);
}

void ShowNames(QPainter& p)
{
    LetterA(p, Ink);
    Dot(p, { 13, 12.5 }, 2, Blue);
}

void SmartNames(QPainter& p)
{
    LetterA(p, Ink);
    QPainterPath star; // a four-pointed spark
    star.moveTo(12.5, 1);
    star.quadTo(13, 4, 15.5, 4.5);
    star.quadTo(13, 5, 12.5, 8);
    star.quadTo(12, 5, 9.5, 4.5);
    star.quadTo(12, 4, 12.5, 1);
    p.setPen(QPen(Orange.darker(120), 0.5));
    p.setBrush(Orange);
    p.drawPath(star);
}

void NoNames(QPainter& p)
{
    LetterA(p, Muted);
    Stroke(p, { { 2, 14 }, { 14, 2 } }, Line(Red, 2));
}

void SysClrRegion(QPainter& p)
{
    FourSystems(p, { Pink, Blue, Amber, Purple });
}

void SysClrSec(QPainter& p)
{
    FourSystems(p, { Red, Orange, Yellow, Green });
}

void JmpClrType(QPainter& p)
{
    ThreeJumps(p, { Blue, Purple, Orange });
}

void JmpClrSec(QPainter& p)
{
    ThreeJumps(p, { Red, Green, Yellow });
}

void RouteZoom(QPainter& p)
{
    const QPen corner = QPen(Ink, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    Stroke(p, { { 1, 4.5 }, { 1, 1 }, { 4.5, 1 } }, corner);
    Stroke(p, { { 11.5, 1 }, { 15, 1 }, { 15, 4.5 } }, corner);
    Stroke(p, { { 1, 11.5 }, { 1, 15 }, { 4.5, 15 } }, corner);
    Stroke(p, { { 11.5, 15 }, { 15, 15 }, { 15, 11.5 } }, corner);
    Route(p, { { 4.5, 11.5 }, { 7, 6.5 }, { 9.5, 9.5 }, { 11.5, 4.5 } });
}

void RouteNames(QPainter& p)
{
    Route(p, { { 2, 14 }, { 6.5, 11 }, { 10, 13 }, { 14, 9.5 } });
    Stroke(p, { { 6.5, 11 }, { 6.5, 1.5 } }, QPen(Ink, 1.2, Qt::SolidLine, Qt::FlatCap));
    Triangle(p, { 7, 1.5 }, { 14, 4 }, { 7, 6.5 }, Red);
}

void ShowCharacters(QPainter& p)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 9.5, 11, 9), 4.5, 4.5);
    QPainterPath clip;
    clip.addRect(QRectF(0, 0, 16, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawPath(body.intersected(clip));
    p.setPen(QPen(Qt::white, 1));
    p.drawEllipse(QPointF(8, 5), 3.5, 3.5);
}

void MyStation(QPainter& p)
{
    Stroke(p, { { 2, 8 }, { 14, 8 } }, QPen(Ink, 1.5));
    p.setPen(QPen(Blue.darker(130), 1));
    p.setBrush(Blue);
    p.drawRect(QRectF(0.5, 4.5, 2.5, 7));
    p.drawRect(QRectF(13, 4.5, 2.5, 7));
    Dot(p, { 8, 8 }, 4.5, Teal, Teal.darker(140));
    p.setPen(QPen(Qt::white, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8, 8), 2.25, 2.25);
}

void PreferEqual(QPainter& p)
{
    QPen detour(Muted.darker(115), 1.2, Qt::CustomDashLine, Qt::FlatCap);
    detour.setDashPattern({ 1.5, 1.2 });
    p.setPen(detour);
    p.setBrush(Qt::NoBrush);
    QPainterPath around;
    around.moveTo(3, 13);
    around.cubicTo(0, 4, 4, 1.5, 13, 3);
    p.drawPath(around);
    Route(p, { { 3, 13 }, { 13, 3 } });
}

void PreferHigh(QPainter& p)
{
    Shield(p, Green, true);
}

void PreferLow(QPainter& p)
{
    Shield(p, Red, false);
}

void Zoom100(QPainter& p)
{
    Magnifier(p, { 7, 7 }, 5);
    Stroke(p, { { 4, 5 }, { 10, 5 } }, QPen(Ink, 2, Qt::SolidLine, Qt::FlatCap));
    Stroke(p, { { 4, 9 }, { 10, 9 } }, QPen(Ink, 2, Qt::SolidLine, Qt::FlatCap));
}

void ZoomOUT(QPainter& p)
{
    Magnifier(p, { 7, 7 }, 5);
    Stroke(p, { { 4, 7 }, { 10, 7 } }, QPen(Ink, 2, Qt::SolidLine, Qt::FlatCap));
}

void ZoomIN(QPainter& p)
{
    ZoomOUT(p);
    Stroke(p, { { 7, 4 }, { 7, 10 } }, QPen(Ink, 2, Qt::SolidLine, Qt::FlatCap));
}

void SupportUs(QPainter& p)
{
    QPainterPath heart;
    heart.moveTo(8, 14.5);
    heart.cubicTo(3, 11, 0.5, 8, 1, 5);
    heart.cubicTo(1.5, 1.5, 6, 0.5, 8, 4);
    heart.cubicTo(10, 0.5, 14.5, 1.5, 15, 5);
    heart.cubicTo(15.5, 8, 13, 11, 8, 14.5);
    p.setPen(QPen(Red.darker(130), 1));
    p.setBrush(Red);
    p.drawPath(heart);
}

const std::pair<const char*, TDraw> Images[] = {
    { "acCursorPan", CursorPan },
    { "acCursorZoom", CursorZoom },
    { "acHotTrack", HotTrack },
    { "acDrawJumps", DrawJumps },
    { "acDrawConstBox", DrawConstBox },
    { "acShowNames", ShowNames },
    { "acSmartNames", SmartNames },
    { "acNoNames", NoNames },
    { "acSysClrRegion", SysClrRegion },
    { "acSysClrSec", SysClrSec },
    { "acJmpClrType", JmpClrType },
    { "acJmpClrSec", JmpClrSec },
    { "acRouteZoom", RouteZoom },
    { "acRouteNames", RouteNames },
    { "acShowCharacters", ShowCharacters },
    { "acMyStation", MyStation },
    { "acPreferEqual", PreferEqual },
    { "acPreferHigh", PreferHigh },
    { "acPreferLow", PreferLow },
    { "acZoom100", Zoom100 },
    { "acZoomOUT", ZoomOUT },
    { "acZoomIN", ZoomIN },
    { "acSupportUs", SupportUs },
};

QPixmap Render(TDraw draw, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    draw(p);
    return pixmap;
}

} // namespace

QIcon ToolIcon(const QString& actionName)
{
    for (const auto& [name, draw] : Images) {
        if (actionName != QLatin1String(name))
            continue;
        QIcon icon;
        icon.addPixmap(Render(draw, 16));
        icon.addPixmap(Render(draw, 32));
        return icon;
    }
    return {};
}

QStringList ToolIconNames()
{
    QStringList names;
    for (const auto& image : Images)
        names << QLatin1String(image.first);
    return names;
}
