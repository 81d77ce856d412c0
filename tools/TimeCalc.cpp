#include "tools/TimeCalc.h"

#include "timemodel/HXString.h"

#include <algorithm>
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
    const auto outside = [] { return EConvertError("The date is outside the calendar (years 1 to 9999)"); };
    double value[6];
    for (size_t i = 0; i < span.size(); ++i) value[i] = ParseFloat(span[i]);
    // A calendar step has no fraction: half a year is six months, but a
    // third of a month is no day anyone could name.
    const double months = value[0] * 12 + value[1];
    const double wholeMonths = std::round(months);
    if (!(std::fabs(months - wholeMonths) < 1e-9))
        throw EConvertError("Years and months are counted on the calendar: give a whole number of months "
                            "(a year is 12)");
    if (!(std::fabs(wholeMonths) < 12.0 * 10000)) throw outside();
    const double days = value[2] + value[3] / 24 + value[4] / 1440 + value[5] / 86400;
    const int sign = minus ? -1 : 1;

    int y, m, d;
    DecodeDate(DateOf(base), y, m, d);
    const int monthIndex = y * 12 + (m - 1) + sign * int(wholeMonths);
    const int year = monthIndex >= 0 ? monthIndex / 12 : -1;
    if (year < 1 || year > 9999) throw outside();
    const int month = monthIndex % 12 + 1;
    // The day is kept where the month has it, else the month's last day.
    const TDateTime moved = EncodeDate(year, month, std::min(d, DaysInAMonth(year, month))) + TimeOf(base);
    const TDateTime result = moved + sign * days;
    // Years 1 to 9999.
    if (!(result >= -693593 && result < 2958466)) throw outside();
    return result;
}

std::string CalcAnswerText(TDateTime t) {
    return FormatDateTime("DDDD dd, MMMM, YYYY  HH:MM:SS", t);
}
