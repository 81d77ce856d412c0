// Tickmatch changes the clock only through the system's time service, so no
// test or user run can have it step the clock behind that service's back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

// The calls that would set the clock directly. Built from pieces so this file
// does not match itself.
std::vector<std::string> ForbiddenCalls() {
    const std::string set = "set", time = "time";
    return {"clock_" + set + time, set + time + "ofday", "adj" + time + "x", "s" + time,
            "clock_adj" + time,    "adj" + time};
}

} // namespace

TEST(ClockSafety, SourcesNeverSetTheClockDirectly) {
    namespace fs = std::filesystem;
    std::string pattern;
    for (const auto& name : ForbiddenCalls())
        pattern += (pattern.empty() ? "" : "|") + name;
    std::regex forbidden("\\b(" + pattern + ")\\b");
    int scanned = 0;
    for (const auto& entry : fs::recursive_directory_iterator(HX_SOURCE_DIR "/tickmatch")) {
        auto ext = entry.path().extension();
        if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h" && ext != ".txt")) continue;
        std::ifstream in(entry.path());
        std::string line;
        for (int n = 1; std::getline(in, line); ++n)
            EXPECT_FALSE(std::regex_search(line, forbidden))
                << entry.path() << ":" << n << ": " << line;
        ++scanned;
    }
    EXPECT_GT(scanned, 5);
}

TEST(ClockSafety, ProgramImportsNoClockSetter) {
    const std::string program = HX_SUITE_DIR "/tickmatch";
    if (!std::filesystem::exists(program)) GTEST_SKIP() << "tickmatch is not built";
    FILE* p = popen(("nm -D --undefined-only '" + program + "' 2>&1").c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::stringstream out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.write(buf, std::streamsize(n));
    ASSERT_EQ(pclose(p), 0) << out.str();
    std::string symbols = out.str();
    ASSERT_NE(symbols.find("GLIBC"), std::string::npos) << "nm gave no symbol list";
    for (const auto& name : ForbiddenCalls())
        EXPECT_FALSE(std::regex_search(symbols, std::regex("\\b" + name + "(@|\\b)"))) << name;
}
