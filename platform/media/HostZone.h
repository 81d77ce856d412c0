// The host's time zone from its tz database (the TZ variable, else
// /etc/localtime): name, current UTC offset, standard offset and the
// transitions of the current year.
#pragma once

#include <ctime>
#include <string>
#include <vector>

struct THostTransition {
    std::time_t At = 0;      // UTC instant of the change
    double OffsetBefore = 0; // hours east
    double OffsetAfter = 0;
    bool DaylightAfter = false;
};

struct THostZone {
    bool Ok = false;
    std::string Name;         // the abbreviation now in force ("CET", "CEST")
    std::string ZoneId;       // "Europe/Berlin" where it can be told, else ""
    bool Daylight = false;    // daylight saving in force now
    double CurrentOffset = 0; // hours east, daylight saving included
    double StandardOffset = 0;
};

// The host zone's name in the tz database ("Europe/Berlin"), from TZ (under
// TZDIR or /usr/share/zoneinfo), else /etc/localtime or /etc/timezone; "" when
// none can be told.
std::string HostZoneId();
// The zone at the instant given (now by default). Reads the TZ variable afresh.
THostZone ReadHostZone(std::time_t at = std::time(nullptr));
// The offset changes within the calendar year (local) of the instant.
std::vector<THostTransition> HostTransitionsOfYear(std::time_t at = std::time(nullptr));
