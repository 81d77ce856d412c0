// The home place follows the computer's zone: what is set at home for the
// other side of a clock change happens at the wall time typed, as the tz
// database has it, and stays so after the computer moves to another zone.
#include "platform/media/HomePlace.h"
#include "timemodel/Alarm.h"
#include "timemodel/RecordCheck.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

constexpr double UnixEpochDay = 25569.0;
constexpr double Second = 1.0 / 86400;

TDateTime FromUnix(std::time_t t) {
    return UnixEpochDay + double(t) / 86400.0;
}

// The host zone for one row (TZ set, tzset), put back when it goes.
class THostZoneScope {
public:
    explicit THostZoneScope(const char* zone) {
        if (const char* tz = std::getenv("TZ")) FOld = tz, FHad = true;
        Set(zone);
    }
    ~THostZoneScope() {
        if (FHad)
            ::setenv("TZ", FOld.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        ResetClockSource();
    }
    void Set(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    THostZoneScope(const THostZoneScope&) = delete;
    THostZoneScope& operator=(const THostZoneScope&) = delete;

private:
    std::string FOld;
    bool FHad = false;
};

// The computer's offset (hours) at a UTC instant, in the zone TZ names.
double HostOffsetAt(TDateTime utc) {
    const std::time_t t = std::time_t(std::llround((utc - UnixEpochDay) * 86400.0));
    std::tm tm{};
    localtime_r(&t, &tm);
    return double(tm.tm_gmtoff) / 3600.0;
}

// The computer's clock at the UTC instant, as the program sees it.
void At(TDateTime utc) {
    PinClock(utc, HostOffsetAt(utc));
}

// The instant the tz database gives for a wall time of the zone TZ names.
TDateTime TzInstant(int y, int mo, int d, int h, int mi) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_isdst = -1;
    return FromUnix(std::mktime(&tm));
}

struct TWall {
    int Y, Mo, D, H, Mi;
    TDateTime Value() const { return EncodeDate(Y, Mo, D) + EncodeTime(H, Mi, 0, 0); }
};

struct TRow {
    const char* Zone;
    TDateTime Made; // UTC, one season
    TWall Wall;     // a wall time of the other season
};

// A record written and read back as the list files do.
template <class T, class W> T ReadBack(const T& record, W write) {
    T back;
    back.ParseDataString(write(record), '\t');
    return back;
}

TEST(HomePlaceTest, WhatIsSetAtHomeHappensAtTheWallTimeTyped) {
    const TRow rows[] = {
        {"America/New_York", EncodeDate(2027, 2, 10) + 0.5, {2027, 3, 15, 7, 0}},
        {"America/New_York", EncodeDate(2027, 7, 1), {2027, 12, 1, 7, 0}},
        {"Europe/London", EncodeDate(2027, 1, 15), {2027, 6, 20, 9, 30}},
        {"Europe/London", EncodeDate(2027, 6, 20), {2027, 11, 20, 9, 30}},
        {"Australia/Sydney", EncodeDate(2027, 7, 10), {2027, 12, 25, 8, 0}},
        {"Australia/Sydney", EncodeDate(2027, 1, 10), {2027, 7, 10, 8, 0}},
        {"America/Santiago", EncodeDate(2027, 7, 10), {2027, 12, 25, 8, 0}},
        {"America/Santiago", EncodeDate(2027, 1, 10), {2027, 6, 10, 8, 0}},
        {"Australia/Lord_Howe", EncodeDate(2027, 7, 10), {2027, 12, 25, 8, 0}},
        {"Australia/Lord_Howe", EncodeDate(2027, 1, 10), {2027, 6, 10, 8, 0}},
        {"Asia/Kolkata", EncodeDate(2027, 1, 10), {2027, 7, 10, 8, 0}},
        // -7 all year from November 2026 on: a summer made in winter before
        // the change, and a winter after it made in summer.
        {"America/Vancouver", EncodeDate(2026, 2, 10), {2026, 7, 15, 8, 0}},
        {"America/Vancouver", EncodeDate(2026, 7, 10), {2027, 1, 15, 8, 0}},
    };
    for (const TRow& row : rows) {
        const std::string where = std::string(row.Zone) + " " + FormatDateTime("yyyy-mm-dd", row.Made);
        THostZoneScope scope(row.Zone);
        At(row.Made);
        const TDateTime expected = TzInstant(row.Wall.Y, row.Wall.Mo, row.Wall.D, row.Wall.H, row.Wall.Mi);

        TTimeLocation home;
        const THomeZone zone = ReadHomeZone(row.Made);
        ASSERT_TRUE(zone.Ok) << where;
        home.Name = zone.Coming.StdAbbreviation;
        SetHomeRule(home, zone);
        home.HostOffset = HostOffsetAt(row.Made);
        EXPECT_EQ(home.Rule.Name.find('/'), std::string::npos) << where;
        if (std::string(row.Zone) == "America/Vancouver" && row.Made < EncodeDate(2026, 3, 1)) {
            // The law changes within the year: the rule after the change.
            EXPECT_FALSE(zone.Coming.Exact);
            EXPECT_NE(home.Rule.Notes.find("law changes"), std::string::npos) << where;
            EXPECT_DOUBLE_EQ(home.StdOffset, -7) << where;
        } else {
            // The home place now is what the computer's clock says.
            EXPECT_TRUE(zone.Coming.Exact) << where;
            EXPECT_NEAR(home.CurrentUTCOffset(), home.HostOffset, 1e-9) << where;
        }

        // Made now at home: an alarm, a tracked date, and the calculator's
        // "here" imposed at the wall time.
        TAlarm alarm;
        alarm.Location.Copy(home);
        alarm.AlarmTime = row.Wall.Value();
        alarm.Enabled = true;
        EXPECT_FALSE(CheckAlarmRecord(alarm)) << where;
        TTemperalEvent event;
        event.Location.Copy(home);
        event.EventDate = row.Wall.Value();
        TTimeLocation here;
        here.Copy(home);
        here.HostOffset = here.StdOffset;
        here.ImposeAlternate(row.Wall.Value());
        EXPECT_NEAR(here.UTC(), expected, 1e-3 * Second) << where;

        // The previous release's records at home, and places that are not.
        TTimeLocation earlier;
        earlier.Name = "<New Location>";
        earlier.StdOffset = earlier.HostOffset = HostOffsetAt(row.Made);
        earlier.Rule.None();
        TAlarm oldAlarm;
        oldAlarm.Location.Copy(earlier);
        oldAlarm.AlarmTime = row.Wall.Value();
        oldAlarm.Enabled = true;
        oldAlarm = ReadBack(oldAlarm, [](const TAlarm& a) { return a.DataString('\t'); });
        TTemperalEvent oldEvent;
        oldEvent.Location.Copy(earlier);
        oldEvent.Location.Name = home.Name;
        oldEvent.EventDate = row.Wall.Value();
        oldEvent =
            ReadBack(oldEvent, [](const TTemperalEvent& e) { return e.EventDataString('\t'); });
        EXPECT_TRUE(TakeEarlierHomePlace(oldAlarm.Location, home, zone)) << where;
        EXPECT_TRUE(TakeEarlierHomePlace(oldEvent.Location, home, zone)) << where;
        EXPECT_EQ(oldAlarm.Location.LocationDataStr('\t'), home.LocationDataStr('\t')) << where;
        TTimeLocation fixed = earlier;
        fixed.Rule.ReadDataString("0"); // "No DST applies": meant so
        TTimeLocation elsewhere = earlier;
        elsewhere.Name = "Harbour office";
        TTimeLocation mapped = earlier;
        mapped.Latitude = 40.7;
        for (TTimeLocation* kept : {&fixed, &elsewhere, &mapped}) {
            const std::string before = kept->LocationDataStr('\t');
            EXPECT_FALSE(TakeEarlierHomePlace(*kept, home, zone)) << where << " " << before;
            EXPECT_EQ(kept->LocationDataStr('\t'), before) << where;
        }

        // Written and read back, then judged on the day, the computer at home
        // or moved to the other side of the world.
        alarm = ReadBack(alarm, [](const TAlarm& a) { return a.DataString('\t'); });
        event = ReadBack(event, [](const TTemperalEvent& e) { return e.EventDataString('\t'); });
        for (const char* computer : {row.Zone, "Asia/Tokyo"}) {
            scope.Set(computer);
            for (TAlarm* a : {&alarm, &oldAlarm}) {
                for (const double step : {-1.0, 1.0}) {
                    const TDateTime utc = expected + step * Second;
                    At(utc);
                    a->Location.HostOffset = HostOffsetAt(utc);
                    EXPECT_EQ(a->IsDue(), step > 0)
                        << where << " on " << computer << " at " << step << " s";
                }
            }
            for (TTemperalEvent* e : {&event, &oldEvent}) {
                for (const double step : {-1.0, 1.0}) {
                    const TDateTime utc = expected + step * Second;
                    At(utc);
                    e->Location.HostOffset = HostOffsetAt(utc);
                    EXPECT_NEAR(e->TotSecs(), 1.0, 1e-9) << where << " on " << computer;
                    EXPECT_EQ(e->TitleString().rfind(step > 0 ? "Since" : "Until", 0), 0u)
                        << where << " on " << computer;
                }
            }
        }
    }
}

} // namespace
