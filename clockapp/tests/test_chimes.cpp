#include "clockapp/Chimes.h"
#include "clockapp/ClockLayout.h"
#include "clockapp/ClockTick.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Virtual milliseconds: scheduled actions run when the test lets time pass;
// sounds played "to their end" last 800 ms.
struct FakeTime {
    long long Now = 0;
    std::multimap<long long, std::function<void()>> Due;
    TRecordingSoundPlayer Sound;
    FakeTime() {
        Sound.Clock = [this] { return Now; };
    }
    TScheduleFn Schedule() {
        return [this](int ms, std::function<void()> f) { Due.emplace(Now + ms, std::move(f)); };
    }
    void Advance(long long ms) {
        const long long end = Now + ms;
        for (;;) {
            // Sounds with a completion end 800 ms after they started.
            while (Sound.Pending() > 0 && PendingStart() + 800 <= end &&
                   (Due.empty() || PendingStart() + 800 <= Due.begin()->first)) {
                Now = std::max(Now, PendingStart() + 800);
                FinishedCount++;
                Sound.FinishOne();
            }
            if (Due.empty() || Due.begin()->first > end) break;
            auto it = Due.begin();
            Now = it->first;
            auto f = std::move(it->second);
            Due.erase(it);
            f();
        }
        Now = end;
    }
    long long PendingStart() const {
        long long t = 0;
        int k = FinishedCount;
        for (const auto& e : Sound.Played)
            if (e.Mode == TRecordingSoundPlayer::TEntry::TMode::Then && k-- == 0) {
                t = e.AtMs;
                break;
            }
        return t;
    }
    int FinishedCount = 0;
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (const auto& e : Sound.Played)
            n.push_back(e.Sound);
        return n;
    }
};

TChimeSettings Settings(int type) {
    TChimeSettings s;
    s.ChimeType = type;
    s.Chime15Sound = "c15";
    s.Chime30Sound = "c30";
    s.Chime45Sound = "c45";
    s.Chime60Sound = "c60";
    s.TollHourSound = "toll";
    return s;
}

TDateTime At(int h, int m, int s) {
    return EncodeDate(2024, 5, 6) + EncodeTime(h, m, s, 0);
}

int Count(const std::vector<std::string>& v, const std::string& what) {
    return int(std::count(v.begin(), v.end(), what));
}

TEST(Chimes, StrokeCounts) {
    EXPECT_EQ(HourTolls(0), 0);
    EXPECT_EQ(HourTolls(12), 12);
    EXPECT_EQ(HourTolls(13), 1);
    EXPECT_EQ(ShipsBellStrokes(0, true), 1);
    EXPECT_EQ(ShipsBellStrokes(4, true), 1);
    EXPECT_EQ(ShipsBellStrokes(4, false), 8);
    EXPECT_EQ(ShipsBellStrokes(1, false), 2);
    EXPECT_EQ(ShipsBellStrokes(23, false), 6);
    EXPECT_EQ(DogWatchBellStrokes(19, false), 2);
    EXPECT_EQ(DogWatchBellStrokes(20, false), 4);
    EXPECT_EQ(DogWatchBellStrokes(18, false), 4);
}

TEST(Chimes, QuartersChimeOnceEvenWhenTheTickIsLate) {
    FakeTime t;
    TChimer c(t.Sound, t.Schedule());
    const TChimeSettings s = Settings(0);
    c.Check(At(9, 14, 59), s);
    c.Check(At(9, 15, 3), s); // second 0 missed
    c.Check(At(9, 15, 4), s);
    c.Check(At(9, 15, 4), s);
    c.Check(At(9, 30, 0), s);
    c.Check(At(9, 45, 0), s);
    c.Check(At(10, 0, 0), s);
    EXPECT_EQ(t.Names(), (std::vector<std::string>{"c15", "c30", "c45", "c60"}));
}

TEST(Chimes, HourTollIsTimedAndDoesNotBlock) {
    FakeTime t;
    TChimer c(t.Sound, t.Schedule());
    c.Check(At(15, 0, 0), Settings(1));
    // Check returned at once; the three tolls follow one after another.
    EXPECT_EQ(t.Sound.Played.size(), 1u);
    t.Advance(10000);
    ASSERT_EQ(Count(t.Names(), "toll"), 3);
    EXPECT_EQ(t.Sound.Played[1].AtMs - t.Sound.Played[0].AtMs, 900); // to its end + 100 ms
    EXPECT_FALSE(c.Sounding());
    c.Check(At(0, 0, 0), Settings(1));
    t.Advance(10000);
    EXPECT_EQ(Count(t.Names(), "toll"), 3); // midnight tolls none
}

TEST(Chimes, OnceThenTollPlaysTheChimeToItsEndFirst) {
    FakeTime t;
    TChimer c(t.Sound, t.Schedule());
    c.Check(At(12, 0, 0), Settings(2));
    t.Advance(20000);
    auto n = t.Names();
    ASSERT_EQ(n.size(), 13u);
    EXPECT_EQ(n[0], "c60");
    EXPECT_EQ(Count(n, "toll"), 12);
    EXPECT_GE(t.Sound.Played[1].AtMs, 800);
}

TEST(Chimes, ShipsBellsInPairsThroughAWholeDay) {
    FakeTime t;
    TChimer c(t.Sound, t.Schedule());
    const TChimeSettings s = Settings(3);
    int expected = 0;
    for (int sec = 0; sec < 86400; ++sec) {
        c.Check(EncodeDate(2024, 5, 6) + sec / SecsPerDay, s);
        t.Advance(1000);
    }
    for (int h = 0; h < 24; ++h)
        expected += ShipsBellStrokes(h, false) + ShipsBellStrokes(h, true);
    const auto n = t.Names();
    EXPECT_EQ(Count(n, "c60"), expected);
    EXPECT_EQ(Count(n, "c15"), 24);
    EXPECT_EQ(Count(n, "c45"), 24);
    EXPECT_EQ(Count(n, "c30"), 0);

    FakeTime g;
    TChimer four(g.Sound, g.Schedule());
    four.Check(At(4, 0, 0), s);
    g.Advance(10000);
    ASSERT_EQ(g.Sound.Played.size(), 8u);
    EXPECT_EQ(g.Sound.Played[0].AtMs, 1500);
    EXPECT_EQ(g.Sound.Played[1].AtMs, 1700);
    EXPECT_EQ(g.Sound.Played[2].AtMs, 3200);
}

TEST(Chimes, DogWatchHalfHourPlaysTheHalfChime) {
    FakeTime t;
    TChimer c(t.Sound, t.Schedule());
    const TChimeSettings s = Settings(4);
    c.Check(At(19, 0, 0), s);
    t.Advance(5000);
    EXPECT_EQ(Count(t.Names(), "c60"), 2);
    c.Check(At(19, 30, 0), s);
    c.Check(At(20, 0, 0), s);
    t.Advance(10000);
    EXPECT_EQ(Count(t.Names(), "c30"), 1);
    EXPECT_EQ(Count(t.Names(), "c60"), 6);
}

TEST(Chimes, WindowsIncludingOneOverMidnight) {
    FakeTime t;
    TChimer c(t.Sound, t.Schedule());
    TChimeSettings s = Settings(0);
    s.RestrictChimeTimes = true;
    c.Check(At(21, 0, 2), s);
    c.Check(At(21, 15, 0), s);
    c.Check(At(7, 45, 0), s);
    EXPECT_EQ(t.Names(), (std::vector<std::string>{"c60"}));
    s.ChimeStartTime = 22.0 / 24;
    s.ChimeEndTime = 6.0 / 24;
    c.Check(At(23, 0, 0), s);
    c.Check(At(2, 30, 0), s);
    c.Check(At(12, 0, 0), s);
    EXPECT_EQ(t.Names(), (std::vector<std::string>{"c60", "c60", "c30"}));
}

TEST(ClockLayout, FlowWrapsAndRowStepIsTheTallestSoFar) {
    std::vector<TClockBox> b = {{0, 0, 100, 40}, {0, 0, 100, 70}, {0, 0, 100, 30}, {0, 0, 100, 30}};
    FlowClocks(b, 250, 0);
    EXPECT_EQ(b[0].Left, 1);
    EXPECT_EQ(b[1].Left, 101);
    EXPECT_EQ(b[2].Left, 1);
    EXPECT_EQ(b[2].Top, 71);
    EXPECT_EQ(b[3].Left, 101);
    FlowClocks(b, 150, 0);
    EXPECT_EQ(b[3].Top, 1 + 40 + 70 + 70);
    FlowClocks(b, 50, 1);
    EXPECT_EQ(b[3].Left, 301);
    EXPECT_EQ(b[3].Top, 1);
    const TClientSize one = ConstrainClientSize(b, 1, 25);
    EXPECT_EQ(*one.Width, 402);
    EXPECT_EQ(*one.Height, 95);
    FlowClocks(b, 250, 2);
    const TClientSize two = ConstrainClientSize(b, 2, 25);
    EXPECT_EQ(*two.Width, 203);
    EXPECT_FALSE(two.Height);
    const TClientSize three = ConstrainClientSize(b, 3, 25);
    EXPECT_EQ(*three.Height, 71 + 30 + 25);
    EXPECT_FALSE(ConstrainClientSize(b, 0, 25).Width);
    // Never narrower than the tool bar's one row of buttons.
    EXPECT_EQ(*ConstrainClientSize(b, 2, 25, 500).Width, 500);
    EXPECT_EQ(*ConstrainClientSize(b, 2, 25, 100).Width, 203);
    EXPECT_FALSE(ConstrainClientSize(b, 3, 25, 500).Width);
}

TEST(ClockLayout, IndexesFollowTheirClocks) {
    EXPECT_EQ(IndexAfterInsert(-1, 0), -1);
    EXPECT_EQ(IndexAfterInsert(2, 2), 3);
    EXPECT_EQ(IndexAfterInsert(1, 2), 1);
    EXPECT_EQ(IndexAfterDelete(2, 2), -1);
    EXPECT_EQ(IndexAfterDelete(3, 2), 2);
    EXPECT_EQ(IndexAfterMove(3, 3, 0), 0);
    EXPECT_EQ(IndexAfterMove(1, 3, 0), 2);
    EXPECT_EQ(IndexAfterMove(-1, 3, 0), -1);
    EXPECT_EQ(IndexAfterMove(4, 1, 4), 3);
    EXPECT_EQ(IndexAfterMove(1, 1, 4), 4);
}

TEST(ClockTick, CountdownAndZoneReloads) {
    TTickClock t;
    t.ResetCountdown(10); // under a minute: a minute
    int syncs = 0;
    for (int i = 0; i < 120; ++i)
        syncs += t.CountDown(10);
    EXPECT_EQ(syncs, 2);

    const TDateTime day = EncodeDate(2024, 3, 31);
    EXPECT_TRUE(t.ZoneReloadDue(day + EncodeTime(1, 59, 59, 0), 1.0));
    EXPECT_FALSE(t.ZoneReloadDue(day + EncodeTime(2, 0, 0, 0), 1.0));
    // 02:00 became 03:00: the offset changed, read again at once.
    EXPECT_TRUE(t.ZoneReloadDue(day + EncodeTime(3, 0, 0, 0), 2.0));
    EXPECT_FALSE(t.ZoneReloadDue(day + EncodeTime(3, 0, 1, 0), 2.0));
    const TDateTime next = day + 1;
    EXPECT_TRUE(t.ZoneReloadDue(next + EncodeTime(2, 10, 0, 0), 2.0));
    EXPECT_FALSE(t.ZoneReloadDue(next + EncodeTime(2, 10, 1, 0), 2.0));
    EXPECT_TRUE(t.ShouldReportZoneFailure(true));
    EXPECT_FALSE(t.ShouldReportZoneFailure(true));
    EXPECT_FALSE(t.ShouldReportZoneFailure(false));
    EXPECT_TRUE(t.ShouldReportZoneFailure(true));
}

TEST(ClockTick, TitleAndTrayTexts) {
    PinClock(EncodeDate(2024, 5, 6) + EncodeTime(10, 0, 0, 0), 0);
    std::vector<std::unique_ptr<THXClock>> clocks;
    clocks.push_back(std::make_unique<THXClock>());
    clocks[0]->Location.City = "Paris";
    clocks[0]->Location.Country = "France";
    THXClock home;
    TTitleSettings s{"YYYY-MM-DD", "HH:MM:SS", "YYYY-MM-DD", "HH:MM:SS", true, false, true, true};
    int hint = 5;
    TTitleTexts t = ComposeTitleTexts(clocks, hint, home, s);
    EXPECT_EQ(hint, -1);
    EXPECT_EQ(t.Title, "2024-05-06 10:00:00 UTC");
    hint = 0;
    clocks[0]->Location.StdOffset = 1;
    t = ComposeTitleTexts(clocks, hint, home, s);
    EXPECT_EQ(t.Title.rfind("2024-05-06 11:00:00 ", 0), 0u) << t.Title;
    EXPECT_NE(t.Tray.find(" Paris  France"), std::string::npos) << t.Tray;
    s.TrayDateFormat = "dddd mmmm d yyyy, dddd mmmm d yyyy";
    t = ComposeTitleTexts(clocks, hint, home, s);
    EXPECT_GT(t.Tray.size(), 50u);
    EXPECT_EQ(t.TrayHint, t.Tray.substr(0, 50));
    EXPECT_EQ(TimeString(false, 1.5, 2.25, 1), "+06:00");
    EXPECT_EQ(TimeString(true, 2.5, 1.75, 0), "-6:00:00 p");
    ResetClockSource();
}

} // namespace
