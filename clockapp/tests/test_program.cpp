// The program itself on a private session bus: a second start hands over to
// the first and ends, and SIGTERM saves like Exit.
#include "TestApp.h"

#include "platform/qt/HXBus.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP() << "needs a session bus (the test command starts one)";
        ASSERT_TRUE(tmp.isValid());
        QDir(tmp.path()).mkpath("ks");
        QDir(tmp.path()).mkpath("data");
        for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd"})
            QFile::copy(QString(HX_SUITE_DIR) + "/" + f, tmp.filePath(QString("data/") + f));
        for (const char* f : {"hxalarms.hxd", "hxdayloom.hxd"}) {
            QFile empty(tmp.filePath(QString("data/") + f));
            ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        }
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOROLUX_KEYSTORE_DIR", tmp.filePath("ks"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
    }
    void Launch(QProcess& p) {
        p.setProcessEnvironment(env);
        p.start(QString(HX_SUITE_DIR) + "/horolux", {"-datadir", tmp.filePath("data")});
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    QTemporaryDir tmp;
    QProcessEnvironment env;
};

} // namespace

TEST_F(ProgramTest, SecondStartHandsOverAndTermSaves) {
    QProcess first;
    Launch(first);
    // The first start holds the main window's name.
    for (int i = 0; i < 200 && !IsBusNameOwned(HXMainWindowBusName); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(IsBusNameOwned(HXMainWindowBusName));
    QProcess second;
    Launch(second);
    ASSERT_TRUE(second.waitForFinished(20000)) << "the second start did not hand over";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    // Let the first get through its start, then end it as a logout would.
    QThread::msleep(1500);
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    QFile store(tmp.filePath("ks/HKEY_CURRENT_USER.reg"));
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray text = store.readAll();
    EXPECT_TRUE(text.contains("\"FormWidth\"="));
    EXPECT_TRUE(text.contains("\"FirstRun\"=dword:00000000"));
}
