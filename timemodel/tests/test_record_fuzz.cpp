// Hostile input for every record reader: random lines and mutated good
// records, a fixed seed and a bounded count so the run is repeatable and
// short also under the sanitizers. A reader may only fail with its own
// parse error; whatever it reads must write back as one line that reads
// back to the same record.
#include "timemodel/Alarm.h"
#include "timemodel/HXClock.h"

#include "TimeTestSupport.h"

#include <random>

namespace {

constexpr int Iterations = 20000;

class LineMaker {
public:
    explicit LineMaker(uint32_t seed) : rng(seed) {}

    std::string Random() {
        static const std::string alphabet = "\t\t\t^!!!../:/+-0123456789LSN eE,$%xHXClockData-1.0.0"
                                            "\r\nYTrue\x01\xff";
        std::string s;
        const int n = Pick(0, 120);
        for (int i = 0; i < n; ++i)
            s += alphabet[Pick(0, int(alphabet.size()) - 1)];
        return s;
    }

    // A good line with a few characters deleted, replaced, inserted or repeated.
    std::string Mutate(std::string s) {
        const int edits = Pick(1, 6);
        for (int i = 0; i < edits && !s.empty(); ++i) {
            const int at = Pick(0, int(s.size()) - 1);
            switch (Pick(0, 4)) {
            case 0:
                s.erase(at, Pick(1, 8));
                break;
            case 1:
                s[at] = Random().substr(0, 1).empty() ? '\t' : char(Pick(0, 255));
                break;
            case 2:
                s.insert(at, Random().substr(0, Pick(1, 10)));
                break;
            case 3:
                s.insert(at, std::string(Pick(1, 3), "\t!./:9e"[Pick(0, 6)]));
                break;
            default:
                s = s.substr(0, at);
                break;
            }
        }
        return s;
    }

    // Plausible fields in a random order: reaches the later fields of a
    // record far more often than characters picked one by one.
    std::string Fields(char separator) {
        static const char* const pool[] = {"HXClockData-1.0.0:",
                                           "Universial",
                                           "Analog",
                                           "True",
                                           "T",
                                           "Y",
                                           "N",
                                           "0",
                                           "-1",
                                           "2147483648",
                                           "1e300",
                                           "-1e-300",
                                           "5,5",
                                           "$1",
                                           "50%",
                                           ".",
                                           "",
                                           "!",
                                           "3",
                                           "Europe/L.1.03.+060.02:00:00/L.1.10.+000.2:00:00/",
                                           "X/S.31.2.60.2/S.0.13.0.25:99",
                                           "R!/1.9.0.60.2/L.-7.3.0.x",
                                           "Arial\t0\t-11\t8\t1\tNNNN",
                                           "Sound File",
                                           "Connect"};
        std::string s;
        const int n = Pick(1, 18);
        for (int i = 0; i < n; ++i) {
            if (i) s += Pick(0, 5) == 0 ? '!' : separator;
            s += pool[Pick(0, int(std::size(pool)) - 1)];
        }
        return s + (Pick(0, 1) ? "!!" : "!");
    }

    std::string Next(const std::vector<std::string>& seeds, char separator) {
        switch (Pick(0, 3)) {
        case 0:
            return Random();
        case 1:
            return Fields(separator);
        default:
            return Mutate(seeds[Pick(0, int(seeds.size()) - 1)]);
        }
    }

    char Separator() { return Pick(0, 4) == 0 ? '^' : '\t'; }

private:
    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    std::mt19937 rng;
};

void ExpectOneLine(const std::string& text) {
    ASSERT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
}

TTimeLocation SampleLocation() {
    TTimeLocation l;
    l.Name = "Adelaide";
    l.City = "Adelaide";
    l.Region = "SA";
    l.Country = "Australia";
    l.Code = "AU";
    l.StdOffset = 9.5;
    l.Latitude = -34.93;
    l.Longitude = -138.6;
    l.Rule.ReadDataString("4");
    return l;
}

} // namespace

class RecordFuzz : public PinnedClockTest {};

TEST_F(RecordFuzz, RuleReader) {
    LineMaker make(101);
    const std::vector<std::string> seeds = {BuiltInRuleText("2"), BuiltInRuleText("6"),
                                            "X/S.31.2.60.2/S.1.13.0.25:99:99/notes", "3"};
    for (int i = 0; i < Iterations; ++i) {
        const std::string line = make.Next(seeds, '/');
        TDSTRule r;
        try {
            r.ReadDataString(line);
        } catch (const EConvertError&) {
        }
        ExpectOneLine(r.DataString());
        r.Description();
        for (int y : {1, 2026, 9999})
            r.CurrentBias(EncodeDate(y, 6, 1));
    }
}

TEST_F(RecordFuzz, LocationReader) {
    LineMaker make(202);
    const std::vector<std::string> seeds = {SampleLocation().LocationDataStr('\t'),
                                            SampleLocation().LocationDataStr('^'),
                                            "London\t0\t0\t51.5\t0.12\t3!"};
    for (int i = 0; i < Iterations; ++i) {
        const char sep = make.Separator();
        const std::string line = make.Next(seeds, sep);
        TTimeLocation l;
        l.ImposeAlternateUTC(At(2026, 6, 1, 12));
        try {
            l.ParseDataString(line, sep);
        } catch (const ELocationDataParseError& e) {
            ASSERT_EQ(e.Message.rfind("Error in Location Data: " + line + " at pos", 0), 0u);
            continue;
        }
        const std::string written = l.LocationDataStr(sep);
        ExpectOneLine(written);
        TTimeLocation again;
        again.ParseDataString(written, sep);
        ASSERT_EQ(again.LocationDataStr(sep), written) << line;
        l.LocationString();
        l.LatString(true);
        l.LongString(true);
        l.CurrentUTCOffsetStr();
        l.CurrentDateTime();
    }
}

TEST_F(RecordFuzz, ClockReader) {
    LineMaker make(303);
    THXClock sample;
    sample.Location.Copy(SampleLocation());
    sample.ClockType = 4;
    const std::vector<std::string> seeds = {sample.DataString('\t'), sample.DataString('^'),
                                            SampleLocation().LocationDataStr('\t')};
    for (int i = 0; i < Iterations; ++i) {
        const char sep = make.Separator();
        const std::string line = make.Next(seeds, sep);
        THXClock c;
        c.Location.ImposeAlternateUTC(At(2026, 6, 1, 12));
        try {
            c.ParseDataString(line, sep);
        } catch (const EAlarmDataParseError& e) {
            ASSERT_EQ(e.Message.rfind("Error in Clock Data: " + line + " at ", 0), 0u);
            continue;
        }
        const std::string written = c.DataString(sep);
        ExpectOneLine(written);
        THXClock again;
        again.ParseDataString(written, sep);
        ASSERT_EQ(again.DataString(sep), written) << line;
        c.TitleHintString();
    }
}

TEST_F(RecordFuzz, AlarmReader) {
    LineMaker make(404);
    TAlarm sample;
    sample.Location.Copy(SampleLocation());
    sample.RepeatDays = 1;
    sample.Text = "C:\\Sounds\\bell.wav";
    const std::vector<std::string> seeds = {sample.DataString('\t'), sample.DataString('^')};
    for (int i = 0; i < Iterations; ++i) {
        const char sep = make.Separator();
        const std::string line = make.Next(seeds, sep);
        TAlarm a;
        try {
            a.ParseDataString(line, sep);
        } catch (const EAlarmDataParseError& e) {
            ASSERT_EQ(e.Message.rfind("Error in Alarm Data: " + line + " at ", 0), 0u);
            continue;
        }
        const std::string written = a.DataString(sep);
        ExpectOneLine(written);
        TAlarm again;
        again.ParseDataString(written, sep);
        ASSERT_EQ(again.DataString(sep), written) << line;
        a.IsDue();
        a.NextAlarmTime();
    }
}

TEST_F(RecordFuzz, EventReader) {
    LineMaker make(505);
    TTemperalEvent sample;
    sample.Location.Copy(SampleLocation());
    sample.IntervalDays = 365.25;
    const std::vector<std::string> seeds = {sample.EventDataString('\t'),
                                            sample.EventDataString('^')};
    for (int i = 0; i < Iterations; ++i) {
        const char sep = make.Separator();
        const std::string line = make.Next(seeds, sep);
        TTemperalEvent e;
        try {
            e.ParseDataString(line, sep);
        } catch (const ETemperalEventDataParseError& x) {
            ASSERT_EQ(x.Message.rfind("Error in Event Data: " + line + " at pos", 0), 0u);
            continue;
        }
        const std::string written = e.EventDataString(sep);
        ExpectOneLine(written);
        TTemperalEvent again;
        again.ParseDataString(written, sep);
        ASSERT_EQ(again.EventDataString(sep), written) << line;
        e.IYears();
        e.IDays();
        e.ISecs();
        e.TitleString();
    }
}
