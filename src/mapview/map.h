#pragma once
// The 2D map window: the drawing surface the galaxy paints into, and the mouse, wheel and pop-up
// menu on it. The view and hit-test rules live in uMapView and uMapOverlays; this window turns
// events into calls on them.
#include "mapview/uMapSurface.h"

#include <QImage>
#include <QPoint>
#include <QWidget>

#include <functional>

class QAction;
class QMenu;
class TGalaxy;
class TRegion;
class TSystem;
class TMapForm;

// ZoomAt about the map point under a surface point.
void ZoomAtSurfacePoint(TGalaxy& galaxy, QPoint point, double factor);

// The drawing surface: a widget painted from the back buffer that each frame is drawn into, so
// the map never flickers. Its mouse events go to the map window.
class TMapBox : public QWidget, public TMapSurface {
    Q_OBJECT
public:
    explicit TMapBox(TMapForm& form);

    bool CanDraw() const override { return !m_image.isNull(); }
    QSize Size() const override { return m_image.size(); }
    QPaintDevice* Canvas() override { return &m_image; }
    void Present() override;
    void SetScreenCursor(TMapCursor cursor) override;
    void SetHint(const QString& text, bool show) override;
    void ShowStatus(const QString& text) override;

    const QImage& Image() const { return m_image; }
    // Frames presented so far.
    int PresentCount() const { return m_presentCount; }
    TMapCursor ScreenCursor() const { return m_cursor; }
    const QString& Hint() const { return m_hint; }
    bool HintShown() const { return m_hintShown; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    TMapForm& m_form;
    QImage m_image;
    int m_presentCount = 0;
    TMapCursor m_cursor = TMapCursor::CrossHair;
    QString m_hint;
    bool m_hintShown = false;
    int m_wheelDelta = 0; // eighths of a degree not yet turned into a zoom step
    bool m_rightClick = false; // a right press that may still open the pop-up menu
};

// What the map window asks of the windows around it; unset members are skipped.
struct TMapFormHost {
    std::function<void(TSystem*)> SelectSystem; // the main window's SelectSystem
    std::function<void(TRegion*)> ShowRegion; // the 3D region view shows the region, no system in focus
    std::function<void(const QString&)> StatusText; // the main window's status panel 0
    // A wheel turn the map window leaves unhandled (it lacks the focus): the main window's rule.
    // Returns whether it was handled.
    std::function<bool(bool up)> UnhandledWheel;
    // The route planner's operations.
    std::function<void(TSystem*)> SetStart;
    std::function<void(TSystem*)> SetEnd;
    std::function<void(TSystem*)> AddWaypoint;
    std::function<void(TSystem*)> EditExclusion;
    std::function<void(TSystem*)> RemoveExclusion;
};

class TMapForm : public QWidget {
    Q_OBJECT
public:
    explicit TMapForm(QWidget* parent = nullptr);
    ~TMapForm() override;

    // The design size, also what an MDI frame starts with.
    QSize sizeHint() const override { return { 619, 611 }; }

    // Replaces the drawing surface by a new one; a bound galaxy draws on the new one.
    void RecreateSurface();
    TMapSurface* Surface() const { return box; }
    // Binds the galaxy whose view this window shows and points its Surface here; nullptr
    // unbinds it (before the galaxy is freed).
    void SetGalaxy(TGalaxy* galaxy);
    TGalaxy* Galaxy() const { return m_galaxy; }

    TMapFormHost Host;

    // Events.
    void FormResize();
    // Each returns whether the wheel was handled: only while the map has the keyboard focus.
    bool FormMouseWheelUp();
    bool FormMouseWheelDown();
    bool MapHasFocus() const;
    void MouseDown(Qt::MouseButton button, int x, int y);
    void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp();
    // Prepares PopupMenu1 for the selected system and the hot region and opens it.
    void ShowPopup(QPoint globalPos);

    // Components.
    TMapBox* box = nullptr;
    QMenu* PopupMenu1;
    QAction *setstart1, *setend1, *setwaypoint1, *AddtoExcludeList1, *RemovefromExcludelist1, *Zoomtosystem1,
        *zoomtoregion1, *Onlyshowthisregion1, *Hidethisregion1, *ShowAllRegions1, *ResetMap1;

public slots:
    void PopupMenu1Popup();
    void setstart1Click();
    void setend1Click();
    void setwaypoint1Click();
    void AddtoExcludeList1Click();
    void RemovefromExcludelist1Click();
    void Zoomtosystem1Click();
    void zoomtoregion1Click();
    void Hidethisregion1Click();
    void Onlyshowthisregion1Click();
    void ShowAllRegions1Click();
    void ResetMap1Click();

private:
    void GiveFocus();
    void PlannerCommand(const std::function<void(TSystem*)>& command);

    TGalaxy* m_galaxy = nullptr;
};
