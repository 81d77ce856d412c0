#include "timemodel/Alarm.h"

#include "timemodel/HXString.h"
#include "timemodel/RecordField.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr double DueWindow = 0.0001; // days: 8.64 seconds

// start + k * step for the least k >= 1 that is not before now (now > start),
// computed in one go: a tiny step must not turn into millions of additions.
double FirstStepNotBefore(double start, double step, double now) {
    double k = std::ceil((now - start) / step);
    if (!std::isfinite(k)) return now;
    if (k < 1) k = 1;
    double next = start + k * step;
    if (next < now)
        next = start + (k + 1) * step;
    else if (k > 1 && start + (k - 1) * step >= now)
        next = start + (k - 1) * step;
    // A step below the resolution of the dates lands on "now" itself.
    if (!std::isfinite(next) || next < now) next = now;
    return next;
}

// The first of start + k * step (k >= 1) whose instant at the place is not
// before utcNow. The steps are wall times; where the clocks went back, the
// wall time can read earlier than an occurrence already passed.
double FirstOccurrenceNotBefore(const TTimeLocation& place, double start, double step,
                                double utcNow) {
    double next = start;
    for (int round = 0; round < 4; ++round) {
        const double behind = utcNow - place.LookupWallTime(next).Instant();
        if (!(behind > 0)) break;
        next = FirstStepNotBefore(next, step, next + behind);
    }
    return next;
}

int TruncToInt(double v) {
    if (!std::isfinite(v)) return 0;
    v = std::trunc(v);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return int(v);
}

// The location record closing an alarm or event line: the rest of the line
// from p, less the line's own closing "!".
std::string TrailingLocation(const std::string& text, int p) {
    return SubString(text, p, int(text.size()) - p);
}

} // namespace

// ------------------------------------------------------------------- alarm

std::string AlarmTypeName(int type) {
    static const char* const names[8] = {
        "Alarm - Major", "Alarm - Normal", "Alarm - Minor",       "Connect",
        "Disconnect",    "Syncronize",     "Execute Application", "Sound File"};
    return type >= 0 && type <= 7 ? names[type] : "*Undefined Alarm Type";
}

TAlarmId::TAlarmId() {
    static std::atomic<uint64_t> next{1};
    FValue = next++;
}

TAlarm::TAlarm() : AlarmTime(Now() + 1.0 / 144) {}

void TAlarm::Copy(const TAlarm& source) {
    AlarmTime = source.AlarmTime;
    AlarmType = source.AlarmType;
    Location.Copy(source.Location);
    RepeatDays = source.RepeatDays;
    Text = source.Text;
    Acknowledged = source.Acknowledged;
    Enabled = source.Enabled;
    SnoozeOffset = source.SnoozeOffset;
    Sounding = false;
}

// Judged in instants: a wall time the clocks skip comes due at the first
// instant after the gap, one they repeat at its first occurrence only.
double TAlarm::Overdue() const {
    return Location.UTC() - Location.LookupWallTime(AlarmTime + SnoozeOffset).Instant();
}

bool TAlarm::IsDue() const {
    if (!Enabled || Acknowledged || Sounding) return false;
    const double d = Overdue();
    return d > 0 && d < DueWindow;
}

bool TAlarm::IsLate() const {
    return Enabled && !Acknowledged && !Sounding && Overdue() > DueWindow;
}

void TAlarm::Snooze(double days) {
    if (AlarmType == 0 || AlarmType == 1) {
        SnoozeOffset += days;
        Sounding = false;
    } else {
        Dismiss();
    }
}

bool TAlarm::Dismiss() {
    if (Acknowledged) return false;
    Acknowledged = true;
    Sounding = false;
    SnoozeOffset = 0;
    return true;
}

TDateTime TAlarm::NextAlarmTime() {
    if (!(RepeatDays > 0) || !std::isfinite(RepeatDays) || !std::isfinite(AlarmTime))
        return AlarmTime;
    const TDateTime utcNow = Location.UTC();
    if (utcNow > Location.LookupWallTime(AlarmTime).Instant())
        AlarmTime = FirstOccurrenceNotBefore(Location, AlarmTime, RepeatDays, utcNow);
    Acknowledged = false;
    SnoozeOffset = 0;
    return AlarmTime;
}

std::string TAlarm::AlarmTimeString(const std::string& pattern) const {
    return FormatDateTime(pattern, AlarmTime);
}

std::string TAlarm::TypeString() const {
    return AlarmTypeName(AlarmType);
}

std::string TAlarm::RepeatString() const {
    return FloatToStr(RepeatDays);
}

std::string TAlarm::DataString(char separator) const {
    const std::string s(1, separator);
    return RecordFloatText(AlarmTime) + s + TypeString() + s + RecordFloatText(RepeatDays) + s +
           AcknowledgedString() + s + EnabledString() + s + OneLineField(Text, separator) + s +
           Location.LocationDataStr(separator) + "!";
}

void TAlarm::ParseDataString(const std::string& text, char separator) {
    int p = 1;
    const auto field = [&]() { return ReadToken(text, separator, p); };
    const auto next = [&](const std::string& f) { p += int(f.size()) + 1; };
    try {
        std::string f = field();
        AlarmTime = ParseFloat(f);
        next(f);
        f = field();
        AlarmType = 1;
        for (int t = 0; t <= 7; ++t)
            if (f == AlarmTypeName(t)) AlarmType = uint8_t(t);
        next(f);
        f = field();
        RepeatDays = ParseFloat(f);
        next(f);
        f = field();
        Acknowledged = f == "Y";
        next(f);
        f = field();
        Enabled = f == "Y";
        next(f);
        f = field();
        Text = f;
        next(f);
        Location.ParseDataString(TrailingLocation(text, p), separator);
    } catch (const Exception&) {
        throw EAlarmDataParseError("Error in Alarm Data: " + text + " at " + IntToStr(p));
    }
}

// ----------------------------------------------------------- tracked event

TTemperalEvent::TTemperalEvent() : EventDate(Now()) {}

void TTemperalEvent::Copy(const TTemperalEvent& source) {
    Location.Copy(source.Location);
    EventDate = source.EventDate;
    IntervalDays = source.IntervalDays;
    Title = source.Title;
}

void TTemperalEvent::AdvanceRecurrence() {
    if (!(IntervalDays > 0) || !std::isfinite(IntervalDays) || !std::isfinite(EventDate)) return;
    const TDateTime utcNow = Location.UTC();
    if (utcNow - Location.LookupWallTime(EventDate).Instant() > 0)
        EventDate = FirstOccurrenceNotBefore(Location, EventDate, IntervalDays, utcNow);
}

double TTemperalEvent::SignedElapsedDays() const {
    return Location.UTC() - Location.LookupWallTime(EventDate).Instant();
}

// The time between the instants, not the wall times: across a change of the
// clocks the two differ by the change.
double TTemperalEvent::ElapsedMilliseconds() {
    AdvanceRecurrence();
    const double ms = std::nearbyint(std::fabs(SignedElapsedDays()) * MSecsPerDay);
    return std::isfinite(ms) ? ms : 0;
}

double TTemperalEvent::ElapsedDays() {
    return ElapsedMilliseconds() / MSecsPerDay;
}

double TTemperalEvent::TotYears() {
    return ElapsedDays() / 365.25;
}
double TTemperalEvent::TotWeeks() {
    return ElapsedDays() / 7;
}
double TTemperalEvent::TotMonths() {
    return ElapsedDays() / 30.4375;
}
double TTemperalEvent::TotDays() {
    return ElapsedDays();
}
double TTemperalEvent::TotHours() {
    return ElapsedDays() * 24;
}
double TTemperalEvent::TotMins() {
    return ElapsedDays() * 1440;
}
double TTemperalEvent::TotSecs() {
    return ElapsedMilliseconds() / 1000;
}

namespace {

// The day number of the date months after (before, when negative) the given
// one; a day the target month lacks becomes its last day, as on a calendar.
bool AddCalendarMonths(int year, int month, int day, int months, TDateTime& result) {
    const int64_t total = int64_t(year) * 12 + (month - 1) + months;
    if (total < 12 || total >= 10000 * 12) return false;
    const int y = int(total / 12), m = int(total % 12) + 1;
    return TryEncodeDate(y, m, std::min(day, DaysInAMonth(y, m)), result);
}

} // namespace

// Counted on the calendar from the event's date toward now, a month at a
// time (a day the month lacks is its last day), then the whole days left:
// one year back today reads 1 year 0 months 0 days. The days left are whole
// days of the span, so the hours, minutes and seconds figures still add up.
TTemperalEvent::TCalendarSpan TTemperalEvent::CalendarSpan() {
    const double elapsedMs = ElapsedMilliseconds();
    const TDateTime now = CurrentDateTime();
    TCalendarSpan r;
    int y = 0, m = 0, d = 0, ey = 0, em = 0, ed = 0;
    DecodeDate(now, y, m, d);
    DecodeDate(EventDate, ey, em, ed);
    TDateTime eventDay = 0;
    if (y == 0 || ey == 0 || !TryEncodeDate(ey, em, ed, eventDay)) {
        // Beyond the calendar's years: the average year and month.
        const double days = elapsedMs / MSecsPerDay;
        r.Years = TruncToInt(days / 365.25);
        r.Months = TruncToInt(days / 30.4375 - r.Years * 12.0);
        r.Days = TruncToInt(days - r.Months * 30.4375 - r.Years * 365.25);
        return r;
    }
    const int toward = SignedElapsedDays() >= 0 ? 1 : -1;
    int months = std::abs((y * 12 + m) - (ey * 12 + em));
    double spanDays = 0;
    for (; months > 0; --months) {
        TDateTime stepped = 0;
        if (!AddCalendarMonths(ey, em, ed, toward * months, stepped)) continue;
        spanDays = std::fabs(stepped - eventDay);
        if (spanDays * MSecsPerDay <= elapsedMs) break;
    }
    if (months == 0) spanDays = 0;
    r.Years = months / 12;
    r.Months = months % 12;
    r.Days = TruncToInt((elapsedMs - spanDays * MSecsPerDay) / MSecsPerDay);
    return r;
}

int TTemperalEvent::IYears() {
    return CalendarSpan().Years;
}

int TTemperalEvent::IMonths() {
    return CalendarSpan().Months;
}

int TTemperalEvent::IDays() {
    return CalendarSpan().Days;
}

int TTemperalEvent::IHours() {
    return TruncToInt(std::fmod(ElapsedMilliseconds(), MSecsPerDay) / 3600000.0);
}

int TTemperalEvent::IMins() {
    return TruncToInt(std::fmod(ElapsedMilliseconds(), 3600000.0) / 60000.0);
}

int TTemperalEvent::ISecs() {
    return TruncToInt(std::fmod(ElapsedMilliseconds(), 60000.0) / 1000.0);
}

std::string TTemperalEvent::EventDateString(const std::string& pattern) const {
    return FormatDateTime(pattern, EventDate);
}

std::string TTemperalEvent::TitleString() {
    AdvanceRecurrence();
    return (SignedElapsedDays() >= 0 ? "Since " : "Until ") + Title;
}

std::string TTemperalEvent::EventDataString(char separator) const {
    const std::string s(1, separator);
    return RecordFloatText(EventDate) + s + OneLineField(Title, separator) + s +
           RecordFloatText(IntervalDays) + s + Location.LocationDataStr(separator) + "!";
}

void TTemperalEvent::ParseDataString(const std::string& text, char separator) {
    int p = 1;
    try {
        std::string f = ReadToken(text, separator, p);
        EventDate = ParseFloat(f);
        p += int(f.size()) + 1;
        f = ReadToken(text, separator, p);
        Title = f;
        p += int(f.size()) + 1;
        f = ReadToken(text, separator, p);
        IntervalDays = ParseFloat(f);
        p += int(f.size()) + 1;
        Location.ParseDataString(TrailingLocation(text, p), separator);
    } catch (const Exception&) {
        throw ETemperalEventDataParseError("Error in Event Data: " + text + " at pos" +
                                           IntToStr(p));
    }
}
