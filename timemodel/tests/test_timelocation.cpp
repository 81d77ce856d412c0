#include "timemodel/TimeLocation.h"

#include "TimeTestSupport.h"

#include <cmath>

namespace {

TTimeLocation Paris() {
    TTimeLocation l;
    l.Name = "Paris";
    l.City = "Paris";
    l.Region = "Ile-de-France";
    l.Country = "France";
    l.Code = "FR";
    l.StdOffset = 1;
    l.HostOffset = 0;
    l.Latitude = 48.8566;
    l.Longitude = -2.3522;
    l.Rule.ReadDataString("3");
    return l;
}

} // namespace

class LocationTest : public PinnedClockTest {};

TEST_F(LocationTest, Defaults) {
    PinClock(At(2026, 5, 1, 9), 2);
    TTimeLocation l;
    EXPECT_EQ(l.Name, "<New Location>");
    EXPECT_DOUBLE_EQ(l.ImposedTime, At(2026, 5, 1, 11));
    EXPECT_FALSE(l.Imposed);
    EXPECT_EQ(l.Rule.Name, "New Rule");
    // A new location shows the computer's time shifted by StdOffset - HostOffset.
    l.HostOffset = 2;
    l.StdOffset = -5;
    EXPECT_NEAR(l.UTC(), At(2026, 5, 1, 9), 1e-9);
    EXPECT_NEAR(l.CurrentDateTime(), At(2026, 5, 1, 4), 1e-9);
}

TEST_F(LocationTest, LocationString) {
    TTimeLocation l = Paris();
    EXPECT_EQ(l.LocationString(), "Paris Ile-de-France, France (FR)");
    l.Name = "Paris Orly";
    EXPECT_EQ(l.LocationString(), "Paris Ile-de-France, France (FR)");
    l.Name = "Orly";
    l.Code = "";
    EXPECT_EQ(l.LocationString(), "Orly - Paris Ile-de-France, France");
    l.Name = "paris";
    EXPECT_EQ(l.LocationString(), "paris - Paris Ile-de-France, France");
    l.City = "";
    EXPECT_EQ(l.LocationString(), " Ile-de-France, France");
}

TEST_F(LocationTest, LatitudeAndLongitudeTexts) {
    TTimeLocation l;
    l.Latitude = 51.4778;
    EXPECT_EQ(l.LatString(true), "51:28:40.1 North");
    EXPECT_EQ(l.LatString(false), "51:28:40.1");
    l.Latitude = 0;
    EXPECT_EQ(l.LatString(true), "0:0:0.0 North");
    EXPECT_FALSE(l.IsNorth());
    l.Latitude = -33.8688;
    EXPECT_EQ(l.LatString(true), "33:52:7.7 South");
    l.Longitude = -0.5;
    EXPECT_EQ(l.LongString(true), "0:30:0.0 East");
    EXPECT_FALSE(l.IsWest());
    l.Longitude = 122.4194;
    EXPECT_EQ(l.LongString(true), "122:25:9.8 West");
    EXPECT_TRUE(l.IsWest());
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(l.LongString(false), "122:25:9,8");
}

// Seconds that round up to 60 carry into the minutes, and minutes into degrees.
TEST_F(LocationTest, AngleTextCarries) {
    TTimeLocation l;
    l.Latitude = 10 + 59.0 / 60 + 59.97 / 3600;
    EXPECT_EQ(l.LatString(true), "11:0:0.0 North");
    l.Latitude = 10 + 20.0 / 60 + 59.96 / 3600;
    EXPECT_EQ(l.LatString(false), "10:21:0.0");
    l.Longitude = -(179 + 59.0 / 60 + 59.99 / 3600);
    EXPECT_EQ(l.LongString(true), "180:0:0.0 East");
}

TEST_F(LocationTest, OffsetTexts) {
    PinClock(At(2026, 7, 1, 12), 0);
    TTimeLocation l = Paris();
    EXPECT_EQ(l.UTCOffsetString(), "1.00");
    EXPECT_EQ(l.UTCOffsetStr(), "01:00");
    EXPECT_EQ(l.CurrentUTCOffsetStr(), "02:00");
    l.StdOffset = -3.5;
    l.Rule.ReadDataString("0");
    EXPECT_EQ(l.CurrentUTCOffsetStr(), "-03:30");
    EXPECT_EQ(l.UTCOffsetString(), "-3.50");
    l.StdOffset = 5.75;
    EXPECT_EQ(l.UTCOffsetStr(), "05:45");
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(l.UTCOffsetString(), "5,75");
}

TEST_F(LocationTest, DaylightSavingThroughTheLocation) {
    TTimeLocation l = Paris();
    EXPECT_EQ(l.DaylightRuleString(),
              "Europe  (start: Last Sunday in March  end: Last Sunday in October)");
    // The transitions are local standard times: 02:00 CET is 01:00 UTC.
    PinClock(At(2026, 3, 29, 1) - OneSecond, 0);
    EXPECT_DOUBLE_EQ(l.CurrentUTCOffset(), 1);
    PinClock(At(2026, 3, 29, 1) + OneSecond, 0);
    EXPECT_DOUBLE_EQ(l.CurrentUTCOffset(), 2);
    EXPECT_NEAR(l.CurrentDateTime(), At(2026, 3, 29, 3) + OneSecond, 1e-9);
    EXPECT_NEAR(l.StandardDateTime(), At(2026, 3, 29, 2) + OneSecond, 1e-9);
    PinClock(At(2026, 10, 25, 1) - OneSecond, 0);
    EXPECT_DOUBLE_EQ(l.CurrentUTCOffset(), 2);
    PinClock(At(2026, 10, 25, 1) + OneSecond, 0);
    EXPECT_DOUBLE_EQ(l.CurrentUTCOffset(), 1);
    EXPECT_EQ(l.DaylightStartStr(), "Mar 29, 2026 0200h");
    EXPECT_EQ(l.DaylightEndStr(), "Oct 25, 2026 0200h");
}

TEST_F(LocationTest, ImposedLocationsStandStill) {
    TTimeLocation l = Paris();
    l.ImposeAlternateUTC(At(2026, 1, 10, 8));
    PinClock(At(2030, 1, 1), 5);
    EXPECT_DOUBLE_EQ(l.UTC(), At(2026, 1, 10, 8));
    EXPECT_NEAR(l.CurrentDateTime(), At(2026, 1, 10, 9), 1e-9);
    EXPECT_DOUBLE_EQ(l.ImposedOffset, 0);
}

// The offset of an imposed local time is the one in force at that time,
// not at "now", however often the location is imposed.
TEST_F(LocationTest, ImposeAlternateJudgesTheImposedTime) {
    PinClock(At(2026, 1, 15, 12), 0); // winter now
    TTimeLocation l = Paris();
    l.ImposeAlternate(At(2026, 7, 15, 12)); // summer local time
    EXPECT_DOUBLE_EQ(l.ImposedOffset, 2);
    EXPECT_NEAR(l.UTC(), At(2026, 7, 15, 10), 1e-9);
    EXPECT_NEAR(l.CurrentDateTime(), At(2026, 7, 15, 12), 1e-9);
    l.ImposeAlternate(At(2026, 7, 16, 12));
    EXPECT_DOUBLE_EQ(l.ImposedOffset, 2);
    l.ImposeAlternate(At(2026, 12, 1, 12));
    EXPECT_DOUBLE_EQ(l.ImposedOffset, 1);
    EXPECT_NEAR(l.CurrentDateTime(), At(2026, 12, 1, 12), 1e-9);

    PinClock(At(2026, 7, 15, 12), 0); // summer now, winter time imposed
    TTimeLocation m = Paris();
    m.ImposeAlternate(At(2026, 1, 15, 12));
    EXPECT_NEAR(m.CurrentDateTime(), At(2026, 1, 15, 12), 1e-9);

    // Around the changes: an hour after the spring change is summer time,
    // the repeated hour in autumn is its first occurrence, in summer time.
    m.ImposeAlternate(At(2026, 3, 29, 3, 30));
    EXPECT_NEAR(m.CurrentDateTime(), At(2026, 3, 29, 3, 30), 1e-9);
    m.ImposeAlternate(At(2026, 3, 29, 1, 30));
    EXPECT_NEAR(m.CurrentDateTime(), At(2026, 3, 29, 1, 30), 1e-9);
    m.ImposeAlternate(At(2026, 10, 25, 2, 30));
    EXPECT_DOUBLE_EQ(m.ImposedOffset, 2);
    EXPECT_NEAR(m.CurrentDateTime(), At(2026, 10, 25, 2, 30), 1e-9);
    m.ImposeAlternate(At(2026, 10, 25, 1, 30));
    EXPECT_DOUBLE_EQ(m.ImposedOffset, 2);
    // The first instant of summer time is summer time; the skipped hour
    // stands for the change at 01:00 UTC.
    for (const auto& [wall, utc] : {std::pair{At(2026, 3, 29, 3), At(2026, 3, 29, 1)},
                                    {At(2026, 3, 29, 3, 0, 1), At(2026, 3, 29, 1, 0, 1)},
                                    {At(2026, 3, 29, 2, 30), At(2026, 3, 29, 1)},
                                    {At(2026, 3, 29, 1, 59, 59), At(2026, 3, 29, 0, 59, 59)}}) {
        m.ImposeAlternate(wall);
        EXPECT_NEAR(m.UTC(), utc, 1e-8) << FormatDateTime("hh:nn:ss", wall);
    }
}

TEST_F(LocationTest, CopyTakesEverythingIncludingImposedOffset) {
    TTimeLocation a = Paris();
    a.ImposeAlternate(At(2026, 7, 1, 12));
    TTimeLocation b;
    b.Copy(a);
    EXPECT_EQ(b.LocationDataStr('\t'), a.LocationDataStr('\t'));
    EXPECT_TRUE(b.Imposed);
    EXPECT_DOUBLE_EQ(b.ImposedOffset, 2);
    EXPECT_DOUBLE_EQ(b.CurrentDateTime(), a.CurrentDateTime());

    TTimeLocation c;
    c.ImposedOffset = 7;
    c.UpdateLocation("X", a.Rule, 1, 2, 3, 4, At(2026, 1, 1), true);
    EXPECT_DOUBLE_EQ(c.ImposedOffset, 7); // untouched
    EXPECT_EQ(c.Rule.Name, "Europe");
    EXPECT_DOUBLE_EQ(c.StdOffset, 3);
    EXPECT_DOUBLE_EQ(c.HostOffset, 4);
}

TEST_F(LocationTest, TimeIn) {
    PinClock(At(2026, 7, 1, 12), 0);
    TTimeLocation tokyo;
    tokyo.StdOffset = 9;
    tokyo.Rule.ReadDataString("0");
    TTimeLocation paris = Paris();
    EXPECT_NEAR(paris.TimeIn(tokyo), At(2026, 7, 1, 21), 1e-9);
    EXPECT_NEAR(tokyo.TimeIn(paris), At(2026, 7, 1, 14), 1e-9);
    EXPECT_FALSE(tokyo.Imposed);
}

TEST_F(LocationTest, JulianDateAndSiderealTime) {
    TTimeLocation l;
    l.ImposeAlternateUTC(At(2000, 1, 1, 12));
    EXPECT_DOUBLE_EQ(l.JulianDate(), 2451545.0);
    // GMST at J2000.0 is 18h 41m 50.5s.
    EXPECT_EQ(FormatDateTime("HH:MM:SS", l.GMST()), "18:41:50");
    l.Longitude = 15; // an hour west
    EXPECT_EQ(FormatDateTime("HH:MM:SS", l.LMST()), "17:41:50");
    l.StdOffset = 3;
    EXPECT_DOUBLE_EQ(l.JulianDateLOC(), 2451545.125);
    l.ImposeAlternateUTC(At(1582, 10, 14));
    EXPECT_EQ(l.JulianDate(), 0);
    l.ImposeAlternateUTC(At(1582, 10, 13, 12));
    EXPECT_EQ(l.JulianDate(), 0);
    l.ImposeAlternateUTC(At(1582, 10, 15));
    EXPECT_GT(l.JulianDate(), 2299000);
    l.ImposeAlternateUTC(At(1, 1, 1, 12));
    EXPECT_NEAR(l.MetricTime(), 0.5 * 86400 * 1.00069228559446, 1e-6);
}

TEST_F(LocationTest, SwatchBeats) {
    TTimeLocation l;
    l.ImposeAlternateUTC(At(2026, 2, 14, 23, 30));
    EXPECT_EQ(l.SwatchBeats(), 20);
    l.ImposeAlternateUTC(At(2026, 2, 14, 22, 59, 59));
    EXPECT_EQ(l.SwatchBeats(), 999);
    l.ImposeAlternateUTC(At(2026, 2, 14, 12));
    EXPECT_EQ(l.SwatchBeats(), 541);
    l.ImposeAlternateUTC(At(2026, 2, 14, 0));
    EXPECT_EQ(l.SwatchBeats(), 41);
    // Midnight in beat time is @000, never @1000.
    l.ImposeAlternateUTC(At(2026, 2, 14, 23));
    EXPECT_EQ(l.SwatchBeats(), 0);
    for (int s = 0; s < 86400; s += 7) {
        l.ImposeAlternateUTC(At(2026, 2, 14) + s * OneSecond);
        const int b = l.SwatchBeats();
        ASSERT_GE(b, 0);
        ASSERT_LE(b, 999);
    }
}

TEST_F(LocationTest, DayOfYearScales) {
    TTimeLocation l;
    l.StdOffset = 0;
    l.ImposeAlternateUTC(At(2026, 2, 14, 12));
    EXPECT_EQ(l.MillitaryJulianDate(), "6045");
    EXPECT_DOUBLE_EQ(l.DayInYear(), 45.5);
    l.ImposeAlternateUTC(At(2026, 1, 5, 1));
    EXPECT_EQ(l.MillitaryJulianDate(), "6005");
    l.ImposeAlternateUTC(At(2026, 12, 31, 23));
    EXPECT_EQ(l.MillitaryJulianDate(), "6365");
    l.ImposeAlternateUTC(At(2026, 1, 1));
    EXPECT_DOUBLE_EQ(l.DayInYear(), 1.0);
    l.ImposeAlternateUTC(At(2026, 12, 31));
    EXPECT_LT(l.DaysLeftInYear(), 1.0);
    EXPECT_GT(l.DaysLeftInYear(), 0.999);
    // The local year counts: 23:00 UTC on 31 December is already 2027 in Tokyo.
    l.StdOffset = 9;
    l.ImposeAlternateUTC(At(2026, 12, 31, 23));
    EXPECT_EQ(l.MillitaryJulianDate(), "7001");
}

TEST_F(LocationTest, UniversalTimeTexts) {
    const TDateTime noon = At(2026, 2, 14, 12); // a Saturday
    EXPECT_EQ(FormatUniversalTime('U', noon), "U 2026 45,500");
    EXPECT_EQ(FormatUniversalTime('u', noon), "U 2026 45,500.000");
    EXPECT_EQ(FormatUniversalTime('t', noon), "t 500.000");
    EXPECT_EQ(FormatUniversalTime('T', noon), "t 500");
    EXPECT_EQ(FormatUniversalTime('W', noon), "U 2026 w6-6,500");
    EXPECT_EQ(FormatUniversalTime('V', noon), " w6-6,500");
    EXPECT_EQ(FormatUniversalTime('D', noon), "d 45,500");
    EXPECT_EQ(FormatUniversalTime('x', noon), "Unknown Format");
    EXPECT_EQ(FormatUniversalTime('D', At(2026, 1, 1, 6)), "d 1,250");
    EXPECT_EQ(FormatUniversalTime('w', At(2026, 1, 1)), "U 2026 w0-4,0.000");
    EXPECT_EQ(FormatUniversalTime('V', At(2026, 1, 7)), " w1-3,0");
    EXPECT_EQ(FormatUniversalTime('T', At(2026, 1, 1, 23, 59, 59)), "t 999");
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(FormatUniversalTime('t', At(2026, 1, 1, 6)), "t 250,000");

    TTimeLocation l;
    l.ImposeAlternateUTC(noon);
    EXPECT_EQ(l.UdtString('T'), "t 500");
}

// --------------------------------------------------------------- records

TEST_F(LocationTest, RecordText) {
    const TTimeLocation l = Paris();
    EXPECT_EQ(l.LocationDataStr('\t'), "Paris\t1\t0\t48.8566\t-2.3522\t"
                                       "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/\t"
                                       "Paris\tIle-de-France\tFrance\tFR!");
    EXPECT_EQ(l.LocationDataStr('^'), "Paris^1^0^48.8566^-2.3522^"
                                      "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/^"
                                      "Paris^Ile-de-France^France^FR!");
}

TEST_F(LocationTest, RecordRoundTripsUnderBothSeparators) {
    TTimeLocation l = Paris();
    l.StdOffset = 5.75;
    l.HostOffset = -3.5;
    for (char written : {'.', ','}) {
        for (char read : {'.', ','}) {
            for (char sep : {'\t', '^'}) {
                FormatSettings.DecimalSeparator = written;
                const std::string text = l.LocationDataStr(sep);
                FormatSettings.DecimalSeparator = read;
                TTimeLocation back;
                back.ParseDataString(text, sep);
                FormatSettings.DecimalSeparator = '.';
                EXPECT_EQ(back.LocationDataStr('\t'), l.LocationDataStr('\t'))
                    << written << read << text;
                EXPECT_DOUBLE_EQ(back.Latitude, 48.8566);
            }
        }
    }
}

TEST_F(LocationTest, LegacyRuleCode) {
    TTimeLocation l;
    l.City = "kept";
    l.Code = "K";
    l.ParseDataString("London\t0\t0\t51.5\t0.12\t3!", '\t');
    EXPECT_EQ(l.Name, "London");
    EXPECT_EQ(l.Rule.Name, "Europe");
    EXPECT_EQ(l.Rule.StartDate.Kind, 5);
    EXPECT_EQ(l.City, "kept");
    EXPECT_EQ(l.Code, "K");

    l.ParseDataString("London\t0\t0\t51.5\t0.12\tEurope/L.1.03.+060.02:00:00/L.1.10.+000.2:00:00/"
                      "\tLondon\tEngland\tUK\tGB!",
                      '\t');
    EXPECT_EQ(l.City, "London");
    EXPECT_EQ(l.Country, "UK");
    EXPECT_EQ(l.Code, "GB");
    // A code in the rule field of a full record is read as the code's rule.
    l.ParseDataString("Sydney\t10\t0\t-33.9\t-151.2\t4\tSydney\tNSW\tAustralia\tAU!", '\t');
    EXPECT_EQ(l.Rule.Name, "Australia 1");
    EXPECT_EQ(l.Region, "NSW");
}

TEST_F(LocationTest, ShortRecordsLeaveZeros) {
    TTimeLocation l = Paris();
    l.ParseDataString("Nowhere", '\t');
    EXPECT_EQ(l.Name, "Nowhere");
    EXPECT_EQ(l.StdOffset, 0);
    EXPECT_EQ(l.Longitude, 0);
    EXPECT_EQ(l.Rule.Name, "");
    EXPECT_EQ(l.City, "Paris"); // not reached
    l.ParseDataString("", '\t');
    EXPECT_EQ(l.Name, "");
}

TEST_F(LocationTest, ParseErrorsCarryTextAndPosition) {
    TTimeLocation l;
    const std::string bad = "Paris\t1\tx\t48\t2\t3!";
    try {
        l.ParseDataString(bad, '\t');
        FAIL() << "no error";
    } catch (const ELocationDataParseError& e) {
        EXPECT_EQ(e.Message, "Error in Location Data: " + bad + " at pos9");
    }
    EXPECT_EQ(l.Name, "Paris");
    EXPECT_DOUBLE_EQ(l.StdOffset, 1);

    const std::string badRule = "P\t1\t1\t2\t3\tR/L.1.x.60.2/N/\tC\tR\tC\tX!";
    try {
        l.ParseDataString(badRule, '\t');
        FAIL() << "no error";
    } catch (const ELocationDataParseError& e) {
        EXPECT_EQ(e.Message, "Error in Location Data: " + badRule + " at pos11");
    }
    EXPECT_EQ(l.Rule.Name, "R");
    EXPECT_THROW(l.ParseDataString("A^1^2^3^zz^0!", '^'), ELocationDataParseError);
}

// Text fields never break the record: TAB, CR and LF become blanks, and so
// does the separator of a "^" record.
TEST_F(LocationTest, WriterKeepsOneLine) {
    TTimeLocation l = Paris();
    l.Name = "Par\tis";
    l.City = "Pa\r\nris";
    l.Region = "Ile^de";
    l.Country = "Fr\nance";
    l.Code = "F!R";
    for (char sep : {'\t', '^'}) {
        const std::string text = l.LocationDataStr(sep);
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
        TTimeLocation back;
        back.ParseDataString(text, sep);
        EXPECT_EQ(back.Name, "Par is");
        EXPECT_EQ(back.City, "Pa  ris");
        EXPECT_EQ(back.Region, sep == '^' ? "Ile de" : "Ile^de");
        EXPECT_EQ(back.Country, "Fr ance");
        EXPECT_EQ(back.Code, "F R");
        EXPECT_EQ(back.Rule.Name, "Europe");
    }
}

// A "!" in the rule's name must not pass for the end of a legacy record.
TEST_F(LocationTest, RuleNameWithBangKeepsTheRecord) {
    TTimeLocation l = Paris();
    l.Rule.Name = "E!";
    TTimeLocation back;
    back.ParseDataString(l.LocationDataStr('\t'), '\t');
    EXPECT_EQ(back.City, "Paris");
    EXPECT_EQ(back.Code, "FR");
    EXPECT_EQ(back.Rule.Name, "E ");
    EXPECT_EQ(back.Rule.StartDate.Kind, 5);
}

// A southern location through a whole year: the rule is judged at local
// standard time, so its changes fall at 02:00 AEST, 16:00 UTC the day before.
TEST_F(LocationTest, SouthernLocationThroughTheYear) {
    TTimeLocation sydney;
    sydney.StdOffset = 10;
    sydney.Rule.ReadDataString("4");
    const TDateTime summerEnds = At(2026, 3, 28, 16);    // last Sunday of March, 02:00 AEST
    const TDateTime summerStarts = At(2026, 10, 24, 16); // last Sunday of October
    for (TDateTime u = At(2026, 1, 1, 0, 30); u < At(2027, 1, 1); u += 1.0 / 24) {
        sydney.ImposeAlternateUTC(u);
        const bool summer = u < summerEnds || u > summerStarts;
        ASSERT_DOUBLE_EQ(sydney.CurrentUTCOffset(), summer ? 11 : 10) << u;
    }
    sydney.ImposeAlternateUTC(summerEnds - OneSecond);
    EXPECT_EQ(sydney.CurrentUTCOffsetStr(), "11:00");
    sydney.ImposeAlternateUTC(summerEnds + OneSecond);
    EXPECT_EQ(sydney.CurrentUTCOffsetStr(), "10:00");
    EXPECT_EQ(sydney.DaylightStartStr(), "Oct 25, 2026 0200h");
    EXPECT_EQ(sydney.DaylightEndStr(), "Mar 28, 2027 0200h"); // the coming period
}

namespace {

// Places whose rules give the changes of their zones in 2026 (checked with
// zdump against the tz database).
TTimeLocation RulePlace(const std::string& name, double stdOffset, const std::string& rule) {
    TTimeLocation l;
    l.Name = name;
    l.StdOffset = stdOffset;
    l.Rule.ReadDataString(rule);
    return l;
}
TTimeLocation London() {
    return RulePlace("London", 0, "GB/L.1.3.60.01:00:00/L.1.10.0.01:00:00/");
}
// A 30-minute change; summer time ends at 02:00 summer time, 01:30 standard.
TTimeLocation LordHowe() {
    return RulePlace("Lord Howe", 10.5, "LH/1.1.10.30.02:00:00/1.1.4.0.01:30:00/");
}
TTimeLocation Sydney() {
    return RulePlace("Sydney", 10, "AU/1.1.10.60.02:00:00/1.1.4.0.02:00:00/");
}
// Changes at midnight: 00:00 on the first Sunday of September does not
// exist; summer time ends at 24:00 on the first Saturday of April.
TTimeLocation Santiago() {
    return RulePlace("Santiago", -4, "CL/1.1.9.60.00:00:00/1.7.4.0.23:00:00/");
}

} // namespace

// One lookup answers every caller: a wall time is unique, skipped (refused
// with the change named, or taken as the first instant after the gap) or
// repeated (its first occurrence); the time shown back is the time given,
// or the end of the gap.
TEST_F(LocationTest, WallTimesAcrossTheChanges) {
    using K = TWallTime;
    struct Case {
        TTimeLocation (*place)();
        TDateTime wall;
        TWallTime::TKind kind;
        TDateTime pre, trans, post; // UTC
        TDateTime shown;
        const char* refusal;
    };
    const TDateTime ldn = At(2026, 3, 29), lda = At(2026, 10, 25);
    const Case cases[] = {
        {London, ldn + 1.5 / 24, K::Skipped, At(2026, 3, 29, 1, 30), At(2026, 3, 29, 1),
         At(2026, 3, 29, 0, 30), At(2026, 3, 29, 2),
         "01:30 does not exist on 29/03/2026 in London: clocks go forward from 01:00 to 02:00"},
        {London, At(2026, 3, 29, 1), K::Skipped, At(2026, 3, 29, 1), At(2026, 3, 29, 1),
         At(2026, 3, 29, 0), At(2026, 3, 29, 2),
         "01:00 does not exist on 29/03/2026 in London: clocks go forward from 01:00 to 02:00"},
        {London, At(2026, 3, 29, 1, 59, 59), K::Skipped, At(2026, 3, 29, 1, 59, 59),
         At(2026, 3, 29, 1), At(2026, 3, 29, 0, 59, 59), At(2026, 3, 29, 2),
         "01:59:59 does not exist on 29/03/2026 in London: clocks go forward from 01:00 to "
         "02:00"},
        {London, At(2026, 3, 29, 0, 59, 59), K::Unique, At(2026, 3, 29, 0, 59, 59),
         At(2026, 3, 29, 0, 59, 59), At(2026, 3, 29, 0, 59, 59), At(2026, 3, 29, 0, 59, 59), ""},
        {London, ldn + 2.0 / 24, K::Unique, At(2026, 3, 29, 1), At(2026, 3, 29, 1),
         At(2026, 3, 29, 1), At(2026, 3, 29, 2), ""},
        {London, lda + 1.5 / 24, K::Repeated, At(2026, 10, 25, 0, 30), At(2026, 10, 25, 1),
         At(2026, 10, 25, 1, 30), At(2026, 10, 25, 1, 30), ""},
        {London, At(2026, 10, 25, 1), K::Repeated, At(2026, 10, 25, 0), At(2026, 10, 25, 1),
         At(2026, 10, 25, 1), At(2026, 10, 25, 1), ""},
        {London, At(2026, 10, 25, 2), K::Unique, At(2026, 10, 25, 2), At(2026, 10, 25, 2),
         At(2026, 10, 25, 2), At(2026, 10, 25, 2), ""},
        {LordHowe, At(2026, 10, 4, 2, 15), K::Skipped, At(2026, 10, 3, 15, 45),
         At(2026, 10, 3, 15, 30), At(2026, 10, 3, 15, 15), At(2026, 10, 4, 2, 30),
         "02:15 does not exist on 04/10/2026 in Lord Howe: clocks go forward from 02:00 to "
         "02:30"},
        {LordHowe, At(2026, 10, 4, 2, 30), K::Unique, At(2026, 10, 3, 15, 30),
         At(2026, 10, 3, 15, 30), At(2026, 10, 3, 15, 30), At(2026, 10, 4, 2, 30), ""},
        {LordHowe, At(2026, 4, 5, 1, 45), K::Repeated, At(2026, 4, 4, 14, 45),
         At(2026, 4, 4, 15), At(2026, 4, 4, 15, 15), At(2026, 4, 5, 1, 45), ""},
        {Sydney, At(2026, 10, 4, 2, 30), K::Skipped, At(2026, 10, 3, 16, 30),
         At(2026, 10, 3, 16), At(2026, 10, 3, 15, 30), At(2026, 10, 4, 3),
         "02:30 does not exist on 04/10/2026 in Sydney: clocks go forward from 02:00 to 03:00"},
        {Sydney, At(2026, 4, 5, 2, 30), K::Repeated, At(2026, 4, 4, 15, 30), At(2026, 4, 4, 16),
         At(2026, 4, 4, 16, 30), At(2026, 4, 5, 2, 30), ""},
        {Santiago, At(2026, 9, 6), K::Skipped, At(2026, 9, 6, 4), At(2026, 9, 6, 4),
         At(2026, 9, 6, 3), At(2026, 9, 6, 1),
         "00:00 does not exist on 06/09/2026 in Santiago: clocks go forward from 00:00 to 01:00"},
        {Santiago, At(2026, 9, 6, 1), K::Unique, At(2026, 9, 6, 4), At(2026, 9, 6, 4),
         At(2026, 9, 6, 4), At(2026, 9, 6, 1), ""},
        {Santiago, At(2026, 4, 4, 23, 30), K::Repeated, At(2026, 4, 5, 2, 30), At(2026, 4, 5, 3),
         At(2026, 4, 5, 3, 30), At(2026, 4, 4, 23, 30), ""},
        {Santiago, At(2026, 4, 5), K::Unique, At(2026, 4, 5, 4), At(2026, 4, 5, 4),
         At(2026, 4, 5, 4), At(2026, 4, 5), ""},
    };
    const double ms = 1.0 / MSecsPerDay;
    for (const Case& c : cases) {
        TTimeLocation l = c.place();
        const std::string what = l.Name + " " + FormatDateTime("dd/mm/yyyy hh:nn:ss", c.wall);
        int y = 0, m = 0, d = 0;
        DecodeDate(c.wall, y, m, d);
        const std::string date = Format("%02d/%02d/%04d", d, m, y);
        const TWallTime w = l.LookupWallTime(c.wall);
        EXPECT_EQ(w.Kind, c.kind) << what;
        EXPECT_NEAR(w.Pre, c.pre, ms) << what;
        EXPECT_NEAR(w.Trans, c.trans, ms) << what;
        EXPECT_NEAR(w.Post, c.post, ms) << what;
        EXPECT_EQ(l.SkippedWallTimeText(c.wall, date), c.refusal) << what;
        // The way back: the instant taken shows as the wall time, or as the
        // end of the gap, and the offset shown is the one in force then.
        l.ImposeAlternate(c.wall);
        EXPECT_NEAR(l.UTC(), w.Instant(), ms) << what;
        EXPECT_NEAR(l.CurrentDateTime(), c.shown, ms) << what;
        EXPECT_NEAR(l.TimeIn(l), c.shown, ms) << what; // the calculator's answer
    }
    // No change, no gap: a place without daylight saving.
    const TWallTime fixed = RulePlace("Kolkata", 5.5, "0").LookupWallTime(At(2026, 3, 29, 1, 30));
    EXPECT_EQ(fixed.Kind, K::Unique);
    EXPECT_NEAR(fixed.Trans, At(2026, 3, 28, 20), ms);
}
