#include "timemodel/DSTRuleFile.h"

#include "TimeTestSupport.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class DSTRuleFileTest : public PinnedClockTest {
protected:
    void SetUp() override {
        PinnedClockTest::SetUp();
        std::string tmpl = (fs::temp_directory_path() / "hxdstfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        Dir = tmpl;
        Path = Dir + "/hxdst.hxd";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Dir, ec);
        PinnedClockTest::TearDown();
    }
    void Put(const std::string& text) { std::ofstream(Path, std::ios::binary) << text; }
    std::string Get() {
        std::ifstream in(Path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string Dir, Path;
};

std::vector<std::string> Names(const TDSTRuleFileRead& r) {
    std::vector<std::string> names;
    for (const TDSTRule& rule : r.Rules) names.push_back(rule.Name);
    return names;
}

} // namespace

TEST_F(DSTRuleFileTest, Reading) {
    const std::string europe = BuiltInRuleText("3");
    const std::string bad = "Broken/L.x.3.60.02:00:00/L.1.10.0.02:00:00/n\r\n";
    struct Case {
        const char* what;
        std::string text;
        std::vector<std::string> names;
        std::string version;
        bool failed;
        std::string rest;
    } cases[] = {
        {"empty", "", {}, "", false, ""},
        {"comments, VERSION, leading white space, CR LF",
         "# c/L.1.3.60.2/L.1.10.0.2/x\r\nVERSION:\t2026.1\t\r\n\r\n \t" + europe +
             "\r\n\r\n  # again\nx VERSION: y\n3\n",
         {"Europe", "Europe"}, "2026.1", false, ""},
        {"no final line end", "2", {"North America"}, "", false, ""},
        {"bad line keeps the rest verbatim", "3\r\n  " + bad + "# kept\r\n2\r\n", {"Europe"}, "",
         true, bad + "# kept\r\n2\r\n"},
        {"bad first line", bad, {}, "", true, bad},
    };
    for (const Case& c : cases) {
        Put(c.text);
        const TDSTRuleFileRead r = ReadDSTRuleFile(Path);
        EXPECT_TRUE(r.Opened) << c.what;
        EXPECT_EQ(Names(r), c.names) << c.what;
        EXPECT_EQ(r.Version, c.version) << c.what;
        EXPECT_EQ(r.Failed, c.failed) << c.what;
        EXPECT_EQ(r.UnreadRest, c.rest) << c.what;
        EXPECT_EQ(r.Error.empty(), !c.failed) << c.what;
    }
    const TDSTRuleFileRead missing = ReadDSTRuleFile(Dir + "/none.hxd");
    EXPECT_FALSE(missing.Opened);
    EXPECT_TRUE(missing.Rules.empty());
}

TEST_F(DSTRuleFileTest, WritingReplacesInOneStepAndKeepsTheUnreadRest) {
    Put("VERSION:\t1\r\n# note\r\n3\r\nBad/L.x.3.60.2/N.0.0.0.0/n\r\n2\r\n");
    TDSTRuleFileRead r = ReadDSTRuleFile(Path);
    ASSERT_TRUE(r.Failed);
    r.Rules.push_back(r.Rules[0]);
    r.Rules.back().Name = "Copy";
    std::string error;
    ASSERT_EQ(WriteDSTRuleFile(Path, r, r.Rules, &error), TDSTRuleFileWrite::Written) << error;
    EXPECT_EQ(Get(), "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/\r\n"
                     "Copy/L.1.3.60.02:00:00/L.1.10.0.02:00:00/\r\n"
                     "Bad/L.x.3.60.2/N.0.0.0.0/n\r\n2\r\n");
    EXPECT_FALSE(fs::exists(Dir + "/hxdst.hx_"));
    const TDSTRuleFileRead again = ReadDSTRuleFile(Path);
    EXPECT_EQ(Names(again), (std::vector<std::string>{"Europe", "Copy"}));
    EXPECT_EQ(again.UnreadRest, r.UnreadRest);

    // The temporary cannot be made (a directory stands in its place): the old file stays.
    const std::string before = Get();
    fs::create_directory(Dir + "/hxdst.hx_");
    TDSTRuleFileRead none;
    std::vector<TDSTRule> empty;
    EXPECT_EQ(WriteDSTRuleFile(Path, none, empty, &error), TDSTRuleFileWrite::CannotCreate);
    EXPECT_NE(error.find("hxdst.hx_"), std::string::npos) << error;
    EXPECT_EQ(Get(), before);
    EXPECT_EQ(WriteDSTRuleFile(Dir + "/missing/hxdst.hxd", none, empty),
              TDSTRuleFileWrite::CannotCreate);
    EXPECT_EQ(DSTRuleFileTemporary("/a.b/hxdst"), "/a.b/hxdst.hx_");
}

TEST_F(DSTRuleFileTest, LoaderFuzz) {
    std::mt19937 rng(21);
    const std::string alphabet = "#VERSION:\t \r\n/.LS0123456789-+xN";
    for (int i = 0; i < 120; ++i) {
        std::string text;
        const int n = std::uniform_int_distribution<int>(0, 200)(rng);
        for (int k = 0; k < n; ++k)
            text += alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(rng)];
        Put(text);
        const TDSTRuleFileRead r = ReadDSTRuleFile(Path);
        ASSERT_TRUE(r.Opened);
        if (r.Failed) {
            ASSERT_NE(text.find(r.UnreadRest), std::string::npos);
        }
        // What was read is written back and read again the same.
        TDSTRuleFileRead base = r;
        ASSERT_EQ(WriteDSTRuleFile(Path, base, base.Rules), TDSTRuleFileWrite::Written);
        const TDSTRuleFileRead back = ReadDSTRuleFile(Path);
        ASSERT_EQ(back.Rules.size(), r.Rules.size()) << text;
        for (size_t k = 0; k < r.Rules.size(); ++k)
            ASSERT_EQ(back.Rules[k].DataString(), r.Rules[k].DataString());
        ASSERT_EQ(back.UnreadRest, r.UnreadRest);
    }
}

// Two writers of the rule file, each from its own read of it, with nothing
// between them to tell one of the other's save (no shared bus): whichever
// saves second applies its change to what the first saved, and never writes
// its older copy over it.
using Writers = DSTRuleFileTest;
TEST_F(Writers, RuleFileSavesKeepEachOthersChanges) {
    const std::string eu = "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/";
    const std::string na = "North America/2.1.3.60.02:00:00/1.1.11.0.02:00:00/";
    const std::string nz = "New Zealand/L.0.9.0.02:00:00/1.0.4.0.03:00:00/";
    const std::string cl = "Chile/1.0.9.0.04:00:00/1.0.4.0.03:00:00/";
    const std::string eu2 = "Europe/L.1.3.60.01:00:00/L.1.10.0.01:00:00/UTC";
    using TEdit = std::function<void(std::vector<TDSTRule>&)>;
    auto add = [](const std::string& text) -> TEdit {
        return [text](std::vector<TDSTRule>& rules) {
            rules.emplace_back();
            rules.back().ReadDataString(text);
        };
    };
    auto remove = [](const std::string& name) -> TEdit {
        return [name](std::vector<TDSTRule>& rules) {
            std::erase_if(rules, [&](const TDSTRule& r) { return r.Name == name; });
        };
    };
    struct Case {
        const char* what;
        TEdit first, second;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"both add", add(nz), add(cl), eu + "\r\n" + na + "\r\n" + nz + "\r\n" + cl + "\r\n"},
        {"one removes, one adds", remove("Europe"), add(cl), na + "\r\n" + cl + "\r\n"},
        {"one adds, one removes", add(nz), remove("North America"), eu + "\r\n" + nz + "\r\n"},
        {"one changes a rule in its place, one adds",
         [&](std::vector<TDSTRule>& r) { r[0].ReadDataString(eu2); }, add(cl),
         eu2 + "\r\n" + na + "\r\n" + cl + "\r\n"},
        {"the second changes a rule in its place", add(nz),
         [&](std::vector<TDSTRule>& r) { r[0].ReadDataString(eu2); },
         eu2 + "\r\n" + na + "\r\n" + nz + "\r\n"},
        {"both change one rule: neither version is lost",
         [&](std::vector<TDSTRule>& r) { r[1].ReadDataString(na + "first"); },
         [&](std::vector<TDSTRule>& r) { r[1].ReadDataString(na + "second"); },
         eu + "\r\n" + na + "first\r\n" + na + "second\r\n"},
    };
    for (const Case& c : cases) {
        Put("# shipped\r\nVERSION:\t2026.1\r\n" + eu + "\r\n" + na + "\r\n");
        TDSTRuleFileRead readByFirst = ReadDSTRuleFile(Path);
        TDSTRuleFileRead readBySecond = ReadDSTRuleFile(Path);
        std::vector<TDSTRule> firstList = readByFirst.Rules, secondList = readBySecond.Rules;
        c.first(firstList);
        c.second(secondList);
        ASSERT_EQ(WriteDSTRuleFile(Path, readByFirst, firstList), TDSTRuleFileWrite::Written);
        ASSERT_EQ(WriteDSTRuleFile(Path, readBySecond, secondList), TDSTRuleFileWrite::Written);
        EXPECT_EQ(Get(), c.expected) << c.what;
        // Each list is now what the file holds: saved again unchanged, by
        // either writer, the file stays as it is.
        for (auto* w : {&readBySecond, &readByFirst}) {
            std::vector<TDSTRule>& list = w == &readByFirst ? firstList : secondList;
            ASSERT_EQ(WriteDSTRuleFile(Path, *w, list), TDSTRuleFileWrite::Written);
            EXPECT_EQ(Get(), c.expected) << c.what;
        }
    }
}
