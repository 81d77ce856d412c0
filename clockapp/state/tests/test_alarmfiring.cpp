// The tick's alarm decisions at pinned instants, without windows.
#include "clockapp/state/AlarmFiring.h"
#include "timemodel/HX_messages.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

TDateTime At(int y, int m, int d, int h = 0, int n = 0, int s = 0) {
    return EncodeDate(y, m, d) + EncodeTime(h, n, s, 0);
}
constexpr double kSecond = 1.0 / 86400;

// 08:00 in Tokyo (+9, no daylight saving) is 23:00 UTC the day before.
const TDateTime kAlarmLocal = At(2026, 3, 2, 8);
const TDateTime kAlarmUtc = At(2026, 3, 1, 23);

std::unique_ptr<TAlarm> Alarm(int type, TDateTime local = kAlarmLocal, double offset = 9,
                              const char* rule = "0") {
    auto a = std::make_unique<TAlarm>();
    a->AlarmType = uint8_t(type);
    a->AlarmTime = local;
    a->Location.StdOffset = offset;
    a->Location.Rule.ReadDataString(rule);
    a->Enabled = true;
    a->Text = "payload " + std::to_string(type);
    return a;
}

struct TRecorder : IAlarmActions {
    std::vector<std::string> Done;
    std::function<void(int)> OnSound;
    void SoundAlarm(int index, const std::string& file) override {
        Done.push_back("sound " + std::to_string(index) + " " + file);
        if (OnSound) OnSound(index);
    }
    void Broadcast(unsigned msg) override {
        Done.push_back(msg == HXM_RASDialRequest         ? "dial"
                       : msg == HXM_RASDisconnectRequest ? "hang up"
                                                         : "other message");
    }
    void SyncTime() override { Done.push_back("sync"); }
    void Launch(const std::string& text) override { Done.push_back("launch " + text); }
    void WriteAlarms() override { Done.push_back("write"); }
    void ExploreLateAlarms() override { Done.push_back("late window"); }
};

class AlarmFiring : public ::testing::Test {
protected:
    void SetUp() override { RegisterHXMessages(); }
    void TearDown() override { ResetClockSource(); }
    // One tick at this UTC instant with the host at this offset.
    std::vector<std::string> Tick(TDateTime utc, double hostOffset = 1) {
        PinClock(utc, hostOffset);
        SetAlarmHostOffsets(alarms, hostOffset);
        rec.Done.clear();
        CheckDueAlarms(alarms, sounds, rec);
        return rec.Done;
    }
    TAlarmList alarms;
    TAlarmSounds sounds{"major.wav", "normal.wav", "minor.wav"};
    TRecorder rec;
};

using L = std::vector<std::string>;

TEST_F(AlarmFiring, EachTypeActsOnceAtItsTimeAndTheOthersSettleInThatTick) {
    const struct {
        int Type;
        L Done;
        bool Settled; // acknowledged and advanced by the tick itself
    } cases[] = {
        {0, {"sound 0 major.wav"}, false},
        {1, {"sound 0 normal.wav"}, false},
        {2, {"sound 0 minor.wav"}, false},
        {7, {"sound 0 payload 7"}, false},
        {3, {"dial", "write"}, true},
        {4, {"hang up", "write"}, true},
        {5, {"sync", "write"}, true},
        {6, {"launch payload 6", "write"}, true},
        {9, {"write"}, true}, // a type nothing acts on does not stay sounding
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Type);
        for (double repeat : {0.0, 1.0}) {
            alarms.clear();
            alarms.push_back(Alarm(c.Type));
            alarms[0]->RepeatDays = repeat;
            EXPECT_EQ(Tick(kAlarmUtc - kSecond), L{}); // not yet
            EXPECT_EQ(Tick(kAlarmUtc + kSecond), c.Done);
            const TAlarm& a = *alarms[0];
            EXPECT_EQ(a.Sounding, !c.Settled);
            if (c.Settled) {
                // A daily alarm is armed for tomorrow, a single one is done.
                EXPECT_EQ(a.Acknowledged, repeat == 0);
                EXPECT_DOUBLE_EQ(a.AlarmTime, kAlarmLocal + repeat);
            }
            // Never twice, and never late while its pop-up is up.
            EXPECT_EQ(Tick(kAlarmUtc + 2 * kSecond), L{});
            EXPECT_EQ(Tick(kAlarmUtc + 60 * kSecond), L{});
        }
    }
}

TEST_F(AlarmFiring, AnAlarmFirstSeenPastItsWindowIsLateAndNeverSounds) {
    alarms.push_back(Alarm(1));
    alarms.push_back(Alarm(3));
    alarms.push_back(Alarm(1, kAlarmLocal + 1)); // tomorrow
    EXPECT_EQ(Tick(kAlarmUtc + 9 * kSecond), L{"late window"});
    EXPECT_EQ(Tick(kAlarmUtc + 10 * kSecond), L{"late window"}); // every tick
    EXPECT_FALSE(alarms[0]->Sounding);
    EXPECT_EQ(LateAlarmIds(alarms),
              (std::vector<uint64_t>{alarms[0]->Id.Value(), alarms[1]->Id.Value()}));
    EXPECT_EQ(LateAlarmRow(*alarms[1]), "Connect  ...  payload 3");
}

TEST_F(AlarmFiring, APlacesTimeWhateverTheHostsOffsetAndAcrossDaylightSaving) {
    // Tokyo under host offsets 0, +2 and -5.
    for (double host : {0.0, 2.0, -5.0}) {
        SCOPED_TRACE(host);
        alarms.clear();
        alarms.push_back(Alarm(1));
        EXPECT_EQ(Tick(kAlarmUtc - kSecond, host), L{});
        EXPECT_EQ(Tick(kAlarmUtc + kSecond, host), L{"sound 0 normal.wav"});
    }
    // The host goes from +1 to +2 between two ticks: still at 23:00 UTC.
    alarms.clear();
    alarms.push_back(Alarm(1));
    EXPECT_EQ(Tick(kAlarmUtc - kSecond, 1), L{});
    EXPECT_EQ(Tick(kAlarmUtc + kSecond, 2), L{"sound 0 normal.wav"});
    // 08:00 in Sydney the morning after its clocks went forward (+11): 21:00
    // UTC, not 22:00.
    alarms.clear();
    alarms.push_back(
        Alarm(1, At(2026, 10, 5, 8), 10, "Australia/1.1.10.60.02:00:00/1.1.4.0.02:00:00/x"));
    EXPECT_EQ(Tick(At(2026, 10, 4, 21) - kSecond), L{});
    EXPECT_EQ(Tick(At(2026, 10, 4, 21) + kSecond), L{"sound 0 normal.wav"});
}

TEST_F(AlarmFiring, TheWalkFollowsItsAlarmsWhenAnEffectChangesTheList) {
    for (int i = 0; i < 4; ++i)
        alarms.push_back(Alarm(1));
    const uint64_t last = alarms[3]->Id.Value();
    // The first pop-up's wait lets a window delete the next two alarms and
    // add a new due one, which may take the memory of a deleted one.
    rec.OnSound = [&](int index) {
        if (index != 0) return;
        alarms.erase(alarms.begin() + 1, alarms.begin() + 3);
        alarms.push_back(Alarm(1));
    };
    EXPECT_EQ(Tick(kAlarmUtc + kSecond), (L{"sound 0 normal.wav", "sound 1 normal.wav"}));
    EXPECT_EQ(alarms[1]->Id.Value(), last);
    EXPECT_FALSE(alarms[2]->Sounding); // not in this walk; the next one
    rec.OnSound = nullptr;
    EXPECT_EQ(Tick(kAlarmUtc + 2 * kSecond), L{"sound 2 normal.wav"});
}

TEST_F(AlarmFiring, AnswersSnoozeOrSettleAndNeverLeaveAnAlarmSounding) {
    PinClock(kAlarmUtc + kSecond, 0);
    const struct {
        int Type;
        bool Ack;
        const char* Text;
        double Repeat;
        double Snooze;     // minutes expected in SnoozeOffset
        bool Acknowledged; // expected
        double Advanced;   // days AlarmTime moved
    } cases[] = {
        {1, false, "5", 0, 5, false, 0},
        {0, false, "2,5", 0, 5, false, 0}, // not a number here: 5
        {0, false, "2.5", 0, 2.5, false, 0},
        {1, false, "abc", 0, 5, false, 0},
        {1, false, "", 0, 5, false, 0},
        {1, false, "-3", 0, 5, false, 0},
        {1, false, "0", 0, 5, false, 0},
        {1, false, " 12 ", 0, 12, false, 0},
        {1, true, "abc", 0, 0, true, 0},
        {1, true, "", 1, 0, false, 1},
        // The kinds that cannot snooze keep their schedule.
        {2, false, "5", 1, 0, false, 1},
        {7, false, "5", 7, 0, false, 7},
        {2, false, "5", 0, 0, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Text) + " type " + std::to_string(c.Type));
        auto a = Alarm(c.Type);
        a->RepeatDays = c.Repeat;
        a->Sounding = true;
        a->Location.HostOffset = 0;
        ApplyAlarmAnswer(*a, c.Ack, c.Text);
        EXPECT_FALSE(a->Sounding);
        EXPECT_NEAR(a->SnoozeOffset, c.Snooze / 1440, 1e-12);
        EXPECT_EQ(a->Acknowledged, c.Acknowledged);
        EXPECT_DOUBLE_EQ(a->AlarmTime, kAlarmLocal + c.Advanced);
    }
}

TEST_F(AlarmFiring, AcknowledgeAndDeleteActOnTheAlarmsNamedWhereverTheyAre) {
    for (int i = 0; i < 5; ++i) {
        alarms.push_back(Alarm(1));
        alarms.back()->Text = std::to_string(i);
    }
    const std::vector<uint64_t> chosen = {alarms[0]->Id.Value(), alarms[2]->Id.Value(),
                                          alarms[4]->Id.Value(), 0 /* gone */};
    // Another window removed alarm 1 meanwhile: the indexes have shifted.
    alarms.erase(alarms.begin() + 1);
    AcknowledgeAlarms(alarms, chosen);
    std::string acked;
    for (const auto& a : alarms)
        acked += a->Acknowledged ? a->Text : "-";
    EXPECT_EQ(acked, "02-4");
    DeleteAlarms(alarms, chosen);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0]->Text, "3");
}

} // namespace
