// Alarms and tracked dates (the Dayloom list): records that follow the local
// time of their own location, with their one-line record texts.
#pragma once

#include "platform/rtl/SysUtils.h"
#include "timemodel/TimeLocation.h"

#include <cstdint>
#include <string>

// Alarm records, and clock records too.
class EAlarmDataParseError : public Exception {
public:
    using Exception::Exception;
};

class ETemperalEventDataParseError : public Exception {
public:
    using Exception::Exception;
};

// Who an alarm is while the program runs: a fresh number for every alarm made,
// never stored and never copied (a copy is another alarm).
class TAlarmId {
public:
    TAlarmId();
    TAlarmId(const TAlarmId&) : TAlarmId() {}
    TAlarmId& operator=(const TAlarmId&) { return *this; }
    uint64_t Value() const { return FValue; }

private:
    uint64_t FValue;
};

class TAlarm {
public:
    TAlarm();

    TDateTime AlarmTime;     // local time of Location
    double SnoozeOffset = 0; // days of accumulated snooze
    double RepeatDays = 0;   // 0 or less: once
    uint8_t AlarmType = 1;
    TTimeLocation Location;
    bool Enabled = false;
    bool Sounding = false;
    bool Acknowledged = false;
    std::string Text; // message, command line or sound file
    TAlarmId Id;

    void Copy(const TAlarm& source);
    bool IsDue() const;  // within 8.64 seconds after AlarmTime + SnoozeOffset
    bool IsLate() const; // beyond that window
    void Snooze(double days);
    bool Dismiss();
    TDateTime NextAlarmTime();
    std::string AlarmTimeString(const std::string& pattern) const;
    std::string TypeString() const;
    std::string RepeatString() const;
    std::string EnabledString() const { return Enabled ? "Y" : "N"; }
    std::string AcknowledgedString() const { return Acknowledged ? "Y" : "N"; }
    std::string DataString(char separator) const;
    void ParseDataString(const std::string& text, char separator);

private:
    double Overdue() const;
};

// The name of an alarm type (also its record text).
std::string AlarmTypeName(int type);

class TTemperalEvent {
public:
    TTemperalEvent();

    TTimeLocation Location;
    TDateTime EventDate;
    double IntervalDays = 0; // recurrence; 0 = none
    std::string Title = "New Event";

    void Copy(const TTemperalEvent& source);
    TDateTime CurrentDateTime() const { return Location.CurrentDateTime(); }
    // Moves a past recurring event on to its first occurrence not in the past.
    void AdvanceRecurrence();
    double ElapsedDays(); // to whole milliseconds

    int IYears();
    int IMonths();
    int IDays();
    int IHours();
    int IMins();
    int ISecs();
    double TotYears();
    double TotWeeks();
    double TotMonths();
    double TotDays();
    double TotHours();
    double TotMins();
    double TotSecs();
    std::string EventDateString(const std::string& pattern) const;
    std::string TitleString();
    std::string EventDataString(char separator) const;
    void ParseDataString(const std::string& text, char separator);

private:
    double ElapsedMilliseconds();
    double SignedElapsedDays() const; // now less the event's instant
    // Whole calendar years, months and days between now and the (advanced)
    // event date.
    struct TCalendarSpan {
        int Years = 0, Months = 0, Days = 0;
    };
    TCalendarSpan CalendarSpan();
};
