#include "tools/Moon.h"

#include "tools/MoonTables.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDeg = 3.14159265358979323846 / 180.0;
constexpr double kAUKm = 149597869.0;

double Clamp1(double x) {
    return std::clamp(x, -1.0, 1.0);
}

double Centuries(TDateTime dt) {
    return (DateTimeToJulianDay(dt) - 2451545.0) / 36525.0;
}

// Right ascension and declination of an ecliptic position.
void ToEquatorial(TPosition& pos, double obliquity) {
    const double lambda = double(pos.Longitude), beta = double(pos.Latitude);
    pos.RightAscension = NormalizeDegrees(
        ArcTan2Degrees(SinDegrees(lambda) * CosDegrees(obliquity) -
                           TanDegrees(beta) * SinDegrees(obliquity),
                       CosDegrees(lambda)));
    pos.Declination = ArcSinDegrees(SinDegrees(beta) * CosDegrees(obliquity) +
                                    CosDegrees(beta) * SinDegrees(obliquity) * SinDegrees(lambda));
}

} // namespace

double NormalizeDegrees(double x) {
    if (!std::isfinite(x)) return 0;
    x -= 360.0 * std::nearbyint(x / 360.0);
    while (x < 0) x += 360.0;
    if (x >= 360.0) x -= 360.0;
    return x;
}

double SinDegrees(double x) {
    return std::sin(NormalizeDegrees(x) * kDeg);
}
double CosDegrees(double x) {
    return std::cos(NormalizeDegrees(x) * kDeg);
}
double TanDegrees(double x) {
    return std::tan(NormalizeDegrees(x) * kDeg);
}
double ArcSinDegrees(double x) {
    return std::asin(Clamp1(x)) / kDeg;
}
double ArcCosDegrees(double x) {
    return std::acos(Clamp1(x)) / kDeg;
}
double ArcTanDegrees(double x) {
    return std::atan(x) / kDeg;
}
double ArcTan2Degrees(double y, double x) {
    return std::atan2(y, x) / kDeg;
}

double DateTimeToJulianDay(TDateTime dt) {
    static const TDateTime reform = EncodeDate(1582, 10, 15);
    if (dt < reform) return 0;
    return dt + 2415018.5;
}

double MeanSiderealDegrees(TDateTime ut) {
    const double jd = DateTimeToJulianDay(ut);
    const double t = (jd - 2451545.0) / 36525.0;
    return NormalizeDegrees(280.46061837 + 360.98564736629 * (jd - 2451545.0) +
                            t * t * (0.000387933 - t / 38710000.0));
}

TNutation Nutation(TDateTime dt) {
    const double t = Centuries(dt);
    const double d = 297.85036 + 445267.111480 * t - 0.0019142 * t * t + t * t * t / 189474.0;
    const double m = 357.52772 + 35999.050340 * t - 0.0001603 * t * t - t * t * t / 300000.0;
    const double mp = 134.96298 + 477198.867398 * t + 0.0086972 * t * t + t * t * t / 56250.0;
    const double f = 93.27191 + 483202.017538 * t - 0.0036825 * t * t + t * t * t / 327270.0;
    const double om = 125.04452 - 1934.136261 * t + 0.0020708 * t * t + t * t * t / 450000.0;
    double psi = 0, eps = 0; // 0.0001"
    for (const auto& r : moon_tables::kNutation) {
        const double arg = r.D * d + r.M * m + r.Mp * mp + r.F * f + r.Om * om;
        psi += SinDegrees(arg) * (r.S0 + r.S1 * t);
        eps += CosDegrees(arg) * (r.C0 + r.C1 * t);
    }
    TNutation n;
    n.DeltaPsi = psi / 10000.0;
    n.DeltaEpsilon = eps / 10000.0;
    n.TrueObliquity = (84381.448 - 46.815 * t - 0.00059 * t * t + 0.001813 * t * t * t +
                       eps * 0.0001) /
                      3600.0;
    return n;
}

void ApplyNutationToEquatorial(TPosition& pos, TDateTime dt) {
    const TNutation n = Nutation(dt);
    pos.Longitude = NormalizeDegrees(double(pos.Longitude) + n.DeltaPsi / 3600.0);
    ToEquatorial(pos, n.TrueObliquity);
}

TPosition ComputeSunPosition(TDateTime dt) {
    const double t = Centuries(dt);
    const double l0 = 280.46646 + 36000.76983 * t + 0.0003032 * t * t;
    const double m = 357.52911 + 35999.05029 * t - 0.0001537 * t * t;
    const double e = 0.016708634 - 0.000042037 * t - 0.0000001267 * t * t;
    const double c = (1.914602 - 0.004817 * t - 0.000014 * t * t) * SinDegrees(m) +
                     (0.019993 - 0.000101 * t) * SinDegrees(2 * m) + 0.000289 * SinDegrees(3 * m);
    const double r = 1.000001018 * (1 - e * e) / (1 + e * CosDegrees(m + c));
    const double om = 125.04452 - 1934.136261 * t + 0.0020708 * t * t + t * t * t / 450000.0;
    TPosition pos;
    // The two small terms are aberration and nutation in longitude already:
    // adding either again would count it twice.
    pos.Longitude = NormalizeDegrees(l0 + c - 0.00569 - 0.00478 * SinDegrees(om));
    pos.Latitude = 0;
    pos.Distance = r * kAUKm;
    ToEquatorial(pos, Nutation(dt).TrueObliquity);
    return pos;
}

TPosition MoonGeometric(TDateTime dt, TMoonSums* sums) {
    const double t = Centuries(dt), t2 = t * t, t3 = t2 * t, t4 = t3 * t;
    const double lp = NormalizeDegrees(218.3164477 + 481267.88123421 * t - 0.0015786 * t2 +
                                       t3 / 538841.0 - t4 / 65194000.0);
    const double d = NormalizeDegrees(297.8501921 + 445267.1114034 * t - 0.0018819 * t2 +
                                      t3 / 545868.0 - t4 / 113065000.0);
    const double m = NormalizeDegrees(357.5291092 + 35999.0502909 * t - 0.0001536 * t2 +
                                      t3 / 24490000.0);
    const double mp = NormalizeDegrees(134.9633964 + 477198.8675055 * t + 0.0087414 * t2 +
                                       t3 / 69699.0 - t4 / 14712000.0);
    const double f = NormalizeDegrees(93.2720950 + 483202.0175233 * t - 0.0036539 * t2 -
                                      t3 / 3526000.0 + t4 / 863310000.0);
    const double a1 = 119.75 + 131.849 * t;
    const double a2 = 53.09 + 479264.290 * t;
    const double a3 = 313.45 + 481266.484 * t;
    const double e = 1 - 0.002516 * t - 0.0000074 * t2;
    auto eFactor = [e](int mult) {
        const int k = mult < 0 ? -mult : mult;
        return k == 1 ? e : k == 2 ? e * e : 1.0;
    };
    double sl = 0, sr = 0, sb = 0;
    for (const auto& r : moon_tables::kMoonLR) {
        const double arg = r.D * d + r.M * m + r.Mp * mp + r.F * f;
        sl += r.L * eFactor(r.M) * SinDegrees(arg);
        sr += r.R * eFactor(r.M) * CosDegrees(arg);
    }
    for (const auto& r : moon_tables::kMoonB)
        sb += r.B * eFactor(r.M) * SinDegrees(r.D * d + r.M * m + r.Mp * mp + r.F * f);
    sl += 3958 * SinDegrees(a1) + 1962 * SinDegrees(lp - f) + 318 * SinDegrees(a2);
    sb += -2235 * SinDegrees(lp) + 382 * SinDegrees(a3) + 175 * SinDegrees(a1 - f) +
          175 * SinDegrees(a1 + f) + 127 * SinDegrees(lp - mp) - 115 * SinDegrees(lp + mp);
    if (sums) *sums = {sl, sb, sr};
    TPosition pos;
    pos.Longitude = NormalizeDegrees(lp + sl / 1000000.0);
    pos.Latitude = sb / 1000000.0;
    pos.Distance = 385000.56 + sr / 1000.0;
    return pos;
}

TPosition ComputeMoonPosition(TDateTime dt) {
    TPosition pos = MoonGeometric(dt);
    ApplyNutationToEquatorial(pos, dt);
    return pos;
}

namespace {
double HorizontalParallax(double distanceKm) {
    return ArcSinDegrees(SinDegrees(8.794 / 3600.0) / (distanceKm / kAUKm));
}
} // namespace

void ApplyTopocentricParallax(TPosition& pos, double heightMetres, double longitude,
                              double latitude, TDateTime dt) {
    const double u = ArcTanDegrees(0.99330562 * TanDegrees(latitude));
    const double rhoSin = 0.99664719 * SinDegrees(u) + heightMetres / 6378140.0 * SinDegrees(latitude);
    const double rhoCos = CosDegrees(u) + heightMetres / 6378140.0 * CosDegrees(latitude);
    const double p = HorizontalParallax(double(pos.Distance));
    const double ra = double(pos.RightAscension), dec = double(pos.Declination);
    const double h = MeanSiderealDegrees(dt) - longitude - ra;
    const double den = CosDegrees(dec) - rhoCos * SinDegrees(p) * CosDegrees(h);
    const double dAlpha = ArcTan2Degrees(-rhoCos * SinDegrees(p) * SinDegrees(h), den);
    pos.RightAscension = NormalizeDegrees(ra + dAlpha);
    pos.Declination =
        ArcTan2Degrees((SinDegrees(dec) - rhoSin * SinDegrees(p)) * CosDegrees(dAlpha), den);
    pos.Parallax = p;
}

double LunarPhaseAngle(TDateTime dt) {
    const TPosition sun = ComputeSunPosition(dt);
    const TPosition moon = ComputeMoonPosition(dt);
    const double elong = double(moon.Longitude - sun.Longitude);
    const double psi = ArcCosDegrees(CosDegrees(double(moon.Latitude)) * CosDegrees(elong));
    const double r = double(sun.Distance), delta = double(moon.Distance);
    const double i = ArcTan2Degrees(r * SinDegrees(psi), delta - r * CosDegrees(psi));
    return NormalizeDegrees(elong) > 180 ? -i : i;
}

double LunarAgeDays(TDateTime dt) {
    const double elong =
        double(ComputeMoonPosition(dt).Longitude - ComputeSunPosition(dt).Longitude);
    return NormalizeDegrees(elong) / 360.0 * 29.530589;
}

double LunarIlluminatedFraction(TDateTime dt) {
    return (1 + CosDegrees(LunarPhaseAngle(dt))) / 2;
}

double LunarDistanceKm(TDateTime dt) {
    return double(MoonGeometric(dt).Distance);
}

double InterpolateThreePoint(double n, double y1, double y2, double y3) {
    double a = y2 - y1, b = y3 - y2;
    if (a > 100) a -= 360;
    if (a < -100) a += 360;
    if (b > 100) b -= 360;
    if (b < -100) b += 360;
    return y2 + n / 2 * (a + b + n * (b - a));
}

namespace {

// A body's track through one UT day: right ascension, declination and the
// altitude h0 of its rise and set interpolated from three positions, and from
// them the local hour angle and the altitude above h0 at any fraction m of
// the day. The moon's h0 follows its distance through the day: a value held
// for the whole day would differ from the next day's at their common 0 h,
// and an event there would belong to both days or to neither.
struct TDayTrack {
    double Theta0 = 0; // sidereal time at 0 h
    double Alpha[3] = {}, Delta[3] = {}, H0[3] = {};
    double Centre = 0, Spacing = 1; // day fraction of the middle position; days between them
    double Longitude = 0, SinLat = 0, CosLat = 1;

    double N(double m) const { return (m - Centre) / Spacing; }
    // Not reduced to a circle: it grows steadily through the day.
    double HourAngle(double m) const {
        return Theta0 + 360.98564736629 * m - Longitude -
               InterpolateThreePoint(N(m), Alpha[0], Alpha[1], Alpha[2]);
    }
    double AboveH0(double m) const {
        const double d = InterpolateThreePoint(N(m), Delta[0], Delta[1], Delta[2]);
        return ArcSinDegrees(SinLat * SinDegrees(d) +
                             CosLat * CosDegrees(d) * CosDegrees(HourAngle(m))) -
               InterpolateThreePoint(N(m), H0[0], H0[1], H0[2]);
    }
};

struct TDayFractions {
    std::vector<double> Rises, Sets, Transits;
};

constexpr int kSamples = 24; // the altitude is looked at hourly, then refined
constexpr double kSecond = 1.0 / 86400;
// A sampled extremum lies within an hour of the true one, where the altitude
// differs from it by at most two degrees.
constexpr double kReach = 3.0;

// The extremum of the altitude on [a, b], where it has only that one.
std::pair<double, double> Extremum(const TDayTrack& t, double a, double b, bool minimum) {
    constexpr double g = 0.6180339887498949;
    auto better = [minimum](double x, double y) { return minimum ? x < y : x > y; };
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = t.AboveH0(c), fd = t.AboveH0(d);
    while (b - a > kSecond) {
        if (better(fc, fd)) {
            b = d, d = c, fd = fc;
            c = b - g * (b - a), fc = t.AboveH0(c);
        } else {
            a = c, c = d, fc = fd;
            d = a + g * (b - a), fd = t.AboveH0(d);
        }
    }
    return better(fc, fd) ? std::pair{c, fc} : std::pair{d, fd};
}

// Every crossing of h0 within [0, 1): the altitude is sampled through the
// day, a dip below h0 (or a rise above it) too short for the samples is
// looked for at each sampled extremum, and each change of side is narrowed
// down to a fraction of a second. A body that stays on one side of h0 all
// day has no event, however close it comes.
void FindCrossings(const TDayTrack& t, TDayFractions& out) {
    double f[kSamples + 1];
    std::vector<std::pair<double, double>> points;
    points.reserve(kSamples + 5);
    for (int k = 0; k <= kSamples; ++k) {
        f[k] = t.AboveH0(double(k) / kSamples);
        points.emplace_back(double(k) / kSamples, f[k]);
    }
    for (int k = 0; k <= kSamples; ++k) {
        const bool lowest = (k == 0 || f[k] <= f[k - 1]) && (k == kSamples || f[k] <= f[k + 1]);
        const bool highest = (k == 0 || f[k] >= f[k - 1]) && (k == kSamples || f[k] >= f[k + 1]);
        const double a = double(std::max(k - 1, 0)) / kSamples;
        const double b = double(std::min(k + 1, kSamples)) / kSamples;
        if (lowest && f[k] > 0 && f[k] < kReach) {
            const auto e = Extremum(t, a, b, true);
            if (e.second <= 0) points.push_back(e);
        } else if (highest && f[k] <= 0 && f[k] > -kReach) {
            const auto e = Extremum(t, a, b, false);
            if (e.second > 0) points.push_back(e);
        }
    }
    std::sort(points.begin(), points.end());
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const bool up = points[i].second > 0;
        if (up == (points[i + 1].second > 0)) continue;
        double a = points[i].first, b = points[i + 1].first;
        while (b - a > 0.1 * kSecond) {
            const double mid = (a + b) / 2;
            (t.AboveH0(mid) > 0) == up ? a = mid : b = mid;
        }
        const double m = (a + b) / 2;
        if (m >= 0 && m < 1) (up ? out.Sets : out.Rises).push_back(m);
    }
}

// Every upper transit within [0, 1): the hour angle passes a multiple of 360.
void FindTransits(const TDayTrack& t, TDayFractions& out) {
    const double first = t.HourAngle(0), last = t.HourAngle(1);
    const double rate = last - first; // almost constant through the day
    if (!(rate > 0)) return;
    for (double target = 360 * std::ceil(first / 360); target < last; target += 360) {
        double m = (target - first) / rate;
        for (int step = 0; step < 8; ++step) {
            const double dm = (target - t.HourAngle(m)) / rate;
            m += dm;
            if (std::fabs(dm) < 0.01 * kSecond) break;
        }
        if (m >= 0 && m < 1) out.Transits.push_back(m);
    }
}

TDayFractions DayFractions(const TDayTrack& t) {
    TDayFractions out;
    FindCrossings(t, out);
    FindTransits(t, out);
    return out;
}

TDayTrack MakeTrack(double theta0, const double alpha[3], const double delta[3],
                    const double h0[3], double centre, double spacing, double longitude,
                    double latitude) {
    TDayTrack t;
    t.Theta0 = theta0;
    std::copy(alpha, alpha + 3, t.Alpha);
    std::copy(delta, delta + 3, t.Delta);
    std::copy(h0, h0 + 3, t.H0);
    t.Centre = centre;
    t.Spacing = spacing;
    t.Longitude = longitude;
    t.SinLat = SinDegrees(latitude);
    t.CosLat = CosDegrees(latitude);
    return t;
}

const std::vector<double>& OfKind(const TDayFractions& f, TRiseSetKind kind) {
    return kind == TRiseSetKind::Rise ? f.Rises : kind == TRiseSetKind::Set ? f.Sets : f.Transits;
}

} // namespace

double RiseSetTransitDayFraction(TRiseSetKind kind, double theta0, const double alpha[3],
                                 const double delta[3], double h0, double longitude,
                                 double latitude) {
    const double h0s[3] = {h0, h0, h0};
    const TDayFractions f =
        DayFractions(MakeTrack(theta0, alpha, delta, h0s, 0, 1, longitude, latitude));
    if (f.Rises.empty() && f.Sets.empty()) throw E_NoRiseSet();
    const std::vector<double>& events = OfKind(f, kind);
    if (events.empty()) throw E_NoRiseSet();
    return events.front();
}

TDayEvents RiseSetTransitEvents(bool isSun, double longitude, double latitude, TDateTime ut) {
    const TDateTime d0 = std::floor(ut);
    // Positions at 0 h, noon and the next 0 h: interpolated between them the
    // moon keeps within a few thousandths of a degree of its place, where
    // positions a day apart miss it by several hundredths, which near the
    // polar circles decides whether it rises at all. Geocentric apparent
    // positions; for the moon h0 allows for its parallax at its distance then.
    double alpha[3], delta[3], h0[3];
    for (int i = 0; i < 3; ++i) {
        const TPosition p =
            isSun ? ComputeSunPosition(d0 + 0.5 * i) : ComputeMoonPosition(d0 + 0.5 * i);
        alpha[i] = double(p.RightAscension);
        delta[i] = double(p.Declination);
        h0[i] = isSun ? -0.8333 : 0.7275 * HorizontalParallax(double(p.Distance)) - 0.56666667;
    }
    const TDayFractions f = DayFractions(
        MakeTrack(MeanSiderealDegrees(d0), alpha, delta, h0, 0.5, 0.5, longitude, latitude));
    TDayEvents e;
    auto copy = [d0](const std::vector<double>& from, std::vector<TDateTime>& to) {
        for (double m : from)
            if (d0 + m < d0 + 1) to.push_back(d0 + m);
    };
    copy(f.Rises, e.Rises);
    copy(f.Sets, e.Sets);
    copy(f.Transits, e.Transits);
    return e;
}

TDateTime ComputeRiseSetTransit(bool isSun, TRiseSetKind kind, double longitude, double latitude,
                                TDateTime ut) {
    const TDayEvents e = RiseSetTransitEvents(isSun, longitude, latitude, ut);
    const std::vector<TDateTime>& events =
        kind == TRiseSetKind::Rise ? e.Rises : kind == TRiseSetKind::Set ? e.Sets : e.Transits;
    if (!e.CrossesHorizon() || events.empty()) throw E_NoRiseSet();
    return events.front();
}

TDateTime SunriseTime(double longitude, double latitude, TDateTime ut) {
    return ComputeRiseSetTransit(true, TRiseSetKind::Rise, longitude, latitude, ut);
}
TDateTime SunsetTime(double longitude, double latitude, TDateTime ut) {
    return ComputeRiseSetTransit(true, TRiseSetKind::Set, longitude, latitude, ut);
}
TDateTime SunTransitTime(double longitude, double latitude, TDateTime ut) {
    return ComputeRiseSetTransit(true, TRiseSetKind::Transit, longitude, latitude, ut);
}
TDateTime MoonriseTime(double longitude, double latitude, TDateTime ut) {
    return ComputeRiseSetTransit(false, TRiseSetKind::Rise, longitude, latitude, ut);
}
TDateTime MoonsetTime(double longitude, double latitude, TDateTime ut) {
    return ComputeRiseSetTransit(false, TRiseSetKind::Set, longitude, latitude, ut);
}
TDateTime MoonTransitTime(double longitude, double latitude, TDateTime ut) {
    return ComputeRiseSetTransit(false, TRiseSetKind::Transit, longitude, latitude, ut);
}
