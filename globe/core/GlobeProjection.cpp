#include "globe/core/GlobeProjection.h"

#include <cmath>
#include <limits>

#include "globe/core/GlobeContext.h"

namespace {
constexpr int32_t kFar = std::numeric_limits<int32_t>::max();

inline double Dot(const GlobePoint& v, const double* row) {
    return v.X * row[0] + v.Y * row[1] + v.Z * row[2];
}

// Pixel from an unrounded offset and an origin; far values saturate.
inline int32_t Pix(double v, int32_t origin) {
    // Below 2^51 adding and taking away 1.5 * 2^52 rounds to the nearest
    // even integer as nearbyint does, without the library call.
    constexpr double kRound = 6755399441055744.0;
    const double r = (std::fabs(v) < 2251799813685248.0 ? (v + kRound) - kRound : std::nearbyint(v)) + origin;
    if (!(r > -2147483648.0))
        return r != r ? origin : INT32_MIN;
    return r < 2147483647.0 ? static_cast<int32_t>(r) : INT32_MAX;
}

// Rnd64(a * s) for the flat maps' per-point scaling. The double product is
// off by under 4e-16 of itself, so below 1e9 it rounds as the long double one
// unless it lies within 1e-6 of a half, where the long double path decides.
inline int64_t RndScaled(extended a, extended s) {
    const double v = static_cast<double>(a) * static_cast<double>(s);
    const double r = std::rint(v);
    if (std::fabs(v) < 1e9 && std::fabs(std::fabs(v - r) - 0.5) > 1e-6)
        return static_cast<int64_t>(r);
    return Rnd64(a * s);
}
}  // namespace

void TPrjModel::Init(TGlobeContext* globe) {
    Globe = globe;
    XRotation = 126900000;
    YRotation = ZRotation = 0;
    SegmentsPerMeridian = 72;
    SegmentsPerParallel = 144;
    CentralMeridian = FirstParallel = SecondParallel = 0;
    YAxisChanges = TYAxisChanges::yaCentralMeridian;
    XAxisChanges = TXAxisChanges::xaYOrigin;
    const extended w = globe->CanvasWidth, h = globe->CanvasHeight;
    SetScaleFactor(MinExtended(h / std::fabs(static_cast<extended>(ModelExtent.Bottom) - ModelExtent.Top),
                               w / std::fabs(static_cast<extended>(ModelExtent.Right) - ModelExtent.Left)));
    XOrigin = globe->CanvasWidth / 2;
    YOrigin = globe->CanvasHeight / 2;
}

void TPrjModel::SetParameter(int index, int32_t value) {
    switch (index) {
    case pXRotation: XRotation = value; break;
    case pYRotation: YRotation = value; break;
    case pZRotation: ZRotation = value; break;
    case pCentralMeridian: CentralMeridian = value; break;
    case pFirstParallel: FirstParallel = value; break;
    case pSecondParallel: SecondParallel = value; break;
    case pCentralParallel: CentralParallel = value; break;
    default: break;
    }
}

void TPrjModel::SetScaleFactor(extended value) {
    if (!(value > 0) || !std::isfinite(value))
        return;
    ScaleFactor = value;
}

int TPrjModel::ExtentSamples(int64_t l, int64_t t, int64_t r, int64_t b, int& visible, TGlobeObject* obj,
                             size_t& slot) {
    // Flat maps sample inside their own extent (a Mercator map stops short of
    // the poles); only written entries take part in the box test.
    if (!IsSpherical()) {
        t = std::max<int64_t>(t, ModelExtent.Top);
        b = std::min<int64_t>(b, ModelExtent.Bottom);
        if (t > b)
            t = b;
    }
    int n = 0, total = 0;
    visible = 0;
    auto sample = [&](int64_t x, int64_t y) {
        ++total;
        const bool v = ProjectSample(x, y, n, obj, slot++);
        if (v)
            ++visible;
        if (v || IsSpherical())
            ++n;
    };
    sample(l, t);
    sample(l, b);
    sample(r, b);
    sample(r, t);
    for (int64_t x = l + 81000000; x < r; x += 81000000) {
        sample(x, t);
        sample(x, b);
    }
    for (int64_t y = t + 81000000; y < b; y += 81000000) {
        sample(l, y);
        sample(r, y);
    }
    return total * 65536 + n;
}

bool TPrjModel::ExtentVisible(const GlobeExtent& e, TGlobeObject* obj, uint8_t& clipCode) {
    if (obj) {
        const int64_t a = WrapLongitude(static_cast<int64_t>(e.Left) - CentralMeridian);
        if (a + e.Width > GU_180)
            obj->State |= gsPassesEdge;
        else
            obj->State &= static_cast<uint16_t>(~gsPassesEdge);
    }
    const int64_t right = static_cast<int64_t>(e.Left) + e.Width;
    const int64_t bottom = static_cast<int64_t>(e.Top) + e.Height;
    size_t slot = 0;
    auto run = [&](int64_t l, int64_t r) {
        int visible = 0;
        const int packed = ExtentSamples(l, e.Top, r, bottom, visible, obj, slot);
        const int total = packed / 65536, n = packed % 65536;
        const bool box = Globe->BoundsCode(n, clipCode);
        if (obj) {
            if (visible != total)
                obj->State |= gsPartHidden;
            if (visible > 0)
                obj->State |= gsPartShown;
            return box;
        }
        return visible > 0 && box;
    };
    if (right <= GU_180)
        return run(e.Left, right);
    if (run(e.Left, GU_180))
        return true;
    return run(-GU_180, right - GU_360);
}

int TPrjModel::ProjectChain(TGeoDataObject& obj) {
    // Only a point on the same pixel as the one before is dropped: thinning
    // that looked further back would cut a shared border differently in the
    // two chains that share it, and leave slivers between their fills.
    int n = 0;
    int64_t lx = kFar, ly = kFar;
    for (const GlobePoint& p : obj.Points) {
        if (!ProjectPoint(p, n))
            continue;
        const TPoint& s = Globe->SP(n);
        n += (s.X != lx) | (s.Y != ly);
        lx = s.X;
        ly = s.Y;
    }
    return n;
}

void TPrjModel::PaintGraticule() {
    const int64_t lonStep = static_cast<int64_t>(Globe->LongitudeStep) * GU_DEGREE;
    const int64_t latStep = static_cast<int64_t>(Globe->LatitudeStep) * GU_DEGREE;
    if (lonStep > 0)
        for (int64_t x = -GU_180; x < GU_180; x += lonStep)
            Globe->RenderLine({static_cast<int32_t>(x), 480600000, 0}, {static_cast<int32_t>(x), -480600000, 0},
                              MaxInt(2, SegmentsPerMeridian));
    if (latStep > 0)
        for (int64_t y = 0; y < 459000000; y += latStep) {
            const int32_t yy = static_cast<int32_t>(y), segs = MaxInt(2, SegmentsPerParallel);
            Globe->RenderLine({0, yy, 0}, {971999999, yy, 0}, segs);
            Globe->RenderLine({-971999999, yy, 0}, {0, yy, 0}, segs);
            Globe->RenderLine({0, -yy, 0}, {971999999, -yy, 0}, segs);
            Globe->RenderLine({-971999999, -yy, 0}, {0, -yy, 0}, segs);
        }
}

void TPrjModel::PaintBackground() {
    IGlobeCanvas* c = Globe->Canvas;
    if (!c)
        return;
    if (Globe->TextureBackground && (ModelFlags & 0x02)) {
        for (int i = 0; i < 45; ++i)
            for (int j = 0; j < 120; ++j)
                c->TextureRect({j * 16200000 - GU_180, i * 21600000 - GU_90, 16200000, 21600000});
        return;
    }
    const int32_t cm = CentralMeridian;
    CentralMeridian = 0;
    const TModelExtent& e = ModelExtent;
    int n = 0;
    auto put = [&](int64_t x, int64_t y) {
        if (ProjectLL(x, y, n))
            ++n;
    };
    for (int i = 0; i < 36; ++i)
        put(e.Left + static_cast<int64_t>(i) * 54000000, e.Top);
    for (int i = 0; i < 18; ++i)
        put(e.Right - 1, e.Top + static_cast<int64_t>(i) * 54000000);
    for (int i = 0; i < 36; ++i)
        put(e.Right - 1 - static_cast<int64_t>(i) * 54000000, e.Bottom);
    for (int i = 0; i < 18; ++i)
        put(e.Left, e.Bottom - static_cast<int64_t>(i) * 54000000);
    CentralMeridian = cm;
    c->Polygon(Globe->ScreenPoints.data(), n);
}

// ---- spherical ----

TSphericalPrj::TSphericalPrj(TGlobeContext* globe) {
    ModelExtent = {-GlobeRadius, -GlobeRadius, GlobeRadius, GlobeRadius};
    ModelFlags = 0x01 | 0x02;
    Init(globe);
    SegmentsPerMeridian = 36;
    SegmentsPerParallel = 72;
}

void TSphericalPrj::SetParameter(int index, int32_t value) {
    if (index == pXRotation)
        value = std::clamp(value, -GU_90, GU_90);
    else if (index == pYRotation || index == pZRotation)
        value = WrapLongitude(value);
    TPrjModel::SetParameter(index, value);
    SetScaleFactor(ScaleFactor);
}

void TSphericalPrj::SetScaleFactor(extended s) {
    if (!(s > 0) || !std::isfinite(s))
        return;
    ScaleFactor = s;
    RadiusPixels = s * GlobeRadius;
    RadiusPixels2 = RadiusPixels * RadiusPixels;
    const extended k = 1 / RadiansToGU;
    const extended hx = (GlobePi - XRotation * k) / 2, hy = YRotation * k / 2, hz = ZRotation * k / 2;
    const extended shx = std::sin(hx), chx = std::cos(hx), shy = std::sin(hy), chy = std::cos(hy);
    const extended shz = std::sin(hz), chz = std::cos(hz);
    const extended q0 = chz * shx * chy - shz * chx * shy;
    const extended q1 = shz * shx * chy + chz * chx * shy;
    const extended q2 = shz * chx * chy - chz * shx * shy;
    const extended q3 = chz * chx * chy + shz * shx * shy;
    const extended m[9] = {1 - 2 * (q1 * q1 + q2 * q2), 2 * (q1 * q0 + q2 * q3), 2 * (q2 * q0 - q1 * q3),
                           2 * (q1 * q0 - q2 * q3),     1 - 2 * (q0 * q0 + q2 * q2), 2 * (q2 * q1 + q0 * q3),
                           2 * (q2 * q0 + q1 * q3),     2 * (q2 * q1 - q0 * q3), 1 - 2 * (q0 * q0 + q1 * q1)};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) {
            M[r * 3 + c] = static_cast<double>(m[r * 3 + c] * s);
            T[r * 3 + c] = static_cast<double>(m[c * 3 + r] / s);
        }
    if (Globe)
        Globe->ViewChanged();
}

GlobePoint TSphericalPrj::Vector(const GlobePoint& p) {
    constexpr size_t kSlots = size_t{1} << 16;
    if (VectorMemo.empty())
        VectorMemo.resize(kSlots);
    const uint64_t h = (static_cast<uint64_t>(static_cast<uint32_t>(p.X)) * 0x9E3779B97F4A7C15ull) ^
                       (static_cast<uint64_t>(static_cast<uint32_t>(p.Y)) * 0xC2B2AE3D27D4EB4Full) ^
                       (static_cast<uint64_t>(static_cast<uint32_t>(p.Z)) * 0x165667B19E3779F9ull);
    // Two ways per set, the latest first: points that share a set do not
    // evict each other every frame.
    TVectorSlot* set = &VectorMemo[(h >> 40) & (kSlots - 2)];
    if (set[0].Used && set[0].Key == p)
        return set[0].Value;
    if (set[1].Used && set[1].Key == p)
        return set[1].Value;
    set[1] = set[0];
    set[0] = {p, PointTo3D(p), true};
    return set[0].Value;
}

namespace {
// The vector kept in the slot when it was made from p, else a new one there.
const GlobePoint& KeptVector(std::vector<TGlobeObject::TKeptVector>& kept, size_t slot, const GlobePoint& p) {
    if (slot >= kept.size())
        kept.resize(slot + 1, {{kFar, kFar, kFar}, {}});
    TGlobeObject::TKeptVector& k = kept[slot];
    if (!(k.Key == p))
        k = {p, PointTo3D(p)};
    return k.Value;
}
}  // namespace

bool TSphericalPrj::ProjectPoint(const GlobePoint& p, int index) { return ProjectVector(Vector(p), index); }

bool TSphericalPrj::ProjectKept(TGlobeObject& obj, size_t slot, const GlobePoint& p, int index) {
    return ProjectVector(KeptVector(obj.PointVectors, slot, p), index);
}

bool TSphericalPrj::ProjectSample(int64_t x, int64_t y, int index, TGlobeObject* obj, size_t slot) {
    const GlobePoint p = MakePoint(x, y);
    return obj ? ProjectVector(KeptVector(obj->SampleVectors, slot, p), index) : ProjectPoint(p, index);
}

bool TSphericalPrj::ProjectVector(const GlobePoint& v, int index) {
    TPoint& sp = Globe->SP(index);
    sp.X = Pix(Dot(v, M), XOrigin);
    sp.Y = Pix(Dot(v, M + 3), YOrigin);
    const double depth = Dot(v, M + 6);
    return Globe->FarSide ? depth > 0 : depth <= 0;
}

bool TSphericalPrj::XYToLL(int32_t px, int32_t py, int index) {
    extended dx = static_cast<extended>(px) - XOrigin, dy = static_cast<extended>(py) - YOrigin;
    extended q = RadiusPixels2 - dx * dx - dy * dy;
    if (q < 0) {
        // A pixel that a point of the limb rounds to may lie up to half a
        // pixel's diagonal outside the disk: it names the limb point in its
        // direction, so it is brought back onto the rim first.
        const extended d = std::sqrt(dx * dx + dy * dy);
        if (d > RadiusPixels + 0.7072L)
            return false;
        dx *= RadiusPixels / d;
        dy *= RadiusPixels / d;
        q = 0;
    }
    const extended dz = -std::sqrt(q);
    const extended wx = T[0] * dx + T[1] * dy + T[2] * dz;
    const extended wy = T[3] * dx + T[4] * dy + T[5] * dz;
    const extended wz = T[6] * dx + T[7] * dy + T[8] * dz;
    TPoint& sp = Globe->SP(index);
    sp.X = WrapLongitude(Rnd64(ArcTan2Ext(wx, wz) * RadiansToGU));
    sp.Y = Rnd(ArcSinExt(wy / GlobeRadius) * RadiansToGU);
    return true;
}

int TSphericalPrj::ProjectChain(TGeoDataObject& obj) {
    const bool nearRim = (obj.State & (gsPartHidden | gsPartShown)) == (gsPartHidden | gsPartShown);
    if (!obj.Cache) {
        // Every distinct point: which pixels merge is decided per frame on
        // the pixels themselves, alike for every chain (see the flat maps).
        auto cache = std::make_unique<TPoint3DList>();
        cache->SetCapacity(obj.Count());
        int64_t lx = kFar, ly = kFar;
        for (const GlobePoint& p : obj.Points)
            if (p.X != lx || p.Y != ly) {
                lx = p.X;
                ly = p.Y;
                cache->Add(PointTo3D(p));
            }
        cache->SetCapacity(cache->Count());
        obj.Cache = std::move(cache);
    }
    // Every point is written and the count moves on only past a new pixel:
    // no branch to mispredict on the many points that share one.
    Globe->SP(obj.Cache->Count());
    TPoint* out = Globe->ScreenPoints.data();
    const bool farSide = Globe->FarSide;
    const double rim = static_cast<double>(RadiusPixels);
    int n = 0;
    int32_t lx = kFar, ly = kFar;
    for (const GlobePoint& v : obj.Cache->Items) {
        double sx = Dot(v, M), sy = Dot(v, M + 3);
        if (nearRim) {
            const double depth = Dot(v, M + 6);
            const bool hidden = farSide ? depth <= 0 : depth > 0;
            if (hidden) {
                const double h = std::sqrt(sx * sx + sy * sy);
                if (h > 0) {
                    sx *= rim / h;
                    sy *= rim / h;
                }
            }
        }
        const int32_t px = Pix(sx, XOrigin), py = Pix(sy, YOrigin);
        out[n] = {px, py};
        n += (px != lx) | (py != ly);
        lx = px;
        ly = py;
    }
    return n;
}

GlobePoint TSphericalPrj::VectorToLL(const double* v) const {
    int32_t x0 = Rnd(ArcTan2Ext(v[0], v[2]) * RadiansToGU) - 1;
    if (Mirror)
        x0 = -std::abs(x0);
    return {x0, Rnd(ArcSinExt(v[1]) * RadiansToGU), 0};
}

void TSphericalPrj::TextureTriangle(const double* a, const double* b, const double* c, int depth) {
    if (depth <= 0) {
        Globe->Canvas->TextureTriangle(VectorToLL(a), VectorToLL(b), VectorToLL(c));
        return;
    }
    int visible = 0;
    visible += ProjectPoint(VectorToLL(a), 0);
    visible += ProjectPoint(VectorToLL(b), 1);
    visible += ProjectPoint(VectorToLL(c), 2);
    if (!visible)
        return;
    auto mid = [](const double* u, const double* w, double* out) {
        for (int i = 0; i < 3; ++i)
            out[i] = u[i] + w[i];
        const double l = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
        if (l != 0)
            for (int i = 0; i < 3; ++i)
                out[i] /= l;
    };
    double mab[3], mac[3], mbc[3];
    mid(a, b, mab);
    mid(a, c, mac);
    mid(b, c, mbc);
    TextureTriangle(a, mac, mab, depth - 1);
    TextureTriangle(b, mab, mbc, depth - 1);
    TextureTriangle(c, mbc, mac, depth - 1);
    TextureTriangle(mab, mac, mbc, depth - 1);
}

void TSphericalPrj::PaintBackground() {
    IGlobeCanvas* c = Globe->Canvas;
    if (!c)
        return;
    if (Globe->TextureBackground && (ModelFlags & 0x02)) {
        const double e = 0.99999999;
        const double X[3] = {e, 0, 0}, Y[3] = {0, e, 0}, Z[3] = {0, 0, e};
        const double nX[3] = {-e, 0, 0}, nY[3] = {0, -e, 0}, nZ[3] = {0, 0, -e};
        const double* tri[8][3] = {{X, Z, Y},   {X, Y, nZ},  {nY, Z, X},  {nY, X, nZ},
                                   {Y, nX, nZ}, {Y, Z, nX}, {nX, nY, nZ}, {nX, Z, nY}};
        const int depth = ScaleFactor > 2e-6 ? 5 : (ScaleFactor <= 2e-7 ? 3 : 4);
        for (int i = 0; i < 8; ++i) {
            Mirror = i >= 4;
            TextureTriangle(tri[i][0], tri[i][1], tri[i][2], depth);
        }
        Mirror = false;
        return;
    }
    for (int i = 0; i < 90; ++i) {
        const extended a = i * 4 * GlobePi / 180;
        TPoint& p = Globe->SP(i);
        p.X = Sat32(Rnd64(RadiusPixels * std::cos(a)) + XOrigin);
        p.Y = Sat32(Rnd64(RadiusPixels * std::sin(a)) + YOrigin);
    }
    c->Polygon(Globe->ScreenPoints.data(), 90);
}

// ---- flat ----

TCartesianPrj::TCartesianPrj(TGlobeContext* globe) {
    ModelExtent = {-GU_180, -GU_90, GU_180, GU_90};
    ModelFlags = 0x02;
    Init(globe);
}

void TCartesianPrj::SetParameter(int index, int32_t value) {
    const extended s = ScaleFactor;
    if (index == pXRotation) {
        if (XAxisChanges == TXAxisChanges::xaCentralParallel) {
            if (CentralParallel >= -485999999 && CentralParallel < GU_90)
                CentralParallel = WrapLongitude(static_cast<int64_t>(value) + CentralParallel - XRotation);
        } else {
            // The origin moves by the change itself, so no projection of a
            // point that might lie off the map is read back.
            YOrigin = Sat32(YOrigin + Rnd64((static_cast<extended>(value) - XRotation) * s));
        }
    } else if (index == pYRotation) {
        value = WrapLongitude(value);
        if (YAxisChanges == TYAxisChanges::yaCentralMeridian) {
            CentralMeridian = WrapLongitude(static_cast<int64_t>(value) + CentralMeridian - YRotation);
        } else {
            const int64_t d = WrapLongitude(static_cast<int64_t>(WrapLongitude(static_cast<int64_t>(YRotation) - value)) -
                                            CentralMeridian);
            XOrigin = Sat32(XOrigin + Rnd64(d * s));
        }
    }
    TPrjModel::SetParameter(index, value);
    if ((index == pXRotation && XAxisChanges == TXAxisChanges::xaYOrigin) ||
        (index == pYRotation && YAxisChanges == TYAxisChanges::yaXOrigin))
        Globe->ViewChanged();
}

namespace {
inline int32_t Wrap(int64_t x) { return x >= -GU_180 && x < GU_180 ? static_cast<int32_t>(x) : WrapLongitude(x); }
inline int32_t Clamp32(int64_t v) {
    return v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
}

// RndScaled with a and s already in double as well.
inline int64_t RndScaledD(double ad, extended a, double sd, extended s) {
    const double v = ad * sd;
    const double r = std::rint(v);
    if (std::fabs(v) < 1e9 && std::fabs(std::fabs(v - r) - 0.5) > 1e-6)
        return static_cast<int64_t>(r);
    return Rnd64(a * s);
}

// ProjectChain of the flat maps with their ProjectPoint written out (the
// same arithmetic); yOf(y, ext, dbl) gives the unscaled y of a latitude.
template <class F>
int FlatChain(TPrjModel& m, TGeoDataObject& obj, F yOf) {
    const TModelExtent e = m.ModelExtent;
    const int64_t cm = m.CentralMeridian;
    const extended s = m.ScaleFactor;
    const double sd = static_cast<double>(s);
    const int64_t xo = m.XOrigin, yo = m.YOrigin;
    int n = 0;
    int64_t lx = kFar, ly = kFar;
    for (const GlobePoint& p : obj.Points) {
        if (p.X < e.Left || p.X > e.Right || p.Y < e.Top || p.Y > e.Bottom)
            continue;
        TPoint& sp = m.Globe->SP(n);
        const int32_t x = Wrap(static_cast<int64_t>(p.X) - cm);
        sp.X = Clamp32(RndScaledD(x, x, sd, s) + xo);
        extended y;
        double yd;
        yOf(p.Y, y, yd);
        sp.Y = Clamp32(yo - RndScaledD(yd, y, sd, s));
        n += (sp.X != lx) | (sp.Y != ly);
        lx = sp.X;
        ly = sp.Y;
    }
    return n;
}
}  // namespace

int TCartesianPrj::ProjectChain(TGeoDataObject& obj) {
    return FlatChain(*this, obj, [](int32_t y, extended& e, double& d) {
        e = y;
        d = y;
    });
}

int TMercatorPrj::ProjectChain(TGeoDataObject& obj) {
    // The stretched latitudes, scaled and rounded, are kept with the chain:
    // a turn or a scroll moves only the origin and the central meridian.
    constexpr int32_t kOff = INT32_MIN;  // a point off the map
    const TModelExtent e = ModelExtent;
    const extended s = ScaleFactor;
    const double sd = static_cast<double>(s);
    const size_t count = obj.Points.size();
    if (!obj.Stretches)
        obj.Stretches = std::make_unique<TGlobeObject::TKeptStretches>();
    TGlobeObject::TKeptStretches& kept = *obj.Stretches;
    std::vector<int32_t>& ys = kept.Scaled;
    if (ys.size() != count || kept.Scale != s) {
        ys.resize(count);
        bool fits = true;
        for (size_t i = 0; i < count; ++i) {
            const GlobePoint& p = obj.Points[i];
            if (p.X < e.Left || p.X > e.Right || p.Y < e.Top || p.Y > e.Bottom) {
                ys[i] = kOff;
                continue;
            }
            const TStretchSlot& k = StretchSlot(p.Y);
            const int64_t r = RndScaledD(k.ValueD, k.Value, sd, s);
            fits = fits && r > kOff && r <= INT32_MAX;
            ys[i] = static_cast<int32_t>(r);
        }
        if (!fits) {
            ys.clear();
            kept.Scale = 0;
            return FlatChain(*this, obj, [this](int32_t y, extended& ext, double& d) {
                const TStretchSlot& k = StretchSlot(y);
                ext = k.Value;
                d = k.ValueD;
            });
        }
        kept.Scale = s;
    }
    const int64_t cm = CentralMeridian;
    const int64_t xo = XOrigin, yo = YOrigin;
    Globe->SP(static_cast<int>(count));
    TPoint* out = Globe->ScreenPoints.data();
    // RndScaledD of the longitude, its rounding to even done by adding and
    // taking away 1.5 * 2^52, and the size test left out when no longitude
    // can scale past it.
    constexpr double kRound = 6755399441055744.0;
    const bool small = static_cast<double>(GU_180) * sd < 1e9;
    const GlobePoint* pts = obj.Points.data();
    int n = 0;
    int64_t lx = kFar, ly = kFar;
    for (size_t i = 0; i < count; ++i) {
        const int32_t r = ys[i];
        if (r == kOff)
            continue;
        const int32_t x = Wrap(static_cast<int64_t>(pts[i].X) - cm);
        const double v = x * sd;
        const double vr = (v + kRound) - kRound;
        const int64_t sx = (small || std::fabs(v) < 1e9) && std::fabs(std::fabs(v - vr) - 0.5) > 1e-6
                               ? static_cast<int64_t>(vr)
                               : Rnd64(x * s);
        const int32_t px = Clamp32(sx + xo), py = Clamp32(yo - r);
        out[n] = {px, py};
        n += (px != lx) | (py != ly);
        lx = px;
        ly = py;
    }
    return n;
}

bool TCartesianPrj::ProjectPoint(const GlobePoint& p, int index) {
    if (p.X < ModelExtent.Left || p.X > ModelExtent.Right || p.Y < ModelExtent.Top || p.Y > ModelExtent.Bottom)
        return false;
    TPoint& sp = Globe->SP(index);
    sp.X = Sat32(RndScaled(WrapLongitude(static_cast<int64_t>(p.X) - CentralMeridian), ScaleFactor) + XOrigin);
    sp.Y = Sat32(YOrigin - RndScaled(p.Y, ScaleFactor));
    return true;
}

bool TCartesianPrj::XYToLL(int32_t px, int32_t py, int index) {
    // The drawn map spans the extent around the origin; the margins beside
    // it are off the earth, so the extent is tested before the wrap.
    const int64_t dx = Rnd64((static_cast<extended>(px) - XOrigin) / ScaleFactor);
    const int64_t y = -Rnd64((static_cast<extended>(py) - YOrigin) / ScaleFactor);
    if (dx < ModelExtent.Left || dx > ModelExtent.Right || y < ModelExtent.Top || y > ModelExtent.Bottom)
        return false;
    const int64_t x = WrapLongitude(dx + CentralMeridian);
    TPoint& sp = Globe->SP(index);
    sp.X = static_cast<int32_t>(x);
    sp.Y = static_cast<int32_t>(y);
    return true;
}

TMercatorPrj::TMercatorPrj(TGlobeContext* globe) : TCartesianPrj(globe) {
    ModelExtent = {-GU_180, -480600000, GU_180, 480600000};
}

bool TMercatorPrj::ProjectPoint(const GlobePoint& p, int index) {
    if (p.X < ModelExtent.Left || p.X > ModelExtent.Right || p.Y < ModelExtent.Top || p.Y > ModelExtent.Bottom)
        return false;
    TPoint& sp = Globe->SP(index);
    sp.X = Sat32(RndScaled(WrapLongitude(static_cast<int64_t>(p.X) - CentralMeridian), ScaleFactor) + XOrigin);
    sp.Y = Sat32(YOrigin - RndScaled(Stretch(p.Y), ScaleFactor));
    return true;
}

namespace {
extended StretchOf(int32_t y) { return std::log(std::tan(GlobePi / 4 + y / (2 * RadiansToGU))) * RadiansToGU; }
}  // namespace

const TMercatorPrj::TStretchSlot& TMercatorPrj::StretchSlot(int32_t y) {
    constexpr size_t kSlots = size_t{1} << 16;
    if (StretchMemo.empty())
        StretchMemo.resize(kSlots);
    TStretchSlot& s = StretchMemo[(static_cast<uint32_t>(y) * 0x9E3779B1u) >> 16];
    if (!s.Used || s.Y != y) {
        s.Y = y;
        s.Value = StretchOf(y);
        s.ValueD = static_cast<double>(s.Value);
        s.Used = true;
    }
    return s;
}

bool TMercatorPrj::ProjectStretched(const GlobePoint& p, TGlobeObject& obj, bool sample, size_t slot, int index) {
    if (p.X < ModelExtent.Left || p.X > ModelExtent.Right || p.Y < ModelExtent.Top || p.Y > ModelExtent.Bottom)
        return false;
    // Places are more than the memo holds along with the layers: each keeps
    // its own stretched latitudes (a latitude off the map never is a key).
    if (!obj.Stretches)
        obj.Stretches = std::make_unique<TGlobeObject::TKeptStretches>();
    auto& kept = sample ? obj.Stretches->Samples : obj.Stretches->Points;
    if (slot >= kept.size())
        kept.resize(slot + 1, {INT32_MIN, 0});
    TGlobeObject::TKeptStretches::TKeptStretch& k = kept[slot];
    if (k.Key != p.Y)
        k = {p.Y, static_cast<double>(StretchOf(p.Y))};
    // RndScaled of the longitude and of the stretched latitude, rounded to
    // even by adding and taking away 1.5 * 2^52; the long double only near
    // a half.
    constexpr double kRound = 6755399441055744.0;
    const double sd = static_cast<double>(ScaleFactor);
    const int32_t x = Wrap(static_cast<int64_t>(p.X) - CentralMeridian);
    const double vx = x * sd, vy = k.Value * sd;
    const double rx = (vx + kRound) - kRound, ry = (vy + kRound) - kRound;
    const int64_t sx = std::fabs(vx) < 1e9 && std::fabs(std::fabs(vx - rx) - 0.5) > 1e-6 ? static_cast<int64_t>(rx)
                                                                                       : Rnd64(x * ScaleFactor);
    const int64_t sy = std::fabs(vy) < 1e9 && std::fabs(std::fabs(vy - ry) - 0.5) > 1e-6
                           ? static_cast<int64_t>(ry)
                           : Rnd64(StretchOf(p.Y) * ScaleFactor);
    TPoint& sp = Globe->SP(index);
    sp.X = Clamp32(sx + XOrigin);
    sp.Y = Clamp32(YOrigin - sy);
    return true;
}

bool TMercatorPrj::ProjectKept(TGlobeObject& obj, size_t slot, const GlobePoint& p, int index) {
    return ProjectStretched(p, obj, false, slot, index);
}

bool TMercatorPrj::ProjectSample(int64_t x, int64_t y, int index, TGlobeObject* obj, size_t slot) {
    const GlobePoint p = MakePoint(x, y);
    return obj ? ProjectStretched(p, *obj, true, slot, index) : ProjectPoint(p, index);
}

extended TMercatorPrj::Stretch(int32_t y) { return StretchSlot(y).Value; }

bool TMercatorPrj::XYToLL(int32_t px, int32_t py, int index) {
    const int64_t dx = Rnd64((static_cast<extended>(px) - XOrigin) / ScaleFactor);
    const extended e = std::exp(-(static_cast<extended>(py) - YOrigin) / ScaleFactor / RadiansToGU);
    const int64_t y = Rnd64((2 * std::atan(e) - GlobePi / 2) * RadiansToGU);
    if (dx < ModelExtent.Left || dx > ModelExtent.Right || y < ModelExtent.Top || y > ModelExtent.Bottom)
        return false;
    const int64_t x = WrapLongitude(dx + CentralMeridian);
    TPoint& sp = Globe->SP(index);
    sp.X = static_cast<int32_t>(x);
    sp.Y = static_cast<int32_t>(y);
    return true;
}
