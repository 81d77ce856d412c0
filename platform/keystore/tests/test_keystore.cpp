#include "platform/keystore/Registry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

class KeyStore : public ::testing::Test {
protected:
    void SetUp() override {
        const char* base = std::getenv("HX_TEST_TMP");
        std::string tmpl =
            (base != nullptr ? std::string(base) : fs::temp_directory_path().string()) +
            "/keystore-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        Dir = tmpl;
        ::setenv("HOROLUX_KEYSTORE_DIR", (Dir + "/store").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("HOROLUX_KEYSTORE_DIR");
        fs::remove_all(Dir);
    }
    std::string UserFile() const { return Dir + "/store/HKEY_CURRENT_USER.reg"; }
    std::string Dir;
};

const std::string kPrefs = "\\SOFTWARE\\Horolux\\Prefs";

} // namespace

TEST_F(KeyStore, EveryValueTypeSurvivesTheFile) {
    const std::string tricky = "HH:MM:SS\tDDD MMM d, YYYY  ";
    const std::string utf8 = "Z\xC3\xBCrich \xE6\x9D\xB1\xE4\xBA\xAC \xE2\x82\xAC";
    const std::string escapes = "C:\\dir\\\"quoted\"\nline2\r\x01 end ";
    unsigned char tzi[44];
    for (int i = 0; i < 44; ++i)
        tzi[i] = static_cast<unsigned char>(i * 37 + 200);
    const unsigned char one = 2;
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kPrefs, true));
        r.WriteString("TitleDateFormat", tricky);
        r.WriteString("City", utf8);
        r.WriteString("Escapes", escapes);
        r.WriteString("Empty", "");
        r.WriteString("", "default value");
        r.WriteInteger("ClockPosTop", -200);
        r.WriteInteger("Max", INT_MAX);
        r.WriteInteger("Min", INT_MIN);
        r.WriteBool("ShowSplash", true);
        r.WriteFloat("ChimeStartTime", 8.0 / 24.0);
        r.WriteFloat("LocalOffsetOverride", -3.5);
        r.WriteBinaryData("ConnectionType", &one, 1);
        r.WriteBinaryData("TZI", tzi, 44);
        r.WriteBinaryData("Nothing", nullptr, 0);
        r.CloseKey();
    }
    const std::string text = ReadAll(UserFile());
    EXPECT_EQ(text.rfind("REGEDIT4\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]"), std::string::npos);
    EXPECT_NE(text.find("\"TitleDateFormat\"=\"HH:MM:SS\tDDD MMM d, YYYY  \""), std::string::npos);
    EXPECT_NE(text.find("\"ClockPosTop\"=dword:ffffff38"), std::string::npos);
    EXPECT_NE(text.find("\"ConnectionType\"=hex:02"), std::string::npos);

    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kPrefs, false));
    EXPECT_EQ(r.ReadString("TitleDateFormat"), tricky);
    EXPECT_EQ(r.ReadString("City"), utf8);
    EXPECT_EQ(r.ReadString("Escapes"), escapes);
    EXPECT_TRUE(r.ValueExists("Empty"));
    EXPECT_EQ(r.ReadString("Empty"), "");
    EXPECT_EQ(r.ReadString(""), "default value");
    EXPECT_EQ(r.ReadInteger("ClockPosTop"), -200);
    EXPECT_EQ(r.ReadInteger("Max"), INT_MAX);
    EXPECT_EQ(r.ReadInteger("Min"), INT_MIN);
    EXPECT_TRUE(r.ReadBool("ShowSplash"));
    EXPECT_EQ(r.ReadFloat("ChimeStartTime"), 8.0 / 24.0);
    EXPECT_EQ(r.ReadFloat("LocalOffsetOverride"), -3.5);
    unsigned char b = 0;
    EXPECT_EQ(r.ReadBinaryData("ConnectionType", &b, 1), 1);
    EXPECT_EQ(b, 2);
    unsigned char back[44] = {};
    EXPECT_EQ(r.GetDataSize("TZI"), 44);
    EXPECT_EQ(r.ReadBinaryData("TZI", back, 44), 44);
    EXPECT_EQ(0, std::memcmp(back, tzi, 44));
    EXPECT_EQ(r.GetDataSize("Nothing"), 0);
    EXPECT_EQ(r.GetDataType("Nothing"), TRegDataType::rdBinary);
    EXPECT_EQ(r.GetDataType("Max"), TRegDataType::rdInteger);
    EXPECT_EQ(r.GetDataType("City"), TRegDataType::rdString);
}

TEST_F(KeyStore, FileIsPrivateAndReplacedWhole) {
    {
        TRegistry r;
        r.OpenKey("\\SOFTWARE\\Horolux\\Prefs", true);
        r.WriteString("RASPassword", "secret");
    }
    struct stat st {};
    ASSERT_EQ(::stat(UserFile().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    for (const auto& e : fs::directory_iterator(Dir + "/store")) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "HKEY_CURRENT_USER.reg" || name == "HKEY_CURRENT_USER.lock") << name;
    }
}

TEST_F(KeyStore, NamesCompareWithoutCaseAndKeepTheirCase) {
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Horolux\\Prefs", true));
        r.WriteBool("Chime45mins", false);
        r.WriteString("RASServer", "Office");
    }
    TRegistry r;
    EXPECT_TRUE(r.KeyExists("\\software\\HOROLUX\\prefs"));
    ASSERT_TRUE(r.OpenKey("software\\horolux\\PREFS", false));
    EXPECT_EQ(r.CurrentPath(), "SOFTWARE\\Horolux\\Prefs");
    EXPECT_TRUE(r.ValueExists("Chime45Mins"));
    EXPECT_FALSE(r.ReadBool("CHIME45MINS"));
    r.WriteString("rasserver", "Home"); // replaces, keeps the first spelling
    EXPECT_EQ(r.GetValueNames(), (std::vector<std::string>{"Chime45mins", "RASServer"}));
    EXPECT_EQ(r.ReadString("RASSERVER"), "Home");
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE", false));
    EXPECT_EQ(r.GetKeyNames(), std::vector<std::string>{"Horolux"});
}

TEST_F(KeyStore, OpenWithoutCreateAndRelativePaths) {
    TRegistry r;
    EXPECT_FALSE(r.OpenKey("\\SOFTWARE\\Horolux\\RAS", false));
    EXPECT_FALSE(r.KeyExists("\\SOFTWARE"));
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Horolux", true));
    ASSERT_TRUE(r.OpenKey("RAS", true)); // relative to the open key
    EXPECT_EQ(r.CurrentPath(), "SOFTWARE\\Horolux\\RAS");
    r.CloseKey();
    EXPECT_TRUE(r.KeyExists("\\SOFTWARE\\Horolux\\RAS"));
    EXPECT_TRUE(r.KeyExists("SOFTWARE")); // no key open: relative to the root
}

TEST_F(KeyStore, DeleteKeyRemovesTheWholeTreeOnly) {
    {
        TRegistry r(HKEY_LOCAL_MACHINE);
        r.OpenKey("\\SOFTWARE\\Horolux\\Prefs", true);
        r.WriteString("A", "1");
        r.OpenKey("\\SOFTWARE\\Horolux\\ClockData", true);
        r.WriteString("ZoneName0", "x");
        r.OpenKey("\\SOFTWARE\\Horolux\\Alarms\\Deep\\Deeper", true);
        r.WriteInteger("N", 1);
        r.OpenKey("\\SOFTWARE\\Other", true);
        r.WriteInteger("Keep", 7);
        r.OpenKey("\\SOFTWARE\\Horoluxe", true); // shares a prefix, not a parent
    }
    {
        TRegistry r(HKEY_LOCAL_MACHINE);
        EXPECT_TRUE(r.DeleteKey("\\SOFTWARE\\HOROLUX"));
        EXPECT_FALSE(r.DeleteKey("\\SOFTWARE\\Horolux"));
        EXPECT_FALSE(r.KeyExists("\\SOFTWARE\\Horolux\\Alarms\\Deep"));
    }
    TRegistry r(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(r.KeyExists("\\SOFTWARE\\Horolux"));
    EXPECT_FALSE(r.KeyExists("\\SOFTWARE\\Horolux\\Prefs"));
    EXPECT_TRUE(r.KeyExists("\\SOFTWARE\\Horoluxe"));
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Other", false));
    EXPECT_EQ(r.ReadInteger("Keep"), 7);
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE", false));
    EXPECT_EQ(r.GetKeyNames(), (std::vector<std::string>{"Horoluxe", "Other"}));
    EXPECT_FALSE(fs::exists(UserFile())); // the other root is a file of its own
}

TEST_F(KeyStore, WrongTypesRaiseAndAbsentValuesAreEmpty) {
    TRegistry r;
    r.OpenKey(kPrefs, true);
    r.WriteString("S", "12");
    r.WriteInteger("I", 12);
    r.WriteBinaryData("B", "abc", 3);
    EXPECT_THROW(r.ReadInteger("S"), ERegistryException);
    EXPECT_THROW(r.ReadString("I"), ERegistryException);
    EXPECT_THROW(r.ReadFloat("B"), ERegistryException); // not 8 bytes
    EXPECT_THROW(r.ReadInteger("Missing"), ERegistryException);
    EXPECT_EQ(r.ReadString("Missing"), "");
    char small[2];
    EXPECT_THROW(r.ReadBinaryData("B", small, 2), ERegistryException);
    EXPECT_EQ(r.ReadBinaryData("Missing", small, 2), 0);
    EXPECT_EQ(r.GetDataSize("Missing"), -1);
    EXPECT_TRUE(r.DeleteValue("s"));
    EXPECT_FALSE(r.DeleteValue("S"));
    EXPECT_FALSE(r.ValueExists("S"));
}

TEST_F(KeyStore, ReadOnlyKeyRefusesWrites) {
    {
        TRegistry r;
        r.OpenKey(kPrefs, true);
    }
    TRegistry r;
    ASSERT_TRUE(r.OpenKeyReadOnly(kPrefs));
    EXPECT_THROW(r.WriteString("X", "y"), ERegistryException);
}

TEST_F(KeyStore, WritersWithStaleViewsKeepEachOthersKeys) {
    TRegistry a, b;
    ASSERT_TRUE(a.OpenKey(kPrefs, true));
    ASSERT_TRUE(b.OpenKey("\\SOFTWARE\\Horolux\\RAS", true)); // both read the same empty store
    a.WriteString("RASServer", "Office");
    b.WriteInteger("NumEntries", 2);
    a.CloseKey();
    b.CloseKey();
    TRegistry c;
    ASSERT_TRUE(c.OpenKey(kPrefs, false));
    EXPECT_EQ(c.ReadString("RASServer"), "Office");
    ASSERT_TRUE(c.OpenKey("\\SOFTWARE\\Horolux\\RAS", false));
    EXPECT_EQ(c.ReadInteger("NumEntries"), 2);
}

TEST_F(KeyStore, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kWrites = 200;
    pid_t children[2];
    for (int p = 0; p < 2; ++p) {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            int rc = 0;
            try {
                for (int i = 0; i < kWrites; ++i) {
                    TRegistry r;
                    r.LazyWrite = false;
                    if (!r.OpenKey("\\SOFTWARE\\Horolux\\P" + std::to_string(p), true)) rc = 2;
                    r.WriteInteger("Value" + std::to_string(i), i * 10 + p);
                    r.CloseKey();
                }
            } catch (...) {
                rc = 3;
            }
            ::_exit(rc);
        }
    }
    for (pid_t c : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(c, &status, 0), c);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    TRegistry r;
    for (int p = 0; p < 2; ++p) {
        ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Horolux\\P" + std::to_string(p), false));
        EXPECT_EQ(r.GetValueNames().size(), static_cast<size_t>(kWrites));
        for (int i = 0; i < kWrites; ++i)
            ASSERT_EQ(r.ReadInteger("Value" + std::to_string(i)), i * 10 + p) << p << " " << i;
    }
}

TEST_F(KeyStore, FileCutInTheMiddleOfALineKeepsTheRest) {
    {
        TRegistry r;
        r.OpenKey(kPrefs, true);
        r.WriteString("First", "one");
        r.WriteInteger("Second", 2);
        r.OpenKey("\\SOFTWARE\\Horolux\\RAS", true);
        r.WriteString("RasEntry0", "a long entry name that will be cut");
    }
    std::string text = ReadAll(UserFile());
    const size_t cut = text.find("will be");
    ASSERT_NE(cut, std::string::npos);
    WriteAll(UserFile(), text.substr(0, cut));

    testing::internal::CaptureStderr();
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kPrefs, false));
        EXPECT_EQ(r.ReadString("First"), "one");
        EXPECT_EQ(r.ReadInteger("Second"), 2);
        ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Horolux\\RAS", false));
        EXPECT_FALSE(r.ValueExists("RasEntry0"));
        r.WriteInteger("NumEntries", 0); // the next write leaves a clean file
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("unreadable"), std::string::npos);
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Horolux\\RAS", false));
    EXPECT_EQ(r.ReadInteger("NumEntries"), 0);
}

TEST_F(KeyStore, HandEditedFileLoadsWhatItCanAndWarnsOnce) {
    fs::create_directories(Dir + "/store");
    WriteAll(UserFile(), "REGEDIT4\r\n"
                         "; a comment\r\n"
                         "\"Orphan\"=\"before any key\"\r\n"
                         "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\r\n"
                         "  \"Good\" = \"yes\"   \r\n"
                         "\"Broken=\"no\r\n"
                         "\"Number\"=dword:0000002a\r\n"
                         "\"BadNumber\"=dword:xyz\r\n"
                         "\"Long\"=hex:01,02,\\\r\n"
                         "  03,04\r\n"
                         "@=\"default\"\r\n"
                         "\"Path\"=\"C:\\Program Files\"\r\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Elsewhere]\r\n"
                         "\"Misplaced\"=\"x\"\r\n"
                         "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\RAS\r\n"
                         "\"AfterBadHeader\"=\"x\"\r\n"
                         "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\RAS]\r\n"
                         "\"NumEntries\"=dword:3\r\n");
    testing::internal::CaptureStderr();
    TRegistry r;
    ASSERT_TRUE(r.OpenKey(kPrefs, false));
    EXPECT_EQ(r.ReadString("Good"), "yes");
    EXPECT_EQ(r.ReadInteger("Number"), 42);
    EXPECT_FALSE(r.ValueExists("Broken"));
    EXPECT_FALSE(r.ValueExists("BadNumber"));
    unsigned char buf[8];
    ASSERT_EQ(r.ReadBinaryData("Long", buf, 8), 4);
    EXPECT_EQ(buf[3], 4);
    EXPECT_EQ(r.ReadString(""), "default");
    EXPECT_EQ(r.ReadString("Path"), "C:\\Program Files");
    EXPECT_FALSE(r.ValueExists("Misplaced"));
    ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Horolux\\RAS", false));
    EXPECT_EQ(r.ReadInteger("NumEntries"), 3);
    EXPECT_FALSE(r.ValueExists("AfterBadHeader"));
    EXPECT_FALSE(r.KeyExists("\\SOFTWARE\\Elsewhere"));
    TRegistry again; // read again: no second warning
    again.OpenKey(kPrefs, false);
    const std::string err = testing::internal::GetCapturedStderr();
    const size_t first = err.find("unreadable");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(err.find("unreadable", first + 1), std::string::npos);
    EXPECT_NE(err.find("first is line 3"), std::string::npos);
}

TEST_F(KeyStore, ChangesFromOtherProgramsAppearAtTheNextOpen) {
    TRegistry reader;
    EXPECT_FALSE(reader.OpenKey(kPrefs, false));
    {
        TRegistry writer;
        writer.LazyWrite = false;
        writer.OpenKey(kPrefs, true);
        writer.WriteString("CurrentVersion", "2.1.0.37");
    }
    ASSERT_TRUE(reader.OpenKey(kPrefs, false));
    EXPECT_EQ(reader.ReadString("CurrentVersion"), "2.1.0.37");
}

TEST(KeyStoreLocation, FollowsTheEnvironment) {
    const char* saved = std::getenv("HOROLUX_KEYSTORE_DIR");
    const std::string keep = saved ? saved : "";
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string keepXdg = xdg ? xdg : "";
    ::unsetenv("HOROLUX_KEYSTORE_DIR");
    ::setenv("XDG_CONFIG_HOME", "/nonexistent/config", 1);
    EXPECT_EQ(KeyStoreDirectory(), "/nonexistent/config/horolux");
    EXPECT_EQ(KeyStoreFileName(HKEY_LOCAL_MACHINE),
              "/nonexistent/config/horolux/HKEY_LOCAL_MACHINE.reg");
    ::setenv("HOROLUX_KEYSTORE_DIR", "/nonexistent/store", 1);
    EXPECT_EQ(KeyStoreDirectory(), "/nonexistent/store");
    if (saved)
        ::setenv("HOROLUX_KEYSTORE_DIR", keep.c_str(), 1);
    else
        ::unsetenv("HOROLUX_KEYSTORE_DIR");
    if (xdg)
        ::setenv("XDG_CONFIG_HOME", keepXdg.c_str(), 1);
    else
        ::unsetenv("XDG_CONFIG_HOME");
}

TEST_F(KeyStore, AStoreThatCannotBeReadIsNeverOverwritten) {
    fs::create_directories(UserFile()); // a directory where the file should be: reads fail
    fs::create_directories(UserFile() + "/inside");
    testing::internal::CaptureStderr();
    {
        TRegistry r;
        r.LazyWrite = false;
        EXPECT_FALSE(r.OpenKey(kPrefs, true)); // its creation cannot be written
        EXPECT_THROW(r.WriteString("X", "y"), ERegistryException);
    }
    {
        TRegistry lazy;
        lazy.WriteString("Y", "z");
        lazy.CloseKey(); // the pending change is dropped with a warning
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("not written"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(UserFile() + "/inside"));
}

TEST_F(KeyStore, DamagedFileIsKeptAsBadAndStaleTemporariesGo) {
    fs::create_directories(Dir + "/store");
    const std::string garbage = "REGEDIT4\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\r\n"
                                "\"Good\"=\"yes\"\r\n\x01\x02 not a line\r\n\"Cut=";
    WriteAll(UserFile(), garbage);
    // Left by writers killed mid-write; only this root's own temporaries go.
    const std::string stale = UserFile() + ".Ab12Cd";
    const std::vector<std::string> kept = {UserFile() + ".bak1", UserFile() + ".Ab12Cde",
                                           Dir + "/store/HKEY_LOCAL_MACHINE.reg.Ab12Cd",
                                           Dir + "/store/notes.reg.Ab12Cd"};
    WriteAll(stale, "partial");
    for (const std::string& f : kept)
        WriteAll(f, "someone else's");
    TakeKeyStoreReports();
    testing::internal::CaptureStderr();
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kPrefs, false));
        EXPECT_EQ(r.ReadString("Good"), "yes");
        r.CloseKey();
        EXPECT_EQ(ReadAll(UserFile() + ".bad"), garbage);
        const std::vector<std::string> reports = TakeKeyStoreReports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find(UserFile() + ".bad"), std::string::npos) << reports[0];
        ASSERT_TRUE(r.OpenKey(kPrefs, false));
        r.WriteString("New", "value");
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadAll(UserFile() + ".bad"), garbage); // the rewrite kept the copy
    EXPECT_EQ(ReadAll(UserFile()).find("not a line"), std::string::npos);
    EXPECT_FALSE(fs::exists(stale));
    for (const std::string& f : kept)
        EXPECT_TRUE(fs::exists(f)) << f;
    EXPECT_TRUE(TakeKeyStoreReports().empty());
}

// A settings file damaged again after its first copy was kept gets a copy of
// its own: the earlier one is never written over, and the report names the
// new one.
using DamagedCopies = KeyStore;
TEST_F(DamagedCopies, EveryDamagedSettingsFileKeepsItsOwnBadCopy) {
    fs::create_directories(Dir + "/store");
    const std::string head = "REGEDIT4\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]\r\n";
    const std::string first = head + "\"Good\"=\"yes\"\r\n\x01 first damage\r\n";
    const std::string second = head + "\"Good\"=\"yes\"\r\n\x02 second damage\r\n";
    TakeKeyStoreReports();
    testing::internal::CaptureStderr();
    for (const auto& [text, copy] :
         {std::pair{first, UserFile() + ".bad"}, std::pair{second, UserFile() + ".1.bad"}}) {
        WriteAll(UserFile(), text);
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kPrefs, false));
        EXPECT_EQ(r.ReadString("Good"), "yes");
        r.WriteString("New", "value"); // the rewrite drops the damaged line
        r.CloseKey();
        const std::vector<std::string> reports = TakeKeyStoreReports();
        ASSERT_EQ(reports.size(), 1u);
        EXPECT_NE(reports[0].find("kept as " + copy), std::string::npos) << reports[0];
        EXPECT_EQ(ReadAll(copy), text);
    }
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(ReadAll(UserFile() + ".bad"), first);
    EXPECT_EQ(ReadAll(UserFile()).find("damage"), std::string::npos);
}
