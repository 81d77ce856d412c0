// A new user's first start on the shipped data, the splash and the dialogs
// that come up during it, and every window of the program on a laptop's
// 1366 x 768 screen.
#include "TestApp.h"
#include "clockapp/tests/WindowTest.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/Prefs.h"
#include "clockapp/SmallWindows.h"
#include "net/http/WebFileInfoQtUI.h"
#include "platform/qt/HXQtMessagePresenter.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

// Keeps every box of the start-up, which the fixture's own list forgets.
struct TKeepingPresenter : TRecordingPresenter {
    std::vector<std::string> All;
    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons,
                         int help) override {
        All.push_back(text);
        return TRecordingPresenter::Present(text, type, buttons, help);
    }
};

// The real window, its boxes going to the presenter, on a fresh copy of the
// shipped data, as a new user who has never run it.
class FirstStart : public TWindowTest<TF_clocks, TKeepingPresenter> {
protected:
    void BeforeStart() override {
        const QDir suite(HX_SUITE_DIR);
        if (!suite.exists("hxclocks.hxd")) GTEST_SKIP() << "the shipped data is not built";
        for (const QString& f : suite.entryList({"*.hxd"}, QDir::Files))
            if (!Removed.contains(f)) {
                ASSERT_TRUE(QFile::copy(suite.filePath(f), dir.filePath(f)));
            }
        for (const char* name : {"FirstRun", "ShowSplash"})
            store.SetValue(CU, kPrefsKey, name, V::FromInteger(1));
        store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
        // The first-run notes are read and closed.
        AnswerNextModal([this](QWidget* notes) {
            WelcomeSeen = qobject_cast<TF_Welcome*>(notes) != nullptr;
            NotesCentre = notes->frameGeometry().center();
            notes->close();
        });
    }
    void SetUp() override {
        Removed = RemovedFiles();
        TWindowTest::SetUp();
    }
    virtual QStringList RemovedFiles() const { return {}; }
    QStringList Removed;
    bool WelcomeSeen = false;
    QPoint NotesCentre;
};

TEST_F(FirstStart, ShippedDataShowsNoMessageBox) {
    EXPECT_TRUE(WelcomeSeen);
    // The notes come before any clock, in the screen's middle, not over the
    // corner where the unshown clock window waits.
    const QPoint middle = w->screen()->availableGeometry().center();
    EXPECT_LE((NotesCentre - middle).manhattanLength(), 40)
        << NotesCentre.x() << "," << NotesCentre.y();
    EXPECT_TRUE(presenter.All.empty()) << presenter.All.front();
    EXPECT_FALSE(w->Clocks.empty());
}

// Started in Tokyo: the shipped Local clock, first, shows the home place, and
// the title and the tray show Tokyo's time.
class FirstStartInTokyo : public FirstStart {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) OldTz = tz;
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
        PinClock(EncodeDate(2026, 12, 9) + EncodeTime(14, 33, 46, 0), 9);
        FirstStart::SetUp();
    }
    void TearDown() override {
        FirstStart::TearDown();
        ResetClockSource();
        if (OldTz)
            setenv("TZ", OldTz->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> OldTz;
};

TEST_F(FirstStartInTokyo, TitleAndTrayShowTheUsersOwnTime) {
    ASSERT_FALSE(w->Clocks.empty());
    int local = 0;
    for (const auto& c : w->Clocks)
        local += c->ClockType == 1;
    EXPECT_EQ(local, 1);
    EXPECT_EQ(w->Clocks[0]->ClockType, 1);
    EXPECT_EQ(w->Clocks[0]->Location.Name, w->LocalClock.Location.Name);
    EXPECT_EQ(w->LocalClock.Location.Name, "JST");
    EXPECT_EQ(w->HintClock, 0);
    TClockDisplay& display = ClockDisplayOf(*w);
    display.UpdateClockDisplays(true);
    for (const QString& text : {display.TitleCaption(), display.TrayText()}) {
        EXPECT_TRUE(text.startsWith("Wed Dec 9, 2026")) << text.toStdString();
        EXPECT_TRUE(text.contains("23:33:46")) << text.toStdString();
        EXPECT_TRUE(text.endsWith(" JST")) << text.toStdString();
    }
}

class FirstStartWithoutAlarms : public FirstStart {
    QStringList RemovedFiles() const override { return {"hxalarms.hxd"}; }
};

TEST_F(FirstStartWithoutAlarms, SaysSoOnceAndCreatesTheFile) {
    EXPECT_EQ(presenter.All, (std::vector<std::string>{"Error(3) Unable to Locate File "
                                                       "hxalarms.hxd - No alarms loaded, New file "
                                                       "created"}));
    QFile alarms(dir.filePath("hxalarms.hxd"));
    ASSERT_TRUE(alarms.open(QIODevice::ReadOnly)) << "the message says a new file was created";
    EXPECT_EQ(alarms.size(), 0);
}

// A read-only start makes no file, so its message does not claim one.
TEST(MissingList, ReadOnlyMessageClaimsNoNewFile) {
    TestApp();
    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    TKeepingPresenter presenter;
    SetMessagePresenter(&presenter);
    {
        TF_clocks w(store);
        w.ReadOnly = true;
        w.DataDir = dir.path().toStdString() + "/";
        w.LoadAlarms();
    }
    SetMessagePresenter(nullptr);
    EXPECT_EQ(presenter.All, (std::vector<std::string>{"Error(3) Unable to Locate File "
                                                       "hxalarms.hxd - No alarms loaded"}));
    EXPECT_FALSE(QFile::exists(dir.filePath("hxalarms.hxd")));
}

// A list file that is there but cannot be read (here a link to itself, as
// root reads any file) is told and never written over: a save would replace
// what it holds.
TEST(UnreadableList, IsToldAndNeverWrittenOver) {
    TestApp();
    for (const char* base : {"hxclocks", "hxalarms", "hxdayloom", "hxzones"}) {
        QTemporaryDir dir;
        const std::string file = std::string(base) + ".hxd";
        ASSERT_TRUE(QFile::link(QString::fromStdString(file), dir.filePath(QString::fromStdString(file))));
        THXMemoryPrefsStore store;
        TKeepingPresenter presenter;
        SetMessagePresenter(&presenter);
        {
            TF_clocks w(store);
            w.DataDir = dir.path().toStdString() + "/";
            w.LoadCLockInfo();
            w.LoadAlarms();
            w.LoadTemperalEvents();
            w.LoadStandardLocations();
            for (auto save : {&TF_clocks::WriteClockInfo, &TF_clocks::WriteAlarms,
                              &TF_clocks::WriteTemperalEvents, &TF_clocks::WriteStandardLocations})
                try {
                    (w.*save)();
                } catch (const std::exception& e) {
                    presenter.All.push_back(e.what());
                }
        }
        SetMessagePresenter(nullptr);
        const std::string told = "Unable to read " + file + ": ";
        const std::string refused = "Unable to save " + file + ": it could not be read";
        int toldCount = 0, refusedCount = 0;
        for (const std::string& t : presenter.All) {
            toldCount += t.rfind(told, 0) == 0;
            refusedCount += t.rfind(refused, 0) == 0;
        }
        EXPECT_EQ(toldCount, 1) << base;
        EXPECT_EQ(refusedCount, 1) << base;
        EXPECT_TRUE(QFileInfo(dir.filePath(QString::fromStdString(file))).isSymLink()) << base;
    }
}

TEST(Splash, StepsBackWhileABoxIsUp) {
    TestApp();
    auto* splash = new TFSplash;
    splash->show();
    bool hiddenMeanwhile = false;
    AnswerNextModal([&](QWidget* box) {
        hiddenMeanwhile = !splash->isVisible();
        box->close();
    });
    TQtMessagePresenter().Present("Error(3) ...", TMsgDlgType::mtError, mbOK, 0);
    EXPECT_TRUE(hiddenMeanwhile);
    EXPECT_TRUE(splash->isVisible()) << "back once the box has gone";
    splash->WMCloseSplash();
}

// The notes name the desktop's settings, and their button says which package
// to install when this desktop has no settings program to open; the notes,
// never shown again, stay open meanwhile.
TEST(Welcome, NamesTheDesktopsSettingsAndSaysWhenThereAreNone) {
    TestApp();
    TF_Welcome notes;
    QString all;
    for (QLabel* l : notes.findChildren<QLabel*>())
        all += l->text() + "\n";
    EXPECT_TRUE(all.contains("via the desktop's date and time settings.")) << all.toStdString();
    EXPECT_FALSE(all.contains("Control Panel"));

    QTemporaryDir emptyBin;
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", emptyBin.path().toLocal8Bit());
    TRecordingPresenter presenter;
    SetMessagePresenter(&presenter);
    notes.show();
    notes.findChild<QPushButton*>("b_SetTime")->click();
    SetMessagePresenter(nullptr);
    qputenv("PATH", path);
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(presenter.Texts[0].rfind("No date and time settings program was found on this "
                                       "computer.\n\rInstall ",
                                       0),
              0u)
        << presenter.Texts[0];
    EXPECT_NE(presenter.Texts[0].find("package gnome-control-center (GNOME)"), std::string::npos)
        << presenter.Texts[0];
    EXPECT_TRUE(notes.isVisible());
    EXPECT_NE(notes.result(), QDialog::Accepted);
}

// ------------------------------------------------------ a laptop's screen

// The window's frame fits the screen's free area, and so does every button
// that is not inside a scrolling area.
void ExpectFits(QWidget* w, const char* what) {
    w->show();
    QCoreApplication::processEvents();
    const QRect free = w->screen()->availableGeometry();
    ASSERT_EQ(free.size(), QSize(1366, 768));
    const QRect frame = w->frameGeometry();
    EXPECT_LE(frame.width(), free.width()) << what;
    EXPECT_LE(frame.height(), free.height()) << what;
    for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
        if (!b->isVisibleTo(w)) continue;
        bool scrolled = false;
        for (QWidget* p = b->parentWidget(); p && p != w; p = p->parentWidget())
            scrolled |= qobject_cast<QScrollArea*>(p) != nullptr;
        if (scrolled) continue;
        const QRect r(b->mapTo(w, QPoint(0, 0)), b->size());
        EXPECT_TRUE(w->rect().contains(r))
            << what << ": " << b->objectName().toStdString() << " lies outside";
    }
}

class LaptopScreen : public TWindowTest<> {
protected:
    void BeforeStart() override {
        // A window stored larger than this screen.
        store.SetValue(CU, kPrefsKey, "FormWidth", V::FromInteger(2400));
        store.SetValue(CU, kPrefsKey, "FormHeight", V::FromInteger(1400));
    }
};

TEST_F(LaptopScreen, EveryWindowFits) {
    ExpectFits(w.get(), "main window");
    w->resize(3000, 2000);
    ExpectFits(w.get(), "main window made larger");
    // Clocks beyond the screen's edge are scrolled to.
    auto* area = w->findChild<QScrollArea*>("pClocks");
    EXPECT_EQ(area->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(area->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    {
        TF_hxPrefs prefs(*w);
        prefs.LoadFromPrefs();
        auto* pages = prefs.findChild<QTabWidget*>("pc_PrefsTabs");
        ASSERT_TRUE(pages);
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            for (QTabWidget* sub : pages->widget(i)->findChildren<QTabWidget*>())
                for (int j = 0; j < sub->count(); ++j) {
                    sub->setCurrentIndex(j);
                    ExpectFits(&prefs, sub->tabText(j).toUtf8().constData());
                }
            ExpectFits(&prefs, pages->tabText(i).toUtf8().constData());
        }
        prefs.hide();
    }
    auto* splash = new TFSplash;
    ExpectFits(splash, "splash");
    splash->WMCloseSplash();
    TAboutBox about(w.get());
    ExpectFits(&about, "about box");
    TF_Welcome welcome(w.get());
    ExpectFits(&welcome, "first-run notes");
    TF_HelpLoading loading(w.get());
    ExpectFits(&loading, "help loading");
    TFControledMessage progress(w.get());
    progress.SetMessage("Please Wait...\rLocation data is being loaded...");
    ExpectFits(&progress, "progress");
    TWebDlProgress download(w.get());
    ExpectFits(&download, "download progress");
    auto box = TQtMessagePresenter::CreateDialog(
        "It is best to update your location data file periodically\n\rSince you have just "
        "installed/upgraded Horolux,\n\ryou may wish to do this now.\n\rPlease note: you must "
        "have an active Internet connection",
        TMsgDlgType::mtConfirmation, mbYes | mbNo);
    ExpectFits(box.get(), "question");
}

} // namespace
