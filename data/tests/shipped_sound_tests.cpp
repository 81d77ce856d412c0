// The shipped sounds through the real sound layer. ALSA's default device is
// routed into a file, so no sound card is needed, nothing is heard, and what
// reached the device can be compared with the file's samples.

#include "platform/media/HXSound.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

const QString kSuite = HX_SUITE_DIR;

// The sample bytes of a PCM WAV file: the body of its "data" chunk.
QByteArray WavSamples(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray wav = f.readAll();
    if (wav.size() < 12 || !wav.startsWith("RIFF") || wav.mid(8, 4) != "WAVE") return {};
    qsizetype pos = 12;
    while (pos + 8 <= wav.size()) {
        uint32_t size = 0;
        std::memcpy(&size, wav.constData() + pos + 4, 4); // little-endian, as the host
        if (wav.mid(pos, 4) == "data") return wav.mid(pos + 8, qsizetype(size));
        pos += 8 + qsizetype(size) + (size & 1);
    }
    return {};
}

class ShippedSound : public ::testing::Test {
protected:
    // Once for the process, before the first sound: ALSA reads its
    // configuration once, from HOME; and no other sound server may take the
    // sound instead.
    static void SetUpTestSuite() {
        static QTemporaryDir home;
        ASSERT_TRUE(home.isValid());
        output = home.filePath("device.raw");
        QFile rc(home.filePath(".asoundrc"));
        ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
        rc.write(
            QString("pcm.!default { type file slave.pcm \"null\" file \"%1\" format \"raw\" }\n")
                .arg(output)
                .toUtf8());
        rc.close();
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("CANBERRA_DRIVER", "alsa");
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
