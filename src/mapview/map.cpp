#include "map.h"

#include "mapview/uMapDraw.h"
#include "mapview/uMapOverlays.h"
#include "mapview/uMapView.h"
#include "model/uGalaxy.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cstdlib>

namespace {

constexpr double WheelZoomIn = 1.5;
constexpr double WheelZoomOut = 0.66;
constexpr int WheelStep = 120; // eighths of a degree in one notch of a standard wheel
constexpr double DragZoomPixels = 50; // both-button drag: 2 % of scale per pixel

} // namespace

void ZoomAtSurfacePoint(TGalaxy& galaxy, QPoint point, double factor)
{
    const TMapProjection p = Projection(galaxy);
    ZoomAt(galaxy, p.MapXAt(point.x()), p.MapYAt(point.y()), factor);
}

// ---------------------------------------------------------------------------------------------
// The surface

TMapBox::TMapBox(TMapForm& form)
    : QWidget(&form)
    , m_form(form)
{
    setObjectName(QStringLiteral("box"));
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel comes from the back buffer
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true); // hovering needs moves without a button
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::CrossCursor);
    setMinimumSize(1, 1);
}

void TMapBox::Present()
{
    ++m_presentCount;
    update();
}

void TMapBox::SetScreenCursor(TMapCursor cursor)
{
    if (cursor == m_cursor)
        return;
    m_cursor = cursor;
    switch (cursor) {
    case TMapCursor::Move:
        setCursor(Qt::SizeAllCursor);
        break;
    case TMapCursor::Drag:
        setCursor(Qt::DragMoveCursor);
        break;
    case TMapCursor::Default: // the surface's own cursor shows again
    case TMapCursor::CrossHair:
        setCursor(Qt::CrossCursor);
        break;
    }
}

void TMapBox::SetHint(const QString& text, bool show)
{
    if (text == m_hint && show == m_hintShown)
        return;
    m_hint = text;
    m_hintShown = show;
    // A tip already on screen follows the mouse to the next system or goes.
    if (!QToolTip::isVisible())
        return;
    if (show)
        QToolTip::showText(QCursor::pos(), text, this);
    else
        QToolTip::hideText();
}

void TMapBox::ShowStatus(const QString& text)
{
    if (m_form.Host.StatusText)
        m_form.Host.StatusText(text);
}

bool TMapBox::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        if (m_hintShown)
            QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), m_hint, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void TMapBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    if (m_image.isNull())
        painter.fillRect(event->rect(), QColor(ToRgb(Renderer().Colours.Galaxy)));
    else
        painter.drawImage(event->rect(), m_image, event->rect());
}

void TMapBox::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (size().isEmpty()) {
        m_image = QImage();
        return;
    }
    m_image = QImage(size(), QImage::Format_RGB32);
    m_image.fill(QColor(ToRgb(Renderer().Colours.Galaxy)));
    m_form.FormResize();
}

void TMapBox::mousePressEvent(QMouseEvent* event)
{
    // The pop-up menu opens when a right click ends, unless the left button joined in.
    if (event->button() == Qt::RightButton)
        m_rightClick = !(event->buttons() & Qt::LeftButton);
    else
        m_rightClick = false;
    const QPoint p = event->position().toPoint();
    m_form.MouseDown(event->button(), p.x(), p.y());
}

void TMapBox::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    m_form.MouseMove(event->buttons(), event->modifiers(), p.x(), p.y());
}

void TMapBox::mouseReleaseEvent(QMouseEvent* event)
{
    m_form.MouseUp();
    if (event->button() == Qt::RightButton && m_rightClick && !(event->buttons() & Qt::LeftButton))
        m_form.ShowPopup(event->globalPosition().toPoint());
    m_rightClick = false;
}

void TMapBox::wheelEvent(QWheelEvent* event)
{
    // Fine-grained wheels and touch pads add up to whole notches; each notch is one zoom step.
    m_wheelDelta += event->angleDelta().y();
    const int steps = m_wheelDelta / WheelStep;
    m_wheelDelta -= steps * WheelStep;
    const bool up = steps > 0;
    bool handled = m_form.MapHasFocus();
    for (int i = 0; i < std::abs(steps); ++i) {
        bool done = up ? m_form.FormMouseWheelUp() : m_form.FormMouseWheelDown();
        if (!done && m_form.Host.UnhandledWheel)
            done = m_form.Host.UnhandledWheel(up);
        handled = handled || done;
    }
    event->setAccepted(handled);
}

void TMapBox::contextMenuEvent(QContextMenuEvent* event)
{
    // Mouse clicks open the menu on release (mouseReleaseEvent); the menu key opens it here.
    if (event->reason() == QContextMenuEvent::Keyboard)
        m_form.ShowPopup(event->globalPos());
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// The window

TMapForm::TMapForm(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MapForm"));
    setWindowTitle(QStringLiteral("平面星图"));
    resize(619, 611);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto item = [this](const char* name, const QString& caption, void (TMapForm::*handler)()) {
        QAction* action = PopupMenu1->addAction(caption);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    setstart1 = item("setstart1", QStringLiteral("设为起点"), &TMapForm::setstart1Click);
    setend1 = item("setend1", QStringLiteral("设为终点"), &TMapForm::setend1Click);
    setwaypoint1 = item("setwaypoint1", QStringLiteral("添加航标"), &TMapForm::setwaypoint1Click);
    PopupMenu1->addSeparator();
    AddtoExcludeList1
        = item("AddtoExcludeList1", QStringLiteral("添加到排除列表"), &TMapForm::AddtoExcludeList1Click);
    RemovefromExcludelist1 = item(
        "RemovefromExcludelist1", QStringLiteral("从排除列表删除"), &TMapForm::RemovefromExcludelist1Click);
    PopupMenu1->addSeparator();
    Zoomtosystem1 = item("Zoomtosystem1", QStringLiteral("显示星系"), &TMapForm::Zoomtosystem1Click);
    zoomtoregion1 = item("zoomtoregion1", QStringLiteral("显示星域"), &TMapForm::zoomtoregion1Click);
    Onlyshowthisregion1
        = item("Onlyshowthisregion1", QStringLiteral("仅显示本星域"), &TMapForm::Onlyshowthisregion1Click);
    Hidethisregion1
        = item("Hidethisregion1", QStringLiteral("不显示本星域"), &TMapForm::Hidethisregion1Click);
    ShowAllRegions1
        = item("ShowAllRegions1", QStringLiteral("显示所有星域"), &TMapForm::ShowAllRegions1Click);
    PopupMenu1->addSeparator();
    ResetMap1 = item("ResetMap1", QStringLiteral("重置星图"), &TMapForm::ResetMap1Click);

    RecreateSurface();
}

TMapForm::~TMapForm()
{
    if (m_galaxy && m_galaxy->Surface == box)
        m_galaxy->Surface = nullptr;
}

void TMapForm::RecreateSurface()
{
    TMapBox* old = box;
    box = new TMapBox(*this);
    if (m_galaxy)
        m_galaxy->Surface = box;
    if (old) {
        delete layout()->replaceWidget(old, box); // the layout hands its old item back to us
        delete old;
    } else {
        layout()->addWidget(box);
    }
}

void TMapForm::SetGalaxy(TGalaxy* galaxy)
{
    if (m_galaxy && m_galaxy != galaxy && m_galaxy->Surface == box)
        m_galaxy->Surface = nullptr;
    m_galaxy = galaxy;
    if (m_galaxy)
        m_galaxy->Surface = box;
}

void TMapForm::FormResize()
{
    if (m_galaxy && box && box->CanDraw())
        Redraw(*m_galaxy);
}

bool TMapForm::MapHasFocus() const
{
    return box && box->hasFocus();
}

bool TMapForm::FormMouseWheelUp()
{
    if (!MapHasFocus())
        return false;
    // No lower limit here: the wheel zooms in until the view is one map unit wide.
    if (m_galaxy)
        ZoomAtSurfacePoint(*m_galaxy, m_galaxy->MousePos, WheelZoomIn);
    return true;
}

bool TMapForm::FormMouseWheelDown()
{
    if (!MapHasFocus())
        return false;
    if (m_galaxy && ZoomOutAllowed(*m_galaxy))
        ZoomAtSurfacePoint(*m_galaxy, m_galaxy->MousePos, WheelZoomOut);
    return true;
}

void TMapForm::GiveFocus()
{
    if (!box || box->hasFocus())
        return;
    // A floating map window takes the focus as a whole window, but only from our own windows.
    QWidget* active = QApplication::activeWindow();
    if (active && active != window())
        activateWindow();
    box->setFocus(Qt::MouseFocusReason);
}

void TMapForm::MouseDown(Qt::MouseButton button, int x, int y)
{
    if (!m_galaxy || (button != Qt::LeftButton && button != Qt::RightButton))
        return;
    TGalaxy& g = *m_galaxy;
    if (TSystem* s = SystemAt(g, x, y)) {
        g.SelectedSystem = s;
        if (Host.SelectSystem)
            Host.SelectSystem(s);
    } else if (g.LoadComplete && g.HotRegion && Host.ShowRegion) {
        Host.ShowRegion(g.HotRegion);
    }
    g.DownPoint = QPoint(x, y);
    g.LastMouse = QPoint(x, y);
}

void TMapForm::MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y)
{
    if (!m_galaxy)
        return;
    TGalaxy& g = *m_galaxy;
    GiveFocus();
    g.MousePos = QPoint(x, y);

    // Region hot-tracking. Only the outline shows the hot region, so without it the frame
    // would not change.
    TRegion* const wasHot = g.HotRegion;
    g.HotRegion = RegionAt(g, x, y);
    const bool regionRedraw
        = g.HotRegion != wasHot && buttons == Qt::NoButton && modifiers == Qt::NoModifier && g.RegionHotTrack;

    if ((buttons & Qt::LeftButton) && (buttons & Qt::RightButton)) {
        const double factor = 1.0 - (y - g.LastMouse.y()) / DragZoomPixels;
        // 0 or below would empty or mirror the view; 1 would leave it as it is.
        if (factor <= 0)
            return;
        if (factor != 1.0) {
            if (const TSystem* s = g.SelectedSystem)
                ZoomAt(g, s->MapX, s->MapY, factor);
            else
                ZoomAtCentre(g, factor);
        }
        g.LastMouse = QPoint(x, y);
    } else if (buttons & Qt::LeftButton) {
        if (!g.ZoomRectMode) {
            box->SetScreenCursor(TMapCursor::Move);
            PanByPixels(g, x - g.LastMouse.x(), y - g.LastMouse.y());
            g.LastMouse = QPoint(x, y);
        } else {
            box->SetScreenCursor(TMapCursor::Drag);
            g.ZoomRect = TIntRect { g.DownPoint.x(), g.DownPoint.y(), x, y };
            g.FullDetail = false;
            Redraw(g);
            g.FullDetail = true;
        }
    } else {
        // One frame shows both a new hot region and a new hot system.
        if (!HoverAt(g, x, y) && regionRedraw)
            Redraw(g);
    }
}

void TMapForm::MouseUp()
{
    if (!m_galaxy)
        return;
    TGalaxy& g = *m_galaxy;
    if (g.ZoomRect.Left != MaxInt)
        ZoomToSurfaceRect(g, g.ZoomRect); // also drops ZoomRect
    else
        Redraw(g); // the full frame, jumps included, after a pan
    box->SetScreenCursor(TMapCursor::Default);
}

void TMapForm::ShowPopup(QPoint globalPos)
{
    PopupMenu1Popup();
    PopupMenu1->popup(globalPos);
}

void TMapForm::PopupMenu1Popup()
{
    const TSystem* s = m_galaxy ? m_galaxy->SelectedSystem : nullptr;
    for (QAction* a :
        { setstart1, setend1, setwaypoint1, RemovefromExcludelist1, AddtoExcludeList1, Zoomtosystem1 })
        a->setVisible(s != nullptr);
    if (s) {
        setstart1->setText(QStringLiteral("将 %1 设为起点").arg(s->Name));
        setend1->setText(QStringLiteral("将 %1 设为终点").arg(s->Name));
        setwaypoint1->setText(QStringLiteral("将 %1 添加为航标").arg(s->Name));
        AddtoExcludeList1->setVisible(s->BlockThreshold <= 1);
        RemovefromExcludelist1->setVisible(!AddtoExcludeList1->isVisible());
    }
    const bool hot = m_galaxy && m_galaxy->HotRegion;
    for (QAction* a : { Onlyshowthisregion1, Hidethisregion1, zoomtoregion1 })
        a->setVisible(hot);
}

void TMapForm::PlannerCommand(const std::function<void(TSystem*)>& command)
{
    if (m_galaxy && m_galaxy->SelectedSystem && command)
        command(m_galaxy->SelectedSystem);
}

void TMapForm::setstart1Click()
{
    PlannerCommand(Host.SetStart);
}
void TMapForm::setend1Click()
{
    PlannerCommand(Host.SetEnd);
}
void TMapForm::setwaypoint1Click()
{
    PlannerCommand(Host.AddWaypoint);
}
void TMapForm::AddtoExcludeList1Click()
{
    PlannerCommand(Host.EditExclusion);
}
void TMapForm::RemovefromExcludelist1Click()
{
    PlannerCommand(Host.RemoveExclusion);
}

void TMapForm::Zoomtosystem1Click()
{
    if (m_galaxy)
        ShowSystem(*m_galaxy, m_galaxy->SelectedSystem);
}

void TMapForm::zoomtoregion1Click()
{
    if (m_galaxy && m_galaxy->HotRegion)
        ZoomToRegion(*m_galaxy, m_galaxy->HotRegion);
}

void TMapForm::Hidethisregion1Click()
{
    if (!m_galaxy || !m_galaxy->HotRegion)
        return;
    m_galaxy->HotRegion->Visible = false;
    Redraw(*m_galaxy);
}

void TMapForm::Onlyshowthisregion1Click()
{
    if (!m_galaxy || !m_galaxy->HotRegion)
        return;
    for (const auto& e : m_galaxy->Regions)
        e.Object->Visible = e.Object == m_galaxy->HotRegion;
    Redraw(*m_galaxy);
}

void TMapForm::ShowAllRegions1Click()
{
    if (!m_galaxy)
        return;
    for (const auto& e : m_galaxy->Regions)
        e.Object->Visible = true;
    Redraw(*m_galaxy);
}

void TMapForm::ResetMap1Click()
{
    if (!m_galaxy)
        return;
    ShowAllSystems(*m_galaxy); // acZoom100: the view of all systems
    ShowAllRegions1Click();
}
