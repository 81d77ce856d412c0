// The shipped sounds through the real sound layer. ALSA's default device is
// routed into a file, so no sound card is needed, nothing is heard, and what
// reached the device can be compared with the file's samples.

#include "platform/media/HXSound.h"
#include "platform/media/tests/AlsaTestDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

namespace {

const QString kSuite = HX_SUITE_DIR;

class ShippedSound : public ::testing::Test {
protected:
    // Once for the process, before the first sound.
    static void SetUpTestSuite() {
        ASSERT_NO_FATAL_FAILURE(RouteSoundDeviceToFile(output));
        static int argc = 1;
        static char name[] = "shipped_sound_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }

    // Plays the sound as the program does and waits (bounded) for its end;
    // what the device got.
    QByteArray Play(ISoundPlayer& player, const std::string& sound) {
        QFile::remove(output);
        bool done = false;
        player.PlayThen(sound, [&] { done = true; });
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 30000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(5);
        }
        EXPECT_TRUE(done) << sound;
        QFile f(output);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static inline QString output;
};

TEST_F(ShippedSound, ChimesAlarmsAndSyncSoundsReachTheDevice) {
    auto player = CreateCanberraPlayer(kSuite.toStdString());
    for (const char* name : {"wchimes15", "wchimes30", "wchimes45", "wchimes60", "BigBen", "alarm1",
                             "alarm2", "alarm3", "sync", "connect"}) {
        SCOPED_TRACE(name);
        const std::string sound = std::string("sounds/") + name + ".wav";
        const QByteArray samples = WavSamples(kSuite + "/" + QString::fromStdString(sound));
        ASSERT_GT(samples.size(), 1000);
        const QByteArray played = Play(*player, sound);
        // All of the sound, and no more than a period of padding after it.
        EXPECT_GE(played.size(), samples.size());
        EXPECT_LE(played.size(), samples.size() + 65536);
        EXPECT_TRUE(played.startsWith(samples));
    }
}

} // namespace

namespace {

// The driver's playback thread may still be running when the completion
// arrives: a player going away then must neither crash nor hang the program,
// however often it happens.
TEST_F(ShippedSound, PlayersComeAndGoRightAfterTheirSounds) {
    for (int i = 0; i < 20; ++i) {
        auto player = CreateCanberraPlayer(kSuite.toStdString());
        EXPECT_FALSE(Play(*player, "sounds/sync.wav").isEmpty()) << i;
    }
}

// A completion that arrives after its player has gone is dropped: whoever
// waited for it went with the player.
TEST_F(ShippedSound, CompletionsOfAPlayerThatHasGoneAreDropped) {
    bool called = false;
    {
        auto player = CreateCanberraPlayer(kSuite.toStdString());
        player->PlayThen("sounds/BigBen.wav", [&] { called = true; });
    }
    auto other = CreateCanberraPlayer(kSuite.toStdString());
    EXPECT_FALSE(Play(*other, "sounds/sync.wav").isEmpty());
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    EXPECT_FALSE(called);
}

} // namespace
