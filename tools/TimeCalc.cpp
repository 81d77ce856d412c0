#include "tools/TimeCalc.h"

#include "timemodel/HXString.h"

#include <cmath>

std::string WhatZone(TDateTime clockTime, TDateTime utcNow) {
    const double d = (clockTime - utcNow) * 24;
    // The test is 13 hours; the text has always said 12. Clock times are
    // whole seconds, so a rounding error of the day numbers is no difference.
    if (!(std::fabs(d) <= 13 + 1e-6)) return "Error UTC Differential > 12 hours";
    const double m = std::fabs(d);
    const double whole = double(Round(m - 0.2));
    std::string answer = FloatToStr(whole);
    const double rest = std::fabs(m - whole);
    if (rest > 0.4 && rest < 0.6) answer += ".5";
    if (d < 0 && answer != "0") answer = "-" + answer;
    return answer;
}

TDateTime DateTimeWhen(TDateTime base, const std::array<std::string, 6>& span, bool minus) {
    static constexpr double kDays[6] = {365.25, 30.4375, 1, 1.0 / 24, 1.0 / 1440, 1.0 / 86400};
    double days = 0;
    for (size_t i = 0; i < span.size(); ++i) days += ParseFloat(span[i]) * kDays[i];
    const TDateTime result = minus ? base - days : base + days;
    // Years 1 to 9999.
    if (!(result >= -693593 && result < 2958466))
        throw EConvertError("The date is outside the calendar (years 1 to 9999)");
    return result;
}

std::string CalcAnswerText(TDateTime t) {
    return FormatDateTime("DDDD dd, MMMM, YYYY  HH:MM:SS", t);
}
