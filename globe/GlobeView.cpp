#include "globe/GlobeView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

#include "globe/core/GlobeIni.h"

namespace {
// The hourglass for as long as the object lives.
struct TBusyCursor {
    explicit TBusyCursor(bool on) : On(on && qobject_cast<QApplication*>(QCoreApplication::instance())) {
        if (On)
            QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~TBusyCursor() {
        if (On)
            QApplication::restoreOverrideCursor();
    }
    bool On;
};

int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }
}  // namespace

TGlobeView::TGlobeView(QWidget* parent) : QAbstractScrollArea(parent), TGlobeDrawContext(150, 150) {
    setFrameShape(QFrame::NoFrame);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(false);
    ScreenPPI = CanvasPPI = std::max(1, logicalDpiY());
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { OnBarAction(0, a); });
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int a) { OnBarAction(1, a); });
    ApplyScrollBarPolicy();
    resize(150, 150);
    UpdateScrollBars();
}

TGlobeView::~TGlobeView() {
    GlobeCanvas.EndOffscreen();
    Destroying = true;
}

// ---- window requests ----

void TGlobeView::RedrawLayers() {
    ViewChangedMark = true;
    ++RedrawCount;
    if (!Destroying) {
        viewport()->update();
        UpdateScrollBars();
        if (PeriodicUpdateTime > 0 && !InPaint && !ScheduledRebuild) {
            // Long layers show their progress: rebuilt outside the paint.
            ScheduledRebuild = true;
            QTimer::singleShot(0, this, [this] {
                ScheduledRebuild = false;
                try {
                    Rebuild();
                } catch (...) {
                    // The event loop must not see an exception; the paint shows what was built.
                }
                viewport()->update();
            });
        }
    }
}

void TGlobeView::InvalidateWindow() {
    ++InvalidateCount;
    if (!Destroying)
        viewport()->update();
}

void TGlobeView::CopyToWindow() {
    ++CopyCount;
    if (!InPaint && !Destroying)
        viewport()->repaint();
}

void TGlobeView::BeginBusy() {
    ++BusyDepth;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TGlobeView::EndBusy() {
    --BusyDepth;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) && QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void TGlobeView::ViewChanged() { RedrawLayers(); }

// ---- view ----

void TGlobeView::SetScaleFactor(extended v) {
    const extended old = ScaleFactor();
    try {
        TGlobeContext::SetScaleFactor(v);
        if (ScaleFactor() != old && OnZoomed)
            OnZoomed();
    } catch (...) {
        // A scale the model refuses leaves the one it had.
    }
    UpdateScrollBars();
}

void TGlobeView::SetAltitude(int32_t a) {
    if (a == 0)
        SetScaleFactor(0);
    else if (a > 0)
        SetScaleFactor(CanvasWidth / (std::tan(50 * GlobePi / 180) * a));
}

void TGlobeView::ZoomToRect(int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w == 0 || h == 0) {
        SetScaleFactor(0);
        RedrawLayers();
        return;
    }
    try {
        const extended s = ScaleFactor();
        const extended cw = CanvasWidth, ch = CanvasHeight;
        extended a = std::min(ch / std::fabs(static_cast<extended>(h)), cw / std::fabs(static_cast<extended>(w)));
        a = std::min<extended>(a, 4);
        a = std::max<extended>(a, std::max(cw, ch) / std::numeric_limits<int32_t>::max());
        const int64_t ox = Rnd64(a * (Model->XOrigin / s - (static_cast<extended>(x) + w / 2))) + CanvasWidth / 2;
        const int64_t oy = Rnd64(a * (Model->YOrigin / s - (static_cast<extended>(y) + h / 2))) + CanvasHeight / 2;
        Model->XOrigin = Clamp32(ox);
        Model->YOrigin = Clamp32(oy);
        if (a != s) {
            Altitude = Rnd(cw / a / std::tan(50 * GlobePi / 180));
            ViewRect = {0, 0, Rnd(cw / a), Rnd(ch / a)};
            Model->SetScaleFactor(a);
            ObjectsChangedMark = true;
            if (OnZoomed)
                OnZoomed();
        }
    } catch (...) {
        // A zoom the model refuses leaves the view as it was.
    }
    UpdateScrollBars();
    RedrawLayers();
}

void TGlobeView::SetOrigin(QPoint p) {
    if (p.x() != Model->XOrigin || p.y() != Model->YOrigin) {
        Model->XOrigin = p.x();
        Model->YOrigin = p.y();
        if (OnPanned)
            OnPanned();
    }
    UpdateScrollBars();
    RedrawLayers();
}

void TGlobeView::PanGlobe(int32_t dx, int32_t dy) {
    if (dx || dy) {
        TGlobeContext::PanGlobe(dx, dy);
        if (OnPanned)
            OnPanned();
    }
    UpdateScrollBars();
    RedrawLayers();
}

void TGlobeView::SetProjection(TGlobeProjection p) {
    TGlobeContext::SetProjection(p);
    UpdateScrollBars();
    RedrawLayers();
}

void TGlobeView::SetRotation(int axis, int32_t gu) {
    static const int index[3] = {TPrjModel::pZRotation, TPrjModel::pYRotation, TPrjModel::pXRotation};
    const int32_t cur = axis == 0 ? Model->ZRotation : axis == 1 ? Model->YRotation : Model->XRotation;
    if (axis < 0 || axis > 2 || cur == gu)
        return;
    Model->SetParameter(index[axis], gu);
    RedrawLayers();
}

namespace {
int32_t RotationUnit(int index) {
    return (index & 4) ? GU_DEGREE : (index & 8) ? GU_MINUTE : (index & 16) ? GU_SECOND : 1;
}
}  // namespace

int32_t TGlobeView::Rotation(int index) const {
    const int axis = index & 3;
    const int32_t v = axis == 0 ? Model->ZRotation : axis == 1 ? Model->YRotation : Model->XRotation;
    return v / RotationUnit(index);
}

void TGlobeView::SetRotationIn(int index, int32_t value) {
    SetRotation(index & 3, Clamp32(static_cast<int64_t>(value) * RotationUnit(index)));
}

void TGlobeView::LocateToLL(int32_t lon, int32_t lat) {
    TGlobeContext::LocateToLL(lon, lat);
    UpdateScrollBars();
}

void TGlobeView::GetViewRec(TGlobeViewRec& r) const {
    r = {Model->ScaleFactor, Model->XOrigin, Model->YOrigin, Model->XRotation, Model->YRotation, Model->ZRotation};
}

void TGlobeView::SetViewRec(const TGlobeViewRec& r) {
    SetScaleFactor(r.ScaleFactor);
    SetRotation(2, r.XRotation);
    SetRotation(1, r.YRotation);
    SetRotation(0, r.ZRotation);
    SetOrigin({r.XOrigin, r.YOrigin});
}

void TGlobeView::ApplyScrollBarPolicy() {
    const bool h = ScrollBars == TScrollStyle::ssBoth || ScrollBars == TScrollStyle::ssHorizontal;
    const bool v = ScrollBars == TScrollStyle::ssBoth || ScrollBars == TScrollStyle::ssVertical;
    setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TGlobeView::SetScrollBars(TScrollStyle s) {
    ScrollBars = s;
    ApplyScrollBarPolicy();
    UpdateScrollBars();
}

void TGlobeView::UpdateScrollBars() {
    if (UpdatingBars || Destroying)
        return;
    UpdatingBars = true;
    const extended s = ScaleFactor();
    const TModelExtent& e = Model->ModelExtent;
    auto set = [&](QScrollBar* bar, int i, int64_t page, int64_t lo, int64_t hi, int64_t origin, int32_t size) {
        const int64_t lim = 1073741823;
        const int64_t mn = -std::min<int64_t>(lim, std::llabs(lo - page));
        const int64_t mx = std::min<int64_t>(lim, std::llabs(hi + page));
        const int64_t pos = -Rnd64((origin - size / 2) / s) - page / 2;
        // Qt's maximum leaves the page out.
        bar->setRange(Clamp32(mn), Clamp32(std::max(mn, mx - page + 1)));
        bar->setPageStep(Clamp32(std::max<int64_t>(1, page)));
        bar->setSingleStep(Clamp32(std::max<int64_t>(1, page / 20)));
        bar->setValue(Clamp32(pos));
        BarPos[i] = bar->value();
    };
    if (ScrollBars == TScrollStyle::ssBoth || ScrollBars == TScrollStyle::ssHorizontal)
        set(horizontalScrollBar(), 0, ViewRect.Width, e.Left, e.Right, Model->XOrigin, CanvasWidth);
    if (ScrollBars == TScrollStyle::ssBoth || ScrollBars == TScrollStyle::ssVertical)
        set(verticalScrollBar(), 1, ViewRect.Height, e.Top, e.Bottom, Model->YOrigin, CanvasHeight);
    UpdatingBars = false;
}

void TGlobeView::OnBarAction(int bar, int action) {
    if (UpdatingBars)
        return;
    try {
        QScrollBar* sb = bar == 0 ? horizontalScrollBar() : verticalScrollBar();
        const int64_t page = bar == 0 ? ViewRect.Width : ViewRect.Height;
        int64_t d = 0;
        switch (action) {
        case QAbstractSlider::SliderSingleStepAdd: d = page / 20; break;
        case QAbstractSlider::SliderSingleStepSub: d = -(page / 20); break;
        case QAbstractSlider::SliderPageStepAdd: d = page / 2; break;
        case QAbstractSlider::SliderPageStepSub: d = -(page / 2); break;
        case QAbstractSlider::SliderMove: d = static_cast<int64_t>(sb->sliderPosition()) - BarPos[bar]; break;
        default: break;
        }
        if (d)
            bar == 0 ? PanGlobe(Clamp32(d), 0) : PanGlobe(0, Clamp32(d));
        sb->setSliderPosition(BarPos[bar]);
    } catch (...) {
        // A pan that fails leaves the view where it was; the bar is set back to it.
    }
}

void TGlobeView::SetTransparentBackground(bool on) {
    TransparentBackground = on;
    Background = QImage();
    RedrawLayers();
}

bool TGlobeView::SetLongitudeStep(int v) {
    if (v < 0 || v >= 180)
        return false;
    LongitudeStep = v;
    RedrawLayers();
    return true;
}

bool TGlobeView::SetLatitudeStep(int v) {
    if (v < 0 || v >= 90)
        return false;
    LatitudeStep = v;
    RedrawLayers();
    return true;
}

// ---- painting ----

void TGlobeView::Rebuild() {
    if (!(ObjectsChangedMark || ViewChangedMark) || InRebuild)
        return;
    TBusyCursor busy(ObjectsChangedMark);
    InRebuild = true;
    try {
        RenderAll();
    } catch (...) {
        GlobeCanvas.EndOffscreen();
        ObjectsChangedMark = ViewChangedMark = false;
    }
    InRebuild = false;
}

void TGlobeView::RebuildIfNeeded() { Rebuild(); }

void TGlobeView::paintEvent(QPaintEvent*) {
    InPaint = true;
    try {
        // Moved to a screen of another pixel ratio: the picture follows.
        if (std::max<qreal>(1, viewport()->devicePixelRatioF()) != Ratio)
            FitCanvas();
        if (TransparentBackground && Background.isNull() && parentWidget()) {
            QImage img(CanvasWidth, CanvasHeight, QImage::Format_RGB888);
            img.fill(Qt::black);
            QPainter ip(&img);
            ip.scale(Ratio, Ratio);
            parentWidget()->render(&ip, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
            ip.end();
            Background = img;
            ViewChangedMark = true;
        }
        if (!InRebuild)
            Rebuild();
    } catch (...) {
        // A paint must not throw; what was not built is built at the next paint.
    }
    {
        // The picture is in device pixels: drawn over the window's logical
        // size it lands one to one on the screen's pixels.
        QPainter p(viewport());
        const QImage& img = GlobeCanvas.Image;
        p.drawImage(QRectF(0, 0, img.width() / Ratio, img.height() / Ratio), img);
    }
    try {
        bool animated = false;
        for (TGlobeLayer* l : Layers)
            animated = animated || l->Animated;
        if (animated && !InRebuild) {
            GlobeCanvas.BeginOffscreen(viewport(), QTransform::fromScale(1 / Ratio, 1 / Ratio));
            DrawAnimatedLayers();
            GlobeCanvas.EndOffscreen();
        }
    } catch (...) {
        GlobeCanvas.EndOffscreen();
    }
    if (Zooming) {
        QPainter p(viewport());
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(Qt::white, 0, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.scale(1 / Ratio, 1 / Ratio);
        const QPoint a = PressPos, b = LastMousePos;
        p.drawRect(QRect(std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::abs(a.x() - b.x()), std::abs(a.y() - b.y())));
    }
    InPaint = false;
    try {
        if (OnPaint)
            OnPaint();
    } catch (...) {
        // The owner's paint handler: its failure must not reach the paint.
    }
}

void TGlobeView::FitCanvas() {
    Ratio = std::max<qreal>(1, viewport()->devicePixelRatioF());
    // Sizes given in pixels (fonts, markers) grow with the ratio, as on a printer.
    SetCanvasSize(std::max(1, static_cast<int>(std::ceil(viewport()->width() * Ratio))),
                  std::max(1, static_cast<int>(std::ceil(viewport()->height() * Ratio))),
                  std::max(1, static_cast<int>(std::lround(ScreenPPI * Ratio))));
    ObjectsChangedMark = true;
    UpdateScrollBars();
}

QPoint TGlobeView::DevicePos(const QPointF& logical) const {
    return {static_cast<int>(std::floor(logical.x() * Ratio)), static_cast<int>(std::floor(logical.y() * Ratio))};
}

void TGlobeView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    try {
        FitCanvas();
    } catch (...) {
        // A canvas that cannot be fitted keeps its size until the next resize.
    }
}

void TGlobeView::changeEvent(QEvent* e) {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::PaletteChange)
        RedrawLayers();
}

bool TGlobeView::viewportEvent(QEvent* e) { return QAbstractScrollArea::viewportEvent(e); }

// ---- mouse ----

bool TGlobeView::Is(TGlobeMouseButton b, Qt::MouseButton m) const {
    switch (b) {
    case TGlobeMouseButton::mzbLeft: return m == Qt::LeftButton;
    case TGlobeMouseButton::mzbRight: return m == Qt::RightButton;
    case TGlobeMouseButton::mzbMiddle: return m == Qt::MiddleButton;
    default: return false;
    }
}

void TGlobeView::mousePressEvent(QMouseEvent* e) {
    try {
        const QPoint pos = DevicePos(e->position());
        LastMousePos = pos;
        if (Zooming) {
            // A second button gives up the rubber band.
            Zooming = false;
            ClickPending = false;
            viewport()->update();
            return;
        }
        const Qt::KeyboardModifiers mods = e->modifiers();
        if (OnMouseDown)
            OnMouseDown(e->button(), mods, pos.x(), pos.y());
        if (MultiSelect && (mods & Qt::ControlModifier) && Is(MouseSelectButton, e->button()))
            if (TGlobeObject* o = ObjectAtXY(pos.x(), pos.y()))
                o->SetSelected(!o->Selected());
        if (mods & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier))
            return;
        PressPos = pos;
        Moved = false;
        ClickPending = true;
        if (Is(MouseZoomButton, e->button()))
            Zooming = true;
        if (Is(MouseSelectButton, e->button())) {
            // Looked up before the old selection goes, so overlapping
            // objects are taken in turn.
            TGlobeObject* hit = ObjectAtXY(pos.x(), pos.y());
            if (TGlobeObject* s = SelectedObject(); s && s != hit)
                s->SetSelected(false);
            SetSelectedObject(hit);
        }
        if (Is(MouseRotateButton, e->button())) {
            GlobePoint p;
            if (XYToLL(pos.x(), pos.y(), p)) {
                RotateStart = p;
                Rotating = true;
            }
        }
    } catch (...) {
        // A mouse handler must not throw into the event loop; the gesture is lost.
    }
}

void TGlobeView::mouseDoubleClickEvent(QMouseEvent* e) {
    try {
        const QPoint pos = DevicePos(e->position());
        if (Zooming) {
            Zooming = false;
            viewport()->update();
            return;
        }
        if (MultiSelect && (e->modifiers() & Qt::ControlModifier) && Is(MouseSelectButton, e->button()))
            if (TGlobeObject* o = ObjectAtXY(pos.x(), pos.y()))
                o->SetSelected(!o->Selected());
    } catch (...) {
        // A mouse handler must not throw into the event loop; the gesture is lost.
    }
}

void TGlobeView::mouseMoveEvent(QMouseEvent* e) {
    try {
        const QPoint pos = DevicePos(e->position());
        LastMousePos = pos;
        if ((pos - PressPos).manhattanLength() > QApplication::startDragDistance() * Ratio)
            Moved = true;
        if (Zooming)
            viewport()->update();
        if (Rotating) {
            // The grabbed place follows the cursor; a few corrections settle
            // where one step of the globe's tilt is not exact.
            for (int i = 0; i < 8; ++i) {
                GlobePoint p;
                if (!XYToLL(pos.x(), pos.y(), p))
                    break;
                const int64_t dx = static_cast<int64_t>(RotateStart.Y) - p.Y;
                const int64_t dy = WrapLongitude(static_cast<int64_t>(RotateStart.X) - p.X);
                const int64_t tol = std::max<int64_t>(1, Rnd64(0.25L / ScaleFactor()));
                if (std::llabs(dx) <= tol && std::llabs(dy) <= tol)
                    break;
                Model->SetParameter(TPrjModel::pXRotation, Clamp32(Model->XRotation + dx));
                Model->SetParameter(TPrjModel::pYRotation, WrapLongitude(dy + Model->YRotation));
            }
            RedrawLayers();
        }
        if (OnMouseMove)
            OnMouseMove(e->modifiers(), pos.x(), pos.y());
    } catch (...) {
        // A mouse handler must not throw into the event loop; the gesture is lost.
    }
}

void TGlobeView::mouseReleaseEvent(QMouseEvent* e) {
    try {
        const QPoint pos = DevicePos(e->position());
        LastMousePos = pos;
        bool zoomed = false;
        if (Zooming) {
            Zooming = false;
            const int left = std::min(pos.x(), PressPos.x()), top = std::min(pos.y(), PressPos.y());
            const int w = std::abs(pos.x() - PressPos.x()), h = std::abs(pos.y() - PressPos.y());
            if (w < 10 || h <= 9) {
                viewport()->update();
            } else {
                const extended s = ScaleFactor();
                zoomed = true;
                ZoomToRect(Rnd(left / s), Rnd(top / s), Rnd(w / s), Rnd(h / s));
            }
        }
        Rotating = false;
        const bool click = ClickPending && !Moved && !zoomed;
        ClickPending = false;
        if (click && OnClick)
            OnClick();
        if (OnMouseUp)
            OnMouseUp(e->button(), e->modifiers(), pos.x(), pos.y());
    } catch (...) {
        // A mouse handler must not throw into the event loop; the gesture is lost.
    }
}

// ---- profile ----

namespace {
std::string ProfilePath(const std::string& fileName, std::string& dir) {
    std::string n = fileName;
    std::replace(n.begin(), n.end(), '\\', '/');
    const QFileInfo fi(QString::fromStdString(n));
    dir = n.find('/') == std::string::npos ? QCoreApplication::applicationDirPath().toStdString()
                                           : fi.absolutePath().toStdString();
    return dir + "/" + fi.fileName().toStdString();
}
}  // namespace

void TGlobeView::SaveProfile(const std::string& fileName) {
    Profile.reset();
    std::string dir;
    const std::string path = ProfilePath(fileName, dir);
    OpenProfile(path);
    Profile->WriteString("Global Settings", "DataDirectory", DataDirectory);
    Profile->EraseSection("LayerList");
    int k = 0;
    for (TGlobeLayer* l : Layers) {
        if (l->Filename.empty())
            continue;
        l->SaveProfile();
        const std::string full = l->Filename.find('/') != std::string::npos ? l->Filename : l->FilePath + l->Filename;
        const QString rel = QDir(QString::fromStdString(dir)).relativeFilePath(QString::fromStdString(full));
        Profile->WriteString("LayerList", std::to_string(k++), rel.toStdString());
    }
    if (!Profile->UpdateFile())
        throw EGlobeException("SaveProfile: cannot write " + path);
}

std::string TGlobeView::ProfileName() const { return Profile ? Profile->FileName() : std::string(); }

void TGlobeView::SetProfileName(const std::string& fileName) {
    if (fileName == ProfileName())
        return;
    Clear();
    if (!fileName.empty()) {
        TBusyCursor busy(true);
        std::string dir;
        const std::string path = ProfilePath(fileName, dir);
        OpenProfile(path);
        DataDirectory = Profile->ReadString("Global Settings", "DataDirectory", DataDirectory);
        if (!DataDirectory.empty() && DataDirectory.back() != '/' && DataDirectory.back() != '\\')
            DataDirectory += '/';
        for (int n = 0; n <= 32767; ++n) {
            std::string v = Profile->ReadString("LayerList", std::to_string(n), "");
            if (v.empty())
                break;
            std::replace(v.begin(), v.end(), '\\', '/');
            TGlobeLayer* l = AddNewLayer("");
            const std::string file = v[0] == '/' ? v : (v.find('/') != std::string::npos ? dir + "/" : DataDirectory) + v;
            try {
                l->SetFilename(file);
            } catch (const std::exception&) {
                // A missing or broken layer file leaves its layer empty.
            }
        }
    }
    LayerListChanged = false;
    RedrawLayers();
}

// ---- printing ----

void TGlobeView::Print(QPrinter& printer) {
    printer.setDocName("TGlobeView Print");
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    RenderToPrinter(printer, 0, 0, page.height(), page.width());
}

void TGlobeView::PrintArea(QPrinter& printer, const QRect& r) {
    printer.setDocName("TGlobeView Print");
    RenderToPrinter(printer, r.left(), r.top(), r.height(), r.width());
}

void TGlobeView::RenderToPrinter(QPrinter& printer, int x, int y, int height, int width) {
    TBusyCursor busy(true);
    const int32_t w = CanvasWidth, h = CanvasHeight;
    // A page of another shape would not give the same view back.
    const extended scale = ScaleFactor();
    const int32_t ox = Model->XOrigin, oy = Model->YOrigin;
    try {
        SetCanvasSize(width, height, printer.resolution(), false);
        GlobeCanvas.BeginOffscreen(&printer, QTransform::fromTranslate(x, y));
        RenderLayersPass();
        RenderAnimatedLayers();
    } catch (...) {
        // A page that fails prints what was drawn; the view is restored below.
    }
    GlobeCanvas.EndOffscreen();
    SetCanvasSize(w, h, std::max(1, static_cast<int>(std::lround(ScreenPPI * Ratio))), false);
    if (ScaleFactor() != scale)
        Model->SetScaleFactor(scale);
    Model->XOrigin = ox;
    Model->YOrigin = oy;
    Altitude = Rnd(w / scale / std::tan(50 * GlobePi / 180));
    ViewRect = {0, 0, Rnd(w / scale), Rnd(h / scale)};
    ObjectsChangedMark = true;
    RedrawLayers();
}
