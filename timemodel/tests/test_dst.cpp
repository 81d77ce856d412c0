#include "timemodel/DST.h"

#include "TimeTestSupport.h"

#include <cmath>

namespace {

// Independent reference: the n-th (or last, n = 5) Sunday of a month by walking the days.
int SundayOf(int year, int month, int n) {
    std::vector<int> sundays;
    for (int d = 1; d <= DaysInAMonth(year, month); ++d)
        if (DayOfWeek(EncodeDate(year, month, d)) == 1) sundays.push_back(d);
    return n == 5 ? sundays.back() : sundays[n - 1];
}

TDSTRule Code(const char* code) {
    TDSTRule r;
    r.ReadDataString(code);
    return r;
}

} // namespace

class DSTTest : public PinnedClockTest {};

TEST_F(DSTTest, CalendarRoutines) {
    EXPECT_EQ(DayName(1), "Sunday");
    EXPECT_EQ(DayName(4), "Wenesday");
    EXPECT_EQ(DayName(0), "Undefined");
    EXPECT_EQ(DayName(8), "Undefined");
    EXPECT_EQ(MonthName(1), "January");
    EXPECT_EQ(MonthName(12), "December");
    EXPECT_EQ(MonthName(13), "Undefined");
    EXPECT_EQ(DaysInMonth(2024, 2), 29);
    EXPECT_EQ(DaysInMonth(2026, 2), 28);
    EXPECT_EQ(DaysInMonth(2026, 12), 31);
    EXPECT_EQ(DaysInMonth(2026, 13), 0);
    EXPECT_EQ(YearOfDate(At(2026, 12, 31, 23, 59, 59, 999)), 2026);
    EXPECT_DOUBLE_EQ(AddHours(6, At(2026, 1, 1)), At(2026, 1, 1, 6));
    EXPECT_DOUBLE_EQ(FracOfDate(At(2026, 1, 1, 18)), 0.75);
    EXPECT_EQ(FormatTimeOfDay(At(2026, 1, 1, 7, 5, 9)), "07:05:09");
}

TEST_F(DSTTest, NthWeekdayOfMonth) {
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 1, 5), 29); // last Sunday of March 2026
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 4, 1), 4);  // first Wednesday
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 1, 1), 1);  // the 1st is a Sunday
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 1, 4), 22);
    EXPECT_EQ(NthWeekdayOfMonth(2027, 10, 1, 5), 31); // month ending on a Sunday
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 1, 0), 1);
    EXPECT_EQ(NthWeekdayOfMonth(2026, 3, 1, 9), 1);
    for (int year = 2020; year <= 2030; ++year)
        for (int month = 1; month <= 12; ++month)
            for (int n = 1; n <= 5; ++n)
                ASSERT_EQ(NthWeekdayOfMonth(year, month, 1, n), SundayOf(year, month, n))
                    << year << "-" << month << " n=" << n;
}

TEST_F(DSTTest, ParseTimeOfDay) {
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("2"), 2.0 / 24);
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("2:00:00"), 2.0 / 24);
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("02:30:15"), 2.0 / 24 + 30.0 / 1440 + 15.0 / 86400);
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("2:30"), 2.0 / 24 + 30.0 / 1440);
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("2:xx:10"), 2.0 / 24);
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("2:30:x"), 2.0 / 24 + 30.0 / 1440);
    EXPECT_DOUBLE_EQ(ParseTimeOfDay("0:0:0"), 0);
    EXPECT_THROW(ParseTimeOfDay("x:30:00"), EConvertError);
    EXPECT_THROW(ParseTimeOfDay(""), EConvertError);
}

TEST_F(DSTTest, EventTextForm) {
    TDSTEvent e;
    EXPECT_EQ(e.DataString(), "N.1.1.0.02:00:00");
    e.Kind = 5;
    e.Day = 1;
    e.Month = 3;
    e.Bias = 60;
    EXPECT_EQ(e.DataString(), "L.1.3.60.02:00:00");
    e.Bias = -30;
    EXPECT_EQ(e.DataString(), "L.1.3.-30.02:00:00");

    TDSTEvent r;
    r.ReadDataString("L.1.10.+000.2:00:00");
    EXPECT_EQ(r.Kind, 5);
    EXPECT_EQ(r.Month, 10);
    EXPECT_DOUBLE_EQ(r.Time, 2.0 / 24);
    EXPECT_EQ(r.DataString(), "L.1.10.0.02:00:00");
    r.ReadDataString("S.14.03.+060.01:30:00");
    EXPECT_EQ(r.DataString(), "S.14.3.60.01:30:00");
    EXPECT_EQ(r.Description(), "March14");

    // Kind "N" (and any unknown token, tokens are case-sensitive) still reads the rest.
    r.ReadDataString("N.0.0.0.0:0:0");
    EXPECT_EQ(r.Kind, 0);
    EXPECT_EQ(r.Month, 0);
    EXPECT_EQ(r.Day, 0);
    r.ReadDataString("l.1.10.60.2");
    EXPECT_EQ(r.Kind, 0);
    EXPECT_EQ(r.Description(), "No Specified DST");
}

TEST_F(DSTTest, EventReaderFailsPartway) {
    TDSTEvent e;
    EXPECT_THROW(e.ReadDataString("L.1.x.60.02:00:00"), EConvertError);
    EXPECT_EQ(e.Kind, 5);
    EXPECT_EQ(e.Day, 1);
    EXPECT_EQ(e.Month, 1); // not reached
    EXPECT_THROW(e.ReadDataString("3.1.10.60.zz:00:00"), EConvertError);
    EXPECT_EQ(e.Bias, 60);
}

TEST_F(DSTTest, Descriptions) {
    EXPECT_EQ(Code("2").Description(),
              "North America  (start: First Sunday in April  end: Last Sunday in October)");
    TDSTEvent e;
    e.Kind = 7;
    EXPECT_EQ(e.Description(), "DST Unknown");
    EXPECT_DOUBLE_EQ(e.DateTime(2026), At(2026, 1, 1, 2)); // computes day 1
    e.Kind = 2;
    e.Day = 6;
    e.Month = 11;
    EXPECT_EQ(e.Description(), "Second Friday in November");
}

TEST_F(DSTTest, BuiltInCodes) {
    TDSTRule full;
    full.ReadDataString("Europe/L.1.03.+060.02:00:00/L.1.10.+000.2:00:00/");
    EXPECT_EQ(Code("3").DataString(), full.DataString());
    EXPECT_EQ(full.DataString(), "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/");
    EXPECT_EQ(full.RuleString(), "L.1.3.60.02:00:00-L.1.10.0.02:00:00");
    EXPECT_EQ(Code("6").DataString(), "New Zealand/1.1.10.60.02:00:00/3.1.3.0.02:00:00/");
    EXPECT_EQ(Code("7").Name, "Russia");
    EXPECT_EQ(Code("0").Notes, "No DST applies");

    TDSTRule one = Code("1");
    EXPECT_EQ(one.Name, "Unknown");
    EXPECT_EQ(one.Notes, "DST Rule is not known");
    TDSTRule none;
    none.ReadDataString("3");
    none.None();
    EXPECT_EQ(none.Name, "Unknown");
    EXPECT_EQ(none.StartDate.Kind, 0);
    EXPECT_EQ(none.StopDate.Kind, 0);
    // Whatever was read before, the same text as the rule file's "Unknown".
    EXPECT_EQ(none.DataString(), "Unknown/N.1.1.0.02:00:00/N.1.1.0.02:00:00/DST Rule is not known");

    // A code with a leading zero or a blank is a rule text, not a code.
    for (const char* t : {"03", " 3", "3 "}) {
        TDSTRule r = Code(t);
        EXPECT_EQ(r.Name, t);
        EXPECT_EQ(r.StartDate.Kind, 0);
        EXPECT_EQ(r.StopDate.Kind, 0);
    }
}

// Rules without a transition read back as written, and a re-read leaves
// nothing of the rule read before.
TEST_F(DSTTest, RulesWithoutTransitionsReadBackAndReset) {
    for (const char* text : {"Unknown/N.1.4.60.02:00:00/N.1.1.0.02:00:00/DST Rule is not known",
                             "X/L.1.3.60.02:00:00/N.7.12.-30.23:59:59/notes",
                             "None/N.0.0.0.00:00:00/N.0.0.0.00:00:00/No DST applies"}) {
        TDSTRule r;
        r.ReadDataString(text);
        EXPECT_EQ(r.DataString(), text);
    }
    TDSTRule r;
    r.ReadDataString("X/L.1.3.60.02:00:00/S.9.1.45.03:00:00/");
    const TDSTRule fresh;
    for (const char* stop : {"N", "N.x.y.z.w", ""}) {
        r.ReadDataString(std::string("X/L.1.3.60.02:00:00/") + stop + "/");
        EXPECT_EQ(r.StopDate.DataString(), fresh.StopDate.DataString()) << stop;
        r.StopDate.ReadDataString("S.9.1.45.03:00:00");
    }
}

TEST_F(DSTTest, CopyIsByValue) {
    TDSTRule a = Code("4");
    a.Bias = -600;
    a.StartDate.ZoneName = "AUS Eastern Daylight Time";
    TDSTRule b;
    b.Copy(a);
    EXPECT_EQ(b.DataString(), a.DataString());
    EXPECT_EQ(b.Bias, -600);
    EXPECT_EQ(b.StartDate.ZoneName, "AUS Eastern Daylight Time");
    a.StartDate.Month = 9;
    EXPECT_EQ(b.StartDate.Month, 10);
}

TEST_F(DSTTest, StartKindNoneNeverSaves) {
    TDSTRule r;
    r.ReadDataString("Odd/N.1.3.60.02:00:00/L.1.10.60.02:00:00/");
    for (int m = 1; m <= 12; ++m)
        EXPECT_EQ(r.CurrentBias(At(2026, m, 15)), 0);
}

TEST_F(DSTTest, NorthernBoundaries) {
    const TDSTRule r = Code("3");
    const TDateTime start = At(2026, 3, 29, 2);
    const TDateTime stop = At(2026, 10, 25, 2);
    EXPECT_DOUBLE_EQ(r.StartDateTime(At(2026, 6, 1)), start);
    EXPECT_DOUBLE_EQ(r.StopDateTime(At(2026, 6, 1)), stop);
    EXPECT_EQ(r.CurrentBias(start - OneSecond), 0);
    EXPECT_EQ(r.CurrentBias(start), 60); // the change's own instant is summer time
    EXPECT_EQ(r.CurrentBias(start + OneSecond), 60);
    EXPECT_EQ(r.CurrentBias(stop - OneSecond), 60);
    EXPECT_EQ(r.CurrentBias(stop), 0);
    EXPECT_EQ(r.CurrentBias(stop + OneSecond), 0);
    EXPECT_DOUBLE_EQ(r.CurrentOffset(At(2026, 7, 1)), 1.0);
}

TEST_F(DSTTest, SouthernBoundaries) {
    const TDSTRule r = Code("4"); // Australia 1: last Sunday Oct .. last Sunday Mar
    EXPECT_EQ(r.CurrentBias(At(2026, 1, 1)), 60);
    EXPECT_EQ(r.CurrentBias(At(2026, 12, 31, 12)), 60);
    EXPECT_EQ(r.CurrentBias(At(2026, 6, 15)), 0);

    const TDateTime stop = At(2026, 3, 29, 2);
    const TDateTime start = At(2026, 10, 25, 2);
    EXPECT_DOUBLE_EQ(r.StartDateTime(At(2026, 1, 1)), At(2025, 10, 26, 2));
    EXPECT_DOUBLE_EQ(r.StopDateTime(At(2026, 1, 1)), stop);
    EXPECT_DOUBLE_EQ(r.StopDateTime(At(2026, 11, 1)), At(2027, 3, 28, 2));
    // At the stop instant the pair is this year's, so the period is over.
    EXPECT_DOUBLE_EQ(r.StartDateTime(stop), start);
    EXPECT_DOUBLE_EQ(r.StopDateTime(stop), stop);
    EXPECT_EQ(r.CurrentBias(stop - OneSecond), 60);
    EXPECT_EQ(r.CurrentBias(stop), 0);
    EXPECT_EQ(r.CurrentBias(stop + OneSecond), 0);
    EXPECT_EQ(r.CurrentBias(start - OneSecond), 0);
    EXPECT_EQ(r.CurrentBias(start), 60);
    EXPECT_EQ(r.CurrentBias(start + OneSecond), 60);
}

// Every quarter hour of several years, against transitions computed here
// by walking the calendar.
TEST_F(DSTTest, WholeYearsAgainstTransitions) {
    const TDSTRule north = Code("3");
    const TDSTRule south = Code("4");
    const TDSTRule america = Code("2");
    for (int year = 2024; year <= 2028; ++year) {
        const TDateTime euStart = At(year, 3, SundayOf(year, 3, 5), 2);
        const TDateTime euStop = At(year, 10, SundayOf(year, 10, 5), 2);
        const TDateTime naStart = At(year, 4, SundayOf(year, 4, 1), 2);
        const TDateTime auStart = At(year, 10, SundayOf(year, 10, 5), 2);
        const TDateTime auStop = At(year, 3, SundayOf(year, 3, 5), 2);
        const TDateTime first = At(year, 1, 1);
        const TDateTime last = At(year + 1, 1, 1);
        int summerHours = 0;
        for (TDateTime x = first + 1.0 / 192; x < last; x += 1.0 / 96) {
            const bool inEurope = euStart < x && x < euStop;
            ASSERT_EQ(north.CurrentBias(x), inEurope ? 60 : 0) << FormatTimeOfDay(x) << " " << x;
            ASSERT_EQ(america.CurrentBias(x), naStart < x && x < euStop ? 60 : 0) << x;
            const bool inAustralia = x < auStop || x > auStart;
            ASSERT_EQ(south.CurrentBias(x), inAustralia ? 60 : 0) << x;
            summerHours += inEurope;
        }
        EXPECT_NEAR(summerHours / 4.0, (euStop - euStart) * 24, 0.5);
    }
}

// Dates that do not exist fall on the month's last day; months that do not
// exist mean no daylight saving at all. The text form is kept as stored.
TEST_F(DSTTest, NonexistentTransitionDates) {
    TDSTEvent e;
    e.ReadDataString("S.31.4.60.02:00:00");
    EXPECT_DOUBLE_EQ(e.DateTime(2026), At(2026, 4, 30, 2));
    EXPECT_EQ(e.DataString(), "S.31.4.60.02:00:00");
    e.ReadDataString("S.29.2.60.03:00:00");
    EXPECT_DOUBLE_EQ(e.DateTime(2026), At(2026, 2, 28, 3));
    EXPECT_DOUBLE_EQ(e.DateTime(2028), At(2028, 2, 29, 3));

    TDSTRule fixed;
    fixed.ReadDataString("Fixed/S.31.4.60.02:00:00/S.31.9.0.02:00:00/");
    EXPECT_EQ(fixed.CurrentBias(At(2026, 4, 30, 1)), 0);
    EXPECT_EQ(fixed.CurrentBias(At(2026, 4, 30, 3)), 60);
    EXPECT_EQ(fixed.CurrentBias(At(2026, 9, 30, 1)), 60);
    EXPECT_EQ(fixed.CurrentBias(At(2026, 9, 30, 3)), 0);

    for (const char* text :
         {"Bad/L.1.13.60.02:00:00/L.1.10.0.02:00:00/", "Bad/L.1.3.60.02:00:00/L.1.0.0.02:00:00/",
          "Bad/S.1.-2.60.02:00:00/L.1.10.0.02:00:00/",
          "Bad/L.9.3.60.02:00:00/L.1.10.0.02:00:00/"}) {
        TDSTRule bad;
        bad.ReadDataString(text);
        for (int m = 1; m <= 12; ++m)
            EXPECT_EQ(bad.CurrentBias(At(2026, m, 15)), 0) << text;
        EXPECT_EQ(bad.DataString(), std::string(text));
    }
}

TEST_F(DSTTest, WriterKeepsRuleOnOneRecord) {
    TDSTRule r = Code("3");
    r.Name = "Euro/pe\tWest";
    r.Notes = "line one\nline two/three";
    const std::string text = r.DataString();
    EXPECT_EQ(text.find_first_of("\t\r\n"), std::string::npos);
    TDSTRule back;
    back.ReadDataString(text);
    EXPECT_EQ(back.Name, "Euro pe West");
    EXPECT_EQ(back.Notes, "line one line two three");
    EXPECT_EQ(back.RuleString(), r.RuleString());
}
