#include "TestApp.h"

#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"
#include "clockapp/SmallWindows.h"
#include "clockapp/TrayIcon.h"
#include "timemodel/HXClock.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

// The window with the steps of the start-up recorded.
class RecordingClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;
    std::vector<std::string> Steps;
    std::vector<std::string> Messages;
    int Syncs = 0;

protected:
    void ShowError(const std::string& t) override { Messages.push_back("error:" + t); }
    void ShowInfo(const std::string& t) override { Messages.push_back("info:" + t); }
    void ShowErrorCode(int c) override { Messages.push_back("code:" + std::to_string(c)); }
    TAnswer AskYesNoCancel(const std::string& t) override {
        Messages.push_back("ask:" + t);
        return TAnswer::Cancel;
    }
    bool ConfirmYes(const std::string& t) override {
        Messages.push_back("confirm:" + t);
        return false;
    }
    void AutoSyncTime() override { ++Syncs; } // the start-up sync
    void ActivateLinkhold() override { Steps.push_back("linkhold"); }
    void CreateTimeZoneManager() override {
        Steps.push_back("manager");
        if (FailManager) throw Exception("no memory");
    }

public:
    bool FailManager = false;
    bool HasMap = false;
    TAnswer MapAnswer = TAnswer::No;
    int MapShows = 0;
    bool ManagerFailsToShow = false;

protected:
    void CreateMapWindow() override {
        Steps.push_back("map");
        HasMap = true;
    }
    bool MapWindowExists() const override { return HasMap; }
    void ShowMapWindow() override { ++MapShows; }
    TAnswer AskYesNo(const std::string& t) override {
        Messages.push_back("yesno:" + t);
        return MapAnswer;
    }
    bool ActivateTimeZoneManager() override { return true; }
    void ShowTimeZoneManager() override {
        if (ManagerFailsToShow) throw Exception("broken");
    }
};

// Captions of a menu, depth-first, "-" for separators, ">" nesting.
void Walk(QMenu* m, const std::string& prefix, std::vector<std::string>& out) {
    for (QAction* a : m->actions()) {
        if (a->isSeparator()) {
            out.push_back(prefix + "-");
            continue;
        }
        out.push_back(prefix + a->text().toStdString());
        if (a->menu()) Walk(a->menu(), prefix + a->text().toStdString() + ">", out);
    }
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "InstallUpgrade", V::FromInteger(0));
    }
    void TearDown() override { TTrayIcon::SetNotificationAreaOverride(std::nullopt); }
    std::unique_ptr<RecordingClocks> Start(std::vector<std::string> args = {}) {
        auto w = std::make_unique<RecordingClocks>(store);
        w->SplashDelayMs = 0;
        args.insert(args.begin(), {"-datadir", dir.path().toStdString()});
        w->FormCreate("/nonexistent", args);
        return w;
    }
    QTemporaryDir dir;
    THXMemoryPrefsStore store;
};

} // namespace

TEST_F(MainWindowTest, PopupMenuTreeHasItsCaptions) {
    {
        RecordingClocks fresh(store);
        EXPECT_TRUE(fresh.Action("miTitleBarClock")->isChecked()); // as designed
    }
    auto w = Start();
    std::vector<std::string> items;
    Walk(w->pm_MainMenu(), "", items);
    const std::vector<std::string> expected = {"&About Horolux...",
                                               "Check for Upgrade",
                                               "This Clock",
                                               "This Clock>Use for Title/Tray",
                                               "This Clock>Use for Chimes",
                                               "This Clock>-",
                                               "This Clock>Configure...",
                                               "This Clock>ClockType",
                                               "This Clock>ClockType>Location",
                                               "This Clock>ClockType>Local",
                                               "This Clock>ClockType>UTC",
                                               "This Clock>ClockType>Swatch Beat",
                                               "This Clock>ClockType>Universial",
                                               "This Clock>ClockType>Julian",
                                               "This Clock>ClockType>Metric",
                                               "This Clock>ClockType>GMST",
                                               "This Clock>ClockType>LMST",
                                               "This Clock>Display Type",
                                               "This Clock>Display Type>Analog",
                                               "This Clock>Display Type>Digital",
                                               "This Clock>View On Map...",
                                               "This Clock>Astronomical Data...",
                                               "This Clock>-",
                                               "This Clock>Insert Before",
                                               "This Clock>Insert After",
                                               "This Clock>Insert at End",
                                               "This Clock>Create Duplicate",
                                               "This Clock>Delete",
                                               "This Clock>-",
                                               "This Clock>Move Leftmost",
                                               "This Clock>Move Left",
                                               "This Clock>Move Right",
                                               "This Clock>Move Rightmost",
                                               "Clocks",
                                               "Clocks>Add New Clock",
                                               "Clocks>-",
                                               "Clocks>Sort Clocks by Name",
                                               "Clocks>Sort Clocks by Time Zone",
                                               "Tools",
                                               "Tools>&Calendar...",
                                               "Tools>New &Stopwatch...",
                                               "Tools>Day&loom...",
                                               "Tools>&Time Calculator...",
                                               "Tools>&Alarm Manager...",
                                               "Tools>System Time &Info...",
                                               "Tools>-",
                                               "Tools>DST Manage&r...",
                                               "Tools>-",
                                               "Tools>&Date && Time Settings...",
                                               "Display",
                                               "Display>Hide Titlebar",
                                               "Display>Hi&de Toolbar",
                                               "Display>Hide Status",
                                               "Display>Hide Clock Borders",
                                               "Display>-",
                                               "Display>Hide Main Window",
                                               "Display>Always On Top",
                                               "Display>-",
                                               "Display>Titlebar Clock",
                                               "&Preferences",
                                               "&Preferences>&Settings...",
                                               "&Preferences>-",
                                               "&Preferences>&Mute Chimes",
                                               "&Preferences>Suspend &Auto-sync",
                                               "Connect",
                                               "S&ync Time Now!",
                                               "&Help",
                                               "E&xit"};
    EXPECT_EQ(items, expected);

    EXPECT_FALSE(w->Menu("miCurrentClock")->menuAction()->isVisible());
    EXPECT_EQ(w->Menu("miCurrentClock")->defaultAction(), w->Action("miConfigure"));
    // After loading, the mark follows the stored switch.
    EXPECT_FALSE(w->Action("miTitleBarClock")->isChecked());
    for (int tag = 0; tag < 9; ++tag)
        EXPECT_EQ(w->Menu("smiClockType")->actions()[tag]->property("Tag").toInt(), tag);
}

TEST_F(MainWindowTest, ToolBarButtonsCarryTheirHints) {
    auto w = Start();
    auto* tb = w->findChild<QToolBar*>("tbMainToolSet");
    ASSERT_TRUE(tb);
    EXPECT_EQ(tb->height(), 25);
    const std::vector<std::pair<const char*, const char*>> buttons = {
        {"sb_about", "About Horolux"},
        {"sb_Prefs", "Preferences and Settings"},
        {"sb_Alarms", "Alarm Manager"},
        {"sb_Stopwatch", "Stopwatch"},
        {"sb_Dayloom", "Dayloom"},
        {"sbCalendar", "Pop-Up Calendar"},
        {"sb_Calc", "Time Calculator"},
        {"sb_SysTimeInfo", "Open System Time Information Module"},
        {"sbAddClock", "Add a New Clock Object"}};
    ASSERT_EQ(tb->actions().size(), int(buttons.size()));
    for (size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(tb->actions()[int(i)]->objectName(), buttons[i].first);
        EXPECT_EQ(tb->actions()[int(i)]->toolTip(), buttons[i].second);
    }
}

// In a narrow window the bar's ">>" button unfolds the buttons that do not
// fit, so that each can be clicked; folded again, the bar is one row.
TEST_F(MainWindowTest, ToolBarUnfoldsTheButtonsThatDoNotFit) {
    auto w = Start();
    w->setAnimated(false);
    w->resize(300, w->height());
    w->show();
    QCoreApplication::processEvents();
    auto* tb = w->findChild<QToolBar*>("tbMainToolSet");
    auto* more = tb->findChild<QToolButton*>("qt_toolbar_ext_button");
    QWidget* last = tb->widgetForAction(w->Action("sbAddClock"));
    ASSERT_TRUE(more && last);
    ASSERT_TRUE(more->isVisible());
    ASSERT_FALSE(last->isVisible());
    more->click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(last->isVisible());
    EXPECT_TRUE(tb->rect().contains(last->geometry())) << tb->height();
    more->click();
    QCoreApplication::processEvents();
    EXPECT_FALSE(last->isVisible());
    EXPECT_EQ(tb->height(), 25);
}

// Pointing at menu items and buttons leaves the status text as it was.
TEST_F(MainWindowTest, MenuHoverKeepsTheStatusText) {
    auto w = Start();
    w->show();
    w->SetStatusText("No Connection");
    for (const char* name : {"miConfigure", "sb_about"})
        w->Action(name)->showStatusText(w->centralWidget());
    EXPECT_EQ(w->StatusText().toStdString(), "No Connection");
}

TEST_F(MainWindowTest, StartUpRunsItsStepsWithSplashTexts) {
    store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
    store.SetValue(CU, kPrefsKey, "ActivateMap", V::FromInteger(1));
    store.SetValue(CU, kPrefsKey, "ConnectionType", V::FromBinary({0}));
    store.SetValue(CU, kPrefsKey, "SetTimeAtStartup", V::FromInteger(1));
    auto w = std::make_unique<RecordingClocks>(store);
    w->SplashDelayMs = 0;
    w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString()});
    EXPECT_EQ(w->Steps, (std::vector<std::string>{"manager", "map", "linkhold"}));
    EXPECT_EQ(w->Syncs, 1);
    EXPECT_TRUE(w->Timer1->isActive());
    EXPECT_EQ(w->DataDir, dir.path().toStdString() + "/");
    // The splash got its closing message and goes away with the deferred delete.
    ASSERT_TRUE(w->FSplash);
    const QStringList texts = w->FSplash->StatusHistory;
    EXPECT_EQ(texts,
              (QStringList{"Loading Clocks...", "Loading Alarms...", "Loading Dayloom Events...",
                           "Loading Location List...", "Loading Map...", "Loading Time Servers...",
                           "Initialization..."}));
    EXPECT_FALSE(w->FSplash->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w->FSplash);
    // The start wrote the preferences.
    EXPECT_TRUE(store.GetValue(CU, kPrefsKey, "CurrentVersion"));
}

TEST_F(MainWindowTest, WithoutSplashNoStepTextAndSplashStillFreed) {
    store.SetValue(CU, kPrefsKey, "ShowSplash", V::FromInteger(0));
    store.SetValue(CU, kPrefsKey, "SuspendSync", V::FromInteger(1));
    store.SetValue(CU, kPrefsKey, "SetTimeAtStartup", V::FromInteger(1));
    auto w = Start();
    ASSERT_TRUE(w->FSplash);
    EXPECT_TRUE(w->FSplash->StatusHistory.isEmpty());
    EXPECT_EQ(w->Syncs, 0); // auto-sync suspended
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w->FSplash);
}

TEST_F(MainWindowTest, FirstRunShowsWelcomeOnceAndClearsIt) {
    store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(1));
    QString title;
    AnswerNextModal([&](QWidget* m) {
        title = m->windowTitle();
        static_cast<QDialog*>(m)->reject();
    });
    auto w = Start();
    EXPECT_EQ(title, "Startup Notes");
    EXPECT_FALSE(w->FirstRun);
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "FirstRun"), V::FromInteger(0));
}

TEST_F(MainWindowTest, ToolbarAndStatusToggleKeepTheClockArea) {
    auto w = Start();
    w->show();
    QAction* tb = w->Action("miShowHideToolbar");
    QAction* st = w->Action("miShowHideStatus");
    const int h0 = w->height();
    const int area0 = w->centralWidget()->height();
    tb->trigger();
    EXPECT_FALSE(w->ClockSize);
    EXPECT_TRUE(w->findChild<QToolBar*>("tbMainToolSet")->isHidden());
    EXPECT_EQ(tb->text(), "Show Toolbar");
    EXPECT_EQ(w->height(), h0 - 25);
    EXPECT_EQ(w->FormHeight, w->height());
    st->trigger();
    EXPECT_FALSE(w->ShowStatus);
    EXPECT_TRUE(w->findChild<QStatusBar*>("sbMainStatusBar")->isHidden());
    EXPECT_EQ(st->text(), "Show Status");
    QCoreApplication::processEvents();
    EXPECT_EQ(w->centralWidget()->height(), area0);
    tb->trigger();
    st->trigger();
    EXPECT_EQ(tb->text(), "Hi&de Toolbar");
    EXPECT_EQ(st->text(), "Hide Status");
    EXPECT_EQ(w->height(), h0);
    EXPECT_TRUE(w->ClockSize && w->ShowStatus);
}

TEST_F(MainWindowTest, TitleBarHidesAndComesBackWithCaption) {
    auto w = Start();
    w->show();
    QAction* t = w->Action("miHideTitlebar");
    w->setWindowTitle("something else");
    t->trigger();
    EXPECT_FALSE(w->TitlebarVisible);
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(t->text(), "Show TitleBar");
    EXPECT_TRUE(w->isVisible());
    w->pClocksDblClick();
    EXPECT_TRUE(w->TitlebarVisible);
    EXPECT_FALSE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(t->text(), "Hide TitleBar");
    // The refresh that follows puts the title clock's text in the caption.
    EXPECT_EQ(w->windowTitle(), ClockDisplayOf(*w).TitleCaption());
}

TEST_F(MainWindowTest, StoredHiddenTitleBarStartsBorderless) {
    store.SetValue(CU, kPrefsKey, "TitlebarVisible", V::FromInteger(0));
    auto w = Start();
    EXPECT_FALSE(w->TitlebarVisible);
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(MainWindowTest, HideToTrayAndBack) {
    auto w = Start();
    w->show();
    // The icon is in the notification area from the start.
    EXPECT_TRUE(w->ti_HoroluxTray->Enabled());
    EXPECT_TRUE(w->ti_HoroluxTray->Shown());
    QAction* sh = w->Action("mi_ShowHide");
    EXPECT_EQ(sh->text(), "Hide Main Window");
    sh->trigger();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->ClocksVisable);
    EXPECT_EQ(sh->text(), "Show Main Window");
    // A left click on the tray icon while hidden shows the window.
    w->ti_HoroluxTray->LeftButtonDown();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->ClocksVisable);
    EXPECT_EQ(sh->text(), "Hide Main Window");
    // In front at the last tick: the click hides it.
    w->LastForegroundWindow = w.get();
    w->ti_HoroluxTray->LeftButtonDown();
    EXPECT_FALSE(w->isVisible());
    // Another window was in front: the click only brings it forward.
    w->ti_HoroluxTray->LeftButtonDown();
    QWidget other;
    w->LastForegroundWindow = &other;
    w->ti_HoroluxTray->LeftButtonDown();
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, SecondStartRestoresWhenNoIconCanBeClicked) {
    auto w = Start();
    w->show();
    w->Action("mi_ShowHide")->trigger();
    ASSERT_FALSE(w->isVisible());
    // With the icon there the second start leaves the hidden window to it.
    w->SecondStart();
    EXPECT_FALSE(w->isVisible());
    // The notification area has gone: the second start is the only way back.
    TTrayIcon::SetNotificationAreaOverride(false);
    w->SecondStart();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->ClocksVisable);
    w->showMinimized();
    w->SecondStart();
    EXPECT_FALSE(w->isMinimized());
}

TEST_F(MainWindowTest, WithoutNotificationAreaHidingMinimises) {
    TTrayIcon::SetNotificationAreaOverride(false);
    store.SetValue(CU, kPrefsKey, "AlwaysStartMinimized", V::FromInteger(1));
    auto w = Start();
    w->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(w->isVisible()); // start-minimised ignored: nowhere to come back from
    EXPECT_FALSE(w->isMinimized());
    w->Action("mi_ShowHide")->trigger();
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->isMinimized());
    EXPECT_FALSE(w->ClocksVisable);
    w->Action("mi_ShowHide")->trigger();
    EXPECT_FALSE(w->isMinimized());
    EXPECT_TRUE(w->ClocksVisable);
}

TEST_F(MainWindowTest, StartMinimisedGoesToTrayOnce) {
    store.SetValue(CU, kPrefsKey, "AlwaysStartMinimized", V::FromInteger(1));
    auto w = Start();
    w->show();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->StartMinimizedPending);
    w->ShowFromTray();
    w->FormActivate();
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MainWindowTest, CloseButtonHidesUnlessXtoClose) {
    store.SetValue(CU, kPrefsKey, "XtoClose", V::FromInteger(0));
    auto w = Start();
    w->show();
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->ClocksVisable);
    // Exit from the tray menu ends it and saves.
    store.DeleteKey(CU, kPrefsKey);
    w->FormWidth = 0;
    w->Action("mi_Exit")->trigger();
    EXPECT_TRUE(w->ExitRequested);
    EXPECT_FALSE(w->Timer1->isActive());
    ASSERT_TRUE(store.GetValue(CU, kPrefsKey, "FormWidth"));
    EXPECT_EQ(store.GetValue(CU, kPrefsKey, "FormWidth")->Number, w->width());
}

TEST_F(MainWindowTest, AlwaysOnTopAndTitlebarClockMarks) {
    auto w = Start();
    w->show();
    w->Action("mi_AlwaysOnTop")->trigger();
    EXPECT_TRUE(w->AlwaysOnTop);
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(w->Action("mi_AlwaysOnTop")->isChecked());
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "AlwaysOnTop"), V::FromInteger(1));
    w->Action("mi_AlwaysOnTop")->trigger();
    EXPECT_FALSE(w->windowFlags() & Qt::WindowStaysOnTopHint);

    w->Action("miTitleBarClock")->trigger();
    EXPECT_TRUE(w->AddToAllTitles);
    EXPECT_EQ(w->AddToAllTitles, w->Action("miTitleBarClock")->isChecked());
}

TEST_F(MainWindowTest, ConnectionTypeShowsInStatusBar) {
    store.SetValue(CU, kPrefsKey, "ConnectionType", V::FromBinary({1}));
    auto w = Start();
    EXPECT_EQ(w->StatusText(), "Lan Connection");
    EXPECT_TRUE(w->Action("mi_SyncTimeNow")->isEnabled());
    w->ConnectionType = 2;
    w->WMApplySettings();
    EXPECT_EQ(w->StatusText(), "No Connection");
    EXPECT_FALSE(w->Action("mi_SyncTimeNow")->isEnabled());
}

TEST_F(MainWindowTest, TrayRightClickHidesThisClockMenu) {
    auto w = Start();
    w->Menu("miCurrentClock")->menuAction()->setVisible(true);
    w->ti_HoroluxTray->RightButtonDown(QPoint(10, 10));
    EXPECT_FALSE(w->Menu("miCurrentClock")->menuAction()->isVisible());
    EXPECT_EQ(w->pm_MainMenu()->defaultAction(), w->Action("pm_about"));
    w->pm_MainMenu()->hide();
}

TEST_F(MainWindowTest, EmptyDataDirectoryShowsTheMissingFileMessages) {
    store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
    auto w = Start();
    EXPECT_EQ(w->Messages, (std::vector<std::string>{"code:2", "code:3", "code:8", "code:4"}));
    // The start's apply wrote the (empty) clock list; Exit writes the alarms.
    EXPECT_TRUE(QFile::exists(dir.filePath("hxclocks.hxd")));
    w->Action("mi_Exit")->trigger();
    EXPECT_TRUE(QFile::exists(dir.filePath("hxalarms.hxd")));
}

TEST_F(MainWindowTest, ShippedDataLoadsWithoutMessages) {
    const QString suite = HX_SOURCE_DIR "/data";
    for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd"})
        QFile::copy(suite + "/" + f, dir.filePath(f));
    store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
    auto w = Start();
    EXPECT_EQ(w->Messages, (std::vector<std::string>{"code:3", "code:8"}));
    EXPECT_FALSE(w->Clocks.empty());
    EXPECT_GT(w->StandardLocations.size(), 100u);
    EXPECT_FALSE(w->TimeServers.empty());
}

TEST_F(MainWindowTest, ExitSavesClocksAndAlarmsButNotInReadOnlyMode) {
    {
        auto w = Start({"-readonly"});
        EXPECT_TRUE(w->ReadOnly);
        w->Clocks.push_back(std::make_unique<THXClock>());
        w->Alarms.push_back(std::make_unique<TAlarm>());
        w->Action("mi_Exit")->trigger();
        EXPECT_FALSE(QFile::exists(dir.filePath("hxclocks.hxd")));
        EXPECT_FALSE(QFile::exists(dir.filePath("hxalarms.hxd")));
        EXPECT_TRUE(store.GetValue(CU, kPrefsKey, "FormWidth")); // preferences still written
    }
    auto w = Start();
    auto c = std::make_unique<THXClock>();
    c->Location.Name = "Saved Clock";
    w->Clocks.push_back(std::move(c));
    w->Alarms.push_back(std::make_unique<TAlarm>());
    w->Action("mi_Exit")->trigger();
    QFile clocks(dir.filePath("hxclocks.hxd"));
    ASSERT_TRUE(clocks.open(QIODevice::ReadOnly));
    EXPECT_TRUE(clocks.readAll().contains("Saved Clock"));
    EXPECT_TRUE(QFile::exists(dir.filePath("hxalarms.hxd")));
}

TEST_F(MainWindowTest, SortsKeepTheTitleAndChimeClocksWithTheirClocks) {
    auto w = Start();
    for (auto [name, off] : {std::pair{"Tokyo", 9.0}, {"berlin", 1.0}, {"Anchorage", -9.0}}) {
        auto c = std::make_unique<THXClock>();
        c->Location.Name = name;
        c->Location.StdOffset = off;
        w->Clocks.push_back(std::move(c));
    }
    w->HintClock = 0;  // Tokyo
    w->ChimeClock = 2; // Anchorage
    w->Action("miSortByName")->trigger();
    EXPECT_EQ(w->Clocks[0]->Location.Name, "Anchorage");
    EXPECT_EQ(w->Clocks[size_t(w->HintClock)]->Location.Name, "Tokyo");
    EXPECT_EQ(w->ChimeClock, 0);
    w->Action("miSortByZone")->trigger();
    EXPECT_EQ(w->Clocks[2]->Location.Name, "Tokyo");
    EXPECT_EQ(w->HintClock, 2);
    EXPECT_EQ(w->Clocks[size_t(w->ChimeClock)]->Location.Name, "Anchorage");
    w->Clocks[0]->Location.StdOffset = 12; // Anchorage goes last
    w->Action("miSortByZone")->trigger();
    EXPECT_EQ(w->ChimeClock, 2);
    EXPECT_EQ(w->Clocks[size_t(w->HintClock)]->Location.Name, "Tokyo");
    w->HintClock = -1;
    w->ChimeClock = -1;
    w->Action("miSortByName")->trigger();
    EXPECT_EQ(w->HintClock, -1);
    EXPECT_EQ(w->ChimeClock, -1);

    w->CurrentClock = 1;
    w->Menu("smiClockType")->actions()[7]->trigger();
    EXPECT_EQ(w->Clocks[1]->ClockType, 7);
    w->Action("smiAnalog")->trigger();
    EXPECT_TRUE(w->Clocks[1]->Analog);
    w->Action("smiDigital")->trigger();
    EXPECT_FALSE(w->Clocks[1]->Analog);
}

TEST_F(MainWindowTest, FailingLocationManagerIsReportedAndStartGoesOn) {
    store.SetValue(CU, kPrefsKey, "LoadLocations", V::FromInteger(1));
    auto w = std::make_unique<RecordingClocks>(store);
    w->SplashDelayMs = 0;
    w->FailManager = true;
    w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString()});
    EXPECT_NE(std::find(w->Messages.begin(), w->Messages.end(),
                        "error:Could Not Create Time Zone Manager: \n\rno memory"),
              w->Messages.end());
    EXPECT_TRUE(w->Timer1->isActive());
}

TEST_F(MainWindowTest, MapAndManagerCommands) {
    auto w = Start();
    w->miMapClick();
    EXPECT_EQ(
        w->Messages.back(),
        "yesno:The Horolux Map is not currently active\n\rWould you like to activate it now?");
    EXPECT_EQ(w->MapShows, 0);
    w->MapAnswer = TClockState::TAnswer::Yes;
    w->miMapClick();
    EXPECT_EQ(w->MapShows, 1);
    const size_t asked = w->Messages.size();
    w->miMapClick(); // exists now: no question
    EXPECT_EQ(w->Messages.size(), asked);
    EXPECT_EQ(w->MapShows, 2);

    w->ManagerFailsToShow = true;
    w->miTimeZoneManagerClick();
    EXPECT_EQ(w->Messages.back(), "error:Could Not Display Time Zone Manager: \n\rbroken");
}

TEST_F(MainWindowTest, MinimisingWithoutTaskBarEntryGoesToTheTray) {
    store.SetValue(CU, kPrefsKey, "VisibleTaskBar", V::FromInteger(0));
    auto w = Start();
    w->show();
    w->showMinimized();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->ClocksVisable);
    EXPECT_EQ(w->Action("mi_ShowHide")->text(), "Show Main Window");
    w->ShowHideClick();
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isMinimized());
}

TEST_F(MainWindowTest, FirstActivationAfterInstallOffersTheLocationUpdate) {
    store.SetValue(CU, kPrefsKey, "InstallUpgrade", V::FromInteger(1));
    store.SetValue(CU, kPrefsKey, "ShowSplash", V::FromInteger(0));
    auto w = Start();
    w->FormActivate();
    EXPECT_FALSE(w->InstallUpgrade);
    ASSERT_FALSE(w->Messages.empty());
    EXPECT_EQ(w->Messages.back().rfind("confirm:It is best to update your location data file "
                                       "periodically\n\rSince you have just installed/upgraded "
                                       "Horolux,",
                                       0),
              0u);
    const size_t n = w->Messages.size();
    w->FormActivate(); // asked once only
    EXPECT_EQ(w->Messages.size(), n);
    EXPECT_EQ(*store.GetValue(CU, kPrefsKey, "InstallUpgrade"), V::FromInteger(0));
}

// A new user's first start, exit and second start: the digital clocks keep
// the colours they were saved with.
TEST_F(MainWindowTest, RestartKeepsTheDigitalClocksColours) {
    const QString suite = HX_SUITE_DIR;
    if (!QFile::exists(suite + "/hxclocks.hxd")) GTEST_SKIP() << "the shipped data is not built";
    for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd", "hxdst.hxd"})
        QFile::copy(suite + "/" + f, dir.filePath(f));
    store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(1));
    AnswerNextModal([&](QWidget* m) { static_cast<QDialog*>(m)->reject(); });
    const auto colours = [](RecordingClocks& w) {
        std::vector<std::string> out;
        for (int i = 0; i < int(w.Clocks.size()); ++i) {
            QWidget* c = ClockDisplayOf(w).ClockControl(i);
            if (auto* t = c ? c->findChild<QLabel*>("TimeText") : nullptr)
                out.push_back(t->palette().color(QPalette::WindowText).name().toStdString() +
                              " on " + t->palette().color(QPalette::Window).name().toStdString());
        }
        return out;
    };
    std::vector<std::string> first;
    {
        auto w = Start();
        w->show();
        first = colours(*w);
        ASSERT_FALSE(first.empty());
        EXPECT_EQ(first[0], "#00ff00 on #000000");
        w->Action("mi_Exit")->trigger();
    }
    auto w = Start();
    w->show();
    EXPECT_EQ(colours(*w), first);
}

// Settings that change the window's frame before it is first shown (always
// on top, no title bar) leave the digital clocks in their own colours on the
// black clock area, and so do the same settings changed while it is shown.
TEST_F(MainWindowTest, DigitalClocksKeepTheirColoursThroughWindowChanges) {
    THXClock digital;
    digital.Location.Name = "Paris";
    digital.BackColour = clNavy;
    digital.TimeFont.Color = clYellow;
    QFile clocks(dir.filePath("hxclocks.hxd"));
    ASSERT_TRUE(clocks.open(QIODevice::WriteOnly));
    clocks.write(QByteArray::fromStdString(digital.DataString('\t') + "\r\n"));
    clocks.close();
    const auto seen = [](RecordingClocks& w) {
        QWidget* panel = ClockDisplayOf(w).ClockControl(0);
        auto* text = panel ? panel->findChild<QLabel*>("TimeText") : nullptr;
        if (!text) return std::string("no clock");
        const auto name = [](QWidget* x) {
            return x->palette().color(x->backgroundRole()).name().toStdString();
        };
        return text->palette().color(QPalette::WindowText).name().toStdString() + " on " +
               name(text) + ", panel " + name(panel) + ", area " + name(w.ClockArea());
    };
    const std::string expected = "#ffff00 on #000080, panel #000080, area #000000";
    struct TCase {
        const char* Name;
        int OnTop, Titlebar;
    } cases[] = {{"always on top", 1, 1}, {"no title bar", 0, 0}, {"both", 1, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        store.SetValue(CU, kPrefsKey, "AlwaysOnTop", V::FromInteger(c.OnTop));
        store.SetValue(CU, kPrefsKey, "TitlebarVisible", V::FromInteger(c.Titlebar));
        auto w = Start();
        w->show();
        EXPECT_EQ(seen(*w), expected);
        w->Action("mi_AlwaysOnTop")->trigger();
        w->Action("miHideTitlebar")->trigger();
        EXPECT_EQ(seen(*w), expected) << "after the window settings changed";
        w->Action("mi_Exit")->trigger();
    }
}
