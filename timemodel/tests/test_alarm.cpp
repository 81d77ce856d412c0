#include "timemodel/Alarm.h"

#include "TimeTestSupport.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace {

// An enabled alarm at the given local time of a UTC location.
TAlarm AlarmAt(TDateTime t) {
    TAlarm a;
    a.Location.Rule.ReadDataString("0");
    a.AlarmTime = t;
    a.Enabled = true;
    return a;
}

} // namespace

class AlarmTest : public PinnedClockTest {};

TEST_F(AlarmTest, NewAlarm) {
    PinClock(At(2026, 3, 1, 9), 1);
    TAlarm a;
    EXPECT_FALSE(a.Enabled);
    EXPECT_EQ(a.AlarmType, 1);
    EXPECT_EQ(a.TypeString(), "Alarm - Normal");
    EXPECT_DOUBLE_EQ(a.AlarmTime, At(2026, 3, 1, 10, 10));
    EXPECT_EQ(a.EnabledString(), "N");
    EXPECT_EQ(a.AcknowledgedString(), "N");
    EXPECT_EQ(a.RepeatString(), "0");
}

TEST_F(AlarmTest, TypeNames) {
    const char* names[] = {"Alarm - Major", "Alarm - Normal", "Alarm - Minor",       "Connect",
                           "Disconnect",    "Syncronize",     "Execute Application", "Sound File"};
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(AlarmTypeName(t), names[t]);
    EXPECT_EQ(AlarmTypeName(8), "*Undefined Alarm Type");
}

TEST_F(AlarmTest, DueWindowAndLate) {
    TAlarm a = AlarmAt(At(2026, 3, 1, 8));
    PinClock(At(2026, 3, 1, 8), 0);
    EXPECT_FALSE(a.IsDue()); // d = 0
    EXPECT_FALSE(a.IsLate());
    PinClock(At(2026, 3, 1, 8, 0, 0, 1), 0);
    EXPECT_TRUE(a.IsDue());
    PinClock(At(2026, 3, 1, 8, 0, 8, 630), 0);
    EXPECT_TRUE(a.IsDue());
    EXPECT_FALSE(a.IsLate());
    PinClock(At(2026, 3, 1, 8, 0, 8, 650), 0);
    EXPECT_FALSE(a.IsDue());
    EXPECT_TRUE(a.IsLate());

    a.Snooze(5.0 / 1440);
    PinClock(At(2026, 3, 1, 8, 4, 59), 0);
    EXPECT_FALSE(a.IsDue());
    EXPECT_FALSE(a.IsLate());
    PinClock(At(2026, 3, 1, 8, 5, 1), 0);
    EXPECT_TRUE(a.IsDue());
    a.Sounding = true;
    EXPECT_FALSE(a.IsDue());
    a.Sounding = false;
    a.Enabled = false;
    EXPECT_FALSE(a.IsDue());
    a.Enabled = true;
    a.Acknowledged = true;
    EXPECT_FALSE(a.IsDue());
    EXPECT_FALSE(a.IsLate());

    // Exactly at the end of the window: neither due nor late.
    TAlarm edge = AlarmAt(0);
    PinClock(0.0001, 0);
    EXPECT_FALSE(edge.IsDue());
    EXPECT_FALSE(edge.IsLate());
}

TEST_F(AlarmTest, DueByTheLocationsLocalTime) {
    // 08:00 in New York is 13:00 UTC in winter, the computer being in Paris.
    PinClock(At(2026, 1, 10, 13, 0, 2), 1);
    TAlarm a = AlarmAt(At(2026, 1, 10, 8));
    a.Location.StdOffset = -5;
    a.Location.HostOffset = 1;
    a.Location.Rule.ReadDataString("2");
    EXPECT_TRUE(a.IsDue());
}

TEST_F(AlarmTest, SnoozeAndDismiss) {
    TAlarm a = AlarmAt(At(2026, 3, 1, 8));
    a.AlarmType = 0;
    a.Sounding = true;
    a.Snooze(0.01);
    a.Snooze(0.01);
    EXPECT_DOUBLE_EQ(a.SnoozeOffset, 0.02);
    EXPECT_FALSE(a.Sounding);
    EXPECT_FALSE(a.Acknowledged);

    for (int type : {2, 3, 4, 5, 6, 7}) {
        TAlarm b = AlarmAt(At(2026, 3, 1, 8));
        b.AlarmType = uint8_t(type);
        b.Sounding = true;
        b.Snooze(0.01);
        EXPECT_TRUE(b.Acknowledged) << type;
        EXPECT_FALSE(b.Sounding);
        EXPECT_DOUBLE_EQ(b.SnoozeOffset, 0);
    }
    EXPECT_TRUE(a.Dismiss());
    EXPECT_DOUBLE_EQ(a.SnoozeOffset, 0);
    a.SnoozeOffset = 1;
    EXPECT_FALSE(a.Dismiss());
    EXPECT_DOUBLE_EQ(a.SnoozeOffset, 1); // nothing changes
}

TEST_F(AlarmTest, CopyClearsSounding) {
    TAlarm a = AlarmAt(At(2026, 3, 1, 8));
    a.Sounding = true;
    a.Acknowledged = true;
    a.SnoozeOffset = 0.5;
    a.RepeatDays = 7;
    a.Text = "wake up";
    a.AlarmType = 7;
    a.Location.Name = "Home";
    TAlarm b;
    b.Copy(a);
    EXPECT_FALSE(b.Sounding);
    EXPECT_TRUE(b.Acknowledged);
    EXPECT_TRUE(b.Enabled);
    EXPECT_DOUBLE_EQ(b.SnoozeOffset, 0.5);
    EXPECT_EQ(b.DataString('\t'), a.DataString('\t'));
    // A copy is another alarm, however it is made.
    TAlarm c = a;
    c = b;
    EXPECT_NE(b.Id.Value(), a.Id.Value());
    EXPECT_NE(c.Id.Value(), a.Id.Value());
    EXPECT_NE(c.Id.Value(), b.Id.Value());
}

TEST_F(AlarmTest, NextAlarmTime) {
    PinClock(At(2026, 3, 10, 12), 0);
    TAlarm a = AlarmAt(At(2026, 3, 7, 7));
    a.RepeatDays = 1;
    a.Acknowledged = true;
    a.SnoozeOffset = 0.1;
    EXPECT_NEAR(a.NextAlarmTime(), At(2026, 3, 11, 7), 1e-9);
    EXPECT_NEAR(a.AlarmTime, At(2026, 3, 11, 7), 1e-9);
    EXPECT_FALSE(a.Acknowledged);
    EXPECT_DOUBLE_EQ(a.SnoozeOffset, 0);

    // Already ahead: no step, but the state is reset all the same.
    a.Acknowledged = true;
    EXPECT_NEAR(a.NextAlarmTime(), At(2026, 3, 11, 7), 1e-9);
    EXPECT_FALSE(a.Acknowledged);

    // Exactly on a step: that step, not the next one.
    TAlarm b = AlarmAt(At(2026, 3, 9, 12));
    b.RepeatDays = 0.5;
    EXPECT_NEAR(b.NextAlarmTime(), At(2026, 3, 10, 12), 1e-9);

    TAlarm once = AlarmAt(At(2026, 3, 7, 7));
    once.Acknowledged = true;
    EXPECT_DOUBLE_EQ(once.NextAlarmTime(), At(2026, 3, 7, 7));
    EXPECT_TRUE(once.Acknowledged);
}

// A tiny or broken repeat interval must neither hang nor corrupt the alarm.
TEST_F(AlarmTest, NextAlarmTimeWithHostileIntervals) {
    PinClock(At(2026, 3, 10, 12), 0);
    const auto started = std::chrono::steady_clock::now();
    for (double r : {1e-12, 1e-300, std::numeric_limits<double>::denorm_min(), 1e-9}) {
        TAlarm a = AlarmAt(At(2025, 3, 10, 12));
        a.RepeatDays = r;
        const TDateTime next = a.NextAlarmTime();
        EXPECT_TRUE(std::isfinite(next)) << r;
        EXPECT_GE(next, At(2026, 3, 10, 12)) << r;
        EXPECT_LT(next, At(2026, 3, 10, 12) + 1e-6) << r;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    for (double r : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
        TAlarm a = AlarmAt(At(2025, 3, 10, 12));
        a.RepeatDays = r;
        a.Acknowledged = true;
        EXPECT_DOUBLE_EQ(a.NextAlarmTime(), At(2025, 3, 10, 12)) << r;
        EXPECT_TRUE(a.Acknowledged) << r;
    }
}

TEST_F(AlarmTest, RecordText) {
    TAlarm a = AlarmAt(46000.25);
    a.AlarmType = 5;
    a.RepeatDays = 1.5;
    a.Text = "pool.example";
    a.Location.Name = "Here";
    const std::string text = a.DataString('\t');
    EXPECT_EQ(text, "46000.25\tSyncronize\t1.5\tN\tY\tpool.example\t" +
                        a.Location.LocationDataStr('\t') + "!");
    EXPECT_EQ(text.substr(text.size() - 2), "!!");
}

TEST_F(AlarmTest, RecordRoundTrips) {
    TAlarm a = AlarmAt(46000.3125);
    a.AlarmType = 6;
    a.RepeatDays = 0.25;
    a.Acknowledged = true;
    a.Text = "/usr/bin/true --flag";
    a.Location.Name = "Adelaide";
    a.Location.StdOffset = 9.5;
    a.Location.Rule.ReadDataString("4");
    for (char sep : {'\t', '^'})
        for (char written : {'.', ','})
            for (char read : {'.', ','}) {
                FormatSettings.DecimalSeparator = written;
                const std::string text = a.DataString(sep);
                FormatSettings.DecimalSeparator = read;
                TAlarm back;
                back.ParseDataString(text, sep);
                FormatSettings.DecimalSeparator = '.';
                EXPECT_EQ(back.DataString('\t'), a.DataString('\t'));
                EXPECT_EQ(back.Location.LocationDataStr('\t'), a.Location.LocationDataStr('\t'));
            }
}

TEST_F(AlarmTest, UnknownTypeNameAndFlags) {
    TAlarm a;
    a.AlarmType = 0;
    a.Enabled = true;
    a.ParseDataString("46000\talarm - major\t0\ty\tYes\tx\tL\t0\t0\t0\t0\t0!!", '\t');
    EXPECT_EQ(a.AlarmType, 1);
    EXPECT_FALSE(a.Acknowledged);
    EXPECT_FALSE(a.Enabled);
    EXPECT_EQ(a.Location.Name, "L");
    EXPECT_EQ(a.Location.Rule.Name, "None");
}

TEST_F(AlarmTest, ParseErrors) {
    TAlarm a;
    const std::string badTime = "soon\tConnect\t0\tN\tY\t\tL\t0\t0\t0\t0\t0!!";
    try {
        a.ParseDataString(badTime, '\t');
        FAIL() << "no error";
    } catch (const EAlarmDataParseError& e) {
        EXPECT_EQ(e.Message, "Error in Alarm Data: " + badTime + " at 1");
    }
    const std::string badRepeat = "46000\tConnect\tdaily\tN\tY\t\tL\t0\t0\t0\t0\t0!!";
    try {
        a.ParseDataString(badRepeat, '\t');
        FAIL() << "no error";
    } catch (const EAlarmDataParseError& e) {
        EXPECT_EQ(e.Message, "Error in Alarm Data: " + badRepeat + " at 15");
    }
    EXPECT_DOUBLE_EQ(a.AlarmTime, 46000); // read before the failure
    EXPECT_EQ(a.AlarmType, 3);
    const std::string badLocation = "46000\tConnect\t0\tN\tY\tT\tL\t0\tx\t0\t0\t0!!";
    try {
        a.ParseDataString(badLocation, '\t');
        FAIL() << "no error";
    } catch (const EAlarmDataParseError& e) {
        EXPECT_EQ(e.Message, "Error in Alarm Data: " + badLocation + " at 23");
    }
}

TEST_F(AlarmTest, WriterKeepsOneLine) {
    TAlarm a = AlarmAt(46000);
    a.Text = "first line\r\nsecond\tline";
    const std::string text = a.DataString('\t');
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    TAlarm back;
    back.ParseDataString(text, '\t');
    EXPECT_EQ(back.Text, "first line  second line");
    EXPECT_TRUE(back.Enabled);
}

// ------------------------------------------------------------ tracked events

class EventTest : public PinnedClockTest {
protected:
    static TTemperalEvent EventAt(TDateTime t, double interval = 0) {
        TTemperalEvent e;
        e.Location.Rule.ReadDataString("0");
        e.EventDate = t;
        e.IntervalDays = interval;
        e.Title = "Launch";
        return e;
    }
};

TEST_F(EventTest, NewEvent) {
    PinClock(At(2026, 3, 1, 9), 2);
    TTemperalEvent e;
    EXPECT_EQ(e.Title, "New Event");
    EXPECT_DOUBLE_EQ(e.EventDate, At(2026, 3, 1, 11));
    EXPECT_EQ(e.IntervalDays, 0);
}

TEST_F(EventTest, SixHundredDaysAgo) {
    const TDateTime now = At(2026, 3, 1, 9);
    PinClock(now, 0);
    TTemperalEvent e = EventAt(now - 600);
    // 2024-07-09: a year to 2025-07-09, 7 months to 2026-02-09, 20 days on.
    EXPECT_EQ(e.IYears(), 1);
    EXPECT_EQ(e.IMonths(), 7);
    EXPECT_EQ(e.IDays(), 20);
    EXPECT_EQ(e.IHours(), 0);
    EXPECT_EQ(e.TitleString(), "Since Launch");
    EXPECT_DOUBLE_EQ(e.TotDays(), 600);
    EXPECT_DOUBLE_EQ(e.TotWeeks(), 600.0 / 7);
    EXPECT_DOUBLE_EQ(e.TotHours(), 14400);
    EXPECT_DOUBLE_EQ(e.TotMins(), 864000);
    EXPECT_DOUBLE_EQ(e.TotSecs(), 51840000);
    EXPECT_DOUBLE_EQ(e.TotYears(), 600 / 365.25);
    EXPECT_DOUBLE_EQ(e.TotMonths(), 600 / 30.4375);
    EXPECT_DOUBLE_EQ(e.EventDate, now - 600); // no recurrence
}

// The breakdown counts calendar years, months and days from the event's date
// to now; the totals keep their average year and month.
TEST_F(EventTest, TheBreakdownCountsCalendarYearsMonthsAndDays) {
    struct TCase {
        TDateTime Now, Event;
        int Years, Months, Days, Hours;
    };
    const TCase cases[] = {
        // One year back, forward, and on the hour.
        {At(2026, 12, 9, 10), At(2025, 12, 9, 10), 1, 0, 0, 0},
        {At(2026, 12, 9, 10), At(2027, 12, 9, 10), 1, 0, 0, 0},
        {At(2027, 3, 1, 9), At(2026, 3, 1, 9), 1, 0, 0, 0},
        // A second short of the year, and a year and a bit.
        {At(2026, 12, 9, 10), At(2025, 12, 9, 10, 0, 1), 0, 11, 29, 23},
        {At(2026, 12, 9, 10), At(2025, 12, 8, 22), 1, 0, 0, 12},
        // Leap years: 29 February 2024 to the same date, and on.
        {At(2028, 2, 29), At(2024, 2, 29), 4, 0, 0, 0},
        {At(2025, 3, 1), At(2024, 2, 29), 1, 0, 1, 0},
        {At(2024, 3, 1), At(2023, 3, 1), 1, 0, 0, 0},
        {At(2024, 3, 1), At(2024, 2, 1), 0, 1, 0, 0},
        {At(2024, 2, 29), At(2024, 1, 29), 0, 1, 0, 0},
        // A month end the next month lacks is its last day.
        {At(2026, 2, 28), At(2026, 1, 31), 0, 1, 0, 0},
        {At(2026, 3, 1), At(2026, 1, 31), 0, 1, 1, 0},
        {At(2026, 4, 30), At(2026, 3, 31), 0, 1, 0, 0},
        {At(2026, 4, 29), At(2026, 3, 31), 0, 0, 29, 0},
        // Ahead: counted from the event back toward now.
        {At(2026, 3, 1), At(2026, 3, 31), 0, 0, 30, 0},
        {At(2026, 1, 31), At(2026, 3, 1, 6), 0, 1, 1, 6},
    };
    for (const TCase& c : cases) {
        PinClock(c.Now, 0);
        TTemperalEvent e = EventAt(c.Event);
        SCOPED_TRACE(FormatDateTime("yyyy-mm-dd hh:nn:ss", c.Event) + " at " +
                     FormatDateTime("yyyy-mm-dd hh:nn", c.Now));
        EXPECT_EQ(e.IYears(), c.Years);
        EXPECT_EQ(e.IMonths(), c.Months);
        EXPECT_EQ(e.IDays(), c.Days);
        EXPECT_EQ(e.IHours(), c.Hours);
        EXPECT_NEAR(e.TotYears(), std::fabs(c.Now - c.Event) / 365.25, 1e-9);
    }
}

// Hours, minutes and seconds come from whole milliseconds.
TEST_F(EventTest, ExactHoursAhead) {
    const TDateTime now = At(2026, 3, 10, 10, 17, 3);
    PinClock(now, 0);
    TTemperalEvent e = EventAt(now + 2.0 / 24);
    EXPECT_EQ(e.TitleString(), "Until Launch");
    EXPECT_EQ(e.IDays(), 0);
    EXPECT_EQ(e.IHours(), 2);
    EXPECT_EQ(e.IMins(), 0);
    EXPECT_EQ(e.ISecs(), 0);
    for (int minutes = 1; minutes < 3000; minutes += 7) {
        TTemperalEvent f = EventAt(now + minutes / 1440.0);
        ASSERT_EQ(f.IHours(), (minutes / 60) % 24) << minutes;
        ASSERT_EQ(f.IMins(), minutes % 60) << minutes;
        ASSERT_EQ(f.ISecs(), 0) << minutes;
        ASSERT_EQ(f.IDays(), minutes / 1440) << minutes;
    }
}

// A past recurring event moves on to its next occurrence in one call, and
// every figure of a refresh describes that same occurrence.
TEST_F(EventTest, RecurrenceAdvancesOnceToTheFuture) {
    const TDateTime now = At(2026, 3, 10, 12);
    PinClock(now, 0);
    TTemperalEvent e = EventAt(now - 10.5, 7);
    e.AdvanceRecurrence();
    EXPECT_NEAR(e.EventDate, now + 3.5, 1e-9);
    e.AdvanceRecurrence();
    EXPECT_NEAR(e.EventDate, now + 3.5, 1e-9);
    EXPECT_EQ(e.TitleString(), "Until Launch");
    EXPECT_EQ(e.IDays(), 3);
    EXPECT_EQ(e.IHours(), 12);
    EXPECT_EQ(e.IYears(), 0);
    EXPECT_DOUBLE_EQ(e.TotDays(), 3.5);

    // The title and the years are judged against the advanced date too.
    TTemperalEvent yearly = EventAt(At(2020, 6, 1), 365.25);
    EXPECT_EQ(yearly.IYears(), 0);
    EXPECT_EQ(yearly.TitleString(), "Until Launch");

    for (double interval : {0.0, -7.0, std::nan("")}) {
        TTemperalEvent f = EventAt(now - 10.5, interval);
        EXPECT_DOUBLE_EQ(f.ElapsedDays(), 10.5);
        EXPECT_EQ(f.TitleString(), "Since Launch");
    }
    TTemperalEvent tiny = EventAt(now - 1000, 1e-300);
    EXPECT_GE(tiny.ElapsedDays(), 0);
    EXPECT_LT(tiny.ElapsedDays(), 1e-6);
}

TEST_F(EventTest, RecordRoundTrips) {
    TTemperalEvent e = EventAt(45000.75, 365.25);
    e.Location.Name = "Wellington";
    e.Location.StdOffset = 12;
    e.Location.Rule.ReadDataString("6");
    const std::string text = e.EventDataString('\t');
    EXPECT_EQ(text, "45000.75\tLaunch\t365.25\t" + e.Location.LocationDataStr('\t') + "!");
    EXPECT_EQ(text.substr(text.size() - 2), "!!");
    for (char sep : {'\t', '^'})
        for (char written : {'.', ','})
            for (char read : {'.', ','}) {
                FormatSettings.DecimalSeparator = written;
                const std::string t = e.EventDataString(sep);
                FormatSettings.DecimalSeparator = read;
                TTemperalEvent back;
                back.ParseDataString(t, sep);
                FormatSettings.DecimalSeparator = '.';
                EXPECT_EQ(back.EventDataString('\t'), text);
            }
}

TEST_F(EventTest, ParseErrors) {
    TTemperalEvent e;
    const std::string bad = "45000\tLaunch\tweekly\tL\t0\t0\t0\t0\t0!!";
    try {
        e.ParseDataString(bad, '\t');
        FAIL() << "no error";
    } catch (const ETemperalEventDataParseError& x) {
        EXPECT_EQ(x.Message, "Error in Event Data: " + bad + " at pos14");
    }
    EXPECT_EQ(e.Title, "Launch");
    EXPECT_THROW(e.ParseDataString("yesterday\tx", '\t'), ETemperalEventDataParseError);
    EXPECT_THROW(e.ParseDataString("45000\tx\t0\tL\tnope!!", '\t'), ETemperalEventDataParseError);
}

TEST_F(EventTest, WriterKeepsOneLine) {
    TTemperalEvent e = EventAt(45000);
    e.Title = "Two\nlines\tand tab";
    const std::string text = e.EventDataString('\t');
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    TTemperalEvent back;
    back.ParseDataString(text, '\t');
    EXPECT_EQ(back.Title, "Two lines and tab");
    EXPECT_DOUBLE_EQ(back.EventDate, 45000);
}

// Alarms and Dayloom items on the days London's clocks change: a daily
// alarm set inside the skipped hour rings at its end, one in the repeated
// hour rings at the first occurrence only, and a countdown runs to the
// instant the item happens.
TEST_F(AlarmTest, AcrossTheClockChanges) {
    const auto inLondon = [](TTimeLocation& l) {
        l.Name = "London";
        l.StdOffset = 0;
        l.HostOffset = 0;
        l.Rule.ReadDataString("GB/L.1.3.60.01:00:00/L.1.10.0.01:00:00/");
    };
    const auto at = [](TDateTime utc) { PinClock(utc, 0); };

    // Spring: 01:30 does not exist; the daily alarm rings at 02:00 BST (01:00 UTC).
    TAlarm spring = AlarmAt(At(2026, 3, 29, 1, 30));
    inLondon(spring.Location);
    spring.RepeatDays = 1;
    at(At(2026, 3, 29, 0, 59, 58));
    EXPECT_FALSE(spring.IsDue());
    at(At(2026, 3, 29, 1, 0, 3));
    EXPECT_TRUE(spring.IsDue());
    EXPECT_FALSE(spring.IsLate());
    spring.Dismiss();
    EXPECT_NEAR(spring.NextAlarmTime(), At(2026, 3, 30, 1, 30), 1e-9);
    at(At(2026, 3, 30, 0, 30, 3)); // 01:30:03 BST the next day
    EXPECT_TRUE(spring.IsDue());

    // Autumn: 01:30 happens at 00:30 UTC (BST) and at 01:30 UTC (GMT).
    for (const bool answeredLate : {false, true}) {
        TAlarm autumn = AlarmAt(At(2026, 10, 25, 1, 30));
        inLondon(autumn.Location);
        autumn.RepeatDays = 1;
        at(At(2026, 10, 25, 0, 30, 3));
        EXPECT_TRUE(autumn.IsDue());
        autumn.Sounding = true;
        // Answered at once, or only after the clocks went back (01:10 GMT).
        if (answeredLate) at(At(2026, 10, 25, 1, 10));
        autumn.Dismiss();
        EXPECT_NEAR(autumn.NextAlarmTime(), At(2026, 10, 26, 1, 30), 1e-9) << answeredLate;
        at(At(2026, 10, 25, 1, 30, 3));
        EXPECT_FALSE(autumn.IsDue()) << answeredLate;
        EXPECT_FALSE(autumn.IsLate()) << answeredLate;
    }
    // Missed at its first occurrence (the program was not running): late, not
    // due again at the second.
    TAlarm once = AlarmAt(At(2026, 10, 25, 1, 30));
    inLondon(once.Location);
    at(At(2026, 10, 25, 1, 30, 3));
    EXPECT_FALSE(once.IsDue());
    EXPECT_TRUE(once.IsLate());

    // A weekly Dayloom item that comes round to 01:30 on the spring day
    // happens at 02:00 BST; over the change its countdown is real time.
    TTemperalEvent item;
    inLondon(item.Location);
    item.EventDate = At(2026, 3, 22, 1, 30);
    item.IntervalDays = 7;
    item.Title = "Launch";
    at(At(2026, 3, 29, 0, 59, 50));
    EXPECT_EQ(item.TitleString(), "Until Launch");
    EXPECT_NEAR(item.EventDate, At(2026, 3, 29, 1, 30), 1e-9);
    EXPECT_NEAR(item.TotSecs(), 10, 1e-6);
    // Past, so on to 05/04 01:30 BST (00:30 UTC): a week less the half hour after the change.
    at(At(2026, 3, 29, 1, 0, 10));
    EXPECT_EQ(item.TitleString(), "Until Launch");
    EXPECT_NEAR(item.EventDate, At(2026, 4, 5, 1, 30), 1e-9);
    EXPECT_NEAR(item.TotSecs(), 7 * 86400 - 1810, 1e-6);
    TTemperalEvent summer;
    inLondon(summer.Location);
    summer.EventDate = At(2026, 3, 29, 12); // noon BST, 11:00 UTC
    at(At(2026, 3, 28, 12));                // noon GMT the day before
    EXPECT_EQ(summer.IHours(), 23);
    EXPECT_EQ(summer.IDays(), 0);
}
