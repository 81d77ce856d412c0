// The system time-zone record in words, as the system-time window shows it.
// No Qt.
#pragma once

#include "timemodel/DST.h"

#include <cstdint>
#include <string>

// What the system says of the period now in force.
enum class TZoneIdResult { Unknown, Standard, Daylight, Invalid };

struct TSystemZoneInfo {
    TZoneIdResult Result = TZoneIdResult::Invalid;
    // Minutes, with the record's sign: UTC = local + bias.
    int32_t Bias = 0, StandardBias = 0, DaylightBias = 0;
    std::string StandardName, DaylightName;
    TSystemTime StandardDate, DaylightDate; // end and start of daylight saving
};

struct TZoneInfoTexts {
    std::string ActiveBias, StandardName, DaylightName;
    // Left empty, and not shown, when the record could not be read.
    bool Filled = false;
    std::string Bias, StandardBias, DaylightBias, DaylightDate, StandardDate;
};

TZoneInfoTexts ZoneInfoTexts(const TSystemZoneInfo& z);
// "Not Specified", "March 29" (a fixed date) or "Last Sunday in March".
std::string TransitionText(const TSystemTime& t);
