// One zone of the host's tz database as the system's time-zone record: the
// year's standard offset, its summer period in weekday form and the zone's
// long names. Used to fill the suite's own copy of the system zone entries.
#pragma once

#include "timemodel/DST.h"

#include <string>
#include <vector>

struct TZoneRecord {
    bool Ok = false;            // false: the host does not know the zone
    std::string ZoneId;         // "Europe/Berlin"
    TDSTRule Rule;              // Bias = -standard offset; start/stop in local standard time
    std::vector<uint8_t> TZI;   // Rule.SaveToTZI()
    std::string StdName;        // "Central European Standard Time"
    std::string DltName;        // "Central European Summer Time"
    int StandardOffset = 0;     // minutes east
    // False when the year has no summer period of one start and one stop
    // (none at all is still exact); the record then holds the standard offset only.
    bool Exact = true;
    bool HasSummer = false;     // one summer period in the year
    // For the host's own zone only: the period in force now.
    bool DaylightNow = false;
    std::string NameNow;        // StdName or DltName
};

// The zone (empty: the host's own zone) in the given year. The smaller of the
// year's offsets is always the standard one.
TZoneRecord ReadZoneRecord(const std::string& zoneId, int year);

// The zones of the host's zone1970.tab, in file order, without repeats;
// empty when the table cannot be read.
std::vector<std::string> HostZoneTable(const std::string& tabPath = "/usr/share/zoneinfo/zone1970.tab");
