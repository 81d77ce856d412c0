#include "tools/SyncLog.h"

#include "timemodel/HXString.h"

#include <cmath>
#include <fstream>
#include <sstream>

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

TSyncLogContents ReadSyncLogText(std::string_view text, TDateTime nowUtc) {
    TSyncLogContents c;
    TDriftStatistics& s = c.Statistics;
    double sum = 0;
    TDateTime previous = 0;
    s.Last = nowUtc;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const TFields f(text.substr(start, end - start));
        start = end + 1;

        ++s.Entries;
        const TDateTime date = DateOfLine(f);
        const double drift = DriftOfLine(f);
        // A date outside the calendar (years 1 to 9999) cannot be plotted.
        if (date != 0 && drift != 0 && date > -693594 && date < 2958466)
            c.Samples.push_back({date, drift});
        if (date <= 0) continue;
        ++s.Successes;
        s.MaxDrift = std::max(s.MaxDrift, std::fabs(drift));
        if (s.First == 0 || date < s.First) s.First = date;
        if (date > s.Last) s.Last = date;
        // A sample older than the one before it gives no span to divide by.
        if (previous != 0 && date >= previous) sum += std::fabs(drift) / (date - previous + 1);
        previous = date;
    }
    s.AverageDrift = s.Successes > 1 ? sum / (s.Successes - 1) : sum;
    return c;
}

bool ReadSyncLogFile(const std::string& path, TDateTime nowUtc, TSyncLogContents& contents) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return false;
    contents = ReadSyncLogText(text.view(), nowUtc);
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
    return IntToStr(s.Successes) + " Samples from " + when(s.First) + " - " + when(s.Last) + " (UTC)";
}

std::vector<TDriftSample> MovingAverage(const std::vector<TDriftSample>& samples, size_t period) {
    std::vector<TDriftSample> r;
    if (period == 0 || samples.size() < period) return r;
    r.reserve(samples.size() - period + 1);
    for (size_t i = period - 1; i < samples.size(); ++i) {
        double sum = 0;
        for (size_t k = i + 1 - period; k <= i; ++k) sum += samples[k].Drift;
        r.push_back({samples[i].Date, sum / double(period)});
    }
    return r;
}

double OverallAverage(const std::vector<TDriftSample>& samples) {
    if (samples.empty()) return 0;
    double sum = 0;
    for (const TDriftSample& s : samples) sum += s.Drift;
    return sum / double(samples.size());
}
