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

TEST(TimeCalc, DateTimeWhen) {
    const TDateTime jan31 = EncodeDate(2028, 1, 31) + 0.5;
    using S = std::array<std::string, 6>;
    const struct {
        S Span;
        bool Minus;
        TDateTime Answer;
    } cases[] = {
        // Mean months: 30.4375 days, so 1 March 22:30 in a leap year.
        {{"0", "1", "0", "0", "0", "0"}, false, EncodeDate(2028, 3, 1) + 22.5 / 24},
        {{"1", "0", "0", "0", "0", "0"}, false, jan31 + 365.25},
        {{"0", "0", "1", "2", "30", "15"}, true, jan31 - 1 - (2 * 3600 + 30 * 60 + 15) / 86400.0},
        {{"0", "0", "1,5", "", "0", "0"}, false, jan31 + 1.5},
    };
    for (const auto& c : cases) EXPECT_NEAR(DateTimeWhen(jan31, c.Span, c.Minus), c.Answer, 1e-9);
    EXPECT_EQ(CalcAnswerText(EncodeDate(2028, 3, 1) + 22.5 / 24), "Wednesday 01, March, 2028  22:30:00");
    EXPECT_THROW(DateTimeWhen(jan31, {"0", "0", "abc", "0", "0", "0"}, false), EConvertError);
    EXPECT_THROW(DateTimeWhen(jan31, {"9000", "0", "0", "0", "0", "0"}, false), EConvertError);
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
