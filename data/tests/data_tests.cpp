// Checks the data files of the built suite directory: every place parses, its
// rule gives the host tz database's UTC offset through 2026, coordinates keep
// the west-positive convention, and the rule, clock, server, sound and guide
// files are what the programs expect.
//
// The records are read here by a reader of the tests' own, written from the
// record grammars, so the data is checked independently of the time model.

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::string kSuite = HX_SUITE_DIR;

// Dates as the suite keeps them: days since 30 December 1899, the time of day
// in the fraction. Civil-calendar arithmetic of its own keeps the checks apart
// from the runtime under test.
using TDateTime = double;

struct BadField : std::runtime_error {
    using std::runtime_error::runtime_error;
};

long DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468; // days since 1970-01-01
}

constexpr long kUnixDay = 25569; // 1970-01-01 as a date value

int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12) return 0;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return days[m - 1] + (m == 2 && leap);
}

bool TryEncodeDate(int y, int m, int d, TDateTime& out) {
    if (d < 1 || d > DaysInMonth(y, m)) return false;
    out = static_cast<double>(DaysFromCivil(y, m, d) + kUnixDay);
    return true;
}

TDateTime EncodeDate(int y, int m, int d) {
    TDateTime t = 0;
    if (!TryEncodeDate(y, m, d, t)) throw BadField("no such date");
    return t;
}

TDateTime TimeOf(TDateTime t) {
    return t - std::floor(t);
}

// 1 = Sunday .. 7 = Saturday; 1899-12-30 was a Saturday.
int DayOfWeek(TDateTime t) {
    long d = static_cast<long>(std::floor(t));
    return static_cast<int>(((d + 6) % 7 + 7) % 7) + 1;
}

int YearOf(TDateTime t) {
    long days = static_cast<long>(std::floor(t)) - kUnixDay;
    int y = 1970 + static_cast<int>(days / 366);
    while (DaysFromCivil(y + 1, 1, 1) <= days)
        ++y;
    while (DaysFromCivil(y, 1, 1) > days)
        --y;
    return y;
}

std::string UtcText(TDateTime t) {
    std::time_t s = static_cast<std::time_t>(std::llround((t - kUnixDay) * 86400.0));
    std::tm tm{};
    gmtime_r(&s, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

// Decimal integer with optional sign and leading zeros, as the rule reader takes it.
int StrToInt(const std::string& s) {
    std::size_t at = !s.empty() && s[0] == '+' ? 1 : 0;
    int v = 0;
    auto [end, ec] = std::from_chars(s.data() + at, s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || at == s.size())
        throw BadField("'" + s + "' is not a valid integer value");
    return v;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    for (char c : s) {
        if (c == sep) {
            out.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(cur);
    return out;
}

// A list file as the loaders see it: leading blanks, tabs and empty lines
// skipped, "#" lines skipped, the "VERSION:" line's second TAB field kept.
struct ListFile {
    std::vector<std::string> records;
    std::optional<std::string> version;
    bool crlf = true;
};

ListFile ReadList(const std::string& path) {
    ListFile f;
    std::string text = ReadFile(path);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        else if (end < text.size())
            f.crlf = false;
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        if (line[0] == '#') continue;
        if (line.find("VERSION:") != std::string::npos) {
            auto fields = Split(line, '\t');
            f.version = fields.size() > 1 ? fields[1] : "";
            continue;
        }
        f.records.push_back(line);
    }
    return f;
}

// ---------------------------------------------------------------- rules

int ParseInt(const std::string& s) {
    return StrToInt(s); // signs and leading zeros allowed, failure raises
}

struct Event {
    int kind = 0, month = 1, day = 1, bias = 0;
    double time = 2.0 / 24;

    void Read(const std::string& text) {
        auto f = Split(text, '.');
        const std::string& k = f[0];
        kind = k == "L"                                         ? 5
               : k == "S"                                       ? 6
               : (k == "1" || k == "2" || k == "3" || k == "4") ? k[0] - '0'
                                                                : 0;
        if (kind == 0) return;
        if (f.size() != 5) throw BadField("event '" + text + "' has not five fields");
        day = ParseInt(f[1]);
        month = ParseInt(f[2]);
        bias = ParseInt(f[3]);
        auto hms = Split(f[4], ':');
        if (hms.size() != 3) throw BadField("time '" + f[4] + "' is not HH:MM:SS");
        time = ParseInt(hms[0]) / 24.0 + ParseInt(hms[1]) / 1440.0 + ParseInt(hms[2]) / 86400.0;
    }

    std::string Write() const {
        static const char* tokens[] = {"N", "1", "2", "3", "4", "L", "S"};
        long secs = std::lround(TimeOf(time) * 86400.0);
        char hms[32];
        std::snprintf(hms, sizeof hms, "%02ld:%02ld:%02ld", secs / 3600, secs / 60 % 60, secs % 60);
        return std::string(tokens[kind]) + "." + std::to_string(day) + "." + std::to_string(month) +
               "." + std::to_string(bias) + "." + hms;
    }

    // The transition instant of that year.
    TDateTime At(int year) const {
        int d = 1;
        if (kind == 6) {
            d = day;
        } else if (kind >= 1 && kind <= 5) {
            int first = 1 + ((day - DayOfWeek(EncodeDate(year, month, 1)) + 7) % 7);
            if (kind <= 4) {
                d = first + 7 * (kind - 1);
            } else {
                int last = DaysInMonth(year, month);
                d = last - ((DayOfWeek(EncodeDate(year, month, last)) - day + 7) % 7);
            }
        }
        TDateTime date;
        if (!TryEncodeDate(year, month, d, date)) return d;
        return date + TimeOf(time);
    }
};

struct Rule {
    std::string name, notes;
    Event start, stop;

    void Read(const std::string& text) {
        auto f = Split(text, '/');
        if (f.size() != 4) throw BadField("rule '" + text + "' has not four fields");
        name = f[0];
        start.Read(f[1]);
        stop.Read(f[2]);
        notes = f[3];
    }

    std::string Write() const {
        return name + "/" + start.Write() + "/" + stop.Write() + "/" + notes;
    }

    // Minutes added at the local standard time x.
    int BiasAt(TDateTime x) const {
        if (start.kind == 0) return 0;
        const int y = YearOf(x);
        TDateTime from, to;
        if (stop.month >= start.month) {
            from = start.At(y);
            to = stop.At(y);
        } else {
            from = x < stop.At(y) ? start.At(y - 1) : start.At(y);
            to = x <= stop.At(y) ? stop.At(y) : stop.At(y + 1);
        }
        return (from < x && x < to) ? start.bias : stop.bias;
    }
};

// ---------------------------------------------------------------- places

struct Place {
    std::string name, city, region, country, code;
    double std = 0, host = 0, lat = 0, lon = 0;
    Rule rule;

    // UTC offset in minutes at the UTC instant u.
    int OffsetAt(TDateTime u) const {
        return static_cast<int>(std::lround(std * 60)) + rule.BiasAt(u + std / 24);
    }
};

double ParseNumber(const std::string& s) {
    if (s.empty()) return 0;
    std::string t = s;
    std::replace(t.begin(), t.end(), ',', '.');
    double v = 0;
    auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
    if (ec != std::errc() || end != t.data() + t.size())
        throw BadField("'" + s + "' is not a number");
    return v;
}

Place ReadPlace(const std::string& line) {
    if (line.empty() || line.back() != '!') throw BadField("record does not end in '!'");
    auto f = Split(line.substr(0, line.size() - 1), '\t');
    if (f.size() != 10) throw BadField("record has " + std::to_string(f.size()) + " fields");
    Place p;
    p.name = f[0];
    p.std = ParseNumber(f[1]);
    p.host = ParseNumber(f[2]);
    p.lat = ParseNumber(f[3]);
    p.lon = ParseNumber(f[4]);
    if (f[5].size() < 2) throw BadField("legacy rule code in a shipped record");
    p.rule.Read(f[5]);
    p.city = f[6];
    p.region = f[7];
    p.country = f[8];
    p.code = f[9];
    return p;
}

struct Zones {
    ListFile file;
    std::vector<Place> places;
};

const Zones& ShippedZones() {
    static Zones z = [] {
        Zones zones;
        zones.file = ReadList(kSuite + "/hxzones.hxd");
        for (const auto& r : zones.file.records)
            zones.places.push_back(ReadPlace(r));
        return zones;
    }();
    return z;
}

// ---------------------------------------------------------------- host tz

// UTC offset in minutes of the host's tz database for a zone at UTC u.
class HostZone {
public:
    explicit HostZone(const std::string& zone) {
        const char* old = std::getenv("TZ");
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TZ", (":" + zone).c_str(), 1);
        tzset();
    }
    ~HostZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    HostZone(const HostZone&) = delete;
    HostZone& operator=(const HostZone&) = delete;

    static int OffsetAt(TDateTime u) {
        std::time_t t = static_cast<std::time_t>(std::llround((u - 25569.0) * 86400.0));
        std::tm tm{};
        localtime_r(&t, &tm);
        return static_cast<int>(tm.tm_gmtoff / 60);
    }

private:
    std::optional<std::string> saved_;
};

bool HostKnows(const std::string& zone) {
    std::ifstream in("/usr/share/zoneinfo/" + zone);
    return in.good();
}

std::vector<TDateTime> Instants2026() {
    // 24 instants spread over the year at changing times of day.
    std::vector<TDateTime> out;
    TDateTime first = EncodeDate(2026, 1, 3) + (7 * 60 + 13) / 1440.0;
    for (int i = 0; i < 24; ++i)
        out.push_back(first + i * (362.0 / 24) + i * (1.0 / 24));
    return out;
}

const std::string kUnknownRule = "Unknown";

// ---------------------------------------------------------------- tests

TEST(ShippedLocations, EveryRecordParsesAndTheFileCarriesAVersion) {
    const auto& z = ShippedZones();
    EXPECT_TRUE(z.file.crlf) << "lines end in CR LF";
    ASSERT_TRUE(z.file.version.has_value());
    EXPECT_FALSE(z.file.version->empty());
    EXPECT_GT(z.places.size(), 2000u);
    std::set<std::string> names;
    for (const auto& p : z.places) {
        EXPECT_FALSE(p.name.empty());
        EXPECT_FALSE(p.city.empty()) << p.name;
        EXPECT_FALSE(p.country.empty()) << p.name;
        EXPECT_EQ(p.host, 0) << p.name;
        // Names are the key of the location-data merge.
        EXPECT_TRUE(names.insert(p.name).second) << "duplicate name " << p.name;
        EXPECT_EQ(p.name.find('!'), std::string::npos) << p.name;
    }
}

TEST(ShippedLocations, EveryZoneOfTheTzTableHasItsPrincipalCity) {
    std::ifstream tab("/usr/share/zoneinfo/zone1970.tab");
    if (!tab) GTEST_SKIP() << "no zone1970.tab on this host";
    std::set<std::string> codes;
    for (const auto& p : ShippedZones().places)
        codes.insert(p.code);
    std::string line;
    int zones = 0;
    while (std::getline(tab, line)) {
        if (line.empty() || line[0] == '#') continue;
        auto f = Split(line, '\t');
        ASSERT_GE(f.size(), 3u);
        ++zones;
        EXPECT_TRUE(codes.count(f[2])) << f[2] << " has no place";
    }
    EXPECT_GT(zones, 300);
}

TEST(ShippedLocations, RulesGiveTheHostOffsetThroughTheYear) {
    int compared = 0, withDst = 0, withoutRule = 0, unknownZone = 0;
    const auto instants = Instants2026();
    for (const auto& p : ShippedZones().places) {
        if (p.rule.name == kUnknownRule) {
            ++withoutRule;
            continue;
        }
        if (!HostKnows(p.code)) {
            ++unknownZone;
            continue;
        }
        HostZone zone(p.code);
        std::vector<TDateTime> at = instants;
        if (p.rule.start.kind != 0) {
            ++withDst;
            // Either side of both transitions, which pins their times of day.
            for (const Event* e : {&p.rule.start, &p.rule.stop}) {
                TDateTime utc = e->At(2026) - p.std / 24; // transitions are in standard time
                at.push_back(utc - 1.0 / 48);
                at.push_back(utc + 1.0 / 48);
            }
        }
        for (TDateTime u : at) {
            ASSERT_EQ(p.OffsetAt(u), HostZone::OffsetAt(u))
                << p.name << " (" << p.code << ") at " << UtcText(u) << " UTC";
        }
        ++compared;
    }
    EXPECT_GT(compared, 2000);
    EXPECT_GT(withDst, 300);
    EXPECT_LE(withoutRule, 5) << "places whose daylight saving the rule model cannot express";
    EXPECT_EQ(unknownZone, 0) << "places whose zone the host tz database lacks";
}

TEST(ShippedLocations, CoordinatesAreInRangeWithLongitudeWestPositive) {
    std::map<std::string, const Place*> byName;
    for (const auto& p : ShippedZones().places) {
        EXPECT_GE(p.lat, -90) << p.name;
        EXPECT_LE(p.lat, 90) << p.name;
        EXPECT_GE(p.lon, -180) << p.name;
        EXPECT_LE(p.lon, 180) << p.name;
        byName[p.name] = &p;
    }
    ASSERT_TRUE(byName.count("New York"));
    ASSERT_TRUE(byName.count("Tokyo"));
    ASSERT_TRUE(byName.count("Sydney"));
    ASSERT_TRUE(byName.count("London"));
    EXPECT_NEAR(byName["New York"]->lon, 74.0, 0.5);
    EXPECT_NEAR(byName["New York"]->lat, 40.7, 0.5);
    EXPECT_NEAR(byName["Tokyo"]->lon, -139.7, 0.5);
    EXPECT_NEAR(byName["Sydney"]->lat, -33.9, 0.5);
    EXPECT_NEAR(byName["London"]->lon, 0.1, 0.3);
    EXPECT_EQ(byName["New York"]->std, -5);
    EXPECT_EQ(byName["Sydney"]->rule.stop.month < byName["Sydney"]->rule.start.month, true);
}

TEST(ShippedRules, TheRuleFileHoldsEveryRuleThePlacesUseOnceAndReadsBack) {
    ListFile f = ReadList(kSuite + "/hxdst.hxd");
    ASSERT_TRUE(f.version.has_value());
    std::set<std::string> texts, names;
    for (const auto& line : f.records) {
        Rule r;
        ASSERT_NO_THROW(r.Read(line)) << line;
        // Written as the programs write it, so their first save changes nothing.
        EXPECT_EQ(r.Write(), line);
        EXPECT_TRUE(names.insert(r.name).second) << "duplicate rule name " << r.name;
        EXPECT_EQ(r.notes.find('!'), std::string::npos);
        texts.insert(line);
        if (r.start.kind != 0) {
            EXPECT_NE(r.stop.kind, 0) << r.name;
            EXPECT_GT(r.start.bias, 0) << r.name;
            EXPECT_EQ(r.stop.bias, 0) << r.name;
        }
    }
    EXPECT_TRUE(names.count("None"));
    EXPECT_TRUE(names.count("North America"));
    EXPECT_TRUE(names.count("Europe (Central)"));
    std::set<std::string> used;
    for (const auto& p : ShippedZones().places) {
        used.insert(p.rule.Write());
        EXPECT_TRUE(texts.count(p.rule.Write())) << p.name << ": " << p.rule.Write();
    }
    for (const auto& t : texts) {
        if (t.rfind(kUnknownRule + "/", 0) != 0) {
            EXPECT_TRUE(used.count(t)) << "rule no place uses: " << t;
        }
    }
}

TEST(ShippedRules, KnownRulesHaveTheirRealTransitions) {
    std::map<std::string, Rule> rules;
    for (const auto& line : ReadList(kSuite + "/hxdst.hxd").records) {
        Rule r;
        r.Read(line);
        rules[r.name] = r;
    }
    // North America: second Sunday in March 02:00, first Sunday in November
    // 02:00 summer time, which is 01:00 standard time.
    EXPECT_EQ(rules["North America"].start.Write(), "2.1.3.60.02:00:00");
    EXPECT_EQ(rules["North America"].stop.Write(), "1.1.11.0.01:00:00");
    // The European rule changes at 01:00 UTC, so its local standard times differ.
    EXPECT_EQ(rules["Europe (Western)"].start.Write(), "L.1.3.60.01:00:00");
    EXPECT_EQ(rules["Europe (Central)"].start.Write(), "L.1.3.60.02:00:00");
    EXPECT_EQ(rules["Europe (Eastern)"].stop.Write(), "L.1.10.0.03:00:00");
    EXPECT_EQ(rules["Lord Howe Island"].start.bias, 30);
}

TEST(ShippedClocks, EveryClockLineParsesAndNamesAShippedPlace) {
    ListFile f = ReadList(kSuite + "/hxclocks.hxd");
    ASSERT_GE(f.records.size(), 5u);
    ASSERT_LE(f.records.size(), 8u);
    std::set<std::string> places(ShippedZones().file.records.begin(),
                                 ShippedZones().file.records.end());
    const std::set<std::string> keywords = {"Location", "Local",  "UTC",  "SwatchBeat", "Universal",
                                            "Julian",   "Metric", "GMST", "LMST"};
    int analog = 0;
    for (const auto& line : f.records) {
        auto fields = Split(line, '\t');
        ASSERT_GT(fields.size(), 7u) << line;
        EXPECT_EQ(fields[0], "HXClockData-1.0.0:");
        EXPECT_TRUE(keywords.count(fields[1])) << fields[1];
        EXPECT_TRUE(fields[4] == "Analog" || fields[4] == "Digital");
        analog += fields[4] == "Analog";
        EXPECT_TRUE(fields[5] == "True" || fields[5] == "False");
        EXPECT_NO_THROW(StrToInt(fields[6]));
        // Two font texts, each six fields closed by "!", then the location record.
        std::size_t p = 0;
        for (int i = 0; i < 7; ++i)
            p = line.find('\t', p) + 1;
        for (int font = 0; font < 2; ++font) {
            std::size_t bang = line.find('!', p);
            ASSERT_NE(bang, std::string::npos);
            auto ff = Split(line.substr(p, bang - p), '\t');
            ASSERT_EQ(ff.size(), 6u) << line.substr(p, bang - p);
            for (int k = 1; k <= 4; ++k)
                EXPECT_NO_THROW(StrToInt(ff[k]));
            EXPECT_EQ(ff[5].size(), 4u);
            ASSERT_EQ(line[bang + 1], '\t');
            p = bang + 2;
        }
        std::string location = line.substr(p);
        EXPECT_NO_THROW(ReadPlace(location)) << location;
        EXPECT_TRUE(places.count(location)) << "clock place not in hxzones.hxd: " << location;
    }
    EXPECT_GE(analog, 1);
    EXPECT_LT(analog, static_cast<int>(f.records.size()));
}

TEST(ShippedServers, OneHostNamePerLine) {
    ListFile f = ReadList(kSuite + "/hxservers.hxd");
    ASSERT_GE(f.records.size(), 3u);
    for (const auto& host : f.records) {
        EXPECT_EQ(host.find_first_of(" \t#"), std::string::npos) << host;
        EXPECT_NE(host.find('.'), std::string::npos) << host;
    }
}

// ---------------------------------------------------------------- sounds

struct Wav {
    int channels = 0, rate = 0, bits = 0;
    std::vector<int16_t> samples;
};

uint32_t Le32(const std::string& s, std::size_t at) {
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 |
           static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

std::optional<Wav> ReadWav(const std::string& path) {
    std::string s = ReadFile(path);
    if (s.size() < 44 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0)
        return std::nullopt;
    Wav w;
    std::size_t at = 12;
    while (at + 8 <= s.size()) {
        std::string id = s.substr(at, 4);
        uint32_t len = Le32(s, at + 4);
        if (at + 8 + len > s.size()) return std::nullopt;
        if (id == "fmt ") {
            if (Le32(s, at + 8) % 65536 != 1) // PCM
                return std::nullopt;
            w.channels = static_cast<int>(Le32(s, at + 8) >> 16);
            w.rate = static_cast<int>(Le32(s, at + 12));
            w.bits = static_cast<int>(Le32(s, at + 22) & 0xFFFF);
        } else if (id == "data") {
            for (std::size_t i = 0; i + 1 < len; i += 2)
                w.samples.push_back(static_cast<int16_t>(static_cast<uint8_t>(s[at + 8 + i]) |
                                                         static_cast<uint8_t>(s[at + 9 + i]) << 8));
        }
        at += 8 + len + (len & 1);
    }
    return w;
}

TEST(ShippedSounds, EveryNamedSoundIsAShortAudiblePcmWave) {
    // The preference defaults name these; ship's bells strike the hour chime.
    for (const char* name : {"wchimes15", "wchimes30", "wchimes45", "wchimes60", "BigBen", "alarm1",
                             "alarm2", "alarm3", "sync", "connect"}) {
        SCOPED_TRACE(name);
        auto w = ReadWav(kSuite + "/sounds/" + name + ".wav");
        ASSERT_TRUE(w.has_value());
        EXPECT_EQ(w->channels, 1);
        EXPECT_EQ(w->bits, 16);
        ASSERT_GT(w->rate, 8000);
        double seconds = static_cast<double>(w->samples.size()) / w->rate;
        EXPECT_GT(seconds, 0.2);
        EXPECT_LT(seconds, 20.0);
        int peak = 0;
        for (int16_t v : w->samples)
            peak = std::max(peak, std::abs(static_cast<int>(v)));
        EXPECT_GT(peak, 8000) << "too quiet";
        EXPECT_LT(peak, 32767) << "clipped";
        // Starts and ends without a click.
        EXPECT_LT(std::abs(w->samples.front()), 2000);
        EXPECT_LT(std::abs(w->samples.back()), 2000);
    }
}

TEST(ShippedSounds, TheQuartersGrowByOneChangeEachQuarter) {
    auto length = [](const char* name) {
        auto w = ReadWav(kSuite + "/sounds/" + name + ".wav");
        return w ? static_cast<double>(w->samples.size()) / w->rate : 0.0;
    };
    double q15 = length("wchimes15"), q30 = length("wchimes30"), q45 = length("wchimes45"),
           q60 = length("wchimes60");
    EXPECT_LT(q15, q30);
    EXPECT_LT(q30, q45);
    EXPECT_LT(q45, q60);
    EXPECT_NEAR(q30 - q15, q45 - q30, 0.05);
    EXPECT_NEAR(q45 - q30, q60 - q45, 0.05);
}

TEST(ShippedGuide, HelpPdfIsAPdfWithSeveralPages) {
    std::string pdf = ReadFile(kSuite + "/help.pdf");
    ASSERT_GT(pdf.size(), 5000u);
    EXPECT_EQ(pdf.compare(0, 5, "%PDF-"), 0);
    EXPECT_NE(pdf.find("%%EOF"), std::string::npos);
    std::size_t pages = 0;
    for (std::size_t at = pdf.find("/Type /Page"); at != std::string::npos;
         at = pdf.find("/Type /Page", at + 1))
        if (pdf.compare(at, 12, "/Type /Pages") != 0) ++pages;
    EXPECT_GE(pages, 2u);
}

} // namespace
