// Every text the astronomy window shows for a place at one instant, worked
// out without a window.
#pragma once

#include "timemodel/TimeLocation.h"

#include <string>

struct TAstronomyTexts {
    std::string DLStart, DLEnd, DateDSTStart, DateDSTEnd;
    bool ShowCurrentOffset = true;
    std::string CurrOffset, UTCOffset, UTC, LocalTime;
    std::string JulianDate, ModJulianDate, Millitary, DaysRemaining;
    std::string GreenwichMeanSiderealTime, LocalMeanSiderealTime;
    std::string Sunrise, Sunset, SunTransit;
    std::string DaylightHours, DaylightHoursPassed, DaylightHoursRemaining;
    std::string Moonrise, Moonset, MoonTransit;
    std::string Phase, MoonAge, MoonDistance;
    TDateTime MoonDate = 0; // UTC, for the moon picture
};

// "now" and "UTC" are the location's own (an imposed date counts).
TAstronomyTexts CalcAstronomyTexts(const TTimeLocation& location, bool isSystemLocation);

// "05 Days 07:12"
std::string MoonAgeText(double ageDays);
// "HH:MM" of a sidereal time, "-" in front when it is negative.
std::string SiderealText(TDateTime value);
