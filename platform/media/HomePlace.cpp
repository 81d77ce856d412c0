#include "platform/media/HomePlace.h"

#include <algorithm>
#include <cmath>

namespace {

// A rule's name travels in the rule text, where "/" separates the fields.
std::string RuleName(const std::string& zoneId) {
    if (zoneId.empty()) return "Local";
    std::string out;
    for (char c : zoneId) {
        if (c == '/')
            out += " - ";
        else if (c == '\t' || c == '!' || c == '^')
            out += ' ';
        else
            out += c == '_' ? ' ' : c;
    }
    return out;
}

void Add(std::vector<std::string>& list, const std::string& s) {
    if (!s.empty() && std::find(list.begin(), list.end(), s) == list.end()) list.push_back(s);
}

} // namespace

THomeZone ReadHomeZone(TDateTime utcNow) {
    THomeZone h;
    h.Coming = ReadComingZoneRecord("", utcNow);
    if (!h.Coming.Ok) return h;
    h.Ok = true;
    h.Offsets = h.Coming.Offsets;
    Add(h.Abbreviations, h.Coming.StdAbbreviation);
    Add(h.Abbreviations, h.Coming.DltAbbreviation);
    // Records of the earlier release were stored at any time of the last years.
    const int year = YearOfDate(utcNow);
    for (int y = year - 3; y <= year; ++y) {
        const TZoneRecord r = ReadZoneRecord("", y);
        if (!r.Ok) continue;
        h.Offsets.insert(h.Offsets.end(), r.Offsets.begin(), r.Offsets.end());
        Add(h.Abbreviations, r.StdAbbreviation);
        Add(h.Abbreviations, r.DltAbbreviation);
    }
    std::sort(h.Offsets.begin(), h.Offsets.end());
    h.Offsets.erase(std::unique(h.Offsets.begin(), h.Offsets.end()), h.Offsets.end());
    return h;
}

void SetHomeRule(TTimeLocation& home, const THomeZone& zone) {
    home.StdOffset = zone.Coming.StandardOffset / 60.0;
    TDSTRule rule;
    rule.Copy(zone.Coming.Rule);
    rule.Name = RuleName(zone.Coming.ZoneId);
    if (!zone.Coming.HasSummer) {
        // The text form of "no change": the events as a new rule has them,
        // which read back as they are.
        rule.StartDate.Copy(TDSTEvent());
        rule.StopDate.Copy(TDSTEvent());
        rule.StartDate.ZoneName = zone.Coming.Rule.StartDate.ZoneName;
        rule.StopDate.ZoneName = zone.Coming.Rule.StopDate.ZoneName;
    }
    home.Rule.Copy(rule);
}

bool IsEarlierHomePlace(const TTimeLocation& place, const TTimeLocation& home,
                        const THomeZone& zone) {
    if (!zone.Ok) return false;
    const TDSTRule& r = place.Rule;
    if (r.Name != "Unknown" || r.StartDate.Kind != 0 || r.StopDate.Kind != 0) return false;
    if (place.Latitude != 0 || place.Longitude != 0) return false;
    const double minutes = place.StdOffset * 60.0;
    if (!std::isfinite(minutes) || std::fabs(minutes - std::round(minutes)) > 1e-6) return false;
    if (!std::binary_search(zone.Offsets.begin(), zone.Offsets.end(), int(std::lround(minutes))))
        return false;
    return place.Name == "<New Location>" || place.Name == home.Name ||
           std::find(zone.Abbreviations.begin(), zone.Abbreviations.end(), place.Name) !=
               zone.Abbreviations.end();
}

bool TakeEarlierHomePlace(TTimeLocation& place, const TTimeLocation& home, const THomeZone& zone) {
    if (!IsEarlierHomePlace(place, home, zone)) return false;
    const TDateTime imposedTime = place.ImposedTime;
    const double imposedOffset = place.ImposedOffset;
    const bool imposed = place.Imposed;
    const double hostOffset = place.HostOffset;
    place.Copy(home);
    place.ImposedTime = imposedTime;
    place.ImposedOffset = imposedOffset;
    place.Imposed = imposed;
    place.HostOffset = hostOffset;
    return true;
}
