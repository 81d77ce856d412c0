#include <algorithm>
#include <cmath>
#include <sys/stat.h>

#include "globe/core/GlobeContext.h"

TGlobeContext* TGlobePersistent::Globe() const { return Layer ? Layer->Globe : nullptr; }

namespace {
IGlobeCanvas* CanvasOf(const TGlobePersistent& p) {
    TGlobeContext* g = p.Globe();
    return g ? g->Canvas : nullptr;
}
int16_t Sat16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }
}  // namespace

// ---- attributes ----

void TGlobeAttribute::CreateHandle() {
    ReleaseHandle(0);
    if (Layer && Globe())
        Handle = Globe()->MakeHandle();
}

void TGlobeAttribute::ReleaseHandle(int) {
    if (Handle && Layer)
        if (IGlobeCanvas* c = CanvasOf(*this))
            c->SelectStock();
    Handle = 0;
}

TGlobePen::TGlobePen(TGlobeLayer* layer) : TGlobeAttribute(layer) {
    if (TGlobeContext* g = Globe(); g && g->DefaultPen)
        Assign(*g->DefaultPen);
}
TGlobePen::TGlobePen(TColor color, TPenStyle style, uint8_t width)
    : TGlobeAttribute(nullptr), PenColor(color), PenStyle(style), PenWidth(width) {}

void TGlobePen::SetPen(TColor c, TPenStyle s, uint8_t w) {
    PenColor = c;
    PenStyle = s;
    PenWidth = w;
    ReleaseHandle(0);
    Changed();
}

bool TGlobePen::SameAs(const TGlobeAttribute& o) const {
    auto* p = dynamic_cast<const TGlobePen*>(&o);
    return p && p->PenColor == PenColor && p->PenStyle == PenStyle && p->PenWidth == PenWidth;
}

void TGlobePen::SelectInto(bool selected) {
    if (!Handle)
        CreateHandle();
    TGlobeContext* g = Globe();
    if (!Handle || !g || !g->Canvas)
        return;
    const TGlobePen& src = g->FarSide ? *g->TransparentPen : (selected ? *g->SelectedPen : *this);
    g->Canvas->SelectPen(src.PenColor, src.PenStyle, src.PenWidth);
}

void TGlobePen::Assign(const TGlobePersistent& src) {
    if (auto* p = dynamic_cast<const TGlobePen*>(&src)) {
        SetPenColor(p->PenColor);
        SetPenStyle(p->PenStyle);
        SetPenWidth(p->PenWidth);
    }
}

void TGlobePen::WriteToStream(TGlobeWriter& w) {
    w.I32(PenColor);
    w.U8(static_cast<uint8_t>(PenStyle));
    w.U8(PenWidth);
}

void TGlobePen::ReadFromStream(TGlobeReader& r) {
    PenColor = r.I32();
    const uint8_t s = r.U8();
    PenStyle = s <= static_cast<uint8_t>(TPenStyle::psInsideFrame) ? static_cast<TPenStyle>(s) : TPenStyle::psSolid;
    PenWidth = r.U8();
    ReleaseHandle(0);
}

TGlobeBrush::TGlobeBrush(TGlobeLayer* layer) : TGlobeAttribute(layer) {
    if (TGlobeContext* g = Globe(); g && g->DefaultBrush)
        Assign(*g->DefaultBrush);
}
TGlobeBrush::TGlobeBrush(TColor color, TBrushStyle style) : TGlobeAttribute(nullptr), BrushColor(color), BrushStyle(style) {}

void TGlobeBrush::SetBrush(TColor c, TBrushStyle s) {
    BrushColor = c;
    BrushStyle = s;
    ReleaseHandle(0);
    Changed();
}

bool TGlobeBrush::SameAs(const TGlobeAttribute& o) const {
    auto* p = dynamic_cast<const TGlobeBrush*>(&o);
    return p && p->BrushColor == BrushColor && p->BrushStyle == BrushStyle;
}

void TGlobeBrush::SelectInto(bool selected) {
    if (!Handle)
        CreateHandle();
    TGlobeContext* g = Globe();
    if (!Handle || !g || !g->Canvas)
        return;
    const TGlobeBrush& src = g->FarSide ? *g->TransparentBrush : (selected ? *g->SelectedBrush : *this);
    g->Canvas->SelectBrush(src.BrushColor, src.BrushStyle);
}

void TGlobeBrush::Assign(const TGlobePersistent& src) {
    if (auto* p = dynamic_cast<const TGlobeBrush*>(&src)) {
        SetBrushColor(p->BrushColor);
        SetBrushStyle(p->BrushStyle);
    }
}

void TGlobeBrush::WriteToStream(TGlobeWriter& w) {
    w.I32(BrushColor);
    w.U8(static_cast<uint8_t>(BrushStyle));
}

void TGlobeBrush::ReadFromStream(TGlobeReader& r) {
    BrushColor = r.I32();
    const uint8_t s = r.U8();
    BrushStyle = s <= static_cast<uint8_t>(TBrushStyle::bsDiagCross) ? static_cast<TBrushStyle>(s) : TBrushStyle::bsSolid;
    ReleaseHandle(0);
}

TGlobeFont::TGlobeFont(TGlobeLayer* layer, bool titleDefault) : TGlobeAttribute(layer) {
    if (TGlobeContext* g = Globe()) {
        const TGlobeFont* d = titleDefault ? g->DefaultTitleFont.get() : g->DefaultSymbolFont.get();
        if (d)
            Assign(*d);
    }
}
TGlobeFont::TGlobeFont(const std::string& name, TColor color, TGlobeUnits unit, int32_t size, int32_t angle, uint8_t style)
    : TGlobeAttribute(nullptr), FontUnit(unit), FontColor(color), FontSize(size), FontAngle(angle), FontStyle(style),
      FontName(name) {}

int32_t TGlobeFont::PixelHeight() const {
    TGlobeContext* g = Globe();
    if (!g)
        return FontSize;
    int64_t h;
    if (FontUnit == TGlobeUnits::Pixel)
        h = MulDiv(FontSize, g->CanvasPPI, g->ScreenPPI);
    else  // the unit's own factor: centimetres and inches are less than one GU
        h = Rnd64(UnitFactor(FontUnit) * FontSize * g->ScaleFactor());
    h = std::clamp<int64_t>(h, -32767, 32767);
    if (Layer && Layer->MaxFontHeight != 0) {
        const int32_t m = MulDiv(Layer->MaxFontHeight, g->CanvasPPI, g->ScreenPPI);
        if (m != 0 && m < (h < 0 ? -h : h))
            return m;
    }
    return static_cast<int32_t>(h);
}

void TGlobeFont::CreateHandle() {
    ReleaseHandle(0);
    TGlobeContext* g = Globe();
    if (!Layer || !g || PixelHeight() < g->MinTextHeight())
        return;
    Handle = g->MakeHandle();
}

bool TGlobeFont::SameAs(const TGlobeAttribute& o) const {
    auto* p = dynamic_cast<const TGlobeFont*>(&o);
    return p && SameTextCI(p->FontName, FontName) && p->FontColor == FontColor && p->FontStyle == FontStyle &&
           p->FontUnit == FontUnit && p->FontSize == FontSize && p->FontAngle == FontAngle;
}

void TGlobeFont::SelectInto(bool selected) {
    if (!Handle)
        CreateHandle();
    TGlobeContext* g = Globe();
    if (!Handle || !g || !g->Canvas)
        return;
    g->Canvas->SelectFont(*this, PixelHeight(), selected ? g->SelectedPen->PenColor : FontColor);
}

void TGlobeFont::Assign(const TGlobePersistent& src) {
    if (auto* p = dynamic_cast<const TGlobeFont*>(&src)) {
        SetFontName(p->FontName);
        SetFontColor(p->FontColor);
        SetFontStyle(p->FontStyle);
        SetFontUnit(p->FontUnit);
        SetFontSize(p->FontSize);
        SetFontAngle(p->FontAngle);
    }
}

void TGlobeFont::WriteToStream(TGlobeWriter& w) {
    w.I32(FontColor);
    w.U8(static_cast<uint8_t>(FontUnit));
    w.I16(Sat16(FontSize));
    w.I16(Sat16(FontAngle));
    w.U8(FontStyle);
    w.SStr(FontName);
}

void TGlobeFont::ReadFromStream(TGlobeReader& r) {
    FontColor = r.I32();
    const uint8_t u = r.U8();
    FontUnit = u < GlobeUnitsCount ? static_cast<TGlobeUnits>(u) : TGlobeUnits::Pixel;
    FontSize = r.I16();
    FontAngle = r.I16();
    FontStyle = r.U8();
    FontName = r.SStr();
    ReleaseHandle(0);
}

// ---- presenters ----

TGlobePresenter::TGlobePresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID, const char* className)
    : TGlobePersistent(layer), TitleFont(layer, true) {
    layer->Presenters.push_back(this);
    const int index = static_cast<int>(layer->Presenters.size()) - 1;
    const bool global = layer->Globe && layer == layer->Globe->GlobalLayer;
    FeatureID = featureID != 0 ? featureID : static_cast<int16_t>(global ? -(index + 1) : index + 1);
    Name = !name.empty() ? name : std::string(global ? "Global" : "") + (className + 1) + std::to_string(FeatureID);
}

void TGlobePresenter::Assign(const TGlobePersistent& src) {
    if (auto* p = dynamic_cast<const TGlobePresenter*>(&src)) {
        Name = p->Name;
        FeatureID = p->FeatureID;
        TitleAlignment = p->TitleAlignment;
        TitleFont.Assign(p->TitleFont);
    }
}

void TGlobePresenter::WriteToStream(TGlobeWriter& w) {
    w.I32(FeatureID);
    w.I8(static_cast<int8_t>(std::clamp<int>(TitleOffset, -128, 127)));
    w.SStr(Name);
    w.U8(static_cast<uint8_t>(TitleAlignment));
    TitleFont.WriteToStream(w);
}

void TGlobePresenter::ReadFromStream(TGlobeReader& r) {
    FeatureID = static_cast<int16_t>(r.I32());
    if (r.Version >= 0x0301)
        TitleOffset = r.I8();
    Name = r.SStr();
    const uint8_t a = r.U8();
    TitleAlignment = a <= static_cast<uint8_t>(TTitleAlignment::taBottomRight) ? static_cast<TTitleAlignment>(a)
                                                                             : TTitleAlignment::taNone;
    TitleFont.ReadFromStream(r);
}

void TGlobePresenter::Delete() {
    TGlobeContext* g = Globe();
    auto unhook = [this](TGlobeLayer* l) {
        for (TGlobeObject* o : l->Objects)
            if (o->Presenter == this)
                o->Presenter = nullptr;
    };
    if (g) {
        for (TGlobeLayer* l : g->Layers)
            unhook(l);
        if (g->GlobalLayer)
            unhook(g->GlobalLayer);
    }
    unhook(Layer);
    auto& list = Layer->Presenters;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    delete this;
    if (g)
        g->RedrawLayers();
}

bool TGlobePresenter::HitTest(TGlobeObject& o, const GlobePoint& p, int) {
    const GlobeExtent& e = o.Extent;
    return e.Left <= p.X && p.X <= static_cast<int64_t>(e.Left) + e.Width && e.Top <= p.Y &&
           p.Y <= static_cast<int64_t>(e.Top) + e.Height;
}

void TGlobePresenter::AdjustExtent(TGlobeObject& o) {
    TGlobeContext* g = Globe();
    if (!g)
        return;
    const int64_t px = Rnd64(1 / g->ScaleFactor());
    if (px >= o.Extent.Width && px >= o.Extent.Height)
        o.State |= gsSubPixel;
    else
        o.State &= static_cast<uint16_t>(~gsSubPixel);
}

void TGlobePresenter::Render(TGlobeObject&) {}

void TGlobePresenter::DrawTitles(TGlobeLayer& layer) {
    TGlobeContext* g = Globe();
    if (TitleAlignment == TTitleAlignment::taNone || !g)
        return;
    TitleFont.CreateHandle();
    TitleFont.SelectInto(false);
    if (TitleFont.PixelHeight() < MaxInt(2, g->MinTextHeight()))
        return;
    // A title set off from its point clears the point's own marker.
    const int32_t e = std::max(MarkerRadius(), TitleFont.FontUnit == TGlobeUnits::Pixel
                                                    ? static_cast<int32_t>(TitleOffset)
                                                    : Rnd(static_cast<extended>(ToGU(TitleFont.FontUnit, TitleOffset)) *
                                                          g->ScaleFactor()));
    for (TGlobeObject* o : layer.Objects) {
        if ((o->State & (gsVisible | gsPartShown)) != (gsVisible | gsPartShown) || o->Presenter != this)
            continue;
        bool done = false;
        if (g->OnRenderTitle)
            g->OnRenderTitle(o, done);
        // A lone point's title stands at the point: its kept vector serves.
        if (done || o->Title.empty() ||
            !g->Model->ProjectKept(*o, o->Count() == 1 ? 0 : static_cast<size_t>(o->Count()), o->Centre(), 0))
            continue;
        int64_t x = g->SP(0).X, y = g->SP(0).Y;
        THAlign h = THAlign::Center;
        TVAlign v = TVAlign::Baseline;
        switch (TitleAlignment) {
        case TTitleAlignment::taLeft: h = THAlign::Right; x -= e; break;
        case TTitleAlignment::taRight: h = THAlign::Left; x += e; break;
        case TTitleAlignment::taTopLeft: h = THAlign::Right; v = TVAlign::Bottom; x -= e; y -= e; break;
        case TTitleAlignment::taTop: v = TVAlign::Bottom; y -= e; break;
        case TTitleAlignment::taTopRight: h = THAlign::Left; v = TVAlign::Bottom; x += e; y -= e; break;
        case TTitleAlignment::taBottomLeft: h = THAlign::Right; v = TVAlign::Top; x -= e; y += e; break;
        case TTitleAlignment::taBottom: v = TVAlign::Top; y += e; break;
        case TTitleAlignment::taBottomRight: h = THAlign::Left; v = TVAlign::Top; x += e; y += e; break;
        default: break;
        }
        if (g->Canvas)
            g->Canvas->DrawTitle(Sat32(x), Sat32(y), o->Title, h, v);
    }
}

TPointPresenter::TPointPresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID)
    : TGlobePresenter(layer, name, featureID, "TPointPresenter"), PointPen(layer), PointBrush(layer), PointFont(layer) {}

TPointPresenter::~TPointPresenter() = default;

void TPointPresenter::ObjectsChanged(bool repaint) {
    if (!Layer)
        return;
    for (TGlobeObject* o : Layer->Objects)
        if (o->Presenter == this)
            o->State &= static_cast<uint16_t>(~gsExtentValid);
    if (repaint && Globe())
        Globe()->RedrawLayers();
}

void TPointPresenter::SetPointUnit(TGlobeUnits v) {
    PointUnit = v;
    if (PointType == TPointPresenterType::ppFontSymbol)
        PointFont.SetFontUnit(v);
    ObjectsChanged(false);
}

void TPointPresenter::SetPointSize(int32_t v) {
    PointSize = std::max(0, v);  // a negative size cannot be stored beside MaxPointSize
    if (PointType == TPointPresenterType::ppFontSymbol)
        PointFont.SetFontSize(PointSize);
    ObjectsChanged(true);
}

void TPointPresenter::SetMaxPointSize(int32_t v) {
    MaxPointSize = std::max(0, v);
    ObjectsChanged(true);
}

void TPointPresenter::SetImageName(const std::string& n) {
    TGlobeContext* g = Globe();
    std::unique_ptr<IGlobePicture> pic = g && !n.empty() ? g->LoadPicture(n, Layer ? Layer->FilePath : std::string()) : nullptr;
    if (pic) {
        OwnImage = std::move(pic);
        Image = OwnImage.get();
        ImageName = n;
        g->RedrawLayers();
    } else {
        OwnImage.reset();
        Image = nullptr;
        ImageName.clear();
    }
}

void TPointPresenter::SetImage(IGlobePicture* pic) {
    OwnImage.reset();
    ImageName.clear();
    Image = pic;
}

int32_t TPointPresenter::MarkerRadius() const {
    switch (PointType) {
    case TPointPresenterType::ppNone:
    case TPointPresenterType::ppFontSymbol:
    case TPointPresenterType::ppImage: return 0;
    case TPointPresenterType::ppDot: return 1;
    default: return PixelSize() / 2 + 2;
    }
}

int32_t TPointPresenter::PixelSize() const {
    TGlobeContext* g = Globe();
    if (!g)
        return PointSize;
    int32_t c = PointUnit == TGlobeUnits::Pixel
                    ? MulDiv(PointSize, g->CanvasPPI, g->ScreenPPI)
                    : Rnd(static_cast<extended>(g->ToGlobeUnits(PointSize, PointUnit)) * g->ScaleFactor());
    if (MaxPointSize)
        c = MinInt(c, MaxPointSize);
    return c;
}

void TPointPresenter::Assign(const TGlobePersistent& src) {
    TGlobePresenter::Assign(src);
    if (auto* p = dynamic_cast<const TPointPresenter*>(&src)) {
        PointType = p->PointType;
        SetPointUnit(p->PointUnit);
        SetPointSize(p->PointSize);
        SymbolIndex = p->SymbolIndex;
        SetImageName(p->ImageName);
        PointPen.Assign(p->PointPen);
        PointBrush.Assign(p->PointBrush);
        PointFont.Assign(p->PointFont);
    }
}

void TPointPresenter::WriteToStream(TGlobeWriter& w) {
    TGlobePresenter::WriteToStream(w);
    w.U8(static_cast<uint8_t>(PointType));
    w.U8(static_cast<uint8_t>(PointUnit));
    if (MaxPointSize > 0 && PointSize > 0) {
        w.I32(-PointSize);
        w.I32(MaxPointSize);
    } else {
        w.I32(std::max(0, PointSize));
    }
    w.I16(SymbolIndex);
    w.SStr(ImageName);
    PointPen.WriteToStream(w);
    PointBrush.WriteToStream(w);
    PointFont.WriteToStream(w);
}

void TPointPresenter::ReadFromStream(TGlobeReader& r) {
    TGlobePresenter::ReadFromStream(r);
    const uint8_t t = r.U8();
    PointType = t <= static_cast<uint8_t>(TPointPresenterType::ppTriangleRight) ? static_cast<TPointPresenterType>(t)
                                                                               : TPointPresenterType::ppCircle;
    const uint8_t u = r.U8();
    PointUnit = u < GlobeUnitsCount ? static_cast<TGlobeUnits>(u) : TGlobeUnits::Pixel;
    const int32_t size = r.I32();
    MaxPointSize = 0;
    if (size < 0) {
        if (size == INT32_MIN)
            r.Fail("Bad point size");
        PointSize = -size;
        MaxPointSize = r.I32();
        if (MaxPointSize < 0)
            r.Fail("Bad point size");
    } else {
        PointSize = size;
    }
    SymbolIndex = r.I16();
    const std::string image = r.SStr();
    PointPen.ReadFromStream(r);
    PointBrush.ReadFromStream(r);
    PointFont.ReadFromStream(r);
    // A picture that is not there leaves no name behind.
    if (!image.empty())
        SetImageName(image);
}

bool TPointPresenter::HitTest(TGlobeObject& o, const GlobePoint& p, int k) { return TGlobePresenter::HitTest(o, p, k); }

void TPointPresenter::AdjustExtent(TGlobeObject& o) {
    TGlobeContext* g = Globe();
    if (g && o.Count() == 1) {
        const GlobePoint p = o.Get(0);
        int32_t a = g->ToGlobeUnits(PointSize, PointUnit);
        if (MaxPointSize)
            a = MinInt(a, Rnd(MaxPointSize / g->ScaleFactor()));
        const int64_t b = a / 2;
        o.Extent = {Sat32(p.X - b), Sat32(p.Y - b), Sat32(2 * b), Sat32(2 * b)};
        if (PointType == TPointPresenterType::ppImage && Image && Image->Width() > 0) {
            const int64_t c = Rnd64(static_cast<extended>(Image->Height()) * b / Image->Width());
            o.Extent = {Sat32(p.X - b), Sat32(p.Y - c), Sat32(2 * b), Sat32(2 * c)};
        } else if (PointType == TPointPresenterType::ppNone && TitleAlignment != TTitleAlignment::taNone) {
            TitleFont.SelectInto(false);
            const TSize s = g->Canvas ? g->Canvas->TextExtent(o.Title) : TSize{};
            o.Extent.Width = Rnd(s.W / g->ScaleFactor());
            o.Extent.Height = Rnd(s.H / g->ScaleFactor());
        }
    }
    TGlobePresenter::AdjustExtent(o);
}

void TPointPresenter::Render(TGlobeObject& o) {
    TGlobeContext* g = Globe();
    if (!g || !g->Canvas)
        return;
    IGlobeCanvas& c = *g->Canvas;
    const bool sel = o.Selected();
    PointPen.SelectInto(sel);
    PointBrush.SelectInto(sel);
    const int32_t n = o.Count();
    for (int32_t i = 0; i < n; ++i) {
        if (!g->Model->ProjectKept(o, static_cast<size_t>(i), o.Get(i), 0))
            continue;
        const int32_t x = g->SP(0).X, y = g->SP(0).Y;
        const int32_t d = PixelSize() / 2;
        const int32_t l = x - d, r = x + d;
        auto poly = [&](std::initializer_list<TPoint> pts) { c.Polygon(pts.begin(), static_cast<int>(pts.size())); };
        switch (PointType) {
        case TPointPresenterType::ppNone: break;
        case TPointPresenterType::ppFontSymbol: {
            PointFont.SelectInto(sel);
            const std::string sym = Cp1252ToUtf8(std::string(1, static_cast<char>(SymbolIndex & 0xFF)));
            const TSize s = c.TextExtent(sym);
            const extended hw = s.W / 2, hh = s.H / 2;
            const extended a = -(PointFont.FontAngle / 10) * GlobePi / 180;
            c.TextOut(x - static_cast<int32_t>(std::trunc(hw * std::cos(a) - hh * std::sin(a))),
                      y - static_cast<int32_t>(std::trunc(hw * std::sin(a) + hh * std::cos(a))), sym);
            break;
        }
        case TPointPresenterType::ppImage:
            if (Image && Image->Width() > 0) {
                const int32_t e = Rnd(static_cast<extended>(Image->Height()) * d / Image->Width());
                c.StretchPicture(*Image, l, y - e, r, y + e);
            }
            break;
        case TPointPresenterType::ppDot: c.SetPixel(x, y, PointPen.PenColor); break;
        case TPointPresenterType::ppCircle: c.Ellipse(l, y - d, r, y + d); break;
        case TPointPresenterType::ppSquare: c.Rectangle(l, y - d, r, y + d); break;
        case TPointPresenterType::ppDiamond: poly({{x, y - d}, {r, y}, {x, y + d}, {l, y}}); break;
        case TPointPresenterType::ppTriangleUp: poly({{r, y + d}, {x, y - d}, {l, y + d}}); break;
        case TPointPresenterType::ppTriangleDown: poly({{l, y - d}, {x, y + d}, {r, y - d}}); break;
        case TPointPresenterType::ppTriangleLeft: poly({{r, y + d}, {l, y}, {r, y - d}}); break;
        case TPointPresenterType::ppTriangleRight: poly({{l, y - d}, {r, y}, {l, y + d}}); break;
        }
    }
}

TPolylinePresenter::TPolylinePresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID)
    : TGlobePresenter(layer, name, featureID, "TPolylinePresenter"), PolylinePen(layer) {}

void TPolylinePresenter::Assign(const TGlobePersistent& src) {
    TGlobePresenter::Assign(src);
    if (auto* p = dynamic_cast<const TPolylinePresenter*>(&src))
        PolylinePen.Assign(p->PolylinePen);
}

void TPolylinePresenter::WriteToStream(TGlobeWriter& w) {
    TGlobePresenter::WriteToStream(w);
    PolylinePen.WriteToStream(w);
}

void TPolylinePresenter::ReadFromStream(TGlobeReader& r) {
    TGlobePresenter::ReadFromStream(r);
    PolylinePen.ReadFromStream(r);
}

void TPolylinePresenter::Render(TGlobeObject& o) {
    PolylinePen.SelectInto(o.Selected());
    if (auto* geo = dynamic_cast<TGeoDataObject*>(&o); geo && Globe())
        Globe()->RenderPolyline(*geo);
}

namespace {
// Longitude of x brought to within half a turn of ref, in 64 bits.
int64_t Near(int64_t x, int64_t ref) {
    while (x - ref > GU_180)
        x -= GU_360;
    while (ref - x > GU_180)
        x += GU_360;
    return x;
}
}  // namespace

int32_t TPolylinePresenter::HitMargin() const {
    TGlobeContext* g = Globe();
    return g ? std::max<int32_t>(1, Rnd(1 / g->ScaleFactor())) : 1;
}

bool TPolylinePresenter::HitTest(TGlobeObject& o, const GlobePoint& p, int) {
    TGlobeContext* g = Globe();
    const int32_t n = o.Count();
    if (!g || n < 1)
        return false;
    // Within max(one pixel, one GU) of a segment, measured on the unwrapped
    // chain so a segment across 180 degrees counts too.
    const extended u = std::max<extended>(1, Rnd(1 / g->ScaleFactor()));
    GlobePoint a = o.Get(0);
    auto within = [&](extended ax, extended ay, extended bx, extended by) {
        const extended px = static_cast<extended>(Near(p.X, static_cast<int64_t>(ax))), py = p.Y;
        const extended dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
        extended t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
        t = std::clamp<extended>(t, 0, 1);
        const extended ex = ax + t * dx - px, ey = ay + t * dy - py;
        return ex * ex + ey * ey <= u * u;
    };
    if (n == 1)
        return within(a.X, a.Y, a.X, a.Y);
    for (int32_t i = 1; i < n; ++i) {
        const GlobePoint b = o.Get(i);
        if (within(a.X, a.Y, static_cast<extended>(Near(b.X, a.X)), b.Y))
            return true;
        a = b;
    }
    return false;
}

TPolygonPresenter::TPolygonPresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID)
    : TGlobePresenter(layer, name, featureID, "TPolygonPresenter"), PolygonPen(layer), PolygonBrush(layer) {}

void TPolygonPresenter::Assign(const TGlobePersistent& src) {
    TGlobePresenter::Assign(src);
    if (auto* p = dynamic_cast<const TPolygonPresenter*>(&src)) {
        PolygonPen.Assign(p->PolygonPen);
        PolygonBrush.Assign(p->PolygonBrush);
    }
}

void TPolygonPresenter::WriteToStream(TGlobeWriter& w) {
    TGlobePresenter::WriteToStream(w);
    PolygonPen.WriteToStream(w);
    PolygonBrush.WriteToStream(w);
}

void TPolygonPresenter::ReadFromStream(TGlobeReader& r) {
    TGlobePresenter::ReadFromStream(r);
    PolygonPen.ReadFromStream(r);
    PolygonBrush.ReadFromStream(r);
}

void TPolygonPresenter::Render(TGlobeObject& o) {
    PolygonPen.SelectInto(o.Selected());
    PolygonBrush.SelectInto(o.Selected());
    if (auto* geo = dynamic_cast<TGeoDataObject*>(&o); geo && Globe())
        Globe()->RenderPolygon(*geo);
}

bool TPolygonPresenter::HitTest(TGlobeObject& o, const GlobePoint& p, int k) {
    if (k == 0)
        return false;
    const int32_t n = o.Count();
    if (n < 3)
        return false;
    // Even-odd rule on an unwrapped ring: vertices on the far side of 180
    // degrees are moved a turn instead of dropped, and a ring around a pole
    // is closed along that pole.
    std::vector<std::pair<int64_t, int64_t>> ring;
    ring.reserve(static_cast<size_t>(n) + 3);
    int64_t px = p.X;
    if (o.State & gsCrossesOdd) {
        int64_t x = o.Get(0).X;
        extended sumY = 0;
        for (int32_t i = 0; i < n; ++i) {
            const GlobePoint v = o.Get(i);
            x = i == 0 ? v.X : Near(v.X, x);
            ring.emplace_back(x, v.Y);
            sumY += v.Y;
        }
        const int64_t closeX = Near(o.Get(0).X, x);
        const int64_t pole = sumY >= 0 ? GU_90 : -GU_90;
        ring.emplace_back(closeX, o.Get(0).Y);
        ring.emplace_back(closeX, pole);
        ring.emplace_back(ring.front().first, pole);
        int64_t lo = ring.front().first, hi = lo;
        for (const auto& v : ring) {
            lo = std::min(lo, v.first);
            hi = std::max(hi, v.first);
        }
        while (px < lo)
            px += GU_360;
        while (px > hi && px - GU_360 >= lo)
            px -= GU_360;
    } else {
        for (int32_t i = 0; i < n; ++i) {
            const GlobePoint v = o.Get(i);
            int64_t x = v.X;
            if (k == 2 && x < 0)
                x += GU_360;
            else if (k == 1 && x > 0)
                x -= GU_360;
            ring.emplace_back(x, v.Y);
        }
    }
    bool result = false;
    auto prev = ring.back();
    for (const auto& v : ring) {
        if ((v.second <= p.Y && p.Y < prev.second) || (prev.second <= p.Y && p.Y < v.second)) {
            const extended xc = v.first + static_cast<extended>(p.Y - v.second) * (prev.first - v.first) /
                                              static_cast<extended>(prev.second - v.second);
            if (px < xc)
                result = !result;
        }
        prev = v;
    }
    return result;
}

TPointPresenter* NewPlaceMarker(TGlobeLayer* layer, const std::string& name, int32_t pixelSize,
                                int32_t titleSize) {
    auto* p = new TPointPresenter(layer, name, 0);
    p->PointType = TPointPresenterType::ppDiamond;
    p->SetPointSize(pixelSize);
    p->SetPointUnit(TGlobeUnits::Pixel);
    p->PointPen.SetPen(0x0000FF, TPenStyle::psSolid, 1);
    p->PointBrush.SetBrush(0xFF0000, TBrushStyle::bsSolid);
    p->TitleAlignment = TTitleAlignment::taBottomRight;
    p->TitleFont.SetFontUnit(TGlobeUnits::NauticalMile);
    p->TitleFont.SetFontAngle(200);
    p->TitleFont.SetFontSize(titleSize);
    return p;
}
