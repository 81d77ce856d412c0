#include "platform/rtl/DataDir.h"

#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <optional>
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

// Restores an environment variable when it goes.
struct TEnv {
    TEnv(const char* n, const std::string& value) : name(n) {
        if (const char* v = std::getenv(n)) saved = v;
        setenv(n, value.c_str(), 1);
    }
    ~TEnv() {
        if (saved)
            setenv(name, saved->c_str(), 1);
        else
            unsetenv(name);
    }
    const char* name;
    std::optional<std::string> saved;
};

std::string Read(const fs::path& p) {
    std::ifstream in(p);
    std::string s;
    in >> s;
    return s;
}

TEST(DataDirectory, UsersDataIsSeededOnceAndTheInstallNeverWritten) {
    TempDir install, xdg;
    Write(install.path / "hxclocks.hxd", "shipped");
    TEnv home("XDG_DATA_HOME", xdg.path.string());
    unsetenv("HOROLUX_DATADIR");
    // A fresh user: the shipped data is copied, the install stays as it was.
    const std::string user = xdg.path.string() + "/horolux/";
    EXPECT_EQ(ResolveDataDirectory(install.path.string()), user);
    EXPECT_EQ(Read(user + "hxclocks.hxd"), "shipped");
    Write(user + "hxclocks.hxd", "mine");
    EXPECT_TRUE(DirectoryWritable(user));
    EXPECT_FALSE(DirectoryWritable(user + "missing"));
    // A rebuild or a new install changes the shipped file: the user's stays.
    // What the new install brings that was never seeded is copied, once; what
    // the user removed stays removed.
    Write(install.path / "hxclocks.hxd", "rebuilt");
    Write(install.path / "hxdst.hxd", "rules");
    ASSERT_EQ(ResolveDataDirectory(install.path.string()), user);
    fs::remove(user + "hxdst.hxd");
    Write(install.path / "hxzones.hxd", "new");
    fs::create_directories(install.path / "map");
    Write(install.path / "map" / "01.lyr", "layer");
    EXPECT_EQ(ResolveDataDirectory(install.path.string()), user);
    EXPECT_EQ(Read(user + "hxclocks.hxd"), "mine");
    EXPECT_EQ(Read(user + "hxzones.hxd"), "new");
    EXPECT_EQ(Read(user + "map/01.lyr"), "layer");
    EXPECT_FALSE(fs::exists(user + "hxdst.hxd")) << "a removed file came back";
    fs::remove(user + "hxzones.hxd");
    EXPECT_EQ(ResolveDataDirectory(install.path.string()), user);
    EXPECT_FALSE(fs::exists(user + "hxzones.hxd")) << "seeded once only";
    EXPECT_EQ(Read(install.path / "hxclocks.hxd"), "rebuilt");
    // The directory horolux hands over comes first.
    TEnv given("HOROLUX_DATADIR", (xdg.path / "given").string());
    EXPECT_EQ(ResolveDataDirectory(install.path.string()), (xdg.path / "given").string() + "/");
    EXPECT_TRUE(fs::is_directory(xdg.path / "given"));
    unsetenv("HOROLUX_DATADIR");
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

namespace {
std::string Bytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void PutBytes(const fs::path& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}
} // namespace

// What a first start killed while it copied leaves (a file cut short, one
// empty and write-only, a temporary, a folder half copied) is made whole by
// the next start; what the user has of their own stays.
TEST(Seeding, WhatACutStartLeftIsMadeWholeByTheNext) {
    TempDir install, xdg;
    TEnv home("XDG_DATA_HOME", xdg.path.string());
    unsetenv("HOROLUX_DATADIR");
    std::string zones;
    for (int i = 0; zones.size() < 200000; ++i)
        zones += "Place " + std::to_string(i) + "\t1\t0\t0\t0\t0!\r\n";
    PutBytes(install.path / "hxzones.hxd", zones);
    PutBytes(install.path / "hxservers.hxd", "time.example\r\n");
    PutBytes(install.path / "hxdst.hxd", "rules\r\n");
    PutBytes(install.path / "hxclocks.hxd", "shipped clocks\r\n");
    fs::create_directories(install.path / "map");
    PutBytes(install.path / "map" / "a.lyr", zones.substr(0, 50000));
    PutBytes(install.path / "map" / "b.lyr", "layer b");
    fs::permissions(install.path / "hxdst.hxd", fs::perms::owner_read | fs::perms::group_read);

    const fs::path user = xdg.path / "horolux";
    fs::create_directories(user / "map");
    PutBytes(user / "hxzones.hxd", zones.substr(0, 131072));            // cut
    PutBytes(user / "hxservers.hxd", "");                                // empty...
    fs::permissions(user / "hxservers.hxd", fs::perms::owner_write);    // ...and write-only
    PutBytes(user / ".hxdst.hxd.seeding", "ru");                         // a temporary
    PutBytes(user / "hxclocks.hxd", "the user's own clocks\r\n");       // not a cut copy
    PutBytes(user / "map" / "a.lyr", zones.substr(0, 50000));           // whole
    PutBytes(user / "map" / ".b.lyr.seeding", "lay");                    // half copied
    PutBytes(user / "notes.txt", "mine");

    EXPECT_EQ(ResolveDataDirectory(install.path.string()), user.string() + "/");
    for (const char* f : {"hxzones.hxd", "hxservers.hxd", "hxdst.hxd", "map/a.lyr", "map/b.lyr"}) {
        EXPECT_EQ(Bytes(user / f), Bytes(install.path / f)) << f;
        EXPECT_EQ(fs::status(user / f).permissions(), fs::status(install.path / f).permissions())
            << f;
    }
    EXPECT_EQ(Bytes(user / "hxclocks.hxd"), "the user's own clocks\r\n");
    EXPECT_EQ(Bytes(user / "notes.txt"), "mine");
    for (const auto& e : fs::recursive_directory_iterator(user))
        EXPECT_EQ(e.path().filename().string().find(".seeding"), std::string::npos) << e.path();
    EXPECT_EQ(Bytes(user / ".seeded"),
              "# The installed data was copied here; delete this file to copy missing files "
              "again.\nhxclocks.hxd\nhxdst.hxd\nhxservers.hxd\nhxzones.hxd\nmap\n");
}
