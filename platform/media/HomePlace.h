// The home place follows the computer's zone: its standard offset and
// daylight-saving rule come from the host's tz database, so a wall time set
// at home on the other side of a clock change happens at the time typed.
#pragma once

#include "platform/media/ZoneRecord.h"
#include "timemodel/TimeLocation.h"

#include <string>
#include <vector>

struct THomeZone {
    bool Ok = false;
    TZoneRecord Coming;                     // the twelve months from now
    std::vector<int> Offsets;               // minutes east the zone had in the last years or has in the coming one
    std::vector<std::string> Abbreviations; // "EST", "EDT" over the same years
};

// The host's zone at the UTC instant (now by default).
THomeZone ReadHomeZone(TDateTime utcNow = NowUTC());

// The zone's standard offset and rule into the home place; the rule is named
// after the zone ("America - New York"). The host offset is the caller's.
void SetHomeRule(TTimeLocation& home, const THomeZone& zone);

// A place that the earlier release stored at home in an alarm or a tracked
// date: the whole offset of its day in the standard offset (one the zone has
// had or has), rule unknown, no coordinates, named as the home place was then
// (its name, the zone's abbreviation) or not named.
bool IsEarlierHomePlace(const TTimeLocation& place, const TTimeLocation& home,
                        const THomeZone& zone);

// Such a place becomes the home place; the record keeps the wall time the
// user typed. True when the place was taken so.
bool TakeEarlierHomePlace(TTimeLocation& place, const TTimeLocation& home, const THomeZone& zone);
