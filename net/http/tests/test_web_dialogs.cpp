// The update check's Qt dialogs, offscreen: found by their object names,
// answered and clicked as a user would.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "net/http/HttpClient.h"
#include "net/http/WebFileInfoQtUI.h"
#include "net/http/tests/HttpTestSupport.h"
#include "net/http/tests/ScriptedPeer.h"
#include "platform/qt/HXQtMessagePresenter.h"
#include "timemodel/HXMessageBoxes.h"

namespace fs = std::filesystem;
using P = TScriptedPeer;

namespace {

// Runs fn on the first top-level widget that passes the test, from the loop.
void WhenShown(std::function<QWidget*()> find, std::function<void(QWidget*)> fn) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, find, fn] {
        if (QWidget* w = find()) {
            timer->stop();
            timer->deleteLater();
            fn(w);
        }
    });
    timer->start(10);
}

template <class T> T* Visible(const char* objectName = nullptr) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* t = dynamic_cast<T*>(w);
        if (t && t->isVisible() && (!objectName || t->objectName() == objectName)) return t;
    }
    return nullptr;
}

class WebDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "web_dialogs_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
        InstallTestConnections();
    }
    void SetUp() override {
        dir = fs::temp_directory_path() / ("hx_dlg_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        wfi.InfoTags.VersionTag = "v";
        wfi.InfoTags.DownloadTag = "d";
        wfi.InfoTags.ReadMeTag = "r";
        wfi.CurrentVersion = "1.0";
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    TWebFileInfoQtUI ui;
    TWebFileInfo wfi{&ui};
};

std::string Page(const std::string& metas) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html>\r\n" + metas + "</html>\r\n";
}

} // namespace

TEST_F(WebDialogsTest, WaitDialogWhileThePageLoads) {
    P peer;
    peer.Add(
        {P::Pause(150), P::Send(Page("<META HTTP-EQUIV=\"v\" CONTENT=\"2.0\">\r\n")), P::Close()});
    wfi.SetHomeURL(peer.Url("/"));
    QString caption, message;
    WhenShown([] { return Visible<QDialog>("WaitDialog"); },
              [&](QWidget* w) {
                  caption = w->windowTitle();
                  message = w->findChild<QLabel*>("lblMessage")->text();
              });
    EXPECT_TRUE(wfi.RetrieveInfo());
    EXPECT_EQ(caption, "Please Wait");
    EXPECT_EQ(message, "Checking For Update...");
    EXPECT_EQ(Visible<QDialog>("WaitDialog"), nullptr) << "closed when the request ended";
}

TEST_F(WebDialogsTest, ProgressDialogShowsAndCancels) {
    P peer;
    peer.Add({P::Send(Page("<META HTTP-EQUIV=\"v\" CONTENT=\"2.0\">\r\n<META HTTP-EQUIV=\"d\" "
                           "CONTENT=\"" +
                           peer.Url("/big.bin") + "\">\r\n")),
              P::Close()});
    peer.Add({P::Send("HTTP/1.0 200 OK\r\nContent-Length: 4000\r\n\r\n"),
              P::Send(std::string(1000, 'x')), P::Hold()});
    wfi.SetHomeURL(peer.Url("/"));
    QString title, downloading, progress;
    int bar = -1;
    WhenShown(
        [] {
            auto* d = Visible<TWebDlProgress>("WebDlProgress");
            return d && !d->lblProgress->text().isEmpty() ? d : nullptr;
        },
        [&](QWidget* w) {
            auto* d = static_cast<TWebDlProgress*>(w);
            title = d->windowTitle();
            downloading = d->findChild<QLabel*>("lblDownloading")->text();
            progress = d->findChild<QLabel*>("lblProgress")->text();
            bar = d->findChild<QProgressBar*>("pbarProgress")->value();
            d->findChild<QPushButton*>("btnCancel")->click();
        });
    EXPECT_FALSE(wfi.DownloadUpdate(dir.string() + "/"));
    EXPECT_EQ(title, "Download Progress");
    EXPECT_EQ(downloading, "Downloading Update");
    EXPECT_EQ(progress, "1,000 of 4,000 bytes received.");
    EXPECT_EQ(bar, 25);
    EXPECT_EQ(wfi.LastError(), "Connection aborted on request");
    EXPECT_TRUE(fs::is_empty(dir)) << "a cancelled download leaves nothing";
    EXPECT_EQ(Visible<TWebDlProgress>(), nullptr);
}

TEST_F(WebDialogsTest, PageTextIsShownAsPlainText) {
    P peer;
    peer.Add({P::Send(Page("<META HTTP-EQUIV=\"v\" CONTENT=\"<b>2.0</b>\">\r\n<META "
                           "HTTP-EQUIV=\"r\" CONTENT=\"" +
                           peer.Url("/readme.txt") + "\">\r\n")),
              P::Close()});
    peer.Add({P::Send("HTTP/1.0 200 OK\r\n\r\n<i>new</i> things"), P::Close()});
    wfi.SetHomeURL(peer.Url("/"));
    TQtMessagePresenterScope boxes;
    QString question, title;
    Qt::TextFormat format = Qt::RichText;
    WhenShown([] { return Visible<QMessageBox>(); },
              [&](QWidget* w) {
                  auto* box = static_cast<QMessageBox*>(w);
                  question = box->text();
                  title = box->windowTitle();
                  format = box->textFormat();
                  box->button(QMessageBox::Yes)->click();
              });
    QString memo;
    WhenShown([] { return Visible<QDialog>("ReadMe"); },
              [&](QWidget* w) {
                  EXPECT_EQ(w->windowTitle(), "Read Me");
                  memo = w->findChild<QPlainTextEdit*>("memo")->toPlainText();
                  w->findChild<QPushButton*>("btnOk")->click();
              });
    EXPECT_TRUE(wfi.ShowReadMe(1));
    EXPECT_EQ(title, "Update Available");
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(question, "Current version is 1.0.\nVersion <b>2.0</b> is available.\nWould you "
                        "like to view the ReadMe file?");
    EXPECT_EQ(memo, "<i>new</i> things");
}

// The update check's boxes go through the suite's message layer, as every
// other box does: its presenter shows each once, under its own title, and
// once the session ends a question is answered as Escape would, unasked.
TEST_F(WebDialogsTest, BoxesGoThroughTheMessageLayer) {
    struct TSeen {
        std::string Title, Text;
        TMsgDlgType Type;
        TMsgDlgButtons Buttons;
        bool operator==(const TSeen&) const = default;
    };
    struct TRecorder : IMessagePresenter {
        TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                             int) override {
            return PresentTitled("", text, type, buttons);
        }
        TModalResult PresentTitled(const std::string& title, const std::string& text,
                                   TMsgDlgType type, TMsgDlgButtons buttons) override {
            Seen.push_back({title, text, type, buttons});
            return buttons & mbYes ? mrNo : mrOk;
        }
        std::vector<TSeen> Seen;
    } recorder;
    SetMessagePresenter(&recorder);

    EXPECT_FALSE(wfi.RetrieveInfo()); // no home URL
    EXPECT_EQ(recorder.Seen,
              (std::vector<TSeen>{{"Missing Home URL",
                                   "Can not retrieve version information\rbecause no home url was "
                                   "provided.",
                                   TMsgDlgType::mtWarning, mbOK}}));

    P peer;
    peer.Add({P::Send(Page("<META HTTP-EQUIV=\"v\" CONTENT=\"2.0\">\r\n<META HTTP-EQUIV=\"r\" "
                           "CONTENT=\"" +
                           peer.Url("/readme.txt") + "\">\r\n")),
              P::Close()});
    wfi.SetHomeURL(peer.Url("/"));
    recorder.Seen.clear();
    EXPECT_FALSE(wfi.ShowReadMe(1)); // answered No
    ASSERT_EQ(recorder.Seen.size(), 1u);
    EXPECT_EQ(recorder.Seen[0].Title, "Update Available");
    EXPECT_EQ(recorder.Seen[0].Type, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(recorder.Seen[0].Buttons, TMsgDlgButtons(mbYes | mbNo));

    recorder.Seen.clear();
    EndMessageDialogs(true);
    EXPECT_FALSE(wfi.ShowReadMe(1));
    EndMessageDialogs(false);
    EXPECT_TRUE(recorder.Seen.empty());
    EXPECT_EQ(Visible<QMessageBox>(), nullptr);
    SetMessagePresenter(nullptr);
}
