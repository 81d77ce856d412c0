// Two writers of the rule file with no bus between them: the real rulewick
// on a private X server without a session bus, and horolux's location
// manager in this process. Each saves from a read of the file that the other
// has since changed, and neither loses the other's rule.
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"

#include "clockapp/MainWindow.h"
#include "clockapp/state/PrefsStore.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "locations/TimeZoneManager.h"
#include "rulewick/tests/road/RoadX.h"
#include "timemodel/HX_messages.h"

#include <QCoreApplication>
#include <QThread>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

const std::string kEurope = "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/";
const std::string kAmerica = "North America/2.1.3.60.02:00:00/1.1.11.0.02:00:00/";
const std::string kZealand = "New Zealand/L.0.9.0.02:00:00/1.0.4.0.03:00:00/";
const std::string kChile = "Chile/1.0.9.0.04:00:00/1.0.4.0.03:00:00/";

// The manager's activation question is answered Yes.
class ManagingClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;

protected:
    bool ConfirmYes(const std::string&) override { return true; }
};

} // namespace

class RuleWritersRoad : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        if (!fs::exists(kXvfb) || !fs::exists(kXdotool))
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh)";
        Dir = MakeTempDir("rule-writers-road");
        ASSERT_FALSE(Dir.empty());
        Data = Dir + "/data/";
        fs::create_directories(Data);
        fs::create_directories(Dir + "/ks");
        FillListFiles(Data);
        std::ofstream(Data + "hxdst.hxd", std::ios::binary)
            << "# shipped\r\nVERSION:\t2026.1\r\n" + kEurope + "\r\n" + kAmerica + "\r\n";
        Display = StartXvfb(X);
        ASSERT_FALSE(Display.empty()) << "Xvfb did not start";
    }
    void TearDown() override {
        Rulewick.Stop();
        X.Stop();
        if (!Dir.empty()) RemoveTree(Dir);
    }
    std::string Dir, Data, Display;
    TChildProcess X, Rulewick;
};

TEST_F(RuleWritersRoad, WithNoBusBetweenThemNeitherLosesTheOthersRule) {
    using V = THXStoredValue;
    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    SetHXMessageTransport(nullptr); // horolux's side hears nothing of rulewick
    TTrayIcon::SetNotificationAreaOverride(true);
    THXMemoryPrefsStore prefs;
    SetQuietStartPrefs(prefs);
    prefs.SetValue(THXRootKey::HKEY_CURRENT_USER, kPrefsKey, "LoadLocations", V::FromInteger(1));
    {
        ManagingClocks w(prefs);
        w.SplashDelayMs = 0;
        InstallTimeZoneManager(w, w.WindowServices());
        w.FormCreate("/nonexistent", {"-datadir", Data});
        // The location manager reads the rule file: Europe and North America.
        w.miTimeZoneManagerClick();
        auto* manager = static_cast<TFTimeZoneManager*>(w.TimeZoneManager());
        ASSERT_NE(manager, nullptr);
        ASSERT_EQ(manager->Rules.size(), 2u);

        // Another rulewick session saves New Zealand meanwhile.
        std::ofstream(Data + "hxdst.hxd", std::ios::binary)
            << kEurope + "\r\n" + kAmerica + "\r\n" + kZealand + "\r\n";
        // rulewick starts and reads the file as it is now.
        ASSERT_TRUE(Rulewick.Start({HX_SUITE_DIR "/rulewick"},
                                   {"DISPLAY=" + Display, "QT_QPA_PLATFORM=xcb",
                                    "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus",
                                    "HOROLUX_DATADIR=" + Data, "HOROLUX_KEYSTORE_DIR=" + Dir + "/ks",
                                    "XDG_DATA_HOME=" + Dir + "/xdg"}));
        const std::string window = Xdotool(
            {"search", "--sync", "--onlyvisible", "--name", "^Daylight Saving Time Manager$"},
            Display, 60000);
        ASSERT_FALSE(window.empty()) << "no rulewick window";

        // A third writer saves Chile after rulewick's read; the manager shows a
        // Chilean place, and showing never writes.
        const std::string both = kEurope + "\r\n" + kAmerica + "\r\n" + kZealand + "\r\n" +
                                 kChile + "\r\n";
        std::ofstream(Data + "hxdst.hxd", std::ios::binary) << both;
        TTimeLocation santiago;
        santiago.Name = "Santiago";
        santiago.StdOffset = -4;
        santiago.Rule.ReadDataString(kChile);
        manager->Location = santiago;
        manager->ShowLocation();
        EXPECT_EQ(ReadFile(Data + "hxdst.hxd"), both);

        // rulewick saves from its own older read (Ctrl+S): without a question,
        // and Chile stays.
        const ino_t before = Inode(Data + "hxdst.hxd");
        Xdotool({"windowfocus", "--sync", window, "key", "--clearmodifiers", "ctrl+s"}, Display);
        for (int i = 0; i < 1200 && Inode(Data + "hxdst.hxd") == before; ++i)
            QThread::msleep(50);
        EXPECT_NE(Inode(Data + "hxdst.hxd"), before) << "rulewick did not save";
        EXPECT_EQ(ReadFile(Data + "hxdst.hxd"), both);
        EXPECT_TRUE(presenter.Texts.empty()) << ::testing::PrintToString(presenter.Texts);
    }
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    SetMessagePresenter(nullptr);
}
