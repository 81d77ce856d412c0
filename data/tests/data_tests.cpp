// Checks the data files of the built suite directory through the suite's own
// record classes: every place, rule and clock parses and writes back as it was
// read, each place's current UTC offset matches the tz release the data was
// made from (the one the project carries, in TZDIR) hour by hour over the
// data's twelve months, coordinates keep the west-positive convention, and the
// server, sound and guide files are what the programs expect.

#include "platform/rtl/SysUtils.h"
#include "timemodel/DST.h"
#include "timemodel/HXClock.h"
#include "timemodel/TimeLocation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kSuite = HX_SUITE_DIR;
// The committed list files are tested where they are made, never in a
// directory a program has run from.
const std::string kLists = HX_SOURCE_DIR "/data";
const std::string kUnknownRule = "Unknown";
constexpr double kUnixDay = 25569; // 1970-01-01 as a date value

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

std::string UtcText(TDateTime t) {
    std::time_t s = static_cast<std::time_t>(std::llround((t - kUnixDay) * 86400.0));
    std::tm tm{};
    gmtime_r(&s, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M", &tm);
    return buf;
}

// To the second, as the checks around a change need.
std::string Stamp(TDateTime t) {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", t);
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

// ---------------------------------------------------------------- places

struct Zones {
    ListFile file;
    std::vector<TTimeLocation> places;
    std::vector<std::string> errors; // records the parser refused
};

const Zones& ShippedZones() {
    static Zones z = [] {
        ResetFormatSettings();
        Zones zones;
        zones.file = ReadList(kLists + "/hxzones.hxd");
        for (const auto& r : zones.file.records) {
            TTimeLocation place;
            try {
                place.ParseDataString(r, '\t');
            } catch (const Exception& e) {
                zones.errors.push_back(e.Message);
                continue;
            }
            zones.places.push_back(place);
        }
        return zones;
    }();
    return z;
}

std::vector<TDSTRule> ShippedRules(std::vector<std::string>* lines = nullptr) {
    std::vector<TDSTRule> rules;
    for (const auto& line : ReadList(kLists + "/hxdst.hxd").records) {
        TDSTRule r;
        r.ReadDataString(line);
        rules.push_back(r);
        if (lines) lines->push_back(line);
    }
    return rules;
}

// ---------------------------------------------------------------- pinned tz

// The tz release the tests run against (TZDIR, set for every test program to
// the release the project carries), never the host's zone files.
std::string PinnedTzDir() {
    const char* dir = std::getenv("TZDIR");
    return dir && *dir ? dir : HX_PINNED_TZDIR;
}

// UTC offset in minutes of the pinned tz release for a zone at UTC u.
class PinnedZone {
public:
    explicit PinnedZone(const std::string& zone) {
        const char* old = std::getenv("TZ");
        saved_ = old ? std::optional<std::string>(old) : std::nullopt;
        setenv("TZ", (":" + zone).c_str(), 1);
        tzset();
    }
    ~PinnedZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    PinnedZone(const PinnedZone&) = delete;
    PinnedZone& operator=(const PinnedZone&) = delete;

    static int OffsetAt(TDateTime u) {
        std::time_t t = static_cast<std::time_t>(std::llround((u - kUnixDay) * 86400.0));
        std::tm tm{};
        localtime_r(&t, &tm);
        return static_cast<int>(tm.tm_gmtoff / 60);
    }

private:
    std::optional<std::string> saved_;
};

bool PinnedKnows(const std::string& zone) {
    std::ifstream in(PinnedTzDir() + "/" + zone);
    return in.good();
}

// The first line of the carried tzdata.zi: "# version 2026f".
std::string PinnedRelease() {
    std::ifstream in(PinnedTzDir() + "/tzdata.zi");
    std::string line;
    std::getline(in, line);
    const std::string mark = "# version ";
    return line.rfind(mark, 0) == 0 ? line.substr(mark.size()) : std::string();
}

// The release and the data's twelve months, as the header of hxzones.hxd
// names them: "... from the tz database 2026f for 2026-12-09 to 2027-12-09;".
struct DataSpan {
    std::string release;
    TDateTime from = 0, to = 0;
};

DataSpan ShippedSpan() {
    DataSpan span;
    const std::regex header(R"(tz database (\S+) for (\d{4})-(\d\d)-(\d\d) to (\d{4})-(\d\d)-(\d\d);)");
    std::istringstream text(ReadFile(kLists + "/hxzones.hxd"));
    std::smatch m;
    for (std::string line; std::getline(text, line) && line.rfind("#", 0) == 0;) {
        if (!std::regex_search(line, m, header)) continue;
        span.release = m[1];
        const auto date = [&](int i) {
            return EncodeDate(std::stoi(m[i]), std::stoi(m[i + 1]), std::stoi(m[i + 2]));
        };
        span.from = date(2);
        span.to = date(5);
    }
    return span;
}

// The spans of UTC time a rule's notes say it gets wrong ("Wrong 2027-11-07
// 05:00 to 2027-12-09 00:00 UTC"): there the yearly model cannot follow tz.
std::vector<std::pair<TDateTime, TDateTime>> NotedMisses(const TDSTRule& rule) {
    static const std::regex span(
        R"((\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d) to (\d{4})-(\d\d)-(\d\d) (\d\d):(\d\d))");
    std::vector<std::pair<TDateTime, TDateTime>> out;
    for (auto it = std::sregex_iterator(rule.Notes.begin(), rule.Notes.end(), span);
         it != std::sregex_iterator(); ++it) {
        const auto& m = *it;
        const auto at = [&](int i) {
            return EncodeDate(std::stoi(m[i]), std::stoi(m[i + 1]), std::stoi(m[i + 2])) +
                   EncodeTime(std::stoi(m[i + 3]), std::stoi(m[i + 4]), 0, 0);
        };
        out.emplace_back(at(1), at(6));
    }
    return out;
}

// The suite reads "now" from the computer's wall clock less the computer's
// own offset, so the clock is pinned as a computer elsewhere would see it.
class PinnedClock : public ::testing::Test {
protected:
    void SetUp() override { ResetFormatSettings(); }
    void TearDown() override { ResetClockSource(); }
};

// ---------------------------------------------------------------- tests

TEST(ShippedLocations, EveryRecordParsesWritesBackAndTheFileCarriesAVersion) {
    const auto& z = ShippedZones();
    EXPECT_TRUE(z.file.crlf) << "lines end in CR LF";
    ASSERT_TRUE(z.file.version.has_value());
    EXPECT_FALSE(z.file.version->empty());
    EXPECT_TRUE(z.errors.empty()) << z.errors.size() << " records refused, first: "
                                  << (z.errors.empty() ? "" : z.errors.front());
    EXPECT_GT(z.places.size(), 2000u);
    ASSERT_EQ(z.places.size(), z.file.records.size());
    std::set<std::string> names;
    for (std::size_t i = 0; i < z.places.size(); ++i) {
        const auto& p = z.places[i];
        EXPECT_FALSE(p.Name.empty());
        EXPECT_FALSE(p.City.empty()) << p.Name;
        EXPECT_FALSE(p.Country.empty()) << p.Name;
        // A record read as a legacy one would lose its zone.
        EXPECT_FALSE(p.Code.empty()) << p.Name;
        EXPECT_EQ(p.HostOffset, 0) << p.Name;
        // Names are the key of the location-data merge.
        EXPECT_TRUE(names.insert(p.Name).second) << "duplicate name " << p.Name;
        EXPECT_EQ(p.Name.find('!'), std::string::npos) << p.Name;
        // Written as the programs write it, so their first save changes nothing.
        EXPECT_EQ(p.LocationDataStr('\t'), z.file.records[i]);
    }
}

// Every town of 15,000 people and every capital: the small capitals and the
// Norwegian towns a user looks for by name.
TEST(ShippedLocations, TownsOfFifteenThousandAndEveryCapitalAreListed) {
    std::map<std::string, const TTimeLocation*> byName;
    for (const auto& p : ShippedZones().places)
        byName[p.Name] = &p;
    EXPECT_GT(byName.size(), 24000u);
    const struct {
        const char* Name;
        const char* Country;
        double StdOffset;
    } towns[] = {
        {"Tromsø", "Norway", 1},       {"Bodø", "Norway", 1},
        {"Ålesund", "Norway", 1},      {"Tønsberg", "Norway", 1},
        {"Drammen", "Norway", 1},      {"Harstad", "Norway", 1},
        {"Lillehammer", "Norway", 1},  {"Stavanger", "Norway", 1},
        {"Valletta", "Malta", 1},      {"Belmopan", "Belize", -6},
        {"Tórshavn", "Faroe Islands", 0}, {"Avarua", "Cook Islands", -10},
        {"Hagåtña", "Guam", 10},       {"Vaduz", "Liechtenstein", 1},
        {"Ngerulmud", "Palau", 9},     {"Palikir", "Micronesia", 11},
        {"Funafuti", "Tuvalu", 12},    {"San Marino", "San Marino", 1},
        {"Yaren District", "Nauru", 12}, {"Longyearbyen", "Svalbard and Jan Mayen", 1},
        // Countries under the names a user looks for in the tree.
        {"Vilnius", "Lithuania", 2},   {"Chisinau", "Moldova", 2},
        {"Seoul", "South Korea", 9},   {"Amman", "Jordan", 3},
        {"Monaco", "Monaco", 1},
    };
    for (const auto& t : towns) {
        const auto it = byName.find(t.Name);
        if (it == byName.end()) {
            ADD_FAILURE() << t.Name << " is missing";
            continue;
        }
        EXPECT_EQ(it->second->Country, t.Country) << t.Name;
        EXPECT_EQ(it->second->StdOffset, t.StdOffset) << t.Name;
    }
}

TEST(ShippedLocations, EveryZoneOfTheTzTableHasItsPrincipalCity) {
    std::ifstream tab(PinnedTzDir() + "/zone1970.tab");
    ASSERT_TRUE(tab) << "no zone1970.tab in " << PinnedTzDir();
    std::set<std::string> codes;
    for (const auto& p : ShippedZones().places)
        codes.insert(p.Code);
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

// Hour by hour over the data's twelve months (and all of 2027), every place
// tells the offset of the tz release the data was made from, except in the
// spans its rule's notes list; the places whose law changed in 2026 are right
// every hour of 2027, and all places together nearly every hour. Places of
// one zone with one offset and rule tell the same times, so each such set is
// walked once. The instants fall seven minutes past the hour: a change itself
// falls on a quarter hour, where the model's strict start and tz part for an
// instant.
TEST_F(PinnedClock, EveryPlaceTellsThePinnedReleaseHourByHourForTwelveMonths) {
    const DataSpan span = ShippedSpan();
    ASSERT_FALSE(span.release.empty()) << "hxzones.hxd names no tz release and span";
    EXPECT_EQ(span.release, PinnedRelease()) << "made from another release than the pinned one";
    ASSERT_NEAR(span.to - span.from, 365, 1);
    const TDateTime y2027 = EncodeDate(2027, 1, 1), y2028 = EncodeDate(2028, 1, 1);
    const TDateTime first = std::min(span.from, y2027), last = std::max(span.to, y2028);
    const double hour = 1.0 / 24, past = 7.0 / 1440;
    // Offsets of the computer the clock is read on, in hours.
    const double hostOffsets[] = {0, 5.5, -8, 13};
    const std::set<std::string> everyHour2027 = {"Vancouver", "Edmonton", "Winnipeg",
                                                 "Casablanca"};
    struct Group {
        const TTimeLocation* place;
        std::vector<std::string> names;
    };
    std::map<std::string, Group> groups;
    int unknownZone = 0, withoutRule = 0;
    for (const auto& p : ShippedZones().places) {
        if (p.Rule.Name == kUnknownRule) ++withoutRule;
        if (!PinnedKnows(p.Code)) {
            ++unknownZone;
            continue;
        }
        // Places of one zone, offset and rule tell the same time: one is checked.
        auto& g = groups[p.Code + "\t" + std::to_string(p.StdOffset) + "\t" + p.Rule.DataString()];
        if (!g.place) g.place = &p;
        g.names.push_back(p.Name);
    }
    EXPECT_EQ(unknownZone, 0) << "places whose zone the pinned tz release lacks";
    EXPECT_EQ(withoutRule, 0) << "places without a rule";
    long long hours2027 = 0, right2027 = 0;
    std::set<std::string> checked;
    for (const auto& [key, g] : groups) {
        const TTimeLocation& shipped = *g.place;
        const auto misses = NotedMisses(shipped.Rule);
        const bool strict = std::any_of(g.names.begin(), g.names.end(), [&](const std::string& n) {
            return everyHour2027.count(n) > 0;
        });
        PinnedZone zone(shipped.Code);
        TTimeLocation place;
        place.Copy(shipped);
        int wrongInSpan = 0;
        std::string firstWrong;
        long long inYear = 0, rightInYear = 0;
        std::size_t i = 0;
        for (TDateTime u = first + past; u < last; u += hour, ++i) {
            place.HostOffset = hostOffsets[i % std::size(hostOffsets)];
            PinClock(u, place.HostOffset);
            const bool right =
                std::lround(place.CurrentUTCOffset() * 60) == PinnedZone::OffsetAt(u);
            if (u >= y2027 && u < y2028) {
                ++inYear;
                rightInYear += right;
                if (strict && !right && firstWrong.empty())
                    firstWrong = UtcText(u);
            }
            if (right || u < span.from || u >= span.to) continue;
            const bool noted = std::any_of(misses.begin(), misses.end(), [&](const auto& m) {
                return u >= m.first && u <= m.second;
            });
            if (!noted && wrongInSpan++ == 0)
                ADD_FAILURE() << shipped.Name << " (" << shipped.Code << ", " << g.names.size()
                              << " places) is wrong at " << UtcText(u)
                              << " UTC, which its rule's notes do not list: "
                              << shipped.Rule.Description();
        }
        if (strict) {
            EXPECT_TRUE(firstWrong.empty()) << shipped.Name << " is wrong in 2027, first at "
                                            << firstWrong << " UTC";
            for (const auto& n : g.names)
                if (everyHour2027.count(n)) checked.insert(n);
        }
        hours2027 += inYear * static_cast<long long>(g.names.size());
        right2027 += rightInYear * static_cast<long long>(g.names.size());
    }
    EXPECT_EQ(checked, everyHour2027);
    ASSERT_GT(hours2027, 0);
    const double share = 100.0 * static_cast<double>(right2027) / static_cast<double>(hours2027);
    std::cout << "place-hours of 2027 right: " << right2027 << " of " << hours2027 << " ("
              << share << "%)\n";
    EXPECT_GE(share, 99.9);
}

TEST(ShippedLocations, CoordinatesAreInRangeWithLongitudeWestPositive) {
    std::map<std::string, const TTimeLocation*> byName;
    for (const auto& p : ShippedZones().places) {
        EXPECT_GE(p.Latitude, -90) << p.Name;
        EXPECT_LE(p.Latitude, 90) << p.Name;
        EXPECT_GE(p.Longitude, -180) << p.Name;
        EXPECT_LE(p.Longitude, 180) << p.Name;
        byName[p.Name] = &p;
    }
    for (const char* name : {"New York", "Tokyo", "Sydney", "London"})
        ASSERT_TRUE(byName.count(name)) << name;
    const auto& newYork = *byName["New York"];
    EXPECT_NEAR(newYork.Longitude, 74.0, 0.5);
    EXPECT_NEAR(newYork.Latitude, 40.7, 0.5);
    EXPECT_TRUE(newYork.IsWest());
    EXPECT_TRUE(newYork.IsNorth());
    EXPECT_EQ(newYork.StdOffset, -5);
    EXPECT_NEAR(byName["Tokyo"]->Longitude, -139.7, 0.5);
    EXPECT_FALSE(byName["Tokyo"]->IsWest());
    EXPECT_NEAR(byName["Sydney"]->Latitude, -33.9, 0.5);
    EXPECT_FALSE(byName["Sydney"]->IsNorth());
    EXPECT_LT(byName["Sydney"]->Rule.StopDate.Month, byName["Sydney"]->Rule.StartDate.Month);
    EXPECT_NEAR(byName["London"]->Longitude, 0.1, 0.3);
}

TEST(ShippedRules, TheRuleFileHoldsEveryRuleThePlacesUseOnceAndReadsBack) {
    ASSERT_TRUE(ReadList(kLists + "/hxdst.hxd").version.has_value());
    std::vector<std::string> lines;
    std::vector<TDSTRule> rules;
    ASSERT_NO_THROW(rules = ShippedRules(&lines));
    std::set<std::string> texts, names;
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const TDSTRule& r = rules[i];
        // Written as the programs write it, so their first save changes nothing.
        EXPECT_EQ(r.DataString(), lines[i]);
        EXPECT_TRUE(names.insert(r.Name).second) << "duplicate rule name " << r.Name;
        EXPECT_EQ(r.Notes.find('!'), std::string::npos);
        texts.insert(lines[i]);
        if (r.StartDate.Kind != 0) {
            EXPECT_NE(r.StopDate.Kind, 0) << r.Name;
            // A transition that can never happen would silently drop the summer.
            EXPECT_TRUE(r.StartDate.Occurs()) << r.Name;
            EXPECT_TRUE(r.StopDate.Occurs()) << r.Name;
            EXPECT_GT(r.StartDate.Bias, 0) << r.Name;
            EXPECT_EQ(r.StopDate.Bias, 0) << r.Name;
        }
    }
    EXPECT_TRUE(names.count("None"));
    EXPECT_TRUE(names.count("North America"));
    EXPECT_TRUE(names.count("Europe (Central)"));
    std::set<std::string> used;
    for (const auto& p : ShippedZones().places) {
        const std::string text = p.Rule.DataString();
        used.insert(text);
        EXPECT_TRUE(texts.count(text)) << p.Name << ": " << text;
    }
    for (const auto& t : texts) {
        if (t.rfind(kUnknownRule + "/", 0) != 0) {
            EXPECT_TRUE(used.count(t)) << "rule no place uses: " << t;
        }
    }
}

TEST(ShippedRules, KnownRulesHaveTheirRealTransitions) {
    std::map<std::string, TDSTRule> rules;
    for (const auto& r : ShippedRules())
        rules[r.Name] = r;
    // North America: second Sunday in March 02:00, first Sunday in November
    // 02:00 summer time, which is 01:00 standard time.
    EXPECT_EQ(rules["North America"].StartDate.DataString(), "2.1.3.60.02:00:00");
    EXPECT_EQ(rules["North America"].StopDate.DataString(), "1.1.11.0.01:00:00");
    EXPECT_EQ(rules["North America"].StartDateTime(EncodeDate(2026, 6, 1)),
              EncodeDate(2026, 3, 8) + EncodeTime(2, 0, 0, 0));
    EXPECT_EQ(rules["North America"].StopDateTime(EncodeDate(2026, 6, 1)),
              EncodeDate(2026, 11, 1) + EncodeTime(1, 0, 0, 0));
    // The European rule changes at 01:00 UTC, so its local standard times differ.
    EXPECT_EQ(rules["Europe (Western)"].StartDate.DataString(), "L.1.3.60.01:00:00");
    EXPECT_EQ(rules["Europe (Central)"].StartDate.DataString(), "L.1.3.60.02:00:00");
    EXPECT_EQ(rules["Europe (Eastern)"].StopDate.DataString(), "L.1.10.0.03:00:00");
    EXPECT_EQ(rules["Lord Howe Island"].StartDate.Bias, 30);
}

// Wall time to UTC around each 2026 change of every shipped rule: a wall time
// that exists maps to an instant that shows it (the repeated hour at its
// first occurrence), a skipped one to the change itself, and UTC never
// decreases as the wall time rises.
TEST_F(PinnedClock, WallTimesAroundEveryChangeMapToUtcInOrder) {
    constexpr double ms = 1.0 / MSecsPerDay, sec = 1.0 / SecsPerDay;
    for (const TDSTRule& rule : ShippedRules()) {
        if (rule.StartDate.Kind == 0) continue;
        TTimeLocation place;
        place.StdOffset = 5.75; // the rule counts in standard time: any offset will do
        place.Rule.Copy(rule);
        const auto offsetAt = [&](TDateTime u) {
            place.ImposeAlternateUTC(u);
            return place.CurrentUTCOffset() / 24;
        };
        const auto utcOf = [&](TDateTime wall) {
            place.ImposeAlternate(wall);
            return place.UTC();
        };
        for (const TDSTEvent* e : {&rule.StartDate, &rule.StopDate}) {
            const TDateTime change = e->DateTime(2026) - place.StdOffset / 24;
            const double before = offsetAt(change - sec), after = offsetAt(change + sec);
            const std::string at = rule.Name + " " + Stamp(change) + " UTC, wall ";
            ASSERT_NE(before, after) << at;
            std::vector<TDateTime> walls;
            for (double side : {before, after})
                for (int d = -1; d <= 1; ++d)
                    walls.push_back(change + side + d * sec);
            for (TDateTime wall : walls) {
                const TDateTime u = utcOf(wall);
                std::vector<TDateTime> shows; // instants whose local time is this wall time
                for (double o : {before, after}) {
                    if (std::fabs(wall - o + offsetAt(wall - o) - wall) < ms)
                        shows.push_back(wall - o);
                }
                const std::string what = at + Stamp(wall) + " -> " + Stamp(u);
                if (shows.empty()) {
                    EXPECT_NEAR(u, change, ms) << what << " (skipped)";
                    continue;
                }
                EXPECT_NEAR(u + offsetAt(u), wall, ms) << what;
                if (shows.size() == 2 && std::fabs(shows[0] - shows[1]) > ms) {
                    EXPECT_NEAR(u, std::min(shows[0], shows[1]), ms) << what << " (repeated)";
                }
            }
            // Rising wall times, a minute apart and at the edges of the change.
            for (TDateTime w = change + std::min(before, after) - 3.0 / 24;
                 w < change + std::max(before, after) + 3.0 / 24; w += 1.0 / 1440)
                walls.push_back(w);
            std::sort(walls.begin(), walls.end());
            TDateTime last = utcOf(walls.front());
            for (TDateTime wall : walls) {
                const TDateTime u = utcOf(wall);
                ASSERT_GE(u, last - ms) << at << Stamp(wall);
                last = u;
            }
        }
    }
}

TEST(ShippedClocks, EveryClockLineParsesWritesBackAndNamesAShippedPlace) {
    ResetFormatSettings();
    ListFile f = ReadList(kLists + "/hxclocks.hxd");
    ASSERT_GE(f.records.size(), 5u);
    ASSERT_LE(f.records.size(), 8u);
    std::map<std::string, const TTimeLocation*> places;
    for (const auto& p : ShippedZones().places)
        places[p.Name] = &p;
    int analog = 0;
    bool first = true;
    for (const auto& line : f.records) {
        SCOPED_TRACE(line);
        // Without the header the reader would take the line for a bare location.
        ASSERT_EQ(line.rfind(std::string(ClockDataHeader) + "\t", 0), 0u);
        THXClock clock;
        ASSERT_NO_THROW(clock.ParseDataString(line, '\t'));
        EXPECT_EQ(clock.DataString('\t'), line);
        // The first clock is the home clock, its place the computer's: given
        // at the first start, so the user sees their own time.
        if (std::exchange(first, false)) {
            EXPECT_EQ(clock.ClockType, 1);
            EXPECT_EQ(clock.Location.Name, "");
            continue;
        }
        EXPECT_EQ(clock.ClockType, 0);
        analog += clock.Analog;
        auto place = places.find(clock.Location.Name);
        ASSERT_NE(place, places.end()) << "clock place not in hxzones.hxd";
        EXPECT_EQ(clock.Location.LocationDataStr('\t'), place->second->LocationDataStr('\t'));
    }
    EXPECT_GE(analog, 1);
    EXPECT_LT(analog, static_cast<int>(f.records.size()) - 1);
}

TEST(ShippedServers, OneHostNamePerLine) {
    ListFile f = ReadList(kLists + "/hxservers.hxd");
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
