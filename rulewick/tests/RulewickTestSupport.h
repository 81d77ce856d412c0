// A temporary data directory and key store for each rulewick test, with the
// clock pinned to 2026.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

inline QApplication& RulewickTestApp() {
    static int argc = 1;
    static char name[] = "rulewick_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class RulewickTempTest : public ::testing::Test {
protected:
    void SetUp() override {
        RulewickTestApp();
        const char* base = std::getenv("HX_TEST_TMP");
        std::string tmpl = (base ? std::string(base) : std::filesystem::temp_directory_path().string()) +
                           "/rulewick-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        Dir = tmpl + "/";
        std::filesystem::create_directory(Dir + "data");
        DataDir = Dir + "data/";
        StoreDir = Dir + "store";
        ::setenv("HOROLUX_KEYSTORE_DIR", StoreDir.c_str(), 1);
        PinClock(EncodeDate(2026, 2, 14) + 0.5, 0);
    }
    void TearDown() override {
        ResetClockSource();
        ::unsetenv("HOROLUX_KEYSTORE_DIR");
        std::error_code ec;
        std::filesystem::remove_all(Dir, ec);
    }
    static void Put(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Get(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Dir, DataDir, StoreDir;
};
