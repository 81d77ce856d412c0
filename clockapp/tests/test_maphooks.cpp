// The main window's hooks of the world map, with a fake map window.
#include "TestApp.h"
#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/tests/QuietClocks.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

struct FakeMap : IMapWindow {
    QWidget* W;
    std::vector<std::string>& Log;
    FakeMap(QWidget* owner, std::vector<std::string>& log) : W(new QWidget(owner, Qt::Window)), Log(log) {
        // The window frees its interface with itself.
        QObject::connect(W, &QObject::destroyed, [this] { delete this; });
    }
    QWidget* Window() override { return W; }
    void SetHomeLocation(const TTimeLocation& l) override { Log.push_back("home " + l.Name); }
    void SetCentrePending() override { Log.push_back("centre"); }
    void ShowAndRaise() override {
        W->show();
        Log.push_back("show");
    }
    void Redraw() override { Log.push_back("redraw"); }
};

class MapClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;
    std::vector<TAnswer> Answers;
    std::vector<std::string> Log;

protected:
    void ShowError(const std::string&) override {}
    void ShowInfo(const std::string&) override {}
    TAnswer AskYesNo(const std::string& t) override {
        Log.push_back("ask " + t);
        if (Answers.empty()) return TAnswer::No;
        const TAnswer a = Answers.front();
        Answers.erase(Answers.begin());
        return a;
    }
};

class MapHooks : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        SetQuietStartPrefs(store);
    }
    void Start() {
        w = std::make_unique<MapClocks>(store);
        w->SplashDelayMs = 0;
        w->SetMapWindowFactory([this](QWidget* owner) {
            w->Log.push_back("create");
            return new FakeMap(owner, w->Log);
        });
        w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString(), "-readonly"});
        w->Timer1->stop();
        w->Clocks.clear();
        w->Clocks.push_back(std::make_unique<THXClock>());
        w->Clocks.back()->Location.Name = "Quito";
        w->CurrentClock = 0;
        StartLog = w->Log;
        w->Log.clear();
    }
    void ViewOnMap() { w->findChild<QAction*>("miViewOnMap")->trigger(); }
    void Tick() {
        ClockDisplayOf(*w).UpdateClockDisplays(false);
        w->Timer1->stop();
    }
    void TearDown() override {
        w.reset();
        TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    }
    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    std::unique_ptr<MapClocks> w;
    std::vector<std::string> StartLog;
};

using Log = std::vector<std::string>;
const std::string kAsk = "ask The Horolux Map is not currently active\n\rWould you like to activate it now?";

TEST_F(MapHooks, ViewOnMapAsksOnceThenHandsOverTheClocksPlace) {
    Start();
    ViewOnMap();  // "No": nothing is made
    EXPECT_EQ(w->Log, Log({kAsk}));
    EXPECT_EQ(w->MapWindow(), nullptr);
    w->Answers = {TClockState::TAnswer::Yes};
    ViewOnMap();
    const std::string home = "home " + w->LocalClock.Location.Name;
    EXPECT_EQ(w->Log, Log({kAsk, kAsk, "create", home, "home Quito", "centre", "show"}));
    w->Log.clear();
    w->Clocks[0]->Location.Name = "Lima";
    ViewOnMap();  // the map exists: no question, the new place
    EXPECT_EQ(w->Log, Log({"home Lima", "centre", "show"}));

    // "Free Memory and Close Window": the map forgets itself and is freed;
    // the next command asks again and builds a new one.
    w->Log.clear();
    w->MapWindow()->Window()->deleteLater();
    w->ReleaseMapWindow();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    w->miMapClick();
    EXPECT_EQ(w->Log, Log({kAsk}));
}

TEST_F(MapHooks, TickRedrawsOnlyAVisibleMapWithAutoRefresh) {
    const struct {
        bool Exists, Visible, AutoRefresh;
        int Redraws;
    } cases[] = {{false, false, true, 0}, {true, false, true, 0}, {true, true, false, 0}, {true, true, true, 1}};
    for (const auto& c : cases) {
        Start();
        w->AutoRefreshMap = c.AutoRefresh;
        if (c.Exists) {
            w->Answers = {TClockState::TAnswer::Yes};
            w->miMapClick();
            w->MapWindow()->Window()->setVisible(c.Visible);
        }
        w->Log.clear();
        Tick();
        EXPECT_EQ(std::count(w->Log.begin(), w->Log.end(), "redraw"), c.Redraws)
            << c.Exists << c.Visible << c.AutoRefresh;
        // A display-only refresh is no tick.
        ClockDisplayOf(*w).UpdateClockDisplays(true);
        EXPECT_EQ(std::count(w->Log.begin(), w->Log.end(), "redraw"), c.Redraws);
    }
}

TEST_F(MapHooks, ActivateMapMakesTheMapAtStartWithTheHomePlace) {
    store.SetValue(CU, kPrefsKey, "ActivateMap", V::FromInteger(1));
    Start();
    ASSERT_NE(w->MapWindow(), nullptr);
    // Made without a question, given the home clock's place, not shown.
    const std::string home = "home " + w->LocalClock.Location.Name;
    EXPECT_EQ(StartLog, std::vector<std::string>({"create", home, home}));
    EXPECT_FALSE(w->MapWindow()->Window()->isVisible());
    // The map goes with the main window.
    QPointer<QWidget> map = w->MapWindow()->Window();
    w.reset();
    EXPECT_TRUE(map.isNull());
}

}  // namespace
