#include "platform/rtl/DataDir.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {
struct TempDir {
    TempDir() {
        path = fs::temp_directory_path() /
               ("hxdd-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path path;
    static inline int counter = 0;
};
void Write(const fs::path& p, const std::string& s) {
    std::ofstream(p) << s;
}
} // namespace

TEST(DataDirectory, WritableProgramDirectoryIsTheDataDirectory) {
    TempDir d;
    EXPECT_TRUE(DirectoryWritable(d.path.string()));
    EXPECT_EQ(ResolveDataDirectory(d.path.string()), d.path.string() + "/");
    EXPECT_FALSE(DirectoryWritable((d.path / "missing").string()));
}

TEST(DataDirectory, SeedingCopiesDataButNotProgramsAndNeverOverwrites) {
    TempDir install, data;
    Write(install.path / "hxzones.hxd", "zones");
    Write(install.path / "horolux", "program");
    fs::permissions(install.path / "horolux", fs::perms::owner_all);
    fs::create_directories(install.path / "sounds");
    Write(install.path / "sounds" / "sync.wav", "wav");
    Write(data.path / "hxzones.hxd", "mine");
    SeedDataDirectory(install.path.string(), data.path.string());
    EXPECT_FALSE(fs::exists(data.path / "horolux"));
    EXPECT_TRUE(fs::exists(data.path / "sounds" / "sync.wav"));
    std::ifstream in(data.path / "hxzones.hxd");
    std::string s;
    in >> s;
    EXPECT_EQ(s, "mine");
}

TEST(DataDirectory, UserDirectoryFollowsXdgDataHome) {
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", "/some/where", 1);
    EXPECT_EQ(UserDataDirectory(), "/some/where/horolux/");
    setenv("XDG_DATA_HOME", "relative", 1); // not absolute: ignored
    EXPECT_NE(UserDataDirectory(), "relative/horolux/");
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
