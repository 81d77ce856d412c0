// A Normal alarm through the whole program and the real sound layer: the
// tick opens the pop-up and the alarm's sound reaches the sound device. ALSA's
// default device is routed into a file, so no sound card is needed and
// nothing is heard.
#include "alarms/AlarmMessage.h"
#include "alarms/AlarmWindows.h"
#include "clockapp/ClockDisplay.h"
#include "clockapp/tests/WindowTest.h"
#include "platform/media/tests/AlsaTestDevice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QThread>

namespace {

const QString kSuite = HX_SUITE_DIR;

class AlarmSound : public TWindowTest<> {
protected:
    static void SetUpTestSuite() { ASSERT_NO_FATAL_FAILURE(RouteSoundDeviceToFile(output)); }
    void BeforeStart() override { InstallAlarmWindows(*w, w->WindowServices()); }
    void TearDown() override {
        TWindowTest::TearDown();
        ResetClockSource();
    }
    static inline QString output;
};

TEST_F(AlarmSound, ANormalAlarmOpensItsPopupAndItsSoundReachesTheDevice) {
    const QByteArray samples = WavSamples(kSuite + "/sounds/alarm2.wav");
    ASSERT_GT(samples.size(), 1000);
    w->Timer1->stop();
    ClockDisplayOf(*w).SetSoundPlayer(CreateCanberraPlayer(kSuite.toStdString()));
    w->MuteChimes = true; // only the alarm may reach the device
    w->Alarms.clear();
    w->Alarms.push_back(std::make_unique<TAlarm>());
    TAlarm& a = *w->Alarms.back();
    const TDateTime utc = EncodeDate(2026, 6, 1) + EncodeTime(6, 37, 0, 0);
    a.AlarmTime = utc + 2.0 / 24; // at a place two hours east, the host at +1
    a.Location.StdOffset = 2;
    a.Location.Rule.ReadDataString("0");
    a.Enabled = true;
    a.Text = "Train";
    QFile::remove(output);

    PinClock(utc + 1.0 / 86400, 1);
    ClockDisplayOf(*w).UpdateClockDisplays(false);
    w->Timer1->stop();
    TF_AlarmMessage* popup = nullptr;
    for (QWidget* x : QApplication::topLevelWidgets())
        if (auto* p = qobject_cast<TF_AlarmMessage*>(x); p && p->isVisible()) popup = p;
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->findChild<QLabel*>("l_Description")->text(), "Train");
    popup->tTimer->stop(); // the countdown is not under test here

    // All of the sound, bounded in time.
    QByteArray played;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QFile f(output);
        if (f.open(QIODevice::ReadOnly)) played = f.readAll();
        if (played.size() >= samples.size()) break;
        QThread::msleep(20);
    }
    EXPECT_GE(played.size(), samples.size());
    EXPECT_TRUE(played.startsWith(samples))
        << played.size() << " bytes played of " << samples.size() << "; first differs at " << [&] {
               qsizetype i = 0;
               while (i < played.size() && i < samples.size() && played[i] == samples[i])
                   ++i;
               return i;
           }();
}

} // namespace
