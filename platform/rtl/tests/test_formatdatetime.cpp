#include "platform/rtl/SysUtils.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

TDateTime At(int y, int mo, int d, int h, int n, int s, int z) {
    return EncodeDate(y, mo, d) + EncodeTime(h, n, s, z);
}

// A locale with other names and separators.
TFormatSettings German() {
    TFormatSettings fs;
    const char* months[12] = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                              "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    const char* shortMonths[12] = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                   "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    const char* days[7] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                           "Donnerstag", "Freitag", "Samstag"};
    const char* shortDays[7] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    for (int i = 0; i < 12; ++i) {
        fs.LongMonthNames[i] = months[i];
        fs.ShortMonthNames[i] = shortMonths[i];
    }
    for (int i = 0; i < 7; ++i) {
        fs.LongDayNames[i] = days[i];
        fs.ShortDayNames[i] = shortDays[i];
    }
    fs.DecimalSeparator = ',';
    fs.DateSeparator = '.';
    fs.TimeSeparator = '.';
    fs.ShortDateFormat = "dd/mm/yyyy";
    fs.LongTimeFormat = "hh:nn:ss";
    return fs;
}

struct TClockCase {
    const char* Pattern;
    const char* Midnight;
    const char* Noon;
    const char* LastMs;    // 23:59:59.999
    const char* Afternoon; // 13:05:09
};

// The clock patterns a clock record offers, in its own order.
const TClockCase ClockCases[] = {
    {"HH:MM:SS", "00:00:00", "12:00:00", "23:59:59", "13:05:09"},
    {"HH:MM", "00:00", "12:00", "23:59", "13:05"},
    {"h:mm:ss am/pm", "12:00:00 am", "12:00:00 pm", "11:59:59 pm", "1:05:09 pm"},
    {"h:mm am/pm", "12:00 am", "12:00 pm", "11:59 pm", "1:05 pm"},
    {"h:mm:ss a/p", "12:00:00 a", "12:00:00 p", "11:59:59 p", "1:05:09 p"},
    {"h:mm a/p", "12:00 a", "12:00 p", "11:59 p", "1:05 p"},
    {"H:MM:SS", "0:00:00", "12:00:00", "23:59:59", "13:05:09"},
    {"H:MM", "0:00", "12:00", "23:59", "13:05"},
    {"h:mm:ss", "0:00:00", "12:00:00", "23:59:59", "13:05:09"},
    {"h:mm", "0:00", "12:00", "23:59", "13:05"},
    {"H.M.S", "0.0.0", "12.0.0", "23.59.59", "13.5.9"},
    {"h.m.s", "0.0.0", "12.0.0", "23.59.59", "13.5.9"},
};

} // namespace

TEST(FormatDateTime, ClockPatternsAtFixedInstants) {
    for (const char sep : {'.', ','}) {
        TFormatSettings fs;
        fs.DecimalSeparator = sep;
        for (const auto& c : ClockCases) {
            SCOPED_TRACE(c.Pattern);
            EXPECT_EQ(FormatDateTime(c.Pattern, At(2026, 1, 1, 0, 0, 0, 0), fs), c.Midnight);
            EXPECT_EQ(FormatDateTime(c.Pattern, At(2024, 2, 29, 12, 0, 0, 0), fs), c.Noon);
            EXPECT_EQ(FormatDateTime(c.Pattern, At(1850, 2, 3, 23, 59, 59, 999), fs), c.LastMs);
            EXPECT_EQ(FormatDateTime(c.Pattern, At(2026, 12, 8, 13, 5, 9, 0), fs), c.Afternoon);
        }
    }
}

TEST(FormatDateTime, DateAndRecordPatterns) {
    const TDateTime t = At(2026, 3, 29, 2, 0, 0, 0);
    EXPECT_EQ(FormatDateTime("MMM D, YYYY HHMM\"h\"", t), "Mar 29, 2026 0200h");
    EXPECT_EQ(FormatDateTime("MMM DD", At(2026, 1, 1, 0, 0, 0, 0)), "Jan 01");
    EXPECT_EQ(FormatDateTime("DDD MMM d, YYYY  ", At(2024, 2, 29, 12, 0, 0, 0)),
              "Thu Feb 29, 2024  ");
    EXPECT_EQ(FormatDateTime("MMMM dd, YYYY", At(1850, 2, 3, 0, 0, 0, 0)), "February 03, 1850");
    const TDateTime pm = At(2026, 12, 8, 14, 45, 5, 0);
    EXPECT_EQ(FormatDateTime("mm/dd/yyyy, \"at\" hh:mm:ss", pm), "12/08/2026, at 14:45:05");
    EXPECT_EQ(FormatDateTime("MM/DD/YYYY\"-\" hh:mm:ss", pm), "12/08/2026- 14:45:05");
    EXPECT_EQ(FormatDateTime("dddd, mmmm d, yyyy, \"at\" hh:mm:ss", pm),
              "Tuesday, December 8, 2026, at 14:45:05");
    EXPECT_EQ(FormatDateTime("MMM-dd-YYYY HH:MM:SS", At(2026, 12, 8, 2, 45, 45, 0)),
              "Dec-08-2026 02:45:45");
    EXPECT_EQ(FormatDateTime("DDDD dd, MMMM, YYYY  HH:MM:SS", pm),
              "Tuesday 08, December, 2026  14:45:05");
    EXPECT_EQ(FormatDateTime("MMM-DD-YYYY HH:MM", pm), "Dec-08-2026 14:45");
    EXPECT_EQ(FormatDateTime("mmmm dd", pm), "December 08");
    EXPECT_EQ(FormatDateTime("mmmm", EncodeDate(2026, 3, 1)), "March");
    EXPECT_EQ(FormatDateTime("MMM, DD", pm), "Dec, 08");
    // Single quotes are literals too; unknown letters are copied.
    EXPECT_EQ(FormatDateTime("'hh' yy/m/d", pm), "hh 26/12/8");
}

TEST(FormatDateTime, MinutesOnlyDirectlyAfterAnHour) {
    const TDateTime t = At(2026, 7, 4, 9, 3, 0, 0);
    EXPECT_EQ(FormatDateTime("mm hh:mm", t), "07 09:03");
    EXPECT_EQ(FormatDateTime("hh dd mm", t), "09 04 07"); // a day token in between
    EXPECT_EQ(FormatDateTime("hh:nn", t), "09:03");
    EXPECT_EQ(FormatDateTime("HHMM", t), "0903");
}

TEST(FormatDateTime, OtherTokens) {
    const TDateTime t = At(1899, 12, 30, 0, 0, 0, 7);
    EXPECT_EQ(FormatDateTime("z zzz", t), "7 007");
    EXPECT_EQ(FormatDateTime("yyyy yy", At(5, 1, 1, 0, 0, 0, 0)), "0005 05");
    EXPECT_EQ(FormatDateTime("AM/PM A/P ampm", At(2026, 1, 1, 13, 0, 0, 0)), "PM P PM");
    EXPECT_EQ(FormatDateTime("hh ampm", At(2026, 1, 1, 0, 30, 0, 0)), "12 AM");
    EXPECT_EQ(FormatDateTime("ddddd", At(2026, 1, 2, 0, 0, 0, 0)), "1/2/2026");
    EXPECT_EQ(FormatDateTime("dddddd", At(2026, 1, 2, 0, 0, 0, 0)), "Friday, January 2, 2026");
    EXPECT_EQ(FormatDateTime("t", At(2026, 1, 2, 15, 7, 0, 0)), "3:07 PM");
    EXPECT_EQ(FormatDateTime("tt", At(2026, 1, 2, 15, 7, 8, 0)), "3:07:08 PM");
    EXPECT_EQ(FormatDateTime("c", At(2026, 1, 2, 0, 0, 0, 0)), "1/2/2026");
    EXPECT_EQ(FormatDateTime("c", At(2026, 1, 2, 15, 7, 8, 0)), "1/2/2026 3:07:08 PM");
    EXPECT_EQ(FormatDateTime("", At(2026, 1, 2, 15, 7, 8, 0)), "1/2/2026 3:07:08 PM");
    EXPECT_EQ(DateToStr(EncodeDate(2026, 1, 2)), "1/2/2026");
}

TEST(FormatDateTime, CarryShowsTheNextDayNotTwentyFour) {
    const TDateTime t = EncodeDate(2026, 12, 31) + 86399999.7 / MSecsPerDay;
    EXPECT_EQ(FormatDateTime("dddd yyyy-mm-dd hh:nn:ss.zzz", t), "Friday 2027-01-01 00:00:00.000");
}

TEST(FormatDateTime, LocaleNamesAndSeparators) {
    const TFormatSettings de = German();
    const TDateTime t = At(2024, 3, 1, 17, 8, 9, 0);
    EXPECT_EQ(FormatDateTime("dddd, d. mmmm yyyy", t, de), "Freitag, 1. März 2024");
    EXPECT_EQ(FormatDateTime("ddd mmm", t, de), "Fr Mär");
    EXPECT_EQ(FormatDateTime("dd/mm/yyyy hh:nn:ss", t, de), "01.03.2024 17.08.09");
    EXPECT_EQ(FormatDateTime("c", t, de), "01.03.2024 17.08.09");
    // The process-wide settings are used when none are given.
    FormatSettings = de;
    EXPECT_EQ(FormatDateTime("mmmm", t), "März");
    ResetFormatSettings();
    EXPECT_EQ(FormatDateTime("mmmm", t), "March");
}

TEST(FormatDateTime, UnterminatedQuoteAndSelfNamingFormatsEnd) {
    EXPECT_EQ(FormatDateTime("yyyy \"rest", EncodeDate(2026, 1, 1)), "2026 rest");
    TFormatSettings fs;
    fs.ShortDateFormat = "ddddd"; // names itself
    EXPECT_NO_THROW(FormatDateTime("c", 1.5, fs));
    EXPECT_EQ(FormatDateTime("dd mmmm", NAN), "00 ");
}
