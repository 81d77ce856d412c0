#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "net/http/UpdatePage.h"

namespace fs = std::filesystem;

TEST(MetaLine, TagAndContent) {
    std::string tag, value;
    ASSERT_TRUE(ParseMetaLine(R"(<META HTTP-EQUIV="hx_HXVersion" CONTENT="2.1.3">)", tag, value));
    EXPECT_EQ(tag, "hx_HXVersion");
    EXPECT_EQ(value, "2.1.3");
    // The keyword may be written in any case, CONTENT= only in capitals.
    ASSERT_TRUE(ParseMetaLine(R"(  <meta http-equiv="A" CONTENT="b c">)", tag, value));
    EXPECT_EQ(value, "b c");
    EXPECT_FALSE(ParseMetaLine(R"(<META HTTP-EQUIV="A" content="b">)", tag, value));
    for (const char* cut :
         {"META HTTP-EQUIV", "META HTTP-EQUIV=\"", "META HTTP-EQUIV=\"tag",
          "META HTTP-EQUIV=\"tag\" CONTENT=", "META HTTP-EQUIV=\"t\" CONTENT=\"v"})
        EXPECT_FALSE(ParseMetaLine(cut, tag, value)) << cut;
}

TEST(UpdatePage, TagsFillTheirValues) {
    TWfiTags tags;
    tags.VersionTag = "hxLVersion";
    tags.DownloadTag = "hxLDownlaod";
    tags.ProductNameTag = "hxLPoductName";
    tags.AuthorTag = "hxAuthor";
    tags.DateTag = "hxAuthor"; // one tag name for two properties fills both
    const auto v = ParseUpdatePage(
        {
            "<html><head>",
            R"(<META HTTP-EQUIV="hxLVersion" CONTENT="1.0">)",
            R"(<META HTTP-EQUIV="hxLVersion" CONTENT="1.1">)",
            R"(<META HTTP-EQUIV="hxlversion" CONTENT="9.9">)",
            R"(<META HTTP-EQUIV="hxLDownlaod" CONTENT="http://h/d/NEW_hxzones.hxd">)",
            R"(<META HTTP-EQUIV="hxAuthor" CONTENT="Mar 15, 2001">)",
            R"(<META HTTP-EQUIV="" CONTENT="empty tag">)",
        },
        tags);
    EXPECT_EQ(v.ProductVersion, "1.1");
    EXPECT_EQ(v.DownloadURL, "http://h/d/NEW_hxzones.hxd");
    EXPECT_EQ(v.ProductAuthor, "Mar 15, 2001");
    EXPECT_EQ(v.ProductDateStr, "Mar 15, 2001");
    EXPECT_EQ(v.ProductName, "");
    EXPECT_EQ(v.RunParams, "") << "an empty tag name reads nothing";
}

TEST(VersionCompare, DottedNumbers) {
    EXPECT_FALSE(IsNewerBuildNumber("2.0.10", "2.0.9"));
    EXPECT_TRUE(IsNewerBuildNumber("2.0.9", "2.0.10"));
    EXPECT_TRUE(IsNewerBuildNumber("2.0", "2.1"));
    EXPECT_TRUE(IsNewerBuildNumber("1.2", "1.2.1")) << "1.2.1 is newer than 1.2";
    EXPECT_TRUE(IsNewerBuildNumber("1.02", "1.10"));
    EXPECT_FALSE(IsNewerBuildNumber("1.2.1", "1.2")) << "no downgrade";
    EXPECT_FALSE(IsNewerBuildNumber("1.2", "1.2.0"));
    EXPECT_FALSE(IsNewerBuildNumber("1.2.0", "1.2"));
    EXPECT_FALSE(IsNewerBuildNumber("3.1", "3.1"));
    EXPECT_TRUE(IsNewerBuildNumber("", "0.1"));
    EXPECT_FALSE(IsNewerBuildNumber("1.x", "1.0")) << "not a number counts 0";
    EXPECT_TRUE(IsNewerBuildNumber("1", "1.99999999999999999999"));
    EXPECT_FALSE(IsNewerBuildNumber("1.100000000000000000000", "1.99999999999999999999"))
        << "huge parts do not overflow into a crash";
    EXPECT_TRUE(IsNewerSimpleString("1.0a", "1.0b"));
    EXPECT_TRUE(IsNewerSimpleString("B", "a")) << "ordinal: lower case sorts after upper";
}

TEST(DFSDate, MonthDayCommaYear) {
    EXPECT_EQ(ParseDFSDate("Mar 15, 2001"), EncodeDate(2001, 3, 15));
    EXPECT_EQ(ParseDFSDate("dec 5, 1999"), EncodeDate(1999, 12, 5));
    for (const char* bad :
         {"", "Xyz 15, 2001", "Anf 15, 2001", "Mar 15 2001", "Mar 31, 20x1", "Feb 30, 2001", "M,"})
        EXPECT_THROW(ParseDFSDate(bad), EConvertError) << bad;
}

TEST(BareFileName, NoFolderPart) {
    EXPECT_EQ(BareFileName("http://h/dl/NEW_hxzones.hxd"), "NEW_hxzones.hxd");
    EXPECT_EQ(BareFileName("../../etc/passwd"), "passwd");
    EXPECT_EQ(BareFileName("..\\..\\x.exe"), "x.exe");
    EXPECT_EQ(BareFileName("http://h/f.zip?x=/y"), "y");
    EXPECT_EQ(BareFileName("http://h/dir/"), "");
    EXPECT_EQ(BareFileName(".."), "");
    EXPECT_EQ(BareFileName("a\nb"), "");
    EXPECT_EQ(ThousandsText(1234567), "1,234,567");
    EXPECT_EQ(ThousandsText(-1), "-1");
    EXPECT_EQ(ThousandsText(999), "999");
}

class DownloadFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("hx_dl_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }
    fs::path dir;
};

TEST_F(DownloadFileTest, CommitReplacesTheTarget) {
    const auto target = dir / "file.bin";
    std::ofstream(target) << "old";
    TDownloadFile f;
    ASSERT_TRUE(f.Open(target.string()));
    f.Stream() << "new content";
    EXPECT_EQ(fs::path(f.TempPath()).parent_path(), dir) << "temporary file beside the target";
    {
        std::ifstream in(target);
        std::string s;
        in >> s;
        EXPECT_EQ(s, "old") << "target untouched until committed";
    }
    ASSERT_TRUE(f.Commit());
    std::ifstream in(target);
    std::string s((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(s, "new content");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(DownloadFileTest, DiscardLeavesNothingBehind) {
    const auto target = dir / "file.bin";
    {
        TDownloadFile f;
        ASSERT_TRUE(f.Open(target.string()));
        f.Stream() << "partial";
    } // destroyed without commit
    EXPECT_EQ(Entries(), 0u);
    TDownloadFile g;
    EXPECT_FALSE(g.Open((dir / "missing" / "x").string()));
}
