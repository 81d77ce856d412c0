// The dial-up road with the real programs on private buses: horolux starts
// hxlinkhold, which dials through a fake pon that brings a fake ppp0 up, the
// real tickmatch syncs with a server of the test's own, and the fake poff
// takes the link down again. No test dials: peers, pon, poff and interfaces
// are the test's own.
#include "tickmatch/tests/BusWatch.h"
#include "tickmatch/tests/TestProcess.h"
#include "tickmatch/tests/TestServers.h"

#include "clockapp/MainWindow.h"
#include "clockapp/Prefs.h"
#include "clockapp/state/RegistryPrefsStore.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"
#include "linkhold/tests/TestApp.h"
#include "platform/keystore/Registry.h"
#include "platform/qt/HXBus.h"
#include "platform/qt/Launch.h"
#include "timemodel/HXString.h"
#include "timemodel/HX_messages.h"

#include <QAction>
#include <QComboBox>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QElapsedTimer>
#include <QStatusBar>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <signal.h>
#include <stdlib.h>

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

constexpr const char* kPassword = "Zq7-secret";

const char* kPon = R"(#!/bin/sh
r="$FAKE_PPP_RECORD"
printf '%s\n' "$@" >> "$r/pon.args"
env > "$r/pon.env"
prev=""
for a in "$@"; do
  if [ "$prev" = passwordfd ]; then
    case "$a" in *[!0-9]*|"") ;; *) eval "cat <&$a" > "$r/pon.password" ;; esac
  fi
  prev="$a"
done
mkdir -p "$HOROLUX_NET_CLASS_DIR/ppp0"
printf '0x10d1\n' > "$HOROLUX_NET_CLASS_DIR/ppp0/flags.new"
mv "$HOROLUX_NET_CLASS_DIR/ppp0/flags.new" "$HOROLUX_NET_CLASS_DIR/ppp0/flags"
)";

const char* kPoff = R"(#!/bin/sh
printf '%s\n' "$@" >> "$FAKE_PPP_RECORD/poff.args"
rm -rf "$HOROLUX_NET_CLASS_DIR/ppp0"
)";

class LinkholdRoad : public ::testing::Test, protected TBusWatch {
protected:
    void SetUp() override {
        TestApp();
        Dir = MakeTempDir("linkhold-road");
        ASSERT_FALSE(Dir.empty());
        Suite = Dir + "/suite";
        for (const char* d : {"suite", "ks", "xdg", "peers", "net/lo", "bin", "record"})
            fs::create_directories(Dir + "/" + d);
        for (const char* p : {"horolux", "tickmatch", "hxlinkhold"})
            fs::copy_file(std::string(HX_SUITE_DIR "/") + p, Suite + "/" + p);
        for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd"})
            fs::copy_file(std::string(HX_SUITE_DIR "/") + f, Suite + "/" + f);
        for (const char* f : {"hxalarms.hxd", "hxdayloom.hxd"})
            std::ofstream(Suite + "/" + f);
        std::ofstream(Dir + "/net/lo/flags") << "0x49\n";
        std::ofstream(Dir + "/peers/Office") << "noauth\nplugin passwordfd.so\n";
        std::ofstream(Dir + "/peers/Home") << "noauth\n";
        for (const char* hostile : {".hidden", "-x", "Office.bak", "with blank"})
            std::ofstream(Dir + "/peers/" + hostile) << "noauth\n";
        std::ofstream(Dir + "/bin/pon") << kPon;
        std::ofstream(Dir + "/bin/poff") << kPoff;
        fs::permissions(Dir + "/bin/pon", fs::perms::owner_all);
        fs::permissions(Dir + "/bin/poff", fs::perms::owner_all);
        // An earlier, longer export whose tail stays.
        std::ofstream(Dir + "/ks/HKEY_CURRENT_USER.reg")
            << "REGEDIT4\n\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\n"
               "\"FirstRun\"=dword:00000000\n"
               "\"InstallUpgrade\"=dword:00000000\n"
               "\"CheckForUpgrades\"=dword:00000000\n"
               "\"ShowSplash\"=dword:00000000\n"
               "\"PlayConnectSound\"=dword:00000000\n"
               "\"PlaySyncSound\"=dword:00000000\n"
               "\"CycleTimeServers\"=dword:00000000\n"
               "\"ConnectionType\"=hex:00\n"
               "\"ConnectIfRequired\"=dword:00000001\n"
               "\"SetTimeAtStartup\"=dword:00000001\n"
               "\"KeepSyncLog\"=dword:00000000\n"
               "\"WarnLargeSync\"=dword:00000000\n"
               "\"NTPProtocol\"=dword:00000001\n"
               "\"TimeServer\"=\"127.0.0.1\"\n"
               "\"RASServer\"=\"Office\"\n"
               "\"RASUserName\"=\"ann\"\n"
               "\"RASPassword\"=\""
            << ScramblePassword(kPassword)
            << "\"\n\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\RAS]\n"
               "\"NumEntries\"=dword:00000003\n"
               "\"RasEntry0\"=\"old0\"\n\"RasEntry1\"=\"old1\"\n\"RasEntry2\"=\"old2\"\n";
        ASSERT_TRUE(StartBuses(Dir, "linkhold-road"));
        ASSERT_TRUE(Service.Start(SystemBus.Address(), Dir + "/calls", "accept"));
    }
    void TearDown() override {
        if (Transport) BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
        Horolux.Stop();
        for (TChildProcess& l : Linkholds)
            l.Stop();
        StopListening();
        RemoveTree(Dir);
    }
    Strings Env(uint16_t port = 0) const {
        return {"DBUS_SESSION_BUS_ADDRESS=" + SessionBus.Address(),
                "DBUS_SYSTEM_BUS_ADDRESS=" + SystemBus.Address(),
                "HX_TICKMATCH_TEST_PORT=" + std::to_string(port),
                "HOROLUX_KEYSTORE_DIR=" + Dir + "/ks",
                "XDG_DATA_HOME=" + Dir + "/xdg",
                "QT_QPA_PLATFORM=offscreen",
                "HOROLUX_PPP_PEERS_DIR=" + Dir + "/peers",
                "HOROLUX_PON=" + Dir + "/bin/pon",
                "HOROLUX_POFF=" + Dir + "/bin/poff",
                "HOROLUX_NET_CLASS_DIR=" + Dir + "/net",
                "FAKE_PPP_RECORD=" + Dir + "/record"};
    }
    bool WaitUntil(const std::function<bool()>& done) { return PumpUntil(done, 30000); }
    bool LinkholdOwned() { return IsBusNameOwned(QString::fromLatin1(HXLinkholdBusName), *Bus); }

    std::string Dir, Suite;
    TFakeTimeService Service;
    TChildProcess Horolux;
    TChildProcess Linkholds[3];
};

} // namespace

TEST_F(LinkholdRoad, HoroluxDialsForTheStartUpSyncAndHangsUpAfterIt) {
    TTestTimeServer server;
    server.ServerTime = [] { return NowUTC() + EncodeTime(0, 10, 0, 0); };
    ASSERT_TRUE(server.Start(TTestTimeServer::TKind::Time));
    ASSERT_TRUE(Horolux.Start({Suite + "/horolux"}, Env(server.Port())));
    ASSERT_TRUE(WaitFor("HXM_SyncSuccess")) << ::testing::PrintToString(Heard);
    ASSERT_TRUE(WaitFor("HXM_RASDisconnected", 2)) << ::testing::PrintToString(Heard);

    Strings road;
    for (const std::string& e : Heard)
        if (e != "HXM_TerminateTickmatch") road.push_back(e);
    EXPECT_EQ(road,
              (Strings{"HXM_RASPhoneBookLoaded", "HXM_RASDisconnected", "HXM_RASDialRequest",
                       "HXM_RASConnected", "HXM_SyncAttempt", "TimeChanged", "HXM_SyncSuccess",
                       "HXM_RASDisconnectRequest", "HXM_RASDisconnected"}));
    EXPECT_NE(Service.Calls().find("SetTime "), std::string::npos) << Service.Calls();

    // pon got the entry, the user and a descriptor holding the password;
    // poff the entry. The password is nowhere else.
    const std::string args = ReadFile(Dir + "/record/pon.args");
    EXPECT_EQ(args.rfind("Office\nuser\nann\npasswordfd\n", 0), 0u) << args;
    EXPECT_EQ(ReadFile(Dir + "/record/pon.password"), kPassword);
    EXPECT_EQ(ReadFile(Dir + "/record/pon.env").find(kPassword), std::string::npos);
    EXPECT_EQ(ReadFile(Dir + "/record/poff.args"), "Office\n");
    EXPECT_FALSE(fs::exists(Dir + "/net/ppp0"));

    // The phone book as the preferences read it; the old tail stays.
    {
        setenv("HOROLUX_KEYSTORE_DIR", (Dir + "/ks").c_str(), 1);
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyReadOnly("\\SOFTWARE\\Horolux\\RAS"));
        EXPECT_EQ(reg.ReadInteger("NumEntries"), 2);
        EXPECT_EQ(reg.ReadString("RasEntry0") + " " + reg.ReadString("RasEntry1") + " " +
                      reg.ReadString("RasEntry2"),
                  "Home Office old2");
        unsetenv("HOROLUX_KEYSTORE_DIR");
    }

    // horolux's exit ends hxlinkhold.
    EXPECT_TRUE(LinkholdOwned());
    Horolux.Stop();
    EXPECT_TRUE(WaitUntil([&] { return !LinkholdOwned(); }));
    EXPECT_EQ(Horolux.Output().find(kPassword), std::string::npos);
}

TEST_F(LinkholdRoad, ASecondCopyEndsQuietlyAndOneStartedAfterTheEndTakesOver) {
    // horolux as far as hxlinkhold can tell.
    THXMainWindowService mainWindow([] {}, *Bus);
    ASSERT_EQ(mainWindow.Claim(), TBusNameClaim::Claimed);
    ASSERT_TRUE(Linkholds[0].Start({Suite + "/hxlinkhold"}, Env()));
    ASSERT_TRUE(WaitFor("HXM_RASDisconnected")) << ::testing::PrintToString(Heard);
    EXPECT_EQ(Count("HXM_RASPhoneBookLoaded"), 1u);

    ASSERT_TRUE(Linkholds[1].Start({Suite + "/hxlinkhold"}, Env()));
    EXPECT_EQ(Linkholds[1].Wait(30000), 0);
    EXPECT_EQ(Linkholds[1].Output(), "");
    // Everything still on the bus arrives before the end of a round trip.
    BroadcastHXMessage(HXM_RASInquiry);
    ASSERT_TRUE(WaitFor("HXM_RASDisconnected", 2));
    EXPECT_EQ(Count("HXM_RASPhoneBookLoaded"), 1u);
    EXPECT_EQ(Count("HXM_RASDisconnected"), 2u);

    BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
    ASSERT_TRUE(Linkholds[2].Start({Suite + "/hxlinkhold"}, Env()));
    EXPECT_EQ(Linkholds[0].Wait(30000), 0);
    ASSERT_TRUE(WaitFor("HXM_RASPhoneBookLoaded", 2)) << ::testing::PrintToString(Heard);
    ASSERT_TRUE(WaitFor("HXM_RASDisconnected", 3));
    EXPECT_TRUE(LinkholdOwned());
    BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
    EXPECT_EQ(Linkholds[2].Wait(30000), 0);
}

namespace {

// Sets an environment variable of this process (and so of what the window
// starts) and puts back what was there before.
class TEnv {
public:
    explicit TEnv(const std::string& entry) : Name(entry.substr(0, entry.find('='))) {
        if (const char* old = std::getenv(Name.c_str())) Old = old;
        ::setenv(Name.c_str(), entry.substr(Name.size() + 1).c_str(), 1);
    }
    ~TEnv() {
        if (Old)
            ::setenv(Name.c_str(), Old->c_str(), 1);
        else
            ::unsetenv(Name.c_str());
    }

private:
    std::string Name;
    std::optional<std::string> Old;
};

} // namespace

// The same line seen in the window: its connect item dials and hangs up
// through the real hxlinkhold it started, and the preferences list the peers.
TEST_F(LinkholdRoad, TheWindowFollowsTheLineItsConnectItemDialsAndHangsUp) {
    std::vector<std::unique_ptr<TEnv>> env;
    for (const std::string& e : Env())
        env.push_back(std::make_unique<TEnv>(e));
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Horolux\\Prefs", false));
        reg.WriteInteger("SetTimeAtStartup", 0);
        reg.WriteInteger("ConnectIfRequired", 0);
        reg.WriteInteger("SyncOnConnect", 0);
    }
    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    TTrayIcon::SetNotificationAreaOverride(true);
    SetCompanionDirectory(Suite);
    {
        THXRegistryPrefsStore store;
        QuietClocks w(store);
        // hxlinkhold looks for horolux by the main window's bus name.
        THXMainWindowService service([] {}, *Bus);
        ASSERT_EQ(service.Claim(), TBusNameClaim::Claimed);
        std::vector<std::string> statuses;
        QObject::connect(w.findChild<QStatusBar*>("sbMainStatusBar"), &QStatusBar::messageChanged,
                         [&](const QString& t) {
                             if (!t.isEmpty()) statuses.push_back(t.toStdString());
                         });
        w.SplashDelayMs = 0;
        w.FormCreate("/nonexistent", {"-datadir", Suite});
        QAction* syncNow = w.Action("mi_SyncTimeNow");
        QAction* connectItem = w.Action("mi_DialOrDisconnect");
        ASSERT_TRUE(syncNow && connectItem);
        struct TStep {
            const char* status;
            bool syncEnabled;
            const char* caption;
        };
        const TStep steps[] = {{"Disconnected", false, "Connect"},
                               {"Connected", true, "Disconnect"},
                               {"Disconnected", false, "Connect"}};
        for (const TStep& s : steps) {
            if (&s != steps) connectItem->trigger();
            ASSERT_TRUE(WaitUntil([&] { return w.StatusText() == s.status; }))
                << s.status << " " << ::testing::PrintToString(Heard);
            EXPECT_EQ(syncNow->isEnabled(), s.syncEnabled) << s.status;
            EXPECT_EQ(connectItem->text().toStdString(), s.caption) << s.status;
        }
        EXPECT_EQ(statuses, (Strings{"Disconnected", "Connected", "Disconnected"}));
        EXPECT_EQ(Count("HXM_RASDialRequest") + Count("HXM_RASDisconnectRequest"), 2u);

        // A preferences dialog asks for a fresh phone book and lists it.
        TF_hxPrefs prefs(w);
        auto* entries = prefs.findChild<QComboBox*>("cbRASEntry");
        ASSERT_NE(entries, nullptr);
        ASSERT_TRUE(WaitFor("HXM_RASPhoneBookLoaded", 2));
        ASSERT_TRUE(WaitUntil([&] { return entries->count() == 2; }));
        EXPECT_EQ(entries->itemText(0).toStdString() + " " + entries->itemText(1).toStdString(),
                  "Home Office");
        EXPECT_TRUE(presenter.Texts.empty()) << ::testing::PrintToString(presenter.Texts);
        BroadcastHXMessage(HXM_RASTerminateLINKHOLD);
        EXPECT_TRUE(WaitUntil([&] { return !LinkholdOwned(); }));
    }
    SetCompanionDirectory({});
    TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    SetMessagePresenter(nullptr);
}

namespace {

// Whether the process has ended: gone, or a zombie nobody has reaped yet.
bool ProcessEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    const size_t paren = line.rfind(')');
    return paren == std::string::npos || line.compare(paren, 3, ") Z") == 0;
}

} // namespace

// horolux killed outright says nothing; hxlinkhold ends all the same, at
// once, when horolux's name leaves the bus.
TEST_F(LinkholdRoad, HxlinkholdEndsWithinTwoSecondsOfHoroluxBeingKilled) {
    {
        TEnv keystore("HOROLUX_KEYSTORE_DIR=" + Dir + "/ks");
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Horolux\\Prefs", false));
        reg.WriteInteger("SetTimeAtStartup", 0);
    }
    ASSERT_TRUE(Horolux.Start({Suite + "/horolux"}, Env()));
    ASSERT_TRUE(WaitFor("HXM_RASDisconnected")) << ::testing::PrintToString(Heard);
    ASSERT_TRUE(LinkholdOwned());
    const QDBusReply<uint> pid = Bus->interface()->servicePid(QString::fromLatin1(HXLinkholdBusName));
    ASSERT_TRUE(pid.isValid());

    ASSERT_EQ(::kill(Horolux.Pid(), SIGKILL), 0);
    QElapsedTimer since;
    since.start();
    EXPECT_TRUE(PumpUntil([&] { return !LinkholdOwned() && ProcessEnded(pid_t(pid.value())); }, 2000))
        << "hxlinkhold still runs " << since.elapsed() << " ms after horolux was killed";
    EXPECT_LT(since.elapsed(), 2000);
    // (horolux's output ends only when hxlinkhold, which shares it, has ended too.)
    if (ProcessEnded(pid_t(pid.value()))) {
        EXPECT_EQ(Horolux.Wait(5000), 128 + SIGKILL);
    }
}
