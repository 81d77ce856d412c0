// The rules of one Tickmatch attempt that need no window, socket or bus: the
// command line, the correction of the clock, the question before a large
// change and the lines of the sync log.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tickmatch {

// Protocol argument: 0 DAYTIME, 1 TIME, 2 SNTP; any other value is TIME.
enum class TProtocol { Daytime, Time, Sntp };
TProtocol ProtocolFromArgument(int value);

constexpr int ArgumentCount = 8;

struct TTickmatchArgs {
    std::string Mode;   // "-s" starts the attempt
    std::string Server; // host name or dotted address
    int Protocol = 1;
    double UtcOffset = 0; // hours added to the server's time
    int Stay = 0;         // non-zero: the window is shown and the program stays
    bool SetDate = false;
    bool ConfirmLargeChange = false;
    std::string LogName; // "!" for no log line
};

// Reads the eight arguments in their order; a non-numeric protocol, stay or
// offset raises EConvertError. The count is the caller's check.
TTickmatchArgs ParseArguments(const std::vector<std::string>& args);

// Seconds added to the server's time for the time it took to arrive.
double AllowanceSeconds(TProtocol protocol);

// The UTC time to set, in whole milliseconds of a TDateTime. serverTime is a
// full date and time, or only a time of day when hasDate is false (DAYTIME).
// The server offset (hours, either sign) and the allowance are added. Without
// a date to take (set-date off, or a DAYTIME reply), the time of day is put on
// the date that brings it nearest to currentUtc, so a clock a little before
// midnight and a server a little after it are not a day apart.
TDateTime CorrectedTime(TDateTime serverTime, bool hasDate, TProtocol protocol,
                        double utcOffsetHours, bool setDate, TDateTime currentUtc);

// A TDateTime to whole milliseconds since day 0, and back.
int64_t ToMilliseconds(TDateTime dt);
TDateTime FromMilliseconds(int64_t ms);

// True when the change from oldUtc to newUtc is more than 45 minutes;
// exactly 45 minutes does not ask.
bool IsLargeChange(TDateTime oldUtc, TDateTime newUtc);

// The question shown before a large change.
std::string LargeChangeQuestion(TDateTime oldUtc, TDateTime newUtc);

// ---------------------------------------------------------------- sync log

constexpr const char* LogNone = "!";
constexpr const char* FailTimedOut = "FAIL: Response From Time Server Timed Out";
constexpr const char* FailInvalidTimestamp = "FAIL: Invalid TimeStamp Format: ";
constexpr const char* FailUserAborted = "FAIL: User aborted sync due to large differential";
constexpr const char* FailCouldNotSet = "FAIL: Could not set system time";

// "SYNC-ATTEMPT", the host and the local time the attempt began.
std::string LogLineStart(const std::string& host, TDateTime attemptLocalTime);
// The success fields: "SUCCESS", new, old and old minus new followed by "!".
std::string LogSuccessFields(TDateTime newUtc, TDateTime oldUtc);
// TAB and one failure text.
std::string LogFailField(const std::string& failText);

// A log name must be a plain file name in the data directory.
bool IsValidLogName(const std::string& name);

// Appends line and CR LF to the file at path, creating it when missing.
// False with a reason in error when the file cannot be written.
bool AppendLogLine(const std::string& path, const std::string& line, std::string& error);

// The suite's data directory, as every program of the suite finds it
// (ResolveDataDirectory), without its trailing '/'.
std::string DataDirectory(const std::string& programDir);

} // namespace tickmatch
