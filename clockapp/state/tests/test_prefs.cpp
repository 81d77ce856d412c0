#include "clockapp/state/ClockState.h"

#include "timemodel/HXString.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using R = THXRootKey;
using V = THXStoredValue;
constexpr R CU = R::HKEY_CURRENT_USER;
constexpr R LM = R::HKEY_LOCAL_MACHINE;

class TestState : public TClockState {
public:
    explicit TestState(IHXPrefsStore& s) : TClockState(s) {}
    std::string Home = "default-home";
    int Loaded = 0;

protected:
    std::string HomeClockRecord() const override { return Home; }
    void ReadHomeClockRecord(const std::string& t) override {
        if (t == "bad") throw std::runtime_error("bad record");
        Home = t;
    }
    void CreateHomeClock() override { Home = "default-home"; }
    void PrefsLoaded() override { ++Loaded; }
};

V Dbl(double d) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &d, 8);
    return V::FromBinary(b);
}

// A comparable image of every preference field.
std::vector<std::string> Snapshot(const TClockState& s) {
    std::vector<std::string> out;
    for (const TPrefDef& d : PrefTable())
        std::visit(
            [&](auto m) {
                using M = decltype(m);
                if constexpr (std::is_same_v<M, std::monostate>)
                    out.push_back(d.Name);
                else if constexpr (std::is_same_v<M, double TClockPrefs::*>) {
                    uint64_t bits;
                    std::memcpy(&bits, &(s.*m), 8);
                    out.push_back(std::string(d.Name) + "=" + std::to_string(bits));
                } else if constexpr (std::is_same_v<M, std::string TClockPrefs::*>)
                    out.push_back(std::string(d.Name) + "=" + s.*m);
                else
                    out.push_back(std::string(d.Name) + "=" + std::to_string(s.*m));
            },
            d.Field);
    return out;
}

} // namespace

TEST(StoredPrefs, EmptyStoreGivesEveryDefault) {
    THXMemoryPrefsStore store;
    TestState s(store);
    s.SetDefaults();
    s.LoadPrefs();
    EXPECT_EQ(Snapshot(s), Snapshot(TestState(store)));
    EXPECT_TRUE(s.RejectedPrefs.empty());
    EXPECT_EQ(s.TitleDateFormat, "DDD MMM d, YYYY  ");
    EXPECT_EQ(s.HintClock, -1);
    EXPECT_EQ(s.ConnectionType, 2);
    EXPECT_DOUBLE_EQ(s.ChimeStartTime, 8.0 / 24);
    EXPECT_DOUBLE_EQ(s.ChimeEndTime, 21.0 / 24);
    EXPECT_EQ(s.FormWidth, 600);
    EXPECT_EQ(s.FormHeight, 120);
    EXPECT_EQ(s.HTTPProxyPort, "80");
    EXPECT_EQ(s.SOCKSProxyPort, "123");
    EXPECT_TRUE(s.FirstRun);
    EXPECT_FALSE(s.TimeServer.empty());
    EXPECT_EQ(s.Home, "default-home");
    EXPECT_EQ(s.Loaded, 1);
}

TEST(StoredPrefs, FirstWriteCreatesUserKeyInTableOrderWithTypes) {
    THXMemoryPrefsStore store;
    TestState s(store);
    s.SetDefaults();
    s.CurrentVersion = "2.1.0.37";
    s.WritePrefs();
    ASSERT_TRUE(store.KeyExists(CU, kPrefsKey));
    std::vector<std::string> names = store.ValueNames(CU, kPrefsKey);
    EXPECT_EQ(names.size(), PrefTable().size());
    EXPECT_EQ(store.GetValue(CU, kPrefsKey, "CurrentVersion")->Text, "2.1.0.37");
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "ConnectionType"), V::FromBinary({2}));
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "HintClock"), V::FromInteger(-1));
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "ShowSplash"), V::FromInteger(1));
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "ChimeStartTime"), Dbl(8.0 / 24));
    EXPECT_EQ(store.GetValue(CU, kPrefsKey, "LocalClock")->Text, "default-home");
    EXPECT_EQ(UnscramblePassword(store.GetValue(CU, kPrefsKey, "RASPassword")->Text), "");
    // The table order is the write order.
    EXPECT_STREQ(PrefTable().front().Name, "CurrentVersion");
    EXPECT_STREQ(PrefTable().back().Name, "AutoRefreshMap");
}

TEST(StoredPrefs, FullWriteReadsBackBitIdentical) {
    THXMemoryPrefsStore store;
    TestState a(store);
    a.SetDefaults();
    a.ChimeStartTime = 0.1 + 0.2; // not a short decimal
    a.ChimeEndTime = std::nextafter(21.0 / 24, 1.0);
    a.LocalOffsetOverride = -9.5;
    a.HintClock = -1;
    a.ChimeClock = 3;
    a.ConnectionType = 0;
    a.TitleDateFormat = "DDD MMM d, YYYY  ";
    a.TrayTimeFormat = "HH:MM:SS\t";
    a.RASPassword = "p\ta ss ";
    a.RASServer = "My ISP";
    a.UserEmailAddress = "me@example.com";
    a.ClockPosTop = -5;
    a.ClockPosLeft = 1234;
    a.ShowSplash = false;
    a.Home = "HXClockData-1.0.0:\tLocal\t...";
    a.WritePrefs();

    TestState b(store);
    b.SetDefaults();
    b.LoadPrefs();
    EXPECT_TRUE(b.RejectedPrefs.empty());
    std::vector<std::string> sa = Snapshot(a), sb = Snapshot(b);
    sa.erase(sa.begin()); // CurrentVersion is never read back
    sb.erase(sb.begin());
    EXPECT_EQ(sa, sb);
    EXPECT_EQ(b.RASPassword, "p\ta ss ");
    EXPECT_EQ(store.GetValue(CU, kPrefsKey, "RASPassword")->Text, ScramblePassword("p\ta ss "));
    EXPECT_EQ(b.Home, a.Home);
}

TEST(StoredPrefs, EachValueStandsOnItsOwn) {
    THXMemoryPrefsStore store;
    store.CreateKey(CU, kHoroluxKey);
    store.SetValue(CU, kPrefsKey, "SyncSound", V::FromString("my.wav"));
    store.SetValue(CU, kPrefsKey, "FormWidth", V::FromString("800"));       // wrong type
    store.SetValue(CU, kPrefsKey, "ChimeStartTime", V::FromInteger(8));     // wrong type
    store.SetValue(CU, kPrefsKey, "ChimeEndTime", Dbl(std::nan("")));       // not a number
    store.SetValue(CU, kPrefsKey, "ConnectionType", V::FromBinary({7}));    // out of range
    store.SetValue(CU, kPrefsKey, "AnalogClockSize", V::FromInteger(5000)); // out of range
    store.SetValue(CU, kPrefsKey, "RASPassword", V::FromString("garbage"));
    store.SetValue(CU, kPrefsKey, "LocalClock", V::FromString("bad"));
    store.SetValue(CU, kPrefsKey, "TitleTimeFormat", V::FromString("hh:mm"));
    store.SetValue(CU, kPrefsKey, "chime45MINS", V::FromInteger(0)); // names fold case
    TestState s(store);
    s.SetDefaults();
    s.LoadPrefs();
    EXPECT_EQ(s.SyncSound, "my.wav");
    EXPECT_EQ(s.PlayConnectSound, true); // absent: default
    EXPECT_EQ(s.FormWidth, 600);
    EXPECT_DOUBLE_EQ(s.ChimeStartTime, 8.0 / 24);
    EXPECT_DOUBLE_EQ(s.ChimeEndTime, 21.0 / 24);
    EXPECT_EQ(s.ConnectionType, 2);
    EXPECT_EQ(s.AnalogClockSize, 50);
    EXPECT_EQ(s.RASPassword, "");
    EXPECT_EQ(s.Home, "default-home");
    EXPECT_EQ(s.TitleTimeFormat, "hh:mm");
    EXPECT_FALSE(s.Chime45mins);
    EXPECT_EQ(s.RejectedPrefs.size(), 7u);
}

TEST(StoredPrefs, WindowPositionAndSpecialValues) {
    THXMemoryPrefsStore store;
    store.SetValue(CU, kPrefsKey, "ClockPosTop", V::FromInteger(-200));
    store.SetValue(CU, kPrefsKey, "AlwaysStartMinimized", V::FromInteger(1));
    TestState s(store);
    s.SetDefaults();
    s.ClockPosLeft = 77;
    s.UserEmailAddress = "left over";
    s.LoadPrefs();
    EXPECT_EQ(s.ClockPosTop, -5);
    EXPECT_EQ(s.ClockPosLeft, 0); // absent: 0
    EXPECT_EQ(s.UserEmailAddress, "");
    EXPECT_TRUE(s.StartMinimizedPending);
}

TEST(StoredPrefs, LegacyMachineKeysAreTakenOverOnceThenRemoved) {
    THXMemoryPrefsStore store;
    store.SetValue(LM, kPrefsKey, "ShowSplash", V::FromInteger(0));
    store.SetValue(LM, kPrefsKey, "NumClocks", V::FromInteger(4));
    store.SetValue(LM, kPrefsKey, "CZColWidth11", V::FromInteger(4));
    store.SetValue(LM, "SOFTWARE\\Horolux\\Alarms", "A0", V::FromString("x"));
    store.SetValue(LM, "SOFTWARE\\Horolux\\Dayloom", "D0", V::FromString("x"));
    store.SetValue(LM, "SOFTWARE\\Horolux\\ClockData", "ZoneName0", V::FromString("x"));
    TestState s(store);
    s.SetDefaults();
    s.LoadPrefs();
    EXPECT_FALSE(s.ShowSplash);
    EXPECT_FALSE(store.KeyExists(LM, "SOFTWARE\\Horolux\\Alarms"));
    EXPECT_FALSE(store.KeyExists(LM, "SOFTWARE\\Horolux\\Dayloom"));
    EXPECT_TRUE(store.KeyExists(LM, "SOFTWARE\\Horolux\\ClockData"));
    EXPECT_FALSE(store.GetValue(LM, kPrefsKey, "NumClocks"));
    EXPECT_FALSE(store.GetValue(LM, kPrefsKey, "CZColWidth11"));
    s.WritePrefs();
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "ShowSplash"), V::FromInteger(0));

    TestState t(store);
    t.SetDefaults();
    t.LoadPrefs();
    EXPECT_FALSE(store.KeyExists(LM, kHoroluxKey));
    EXPECT_FALSE(t.ShowSplash);
}

TEST(StoredPrefs, AutoSizeIsRemovedOnlyWhenTrue) {
    THXMemoryPrefsStore store;
    store.SetValue(CU, kPrefsKey, "AutoSize", V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "ConstrainWindowType", V::FromInteger(3));
    TestState s(store);
    s.SetDefaults();
    s.LoadPrefs();
    EXPECT_TRUE(store.GetValue(CU, kPrefsKey, "AutoSize"));
    EXPECT_EQ(s.ConstrainWindowType, 3);

    store.SetValue(CU, kPrefsKey, "AutoSize", V::FromInteger(1));
    store.DeleteValue(CU, kPrefsKey, "ConstrainWindowType");
    s.SetDefaults();
    s.ConstrainWindowType = 0;
    s.LoadPrefs();
    EXPECT_FALSE(store.GetValue(CU, kPrefsKey, "AutoSize"));
    EXPECT_EQ(s.ConstrainWindowType, 1);
}

TEST(StartOptions, DataDirAndReadOnlyMatchExactly) {
    auto o = ParseStartOptions("/opt/hx", {});
    EXPECT_EQ(o.DataDir, "/opt/hx/");
    EXPECT_FALSE(o.ReadOnly);
    o = ParseStartOptions("/opt/hx/", {"-DATADIR", "/x", "-READONLY"});
    EXPECT_EQ(o.DataDir, "/opt/hx/");
    EXPECT_FALSE(o.ReadOnly);
    o = ParseStartOptions("/opt/hx/", {"-datadir", "/a", "-readonly", "-datadir", "/b/"});
    EXPECT_EQ(o.DataDir, "/b/");
    EXPECT_TRUE(o.ReadOnly);
    o = ParseStartOptions("/opt/hx/", {"-datadir", "/a", "-datadir"});
    EXPECT_EQ(o.DataDir, "/a/");
}
