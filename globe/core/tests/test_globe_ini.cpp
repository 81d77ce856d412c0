// The globe's ini file: read as every stored file of the suite is, and
// replaced in one synced step whose temporary never outlives a start.
#include "globe/core/GlobeIni.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(GlobeIni, EveryLineEndAndAMarkOnAnyLineReadTheSame) {
    const char* base = std::getenv("HX_TEST_TMP");
    const fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) /
                         ("hxini-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "globe.ini").string();
    for (const char* end : {"\r", "\n", "\r\n"}) {
        SCOPED_TRACE(int(end[0]) * 100 + int(end[1]));
        const std::string e = end;
        std::ofstream(path, std::ios::binary)
            << "[View]" << e << "\xEF\xBB\xBF" << "Zoom=3" << e << "[Layers]" << e << "\xEF\xBB\xBF"
            << "Grid=1" << e;
        // A temporary a killed save left behind.
        std::ofstream(path + ".hx_") << "half";
        TIniFile ini(path);
        EXPECT_FALSE(fs::exists(path + ".hx_"));
        EXPECT_EQ(ini.ReadInteger("View", "Zoom", 0), 3);
        EXPECT_EQ(ini.ReadInteger("Layers", "Grid", 0), 1);
        ini.WriteInteger("View", "Zoom", 4);
        ASSERT_TRUE(ini.UpdateFile());
        EXPECT_FALSE(fs::exists(path + ".hx_"));
        EXPECT_EQ(TIniFile(path).ReadInteger("View", "Zoom", 0), 4);
    }
    fs::remove_all(dir);
}
