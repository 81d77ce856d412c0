// The calculator's answers that need no window: the zone a clock time
// implies and a date-time moved by a span. No Qt.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <array>
#include <string>

// The UTC offset of a place whose clock reads clockTime while UTC is utcNow,
// to the nearest half hour: "5.5", "-3.5", "0"; more than 13 hours apart
// gives "Error UTC Differential > 12 hours".
std::string WhatZone(TDateTime clockTime, TDateTime utcNow);

// Years, months, days, hours, minutes and seconds as typed. Years and months
// go by the calendar, time of day kept (31 January + 1 month = 28 or 29
// February, 29 February + 1 year = 28 February); days, hours, minutes and
// seconds are exact lengths added after them. Raises EConvertError for a
// field that is not a number, years and months that are no whole number of
// months, or a result outside the calendar.
TDateTime DateTimeWhen(TDateTime base, const std::array<std::string, 6>& span, bool minus);

// "Wednesday 01, July, 2026  17:00:00"
std::string CalcAnswerText(TDateTime t);
