// Daylight-saving rules: one transition (TDSTEvent), a named pair of them
// (TDSTRule), their one-line text forms, and the calendar routines they use.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

// ------------------------------------------------------- calendar routines

int YearOfDate(TDateTime date);
std::string DayName(int day);         // 1 = Sunday .. 7 = Saturday, else "Undefined"
std::string MonthName(int month);     // 1 = January .. 12, else "Undefined"
int DaysInMonth(int year, int month); // 0 for a month outside 1-12
// Day of the month of the first..fourth (kind 1-4) or last (kind 5) given
// weekday (1 = Sunday); 1 for any other kind or a month outside 1-12.
int NthWeekdayOfMonth(int year, int month, int weekday, int kind);
// Whole hours ("2") or hours:minutes:seconds ("2:30:00"); raises EConvertError
// when the hours are not an integer.
double ParseTimeOfDay(const std::string& text);
std::string FormatTimeOfDay(TDateTime dt); // "HH:MM:SS"
TDateTime AddHours(double hours, TDateTime date);
double FracOfDate(TDateTime date); // date minus its integer part

// 1 = "Sunday" .. 7 = "Saturday", exactly as DayName spells them; else 0.
int DayOfWeekFromName(const std::string& name);

// A transition of the system's time-zone record: month 0 = none; year 0 =
// weekday form (day 1-4 = first..fourth, 5 = last), else a fixed date.
struct TSystemTime {
    uint16_t wYear = 0, wMonth = 0, wDayOfWeek = 0, wDay = 0;
    uint16_t wHour = 0, wMinute = 0, wSecond = 0, wMilliseconds = 0;
    bool operator==(const TSystemTime&) const = default;
};
constexpr size_t TZIRecordSize = 44;

// ------------------------------------------------------------- transitions

class TDSTEvent {
public:
    // 0 none; 1-4 first..fourth weekday of the month; 5 last weekday; 6 fixed day.
    uint8_t Kind = 0;
    int Month = 1;
    int Day = 1;               // weekday (1 = Sunday) for kinds 1-5, day of the month for kind 6
    int Bias = 0;              // minutes added to the standard offset from this transition on
    TDateTime Time = 2.0 / 24; // local standard time of day; only the fraction counts
    std::string ZoneName;      // the system's name of this period; not in the text form

    void Copy(const TDSTEvent& source);

    // False when the transition can never happen (a month outside 1-12, or a
    // weekday outside 1-7 for the weekday kinds): such a rule has no daylight saving.
    bool Occurs() const;
    // The transition instant in the given year. A day beyond the month's end
    // falls on its last day; for an event that never occurs the result is the
    // bare day number, earlier than any real transition.
    TDateTime DateTime(int year) const;
    double Offset() const; // Bias in hours, 0 for kind 0
    std::string Description() const;

    // "L.1.3.60.02:00:00": kind token, day, month, bias, time.
    void ReadDataString(const std::string& text);
    std::string DataString() const;
    void AppendDataString(std::string& out) const; // DataString() appended to out

    // A fixed date takes the current local year.
    void SaveToSystemTime(TSystemTime& st) const;
    // Month 0 leaves the transition as it was; raises EConvertError for a
    // time of day that is not one.
    void LoadFromSystemTime(const TSystemTime& st);
};

// ------------------------------------------------------------------- rules

class TDSTRule {
public:
    std::string Name = "New Rule";
    std::string Notes;
    int Bias = 0; // standard bias in minutes, system sign; not in the text form
    TDSTEvent StartDate;
    TDSTEvent StopDate;

    void Copy(const TDSTRule& source);

    // X is the location's local standard time.
    int CurrentBias(TDateTime x) const;
    double CurrentOffset(TDateTime x) const;
    TDateTime StartDateTime(TDateTime x) const;
    TDateTime StopDateTime(TDateTime x) const;

    // A rule text, or one of the one-character built-in codes "0".."7".
    void ReadDataString(const std::string& text);
    void None();
    std::string DataString() const; // Name/start/stop/Notes
    void AppendDataString(std::string& out) const; // DataString() appended to out
    std::string RuleString() const; // start-stop
    std::string Description() const;

    // The 44-byte little-endian system record: Bias, StandardBias,
    // DaylightBias, StandardDate (stop), DaylightDate (start). A record of
    // another length is incomplete: false, and the rule is left as it was.
    bool LoadFromTZI(const std::vector<uint8_t>& record);
    std::vector<uint8_t> SaveToTZI() const;
};

// The text of a built-in rule code ("0".."7"), empty for anything else.
std::string BuiltInRuleText(const std::string& code);
