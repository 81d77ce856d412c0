#include "tickmatch/ClockSetter.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"

#include <gtest/gtest.h>

// Every case runs on a private "system" bus of its own; the real clock and the
// real time service are never reachable from here.
class ClockSetterOnPrivateBus : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        Dir = MakeTempDir("tickmatch-clock");
        ASSERT_FALSE(Dir.empty());
        ASSERT_TRUE(Bus.Start(Dir, "system"));
    }
    void TearDown() override { RemoveTree(Dir); }

    std::string Dir;
    TPrivateBus Bus;
    TFakeTimeService Service;
};

TEST_F(ClockSetterOnPrivateBus, AsksForARelativeInteractiveShift) {
    ASSERT_TRUE(Service.Start(Bus.Address(), Dir + "/calls", "accept"));
    TSystemClockSetter setter(Bus.Address());
    std::string reason;
    EXPECT_TRUE(setter.ShiftClock(1500000, reason)) << reason;
    EXPECT_TRUE(setter.ShiftClock(-3000, reason)) << reason;
    EXPECT_EQ(Service.Calls(), "SetTime 1500000 1 1\nSetTime -3000 1 1\n");
}

TEST_F(ClockSetterOnPrivateBus, RefusalsGiveAClearReason) {
    struct Case {
        const char* Mode;
        const char* Reason;
    };
    for (Case c : {Case{"ntp", "automatic time synchronisation is on"},
                   Case{"denied", "not authorised to set the time"}}) {
        TFakeTimeService service;
        ASSERT_TRUE(service.Start(Bus.Address(), Dir + "/calls-" + c.Mode, c.Mode));
        TSystemClockSetter setter(Bus.Address());
        std::string reason;
        EXPECT_FALSE(setter.ShiftClock(1000, reason));
        EXPECT_EQ(reason, c.Reason) << c.Mode;
        EXPECT_EQ(service.Calls(), "SetTime 1000 1 1\n");
    }
}

TEST_F(ClockSetterOnPrivateBus, NoServiceOrNoBus) {
    std::string reason;
    TSystemClockSetter noService(Bus.Address());
    EXPECT_FALSE(noService.ShiftClock(1000, reason));
    EXPECT_EQ(reason, "no system time service");
    TSystemClockSetter noBus("unix:path=" + Dir + "/no-such-socket");
    EXPECT_FALSE(noBus.ShiftClock(1000, reason));
    EXPECT_EQ(reason, "the system bus cannot be reached");
}
