#include "platform/rtl/SysUtils.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

struct TKnownDay {
    int Year, Month, Day;
    double Serial;
    int WeekDay; // 1 = Sunday
};

// Serials and weekdays computed independently of this code.
const TKnownDay KnownDays[] = {
    {1899, 12, 30, 0, 7},       {1850, 2, 3, -18227, 1}, {1, 1, 1, -693593, 2},
    {9999, 12, 31, 2958465, 6}, {2024, 2, 29, 45351, 5}, {1900, 2, 28, 60, 4},
    {1600, 2, 29, -109512, 3},  {2026, 12, 8, 46364, 3},
};

} // namespace

TEST(Calendar, EncodeDecodeKnownDays) {
    for (const auto& k : KnownDays) {
        SCOPED_TRACE(k.Year);
        EXPECT_EQ(EncodeDate(k.Year, k.Month, k.Day), k.Serial);
        int y, m, d;
        DecodeDate(k.Serial, y, m, d);
        EXPECT_EQ(y, k.Year);
        EXPECT_EQ(m, k.Month);
        EXPECT_EQ(d, k.Day);
        EXPECT_EQ(DayOfWeek(k.Serial), k.WeekDay);
        EXPECT_EQ(DayOfTheWeek(k.Serial), k.WeekDay == 1 ? 7 : k.WeekDay - 1);
    }
}

TEST(Calendar, EveryDayRoundTripsAcrossCenturies) {
    // Consecutive days from 1582 to 2100 decode to consecutive dates.
    double serial = EncodeDate(1582, 1, 1);
    for (int y = 1582; y <= 2100; ++y)
        for (int m = 1; m <= 12; ++m)
            for (int d = 1; d <= DaysInAMonth(y, m); ++d, serial += 1) {
                int yy, mm, dd;
                DecodeDate(serial, yy, mm, dd);
                ASSERT_EQ(yy * 10000 + mm * 100 + dd, y * 10000 + m * 100 + d) << serial;
            }
}

TEST(Calendar, InvalidDatesAndTimesAreRejected) {
    TDateTime r = 123;
    EXPECT_FALSE(TryEncodeDate(2026, 2, 29, r));
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, r));
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, r));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, r));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, r));
    EXPECT_FALSE(TryEncodeDate(2026, 13, 1, r));
    EXPECT_FALSE(TryEncodeDate(2026, 4, 31, r));
    EXPECT_THROW(EncodeDate(2026, 0, 1), EConvertError);
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, r));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, r));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, r));
    EXPECT_THROW(EncodeTime(-1, 0, 0, 0), EConvertError);
    EXPECT_EQ(DaysInAMonth(2026, 0), 0);
}

TEST(Calendar, TimeRoundsMillisecondsAndCarries) {
    int h, n, s, z;
    DecodeTime(EncodeTime(23, 59, 59, 999), h, n, s, z);
    EXPECT_EQ(h * 10000000 + n * 100000 + s * 1000 + z, 235959999);
    DecodeTime(0.5, h, n, s, z);
    EXPECT_EQ(h, 12);
    EXPECT_EQ(n + s + z, 0);

    // 23:59:59.9996 is the next midnight, never 24:00:00.
    const TDateTime late = EncodeDate(2026, 12, 31) + 86399999.6 / MSecsPerDay;
    int y, m, d;
    DecodeDateTime(late, y, m, d, h, n, s, z);
    EXPECT_EQ(y, 2027);
    EXPECT_EQ(m, 1);
    EXPECT_EQ(d, 1);
    EXPECT_EQ(h + n + s + z, 0);
}

TEST(Calendar, DatesBefore1900KeepTimeOfDayOnTheTimeline) {
    // Values run continuously: the day is floor(value), the time the rest.
    const TDateTime dt = EncodeDate(1850, 2, 3) + EncodeTime(6, 30, 0, 0);
    int y, m, d, h, n, s, z;
    DecodeDateTime(dt, y, m, d, h, n, s, z);
    EXPECT_EQ(y, 1850);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(d, 3);
    EXPECT_EQ(h, 6);
    EXPECT_EQ(n, 30);
    EXPECT_EQ(DateOf(dt), EncodeDate(1850, 2, 3));
    EXPECT_NEAR(TimeOf(dt), 0.2708333, 1e-6);
    DecodeDateTime(-0.25, y, m, d, h, n, s, z);
    EXPECT_EQ(d, 29);
    EXPECT_EQ(h, 18);
}

TEST(Calendar, ValuesOutsideTheCalendarDecodeToZero) {
    int y = 1, m = 1, d = 1, h = 1, n = 1, s = 1, z = 1;
    for (double bad : {double(NAN), double(INFINITY), -1e12, 1e12}) {
        DecodeDateTime(bad, y, m, d, h, n, s, z);
        EXPECT_EQ(y + m + d + h + n + s + z, 0) << bad;
        EXPECT_GE(DayOfWeek(bad), 1);
        EXPECT_LE(DayOfWeek(bad), 7);
    }
}

TEST(Clock, PinnedInstantsAndReset) {
    const TDateTime utc = EncodeDate(2026, 3, 29) + EncodeTime(0, 30, 0, 0);
    PinClock(utc, 2.0);
    EXPECT_DOUBLE_EQ(NowUTC(), utc);
    EXPECT_DOUBLE_EQ(Now(), utc + 2.0 / 24);
    EXPECT_DOUBLE_EQ(Date(), EncodeDate(2026, 3, 29));
    EXPECT_NEAR(Time(), EncodeTime(2, 30, 0, 0), 1e-9);

    PinClock(utc, -1.0); // local time on the previous day
    EXPECT_DOUBLE_EQ(Date(), EncodeDate(2026, 3, 28));

    SetClockSource({nullptr, [] { return 1.0; }}); // only UTC replaced
    EXPECT_EQ(NowUTC(), 1.0);
    EXPECT_GT(Now(), EncodeDate(2020, 1, 1));

    ResetClockSource();
    const TDateTime real = NowUTC();
    EXPECT_GT(real, EncodeDate(2020, 1, 1));
    EXPECT_LT(real, EncodeDate(2200, 1, 1));
    // The host zone offset is whole minutes and within a day.
    const double offsetMin = (Now() - NowUTC()) * 1440;
    EXPECT_LT(std::fabs(offsetMin), 24 * 60);
}

TEST(Clock, TickSourceIsInjectableAndMonotonic) {
    SetTickSource([] { return 4294967295u; });
    EXPECT_EQ(GetTickCount(), 4294967295u);
    SetTickSource(nullptr);
    const uint32_t a = GetTickCount();
    const uint32_t b = GetTickCount();
    EXPECT_LE(uint32_t(b - a), 1000u);
}
