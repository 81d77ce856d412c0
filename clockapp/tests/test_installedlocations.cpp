// A user's own location list older than the installed one: the start offers
// the installed places as a waiting update, and then, in one question, the
// new rule to the clocks and alarms that keep a copy of a changed place.
#include "TestApp.h"

#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

class AnsweringClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;
    std::vector<std::string> Messages;
    TAnswer MergeAnswer = TAnswer::Yes;
    TAnswer RulesAnswer = TAnswer::Yes;

protected:
    void ShowError(const std::string& t) override { Messages.push_back("error:" + t); }
    void ShowInfo(const std::string& t) override { Messages.push_back("info:" + t); }
    void ShowErrorCode(int c) override { Messages.push_back("code:" + std::to_string(c)); }
    TAnswer AskYesNoCancel(const std::string& t) override {
        Messages.push_back("ask:" + t);
        return MergeAnswer;
    }
    TAnswer AskYesNo(const std::string& t) override {
        Messages.push_back("yesno:" + t);
        return RulesAnswer;
    }
    bool ConfirmYes(const std::string& t) override {
        Messages.push_back("confirm:" + t);
        return false;
    }
    void AutoSyncTime() override {}
    void ActivateLinkhold() override {}
};

// Vancouver as the older list has it (-8 with summer time) and as the newer
// one does (-7 all year).
TTimeLocation Vancouver(bool newer) {
    TTimeLocation l;
    l.Name = "Vancouver";
    l.City = "Vancouver";
    l.Country = "Canada";
    l.Latitude = 49.25;
    l.Longitude = 123.12;
    if (newer) {
        l.StdOffset = -7;
        l.Rule.None();
    } else {
        l.StdOffset = -8;
        l.Rule.Name = "Canada (Pacific)";
        l.Rule.StartDate.Kind = 2;
        l.Rule.StartDate.Month = 3;
        l.Rule.StartDate.Day = 1;
        l.Rule.StartDate.Bias = 60;
        l.Rule.StopDate.Kind = 1;
        l.Rule.StopDate.Month = 11;
        l.Rule.StopDate.Day = 1;
    }
    return l;
}

TTimeLocation Named(const std::string& name, double offset) {
    TTimeLocation l;
    l.Name = name;
    l.StdOffset = offset;
    return l;
}

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

void Write(const fs::path& p, const std::vector<std::string>& lines) {
    std::ofstream out(p, std::ios::binary);
    for (const std::string& l : lines)
        out << l << "\r\n";
}

} // namespace

TEST(InstalledLocations, NewerPlacesAreMergedAndTheirItemsOfferedTheNewRuleOnce) {
    TestApp();
    TTrayIcon::SetNotificationAreaOverride(true);
    QTemporaryDir dir;
    const fs::path install = fs::path(dir.path().toStdString()) / "install";
    const fs::path data = fs::path(dir.path().toStdString()) / "data";
    fs::create_directories(install);
    fs::create_directories(data);
    Write(install / "hxzones.hxd", {"# the installed places", "VERSION:\t2026.10",
                                    Vancouver(true).LocationDataStr('\t'),
                                    Named("Adelaide", 9.5).LocationDataStr('\t')});
    Write(data / "hxzones.hxd", {"VERSION:\t2026.9", Vancouver(false).LocationDataStr('\t'),
                                 Named("Mine", 3).LocationDataStr('\t')});
    THXClock clock;
    clock.ClockType = 0;
    clock.Location.Copy(Vancouver(false));
    THXClock other;
    other.Location.Copy(Named("Mine", 3));
    Write(data / "hxclocks.hxd", {clock.DataString('\t'), other.DataString('\t')});
    TAlarm alarm;
    alarm.Text = "Wake up";
    alarm.Location.Copy(Vancouver(false));
    Write(data / "hxalarms.hxd", {alarm.DataString('\t')});
    Write(data / "hxdayloom.hxd", {});

    THXMemoryPrefsStore store;
    store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "InstallUpgrade", V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
    auto start = [&] {
        auto w = std::make_unique<AnsweringClocks>(store);
        w->SplashDelayMs = 0;
        w->InstalledDataDir = install.string() + "/";
        w->FormCreate("/nonexistent", {"-datadir", data.string()});
        return w;
    };
    {
        auto w = start();
        ASSERT_GE(w->Messages.size(), 3u);
        EXPECT_EQ(w->Messages[0].rfind("ask:New Horolux locations were detected.", 0), 0u);
        EXPECT_EQ(w->Messages[1], "info:Location Merge Complete!\n\r1 new locations were added");
        EXPECT_EQ(w->Messages[2],
                  "yesno:The new locations give these places another UTC offset or daylight "
                  "saving rule:\n\r\n\rClock: Vancouver\n\rAlarm: Wake up (Vancouver)\n\r\n\r'Yes' "
                  "to give them the new offset and rule?\n\r'No' to keep their own copy of each "
                  "place as it is")
            << "one question for both, and none for the place that did not change";
        EXPECT_EQ(w->Messages.size(), 3u);
        EXPECT_EQ(w->LocationDataVersion, "2026.10");
        ASSERT_EQ(w->Clocks.size(), 2u);
        EXPECT_EQ(w->Clocks[0]->Location.StdOffset, -7);
        EXPECT_EQ(w->Clocks[0]->Location.Rule.RuleString(), Vancouver(true).Rule.RuleString());
        w->FormDestroy();
    }
    EXPECT_FALSE(fs::exists(data / "hxzones.new"));
    const std::string zones = Read(data / "hxzones.hxd");
    EXPECT_NE(zones.find("Adelaide"), std::string::npos);
    EXPECT_NE(zones.find("Mine"), std::string::npos) << "a merge keeps the user's own places";
    THXClock saved;
    const std::string clocks = Read(data / "hxclocks.hxd");
    saved.ParseDataString(clocks.substr(0, clocks.find('\r')), '\t');
    EXPECT_EQ(saved.Location.StdOffset, -7);
    EXPECT_EQ(saved.Location.Rule.RuleString(), Vancouver(true).Rule.RuleString());
    TAlarm savedAlarm;
    const std::string alarms = Read(data / "hxalarms.hxd");
    savedAlarm.ParseDataString(alarms.substr(0, alarms.find('\r')), '\t');
    EXPECT_EQ(savedAlarm.Location.StdOffset, -7);
    EXPECT_EQ(savedAlarm.Text, "Wake up");

    // The same installed version is not offered again.
    {
        auto w = start();
        EXPECT_TRUE(w->Messages.empty()) << w->Messages.front();
        EXPECT_FALSE(fs::exists(data / "hxzones.new"));
        w->FormDestroy();
    }
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
}
