// The sync log read back from lines made by tickmatch's own writer.
#include "tickmatch/SyncRules.h"
#include "tools/SyncLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include <stdlib.h>

using namespace tickmatch;

namespace {

const TDateTime kAttempt = EncodeDate(2026, 12, 8) + 2.0 / 24;

std::string Success(TDateTime newUtc, double drift) {
    return LogLineStart("time.example.org", kAttempt) + LogSuccessFields(newUtc, newUtc + drift);
}
std::string Failure(const char* text = FailTimedOut) {
    return LogLineStart("time.example.org", kAttempt) + LogFailField(text);
}

} // namespace

TEST(SyncLog, LinesOfEveryKindReadAsWritten) {
    const TDateTime d = EncodeDate(2026, 12, 8) + 0.25;
    struct Case {
        const char* What;
        std::string Line;
        TDateTime Date;
        double Drift;
    };
    const Case cases[] = {
        {"success", Success(d, 0.5 / 86400), d, 0.5 / 86400},
        {"tiny drift in exponent form", Success(d, -0.00000125), d, -0.00000125},
        {"CR LF line end", Success(d, 2.0 / 86400) + "\r", d, 2.0 / 86400},
        {"zero drift", Success(d, 0), d, 0},
        {"timed out", Failure(), 0, 0},
        {"could not set", Failure(FailCouldNotSet), 0, 0},
        {"invalid stamp quoting SUCCESS", Failure(FailInvalidTimestamp) + "SUCCESS", 0, 0},
        {"old layout", "SYNC-ATTEMPT\tDec-08-2026 02:45:45\tSUCCESS\t46364.25", 46364.25, 0},
        {"old layout, CR LF", "SYNC-ATTEMPT\tDec-08-2026 02:45:45\tSUCCESS\t46364.25\r", 46364.25, 0},
        {"success with a date that is no number", "SYNC-ATTEMPT\tHost: x\tt\tSUCCESS\tsoon\t1\t2!", 0, 2},
        {"success cut short", "SYNC-ATTEMPT\tHost: x\tt\tSUCCESS", 0, 0},
        {"empty", "", 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(ParseLogDate(c.Line), c.Date, 1e-9) << c.What;
        EXPECT_NEAR(ParseLogDrift(c.Line), c.Drift, 1e-9) << c.What;
    }
    EXPECT_NE(Success(d, -0.00000125).find("E-"), std::string::npos) << "the writer's exponent form";
}

TEST(SyncLog, ACommaLocaleLogReadsInAnyLocale) {
    FormatSettings.DecimalSeparator = ',';
    const std::string line = Success(46364.25, 0.0001);
    ResetFormatSettings();
    ASSERT_NE(line.find("46364,25"), std::string::npos);
    EXPECT_DOUBLE_EQ(ParseLogDate(line), 46364.25);
    EXPECT_NEAR(ParseLogDrift(line), 0.0001, 1e-9);
}

TEST(SyncLog, Statistics) {
    const TDateTime now = EncodeDate(2026, 12, 9) + 0.5;
    const TDateTime d1 = EncodeDate(2026, 12, 1), d2 = d1 + 1, d3 = d1 + 3;
    const double a = 2.0 / 86400, b = -4.0 / 86400, c = 6.0 / 86400;
    struct Case {
        const char* What;
        std::vector<std::string> Lines;
        int Entries, Successes, Samples;
        double Max, Average;
        TDateTime First, Last;
        const char* Rate;
    };
    const Case cases[] = {
        {"empty log", {}, 0, 0, 0, 0, 0, 0, now, ""},
        {"one sample: no average, range to now", {Success(d1, a)}, 1, 1, 1, a, 0, d1, now, "100%"},
        {"two", {Success(d1, a), Success(d2, b)}, 2, 2, 2, -b, -b / 2, d1, now, "100%"},
        {"three", {Success(d1, a), Success(d2, b), Success(d3, c)}, 3, 3, 3, c,
         (-b / 2 + c / 3) / 2, d1, now, "100%"},
        {"failures lower the rate", {Success(d1, a), Failure(), Success(d2, b)}, 3, 2, 2, -b, -b / 2,
         d1, now, "67%"},
        {"zero drift counts but is no point", {Success(d1, a), Success(d2, 0)}, 2, 2, 1, a, 0, d1, now,
         "100%"},
        {"old layout counts, without a drift",
         {"SYNC-ATTEMPT\tx\tSUCCESS\t" + FloatToStr(d2), Success(d3, c)}, 2, 2, 1, c, c / 3, d2, now,
         "100%"},
        // The older one adds no term: no division by zero or by a negative span.
        {"out of order", {Success(d3, a), Success(d1, b), Success(d2, c)}, 3, 3, 3, c, c / 2 / 2, d1,
         now, "100%"},
        {"a sample after now ends the range", {Success(now + 1, a)}, 1, 1, 1, a, 0, now + 1, now + 1,
         "100%"},
        {"only failures", {Failure(), Failure(FailUserAborted)}, 2, 0, 0, 0, 0, 0, now, "0%"},
    };
    for (const Case& k : cases) {
        std::string text;
        for (const std::string& l : k.Lines) text += l + "\r\n";
        const TSyncLogContents r = ReadSyncLogText(text, now);
        const TDriftStatistics& s = r.Statistics;
        EXPECT_EQ(s.Entries, k.Entries) << k.What;
        EXPECT_EQ(s.Successes, k.Successes) << k.What;
        EXPECT_EQ(int(r.Samples.size()), k.Samples) << k.What;
        EXPECT_NEAR(s.MaxDrift, k.Max, 1e-9) << k.What;
        EXPECT_NEAR(s.AverageDrift, k.Average, 1e-9) << k.What;
        EXPECT_NEAR(s.First, k.First, 1e-9) << k.What;
        EXPECT_NEAR(s.Last, k.Last, 1e-9) << k.What;
        EXPECT_EQ(SuccessRateText(s), k.Rate) << k.What;
    }
}

TEST(SyncLog, Texts) {
    EXPECT_EQ(DriftText(0.0000125), "0 Days 00:00:01.080");
    EXPECT_EQ(DriftText(-0.0000125), "0 Days 00:00:01.080");
    EXPECT_EQ(DriftText(0), "0 Days 00:00:00.000");
    EXPECT_EQ(DriftText(2.5 + 61.005 / 86400), "2 Days 12:01:01.005");
    TDriftStatistics s;
    s.Successes = 2;
    s.First = EncodeDate(2026, 12, 8) + (2 * 60 + 45) / 1440.0;
    s.Last = EncodeDate(2026, 12, 9) + 0.5;
    EXPECT_EQ(LogDateRangeText(s), "2 Samples from Dec-08-2026 02:45 - Dec-09-2026 12:00 (UTC)");
    // Not "0 Samples from Dec-30-1899 00:00".
    EXPECT_EQ(LogDateRangeText(TDriftStatistics{}), "No samples yet");
}

TEST(SyncLog, LinesAreLinesWhateverTheyHold) {
    // The last line may lack its line end; a blank line is an entry; CR LF,
    // LF and a lone CR each end a line.
    EXPECT_EQ(ReadSyncLogText("a\r\n\r\nb", 0).Statistics.Entries, 3);
    EXPECT_EQ(ReadSyncLogText("a\n", 0).Statistics.Entries, 1);
    EXPECT_EQ(ReadSyncLogText("a\rb\r\rc\n\xEF\xBB\xBF" "d\r", 0).Statistics.Entries, 5);

    std::mt19937 rng(27);
    const std::vector<std::string> bits = {"SUCCESS", "\t", "\t", "!", "1", "9", ".", ",", "E",
                                           "e-", "-", "+", " ", "x", "1e308", "nan", "\x01"};
    for (int round = 0; round < 200; ++round) {
        std::string text;
        const int lines = int(rng() % 30);
        for (int i = 0; i < lines; ++i) {
            const int n = int(rng() % 40);
            for (int k = 0; k < n; ++k) text += bits[rng() % bits.size()];
            std::string end = std::vector<std::string>{"\r\n", "\n", "\r"}[rng() % 3];
            // A lone CR and then an empty line's LF would be one CR LF.
            if (n == 0 && end == "\n" && !text.empty() && text.back() == '\r') end = "\r";
            text += end;
        }
        const TSyncLogContents r = ReadSyncLogText(text, 46000);
        ASSERT_EQ(r.Statistics.Entries, lines) << text;
        EXPECT_LE(r.Statistics.Successes, lines);
        EXPECT_FALSE(std::isnan(r.Statistics.AverageDrift));
        EXPECT_GE(r.Statistics.AverageDrift, 0);
        DriftText(r.Statistics.MaxDrift);
        LogDateRangeText(r.Statistics);
    }
}

TEST(SyncLog, ChartLines) {
    std::vector<TDriftSample> s;
    for (int i = 1; i <= 5; ++i) s.push_back({double(i), double(i * i)});
    const auto ma = MovingAverage(s, 3);
    ASSERT_EQ(ma.size(), 3u);
    EXPECT_DOUBLE_EQ(ma[0].Date, 3);
    EXPECT_DOUBLE_EQ(ma[0].Drift, (1 + 4 + 9) / 3.0);
    EXPECT_DOUBLE_EQ(ma[2].Drift, (9 + 16 + 25) / 3.0);
    EXPECT_TRUE(MovingAverage({s[0], s[1]}, 3).empty());
    EXPECT_DOUBLE_EQ(OverallAverage(s), 11);
    EXPECT_DOUBLE_EQ(OverallAverage({}), 0);
}

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Write(const std::string& path, const std::string& text, std::ios::openmode mode) {
    std::ofstream(path, std::ios::binary | std::ios::out | mode) << text;
}

std::string Lines(int from, int count) {
    std::string text;
    for (int i = from; i < from + count; ++i)
        text += (i % 10 == 9 ? Failure() : Success(kAttempt + i / 24.0, (i % 7 - 3) / 86400.0)) + "\r\n";
    return text;
}

} // namespace

// A later read takes only what was appended, yet always ends with what a
// whole read of the file gives, down to the last bit.
TEST(SyncLogReader, ReadsWhatWasAppendedAndStartsAgainOnlyWhenTheFileChanged) {
    const char* base = std::getenv("HX_TEST_TMP");
    std::string dir = (base ? std::string(base) : std::filesystem::temp_directory_path().string()) +
                      "/synclog-XXXXXX";
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::string path = dir + "/hxsynclog.hxd";
    const std::string half = Success(kAttempt + 9, 5 / 86400.0);
    const TDateTime now = kAttempt + 3;

    std::vector<TDriftSample> samples;
    TSyncLogReader reader(path, samples);
    struct Step {
        const char* What;
        std::function<void()> Change;
        int WholeReads;
        int64_t Reads; // bytes read; -1: the whole file
    };
    const Step steps[] = {
        {"first read", [&] { Write(path, Lines(0, 50), std::ios::trunc); }, 1, -1},
        {"ten lines appended", [&] { Write(path, Lines(50, 10), std::ios::app); }, 1,
         int64_t(Lines(50, 10).size())},
        {"nothing new", [] {}, 1, 0},
        {"half a line", [&] { Write(path, half.substr(0, 40), std::ios::app); }, 1, 40},
        {"its other half, read with the first", [&] { Write(path, half.substr(40) + "\r\n", std::ios::app); },
         1, int64_t(half.size() + 2)},
        {"a line longer than any log's, then more",
         [&] { Write(path, std::string(100000, 'x') + "\n" + Lines(60, 3), std::ios::app); }, 1,
         int64_t(100001 + Lines(60, 3).size())},
        {"cleared and written anew, shorter", [&] { Write(path, Lines(100, 5), std::ios::trunc); }, 2, -1},
        {"rewritten in place with other lines, longer", [&] { Write(path, Lines(200, 70), std::ios::trunc); },
         3, -1},
        {"replaced by another file",
         [&] {
             Write(path + ".new", Lines(200, 75), std::ios::trunc);
             std::filesystem::rename(path + ".new", path);
         },
         4, -1},
    };
    for (const Step& s : steps) {
        s.Change();
        const uint64_t before = reader.BytesRead();
        ASSERT_TRUE(reader.Begin()) << s.What;
        // Small steps: lines are cut across reads.
        while (!reader.Step(100)) {
        }
        EXPECT_FALSE(reader.Reading()) << s.What;
        const std::string text = FileText(path);
        EXPECT_EQ(reader.WholeReads(), s.WholeReads) << s.What;
        EXPECT_EQ(int64_t(reader.BytesRead() - before), s.Reads < 0 ? int64_t(text.size()) : s.Reads)
            << s.What;
        const TSyncLogContents whole = ReadSyncLogText(text, now);
        const TDriftStatistics got = reader.Statistics(now), want = whole.Statistics;
        EXPECT_EQ(got.Entries, want.Entries) << s.What;
        EXPECT_EQ(got.Successes, want.Successes) << s.What;
        EXPECT_EQ(got.MaxDrift, want.MaxDrift) << s.What;
        EXPECT_EQ(got.AverageDrift, want.AverageDrift) << s.What;
        EXPECT_EQ(got.First, want.First) << s.What;
        EXPECT_EQ(got.Last, want.Last) << s.What;
        ASSERT_EQ(samples.size(), whole.Samples.size()) << s.What;
        for (size_t i = 0; i < samples.size(); ++i)
            ASSERT_TRUE(samples[i].Date == whole.Samples[i].Date && samples[i].Drift == whole.Samples[i].Drift)
                << s.What << " " << i;
        EXPECT_EQ(reader.SampleAverage(), OverallAverage(whole.Samples)) << s.What;
    }
    // A log that went reads as empty.
    std::filesystem::remove(path);
    EXPECT_FALSE(reader.Begin());
    EXPECT_EQ(reader.Statistics(now).Entries, 0);
    EXPECT_TRUE(samples.empty());
    std::filesystem::remove_all(dir);
}

namespace {

bool SameSamples(const std::vector<TDriftSample>& a, const std::vector<TDriftSample>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TDriftSample& x, const TDriftSample& y) {
        return x.Date == y.Date && x.Drift == y.Drift;
    });
}

// Steps and compares until there is nothing left to do, as the window does.
void RunToEnd(TSyncLogReader& reader, size_t chunk) {
    for (int i = 0; i < 1000000 && (reader.Reading() || reader.Checking()); ++i)
        reader.Reading() ? void(reader.Step(chunk)) : void(reader.Check(chunk));
}

// Line n of a log made by Lines() with its correction made larger, in place:
// the text keeps its length.
void EnlargeCorrection(const std::string& path, int n) {
    const std::string text = FileText(path);
    size_t start = 0;
    for (int i = 0; i < n; ++i) start = text.find('\n', start) + 1;
    const size_t bang = text.find('!', start), tab = text.rfind('\t', bang);
    std::string bigger = "9.7E-5";
    bigger.insert(3, bang - tab - 1 - bigger.size(), '0');
    std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
    f.seekp(std::streamoff(tab + 1));
    f << bigger;
}

} // namespace

// Whatever happens to the file, before a read or during one, what is shown
// at its end is what a whole read of the file then gives, and the chart
// never shows points of two files at once.
TEST(SyncLogReader, SeesEveryChangeToWhatItReadAndNeverMixesTwoFiles) {
    const char* base = std::getenv("HX_TEST_TMP");
    std::string dir = (base ? std::string(base) : std::filesystem::temp_directory_path().string()) +
                      "/synclog-XXXXXX";
    ASSERT_NE(::mkdtemp(dir.data()), nullptr);
    const std::string path = dir + "/hxsynclog.hxd";
    const TDateTime now = kAttempt + 3;
    auto replace = [&](const std::string& text) {
        Write(path + ".new", text, std::ios::trunc);
        std::filesystem::rename(path + ".new", path);
    };
    struct Case {
        const char* What;
        std::function<void()> Before; // ahead of the read
        int Steps;                    // of 4096 bytes before the change during it; -1: none
        std::function<void()> During;
    };
    const Case cases[] = {
        {"a line changed in place, far before the end", [&] { EnlargeCorrection(path, 12); }, -1, nullptr},
        {"emptied and written anew between two slices", [&] { replace(Lines(100, 2000)); }, 20,
         [&] { Write(path, Lines(4000, 2500), std::ios::trunc); }},
        {"rotated during a read", [&] { replace(Lines(0, 20000)); }, 20,
         [&] {
             std::filesystem::rename(path, path + ".1");
             Write(path, Lines(0, 500), std::ios::trunc);
         }},
        {"cut short during a read", [&] { replace(Lines(0, 20000)); }, 20,
         [&] { std::filesystem::resize_file(path, Lines(0, 500).size()); }},
    };
    for (const Case& c : cases) {
        std::vector<TDriftSample> samples;
        TSyncLogReader reader(path, samples);
        replace(Lines(0, 50));
        ASSERT_TRUE(reader.Begin());
        RunToEnd(reader, 4096);
        const std::vector<TDriftSample> shown = samples;
        c.Before();
        ASSERT_TRUE(reader.Begin()) << c.What;
        if (c.Steps >= 0) {
            for (int i = 0; i < c.Steps; ++i) ASSERT_FALSE(reader.Step(4096)) << c.What;
            c.During();
            const std::vector<TDriftSample> after = ReadSyncLogText(FileText(path), now).Samples;
            bool mixed = false;
            while (!reader.Step(4096)) mixed |= !SameSamples(samples, shown) && !SameSamples(samples, after);
            EXPECT_FALSE(mixed) << c.What;
        }
        RunToEnd(reader, 4096);
        const TSyncLogContents whole = ReadSyncLogText(FileText(path), now);
        const TDriftStatistics got = reader.Statistics(now), want = whole.Statistics;
        if (!c.During) {
            EXPECT_EQ(want.MaxDrift, 9.7e-5) << c.What;
        }
        EXPECT_EQ(got.Entries, want.Entries) << c.What;
        EXPECT_EQ(got.Successes, want.Successes) << c.What;
        EXPECT_EQ(got.MaxDrift, want.MaxDrift) << c.What;
        EXPECT_EQ(got.AverageDrift, want.AverageDrift) << c.What;
        EXPECT_EQ(got.First, want.First) << c.What;
        EXPECT_EQ(got.Last, want.Last) << c.What;
        EXPECT_TRUE(SameSamples(samples, whole.Samples)) << c.What;
        EXPECT_EQ(reader.SampleAverage(), OverallAverage(whole.Samples)) << c.What;
        std::filesystem::remove(path + ".1");
    }
    std::filesystem::remove_all(dir);
}
