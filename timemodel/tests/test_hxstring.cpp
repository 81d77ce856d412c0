#include "platform/rtl/SysUtils.h"
#include "timemodel/HXFiles.h"
#include "timemodel/HXString.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

TEST(HXString, TokensFieldsAndPaths) {
    EXPECT_EQ(ReadToken("a,b", ',', 2), "");
    EXPECT_EQ(ReadToken("a,b", ',', 3), "b");
    EXPECT_EQ(ReadToken("a,b", ',', 0), "");
    EXPECT_EQ(ReadToken("a,b", ',', 4), "");
    EXPECT_EQ(SubString("hello", 2, 3), "ell");
    EXPECT_EQ(SubString("hello", 4, 10), "lo");
    EXPECT_EQ(SubString("hello", 0, 2), "h");
    EXPECT_EQ(UpToLast("a\\b\\c", '\\'), "a\\b\\");
    EXPECT_EQ(UpToLast("abc", '\\'), "");
    EXPECT_TRUE(ContainsStr("abc", ""));
    EXPECT_FALSE(ContainsStr("Paris", "paris"));
    EXPECT_FALSE(ContainsStr("ab", "abc"));
    EXPECT_EQ(GetField("a\t\tc", '\t', 2), "");
    EXPECT_EQ(GetField("a\t\tc", '\t', 3), "c");
    EXPECT_EQ(GetField("a\t\tc", '\t', 4), "");
    EXPECT_EQ(GetField("a", '\t', 0), "");
    EXPECT_EQ(ReplaceChar("1.5.2", '.', ','), "1,5,2");
    EXPECT_EQ(RemoveChar("0.5!", '!'), "0.5");
    EXPECT_EQ(AddBackslash("c:\\x"), "c:\\x\\");
    EXPECT_EQ(AddBackslash("c:\\x\\"), "c:\\x\\");
    const std::string line = "c:\\prog\\app.exe -f c:\\data\\x";
    EXPECT_EQ(ExtractDirPart(line), "c:\\prog\\app.exe -f c:\\data\\");
    EXPECT_EQ(ExtractProgramName(line), "x");
    EXPECT_EQ(ExtractProgramParams(line), "");
    EXPECT_EQ(ExtractDirPart("c:\\prog\\app.exe -f"), "c:\\prog\\");
    EXPECT_EQ(ExtractProgramName("c:\\prog\\app.exe -f"), "app.exe");
    EXPECT_EQ(ExtractProgramParams("c:\\prog\\app.exe -f"), " -f");
    EXPECT_EQ(ExtractDirPart("http://x.org"), "");
}

TEST(HXString, NumbersAndBooleans) {
    for (char sep : {'.', ','}) {
        FormatSettings.DecimalSeparator = sep;
        EXPECT_EQ(ParseFloat(""), 0);
        EXPECT_EQ(ParseFloat("1,5"), 1.5);
        EXPECT_EQ(ParseFloat("1.5"), 1.5);
        EXPECT_EQ(ParseFloat("15%"), 0.15);
        EXPECT_EQ(ParseFloat("50%"), 0.5);
        EXPECT_EQ(ParseFloat("$12"), 12);
        EXPECT_THROW(ParseFloat("abc"), EConvertError);
    }
    ResetFormatSettings();
    EXPECT_TRUE(IsInteger("-12"));
    EXPECT_FALSE(IsInteger(""));
    EXPECT_FALSE(IsInteger("2147483648"));
    EXPECT_EQ(BoolToText(true), "True");
    EXPECT_TRUE(TextToBool("T"));
    EXPECT_FALSE(TextToBool("true"));
}

TEST(HXString, FontText) {
    TFont f;
    f.Name = "Arial";
    f.Color = 65280;
    f.Height = -13;
    f.Size = 10;
    f.Charset = 0;
    f.Bold = true;
    EXPECT_EQ(FontToString(f), "Arial\t65280\t-13\t10\t0\tYNNN");
    EXPECT_EQ(StringToFont(FontToString(f)), f);
    f.Color = clBtnFace;
    f.Bold = false;
    f.StrikeOut = f.Italic = true;
    EXPECT_EQ(StringToFont(FontToString(f)), f);
    EXPECT_THROW(StringToFont("Arial\tx\t1\t1\t0\tNNNN"), EConvertError);
    EXPECT_THROW(StringToFont("Arial"), EConvertError);
}

TEST(HXString, PasswordScrambling) {
    SetTickSource([] { return 123456789u; });
    EXPECT_EQ(ScramblePassword("").size(), 25u);
    EXPECT_EQ(UnscramblePassword(ScramblePassword("")), "");
    EXPECT_EQ(ScramblePassword("a").size(), 25u);
    EXPECT_EQ(ScramblePassword("abcdefghij").size(), 30u);
    EXPECT_EQ(ScramblePassword("abcdefghijk").size(), 30u);
    EXPECT_EQ(UnscramblePassword(""), std::string(35, ' '));
    for (int len = 0; len <= 255; ++len) {
        std::string p;
        for (int i = 0; i < len; ++i)
            p += char((i * 37 + len) & 0xFF); // every byte value, non-ASCII included
        const std::string d = ScramblePassword(p);
        ASSERT_EQ(d.size() % 5, 0u);
        ASSERT_EQ(UnscramblePassword(d), p) << len;
    }
    SetTickSource(nullptr);
    EXPECT_THROW(UnscramblePassword(std::string(129 * 5, '3')), EConvertError);
    EXPECT_THROW(UnscramblePassword("3174x"), EConvertError);
}

TEST(HXFiles, ListFilesOnATree) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("hxfiles_" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "sub.d");
    fs::create_directories(root / "other");
    for (const char* n : {"b.wav", "A.WAV", "c.txt", ".hidden.wav", "sub.d/x.wav", "other/y.wav"})
        std::ofstream(root / n) << "x";
    std::vector<std::string> list{"keep"};
    ListFiles(root.string(), "*.wav", list, false);
    EXPECT_EQ(list, (std::vector<std::string>{"keep", "A.WAV", "b.wav"}));
    list.clear();
    ListFiles(root.string() + "/", "", list, true);
    EXPECT_EQ(list, (std::vector<std::string>{"A.WAV", "b.wav", "c.txt", "y.wav", "x.wav"}));
    list.clear();
    ListFiles(root.string(), "*.d", list, true); // only matching folders are entered
    EXPECT_TRUE(list.empty());
    ListFiles((root / "missing").string(), "*.*", list, true);
    EXPECT_TRUE(list.empty());
    fs::remove_all(root);
}
