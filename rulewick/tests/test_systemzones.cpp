#include "rulewick/SystemZones.h"

#include "RulewickTestSupport.h"
#include "platform/media/ZoneRecord.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <map>

namespace {

std::vector<uint8_t> Tzi(int32_t bias, int32_t dltBias, std::vector<uint16_t> stdDate,
                         std::vector<uint16_t> dltDate) {
    std::vector<uint8_t> r;
    for (int32_t v : {bias, 0, dltBias})
        for (int i = 0; i < 4; ++i) r.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    for (const auto* d : {&stdDate, &dltDate})
        for (uint16_t v : *d) {
            r.push_back(uint8_t(v));
            r.push_back(uint8_t(v >> 8));
        }
    return r;
}

const std::string Base = std::string("\\") + SystemZonesBaseKey + "\\";

// The zone's offsets (minutes) at the given UTC instants, as the C library
// reads the tz database the tests carry (TZDIR).
std::vector<int> TzOffsets(const std::string& id, const std::vector<std::time_t>& at) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", (":" + id).c_str(), 1);
    ::tzset();
    std::vector<int> out;
    for (std::time_t t : at) {
        std::tm tm{};
        localtime_r(&t, &tm);
        out.push_back(int(tm.tm_gmtoff / 60));
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    return out;
}

} // namespace

class SystemZonesTest : public RulewickTempTest {};

TEST_F(SystemZonesTest, NamesAndDisplay) {
    EXPECT_EQ(ZoneKeyName("America/Argentina/Buenos_Aires"), "America - Argentina - Buenos Aires");
    EXPECT_EQ(ZoneDisplayText(60, "Europe - Berlin"), "(UTC+01:00) Europe - Berlin");
    EXPECT_EQ(ZoneDisplayText(-210, "America - St Johns"), "(UTC-03:30) America - St Johns");
    EXPECT_EQ(ZoneDisplayText(0, "UTC"), "(UTC+00:00) UTC");
    EXPECT_FALSE(ValidZoneKeyName(""));
    EXPECT_FALSE(ValidZoneKeyName("a\\b"));
}

TEST_F(SystemZonesTest, SeedsOnceWithTheTzDatabaseRules) {
    TRegistry reg(HKEY_LOCAL_MACHINE);
    const std::vector<std::string> zones = [] {
        auto z = HostZoneTable();
        z.push_back("UTC");
        return z;
    }();
    ASSERT_GT(zones.size(), 250u);
    const auto started = std::chrono::steady_clock::now();
    const int seeded = SeedSystemZones(reg, 2026);
    // At rulewick's first start: a pause the user would not notice, even on
    // a loaded machine.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(seeded, int(zones.size()));
    EXPECT_EQ(SeedSystemZones(reg, 2026), 0);

    struct Case {
        const char* key;
        const char* display;
        std::vector<uint8_t> tzi;
    } cases[] = {
        {"Europe - Berlin", "(UTC+01:00) Europe - Berlin",
         Tzi(-60, -60, {0, 10, 0, 5, 2, 0, 0, 0}, {0, 3, 0, 5, 2, 0, 0, 0})},
        {"America - New York", "(UTC-05:00) America - New York",
         Tzi(300, -60, {0, 11, 0, 1, 1, 0, 0, 0}, {0, 3, 0, 2, 2, 0, 0, 0})},
        {"Australia - Sydney", "(UTC+10:00) Australia - Sydney",
         Tzi(-600, -60, {0, 4, 0, 1, 2, 0, 0, 0}, {0, 10, 0, 1, 2, 0, 0, 0})},
        {"UTC", "(UTC+00:00) UTC", Tzi(0, 0, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0})},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(reg.OpenKeyReadOnly(Base + c.key)) << c.key;
        EXPECT_EQ(reg.ReadString("Display"), c.display);
        std::vector<uint8_t> tzi(44);
        EXPECT_EQ(reg.GetDataSize("TZI"), 44);
        reg.ReadBinaryData("TZI", tzi.data(), 44);
        EXPECT_EQ(tzi, c.tzi) << c.key;
        reg.CloseKey();
    }
    ASSERT_TRUE(reg.OpenKeyReadOnly(Base + "Europe - Berlin"));
    EXPECT_EQ(reg.ReadString("Std"), "Central European Standard Time");
    EXPECT_EQ(reg.ReadString("Dlt"), "Central European Summer Time");
    reg.CloseKey();

    // Read back, every zone gives the tz database's offset through the year.
    std::vector<TDSTRule> rules;
    ASSERT_TRUE(LoadSystemRules(reg, rules));
    ASSERT_EQ(rules.size(), zones.size());
    std::map<std::string, const TDSTRule*> byName;
    for (const TDSTRule& r : rules) byName[r.Name] = &r;
    std::vector<std::string> inexact;
    for (const std::string& id : zones) {
        const TDSTRule* rule = byName[ZoneKeyName(id)];
        ASSERT_NE(rule, nullptr) << id;
        std::vector<std::time_t> at;
        for (int i = 0; i < 24; ++i) {
            std::tm tm{};
            tm.tm_year = 2026 - 1900;
            tm.tm_mon = i / 2;
            tm.tm_mday = i % 2 ? 15 : 1;
            tm.tm_hour = 12;
            at.push_back(timegm(&tm));
        }
        const std::vector<int> offsets = TzOffsets(id, at);
        for (size_t i = 0; i < at.size(); ++i) {
            const TDateTime standard = at[i] / 86400.0 + 25569.0 - rule->Bias / 1440.0;
            const int minutes = -rule->Bias + rule->CurrentBias(standard);
            if (minutes != offsets[i]) {
                inexact.push_back(id);
                break;
            }
        }
    }
    // Only a zone whose year no one summer period describes (its law changes
    // that year, or it has more than two changes) may be off, and it says so.
    std::vector<std::string> wrong;
    for (const std::string& id : inexact)
        if (ReadZoneRecord(id, 2026).Exact) wrong.push_back(id);
    EXPECT_TRUE(wrong.empty()) << ::testing::PrintToString(wrong);
    EXPECT_NE(std::find(inexact.begin(), inexact.end(), "America/Vancouver"), inexact.end());
    EXPECT_LE(inexact.size(), 10u) << ::testing::PrintToString(inexact);

    // Nothing but the store's own files.
    for (const auto& e : std::filesystem::directory_iterator(Dir)) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "store" || name == "data") << name;
    }
}

TEST_F(SystemZonesTest, IncompleteAndEditedZones) {
    TRegistry reg(HKEY_LOCAL_MACHINE);
    std::vector<TDSTRule> rules;
    EXPECT_FALSE(LoadSystemRules(reg, rules)); // no base key yet
    ASSERT_TRUE(reg.OpenKey(Base + "Short", true));
    const uint8_t shortRecord[10] = {};
    reg.WriteBinaryData("TZI", shortRecord, 10);
    reg.WriteString("Display", "kept?");
    ASSERT_TRUE(reg.OpenKey(Base + "Text", true));
    reg.WriteString("TZI", "not binary");
    reg.CloseKey();
    TDSTRule r;
    r.ReadDataString("Edited/L.1.3.60.02:00:00/L.1.10.0.02:00:00/(UTC+01:00) Edited");
    r.Name = "Edited";
    r.Bias = -60;
    EXPECT_FALSE(WriteSystemZone(reg, r, "S", "D", false)); // not there, not created
    EXPECT_TRUE(WriteSystemZone(reg, r, "S", "D", true));
    ASSERT_TRUE(LoadSystemRules(reg, rules));
    ASSERT_EQ(rules.size(), 3u);
    EXPECT_EQ(rules[0].Name, "Edited");
    EXPECT_EQ(rules[0].RuleString(), r.RuleString());
    EXPECT_EQ(rules[0].Bias, -60);
    EXPECT_EQ(rules[0].Notes, "(UTC+01:00) Edited");
    EXPECT_EQ(rules[0].StopDate.ZoneName, "S");
    EXPECT_EQ(rules[0].StartDate.ZoneName, "D");
    EXPECT_EQ(rules[1].Notes, "Registry Data incomplete");
    EXPECT_EQ(rules[2].Notes, "Registry Data incomplete");
    EXPECT_TRUE(DeleteSystemZone(reg, "Edited"));
    EXPECT_FALSE(DeleteSystemZone(reg, "Edited"));
    EXPECT_FALSE(DeleteSystemZone(reg, ""));     // the base key itself
    EXPECT_FALSE(DeleteSystemZone(reg, "..\\")); // never outside it
    EXPECT_EQ(SeedSystemZones(reg, 2026), 0);    // the base key is there: nothing seeded
}

TEST_F(SystemZonesTest, HostZoneAndThePeriodInForce) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "Australia/Sydney", 1);
    struct Case {
        TDateTime utc;
        bool daylight;
        const char* name;
    } cases[] = {
        {EncodeDate(2026, 1, 10), true, "Australian Eastern Daylight Time"},
        {EncodeDate(2026, 7, 10), false, "Australian Eastern Standard Time"},
    };
    for (const Case& c : cases) {
        PinClock(c.utc, 0);
        const TZoneRecord z = ReadZoneRecord("", 2026);
        ASSERT_TRUE(z.Ok);
        EXPECT_EQ(z.ZoneId, "Australia/Sydney");
        EXPECT_EQ(z.StandardOffset, 600);
        EXPECT_EQ(z.DaylightNow, c.daylight);
        EXPECT_EQ(z.NameNow, c.name);
    }
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    // A zone the host does not know, and a year with two changes of offset
    // that are no summer period.
    EXPECT_FALSE(ReadZoneRecord("Nowhere/Atlantis", 2026).Ok);
    const TZoneRecord changed = ReadZoneRecord("America/Sao_Paulo", 2019);
    EXPECT_TRUE(changed.Ok);
    EXPECT_FALSE(changed.Exact);
    EXPECT_EQ(changed.Rule.StartDate.Month, 0);
    EXPECT_EQ(changed.StandardOffset, -180);
}
