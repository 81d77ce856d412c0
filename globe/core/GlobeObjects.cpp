#include <algorithm>
#include <cmath>

#include "globe/core/GlobeContext.h"

namespace {
[[noreturn]] void BadIndex(const char* op, int32_t i) {
    throw EGlobeException(GlobeFormat("PointList.%s: Bad Index %d", op, i));
}
constexpr int32_t kMaxPoints = 134217727;
}  // namespace

// ---- base object ----

TGlobeObject::TGlobeObject(TGlobeLayer* layer) : TGlobePersistent(layer) {
    layer->Objects.push_back(this);
    layer->Loaded = true;
    layer->Extent = {};
    if (TGlobeContext* g = Globe(); g && g->OnObjectCreate)
        g->OnObjectCreate(this);
}

TGlobeObject::~TGlobeObject() {
    TGlobeContext* g = Globe();
    if (!g)
        return;
    g->InvalidateWindow();
    g->Selection.erase(std::remove(g->Selection.begin(), g->Selection.end(), this), g->Selection.end());
    if (Selected()) {
        State &= static_cast<uint16_t>(~gsSelected);
        if (g->OnObjectSelect)
            g->OnObjectSelect(this);
    }
    if (g->OnObjectFree)
        g->OnObjectFree(this);
}

void TGlobeObject::Assign(const TGlobePersistent& src) {
    auto* o = dynamic_cast<const TGlobeObject*>(&src);
    if (!o)
        return;
    SetPresenter(o->Presenter);
    Title = o->Title;
    ID = o->ID;
    RowID = o->RowID;
    Value = o->Value;
    Extent = o->Extent;
    State = o->State;
}

void TGlobeObject::SetPresenter(TGlobePresenter* p) {
    if (p == Presenter || !p || !p->CanPresent(*this))
        return;
    Presenter = p;
    FeatureID = p->FeatureID;
    Changed();
}

void TGlobeObject::SetSelected(bool v) {
    if (v == Selected())
        return;
    TGlobeContext* g = Globe();
    State |= gsChanged;
    if (v)
        State |= gsSelected;
    else
        State &= static_cast<uint16_t>(~gsSelected);
    if (g) {
        auto& sel = g->Selection;
        sel.erase(std::remove(sel.begin(), sel.end(), this), sel.end());
        if (v)
            sel.push_back(this);
    }
    DoSelect();
    if (g)
        g->RedrawLayers();
}

void TGlobeObject::SetHidden(bool v) {
    if (v == Hidden())
        return;
    if (v)
        State |= gsHidden;
    else
        State &= static_cast<uint16_t>(~gsHidden);
    State |= gsChanged;
    if (Globe())
        Globe()->RedrawLayers();
}

int TGlobeObject::Index() const {
    auto& l = Layer->Objects;
    return static_cast<int>(std::find(l.begin(), l.end(), this) - l.begin());
}

void TGlobeObject::SetIndex(int i) {
    auto& l = Layer->Objects;
    const int cur = Index();
    if (i < 0 || i >= static_cast<int>(l.size()) || cur >= static_cast<int>(l.size()))
        throw EGlobeException("TGlobeObject.SetIndex: Bad position");
    l.erase(l.begin() + cur);
    l.insert(l.begin() + i, this);
    if (Globe())
        Globe()->RedrawLayers();
}

bool TGlobeObject::IsVisible() {
    if (ZoomMin == ZoomMax)
        return true;
    const int32_t a = Globe() ? Globe()->Altitude : 0;
    return ZoomMin < a && a <= ZoomMax;
}

void TGlobeObject::Delete() {
    auto& l = Layer->Objects;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    delete this;
}

void TGlobeObject::Changed() {
    State &= static_cast<uint16_t>(~gsExtentValid);
    if (Stretches)
        Stretches->Scaled.clear();
    Layer->Extent = {};
    if (TGlobeContext* g = Globe()) {
        if (Layer->Animated)
            g->InvalidateWindow();
        else
            g->RedrawLayers();
    }
}

void TGlobeObject::RenderObject() {
    if (Presenter) {
        Presenter->Render(*this);
        return;
    }
    TGlobeContext* g = Globe();
    if (!g || !g->Canvas)
        return;
    if (auto* geo = dynamic_cast<TGeoDataObject*>(this)) {
        const TGlobePen& pen = g->FarSide ? *g->TransparentPen : (Selected() ? *g->SelectedPen : *g->DefaultPen);
        g->Canvas->SelectPen(pen.PenColor, pen.PenStyle, pen.PenWidth);
        if (geo->Count() >= 2) {
            g->RenderPolyline(*geo);
        } else if (geo->Count() == 1 && g->Model->ProjectPoint(geo->Points[0], 0)) {
            const TPoint p = g->SP(0);
            g->Canvas->Ellipse(p.X - 3, p.Y - 3, p.X + 3, p.Y + 3);
        }
    } else if (auto* bmp = dynamic_cast<TBitmapObject*>(this)) {
        if (bmp->TextureData) {
            bmp->TextureData->SetTransparentIndex(bmp->TransparentIndex);
            g->Canvas->TextureRect(Extent, bmp->TextureData.get());
        }
    }
}

void TGlobeObject::RecomputeExtent() {
    Cache.reset();
    if (Stretches)
        Stretches->Scaled.clear();
    // A lone point always gets a box three pixels wide, whatever its last extent.
    TGlobeContext* g = Globe();
    const int32_t d = g ? Rnd(3 / g->ScaleFactor()) / 2 : 0;
    const GlobePoint p = Get(0);
    Extent = {Sat32(static_cast<int64_t>(p.X) - d), Sat32(static_cast<int64_t>(p.Y) - d), 2 * d, 2 * d};
    if (Presenter)
        Presenter->AdjustExtent(*this);
    State |= gsExtentValid;
}

void TGlobeObject::DoSelect() {
    if (TGlobeContext* g = Globe(); g && g->OnObjectSelect)
        g->OnObjectSelect(this);
}

int TGlobeObject::ExtentHit(const GlobePoint& p, int32_t margin) {
    if (Hidden())
        return 0;
    if (!(State & gsExtentValid)) {
        State &= static_cast<uint16_t>(~(gsSubPixel | gsVisible | gsPartHidden | gsPartShown));
        RecomputeExtent();
    }
    const int64_t m = margin;
    if (p.Y < Extent.Top - m || p.Y >= static_cast<int64_t>(Extent.Top) + Extent.Height + m)
        return 0;
    const int64_t l = Extent.Left - m, r = static_cast<int64_t>(Extent.Left) + Extent.Width + m;
    if (r <= GU_180)
        return (l <= p.X && p.X < r) ? 3 : 0;
    if (l <= p.X && p.X < GU_180)
        return 2;
    if (-GU_180 <= p.X && p.X < WrapLongitude(r))
        return 1;
    return 0;
}

bool TGlobeObject::HitTest(const GlobePoint& p) {
    const int k = ExtentHit(p, Presenter ? Presenter->HitMargin() : 0);
    if (k <= 0)
        return false;
    return Presenter ? Presenter->HitTest(*this, p, k) : true;
}

GlobePoint TGlobeObject::Centre() {
    EnsureExtent();
    return MakePoint(static_cast<int64_t>(Extent.Left) + Extent.Width / 2, static_cast<int64_t>(Extent.Top) + Extent.Height / 2);
}

// ---- point chain ----

TGeoDataObject::TGeoDataObject(TGlobeLayer* layer) : TGlobeObject(layer) { ClipCode = 255; }

void TGeoDataObject::Assign(const TGlobePersistent& src) {
    TGlobeObject::Assign(src);
    if (auto* o = dynamic_cast<const TGeoDataObject*>(&src)) {
        Points = o->Points;
        Cap = std::max(Cap, Count());
        ClipCode = o->ClipCode;
        Changed();
    }
}

void TGeoDataObject::SetCount(int32_t n) {
    if (n < 0 || n > kMaxPoints)
        throw EGlobeException(GlobeFormat("PointList.SetCount: Bad Count %d", n));
    if (n > Cap)
        SetCapacity(n);
    Points.resize(static_cast<size_t>(n));
}

void TGeoDataObject::Put(int32_t i, const GlobePoint& p) {
    if (i < 0)
        BadIndex("Put", i);
    if (i >= Count())
        SetCount(i + 1);
    Points[static_cast<size_t>(i)] = p;
    Changed();
}

GlobePoint TGeoDataObject::Get(int32_t i) const {
    if (i < 0)
        BadIndex("Get", i);
    return i < Count() ? Points[static_cast<size_t>(i)] : GlobePoint{};
}

int32_t TGeoDataObject::AddPoint(const GlobePoint& p) {
    if (Count() >= kMaxPoints)
        throw EGlobeException(GlobeFormat("PointList.SetCount: Bad Count %d", Count() + 1));
    if (Count() >= Cap)
        Grow();
    Points.push_back(p);
    Changed();
    return Count() - 1;
}

void TGeoDataObject::DeletePoint(int32_t i) {
    if (i < 0 || i >= Count())
        BadIndex("Delete", i);
    Points.erase(Points.begin() + i);
    Changed();
}

void TGeoDataObject::SetCapacity(int32_t n) {
    if (n < Count() || n > kMaxPoints)
        throw EGlobeException(GlobeFormat("PointList.SetCapacity: Bad Size %d", n));
    Cap = n;
    if (static_cast<size_t>(n) > Points.capacity())
        Points.reserve(static_cast<size_t>(n));
}

void TGeoDataObject::Grow() {
    const int64_t c = Cap;
    SetCapacity(static_cast<int32_t>(std::min<int64_t>(kMaxPoints, c + (c > 64 ? c / 4 : c >= 9 ? 16 : c <= 0 ? 1 : 4))));
}

void TGeoDataObject::ClearPoints() {
    Points.clear();
    Points.shrink_to_fit();
    Cap = 0;
}

void TGeoDataObject::MoveBy(int32_t dx, int32_t dy) {
    if (dx || dy)
        for (auto& p : Points)
            p = MakePoint3(static_cast<int64_t>(p.X) + dx, static_cast<int64_t>(p.Y) + dy, p.Z);
    Changed();
}

bool TGeoDataObject::IsVisible() {
    if (!TGlobeObject::IsVisible())
        return false;
    return Globe()->Model->ExtentVisible(Extent, this, ClipCode);
}

void TGeoDataObject::RecomputeExtent() {
    State &= static_cast<uint16_t>(~(gsCrosses180 | gsCrossesOdd));
    const int32_t n = Count();
    if (n < 2) {
        TGlobeObject::RecomputeExtent();
        return;
    }
    Cache.reset();
    if (Stretches)
        Stretches->Scaled.clear();
    TLongitudeBand band;
    band.Changed(Points.back().X);
    int crossings = 0;
    int64_t minX = INT64_MAX, maxX = INT64_MIN, minY = INT64_MAX, maxY = INT64_MIN;
    int64_t minPos = INT64_MAX, maxUnwrapped = INT64_MIN;
    extended sumY = 0;
    for (const GlobePoint& p : Points) {
        if (band.Changed(p.X))
            ++crossings;
        minX = std::min<int64_t>(minX, p.X);
        maxX = std::max<int64_t>(maxX, p.X);
        minY = std::min<int64_t>(minY, p.Y);
        maxY = std::max<int64_t>(maxY, p.Y);
        if (p.X > 0)
            minPos = std::min<int64_t>(minPos, p.X);
        maxUnwrapped = std::max<int64_t>(maxUnwrapped, p.X < 0 ? static_cast<int64_t>(p.X) + GU_360 : p.X);
        sumY += p.Y;
    }
    --minX;
    ++maxX;
    --minY;
    ++maxY;
    if (crossings > 0 && minPos != INT64_MAX) {
        State |= gsCrosses180;
        if (crossings % 2) {
            // A ring around a pole covers every longitude up to that pole.
            State |= gsCrossesOdd;
            if (sumY >= 0)
                maxY = GU_90;
            else
                minY = -GU_90;
            minX = -GU_180;
            maxX = GU_180;
        } else {
            // Left + Width - 360 degrees is the eastern edge of the part past 180.
            minX = minPos - 1;
            maxX = maxUnwrapped + 1;
        }
    }
    Extent = {Sat32(minX), Sat32(minY), Sat32(maxX - minX), Sat32(maxY - minY)};
    if (Presenter)
        Presenter->AdjustExtent(*this);
    State |= gsExtentValid;
}

GlobePoint TGeoDataObject::Centre() {
    if (Points.empty())
        return {};
    EnsureExtent();
    const bool unwrap = (State & gsCrosses180) && !(State & gsCrossesOdd);
    extended sx = 0, sy = 0;
    for (const GlobePoint& p : Points) {
        sx += (unwrap && p.X < 0) ? static_cast<extended>(p.X) + GU_360 : p.X;
        sy += p.Y;
    }
    return MakePoint(Rnd64(sx / Count()), Rnd64(sy / Count()));
}

// ---- single point and bitmap ----

TSinglePointObject::TSinglePointObject(TGlobeLayer* layer) : TGlobeObject(layer) {}

void TSinglePointObject::Assign(const TGlobePersistent& src) {
    TGlobeObject::Assign(src);
    if (auto* o = dynamic_cast<const TSinglePointObject*>(&src))
        Point = o->Point;
}

void TSinglePointObject::Put(int32_t, const GlobePoint& p) {
    Point = p;
    Changed();
}

void TSinglePointObject::MoveBy(int32_t dx, int32_t dy) {
    Point = MakePoint(static_cast<int64_t>(Point.X) + dx, static_cast<int64_t>(Point.Y) + dy);
    Changed();
}

bool TSinglePointObject::IsVisible() {
    if (!TGlobeObject::IsVisible())
        return false;
    TGlobeContext* g = Globe();
    const int64_t l = Extent.Left, t = Extent.Top, r = l + Extent.Width, b = t + Extent.Height;
    const int64_t corners[4][2] = {{l, t}, {r, t}, {r, b}, {l, b}};
    int n = 0;
    for (const auto& c : corners)
        if (g->Model->ProjectLL(c[0], c[1], n))
            ++n;
    if (n == 0)
        return false;
    State |= gsPartShown;
    return g->BoundsCode(n, ClipCode);
}

TBitmapObject::TBitmapObject(TGlobeLayer* layer) : TSinglePointObject(layer) {}
TBitmapObject::~TBitmapObject() = default;

void TBitmapObject::Assign(const TGlobePersistent& src) {
    TSinglePointObject::Assign(src);
    if (auto* o = dynamic_cast<const TBitmapObject*>(&src)) {
        GlobeUnitsPerPixel = GlobeUnitsPerYPixel = o->GlobeUnitsPerPixel;
        SetBMPFilename(o->BMPFilename);
    }
}

void TBitmapObject::RecomputeExtent() {
    Cache.reset();
    if (Stretches)
        Stretches->Scaled.clear();
    if (TextureData && TextureData->Width() > 0) {
        const int64_t h = static_cast<int64_t>(TextureData->Height()) * GlobeUnitsPerYPixel;
        LastRect = {Point.X, Sat32(Point.Y - h), Sat32(static_cast<int64_t>(TextureData->Width()) * GlobeUnitsPerPixel),
                    Sat32(h)};
    }
    Extent = LastRect;
    if (Extent.Width == 0 || Extent.Height == 0) {
        TGlobeObject::RecomputeExtent();
        return;
    }
    if (Presenter)
        Presenter->AdjustExtent(*this);
    State |= gsExtentValid;
}

void TBitmapObject::SetBMPFilename(const std::string& n) {
    TGlobeContext* g = Globe();
    TextureData = g && !n.empty() ? g->MakeTexture() : nullptr;
    if (TextureData && !TextureData->LoadFromFile(n))
        TextureData.reset();
    BMPFilename = n;  // kept even when unreadable, so a save keeps it
    Changed();
}

void TBitmapObject::SetPixelSize(int index, int32_t v) {
    if (index == 0 || index == 1)
        GlobeUnitsPerPixel = v;
    if (index == 0 || index == 2)
        GlobeUnitsPerYPixel = v;
    Changed();
}

TColor TBitmapObject::TransparentColor() const {
    return TextureData ? TextureData->PaletteColor(TransparentIndex) : -1;
}

void TBitmapObject::SetTransparentColor(TColor c) {
    TransparentIndex = -1;
    if (TextureData)
        for (int32_t i = 0; i < TextureData->PaletteCount(); ++i)
            if (TextureData->PaletteColor(i) == c) {
                TransparentIndex = i;
                break;
            }
}
