// Layers and the layer file.
#include "platform/rtl/AtomicFile.h"
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "globe/core/GlobeContext.h"
#include "globe/core/GlobeIni.h"

namespace {
constexpr size_t kMaxLayerFile = 256u << 20;

struct Busy {
    explicit Busy(TGlobeContext* g) : G(g) { G->BeginBusy(); }
    ~Busy() { G->EndBusy(); }
    TGlobeContext* G;
};

// The smallest record each class can have in the file.
size_t MinRecordSize(const std::string& cls, uint16_t version) {
    const size_t font = 11, presenter = 4 + (version >= 0x0301 ? 1 : 0) + 1 + 1 + font, pen = 6, brush = 5;
    if (SameTextCI(cls, "TPointPresenter"))
        return presenter + 1 + 1 + 4 + 2 + 1 + pen + brush + font;
    if (SameTextCI(cls, "TPolylinePresenter"))
        return presenter + pen;
    if (SameTextCI(cls, "TPolygonPresenter"))
        return presenter + pen + brush;
    if (SameTextCI(cls, "TBitmapObject"))
        return 8 + 4 + (version >= 0x0301 ? 4 : 0) + 4 + 1;
    if (SameTextCI(cls, "TGeoDataObject"))
        return 6;  // flags, FeatureID and a count of 0
    if (SameTextCI(cls, "TSinglePointObject"))
        return 8;
    return 1;
}

std::string FolderOf(const std::string& p) {
    const size_t s = p.find_last_of('/');
    return s == std::string::npos ? std::string() : p.substr(0, s + 1);
}
std::string NameOf(const std::string& p) {
    const size_t s = p.find_last_of('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}
}  // namespace

// ---- reader and writer ----

void TGlobeReader::Need(size_t n) const {
    if (Remaining() < n)
        Fail();
}

void TGlobeReader::Fail(const char* what) const {
    if (!what)
        throw EGlobeException(GlobeFormat("LoadFromFile: Unexpected end of data in %s", Filename.c_str()));
    throw EGlobeException(GlobeFormat("LoadFromFile: %s in %s", what, Filename.c_str()));
}

uint8_t TGlobeReader::U8() {
    Need(1);
    return static_cast<uint8_t>(Data[Pos++]);
}

uint16_t TGlobeReader::U16() {
    Need(2);
    const auto* p = reinterpret_cast<const unsigned char*>(Data.data() + Pos);
    Pos += 2;
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

int32_t TGlobeReader::I32() {
    Need(4);
    const auto* p = reinterpret_cast<const unsigned char*>(Data.data() + Pos);
    Pos += 4;
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

std::string TGlobeReader::SStr() {
    const size_t n = U8();
    Need(n);
    std::string s = Data.substr(Pos, n);
    Pos += n;
    return Cp1252ToUtf8(s);
}

void TGlobeWriter::U16(uint16_t v) {
    U8(static_cast<uint8_t>(v));
    U8(static_cast<uint8_t>(v >> 8));
}

void TGlobeWriter::I32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        U8(static_cast<uint8_t>(u >> (8 * i)));
}

void TGlobeWriter::SStr(const std::string& utf8) {
    std::string s = Utf8ToCp1252(utf8);
    if (s.size() > 255)
        s.resize(255);
    U8(static_cast<uint8_t>(s.size()));
    Out += s;
}

// ---- object records ----

GlobePoint TGlobeObject::ReadGlobePoint(TGlobeReader& r, uint8_t flags) {
    int64_t x, y, z = 0;
    if (flags & 0x08) {
        x = static_cast<int64_t>(r.I16()) * GU_MINUTE;
        y = static_cast<int64_t>(r.I16()) * GU_MINUTE;
        if (flags & 0x04)
            z = static_cast<int64_t>(r.I16()) * GU_MINUTE;
    } else {
        x = r.I32();
        y = r.I32();
        if (flags & 0x04)
            z = r.I32();
    }
    return MakePoint3(x, y, z);
}

void TGlobeObject::WriteGlobePoint(TGlobeWriter& w, const GlobePoint& p, uint8_t flags) {
    if (flags & 0x08) {
        w.I16(static_cast<int16_t>(p.X / GU_MINUTE));
        w.I16(static_cast<int16_t>(p.Y / GU_MINUTE));
        if (flags & 0x04)
            w.I16(static_cast<int16_t>(p.Z / GU_MINUTE));
    } else {
        w.I32(p.X);
        w.I32(p.Y);
        if (flags & 0x04)
            w.I32(p.Z);
    }
}

uint16_t TGlobeObject::ReadObjectPart(TGlobeReader& r) {
    const uint8_t flags = static_cast<uint8_t>(r.U16());
    StreamFlags = flags;
    if (flags & 0x01)
        Title = r.SStr();
    if (flags & 0x02)
        ID = r.I32();
    if (flags & 0x80) {
        ZoomMin = r.I32();
        ZoomMax = r.I32();
    }
    FeatureID = r.I16();
    SetPresenter(FindPresenter(Layer, "", FeatureID));
    return flags;
}

void TGlobeObject::WriteObjectPart(TGlobeWriter& w, uint8_t flags) {
    flags &= static_cast<uint8_t>(~(0x01 | 0x02 | 0x80));
    if (!Title.empty())
        flags |= 0x01;
    if (ID != 0)
        flags |= 0x02;
    if (ZoomMin != ZoomMax)
        flags |= 0x80;
    w.U16(flags);
    if (flags & 0x01)
        w.SStr(Title);
    if (flags & 0x02)
        w.I32(ID);
    if (flags & 0x80) {
        w.I32(ZoomMin);
        w.I32(ZoomMax);
    }
    w.I16(FeatureID);
}

void TGlobeObject::WriteToStream(TGlobeWriter& w) { WriteObjectPart(w, 0); }
void TGlobeObject::ReadFromStream(TGlobeReader& r) { ReadObjectPart(r); }

void TGeoDataObject::ReadFromStream(TGlobeReader& r) {
    const uint8_t flags = static_cast<uint8_t>(ReadObjectPart(r));
    int64_t count;
    if (flags & 0x20)
        count = 1;
    else if (flags & 0x40)
        count = r.I32();
    else
        count = r.U16();
    if (count < 0)
        r.Fail("Bad point count");
    const bool minute = flags & 0x08, z = flags & 0x04, delta = flags & 0x10;
    const int64_t unit = delta ? (minute ? 1 : 2) : (minute ? 2 : 4);
    // Every further point takes at least this many bytes: check before allocating.
    if (count > 134217727 || (count > 0 && (count - 1) * unit * (z ? 3 : 2) > static_cast<int64_t>(r.Remaining())))
        r.Fail();
    ClearPoints();
    if (count > 0) {
        SetCapacity(static_cast<int32_t>(count));
        const int64_t u = minute ? GU_MINUTE : 1;
        const int32_t esc = minute ? 127 : 0x7FFF;
        GlobePoint prev = ReadGlobePoint(r, flags);
        Points.push_back(prev);
        for (int64_t i = 1; i < count; ++i) {
            if (delta) {
                const int32_t dx = minute ? r.I8() : r.I16();
                if (dx == esc) {
                    prev = ReadGlobePoint(r, flags);
                } else {
                    const int32_t dy = minute ? r.I8() : r.I16();
                    const int32_t dz = z ? (minute ? r.I8() : r.I16()) : 0;
                    prev = MakePoint3(u * (prev.X / u + dx), u * (prev.Y / u + dy), u * (prev.Z / u + dz));
                }
            } else {
                prev = ReadGlobePoint(r, flags);
            }
            Points.push_back(prev);
        }
    }
    if (!Presenter)
        SetPresenter(FindPresenter(Layer, "", Count() < 2 ? -1 : -2));
    State &= static_cast<uint16_t>(~gsExtentValid);
}

void TGeoDataObject::WriteToStream(TGlobeWriter& w) {
    uint8_t flags = 0x08;
    bool removed = false;
    for (int32_t i = Count() - 1; i >= 0; --i) {
        const GlobePoint& p = Points[static_cast<size_t>(i)];
        if (p.Z != 0)
            flags |= 0x04;
        // Whole minutes only when Z is whole minutes too, so minute form loses nothing.
        if (p.X % GU_MINUTE || p.Y % GU_MINUTE || p.Z % GU_MINUTE)
            flags &= static_cast<uint8_t>(~0x08);
        if (i >= 2 && p == Points[static_cast<size_t>(i - 1)]) {
            Points.erase(Points.begin() + i);
            removed = true;
        }
    }
    if (removed)
        Changed();
    const bool minute = flags & 0x08;
    const int64_t u = minute ? GU_MINUTE : 1;
    const int64_t esc = minute ? 127 : 0x7FFF;
    const int32_t n = Count();
    auto big = [&](const GlobePoint& a, const GlobePoint& b) {
        return std::llabs(b.X / u - a.X / u) >= esc || std::llabs(b.Y / u - a.Y / u) >= esc ||
               std::llabs(b.Z / u - a.Z / u) >= esc;
    };
    if (n > 1) {
        int64_t estimate = 8;
        for (int32_t i = 1; i < n; ++i)
            estimate += 4 + (big(Points[static_cast<size_t>(i - 1)], Points[static_cast<size_t>(i)]) ? 6 : 0);
        if (estimate < 8LL * n)
            flags |= 0x10;
    } else if (n == 1) {
        flags |= 0x20;
    }
    if (n > 65535)
        flags |= 0x40;
    WriteObjectPart(w, flags);
    if (!(flags & 0x20)) {
        if (flags & 0x40)
            w.I32(n);
        else
            w.U16(static_cast<uint16_t>(n));
    }
    // An empty chain is a count of 0 and no point, so it reads back empty.
    if (n > 0)
        WriteGlobePoint(w, Points[0], flags);
    for (int32_t i = 1; i < n; ++i) {
        const GlobePoint& a = Points[static_cast<size_t>(i - 1)];
        const GlobePoint& b = Points[static_cast<size_t>(i)];
        if (!(flags & 0x10)) {
            WriteGlobePoint(w, b, flags);
        } else if (big(a, b)) {
            if (minute)
                w.I8(static_cast<int8_t>(esc));
            else
                w.I16(static_cast<int16_t>(esc));
            WriteGlobePoint(w, b, flags);
        } else {
            const int64_t d[3] = {b.X / u - a.X / u, b.Y / u - a.Y / u, b.Z / u - a.Z / u};
            for (int k = 0; k < ((flags & 0x04) ? 3 : 2); ++k) {
                if (minute)
                    w.I8(static_cast<int8_t>(d[k]));
                else
                    w.I16(static_cast<int16_t>(d[k]));
            }
        }
    }
}

void TSinglePointObject::ReadFromStream(TGlobeReader& r) {
    const uint8_t flags = static_cast<uint8_t>(ReadObjectPart(r));
    Point = ReadGlobePoint(r, flags);
    State &= static_cast<uint16_t>(~gsExtentValid);
}

void TSinglePointObject::WriteToStream(TGlobeWriter& w) {
    uint8_t flags = StreamFlags & static_cast<uint8_t>(~(0x04 | 0x08));
    if (Point.X % GU_MINUTE == 0 && Point.Y % GU_MINUTE == 0)
        flags |= 0x08;
    WriteObjectPart(w, flags);
    WriteGlobePoint(w, {Point.X, Point.Y, 0}, flags);
}

void TBitmapObject::ReadFromStream(TGlobeReader& r) {
    TSinglePointObject::ReadFromStream(r);
    GlobeUnitsPerPixel = r.I32();
    GlobeUnitsPerYPixel = r.Version >= 0x0301 ? r.I32() : GlobeUnitsPerPixel;
    if (GlobeUnitsPerPixel < 0 || GlobeUnitsPerYPixel < 0)
        r.Fail("Bad pixel size");
    TransparentIndex = r.I32();
    const std::string name = r.SStr();
    if (!name.empty())
        SetBMPFilename(name);
}

void TBitmapObject::WriteToStream(TGlobeWriter& w) {
    TSinglePointObject::WriteToStream(w);
    w.I32(GlobeUnitsPerPixel);
    w.I32(GlobeUnitsPerYPixel);
    w.I32(TransparentIndex);
    w.SStr(BMPFilename);
}

// ---- layer ----

TGlobePresenter* FindPresenter(TGlobeLayer* layer, const std::string& name, int16_t featureID) {
    if (!layer)
        return nullptr;
    for (TGlobePresenter* p : layer->Presenters)
        if ((featureID == 0 || p->FeatureID == featureID) && (name.empty() || SameTextCI(p->Name, name)))
            return p;
    if (layer->Globe && layer != layer->Globe->GlobalLayer)
        return FindPresenter(layer->Globe->GlobalLayer, name, featureID);
    return nullptr;
}

TGlobeLayer::TGlobeLayer(TGlobeContext* globe) : Globe(globe) {
    Globe->Layers.push_back(this);
    Globe->LayerListChanged = true;
    Reset();
}

TGlobeLayer::~TGlobeLayer() {
    Reset();
    auto& l = Globe->Layers;
    l.erase(std::remove(l.begin(), l.end(), this), l.end());
    Globe->LayerListChanged = true;
    Globe->RedrawLayers();
}

void TGlobeLayer::Delete() { delete this; }

void TGlobeLayer::Reset() {
    Filename.clear();
    Extent = {};
    Enabled = Visible = true;
    Animated = LoadOnDemand = false;
    MaxFontHeight = ZoomMin = ZoomMax = 0;
    ZoomUnits = TGlobeUnits::NauticalMile;
    Clear();
    Globe->RedrawLayers();
}

void TGlobeLayer::Clear() {
    if (TGlobeObject* s = Globe->SelectedObject(); s && s->Layer == this)
        Globe->SetSelectedObject(nullptr);
    std::vector<TGlobeObject*> objects;
    objects.swap(Objects);
    for (TGlobeObject* o : objects)
        delete o;
    std::vector<TGlobePresenter*> presenters;
    presenters.swap(Presenters);
    for (TGlobePresenter* p : presenters)
        delete p;
    Loaded = false;
}

TGlobeObject* TGlobeLayer::GetObject(int i) const {
    return i >= 0 && i < ObjectCount() ? Objects[static_cast<size_t>(i)] : nullptr;
}

TGlobePresenter* TGlobeLayer::GetPresenter(int i) const {
    return i >= 0 && i < static_cast<int>(Presenters.size()) ? Presenters[static_cast<size_t>(i)] : nullptr;
}

namespace {
template <class Pred>
TGlobeObject* FindAfter(const std::vector<TGlobeObject*>& list, TGlobeObject* after, Pred pred) {
    size_t i = 0;
    if (after) {
        auto it = std::find(list.begin(), list.end(), after);
        i = it == list.end() ? 0 : static_cast<size_t>(it - list.begin()) + 1;
    }
    for (; i < list.size(); ++i)
        if (pred(list[i]))
            return list[i];
    return nullptr;
}
}  // namespace

TGlobeObject* TGlobeLayer::FindByTitle(const std::string& title, TGlobeObject* after) {
    return FindAfter(Objects, after, [&](TGlobeObject* o) { return o->Title == title; });
}
TGlobeObject* TGlobeLayer::FindByID(int32_t id, TGlobeObject* after) {
    return FindAfter(Objects, after, [&](TGlobeObject* o) { return o->ID == id; });
}
TGlobeObject* TGlobeLayer::FindByRowID(int32_t id, TGlobeObject* after) {
    return FindAfter(Objects, after, [&](TGlobeObject* o) { return o->RowID == id; });
}

void TGlobeLayer::SetZoomMin(int32_t v) {
    if (v != ZoomMin) {
        ZoomMin = v;
        Globe->LayerListChanged = true;
        Globe->RedrawLayers();
    }
}
void TGlobeLayer::SetZoomMax(int32_t v) {
    if (v != ZoomMax) {
        ZoomMax = v;
        Globe->LayerListChanged = true;
        Globe->RedrawLayers();
    }
}
namespace {
void SetFlag(TGlobeContext* g, bool& field, bool v) {
    if (field != v) {
        field = v;
        g->ObjectsChangedMark = true;
        g->RedrawLayers();
    }
}
}  // namespace
void TGlobeLayer::SetEnabled(bool v) { SetFlag(Globe, Enabled, v); }
void TGlobeLayer::SetVisible(bool v) { SetFlag(Globe, Visible, v); }
void TGlobeLayer::SetAnimated(bool v) { SetFlag(Globe, Animated, v); }
void TGlobeLayer::SetLoadOnDemand(bool v) { SetFlag(Globe, LoadOnDemand, v); }
void TGlobeLayer::SetName(const std::string& v) {
    Name = v;
    Globe->LayerListChanged = true;
}

void TGlobeLayer::SetZoomUnits(TGlobeUnits u) {
    if (u == ZoomUnits)
        return;
    // Pixels have no fixed size in GU: the limits are then kept as numbers.
    if (u != TGlobeUnits::Pixel && ZoomUnits != TGlobeUnits::Pixel) {
        ZoomMin = Rnd(FromGU(ToGU(ZoomUnits, ZoomMin), u));
        ZoomMax = Rnd(FromGU(ToGU(ZoomUnits, ZoomMax), u));
    }
    ZoomUnits = u;
}

int TGlobeLayer::Index() const {
    auto& l = Globe->Layers;
    return static_cast<int>(std::find(l.begin(), l.end(), this) - l.begin());
}

void TGlobeLayer::SetIndex(int i) {
    auto& l = Globe->Layers;
    const int cur = Index();
    if (i < 0 || i >= static_cast<int>(l.size()) || cur >= static_cast<int>(l.size()))
        throw EGlobeException("TGlobeLayer.SetIndex: Bad position");
    l.erase(l.begin() + cur);
    l.insert(l.begin() + i, this);
    Globe->RedrawLayers();
}

void TGlobeLayer::RecomputeExtent() {
    Extent = {};
    if (Objects.empty())
        return;
    int64_t left = INT32_MAX, top = INT32_MAX, right = -INT32_MAX, bottom = -INT32_MAX;
    for (TGlobeObject* o : Objects) {
        o->EnsureExtent();
        const GlobeExtent& e = o->Extent;
        if (e.Left < left)
            left = static_cast<int64_t>(e.Left) - 1;
        if (e.Top < top)
            top = static_cast<int64_t>(e.Top) - 1;
        right = std::max<int64_t>(right, static_cast<int64_t>(e.Left) + e.Width);
        bottom = std::max<int64_t>(bottom, static_cast<int64_t>(e.Top) + e.Height);
    }
    Extent = {Sat32(left), Sat32(top), Sat32(right - left), Sat32(bottom - top)};
}

bool TGlobeLayer::IsVisible() {
    if (!Visible)
        return false;
    if (Extent.Width == 0 || Extent.Height == 0) {
        // A file that failed is not read again at every paint.
        if (!Loaded && !LoadFailed) {
            try {
                LoadFromFile();
            } catch (const EGlobeException&) {
                // The layer is marked failed and is not read again at every paint.
            }
        }
        RecomputeExtent();
    }
    bool v = true;
    if (ZoomMin > 0)
        v = Globe->ToGlobeUnits(ZoomMin, ZoomUnits) < Globe->Altitude;
    if (v && ZoomMax > 0)
        v = Globe->ToGlobeUnits(ZoomMax, ZoomUnits) >= Globe->Altitude;
    if (LoadOnDemand && v != Loaded && !(v && LoadFailed)) {
        if (v) {
            try {
                LoadFromFile();
            } catch (const EGlobeException&) {
                // The layer is marked failed and is not read again when it comes into view.
            }
        } else {
            Clear();
        }
    }
    if (!v || Animated || Extent.Width == 0 || Extent.Height == 0 || Extent.Width > 971999999)
        return v;
    uint8_t clip = 0;
    return Globe->Model->ExtentVisible(Extent, nullptr, clip);
}

void TGlobeLayer::UpdateVisibility() {
    if (!IsVisible())
        return;
    for (TGlobeObject* o : Objects) {
        if (Globe->ObjectsChangedMark || !(o->State & gsExtentValid)) {
            o->RecomputeExtent();
            o->State |= gsChanged;
        }
        if (o->State & (gsSubPixel | gsHidden)) {
            o->State &= static_cast<uint16_t>(~gsVisible);
        } else if (Globe->ViewChangedMark || (o->State & gsChanged)) {
            o->State &= static_cast<uint16_t>(~(gsVisible | gsPartHidden | gsPartShown));
            if (o->IsVisible())
                o->State |= gsVisible;
            else
                o->State &= static_cast<uint16_t>(~gsChanged);
        }
    }
    if (Extent.Width == 0 || Extent.Height == 0)
        RecomputeExtent();
}

void TGlobeLayer::Render() {
    if (Globe->IsPrinting())
        return;
    if (!Visible || !IsVisible())
        return;
    const uint16_t bit = Globe->FarSide ? gsPartHidden : gsPartShown;
    const int32_t slice = Globe->PeriodicUpdateTime;
    int64_t deadline = Globe->NowMs() + slice;
    for (size_t i = 0; i < Objects.size(); ++i) {
        if (i % 255 == 0 && slice > 0 && Globe->NowMs() > deadline) {
            Globe->CopyToWindow();
            deadline = Globe->NowMs() + slice;
        }
        TGlobeObject* o = Objects[i];
        if ((o->State & gsVisible) && (o->State & bit)) {
            bool done = false;
            if (Globe->OnRenderObject)
                Globe->OnRenderObject(o, done);
            if (!done)
                o->RenderObject();
        }
    }
    for (TGlobePresenter* p : std::vector<TGlobePresenter*>(Globe->GlobalLayer->Presenters))
        p->DrawTitles(*this);
    for (TGlobePresenter* p : std::vector<TGlobePresenter*>(Presenters))
        p->DrawTitles(*this);
}

TGlobeObject* TGlobeLayer::ObjectAtXY(int32_t px, int32_t py) {
    GlobePoint p;
    if (!Globe->XYToLL(px, py, p) || !IsVisible())
        return nullptr;
    try {
        const int n = ObjectCount();
        if (n == 0)
            return nullptr;
        int start = n - 1;
        if (TGlobeObject* s = Globe->SelectedObject(); s && s->Layer == this && s->HitTest(p))
            start = (s->Index() - 1 + n) % n;
        for (int k = 0; k < n; ++k) {
            TGlobeObject* o = Objects[static_cast<size_t>((start - k + n) % n)];
            if ((o->State & gsVisible) && o->HitTest(p))
                return o;
        }
    } catch (...) {
        // An object that cannot be tested is no hit.
    }
    return nullptr;
}

TGlobeObject* TGlobeLayer::ObjectAtLL(int32_t x, int32_t y) {
    const GlobePoint p = MakePoint(x, y);
    for (size_t i = Objects.size(); i-- > 0;)
        if (Objects[i]->HitTest(p))
            return Objects[i];
    return nullptr;
}

void TGlobeLayer::ApplyProfile(TIniFile& ini) {
    const std::string& s = Filename;
    Name = ini.ReadString(s, "Name", Name);
    Enabled = ini.ReadBool(s, "Enabled", true);
    Visible = ini.ReadBool(s, "Visible", true);
    Animated = ini.ReadBool(s, "Animated", false);
    LoadOnDemand = ini.ReadBool(s, "LoadOnDemand", false);
    TGlobeUnits u = TGlobeUnits::NauticalMile;
    try {
        u = StrToUnits(ini.ReadString(s, "ZoomUnits", "NM"));
    } catch (const EGlobeException&) {
        // an unknown unit text falls back to the default
    }
    SetZoomUnits(u);
    ZoomMin = ini.ReadInteger(s, "ZoomMin", 0);
    ZoomMax = ini.ReadInteger(s, "ZoomMax", 0);
    MaxFontHeight = ini.ReadInteger(s, "MaxFontHeight", 0);
}

void TGlobeLayer::SetFilename(const std::string& n) {
    Loaded = false;
    LoadFailed = false;
    if (n.empty())
        return;
    Globe->DoProgress(1, GlobeFormat("Loading Layer %s", n.c_str()));
    Filename = NameOf(n);
    FilePath = FolderOf(n);
    if (FilePath.empty())
        FilePath = Globe->DataDirectory;
    if (!FilePath.empty() && FilePath.back() != '/')
        FilePath += '/';
    if (Globe->Profile)
        ApplyProfile(*Globe->Profile);
    if (!LoadOnDemand)
        LoadFromFile();
    Globe->DoProgress(2, "");
    Globe->RedrawLayers();
}

void TGlobeLayer::SaveProfile() {
    if (!Globe->Profile)
        return;
    TIniFile& ini = *Globe->Profile;
    const std::string s = NameOf(Filename);
    ini.EraseSection(s);
    ini.WriteString(s, "Name", Name);
    if (!Enabled)
        ini.WriteBool(s, "Enabled", false);
    if (!Visible)
        ini.WriteBool(s, "Visible", false);
    if (Animated)
        ini.WriteBool(s, "Animated", true);
    if (LoadOnDemand)
        ini.WriteBool(s, "LoadOnDemand", true);
    if (ZoomUnits != TGlobeUnits::NauticalMile)
        ini.WriteString(s, "ZoomUnits", UnitAbbreviation(ZoomUnits));
    if (ZoomMin)
        ini.WriteInteger(s, "ZoomMin", ZoomMin);
    if (ZoomMax)
        ini.WriteInteger(s, "ZoomMax", ZoomMax);
    if (MaxFontHeight)
        ini.WriteInteger(s, "MaxFontHeight", MaxFontHeight);
}

void TGlobeLayer::LoadFromFile() {
    if (Filename.empty())
        return;
    try {
        ReadFile();
    } catch (...) {
        // What a broken file half gave is not kept: the layer stays empty
        // and is not read again until it is given a file anew.
        Clear();
        LoadFailed = true;
        throw;
    }
}

void TGlobeLayer::ReadFile() {
    const std::string path = FilePath + Filename;
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        throw EGlobeException(GlobeFormat("LoadFromFile: File %s%s not found", FilePath.c_str(), Filename.c_str()));
    if (static_cast<uint64_t>(st.st_size) > kMaxLayerFile)
        throw EGlobeException(GlobeFormat("LoadFromFile: File %s%s is too large", FilePath.c_str(), Filename.c_str()));
    Busy busy(Globe);
    if (Name.empty()) {
        const size_t dot = Filename.find_last_of('.');
        Name = dot == std::string::npos ? Filename : Filename.substr(0, dot);
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream buf;
    buf << in.rdbuf();
    const std::string data = buf.str();
    TGlobeReader r(data, Filename);
    ReadFromStream(r);
}

void TGlobeLayer::LoadFromString(const std::string& data) {
    if (data.size() > kMaxLayerFile)
        throw EGlobeException(GlobeFormat("LoadFromFile: File %s is too large", Filename.c_str()));
    TGlobeReader r(data, Filename);
    ReadFromStream(r);
}

void TGlobeLayer::ReadFromStream(TGlobeReader& r) {
    r.Version = r.U16();
    FileVersion = r.Version;
    if (r.Version < 0x0300)
        throw EGlobeException(GlobeFormat("LoadFromFile: Invalid File Version %X in %s", r.Version, r.Filename.c_str()));
    Extent.Left = r.I32();
    Extent.Top = r.I32();
    Extent.Width = r.I32();
    Extent.Height = r.I32();
    int64_t count = r.AtEnd() ? 0 : r.I32();
    while (count != 0) {
        if (r.AtEnd())
            break;
        if (count < 0)
            r.Fail("Bad record count");
        const std::string cls = r.SStr();
        const TGlobeFactory* f = Globe->FindClass(cls);
        if (!f)
            throw EGlobeException(
                GlobeFormat("LoadFromFile: Unknown Globe Object Class %s in %s", cls.c_str(), r.Filename.c_str()));
        // Refuse counts the data left cannot hold before making any instance.
        if (count > static_cast<int64_t>(r.Remaining() / MinRecordSize(cls, r.Version)))
            r.Fail();
        for (int64_t i = 0; i < count; ++i) {
            TGlobePersistent* inst = (*f)(this);
            auto* obj = dynamic_cast<TGlobeObject*>(inst);
            auto* pres = dynamic_cast<TGlobePresenter*>(inst);
            if (!obj && !pres) {
                delete inst;
                r.Fail("Attribute record outside a presenter");
            }
            try {
                inst->ReadFromStream(r);
            } catch (...) {
                // A half-read instance is dropped; what was read before stays.
                if (obj)
                    obj->Delete();
                else {
                    Presenters.erase(std::remove(Presenters.begin(), Presenters.end(), pres), Presenters.end());
                    delete pres;
                }
                throw;
            }
            if (obj && Globe->OnObjectCreate)
                Globe->OnObjectCreate(obj);
            if (i > 0 && i % 1000 == 0)
                Globe->DoProgress(0, GlobeFormat("%s Loaded %d objects", Name.c_str(), static_cast<int>(i)));
        }
        count = r.AtEnd() ? 0 : r.I32();
    }
    Loaded = true;
    Globe->DoProgress(0, GlobeFormat("%s Loaded %d objects", Name.c_str(), ObjectCount()));
    for (TGlobeObject* o : Objects) {
        o->RecomputeExtent();
        o->Loaded();
    }
    if (Extent.Width == 0 || Extent.Height == 0)
        RecomputeExtent();
}

std::string TGlobeLayer::SaveToString() {
    // Presenters that no object of this layer uses are dropped.
    for (TGlobePresenter* p : std::vector<TGlobePresenter*>(Presenters)) {
        bool used = false;
        for (TGlobeObject* o : Objects)
            if (o->Presenter == p) {
                used = true;
                break;
            }
        if (!used)
            p->Delete();
    }
    std::stable_sort(Presenters.begin(), Presenters.end(), [](TGlobePresenter* a, TGlobePresenter* b) {
        return CompareTextCI(a->ClassName(), b->ClassName()) < 0;
    });
    // A layer built in memory has not measured itself yet.
    if (!Objects.empty() && (Extent.Width == 0 || Extent.Height == 0))
        RecomputeExtent();
    TGlobeWriter w;
    w.U16(0x0301);
    w.I32(Extent.Left);
    w.I32(Extent.Top);
    w.I32(Extent.Width);
    w.I32(Extent.Height);
    auto blocks = [&](auto& list) {
        for (const auto& reg : Globe->Registry) {
            std::vector<TGlobePersistent*> these;
            for (auto* item : list)
                if (reg.first == item->ClassName())
                    these.push_back(item);
            if (these.empty())
                continue;
            w.I32(static_cast<int32_t>(these.size()));
            w.SStr(reg.first);
            for (TGlobePersistent* item : these)
                item->WriteToStream(w);
        }
    };
    blocks(Presenters);
    blocks(Objects);
    w.I32(0);
    return std::move(w.Out);
}

void TGlobeLayer::SaveToFile(const std::string& n) {
    Busy busy(Globe);
    const std::string data = SaveToString();
    FilePath = FolderOf(n);
    Filename = NameOf(n);
    // Through a sibling temporary, so a failed write leaves the old file.
    if (!WriteFileAtomically(n, data, 0644, n + ".hx_"))
        throw EGlobeException(GlobeFormat("SaveToFile: Cannot write %s", n.c_str()));
}
