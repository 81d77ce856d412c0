// The real sound layer under test with an ALSA configuration of the test's
// own: a default device routed into a file, so no sound card is needed,
// nothing is heard, and what reached the device can be compared with a
// file's samples.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

// Before the first sound: ALSA reads its configuration once, from HOME; and
// no other sound server may take the sound instead.
inline void UseAlsaConfiguration(const QString& home, const QByteArray& asoundrc) {
    QFile rc(home + "/.asoundrc");
    ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
    rc.write(asoundrc);
    rc.close();
    qputenv("HOME", home.toLocal8Bit());
    qputenv("CANBERRA_DRIVER", "alsa");
}

// Once for the process, before the first sound and the application: the
// default device writes the raw samples it gets into the file named.
inline void RouteSoundDeviceToFile(QString& output) {
    static QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    output = home.filePath("device.raw");
    UseAlsaConfiguration(
        home.path(),
        QString("pcm.!default { type file slave.pcm \"null\" file \"%1\" format \"raw\" }\n")
            .arg(output)
            .toUtf8());
}

// The sample bytes of a PCM WAV file: the body of its "data" chunk.
inline QByteArray WavSamples(const QString& path) {
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
