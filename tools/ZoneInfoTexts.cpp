#include "tools/ZoneInfoTexts.h"

namespace {

// Shown with the sign of a UTC offset.
std::string Mins(int64_t minutesEast) {
    return IntToStr(minutesEast) + " mins";
}

} // namespace

std::string TransitionText(const TSystemTime& t) {
    if (t.wMonth == 0) return "Not Specified";
    try {
        if (t.wYear != 0) return FormatDateTime("mmmm dd", EncodeDate(t.wYear, t.wMonth, t.wDay));
        static const char* const kOrdinals[] = {"First ", "Second ", "Third ", "Fourth ", "Last "};
        static const char* const kDays[] = {"Sunday ",   "Monday ", "Tuesday ", "Wednesday ",
                                            "Thursday ", "Friday ", "Saturday "};
        std::string s = t.wDay >= 1 && t.wDay <= 5 ? kOrdinals[t.wDay - 1] : "Some ";
        s += t.wDayOfWeek <= 6 ? kDays[t.wDayOfWeek] : "day ";
        return s + "in " + FormatDateTime("mmmm", EncodeDate(2000, t.wMonth, 1));
    } catch (const EConvertError&) {
        return "?"; // a month or day that no calendar has
    }
}

TZoneInfoTexts ZoneInfoTexts(const TSystemZoneInfo& z) {
    TZoneInfoTexts t;
    const int64_t bias = -int64_t(z.Bias);
    switch (z.Result) {
    case TZoneIdResult::Unknown:
        t.ActiveBias = Mins(bias);
        t.StandardName = t.DaylightName = "Not Specified";
        break;
    case TZoneIdResult::Standard:
    case TZoneIdResult::Daylight:
        t.ActiveBias = Mins(bias - (z.Result == TZoneIdResult::Standard ? z.StandardBias : z.DaylightBias));
        t.StandardName = z.StandardName;
        t.DaylightName = z.DaylightName;
        break;
    default:
        t.ActiveBias = t.StandardName = t.DaylightName = "?";
        return t;
    }
    t.Filled = true;
    t.Bias = Mins(bias);
    t.StandardBias = Mins(-int64_t(z.StandardBias));
    t.DaylightBias = Mins(-int64_t(z.DaylightBias));
    t.DaylightDate = TransitionText(z.DaylightDate);
    t.StandardDate = TransitionText(z.StandardDate);
    return t;
}
