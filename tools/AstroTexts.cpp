#include "tools/AstroTexts.h"

#include "tools/Moon.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

std::string HMS(TDateTime t) {
    return FormatDateTime("hh:nn:ss", t);
}

// Every event of a body in the UT days first..last, each list in time order.
TDayEvents EventsOfUTDays(bool isSun, const TTimeLocation& loc, double first, double last) {
    TDayEvents all;
    for (double d = first; d <= last; d += 1) {
        const TDayEvents e = RiseSetTransitEvents(isSun, loc.Longitude, loc.Latitude, d);
        all.Rises.insert(all.Rises.end(), e.Rises.begin(), e.Rises.end());
        all.Sets.insert(all.Sets.end(), e.Sets.begin(), e.Sets.end());
        all.Transits.insert(all.Transits.end(), e.Transits.begin(), e.Transits.end());
    }
    return all;
}

// The first rise, set and transit of the location's local day, in UT and in
// local time, out of events that cover it. Each event is read with the
// offset in force at it, so on a day the clocks change the events on either
// side of the change keep their own offsets, and its local date decides
// whether it belongs to the day.
struct TLocalEvent {
    bool Has = false;
    TDateTime UT = 0, Local = 0;
};
struct TLocalEvents {
    TLocalEvent Rise, Set, Transit;
};

TLocalEvents LocalEvents(const TDayEvents& around, const TTimeLocation& loc, double day) {
    TLocalEvents out;
    auto first = [&](const std::vector<TDateTime>& events, TLocalEvent& e) {
        for (TDateTime ut : events) {
            const TDateTime local = ut + loc.UTCOffsetAt(ut) / 24.0;
            if (std::floor(local) != day) continue;
            e = {true, ut, local};
            return;
        }
    };
    first(around.Rises, out.Rise);
    first(around.Sets, out.Set);
    first(around.Transits, out.Transit);
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

    // With offsets under a day the local day lies within the UT days before,
    // of and after its date; a sunrise or sunset within a day of now lies
    // within those around the UT day of now.
    const double day = std::floor(now);
    const double firstDay = std::min(day, std::floor(utc)) - 1;
    const double lastDay = std::max(day, std::floor(utc)) + 1;
    try {
        const TDayEvents around = EventsOfUTDays(true, loc, firstDay, lastDay);
        const TLocalEvents sun = LocalEvents(around, loc, day);
        t.Sunrise = sun.Rise.Has ? HMS(sun.Rise.Local) : "None";
        t.Sunset = sun.Set.Has ? HMS(sun.Set.Local) : "None";
        t.SunTransit = sun.Transit.Has ? HMS(sun.Transit.Local) : "--";
        if (sun.Rise.Has && sun.Set.Has) {
            const TDateTime rise = sun.Rise.UT, set = sun.Set.UT;
            t.DaylightHours = HMS(set >= rise ? set - rise : 1.0 - (rise - set));
        } else {
            t.DaylightHours = "--";
        }
        if (!sun.Rise.Has && !sun.Set.Has) {
            t.DaylightHoursPassed = t.DaylightHoursRemaining = "--";
        } else {
            // From the sunrise before now to the sunset after it, each within
            // a day of now, whichever day they belong to.
            const std::vector<TDateTime>& rises = around.Rises;
            const std::vector<TDateTime>& sets = around.Sets;
            const auto nextRise = std::lower_bound(rises.begin(), rises.end(), utc);
            const auto nextSet = std::lower_bound(sets.begin(), sets.end(), utc);
            // Up when the last of them before now was a rise.
            const bool up = nextRise != rises.begin() && nextSet != sets.end() &&
                            (nextSet == sets.begin() || *std::prev(nextSet) < *std::prev(nextRise));
            if (up && utc - *std::prev(nextRise) < 1 && *nextSet - utc < 1) {
                t.DaylightHoursPassed = HMS(utc - *std::prev(nextRise));
                t.DaylightHoursRemaining = HMS(*nextSet - utc);
            } else {
                t.DaylightHoursPassed = t.DaylightHoursRemaining = "N/A";
            }
        }
    } catch (const std::exception&) {
        t.Sunrise = t.Sunset = "None";
        t.SunTransit = t.DaylightHours = t.DaylightHoursPassed = t.DaylightHoursRemaining = "--";
    }

    try {
        const TLocalEvents moon =
            LocalEvents(EventsOfUTDays(false, loc, day - 1, day + 1), loc, day);
        t.Moonrise = moon.Rise.Has ? HMS(moon.Rise.Local) : "--";
        t.Moonset = moon.Set.Has ? HMS(moon.Set.Local) : "--";
        t.MoonTransit = moon.Transit.Has ? HMS(moon.Transit.Local) : "--";
    } catch (const std::exception&) {
        t.Moonrise = t.Moonset = t.MoonTransit = "--";
    }
    return t;
}
