// The state follows the computer's offset on its own: no window, no tick.
#include "clockapp/state/ClockState.h"
#include "platform/rtl/SysUtils.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

class HeadlessState : public TClockState {
public:
    using TClockState::TClockState;
};

// The host's zone as the test says, restored after it.
class PinnedZone {
public:
    explicit PinnedZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) Saved = old, Had = true;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~PinnedZone() {
        if (Had)
            ::setenv("TZ", Saved.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        ResetClockSource();
    }
    PinnedZone(const PinnedZone&) = delete;
    PinnedZone& operator=(const PinnedZone&) = delete;

private:
    std::string Saved;
    bool Had = false;
};

} // namespace

TEST(StateHostOffset, AReReadReachesEveryClockAlarmAndDayloomItem) {
    const struct {
        const char* Name;
        bool Override;
        double Expected; // the offset everything converts with
    } cases[] = {
        {"the computer's offset", false, 2.0},
        {"the user's override", true, 5.5},
    };
    for (const auto& c : cases) {
        PinnedZone zone("Europe/Berlin");
        // Just after the clocks went forward there.
        PinClock(EncodeDate(2024, 3, 31) + EncodeTime(1, 30, 0, 0), 2.0);
        THXMemoryPrefsStore store;
        HeadlessState s(store);
        s.SetDefaults();
        for (int i = 0; i < 3; ++i) {
            s.Clocks.push_back(std::make_unique<THXClock>());
            s.Clocks.back()->Location.HostOffset = 1.0;
        }
        s.Alarms.push_back(std::make_unique<TAlarm>());
        s.Alarms.back()->Location.HostOffset = 1.0;
        s.TemperalEvents.push_back(std::make_unique<TTemperalEvent>());
        s.TemperalEvents.back()->Location.HostOffset = 1.0;
        s.OverrideLocalOffset = c.Override;
        s.LocalOffsetOverride = 5.5;

        EXPECT_TRUE(s.ReloadHostZone()) << c.Name;
        EXPECT_DOUBLE_EQ(s.LocalClock.Location.HostOffset, c.Expected) << c.Name;
        for (const auto& clock : s.Clocks)
            EXPECT_DOUBLE_EQ(clock->Location.HostOffset, c.Expected) << c.Name;
        EXPECT_DOUBLE_EQ(s.Alarms[0]->Location.HostOffset, c.Expected) << c.Name;
        EXPECT_DOUBLE_EQ(s.TemperalEvents[0]->Location.HostOffset, c.Expected) << c.Name;
        // Without an override, the override offered next is the computer's.
        EXPECT_DOUBLE_EQ(s.LocalOffsetOverride, c.Override ? 5.5 : 2.0) << c.Name;
    }
}
