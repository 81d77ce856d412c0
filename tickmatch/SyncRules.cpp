#include "tickmatch/SyncRules.h"

#include "platform/rtl/AtomicFile.h"
#include "platform/rtl/DataDir.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace tickmatch {

TProtocol ProtocolFromArgument(int value) {
    switch (value) {
    case 0:
        return TProtocol::Daytime;
    case 2:
        return TProtocol::Sntp;
    default:
        return TProtocol::Time;
    }
}

TTickmatchArgs ParseArguments(const std::vector<std::string>& args) {
    TTickmatchArgs a;
    a.Mode = args.at(0);
    a.Server = args.at(1);
    a.Protocol = StrToInt(args.at(2));
    a.UtcOffset = StrToFloat(args.at(3));
    a.Stay = StrToInt(args.at(4));
    a.SetDate = args.at(5) == "1";
    a.ConfirmLargeChange = args.at(6) == "1";
    a.LogName = args.at(7);
    return a;
}

double AllowanceSeconds(TProtocol protocol) {
    switch (protocol) {
    case TProtocol::Daytime:
        return 3; // whole seconds only, and the line takes its time
    case TProtocol::Time:
        return 1;
    case TProtocol::Sntp:
        return 0; // the round trip is measured
    }
    return 0;
}

int64_t ToMilliseconds(TDateTime dt) {
    return std::llround(dt * MSecsPerDay);
}
TDateTime FromMilliseconds(int64_t ms) {
    return double(ms) / MSecsPerDay;
}

TDateTime CorrectedTime(TDateTime serverTime, bool hasDate, TProtocol protocol,
                        double utcOffsetHours, bool setDate, TDateTime currentUtc) {
    const int64_t msPerDay = 86400000;
    int64_t t = ToMilliseconds(serverTime) + std::llround(AllowanceSeconds(protocol) * 1000) +
                std::llround(utcOffsetHours * 3600000.0);
    if (hasDate && setDate) return FromMilliseconds(t);
    int64_t timeOfDay = ((t % msPerDay) + msPerDay) % msPerDay;
    int64_t now = ToMilliseconds(currentUtc);
    int64_t today = now - (((now % msPerDay) + msPerDay) % msPerDay);
    int64_t best = today + timeOfDay;
    for (int64_t candidate : {best - msPerDay, best + msPerDay})
        if (std::llabs(candidate - now) < std::llabs(best - now)) best = candidate;
    return FromMilliseconds(best);
}

bool IsLargeChange(TDateTime oldUtc, TDateTime newUtc) {
    return std::llabs(ToMilliseconds(oldUtc) - ToMilliseconds(newUtc)) > 45LL * 60 * 1000;
}

namespace {

std::string ClockText(TDateTime utc) {
    int h, m, s, ms;
    DecodeTime(FromMilliseconds(ToMilliseconds(utc)), h, m, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d UTC", h, m, s);
    return buf;
}

std::string WithoutControls(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (static_cast<unsigned char>(c) < ' ' || c == 127) c = ' ';
    return out;
}

} // namespace

std::string LargeChangeQuestion(TDateTime oldUtc, TDateTime newUtc) {
    const char* pieces[] = {
        "This Clock Sync will alter your system clock by more than 45 minutes",
        "which is an unusually large change...",
        "You may wish to check that this server is returning UTC and/or that the",
        "Time Server UTC offset is set correctly in the Sync Preferences screen",
        "(see the Horolux userguide for more information)",
        "Proceed with clock Adjustment from: ",
    };
    std::string text;
    for (const char* piece : pieces) {
        if (!text.empty()) text += "\n\r";
        text += piece;
    }
    return text + ClockText(oldUtc) + " to: " + ClockText(newUtc);
}

std::string LogLineStart(const std::string& host, TDateTime attemptLocalTime) {
    return std::string("SYNC-ATTEMPT\tHost: ") + WithoutControls(host) + "\t" +
           FormatDateTime("MMM-dd-YYYY HH:MM:SS", attemptLocalTime);
}

std::string LogSuccessFields(TDateTime newUtc, TDateTime oldUtc) {
    return "\tSUCCESS\t" + FloatToStr(newUtc) + "\t" + FloatToStr(oldUtc) + "\t" +
           FloatToStr(oldUtc - newUtc) + "!";
}

std::string LogFailField(const std::string& failText) {
    return "\t" + WithoutControls(failText);
}

bool IsValidLogName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool AppendLogLine(const std::string& path, const std::string& line, std::string& error) {
    // Under the lock horolux takes to clear the log: the line is never
    // written into a file that a clear has just removed.
    if (AppendLockedLine(path, line + "\r\n")) return true;
    error = path + ": " + std::strerror(errno);
    return false;
}

std::string DataDirectory(const std::string& programDir) {
    std::string dir = ResolveDataDirectory(programDir);
    if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

} // namespace tickmatch
