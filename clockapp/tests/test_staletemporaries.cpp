// Temporaries that saves killed half-way left in the data directory are gone
// after the next start; no other file is touched.
#include "clockapp/tests/WindowTest.h"

#include "timemodel/SaveTemporary.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fstream>
#include <unistd.h>

namespace {

const char* const kOwn[] = {"hxclocks.hx_", "hxalarms.hx_", "hxdayloom.hx_", "hxzones.hx_",
                            "hxdst.hx_"};
// Other programs' files and other names that merely look alike.
const char* const kForeign[] = {"hxservers.hx_", "hxsynclog.hx_", "notes.hx_", "hxzones.hx_.keep",
                                "map/globe.ini.hx_"};

class StaleTemporaries : public TWindowTest<> {
protected:
    void BeforeStart() override {
        QDir(dir.path()).mkdir("map");
        for (const char* f : kOwn)
            std::ofstream(dir.filePath(f).toStdString(), std::ios::binary) << "half a save\r\n";
        for (const char* f : kForeign)
            std::ofstream(dir.filePath(f).toStdString(), std::ios::binary) << "not ours";
    }
    bool Exists(const char* f) const { return QFile::exists(dir.filePath(f)); }
};

} // namespace

TEST_F(StaleTemporaries, StartRemovesItsOwnAndNothingElse) {
    for (const char* f : kOwn)
        EXPECT_FALSE(Exists(f)) << f;
    for (const char* f : kForeign)
        EXPECT_TRUE(Exists(f)) << f;
}

TEST(SaveTemporaries, OneBeingWrittenIsKept) {
    QTemporaryDir dir;
    const std::string data = dir.path().toStdString() + "/";
    const std::string tmp = data + "hxdst.hx_";
    const int fd = OpenSaveTemporary(tmp); // a save of another program, under way
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "x", 1), 1);
    RemoveStaleTemporaries(data, {"hxdst.hxd"});
    EXPECT_TRUE(QFile::exists(QString::fromStdString(tmp)));
    ::close(fd); // killed: the lock goes with it
    RemoveStaleTemporaries(data, {"hxdst.hxd"});
    EXPECT_FALSE(QFile::exists(QString::fromStdString(tmp)));
}
