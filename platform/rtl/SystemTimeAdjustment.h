// The kernel's adjustment of the system clock, read without changing it.
#pragma once

#include <cstdint>

struct TSystemTimeAdjustment {
    bool Ok = false;        // false: the kernel refused the read
    uint32_t Increment = 0; // 100-ns units added per clock tick
    uint32_t Adjustment = 0; // the increment scaled by the frequency correction
    bool Disabled = true;    // true while nothing disciplines the clock
};

// The only call in the suite that reaches the kernel's clock adjustment, and
// it only reads (adjtimex with no mode bits set).
TSystemTimeAdjustment GetSystemTimeAdjustment();
