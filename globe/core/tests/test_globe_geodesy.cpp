#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <random>

#include "globe/core/GlobeGeodesy.h"
#include "globe/core/tests/GlobeTestSupport.h"

namespace {
GlobePoint DMS(int d, int m, double s, int dl, int ml, double sl, bool south, bool west) {
    const double lat = d + m / 60.0 + s / 3600.0, lon = dl + ml / 60.0 + sl / 3600.0;
    return Deg(west ? -lon : lon, south ? -lat : lat);
}
double Metres(extended gu) { return static_cast<double>(gu / UnitFactor(TGlobeUnits::Meter)); }
}  // namespace

TEST(GlobeGeodesy, DistanceOnTheEllipsoid) {
    // Flinders Peak to Buninyong, the classic check of the inverse formula.
    const GlobePoint flinders = DMS(37, 57, 3.72030, 144, 25, 29.52440, true, false);
    const GlobePoint buninyong = DMS(37, 39, 10.15610, 143, 55, 35.38390, true, false);
    EXPECT_NEAR(Metres(GlobeDistanceExact(TSpheroid::GRS1980, flinders, buninyong)), 54972.271, 0.05);
    TGlobeContext g;
    g.Spheroid = TSpheroid::GRS1980;
    EXPECT_NEAR(g.Distance(flinders, buninyong) / 48.5961123110151188, 54972.271, 0.05);
    EXPECT_EQ(g.Distance(flinders, flinders), 0);
    // Longitudes given the long way round measure the short way.
    EXPECT_EQ(GlobeDistance(TSpheroid::WGS84, Deg(179, 0), Deg(-179, 0)),
              GlobeDistance(TSpheroid::WGS84, Deg(-1, 0), Deg(1, 0)));

    std::mt19937 rng(84);
    std::uniform_real_distribution<double> lon(-180, 180), sinLat(-1, 1);
    const double meanRadius = 6371008.8;
    for (int i = 0; i < 2000; ++i) {
        const double la1 = std::asin(sinLat(rng)), la2 = std::asin(sinLat(rng));
        const double lo1 = lon(rng) * M_PI / 180, lo2 = lon(rng) * M_PI / 180;
        const GlobePoint a = Deg(lo1 * 180 / M_PI, la1 * 180 / M_PI), b = Deg(lo2 * 180 / M_PI, la2 * 180 / M_PI);
        const double c = std::acos(std::clamp(std::sin(la1) * std::sin(la2) +
                                                  std::cos(la1) * std::cos(la2) * std::cos(lo2 - lo1), -1.0, 1.0));
        const double gc = meanRadius * c;
        if (gc < 1000)
            continue;
        EXPECT_NEAR(Metres(GlobeDistanceExact(TSpheroid::WGS84, a, b)) / gc, 1.0, 0.006) << i;
    }
    // Nearly antipodal points settle or fall back quickly, never hang.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        const extended d = GlobeDistanceExact(TSpheroid::WGS84, Deg(0, 0.5 * i / 100), Deg(179.7 + 0.003 * i, -0.5));
        EXPECT_TRUE(std::isfinite(static_cast<double>(d)));
        EXPECT_NEAR(Metres(d), 19.97e6, 60000.0);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(100 * 50));  // 1 ms each, ASan slack
}

TEST(GlobeGeodesy, SunPointAndDayStates) {
    struct { int y, m, d, h, mi; double lon, lat; } cases[] = {
        {2026, 6, 21, 12, 0, 0, 23.43},  {2026, 12, 21, 12, 0, 0, -23.43}, {2026, 3, 20, 12, 0, 0, -0.99},
        {2026, 3, 20, 18, 0, -90, -0.99}, {2026, 3, 20, 6, 0, 90, -0.99},
    };
    for (const auto& c : cases) {
        const double t = static_cast<double>(GlobeDayNumber(c.y, c.m, c.d)) + (c.h * 60 + c.mi) / 1440.0;
        const GlobePoint s = SubSolarPoint(t);
        EXPECT_NEAR(s.X / double(GU_DEGREE), c.lon, 1e-9) << c.m << "/" << c.d << " " << c.h;
        EXPECT_NEAR(s.Y / double(GU_DEGREE), c.lat, 0.005) << c.m << "/" << c.d;
    }
    int y, m, d;
    GlobeCivilDate(GlobeDayNumber(2024, 2, 29), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20240229);
    EXPECT_EQ(GlobeDayNumber(1899, 12, 30), 0);

    const GlobePoint sun = SubSolarPoint(static_cast<double>(GlobeDayNumber(2026, 6, 21)) + 0.5);
    EXPECT_EQ(DayState(sun, Deg(0, 90)), TDayState::Lit);
    EXPECT_EQ(DayState(sun, Deg(0, 23.43 - 93)), TDayState::Twilight);
    EXPECT_EQ(DayState(sun, Deg(0, 23.43 - 100)), TDayState::Night);
    EXPECT_EQ(DayState(sun, Deg(180, 0)), TDayState::Night);
    EXPECT_EQ(DayState(sun, Deg(89, 0)), TDayState::Lit);
}
