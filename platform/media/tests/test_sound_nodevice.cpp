// The real sound layer on a machine without a sound device: ALSA's default
// device is a card that does not exist. A program of its own, so the sound
// driver meets this configuration first.

#include "platform/media/HXSound.h"
#include "platform/media/tests/AlsaTestDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A short, valid PCM file: 16-bit mono at 8000 Hz.
void WriteChime(const QString& path) {
    const uint32_t samples = 800, bytes = samples * 2;
    QByteArray wav;
    auto u32 = [&](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
    wav.append("RIFF");
    u32(36 + bytes);
    wav.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    wav.append("data");
    u32(bytes);
    for (uint32_t i = 0; i < samples; ++i)
        u16(uint16_t((i % 16) * 2000));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(wav);
}

TEST(SoundWithoutDevice, ChimesSayOnceOnOneLineThatNothingPlays) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    // The system's default device, on a card that is not there.
    ASSERT_NO_FATAL_FAILURE(
        UseAlsaConfiguration(home.path(), "defaults.pcm.card 97\ndefaults.ctl.card 97\n"));
    int argc = 1;
    char name[] = "sound_nodevice_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString chime = home.filePath("chime.wav");
    WriteChime(chime);

    // What the program writes to stderr meanwhile goes to a file.
    const QString log = home.filePath("stderr.txt");
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int fd = ::open(log.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ::dup2(fd, 2);
    ::close(fd);
    int done = 0;
    {
        auto player = CreateCanberraPlayer(home.path().toStdString());
        for (int i = 0; i < 3; ++i) {
            player->PlayThen("chime.wav", [&] { ++done; });
            player->Play(chime.toStdString());
            player->PlayAndWait("chime.wav");
        }
        QElapsedTimer t;
        t.start();
        while (done < 3 && t.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(5);
        }
    }
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);

    EXPECT_EQ(done, 3) << "every completion still arrives";
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_LE(text.count('\n'), 1) << text.constData();
    if (!text.isEmpty()) {
        EXPECT_TRUE(text.contains("no sound device")) << text.constData();
    }
}

} // namespace
