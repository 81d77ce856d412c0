// One writer at a time: a save never writes over a list file that another
// program changed since it was read, never removes another save's temporary,
// and a data directory serves one horolux at a time.
#include "clockapp/tests/WindowTest.h"

#include "clockapp/state/ListFiles.h"
#include "platform/rtl/DataDir.h"
#include "timemodel/SaveTemporary.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Questions are answered as the test says, and counted.
class AskedClocks : public QuietClocks {
public:
    using QuietClocks::QuietClocks;
    bool Answer = false;
    std::vector<std::string> Asked;

protected:
    bool ConfirmYes(const std::string& text) override {
        Asked.push_back(text);
        return Answer;
    }
};

class Writers : public TWindowTest<AskedClocks> {
protected:
    std::string Path(const std::string& file) const {
        return dir.filePath(QString::fromStdString(file)).toStdString();
    }
};

} // namespace

// Another program (a hand edit, a restored copy) replaced a list file while
// horolux ran: horolux's save asks before it replaces it, and with No (or with
// nobody to ask) the file stays exactly as the other program left it.
TEST_F(Writers, AListFileChangedByAnotherProgramIsNeverWrittenOverUnasked) {
    using TWrite = void (TClockState::*)();
    const std::vector<std::pair<std::string, TWrite>> lists = {
        {"hxclocks.hxd", &TClockState::WriteClockInfo},
        {"hxalarms.hxd", &TClockState::WriteAlarms},
        {"hxdayloom.hxd", &TClockState::WriteTemperalEvents},
        {"hxzones.hxd", &TClockState::WriteStandardLocations}, // missing at the start
    };
    for (const auto& [file, write] : lists) {
        // Unchanged since read: saved without a question.
        if (file != "hxzones.hxd") {
            EXPECT_NO_THROW(((*w).*write)()) << file;
            EXPECT_TRUE(w->Asked.empty()) << file;
        }
        const std::string theirs = "written by another program\r\n";
        Put(Path(file), theirs);
        w->Answer = false;
        EXPECT_THROW(((*w).*write)(), Exception) << file;
        EXPECT_EQ(Get(Path(file)), theirs) << file;
        ASSERT_EQ(w->Asked.size(), 1u) << file;
        EXPECT_NE(w->Asked[0].find(file + " was changed by another program"), std::string::npos)
            << w->Asked[0];
        // Asked again at the next save; Yes replaces it, and later saves
        // need no question.
        w->Answer = true;
        EXPECT_NO_THROW(((*w).*write)()) << file;
        EXPECT_NE(Get(Path(file)), theirs) << file;
        EXPECT_NO_THROW(((*w).*write)()) << file;
        EXPECT_EQ(w->Asked.size(), 2u) << file;
        w->Asked.clear();
    }
    EXPECT_TRUE(presenter.Texts.empty());
}

// A save that gives up waiting for another save (another program holds the
// temporary locked while it writes) leaves that save's temporary alone, so
// the other save still ends in its rename.
TEST(WritersTemporaries, AGivenUpSaveLeavesTheOtherSavesTemporary) {
    QTemporaryDir dir;
    const std::string data = dir.path().toStdString() + "/";
    Put(data + "hxclocks.hxd", "old\r\n");
    const std::string tmp = data + "hxclocks.hx_";
    const int other = OpenSaveTemporary(tmp);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::write(other, "new\r\n", 5), 5);
    TFileStamp read = StampOfText("old\r\n");
    EXPECT_THROW(RewriteListFile(data, "hxclocks", read,
                                 [](std::string&) { return false; }),
                 Exception);
    struct stat st {};
    ASSERT_EQ(::stat(tmp.c_str(), &st), 0) << "the other save's temporary was removed";
    EXPECT_EQ(::rename(tmp.c_str(), (data + "hxclocks.hxd").c_str()), 0);
    ::close(other);
    EXPECT_EQ(Get(data + "hxclocks.hxd"), "new\r\n");
}

TEST(WritersLock, OneHoroluxPerDataDirectory) {
    QTemporaryDir dir;
    const std::string data = dir.path().toStdString();
    {
        THXDataDirLock first;
        ASSERT_EQ(first.Take(data), TDataDirLock::Held);
        THXDataDirLock second;
        EXPECT_EQ(second.Take(data + "/"), TDataDirLock::InUse);
    }
    THXDataDirLock later; // the first has ended
    EXPECT_EQ(later.Take(data), TDataDirLock::Held);
    EXPECT_EQ(THXDataDirLock().Take(data + "/missing"), TDataDirLock::Unavailable);
}
