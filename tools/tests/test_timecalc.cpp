// The calculator's answers and the zone record in words.
#include "tools/TimeCalc.h"
#include "tools/ZoneInfoTexts.h"

#include <gtest/gtest.h>

TEST(TimeCalc, WhatZone) {
    const TDateTime utc = EncodeDate(2026, 7, 1) + 0.5;
    const struct {
        double Hours;
        const char* Answer;
    } cases[] = {
        {5.5, "5.5"},   {5.3, "5"},      {5.7, "6"},     {-3.5, "-3.5"}, {-0.3, "0"},
        {0, "0"},       {13, "13"},      {-13, "-13"},   {12.5, "12.5"}, {-9.5, "-9.5"},
        {13.5, "Error UTC Differential > 12 hours"},     {-14, "Error UTC Differential > 12 hours"},
        {13 + 1 / 3600.0, "Error UTC Differential > 12 hours"},
    };
    for (const auto& c : cases) EXPECT_EQ(WhatZone(utc + c.Hours / 24, utc), c.Answer) << c.Hours;
}

TEST(TimeCalc, DateTimeWhenStepsMonthsAndYearsOnTheCalendar) {
    const TDateTime jan31 = EncodeDate(2027, 1, 31) + EncodeTime(12, 14, 48, 0);
    const TDateTime noon = EncodeTime(12, 0, 0, 0);
    using S = std::array<std::string, 6>;
    const struct {
        TDateTime Base;
        S Span;
        bool Minus;
        TDateTime Answer;
    } cases[] = {
        // The month's last day where it has no 31st; the time of day kept.
        {jan31, {"0", "1", "0", "0", "0", "0"}, false, EncodeDate(2027, 2, 28) + EncodeTime(12, 14, 48, 0)},
        {EncodeDate(2028, 1, 31) + noon, {"0", "1", "0", "0", "0", "0"}, false, EncodeDate(2028, 2, 29) + noon},
        {EncodeDate(2028, 2, 29) + noon, {"1", "0", "0", "0", "0", "0"}, false, EncodeDate(2029, 2, 28) + noon},
        {EncodeDate(2028, 2, 29) + noon, {"4", "0", "0", "0", "0", "0"}, false, EncodeDate(2032, 2, 29) + noon},
        {EncodeDate(2027, 3, 31) + noon, {"0", "1", "0", "0", "0", "0"}, true, EncodeDate(2027, 2, 28) + noon},
        {EncodeDate(2027, 1, 15) + noon, {"0", "1", "0", "0", "0", "0"}, true, EncodeDate(2026, 12, 15) + noon},
        {EncodeDate(2027, 1, 15) + noon, {"0", "-1", "0", "0", "0", "0"}, false, EncodeDate(2026, 12, 15) + noon},
        {EncodeDate(2027, 11, 30) + noon, {"1", "14", "0", "0", "0", "0"}, false, EncodeDate(2030, 1, 30) + noon},
        // Half a year is six months; months first, then exact days.
        {EncodeDate(2027, 8, 31) + noon, {"0,5", "0", "0", "0", "0", "0"}, false, EncodeDate(2028, 2, 29) + noon},
        {jan31, {"0", "1", "1", "0", "0", "0"}, false, EncodeDate(2027, 3, 1) + EncodeTime(12, 14, 48, 0)},
        {EncodeDate(2027, 3, 31) + noon, {"0", "1", "1", "0", "0", "0"}, true, EncodeDate(2027, 2, 27) + noon},
        // Weeks and days are exact lengths.
        {jan31, {"0", "0", "7", "0", "0", "0"}, false, jan31 + 7},
        {jan31, {"0", "0", "1", "2", "30", "15"}, true, jan31 - 1 - (2 * 3600 + 30 * 60 + 15) / 86400.0},
        {jan31, {"0", "0", "1,5", "", "0", "0"}, false, jan31 + 1.5},
        {EncodeDate(1850, 5, 31) + 0.25, {"0", "1", "0", "0", "0", "0"}, false, EncodeDate(1850, 6, 30) + 0.25},
    };
    for (const auto& c : cases) {
        const TDateTime got = DateTimeWhen(c.Base, c.Span, c.Minus);
        EXPECT_NEAR(got, c.Answer, 1e-9) << FormatDateTime("yyyy-mm-dd hh:nn:ss", c.Base) << " -> "
                                         << FormatDateTime("yyyy-mm-dd hh:nn:ss", got);
    }
    EXPECT_EQ(CalcAnswerText(EncodeDate(2027, 2, 28) + EncodeTime(12, 14, 48, 0)),
              "Sunday 28, February, 2027  12:14:48");
    for (const S& refused : {S{"0", "0", "abc", "0", "0", "0"}, S{"9000", "0", "0", "0", "0", "0"},
                             S{"0", "0,5", "0", "0", "0", "0"}, S{"0", "1e300", "0", "0", "0", "0"},
                             S{"-2100", "0", "0", "0", "0", "0"}})
        EXPECT_THROW(DateTimeWhen(jan31, refused, false), EConvertError) << refused[0] << " " << refused[1];
}

TEST(ZoneInfoTexts, RecordsInWords) {
    TSystemZoneInfo berlin;
    berlin.Result = TZoneIdResult::Daylight;
    berlin.Bias = -60;
    berlin.DaylightBias = -60;
    berlin.StandardName = "CET name";
    berlin.DaylightName = "CEST name";
    berlin.DaylightDate = {0, 3, 0, 5, 2, 0, 0, 0};
    berlin.StandardDate = {0, 10, 0, 5, 3, 0, 0, 0};
    TZoneInfoTexts t = ZoneInfoTexts(berlin);
    EXPECT_EQ(t.ActiveBias, "120 mins");
    EXPECT_EQ(t.Bias, "60 mins");
    EXPECT_EQ(t.StandardBias, "0 mins");
    EXPECT_EQ(t.DaylightBias, "60 mins");
    EXPECT_EQ(t.DaylightDate, "Last Sunday in March");
    EXPECT_EQ(t.StandardDate, "Last Sunday in October");
    EXPECT_EQ(t.DaylightName, "CEST name");
    berlin.Result = TZoneIdResult::Standard;
    EXPECT_EQ(ZoneInfoTexts(berlin).ActiveBias, "60 mins");

    TSystemZoneInfo tokyo;
    tokyo.Result = TZoneIdResult::Unknown;
    tokyo.Bias = -540;
    t = ZoneInfoTexts(tokyo);
    EXPECT_EQ(t.ActiveBias, "540 mins");
    EXPECT_EQ(t.StandardName, "Not Specified");
    EXPECT_EQ(t.DaylightDate, "Not Specified");
    EXPECT_EQ(t.StandardDate, "Not Specified");

    t = ZoneInfoTexts(TSystemZoneInfo{});
    EXPECT_FALSE(t.Filled);
    EXPECT_EQ(t.ActiveBias + t.StandardName + t.DaylightName, "???");

    EXPECT_EQ(TransitionText({2026, 4, 0, 5, 0, 0, 0, 0}), "April 05");
    EXPECT_EQ(TransitionText({0, 3, 0, 2, 2, 0, 0, 0}), "Second Sunday in March");
    EXPECT_EQ(TransitionText({0, 11, 9, 7, 2, 0, 0, 0}), "Some day in November");
    EXPECT_EQ(TransitionText({0, 13, 0, 1, 0, 0, 0, 0}), "?");
}
