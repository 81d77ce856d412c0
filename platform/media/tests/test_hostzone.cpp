#include "platform/media/HostZone.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Sets TZ for one test and puts the old value back.
class ZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) FOld = tz, FHad = true;
    }
    void TearDown() override {
        if (FHad)
            setenv("TZ", FOld.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    void Zone(const char* tz) { setenv("TZ", tz, 1); }
    std::string FOld;
    bool FHad = false;
};

constexpr std::time_t kJan2024 = 1704110400; // 2024-01-01 12:00 UTC
constexpr std::time_t kJul2024 = 1720008000; // 2024-07-03 12:00 UTC

TEST_F(ZoneTest, BerlinWinterAndSummer) {
    Zone("Europe/Berlin");
    THostZone w = ReadHostZone(kJan2024);
    ASSERT_TRUE(w.Ok);
    EXPECT_EQ(w.Name, "CET");
    EXPECT_EQ(w.ZoneId, "Europe/Berlin");
    EXPECT_DOUBLE_EQ(w.CurrentOffset, 1.0);
    EXPECT_FALSE(w.Daylight);
    THostZone s = ReadHostZone(kJul2024);
    EXPECT_EQ(s.Name, "CEST");
    EXPECT_DOUBLE_EQ(s.CurrentOffset, 2.0);
    EXPECT_DOUBLE_EQ(s.StandardOffset, 1.0);
    EXPECT_TRUE(s.Daylight);
}

TEST_F(ZoneTest, TransitionsOfTheYearToTheSecond) {
    Zone("Europe/Berlin");
    auto t = HostTransitionsOfYear(kJul2024);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].At, 1711846800); // 2024-03-31 01:00 UTC
    EXPECT_DOUBLE_EQ(t[0].OffsetAfter, 2.0);
    EXPECT_TRUE(t[0].DaylightAfter);
    EXPECT_EQ(t[1].At, 1729990800); // 2024-10-27 01:00 UTC
    EXPECT_DOUBLE_EQ(t[1].OffsetAfter, 1.0);
}

TEST_F(ZoneTest, HalfHourZoneWithoutDaylightSaving) {
    Zone("Asia/Kolkata");
    THostZone z = ReadHostZone(kJul2024);
    EXPECT_DOUBLE_EQ(z.CurrentOffset, 5.5);
    EXPECT_DOUBLE_EQ(z.StandardOffset, 5.5);
    EXPECT_TRUE(HostTransitionsOfYear(kJul2024).empty());
}

TEST_F(ZoneTest, SouthernHemisphere) {
    Zone("Australia/Sydney");
    THostZone z = ReadHostZone(kJan2024);
    EXPECT_DOUBLE_EQ(z.CurrentOffset, 11.0);
    EXPECT_DOUBLE_EQ(z.StandardOffset, 10.0);
    EXPECT_EQ(HostTransitionsOfYear(kJan2024).size(), 2u);
}

} // namespace
