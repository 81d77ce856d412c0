#pragma once
// The globe control: the cached picture of the layers shown in a scroll
// area; drag to rotate, rubber band to zoom, click to select; a profile of
// layer files; printing.
#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>

#include <functional>
#include <string>

#include "globe/GlobeDraw.h"

class QPrinter;

enum class TGlobeMouseButton : uint8_t { mzbLeft, mzbRight, mzbMiddle, mzbNone };
enum class TScrollStyle : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

struct TGlobeViewRec {
    extended ScaleFactor = 0;
    int32_t XOrigin = 0, YOrigin = 0, XRotation = 0, YRotation = 0, ZRotation = 0;
};

class TGlobeView : public QAbstractScrollArea, public TGlobeDrawContext {
    Q_OBJECT
public:
    explicit TGlobeView(QWidget* parent = nullptr);
    ~TGlobeView() override;

    // View changes that keep the scroll bars and events in step.
    void SetScaleFactor(extended v);
    void ZoomToRect(int32_t x, int32_t y, int32_t w, int32_t h);
    void SetOrigin(QPoint p);
    QPoint GetOrigin() const { return {Model->XOrigin, Model->YOrigin}; }
    void PanGlobe(int32_t dx, int32_t dy);
    void SetProjection(TGlobeProjection p);
    void SetAltitude(int32_t a);
    void SetRotation(int axis, int32_t gu);  // 0 Z, 1 Y, 2 X
    // Bits 0-1 of index: axis (0 Z, 1 Y, 2 X); bit 2 degrees, bit 3 minutes,
    // bit 4 seconds, none GU.
    int32_t Rotation(int index) const;
    void SetRotationIn(int index, int32_t value);
    enum { riZ = 0, riY = 1, riX = 2, riDegrees = 4, riMinutes = 8, riSeconds = 16 };
    void LocateToLL(int32_t lon, int32_t lat);
    void GetViewRec(TGlobeViewRec& r) const;
    void SetViewRec(const TGlobeViewRec& r);
    void UpdateScrollBars();

    void SetScrollBars(TScrollStyle s);
    TScrollStyle ScrollBarsStyle() const { return ScrollBars; }
    void SetTransparentBackground(bool on);
    bool SetLongitudeStep(int v);
    bool SetLatitudeStep(int v);

    // Profile of layer files.
    void SaveProfile(const std::string& fileName);
    void SetProfileName(const std::string& fileName);
    std::string ProfileName() const;

    // Printing: the layers into an area of the page.
    void Print(QPrinter& printer);
    void PrintArea(QPrinter& printer, const QRect& r);
    void RenderToPrinter(QPrinter& printer, int x, int y, int height, int width);

    // What the context asks of the window.
    void RedrawLayers() override;
    void InvalidateWindow() override;
    void CopyToWindow() override;
    void BeginBusy() override;
    void EndBusy() override;
    void ViewChanged() override;

    TGlobeMouseButton MouseZoomButton = TGlobeMouseButton::mzbRight;
    TGlobeMouseButton MouseSelectButton = TGlobeMouseButton::mzbLeft;
    TGlobeMouseButton MouseRotateButton = TGlobeMouseButton::mzbLeft;
    bool MultiSelect = false;

    std::function<void()> OnZoomed, OnPanned, OnClick;
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers, int, int)> OnMouseDown, OnMouseUp;
    std::function<void(Qt::KeyboardModifiers, int, int)> OnMouseMove;
    QPoint LastMousePos;

    // Rebuilds the picture now when it is stale (as a paint would).
    void RebuildIfNeeded();
    bool ZoomDragging() const { return Zooming; }
    bool RotateDragging() const { return Rotating; }
    // Device pixels per pixel of the window: the picture, the canvas and the
    // mouse positions the globe is given are in device pixels.
    qreal PixelRatio() const { return Ratio; }

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void scrollContentsBy(int, int) override {}
    void changeEvent(QEvent* e) override;
    bool viewportEvent(QEvent* e) override;

private:
    TScrollStyle ScrollBars = TScrollStyle::ssBoth;
    bool Zooming = false, Rotating = false, Moved = false, InPaint = false, InRebuild = false;
    bool UpdatingBars = false, ClickPending = false, ScheduledRebuild = false;
    QRect ZoomRect;
    QPoint PressPos;
    GlobePoint RotateStart;
    int BusyDepthQt = 0;
    int BarPos[2] = {0, 0};
    qreal Ratio = 1;
    QPoint DevicePos(const QPointF& logical) const;
    // The canvas at the window's size and pixel ratio.
    void FitCanvas();
    void OnBarAction(int bar, int action);
    bool Is(TGlobeMouseButton b, Qt::MouseButton m) const;
    void Rebuild();
    void ApplyScrollBarPolicy();
};
