// Where the sun or the moon really crosses its rise-and-set altitude h0 at a
// place over a span of days, worked out independently of the event finder:
// the altitude from the position functions every few minutes, each sampled
// turning point close to h0 searched for a short dip across it, and each
// change of side narrowed down by bisection.
#pragma once

#include "tools/Moon.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace horizon_scan {

constexpr double kStep = 5.0 / 1440; // days
constexpr double kSecond = 1.0 / 86400;

struct TCrossing {
    TDateTime Time; // UT
    bool Rise;
    // How far the body gets beyond h0 on the shallower side of the crossing
    // (degrees): a crossing only a hair's breadth deep is a grazing one.
    double Depth;
};

// One body's positions on the scan's grid, shared by every place.
class TBody {
public:
    TBody(bool isSun, TDateTime start, int days) : FSun(isSun), FStart(start), FDays(days) {
        const int n = int(std::lround(days / kStep));
        FRa.reserve(n + 1);
        FDec.reserve(n + 1);
        FH0.reserve(n + 1);
        for (int i = 0; i <= n; ++i) {
            const TPosition p = Position(start + i * kStep);
            FRa.push_back(double(p.RightAscension));
            FDec.push_back(double(p.Declination));
            FH0.push_back(H0Of(double(p.Distance)));
        }
    }

    bool IsSun() const { return FSun; }
    TDateTime Start() const { return FStart; }
    int Days() const { return FDays; }

    // Every crossing of h0 at the place (longitude west positive) within the
    // span, in time order. The h0 of the moon is the one of its distance at
    // the instant.
    std::vector<TCrossing> Crossings(double longitude, double latitude) const {
        auto above = [&](TDateTime t, double ra, double dec, double h0) {
            return Above(longitude, latitude, t, ra, dec, h0);
        };
        auto exact = [&](TDateTime t) { return AboveH0(longitude, latitude, t); };
        struct Point {
            TDateTime t;
            double f;
            bool operator<(const Point& o) const { return t < o.t; }
        };
        std::vector<Point> pts(FRa.size());
        for (size_t i = 0; i < FRa.size(); ++i) {
            const TDateTime t = FStart + double(i) * kStep;
            pts[i] = {t, above(t, FRa[i], FDec[i], FH0[i])};
        }
        // A sampled turning point near h0 may hide a dip across it between
        // the samples: look for the true turning point (golden section).
        const size_t n = pts.size();
        for (size_t i = 1; i + 1 < n; ++i) {
            const double f = pts[i].f;
            const bool lowest = f <= pts[i - 1].f && f <= pts[i + 1].f && f > 0;
            const bool highest = f >= pts[i - 1].f && f >= pts[i + 1].f && f <= 0;
            if (!(lowest || highest) || std::fabs(f) > 0.5) continue;
            const double sign = lowest ? 1 : -1;
            double a = pts[i - 1].t, b = pts[i + 1].t;
            constexpr double g = 0.6180339887498949;
            double c = b - g * (b - a), d = a + g * (b - a);
            double fc = sign * exact(c), fd = sign * exact(d);
            while (b - a > kSecond) {
                if (fc < fd) {
                    b = d, d = c, fd = fc;
                    c = b - g * (b - a), fc = sign * exact(c);
                } else {
                    a = c, c = d, fc = fd;
                    d = a + g * (b - a), fd = sign * exact(d);
                }
            }
            const Point turn = fc < fd ? Point{c, sign * fc} : Point{d, sign * fd};
            if ((turn.f > 0) != (f > 0)) pts.push_back(turn);
        }
        std::sort(pts.begin(), pts.end());

        std::vector<TCrossing> out;
        std::vector<double> depth; // of the excursion before each crossing
        double deepest = 0;
        for (size_t i = 0; i + 1 < pts.size(); ++i) {
            deepest = std::max(deepest, std::fabs(pts[i].f));
            const bool up = pts[i].f > 0;
            if (up == (pts[i + 1].f > 0)) continue;
            double a = pts[i].t, b = pts[i + 1].t;
            while (b - a > 0.1 * kSecond) {
                const double mid = (a + b) / 2;
                (exact(mid) > 0) == up ? a = mid : b = mid;
            }
            out.push_back({(a + b) / 2, !up, 0});
            depth.push_back(deepest);
            deepest = 0;
        }
        depth.push_back(1e9); // beyond the span: taken as deep
        for (size_t i = 0; i < out.size(); ++i)
            out[i].Depth = std::min(i == 0 ? 1e9 : depth[i], depth[i + 1]);
        return out;
    }

    // The altitude above h0 at an instant, from the position then.
    double AboveH0(double longitude, double latitude, TDateTime t) const {
        const TPosition p = Position(t);
        return Above(longitude, latitude, t, double(p.RightAscension), double(p.Declination),
                     H0Of(double(p.Distance)));
    }

    // Whether the body passes the meridian above the pole between from and to.
    bool TransitsWithin(double longitude, TDateTime from, TDateTime to) const {
        auto hourAngle = [&](TDateTime t) {
            const double h = NormalizeDegrees(MeanSiderealDegrees(t) - longitude -
                                              double(Position(t).RightAscension));
            return h > 180 ? h - 360 : h;
        };
        double before = hourAngle(from);
        for (TDateTime t = from + 1.0 / 24; t < to + 1.0 / 24; t += 1.0 / 24) {
            const double after = hourAngle(std::min(t, to));
            if (before < 0 && after >= 0 && after - before < 90) return true;
            before = after;
        }
        return false;
    }

    TPosition Position(TDateTime t) const {
        return FSun ? ComputeSunPosition(t) : ComputeMoonPosition(t);
    }
    // The sun's h0 holds refraction and the semi-diameter; the moon's also
    // its parallax at the distance given (km).
    double H0Of(double distance) const {
        if (FSun) return -0.8333;
        const double parallax =
            ArcSinDegrees(SinDegrees(8.794 / 3600) / (distance / 149597869.0));
        return 0.7275 * parallax - 0.56666667;
    }

private:
    static double Above(double longitude, double latitude, TDateTime t, double ra, double dec,
                        double h0) {
        const double h = MeanSiderealDegrees(t) - longitude - ra;
        const double alt = ArcSinDegrees(SinDegrees(latitude) * SinDegrees(dec) +
                                         CosDegrees(latitude) * CosDegrees(dec) * CosDegrees(h));
        return alt - h0;
    }

    bool FSun;
    TDateTime FStart;
    int FDays;
    std::vector<double> FRa, FDec, FH0;
};

} // namespace horizon_scan
