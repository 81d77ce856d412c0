#include "platform/rtl/SystemTimeAdjustment.h"

#include <cmath>
#include <sys/timex.h>

TSystemTimeAdjustment GetSystemTimeAdjustment() {
    TSystemTimeAdjustment a;
    struct timex tx {};
    tx.modes = 0; // read only
    if (adjtimex(&tx) == -1) return a;
    a.Ok = true;
    const double increment = double(tx.tick) * 10; // microseconds to 100 ns
    // freq: parts per million with a 16-bit binary fraction.
    const double adjusted = increment * (1 + double(tx.freq) / 65536.0 / 1e6);
    a.Increment = uint32_t(std::lround(std::fmax(increment, 0)));
    a.Adjustment = uint32_t(std::lround(std::fmax(adjusted, 0)));
    a.Disabled = (tx.status & STA_UNSYNC) != 0;
    return a;
}
