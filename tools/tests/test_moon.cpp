// The ephemeris against the worked examples of Meeus, Astronomical Algorithms
// (2nd ed.), and against its own consistency over a year.
#include "tools/Moon.h"
#include "tools/tests/HorizonScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, 0);
}
double Hours(double h, double m, double s) {
    return h + m / 60 + s / 3600;
}

TEST(Moon, BookExamples) {
    // Sidereal time (12.a, 12.b).
    EXPECT_NEAR(MeanSiderealDegrees(At(2000, 1, 1, 12)), 280.46061837, 1e-6);
    EXPECT_NEAR(MeanSiderealDegrees(At(1987, 4, 10)), 197.693195, 1e-6);
    EXPECT_NEAR(MeanSiderealDegrees(At(1987, 4, 10, 19, 21)), 128.737873, 1e-6);

    // Nutation (22.a), with the first 31 terms.
    const TNutation n = Nutation(At(1987, 4, 10));
    EXPECT_NEAR(n.DeltaPsi, -3.788, 0.01);
    EXPECT_NEAR(n.DeltaEpsilon, 9.443, 0.01);

    // Sun (25.a).
    const TPosition sun = ComputeSunPosition(At(1992, 10, 13));
    EXPECT_NEAR(double(sun.Longitude), 199.90895, 2e-5);
    EXPECT_NEAR(double(sun.RightAscension) / 15, Hours(13, 13, 31.4), 0.2 / 3600);
    EXPECT_NEAR(double(sun.Declination), -Hours(7, 47, 6), 2.0 / 3600);

    // Moon (47.a).
    TMoonSums sums;
    const TPosition geo = MoonGeometric(At(1992, 4, 12), &sums);
    EXPECT_NEAR(sums.SumL, -1127527, 2);
    EXPECT_NEAR(sums.SumB, -3229126, 2);
    EXPECT_NEAR(sums.SumR, -16590875, 2);
    EXPECT_NEAR(double(geo.Longitude), 133.162655, 1e-6);
    EXPECT_NEAR(double(geo.Latitude), -3.229126, 1e-6);
    EXPECT_NEAR(double(geo.Distance), 368409.7, 0.1);
    const TPosition moon = ComputeMoonPosition(At(1992, 4, 12));
    EXPECT_NEAR(double(moon.RightAscension), 134.688470, 1e-3);
    EXPECT_NEAR(double(moon.Declination), 13.768368, 1e-3);

    // Phase (48.a): the book's sun is the precise one, ours the short series.
    EXPECT_NEAR(LunarPhaseAngle(At(1992, 4, 12)), 69.0756, 0.01);
    EXPECT_NEAR(LunarIlluminatedFraction(At(1992, 4, 12)), 0.6786, 1e-3);
}

TEST(Moon, RiseTransitSetCoreOnTheBostonExample) {
    // 15.a: Venus at Boston, 1988 March 20.
    const double alpha[3] = {40.68021, 41.73129, 42.78204};
    const double delta[3] = {18.04761, 18.44092, 18.82742};
    auto at = [&](TRiseSetKind k) {
        return 24 * RiseSetTransitDayFraction(k, 177.74208, alpha, delta, -0.5667, 71.0833, 42.3333);
    };
    const double minute = 1.0 / 60;
    EXPECT_NEAR(at(TRiseSetKind::Rise), Hours(12, 25, 0), minute);
    EXPECT_NEAR(at(TRiseSetKind::Transit), Hours(19, 40, 30), minute);
    EXPECT_NEAR(at(TRiseSetKind::Set), Hours(2, 54, 40), minute);
}

TEST(Moon, AnglesAndInterpolationStayFinite) {
    EXPECT_DOUBLE_EQ(NormalizeDegrees(-30), 330);
    EXPECT_DOUBLE_EQ(NormalizeDegrees(720), 0);
    EXPECT_DOUBLE_EQ(NormalizeDegrees(359.5 + 360 * 5), 359.5);
    EXPECT_DOUBLE_EQ(ArcSinDegrees(1.0000001), 90);
    EXPECT_DOUBLE_EQ(ArcCosDegrees(-1.0000001), 180);
    EXPECT_EQ(DateTimeToJulianDay(At(1582, 10, 14, 12)), 0);
    EXPECT_DOUBLE_EQ(DateTimeToJulianDay(At(2000, 1, 1, 12)), 2451545.0);
    // Right ascension across 0 degrees interpolates the short way.
    EXPECT_NEAR(InterpolateThreePoint(0.5, 358, 359, 0), 359.5, 1e-9);
}

struct Place {
    const char* name;
    double longitude, latitude; // longitude west positive
};
constexpr Place kPlaces[] = {{"Quito", 78.5, -0.2},     {"Singapore", -103.8, 1.3},
                             {"London", 0.13, 51.5},     {"Punta Arenas", 70.9, -53.2},
                             {"Tromso", -18.95, 69.65},  {"Antarctic coast", -40, -70}};

// Over a year, the sun rises before its transit and sets after it whenever it
// crosses the horizon; polar day and night raise; the moon's events keep to
// their UT day.
TEST(Moon, AYearAtSixPlaces) {
    for (const Place& p : kPlaces) {
        int polar = 0, moonOff = 0;
        for (int d = 0; d < 365; ++d) {
            const TDateTime day = At(2026, 1, 1) + d;
            try {
                const TDateTime rise = SunriseTime(p.longitude, p.latitude, day);
                const TDateTime transit = SunTransitTime(p.longitude, p.latitude, day);
                const TDateTime set = SunsetTime(p.longitude, p.latitude, day);
                // Rise, transit and set may wrap the UT day: compare on the circle.
                const double toTransit = std::fmod(transit - rise + 2, 1.0);
                const double toSet = std::fmod(set - transit + 2, 1.0);
                EXPECT_GT(toTransit, 0) << p.name << " day " << d;
                EXPECT_LT(toTransit, 0.5) << p.name << " day " << d;
                EXPECT_GT(toSet, 0) << p.name << " day " << d;
                EXPECT_LT(toSet, 0.5) << p.name << " day " << d;
            } catch (const E_NoRiseSet&) {
                ++polar;
            }
            if (std::fabs(p.latitude) < 60) {
                for (auto f : {MoonriseTime, MoonsetTime}) {
                    try {
                        const TDateTime t = f(p.longitude, p.latitude, day);
                        if (t < day || t >= day + 1) ++moonOff;
                    } catch (const E_NoRiseSet&) {
                    }
                }
            }
        }
        if (std::fabs(p.latitude) > 66.6) {
            EXPECT_GT(polar, 30) << p.name;
            EXPECT_THROW(SunriseTime(p.longitude, p.latitude, p.latitude > 0 ? At(2026, 6, 21)
                                                                               : At(2026, 12, 21)),
                         E_NoRiseSet);
            EXPECT_THROW(SunTransitTime(p.longitude, p.latitude, p.latitude > 0 ? At(2026, 12, 21)
                                                                                  : At(2026, 6, 21)),
                         E_NoRiseSet);
        } else {
            // A UT day lacks a rise or a set when its time slips across 0 h UT.
            EXPECT_LE(polar, 2) << p.name;
            EXPECT_EQ(moonOff, 0) << p.name;
        }
    }
}

// Days reported wrong near the polar circles: a moonrise missed because the
// day's test looked at 0 h only, a moonset reported though the moon stays
// up, and a sunrise after the sunset on the first day of the midnight sun.
TEST(Moon, DaysNearThePolarCircles) {
    const double reykjavikLon = 21.9426, reykjavikLat = 64.1466;
    const double tromsoLon = -18.96, tromsoLat = 69.65;
    auto near = [](TDateTime got, TDateTime expected, double minutes) {
        return std::fabs(got - expected) * 1440 <= minutes;
    };
    EXPECT_PRED3(near, MoonriseTime(reykjavikLon, reykjavikLat, At(2026, 1, 18)),
                 At(2026, 1, 18, 12, 17), 1.0);
    EXPECT_PRED3(near, MoonsetTime(reykjavikLon, reykjavikLat, At(2026, 1, 18)),
                 At(2026, 1, 18, 14, 50), 1.0);
    EXPECT_THROW(MoonsetTime(reykjavikLon, reykjavikLat, At(2026, 6, 13)), E_NoRiseSet);
    EXPECT_PRED3(near, MoonriseTime(reykjavikLon, reykjavikLat, At(2026, 6, 13)),
                 At(2026, 6, 13, 1, 12), 1.0);
    // The sun last dips below h0 late on the 17th, setting before it rises.
    EXPECT_PRED3(near, SunsetTime(tromsoLon, tromsoLat, At(2026, 5, 17)), At(2026, 5, 17, 22, 29), 1.0);
    EXPECT_PRED3(near, SunriseTime(tromsoLon, tromsoLat, At(2026, 5, 17)), At(2026, 5, 17, 22, 51), 1.0);
    for (auto f : {SunriseTime, SunsetTime, SunTransitTime})
        EXPECT_THROW(f(tromsoLon, tromsoLat, At(2026, 5, 18)), E_NoRiseSet);
}

// A moonset within seconds of 0 h UT belongs to exactly one of the two UT
// days, and rises and sets alternate across the midnight. Times from PyEphem,
// which corrects for dynamical time; here that is worth a few seconds.
TEST(Moon, AnEventAtMidnightUTIsOnOneDayOnly) {
    struct Case {
        const char* name;
        double longitude, latitude;
        TDateTime midnight, set;
    };
    const Case cases[] = {
        {"Honolulu", 157.8583, 21.3069, At(2072, 9, 7), At(2072, 9, 7, 0, 0, 5)},
        {"London", 0.1278, 51.5074, At(2042, 5, 23), At(2042, 5, 23, 0, 0, 7)},
    };
    for (const Case& c : cases) {
        std::vector<std::pair<TDateTime, bool>> events; // time, whether a rise
        int sets = 0;
        for (const TDateTime day : {c.midnight - 1, c.midnight}) {
            const TDayEvents e = RiseSetTransitEvents(false, c.longitude, c.latitude, day);
            for (TDateTime t : e.Rises) events.emplace_back(t, true);
            for (TDateTime t : e.Sets) {
                events.emplace_back(t, false);
                sets += std::fabs(t - c.set) < 2.0 / 1440;
            }
        }
        EXPECT_EQ(sets, 1) << c.name;
        std::sort(events.begin(), events.end());
        for (size_t i = 0; i + 1 < events.size(); ++i)
            EXPECT_NE(events[i].second, events[i + 1].second)
                << c.name << " at UT " << DateTimeToStr(events[i].first);
    }
}

// Scanning the altitude over a year finds every crossing of h0 at six places
// from the equator to beyond the polar circles; the event functions report
// each on its own UT day (to a minute for the sun, two for the moon) and
// nothing else. A crossing that touches h0 by less than the interpolation of
// the positions can tell is let pass either way, and counted.
TEST(Moon, EveryHorizonCrossingOfAYearIsReported) {
    const Place places[] = {{"Quito", 78.5, -0.2},         {"London", 0.13, 51.5},
                            {"Anchorage", 149.9, 61.22},   {"Reykjavik", 21.9426, 64.1466},
                            {"Tromso", -18.96, 69.65},     {"Rothera", 68.13, -67.57}};
    using Event = TDateTime (*)(double, double, TDateTime);
    const TDateTime start = At(2026, 1, 1);
    const int days = 365;
    for (const bool isSun : {true, false}) {
        const char* what = isSun ? "sun" : "moon";
        const horizon_scan::TBody body(isSun, start, days);
        const double tolerance = (isSun ? 1.0 : 2.0) / 1440;
        const double grazing = isSun ? 0.002 : 0.02; // degrees
        const Event single[3] = {isSun ? SunriseTime : MoonriseTime,
                                 isSun ? SunsetTime : MoonsetTime,
                                 isSun ? SunTransitTime : MoonTransitTime};
        int checked = 0, grazed = 0, missed = 0, invented = 0;
        double worst = 0, worstTransit = 0;
        for (const Place& p : places) {
            std::vector<TDateTime> reported[2]; // rises, sets
            for (int d = 0; d < days; ++d) {
                const TDateTime day = start + d;
                const TDayEvents e = RiseSetTransitEvents(isSun, p.longitude, p.latitude, day);
                const std::vector<TDateTime>* lists[3] = {&e.Rises, &e.Sets, &e.Transits};
                for (int k = 0; k < 3; ++k) {
                    for (TDateTime t : *lists[k]) {
                        EXPECT_TRUE(t >= day && t < day + 1) << what << " " << p.name << " day " << d;
                        if (k < 2) reported[k].push_back(t);
                    }
                    if (e.CrossesHorizon() && !lists[k]->empty())
                        EXPECT_EQ(single[k](p.longitude, p.latitude, day), lists[k]->front());
                    else
                        EXPECT_THROW(single[k](p.longitude, p.latitude, day), E_NoRiseSet);
                }
                for (TDateTime t : e.Transits) {
                    const TPosition pos = body.Position(t);
                    double h = NormalizeDegrees(MeanSiderealDegrees(t) - p.longitude -
                                                double(pos.RightAscension));
                    if (h > 180) h -= 360;
                    worstTransit = std::max(worstTransit, std::fabs(h) / 360.98);
                }
            }
            std::vector<bool> used[2] = {std::vector<bool>(reported[0].size()),
                                         std::vector<bool>(reported[1].size())};
            for (const horizon_scan::TCrossing& c : body.Crossings(p.longitude, p.latitude)) {
                const int k = c.Rise ? 0 : 1;
                const bool graze = c.Depth < grazing;
                grazed += graze;
                int best = -1;
                for (size_t j = 0; j < reported[k].size(); ++j)
                    if (!used[k][j] && (best < 0 || std::fabs(reported[k][j] - c.Time) <
                                                        std::fabs(reported[k][best] - c.Time)))
                        best = int(j);
                const double err = best < 0 ? 1 : std::fabs(reported[k][best] - c.Time);
                if (err > 30.0 / 1440) {
                    missed += !graze;
                    EXPECT_TRUE(graze) << what << (c.Rise ? " rise" : " set") << " missed at "
                                       << p.name << ", UT " << DateTimeToStr(c.Time);
                    continue;
                }
                used[k][best] = true;
                ++checked;
                if (graze) continue;
                worst = std::max(worst, err);
                EXPECT_LE(err, tolerance) << what << " at " << p.name << ", UT " << DateTimeToStr(c.Time);
            }
            for (int k = 0; k < 2; ++k)
                for (size_t j = 0; j < reported[k].size(); ++j) {
                    if (used[k][j]) continue;
                    const double off = body.AboveH0(p.longitude, p.latitude, reported[k][j]);
                    const bool graze = std::fabs(off) < grazing;
                    grazed += graze;
                    invented += !graze;
                    EXPECT_TRUE(graze) << what << (k ? " set" : " rise") << " invented at "
                                       << p.name << ", UT " << DateTimeToStr(reported[k][j])
                                       << ", " << off << " deg off h0";
                }
        }
        EXPECT_LE(worstTransit * 1440, isSun ? 0.1 : 0.5) << what;
        std::printf("%s: %d crossings checked, worst %.1f s, %d grazing, %d missed, %d invented; "
                    "transits within %.1f s\n",
                    what, checked, worst * 86400, grazed, missed, invented, worstTransit * 86400);
    }
}

// Times from the U.S. Naval Observatory's "Sun and Moon Data for One Day"
// tables, rounded to the minute there.
TEST(Moon, AgreesWithAPublishedAlmanac) {
    struct Row {
        const char* what;
        TDateTime (*f)(double, double, TDateTime);
        double longitude, latitude;
        TDateTime day, expectedUT;
        double toleranceMinutes;
    };
    const Row rows[] = {
        // Washington, DC (77.03 W, 38.90 N), 2026-06-21: sunrise 05:43 EDT, sunset 20:37 EDT.
        {"sunrise", SunriseTime, 77.03, 38.90, At(2026, 6, 21), At(2026, 6, 21, 9, 43), 1.5},
        {"sunset", SunsetTime, 77.03, 38.90, At(2026, 6, 22), At(2026, 6, 22, 0, 37), 1.5},
    };
    for (const Row& r : rows) {
        const double got = r.f(r.longitude, r.latitude, r.day);
        const double diff = std::fabs(std::fmod(got - r.expectedUT + 10.5, 1.0) - 0.5) * 1440;
        EXPECT_LT(diff, r.toleranceMinutes) << r.what;
    }
}

} // namespace
