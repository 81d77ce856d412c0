#pragma once
// Globe units: every globe coordinate is a 32-bit integer, 5,400,000 per
// degree, longitude east-positive. Conversions, angle text, the small vector
// helpers and the growable 3-D point list.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

using extended = long double;

class EGlobeException : public std::runtime_error {
public:
    explicit EGlobeException(const std::string& msg) : std::runtime_error(msg) {}
};

// printf-style text for the globe's messages.
std::string GlobeFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

constexpr int32_t GU_DEGREE = 5400000;
constexpr int32_t GU_MINUTE = 90000;
constexpr int32_t GU_SECOND = 1500;
constexpr int32_t GU_180 = 972000000;
constexpr int32_t GU_360 = 1944000000;
constexpr int32_t GU_90 = 486000000;
constexpr int32_t GlobeRadius = 309397230;
constexpr extended RadiansToGU = 309397209.37064453L;
constexpr extended GlobePi = 3.14159265358979323846264338327950288L;

struct GlobePoint {
    int32_t X = 0, Y = 0, Z = 0;
    bool operator==(const GlobePoint&) const = default;
};

struct GlobeExtent {
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool operator==(const GlobeExtent&) const = default;
};

struct TPoint {
    int32_t X = 0, Y = 0;
    bool operator==(const TPoint&) const = default;
};

enum class TGlobeUnits : uint8_t {
    Degree, Minute, NauticalMile, Kilometer, Mile, Second, Third, Hundreth, Thousanth,
    Meter, CentiMeter, Yard, Foot, Inch, GlobeUnit, Pixel
};
constexpr int GlobeUnitsCount = 16;

enum class TSpheroid : uint8_t {
    Airy1830, Australian1965, Bessel1841, Clarke1866, Clarke1880, Everest1830, GRS1967, GRS1980,
    Helmert1906, Hough, International1920, Krassovsky1940, SouthAmerican1969, WGS60, WGS66, WGS72,
    WGS84
};
struct TSpheroidData {
    int32_t Axis;          // semi-major axis in GU
    extended InvFlattening;
};
const TSpheroidData& SpheroidData(TSpheroid s);

// Rounding and saturation: nearest, ties to even; out-of-range values and NaN
// never wrap around.
int64_t Rnd64(extended v);
int32_t Rnd(extended v);
int32_t Sat32(int64_t v);
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

int32_t WrapLongitude(int64_t x);
GlobePoint MakePoint(int64_t x, int64_t y);
GlobePoint MakePoint3(int64_t x, int64_t y, int64_t z);
GlobePoint PointTo3D(const GlobePoint& p);

int32_t DecimalToGlobeUnits(extended degrees);
void DecimalLLToPoint(GlobePoint& p, extended longitude, extended latitude);

extended UnitFactor(TGlobeUnits u);
int32_t ToGU(TGlobeUnits u, extended value);
extended FromGU(int32_t gu, TGlobeUnits u);
TGlobeUnits StrToUnits(const std::string& text);
std::string UnitAbbreviation(TGlobeUnits u);
std::string FormatLatLong(int32_t gu, const std::string& format);

// Tells whether X jumped between the far-east and far-west longitude bands
// since the previous call on the same tracker.
struct TLongitudeBand {
    int Previous = 0;
    bool Changed(int32_t x);
};

extended MinExtended(extended a, extended b);
inline int32_t MinInt(int32_t a, int32_t b) { return a < b ? a : b; }
inline int32_t MaxInt(int32_t a, int32_t b) { return a > b ? a : b; }
extended Sign(extended x);
extended Hypot(extended a, extended b);
extended ArcTan2Ext(extended y, extended x);
extended ArcSinExt(extended x);
bool PointsEqual(const void* a, const void* b, size_t size);

class TPoint3DList {
public:
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    int32_t Capacity() const { return Cap; }
    void Add(const GlobePoint& p);
    void SetCapacity(int32_t n);
    const GlobePoint& operator[](int32_t i) const { return Items[static_cast<size_t>(i)]; }
    std::vector<GlobePoint> Items;

private:
    int32_t Cap = 0;
};

// Layer-file strings are 8-bit Windows-1252; in memory they are UTF-8.
std::string Cp1252ToUtf8(const std::string& s);
std::string Utf8ToCp1252(const std::string& s);
bool SameTextCI(const std::string& a, const std::string& b);
int CompareTextCI(const std::string& a, const std::string& b);
