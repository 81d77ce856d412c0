// The real tickmatch, started by "S&ync Time Now!" on private buses, sets the
// clock through the fake time service; its success reloads an open drift
// chart with the line it logged.
#include "tickmatch/tests/BusWatch.h"
#include "tickmatch/tests/EnvScope.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestProcess.h"
#include "tickmatch/tests/TestServers.h"

#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "platform/qt/HXBus.h"
#include "platform/qt/Launch.h"
#include "tools/DriftChart.h"
#include "tools/F_SysTimeInfo.h"
#include "tools/TimeTools.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QScatterSeries>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>

namespace {

class DriftRoad : public ::testing::Test, protected TBusWatch {
protected:
    void SetUp() override {
        TestApp();
        Dir = MakeTempDir("drift-road");
        ASSERT_FALSE(Dir.empty());
        std::filesystem::create_directories(Dir + "/suite");
        std::filesystem::create_directories(Dir + "/xdg");
        std::filesystem::copy_file(HX_SUITE_DIR "/tickmatch", Dir + "/suite/tickmatch");
        ASSERT_TRUE(StartBuses(Dir, "driftroad"));
        ASSERT_TRUE(Service.Start(SystemBus.Address(), Dir + "/calls", "accept"));
    }
    void TearDown() override {
        if (Transport) BroadcastHXMessage(HXM_TerminateTickmatch);
        StopListening();
        RemoveTree(Dir);
    }
    std::string Dir;
    TFakeTimeService Service;
};

} // namespace

TEST_F(DriftRoad, ASyncSuccessReloadsTheOpenChart) {
    TTestTimeServer server;
    server.ServerTime = [] { return NowUTC() + EncodeTime(0, 10, 0, 0); };
    ASSERT_TRUE(server.Start(TTestTimeServer::TKind::Time));
    TEnvScope session("DBUS_SESSION_BUS_ADDRESS", SessionBus.Address());
    TEnvScope system("DBUS_SYSTEM_BUS_ADDRESS", SystemBus.Address());
    TEnvScope port("HX_TICKMATCH_TEST_PORT", std::to_string(server.Port()));
    TEnvScope xdg("XDG_DATA_HOME", Dir + "/xdg");
    // One earlier attempt in the log.
    std::ofstream(Dir + "/suite/hxsynclog.hxd", std::ios::binary)
        << "SYNC-ATTEMPT\tHost: x\tDec-08-2026 02:45:45\tFAIL: Response From Time Server Timed Out\r\n";

    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    TTrayIcon::SetNotificationAreaOverride(true);
    SetCompanionDirectory(Dir + "/suite");
    THXMemoryPrefsStore store;
    SetQuietLanSyncPrefs(store);
    {
        QuietClocks w(store);
        THXMainWindowService service([] {}, *Bus);
        ASSERT_EQ(service.Claim(), TBusNameClaim::Claimed);
        InstallTimeTools(w, w.WindowServices());
        w.SplashDelayMs = 0;
        w.FormCreate("/nonexistent", {"-datadir", Dir + "/suite"});

        w.Action("sb_SysTimeInfo")->trigger();
        auto* info = qobject_cast<TFSysTimeInfo*>(w.ToolWindow(TToolWindow::SysTimeInfo));
        ASSERT_TRUE(info);
        info->findChild<QPushButton*>("sb_Drift")->click();
        TFSystemDrift* drift = info->DriftWindow;
        ASSERT_TRUE(drift);
        auto entries = [drift] { return drift->findChild<QLabel*>("l_NumLogEntries")->text().toStdString(); };
        EXPECT_EQ(entries(), "1");
        EXPECT_EQ(drift->Chart()->DriftData->count(), 0);

        w.Action("mi_SyncTimeNow")->trigger();
        QElapsedTimer t;
        t.start();
        while (entries() != "2" && t.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_EQ(entries(), "2") << ::testing::PrintToString(Heard);
        EXPECT_EQ(drift->findChild<QLabel*>("l_SuccessRate")->text().toStdString(), "50%");
        // The server was ten minutes ahead: one point, about ten minutes of drift.
        ASSERT_EQ(drift->Chart()->DriftData->count(), 1);
        EXPECT_NEAR(drift->Chart()->DriftData->at(0).y() * 1440, -10, 0.2);
        EXPECT_TRUE(presenter.Texts.empty()) << ::testing::PrintToString(presenter.Texts);
    }
    SetCompanionDirectory({});
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    SetMessagePresenter(nullptr);
}
