// The main window on the synchronisation road: menu, reports over the message
// transport, launches of a stand-in tickmatch and hxlinkhold.
#include "TestApp.h"

#include "clockapp/Launch.h"
#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;
using Strings = std::vector<std::string>;

struct TRecordingPresenter : IMessagePresenter {
    Strings Texts;
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        return EscapeResult(buttons);
    }
};

// The start-up's own dialogs (missing list files) answered without a window.
class QuietClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;

protected:
    void ShowError(const std::string&) override {}
    void ShowInfo(const std::string&) override {}
    void ShowErrorCode(int) override {}
    TAnswer AskYesNo(const std::string&) override { return TAnswer::No; }
    TAnswer AskYesNoCancel(const std::string&) override { return TAnswer::Cancel; }
    bool ConfirmYes(const std::string&) override { return false; }
};

class MainSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        SetMessagePresenter(&presenter);
        SetHXMessageTransport(&loop);
        SetCompanionDirectory(HX_FAKE_SUITE_DIR);
        store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "InstallUpgrade", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "ShowSplash", V::FromInteger(0));
        w = std::make_unique<QuietClocks>(store);
        w->SplashDelayMs = 0;
        w->LinkholdRunning = [this] { return linkholdRunning; };
        w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString()});
        presenter.Texts.clear();
        loop.Deliver();
        loop.Sent.clear();
    }
    void TearDown() override {
        w.reset();
        SetCompanionDirectory({});
        SetHXMessageTransport(nullptr);
        SetMessagePresenter(nullptr);
        TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    }

    void Receive(const char* name) {
        loop.SendHXMessage(name);
        loop.Sent.pop_back(); // Sent keeps what the window sends
        loop.Deliver();
    }
    std::string Status() const { return w->StatusText().toStdString(); }
    void SetConnectionType(uint8_t type) {
        w->ConnectionType = type;
        w->WMConnectionState();
    }
    // The lines a stand-in program wrote, once it has written them.
    Strings WaitForArgs(const std::string& program) {
        const QString path = dir.filePath(QString::fromStdString(program + ".args"));
        QElapsedTimer t;
        t.start();
        while (!QFile::exists(path) && t.elapsed() < 20000)
            QThread::msleep(10);
        Strings lines;
        std::ifstream in(path.toStdString());
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        QFile::remove(path);
        return lines;
    }
    Strings Expected(const std::string& server, const char* log = "hxsynclog.hxd") {
        return {"cwd=" + QDir(dir.path()).canonicalPath().toStdString(),
                "-s",
                server,
                "1",
                "0",
                "0",
                "0",
                "1",
                log};
    }
    size_t Count(const char* name) const {
        return size_t(std::count(loop.Sent.begin(), loop.Sent.end(), name));
    }
    bool TrayShows(TTrayIcon* holder) const {
        return w->ti_HoroluxTray->Icon().cacheKey() == holder->Icon().cacheKey();
    }

    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    TRecordingPresenter presenter;
    TLoopbackHXMessageTransport loop;
    bool linkholdRunning = false;
    std::unique_ptr<TF_clocks> w;
};

} // namespace

TEST_F(MainSyncTest, LanSyncLaunchesTickmatchInTheDataDirectory) {
    SetConnectionType(1);
    EXPECT_EQ(Status(), "Lan Connection");
    ASSERT_TRUE(w->Action("mi_SyncTimeNow")->isEnabled());
    w->Action("mi_SyncTimeNow")->trigger();
    EXPECT_EQ(loop.Sent, Strings{"HXM_TerminateTickmatch"});
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("time.nist.gov"));

    w->KeepSyncLog = false;
    w->Action("mi_SyncTimeNow")->trigger();
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("time.nist.gov", "!"));
}

TEST_F(MainSyncTest, ReportsChangeTrayStatusAndCycleServers) {
    int logChanges = 0;
    w->OnSyncLogChanged = [&] { ++logChanges; };
    w->TimeServers = {"alpha.example", "beta.example"};
    SetConnectionType(1);
    w->SyncTime();
    WaitForArgs("tickmatch");

    Receive("HXM_SyncAttempt");
    EXPECT_EQ(Status(), "Sync Attempt");
    EXPECT_TRUE(TrayShows(w->t_SyncConnect));
    Receive("HXM_SyncFail");
    EXPECT_EQ(Status(), "Server-Cycle: alpha.example");
    EXPECT_TRUE(TrayShows(w->t_Failicon));
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("alpha.example"));
    Receive("HXM_SyncAttempt");
    EXPECT_EQ(Status(), "Server-Cycle: alpha.example");
    Receive("HXM_SyncFail");
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("beta.example"));
    Receive("HXM_SyncFail");
    EXPECT_EQ(Status(), "Sync Attempt Failed");
    EXPECT_EQ(logChanges, 3);

    w->SyncTime();
    WaitForArgs("tickmatch");
    Receive("HXM_SyncSuccess");
    EXPECT_EQ(Status(), "Sync Success");
    EXPECT_TRUE(TrayShows(w->t_SyncSuccess));
    EXPECT_EQ(w->ServerCycleIndex, 0);
    EXPECT_EQ(logChanges, 4);
}

TEST_F(MainSyncTest, DialUpDialsForTheSyncAndHangsUpAfterIt) {
    w->ConnectIfRequired = true;
    w->SyncOnConnect = false;
    SetConnectionType(0);
    Receive("HXM_RASDisconnected");
    EXPECT_EQ(Status(), "Disconnected");
    EXPECT_FALSE(w->Action("mi_SyncTimeNow")->isEnabled());
    EXPECT_EQ(w->Action("mi_DialOrDisconnect")->text(), "Connect");

    w->SyncTime();
    EXPECT_EQ(loop.Sent, Strings{"HXM_RASDialRequest"});
    Receive("HXM_RASConnected");
    EXPECT_EQ(w->Action("mi_DialOrDisconnect")->text(), "Disconnect");
    EXPECT_TRUE(w->Action("mi_SyncTimeNow")->isEnabled());
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("time.nist.gov"));
    Receive("HXM_SyncSuccess");
    EXPECT_EQ(Count("HXM_RASDisconnectRequest"), 1u);

    // The user's own connection is never hung up.
    Receive("HXM_RASDisconnected");
    w->Action("mi_DialOrDisconnect")->trigger();
    EXPECT_EQ(loop.Sent.back(), "HXM_RASDialRequest");
    Receive("HXM_RASConnected");
    w->SyncTime();
    WaitForArgs("tickmatch");
    Receive("HXM_SyncFail");
    EXPECT_EQ(Count("HXM_RASDisconnectRequest"), 1u);
}

TEST_F(MainSyncTest, SuspendedSyncWaitsForTheNextConnection) {
    w->ConnectIfRequired = true;
    SetConnectionType(0);
    Receive("HXM_RASDisconnected");
    w->Action("smiSuspendSync")->trigger();
    ASSERT_TRUE(w->Action("smiSuspendSync")->isChecked());
    w->SyncTime();
    Receive("HXM_RASConnected");
    EXPECT_TRUE(w->SyncPending);
    EXPECT_FALSE(QFile::exists(dir.filePath("tickmatch.args")));
    w->Action("smiSuspendSync")->trigger();
    Receive("HXM_RASDisconnected");
    Receive("HXM_RASConnected");
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("time.nist.gov"));
}

TEST_F(MainSyncTest, MissingTickmatchShowsMessage7ButAutomaticOnlyTheStatus) {
    QTemporaryDir empty;
    SetCompanionDirectory(empty.path().toStdString());
    SetConnectionType(1);
    w->SyncTime();
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(presenter.Texts[0], HXErrorMessage(7).Text);
    w->AutoSyncTime();
    EXPECT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(Status(), "Unable to start tickmatch");
}

TEST_F(MainSyncTest, OnlyOneLinkholdIsStarted) {
    w->ActivateLinkhold();
    EXPECT_EQ(WaitForArgs("hxlinkhold"),
              Strings{"cwd=" + QDir(dir.path()).canonicalPath().toStdString()});
    linkholdRunning = true;
    w->ActivateLinkhold();
    EXPECT_EQ(loop.Sent, Strings{"HXM_RASInquiry"});
    EXPECT_FALSE(QFile::exists(dir.filePath("hxlinkhold.args")));

    QTemporaryDir empty;
    SetCompanionDirectory(empty.path().toStdString());
    linkholdRunning = false;
    w->ActivateLinkhold();
    EXPECT_EQ(presenter.Texts, Strings{HXErrorMessage(6).Text});
}

TEST_F(MainSyncTest, ClearSyncLogReportsWhetherItDeleted) {
    { std::ofstream(dir.filePath("hxsynclog.hxd").toStdString()) << "SYNC-ATTEMPT\n"; }
    w->ClearSyncLog();
    w->ClearSyncLog();
    ASSERT_EQ(presenter.Texts.size(), 2u);
    EXPECT_EQ(presenter.Texts[0], HXErrorMessage(61).Text);
    EXPECT_EQ(presenter.Texts[1], HXErrorMessage(62).Text);
    EXPECT_FALSE(QFile::exists(dir.filePath("hxsynclog.hxd")));
}

TEST_F(MainSyncTest, RulesChangedReachesTheLocationManager) {
    int reloads = 0;
    w->OnDSTRulesChanged = [&] { ++reloads; };
    Receive("HXM_DSTRulesChanged");
    EXPECT_EQ(reloads, 1);
}

TEST_F(MainSyncTest, MissingCompanionsShowTheirTexts) {
    w->Action("mi_Timer")->trigger();
    w->Action("smiRulewick")->trigger();
    w->Action("mi_Help")->trigger();
    ASSERT_EQ(presenter.Texts.size(), 3u);
    EXPECT_EQ(
        presenter.Texts[0],
        "Horolux could not locate the stopwatch application\n\rensure that \"HXtimer.exe\" is "
        "installed and in the same directory at \"horolux.exe\"");
    EXPECT_EQ(presenter.Texts[1],
              "Horolux could not locate the DST manager application\n\rensure that "
              "\"rulewick.exe\" is installed and in the same directory at \"horolux.exe\"");
    EXPECT_EQ(presenter.Texts[2],
              "Horolux could not locate the user guide file\n\rensure that \"help.pdf\" is "
              "installed and in the same directory at \"horolux.exe\"");
}
