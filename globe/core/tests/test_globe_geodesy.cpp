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

// Over a pole (180 degrees of longitude apart) and near the antipodes, where
// the iteration of the short lines does not settle: the geodesic all the same,
// to the centimetre. The lengths are GeographicLib's (GeodSolve -i) on WGS84.
TEST(GlobeGeodesy, DistanceOverAPoleAndNearTheAntipodes) {
    const struct {
        double Lat1, Lon1, Lat2, Lon2, Metres;
    } pairs[] = {
        {60, 0, 70, 180, 5580877.9114},         {-45, 10, -80, -170, 6133847.2087},
        {0, 0, 10, 180, 18898076.6254},         {89, 0, 89, 180, 223387.7298},
        {0.5, 0, -0.25, 180, 19976287.8773},    {1, 0, -1, 180, 20003931.4586},
        {-30, 0, 30, 180, 20003931.4586},       {0, 0, 0, 179.5, 19980861.9089},
        {0, 0, 0.5, 179.7, 19944127.4208},      {30, 0, -30.0001, 179.9, 20002997.5410},
        {10, 20, -10.02, -160.03, 20001638.9591}, {-0.3, 0, 0.2, 179.2, 19946081.2944},
        {45, 0, -45, 179.9999, 20003931.4577},  {0.0001, 0, -0.0002, 179.9, 20002997.5172},
        {60, 100, -59.9, -80.5, 19980305.4489},
    };
    for (const auto& p : pairs) {
        const GlobePoint a = Deg(p.Lon1, p.Lat1), b = Deg(p.Lon2, p.Lat2);
        EXPECT_NEAR(Metres(GlobeDistanceExact(TSpheroid::WGS84, a, b)), p.Metres, 0.03)
            << p.Lat1 << " " << p.Lon1 << " " << p.Lat2 << " " << p.Lon2;
        EXPECT_NEAR(Metres(GlobeDistanceExact(TSpheroid::WGS84, b, a)), p.Metres, 0.03)
            << p.Lat2 << " " << p.Lon2 << " " << p.Lat1 << " " << p.Lon1;
    }
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
