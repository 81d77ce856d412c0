// The sync log as the clock-drift chart reads it: the samples of the
// successful attempts and the statistics over every line. No Qt.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <cstdint>
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

// The totals over the lines of a log taken one by one, in file order, so a
// read can stop and go on where it stopped.
class TSyncLogTally {
public:
    // Counts one line (without its LF); true when it gives a chart point,
    // which is then in sample.
    bool AddLine(std::string_view line, TDriftSample& sample);
    // nowUtc is where the range ends when every sample lies before it.
    TDriftStatistics Statistics(TDateTime nowUtc) const;
    // The mean correction of the chart points.
    double SampleAverage() const { return FSampleCount ? FSampleSum / double(FSampleCount) : 0; }

private:
    TDriftStatistics FStats;
    TDateTime FLatest = 0; // latest sample date
    double FSum = 0;       // of |correction| per day between samples
    TDateTime FPrevious = 0;
    double FSampleSum = 0;
    size_t FSampleCount = 0;
};

struct TSyncLogContents {
    // The chart's points: lines with both a date and a correction, in file order.
    std::vector<TDriftSample> Samples;
    TDriftStatistics Statistics;
};

// Reads log text with LF or CR LF line ends; nowUtc is where the range ends
// when every sample lies before it.
TSyncLogContents ReadSyncLogText(std::string_view text, TDateTime nowUtc);

// Reads the log a slice at a time and keeps what it has read: a later read
// takes only the lines appended since, and starts again from the top only
// when the file shrank or was replaced. Only the chart points are kept, in
// the vector given, which must outlive the reader.
class TSyncLogReader {
public:
    TSyncLogReader(std::string path, std::vector<TDriftSample>& samples);
    ~TSyncLogReader();
    TSyncLogReader(const TSyncLogReader&) = delete;
    TSyncLogReader& operator=(const TSyncLogReader&) = delete;

    // Starts a read at the end of the last one (or at the top); false when
    // the log cannot be opened.
    bool Begin();
    // Reads at most maxBytes more; true once the read has reached the end.
    bool Step(size_t maxBytes);
    bool Reading() const { return FFd >= 0; }

    // As of the end of the last finished read.
    TDriftStatistics Statistics(TDateTime nowUtc) const { return FShown.Statistics(nowUtc); }
    double SampleAverage() const { return FShown.SampleAverage(); }
    // Bytes read from the file so far, and how many reads started at the top.
    uint64_t BytesRead() const { return FBytesRead; }
    int WholeReads() const { return FWholeReads; }

    // A longer line is judged by its start: the fields read lie far inside.
    static constexpr size_t MaxLineBytes = 64 * 1024;

private:
    void Restart();
    void Finish();
    void TakeLine(std::string_view line);
    void AddPending(std::string_view piece);

    std::string FPath;
    std::vector<TDriftSample>& FSamples;
    int FFd = -1;
    // The file read last, its bytes up to the end of its last whole line,
    // and the bytes just before that end, by which the same file is known.
    uint64_t FDevice = 0, FInode = 0;
    uint64_t FOffset = 0;
    uint64_t FPos = 0; // of the next read
    std::string FTail;
    bool FStartOver = true;
    std::string FPending; // a line whose end has not been read yet
    bool FPendingLong = false;
    TSyncLogTally FTally; // the whole lines
    TSyncLogTally FShown; // and a last line still without its end
    bool FPendingSample = false; // the last sample is that line's
    uint64_t FBytesRead = 0;
    int FWholeReads = 0;
};

// "0 Days 00:00:01.080": whole days, then the time of day of |days| to the
// millisecond.
std::string DriftText(double days);
// "93%"; empty when there are no entries.
std::string SuccessRateText(const TDriftStatistics& s);
// "2 Samples from Dec-08-2026 02:45 - Dec-09-2026 10:00 (UTC)"; without
// samples, that there are none yet.
std::string LogDateRangeText(const TDriftStatistics& s);

// The chart's lines over the samples: the moving average of each sample and
// the two before it (from the third sample on), and the mean of all.
std::vector<TDriftSample> MovingAverage(const std::vector<TDriftSample>& samples, size_t period);
// That average at sample i (i + 1 >= period).
double MovingAverageAt(const std::vector<TDriftSample>& samples, size_t i, size_t period);
double OverallAverage(const std::vector<TDriftSample>& samples);
