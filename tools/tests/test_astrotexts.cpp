#include "tools/AstroTexts.h"

#include <gtest/gtest.h>

namespace {

TEST(AstroTexts, Formats) {
    EXPECT_EQ(MoonAgeText(5.3), "05 Days 07:12");
    EXPECT_EQ(MoonAgeText(17.5), "17 Days 12:00");
    EXPECT_EQ(SiderealText(-0.25), "-06:00");
    EXPECT_EQ(SiderealText(1000.75), "18:00");
}

} // namespace
