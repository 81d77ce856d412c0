#include "platform/rtl/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {
std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
} // namespace

// A file already written is put in place whole; one that is not there
// leaves the target as it was.
TEST(PutFileInPlace, ReplacesTheTargetOrLeavesIt) {
    std::string pattern = (fs::path(testing::TempDir()) / "putinplace.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const fs::path temp = dir / ".list.part", target = dir / "list.hxd";
    std::ofstream(target) << "old";
    std::ofstream(temp) << "new";

    ASSERT_TRUE(PutFileInPlace(temp.string(), target.string()));
    EXPECT_EQ(Read(target), "new");
    EXPECT_FALSE(fs::exists(temp));

    errno = 0;
    EXPECT_FALSE(PutFileInPlace(temp.string(), target.string()));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(Read(target), "new");
    fs::remove_all(dir);
}
