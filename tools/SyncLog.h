// The sync log as the clock-drift chart reads it: the samples of the
// successful attempts and the statistics over every line. No Qt.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <sys/stat.h>

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

// What a reader has taken from the bytes of a file, in order: a hash of
// them, their number and the last of them.
class TSyncLogDigest {
public:
    void Add(std::string_view bytes);
    uint64_t Value() const;
    uint64_t Length() const { return FLength; }
    static constexpr size_t TailBytes = 64;
    std::string_view Tail() const { return {FTail, FTailLength}; }

private:
    void Mix(uint64_t word);
    uint64_t FHash = 0;
    uint64_t FLength = 0;
    unsigned char FWord[8] = {};
    size_t FWordFill = 0;
    char FTail[TailBytes] = {};
    size_t FTailLength = 0;
};

// Reads the log a slice at a time and keeps what it has read: a later read
// takes only the lines appended since, and starts again from the top when
// the file shrank, was replaced or no longer holds what was read. Only the
// chart points are kept, in the vector given, which must outlive the
// reader; they change only when a read ends, except that a read that takes
// up where the last one stopped adds its points as it goes.
//
// What was read is known by a hash of its bytes. A file whose size and
// times are those of the last read is as it was; otherwise the bytes just
// before the end of the last read are looked at when the read begins, and
// all the bytes read before are compared after it has ended (Check, in
// slices, while the chart shows the lines appended). A read during which the
// file changed is compared before it is shown. A difference starts the read
// again from the top, and the chart keeps the last whole read until that
// read has ended.
class TSyncLogReader {
public:
    TSyncLogReader(std::string path, std::vector<TDriftSample>& samples);
    ~TSyncLogReader();
    TSyncLogReader(const TSyncLogReader&) = delete;
    TSyncLogReader& operator=(const TSyncLogReader&) = delete;

    // Starts a read at the end of the last one (or at the top); false when
    // the log cannot be opened. A check still going on is dropped.
    bool Begin();
    // Reads (or, for a read the file changed under, compares) at most
    // maxBytes more; true once the read has ended and its result is shown.
    bool Step(size_t maxBytes);
    bool Reading() const { return FFd >= 0; }
    // The comparison of what an ended read took up from: at most maxBytes
    // more; true once it is over. When it found the file changed, a read
    // from the top has begun (Reading()).
    bool Checking() const { return FCheck.Due && !FCheck.BeforeShowing; }
    bool Check(size_t maxBytes);

    // As of the end of the last finished read.
    TDriftStatistics Statistics(TDateTime nowUtc) const { return FShown.Statistics(nowUtc); }
    double SampleAverage() const { return FShown.SampleAverage(); }
    // Bytes read from the file for its lines so far, bytes read again to
    // compare them, and how many reads started at the top.
    uint64_t BytesRead() const { return FBytesRead; }
    uint64_t BytesChecked() const { return FBytesChecked; }
    int WholeReads() const { return FWholeReads; }

    // A longer line is judged by its start: the fields read lie far inside.
    static constexpr size_t MaxLineBytes = 64 * 1024;

private:
    // The file as stat gives it; equal stamps: nothing was written between.
    struct TStamp {
        uint64_t Device = 0, Inode = 0, Size = 0;
        int64_t Modified = 0, Changed = 0; // ns
        bool operator==(const TStamp&) const = default;
    };
    static TStamp StampOf(const struct stat& st);
    // Written so lately that a later write may leave the same stamp.
    static bool Recent(const TStamp& s);
    bool SameFile(const TStamp& s) const { return s.Device == FDevice && s.Inode == FInode; }

    bool OpenFromTop();
    // The log opened read-only and its stamp; -1 (and all read forgotten)
    // when it cannot be.
    int OpenLog(TStamp& stamp);
    void Forget();
    void Commit(const TStamp& stamp, bool trusted);
    bool EndOfRead();
    void StartCheck(bool beforeShowing);
    bool CheckStep(size_t maxBytes);
    void CloseCheck();
    void TakeLine(std::string_view line);
    void AddPending(std::string_view piece);

    std::string FPath;
    std::vector<TDriftSample>& FSamples;
    // A read from the top gathers its points here, so that the chart keeps
    // the last whole read until it ends.
    std::vector<TDriftSample> FFresh;
    bool FFromTop = false;
    size_t FSamplesAtBegin = 0;
    int FFd = -1;
    // The file read, its bytes up to the end of its last whole line and
    // their digest; the digest of every byte read.
    uint64_t FDevice = 0, FInode = 0;
    uint64_t FOffset = 0;
    TSyncLogDigest FAtOffset, FDigest;
    uint64_t FPos = 0; // of the next read
    bool FStartOver = true;
    // The stamp under which the shown read holds, and whether that can be
    // taken at its word.
    TStamp FStamp;
    bool FTrusted = false;
    // This read: the stamp it began with, its steps, and whether what came
    // before it is to be compared once it has ended.
    TStamp FBeginStamp;
    int FSteps = 0;
    bool FCheckAfter = false;
    std::string FPending; // a line whose end has not been read yet
    TSyncLogTally FTally; // the whole lines
    TSyncLogTally FShown; // and a last line still without its end
    bool FPendingSample = false; // the last sample is that line's
    struct {
        bool Due = false, BeforeShowing = false;
        int Fd = -1;
        uint64_t Pos = 0, End = 0;
        uint64_t Want = 0;
        TSyncLogDigest Digest;
        TStamp Stamp;
    } FCheck;
    uint64_t FBytesRead = 0, FBytesChecked = 0;
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
