#include "globe/core/GlobeGeodesy.h"

#include <cmath>

#include "globe/core/GlobeContext.h"

extended GlobeDistanceExact(TSpheroid spheroid, const GlobePoint& pa, const GlobePoint& pb) {
    if (pa.X == pb.X && pa.Y == pb.Y)
        return 0;
    const TSpheroidData& sd = SpheroidData(spheroid);
    const extended a = sd.Axis, f = 1 / sd.InvFlattening, b = (1 - f) * a;
    const extended phi1 = pa.Y / RadiansToGU, phi2 = pb.Y / RadiansToGU;
    // The short way round, whatever the two longitudes.
    const extended L = WrapLongitude(static_cast<int64_t>(pb.X) - pa.X) / RadiansToGU;
    const extended U1 = std::atan((1 - f) * std::tan(phi1)), U2 = std::atan((1 - f) * std::tan(phi2));
    const extended sU1 = std::sin(U1), cU1 = std::cos(U1), sU2 = std::sin(U2), cU2 = std::cos(U2);
    extended lambda = L, sinS = 0, cosS = 0, sigma = 0, cos2a = 0, cos2sm = 0;
    bool converged = false;
    for (int i = 0; i < 200; ++i) {
        const extended sl = std::sin(lambda), cl = std::cos(lambda);
        const extended t1 = cU2 * sl, t2 = cU1 * sU2 - sU1 * cU2 * cl;
        sinS = std::sqrt(t1 * t1 + t2 * t2);
        if (sinS == 0)
            return 0;
        cosS = sU1 * sU2 + cU1 * cU2 * cl;
        sigma = std::atan2(sinS, cosS);
        const extended sinA = cU1 * cU2 * sl / sinS;
        cos2a = 1 - sinA * sinA;
        cos2sm = cos2a > 0 ? cosS - 2 * sU1 * sU2 / cos2a : 0;
        const extended C = f / 16 * cos2a * (4 + f * (4 - 3 * cos2a));
        const extended prev = lambda;
        lambda = L + (1 - C) * f * sinA * (sigma + C * sinS * (cos2sm + C * cosS * (-1 + 2 * cos2sm * cos2sm)));
        if (std::fabs(lambda - prev) < 1e-13L) {
            converged = true;
            break;
        }
    }
    if (!converged || !std::isfinite(lambda) || std::fabs(lambda) > GlobePi) {
        // Nearly antipodal: a great circle on the mean radius.
        const extended dphi = phi2 - phi1;
        const extended h = std::sin(dphi / 2) * std::sin(dphi / 2) +
                           std::cos(phi1) * std::cos(phi2) * std::sin(L / 2) * std::sin(L / 2);
        const extended c = 2 * std::atan2(std::sqrt(h), std::sqrt(std::max<extended>(0, 1 - h)));
        return (2 * a + b) / 3 * c;
    }
    const extended u2 = cos2a * (1 / ((1 - f) * (1 - f)) - 1);
    const extended r = std::sqrt(1 + u2);
    const extended k1 = (r - 1) / (r + 1);
    const extended A = (1 + k1 * k1 / 4) / (1 - k1);
    const extended B = k1 * (1 - 3.0L / 8 * k1 * k1);
    const extended ds = B * sinS *
                        (cos2sm + B / 4 *
                                      (cosS * (-1 + 2 * cos2sm * cos2sm) -
                                       B / 6 * cos2sm * (-3 + 4 * sinS * sinS) * (-3 + 4 * cos2sm * cos2sm)));
    return b * A * (sigma - ds);
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
