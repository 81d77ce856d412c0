#include "timemodel/VersionInfo.h"

#include <gtest/gtest.h>

// This test program carries a version block made by hx_version_block.
TEST(VersionBlock, CompiledInBlockReadsBack) {
    TVersionInfo v;
    v.ProductDescription = "untouched";
    v.ReadVersionInfo();
    EXPECT_EQ(v.Major, 2);
    EXPECT_EQ(v.Minor, 1);
    EXPECT_EQ(v.Release, 0);
    EXPECT_EQ(v.Build, 37);
    EXPECT_EQ(v.FlagsText, "Pre-release (beta) version");
    EXPECT_EQ(v.FileVersion, "2.1.0.37");
    EXPECT_EQ(v.ProductVersion, "2.1.0.37");
    EXPECT_EQ(v.FileDescription, "Horolux platform tests");
    EXPECT_EQ(v.InternalName, "platform_tests");
    EXPECT_EQ(v.LegalCopyright, "Copyright \"Horolux\" C:\\suite");
    EXPECT_EQ(v.ProductDescription, "");
}
