// "Check for Upgrade" from the main window's menu against a local update page
// offering newer location data: download, hand-over and merge into the list.
#include "TestApp.h"

#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/UpdateHost.h"
#include "net/http/tests/FakeWebUI.h"
#include "net/http/tests/HttpTestSupport.h"
#include "net/http/tests/ScriptedPeer.h"

#include <QAction>
#include <cctype>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using P = TScriptedPeer;
using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

// The window with its own dialogs answered from lists.
class AnsweringClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;
    std::vector<std::string> Messages;
    std::deque<bool> Confirms;
    TAnswer MergeAnswer = TAnswer::Yes;
    int Activations = 0;

protected:
    void ShowError(const std::string& t) override { Messages.push_back("error:" + t); }
    void ShowInfo(const std::string& t) override { Messages.push_back("info:" + t); }
    void ShowErrorCode(int c) override { Messages.push_back("code:" + std::to_string(c)); }
    TAnswer AskYesNoCancel(const std::string& t) override {
        Messages.push_back("ask:" + t);
        return MergeAnswer;
    }
    bool ConfirmYes(const std::string& t) override {
        Messages.push_back("confirm:" + t);
        if (Confirms.empty()) return false;
        const bool a = Confirms.front();
        Confirms.pop_front();
        return a;
    }
    void AutoSyncTime() override {}
    void ActivateLinkhold() override {}
    bool ActivateTimeZoneManager() override {
        ++Activations;
        return true;
    }
};

std::string Meta(const std::string& tag, const std::string& value) {
    return "<META HTTP-EQUIV=\"" + tag + "\" CONTENT=\"" + value + "\">\r\n";
}

std::string Loc(const std::string& name, double offset) {
    TTimeLocation l;
    l.Name = name;
    l.StdOffset = offset;
    return l.LocationDataStr('\t');
}

std::vector<std::string> Names(const TF_clocks& w) {
    std::vector<std::string> names;
    for (const auto& l : w.StandardLocations)
        names.push_back(l->Name);
    return names;
}

class UpdateCheckTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        InstallTestConnections();
        TTrayIcon::SetNotificationAreaOverride(true);
        store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "InstallUpgrade", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
        data = fs::path(dir.path().toStdString());
        std::ofstream(data / "hxzones.hxd", std::ios::binary) << "VERSION:\t5.0\r\n"
                                                              << Loc("Rome", 1) << "\r\n";
        ui.Temp = data.string();
    }
    void TearDown() override { TTrayIcon::SetNotificationAreaOverride(std::nullopt); }

    std::unique_ptr<AnsweringClocks> Start() {
        auto w = std::make_unique<AnsweringClocks>(store);
        w->SplashDelayMs = 0;
        w->FormCreate("/nonexistent", {"-datadir", data.string()});
        w->Messages.clear();
        w->UpdateCheck().UseUI(&ui);
        w->UpdateCheck().Commands().WebServer = "http://127.0.0.1:" + std::to_string(peer.Port());
        return w;
    }

    QTemporaryDir dir;
    fs::path data;
    THXMemoryPrefsStore store;
    TFakeWebUI ui;
    P peer;
};

} // namespace

TEST_F(UpdateCheckTest, MenuCommandDownloadsNewerLocationsIntoTheList) {
    auto w = Start();
    ASSERT_EQ(w->LocationDataVersion, "5.0");
    const std::string body = "VERSION:\t5.1\r\n" + Loc("Adelaide", 9.5) + "\r\n";
    const std::string page = "<html><head>\r\n" + Meta("hx_HXPoductName", "Horolux") +
                             Meta("hx_HXVersion", w->CurrentVersion) +
                             Meta("hxLPoductName", "Horolux Locations") +
                             Meta("hxLVersion", "5.1") +
                             Meta("hxLDownlaod", peer.Url("/hx/update/files/hxzones_5_1.hxd")) +
                             "</head><body>updates</body></html>\r\n";
    for (int i = 0; i < 2; ++i) // program check, then location check
        peer.Add(
            {P::Send("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + page), P::Close()});
    peer.Add({P::Send("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\n\r\n" + body),
              P::Close()});
    w->Confirms = {true}; // install it

    QAction* item = w->Action("miCheckForUpgrade");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "Check for Upgrade");
    item->trigger();

    ASSERT_GE(w->Messages.size(), 3u);
    EXPECT_EQ(w->Messages[0], "confirm:An Upgrade to Horolux Locations 5.1 is available.\n\rWould "
                              "you like to install it?")
        << "the program is current: only the install question";
    EXPECT_EQ(w->Messages[1].rfind("ask:New Horolux locations were detected.", 0), 0u);
    EXPECT_EQ(w->Messages.back(), "info:Location Merge Complete!\n\r1 new locations were added");
    EXPECT_EQ(w->Activations, 1);
    EXPECT_EQ(ui.Captions, std::vector<std::string>{"Downloading Update"});
    EXPECT_EQ(Names(*w), (std::vector<std::string>{"Adelaide", "Rome"}));
    EXPECT_FALSE(fs::exists(data / "NEW_hxzones.hxd"));
    EXPECT_FALSE(fs::exists(data / "hxzones.new"));
    std::ifstream in(data / "hxzones.hxd", std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(saved.find("Adelaide"), std::string::npos) << "the merged list is written";
    EXPECT_EQ(peer.Requests().size(), 3u);
}

TEST_F(UpdateCheckTest, NothingNewEndsWithMessage63) {
    auto w = Start();
    const std::string page = "<html>\r\n" + Meta("hx_HXVersion", w->CurrentVersion) +
                             Meta("hxLVersion", "5.0") + "</html>\r\n";
    for (int i = 0; i < 2; ++i)
        peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\n" + page), P::Close()});
    w->Action("miCheckForUpgrade")->trigger();
    EXPECT_EQ(w->Messages, std::vector<std::string>{"code:63"});
    EXPECT_EQ(Names(*w), std::vector<std::string>{"Rome"});
}

// Offline, the menu command and the check offered after an install say only
// that the check failed: never that the data or the program is current.
TEST_F(UpdateCheckTest, FailedCheckNeverSaysNothingIsNew) {
    int closed;
    {
        P gone;
        closed = gone.Port();
    }
    const std::vector<std::pair<std::string, std::string>> servers = {
        {"http://no-such-host.invalid", "can't resolve hostname to IP address"},
        {"http://127.0.0.1:" + std::to_string(closed), "Connection refused"}};
    for (const auto& [server, reason] : servers) {
        for (const bool afterInstall : {false, true}) {
            auto w = Start();
            w->UpdateCheck().Commands().WebServer = server;
            ui.Shown.clear();
            if (afterInstall) {
                w->InstallUpgrade = true;
                w->Confirms = {true}; // check the location data now
                w->FormActivate();
            } else {
                w->Action("miCheckForUpgrade")->trigger();
            }
            std::string all;
            for (const auto& m : w->Messages)
                all += m + "\n";
            for (const auto& m : ui.Shown)
                all += m + "\n";
            const std::string what =
                server + (afterInstall ? " after install" : " menu") + ":\n" + all;
            EXPECT_EQ(all.find("most recent"), std::string::npos) << what;
            EXPECT_EQ(all.find("code:63"), std::string::npos) << what;
            // One failure, one box: what was checked, why it failed, and
            // that nothing changed.
            EXPECT_TRUE(ui.Shown.empty()) << what;
            ASSERT_EQ(w->Messages.size(), afterInstall ? 2u : 1u) << what;
            const std::string& box = w->Messages.back();
            const std::string start = afterInstall ? "error:Could not check for new locations: "
                                                   : "error:The check for upgrades failed.\n\r";
            EXPECT_EQ(box.rfind(start, 0), 0u) << what;
            std::string said = reason;
            if (!afterInstall) said[0] = char(std::toupper(static_cast<unsigned char>(said[0])));
            EXPECT_NE(box.find(said), std::string::npos) << what;
            EXPECT_NE(box.find("Nothing was changed."), std::string::npos) << what;
        }
    }
}
