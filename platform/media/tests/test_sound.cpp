#include "platform/media/HXSound.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

TEST(Sound, AliasesBecomeFreedesktopNames) {
    EXPECT_EQ(FreedesktopSoundName("Minimize"), "window-minimized");
    EXPECT_EQ(FreedesktopSoundName("RestoreUp"), "window-unmaximized");
    EXPECT_EQ(FreedesktopSoundName("SystemAsterisk"), "dialog-information");
    EXPECT_EQ(FreedesktopSoundName("sounds/BigBen.wav"), "");
}

TEST(Sound, FilesResolveAgainstTheDataDirectory) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / "hx_sound_test";
    std::filesystem::create_directories(dir / "sounds");
    std::ofstream(dir / "sounds" / "toll.wav") << "RIFF";
    const TSoundSource rel = ResolveSound("sounds\\toll.wav", dir.string());
    EXPECT_EQ(rel.Kind, TSoundSource::TKind::File);
    EXPECT_EQ(rel.Value, (dir / "sounds" / "toll.wav").string());
    EXPECT_EQ(ResolveSound((dir / "sounds" / "toll.wav").string(), "/nowhere").Kind,
              TSoundSource::TKind::File);
    // Missing files and empty names play nothing.
    EXPECT_EQ(ResolveSound("sounds/none.wav", dir.string()).Kind, TSoundSource::TKind::None);
    EXPECT_EQ(ResolveSound("", dir.string()).Kind, TSoundSource::TKind::None);
    EXPECT_EQ(ResolveSound("Minimize", dir.string()).Kind, TSoundSource::TKind::EventId);
    // Which of them are files that are not there, as looked for.
    EXPECT_EQ(MissingSoundFile("sounds/none.wav", dir.string()),
              (dir / "sounds" / "none.wav").string());
    EXPECT_EQ(MissingSoundFile("/nowhere/none.wav", dir.string()), "/nowhere/none.wav");
    EXPECT_EQ(MissingSoundFile("sounds\\toll.wav", dir.string()), "");
    EXPECT_EQ(MissingSoundFile("SystemAsterisk", dir.string()), "");
    EXPECT_EQ(MissingSoundFile("", dir.string()), "");
    std::filesystem::remove_all(dir);
}

// A file that is not there when it should sound is said on the console, once.
TEST(Sound, AMissingFileAtRingTimeIsSaidOnceByName) {
    const auto dir = std::filesystem::path(::testing::TempDir()) / "hx_sound_missing";
    std::filesystem::create_directories(dir);
    const std::string log = (dir / "stderr.txt").string();
    std::fflush(stderr);
    const int saved = ::dup(2);
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ::dup2(fd, 2);
    ::close(fd);
    {
        auto p = CreateCanberraPlayer(dir.string());
        p->Play("chime-gone.wav");
        p->PlayAndWait("chime-gone.wav");
        p->PlayThen("chime-gone.wav", [] {});
        p->Play("Minimize");
    }
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::ifstream in(log);
    int said = 0;
    for (std::string line; std::getline(in, line);)
        if (line.find("does not exist") != std::string::npos) {
            ++said;
            EXPECT_NE(line.find((dir / "chime-gone.wav").string()), std::string::npos) << line;
        }
    EXPECT_EQ(said, 1);
    std::filesystem::remove_all(dir);
}

TEST(Sound, RecorderKeepsOrderAndCompletions) {
    TRecordingSoundPlayer r;
    int done = 0;
    r.Play("a");
    r.PlayThen("b", [&] { ++done; });
    r.PlayAndWait("c");
    ASSERT_EQ(r.Played.size(), 3u);
    EXPECT_EQ(r.Played[1].Mode, TRecordingSoundPlayer::TEntry::TMode::Then);
    EXPECT_EQ(r.Pending(), 1u);
    EXPECT_TRUE(r.FinishOne());
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(r.FinishOne());
}

TEST(Sound, CanberraPlayerFailsSilentlyWithoutASoundServer) {
    auto p = CreateCanberraPlayer("/nowhere");
    p->Play("sounds/missing.wav");
    p->PlayAndWait("sounds/missing.wav"); // returns at once: nothing to play
    p->StopAll();
    SUCCEED();
}

} // namespace
