#include "globe/core/GlobeContext.h"

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cmath>
#include <limits>

#include "globe/core/GlobeIni.h"

TGlobeContext::TGlobeContext(int32_t width, int32_t height) : CanvasWidth(width), CanvasHeight(height) {
    ScreenPoints.resize(65537);
    NowMs = [] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    };
    DefaultPen = std::make_unique<TGlobePen>(0, TPenStyle::psSolid, 1);
    SelectedPen = std::make_unique<TGlobePen>(0x0000FF, TPenStyle::psSolid, 1);
    TransparentPen = std::make_unique<TGlobePen>(0x808080, TPenStyle::psSolid, 1);
    DefaultBrush = std::make_unique<TGlobeBrush>(0xFFFFFF, TBrushStyle::bsSolid);
    SelectedBrush = std::make_unique<TGlobeBrush>(0x00FFFF, TBrushStyle::bsSolid);
    TransparentBrush = std::make_unique<TGlobeBrush>(0xC0C0C0, TBrushStyle::bsSolid);
    for (TGlobeAttribute* a : {static_cast<TGlobeAttribute*>(SelectedPen.get()), static_cast<TGlobeAttribute*>(TransparentPen.get()),
                               static_cast<TGlobeAttribute*>(SelectedBrush.get()), static_cast<TGlobeAttribute*>(TransparentBrush.get())})
        a->OnChange = [this] { RedrawLayers(); };
    DefaultSymbolFont = std::make_unique<TGlobeFont>("WingDings", 0, TGlobeUnits::Pixel, 9, 0, 0);
    DefaultTitleFont = std::make_unique<TGlobeFont>("Arial", 0, TGlobeUnits::Pixel, 9, 0, 0);
    Model = std::make_unique<TSphericalPrj>(this);
    RegisterGlobeClass("TGlobePen", [](TGlobeLayer* l) { return new TGlobePen(l); });
    RegisterGlobeClass("TGlobeBrush", [](TGlobeLayer* l) { return new TGlobeBrush(l); });
    RegisterGlobeClass("TGlobeFont", [](TGlobeLayer* l) { return new TGlobeFont(l); });
    RegisterGlobeClass("TPointPresenter", [](TGlobeLayer* l) { return new TPointPresenter(l); });
    RegisterGlobeClass("TPolygonPresenter", [](TGlobeLayer* l) { return new TPolygonPresenter(l); });
    RegisterGlobeClass("TPolylinePresenter", [](TGlobeLayer* l) { return new TPolylinePresenter(l); });
    RegisterGlobeClass("TGeoDataObject", [](TGlobeLayer* l) { return new TGeoDataObject(l); });
    RegisterGlobeClass("TBitmapObject", [](TGlobeLayer* l) { return new TBitmapObject(l); });
    // Registered too, so saving a layer loses none of its objects.
    RegisterGlobeClass("TSinglePointObject", [](TGlobeLayer* l) { return new TSinglePointObject(l); });
    GlobalLayer = AddNewLayer("GlobalLayer");
    Layers.erase(std::find(Layers.begin(), Layers.end(), GlobalLayer));
    Clear();
    SetScaleFactor(0);
    Altitude = Rnd(CanvasWidth / ScaleFactor() / std::tan(50 * GlobePi / 180));
    ViewRect = {0, 0, Rnd(CanvasWidth / ScaleFactor()), Rnd(CanvasHeight / ScaleFactor())};
}

TGlobeContext::~TGlobeContext() {
    Destroying = true;
    Canvas = nullptr;  // the surface may already be gone; nothing is drawn from here on
    Clear();
    GlobalLayer->Clear();
    TGlobeLayer* g = GlobalLayer;
    Layers.push_back(g);  // the layer leaves the list itself
    delete g;
    GlobalLayer = nullptr;
}

void TGlobeContext::Resize(int32_t w, int32_t h) {
    CanvasWidth = std::max(1, w);
    CanvasHeight = std::max(1, h);
    ObjectsChangedMark = true;
    RedrawLayers();
}

void TGlobeContext::SetProjection(TGlobeProjection p) {
    switch (p) {
    case TGlobeProjection::gpCartesian: SetProjectionModel(std::make_unique<TCartesianPrj>(this)); break;
    case TGlobeProjection::gpMercator: SetProjectionModel(std::make_unique<TMercatorPrj>(this)); break;
    default: SetProjectionModel(std::make_unique<TSphericalPrj>(this)); break;
    }
}

void TGlobeContext::SetProjectionModel(std::unique_ptr<TPrjModel> m) {
    if (!m)
        m = std::make_unique<TSphericalPrj>(this);
    bool remembered = false;
    GlobePoint centre;
    if (std::string(m->ClassName()) != Model->ClassName())
        remembered = XYToLL(CanvasWidth / 2, CanvasHeight / 2, centre);
    const GlobeExtent view = ViewRect;
    Model = std::move(m);
    const std::string cls = Model->ClassName();
    Projection = cls == "TSphericalPrj" ? TGlobeProjection::gpSpherical
                 : cls == "TMercatorPrj" ? TGlobeProjection::gpMercator
                 : cls == "TCartesianPrj" ? TGlobeProjection::gpCartesian
                                          : TGlobeProjection::gpUnknown;
    SetScaleFactor(0);
    if (remembered && view.Width > 0 && view.Height > 0) {
        // Keep the size of the view in GU, then the point under the centre.
        const extended a = std::min<extended>(std::min<extended>(static_cast<extended>(CanvasHeight) / view.Height,
                                                                 static_cast<extended>(CanvasWidth) / view.Width),
                                              4);
        SetScaleFactor(a);
        LocateToLL(centre.X, centre.Y);
    }
}

void TGlobeContext::SetScaleFactor(extended v) {
    if (!(v >= 0) || !std::isfinite(v))
        return;
    const extended w = CanvasWidth, h = CanvasHeight;
    if (v == 0) {
        Model->XOrigin = CanvasWidth / 2;
        Model->YOrigin = CanvasHeight / 2;
        v = FitScale(CanvasWidth, CanvasHeight);
    }
    if (v > 4)
        v = 4;
    const extended big = std::max(w, h);
    if (big / v > std::numeric_limits<int32_t>::max())
        v = big / std::numeric_limits<int32_t>::max();
    const extended s = Model->ScaleFactor;
    if (v != s) {
        Model->XOrigin = Sat32(CanvasWidth / 2 + Rnd64(v * (static_cast<extended>(Model->XOrigin) - CanvasWidth / 2) / s));
        Model->YOrigin = Sat32(CanvasHeight / 2 + Rnd64(v * (static_cast<extended>(Model->YOrigin) - CanvasHeight / 2) / s));
        Altitude = Rnd(w / v / std::tan(50 * GlobePi / 180));
        ViewRect = {0, 0, Rnd(w / v), Rnd(h / v)};
        Model->SetScaleFactor(v);
        ObjectsChangedMark = true;
        RedrawLayers();
    }
}

extended TGlobeContext::FitScale(int32_t w, int32_t h) const {
    const TModelExtent& e = Model->ModelExtent;
    return std::min(static_cast<extended>(h) / std::fabs(static_cast<extended>(e.Bottom) - e.Top),
                    static_cast<extended>(w) / std::fabs(static_cast<extended>(e.Right) - e.Left));
}

void TGlobeContext::SetAltitude(int32_t a) {
    if (a == 0)
        SetScaleFactor(0);
    else if (a > 0)
        SetScaleFactor(CanvasWidth / (std::tan(50 * GlobePi / 180) * a));
}

bool TGlobeContext::XYToLL(int32_t x, int32_t y, GlobePoint& p) {
    if (Model->XYToLL(x, y, 0)) {
        p = {SP(0).X, SP(0).Y, 0};
        return true;
    }
    p = {-GU_180, GU_180, 0};
    return false;
}

void TGlobeContext::LocateToLL(int32_t lon, int32_t lat) {
    Model->XOrigin = CanvasWidth / 2;
    Model->YOrigin = CanvasHeight / 2;
    GlobePoint c;
    if (XYToLL(CanvasWidth / 2, CanvasHeight / 2, c)) {
        // Over a pole the longitude under the centre says nothing, so one
        // step from there can land anywhere: the step is repeated until the
        // point is at the centre, whatever the rotation was before.
        for (int i = 0; i < 4; ++i) {
            Model->SetParameter(TPrjModel::pXRotation, Sat32(static_cast<int64_t>(Model->XRotation) + lat - c.Y));
            Model->SetParameter(TPrjModel::pYRotation, WrapLongitude(static_cast<int64_t>(Model->YRotation) +
                                                                     WrapLongitude(static_cast<int64_t>(lon) - c.X)));
            if (!Model->IsSpherical() || !XYToLL(CanvasWidth / 2, CanvasHeight / 2, c) ||
                (std::llabs(static_cast<int64_t>(c.Y) - lat) <= 1 &&
                 std::llabs(WrapLongitude(static_cast<int64_t>(c.X) - lon)) <= 1))
                break;
        }
        // A flat map moves its origin by the change of rotation, which is not
        // exact for Mercator's stretched latitudes: put the point at the centre.
        if (!Model->IsSpherical() && Model->ProjectLL(lon, lat, 0)) {
            Model->XOrigin = Sat32(static_cast<int64_t>(Model->XOrigin) + CanvasWidth / 2 - SP(0).X);
            Model->YOrigin = Sat32(static_cast<int64_t>(Model->YOrigin) + CanvasHeight / 2 - SP(0).Y);
        }
    }
    RedrawLayers();
}

void TGlobeContext::LocateToObject(TGlobeObject& o) {
    o.EnsureExtent();
    LocateToLL(WrapLongitude(static_cast<int64_t>(o.Extent.Left) + o.Extent.Width / 2), o.Extent.Top + o.Extent.Height / 2);
}

void TGlobeContext::PanGlobe(int32_t dx, int32_t dy) {
    if (dx || dy) {
        Model->XOrigin = Sat32(Model->XOrigin - Rnd64(dx * ScaleFactor()));
        Model->YOrigin = Sat32(Model->YOrigin - Rnd64(dy * ScaleFactor()));
    }
    RedrawLayers();
}

int32_t TGlobeContext::ToGlobeUnits(extended value, TGlobeUnits u) const {
    if (u == TGlobeUnits::Pixel)
        return Rnd(value / ScaleFactor());
    return Rnd(value * UnitFactor(u));
}

extended TGlobeContext::FromGlobeUnits(extended value, TGlobeUnits u) const {
    if (u == TGlobeUnits::Pixel)
        return value * ScaleFactor();
    return value / UnitFactor(u);
}

int32_t TGlobeContext::UnitsToPixels(extended value, TGlobeUnits u) const {
    if (u == TGlobeUnits::Pixel)
        return MulDiv(Rnd(value), CanvasPPI, ScreenPPI);
    return Rnd(static_cast<extended>(ToGlobeUnits(value, u)) * ScaleFactor());
}

bool TGlobeContext::BoundsCode(int count, uint8_t& code) const {
    if (count < 2 || static_cast<size_t>(count) > ScreenPoints.size())
        return false;
    int32_t minx = ScreenPoints[0].X, maxx = minx, miny = ScreenPoints[0].Y, maxy = miny;
    for (int i = 1; i < count; ++i) {
        const TPoint& p = ScreenPoints[static_cast<size_t>(i)];
        minx = std::min(minx, p.X);
        maxx = std::max(maxx, p.X);
        miny = std::min(miny, p.Y);
        maxy = std::max(maxy, p.Y);
    }
    auto oc = [&](int32_t x, int32_t y) {
        return (x < 0 ? 1 : 0) | (x > CanvasWidth ? 2 : 0) | (y < 0 ? 4 : 0) | (y > CanvasHeight ? 8 : 0);
    };
    code = static_cast<uint8_t>(oc(minx, miny) * 16 + oc(maxx, maxy));
    return !(miny > CanvasHeight || minx > CanvasWidth || maxy < 0 || maxx < 0);
}

TGlobeLayer* TGlobeContext::AddNewLayer(const std::string& name) {
    auto* l = new TGlobeLayer(this);
    l->SetName(name);
    l->Filename.clear();
    return l;
}

TGlobeLayer* TGlobeContext::GetLayer(int i) const {
    if (i < 0 || i >= LayerCount())
        throw EGlobeException(GlobeFormat("TGlobeView.GetLayer: Bad layer index %d", i));
    return Layers[static_cast<size_t>(i)];
}

void TGlobeContext::Clear() {
    SetSelectedObject(nullptr);
    Profile.reset();
    while (!Layers.empty())
        delete Layers.back();  // leaves the list itself
    GlobalLayer->Clear();
    if (!Destroying) {
        new TPointPresenter(GlobalLayer, "GlobalPointPresenter", -1);
        new TPolylinePresenter(GlobalLayer, "GlobalPolylinePresenter", -2);
        new TPolygonPresenter(GlobalLayer, "GlobalPolygonPresenter", -3);
    }
}

TGlobeObject* TGlobeContext::ObjectAtLL(int32_t lon, int32_t lat) {
    for (size_t i = Layers.size(); i-- > 0;)
        if (TGlobeObject* o = Layers[i]->ObjectAtLL(lon, lat))
            return o;
    return nullptr;
}

TGlobeObject* TGlobeContext::ObjectAtXY(int32_t x, int32_t y) {
    for (size_t i = Layers.size(); i-- > 0;)
        if (Layers[i]->Enabled && Layers[i]->Visible)
            if (TGlobeObject* o = Layers[i]->ObjectAtXY(x, y))
                return o;
    return nullptr;
}

TGlobeObject* TGlobeContext::FindObjectByTitle(const std::string& title, TGlobeObject* after) {
    size_t start = 0;
    if (after) {
        auto it = std::find(Layers.begin(), Layers.end(), after->Layer);
        start = it == Layers.end() ? 0 : static_cast<size_t>(it - Layers.begin());
    }
    for (size_t i = start; i < Layers.size(); ++i)
        if (TGlobeObject* o = Layers[i]->FindByTitle(title, i == start ? after : nullptr))
            return o;
    return nullptr;
}

TGlobeObject* TGlobeContext::FindObjectByID(int32_t id, TGlobeObject* after) {
    size_t start = 0;
    if (after) {
        auto it = std::find(Layers.begin(), Layers.end(), after->Layer);
        start = it == Layers.end() ? 0 : static_cast<size_t>(it - Layers.begin());
    }
    for (size_t i = start; i < Layers.size(); ++i)
        if (TGlobeObject* o = Layers[i]->FindByID(id, i == start ? after : nullptr))
            return o;
    return nullptr;
}

void TGlobeContext::RenderLayers() {
    for (TGlobeLayer* l : Layers)
        if (!l->Animated)
            l->UpdateVisibility();
    for (TGlobeLayer* l : Layers)
        if (!l->Animated)
            l->Render();
    ObjectsChangedMark = ViewChangedMark = false;
}

void TGlobeContext::SetSelectedObject(TGlobeObject* o) {
    TGlobeObject* prev = SelectedObject();
    if (o == prev)
        return;
    if (!Destroying && prev && OnDeSelected)
        OnDeSelected(prev);
    while (!Selection.empty()) {
        TGlobeObject* s = Selection.back();
        s->SetSelected(false);
        if (!Selection.empty() && Selection.back() == s)
            Selection.pop_back();
    }
    if (o)
        o->SetSelected(true);
    if (!Destroying && OnSelected)
        OnSelected(o);
}

void TGlobeContext::RegisterGlobeClass(const std::string& name, TGlobeFactory f) {
    for (const auto& r : Registry)
        if (r.first == name)
            throw EGlobeException(GlobeFormat("TGlobeView.RegisterGlobeClass: Class %s already registered", name.c_str()));
    auto it = std::upper_bound(Registry.begin(), Registry.end(), name,
                               [](const std::string& n, const auto& r) { return CompareTextCI(n, r.first) < 0; });
    Registry.insert(it, {name, std::move(f)});
}

const TGlobeFactory* TGlobeContext::FindClass(const std::string& name) const {
    for (const auto& r : Registry)
        if (SameTextCI(r.first, name))
            return &r.second;
    return nullptr;
}

void TGlobeContext::OpenProfile(const std::string& path) {
    Profile = path.empty() ? nullptr : std::make_unique<TIniFile>(path);
}

bool TGlobeContext::DoProgress(int msgType, const std::string& text) {
    bool abort = false;
    if (OnProgress)
        OnProgress(msgType, text, abort);
    return abort;
}

void TGlobeContext::RenderPolyline(TGeoDataObject& o) {
    o.EnsureExtent();
    if (!(o.State & gsVisible))
        o.IsVisible();
    const int n = Model->ProjectChain(o);
    if (Canvas && n >= 2)
        Canvas->Polyline(ScreenPoints.data(), n);
}

void TGlobeContext::RenderPolygon(TGeoDataObject& o) {
    o.EnsureExtent();
    if (!(o.State & gsVisible))
        o.IsVisible();
    const int n = Model->ProjectChain(o);
    if (Canvas && n > 2)
        Canvas->Polygon(ScreenPoints.data(), n);
}

void TGlobeContext::RenderLine(const GlobePoint& a, const GlobePoint& b, int segments) {
    if (segments < 1)
        segments = 1;
    int64_t dx = static_cast<int64_t>(b.X) - a.X;
    if (a.X / GU_90 != 0 && b.X / GU_90 == -(a.X / GU_90))
        dx = (GU_360 - (dx < 0 ? -dx : dx)) * (a.X < 0 ? -1 : 1);
    const int64_t dy = static_cast<int64_t>(b.Y) - a.Y;
    // Runs break at points the model cannot show.
    int n = 0;
    for (int i = 0; i <= segments; ++i) {
        const GlobePoint p = MakePoint(a.X + dx * i / segments, a.Y + dy * i / segments);
        if (Model->ProjectPoint(p, n)) {
            ++n;
        } else {
            if (Canvas && n >= 2)
                Canvas->Polyline(ScreenPoints.data(), n);
            n = 0;
        }
    }
    if (Canvas && n >= 2)
        Canvas->Polyline(ScreenPoints.data(), n);
}
