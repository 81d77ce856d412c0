#include "tools/AstroTexts.h"
#include "tools/tests/HorizonScan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

namespace {

TEST(AstroTexts, Formats) {
    EXPECT_EQ(MoonAgeText(5.3), "05 Days 07:12");
    EXPECT_EQ(MoonAgeText(17.5), "17 Days 12:00");
    EXPECT_EQ(SiderealText(-0.25), "-06:00");
    EXPECT_EQ(SiderealText(1000.75), "18:00");
}

// Beyond the polar circle every local day shows its own first rise, set and
// transit of each body, and "None" (sun) or "--" (moon) exactly on the days
// without that event; a transit counts on days when the body crosses h0.
TEST(AstroTexts, BeyondThePolarCircleEachLocalDayShowsItsOwnEvents) {
    const double longitude = -18.96, latitude = 69.65, offset = 1; // Tromso
    const TDateTime start = EncodeDate(2026, 1, 1);
    const int days = 365;
    for (const bool isSun : {true, false}) {
        const horizon_scan::TBody body(isSun, start - 1, days + 2);
        const auto crossings = body.Crossings(longitude, latitude);
        const std::string none = isSun ? "None" : "--";
        for (int d = 0; d < days; ++d) {
            const TDateTime day = start + d;
            TTimeLocation loc;
            loc.Longitude = longitude;
            loc.Latitude = latitude;
            loc.StdOffset = offset;
            loc.ImposeAlternate(day + 0.5);
            const TAstronomyTexts t = CalcAstronomyTexts(loc, false);
            const std::string* shown[2] = {isSun ? &t.Sunrise : &t.Moonrise,
                                           isSun ? &t.Sunset : &t.Moonset};
            bool any = false;
            for (int k = 0; k < 2; ++k) {
                double first = -1; // seconds into the local day
                for (const auto& c : crossings) {
                    const double local = c.Time + offset / 24 - day;
                    if (c.Rise == (k == 0) && local >= 0 && local < 1) {
                        first = local * 86400;
                        break;
                    }
                }
                any = any || first >= 0;
                const std::string where = std::string(isSun ? "sun" : "moon") +
                                          (k ? " set" : " rise") + " on " + DateToStr(day) + ": " +
                                          *shown[k];
                if (first < 0) {
                    EXPECT_EQ(*shown[k], none) << where;
                    continue;
                }
                int h = 0, m = 0, s = 0;
                ASSERT_EQ(std::sscanf(shown[k]->c_str(), "%d:%d:%d", &h, &m, &s), 3) << where;
                EXPECT_NEAR(h * 3600 + m * 60 + s, first, isSun ? 61 : 121) << where;
            }
            const std::string& transit = isSun ? t.SunTransit : t.MoonTransit;
            const bool transits =
                body.TransitsWithin(longitude, day - offset / 24, day + 1 - offset / 24);
            EXPECT_EQ(transit == "--", !any || !transits)
                << (isSun ? "sun" : "moon") << " transit on " << DateToStr(day) << ": " << transit;
        }
    }
}

} // namespace
