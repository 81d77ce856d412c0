#include "globe/core/GlobeUnits.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

std::string GlobeFormat(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    char buf[1024];
    vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

namespace {

const TSpheroidData kSpheroids[] = {
    {309924787, 299.3249646L},   {309953780, 298.25L},      {309916708, 299.1528128L},
    {309956035, 294.9786982L},   {309958112, 293.465L},     {309910838, 300.8017L},
    {309953780, 298.247167427L}, {309952662, 298.257222101L}, {309955724, 298.3L},
    {309959125, 297.0L},         {309964860, 297.0L},       {309957910, 298.3L},
    {309953780, 298.25L},        {309954023, 298.3L},       {309953051, 298.25L},
    {309952565, 298.26L},        {309952662, 298.257223563L},
};

struct UnitRow {
    const char* Abbrev;
    extended Factor;
};
const UnitRow kUnits[GlobeUnitsCount] = {
    {"D", 5400000.0L},
    {"MN", 90000.0L},
    {"NM", 90000.0L},
    {"KM", 48596.1123110151188L},
    {"MI", 78157.8948396814406L},
    {"S", 1500.0L},
    {"T", 250.0L},
    {"H", 15.0L},
    {"T", 1.0L},
    {"M", 48.5961123110151188L},
    {"CM", 0.485961123110151188L},
    {"YD", 44.4078947952735458L},
    {"FT", 14.8026315984245153L},
    {"IN", 1.23355263320204294L},
    {"GU", 1.0L},
    {"PI", 0.0L},
};

}  // namespace

const TSpheroidData& SpheroidData(TSpheroid s) {
    const auto i = static_cast<size_t>(s);
    return kSpheroids[i < std::size(kSpheroids) ? i : std::size(kSpheroids) - 1];
}

int64_t Rnd64(extended v) {
    if (std::isnan(v))
        return 0;
    if (v >= 9.2e18L)
        return std::numeric_limits<int64_t>::max();
    if (v <= -9.2e18L)
        return std::numeric_limits<int64_t>::min();
    // rint rounds as nearbyint does (to nearest, ties to even) but may flag
    // the result inexact, which lets it be one instruction instead of a call.
    return static_cast<int64_t>(std::rint(v));
}

int32_t Sat32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t Rnd(extended v) { return Sat32(Rnd64(v)); }

int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
    // 64-bit product, halves away from zero; saturated instead of wrapping.
    if (c == 0)
        return -1;
    const extended q = static_cast<extended>(static_cast<int64_t>(a) * b) / c;
    return Sat32(Rnd64(q < 0 ? std::ceil(q - 0.5L) : std::floor(q + 0.5L)));
}

int32_t WrapLongitude(int64_t x) {
    if (x >= -GU_180 && x < GU_180)
        return static_cast<int32_t>(x);
    int64_t r = (x + GU_180) % GU_360;
    if (r < 0)
        r += GU_360;
    return static_cast<int32_t>(r - GU_180);
}

GlobePoint MakePoint(int64_t x, int64_t y) { return {WrapLongitude(x), Sat32(y), 0}; }
GlobePoint MakePoint3(int64_t x, int64_t y, int64_t z) { return {WrapLongitude(x), Sat32(y), Sat32(z)}; }

namespace {
GlobePoint PointTo3DExtended(const GlobePoint& p) {
    const extended lambda = p.X / RadiansToGU, phi = p.Y / RadiansToGU;
    const extended r = static_cast<extended>(p.Z) + GlobeRadius;
    return {Rnd(r * std::cos(phi) * std::sin(lambda)), Rnd(r * std::sin(phi)),
            Rnd(r * std::cos(phi) * std::cos(lambda))};
}

// The double value lies within 2e-7 of the long double one (|v| below 2^31);
// unless it is near a half it rounds to the same integer.
inline bool RoundsSafely(double v) {
    const double f = std::fabs(v - std::nearbyint(v));
    return std::fabs(f - 0.5) > 4e-6 && std::fabs(v) < 2147483000.0;
}
}  // namespace

GlobePoint PointTo3D(const GlobePoint& p) {
    // The long double sine and cosine cost several times their double
    // counterparts; they decide only where the double result cannot.
    constexpr double k = 1.0 / static_cast<double>(RadiansToGU);
    const double lambda = p.X * k, phi = p.Y * k;
    const double r = static_cast<double>(p.Z) + GlobeRadius;
    const double cp = std::cos(phi), sp = std::sin(phi), cl = std::cos(lambda), sl = std::sin(lambda);
    const double x = r * cp * sl, y = r * sp, z = r * cp * cl;
    if (!RoundsSafely(x) || !RoundsSafely(y) || !RoundsSafely(z))
        return PointTo3DExtended(p);
    return {static_cast<int32_t>(std::nearbyint(x)), static_cast<int32_t>(std::nearbyint(y)),
            static_cast<int32_t>(std::nearbyint(z))};
}

int32_t DecimalToGlobeUnits(extended v) {
    if (std::isnan(v))
        return 0;
    if (std::fabs(v) > 397.0L)
        return v < 0 ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
    const extended d = std::trunc(v);
    const extended f = v - d;
    const extended m = std::trunc(f * 60);
    const extended f2 = f * 60 - m;
    const extended s = std::trunc(f2 * 60);
    const extended f3 = f2 * 60 - s;
    const int64_t r = static_cast<int64_t>(d) * GU_DEGREE + static_cast<int64_t>(m) * GU_MINUTE +
                      static_cast<int64_t>(s) * GU_SECOND + Rnd64(f3 * 1500);
    return Sat32(r);
}

void DecimalLLToPoint(GlobePoint& p, extended longitude, extended latitude) {
    // Any longitude names a meridian; latitudes beyond a pole are clamped.
    if (!std::isfinite(longitude))
        longitude = 0;
    longitude = std::fmod(longitude, 360.0L);
    if (!std::isfinite(latitude))
        latitude = 0;
    if (latitude > 90)
        latitude = 90;
    if (latitude < -90)
        latitude = -90;
    p = {WrapLongitude(DecimalToGlobeUnits(longitude)), DecimalToGlobeUnits(latitude), 0};
}

extended UnitFactor(TGlobeUnits u) {
    const auto i = static_cast<size_t>(u);
    return i < GlobeUnitsCount ? kUnits[i].Factor : 0;
}

int32_t ToGU(TGlobeUnits u, extended value) { return Rnd(value * UnitFactor(u)); }

extended FromGU(int32_t gu, TGlobeUnits u) {
    const extended f = UnitFactor(u);
    return f == 0 ? 0 : gu / f;
}

bool SameTextCI(const std::string& a, const std::string& b) { return CompareTextCI(a, b) == 0; }

int CompareTextCI(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'a' && ca <= 'z')
            ca = static_cast<unsigned char>(ca - 32);
        if (cb >= 'a' && cb <= 'z')
            cb = static_cast<unsigned char>(cb - 32);
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TGlobeUnits StrToUnits(const std::string& text) {
    for (int i = 0; i < GlobeUnitsCount; ++i)
        if (SameTextCI(text, kUnits[i].Abbrev))
            return static_cast<TGlobeUnits>(i);
    throw EGlobeException(GlobeFormat("StrToUnits: Unknown Unit %s", text.c_str()));
}

std::string UnitAbbreviation(TGlobeUnits u) {
    // "T" reads back as Third, so the finest unit is written by its GU equivalent.
    if (u == TGlobeUnits::Thousanth)
        return "GU";
    const auto i = static_cast<size_t>(u);
    return i < GlobeUnitsCount ? kUnits[i].Abbrev : "GU";
}

std::string FormatLatLong(int32_t a, const std::string& format) {
    const int64_t v = a;
    const bool negative = v < 0;
    auto ab = [](int64_t x) { return x < 0 ? -x : x; };
    const int64_t d = ab(v / GU_DEGREE);
    const int64_t rem = v % GU_DEGREE;
    const int64_t m = ab(rem / GU_MINUTE);
    const int64_t r = rem % GU_MINUTE;
    const int64_t s = ab(r / GU_SECOND);
    const int64_t t = ab((r % GU_SECOND) / 250);
    const int64_t u = ab(r % 250);
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(format[++i])));
        switch (c) {
        case 'D': out += std::to_string(d); break;
        case 'M': out += GlobeFormat("%2.2d", static_cast<int>(m)); break;
        case 'S': out += GlobeFormat("%2.2d", static_cast<int>(s)); break;
        case 'T': out += GlobeFormat("%2.2d", static_cast<int>(t)); break;
        case 'U': out += GlobeFormat("%2.2d", static_cast<int>(u)); break;
        case 'N': out += negative ? "S" : "N"; break;
        case 'E': out += negative ? "W" : "E"; break;
        default: out += format[i]; break;
        }
    }
    return out;
}

bool TLongitudeBand::Changed(int32_t x) {
    const int band = x / GU_90;
    const bool r = (band < 0 && Previous > 0) || (band > 0 && Previous < 0);
    Previous = band;
    return r;
}

extended MinExtended(extended a, extended b) { return a < b ? a : b; }
extended Sign(extended x) { return x >= 0 ? 1 : -1; }

extended Hypot(extended a, extended b) {
    a = std::fabs(a);
    b = std::fabs(b);
    const extended big = a > b ? a : b, small = a > b ? b : a;
    if (small == 0)
        return big;
    const extended q = small / big;
    return big * std::sqrt(1 + q * q);
}

extended ArcTan2Ext(extended y, extended x) { return std::atan2(y, x); }

extended ArcSinExt(extended x) {
    if (std::isnan(x))
        return 0;
    if (std::fabs(x) >= 1)
        return Sign(x) * GlobePi / 2;
    return std::atan2(x, std::sqrt(1 - x * x));
}

bool PointsEqual(const void* a, const void* b, size_t size) { return std::memcmp(a, b, size) == 0; }

void TPoint3DList::Add(const GlobePoint& p) {
    if (Count() >= Cap)
        SetCapacity(Cap + (Cap > 64 ? Cap / 4 : (Cap < 9 ? 4 : 16)));
    Items.push_back(p);
}

void TPoint3DList::SetCapacity(int32_t n) {
    if (n < Count() || n > 134217727)
        throw EGlobeException(GlobeFormat("PointList.SetCapacity: Bad Size %d", n));
    if (n != Cap) {
        Items.reserve(static_cast<size_t>(n));
        if (n < static_cast<int32_t>(Items.capacity()))
            Items.shrink_to_fit();
        Cap = n;
    }
}

namespace {
// Windows-1252 0x80..0x9F; the five unassigned bytes map to the C1 controls
// of the same value so every byte survives a round trip.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}
}  // namespace

std::string Cp1252ToUtf8(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c >= 0x80 && c < 0xA0)
            AppendUtf8(out, kCp1252High[c - 0x80]);
        else
            AppendUtf8(out, c);
    }
    return out;
}

std::string Utf8ToCp1252(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
            cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
            cp = ((c & 0x0F) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3F) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3F);
            len = 3;
        } else {
            cp = '?';
            len = (c & 0xF8) == 0xF0 ? 4 : 1;
        }
        i += len;
        if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kCp1252High[k] == cp)
                mapped = static_cast<char>(0x80 + k);
        out += mapped;
    }
    return out;
}
