// The real rulewick on a private X server and private buses: started from the
// main window's "DST Manage&r...", saved by Ctrl+S typed through xdotool, and
// heard once on the session bus by the main window in this process.
#include "tickmatch/tests/BusWatch.h"
#include "tickmatch/tests/EnvScope.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"

#include "clockapp/MainWindow.h"
#include "clockapp/state/PrefsStore.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "platform/qt/Launch.h"
#include "rulewick/tests/road/RoadX.h"
#include "timemodel/DSTRuleFile.h"

#include <QAction>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace fs = std::filesystem;

namespace {

const std::string kRules = "# the shipped rules\r\nVERSION:\t2026.1\r\n"
                           "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU\r\n"
                           "North America/2.1.3.60.02:00:00/1.1.11.0.02:00:00/\r\n";

} // namespace

class RulewickRoad : public ::testing::Test, protected TBusWatch {
protected:
    void SetUp() override {
        TestApp();
        if (!fs::exists(kXvfb) || !fs::exists(kXdotool))
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh)";
        Dir = MakeTempDir("rulewick-road");
        ASSERT_FALSE(Dir.empty());
        Suite = Dir + "/suite/";
        fs::create_directories(Suite);
        fs::create_directories(Dir + "/ks");
        fs::create_directories(Dir + "/xdg");
        fs::copy_file(HX_SUITE_DIR "/rulewick", Suite + "rulewick");
        FillListFiles(Suite);
        std::ofstream(Suite + "hxdst.hxd", std::ios::binary) << kRules;
        ASSERT_TRUE(StartBuses(Dir, "rulewick-road"));
        Display = StartXvfb(X);
        ASSERT_FALSE(Display.empty()) << "Xvfb did not start";
    }
    void TearDown() override {
        if (RulewickPid > 0) ::kill(RulewickPid, SIGTERM);
        X.Stop();
        StopListening();
        if (!Dir.empty()) RemoveTree(Dir);
    }

    std::string Dir, Suite, Display;
    TChildProcess X;
    pid_t RulewickPid = -1;
};

TEST_F(RulewickRoad, StartedFromTheMainWindowSavesOnCtrlSAndTellsIt) {
    using V = THXStoredValue;
    constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
    // What the window starts inherits these.
    TEnvScope session("DBUS_SESSION_BUS_ADDRESS", SessionBus.Address());
    TEnvScope display("DISPLAY", Display);
    TEnvScope qpa("QT_QPA_PLATFORM", "xcb");
    TEnvScope store("HOROLUX_KEYSTORE_DIR", Dir + "/ks");
    TEnvScope data("HOROLUX_DATADIR", Suite);
    TEnvScope xdg("XDG_DATA_HOME", Dir + "/xdg");

    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    TTrayIcon::SetNotificationAreaOverride(true);
    SetCompanionDirectory(Suite);
    THXMemoryPrefsStore prefs;
    for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash", "PlayConnectSound",
                             "PlaySyncSound", "CheckForUpgrades"})
        prefs.SetValue(CU, kPrefsKey, name, V::FromInteger(0));
    {
        QuietClocks w(prefs);
        w.SplashDelayMs = 0;
        w.FormCreate("/nonexistent", {"-datadir", Suite});
        QAction* manager = w.Action("smiRulewick");
        ASSERT_NE(manager, nullptr);
        EXPECT_EQ(manager->text().toStdString(), "DST Manage&r...");
        manager->trigger();

        const std::string window = Xdotool(
            {"search", "--sync", "--onlyvisible", "--name", "^Daylight Saving Time Manager$"},
            Display, 60000);
        ASSERT_FALSE(window.empty()) << "no rulewick window";
        const std::string pid = Xdotool({"getwindowpid", window}, Display);
        RulewickPid = pid.empty() ? -1 : std::stoi(pid);
        ASSERT_GT(RulewickPid, 0);
        EXPECT_EQ(fs::read_symlink("/proc/" + pid + "/exe").string(), Suite + "rulewick");

        Xdotool({"windowfocus", "--sync", window, "key", "--clearmodifiers", "ctrl+s"}, Display);
        EXPECT_TRUE(WaitFor("HXM_DSTRulesChanged", 1, 30000)) << ::testing::PrintToString(Heard);
        PumpUntil([] { return false; }, 500); // anything more the bus holds
        EXPECT_EQ(Count("HXM_DSTRulesChanged"), 1u);

        // The same rules, without the comment and the version line.
        std::ifstream in(Suite + "hxdst.hxd", std::ios::binary);
        const std::string saved((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(saved, "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU\r\n"
                         "North America/2.1.3.60.02:00:00/1.1.11.0.02:00:00/\r\n");
        // The system zones were seeded into the test's own key store.
        EXPECT_TRUE(fs::exists(Dir + "/ks/HKEY_LOCAL_MACHINE.reg"));
    }
    SetCompanionDirectory({});
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    SetMessagePresenter(nullptr);
}

// ------------------------------------------------------------ logout

namespace {

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

// SIGTERM, as a logout sends it, and the milliseconds until the program has
// ended; -1 when it still runs after 60 s (it waits on a question). A
// loaded machine may take its time; only a program that never ends fails.
int TermAndTime(TChildProcess& p, int* status) {
    QElapsedTimer t;
    t.start();
    ::kill(p.Pid(), SIGTERM);
    *status = p.Wait(60000);
    return *status == -1 ? -1 : int(t.elapsed());
}

} // namespace

class LogoutRoad : public RulewickRoad {
protected:
    std::vector<std::string> Env() const {
        return {"DISPLAY=" + Display,
                "QT_QPA_PLATFORM=xcb",
                "DBUS_SESSION_BUS_ADDRESS=" + SessionBus.Address(),
                "HOROLUX_KEYSTORE_DIR=" + Dir + "/ks",
                "HOROLUX_DATADIR=" + Suite,
                "XDG_DATA_HOME=" + Dir + "/xdg",
                "XDG_CONFIG_HOME=" + Dir + "/xdg",
                "HOME=" + Dir};
    }
    // xdotool ends on an X error when a window goes away while it searches
    // (a box closing): search again until the deadline.
    std::string Window(const std::string& name) {
        QElapsedTimer t;
        t.start();
        std::string id;
        while (id.empty() && t.elapsed() < 60000) {
            id = Xdotool({"search", "--sync", "--onlyvisible", "--name", name}, Display,
                         int(std::max<qint64>(1000, 60000 - t.elapsed())));
            if (id.empty()) QThread::msleep(50);
        }
        return id;
    }
    void ClickIn(const std::string& window, int x, int y) {
        Xdotool(
            {"mousemove", "--window", window, std::to_string(x), std::to_string(y), "click", "1"},
            Display);
    }
    void TypeIn(const std::string& window, const std::string& text) {
        Xdotool({"windowfocus", "--sync", window, "type", "--delay", "20", text}, Display);
    }
    // The program has handled every event sent to it before: they reach it
    // in order, so once the About box that Alt+H, A opens is up, so is all
    // before it. The box is closed again.
    void Settle(const std::string& window) {
        Xdotool({"windowfocus", "--sync", window, "key", "--clearmodifiers", "alt+h", "a"},
                Display);
        const std::string box = Window("^Information");
        ASSERT_FALSE(box.empty()) << "no About box";
        Xdotool({"windowfocus", "--sync", box, "key", "Return"}, Display);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 60000 &&
               !Xdotool({"search", "--onlyvisible", "--name", "^Information"}, Display).empty())
            QThread::msleep(50);
    }
    // horolux with one clock, its title in a large font: a click well inside
    // it hits it whatever the tool bar above it measures.
    void WriteHoroluxFiles() {
        std::ofstream(Dir + "/ks/HKEY_CURRENT_USER.reg")
            << "REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\n\"FirstRun\"=dword:0\n"
               "\"InstallUpgrade\"=dword:0\n\"ShowSplash\"=dword:0\n\"CheckForUpgrades\"=dword:0\n"
               "\"ConnectionType\"=dword:1\n";
        std::ofstream(Suite + "hxclocks.hxd", std::ios::binary)
            << "HXClockData-1.0.0:\tLocation\tMMM DD\tHH:MM:SS\tDigital\tFalse\t0\tArial\t0\t-60"
               "\t45\t0\tNNNN!\tArial\t65280\t-13\t10\t0\tNNNN!\tLos Angeles\t-8\t0\t34.05222"
               "\t118.24278\tNorth America/2.1.3.60.02:00:00/1.1.11.0.01:00:00/\tLos Angeles"
               "\tCalifornia\tUnited States of America\tLAX!\r\n";
    }
    // A click on the clock's title asks to activate the location manager;
    // Return says Yes. The manager's window.
    std::string OpenManager(const std::string& main) {
        ClickIn(main, 60, 60);
        const std::string question = Window("^Confirm$");
        if (question.empty()) return {};
        Xdotool({"windowfocus", "--sync", question, "key", "Return"}, Display);
        return Window("^Time Zone Manager$");
    }
};

// A rule added but not saved is in the rule file after the logout, and the
// program is gone within 2 s.
TEST_F(LogoutRoad, RulewickSavesAnAddedRuleAndEnds) {
    TChildProcess rulewick;
    ASSERT_TRUE(rulewick.Start({Suite + "rulewick"}, Env()));
    const std::string window = Window("^Daylight Saving Time Manager$");
    ASSERT_FALSE(window.empty()) << "no rulewick window";
    ClickIn(window, 166, 41); // the "Horolux Rules" page
    ClickIn(window, 566, 67); // the rule's name
    TypeIn(window, "Logout Rule");
    ClickIn(window, 485, 486); // Add
    Settle(window);
    ASSERT_EQ(FileText(Suite + "hxdst.hxd"), kRules) << "nothing is saved before the logout";
    int status = 0;
    const int ms = TermAndTime(rulewick, &status);
    ASSERT_GE(ms, 0) << "rulewick did not end";
    EXPECT_EQ(status, 0);
    EXPECT_EQ(FileText(Suite + "hxdst.hxd"),
              "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU\r\n"
              "North America/2.1.3.60.02:00:00/1.1.11.0.02:00:00/\r\n"
              "Logout Rule/N.1.1.60.02:00:00/N.1.1.0.02:00:00/\r\n");
}

// The location manager holds an edit not yet applied: a logout asks nothing,
// saves the lists and ends.
TEST_F(LogoutRoad, HoroluxWithTheManagersEditsPendingSavesAndEnds) {
    WriteHoroluxFiles();
    TChildProcess horolux;
    ASSERT_TRUE(horolux.Start({HX_SUITE_DIR "/horolux", "-datadir", Suite}, Env()));
    const std::string main = Window("UTC$");
    ASSERT_FALSE(main.empty()) << "no main window";
    const std::string manager = OpenManager(main);
    ASSERT_FALSE(manager.empty()) << "no location manager";
    ClickIn(manager, 661, 98); // the city
    TypeIn(manager, " edited");
    Settle(manager);
    const std::string clocks = FileText(Suite + "hxclocks.hxd");
    ASSERT_FALSE(clocks.empty());
    int status = 0;
    const int ms = TermAndTime(horolux, &status);
    ASSERT_GE(ms, 0) << "horolux did not end: it waits on a question";
    EXPECT_EQ(status, 0);
    // The lists as they were (the edit was never applied), and the
    // preferences written at the end.
    EXPECT_EQ(FileText(Suite + "hxclocks.hxd"), clocks);
    EXPECT_NE(FileText(Dir + "/ks/HKEY_CURRENT_USER.reg").find("\"FormWidth\"="),
              std::string::npos);
}

// Once the manager's tree was expanded over every shipped place, horolux
// still ends as soon as it has saved (the tree's teardown used to add
// seconds, with the data directory still locked), and a horolux started
// right after it runs. The time is weighed against the same end without the
// expanded tree, so a slow disk on a loaded machine cancels out.
TEST_F(LogoutRoad, AfterExpandAllHoroluxEndsAtOnceAndANewStartRuns) {
    WriteHoroluxFiles();
    const auto endAfter = [&](bool expand) {
        TChildProcess horolux;
        if (!horolux.Start({HX_SUITE_DIR "/horolux", "-datadir", Suite}, Env())) return -2;
        const std::string main = Window("UTC$");
        const std::string manager = main.empty() ? std::string() : OpenManager(main);
        if (manager.empty()) return -3;
        if (expand) {
            Xdotool({"windowfocus", "--sync", manager, "key", "--clearmodifiers", "alt+s", "x"},
                    Display);
            Settle(manager);
        }
        Xdotool({"windowfocus", "--sync", manager, "key", "Escape"}, Display);
        int status = 0;
        const int ms = TermAndTime(horolux, &status);
        EXPECT_EQ(status, 0);
        return ms;
    };
    const int plain = endAfter(false);
    ASSERT_GE(plain, 0) << "horolux did not start or end";
    const int expanded = endAfter(true);
    ASSERT_GE(expanded, 0) << "horolux did not start or end";
    EXPECT_LT(expanded - plain, 700) << "ended " << expanded << " ms after being told, against "
                                     << plain << " ms without the expanded tree";

    TChildProcess again;
    ASSERT_TRUE(again.Start({HX_SUITE_DIR "/horolux", "-datadir", Suite}, Env()));
    const std::string second = Window("UTC$");
    EXPECT_FALSE(second.empty()) << "the second start did not run";
    EXPECT_EQ(again.Wait(0), -1) << again.Output();
}
