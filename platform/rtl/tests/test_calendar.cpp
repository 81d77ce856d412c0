#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

TEST(Calendar, LeapYears) {
    EXPECT_TRUE(IsLeapYear(2000));
    EXPECT_FALSE(IsLeapYear(1900));
    EXPECT_TRUE(IsLeapYear(2028));
    EXPECT_FALSE(IsLeapYear(2026));
}
