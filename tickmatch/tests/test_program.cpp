// The tickmatch program itself, run as horolux runs it: a private session bus
// with a stand-in for horolux's main window that hears the broadcasts, and a
// private "system" bus carrying the fake time service.
#include "tickmatch/tests/BusWatch.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"
#include "tickmatch/tests/TestServers.h"

#include "platform/qt/HXBus.h"
#include "timemodel/HX_messages.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <filesystem>
#include <gtest/gtest.h>
#include <regex>

using Kind = TTestTimeServer::TKind;
using Events = std::vector<std::string>;

class Program : public ::testing::Test, protected TBusWatch {
protected:
    void SetUp() override {
        TestApp();
        Dir = MakeTempDir("tickmatch-program");
        ASSERT_FALSE(Dir.empty());
        // The program in a suite directory of the test's own.
        std::filesystem::create_directories(Dir + "/suite");
        std::filesystem::copy_file(HX_SUITE_DIR "/tickmatch", Dir + "/suite/tickmatch");
        // The stand-in for horolux's main window.
        ASSERT_TRUE(StartBuses(Dir, "horolux"));
        ASSERT_EQ(ClaimBusName(HXMainWindowBusName, *Bus), TBusNameClaim::Claimed);
    }
    void TearDown() override {
        Tickmatch.Stop();
        StopListening();
        RemoveTree(Dir);
    }
    void StartService(const std::string& mode = "accept") {
        ASSERT_TRUE(Service.Start(SystemBus.Address(), Dir + "/calls", mode));
    }
    void Launch(const std::vector<std::string>& args, uint16_t port) {
        std::vector<std::string> argv{Dir + "/suite/tickmatch"};
        argv.insert(argv.end(), args.begin(), args.end());
        ASSERT_TRUE(
            Tickmatch.Start(argv, {"DBUS_SESSION_BUS_ADDRESS=" + SessionBus.Address(),
                                   "DBUS_SYSTEM_BUS_ADDRESS=" + SystemBus.Address(),
                                   "HX_TICKMATCH_TEST_PORT=" + std::to_string(port),
                                   "XDG_DATA_HOME=" + Dir + "/xdg", "QT_QPA_PLATFORM=offscreen"}));
    }
    // Runs the event loop (to hear the broadcasts) until tickmatch ends.
    int WaitForExit(int timeoutMs = 15000) {
        QElapsedTimer t;
        t.start();
        int status = -1;
        while ((status = Tickmatch.Wait(0)) < 0 && t.elapsed() < timeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        Settle();
        return status;
    }
    static std::vector<std::string> Args(const std::string& protocol,
                                         const std::string& offset = "0") {
        return {"-s", "127.0.0.1", protocol, offset, "0", "0", "0", "hxsynclog.hxd"};
    }
    // Started on its own, tickmatch logs into the user's data directory.
    std::string Log() const { return ReadFile(Dir + "/xdg/horolux/hxsynclog.hxd"); }
    long long ShiftMs() const {
        long long us = 0;
        int r = 0, i = 0;
        if (std::sscanf(Service.Calls().c_str(), "SetTime %lld %d %d", &us, &r, &i) != 3) return -1;
        return us / 1000;
    }

    std::string Dir;
    TFakeTimeService Service;
    TChildProcess Tickmatch;
};

TEST_F(Program, TimeSyncReportsInOrderAndLogs) {
    StartService();
    TTestTimeServer server;
    server.ServerTime = [] { return NowUTC() + EncodeTime(0, 10, 0, 0); };
    ASSERT_TRUE(server.Start(Kind::Time));
    Launch(Args("1"), server.Port());
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(Heard, (Events{"HXM_SyncAttempt", "TimeChanged", "HXM_SyncSuccess"}));
    long long ms = ShiftMs();
    EXPECT_GE(ms, 600000 - 500);
    EXPECT_LE(ms, 601000 + 500);
    std::string log = Log();
    EXPECT_TRUE(std::regex_match(
        log, std::regex("SYNC-ATTEMPT\tHost: 127\\.0\\.0\\.1\t[A-Z][a-z]{2}-\\d\\d-\\d{4} "
                        "\\d\\d:\\d\\d:\\d\\d\tSUCCESS\t\\d+\\.\\d+\t\\d+\\.\\d+\t-0\\.\\d+!\r\n")))
        << log;
}

TEST_F(Program, SntpWithOffset) {
    StartService();
    TTestTimeServer server;
    ASSERT_TRUE(server.Start(Kind::Sntp));
    Launch(Args("2", "-1"), server.Port());
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(Heard, (Events{"HXM_SyncAttempt", "TimeChanged", "HXM_SyncSuccess"}));
    long long ms = ShiftMs();
    EXPECT_GE(ms, -3600000 - 500);
    EXPECT_LE(ms, -3600000 + 500);
}

TEST_F(Program, RefusedPortFails) {
    StartService();
    Launch(Args("0"), TTestTimeServer::ClosedPort());
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(Heard, (Events{"HXM_SyncAttempt", "HXM_SyncFail"}));
    // The time-out's text, then the socket's reason.
    EXPECT_NE(Log().find("\tFAIL: Response From Time Server Timed Out - Connection refused\r\n"),
              std::string::npos)
        << Log();
    EXPECT_EQ(Service.Calls(), "");
}

TEST_F(Program, NoTimeServiceIsAFailure) {
    TTestTimeServer server;
    ASSERT_TRUE(server.Start(Kind::Time));
    Launch(Args("1"), server.Port());
    EXPECT_EQ(WaitForExit(), 0);
    EXPECT_EQ(Heard, (Events{"HXM_SyncAttempt", "HXM_SyncFail"}));
    EXPECT_NE(Log().find("\tFAIL: Could not set system time - no system time service\r\n"),
              std::string::npos)
        << Log();
}

TEST_F(Program, EndsOnTerminateTickmatch) {
    StartService();
    TTestTimeServer server;
    ASSERT_TRUE(server.Start(Kind::Silent));
    Launch(Args("1"), server.Port());
    QElapsedTimer t;
    t.start();
    while (Heard.empty() && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(Heard, (Events{"HXM_SyncAttempt"}));
    BroadcastHXMessage(HXM_TerminateTickmatch);
    EXPECT_EQ(WaitForExit(5000), 0);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(std::filesystem::exists(Dir + "/suite/hxsynclog.hxd"));
}
