#include "platform/media/HXSound.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
