#include "tools/AstroTexts.h"

#include "tools/Moon.h"

#include <cmath>

namespace {

std::string HMS(TDateTime t) {
    return FormatDateTime("hh:nn:ss", t);
}

// The first rise, set and transit of the location's local day, in local
// time. The local day overlaps two UT days: both are asked, and the events
// falling into the local day kept. A transit counts on a day when the body
// crosses the horizon, as the rise and set do.
struct TLocalEvents {
    bool HasRise = false, HasSet = false, HasTransit = false;
    TDateTime Rise = 0, Set = 0, Transit = 0;
};

TLocalEvents LocalEvents(bool isSun, const TTimeLocation& loc, double offset, double day) {
    TLocalEvents out;
    auto keep = [&](const std::vector<TDateTime>& events, bool& has, TDateTime& first) {
        for (TDateTime ut : events) {
            const TDateTime local = ut + offset / 24.0;
            if (std::floor(local) != day) continue;
            if (!has || local < first) first = local;
            has = true;
        }
    };
    const double start = day - offset / 24.0; // 0 h local, in UT
    for (double d = std::floor(start); d < start + 1; d += 1) {
        const TDayEvents e = RiseSetTransitEvents(isSun, loc.Longitude, loc.Latitude, d);
        keep(e.Rises, out.HasRise, out.Rise);
        keep(e.Sets, out.HasSet, out.Set);
        keep(e.Transits, out.HasTransit, out.Transit);
    }
    out.HasTransit = out.HasTransit && (out.HasRise || out.HasSet);
    return out;
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
        const TLocalEvents sun = LocalEvents(true, loc, offset, day);
        t.Sunrise = sun.HasRise ? HMS(sun.Rise) : "None";
        t.Sunset = sun.HasSet ? HMS(sun.Set) : "None";
        t.SunTransit = sun.HasTransit ? HMS(sun.Transit) : "--";
        if (sun.HasRise && sun.HasSet) {
            const TDateTime rise = sun.Rise, set = sun.Set;
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

    try {
        const TLocalEvents moon = LocalEvents(false, loc, offset, day);
        t.Moonrise = moon.HasRise ? HMS(moon.Rise) : "--";
        t.Moonset = moon.HasSet ? HMS(moon.Set) : "--";
        t.MoonTransit = moon.HasTransit ? HMS(moon.Transit) : "--";
    } catch (const std::exception&) {
        t.Moonrise = t.Moonset = t.MoonTransit = "--";
    }
    return t;
}
