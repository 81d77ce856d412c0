// The synchronisation road without the window: what each step broadcasts,
// launches and shows.
#include "clockapp/state/SyncControl.h"
#include "timemodel/HX_messages.h"

#include <gtest/gtest.h>

namespace {

struct TFakeSync : TSyncControl {
    TFakeSync(TClockPrefs& p, const std::vector<std::string>& s) : TSyncControl(p, s) {
        RegisterHXMessages();
    }
    std::vector<std::string> Sent, Status, Sounds;
    std::vector<std::vector<std::string>> Launches;
    std::vector<TSyncTrayIcon> Icons;
    std::vector<int> Codes;
    std::vector<std::string> Infos;
    bool MenuEnabled = false;
    std::string Caption;
    bool Suspended = false;
    bool LaunchWorks = true;

    void SyncBroadcast(unsigned msg) override { Sent.push_back(RegisteredMessageName(msg)); }
    bool SyncStartTickmatch(const std::vector<std::string>& a) override {
        Launches.push_back(a);
        return LaunchWorks;
    }
    void SyncStatus(const std::string& t) override { Status.push_back(t); }
    void SyncTrayIcon(TSyncTrayIcon i) override { Icons.push_back(i); }
    void SyncPlaySound(const std::string& f) override { Sounds.push_back(f); }
    void SyncMenuEnabled(bool e) override { MenuEnabled = e; }
    void SyncConnectCaption(const std::string& c) override { Caption = c; }
    bool SyncSuspended() const override { return Suspended; }
    void SyncErrorCode(int c) override { Codes.push_back(c); }
    void SyncInfo(const std::string& t) override { Infos.push_back(t); }
};

using Strings = std::vector<std::string>;

class SyncControl : public ::testing::Test {
protected:
    TClockPrefs Prefs;
    std::vector<std::string> Servers;
    TFakeSync Sync{Prefs, Servers};

    void Lan() {
        Prefs.ConnectionType = 1;
        Sync.ApplyConnectionType();
    }
    void DialUp(bool connectIfRequired) {
        Prefs.ConnectionType = 0;
        Prefs.ConnectIfRequired = connectIfRequired;
        Sync.ApplyConnectionType();
    }
};

TEST_F(SyncControl, LanWithDefaultsLaunchesTickmatchWithEightArguments) {
    Lan();
    EXPECT_EQ(Sync.Status.back(), "Lan Connection");
    EXPECT_TRUE(Sync.MenuEnabled);
    Sync.SyncTime();
    EXPECT_EQ(Sync.Sent, Strings{"HXM_TerminateTickmatch"});
    ASSERT_EQ(Sync.Launches.size(), 1u);
    EXPECT_EQ(Sync.Launches[0],
              (Strings{"-s", "time.nist.gov", "1", "0", "0", "0", "1", "hxsynclog.hxd"}));
}

TEST_F(SyncControl, ArgumentsFollowThePreferences) {
    Prefs.KeepSyncLog = false;
    Prefs.SetDateToo = true;
    Prefs.WarnLargeSync = false;
    Prefs.NTPProtocol = 0;
    Prefs.ServerUTCOffset = -5;
    EXPECT_EQ(TickmatchArguments(Prefs, "a b"),
              (Strings{"-s", "a b", "0", "-5", "0", "1", "0", "!"}));
}

TEST_F(SyncControl, ServerNameIsTrimmedAndAnEmptyOneIsNotLaunched) {
    Lan();
    Prefs.TimeServer = "  pool.example \t";
    Sync.SyncTime();
    ASSERT_EQ(Sync.Launches.size(), 1u);
    EXPECT_EQ(Sync.Launches[0][1], "pool.example");

    Prefs.TimeServer = "   ";
    Sync.SyncTime();
    EXPECT_EQ(Sync.Launches.size(), 1u);
    EXPECT_EQ(Sync.Status.back(), "No Time Server");
    EXPECT_EQ(Sync.Infos.size(), 1u);
    // Automatic: the status bar only.
    Sync.AutoSyncTime();
    EXPECT_EQ(Sync.Infos.size(), 1u);
}

TEST_F(SyncControl, FailedLaunchIsReportedAndEndsTheChain) {
    Lan();
    Sync.LaunchWorks = false;
    Sync.SyncTime();
    EXPECT_EQ(Sync.Codes, std::vector<int>{7});
    Sync.AutoSyncTime();
    EXPECT_EQ(Sync.Codes, std::vector<int>{7}); // status only
    EXPECT_EQ(Sync.Status.back(), "Unable to start tickmatch");
}

TEST_F(SyncControl, NoConnectionDoesNothing) {
    Prefs.ConnectionType = 2;
    Prefs.ConnectIfRequired = true;
    Sync.ApplyConnectionType();
    EXPECT_EQ(Sync.Status.back(), "No Connection");
    EXPECT_FALSE(Sync.MenuEnabled);
    Sync.SyncTime();
    EXPECT_TRUE(Sync.Sent.empty()); // no dial request without dial-up
    EXPECT_TRUE(Sync.Launches.empty());
    EXPECT_FALSE(Sync.SyncPending);
}

TEST_F(SyncControl, CyclingWalksTheServerListThenFails) {
    Servers = {"one", "two", "three"};
    Lan();
    Sync.SyncTime();
    Sync.HandleSyncAttempt();
    for (const char* name : {"one", "two", "three"}) {
        Sync.HandleSyncFail();
        EXPECT_EQ(Sync.Status.back(), std::string("Server-Cycle: ") + name);
        EXPECT_EQ(Sync.Launches.back()[1], name);
        Sync.HandleSyncAttempt(); // status unchanged while cycling
        EXPECT_EQ(Sync.Status.back(), std::string("Server-Cycle: ") + name);
    }
    Sync.HandleSyncFail();
    EXPECT_EQ(Sync.Status.back(), "Sync Attempt Failed");
    EXPECT_EQ(Sync.Launches.size(), 4u);
    EXPECT_EQ(Sync.Sounds.size(), 4u); // the connect sound on every attempt
    EXPECT_EQ(Sync.Icons.back(), TSyncTrayIcon::Fail);
    EXPECT_EQ(Sync.ServerCycleIndex, 0);
    // A new chain starts again from the preferred server.
    Sync.SyncTime();
    EXPECT_EQ(Sync.Launches.back()[1], "time.nist.gov");
}

TEST_F(SyncControl, CyclingOffFailsAtOnceAndSuccessResetsTheIndex) {
    Servers = {"one"};
    Prefs.CycleTimeServers = false;
    Lan();
    Sync.SyncTime();
    Sync.HandleSyncFail();
    EXPECT_EQ(Sync.Status.back(), "Sync Attempt Failed");
    EXPECT_EQ(Sync.Launches.size(), 1u);

    Prefs.CycleTimeServers = true;
    Sync.SyncTime();
    Sync.HandleSyncFail();
    EXPECT_EQ(Sync.ServerCycleIndex, 1);
    Sync.HandleSyncSuccess();
    EXPECT_EQ(Sync.ServerCycleIndex, 0);
    EXPECT_EQ(Sync.Status.back(), "Sync Success");
    EXPECT_EQ(Sync.Icons.back(), TSyncTrayIcon::Success);
    EXPECT_EQ(Sync.Sounds.back(), Prefs.SyncSound);
}

TEST_F(SyncControl, DialUpNeedingADialHangsUpOnceAfterTheChain) {
    DialUp(true);
    Sync.HandleRASDisconnected();
    Prefs.SyncOnConnect = false;
    Sync.SyncTime();
    EXPECT_EQ(Sync.Sent, Strings{"HXM_RASDialRequest"});
    EXPECT_TRUE(Sync.SyncPending);
    Sync.HandleRASConnected();
    EXPECT_EQ(Sync.Launches.size(), 1u); // pending runs although SyncOnConnect is off
    EXPECT_FALSE(Sync.SyncPending);
    EXPECT_EQ(Sync.Caption, "Disconnect");
    Sync.HandleSyncFail(); // no servers to cycle
    Sync.HandleSyncSuccess();
    EXPECT_EQ(std::count(Sync.Sent.begin(), Sync.Sent.end(), "HXM_RASDisconnectRequest"), 1);
}

TEST_F(SyncControl, DialUpConnectedRunsAtOnceAndNeverHangsUp) {
    DialUp(true);
    Sync.HandleRASConnected();
    EXPECT_EQ(Sync.Launches.size(), 1u); // SyncOnConnect
    EXPECT_EQ(Sync.Status.front(), "Connected");
    Sync.HandleSyncSuccess();
    Sync.SyncTime();
    Sync.HandleSyncSuccess();
    EXPECT_EQ(std::count(Sync.Sent.begin(), Sync.Sent.end(), "HXM_RASDisconnectRequest"), 0);
    // A second report without a disconnection only re-enables the command.
    Sync.MenuEnabled = false;
    Sync.HandleRASConnected();
    EXPECT_EQ(Sync.Launches.size(), 2u);
    EXPECT_TRUE(Sync.MenuEnabled);
}

TEST_F(SyncControl, UnknownStateWaitsForTheFirstReport) {
    DialUp(true);
    Sync.SyncTime();
    EXPECT_TRUE(Sync.Sent.empty());
    EXPECT_TRUE(Sync.SyncPending);
    Prefs.SyncOnConnect = false;
    Sync.HandleRASConnected();
    EXPECT_EQ(Sync.Launches.size(), 1u);
    Sync.HandleSyncSuccess();
    EXPECT_EQ(std::count(Sync.Sent.begin(), Sync.Sent.end(), "HXM_RASDisconnectRequest"), 0);
}

TEST_F(SyncControl, UnknownStateThenDisconnectedDials) {
    DialUp(true);
    Sync.SyncTime();
    Sync.HandleRASDisconnected();
    EXPECT_EQ(Sync.Sent, Strings{"HXM_RASDialRequest"});
    EXPECT_TRUE(Sync.DialledForSync);

    TClockPrefs p2;
    p2.ConnectionType = 0;
    TFakeSync other(p2, Servers);
    other.ApplyConnectionType();
    other.SyncTime();
    other.HandleRASDisconnected(); // ConnectIfRequired off: the request lapses
    EXPECT_TRUE(other.Sent.empty());
    EXPECT_FALSE(other.SyncPending);
}

TEST_F(SyncControl, PendingSyncWaitsWhileSuspended) {
    DialUp(true);
    Sync.HandleRASDisconnected();
    Sync.SyncTime();
    Sync.Suspended = true;
    Sync.HandleRASConnected();
    EXPECT_TRUE(Sync.Launches.empty());
    EXPECT_TRUE(Sync.SyncPending);
    Sync.Suspended = false;
    Sync.HandleRASConnected(); // same connection: nothing new
    EXPECT_TRUE(Sync.Launches.empty());
    Sync.HandleRASDisconnected();
    Sync.HandleRASConnected();
    EXPECT_EQ(Sync.Launches.size(), 1u);
}

TEST_F(SyncControl, ConnectCommandClearsDialledForSync) {
    DialUp(true);
    Sync.HandleRASDisconnected();
    Sync.SyncTime();
    Sync.DialOrDisconnect(); // the user dials too
    EXPECT_EQ(Sync.Sent.back(), "HXM_RASDialRequest");
    Sync.HandleRASConnected();
    Sync.HandleSyncSuccess();
    EXPECT_EQ(std::count(Sync.Sent.begin(), Sync.Sent.end(), "HXM_RASDisconnectRequest"), 0);
    Sync.DialOrDisconnect();
    EXPECT_EQ(Sync.Sent.back(), "HXM_RASDisconnectRequest");
}

TEST_F(SyncControl, DisconnectedReportAndSwitchingToDialUp) {
    Prefs.ResetTrayOnDisc = true;
    Lan();
    DialUp(false); // LAN said nothing about the modem
    EXPECT_FALSE(Sync.ConnectionAvailable);
    EXPECT_EQ(Sync.DialUpState, TDialUpState::Unknown);
    Sync.HandleRASConnected();
    Sync.ApplyConnectionType(); // dial-up again: the report stands
    EXPECT_TRUE(Sync.ConnectionAvailable);
    Sync.HandleRASDisconnected();
    EXPECT_EQ(Sync.Status.back(), "Disconnected");
    EXPECT_EQ(Sync.Caption, "Connect");
    EXPECT_FALSE(Sync.MenuEnabled);
    EXPECT_EQ(Sync.Icons.back(), TSyncTrayIcon::Normal);
}

} // namespace

TEST(SyncFailReason, SaysWhyInTheUsersWords) {
    const std::string start = "SYNC-ATTEMPT\tHost: h\tDec-09-2026 18:00:00";
    const std::pair<std::string, std::string> cases[] = {
        {start + "\tFAIL: Response From Time Server Timed Out\r", "no answer from the time server"},
        {start + "\tFAIL: Response From Time Server Timed Out - Connection refused",
         "no answer from the time server (Connection refused)"},
        {start + "\tFAIL: Could not set system time - not allowed", "the clock was not set: not allowed"},
        {start + "\tFAIL: Could not set system time", "the clock was not set"},
        {start + "\tFAIL: Invalid TimeStamp Format: abc", "Invalid TimeStamp Format: abc"},
        {start + "\tSUCCESS\t46000\t46000\t0!", ""},
        {start, ""},
        {"", ""},
    };
    for (const auto& [line, reason] : cases)
        EXPECT_EQ(SyncFailReason(line), reason) << line;
}
