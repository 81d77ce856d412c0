#include "clockapp/state/ClockState.h"
#include "clockapp/state/ListFiles.h"

#include "platform/qt/TextFold.h"

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Headless state that records what it would show and answers as told.
class ListState : public TClockState {
public:
    explicit ListState(IHXPrefsStore& s) : TClockState(s) {}
    std::vector<std::string> Messages;
    std::vector<std::string> Progress;
    TAnswer Answer = TAnswer::Cancel;
    bool Confirm = false;
    int Rebuilds = 0;
    int Pumps = 0;

protected:
    void ShowError(const std::string& t) override { Messages.push_back("error:" + t); }
    void ShowInfo(const std::string& t) override { Messages.push_back("info:" + t); }
    void ShowErrorCode(int c) override { Messages.push_back("code:" + std::to_string(c)); }
    TAnswer AskYesNoCancel(const std::string&) override { return Answer; }
    bool ConfirmYes(const std::string&) override { return Confirm; }
    void BeginProgress(const std::string& c, const std::string& t, bool g) override {
        Progress.push_back(c + "|" + t + (g ? "|gauge" : ""));
    }
    void EndProgress() override { Progress.push_back("end"); }
    void RebuildLocationTree() override { ++Rebuilds; }
    void ProcessMessages() override { ++Pumps; }
    void LoadRegTimeInfo() override {
        LocalClock.Location.StdOffset = 1;
        LocalClock.Location.HostOffset = 1;
        LocalClock.Location.Rule.None();
        LocalZoneName = "CET";
    }
};

class ListFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("hxlists-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        state.DataDir = dir.string() + "/";
    }
    void TearDown() override { fs::remove_all(dir); }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static std::string Loc(const std::string& name, double offset = 0,
                           const std::string& country = "", const std::string& region = "",
                           const std::string& city = "") {
        TTimeLocation l;
        l.Name = name;
        l.StdOffset = offset;
        l.Country = country;
        l.Region = region;
        l.City = city;
        return l.LocationDataStr('\t');
    }
    static std::string Clock(const std::string& name, int type) {
        THXClock c;
        c.Location.Name = name;
        c.ClockType = uint8_t(type);
        return c.DataString('\t');
    }
    static std::string Alarm(const std::string& text) {
        TAlarm a;
        a.Text = text;
        return a.DataString('\t');
    }
    std::vector<std::string> Names() {
        std::vector<std::string> n;
        for (auto& l : state.StandardLocations)
            n.push_back(l->Name);
        return n;
    }
    fs::path dir;
    THXMemoryPrefsStore store;
    ListState state{store};
};

} // namespace

TEST_F(ListFileTest, MissingFilesShowTheirMessagesAndLeaveListsEmpty) {
    state.Alarms.push_back(std::make_unique<TAlarm>());
    state.LoadCLockInfo();
    state.LoadAlarms();
    state.LoadTemperalEvents();
    state.LoadStandardLocations();
    state.LoadStandardTimeServers();
    EXPECT_EQ(state.Messages, (std::vector<std::string>{"code:2", "code:3", "code:8", "code:4"}));
    EXPECT_TRUE(state.Alarms.empty());
    EXPECT_TRUE(state.Clocks.empty());
    EXPECT_TRUE(state.TimeServers.empty());
}

TEST_F(ListFileTest, ClockFileRulesForLocalClocks) {
    // A legacy first line (a location record) becomes the one Local clock.
    TTimeLocation legacy;
    legacy.Name = "Home";
    Write("hxclocks.hxd",
          legacy.LocationDataStr('\t') + "\r\n" + Clock("Paris", 1) + "\r\n" + Clock("", 1) + "\n");
    state.LoadCLockInfo();
    ASSERT_EQ(state.Clocks.size(), 3u);
    EXPECT_EQ(state.Clocks[0]->ClockType, 1);
    EXPECT_EQ(state.Clocks[0]->Location.Name, "Home");
    EXPECT_EQ(state.Clocks[0]->Location.StdOffset, 0);  // its own place, kept
    EXPECT_EQ(state.Clocks[0]->Location.HostOffset, 1); // the host's offset
    EXPECT_EQ(state.Clocks[1]->ClockType, 0);          // later Local clocks are Location clocks
    EXPECT_EQ(state.Clocks[2]->ClockType, 0);
    EXPECT_EQ(state.LocalClock.ClockType, 1);
    EXPECT_EQ(state.LocalClock.Location.Name, "Home");

    // A first Local clock without a name takes the host zone's.
    Write("hxclocks.hxd", Clock("", 1) + "\r\n");
    state.LoadCLockInfo();
    ASSERT_EQ(state.Clocks.size(), 1u);
    EXPECT_EQ(state.Clocks[0]->Location.Name, "CET");
    EXPECT_TRUE(state.Messages.empty());
}

TEST_F(ListFileTest, BadFirstClockLineKeepsTheClocksAfterItAndAFileCopy) {
    const std::string bad = std::string(ClockDataHeader) + "\tUTC\tMMM\tHH\tDigital\tFalse\tred";
    Write("hxclocks.hxd", bad + "\r\n" + Clock("After", 0) + "\r\n");
    state.LoadCLockInfo();
    ASSERT_EQ(state.Messages.size(), 1u);
    const std::string& m = state.Messages[0];
    EXPECT_EQ(m.rfind("error:Error in Clock Data File\n\rError in Clock Data: ", 0), 0u) << m;
    EXPECT_NE(
        m.find("\n\rClocks loaded: 1\n\rThe file as it was has been kept as hxclocks.hxd.bak"),
        std::string::npos)
        << m;
    ASSERT_EQ(state.Clocks.size(), 1u);
    EXPECT_EQ(state.Clocks[0]->Location.Name, "After");
    EXPECT_EQ(Read("hxclocks.hxd.bak"), Read("hxclocks.hxd"));
}

TEST_F(ListFileTest, BadThirdAlarmLineKeepsTheOthers) {
    Write("hxalarms.hxd", Alarm("one") + "\r\n" + Alarm("two") + "\r\nnot a time\tx\r\n" +
                              Alarm("four") + "\r\nbad again\r\n");
    state.LoadAlarms();
    ASSERT_EQ(state.Alarms.size(), 3u);
    EXPECT_EQ(state.Alarms[2]->Text, "four");
    ASSERT_EQ(state.Messages.size(), 1u);
    const std::string m = state.Messages[0];
    EXPECT_EQ(m.rfind("error:Error in Alarm Data: not a time\tx at 1-- alarms loaded: 3\n\r"
                      "1 more line could not be read either",
                      0),
              0u)
        << m;
}

// A line too long to be a record (here a 100 KB command) is told, and every
// record after it is read and written back: the next save loses only that
// line, which the kept copy still holds.
TEST_F(ListFileTest, AnOverlongLineCostsNoOtherRecord) {
    const std::string huge(100 * 1024, 'x');
    TTemperalEvent ev;
    ev.Title = "before";
    const std::string ev1 = ev.EventDataString('\t');
    ev.Title = "after";
    const std::string ev2 = ev.EventDataString('\t');
    ev.Title = huge;
    const std::string evHuge = ev.EventDataString('\t');
    const struct {
        const char* File;
        std::string Good1, Bad, Good2;
        std::function<void()> Load, Save;
    } cases[] = {
        {"hxalarms.hxd", Alarm("before"), Alarm(huge), Alarm("after"),
         [&] { state.LoadAlarms(); }, [&] { state.WriteAlarms(); }},
        {"hxdayloom.hxd", ev1, evHuge, ev2, [&] { state.LoadTemperalEvents(); },
         [&] { state.WriteTemperalEvents(); }},
        {"hxzones.hxd", Loc("Before"), Loc(huge), Loc("After"),
         [&] { state.LoadStandardLocations(); }, [&] { state.WriteStandardLocations(); }},
        {"hxclocks.hxd", Clock("Before", 0), Clock(huge, 0), Clock("After", 0),
         [&] { state.LoadCLockInfo(); }, [&] { state.WriteClockInfo(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        state.Messages.clear();
        const std::string text = c.Good1 + "\r\n" + c.Bad + "\r\n" + c.Good2 + "\r\n";
        Write(c.File, text);
        c.Load();
        ASSERT_EQ(state.Messages.size(), 1u);
        EXPECT_NE(state.Messages[0].find("longer than 64 KiB"), std::string::npos);
        c.Save();
        EXPECT_EQ(Read(c.File), c.Good1 + "\r\n" + c.Good2 + "\r\n");
        EXPECT_EQ(Read(std::string(c.File) + ".bak"), text);
    }
}

TEST_F(ListFileTest, BadEventAndLocationMessages) {
    Write("hxdayloom.hxd", "x\r\n");
    state.LoadTemperalEvents();
    Write("hxzones.hxd", Loc("A") + "\r\nB\tnope\r\n");
    state.LoadStandardLocations();
    ASSERT_EQ(state.Messages.size(), 2u);
    EXPECT_NE(state.Messages[0].find(" -- events loaded 0"), std::string::npos);
    EXPECT_EQ(state.Messages[1].rfind("error:Error in Location Data: B\tnope at pos", 0), 0u);
    EXPECT_NE(state.Messages[1].find(" -- Loctions loaded: 1\n\r"), std::string::npos);
    EXPECT_EQ(Names(), (std::vector<std::string>{"A"}));
    EXPECT_EQ(state.Progress.front(),
              "Loading Locations|Please Wait...\rLocation data is being loaded...|gauge");
    EXPECT_EQ(state.Progress.back(), "end");
}

TEST_F(ListFileTest, LocationFileSkipsCommentsBlanksAndReadsTheVersion) {
    Write("hxzones.hxd", "# comment\r\n\r\n   \t" + Loc("Paris") + "\r\n#x\tVERSION:\r\n" +
                             "VERSION:\t2026.12a\tignored\r\n\n" + Loc("Rome") + "\n");
    state.LoadStandardLocations();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Paris", "Rome"}));
    EXPECT_EQ(state.LocationDataVersion, "2026.12a");
    EXPECT_TRUE(state.Messages.empty());
}

TEST_F(ListFileTest, WritersRewriteAtomicallyAndReadBack) {
    for (auto n : {"Oslo", "Lima"}) {
        auto c = std::make_unique<THXClock>();
        c->Location.Name = n;
        state.Clocks.push_back(std::move(c));
        auto l = std::make_unique<TTimeLocation>();
        l->Name = n;
        state.StandardLocations.push_back(std::move(l));
    }
    state.Alarms.push_back(std::make_unique<TAlarm>());
    state.TemperalEvents.push_back(std::make_unique<TTemperalEvent>());
    state.WriteClockInfo();
    state.WriteAlarms();
    state.WriteTemperalEvents();
    state.WriteStandardLocations();
    for (auto f : {"hxclocks", "hxalarms", "hxdayloom", "hxzones"}) {
        EXPECT_TRUE(fs::exists(dir / (std::string(f) + ".hxd"))) << f;
        EXPECT_FALSE(fs::exists(dir / (std::string(f) + ".hx_"))) << f;
    }
    EXPECT_EQ(Read("hxzones.hxd"), state.StandardLocations[0]->LocationDataStr('\t') + "\r\n" +
                                       state.StandardLocations[1]->LocationDataStr('\t') + "\r\n");
    ListState again(store);
    again.DataDir = state.DataDir;
    again.LoadCLockInfo();
    again.LoadAlarms();
    again.LoadTemperalEvents();
    again.LoadStandardLocations();
    EXPECT_EQ(again.Clocks.size(), 2u);
    EXPECT_EQ(again.Clocks[1]->Location.Name, "Lima");
    EXPECT_EQ(again.Alarms.size(), 1u);
    EXPECT_EQ(again.TemperalEvents.size(), 1u);
    EXPECT_EQ(again.StandardLocations.size(), 2u);
    EXPECT_TRUE(again.Messages.empty());
}

TEST_F(ListFileTest, FailedRewriteReportsAndKeepsTheOldFile) {
    fs::create_directories(dir / "hxzones.hxd" / "blocker"); // cannot be replaced by a file
    state.StandardLocations.push_back(std::make_unique<TTimeLocation>());
    EXPECT_THROW(state.WriteStandardLocations(), Exception);
    EXPECT_TRUE(fs::is_directory(dir / "hxzones.hxd"));
    EXPECT_FALSE(fs::exists(dir / "hxzones.hx_"));
}

TEST_F(ListFileTest, ReadOnlyWritesNoListFile) {
    state.ReadOnly = true;
    Write("hxalarms.hxd", "bad line\r\n");
    state.LoadAlarms(); // no copy is kept either
    state.Clocks.push_back(std::make_unique<THXClock>());
    state.WriteClockInfo();
    state.WriteAlarms();
    state.WriteTemperalEvents();
    state.WriteStandardLocations();
    EXPECT_EQ(Read("hxalarms.hxd"), "bad line\r\n");
    for (auto f : {"hxclocks.hxd", "hxdayloom.hxd", "hxzones.hxd", "hxalarms.hxd.bak"})
        EXPECT_FALSE(fs::exists(dir / f)) << f;
}

TEST_F(ListFileTest, ServersAreWholeLines) {
    Write("hxservers.hxd", "time.one.example\r\n\r\n  time.two.example  \n");
    state.LoadStandardTimeServers();
    EXPECT_EQ(state.TimeServers,
              (std::vector<std::string>{"time.one.example", "time.two.example  "}));
}

TEST_F(ListFileTest, MergeReplacesExactNamesAppendsTheRestAndSorts) {
    Write("hxzones.hxd", Loc("Rome", 1) + "\r\n" + Loc("Berlin", 1) + "\r\n");
    Write("NEW_hxzones.hxd", "# master\r\nVERSION:\t42\r\n" + Loc("Rome", 2) + "\r\n" +
                                 Loc("berlin", 1) + "\r\n" + Loc("Adelaide", 9.5) + "\r\n");
    state.Answer = ListState::TAnswer::Yes;
    state.LoadStandardLocations();
    // "berlin" is another name than "Berlin": appended, not replaced.
    std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names.front(), "Adelaide");
    EXPECT_EQ(names.back(), "Rome");
    EXPECT_EQ(state.StandardLocations[3]->StdOffset, 2);
    EXPECT_EQ(state.LocationDataVersion, "42");
    ASSERT_FALSE(state.Messages.empty());
    EXPECT_EQ(state.Messages.back(), "info:Location Merge Complete!\n\r2 new locations were added");
    EXPECT_FALSE(fs::exists(dir / "hxzones.new"));
    EXPECT_FALSE(fs::exists(dir / "NEW_hxzones.hxd"));
    EXPECT_NE(Read("hxzones.hxd").find("Adelaide"), std::string::npos);
    EXPECT_EQ(state.Rebuilds, 1);

    // Nothing new: zero added.
    Write("hxzones.new", Loc("Rome", 3) + "\r\n");
    state.Messages.clear();
    state.LoadStandardLocations();
    EXPECT_EQ(state.Messages.back(), "info:Location Merge Complete!\n\r0 new locations were added");
}

TEST_F(ListFileTest, MergeInReadOnlyModeKeepsTheUpdate) {
    state.ReadOnly = true;
    Write("hxzones.hxd", Loc("Rome") + "\r\n");
    Write("hxzones.new", Loc("Oslo") + "\r\n");
    state.Answer = ListState::TAnswer::Yes;
    state.LoadStandardLocations();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Oslo", "Rome"}));
    EXPECT_TRUE(fs::exists(dir / "hxzones.new"));
    EXPECT_EQ(Read("hxzones.hxd"), Loc("Rome") + "\r\n");
}

TEST_F(ListFileTest, BadMergeLineKeepsWhatWasMergedAndTheFile) {
    Write("hxzones.hxd", Loc("Rome") + "\r\n");
    Write("hxzones.new", Loc("Oslo") + "\r\nX\tbad\r\n");
    state.Answer = ListState::TAnswer::Yes;
    state.LoadStandardLocations();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Rome", "Oslo"})); // unsorted, unwritten
    EXPECT_NE(state.Messages.back().find(" -- Loctions loaded: 1"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "hxzones.new"));
    EXPECT_EQ(Read("hxzones.hxd"), Loc("Rome") + "\r\n");
}

TEST_F(ListFileTest, ReplaceWithTheMaster) {
    Write("hxzones.hxd", Loc("Mine") + "\r\n");
    Write("hxzones.new", Loc("A") + "\r\n" + Loc("B") + "\r\n");
    state.Answer = ListState::TAnswer::No;
    state.Confirm = true;
    state.LoadStandardLocations();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(fs::exists(dir / "hxzones.new"));
    EXPECT_EQ(state.Messages.back(), "info:Location Update Complete!\n\rYour list is now "
                                     "identical to the Master List\n\rand contains 2 locations");
}

TEST_F(ListFileTest, CancelOrUnconfirmedKeepsTheUpdateWaiting) {
    Write("hxzones.hxd", Loc("Mine") + "\r\n");
    Write("hxzones.new", Loc("A") + "\r\n");
    Write("NEW_hxzones.hxd", Loc("B") + "\r\n"); // the older waiting file comes first
    state.LoadStandardLocations();
    state.Answer = ListState::TAnswer::No;
    state.LoadStandardLocations();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Mine"}));
    EXPECT_EQ(Read("hxzones.new"), Loc("A") + "\r\n");
    EXPECT_TRUE(fs::exists(dir / "NEW_hxzones.hxd"));
}

TEST_F(ListFileTest, LegacyClockKeyIsImportedAndDeleted) {
    const char* key = "SOFTWARE\\Horolux\\ClockData";
    constexpr auto LM = THXRootKey::HKEY_LOCAL_MACHINE;
    double lat = 48.85;
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &lat, 8);
    store.SetValue(LM, key, "ZoneName0", THXStoredValue::FromString("Paris"));
    store.SetValue(LM, key, "ZoneDiff0", THXStoredValue::FromInteger(90));
    store.SetValue(LM, key, "Latitude0", THXStoredValue::FromBinary(b));
    Write("hxclocks.hxd", Clock("ignored", 0) + "\r\n");
    state.LoadCLockInfo();
    ASSERT_EQ(state.Clocks.size(), 11u);
    EXPECT_EQ(state.Clocks[0]->Location.Name, "Paris");
    EXPECT_DOUBLE_EQ(state.Clocks[0]->Location.StdOffset, 1.5);
    EXPECT_DOUBLE_EQ(state.Clocks[0]->Location.Latitude, 48.85);
    EXPECT_EQ(state.Clocks[1]->Location.Name, "<default>");
    EXPECT_FALSE(store.KeyExists(LM, key));
}

TEST_F(ListFileTest, SortsKeepSlotsAndFollowTheirKeys) {
    auto add = [&](const std::string& n, double off, const std::string& co, const std::string& re,
                   const std::string& ci) {
        auto l = std::make_unique<TTimeLocation>();
        l->Name = n;
        l->StdOffset = off;
        l->Country = co;
        l->Region = re;
        l->City = ci;
        state.StandardLocations.push_back(std::move(l));
    };
    state.SortLocationsByName(0, -1); // empty: nothing
    add("d", 2, "usa", "ny", "b");
    add("B", 1, "Canada", "on", "z");
    add("a", 2, "USA", "NY", "a");
    add("C", -5, "USA", "ca", "c");
    std::vector<TTimeLocation*> slots;
    for (auto& l : state.StandardLocations)
        slots.push_back(l.get());
    state.SortLocationsByName(0, 3);
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "B", "C", "d"}));
    for (size_t i = 0; i < slots.size(); ++i)
        EXPECT_EQ(state.StandardLocations[i].get(), slots[i]);
    state.SortLocationsByZone();
    EXPECT_EQ(Names(), (std::vector<std::string>{"C", "B", "a", "d"}));
    // "usa" and "USA" are one country, "ny" and "NY" one region.
    state.SortLocationsByRegion();
    EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C", "a", "d"}));
    EXPECT_GE(state.Pumps, 3);

    for (auto n : {"zeta", "Alpha", "mid"}) {
        auto c = std::make_unique<THXClock>();
        c->Location.Name = n;
        state.Clocks.push_back(std::move(c));
    }
    state.SortClocksByName(0, 2);
    EXPECT_EQ(state.Clocks[0]->Location.Name, "Alpha");
    EXPECT_EQ(state.Clocks[2]->Location.Name, "zeta");
    state.Clocks[0]->Location.StdOffset = 5;
    state.Clocks[1]->Location.StdOffset = -3;
    state.SortClocksByOffset(0, 2);
    EXPECT_EQ(state.Clocks[0]->Location.Name, "mid");
    EXPECT_EQ(state.Clocks[2]->Location.Name, "Alpha");
}

// Names sort as finding compares them, however they are written: with and
// without accents, order marks, letters spelt out, broken UTF-8.
TEST_F(ListFileTest, NameOrderIsTheFoldedComparisonsOnTrickyNames) {
    const std::vector<std::string> names = {
        "Zürich", "ZURICH", "zurich", "Straße", "STRASSE", "strassf", "Ærø", "aero", "Aerp",
        "\xEF\xBB\xBF" "Bom", "Bom", "\xE2\x80\x8E" "Rome", "Rome", "Tromsø", "TROMSO", "tromsp",
        "A\xCC\x8A" "land", "Åland", "Aland", "\xFF" "bad", "\xC3" "x", "ÿ", "İstanbul", "istanbul",
        "ǅ", "Ǆ", "dž", "", "a", "é", "e\xCC\x81", "ﬁ", "fi", "fj", "Ω", "ω", "Þórshöfn", "thorshofn"};
    for (int round = 0; round < 3; ++round)
        for (size_t i = 0; i < names.size(); ++i) {
            auto l = std::make_unique<TTimeLocation>();
            l->Name = names[(i * 7 + size_t(round) * 5) % names.size()];
            state.StandardLocations.push_back(std::move(l));
        }
    state.SortLocationsByName(0, int(state.StandardLocations.size()) - 1);
    const auto& list = state.StandardLocations;
    for (size_t i = 0; i < list.size(); ++i)
        for (size_t j = i + 1; j < list.size(); ++j)
            ASSERT_LE(CompareFolded(list[i]->Name, list[j]->Name), 0)
                << list[i]->Name << " before " << list[j]->Name;
}

TEST_F(ListFileTest, LargeSortIsOrdered) {
    for (int i = 0; i < 2000; ++i) {
        auto l = std::make_unique<TTimeLocation>();
        l->Name = std::to_string((i * 7919) % 1000); // many equal keys
        state.StandardLocations.push_back(std::move(l));
    }
    state.SortLocationsByName(0, 1999);
    for (int i = 1; i < 2000; ++i)
        EXPECT_LE(CompareText(state.StandardLocations[size_t(i - 1)]->Name,
                              state.StandardLocations[size_t(i)]->Name),
                  0);
}

// A line the reader does not use whole is told like a bad line, the records
// before it stay, and the file is kept as ".bak" before anything rewrites it.
TEST_F(ListFileTest, PartlyReadLinesAreToldAndTheFileKept) {
    std::string garbage(5 << 20, '\0');
    uint32_t seed = 12345;
    for (char& c : garbage)
        c = char((seed = seed * 1103515245 + 12345) >> 16);
    const std::string alarm = Alarm("two");
    const struct {
        const char* Name;
        const char* File;
        std::string Text;
        size_t Kept;
    } cases[] = {
        {"trailing records", "hxclocks.hxd",
         Clock("A", 0) + "\r\n" + Clock("B", 0) + Clock("C", 0) + "\r\n" + Clock("D", 0) + "\r\n", 2},
        {"truncated record", "hxalarms.hxd",
         Alarm("one") + "\r\n" + alarm.substr(0, alarm.size() - 8) + "\r\n" + Alarm("three"), 2},
        {"5 MB line", "hxdayloom.hxd", std::string(5 << 20, 'e'), 0},
        {"5 MB garbage", "hxzones.hxd", garbage, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        state.Messages.clear();
        Write(c.File, c.Text);
        size_t kept = 0;
        const std::string file = c.File;
        if (file == "hxclocks.hxd") {
            state.LoadCLockInfo();
            kept = state.Clocks.size();
            state.WriteClockInfo();
        } else if (file == "hxalarms.hxd") {
            state.LoadAlarms();
            kept = state.Alarms.size();
            state.WriteAlarms();
        } else if (file == "hxdayloom.hxd") {
            state.LoadTemperalEvents();
            kept = state.TemperalEvents.size();
            state.WriteTemperalEvents();
        } else {
            state.LoadStandardLocations();
            kept = state.StandardLocations.size();
            state.WriteStandardLocations();
        }
        EXPECT_EQ(kept, c.Kept);
        ASSERT_EQ(state.Messages.size(), 1u);
        EXPECT_NE(state.Messages[0].find(file + ".bak"), std::string::npos) << state.Messages[0];
        EXPECT_LT(state.Messages[0].size(), 600u); // a line shows cut to 200 characters
        EXPECT_TRUE(Read(file + ".bak") == c.Text);
    }
    // Whole records, and the legacy location with a one-digit rule code, read silently.
    state.Messages.clear();
    Write("hxzones.hxd", "Paris\t1\t0\t48.9\t-2.3\t3!\r\n" + Loc("Rome") + "\r\n");
    state.LoadStandardLocations();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Paris", "Rome"}));
    Write("hxclocks.hxd", "Home\t1\t0\t0\t0\t2\r\n" + Clock("B", 0) + "\r\n");
    state.LoadCLockInfo();
    EXPECT_EQ(state.Clocks.size(), 2u);
    EXPECT_TRUE(state.Messages.empty()) << state.Messages[0];
}
