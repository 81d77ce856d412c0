#include "net/http/HttpRequest.h"

#include <cmath>
#include <cstdio>

#include "net/http/HttpUrl.h"

std::string HttpDateText(TDateTime dt) {
    static const char days[] = "MonTueWedThuFriSatSun";
    static const char months[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
    int year, month, day, hour, min, sec, msec;
    DecodeDateTime(dt, year, month, day, hour, min, sec, msec);
    // Day 2 of the calendar (1900-01-01) was a Monday; the modulo stays
    // positive for the early and negative day numbers too.
    const long long whole = static_cast<long long>(std::floor(DateOf(dt)));
    const int weekday = static_cast<int>(((whole - 2) % 7 + 7) % 7);
    char text[64];
    std::snprintf(text, sizeof text, "%.3s, %2.2d %.3s %4.4d %2.2d:%2.2d:%2.2d", days + 3 * weekday,
                  day, months + 3 * (month - 1), year, hour, min, sec);
    return text;
}

bool BuildHttpRequest(const THttpRequestFields& f, std::vector<std::string>& lines) {
    lines.clear();
    auto add = [&](const std::string& prefix, const std::string& value) {
        if (!value.empty()) lines.push_back(prefix + value);
    };
    lines.push_back(f.Method + " " + f.RequestPath + " HTTP/" + f.Version);
    add("From: ", f.Sender);
    add("Accept: ", f.Accept);
    add("Referer: ", f.Reference);
    if (f.IsPost) add("Content-Type: ", f.ContentTypePost);
    add("User-Agent: ", f.Agent);
    lines.push_back("Host: " + f.HostHeader);
    if (f.NoCache) lines.push_back("Pragma: no-cache");
    if (f.IsPost) lines.push_back("Content-Length: " + std::to_string(f.PostLength));
    if (f.ModifiedSince != 0)
        lines.push_back("If-Modified-Since: " + HttpDateText(f.ModifiedSince) + " GMT");
    if (!f.Username.empty())
        lines.push_back("Authorization: Basic " + Base64Encode(f.Username + ":" + f.Password));
    if (f.ViaProxy && !f.ProxyUsername.empty())
        lines.push_back("Proxy-Authorization: Basic " +
                        Base64Encode(f.ProxyUsername + ":" + f.ProxyPassword));
    add("Cookie: ", f.Cookie);
    if (!f.RangeBegin.empty() || !f.RangeEnd.empty())
        lines.push_back("Range: bytes=" + f.RangeBegin + "-" + f.RangeEnd);
    for (const auto& line : lines)
        if (line.find_first_of("\r\n") != std::string::npos) return false;
    return true;
}
