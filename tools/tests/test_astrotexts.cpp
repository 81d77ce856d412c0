#include "tools/AstroTexts.h"
#include "tools/Moon.h"
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
// without that event; a transit shows whenever the body passes the meridian
// that day, up all day or down all day alike.
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
            for (int k = 0; k < 2; ++k) {
                double first = -1; // seconds into the local day
                for (const auto& c : crossings) {
                    const double local = c.Time + offset / 24 - day;
                    if (c.Rise == (k == 0) && local >= 0 && local < 1) {
                        first = local * 86400;
                        break;
                    }
                }
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
            EXPECT_EQ(transit == "--", !transits)
                << (isSun ? "sun" : "moon") << " transit on " << DateToStr(day) << ": " << transit;
        }
    }
}


// "HH:MM:SS" in seconds, or -1 for any other text.
int Seconds(const std::string& text) {
    int h = 0, m = 0, s = 0;
    if (text.size() != 8 || std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) != 3) return -1;
    return h * 3600 + m * 60 + s;
}

TTimeLocation Place(double longitude, double latitude, double stdOffset, const char* rule) {
    TTimeLocation loc;
    loc.Longitude = longitude;
    loc.Latitude = latitude;
    loc.StdOffset = stdOffset;
    loc.Rule.ReadDataString(rule);
    return loc;
}

// On the days the clocks change, each event of the day shows in the local
// time in force at it, whenever in the day the window is asked. Times from
// PyEphem (they agree to a minute or two: no dynamical time here).
TEST(AstroTexts, OnClockChangeDaysEachEventShowsInItsOwnLocalTime) {
    struct Day {
        const char* place;
        TTimeLocation loc;
        TDateTime date;
        // sunrise, sunset, sun transit, moonrise, moonset, moon transit
        const char* expected[6];
    };
    const TTimeLocation sydney =
        Place(-151.2093, -33.8688, 10, "Sydney/1.1.10.+060.02:00:00/1.1.04.+000.02:00:00/");
    const TTimeLocation london =
        Place(0.1278, 51.5074, 0, "UK/L.1.03.+060.01:00:00/L.1.10.+000.01:00:00/");
    // Chile: at 24:00 on the Saturday before the first Sunday of April and
    // of September (the Saturday is the first one of April in 2026).
    const TTimeLocation santiago =
        Place(70.6693, -33.4489, -4, "Chile/1.1.09.+060.00:00:00/1.7.04.+000.23:00:00/");
    const Day days[] = {
        {"Sydney", sydney, EncodeDate(2026, 4, 5),
         {"06:09:58", "17:45:24", "11:57:56", "19:09:56", "08:58:48", "02:43:37"}},
        {"Sydney", sydney, EncodeDate(2026, 10, 4),
         {"06:28:46", "18:59:47", "12:44:00", "01:17:02", "12:04:22", "07:08:55"}},
        {"London", london, EncodeDate(2026, 3, 29),
         {"06:42:52", "19:28:40", "13:05:14", "15:22:09", "05:34:27", "22:45:16"}},
        {"London", london, EncodeDate(2026, 10, 25),
         {"06:41:38", "16:46:45", "11:44:35", "16:01:17", "05:49:01", "23:27:55"}},
        {"Santiago", santiago, EncodeDate(2026, 4, 4),
         {"07:56:59", "19:33:39", "13:45:34", "20:45:11", "10:22:18", "03:13:35"}},
        {"Santiago", santiago, EncodeDate(2026, 9, 6),
         {"07:53:53", "19:28:32", "13:40:58", "04:46:51", "14:35:01", "09:39:14"}},
    };
    const char* names[6] = {"sunrise", "sunset", "sun transit", "moonrise", "moonset", "moon transit"};
    for (const Day& d : days) {
        for (const double hour : {0.5, 12.0, 23.5}) {
            TTimeLocation loc;
            loc.Copy(d.loc);
            loc.ImposeAlternate(d.date + hour / 24);
            const TAstronomyTexts t = CalcAstronomyTexts(loc, false);
            const std::string* shown[6] = {&t.Sunrise,  &t.Sunset,  &t.SunTransit,
                                           &t.Moonrise, &t.Moonset, &t.MoonTransit};
            for (int k = 0; k < 6; ++k)
                EXPECT_NEAR(Seconds(*shown[k]), Seconds(d.expected[k]), 120)
                    << d.place << " " << DateToStr(d.date) << " asked at " << hour << " h: "
                    << names[k] << " " << *shown[k] << ", expected " << d.expected[k];
        }
        // The clocks change that day: the offsets before it and at its end
        // differ (00:30 and 23:30 may be a skipped or repeated time).
        const TDateTime utcStart = d.date - d.loc.StdOffset / 24 - 1.0 / 86400;
        EXPECT_NE(d.loc.UTCOffsetAt(utcStart), d.loc.UTCOffsetAt(utcStart + 1))
            << d.place << " " << DateToStr(d.date);
    }
}

// Near the polar circles in summer: the sun of Tromso transits on the day it
// stays up, and at Reykjavik, where the day's first sunset comes shortly
// after midnight, before its sunrise, midday counts from that morning's
// sunrise to the sunset after the next midnight.
TEST(AstroTexts, MidsummerNearThePolarCircle) {
    TTimeLocation tromso = Place(-18.96, 69.65, 1, "3");
    tromso.ImposeAlternate(EncodeDate(2026, 6, 21) + 0.5);
    const TAstronomyTexts t = CalcAstronomyTexts(tromso, false);
    EXPECT_EQ(t.Sunrise, "None");
    EXPECT_EQ(t.Sunset, "None");
    EXPECT_NEAR(Seconds(t.SunTransit), Seconds("12:45:57"), 60) << t.SunTransit;
    EXPECT_EQ(t.DaylightHours, "--");

    // PyEphem's sunrise of the day and sunset after midnight, UT = local.
    const char* sun[][2] = {
        {"02:56:43", "00:01:03"}, {"02:56:05", "00:01:59"}, {"02:55:37", "00:02:43"},
        {"02:55:20", "00:03:17"}, {"02:55:14", "00:03:39"}, {"02:55:19", "00:03:51"},
        {"02:55:36", "00:03:51"}, {"02:56:03", "00:03:40"}, {"02:56:41", "00:03:18"},
        {"02:57:30", "00:02:45"}, {"02:58:29", "00:02:02"}, {"02:59:39", "00:01:09"},
        {"03:00:58", "00:00:06"}, {"03:02:27", "23:58:53"}};
    for (int i = 0; i < 14; ++i) {
        TTimeLocation reykjavik = Place(21.9426, 64.1466, 0, "0");
        const TDateTime day = EncodeDate(2026, 6, 16) + i;
        reykjavik.ImposeAlternate(day + 0.5);
        const TAstronomyTexts r = CalcAstronomyTexts(reykjavik, false);
        const int noon = 12 * 3600, rise = Seconds(sun[i][0]);
        const int set = Seconds(sun[i][1]) + (sun[i][1][0] == '0' ? 86400 : 0);
        EXPECT_NEAR(Seconds(r.DaylightHoursPassed), noon - rise, 120)
            << DateToStr(day) << ": " << r.DaylightHoursPassed;
        EXPECT_NEAR(Seconds(r.DaylightHoursRemaining), set - noon, 120)
            << DateToStr(day) << ": " << r.DaylightHoursRemaining;
    }
}

} // namespace

// Events seconds from a local midnight show on the local day they fall on,
// and on that day only: the moonset at Vostok seconds before 0 h UT on
// 29/07/2070 (PyEphem: 23:59:52 UT), seen from UT and from the station's own
// +05; a moonrise at Tromso a second after 0 h UT on 09/05/2069.
TEST(AstroTexts, AnEventAtALocalMidnightIsOnItsOwnDay) {
    struct Case {
        const char* what;
        double longitude, latitude, offset;
        TDateTime day;          // the local day the event falls on
        bool rise;              // else a set
        const char* shown;      // on that day
        const char* dayBefore;  // the day before shows its own event, or none
        const char* dayAfter;
    };
    const Case cases[] = {
        {"Vostok UT", -106.8373, -78.4644, 0, EncodeDate(2070, 7, 29), false, "01:06:07", "01:47:45",
         "--"},
        {"Vostok +05", -106.8373, -78.4644, 5, EncodeDate(2070, 7, 30), false, "04:59:54",
         "06:06:07", "--"},
        {"Tromso UT", -18.96, 69.65, 0, EncodeDate(2069, 5, 9), true, "00:00:01", "--", nullptr},
    };
    const auto shownOn = [](const Case& c, TDateTime day) {
        TTimeLocation loc;
        loc.Longitude = c.longitude;
        loc.Latitude = c.latitude;
        loc.StdOffset = c.offset;
        loc.Rule.ReadDataString("0");
        loc.ImposeAlternate(day); // as the window's date pick: the day's 00:00
        const TAstronomyTexts t = CalcAstronomyTexts(loc, false);
        return c.rise ? t.Moonrise : t.Moonset;
    };
    for (const Case& c : cases) {
        EXPECT_EQ(shownOn(c, c.day), c.shown) << c.what;
        EXPECT_EQ(shownOn(c, c.day - 1), c.dayBefore) << c.what;
        if (c.dayAfter) {
            EXPECT_EQ(shownOn(c, c.day + 1), c.dayAfter) << c.what;
        }
    }
    // At UT the set before midnight is the day's second; it is found on that
    // UT day and not on the next.
    int found = 0;
    for (const TDateTime d : {EncodeDate(2070, 7, 29), EncodeDate(2070, 7, 30)})
        for (const TDateTime t : RiseSetTransitEvents(false, -106.8373, -78.4644, d).Sets)
            if (std::fabs(t - (EncodeDate(2070, 7, 30) - 8.0 / 86400)) < 10.0 / 86400) {
                ++found;
                EXPECT_EQ(std::floor(t), d);
                EXPECT_EQ(d, EncodeDate(2070, 7, 29));
            }
    EXPECT_EQ(found, 1);
}
