// The alarm pop-up and the late-alarm window in the main window, at pinned
// instants: found by their component names, clicked, and checked for what
// the user sees and what becomes of the alarms.
#include "alarms/AlarmExplorer.h"
#include "alarms/AlarmMessage.h"
#include "alarms/AlarmWindows.h"
#include "clockapp/ClockDisplay.h"
#include "clockapp/tests/WindowTest.h"
#include "platform/qt/HXQtMessagePresenter.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

#include <stdexcept>

class TAlarmUrls : public QObject {
    Q_OBJECT
public:
    std::vector<QUrl> Urls;
public slots:
    void open(const QUrl& url) { Urls.push_back(url); }
};

namespace {

constexpr double kSecond = 1.0 / 86400;
constexpr double kMinute = 60 * kSecond;
// Host at +1; the alarms are for 08:00 in Tokyo (+9), 23:00 UTC, which is
// one second before midnight on the host.
const TDateTime kUtc = EncodeDate(2026, 3, 1) + EncodeTime(23, 0, 0, 0);
const TDateTime kLocal = EncodeDate(2026, 3, 2) + EncodeTime(8, 0, 0, 0);

class AlarmClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;
    std::vector<int> Codes;
    int Syncs = 0;
    void SyncTime() override { ++Syncs; }

    std::vector<std::string> Errors;

protected:
    void ShowErrorCode(int code) override { Codes.push_back(code); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }
};

class AlarmWindows : public TWindowTest<AlarmClocks> {
protected:
    void BeforeStart() override { InstallAlarmWindows(*w, w->WindowServices()); }
    void SetUp() override {
        PinClock(kUtc - 10 * kSecond, 1);
        TWindowTest::SetUp();
        w->Timer1->stop();
        auto rec = std::make_unique<TRecordingSoundPlayer>();
        sound = rec.get();
        ClockDisplayOf(*w).SetSoundPlayer(std::move(rec));
        w->Alarms.clear();
        w->Clocks.clear();
        w->Codes.clear(); // the start's own notes
        w->MuteChimes = true;
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("https");
        TWindowTest::TearDown();
        ResetClockSource();
    }
    TAlarm& Add(int type, const std::string& text = "Wake up", TDateTime local = kLocal) {
        w->Alarms.push_back(std::make_unique<TAlarm>());
        TAlarm& a = *w->Alarms.back();
        a.AlarmType = uint8_t(type);
        a.AlarmTime = local;
        a.Location.StdOffset = 9;
        a.Location.Rule.ReadDataString("0");
        a.Enabled = true;
        a.Text = text;
        return a;
    }
    // One tick of the main window, seconds after the alarms' time.
    void TickAt(double seconds, double hostOffset = 1) {
        PinClock(kUtc + seconds * kSecond, hostOffset);
        ClockDisplayOf(*w).UpdateClockDisplays(false);
        w->Timer1->stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <class T> std::vector<T*> Shown() const {
        std::vector<T*> r;
        for (QWidget* x : QApplication::topLevelWidgets())
            if (auto* t = qobject_cast<T*>(x); t && t->isVisible()) r.push_back(t);
        return r;
    }
    TF_AlarmMessage* Popup() const {
        auto p = Shown<TF_AlarmMessage>();
        return p.size() == 1 ? p[0] : nullptr;
    }
    static void Step(TF_AlarmMessage* p, int times = 1) {
        for (int i = 0; i < times && p->isVisible(); ++i) {
            ASSERT_TRUE(p->tTimer->isActive());
            QMetaObject::invokeMethod(p->tTimer, "timeout");
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    static void Key(QWidget* target, int key) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    template <class T> static T* Part(QWidget* p, const char* name) {
        return p->findChild<T*>(name);
    }
    static QString Caption(TF_AlarmMessage* p) {
        return Part<QPushButton>(p, "sb_Dozewise")->text();
    }
    QString AlarmFile() const { return dir.filePath("hxalarms.hxd"); }
    std::vector<std::string> Sounds() const {
        std::vector<std::string> r;
        for (const auto& e : sound->Played)
            r.push_back(e.Sound);
        return r;
    }
    TRecordingSoundPlayer* sound = nullptr;
};

using Strings = std::vector<std::string>;

TEST_F(AlarmWindows, ANormalAlarmCountsDownToDozewiseAndComesBackFiveMinutesOnTwice) {
    TAlarm& a = Add(1, "Stand-up meeting");
    TickAt(-1);
    EXPECT_EQ(Popup(), nullptr);
    TickAt(1, 2); // the host's clocks went forward meanwhile
    TF_AlarmMessage* p = Popup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->windowTitle(), "Horolux Alarm");
    EXPECT_EQ(p->windowModality(), Qt::ApplicationModal);
    EXPECT_TRUE(p->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(p->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(Part<QLabel>(p, "l_AlarmType")->text(), "Alarm - Normal");
    EXPECT_EQ(Part<QLabel>(p, "l_Description")->text(), "Stand-up meeting");
    EXPECT_EQ(Part<QLineEdit>(p, "e_SnoozeDuration")->text(), "5");
    EXPECT_EQ(Sounds(), Strings{"sounds/alarm2.wav"});
    EXPECT_TRUE(a.Sounding);
    TickAt(2); // the clocks go on; the alarm does not fire again
    EXPECT_EQ(Shown<TF_AlarmMessage>().size(), 1u);

    Step(p);
    EXPECT_EQ(Caption(p), "Dozewise in24 sec.");
    Step(p, 23);
    EXPECT_EQ(Caption(p), "Dozewise in1 sec.");
    QFile::remove(AlarmFile());
    Step(p);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_FALSE(a.Sounding);
    EXPECT_NEAR(a.SnoozeOffset, 5.0 / 1440, 1e-12);
    EXPECT_TRUE(QFile::exists(AlarmFile()));

    TickAt(5 * 60 - 1);
    EXPECT_EQ(Popup(), nullptr);
    TickAt(5 * 60 + 1);
    ASSERT_NE(p = Popup(), nullptr);
    Part<QPushButton>(p, "sb_Dozewise")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_NEAR(a.SnoozeOffset, 10.0 / 1440, 1e-12);
    TickAt(10 * 60 + 1);
    ASSERT_NE(p = Popup(), nullptr);
    // Escape snoozes as "Dozewise" does; a snooze that is no number is 5.
    Part<QLineEdit>(p, "e_SnoozeDuration")->setText("abc");
    QFile::remove(AlarmFile());
    Key(p, Qt::Key_Escape);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_NEAR(a.SnoozeOffset, 15.0 / 1440, 1e-12);
    EXPECT_TRUE(QFile::exists(AlarmFile()));
}

TEST_F(AlarmWindows, AMajorAlarmReplaysEveryFifteenSecondsWhileClocksAndChimesGoOn) {
    // Due at the host's 23:59:58; two seconds on, the hour chimes.
    TAlarm& a = Add(0, "Flight", kLocal - 2 * kSecond);
    w->Clocks.push_back(std::make_unique<THXClock>());
    w->ChimeClock = -1;
    w->ChimeType = 0;
    w->MuteChimes = false;
    w->RefreshClockObjects(true, true);
    TickAt(-3);
    TickAt(-1);
    TF_AlarmMessage* p = Popup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Part<QLabel>(p, "l_AlarmType")->text(), "Alarm - Major");
    const QString before = ClockDisplayOf(*w).DisplayText(0);
    sound->Played.clear();
    TickAt(0);
    EXPECT_NE(ClockDisplayOf(*w).DisplayText(0), before);
    EXPECT_EQ(Sounds(), Strings{w->Chime60Sound});

    sound->Played.clear();
    Step(p);
    EXPECT_EQ(Caption(p), "Snooze (Re-notify in 14 sec.)");
    Part<QToolButton>(p, "SpeedButton1")->click(); // "Wait" does not stop a Major alarm
    EXPECT_EQ(Caption(p), "Snooze");
    EXPECT_TRUE(p->tTimer->isActive());
    Step(p, 14);
    EXPECT_EQ(Sounds(), Strings{"sounds/alarm1.wav"});
    Step(p, 15 * 4);
    EXPECT_EQ(Sounds().size(), 5u);
    EXPECT_TRUE(p->isVisible());
    EXPECT_TRUE(a.Sounding);

    QFile::remove(AlarmFile());
    Key(Part<QLineEdit>(p, "e_SnoozeDuration"), Qt::Key_Return); // Enter acknowledges
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_TRUE(a.Acknowledged);
    EXPECT_FALSE(a.Sounding);
    EXPECT_TRUE(QFile::exists(AlarmFile()));
}

TEST_F(AlarmWindows, WaitStopsTheCountdownAndAcknowledgeAdvancesARepeatingAlarm) {
    TAlarm& a = Add(2);
    a.RepeatDays = 1;
    TickAt(1);
    TF_AlarmMessage* p = Popup();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Sounds(), Strings{"sounds/alarm3.wav"});
    Step(p, 3);
    EXPECT_EQ(Caption(p), "Dozewise in22 sec.");
    Part<QToolButton>(p, "SpeedButton1")->click();
    EXPECT_EQ(Caption(p), "Snooze");
    EXPECT_FALSE(p->tTimer->isActive());
    Part<QPushButton>(p, "sb_Ack")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_FALSE(a.Acknowledged);
    EXPECT_DOUBLE_EQ(a.AlarmTime, kLocal + 1);
}

TEST_F(AlarmWindows, AnAnswerGoesToTheAlarmShownWhateverBecameOfTheList) {
    Add(1, "first");
    Add(7, "sounds/own.wav");
    TickAt(1);
    auto shown = Shown<TF_AlarmMessage>();
    ASSERT_EQ(shown.size(), 2u); // the second on top of the first
    EXPECT_EQ(Sounds(), (Strings{"sounds/alarm2.wav", "sounds/own.wav"}));
    TF_AlarmMessage* first = shown[0]->Alarm.Text == "first" ? shown[0] : shown[1];
    TF_AlarmMessage* second = first == shown[0] ? shown[1] : shown[0];
    // Another window deletes the first alarm and a new one takes its place.
    w->Alarms.erase(w->Alarms.begin());
    TAlarm& fresh = Add(1, "fresh", kLocal + 1);
    Part<QPushButton>(first, "sb_Ack")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(fresh.Acknowledged);
    EXPECT_TRUE(w->Alarms[0]->Sounding);
    // The Sound File alarm times out: it cannot snooze, so it is done.
    Step(second, 25);
    EXPECT_TRUE(Shown<TF_AlarmMessage>().empty());
    EXPECT_TRUE(w->Alarms[0]->Acknowledged);
    EXPECT_FALSE(w->Alarms[0]->Sounding);
    // Every alarm gone under an open pop-up: its answer changes nothing.
    Add(1);
    TickAt(2);
    ASSERT_NE(Popup(), nullptr);
    w->Alarms.clear();
    Step(Popup(), 25);
    EXPECT_TRUE(w->Alarms.empty());
}

TEST_F(AlarmWindows, ConnectDisconnectSyncAndExecuteActAtOnceWithoutAWindow) {
    Strings launched;
    w->AlarmLauncher = [&](const std::string& t) {
        launched.push_back(t);
        return true;
    };
    for (int type : {3, 4, 5, 6})
        Add(type, "payload " + std::to_string(type)).RepeatDays = 7;
    loop.Sent.clear();
    QFile::remove(AlarmFile());
    TickAt(1);
    EXPECT_TRUE(Shown<TF_AlarmMessage>().empty());
    EXPECT_EQ(loop.Sent, (Strings{"HXM_RASDialRequest", "HXM_RASDisconnectRequest"}));
    EXPECT_EQ(w->Syncs, 1);
    EXPECT_EQ(launched, Strings{"payload 6"});
    for (const auto& a : w->Alarms) {
        EXPECT_FALSE(a->Sounding);
        EXPECT_FALSE(a->Acknowledged);
        EXPECT_DOUBLE_EQ(a->AlarmTime, kLocal + 7);
    }
    EXPECT_TRUE(QFile::exists(AlarmFile()));
}

TEST_F(AlarmWindows, WithoutItsWindowASoundingAlarmIsSnoozedNotLeftSounding) {
    w->SetAlarmWindowFactories([](QWidget*) -> IAlarmMessage* { throw std::runtime_error("x"); },
                               nullptr);
    TAlarm& a = Add(1);
    TickAt(1);
    EXPECT_FALSE(a.Sounding);
    EXPECT_NEAR(a.SnoozeOffset, 5.0 / 1440, 1e-12);
}

TEST_F(AlarmWindows, TheLaunchButtonOpensTheDescriptionAndSaysWhenItCannot) {
    TAlarmUrls urls;
    QDesktopServices::setUrlHandler("https", &urls, "open");
    Add(1, "https://example.org/agenda?id=7");
    Add(1, "/nonexistent/program --flag");
    TickAt(1);
    auto shown = Shown<TF_AlarmMessage>();
    ASSERT_EQ(shown.size(), 2u);
    for (TF_AlarmMessage* p : shown)
        Part<QToolButton>(p, "sbLaunch")->click();
    ASSERT_EQ(urls.Urls.size(), 1u);
    EXPECT_EQ(urls.Urls[0].toString(), "https://example.org/agenda?id=7");
    ASSERT_EQ(presenter.Texts.size(), 1u);
    EXPECT_EQ(presenter.Texts[0].rfind("Error(65) Could not launch file", 0), 0u);
    EXPECT_EQ(Shown<TF_AlarmMessage>().size(), 2u); // both stay open
    QDesktopServices::unsetUrlHandler("https");
}

// A box raised from the pop-up, which stays on top and blocks every other
// window, shows above the pop-up (a transient of it, on top too), and once
// answered the pop-up takes clicks again.
TEST_F(AlarmWindows, ABoxFromThePopupShowsAboveItAndAnsweringItFreesThePopup) {
    TQtMessagePresenterScope boxes; // real boxes
    TAlarm& a = Add(1, "/nonexistent/program --flag");
    TickAt(1);
    TF_AlarmMessage* p = Popup();
    ASSERT_NE(p, nullptr);
    ASSERT_TRUE(p->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    bool seen = false;
    AnswerNextModal([&](QWidget* modal) {
        seen = true;
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->text().startsWith("Error(65) Could not launch file"));
        ASSERT_NE(box->windowHandle(), nullptr);
        EXPECT_EQ(box->windowHandle()->transientParent(), p->windowHandle());
        EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        box->button(QMessageBox::Ok)->click();
    });
    Part<QToolButton>(p, "sbLaunch")->click();
    EXPECT_TRUE(seen);
    EXPECT_EQ(QApplication::activeModalWidget(), p);
    Part<QPushButton>(p, "sb_Ack")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Popup(), nullptr);
    EXPECT_TRUE(a.Acknowledged);
}

// The pop-up times out while its box is up: the box is not the pop-up's and
// stays until it is answered, and the alarm is snoozed as any timeout does.
TEST_F(AlarmWindows, ABoxFromThePopupStaysUpWhenThePopupTimesOut) {
    TQtMessagePresenterScope boxes; // real boxes
    TAlarm& a = Add(1, "/nonexistent/program --flag");
    TickAt(1);
    QPointer<TF_AlarmMessage> p = Popup();
    ASSERT_NE(p, nullptr);
    bool timedOut = false, stayed = false;
    AnswerNextModal([&](QWidget* modal) {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        Step(p, 60); // the countdown runs out
        timedOut = p.isNull();
        QCoreApplication::processEvents();
        stayed = box && box->isVisible();
        if (box) box->button(QMessageBox::Ok)->click();
    });
    Part<QToolButton>(p, "sbLaunch")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(timedOut);
    EXPECT_TRUE(stayed) << "the box went with the pop-up, unanswered";
    EXPECT_TRUE(p.isNull());
    EXPECT_FALSE(a.Acknowledged);
    EXPECT_GT(a.SnoozeOffset, 0);
}

// Frameless, it still stands out from the windows behind it: a strong border
// all round and a sheet unlike the usual window grey.
TEST_F(AlarmWindows, ThePopupHasABorderAndStandsOutFromTheWindowsBehind) {
    Add(1);
    TickAt(1);
    TF_AlarmMessage* p = Popup();
    ASSERT_NE(p, nullptr);
    const QImage shot = p->grab().toImage();
    const QColor grey = QApplication::palette().window().color();
    auto apart = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue());
    };
    for (const QPoint at :
         {QPoint(1, 1), QPoint(shot.width() - 2, shot.height() / 2),
          QPoint(shot.width() / 2, shot.height() - 2), QPoint(1, shot.height() / 2)})
        EXPECT_GT(apart(shot.pixelColor(at), grey), 150) << at.x() << "," << at.y();
    EXPECT_GT(apart(p->palette().window().color(), grey), 40);
    // Its controls are all there.
    for (const char* name : {"l_AlarmType", "l_Description", "sb_Dozewise", "e_SnoozeDuration",
                             "sb_Ack", "SpeedButton1", "sbLaunch"})
        EXPECT_TRUE(p->findChild<QWidget*>(name)->isVisible()) << name;
}

class LateAlarms : public AlarmWindows {
protected:
    TFAlarmExplorer* Explorer() const {
        auto e = Shown<TFAlarmExplorer>();
        EXPECT_LE(e.size(), 1u);
        return e.empty() ? nullptr : e[0];
    }
    static QListWidget* Rows(QWidget* e) { return Part<QListWidget>(e, "clb_Alarms"); }
    static QStringList Texts(QWidget* e) {
        QStringList r;
        for (int i = 0; i < Rows(e)->count(); ++i)
            r << Rows(e)->item(i)->text();
        return r;
    }
    std::string Left() const {
        std::string r;
        for (const auto& a : w->Alarms)
            r += a->Text + (a->Acknowledged ? "+ " : " ");
        return r;
    }
};

TEST_F(LateAlarms, DeleteAndAcknowledgeTheCheckedRowsThenTheWindowCloses) {
    for (const char* t : {"a", "b", "c", "d"})
        Add(1, t);
    Add(1, "later", kLocal + 1);
    TickAt(60);
    TFAlarmExplorer* e = Explorer();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(Shown<TF_AlarmMessage>().empty()); // late alarms never sound
    EXPECT_EQ(e->windowTitle(), "Unacknowledged Late Alarms");
    EXPECT_EQ(Texts(e), (QStringList{"Alarm - Normal  ...  a", "Alarm - Normal  ...  b",
                                     "Alarm - Normal  ...  c", "Alarm - Normal  ...  d"}));
    EXPECT_TRUE(Part<QToolButton>(e, "sb_Ack")->isEnabled());
    TickAt(61); // never a second window
    EXPECT_EQ(Explorer(), e);
    for (int row : {0, 2, 3})
        Rows(e)->item(row)->setCheckState(Qt::Checked);
    Part<QToolButton>(e, "sb_Delete")->click();
    EXPECT_EQ(Left(), "b later ");
    EXPECT_EQ(Texts(e), QStringList{"Alarm - Normal  ...  b"});
    Rows(e)->item(0)->setCheckState(Qt::Checked);
    QFile::remove(AlarmFile());
    Part<QToolButton>(e, "sb_Ack")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Left(), "b+ later ");
    EXPECT_EQ(Explorer(), nullptr);
    EXPECT_TRUE(QFile::exists(AlarmFile()));
    TickAt(62);
    EXPECT_EQ(Explorer(), nullptr);
}

TEST_F(LateAlarms, ClosedWithAlarmsLeftItComesBackAndAcknowledgeAllEndsIt) {
    Add(1, "a").RepeatDays = 1;
    Add(3, "b");
    TickAt(60);
    TFAlarmExplorer* e = Explorer();
    ASSERT_NE(e, nullptr);
    e->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Explorer(), nullptr);
    TickAt(61);
    ASSERT_NE(e = Explorer(), nullptr);
    // A late alarm that came meanwhile waits for a refill.
    Add(1, "c");
    TickAt(62);
    EXPECT_EQ(Rows(e)->count(), 2);
    Part<QPushButton>(e, "BitBtn1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Explorer(), nullptr);
    EXPECT_EQ(Left(), "a b+ c ");
    EXPECT_DOUBLE_EQ(w->Alarms[0]->AlarmTime, kLocal + 1);
    TickAt(63);
    ASSERT_NE(e = Explorer(), nullptr);
    EXPECT_EQ(Texts(e), QStringList{"Alarm - Normal  ...  c"});
}

// The list that cannot be written when the window closes is told, as every
// window tells it, and kept to be saved again.
TEST_F(LateAlarms, AFailedSaveAtCloseIsTold) {
    Add(1, "a");
    TickAt(60);
    TFAlarmExplorer* e = Explorer();
    ASSERT_NE(e, nullptr);
    QFile::remove(AlarmFile());
    ASSERT_TRUE(QDir().mkdir(AlarmFile()));
    w->Errors.clear();
    Part<QPushButton>(e, "BitBtn1")->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(Explorer(), nullptr);
    ASSERT_EQ(w->Errors.size(), 1u);
    EXPECT_NE(w->Errors[0].find("hxalarms.hxd"), std::string::npos) << w->Errors[0];
    EXPECT_EQ(Left(), "a+ ");
    QDir().rmdir(AlarmFile());
}

TEST_F(LateAlarms, TheWindowOpensCentredOnTheScreenAndAboveAPopupUp) {
    Add(1, "missed");
    Add(1, "due", kLocal + 59 * kSecond);
    TickAt(60);
    ASSERT_NE(Popup(), nullptr);
    TFAlarmExplorer* e = Explorer();
    ASSERT_NE(e, nullptr);
    const QRect screen = e->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(e->frameGeometry()));
    EXPECT_LE((e->frameGeometry().center() - screen.center()).manhattanLength(), 8)
        << e->frameGeometry().x() << "," << e->frameGeometry().y();
    // It blocks the pop-up, so it cannot open under it.
    EXPECT_TRUE(e->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(LateAlarms, AWindowThatCannotBeMadeShowsMessageTenAndTheTickGoesOn) {
    w->SetAlarmWindowFactories(nullptr,
                               [](QWidget*) -> QWidget* { throw std::runtime_error("x"); });
    Add(1);
    Add(1, "due", kLocal + 60 * kSecond);
    TickAt(61);
    EXPECT_EQ(w->Codes, std::vector<int>{10});
    // The due alarm was still acted on (snoozed: it has no pop-up here).
    EXPECT_NEAR(w->Alarms[1]->SnoozeOffset, 5.0 / 1440, 1e-12);
}

} // namespace

#include "test_alarmwindows.moc"
