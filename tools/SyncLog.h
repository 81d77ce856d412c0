// The sync log as the clock-drift chart reads it: the samples of the
// successful attempts and the statistics over every line. No Qt.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <string>
#include <string_view>
#include <vector>

// The new UTC time of a success line (field 5, or field 4 in the old layout
// with "SUCCESS" in field 3); 0 for any other line or a field that does not
// read as a number.
TDateTime ParseLogDate(const std::string& line);
// The correction in days of a success line (field 7 without its "!"); 0 for
// the old layout, failures and fields that do not read.
double ParseLogDrift(const std::string& line);

struct TDriftSample {
    TDateTime Date = 0;
    double Drift = 0; // days
};

struct TDriftStatistics {
    int Entries = 0;   // lines
    int Successes = 0; // lines with a date
    double MaxDrift = 0;     // days, the largest |correction|
    double AverageDrift = 0; // days per day between samples, over successes - 1
    TDateTime First = 0;     // earliest sample
    TDateTime Last = 0;      // latest sample, or now when that is later
};

struct TSyncLogContents {
    // The chart's points: lines with both a date and a correction, in file order.
    std::vector<TDriftSample> Samples;
    TDriftStatistics Statistics;
};

// Reads log text with LF or CR LF line ends; nowUtc is where the range ends
// when every sample lies before it.
TSyncLogContents ReadSyncLogText(std::string_view text, TDateTime nowUtc);
// False when the file cannot be opened or read.
bool ReadSyncLogFile(const std::string& path, TDateTime nowUtc, TSyncLogContents& contents);

// "0 Days 00:00:01.080": whole days, then the time of day of |days| to the
// millisecond.
std::string DriftText(double days);
// "93%"; empty when there are no entries.
std::string SuccessRateText(const TDriftStatistics& s);
// "2 Samples from Dec-08-2026 02:45 - Dec-09-2026 10:00 (UTC)"
std::string LogDateRangeText(const TDriftStatistics& s);

// The chart's lines over the samples: the moving average of each sample and
// the two before it (from the third sample on), and the mean of all.
std::vector<TDriftSample> MovingAverage(const std::vector<TDriftSample>& samples, size_t period);
double OverallAverage(const std::vector<TDriftSample>& samples);
