#pragma once
// The drawing surface of the 2D map: a back buffer the galaxy draws whole frames into and the
// map window shows, plus the window-side services the map uses (cursor, hint, status text).

#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

class QPaintDevice;
class TMapRenderer;

enum class TMapCursor {
    Default, // the screen's normal cursor
    CrossHair,
    Move, // while panning
    Drag, // while dragging a zoom rectangle
};

// Implemented by the map window; TImageSurface serves tests and image export.
class TMapSurface {
public:
    TMapSurface();
    virtual ~TMapSurface();
    TMapSurface(const TMapSurface&) = delete;
    TMapSurface& operator=(const TMapSurface&) = delete;

    // False until the back buffer exists and while it is lost: then nothing is drawn.
    virtual bool CanDraw() const = 0;
    // W x H in pixels.
    virtual QSize Size() const = 0;
    // The back buffer a frame is drawn into; only used while CanDraw().
    virtual QPaintDevice* Canvas() = 0;
    // Shows the finished frame at once (flip).
    virtual void Present() = 0;
    virtual void SetScreenCursor(TMapCursor cursor) = 0;
    // The tool-tip over the surface; show false hides it.
    virtual void SetHint(const QString& text, bool show) = 0;
    // Panel 0 of the main window's status bar.
    virtual void ShowStatus(const QString& text) = 0;

    // Drawing colours and the buffers reused from frame to frame on this surface.
    TMapRenderer& Renderer() { return *m_renderer; }

private:
    std::unique_ptr<TMapRenderer> m_renderer;
};

// A surface over a QImage. Records what the map asked of it so that callers can check.
class TImageSurface : public TMapSurface {
public:
    explicit TImageSurface(QSize size = {});

    // A new, empty back buffer of this size.
    void Resize(QSize size);
    const QImage& Image() const { return m_image; }

    bool CanDraw() const override { return !m_image.isNull(); }
    QSize Size() const override { return m_image.size(); }
    QPaintDevice* Canvas() override { return &m_image; }
    void Present() override { ++m_presentCount; }
    void SetScreenCursor(TMapCursor cursor) override { m_cursor = cursor; }
    void SetHint(const QString& text, bool show) override
    {
        m_hint = text;
        m_hintShown = show;
    }
    void ShowStatus(const QString& text) override { m_status = text; }

    int PresentCount() const { return m_presentCount; }
    TMapCursor Cursor() const { return m_cursor; }
    const QString& Hint() const { return m_hint; }
    bool HintShown() const { return m_hintShown; }
    const QString& Status() const { return m_status; }

private:
    QImage m_image;
    int m_presentCount = 0;
    TMapCursor m_cursor = TMapCursor::CrossHair;
    QString m_hint;
    bool m_hintShown = false;
    QString m_status;
};
