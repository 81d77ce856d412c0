#include "platform/media/HostZone.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

bool Local(std::time_t t, std::tm& out) {
    return localtime_r(&t, &out) != nullptr;
}

std::string ZoneIdOf() {
    if (const char* tz = std::getenv("TZ"); tz && *tz) {
        std::string s = tz[0] == ':' ? tz + 1 : tz;
        const char* dir = std::getenv("TZDIR");
        for (std::string prefix : {std::string(dir && *dir ? dir : ""), std::string("/usr/share/zoneinfo")}) {
            if (prefix.empty()) continue;
            if (prefix.back() != '/') prefix += '/';
            if (s.rfind(prefix, 0) == 0) return s.substr(prefix.size());
        }
        return s;
    }
    std::error_code ec;
    const auto target = std::filesystem::read_symlink("/etc/localtime", ec);
    if (!ec) {
        const std::string t = target.string();
        const auto pos = t.find("zoneinfo/");
        if (pos != std::string::npos) return t.substr(pos + 9);
    }
    // Debian keeps the zone's name here as well.
    std::ifstream in("/etc/timezone");
    std::string line;
    if (std::getline(in, line)) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.pop_back();
        return line;
    }
    return "";
}

} // namespace

std::string HostZoneId() {
    return ZoneIdOf();
}

THostZone ReadHostZone(std::time_t at) {
    tzset();
    THostZone z;
    std::tm tm{};
    if (!Local(at, tm)) return z;
    z.Ok = true;
    z.CurrentOffset = double(tm.tm_gmtoff) / 3600.0;
    z.Daylight = tm.tm_isdst > 0;
    z.Name = tm.tm_zone ? tm.tm_zone : "";
    z.ZoneId = ZoneIdOf();
    z.StandardOffset = z.CurrentOffset;
    if (z.Daylight) {
        // The standard offset is the one in force at some other time of the
        // year; look a month at a time.
        for (int m = 1; m <= 12; ++m) {
            std::tm other{};
            if (Local(at + std::time_t(m) * 30 * 86400, other) && other.tm_isdst == 0) {
                z.StandardOffset = double(other.tm_gmtoff) / 3600.0;
                break;
            }
        }
    }
    return z;
}

std::vector<THostTransition> HostTransitionsOfYear(std::time_t at) {
    tzset();
    std::vector<THostTransition> out;
    std::tm tm{};
    if (!Local(at, tm)) return out;
    std::tm start{};
    start.tm_year = tm.tm_year;
    start.tm_mon = 0;
    start.tm_mday = 1;
    start.tm_isdst = -1;
    std::tm end = start;
    end.tm_year += 1;
    const std::time_t t0 = mktime(&start), t1 = mktime(&end);
    std::tm prev{};
    Local(t0, prev);
    // Hour steps find every change (no zone changes twice within an hour),
    // halving then finds its second.
    for (std::time_t t = t0 + 3600; t <= t1; t += 3600) {
        std::tm cur{};
        if (!Local(t, cur)) break;
        if (cur.tm_gmtoff != prev.tm_gmtoff || cur.tm_isdst != prev.tm_isdst) {
            std::time_t lo = t - 3600, hi = t;
            while (hi - lo > 1) {
                const std::time_t mid = lo + (hi - lo) / 2;
                std::tm m{};
                Local(mid, m);
                if (m.tm_gmtoff == prev.tm_gmtoff && m.tm_isdst == prev.tm_isdst)
                    lo = mid;
                else
                    hi = mid;
            }
            if (hi < t1)
                out.push_back(
                    {hi, prev.tm_gmtoff / 3600.0, cur.tm_gmtoff / 3600.0, cur.tm_isdst > 0});
        }
        prev = cur;
    }
    return out;
}
