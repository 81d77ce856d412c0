// One zone of the host's tz database as the system's time-zone record: the
// year's standard offset, its summer period in weekday form and the zone's
// long names. Used to fill the suite's own copy of the system zone entries,
// and to give the home place the computer's zone. The database is read as
// the C library reads it (TZ and TZDIR honoured).
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
    std::vector<int> Offsets;   // every offset in force in the span read, minutes east, ascending
    std::string StdAbbreviation; // "EST"
    std::string DltAbbreviation; // "EDT"; empty without a summer period
    TDateTime LastChange = 0;   // UTC of the span's last change of offset; 0: none
};

// The zone (empty: the host's own zone) in the given year. The smaller of the
// year's offsets is always the standard one.
TZoneRecord ReadZoneRecord(const std::string& zoneId, int year);
// The same over the twelve months from the UTC instant. Where they follow no
// one yearly rule (the zone's law changes), the rule of the twelve months
// after the last change, said so in the rule's notes, and Exact false.
TZoneRecord ReadComingZoneRecord(const std::string& zoneId, TDateTime utcFrom);

// The zones of the host's zone1970.tab (under TZDIR when set; an empty path),
// in file order, without repeats; empty when the table cannot be read.
std::vector<std::string> HostZoneTable(const std::string& tabPath = "");
