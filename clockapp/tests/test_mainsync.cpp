// The main window on the synchronisation road: menu, reports over the message
// transport, launches of a stand-in tickmatch and hxlinkhold.
#include "TestApp.h"
#include "clockapp/tests/WindowTest.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"
#include "platform/media/HXSound.h"
#include "platform/qt/Launch.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
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

class MainSyncTest : public TWindowTest<> {
protected:
    void BeforeStart() override {
        SetCompanionDirectory(HX_FAKE_SUITE_DIR);
        w->LinkholdRunning = [this] { return linkholdRunning; };
    }
    void SetUp() override {
        TWindowTest::SetUp();
        loop.Sent.clear();
    }
    void TearDown() override {
        TWindowTest::TearDown();
        SetCompanionDirectory({});
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

    bool linkholdRunning = false;
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

// The status of a failed attempt says why, from the line tickmatch logged
// for it before it told of the failure; an older line is not taken for it.
TEST_F(MainSyncTest, FailedSyncStatusGivesTheReason) {
    const std::string log = dir.filePath("hxsynclog.hxd").toStdString();
    const std::string start = "SYNC-ATTEMPT\tHost: 127.0.0.1\tDec-09-2026 18:00:00";
    std::ofstream(log, std::ios::binary)
        << start << "\tFAIL: User aborted sync due to large differential\r\n";
    w->TimeServers.clear();
    SetConnectionType(1);
    struct TCase {
        const char* Logged; // nullptr: the attempt wrote no line
        const char* Shown;
    };
    for (const TCase& c : std::vector<TCase>{
             {nullptr, "Sync Attempt Failed"},
             {"\tFAIL: Response From Time Server Timed Out",
              "Sync Attempt Failed: no answer from the time server"},
             {"\tFAIL: Response From Time Server Timed Out - Connection refused",
              "Sync Attempt Failed: no answer from the time server (Connection refused)"},
             {"\tFAIL: Could not set system time - automatic time synchronisation is on",
              "Sync Attempt Failed: the clock was not set: automatic time synchronisation is on"},
         }) {
        w->SyncTime();
        WaitForArgs("tickmatch");
        Receive("HXM_SyncAttempt");
        if (c.Logged) std::ofstream(log, std::ios::binary | std::ios::app) << start << c.Logged << "\r\n";
        Receive("HXM_SyncFail");
        EXPECT_EQ(Status(), c.Shown);
    }
    // Without a log there is no reason to read.
    w->KeepSyncLog = false;
    w->SyncTime();
    WaitForArgs("tickmatch");
    std::ofstream(log, std::ios::binary | std::ios::app) << start << "\tFAIL: Response From Time Server Timed Out\r\n";
    Receive("HXM_SyncFail");
    EXPECT_EQ(Status(), "Sync Attempt Failed");
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

// Only the dial-up manager hears "Connect", and it runs with the dial-up
// connection type alone: otherwise the command is unavailable.
TEST_F(MainSyncTest, ConnectIsAvailableOnlyWithDialUp) {
    QAction* connect = w->Action("mi_DialOrDisconnect");
    for (const uint8_t type : {2, 1, 0, 2}) {
        SetConnectionType(type);
        EXPECT_EQ(connect->isEnabled(), type == 0) << int(type);
        loop.Sent.clear();
        connect->trigger();
        w->mi_DialOrDisconnectClick(); // the handler itself dials for no one either
        EXPECT_EQ(loop.Sent.size(), type == 0 ? 2u : 0u) << int(type);
    }
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

// The log is emptied in place (tickmatch may hold it open to append): a
// second clear finds it already cleared.
TEST_F(MainSyncTest, ClearSyncLogReportsWhetherItCleared) {
    { std::ofstream(dir.filePath("hxsynclog.hxd").toStdString()) << "SYNC-ATTEMPT\n"; }
    w->ClearSyncLog();
    w->ClearSyncLog();
    ASSERT_EQ(presenter.Texts.size(), 2u);
    EXPECT_EQ(presenter.Texts[0], HXErrorMessage(61).Text);
    EXPECT_EQ(presenter.Texts[1], HXErrorMessage(62).Text);
    EXPECT_EQ(QFileInfo(dir.filePath("hxsynclog.hxd")).size(), 0);
    QFile::remove(dir.filePath("hxsynclog.hxd"));
    w->ClearSyncLog();
    EXPECT_EQ(presenter.Texts.back(), HXErrorMessage(62).Text);
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
    // The programs by their installed names, as the numbered messages name them.
    EXPECT_EQ(presenter.Texts[0],
              "Horolux could not locate the stopwatch application\n\rensure that \"hxtimer\" is "
              "installed and in the same directory at \"horolux\"");
    EXPECT_EQ(presenter.Texts[1],
              "Horolux could not locate the DST manager application\n\rensure that "
              "\"rulewick\" is installed and in the same directory at \"horolux\"");
    EXPECT_EQ(presenter.Texts[2],
              "Horolux could not locate the user guide file\n\rensure that \"help.pdf\" is "
              "installed and in the same directory at \"horolux\"");
    EXPECT_NE(HXErrorMessage(30).Text.find(" hxtimer "), std::string::npos);
}

// ------------------------------------------------------- preferences dialog

#include "clockapp/Prefs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

TEST(PrefsFields, AutoDurationIsWholeAndPositive) {
    EXPECT_EQ(ParseAutoDuration("00:10:00"), 600);
    EXPECT_EQ(ParseAutoDuration("25:00:00"), 90000);
    EXPECT_EQ(FormatAutoDuration(90000), "25:00:00");
    EXPECT_EQ(FormatAutoDuration(600), "00:10:00");
    EXPECT_FALSE(ParseAutoDuration("00:00:00"));
    EXPECT_FALSE(ParseAutoDuration("-1:00:00"));
    EXPECT_FALSE(ParseAutoDuration("ab:10:00"));
    EXPECT_FALSE(ParseAutoDuration("10:00"));
    EXPECT_FALSE(ParseAutoDuration("00:75:00"));
}

TEST(PrefsFields, LocalOffsetTakesFractionsEitherSeparator) {
    EXPECT_EQ(ParseLocalOffset("5.5"), 5.5);
    EXPECT_EQ(ParseLocalOffset("5,75"), 5.75);
    EXPECT_EQ(ParseLocalOffset("-3"), -3.0);
    EXPECT_FALSE(ParseLocalOffset("five"));
    EXPECT_FALSE(ParseLocalOffset(""));
}

namespace {

template <typename T> T* Find(QWidget* dialog, const char* name) {
    T* w = dialog->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
}

} // namespace

TEST_F(MainSyncTest, PrefsDialogChecksTheDurationAndStoresOnOk) {
    w->TimeServers = {"alpha.example"};
    w->show();
    bool sawDialog = false;
    AnswerNextModal([&](QWidget* d) {
        sawDialog = true;
        EXPECT_EQ(d->windowTitle(), "Horolux Preferences");
        EXPECT_EQ(Find<QComboBox>(d, "lb_TimeServer")->currentText(), "time.nist.gov");
        EXPECT_EQ(Find<QComboBox>(d, "lb_TimeServer")->itemText(0), "alpha.example");
        EXPECT_EQ(Find<QLineEdit>(d, "me_AutoDuration")->text(), "00:10:00");
        EXPECT_TRUE(Find<QRadioButton>(d, "rg_ConnectionType_0")->isChecked());
        EXPECT_FALSE(Find<QPushButton>(d, "sb_SyncNow")->isEnabled());
        Find<QLineEdit>(d, "me_AutoDuration")->setText("00:00:00");
        Find<QPushButton>(d, "OKBtn")->click();
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(presenter.Texts,
                  Strings{"Invalid Auto Sync Duration Time\n\rTime must be in the form HH:MM:SS"});
        Find<QLineEdit>(d, "me_AutoDuration")->setText("25:00:00");
        Find<QLineEdit>(d, "me_ServerUTCOffset")->setText("x3");
        Find<QCheckBox>(d, "cbOverrideLocalOffset")->click();
        Find<QLineEdit>(d, "meLocalOffsetOverride")->setText("5,75");
        Find<QComboBox>(d, "lb_TimeServer")->setEditText("ntp.example");
        Find<QRadioButton>(d, "rg_ConnectionType_2")->click();
        Find<QPushButton>(d, "OKBtn")->click();
    });
    w->Action("sb_Prefs")->trigger();
    ASSERT_TRUE(sawDialog);
    EXPECT_EQ(w->AutoSyncDuration, 90000);
    EXPECT_EQ(w->ServerUTCOffset, 0);
    EXPECT_TRUE(w->OverrideLocalOffset);
    EXPECT_EQ(w->LocalOffsetOverride, 5.75);
    EXPECT_EQ(w->TimeServer, "ntp.example");
    EXPECT_EQ(w->ConnectionType, 1);
    EXPECT_EQ(Status(), "Lan Connection");
    EXPECT_TRUE(w->Action("mi_SyncTimeNow")->isEnabled());
    EXPECT_TRUE(w->Action("sb_Prefs")->isEnabled());
    EXPECT_EQ(Count("HXM_LoadRASPhoneBook"), 1u);
}

TEST_F(MainSyncTest, PrefsCancelLeavesPrefsButReconcilesLinkhold) {
    w->ConnectionType = 0;
    w->WMConnectionState();
    store.SetValue(CU, "SOFTWARE\\Horolux\\RAS", "NumEntries", V::FromInteger(2));
    store.SetValue(CU, "SOFTWARE\\Horolux\\RAS", "RasEntry0", V::FromString("Office"));
    store.SetValue(CU, "SOFTWARE\\Horolux\\RAS", "RasEntry1", V::FromString("Home"));
    linkholdRunning = true; // opening with dial-up asks the running one
    AnswerNextModal([&](QWidget* d) {
        EXPECT_TRUE(Find<QRadioButton>(d, "rg_ConnectionType_1")->isChecked());
        EXPECT_EQ(Find<QComboBox>(d, "cbRASEntry")->count(), 2);
        EXPECT_EQ(Find<QComboBox>(d, "cbRASEntry")->itemText(1), "Home");
        Find<QLineEdit>(d, "me_AutoDuration")->setText("01:00:00");
        Find<QRadioButton>(d, "rg_ConnectionType_0")->click();
        EXPECT_FALSE(w->Action("mi_SyncTimeNow")->isEnabled());
        linkholdRunning = false; // it ended on the request
        Find<QPushButton>(d, "CancelBtn")->click();
    });
    w->Action("sb_Prefs")->trigger();
    EXPECT_EQ(w->AutoSyncDuration, 600);
    EXPECT_EQ(w->ConnectionType, 0);
    EXPECT_EQ(Count("HXM_RASTerminateLINKHOLD"), 1u);
    // Dial-up is still in force: hxlinkhold is started again.
    EXPECT_EQ(WaitForArgs("hxlinkhold").size(), 1u);
    EXPECT_FALSE(w->Action("mi_SyncTimeNow")->isEnabled());
}

TEST_F(MainSyncTest, ClockBordersToggleNamesWhatItWillDo) {
    ASSERT_TRUE(w->ShowClockBorders);
    w->Action("smiClockBorders")->trigger();
    EXPECT_FALSE(w->ShowClockBorders);
    EXPECT_EQ(w->Action("smiClockBorders")->text(), "Show Clock Borders");
    w->Action("smiClockBorders")->trigger();
    EXPECT_EQ(w->Action("smiClockBorders")->text(), "Hide Clock Borders");
}

TEST_F(MainSyncTest, PrefsSyncNowRunsTheGate) {
    SetConnectionType(1);
    AnswerNextModal([&](QWidget* d) {
        auto* syncNow = Find<QPushButton>(d, "sb_SyncNow");
        EXPECT_TRUE(syncNow->isEnabled());
        syncNow->click();
        Find<QPushButton>(d, "CancelBtn")->click();
    });
    w->Action("sb_Prefs")->trigger();
    EXPECT_EQ(WaitForArgs("tickmatch"), Expected("time.nist.gov"));
}

TEST_F(MainSyncTest, AttemptAndSuccessPlayTheChosenSounds) {
    auto player = std::make_unique<TRecordingSoundPlayer>();
    TRecordingSoundPlayer& played = *player;
    ClockDisplayOf(*w).SetSoundPlayer(std::move(player));
    w->PlayConnectSound = true;
    w->ConnectSound = "sounds/connect.wav";
    w->PlaySyncSound = true;
    w->SyncSound = "sounds/sync.wav";
    SetConnectionType(1);
    w->SyncTime();
    WaitForArgs("tickmatch");
    Receive("HXM_SyncAttempt");
    Receive("HXM_SyncSuccess");
    std::vector<std::string> sounds;
    for (const auto& e : played.Played)
        sounds.push_back(e.Sound);
    EXPECT_EQ(sounds, (std::vector<std::string>{"sounds/connect.wav", "sounds/sync.wav"}));

    played.Played.clear();
    w->PlayConnectSound = false;
    w->PlaySyncSound = false;
    w->SyncTime();
    WaitForArgs("tickmatch");
    Receive("HXM_SyncAttempt");
    Receive("HXM_SyncSuccess");
    EXPECT_TRUE(played.Played.empty());
}
