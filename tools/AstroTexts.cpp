#include "tools/AstroTexts.h"

#include "tools/Moon.h"

#include <cmath>

namespace {

using Event = TDateTime (*)(double, double, TDateTime);

std::string HMS(TDateTime t) {
    return FormatDateTime("hh:nn:ss", t);
}

// The event of the location's local day: one retry on the neighbouring UT
// date; an event still off the day is none of that day's.
TDateTime LocalEvent(Event event, const TTimeLocation& loc, TDateTime ut, double offset,
                     double day, bool& found) {
    TDateTime local = event(loc.Longitude, loc.Latitude, ut) + offset / 24.0;
    if (std::floor(local) < day)
        local = event(loc.Longitude, loc.Latitude, ut + 1) + offset / 24.0;
    else if (std::floor(local) > day)
        local = event(loc.Longitude, loc.Latitude, ut - 1) + offset / 24.0;
    found = std::floor(local) == day;
    return local;
}

} // namespace

std::string MoonAgeText(double ageDays) {
    const double whole = std::floor(ageDays);
    return Format("%02d", int(whole)) + " Days " + FormatDateTime("hh:nn", ageDays - whole);
}

std::string SiderealText(TDateTime value) {
    return value < 0 ? "-" + FormatDateTime("hh:nn", -value) : FormatDateTime("hh:nn", value);
}

TAstronomyTexts CalcAstronomyTexts(const TTimeLocation& loc, bool isSystemLocation) {
    TAstronomyTexts t;
    const TDateTime now = loc.CurrentDateTime();
    const TDateTime utc = loc.UTC();
    const double offset = loc.CurrentUTCOffset();
    t.MoonDate = utc;

    if (isSystemLocation) {
        t.DLStart = t.DLEnd = "<system>";
        t.ShowCurrentOffset = false;
    } else {
        t.DLStart = loc.Rule.StartDate.Description();
        t.DLEnd = loc.Rule.StopDate.Description();
        t.DateDSTStart = loc.DaylightStartStr();
        t.DateDSTEnd = loc.DaylightEndStr();
    }
    t.CurrOffset = loc.CurrentUTCOffsetStr();
    t.UTCOffset = loc.UTCOffsetStr();
    t.UTC = FormatDateTime("hh:nn", utc);
    t.LocalTime = FormatDateTime("hh:nn", now);

    const double jd = loc.JulianDate();
    t.JulianDate = FloatToStrF(jd, TFloatFormat::ffFixed, 15, 5);
    t.Millitary = loc.MillitaryJulianDate();
    t.DaysRemaining = FloatToStrF(loc.DaysLeftInYear(), TFloatFormat::ffFixed, 5, 2);
    t.GreenwichMeanSiderealTime = SiderealText(loc.GMST());
    t.LocalMeanSiderealTime = SiderealText(loc.LMST());
    t.ModJulianDate = FloatToStrF(jd - 2400000.5, TFloatFormat::ffFixed, 15, 5);

    t.MoonAge = MoonAgeText(LunarAgeDays(utc));
    t.MoonDistance = FloatToStrF(LunarDistanceKm(utc), TFloatFormat::ffFixed, 15, 2) + " Km";
    t.Phase = IntToStr(Round(LunarIlluminatedFraction(utc) * 100)) + "%";

    const double day = std::floor(now);
    try {
        bool r = false, s = false, tr = false;
        const TDateTime rise = LocalEvent(SunriseTime, loc, utc, offset, day, r);
        const TDateTime set = LocalEvent(SunsetTime, loc, utc, offset, day, s);
        const TDateTime transit = LocalEvent(SunTransitTime, loc, utc, offset, day, tr);
        t.Sunrise = r ? HMS(rise) : "None";
        t.Sunset = s ? HMS(set) : "None";
        t.SunTransit = tr ? HMS(transit) : "--";
        if (r && s) {
            t.DaylightHours = HMS(set >= rise ? set - rise : 1.0 - (rise - set));
            if (rise < now && now < set) {
                t.DaylightHoursPassed = HMS(now - rise);
                t.DaylightHoursRemaining = HMS(set - now);
            } else {
                t.DaylightHoursPassed = t.DaylightHoursRemaining = "N/A";
            }
        } else {
            t.DaylightHours = t.DaylightHoursPassed = t.DaylightHoursRemaining = "--";
        }
    } catch (const std::exception&) {
        t.Sunrise = t.Sunset = "None";
        t.SunTransit = t.DaylightHours = t.DaylightHoursPassed = t.DaylightHoursRemaining = "--";
    }

    // The moon's events are asked for the local date taken as a UT date.
    auto moonEvent = [&](Event event) -> std::string {
        try {
            bool found = false;
            const TDateTime local = LocalEvent(event, loc, day, offset, day, found);
            return found ? HMS(local) : "--";
        } catch (const std::exception&) {
            return "--";
        }
    };
    t.Moonrise = moonEvent(MoonriseTime);
    t.Moonset = moonEvent(MoonsetTime);
    t.MoonTransit = moonEvent(MoonTransitTime);
    return t;
}
