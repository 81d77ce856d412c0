// The program itself on a bus of its own: a second start hands over to
// the first and ends, and SIGTERM saves like Exit.
#include "TestApp.h"

#include "platform/qt/HXBus.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

namespace {

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(tmp.isValid());
        // A private bus: no other test's claim of the main window's name meets ours.
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) GTEST_SKIP() << "dbus-daemon is not installed";
        bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(bus.waitForStarted(10000));
        while (address.isEmpty() && bus.waitForReadyRead(10000))
            address = QString::fromUtf8(bus.readLine()).trimmed();
        ASSERT_FALSE(address.isEmpty());
        connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(address, "hx-program-test"));
        ASSERT_TRUE(connection->isConnected());
        QDir(tmp.path()).mkpath("ks");
        QDir(tmp.path()).mkpath("data");
        for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd"})
            QFile::copy(QString(HX_SOURCE_DIR "/data/") + f, tmp.filePath(QString("data/") + f));
        for (const char* f : {"hxalarms.hxd", "hxdayloom.hxd"}) {
            QFile empty(tmp.filePath(QString("data/") + f));
            ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        }
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOROLUX_KEYSTORE_DIR", tmp.filePath("ks"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
    }
    void TearDown() override {
        if (connection) QDBusConnection::disconnectFromBus("hx-program-test");
        connection.reset();
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished(5000);
        }
    }
    void Launch(QProcess& p) {
        p.setProcessEnvironment(env);
        p.start(QString(HX_SUITE_DIR) + "/horolux", {"-datadir", tmp.filePath("data")});
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    QTemporaryDir tmp;
    QProcessEnvironment env;
    QProcess bus;
    QString address;
    std::unique_ptr<QDBusConnection> connection;
};

} // namespace

TEST_F(ProgramTest, SecondStartHandsOverAndTermSaves) {
    QProcess first;
    Launch(first);
    // The first start holds the main window's name.
    for (int i = 0; i < 200 && !IsBusNameOwned(HXMainWindowBusName, *connection); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(IsBusNameOwned(HXMainWindowBusName, *connection));
    QProcess second;
    Launch(second);
    ASSERT_TRUE(second.waitForFinished(20000)) << "the second start did not hand over";
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    // Let the first get through its start (it writes the preferences at its
    // end), then end it as a logout would.
    QFile store(tmp.filePath("ks/HKEY_CURRENT_USER.reg"));
    for (int i = 0; i < 400 && !store.exists(); ++i)
        QThread::msleep(50);
    QThread::msleep(200);
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    ASSERT_TRUE(store.open(QIODevice::ReadOnly));
    const QByteArray text = store.readAll();
    EXPECT_TRUE(text.contains("\"FormWidth\"="));
    EXPECT_TRUE(text.contains("\"FirstRun\"=dword:00000000"));
}

TEST_F(ProgramTest, FailedSavesAreReportedAndTermStillEndsCleanly) {
    // Neither the list files nor the key store can be written (a directory
    // stands where each would be created, which stops root as well).
    QDir(tmp.path()).mkpath("data/hxclocks.hx_");
    QDir(tmp.path()).mkpath("data/hxalarms.hx_");
    QDir(tmp.path()).mkpath("ks/HKEY_CURRENT_USER.lock");
    QFile clocks(tmp.filePath("data/hxclocks.hxd"));
    ASSERT_TRUE(clocks.open(QIODevice::ReadOnly));
    const QByteArray before = clocks.readAll();
    clocks.close();
    QProcess p;
    Launch(p);
    for (int i = 0; i < 200 && !IsBusNameOwned(HXMainWindowBusName, *connection); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(IsBusNameOwned(HXMainWindowBusName, *connection));
    QThread::msleep(1500);
    EXPECT_EQ(p.state(), QProcess::Running);
    ::kill(pid_t(p.processId()), SIGTERM);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    const QByteArray err = p.readAllStandardError();
    EXPECT_TRUE(err.contains("Unable to save hxclocks.hxd")) << err.toStdString();
    EXPECT_TRUE(err.contains("Unable to save the preferences")) << err.toStdString();
    ASSERT_TRUE(clocks.open(QIODevice::ReadOnly));
    EXPECT_EQ(clocks.readAll(), before);
}
