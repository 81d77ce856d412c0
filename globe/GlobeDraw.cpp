#include "globe/GlobeDraw.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cmath>
#include <limits>

#include "globe/core/GlobeGeodesy.h"
#include "platform/qt/QtGraphics.h"

namespace {
constexpr uint16_t kCrossBits = gsPassesEdge | gsCrosses180 | gsCrossesOdd;

int Quadrant(int32_t x, int32_t cm) { return WrapLongitude(static_cast<int64_t>(x) - cm) / GU_90; }

// The longitude distance taken the short way round; never 0.
int64_t ShortDistance(int64_t a, int64_t b) {
    int64_t d = a > b ? a - b : b - a;
    if (d > 971999999)
        d = GU_360 - d;
    return d == 0 ? 1 : d;
}

uint32_t Rgb(TColor c) {
    const QColor q = ToQColor(c);
    return (static_cast<uint32_t>(q.red()) << 16) | (q.green() << 8) | q.blue();
}
}  // namespace

std::string ResolveGlobeFile(const std::string& name, const std::vector<std::string>& folders) {
    std::string n = name;
    std::replace(n.begin(), n.end(), '\\', '/');
    if (n.empty())
        return {};
    auto findCI = [](const QString& dir, const QString& rel) -> QString {
        // Walks the path one part at a time, matching each ignoring case.
        QString cur = dir.isEmpty() ? QStringLiteral(".") : dir;
        const QStringList parts = rel.split('/', Qt::SkipEmptyParts);
        for (const QString& part : parts) {
            const QString exact = QDir(cur).filePath(part);
            if (QFileInfo::exists(exact)) {
                cur = exact;
                continue;
            }
            const QStringList entries = QDir(cur).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
            QString hit;
            for (const QString& e : entries)
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    hit = e;
                    break;
                }
            if (hit.isEmpty())
                return {};
            cur = QDir(cur).filePath(hit);
        }
        return QFileInfo(cur).isFile() ? cur : QString();
    };
    const QString rel = QString::fromStdString(n);
    if (QDir::isAbsolutePath(rel)) {
        const QString r = findCI(QStringLiteral("/"), rel);
        return r.toStdString();
    }
    for (std::string f : folders) {
        std::replace(f.begin(), f.end(), '\\', '/');
        if (f.empty())
            continue;
        const QString r = findCI(QString::fromStdString(f), rel);
        if (!r.isEmpty())
            return r.toStdString();
    }
    return {};
}

TGlobeDrawContext::TGlobeDrawContext(int32_t width, int32_t height)
    : TGlobeContext(width, height), GlobeCanvas(this) {
    Canvas = &GlobeCanvas;
    GlobeCanvas.Resize(CanvasWidth, CanvasHeight, CanvasPPI);
    GlobeCanvas.WorldTexture = &Texture;
    GridPen.OnChange = [this] { RedrawLayers(); };
}

void TGlobeDrawContext::SetColor(TColor v) {
    Color = v;
    RedrawLayers();
}

void TGlobeDrawContext::SetGlobeColor(TColor v) {
    GlobeColor = v;
    RedrawLayers();
}

void TGlobeDrawContext::SetDrawGrid(TDrawGrid v) {
    DrawGrid = v;
    RedrawLayers();
}

void TGlobeDrawContext::SetTransparentGlobe(bool v) {
    TransparentGlobe = v;
    RedrawLayers();
}

void TGlobeDrawContext::SetBackground(const QImage& v) {
    Background = v;
    RedrawLayers();
}

TGlobeDrawContext::~TGlobeDrawContext() {
    // The layers go after the surface: they must not draw on it then.
    GlobeCanvas.EndOffscreen();
    Canvas = nullptr;
}

bool TGlobeDrawContext::SetCanvasSize(int32_t w, int32_t h, int32_t ppi, bool image) {
    if (w <= 0 || h <= 0 || ppi <= 0)
        return false;
    if (TransparentBackground)
        Background = QImage();  // taken from behind the window again at the next paint
    // Scaling by the last step's ratio does not undo itself (a maximise and
    // restore would shrink the globe each time): the scale is taken from the
    // view the user set, by the ratio of the fitting scales of the two sizes.
    TResizeReference& ref = SizeReference;
    if (ref.Model != Model.get() || ref.MadeScale != ScaleFactor() || ref.MadeXOrigin != Model->XOrigin ||
        ref.MadeYOrigin != Model->YOrigin || ref.MadeWidth != CanvasWidth || ref.MadeHeight != CanvasHeight) {
        ref.Model = Model.get();
        ref.Width = CanvasWidth;
        ref.Height = CanvasHeight;
        ref.Scale = ScaleFactor();
        ref.XOrigin = Model->XOrigin;
        ref.YOrigin = Model->YOrigin;
    }
    extended v = ref.Scale * (FitScale(w, h) / FitScale(ref.Width, ref.Height));
    v = std::min<extended>(v, 4);
    v = std::max<extended>(v, static_cast<extended>(std::max(w, h)) / std::numeric_limits<int32_t>::max());
    // The point at the centre stays there.
    const extended r = ref.Scale > 0 ? v / ref.Scale : 1;
    Model->XOrigin = Sat32(w / 2 + Rnd64((static_cast<extended>(ref.XOrigin) - ref.Width / 2) * r));
    Model->YOrigin = Sat32(h / 2 + Rnd64((static_cast<extended>(ref.YOrigin) - ref.Height / 2) * r));
    CanvasWidth = w;
    CanvasHeight = h;
    CanvasPPI = ppi;
    if (v != ScaleFactor()) {
        Model->SetScaleFactor(v);
        ObjectsChangedMark = true;
    }
    ref.MadeScale = ScaleFactor();
    ref.MadeXOrigin = Model->XOrigin;
    ref.MadeYOrigin = Model->YOrigin;
    ref.MadeWidth = w;
    ref.MadeHeight = h;
    Altitude = Rnd(w / ScaleFactor() / std::tan(50 * GlobePi / 180));
    ViewRect = {0, 0, Rnd(w / ScaleFactor()), Rnd(h / ScaleFactor())};
    if (image)
        GlobeCanvas.Resize(w, h, ppi);
    else
        GlobeCanvas.SetClipSize(w, h);
    RedrawLayers();
    return true;
}

// ---- chains ----

void TGlobeDrawContext::DrawRun(int n) {
    if (Canvas && n >= 2)
        Canvas->Polyline(ScreenPoints.data(), n);
}

void TGlobeDrawContext::WalkChain(const std::vector<GlobePoint>& pts, bool) {
    const int32_t cm = Model->CentralMeridian;
    const int64_t e = WrapLongitude(static_cast<int64_t>(cm) + GU_180);
    int n = 0;
    bool havePrev = false;
    GlobePoint prev;
    int qPrev = 0;
    for (const GlobePoint& p : pts) {
        const int q = Quadrant(p.X, cm);
        if (havePrev && ((qPrev > 0 && q < 0) || (qPrev < 0 && q > 0))) {
            const int s = qPrev > 0 ? 1 : -1;
            const extended d1 = ShortDistance(e, prev.X), d2 = ShortDistance(prev.X, p.X);
            const int64_t lat = prev.Y + Rnd64(d1 / d2 * (static_cast<extended>(p.Y) - prev.Y));
            if (Model->ProjectPoint(MakePoint(e - s, lat), n))
                ++n;
            DrawRun(n);
            n = 0;
            if (Model->ProjectPoint(MakePoint(e + s, lat), n))
                ++n;
        }
        if (Model->ProjectPoint(p, n)) {
            ++n;
            prev = p;
            qPrev = q;
            havePrev = true;
        } else {
            DrawRun(n);
            n = 0;
        }
    }
    DrawRun(n);
}

void TGlobeDrawContext::RenderPolyline(TGeoDataObject& o) {
    o.EnsureExtent();
    if (!(o.State & gsVisible))
        o.IsVisible();
    if (FarSide)
        Canvas->SelectPen(TransparentPen->PenColor, TransparentPen->PenStyle, TransparentPen->PenWidth);
    const bool part = (o.State & (gsPartHidden | gsPartShown)) == (gsPartHidden | gsPartShown);
    if (!part && (Model->IsSpherical() || !(o.State & kCrossBits))) {
        const int n = Model->ProjectChain(o);
        DrawRun(n);
        return;
    }
    WalkChain(o.Points, false);
}

int TGlobeDrawContext::ProjectPoints(const std::vector<GlobePoint>& pts) {
    int n = 0;
    int64_t lx = std::numeric_limits<int32_t>::max(), ly = lx;
    for (const GlobePoint& p : pts) {
        if (!Model->ProjectPoint(p, n))
            continue;
        const TPoint& s = SP(n);
        if (s.X != lx || s.Y != ly) {  // as the models' own chains: same pixel only
            lx = s.X;
            ly = s.Y;
            ++n;
        }
    }
    return n;
}

void TGlobeDrawContext::RenderPolygon(TGeoDataObject& o) {
    o.EnsureExtent();
    if (!(o.State & gsVisible))
        o.IsVisible();
    if (FarSide) {
        Canvas->SelectBrush(TransparentBrush->BrushColor, TransparentBrush->BrushStyle);
        Canvas->SelectPen(TransparentPen->PenColor, TransparentPen->PenStyle, TransparentPen->PenWidth);
    }
    if (Model->IsSpherical() || !(o.State & kCrossBits)) {
        const int n = Model->ProjectChain(o);
        if (Canvas && n > 2)
            Canvas->Polygon(ScreenPoints.data(), n);
        return;
    }
    const int32_t cnt = o.Count();
    if (cnt < 3)
        return;
    const int32_t cm = Model->CentralMeridian;
    const int64_t e = WrapLongitude(static_cast<int64_t>(cm) + GU_180);
    const int32_t eastEdge = WrapLongitude(e - 1), westEdge = WrapLongitude(e + 1);
    const bool pole = o.State & gsCrossesOdd;
    // The pole the ring goes round, at the latitude the map still shows.
    extended sumY = 0;
    for (const GlobePoint& p : o.Points)
        sumY += p.Y;
    const int32_t poleLat = sumY >= 0 ? Model->ModelExtent.Bottom : Model->ModelExtent.Top;
    std::vector<GlobePoint> east, west;
    east.reserve(static_cast<size_t>(cnt) + 64);
    GlobePoint prev = o.Points.back();
    int qPrev = Quadrant(prev.X, cm);
    bool onEast = pole || WrapLongitude(static_cast<int64_t>(prev.X) - cm) >= -GU_90;
    // Along the edge from the polygon's last edge point to lat, a point every
    // degree, so the cut edge follows the map's border.
    auto edgeRun = [](std::vector<GlobePoint>& poly, int32_t edgeX, int64_t lat) {
        if (poly.empty() || poly.back().X != edgeX)
            return;
        int64_t y = poly.back().Y;
        const int64_t dir = lat > y ? GU_DEGREE : -GU_DEGREE;
        while (std::llabs(lat - y) > GU_DEGREE) {
            y += dir;
            poly.push_back(MakePoint(edgeX, y));
        }
    };
    for (const GlobePoint& p : o.Points) {
        const int q = Quadrant(p.X, cm);
        if ((qPrev > 0 && q < 0) || (qPrev < 0 && q > 0)) {
            const int64_t s = qPrev > 0 ? 1 : -1;
            const extended d1 = ShortDistance(e, prev.X), d2 = ShortDistance(prev.X, p.X);
            const int64_t lat = prev.Y + Rnd64(d1 / d2 * (static_cast<extended>(p.Y) - prev.Y));
            if (pole) {
                east.push_back(MakePoint(e - s, lat));
                east.push_back(MakePoint(e - s, poleLat));
                for (int k = 1; k < 36; ++k)
                    east.push_back(MakePoint(e - s * k * 54000000LL, poleLat));
                east.push_back(MakePoint(e + s, poleLat));
                east.push_back(MakePoint(e + s, lat));
            } else {
                std::vector<GlobePoint>& from = onEast ? east : west;
                std::vector<GlobePoint>& to = onEast ? west : east;
                const int32_t fromX = onEast ? eastEdge : westEdge, toX = onEast ? westEdge : eastEdge;
                from.push_back(MakePoint(fromX, lat));
                edgeRun(to, toX, lat);
                to.push_back(MakePoint(toX, lat));
                onEast = !onEast;
            }
        }
        (onEast ? east : west).push_back(p);
        prev = p;
        qPrev = q;
    }
    // Each half closes along the edge where it left and came back.
    for (auto* poly : {&east, &west}) {
        if (poly->size() < 2)
            continue;
        const GlobePoint first = poly->front();
        if (first.X == poly->back().X && (first.X == eastEdge || first.X == westEdge))
            edgeRun(*poly, first.X, first.Y);
    }
    for (auto* poly : {&east, &west}) {
        const int n = ProjectPoints(*poly);
        if (Canvas && n > 2)
            Canvas->Polygon(ScreenPoints.data(), n);
    }
}

void TGlobeDrawContext::RenderLine(const GlobePoint& a, const GlobePoint& b, int segments) {
    if (segments < 1)
        segments = 1;
    int64_t dx = static_cast<int64_t>(b.X) - a.X;
    const int qa = a.X / GU_90, qb = b.X / GU_90;
    if (qa != 0 && qb == -qa)
        dx = (GU_360 - std::llabs(dx)) * (a.X < 0 ? -1 : 1);
    const int64_t dy = static_cast<int64_t>(b.Y) - a.Y;
    std::vector<GlobePoint> pts;
    pts.reserve(static_cast<size_t>(segments) + 1);
    for (int i = 0; i <= segments; ++i)
        pts.push_back(MakePoint(a.X + MulDiv(Sat32(dx), i, segments), a.Y + MulDiv(Sat32(dy), i, segments)));
    WalkChain(pts, false);
}

// ---- shadow ----

GlobePoint TGlobeDrawContext::RenderShadow(TColor night, TColor twilight, int step, double utc) {
    const GlobePoint sun = SubSolarPoint(utc);
    const GlobePoint s3 = PointTo3D(sun);
    const double k = 1.0 / 154698615;
    const double sx = s3.X * k, sy = s3.Y * k, sz = s3.Z * k;
    if (step < 1)
        step = 1;
    const int32_t w = CanvasWidth, h = CanvasHeight;
    const uint32_t nightRgb = Rgb(night), twiRgb = Rgb(twilight);
    const bool paintNight = night != clNoneColor, paintTwi = twilight != clNoneColor;
    // States: 0 off the earth, 1 lit, 2 twilight, 3 night.
    std::vector<double> colSin, colCos;
    std::vector<uint8_t> colOn;
    const bool flat = !Model->IsSpherical();
    if (flat) {
        colSin.resize(static_cast<size_t>(w));
        colCos.resize(static_cast<size_t>(w));
        colOn.resize(static_cast<size_t>(w));
        for (int32_t x = 0; x < w; ++x) {
            colOn[static_cast<size_t>(x)] = Model->XYToLL(x, Model->YOrigin, 0);
            const double lam = SP(0).X / static_cast<double>(RadiansToGU);
            colSin[static_cast<size_t>(x)] = std::sin(lam);
            colCos[static_cast<size_t>(x)] = std::cos(lam);
        }
    }
    auto* sph = dynamic_cast<TSphericalPrj*>(Model.get());
    double rowCosPhi = 0, rowSinPhi = 0;
    bool rowOn = true;
    int32_t yy = 0;
    auto classify = [](double b) { return b > 0 ? 1 : (b >= -64800000 ? 2 : 3); };
    auto eval = [&](int32_t x) -> int {
        if (x < 0 || x >= w)
            return 0;
        if (flat) {
            if (!rowOn || !colOn[static_cast<size_t>(x)])
                return 0;
            const double r = GlobeRadius;
            const double b = r * rowCosPhi * (colSin[static_cast<size_t>(x)] * sx + colCos[static_cast<size_t>(x)] * sz) +
                             r * rowSinPhi * sy;
            return classify(b);
        }
        if (sph) {
            const double dx = static_cast<double>(x) - sph->XOrigin, dy = static_cast<double>(yy) - sph->YOrigin;
            const double q = static_cast<double>(sph->RadiusPixels2) - dx * dx - dy * dy;
            if (q < 0)
                return 0;
            const double dz = -std::sqrt(q);
            const double* t = sph->T;
            const double wx = t[0] * dx + t[1] * dy + t[2] * dz, wy = t[3] * dx + t[4] * dy + t[5] * dz,
                         wz = t[6] * dx + t[7] * dy + t[8] * dz;
            return classify(wx * sx + wy * sy + wz * sz);
        }
        GlobePoint p;
        if (!XYToLL(x, yy, p))
            return 0;
        const GlobePoint v = PointTo3D(p);
        return classify(v.X * sx + v.Y * sy + v.Z * sz);
    };
    auto paint = [&](int32_t x, int st) {
        if (st == 2 && paintTwi)
            GlobeCanvas.PutPixel(x, yy, twiRgb);
        else if (st == 3 && paintNight)
            GlobeCanvas.PutPixel(x, yy, nightRgb);
    };
    const int32_t stride = 16 * step;
    int row = 0;
    for (yy = 0; yy < h; yy += step, ++row) {
        if (flat) {
            rowOn = Model->XYToLL(Model->XOrigin, yy, 0);
            const double phi = SP(0).Y / static_cast<double>(RadiansToGU);
            rowCosPhi = std::cos(phi);
            rowSinPhi = std::sin(phi);
            if (!rowOn)
                continue;
        }
        const int32_t x0 = (row % 2) ? step / 2 : 0;
        int prevSt = eval(x0);
        paint(x0, prevSt);
        for (int32_t x = x0 + stride;; x += stride) {
            const int32_t from = x - stride;
            if (x >= w) {
                for (int32_t xi = from + step; xi < w; xi += step)
                    paint(xi, eval(xi));
                break;
            }
            const int st = eval(x);
            if (st == prevSt) {
                if (st >= 2)
                    for (int32_t xi = from + step; xi < x; xi += step)
                        paint(xi, st);
            } else {
                for (int32_t xi = from + step; xi < x; xi += step)
                    paint(xi, eval(xi));
            }
            paint(x, st);
            prevSt = st;
        }
    }
    return sun;
}

// ---- the picture ----

void TGlobeDrawContext::RenderBackground() {
    QPainter* p = GlobeCanvas.P();
    if (Background.isNull() && GlobeCanvas.FillsHere(true))
        GlobeCanvas.FillRect(0, 0, CanvasWidth, CanvasHeight, ToQColor(Color));
    else if (Background.isNull())
        p->fillRect(QRect(0, 0, CanvasWidth, CanvasHeight), ToQColor(Color));
    else
        p->drawTiledPixmap(QRect(0, 0, CanvasWidth, CanvasHeight), QPixmap::fromImage(Background));
    if (!TransparentGlobe) {
        GlobeCanvas.SelectPen(GlobeColor, TPenStyle::psSolid, 1);
        GlobeCanvas.SelectBrush(GlobeColor, TBrushStyle::bsSolid);
        Model->PaintBackground();
    }
}

void TGlobeDrawContext::RenderGraticule() {
    const TGlobePen& pen = FarSide ? *TransparentPen : GridPen;
    GlobeCanvas.SelectPen(pen.PenColor, pen.PenStyle, pen.PenWidth);
    GlobeCanvas.SelectBrush(0, TBrushStyle::bsClear);
    if (OnPaintGraticule)
        OnPaintGraticule();
    else
        Model->PaintGraticule();
}

void TGlobeDrawContext::RenderAll() {
    const bool wasActive = GlobeCanvas.Active();
    if (!wasActive)
        GlobeCanvas.BeginOffscreen();
    RenderBackground();
    RenderLayersPass();
    ObjectsChangedMark = ViewChangedMark = false;
    ++RebuildCount;
    if (OnRender)
        OnRender();
    if (!wasActive)
        GlobeCanvas.EndOffscreen();
}

void TGlobeDrawContext::RenderLayersPass() {
    for (TGlobeLayer* l : Layers)
        if (!l->Animated)
            l->UpdateVisibility();
    if (TransparentGlobe) {
        FarSide = true;
        for (TGlobeLayer* l : Layers)
            if (!l->Animated)
                l->Render();
        if (DrawGrid != TDrawGrid::dgNone)
            RenderGraticule();
        FarSide = false;
    }
    if (DrawGrid == TDrawGrid::dgBehind)
        RenderGraticule();
    for (TGlobeLayer* l : std::vector<TGlobeLayer*>(Layers))
        if (!l->Animated)
            l->Render();
    if (DrawGrid == TDrawGrid::dgInFront)
        RenderGraticule();
}

void TGlobeDrawContext::RenderAnimatedLayers() {
    if (OnRender)
        OnRender();
    DrawAnimatedLayers();
    if (OnPaint)
        OnPaint();
}

void TGlobeDrawContext::DrawAnimatedLayers() {
    for (TGlobeLayer* l : std::vector<TGlobeLayer*>(Layers))
        if (l->Animated) {
            l->UpdateVisibility();
            l->Render();
        }
}

bool TGlobeDrawContext::SetTextureFilename(const std::string& name) {
    if (!name.empty() && Texture.Load(name)) {
        TextureFilename = name;
    } else {
        if (!name.empty())
            Texture.Clear();
        TextureFilename.clear();
        TextureBackground = false;
    }
    RedrawLayers();
    return !TextureFilename.empty();
}

void TGlobeDrawContext::SetTextureBackground(bool on) {
    TextureBackground = on && Texture.Loaded();
    RedrawLayers();
}

std::unique_ptr<IGlobePicture> TGlobeDrawContext::LoadPicture(const std::string& name, const std::string& folder) {
    const std::string path = ResolveGlobeFile(name, {folder, DataDirectory});
    if (path.empty())
        return nullptr;
    QImageReader reader(QString::fromStdString(path));
    reader.setAllocationLimit(64);  // megabytes: a hostile picture cannot take the memory
    QImage img = reader.read();
    if (img.isNull())
        return nullptr;
    return std::make_unique<TGlobePicture>(std::move(img));
}
