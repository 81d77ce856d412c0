#include "timemodel/DST.h"

#include "timemodel/HXString.h"
#include "timemodel/RecordField.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <string_view>
#include <utility>

// ------------------------------------------------------- calendar routines

int YearOfDate(TDateTime date) {
    int y = 0, m = 0, d = 0;
    // Whole days only: the decoder's millisecond rounding must not move the
    // last instant of a year into the next one.
    DecodeDate(std::floor(date), y, m, d);
    return y;
}

std::string DayName(int day) {
    static const char* const names[7] = {"Sunday",   "Monday", "Tuesday", "Wenesday",
                                         "Thursday", "Friday", "Saturday"};
    return day >= 1 && day <= 7 ? names[day - 1] : "Undefined";
}

std::string MonthName(int month) {
    static const char* const names[12] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    return month >= 1 && month <= 12 ? names[month - 1] : "Undefined";
}

int DaysInMonth(int year, int month) {
    TDateTime first, next;
    if (!TryEncodeDate(year, month, 1, first)) return 0;
    if (month == 12) {
        if (!TryEncodeDate(year + 1, 1, 1, next)) return 31; // December 9999
    } else if (!TryEncodeDate(year, month + 1, 1, next)) {
        return 0;
    }
    return int(next - first);
}

int NthWeekdayOfMonth(int year, int month, int weekday, int kind) {
    TDateTime first;
    if (kind < 1 || kind > 5 || !TryEncodeDate(year, month, 1, first)) return 1;
    const auto mod7 = [](int v) { return ((v % 7) + 7) % 7; };
    if (kind == 5) {
        const int last = DaysInMonth(year, month);
        const int e = DayOfWeek(first + last - 1);
        return last - mod7(e - weekday);
    }
    const int f = DayOfWeek(first);
    return 1 + mod7(weekday - f) + (kind - 1) * 7;
}

double ParseTimeOfDay(const std::string& text) {
    // Each part is read once: every place's two transitions pass here at each load.
    int v = 0;
    if (TryStrToInt(text, v)) return v / 24.0;
    const size_t colon1 = text.find(':');
    if (colon1 == std::string::npos) return StrToInt(text) / 24.0; // raises
    double result = StrToInt(text.substr(0, colon1)) / 24.0;      // raises on bad hours
    const std::string rest = text.substr(colon1 + 1);
    const size_t colon2 = rest.find(':');
    if (!TryStrToInt(rest.substr(0, colon2), v)) return result;
    result += v / 1440.0;
    if (colon2 == std::string::npos) return result;
    if (!TryStrToInt(rest.substr(colon2 + 1, 2), v)) return result;
    return result + v / 86400.0;
}

std::string FormatTimeOfDay(TDateTime dt) {
    // FormatDateTime("HH:MM:SS") without the pattern reading: every rule
    // written (each place's record at each load check) passes here.
    int y, mo, d, h, mi, sec, ms;
    DecodeDateTime(dt, y, mo, d, h, mi, sec, ms);
    std::string text;
    for (const int v : {h, mi, sec}) {
        char digits[16];
        if (!text.empty()) text += ':';
        if (v < 10) text += '0';
        text.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
    }
    return text;
}

TDateTime AddHours(double hours, TDateTime date) {
    return date + hours / 24.0;
}

double FracOfDate(TDateTime date) {
    return date - std::trunc(date);
}

// ------------------------------------------------------------- transitions

void TDSTEvent::Copy(const TDSTEvent& source) {
    Kind = source.Kind;
    Month = source.Month;
    Day = source.Day;
    Bias = source.Bias;
    Time = source.Time;
    ZoneName = source.ZoneName;
}

bool TDSTEvent::Occurs() const {
    if (Month < 1 || Month > 12) return false;
    if (Kind >= 1 && Kind <= 5 && (Day < 1 || Day > 7)) return false;
    return true;
}

TDateTime TDSTEvent::DateTime(int year) const {
    int d = 1;
    if (Kind == 6)
        d = Day;
    else if (Kind >= 1 && Kind <= 5)
        d = NthWeekdayOfMonth(year, Month, Day, Kind);
    if (!Occurs()) return d;
    const int last = DaysInMonth(year, Month);
    if (last == 0) return d; // year outside the calendar
    // A fixed day that this month lacks (31 in a 30-day month, 29 February in
    // a common year) is taken as the month's last day.
    if (d > last) d = last;
    if (d < 1) d = 1;
    return EncodeDate(year, Month, d) + FracOfDate(Time);
}

double TDSTEvent::Offset() const {
    return Kind != 0 ? Bias / 60.0 : 0.0;
}

std::string TDSTEvent::Description() const {
    static const char* const ordinals[5] = {"First ", "Second ", "Third ", "Fourth ", "Last "};
    if (Kind == 0) return "No Specified DST";
    if (Kind <= 5) return ordinals[Kind - 1] + DayName(Day) + " in " + MonthName(Month);
    if (Kind == 6) return MonthName(Month) + IntToStr(Day);
    return "DST Unknown";
}

namespace {

// The first N fields of a text split at a delimiter, as GetField numbers
// them from 1; a field the text lacks reads as empty. The text is split
// once: every place's rule is read at each load.
template <size_t N> std::array<std::string_view, N> Fields(std::string_view text, char delimiter) {
    std::array<std::string_view, N> f{};
    for (size_t i = 0, pos = 0; i < N && pos <= text.size(); ++i) {
        const size_t end = std::min(text.find(delimiter, pos), text.size());
        f[i] = text.substr(pos, end - pos);
        pos = end + 1;
    }
    return f;
}

void ReadEvent(TDSTEvent& e, std::string_view text) {
    const auto f = Fields<5>(text, '.');
    const std::string_view token = f[0];
    if (token == "L")
        e.Kind = 5;
    else if (token == "S")
        e.Kind = 6;
    else if (token == "1" || token == "2" || token == "3" || token == "4")
        e.Kind = uint8_t(token[0] - '0');
    else
        e.Kind = 0;
    if (e.Kind == 0) {
        // No transition, but the fields are still read, so that a record
        // reads back as it was written; what is absent or unreadable takes
        // the new event's value, never the one read before.
        const TDSTEvent blank;
        const auto number = [&f](size_t field, int fallback) {
            int v = 0;
            return TryStrToInt(std::string(f[field]), v) ? v : fallback;
        };
        e.Day = number(1, blank.Day);
        e.Month = number(2, blank.Month);
        e.Bias = number(3, blank.Bias);
        e.Time = blank.Time;
        try {
            if (!f[4].empty()) e.Time = ParseTimeOfDay(std::string(f[4]));
        } catch (const EConvertError&) {
            // A time that does not read keeps the blank record's.
        }
        return;
    }
    e.Day = StrToInt(std::string(f[1]));
    e.Month = StrToInt(std::string(f[2]));
    e.Bias = StrToInt(std::string(f[3]));
    e.Time = ParseTimeOfDay(std::string(f[4]));
}

} // namespace

void TDSTEvent::ReadDataString(const std::string& text) {
    ReadEvent(*this, text);
}

std::string TDSTEvent::DataString() const {
    std::string out;
    out.reserve(32);
    AppendDataString(out);
    return out;
}

void TDSTEvent::AppendDataString(std::string& out) const {
    // Built in place: every place's record is written once at each load check.
    out += Kind >= 1 && Kind <= 4 ? char('0' + Kind) : Kind == 5 ? 'L' : Kind == 6 ? 'S' : 'N';
    for (const int v : {Day, Month, Bias}) {
        char digits[16];
        out += '.';
        out.append(digits, std::to_chars(digits, digits + sizeof digits, v).ptr);
    }
    out += '.';
    out += FormatTimeOfDay(Time);
}

// ------------------------------------------------------------------- rules

std::string BuiltInRuleText(const std::string& code) {
    static const char* const texts[8] = {
        "None/N.0.0.0.0:0:0/N.0.0.0.0:0:0/No DST applies",
        "Unknown/N.0.0.0.0:0:0/N.0.0.0.0:0:0/DST Rule is not known",
        "North America/1.1.04.+060.02:00:00/L.1.10.+000.2:00:00/",
        "Europe/L.1.03.+060.02:00:00/L.1.10.+000.2:00:00/",
        "Australia 1/L.1.10.+060.02:00:00/L.1.03.+000.02:00:00/",
        "Australia 2/1.1.10.+060.02:00:00/L.1.03.+000.02:00:00/",
        "New Zealand/1.1.10.+060.02:00:00/3.1.03.+000.02:00:00/",
        "Russia/L.1.03.+060.02:00:00/1.1.09.+000.02:00:00/",
    };
    if (code.size() == 1 && code[0] >= '0' && code[0] <= '7') return texts[code[0] - '0'];
    return {};
}

void TDSTRule::Copy(const TDSTRule& source) {
    Name = source.Name;
    Notes = source.Notes;
    StartDate.Copy(source.StartDate);
    StopDate.Copy(source.StopDate);
    Bias = source.Bias;
}

TDateTime TDSTRule::StartDateTime(TDateTime x) const {
    const int y = YearOfDate(x);
    if (StopDate.Month >= StartDate.Month) return StartDate.DateTime(y);
    // Southern rule: the summer period runs over the new year.
    return x < StopDate.DateTime(y) ? StartDate.DateTime(y - 1) : StartDate.DateTime(y);
}

TDateTime TDSTRule::StopDateTime(TDateTime x) const {
    const int y = YearOfDate(x);
    const TDateTime stop = StopDate.DateTime(y);
    if (StopDate.Month >= StartDate.Month) return stop;
    return x <= stop ? stop : StopDate.DateTime(y + 1);
}

namespace {
// Instants compared in whole milliseconds: a wall time and a transition that
// name the same second must compare equal, whatever rounding the day
// fractions carry.
double Millis(TDateTime t) {
    return std::nearbyint(t * MSecsPerDay);
}
} // namespace

int TDSTRule::CurrentBias(TDateTime x) const {
    if (StartDate.Kind == 0) return 0;
    if (!StartDate.Occurs() || !StopDate.Occurs()) return 0;
    const double start = Millis(StartDateTime(x));
    const double stop = Millis(StopDateTime(x));
    const double at = Millis(x);
    // The change's own instant already reads the new time: the first second
    // of summer time is summer time, as the last of it is not.
    return start <= at && at < stop ? StartDate.Bias : StopDate.Bias;
}

double TDSTRule::CurrentOffset(TDateTime x) const {
    return CurrentBias(x) / 60.0;
}

void TDSTRule::ReadDataString(const std::string& text) {
    const std::string builtIn = BuiltInRuleText(text);
    const auto f = Fields<4>(builtIn.empty() ? text : builtIn, '/');
    std::string notes(f[3]);
    Name.assign(f[0]);
    Notes = std::move(notes);
    ReadEvent(StartDate, f[1]);
    ReadEvent(StopDate, f[2]);
}

void TDSTRule::None() {
    // The same text as the rule file's own "Unknown", so that the home
    // clock's record does not change from one save to the next.
    ReadDataString("Unknown/N.1.1.0.02:00:00/N.1.1.0.02:00:00/DST Rule is not known");
}

std::string TDSTRule::DataString() const {
    std::string out;
    out.reserve(Name.size() + Notes.size() + 48);
    AppendDataString(out);
    return out;
}

void TDSTRule::AppendDataString(std::string& out) const {
    // A "/" in the name or notes would shift the fields of the rule.
    AppendOneLineField(out, Name, '/');
    out += '/';
    StartDate.AppendDataString(out);
    out += '/';
    StopDate.AppendDataString(out);
    out += '/';
    AppendOneLineField(out, Notes, '/');
}

std::string TDSTRule::RuleString() const {
    return StartDate.DataString() + "-" + StopDate.DataString();
}

std::string TDSTRule::Description() const {
    return Name + "  (start: " + StartDate.Description() + "  end: " + StopDate.Description() + ")";
}
