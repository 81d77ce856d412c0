#include "timemodel/TimeLocation.h"

#include "timemodel/HXString.h"
#include "timemodel/RecordField.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

namespace {

// Whole milliseconds of the time of day of an instant, 0 .. 86399999: the
// time scales count from it so that an exact instant never truncates to the
// unit below it.
double DayMilliseconds(TDateTime t) {
    if (!std::isfinite(t)) return 0;
    const double ms = std::nearbyint((t - std::floor(t)) * MSecsPerDay);
    return ms < 0 ? 0 : (ms > MSecsPerDay - 1 ? MSecsPerDay - 1 : ms);
}

// "HH:MM" of an offset in hours, "-HH:MM" for a negative one.
std::string OffsetText(double hours) {
    if (!std::isfinite(hours)) return "00:00";
    const double minutes = std::nearbyint(std::fabs(hours) * 60);
    const double h = std::floor(minutes / 60);
    const double m = minutes - h * 60;
    return std::string(hours < 0 && minutes > 0 ? "-" : "") + Format("%02.0f:%02.0f", h, m);
}

// Degrees:minutes:seconds to a tenth of a second, carried upwards so that
// no part ever reads 60.
std::string AngleText(double v, const char* positive, const char* negative, bool hemisphere) {
    const std::string suffix = hemisphere ? (v >= 0 ? positive : negative) : "";
    const double tenths = std::nearbyint(std::fabs(v) * 36000.0);
    if (!std::isfinite(tenths))
        return "0:0:0" + std::string(1, FormatSettings.DecimalSeparator) + "0" + suffix;
    const double d = std::floor(tenths / 36000.0);
    const double rest = tenths - d * 36000.0;
    const double m = std::floor(rest / 600.0);
    const double s = (rest - m * 600.0) / 10.0;
    return Format("%.0f", d) + ":" + Format("%.0f", m) + ":" +
           FloatToStrF(s, TFloatFormat::ffFixed, 5, 1) + suffix;
}

double DateValue(int year, int month, int day) {
    TDateTime result = 0;
    TryEncodeDate(year, month, day, result);
    return result;
}

// Rule texts never hold the record separators TAB or "^", nor a "!", which
// the reader would take for the end of a legacy record; anything else the
// caller picks must not be flattened out of the rule's own syntax.
void AppendRuleField(std::string& out, const TDSTRule& rule, char separator) {
    // One pass: a separator of the rule's own syntax is left as it is.
    const char sep = std::string_view("./:+-0123456789").find(separator) != std::string_view::npos
                         ? '!'
                         : separator;
    const size_t from = out.size();
    rule.AppendDataString(out);
    for (size_t i = from; i < out.size(); ++i) {
        const char c = out[i];
        if (c == '\t' || c == '\r' || c == '\n' || c == '!' || c == sep) out[i] = ' ';
    }
}

// Function-local so that no other static initialiser can see them unset.
double Gregorian() {
    static const double d = DateValue(1582, 10, 14);
    return d;
}
double J2000Day() {
    static const double d = DateValue(2000, 1, 1);
    return d;
}
double YearOne() {
    static const double d = DateValue(1, 1, 1);
    return d;
}

} // namespace

TTimeLocation::TTimeLocation() : ImposedTime(Now()) {}

void TTimeLocation::UpdateLocation(const std::string& name, const TDSTRule& rule, double latitude,
                                   double longitude, double stdOffset, double hostOffset,
                                   TDateTime imposedTime, bool imposed) {
    Name = name;
    Rule.Copy(rule);
    Latitude = latitude;
    Longitude = longitude;
    StdOffset = stdOffset;
    HostOffset = hostOffset;
    ImposedTime = imposedTime;
    Imposed = imposed;
}

void TTimeLocation::Copy(const TTimeLocation& source) {
    Name = source.Name;
    City = source.City;
    Region = source.Region;
    Country = source.Country;
    Code = source.Code;
    StdOffset = source.StdOffset;
    HostOffset = source.HostOffset;
    Latitude = source.Latitude;
    Longitude = source.Longitude;
    Rule.Copy(source.Rule);
    ImposedTime = source.ImposedTime;
    // An imposed copy without its offset would show a different instant.
    ImposedOffset = source.ImposedOffset;
    Imposed = source.Imposed;
}

double TTimeLocation::OffsetAtStandardTime(TDateTime standardTime) const {
    return StdOffset + Rule.CurrentOffset(standardTime);
}

TWallTime TTimeLocation::LookupWallTime(TDateTime wall) const {
    // A wall time W exists with a bias b when the rule, judged at the
    // standard time W - b, gives b. The rule knows two biases; W exists with
    // one of them (unique), both (the clocks went back over it) or neither
    // (they skipped it).
    const TDSTRule& r = Rule;
    const bool saves = r.StartDate.Kind != 0 && r.StartDate.Occurs() && r.StopDate.Occurs() &&
                       r.StartDate.Bias != r.StopDate.Bias;
    const auto standardAt = [wall](int bias) { return wall - bias / 1440.0; };
    const auto offsetOf = [this](int bias) { return StdOffset + bias / 60.0; };
    const auto unique = [&](int bias) {
        TWallTime w;
        w.PreOffset = w.PostOffset = offsetOf(bias);
        w.Pre = w.Trans = w.Post = wall - w.PreOffset / 24.0;
        w.From = w.To = wall;
        return w;
    };
    if (!std::isfinite(wall)) return unique(0);
    if (!saves) return unique(r.CurrentBias(standardAt(0)));
    const int outside = r.StopDate.Bias, inside = r.StartDate.Bias;
    const bool withOutside = r.CurrentBias(standardAt(outside)) == outside;
    const bool withInside = r.CurrentBias(standardAt(inside)) == inside;
    if (withOutside != withInside) return unique(withOutside ? outside : inside);

    // The change lies between the two readings of W in standard time.
    const TDateTime a = standardAt(outside), b = standardAt(inside);
    const TDateTime lo = a < b ? a : b, hi = a < b ? b : a;
    TDateTime change = lo;
    bool found = false;
    for (const TDateTime c : {r.StartDateTime(lo), r.StopDateTime(lo), r.StartDateTime(hi),
                              r.StopDateTime(hi)}) {
        // Whole milliseconds, as the rule compares.
        const double ms = std::nearbyint(c * MSecsPerDay);
        if (ms >= std::nearbyint(lo * MSecsPerDay) && ms <= std::nearbyint(hi * MSecsPerDay)) {
            change = c;
            found = true;
            break;
        }
    }
    if (!found) return unique(outside);
    TWallTime w;
    w.Kind = withOutside ? TWallTime::Repeated : TWallTime::Skipped;
    w.PreOffset = offsetOf(r.CurrentBias(change - 1.0 / MSecsPerDay));
    w.PostOffset = offsetOf(r.CurrentBias(change));
    w.Trans = change - StdOffset / 24.0;
    w.Pre = wall - w.PreOffset / 24.0;
    w.Post = wall - w.PostOffset / 24.0;
    w.From = w.Trans + w.PreOffset / 24.0;
    w.To = w.Trans + w.PostOffset / 24.0;
    return w;
}

namespace {
// "01:30", or "01:30:15" when the seconds count.
std::string WallClockText(TDateTime t) {
    const int secs = int(std::floor(DayMilliseconds(t) / 1000));
    const int h = secs / 3600, m = secs / 60 % 60, sec = secs % 60;
    return sec == 0 ? Format("%02d:%02d", h, m) : Format("%02d:%02d:%02d", h, m, sec);
}
} // namespace

std::string TTimeLocation::SkippedWallTimeText(TDateTime wall, const std::string& dateText) const {
    const TWallTime w = LookupWallTime(wall);
    if (w.Kind != TWallTime::Skipped) return {};
    return WallClockText(wall) + " does not exist on " + dateText + " in " + Name +
           ": clocks go forward from " + WallClockText(w.From) + " to " + WallClockText(w.To);
}

void TTimeLocation::ImposeAlternate(TDateTime t) {
    // The offset is the one in force at T, whatever "now" is: the first
    // occurrence of a repeated wall time, and for a skipped one the change
    // itself, the first instant after the gap.
    const TWallTime w = LookupWallTime(t);
    ImposedOffset = w.Kind == TWallTime::Skipped ? (t - w.Trans) * 24.0 : w.PreOffset;
    ImposedTime = t;
    Imposed = true;
}

void TTimeLocation::ImposeAlternateUTC(TDateTime u) {
    ImposedTime = u;
    ImposedOffset = 0;
    Imposed = true;
}

std::string TTimeLocation::LocationString() const {
    std::string s = ContainsStr(Name, City) ? City + " " : Name + " - " + City + " ";
    s += Region + ", " + Country;
    if (!Code.empty()) s += " (" + Code + ")";
    return s;
}

std::string TTimeLocation::LatString(bool withHemisphere) const {
    return AngleText(Latitude, " North", " South", withHemisphere);
}

std::string TTimeLocation::LongString(bool withHemisphere) const {
    return AngleText(Longitude, " West", " East", withHemisphere);
}

std::string TTimeLocation::UTCOffsetString() const {
    return FloatToStrF(StdOffset, TFloatFormat::ffFixed, 15, 2);
}

TDateTime TTimeLocation::UTC() const {
    if (Imposed) return ImposedTime - ImposedOffset / 24.0;
    return Now() - HostOffset / 24.0;
}

double TTimeLocation::CurrentUTCOffset() const {
    return UTCOffsetAt(UTC());
}

double TTimeLocation::UTCOffsetAt(TDateTime utc) const {
    return OffsetAtStandardTime(utc + StdOffset / 24.0);
}

TDateTime TTimeLocation::CurrentDateTime() const {
    // One reading of the clock for both the instant and the offset.
    const TDateTime utc = UTC();
    return utc + UTCOffsetAt(utc) / 24.0;
}

TDateTime TTimeLocation::StandardDateTime() const {
    return UTC() + StdOffset / 24.0;
}

std::string TTimeLocation::CurrentUTCOffsetStr() const {
    return OffsetText(CurrentUTCOffset());
}

std::string TTimeLocation::UTCOffsetStr() const {
    return OffsetText(StdOffset);
}

std::string TTimeLocation::DaylightStartStr() const {
    return FormatDateTime("MMM D, YYYY HHMM\"h\"", Rule.StartDateTime(StandardDateTime()));
}

std::string TTimeLocation::DaylightEndStr() const {
    return FormatDateTime("MMM D, YYYY HHMM\"h\"", Rule.StopDateTime(StandardDateTime()));
}

static double JulianOf(TDateTime t) {
    return t > Gregorian() ? t - J2000Day() + 2451544.5 : 0.0;
}

double TTimeLocation::JulianDateLOC() const {
    return JulianOf(CurrentDateTime());
}

double TTimeLocation::JulianDate() const {
    return JulianOf(UTC());
}

TDateTime TTimeLocation::GMST() const {
    const TDateTime utc = UTC();
    const double t = (JulianOf(utc) - 2451545.0) / 36525.0;
    return utc +
           (24110.54841 + 8640184.812866 * t + 0.093104 * t * t - 6.2e-6 * t * t * t) / 86400.0;
}

TDateTime TTimeLocation::LMST() const {
    return GMST() - Longitude / 360.0;
}

double TTimeLocation::MetricTime() const {
    return (UTC() - YearOne()) * 86400.0 * 1.00069228559446;
}

double TTimeLocation::DayInYear() const {
    const TDateTime now = CurrentDateTime();
    return now - DateValue(YearOfDate(now), 1, 1) + 1;
}

double TTimeLocation::DaysLeftInYear() const {
    const TDateTime now = CurrentDateTime();
    return DateValue(YearOfDate(now), 12, 31) + EncodeTime(23, 59, 59, 99) - now;
}

std::string TTimeLocation::MillitaryJulianDate() const {
    const TDateTime now = CurrentDateTime();
    const std::string year = Format("%4.4d", YearOfDate(now));
    const double day = std::trunc(now - DateValue(YearOfDate(now), 1, 1) + 1);
    const int n = day >= 0 && day < 1000 ? int(day) : 0;
    return year.substr(3, 1) + Format("%3.3d", n);
}

TDateTime TTimeLocation::TimeIn(const TTimeLocation& other) const {
    TTimeLocation there;
    there.Copy(other);
    there.ImposeAlternateUTC(UTC());
    return there.CurrentDateTime();
}

int TTimeLocation::SwatchBeats() const {
    // Beat time is UTC+1: one hour is 1000/24 beats.
    double beats = DayMilliseconds(UTC()) / 86400.0 + 1000.0 / 24.0;
    if (beats >= 1000) beats -= 1000;
    return int(beats);
}

std::string TTimeLocation::UdtString(char format) const {
    return FormatUniversalTime(format, UTC());
}

std::string FormatUniversalTime(char format, TDateTime utc) {
    const int y = YearOfDate(utc);
    double jan1 = 0;
    if (!TryEncodeDate(y, 1, 1, jan1)) jan1 = std::floor(utc);
    const int n = int(std::trunc(std::floor(utc) - jan1 + 1));
    const int w = n / 7;
    const int k = DayOfTheWeek(utc);
    const double m = DayMilliseconds(utc) / 86400.0;
    const bool upper = format >= 'A' && format <= 'Z';
    const std::string md =
        upper ? IntToStr(int64_t(m)) : FloatToStrF(m, TFloatFormat::ffFixed, 7, 3);
    switch (format) {
    case 'U':
    case 'u':
        return "U " + IntToStr(y) + " " + IntToStr(n) + "," + md;
    case 'W':
    case 'w':
        return "U " + IntToStr(y) + " w" + IntToStr(w) + "-" + IntToStr(k) + "," + md;
    case 'D':
    case 'd':
        return "d " + IntToStr(n) + "," + md;
    case 'V':
    case 'v':
        return " w" + IntToStr(w) + "-" + IntToStr(k) + "," + md;
    case 'T':
    case 't':
        return "t " + md;
    default:
        return "Unknown Format";
    }
}

// ----------------------------------------------------------------- record

std::string TTimeLocation::LocationDataStr(char separator) const {
    // Appended in place: every place is written once at each load check.
    std::string out;
    out.reserve(Name.size() + City.size() + Region.size() + Country.size() + Code.size() +
                Rule.Name.size() + Rule.Notes.size() + 128);
    AppendOneLineField(out, Name, separator);
    for (const double v : {StdOffset, HostOffset, Latitude, Longitude}) {
        out += separator;
        out += RecordFloatText(v);
    }
    out += separator;
    AppendRuleField(out, Rule, separator);
    for (const std::string* t : {&City, &Region, &Country}) {
        out += separator;
        AppendOneLineField(out, *t, separator);
    }
    out += separator;
    const size_t code = out.size();
    AppendOneLineField(out, Code, '!');
    for (size_t i = code; i < out.size(); ++i)
        if (out[i] == separator) out[i] = ' ';
    out += '!';
    return out;
}

void TTimeLocation::ParseDataString(const std::string& text, char separator) {
    int p = 1;
    const auto field = [&](char delimiter) { return ReadToken(text, delimiter, p); };
    const auto next = [&](const std::string& f) { p += int(f.size()) + 1; };
    try {
        std::string f = field(separator);
        next(f);
        Name = std::move(f);
        for (double* number : {&StdOffset, &HostOffset, &Latitude, &Longitude}) {
            f = field(separator);
            *number = ParseFloat(f);
            next(f);
        }
        // Only the length up to the "!" is needed to tell a legacy record.
        const size_t from = size_t(p - 1);
        const size_t upToBang =
            from >= text.size() ? 0 : std::min(text.find('!', from), text.size()) - from;
        if (upToBang < 2) {
            // Legacy record: a one-digit daylight-saving code closes it.
            Rule.ReadDataString(field('!'));
            return;
        }
        f = field(separator);
        Rule.ReadDataString(f);
        next(f);
        for (std::string* t : {&City, &Region, &Country}) {
            *t = field(separator);
            next(*t);
        }
        Code = field('!');
    } catch (const Exception&) {
        throw ELocationDataParseError("Error in Location Data: " + text + " at pos" + IntToStr(p));
    }
}
