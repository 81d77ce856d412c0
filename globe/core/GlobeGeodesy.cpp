#include "globe/core/GlobeGeodesy.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "globe/core/GlobeContext.h"

namespace {

using X = extended;

// Sine and cosine of an angle in GU, reduced to within 45 degrees first so
// that multiples of 90 degrees give exact zeros and ones.
void SinCosGU(int64_t gu, X& s, X& c) {
    const int64_t q = (gu >= 0 ? gu + GU_90 / 2 : gu - GU_90 / 2) / GU_90;
    const X x = static_cast<X>(gu - q * GU_90) / RadiansToGU;
    const X sx = std::sin(x), cx = std::cos(x);
    switch (((q % 4) + 4) % 4) {
    case 0: s = sx; c = cx; break;
    case 1: s = cx; c = -sx; break;
    case 2: s = -sx; c = -cx; break;
    default: s = -cx; c = sx; break;
    }
}

// The geodesic on the ellipsoid is mapped onto a great circle of the
// auxiliary sphere (arc sigma from the equator crossing, longitude omega).
// Distance and longitude then follow from integrals over sigma whose
// integrands depend on sin^2 sigma alone: even and of period pi, so a
// cosine series in 2 sigma converges fast (the terms fall as the third
// flattening, and faster). Its coefficients come from the integrand's values
// at kSamples points; aliasing stays far below the rounding of long double.
constexpr int kSamples = 16, kTerms = 7;

struct TSampleGrid {
    X Sin2[kSamples];
    X Cos[kTerms + 1][kSamples];
    TSampleGrid() {
        for (int j = 0; j < kSamples; ++j) {
            const X t = GlobePi * j / kSamples;
            Sin2[j] = std::sin(t) * std::sin(t);
            for (int l = 1; l <= kTerms; ++l)
                Cos[l][j] = std::cos(2 * l * t);
        }
    }
};

const TSampleGrid& Grid() {
    static const TSampleGrid grid;
    return grid;
}

// The integral from 0 of c0 + sum c[l] cos(2 l t): c0 sigma + the periodic part.
struct TSeries {
    X C0 = 0;
    X C[kTerms + 1] = {};
    void From(const X* values) {
        const TSampleGrid& g = Grid();
        C0 = 0;
        for (int j = 0; j < kSamples; ++j)
            C0 += values[j];
        C0 /= kSamples;
        for (int l = 1; l <= kTerms; ++l) {
            X sum = 0;
            for (int j = 0; j < kSamples; ++j)
                sum += values[j] * g.Cos[l][j];
            C[l] = 2 * sum / kSamples / (2 * l);
        }
    }
    // Of the periodic part only; sin(2 l sigma) from sin and cos of sigma.
    X Periodic(X ssig, X csig) const {
        const X s2 = 2 * ssig * csig, c2 = csig * csig - ssig * ssig;
        X sk = s2, ck = c2, sum = 0;
        for (int l = 1; l <= kTerms; ++l) {
            sum += C[l] * sk;
            const X next = sk * c2 + ck * s2;
            ck = ck * c2 - sk * s2;
            sk = next;
        }
        return sum;
    }
    X Between(X sig12, X ssig1, X csig1, X ssig2, X csig2) const {
        return C0 * sig12 + Periodic(ssig2, csig2) - Periodic(ssig1, csig1);
    }
};

void Normalise(X& s, X& c) {
    const X h = std::hypot(s, c);
    s /= h;
    c /= h;
}

struct TEllipsoid {
    X A, F, B, Ep2;  // semi-major and semi-minor axes, flattening, second eccentricity squared
};

// The series of one geodesic (its k^2 = e'^2 cos^2 alpha0): distance
// (integrand w = sqrt(1 + k^2 sin^2 sigma)), the part of the reduced length
// (w - 1/w) and the longitude's departure from omega.
struct TGeodesicSeries {
    TSeries Distance, Reduced, Longitude;
    TGeodesicSeries(const TEllipsoid& e, X k2, bool needReduced) {
        const TSampleGrid& g = Grid();
        X dist[kSamples], red[kSamples], lon[kSamples];
        for (int j = 0; j < kSamples; ++j) {
            const X w = std::sqrt(1 + k2 * g.Sin2[j]);
            dist[j] = w;
            red[j] = w - 1 / w;
            lon[j] = (2 - e.F) / (1 + (1 - e.F) * w);
        }
        Distance.From(dist);
        Longitude.From(lon);
        if (needReduced)
            Reduced.From(red);
    }
};

// The arc between two points of the auxiliary sphere, 0 to pi, taking the
// way that rises from the first to the second.
X Arc(X s1, X c1, X s2, X c2) {
    return std::atan2(std::max<X>(0, c1 * s2 - s1 * c2), c1 * c2 + s1 * s2);
}

// The reduced length over b of the arc between sigma1 and sigma2.
X ReducedLength(const TGeodesicSeries& g, X k2, X sig12, X ssig1, X csig1, X ssig2, X csig2) {
    const X w1 = std::sqrt(1 + k2 * ssig1 * ssig1), w2 = std::sqrt(1 + k2 * ssig2 * ssig2);
    return w2 * csig1 * ssig2 - w1 * ssig1 * csig2 - csig1 * csig2 * g.Reduced.Between(sig12, ssig1, csig1, ssig2, csig2);
}

// A point 1 at reduced latitude beta1 <= 0 and a point 2 with |beta2| <=
// |beta1|. The geodesic leaving point 1 at azimuth alpha1 (0 to pi) and
// met where it first crosses beta2 northwards: its longitude difference
// lambda12 (rising with alpha1), d lambda12 / d alpha1 and its length.
struct TLeg {
    X Lambda = 0, Slope = 0, Length = 0;
};

TLeg Leg(const TEllipsoid& e, X sbet1, X cbet1, X sbet2, X cbet2, X alp1, bool slope) {
    const X salp1 = std::sin(alp1), calp1 = std::cos(alp1);
    const X salp0 = salp1 * cbet1, calp0 = std::hypot(calp1, salp1 * sbet1);
    // Northwards at point 2; written so that it keeps its digits near the
    // vertices.
    const X calp2 = cbet2 != cbet1 || std::fabs(sbet2) != -sbet1
                        ? std::sqrt(calp1 * cbet1 * calp1 * cbet1 +
                                    (cbet1 < -sbet1 ? (cbet2 - cbet1) * (cbet1 + cbet2)
                                                    : (sbet1 - sbet2) * (sbet1 + sbet2))) /
                              cbet2
                        : std::fabs(calp1);
    X ssig1 = sbet1, csig1 = calp1 * cbet1, ssig2 = sbet2, csig2 = calp2 * cbet2;
    X somg1 = salp0 * sbet1, comg1 = csig1, somg2 = salp0 * sbet2, comg2 = csig2;
    Normalise(ssig1, csig1);
    Normalise(ssig2, csig2);
    const X sig12 = Arc(ssig1, csig1, ssig2, csig2);
    const X omg12 = Arc(somg1, comg1, somg2, comg2);
    const X k2 = e.Ep2 * calp0 * calp0;
    const TGeodesicSeries g(e, k2, slope);
    TLeg r;
    r.Lambda = omg12 - e.F * salp0 * g.Longitude.Between(sig12, ssig1, csig1, ssig2, csig2);
    r.Length = e.B * g.Distance.Between(sig12, ssig1, csig1, ssig2, csig2);
    if (slope && calp2 > 0) {
        // A small turn at point 1 moves point 2 sideways by the reduced
        // length; along its parallel that is this much longitude.
        r.Slope = (1 - e.F) * ReducedLength(g, k2, sig12, ssig1, csig1, ssig2, csig2) / (calp2 * cbet2);
    }
    return r;
}

}  // namespace

// The inverse problem solved as an equation in the azimuth at the first
// point: the geodesic that leaves it at alpha1 reaches the second point's
// latitude at a longitude difference that rises with alpha1, so Newton's
// method inside a shrinking bracket finds it for every pair, nearly
// antipodal ones included.
extended GlobeDistanceExact(TSpheroid spheroid, const GlobePoint& pa, const GlobePoint& pb) {
    if (pa.X == pb.X && pa.Y == pb.Y)
        return 0;
    const TSpheroidData& sd = SpheroidData(spheroid);
    TEllipsoid e;
    e.A = sd.Axis;
    e.F = 1 / sd.InvFlattening;
    e.B = e.A * (1 - e.F);
    e.Ep2 = e.F * (2 - e.F) / ((1 - e.F) * (1 - e.F));

    // The same distance for a canonical pair, all in whole GU so that 0, 90
    // and 180 degrees are exact: the first point the farther from the
    // equator and south of it (or on it), the longitude difference 0 to 180.
    int64_t lat1 = std::clamp<int64_t>(pa.Y, -GU_90, GU_90), lat2 = std::clamp<int64_t>(pb.Y, -GU_90, GU_90);
    int64_t lon12 = WrapLongitude(static_cast<int64_t>(pb.X) - pa.X);
    lon12 = lon12 < 0 ? -lon12 : lon12;
    if (std::llabs(lat1) < std::llabs(lat2))
        std::swap(lat1, lat2);
    if (lat1 > 0) {
        lat1 = -lat1;
        lat2 = -lat2;
    }
    X sphi1, cphi1, sphi2, cphi2, slam, clam;
    SinCosGU(lat1, sphi1, cphi1);
    SinCosGU(lat2, sphi2, cphi2);
    SinCosGU(lon12, slam, clam);
    const X lam12 = lon12 / RadiansToGU;
    // Reduced latitudes.
    X sbet1 = (1 - e.F) * sphi1, cbet1 = cphi1, sbet2 = (1 - e.F) * sphi2, cbet2 = cphi2;
    Normalise(sbet1, cbet1);
    Normalise(sbet2, cbet2);

    if (lon12 == 0 || lon12 == GU_180 || lat1 == -GU_90) {
        // Along a meridian (over the pole when 180 degrees apart): the
        // shortest way unless it runs past the point conjugate to the first.
        const X calp1 = clam, calp2 = 1;
        X ssig1 = sbet1, csig1 = calp1 * cbet1, ssig2 = sbet2, csig2 = calp2 * cbet2;
        Normalise(ssig1, csig1);
        Normalise(ssig2, csig2);
        const X sig12 = Arc(ssig1, csig1, ssig2, csig2);
        const TGeodesicSeries g(e, e.Ep2, true);
        const X m12 = ReducedLength(g, e.Ep2, sig12, ssig1, csig1, ssig2, csig2);
        if (sig12 < 1 || m12 >= 0)
            return e.B * g.Distance.Between(sig12, ssig1, csig1, ssig2, csig2);
    }
    if (lat1 == 0 && lam12 <= (1 - e.F) * GlobePi)
        return e.A * lam12;  // along the equator

    // First guess: the great circle of the auxiliary sphere, its longitude
    // difference shrunk as the ellipsoid shrinks it on average.
    const X dn = (std::sqrt(1 + e.Ep2 * sbet1 * sbet1) + std::sqrt(1 + e.Ep2 * sbet2 * sbet2)) / 2;
    const X omg12 = std::min<X>(GlobePi, lam12 / ((1 - e.F) * dn));
    X alp1 = std::atan2(cbet2 * std::sin(omg12), cbet1 * sbet2 - sbet1 * cbet2 * std::cos(omg12));
    X lo = 0, hi = GlobePi;
    if (!(alp1 > lo && alp1 < hi))
        alp1 = GlobePi / 2;
    const X tol = 8 * std::numeric_limits<X>::epsilon();
    TLeg leg;
    for (int i = 0; i < 200; ++i) {
        leg = Leg(e, sbet1, cbet1, sbet2, cbet2, alp1, true);
        const X v = leg.Lambda - lam12;
        if (std::fabs(v) <= tol)
            break;
        (v > 0 ? hi : lo) = alp1;
        if (hi - lo <= tol)
            break;
        const X next = leg.Slope > 0 ? alp1 - v / leg.Slope : lo;
        alp1 = next > lo && next < hi ? next : (lo + hi) / 2;
    }
    return leg.Length;
}

int32_t GlobeDistance(TSpheroid spheroid, const GlobePoint& a, const GlobePoint& b) {
    return Rnd(GlobeDistanceExact(spheroid, a, b));
}

int32_t TGlobeContext::Distance(const GlobePoint& a, const GlobePoint& b) const {
    return GlobeDistance(Spheroid, a, b);
}

int64_t GlobeDayNumber(int y, int m, int d) {
    // Days from 1970-01-01 of the proleptic Gregorian calendar, then shifted.
    const int64_t yy = y - (m <= 2);
    const int64_t era = (yy >= 0 ? yy : yy - 399) / 400;
    const int64_t yoe = yy - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 25569;
}

void GlobeCivilDate(int64_t n, int& y, int& m, int& d) {
    const int64_t z = n - 25569 + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

GlobePoint SubSolarPoint(double utc) {
    const extended dayPart = std::floor(static_cast<extended>(utc));
    int y, mo, d;
    GlobeCivilDate(static_cast<int64_t>(dayPart), y, mo, d);
    const extended days = dayPart - GlobeDayNumber(y - 1, 12, 21);
    const extended decl = std::atan(std::cos(2 * GlobePi * days / 365.24225L) * 0.4333823L) * 180 / GlobePi;
    const int64_t s = Rnd64((static_cast<extended>(utc) - dayPart) * 86400);
    const int64_t m = Rnd64(s * 0.25L) % 21600;
    return MakePoint((10800 - m) * GU_MINUTE, -Rnd64(decl * GU_DEGREE));
}

TDayState DayState(const GlobePoint& subSolar, const GlobePoint& p) {
    const GlobePoint s = PointTo3D(subSolar), v = PointTo3D(p);
    const extended k = 1.0L / 154698615;
    const extended b = (static_cast<extended>(v.X) * s.X + static_cast<extended>(v.Y) * s.Y +
                        static_cast<extended>(v.Z) * s.Z) * k;
    if (b > 0)
        return TDayState::Lit;
    return b >= -64800000 ? TDayState::Twilight : TDayState::Night;
}
