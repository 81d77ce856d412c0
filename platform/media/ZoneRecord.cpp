#include "platform/media/ZoneRecord.h"

#include "platform/media/HostZone.h"
#include "platform/rtl/SysUtils.h"

#include <QTimeZone>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <set>

// The offsets come from the C library's tz reading (TZ and TZDIR honoured,
// the same answers as every other program of the host); only the zones' long
// names come from Qt, which reads its own copy of the database.

namespace {

constexpr double UnixEpochDay = 25569.0; // 1970-01-01 as a day number
constexpr std::time_t Day = 86400;

std::string ZoneDir() {
    const char* d = std::getenv("TZDIR");
    return d && *d ? d : "/usr/share/zoneinfo";
}

// A zone of the database, not a path outside it nor a POSIX rule text
// (which the C library would take for a zone of its own).
bool KnownZone(const std::string& id) {
    if (id.empty() || id[0] == '/' || id.find("..") != std::string::npos) return false;
    std::ifstream f(ZoneDir() + "/" + id, std::ios::binary);
    char magic[4] = {};
    f.read(magic, 4);
    return f && std::memcmp(magic, "TZif", 4) == 0;
}

// The zone's rules in force while the scope lives (TZ set to the zone and put
// back after); an empty id keeps the host's own.
class TZoneScope {
public:
    explicit TZoneScope(const std::string& id) : FSet(!id.empty()) {
        if (FSet) {
            const char* old = std::getenv("TZ");
            FHad = old != nullptr;
            if (old) FOld = old;
            ::setenv("TZ", (":" + id).c_str(), 1);
        }
        ::tzset();
    }
    ~TZoneScope() {
        if (!FSet) return;
        if (FHad)
            ::setenv("TZ", FOld.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    TZoneScope(const TZoneScope&) = delete;
    TZoneScope& operator=(const TZoneScope&) = delete;

private:
    bool FSet;
    bool FHad = false;
    std::string FOld;
};

struct TLocal {
    int Offset = 0; // minutes east
    bool Daylight = false;
    std::string Abbreviation;
};

TLocal LocalAt(std::time_t t) {
    std::tm tm{};
    TLocal l;
    if (!localtime_r(&t, &tm)) return l;
    l.Offset = int(tm.tm_gmtoff / 60);
    l.Daylight = tm.tm_isdst > 0;
    if (tm.tm_zone) l.Abbreviation = tm.tm_zone;
    return l;
}

int OffsetAt(std::time_t t) {
    std::tm tm{};
    return localtime_r(&t, &tm) ? int(tm.tm_gmtoff / 60) : 0;
}

struct TChange {
    std::time_t At = 0; // first second of the new offset
    int Before = 0, After = 0;
};

// Changes of offset in [from, to): a day at a time (no zone changes twice in
// a day), then halving to the second.
std::vector<TChange> OffsetChanges(std::time_t from, std::time_t to) {
    std::vector<TChange> out;
    int prev = OffsetAt(from);
    for (std::time_t t = from; t < to;) {
        const std::time_t next = std::min(t + Day, to);
        const int cur = OffsetAt(next);
        if (cur != prev) {
            std::time_t lo = t, hi = next;
            while (hi - lo > 1) {
                const std::time_t mid = lo + (hi - lo) / 2;
                (OffsetAt(mid) == prev ? lo : hi) = mid;
            }
            if (hi < to) out.push_back({hi, prev, cur});
        }
        prev = cur;
        t = next;
    }
    return out;
}

std::time_t YearStart(int year) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mday = 1;
    return timegm(&tm);
}

// The same instant a calendar year later (29 February: 1 March).
std::time_t YearLater(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    tm.tm_year += 1;
    return timegm(&tm);
}

std::string DayText(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[16];
    std::strftime(buf, sizeof buf, "%d.%m.%Y", &tm);
    return buf;
}

// The instant as local standard time, in weekday form for the rule.
void SetTransition(TDSTEvent& ev, std::time_t atUtc, int standardMinutes, int bias) {
    const std::time_t local = atUtc + std::time_t(standardMinutes) * 60;
    std::tm tm{};
    gmtime_r(&local, &tm);
    const int month = tm.tm_mon + 1, day = tm.tm_mday;
    ev.Month = month;
    ev.Day = tm.tm_wday + 1; // Sunday 1
    ev.Kind = uint8_t(day + 7 > DaysInAMonth(tm.tm_year + 1900, month) ? 5 : (day - 1) / 7 + 1);
    ev.Bias = bias;
    ev.Time = EncodeTime(tm.tm_hour, tm.tm_min, tm.tm_sec, 0);
}

// The zone over [from, to), its rules in force (the scope is open).
TZoneRecord Analyse(const std::string& zoneId, std::time_t from, std::time_t to) {
    TZoneRecord z;
    z.Ok = true;
    z.ZoneId = zoneId;
    const std::vector<TChange> changes = OffsetChanges(from, to);
    const int before = OffsetAt(from);
    int standard = OffsetAt(to);
    TDSTRule rule;
    rule.Name = zoneId;
    std::set<int> seen{before};
    for (const TChange& c : changes) seen.insert(c.After);
    z.Offsets.assign(seen.begin(), seen.end());
    if (changes.size() == 2) {
        const int a = changes[0].After, b = changes[1].After;
        if (before == b) {
            standard = std::min(a, b);
            const int daylight = std::max(a, b);
            const TChange& start = a == daylight ? changes[0] : changes[1];
            const TChange& stop = a == daylight ? changes[1] : changes[0];
            SetTransition(rule.StartDate, start.At, standard, daylight - standard);
            SetTransition(rule.StopDate, stop.At, standard, 0);
            z.HasSummer = true;
            z.StdAbbreviation = LocalAt(stop.At).Abbreviation;
            z.DltAbbreviation = LocalAt(start.At).Abbreviation;
        } else {
            z.Exact = false;
        }
    } else if (!changes.empty()) {
        z.Exact = false;
    }
    if (!z.HasSummer) {
        // No summer period that the record can hold: months 0 on both sides.
        rule.StartDate.Kind = rule.StopDate.Kind = 0;
        rule.StartDate.Month = rule.StopDate.Month = 0;
        rule.StartDate.Bias = rule.StopDate.Bias = 0;
        z.StdAbbreviation = LocalAt(to).Abbreviation;
    }
    if (!changes.empty()) z.LastChange = UnixEpochDay + double(changes.back().At) / 86400.0;
    rule.Bias = -standard;
    z.StandardOffset = standard;
    z.Rule = rule;
    return z;
}

// Names, the system record and, for the host's zone, the period in force.
void Finish(TZoneRecord& z, bool host) {
    const QTimeZone tz(QByteArray::fromStdString(z.ZoneId));
    if (tz.isValid()) {
        z.StdName = tz.displayName(QTimeZone::StandardTime, QTimeZone::LongName).toStdString();
        z.DltName = tz.displayName(QTimeZone::DaylightTime, QTimeZone::LongName).toStdString();
    } else {
        z.StdName = z.StdAbbreviation;
        z.DltName = z.HasSummer ? z.DltAbbreviation : z.StdAbbreviation;
    }
    z.Rule.StartDate.ZoneName = z.DltName;
    z.Rule.StopDate.ZoneName = z.StdName;
    z.TZI = z.Rule.SaveToTZI();
    if (host) {
        const std::time_t now = std::time_t(std::llround((NowUTC() - UnixEpochDay) * 86400.0));
        z.DaylightNow = OffsetAt(now) > z.StandardOffset;
        z.NameNow = z.DaylightNow ? z.DltName : z.StdName;
    }
}

bool Open(const std::string& zoneId, std::string& id) {
    id = zoneId.empty() ? HostZoneId() : zoneId;
    return zoneId.empty() || KnownZone(zoneId);
}

} // namespace

TZoneRecord ReadZoneRecord(const std::string& zoneId, int year) {
    std::string id;
    if (year < 1 || year > 9998 || !Open(zoneId, id)) return {};
    const TZoneScope scope(zoneId);
    TZoneRecord z = Analyse(id, YearStart(year), YearStart(year + 1));
    Finish(z, zoneId.empty());
    return z;
}

TZoneRecord ReadComingZoneRecord(const std::string& zoneId, TDateTime utcFrom) {
    std::string id;
    if (!(utcFrom > 0 && utcFrom < 2900000.0) || !Open(zoneId, id)) return {};
    const TZoneScope scope(zoneId);
    const std::time_t from = std::time_t(std::floor((utcFrom - UnixEpochDay) * 86400.0));
    TZoneRecord z = Analyse(id, from, YearLater(from));
    if (!z.Exact) {
        // The law changes within the year: the rule that holds once the
        // last change is past.
        const std::time_t after =
            std::time_t(std::llround((z.LastChange - UnixEpochDay) * 86400.0));
        std::vector<int> offsets = z.Offsets;
        z = Analyse(id, after, YearLater(after));
        z.Offsets.insert(z.Offsets.end(), offsets.begin(), offsets.end());
        std::sort(z.Offsets.begin(), z.Offsets.end());
        z.Offsets.erase(std::unique(z.Offsets.begin(), z.Offsets.end()), z.Offsets.end());
        z.Rule.Notes = "Rule in force from " + DayText(after) +
                       " (the zone's law changes within the coming year)";
        z.Exact = false;
    }
    Finish(z, zoneId.empty());
    return z;
}

std::vector<std::string> HostZoneTable(const std::string& tabPath) {
    std::vector<std::string> zones;
    std::set<std::string> seen;
    std::ifstream in(tabPath.empty() ? ZoneDir() + "/zone1970.tab" : tabPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        // country codes, coordinates, zone, comments: TAB separated
        size_t p = line.find('\t');
        if (p == std::string::npos) continue;
        p = line.find('\t', p + 1);
        if (p == std::string::npos) continue;
        const size_t e = line.find('\t', p + 1);
        std::string zone = line.substr(p + 1, e == std::string::npos ? std::string::npos : e - p - 1);
        while (!zone.empty() && (zone.back() == '\r' || zone.back() == ' ')) zone.pop_back();
        if (!zone.empty() && seen.insert(zone).second) zones.push_back(zone);
    }
    return zones;
}
