#include "tools/SyncLog.h"

#include "timemodel/HXString.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

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
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        TDriftSample sample;
        if (tally.AddLine(text.substr(start, end - start), sample)) c.Samples.push_back(sample);
        start = end + 1;
    }
    c.Statistics = tally.Statistics(nowUtc);
    return c;
}

// ------------------------------------------------------------- reader

namespace {
constexpr size_t kTailBytes = 64;
} // namespace

TSyncLogReader::TSyncLogReader(std::string path, std::vector<TDriftSample>& samples)
    : FPath(std::move(path)), FSamples(samples) {}

TSyncLogReader::~TSyncLogReader() {
    if (FFd >= 0) ::close(FFd);
}

bool TSyncLogReader::Begin() {
    // A read still going on reaches the end as it is when it gets there.
    if (FFd >= 0) return true;
    const int fd = ::open(FPath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        if (fd >= 0) ::close(fd);
        // What was read is gone with the file.
        Restart();
        FStartOver = true;
        return false;
    }
    // The same file, grown or as it was: its bytes before the end of the
    // last read are still those read then.
    bool same = !FStartOver && uint64_t(st.st_dev) == FDevice && uint64_t(st.st_ino) == FInode &&
                uint64_t(st.st_size) >= FOffset;
    if (same && !FTail.empty()) {
        std::string now(FTail.size(), '\0');
        same = ::pread(fd, now.data(), now.size(), off_t(FOffset - FTail.size())) ==
                   ssize_t(now.size()) &&
               now == FTail;
    }
    if (same) {
        // The unfinished line is read again, whole or not.
        if (FPendingSample) FSamples.pop_back();
    } else {
        Restart();
        FDevice = uint64_t(st.st_dev);
        FInode = uint64_t(st.st_ino);
        ++FWholeReads;
    }
    FPendingSample = false;
    FPending.clear();
    FStartOver = false;
    FFd = fd;
    FPos = FOffset;
    return true;
}

void TSyncLogReader::Restart() {
    std::vector<TDriftSample>().swap(FSamples);
    FTally = TSyncLogTally();
    FShown = TSyncLogTally();
    FOffset = 0;
    FTail.clear();
    FPending.clear();
    FPendingSample = false;
}

void TSyncLogReader::TakeLine(std::string_view line) {
    TDriftSample sample;
    if (FTally.AddLine(line, sample)) FSamples.push_back(sample);
}

void TSyncLogReader::AddPending(std::string_view piece) {
    if (FPending.size() < MaxLineBytes)
        FPending.append(piece.substr(0, MaxLineBytes - FPending.size()));
}

bool TSyncLogReader::Step(size_t maxBytes) {
    if (FFd < 0) return true;
    char buf[64 * 1024];
    while (maxBytes > 0) {
        const ssize_t n = ::pread(FFd, buf, std::min(sizeof buf, maxBytes), off_t(FPos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // After a failed read nothing read before can be trusted.
            if (n < 0) FStartOver = true;
            Finish();
            return true;
        }
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
            FOffset = at + start;
        }
    }
    return false;
}

void TSyncLogReader::Finish() {
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
    FTail.assign(size_t(std::min<uint64_t>(FOffset, kTailBytes)), '\0');
    if (!FTail.empty() && ::pread(FFd, FTail.data(), FTail.size(), off_t(FOffset - FTail.size())) !=
                              ssize_t(FTail.size()))
        FStartOver = true;
    ::close(FFd);
    FFd = -1;
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
