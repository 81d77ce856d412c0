// "Check for Upgrade" end to end: a local update page served by a real HTTP
// server (Python's, started and stopped here) or by the scripted peer.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <filesystem>
#include <fstream>

#include "net/http/HttpClient.h"
#include "net/http/UpdateCheckCommands.h"
#include "net/http/tests/FakeWebUI.h"
#include "net/http/tests/HttpTestSupport.h"
#include "net/http/tests/ScriptedPeer.h"

namespace fs = std::filesystem;
using P = TScriptedPeer;

namespace {

// The main window as the commands see it. The merge hook does what the
// stored-state code does first: the waiting download becomes "hxzones.new".
class TFakeHost : public IUpdateCheckHost {
public:
    std::string Version = "2.1.0", DataVersion = "5.0", Dir;
    bool ManagerActive = true, ActivateAnswer = false;
    std::deque<bool> Answers;
    std::vector<std::string> Questions, Errors, WebPages;
    std::vector<int> Codes;
    int Checks = 0, Merges = 0;
    bool FoundNewFile = false;

    bool UseProxySettings() override { return false; }
    std::string ProxyServer() override { return ""; }
    std::string HTTPProxyPort() override { return "80"; }
    std::string CurrentVersion() override { return Version; }
    std::string LocationDataVersion() override { return DataVersion; }
    std::string DataDirectory() override { return Dir; }
    bool ConfirmYes(const std::string& text) override {
        Questions.push_back(text);
        if (Answers.empty()) return false;
        const bool a = Answers.front();
        Answers.pop_front();
        return a;
    }
    void ShowErrorCode(int code) override { Codes.push_back(code); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
    void OpenWebPage(const std::string& url) override { WebPages.push_back(url); }
    bool LocationManagerActive() override { return ManagerActive; }
    bool ActivateTimeZoneManager() override { return ActivateAnswer; }
    bool CheckNewLocations() override {
        ++Checks;
        const fs::path dl = fs::path(Dir) / "NEW_hxzones.hxd",
                       waiting = fs::path(Dir) / "hxzones.new";
        if (fs::exists(dl)) fs::rename(dl, waiting);
        FoundNewFile = fs::exists(waiting);
        return FoundNewFile;
    }
    void MergeNewLocations() override { ++Merges; }
};

std::string Meta(const std::string& tag, const std::string& value) {
    return "<META HTTP-EQUIV=\"" + tag + "\" CONTENT=\"" + value + "\">\n";
}

class UpdateCommandsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "update_commands_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        InstallTestConnections();
    }
    void SetUp() override {
        root = fs::temp_directory_path() /
               ("hx_upd_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
                std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "web" / "hx" / "update");
        fs::create_directories(root / "data");
        host.Dir = (root / "data").string();
        ui.Temp = root.string();
    }
    void TearDown() override { fs::remove_all(root); }

    void WritePage(const std::string& metas) {
        std::ofstream(root / "web" / "hx" / "update" / "index.html")
            << "<html><head>\n"
            << metas << "</head><body>Horolux updates</body></html>\n";
    }
    std::vector<std::string> DataFiles() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(root / "data"))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path root;
    TFakeHost host;
    TFakeWebUI ui;
    TWebFileInfo wfiWebUpdate{&ui};
    TUpdateCheckCommands commands{&host, &wfiWebUpdate};
};

const std::string programTags = Meta("hx_HXPoductName", "Horolux") + Meta("hx_HXVersion", "2.1.0");

} // namespace

TEST_F(UpdateCommandsTest, NewerLocationDataIsDownloadedAndReachesTheMerge) {
    fs::create_directories(root / "web" / "hx" / "update" / "files");
    std::ofstream(root / "web" / "hx" / "update" / "files" / "hxzones_5_1.hxd")
        << "VERSION:\t5.1\n";
    TPythonServer server(root / "web");
    ASSERT_NE(server.Port(), 0) << "python3 -m http.server did not start";
    WritePage(programTags + Meta("hxLPoductName", "Horolux Locations") + Meta("hxLVersion", "5.1") +
              Meta("hxLDownlaod", server.Base() + "/hx/update/files/hxzones_5_1.hxd"));
    commands.WebServer = server.Base();
    host.Answers = {true};

    commands.miCheckForUpgradeClick();
    ASSERT_EQ(host.Questions.size(), 1u) << "the program question is not asked";
    EXPECT_EQ(host.Questions[0], "An Upgrade to Horolux Locations 5.1 is available.\n\rWould you "
                                 "like to install it?");
    EXPECT_EQ(ui.Captions, std::vector<std::string>{"Downloading Update"});
    EXPECT_EQ(host.Checks, 1);
    EXPECT_EQ(host.Merges, 1);
    EXPECT_EQ(DataFiles(), std::vector<std::string>{"hxzones.new"});
    std::ifstream in(root / "data" / "hxzones.new");
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "VERSION:\t5.1");
    EXPECT_TRUE(host.Codes.empty());
    EXPECT_TRUE(host.Errors.empty());
}

TEST_F(UpdateCommandsTest, NewerProgramOpensTheWebSite) {
    WritePage(Meta("hx_HXPoductName", "Horolux") + Meta("hx_HXVersion", "2.1.1") +
              Meta("hxLVersion", "9.9"));
    TPythonServer server(root / "web");
    ASSERT_NE(server.Port(), 0);
    commands.WebServer = server.Base();
    host.Answers = {true};
    EXPECT_TRUE(commands.CheckForProgramUpgrade());
    ASSERT_EQ(host.Questions.size(), 1u);
    EXPECT_EQ(host.Questions[0], "An Upgrade to Horolux 2.1.1 is available.\n\rWould you like to "
                                 "go to the Horolux web site now?");
    EXPECT_EQ(host.WebPages, std::vector<std::string>{server.Base() + "/hx"});
    EXPECT_EQ(host.Checks, 0);
}

TEST_F(UpdateCommandsTest, MainFormDefaults) {
    EXPECT_EQ(wfiWebUpdate.InfoTags.DownloadTag, "hx_HXdownload");
    EXPECT_EQ(wfiWebUpdate.Options(),
              wfioDisplayUI | wfioDisplayReadMe | wfioRunUpdate | wfioExitDuringUpdate);
    EXPECT_FALSE(wfiWebUpdate.UIOwnerFont);
    EXPECT_EQ(wfiWebUpdate.UIFont().Name, "System");
    EXPECT_EQ(wfiWebUpdate.UIFont().Height, -13);
}

TEST_F(UpdateCommandsTest, NothingNewerShowsMessage63AndNoDowngrade) {
    WritePage(Meta("hx_HXVersion", "2.0.9") + Meta("hxLVersion", "5"));
    TPythonServer server(root / "web");
    ASSERT_NE(server.Port(), 0);
    commands.WebServer = server.Base();
    host.Version = "2.0.10";
    host.DataVersion = "5.0.1";
    commands.miCheckForUpgradeClick();
    EXPECT_TRUE(host.Questions.empty());
    EXPECT_EQ(host.Codes, std::vector<int>{63});
}

// One failure, one box: the component's own report of the server's status;
// ours, naming the check, the reason and that nothing changed, for a failure
// of our own; never "You currently have the latest version".
TEST_F(UpdateCommandsTest, FailedCheckSaysSoOnceInsteadOfLatestVersion) {
    int unusedPort;
    {
        P closedPeer;
        unusedPort = closedPeer.Port();
    }
    TPythonServer server(root / "web");
    ASSERT_NE(server.Port(), 0);
    // A page that sends both checks to itself again and again.
    const std::string self = server.Base() + "/hx/update/index.html";
    WritePage(Meta("hx_HXRedirect", self) + Meta("hxLRedirect", self));
    const std::string refused = "http://127.0.0.1:" + std::to_string(unusedPort);
    struct TCase {
        std::string WebServer;
        bool LocationsOnly;
        std::string Shown; // the one box, "" when it is the component's
    };
    for (const TCase& c : {
             TCase{refused, false, "The check for upgrades failed.\n\rConnection refused"},
             TCase{refused, true, "Could not check for new locations: Connection refused"},
             TCase{server.Base(), false, "The check for upgrades failed.\n\rToo many redirects."},
             TCase{server.Base(), true, "Could not check for new locations: Too many redirects."},
             TCase{server.Base() + "/nowhere", true, ""},
         }) {
        const std::string what = c.WebServer + (c.LocationsOnly ? " locations" : " menu");
        host.Errors.clear();
        host.Codes.clear();
        ui.Shown.clear();
        commands.WebServer = c.WebServer;
        if (c.LocationsOnly) {
            EXPECT_FALSE(commands.CheckForLocationUpdate()) << what;
            EXPECT_TRUE(commands.CheckFailed()) << what;
            commands.ReportFailure();
        } else {
            commands.miCheckForUpgradeClick();
        }
        EXPECT_TRUE(host.Codes.empty()) << what;
        ASSERT_EQ(host.Errors.size() + ui.Shown.size(), 1u) << what;
        if (c.Shown.empty()) {
            EXPECT_EQ(ui.Shown[0], "msg|404") << what;
            continue;
        }
        ASSERT_EQ(host.Errors.size(), 1u) << what << ": " << ui.Shown[0];
        const std::string& shown = host.Errors[0];
        EXPECT_EQ(shown.rfind(c.Shown, 0), 0u)
            << "a local failure is named, not shown as the server status 404: " << shown;
        const std::string tail = "\n\rNothing was changed.";
        EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), tail.size())), tail) << shown;
    }
}

TEST_F(UpdateCommandsTest, DecliningStillOffersAWaitingFile) {
    WritePage(programTags + Meta("hxLVersion", "6") + Meta("hxLDownlaod", "http://127.0.0.1:1/x"));
    TPythonServer server(root / "web");
    ASSERT_NE(server.Port(), 0);
    commands.WebServer = server.Base();
    std::ofstream(root / "data" / "NEW_hxzones.hxd") << "from an earlier download\n";
    host.ManagerActive = false;
    host.ActivateAnswer = true;
    host.Answers = {false};
    EXPECT_TRUE(commands.CheckForLocationUpdate());
    EXPECT_EQ(host.Questions.size(), 1u);
    EXPECT_TRUE(ui.Captions.empty()) << "declined: nothing downloaded";
    EXPECT_EQ(host.Checks, 1);
    EXPECT_EQ(host.Merges, 1);
}

TEST_F(UpdateCommandsTest, BrokenDownloadNeverReachesTheMerge) {
    P peer;
    const std::string page = "<html>\r\n" + Meta("hxLVersion", "6") +
                             Meta("hxLDownlaod", peer.Url("/hx/../../hxclocks.hxd")) +
                             "</html>\r\n";
    for (int i = 0; i < 2; ++i) // program check, then location check
        peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\n" + page), P::Close()});
    peer.Add({P::Send("HTTP/1.0 200 OK\r\nContent-Length: 5000\r\n\r\nVERSION:\t6\n"), P::Close()});
    commands.WebServer = "http://127.0.0.1:" + std::to_string(peer.Port());
    std::ofstream(root / "data" / "hxclocks.hxd") << "my clocks\n";
    host.Answers = {true};
    commands.miCheckForUpgradeClick();
    EXPECT_EQ(host.Merges, 0);
    EXPECT_EQ(host.Checks, 1);
    EXPECT_EQ(DataFiles(), std::vector<std::string>{"hxclocks.hxd"})
        << "no partial file, and the page cannot name a data file to overwrite";
    ASSERT_EQ(host.Errors.size(), 1u);
    EXPECT_NE(host.Errors[0].find("Document incomplete"), std::string::npos);
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
              "GET /hx/update/index.html HTTP/1.0");
}
