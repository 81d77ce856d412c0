// Pinned clocks and English number formats for the time-model tests.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

inline TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0, int ms = 0) {
    return EncodeDate(y, m, d) + EncodeTime(h, n, s, ms);
}

constexpr double OneSecond = 1.0 / 86400;

// Every test starts from the English defaults and a clock pinned by the test.
class PinnedClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetFormatSettings();
        PinClock(At(2026, 2, 14, 12, 0, 0), 0);
    }
    void TearDown() override {
        ResetClockSource();
        ResetFormatSettings();
    }
};
