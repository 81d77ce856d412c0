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

// Years, months, days, hours, minutes and seconds as typed; years and months
// are mean lengths (365.25 and 30.4375 days). Raises EConvertError for a
// field that is not a number or a result outside the calendar.
TDateTime DateTimeWhen(TDateTime base, const std::array<std::string, 6>& span, bool minus);

// "Wednesday 01, July, 2026  17:00:00"
std::string CalcAnswerText(TDateTime t);
