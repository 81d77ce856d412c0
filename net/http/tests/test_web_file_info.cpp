#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "net/http/HttpClient.h"
#include "net/http/WebFileInfo.h"
#include "net/http/tests/FakeWebUI.h"
#include "net/http/tests/HttpTestSupport.h"
#include "net/http/tests/ScriptedPeer.h"

namespace fs = std::filesystem;
using P = TScriptedPeer;

namespace {

std::string Page(const std::vector<std::pair<std::string, std::string>>& tags) {
    std::string body = "<html><head>\r\n";
    for (const auto& [tag, value] : tags)
        body += "<META HTTP-EQUIV=\"" + tag + "\" CONTENT=\"" + value + "\">\r\n";
    body += "</head><body>update</body></html>\r\n";
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + body;
}

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

class WebFileInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "web_file_info_tests";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        InstallTestConnections();
    }
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("hx_wfi_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "_" +
               std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        ui.Temp = dir.string();
        wfi = std::make_unique<TWebFileInfo>(&ui);
        wfi->InfoTags.VersionTag = "hxLVersion";
        wfi->InfoTags.ProductNameTag = "hxLPoductName";
        wfi->InfoTags.DownloadTag = "hxLDownlaod";
        wfi->InfoTags.DateTag = "hxLDate";
        wfi->InfoTags.RedirectTag = "hxLRedirect";
        wfi->InfoTags.ReadMeTag = "hxLReadme";
        wfi->InfoTags.ReadMeExtTag = "hxLReadmeEX";
        wfi->CurrentVersion = "1.2";
    }
    void TearDown() override {
        wfi.reset();
        fs::remove_all(dir);
    }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
    TFakeWebUI ui;
    std::unique_ptr<TWebFileInfo> wfi;
};

} // namespace

TEST_F(WebFileInfoTest, HomeUrlAndOptionsWriters) {
    wfi->SetHomeURL("http://h/x.html");
    EXPECT_EQ(wfi->HomeURL(), "http://h/x.html");
    wfi->SetHomeURL("www.example.org/x.html");
    EXPECT_EQ(wfi->HomeURL(), "http://h/x.html") << "only http:// addresses are taken";
    wfi->SetHomeURL("HTTP://H/Y");
    EXPECT_EQ(wfi->HomeURL(), "HTTP://H/Y");
    wfi->SetOptions(wfioAlwaysOverwrite);
    EXPECT_EQ(wfi->Options(), wfioAlwaysOverwrite | wfioDisplayUI);
    EXPECT_EQ(TWebFileInfo(&ui).Options(), 30);
}

TEST_F(WebFileInfoTest, MissingAddressOrTagsFetchNothing) {
    EXPECT_FALSE(wfi->RetrieveInfo());
    ASSERT_EQ(ui.Shown.size(), 1u);
    EXPECT_EQ(ui.Shown[0], "Missing Home URL|Can not retrieve version information\rbecause no "
                           "home url was provided.");
    wfi->SetHomeURL("http://127.0.0.1:1/");
    wfi->InfoTags = {};
    wfi->InfoTags.AuthorEMailTag = "only this one";
    EXPECT_FALSE(wfi->RetrieveInfo());
    EXPECT_EQ(ui.Shown.back(), "Missing Tag Information|Can not retrieve version "
                               "information\rbecause no tag information was provided.");
    EXPECT_TRUE(ui.Waits.empty());
}

TEST_F(WebFileInfoTest, RetrieveFollowsTheRedirectTagAndReadsValues) {
    P peer;
    peer.Add({P::Send(Page({{"hxLRedirect", peer.Url("/real.html")}, {"hxLVersion", "0.1"}})),
              P::Close()});
    peer.Add({P::Send(Page({{"hxLVersion", "1.2.1"},
                            {"hxLPoductName", "Locations <b>2</b>"},
                            {"hxLDate", "Mar 15, 2001"},
                            {"hxLDownlaod", peer.Url("/dl/../../NEW_hxzones.hxd")}})),
              P::Close()});
    wfi->SetHomeURL(peer.Url("/hx/update/index.html"));
    EXPECT_TRUE(wfi->RetrieveInfo());
    EXPECT_TRUE(wfi->Active());
    EXPECT_EQ(wfi->ProductVersion(), "1.2.1");
    EXPECT_EQ(wfi->ProductName(), "Locations <b>2</b>");
    EXPECT_EQ(wfi->ProductDate(), EncodeDate(2001, 3, 15));
    EXPECT_EQ(wfi->DownloadFileName(), "NEW_hxzones.hxd");
    EXPECT_EQ(ui.Waits,
              (std::vector<std::string>{"Checking For Update...", "Checking For Update..."}));
    EXPECT_EQ(peer.Requests().size(), 2u);
    EXPECT_TRUE(wfi->IsUpdateAvailable()) << "1.2.1 is newer than 1.2";
    wfi->CurrentVersion = "1.2.1.0";
    EXPECT_FALSE(wfi->IsUpdateAvailable());
    // Active: the next call does not fetch again.
    EXPECT_TRUE(wfi->RetrieveInfo());
    EXPECT_EQ(peer.Requests().size(), 2u);
}

TEST_F(WebFileInfoTest, RedirectTagLoopEnds) {
    P peer;
    for (int i = 0; i < 10; ++i)
        peer.Add({P::Send(Page({{"hxLRedirect", peer.Url("/loop.html")}})), P::Close()});
    wfi->SetHomeURL(peer.Url("/loop.html"));
    EXPECT_FALSE(wfi->RetrieveInfo());
    EXPECT_FALSE(wfi->Active());
    EXPECT_EQ(peer.Requests().size(), 6u);
}

TEST_F(WebFileInfoTest, FailedFetchIsAFailure) {
    P peer;
    peer.Add({P::Send("HTTP/1.0 500 Server Error\r\n\r\n"), P::Close()});
    peer.Add(
        {P::Send("HTTP/1.0 200 OK\r\nContent-Length: 1000\r\n\r\n<META HTTP-EQUIV=\"hxLVersion\" "
                 "CONTENT=\"9.9\">\r\n"),
         P::Close()});
    wfi->SetHomeURL(peer.Url("/"));
    EXPECT_FALSE(wfi->RetrieveInfo());
    EXPECT_EQ(wfi->LastError(), "Server Error");
    EXPECT_EQ(ui.Shown.back(), "msg|500");
    EXPECT_FALSE(wfi->IsUpdateAvailable());

    EXPECT_FALSE(wfi->RetrieveInfo()) << "a cut-off page is not read";
    EXPECT_EQ(wfi->LastError(), "Document incomplete");
    EXPECT_EQ(wfi->ProductVersion(), "");
}

TEST_F(WebFileInfoTest, DownloadReplacesTheTargetOnlyWhenComplete) {
    P peer;
    const std::string data(100000, 'd');
    peer.Add({P::Send(Page({{"hxLVersion", "2.0"}, {"hxLDownlaod", peer.Url("/files/data.bin")}})),
              P::Close()});
    P::TScript dl = {P::Send("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n")};
    for (const auto& s : P::Trickle(data, 20000))
        dl.push_back(s);
    dl.push_back(P::Close());
    peer.Add(dl);
    wfi->SetHomeURL(peer.Url("/"));
    int progressCalls = 0;
    wfi->OnDownloadProgress = [&](TWebFileInfo*, int received, int size) {
        ++progressCalls;
        EXPECT_EQ(size, 100000);
        EXPECT_LE(received, size);
    };
    std::ofstream(dir / "data.bin") << "old";
    ASSERT_TRUE(wfi->DownloadUpdate(dir.string() + "/"));
    EXPECT_EQ(ReadFile(dir / "data.bin"), data);
    EXPECT_EQ(Entries(), 1u) << "no temporary file left";
    EXPECT_EQ(ui.Captions, std::vector<std::string>{"Downloading Update"});
    EXPECT_GT(progressCalls, 0);
    EXPECT_EQ(ui.ProgressTexts.back(), "100,000 of 100,000 bytes received.");
    ASSERT_FALSE(ui.Bar.empty());
    EXPECT_EQ(ui.Bar.back(), 100);
    EXPECT_TRUE(std::is_sorted(ui.Bar.begin(), ui.Bar.end()));
}

TEST_F(WebFileInfoTest, FailedOrErrorPageDownloadLeavesNothing) {
    P peer;
    peer.Add(
        {P::Send(Page({{"hxLVersion", "2.0"}, {"hxLDownlaod", peer.Url("/f.bin")}})), P::Close()});
    peer.Add({P::Send("HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n\r\n<html>no</html>"),
              P::Close()});
    peer.Add({P::Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"), P::Close()});
    wfi->SetHomeURL(peer.Url("/"));
    EXPECT_FALSE(wfi->DownloadUpdate((dir / "target.bin").string()));
    EXPECT_EQ(wfi->LastError(), "Not Found");
    EXPECT_EQ(Entries(), 0u);
    EXPECT_FALSE(wfi->DownloadUpdate((dir / "target.bin").string()));
    EXPECT_EQ(wfi->LastError(), "Document incomplete");
    EXPECT_EQ(Entries(), 0u);
}

TEST_F(WebFileInfoTest, CancelEndsTheDownloadAndLeavesNothing) {
    P peer;
    peer.Add(
        {P::Send(Page({{"hxLVersion", "2.0"}, {"hxLDownlaod", peer.Url("/f.bin")}})), P::Close()});
    // No Content-Length: the total shows as -1 and the bar never moves.
    peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\nfirst"), P::Pause(30), P::Send("second"), P::Hold()});
    wfi->SetHomeURL(peer.Url("/"));
    ui.CancelAfterChunks = 2;
    EXPECT_FALSE(wfi->DownloadUpdate((dir / "f.bin").string()));
    EXPECT_EQ(wfi->LastError(), "Connection aborted on request");
    EXPECT_EQ(ui.ProgressTexts.front(), "5 of -1 bytes received.");
    EXPECT_TRUE(ui.Bar.empty());
    EXPECT_EQ(Entries(), 0u);
}

TEST_F(WebFileInfoTest, ShowReadMeTextAndExternalFile) {
    P peer;
    peer.Add({P::Send(Page({{"hxLVersion", "2.0"},
                            {"hxLReadme", peer.Url("/readme.txt")},
                            {"hxLReadmeEX", peer.Url("/docs/../readme.pdf")}})),
              P::Close()});
    wfi->SetHomeURL(peer.Url("/"));
    ui.Answers = {IDNO};
    EXPECT_FALSE(wfi->ShowReadMe(1));
    ASSERT_GE(ui.Shown.size(), 1u);
    EXPECT_EQ(ui.Shown.back(), "Update Available|Current version is 1.2.\rVersion 2.0 is "
                               "available.\rWould you like to view the ReadMe file?");
    ui.OpenSucceeds = true;
    peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\n%PDF-1.4"), P::Close()});
    EXPECT_TRUE(wfi->ShowReadMe(0));
    ASSERT_EQ(ui.Opened.size(), 1u);
    EXPECT_EQ(ui.Opened[0], (dir / "readme.pdf").string());
    EXPECT_EQ(ReadFile(dir / "readme.pdf"), "%PDF-1.4");
    ui.OpenSucceeds = false;
    peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\n%PDF"), P::Close()});
    peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\nWhat is new:\r\n<script>x</script>"), P::Close()});
    EXPECT_TRUE(wfi->ShowReadMe(0));
    EXPECT_EQ(ui.Shown.back(), "Error|Can not start program.");
    ASSERT_EQ(ui.ReadMes.size(), 1u);
    EXPECT_EQ(ui.ReadMes[0], "What is new:\r\n<script>x</script>");
    EXPECT_EQ(ui.Waits.back(), "Retrieving ReadMe...");
}

TEST_F(WebFileInfoTest, BusyClientReportsTheException) {
    // A second component shares the client; while it is busy the first one reports.
    TFakeWebUI otherUi;
    TWebFileInfo other(&otherUi);
    other.InfoTags.VersionTag = "v";
    other.SetHomeURL("http://127.0.0.1:1/");
    bool reported = false;
    // Start the other's request from inside this one's wait.
    P peer2;
    peer2.Add({P::Send(Page({{"hxLVersion", "1"}})), P::Pause(100), P::Close()});
    wfi->SetHomeURL(peer2.Url("/"));
    QTimer::singleShot(20, [&] {
        EXPECT_FALSE(other.RetrieveInfo());
        reported = true;
    });
    EXPECT_TRUE(wfi->RetrieveInfo());
    EXPECT_TRUE(reported);
    ASSERT_FALSE(otherUi.Shown.empty());
    EXPECT_EQ(otherUi.Shown[0], "Exception|Error retrieving update information.\rException: HTTP "
                                "component is busy.");
    EXPECT_EQ(other.LastError(), "HTTP component is busy");
    EXPECT_EQ(wfi->ProductVersion(), "1") << "the running check was not disturbed";
}
