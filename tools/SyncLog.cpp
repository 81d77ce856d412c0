#include "tools/SyncLog.h"

#include "platform/rtl/RetryOnEintr.h"
#include "platform/rtl/StoredLines.h"
#include "timemodel/HXString.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The fields of one line, TAB separated, numbered from 1; the CR of a CR LF
// line end is not part of the last field.
struct TFields {
    std::vector<std::string_view> F;
    explicit TFields(std::string_view line) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        size_t start = 0;
        // Only the first seven fields are ever read.
        while (F.size() < 8) {
            const size_t tab = line.find('\t', start);
            F.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
            if (tab == std::string_view::npos) break;
            start = tab + 1;
        }
    }
    std::string_view operator[](size_t n) const { return n <= F.size() ? F[n - 1] : std::string_view(); }
};

// A field that does not read as a number counts as 0.
double Number(std::string_view text) {
    try {
        const double v = ParseFloat(std::string(text));
        return std::isfinite(v) ? v : 0;
    } catch (...) {
        return 0;
    }
}

TDateTime DateOfLine(const TFields& f) {
    if (f[4] == "SUCCESS") return Number(f[5]);
    if (f[3] == "SUCCESS") return Number(f[4]);
    return 0;
}

double DriftOfLine(const TFields& f) {
    if (f[4] != "SUCCESS") return 0;
    return Number(RemoveChar(std::string(f[7]), '!'));
}

} // namespace

TDateTime ParseLogDate(const std::string& line) {
    return DateOfLine(TFields(line));
}

double ParseLogDrift(const std::string& line) {
    return DriftOfLine(TFields(line));
}

bool TSyncLogTally::AddLine(std::string_view line, TDriftSample& sample) {
    const TFields f(line);
    ++FStats.Entries;
    const TDateTime date = DateOfLine(f);
    const double drift = DriftOfLine(f);
    bool point = false;
    // A date outside the calendar (years 1 to 9999) cannot be plotted.
    if (date != 0 && drift != 0 && date > -693594 && date < 2958466) {
        sample = {date, drift};
        FSampleSum += drift;
        ++FSampleCount;
        point = true;
    }
    if (date <= 0) return point;
    ++FStats.Successes;
    FStats.MaxDrift = std::max(FStats.MaxDrift, std::fabs(drift));
    if (FStats.First == 0 || date < FStats.First) FStats.First = date;
    if (date > FLatest) FLatest = date;
    // A sample older than the one before it gives no span to divide by.
    if (FPrevious != 0 && date >= FPrevious) FSum += std::fabs(drift) / (date - FPrevious + 1);
    FPrevious = date;
    return point;
}

TDriftStatistics TSyncLogTally::Statistics(TDateTime nowUtc) const {
    TDriftStatistics s = FStats;
    s.Last = s.Successes > 0 && FLatest > nowUtc ? FLatest : nowUtc;
    s.AverageDrift = s.Successes > 1 ? FSum / (s.Successes - 1) : FSum;
    return s;
}

TSyncLogContents ReadSyncLogText(std::string_view text, TDateTime nowUtc) {
    TSyncLogContents c;
    TSyncLogTally tally;
    TStoredLines lines(text, TStoredLines::TMode::Every);
    std::string_view line;
    while (lines.Next(line)) {
        TDriftSample sample;
        if (tally.AddLine(line, sample)) c.Samples.push_back(sample);
    }
    c.Statistics = tally.Statistics(nowUtc);
    return c;
}

// ------------------------------------------------------------- reader

namespace {

// Nothing in a log is hidden from the hash: a word at a time, each step a
// bijection of the state, so no one change of a word leaves it as it was.
constexpr uint64_t kOdd1 = 0x9E3779B97F4A7C15ull, kOdd2 = 0xBF58476D1CE4E5B9ull;

uint64_t Rotate(uint64_t x, int k) {
    return (x << k) | (x >> (64 - k));
}

// Timestamps come from a clock that steps a few milliseconds at a time; a
// second is ample for that and for file systems that keep whole seconds.
constexpr int64_t kRecentNs = 1000000000;

} // namespace

void TSyncLogDigest::Mix(uint64_t word) {
    FHash = Rotate(FHash ^ (word * kOdd1), 31) * kOdd2;
}

void TSyncLogDigest::Add(std::string_view bytes) {
    if (bytes.empty()) return;
    FLength += bytes.size();
    if (bytes.size() >= TailBytes) {
        std::memcpy(FTail, bytes.data() + bytes.size() - TailBytes, TailBytes);
        FTailLength = TailBytes;
    } else {
        const size_t drop = FTailLength + bytes.size() > TailBytes ? FTailLength + bytes.size() - TailBytes : 0;
        std::memmove(FTail, FTail + drop, FTailLength - drop);
        std::memcpy(FTail + FTailLength - drop, bytes.data(), bytes.size());
        FTailLength += bytes.size() - drop;
    }
    size_t i = 0;
    if (FWordFill > 0) {
        while (FWordFill < 8 && i < bytes.size()) FWord[FWordFill++] = static_cast<unsigned char>(bytes[i++]);
        if (FWordFill < 8) return;
        uint64_t w;
        std::memcpy(&w, FWord, 8);
        Mix(w);
        FWordFill = 0;
    }
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes.data() + i, 8);
        Mix(w);
    }
    while (i < bytes.size()) FWord[FWordFill++] = static_cast<unsigned char>(bytes[i++]);
}

uint64_t TSyncLogDigest::Value() const {
    uint64_t last = 0;
    std::memcpy(&last, FWord, FWordFill);
    uint64_t h = Rotate(FHash ^ (last * kOdd1), 31) * kOdd2;
    h = Rotate(h ^ (FLength * kOdd1), 31) * kOdd2;
    h ^= h >> 30;
    h *= kOdd2;
    h ^= h >> 27;
    h *= 0x94D049BB133111EBull;
    return h ^ (h >> 31);
}

TSyncLogReader::TSyncLogReader(std::string path, std::vector<TDriftSample>& samples)
    : FPath(std::move(path)), FSamples(samples) {}

TSyncLogReader::~TSyncLogReader() {
    if (FFd >= 0) ::close(FFd);
    CloseCheck();
}

TSyncLogReader::TStamp TSyncLogReader::StampOf(const struct stat& st) {
    TStamp s;
    s.Device = uint64_t(st.st_dev);
    s.Inode = uint64_t(st.st_ino);
    s.Size = uint64_t(st.st_size);
    s.Modified = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.Changed = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

bool TSyncLogReader::Recent(const TStamp& s) {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const int64_t ns = int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
    return std::max(s.Modified, s.Changed) > ns - kRecentNs;
}

bool TSyncLogReader::Begin() {
    // A read still going on reaches the end as it is when it gets there.
    if (FFd >= 0) return true;
    // What a check was to confirm is decided anew.
    CloseCheck();
    FCheck.Due = false;
    TStamp stamp;
    const int fd = OpenLog(stamp);
    if (fd < 0) return false;
    // The same file, grown or as it was: its bytes before the end of the
    // last read must still be those read then.
    bool resume = !FStartOver && SameFile(stamp) && stamp.Size >= FOffset;
    FCheckAfter = false;
    if (resume && !(FTrusted && stamp == FStamp) && FOffset > 0) {
        // Written to since: the bytes just before the end tell at once of a
        // log cleared and written anew; the rest is compared afterwards.
        const std::string_view tail = FAtOffset.Tail();
        std::string now(tail.size(), '\0');
        resume = ::pread(fd, now.data(), now.size(), off_t(FOffset - tail.size())) == ssize_t(now.size()) &&
                 now == tail;
        FCheckAfter = resume;
    }
    FFd = fd;
    FBeginStamp = stamp;
    FSteps = 0;
    FPending.clear();
    if (resume) {
        // The unfinished line is read again, whole or not.
        if (FPendingSample) FSamples.pop_back();
        FPendingSample = false;
        FFromTop = false;
        FSamplesAtBegin = FSamples.size();
        FDigest = FAtOffset;
        FPos = FOffset;
    } else {
        ::close(FFd);
        FFd = -1;
        return OpenFromTop();
    }
    return true;
}

// A read from the top of the file at the path, the chart keeping what it
// shows until that read ends; false (and the chart empty) without a file.
bool TSyncLogReader::OpenFromTop() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    // Points an unfinished read added to the chart are of a file that is
    // not there any more.
    if (!FFromTop && FSamplesAtBegin <= FSamples.size()) FSamples.resize(FSamplesAtBegin);
    TStamp stamp;
    const int fd = OpenLog(stamp);
    if (fd < 0) return false;
    FFd = fd;
    FBeginStamp = stamp;
    FSteps = 0;
    FDevice = stamp.Device;
    FInode = stamp.Inode;
    FTally = TSyncLogTally();
    FOffset = FPos = 0;
    FAtOffset = FDigest = TSyncLogDigest();
    FPending.clear();
    std::vector<TDriftSample>().swap(FFresh);
    FFromTop = true;
    FCheckAfter = false;
    FStartOver = false;
    ++FWholeReads;
    return true;
}

int TSyncLogReader::OpenLog(TStamp& stamp) {
    const int fd = ::open(FPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        // What was read is gone with the file.
        Forget();
        return -1;
    }
    stamp = StampOf(st);
    return fd;
}

void TSyncLogReader::Forget() {
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    CloseCheck();
    FCheck.Due = false;
    std::vector<TDriftSample>().swap(FSamples);
    std::vector<TDriftSample>().swap(FFresh);
    FTally = TSyncLogTally();
    FShown = TSyncLogTally();
    FOffset = FPos = 0;
    FAtOffset = FDigest = TSyncLogDigest();
    FPending.clear();
    FPendingSample = false;
    FFromTop = false;
    FSamplesAtBegin = 0;
    FTrusted = false;
    FStartOver = true;
}

void TSyncLogReader::TakeLine(std::string_view line) {
    // Read in pieces up to each LF; a lone CR inside one ends a line too,
    // as in every stored file of the suite (the CR of a CR LF ends the
    // piece's last line, no more).
    TStoredLines lines(line, TStoredLines::TMode::Every);
    std::string_view piece;
    bool any = false;
    while (lines.Next(piece)) {
        any = true;
        TDriftSample sample;
        if (FTally.AddLine(piece, sample)) (FFromTop ? FFresh : FSamples).push_back(sample);
    }
    if (!any) {
        TDriftSample sample;
        if (FTally.AddLine({}, sample)) (FFromTop ? FFresh : FSamples).push_back(sample);
    }
}

void TSyncLogReader::AddPending(std::string_view piece) {
    if (FPending.size() < MaxLineBytes)
        FPending.append(piece.substr(0, MaxLineBytes - FPending.size()));
}

bool TSyncLogReader::Step(size_t maxBytes) {
    if (FFd < 0) return true;
    if (FCheck.Due && FCheck.BeforeShowing) return CheckStep(maxBytes);
    ++FSteps;
    char buf[64 * 1024];
    while (maxBytes > 0) {
        const ssize_t n = RetryOnEintr(
            [&] { return ::pread(FFd, buf, std::min(sizeof buf, maxBytes), off_t(FPos)); });
        if (n < 0) {
            // After a failed read nothing read before can be trusted.
            FStartOver = true;
            FCheckAfter = false;
            Commit(FBeginStamp, false);
            return true;
        }
        if (n == 0) return EndOfRead();
        const std::string_view data(buf, size_t(n));
        const uint64_t at = FPos;
        FPos += uint64_t(n);
        FBytesRead += uint64_t(n);
        maxBytes -= std::min(maxBytes, size_t(n));
        size_t start = 0;
        for (;;) {
            const size_t lf = data.find('\n', start);
            if (lf == std::string_view::npos) {
                AddPending(data.substr(start));
                break;
            }
            if (FPending.empty()) {
                TakeLine(data.substr(start, lf - start));
            } else {
                AddPending(data.substr(start, lf - start));
                TakeLine(FPending);
                FPending.clear();
            }
            start = lf + 1;
        }
        if (start > 0) {
            // Up to the end of the last whole line, then the rest.
            FDigest.Add(data.substr(0, start));
            FAtOffset = FDigest;
            FOffset = at + start;
            FDigest.Add(data.substr(start));
        } else {
            FDigest.Add(data);
        }
    }
    return false;
}

// The end of the file is reached: the read is shown unless the file
// changed under it.
bool TSyncLogReader::EndOfRead() {
    struct stat st, there;
    if (::fstat(FFd, &st) != 0) {
        FStartOver = true;
        FCheckAfter = false;
        Commit(FBeginStamp, false);
        return true;
    }
    const TStamp now = StampOf(st);
    // Rotated, removed or cut short while it was read: the file now at the
    // path is read instead, from the top.
    if (::stat(FPath.c_str(), &there) != 0 || !SameFile(StampOf(there)) || now.Size < FPos)
        return !OpenFromTop();
    if (now.Size > FPos) return false; // written to as the end was reached: more to read
    // Written to while it was read (or so lately before that a write would
    // not show): the bytes read must still be the file's before they count.
    if (!(now == FBeginStamp) || (FSteps > 1 && Recent(FBeginStamp))) {
        StartCheck(true);
        return false;
    }
    Commit(now, !Recent(now));
    return true;
}

void TSyncLogReader::Commit(const TStamp& stamp, bool trusted) {
    if (FFromTop) {
        FSamples.swap(FFresh);
        std::vector<TDriftSample>().swap(FFresh);
        FFromTop = false;
    }
    FPendingSample = false;
    FShown = FTally;
    // A line still being written counts as it stands, as a whole read would
    // count it; it is read again next time.
    if (!FPending.empty()) {
        TDriftSample sample;
        if (FShown.AddLine(FPending, sample)) {
            FSamples.push_back(sample);
            FPendingSample = true;
        }
        FPending.clear();
    }
    FSamplesAtBegin = FSamples.size();
    FStamp = stamp;
    FTrusted = trusted && !FCheckAfter;
    if (FFd >= 0) ::close(FFd);
    FFd = -1;
    if (FCheckAfter) {
        FCheckAfter = false;
        StartCheck(false);
    }
}

// The bytes up to the end of the last whole line, compared with the file at
// the path; beforeShowing: this read is shown only when they agree.
void TSyncLogReader::StartCheck(bool beforeShowing) {
    CloseCheck();
    FCheck.Due = true;
    FCheck.BeforeShowing = beforeShowing;
    // Compared before it is shown, all of it is: nothing is left for after.
    if (beforeShowing) FCheckAfter = false;
    FCheck.Pos = 0;
    FCheck.End = FOffset;
    FCheck.Want = FAtOffset.Value();
    FCheck.Digest = TSyncLogDigest();
}

void TSyncLogReader::CloseCheck() {
    if (FCheck.Fd >= 0) ::close(FCheck.Fd);
    FCheck.Fd = -1;
}

bool TSyncLogReader::Check(size_t maxBytes) {
    if (!FCheck.Due || FCheck.BeforeShowing) return true;
    return CheckStep(maxBytes);
}

bool TSyncLogReader::CheckStep(size_t maxBytes) {
    bool same = true;
    if (FCheck.Fd < 0) {
        FCheck.Fd = ::open(FPath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st;
        same = FCheck.Fd >= 0 && ::fstat(FCheck.Fd, &st) == 0;
        if (same) {
            FCheck.Stamp = StampOf(st);
            same = SameFile(FCheck.Stamp) && FCheck.Stamp.Size >= FCheck.End;
        }
    }
    char buf[64 * 1024];
    while (same && FCheck.Pos < FCheck.End && maxBytes > 0) {
        const size_t want = size_t(std::min<uint64_t>({sizeof buf, maxBytes, FCheck.End - FCheck.Pos}));
        const ssize_t n =
            RetryOnEintr([&] { return ::pread(FCheck.Fd, buf, want, off_t(FCheck.Pos)); });
        if (n <= 0) {
            same = false;
            break;
        }
        FCheck.Digest.Add(std::string_view(buf, size_t(n)));
        FCheck.Pos += uint64_t(n);
        FBytesChecked += uint64_t(n);
        maxBytes -= std::min(maxBytes, size_t(n));
    }
    if (same && FCheck.Pos < FCheck.End) return false;
    TStamp after;
    struct stat st;
    if (same) {
        same = FCheck.Digest.Value() == FCheck.Want && ::fstat(FCheck.Fd, &st) == 0;
        if (same) after = StampOf(st);
    }
    CloseCheck();
    FCheck.Due = false;
    if (!same) {
        // Not what was read: all of it is read again.
        if (FCheck.BeforeShowing) return !OpenFromTop();
        OpenFromTop();
        return true;
    }
    // The bytes read are the file's as of the stamp at the start of the
    // comparison, if nothing was written while it went on.
    const bool steady = after == FCheck.Stamp && !Recent(after);
    if (FCheck.BeforeShowing) {
        Commit(FCheck.Stamp, steady);
        return true;
    }
    if (steady) {
        FStamp = FCheck.Stamp;
        FTrusted = true;
    }
    return true;
}

std::string DriftText(double days) {
    const double ms = std::round(std::fabs(days) * MSecsPerDay);
    if (!std::isfinite(ms) || ms > 1e15) return "?";
    const int64_t t = int64_t(ms);
    const int64_t dayMs = int64_t(MSecsPerDay);
    return Format("%lld Days %02d:%02d:%02d.%03d", (long long)(t / dayMs), int(t % dayMs / 3600000),
                  int(t % 3600000 / 60000), int(t % 60000 / 1000), int(t % 1000));
}

std::string SuccessRateText(const TDriftStatistics& s) {
    if (s.Entries == 0) return {};
    return IntToStr(Round(double(s.Successes) / s.Entries * 100)) + "%";
}

std::string LogDateRangeText(const TDriftStatistics& s) {
    auto when = [](TDateTime t) {
        try {
            return FormatDateTime("MMM-DD-YYYY HH:MM", t);
        } catch (...) {
            return std::string("?");
        }
    };
    if (s.Successes == 0) return "No samples yet";
    return IntToStr(s.Successes) + " Samples from " + when(s.First) + " - " + when(s.Last) + " (UTC)";
}

std::vector<TDriftSample> MovingAverage(const std::vector<TDriftSample>& samples, size_t period) {
    std::vector<TDriftSample> r;
    if (period == 0 || samples.size() < period) return r;
    r.reserve(samples.size() - period + 1);
    for (size_t i = period - 1; i < samples.size(); ++i)
        r.push_back({samples[i].Date, MovingAverageAt(samples, i, period)});
    return r;
}

double MovingAverageAt(const std::vector<TDriftSample>& samples, size_t i, size_t period) {
    double sum = 0;
    for (size_t k = i + 1 - period; k <= i; ++k) sum += samples[k].Drift;
    return sum / double(period);
}

double OverallAverage(const std::vector<TDriftSample>& samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (const TDriftSample& s : samples) sum += s.Drift;
    return sum / double(samples.size());
}
