#include "timemodel/VersionInfo.h"

#include <gtest/gtest.h>

namespace {

const THXVersionString kStrings[] = {
    {"FileDescription", "Horolux World Clock"},
    {"FileVersion", "2.1.0.37"},
    {"InternalName", "horolux"},
    {"LegalCopyright", "Copyright Horolux"},
    {"ProductVersion", "2.1.0.37"},
};

THXVersionBlock Block(uint32_t flags, uint32_t mask) {
    return THXVersionBlock{(2u << 16) | 1u,
                           (0u << 16) | 37u,
                           (2u << 16) | 1u,
                           37u,
                           mask,
                           flags,
                           kStrings,
                           sizeof kStrings / sizeof kStrings[0]};
}

} // namespace

TEST(VersionInfo, PreReleaseExampleDecodes) {
    const THXVersionBlock b = Block(VS_FF_PRERELEASE, VS_FF_PRERELEASE);
    TVersionInfo v;
    DecodeVersionBlock(&b, v);
    EXPECT_EQ(v.Major, 2);
    EXPECT_EQ(v.Minor, 1);
    EXPECT_EQ(v.Release, 0);
    EXPECT_EQ(v.Build, 37);
    EXPECT_EQ(v.FlagsText, "Pre-release (beta) version");
    EXPECT_EQ(v.FileVersion, "2.1.0.37");
    EXPECT_EQ(v.FileDescription, "Horolux World Clock");
    EXPECT_EQ(v.InternalName, "horolux");
    EXPECT_EQ(v.LegalCopyright, "Copyright Horolux");
    EXPECT_EQ(v.ProductVersion, "2.1.0.37");
    EXPECT_EQ(v.ProductDescription, ""); // the suite's blocks carry none
}

TEST(VersionInfo, FlagOutsideTheMaskAddsNothing) {
    const THXVersionBlock b = Block(VS_FF_PRERELEASE, 0);
    TVersionInfo v;
    v.FlagsText = "stale";
    DecodeVersionBlock(&b, v);
    EXPECT_EQ(v.FlagsText, "");
}

TEST(VersionInfo, FlagTextsInOrderWithoutSeparators) {
    const THXVersionBlock b = Block(0x3F, VS_FFI_FILEFLAGSMASK);
    TVersionInfo v;
    DecodeVersionBlock(&b, v);
    EXPECT_EQ(v.FlagsText,
              "Debug info includedPre-release (beta) versionPrivate BuildSpecial Build");
}

TEST(VersionInfo, WithoutBlockOnlyFlagsTextIsCleared) {
    TVersionInfo v;
    v.FileVersion = "kept";
    v.Major = 9;
    v.FlagsText = "old";
    DecodeVersionBlock(nullptr, v);
    EXPECT_EQ(v.FileVersion, "kept");
    EXPECT_EQ(v.Major, 9);
    EXPECT_EQ(v.FlagsText, "");
}

TEST(VersionInfo, ReadVersionInfoUsesTheProgramsBlock) {
    const THXVersionBlock b = Block(0, VS_FFI_FILEFLAGSMASK);
    const THXVersionBlock* before = ProgramVersionBlock();
    SetProgramVersionBlock(&b);
    TVersionInfo v;
    v.ReadVersionInfo();
    SetProgramVersionBlock(before);
    EXPECT_EQ(v.Build, 37);
    EXPECT_EQ(v.FileVersion, "2.1.0.37");
}
