// No source of the suite changes the system clock behind the system time
// service's back: the one call that reaches the kernel's clock adjustment is
// the read of the system-time window, and it sets no mode bits.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

TEST(ClockSafety, OnlyTheReadOnlyAdjustmentReachesTheKernelClock) {
    // Spelled in pieces, so this file does not match itself.
    const std::string calls[] = {"adj" "timex", "clock_adj" "time", "ntp_adj" "time", "adj" "time",
                                 "settime" "ofday", "clock_set" "time", "s" "time"};
    std::string pattern = "\\b(";
    for (const std::string& c : calls) pattern += (pattern.size() > 3 ? "|" : "") + c;
    pattern += ")\\s*\\(";
    const std::regex call(pattern);
    const fs::path root = HX_SOURCE_DIR;
    const fs::path allowed = root / "platform/rtl/SystemTimeAdjustment.cpp";

    int files = 0, allowedCalls = 0;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().filename().string();
        if (it->is_directory() && (name.starts_with(".") || name.starts_with("build"))) {
            it.disable_recursion_pending();
            continue;
        }
        const std::string ext = it->path().extension().string();
        if (!it->is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".c" && ext != ".cc"))
            continue;
        std::ifstream in(it->path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string s = text.str();
        ++files;
        for (auto m = std::sregex_iterator(s.begin(), s.end(), call); m != std::sregex_iterator(); ++m) {
            if (it->path() == allowed && (*m)[1] == calls[0]) {
                ++allowedCalls;
                continue;
            }
            ADD_FAILURE() << it->path() << ": " << m->str();
        }
        if (it->path() == allowed) {
            // Read only: the mode word is set to 0 and to nothing else.
            EXPECT_NE(s.find("modes = 0;"), std::string::npos);
            EXPECT_EQ(std::regex_search(s, std::regex("modes\\s*(\\|=|=\\s*[^0 ])")), false);
        }
    }
    EXPECT_GT(files, 100) << "the whole tree was searched";
    EXPECT_EQ(allowedCalls, 1);
}
