#include "TestApp.h"
#include "clockapp/ClockDisplay.h"
#include "clockapp/MainWindow.h"
#include "clockapp/TrayIcon.h"
#include "clockapp/controls/HXAnalogClock.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HX_messages.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolBar>
#include <QTimer>

#include <gtest/gtest.h>

#include <QFile>

#include <functional>

namespace {

using V = THXStoredValue;
constexpr auto CU = THXRootKey::HKEY_CURRENT_USER;

class TestClocks : public TF_clocks {
public:
    using TF_clocks::TF_clocks;
    std::vector<std::string> Asked;
    std::vector<TAnswer> Answers;
    int Syncs = 0;
    std::function<void()> OnSync;
    std::vector<std::string> Errors;

protected:
    void ShowError(const std::string& t) override { Errors.push_back(t); }
    void ShowInfo(const std::string&) override {}
    void ShowErrorCode(int) override {}
    TAnswer AskYesNo(const std::string& t) override {
        Asked.push_back(t);
        if (Answers.empty()) return TAnswer::No;
        TAnswer a = Answers.front();
        Answers.erase(Answers.begin());
        return a;
    }
    void SyncTime() override {
        ++Syncs;
        if (OnSync) OnSync();
    }
};

const TDateTime kUtc = EncodeDate(2024, 5, 6) + EncodeTime(9, 59, 58, 0);

class ClockDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        TTrayIcon::SetNotificationAreaOverride(true);
        PinClock(kUtc, 1.0);
        store.SetValue(CU, kPrefsKey, "FirstRun", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "InstallUpgrade", V::FromInteger(0));
        store.SetValue(CU, kPrefsKey, "ShowSplash", V::FromInteger(0));
        w = std::make_unique<TestClocks>(store);
        w->SplashDelayMs = 0;
        w->FormCreate("/nonexistent", {"-datadir", dir.path().toStdString(), "-readonly"});
        w->Timer1->stop();
        d = &ClockDisplayOf(*w);
        auto rec = std::make_unique<TRecordingSoundPlayer>();
        sound = rec.get();
        d->SetSoundPlayer(std::move(rec));
        w->Clocks.clear();
    }
    void TearDown() override {
        w.reset();
        ResetClockSource();
        TTrayIcon::SetNotificationAreaOverride(std::nullopt);
    }
    THXClock& Add(uint8_t type, bool analog, const std::string& city) {
        w->Clocks.push_back(std::make_unique<THXClock>());
        THXClock& c = *w->Clocks.back();
        c.ClockType = type;
        c.Analog = analog;
        c.Location.City = city;
        c.Location.Name = city;
        c.Location.StdOffset = 3;
        return c;
    }
    void Tick(bool displayOnly = false) {
        w->Timer1->stop();
        d->UpdateClockDisplays(displayOnly);
        w->Timer1->stop();
    }
    QTemporaryDir dir;
    THXMemoryPrefsStore store;
    std::unique_ptr<TestClocks> w;
    TClockDisplay* d = nullptr;
    TRecordingSoundPlayer* sound = nullptr;
};

TEST_F(ClockDisplayTest, EveryTypeInBothFormsInOneRow) {
    for (int form = 0; form < 2; ++form)
        for (uint8_t t = 0; t <= 8; ++t)
            Add(t, form == 1, "City" + std::to_string(t));
    w->ConstrainWindowType = 1;
    w->show();
    w->RefreshClockObjects(true, true);
    Tick();
    int x = 1, sum = 0, tallest = 0;
    for (int i = 0; i < 18; ++i) {
        QWidget* c = d->ClockControl(i);
        ASSERT_TRUE(c);
        EXPECT_EQ(c->property("Tag").toInt(), i);
        EXPECT_EQ(qobject_cast<THXAnalogClock*>(c) != nullptr, i >= 9);
        EXPECT_EQ(c->pos(), QPoint(x, 1)) << i;
        x += c->width();
        sum += c->width();
        tallest = std::max(tallest, c->height());
    }
    // The window fits the row; the bars below the clocks add their height.
    EXPECT_EQ(w->width(), sum + 2);
    EXPECT_GE(w->height(), tallest);
}

TEST_F(ClockDisplayTest, NarrowWindowWrapsAndTypeTwoFitsTheWidth) {
    for (int i = 0; i < 6; ++i)
        Add(0, i % 2 == 1, "Town" + std::to_string(i));
    w->ConstrainWindowType = 0;
    w->resize(200, 400);
    w->show();
    w->RefreshClockObjects(true, true);
    int rows = 0, lastTop = -1, tallest = 0;
    for (int i = 0; i < 6; ++i) {
        QWidget* c = d->ClockControl(i);
        if (c->y() != lastTop) ++rows, lastTop = c->y();
        tallest = std::max(tallest, c->height());
        EXPECT_LE(c->x() + c->width(), std::max(200, c->width() + 1));
    }
    EXPECT_GE(rows, 2);
    w->ConstrainWindowType = 2;
    w->RefreshClockObjects(true, false);
    Tick(true);
    int right = 0;
    for (int i = 0; i < 6; ++i)
        right = std::max(right, d->ClockControl(i)->x() + d->ClockControl(i)->width());
    // As wide as the clocks, but never narrower than the tool bar's buttons.
    auto* bar = w->findChild<QToolBar*>("tbMainToolSet");
    ASSERT_TRUE(bar);
    EXPECT_EQ(w->width(), std::max(right + 2, bar->sizeHint().width()));
}

TEST_F(ClockDisplayTest, PanelsTitleAndTrayShowTheClocksTexts) {
    THXClock& paris = Add(0, false, "Paris");
    Add(2, false, "Zulu");
    Add(5, true, "Days");
    w->HintClock = -1;
    w->show();
    w->RefreshClockObjects(true, true);
    Tick();
    EXPECT_EQ(d->DisplayText(0).toStdString(), paris.DisplayString());
    EXPECT_EQ(d->DisplayText(1).toStdString(), w->Clocks[1]->DisplayString());
    EXPECT_EQ(d->TitleText(0).toStdString(), paris.TitleString());
    EXPECT_EQ(d->TitleText(2).toStdString(), w->Clocks[2]->TitleString());
    auto* face = qobject_cast<THXAnalogClock*>(d->ClockControl(2));
    ASSERT_TRUE(face);
    EXPECT_EQ(face->DateTime(), w->Clocks[2]->ClockDateTime());
    // No title clock: UTC.
    EXPECT_NE(w->windowTitle().indexOf("09:59:58 UTC"), -1) << w->windowTitle().toStdString();
    w->HintClock = 0;
    Tick(true);
    EXPECT_NE(w->windowTitle().indexOf("12:59:58"), -1) << w->windowTitle().toStdString();
    EXPECT_EQ(w->ti_HoroluxTray->Hint(), d->TrayText().left(50));
    EXPECT_EQ(w->windowTitle(), d->TitleCaption());
}

// A place name of 300 characters does not widen its clock (and the window
// with it) past the screen: the title is cut to the clock's width and the
// whole name is in its tip.
TEST_F(ClockDisplayTest, LongPlaceNamesAreCutToTheirClocks) {
    std::string name;
    while (name.size() < 300)
        name += "Llanfairpwllgwyngyll ";
    name.resize(300);
    Add(0, false, name);
    Add(0, true, name);
    Add(0, false, "Paris");
    w->ConstrainWindowType = 1; // one row: the window is as wide as its clocks
    w->show();
    w->RefreshClockObjects(true, true);
    Tick();
    auto* face = qobject_cast<THXAnalogClock*>(d->ClockControl(1));
    ASSERT_TRUE(face);
    QLabel* strip = d->ClockControl(0)->findChild<QLabel*>("TitleStrip");
    const QString whole = QString::fromStdString(name);
    for (QLabel* title : {strip, static_cast<QLabel*>(face->TitlePanel)}) {
        const std::string what = title->objectName().toStdString();
        EXPECT_TRUE(title->text().endsWith(QChar(0x2026))) << what;
        EXPECT_LT(title->text().size(), 100) << what;
        EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->width()) << what;
        EXPECT_TRUE(title->toolTip().contains(whole)) << what;
    }
    EXPECT_LT(d->ClockControl(0)->width(), 400);
    EXPECT_LT(face->width(), 400);
    EXPECT_LT(w->width(), 1000);
    EXPECT_EQ(d->TitleText(2), "Paris");
    EXPECT_FALSE(d->ClockControl(2)->findChild<QLabel*>("TitleStrip")->toolTip().contains("\n"));
    // A shorter name later is shown whole again.
    w->Clocks[0]->Location.Name = w->Clocks[0]->Location.City = "Rome";
    w->RefreshClockObjects(true, false);
    Tick();
    EXPECT_EQ(d->TitleText(0), "Rome");
    EXPECT_FALSE(strip->toolTip().contains(whole));
}

TEST_F(ClockDisplayTest, ThisClockCommandsKeepTitleAndChimeIndexes) {
    Add(0, false, "A");
    Add(0, false, "B");
    Add(0, true, "C");
    w->show();
    w->RefreshClockObjects(true, true);
    w->HintClock = 1;
    w->ChimeClock = 2;
    w->CurrentClock = 1;
    d->miClkInsertBeforeClick();
    ASSERT_EQ(w->Clocks.size(), 4u);
    EXPECT_EQ(w->HintClock, 2);
    EXPECT_EQ(w->ChimeClock, 3);
    EXPECT_EQ(w->Clocks[2]->Location.City, "B");
    w->CurrentClock = 2;
    d->miClkDuplicateClick();
    EXPECT_EQ(w->Clocks.back()->Location.City, "B");
    EXPECT_EQ(w->CurrentClock, 4);
    // Moving the title clock leftmost takes the title with it.
    w->CurrentClock = 2;
    d->miClkMoveLeftmostClick();
    EXPECT_EQ(w->Clocks[0]->Location.City, "B");
    EXPECT_EQ(w->HintClock, 0);
    EXPECT_EQ(w->ChimeClock, 3);
    EXPECT_EQ(w->CurrentClock, 2);
    // A cancelled delete changes nothing.
    w->CurrentClock = 0;
    w->Answers = {TClockState::TAnswer::No};
    d->miClkDeleteClick();
    EXPECT_EQ(w->Clocks.size(), 5u);
    EXPECT_EQ(w->HintClock, 0);
    w->Answers = {TClockState::TAnswer::Yes};
    d->miClkDeleteClick();
    EXPECT_EQ(w->Clocks.size(), 4u);
    EXPECT_EQ(w->HintClock, -1);
    EXPECT_EQ(w->ChimeClock, 2);
    Tick(true);
    EXPECT_NE(w->windowTitle().indexOf(" UTC"), -1);
    EXPECT_EQ(d->ClockControl(3) != nullptr, true);
    EXPECT_EQ(d->ClockControl(4), nullptr);
    // An index out of the list is refused.
    w->CurrentClock = 42;
    d->miClkDeleteClick();
    d->miClkMoveLeftClick();
    EXPECT_EQ(w->Clocks.size(), 4u);
}

TEST_F(ClockDisplayTest, HostOffsetChangeReachesEveryClockAndAlarmNextTick) {
    Add(0, false, "Far");
    Add(1, false, "Here");
    w->Alarms.push_back(std::make_unique<TAlarm>());
    w->RefreshClockObjects(true, true);
    Tick();
    PinClock(kUtc + 1.0 / 24, 2.0); // the night the clocks go forward
    Tick();
    EXPECT_DOUBLE_EQ(w->LocalClock.Location.HostOffset, 2.0);
    EXPECT_DOUBLE_EQ(w->Clocks[0]->Location.HostOffset, 2.0);
    // The Local clock tells the new offset; the place it keeps stays its own.
    EXPECT_DOUBLE_EQ(w->Clocks[1]->TimeLocation().StdOffset, 2.0);
    EXPECT_DOUBLE_EQ(w->Clocks[1]->Location.StdOffset, 3.0);
    EXPECT_DOUBLE_EQ(w->Alarms[0]->Location.HostOffset, 2.0);
}

// Every path that re-reads the host zone keeps the user's offset, and the
// clocks convert with it on the next tick.
TEST_F(ClockDisplayTest, OffsetOverrideSurvivesEveryZoneReread) {
    THXClock& far = Add(0, false, "Far");
    Add(1, false, "Here");
    w->RefreshClockObjects(true, true);
    w->OverrideLocalOffset = true;
    w->LocalOffsetOverride = 5.5;
    w->ShowSplash = false;
    const std::vector<std::pair<const char*, std::function<void()>>> paths = {
        {"Preferences OK", [&] { w->WMApplySettings(); }},
        {"activation", [&] { w->FormActivate(); }},
        {"WM_USER+200", [&] { w->WMConnectionState(); }},
        {"time change", [&] { w->HandleHXMessage(WM_TIMECHANGE); }},
        {"02:10", [&] { PinClock(EncodeDate(2024, 5, 7) + EncodeTime(1, 10, 0, 0), 1.0); }},
    };
    for (const auto& [name, run] : paths) {
        w->LocalClock.Location.StdOffset = 1;
        far.Location.HostOffset = 1;
        run();
        Tick();
        EXPECT_DOUBLE_EQ(w->LocalClock.Location.StdOffset, 5.5) << name;
        EXPECT_DOUBLE_EQ(far.Location.HostOffset, 5.5) << name;
        EXPECT_DOUBLE_EQ(w->Clocks[1]->TimeLocation().StdOffset, 5.5) << name;
        // The computer's local time read as 5.5 hours east of UTC.
        EXPECT_NEAR(far.Location.CurrentDateTime(), Now() - 5.5 / 24 + 3.0 / 24, 1e-8) << name;
    }
}

TEST_F(ClockDisplayTest, ChimesOnTheTickButNotOnADisplayRefresh) {
    w->ChimeType = 0;
    w->ChimeClock = -1;
    w->LocalClock.Location.StdOffset = 1;
    w->LocalClock.Location.HostOffset = 1;
    w->MuteChimes = false;
    PinClock(EncodeDate(2024, 5, 6) + EncodeTime(10, 0, 0, 0), 1.0); // 11:00 local
    Tick(true);
    EXPECT_TRUE(sound->Played.empty());
    Tick();
    ASSERT_EQ(sound->Played.size(), 1u);
    EXPECT_EQ(sound->Played[0].Sound, w->Chime60Sound);
    Tick();
    EXPECT_EQ(sound->Played.size(), 1u);
}

// A chime whose file has gone is told on the screen once, after its tick,
// not at every chime; found again and then gone, it is told again.
TEST_F(ClockDisplayTest, AChimeFileThatHasGoneIsToldOnceOnTheScreen) {
    w->ChimeType = 0;
    w->ChimeClock = -1;
    w->LocalClock.Location.StdOffset = 1;
    w->LocalClock.Location.HostOffset = 1;
    w->MuteChimes = false;
    w->Chime60Sound = w->Chime15Sound = "chime.wav";
    QFile file(dir.filePath("chime.wav"));
    const std::string told = "The sound file \"" + file.fileName().toStdString() +
                             "\" does not exist, so it could not be played.";
    auto chimeAt = [&](int hour, int minute) {
        PinClock(EncodeDate(2024, 5, 6) + EncodeTime(hour, minute, 0, 0), 1.0);
        Tick();
        QCoreApplication::processEvents();
    };
    w->Errors.clear(); // the start's own
    chimeAt(10, 0);
    EXPECT_EQ(w->Errors, std::vector<std::string>{told});
    chimeAt(10, 15);
    chimeAt(11, 0);
    EXPECT_EQ(w->Errors.size(), 1u);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    chimeAt(11, 15);
    EXPECT_EQ(w->Errors.size(), 1u);
    ASSERT_TRUE(file.remove());
    chimeAt(12, 0);
    EXPECT_EQ(w->Errors, (std::vector<std::string>{told, told}));
    EXPECT_EQ(sound->Played.size(), 5u);
}

TEST_F(ClockDisplayTest, AutoSyncCountdownRunsOnTicksOnly) {
    w->AutoSyncOn = true;
    w->AutoSyncDuration = 5; // a minute at least
    d->TickClock().ResetCountdown(w->AutoSyncDuration);
    for (int i = 0; i < 59; ++i)
        Tick();
    EXPECT_EQ(w->Syncs, 0);
    Tick(true);
    EXPECT_EQ(w->Syncs, 0);
    Tick();
    EXPECT_EQ(w->Syncs, 1);
}

// The user who leaves a box open for three seconds: each second the timer
// fires inside the box's loop.
struct TSlowUser : IMessagePresenter {
    std::function<void()> WhileOpen;
    std::vector<std::string> Texts;
    TModalResult Present(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons,
                         int) override {
        Texts.push_back(text);
        if (WhileOpen) WhileOpen();
        return EscapeResult(buttons);
    }
};

// A box raised inside the tick (the auto-sync's failed start here) does not
// stop the clocks: while it is open every tick runs in full, and the faces,
// the title and the countdown go on each second.
TEST_F(ClockDisplayTest, ClocksGoOnWhileABoxFromTheTickIsOpen) {
    Add(0, false, "Digital");
    Add(0, true, "Analog");
    w->show();
    w->RefreshClockObjects(true, true);
    Tick();
    w->AutoSyncOn = true;
    w->SuspendSync = false;
    d->TickClock().ResetCountdown(60);
    while (d->TickClock().Countdown() > 1)
        d->TickClock().CountDown(60);
    w->OnSync = [] { THXMessageBoxes::ShowErrorCode(7); };

    TSlowUser user;
    TDateTime t = kUtc;
    std::vector<QString> texts, titles;
    std::vector<TDateTime> faces;
    std::vector<int> countdowns;
    bool timerRan = true;
    user.WhileOpen = [&] {
        for (int second = 1; second <= 3; ++second) {
            t += 1.0 / 86400;
            PinClock(t, 1.0);
            timerRan = timerRan && w->Timer1->isActive();
            w->Timer1Timer(); // what the running timer does in the box's loop
            texts.push_back(d->DisplayText(0));
            titles.push_back(w->windowTitle());
            faces.push_back(qobject_cast<THXAnalogClock*>(d->ClockControl(1))->DateTime());
            countdowns.push_back(d->TickClock().Countdown());
        }
    };
    SetMessagePresenter(&user);
    w->Timer1->start();
    w->Timer1Timer();
    for (int i = 0; i < 100 && user.Texts.empty(); ++i)
        QCoreApplication::processEvents();
    SetMessagePresenter(nullptr);
    w->Timer1->stop();

    ASSERT_EQ(user.Texts.size(), 1u);
    EXPECT_NE(user.Texts[0].find("Error(7)"), std::string::npos);
    EXPECT_EQ(w->Syncs, 1);
    EXPECT_TRUE(timerRan);
    ASSERT_EQ(texts.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const TDateTime local = kUtc + (double(i) + 1) / 86400 + 3.0 / 24;
        EXPECT_EQ(texts[i].toStdString(), FormatDateTime(w->Clocks[0]->TimeFormat, local)) << i;
        EXPECT_NEAR(faces[i], local, 1e-8) << i;
        if (i > 0) {
            EXPECT_NE(titles[i].toStdString(), titles[i - 1].toStdString()) << i;
            EXPECT_EQ(countdowns[i], countdowns[i - 1] - 1) << "the ticks run in full";
        }
    }
}

// A right click as the desktop delivers it: the press, then the context-menu
// request to the same widget, which goes up to its parents unless taken.
static void RightClick(QWidget* target) {
    const QPoint at = target->rect().center();
    const QPoint global = target->mapToGlobal(at);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::RightButton, Qt::RightButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QContextMenuEvent menu(QContextMenuEvent::Mouse, at, global);
    QApplication::sendEvent(target, &menu);
}

TEST_F(ClockDisplayTest, RightClickOnAClockOpensThisClockOnce) {
    Add(0, false, "Digital");
    Add(0, true, "Analog");
    w->show();
    w->RefreshClockObjects(true, true);
    QMenu* menu = w->pm_MainMenu();
    QAction* thisClock = w->Menu("miCurrentClock")->menuAction();
    int opened = 0;
    bool thisClockShown = false;
    QObject::connect(menu, &QMenu::aboutToShow, [&] {
        ++opened;
        thisClockShown = thisClock->isVisible();
    });
    auto* face = qobject_cast<THXAnalogClock*>(d->ClockControl(1));
    ASSERT_TRUE(face);
    const std::vector<std::pair<QWidget*, int>> targets = {
        {d->ClockControl(0)->findChild<QLabel*>("TitleStrip"), 0},
        {d->ClockControl(0)->findChild<QLabel*>("TimeText"), 0},
        {face->TitlePanel, 1},
        {face, 1}};
    for (const auto& [target, tag] : targets) {
        ASSERT_TRUE(target);
        opened = 0;
        RightClick(target);
        EXPECT_EQ(opened, 1) << target->objectName().toStdString();
        EXPECT_TRUE(thisClockShown) << target->objectName().toStdString();
        EXPECT_EQ(w->CurrentClock, tag);
        menu->hide();
    }
    // The commands act on the clock clicked: the face becomes a panel, and a
    // delete asks first.
    RightClick(face);
    menu->hide();
    w->Action("smiDigital")->trigger();
    EXPECT_FALSE(w->Clocks[1]->Analog);
    RightClick(d->ClockControl(0)->findChild<QLabel*>("TitleStrip"));
    menu->hide();
    w->Answers = {TClockState::TAnswer::Yes};
    w->Action("miDelete")->trigger();
    ASSERT_EQ(w->Asked.size(), 1u);
    ASSERT_EQ(w->Clocks.size(), 1u);
    EXPECT_EQ(w->Clocks[0]->Location.City, "Analog");
    // Empty clock area: the menu without "This Clock".
    opened = 0;
    RightClick(w->ClockArea());
    EXPECT_EQ(opened, 1);
    EXPECT_FALSE(thisClockShown);
    menu->hide();
}

// The "This Clock" submenus mark the clicked clock's type and form as radio
// items, and a type chosen there shows on the clock at once.
TEST_F(ClockDisplayTest, ClockTypeAndFormAreMarkedAndShowAtOnce) {
    THXClock& la = Add(0, false, "Los Angeles");
    la.Location.StdOffset = -8;
    Add(7, true, "Sidereal");
    w->show();
    w->RefreshClockObjects(true, true);
    Tick();
    EXPECT_EQ(d->DisplayText(0).toStdString(), "01:59:58");
    auto marked = [&](const char* menu) {
        std::vector<std::string> names;
        for (QAction* a : w->Menu(menu)->actions()) {
            EXPECT_TRUE(a->isCheckable()) << a->objectName().toStdString();
            EXPECT_TRUE(a->actionGroup() && a->actionGroup()->isExclusive());
            if (a->isChecked()) names.push_back(a->objectName().toStdString());
        }
        return names;
    };
    using L = std::vector<std::string>;
    RightClick(d->ClockControl(1));
    w->pm_MainMenu()->hide();
    EXPECT_EQ(marked("smiClockType"), L{"smiCTGMST"});
    EXPECT_EQ(marked("smiDisplayType"), L{"smiAnalog"});
    RightClick(d->ClockControl(0)->findChild<QLabel*>("TimeText"));
    w->pm_MainMenu()->hide();
    EXPECT_EQ(marked("smiClockType"), L{"smiCTLocation"});
    EXPECT_EQ(marked("smiDisplayType"), L{"smiDigital"});

    // Local: the computer's time (one hour east here), now and at every tick.
    w->Action("smiCTLocal")->trigger();
    EXPECT_EQ(marked("smiClockType"), L{"smiCTLocal"});
    EXPECT_EQ(d->DisplayText(0).toStdString(), "10:59:58");
    Tick();
    EXPECT_EQ(d->DisplayText(0).toStdString(), "10:59:58");
    w->HintClock = 0;
    Tick(true);
    EXPECT_NE(w->windowTitle().indexOf("10:59:58"), -1) << w->windowTitle().toStdString();
    w->Action("smiCTUTC")->trigger();
    EXPECT_EQ(d->DisplayText(0).toStdString(), "09:59:58");
    EXPECT_NE(w->windowTitle().indexOf("09:59:58"), -1) << w->windowTitle().toStdString();
}

// Small commands that must take effect at once: "Use for Chimes" runs one
// tick, OK in the preferences starts a new auto-sync period, and minimising
// and restoring sound through the sound layer.
TEST_F(ClockDisplayTest, CommandsThatActAtOnce) {
    Add(0, false, "Far");
    w->RefreshClockObjects(true, true);
    w->CurrentClock = 0;
    w->ChimeClock = -1;
    w->AutoSyncDuration = 300;
    d->TickClock().ResetCountdown(w->AutoSyncDuration);
    w->Action("smiUseForChimes")->trigger();
    EXPECT_EQ(w->ChimeClock, 0);
    EXPECT_EQ(d->TickClock().Countdown(), 299) << "one tick ran";

    for (int i = 0; i < 10; ++i)
        Tick();
    AnswerNextModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>("me_AutoDuration")->setText("00:02:00");
        dialog->findChild<QPushButton*>("OKBtn")->click();
    });
    w->Action("sb_Prefs")->trigger();
    EXPECT_EQ(w->AutoSyncDuration, 120);
    EXPECT_EQ(d->TickClock().Countdown(), 120);

    sound->Played.clear();
    w->VisibleTaskBar = true;
    w->HXMinimize();
    w->HXRestore();
    w->VisibleTaskBar = false; // to the tray instead, without a sound
    w->HXMinimize();
    ASSERT_EQ(sound->Played.size(), 2u);
    EXPECT_EQ(sound->Played[0].Sound, "Minimize");
    EXPECT_EQ(sound->Played[1].Sound, "RestoreUp");
}

} // namespace
