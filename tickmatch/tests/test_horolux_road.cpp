// The whole road of one synchronisation with the real programs: horolux,
// set to sync at start-up over LAN with 127.0.0.1 as its time server, starts
// the real tickmatch beside it, which asks a TIME server of the test's own and
// sets the clock through the fake time service on a private "system" bus.
#include "tickmatch/tests/BusWatch.h"
#include "tickmatch/tests/EnvScope.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"
#include "tickmatch/tests/TestServers.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/MainWindow.h"
#include "clockapp/state/PrefsStore.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "platform/qt/HXBus.h"
#include "platform/qt/Launch.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"

#include <QAction>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QStatusBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <regex>
#include <stdlib.h>

using Kind = TTestTimeServer::TKind;
using Events = std::vector<std::string>;

namespace {

// horolux's preferences in a key store of the test's own: no first-run or
// upgrade dialogs, no splash, no sounds, and a sync at start-up over LAN
// (the connection type is stored as one byte).
const char* kPrefs = "REGEDIT4\n"
                     "\n"
                     "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\n"
                     "\"FirstRun\"=dword:00000000\n"
                     "\"InstallUpgrade\"=dword:00000000\n"
                     "\"CheckForUpgrades\"=dword:00000000\n"
                     "\"ShowSplash\"=dword:00000000\n"
                     "\"PlayConnectSound\"=dword:00000000\n"
                     "\"PlaySyncSound\"=dword:00000000\n"
                     "\"CycleTimeServers\"=dword:00000000\n"
                     "\"ConnectionType\"=hex:01\n"
                     "\"SetTimeAtStartup\"=dword:00000001\n"
                     "\"KeepSyncLog\"=dword:00000001\n"
                     "\"WarnLargeSync\"=dword:00000000\n"
                     "\"NTPProtocol\"=dword:00000001\n"
                     "\"TimeServer\"=\"127.0.0.1\"\n";

class HoroluxRoad : public ::testing::Test, protected TBusWatch {
protected:
    void SetUp() override {
        TestApp();
        Dir = MakeTempDir("horolux-road");
        ASSERT_FALSE(Dir.empty());
        // Both programs in a suite directory. The window tests run on it as
        // their data directory; the program runs on "-datadir", which it
        // hands to tickmatch.
        const std::string suite = Dir + "/suite";
        std::filesystem::create_directories(suite);
        std::filesystem::create_directories(Dir + "/data");
        std::filesystem::create_directories(Dir + "/ks");
        std::filesystem::create_directories(Dir + "/xdg");
        std::filesystem::copy_file(HX_SUITE_DIR "/horolux", suite + "/horolux");
        std::filesystem::copy_file(HX_SUITE_DIR "/tickmatch", suite + "/tickmatch");
        for (const std::string& to : {suite, Dir + "/data"}) {
            for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd"})
                std::filesystem::copy_file(std::string(HX_SOURCE_DIR "/data/") + f, to + "/" + f);
            for (const char* f : {"hxalarms.hxd", "hxdayloom.hxd"})
                std::ofstream(to + "/" + f);
        }
        std::ofstream(Dir + "/ks/HKEY_CURRENT_USER.reg") << kPrefs;

        ASSERT_TRUE(StartBuses(Dir, "road"));
        ASSERT_TRUE(Service.Start(SystemBus.Address(), Dir + "/calls", "accept"));
    }
    void TearDown() override {
        // A tickmatch still running would end on this; horolux ends on SIGTERM.
        if (Transport) BroadcastHXMessage(HXM_TerminateTickmatch);
        Horolux.Stop();
        StopListening();
        RemoveTree(Dir);
    }
    std::string Dir;
    TFakeTimeService Service;
    TChildProcess Horolux;
};

} // namespace

TEST_F(HoroluxRoad, StartUpSyncOverLanSetsTheClockAndLogs) {
    TTestTimeServer server;
    server.ServerTime = [] { return NowUTC() + EncodeTime(0, 10, 0, 0); };
    ASSERT_TRUE(server.Start(Kind::Time));
    // tickmatch inherits horolux's environment: the private buses and the
    // test server's port reach it that way.
    ASSERT_TRUE(Horolux.Start({Dir + "/suite/horolux", "-datadir", Dir + "/data"},
                              {"DBUS_SESSION_BUS_ADDRESS=" + SessionBus.Address(),
                               "DBUS_SYSTEM_BUS_ADDRESS=" + SystemBus.Address(),
                               "HX_TICKMATCH_TEST_PORT=" + std::to_string(server.Port()),
                               "HOROLUX_KEYSTORE_DIR=" + Dir + "/ks",
                               "XDG_DATA_HOME=" + Dir + "/xdg", "QT_QPA_PLATFORM=offscreen"}));
    ASSERT_TRUE(WaitFor("HXM_SyncSuccess")) << ::testing::PrintToString(Heard);
    // What the bus still holds for us.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // horolux first ends any earlier tickmatch, then tickmatch reports.
    Events road;
    for (const std::string& e : Heard)
        if (e != "HXM_TerminateTickmatch" || road.empty()) road.push_back(e);
    EXPECT_EQ(road, (Events{"HXM_TerminateTickmatch", "HXM_SyncAttempt", "TimeChanged",
                            "HXM_SyncSuccess"}));

    long long us = 0;
    int relative = 0, interactive = 0;
    ASSERT_EQ(
        std::sscanf(Service.Calls().c_str(), "SetTime %lld %d %d", &us, &relative, &interactive), 3)
        << Service.Calls();
    EXPECT_GE(us / 1000, 600000 - 1500);
    EXPECT_LE(us / 1000, 601000 + 1500);
    // The line may land a moment after the broadcast.
    std::string log;
    QElapsedTimer t;
    t.start();
    while ((log = ReadFile(Dir + "/data/hxsynclog.hxd")).find("!\r\n") == std::string::npos &&
           t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(std::regex_match(
        log, std::regex("SYNC-ATTEMPT\tHost: 127\\.0\\.0\\.1\t[A-Z][a-z]{2}-\\d\\d-\\d{4} "
                        "\\d\\d:\\d\\d:\\d\\d\tSUCCESS\t\\d+\\.\\d+\t\\d+\\.\\d+\t-0\\.\\d+!\r\n")))
        << log;
}

// The same road seen in the window: the user's "S&ync Time Now!" over LAN, the
// real tickmatch on the private buses, and the status bar and tray icon it ends
// with.
TEST_F(HoroluxRoad, SyncNowShowsSuccessInStatusBarAndTray) {
    TTestTimeServer server;
    server.ServerTime = [] { return NowUTC() + EncodeTime(0, 10, 0, 0); };
    ASSERT_TRUE(server.Start(Kind::Time));
    // tickmatch is started by this process: it inherits these.
    TEnvScope session("DBUS_SESSION_BUS_ADDRESS", SessionBus.Address());
    TEnvScope system("DBUS_SYSTEM_BUS_ADDRESS", SystemBus.Address());
    TEnvScope port("HX_TICKMATCH_TEST_PORT", std::to_string(server.Port()));
    TEnvScope xdg("XDG_DATA_HOME", Dir + "/xdg");

    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    TTrayIcon::SetNotificationAreaOverride(true);
    SetCompanionDirectory(Dir + "/suite");
    THXMemoryPrefsStore store;
    SetQuietLanSyncPrefs(store);
    {
        QuietClocks w(store);
        // tickmatch looks for the main window by its bus name before it
        // reports, as it finds the real program.
        THXMainWindowService service([] {}, *Bus);
        ASSERT_EQ(service.Claim(), TBusNameClaim::Claimed);
        w.SplashDelayMs = 0;
        w.FormCreate("/nonexistent", {"-datadir", Dir + "/suite"});
        EXPECT_EQ(w.StatusText().toStdString(), "Lan Connection");
        QAction* syncNow = w.Action("mi_SyncTimeNow");
        ASSERT_NE(syncNow, nullptr);
        EXPECT_EQ(syncNow->text().toStdString(), "S&ync Time Now!");
        ASSERT_TRUE(syncNow->isEnabled());
        syncNow->trigger();

        QElapsedTimer t;
        t.start();
        while (w.StatusText() != "Sync Success" && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(w.StatusText().toStdString(), "Sync Success") << ::testing::PrintToString(Heard);
        EXPECT_EQ(w.ti_HoroluxTray->Icon().cacheKey(), w.t_SyncSuccess->Icon().cacheKey());
        EXPECT_NE(Service.Calls().find("SetTime "), std::string::npos) << Service.Calls();
        // The log line may land a moment after the report.
        t.restart();
        while (ReadFile(Dir + "/suite/hxsynclog.hxd").find("!\r\n") == std::string::npos &&
               t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_NE(ReadFile(Dir + "/suite/hxsynclog.hxd").find("\tSUCCESS\t"), std::string::npos);
        EXPECT_TRUE(presenter.Texts.empty()) << ::testing::PrintToString(presenter.Texts);
    }
    SetCompanionDirectory({});
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    SetMessagePresenter(nullptr);
}

namespace {

// The window's sync chains over the private session bus, with a tickmatch
// that reports as its server name says (see fake_tickmatch_bus) and the test
// itself answering for hxlinkhold.
class WindowSyncChain : public HoroluxRoad {
protected:
    using V = THXStoredValue;
    using Strings = std::vector<std::string>;
    static constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
    void SetUp() override {
        HoroluxRoad::SetUp();
        if (HasFatalFailure()) return;
        Suite = Dir + "/fakesuite";
        std::filesystem::create_directories(Suite);
        std::filesystem::copy_file(HX_TEST_DIR "/fake_tickmatch_bus", Suite + "/tickmatch");
        std::ofstream(Dir + "/suite/hxservers.hxd") << "bad1\nbad2\ngood3\n";
        Session.emplace("DBUS_SESSION_BUS_ADDRESS", SessionBus.Address());
        SetMessagePresenter(&Presenter);
        TTrayIcon::SetNotificationAreaOverride(true);
        SetCompanionDirectory(Suite);
        for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash", "PlayConnectSound",
                                 "PlaySyncSound", "KeepSyncLog"})
            Store.SetValue(CU, kPrefsKey, name, V::FromInteger(0));
        Store.SetValue(CU, kPrefsKey, "CycleTimeServers", V::FromInteger(1));
        Store.SetValue(CU, kPrefsKey, "TimeServer", V::FromString("bad0"));
    }
    void TearDown() override {
        if (Window) {
            Window.reset();
            SetCompanionDirectory({});
            TTrayIcon::SetNotificationAreaOverride(std::nullopt);
            SetMessagePresenter(nullptr);
        }
        Session.reset();
        HoroluxRoad::TearDown();
    }

    void Start(uint8_t connectionType) {
        Store.SetValue(CU, kPrefsKey, "ConnectionType", V::FromBinary({connectionType}));
        Window = std::make_unique<QuietClocks>(Store);
        Window->SplashDelayMs = 0;
        Window->LinkholdRunning = [] { return true; };
        Window->OnSyncLogChanged = [this] { ++LogChanges; };
        auto* bar = Window->findChild<QStatusBar*>("sbMainStatusBar");
        ASSERT_NE(bar, nullptr);
        QObject::connect(bar, &QStatusBar::messageChanged, [this](const QString& text) {
            if (!text.isEmpty()) Statuses.push_back(text.toStdString());
        });
        Window->FormCreate("/nonexistent", {"-datadir", Dir + "/suite"});
    }
    // The server each launch of tickmatch was given, checking the rest of
    // its command line on the way.
    Strings Launches() const {
        Strings servers;
        std::ifstream in(Dir + "/suite/tickmatch.calls");
        const std::string cwd = std::filesystem::canonical(Dir + "/suite").string();
        for (std::string line; std::getline(in, line);) {
            Strings fields;
            for (size_t start = 0;;) {
                const size_t tab = line.find('\t', start);
                fields.push_back(line.substr(start, tab - start));
                if (tab == std::string::npos) break;
                start = tab + 1;
            }
            EXPECT_EQ(fields.size(), 9u) << line;
            if (fields.size() != 9) continue;
            EXPECT_EQ(fields[0], cwd);
            EXPECT_EQ(Strings(fields.begin() + 1, fields.end()),
                      (Strings{"-s", fields[2], "1", "0", "0", "0", "1", "!"}));
            servers.push_back(fields[2]);
        }
        return servers;
    }
    // Waits until the status bar has shown the text since Statuses was last
    // cleared: a chain may pass through it on its way.
    bool WaitForStatus(const std::string& text) {
        auto shown = [&] {
            return std::find(Statuses.begin(), Statuses.end(), text) != Statuses.end();
        };
        QElapsedTimer t;
        t.start();
        while (!shown() && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return shown();
    }
    size_t HeardCount(const std::string& name) const {
        return size_t(std::count(Heard.begin(), Heard.end(), name));
    }

    std::string Suite;
    std::optional<TEnvScope> Session;
    TRecordingPresenter Presenter;
    THXMemoryPrefsStore Store;
    std::unique_ptr<QuietClocks> Window;
    Strings Statuses;
    int LogChanges = 0;
};

} // namespace

TEST_F(WindowSyncChain, FailuresCycleThroughTheServerListUntilOneAnswers) {
    Start(1);
    EXPECT_EQ(Statuses, Strings{"Lan Connection"});
    Statuses.clear();
    Window->Action("mi_SyncTimeNow")->trigger();
    ASSERT_TRUE(WaitForStatus("Sync Success")) << ::testing::PrintToString(Statuses);
    EXPECT_EQ(Launches(), (Strings{"bad0", "bad1", "bad2", "good3"}));
    EXPECT_EQ(Statuses, (Strings{"Sync Attempt", "Server-Cycle: bad1", "Server-Cycle: bad2",
                                 "Server-Cycle: good3", "Sync Success"}));
    EXPECT_EQ(Window->ti_HoroluxTray->Icon().cacheKey(), Window->t_SyncSuccess->Icon().cacheKey());
    EXPECT_EQ(HeardCount("HXM_TerminateTickmatch"), 4u);
    EXPECT_EQ(LogChanges, 4);
    EXPECT_TRUE(Presenter.Texts.empty()) << ::testing::PrintToString(Presenter.Texts);
}

TEST_F(WindowSyncChain, LastFailureEndsTheChainAndTheNextStartsAtThePreferredServer) {
    std::ofstream(Dir + "/suite/hxservers.hxd") << "bad1\nbad2\n";
    Start(1);
    Statuses.clear();
    Window->Action("mi_SyncTimeNow")->trigger();
    ASSERT_TRUE(WaitForStatus("Sync Attempt Failed")) << ::testing::PrintToString(Statuses);
    EXPECT_EQ(Launches(), (Strings{"bad0", "bad1", "bad2"}));
    EXPECT_EQ(Window->ti_HoroluxTray->Icon().cacheKey(), Window->t_Failicon->Icon().cacheKey());

    Statuses.clear();
    Window->Action("mi_SyncTimeNow")->trigger();
    ASSERT_TRUE(WaitForStatus("Sync Attempt Failed"));
    EXPECT_EQ(Launches(), (Strings{"bad0", "bad1", "bad2", "bad0", "bad1", "bad2"}));
    EXPECT_EQ(Statuses.front(), "Sync Attempt");
}

TEST_F(WindowSyncChain, DialUpIsDialledForTheSyncAndHungUpOnceAfterIt) {
    Store.SetValue(CU, kPrefsKey, "ConnectIfRequired", V::FromInteger(1));
    Store.SetValue(CU, kPrefsKey, "TimeServer", V::FromString("good0"));
    // hxlinkhold's side: the line is down until asked for, and goes down
    // again when asked to.
    THXMessageListener linkhold([](unsigned msg) {
        if (msg == HXM_RASInquiry || msg == HXM_RASDisconnectRequest)
            BroadcastHXMessage(HXM_RASDisconnected);
        else if (msg == HXM_RASDialRequest)
            BroadcastHXMessage(HXM_RASConnected);
    });
    Start(0);
    ASSERT_TRUE(WaitForStatus("Disconnected"));
    Statuses.clear();
    Window->SyncTime();
    ASSERT_TRUE(WaitForStatus("Sync Success")) << ::testing::PrintToString(Heard);
    ASSERT_TRUE(WaitForStatus("Disconnected")) << ::testing::PrintToString(Heard);
    EXPECT_EQ(Launches(), (Strings{"good0"}));
    EXPECT_EQ(Statuses, (Strings{"Connected", "Sync Attempt", "Sync Success", "Disconnected"}));
    EXPECT_EQ(HeardCount("HXM_RASDialRequest"), 1u);
    EXPECT_EQ(HeardCount("HXM_RASDisconnectRequest"), 1u);
    EXPECT_FALSE(Window->Action("mi_SyncTimeNow")->isEnabled());
}
