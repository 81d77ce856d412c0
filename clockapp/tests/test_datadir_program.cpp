// The real horolux on its data directory: a second one started from another
// desktop session (another bus) or without a bus refuses and writes nothing;
// a first start killed while it copies the shipped data leaves every file
// whole after the next.
#include "TestApp.h"

#include "clockapp/state/ClockState.h"
#include "clockapp/state/RegistryPrefsStore.h"
#include "platform/qt/HXBus.h"

#include <QDBusConnection>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <memory>

namespace {

const QString kNoBus = "unix:path=/nonexistent/horolux-test-bus";

// A session bus of its own: another desktop session.
struct TPrivateBus {
    QProcess Daemon;
    QString Address;
    std::unique_ptr<QDBusConnection> Connection;
    QString Name;
    bool Start(const QString& name) {
        const QString daemon = QStandardPaths::findExecutable("dbus-daemon");
        if (daemon.isEmpty()) return false;
        Daemon.start(daemon, {"--session", "--nofork", "--print-address=1"});
        if (!Daemon.waitForStarted(10000)) return false;
        while (Address.isEmpty() && Daemon.waitForReadyRead(10000))
            Address = QString::fromUtf8(Daemon.readLine()).trimmed();
        Name = name;
        Connection =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(Address, name));
        return Connection->isConnected();
    }
    ~TPrivateBus() {
        if (Connection) QDBusConnection::disconnectFromBus(Name);
        Connection.reset();
        if (Daemon.state() != QProcess::NotRunning) {
            Daemon.kill();
            Daemon.waitForFinished(5000);
        }
    }
};

// Every file under dir (the lock file aside), byte for byte.
std::map<QString, QByteArray> Files(const QString& dir) {
    std::map<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith("/.horolux.lock")) continue;
        QFile f(path);
        files[QDir(dir).relativeFilePath(path)] = f.open(QIODevice::ReadOnly) ? f.readAll() : "?";
    }
    return files;
}

// The files once the running horolux has finished the saves of its start: no
// temporary left and nothing changed for a moment (a slow build may still be
// saving when the window is up).
std::map<QString, QByteArray> SettledFiles(const QString& dir) {
    auto files = Files(dir);
    for (int i = 0; i < 100; ++i) {
        QThread::msleep(200);
        auto now = Files(dir);
        const bool saving = std::any_of(now.begin(), now.end(),
                                        [](const auto& f) { return f.first.endsWith(".hx_"); });
        if (!saving && now == files) break;
        files = std::move(now);
    }
    return files;
}

bool WaitForText(QProcess& p, QByteArray& seen, const QByteArray& text, int ms) {
    for (int waited = 0; !seen.contains(text) && waited < ms; waited += 50) {
        p.waitForReadyRead(50);
        seen += p.readAllStandardError();
        if (p.state() == QProcess::NotRunning) {
            seen += p.readAllStandardError();
            break;
        }
    }
    return seen.contains(text);
}

class DataDirProgram : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_TRUE(tmp.isValid());
        QDir(tmp.path()).mkpath("ks");
        QDir(tmp.path()).mkpath("data");
        for (const char* f : {"hxclocks.hxd", "hxzones.hxd", "hxservers.hxd", "hxdst.hxd"})
            QFile::copy(QString(HX_SOURCE_DIR "/data/") + f, tmp.filePath(QString("data/") + f));
        for (const char* f : {"hxalarms.hxd", "hxdayloom.hxd"}) {
            QFile empty(tmp.filePath(QString("data/") + f));
            ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
        }
        env = QProcessEnvironment::systemEnvironment();
        env.insert("HOROLUX_KEYSTORE_DIR", tmp.filePath("ks"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.remove("HOROLUX_DATADIR");
        // No first-run notes, splash or upgrade question: the start runs through.
        const bool had = qEnvironmentVariableIsSet("HOROLUX_KEYSTORE_DIR");
        const QByteArray was = qgetenv("HOROLUX_KEYSTORE_DIR");
        qputenv("HOROLUX_KEYSTORE_DIR", tmp.filePath("ks").toUtf8());
        {
            THXRegistryPrefsStore seed;
            for (const char* name : {"FirstRun", "InstallUpgrade", "ShowSplash"})
                seed.SetValue(THXRootKey::HKEY_CURRENT_USER, kPrefsKey, name,
                              THXStoredValue::FromInteger(0));
        }
        if (had)
            qputenv("HOROLUX_KEYSTORE_DIR", was);
        else
            qunsetenv("HOROLUX_KEYSTORE_DIR");
    }
    // The end of a start: the window has written its preferences.
    bool Started() const {
        QFile store(tmp.filePath("ks/HKEY_CURRENT_USER.reg"));
        return store.open(QIODevice::ReadOnly) && store.readAll().contains("\"FormWidth\"=");
    }
    void Launch(QProcess& p, const QString& bus, const QStringList& args) {
        QProcessEnvironment e = env;
        e.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        p.setProcessEnvironment(e);
        p.start(QString(HX_SUITE_DIR) + "/horolux", args);
        ASSERT_TRUE(p.waitForStarted(10000));
    }
    QTemporaryDir tmp;
    QProcessEnvironment env;
};

} // namespace

TEST_F(DataDirProgram, ASecondHoroluxOnTheSameDataDirectoryRefusesAndWritesNothing) {
    TPrivateBus one, other;
    if (!one.Start("hx-datadir-one") || !other.Start("hx-datadir-other"))
        GTEST_SKIP() << "dbus-daemon is not installed";
    const QStringList args = {"-datadir", tmp.filePath("data")};
    QProcess first;
    Launch(first, one.Address, args);
    for (int i = 0; i < 400 && !Started(); ++i)
        QThread::msleep(50);
    ASSERT_TRUE(Started());
    ASSERT_TRUE(IsBusNameOwned(HXMainWindowBusName, *one.Connection));
    const auto before = SettledFiles(tmp.filePath("data"));

    // Another desktop session, and a start that finds no bus at all.
    for (const QString& bus : {other.Address, kNoBus}) {
        QProcess second;
        Launch(second, bus, args);
        QByteArray err;
        EXPECT_TRUE(WaitForText(second, err, "Horolux is already running on the data directory",
                                20000))
            << err.toStdString();
        EXPECT_TRUE(err.contains("this one does not start")) << err.toStdString();
        // Its message waits for the user; it has written nothing.
        QThread::msleep(300);
        EXPECT_EQ(Files(tmp.filePath("data")), before);
        ::kill(pid_t(second.processId()), SIGTERM);
        ASSERT_TRUE(second.waitForFinished(10000));
        EXPECT_FALSE(err.contains("Loading")) << err.toStdString();
    }
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(Files(tmp.filePath("data")), before);

    // Killed, the first leaves no lock behind: the next start runs.
    ::kill(pid_t(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    QProcess next;
    Launch(next, other.Address, args);
    for (int i = 0; i < 400 && !IsBusNameOwned(HXMainWindowBusName, *other.Connection); ++i)
        QThread::msleep(50);
    QThread::msleep(500);
    EXPECT_EQ(next.state(), QProcess::Running);
    EXPECT_FALSE(next.readAllStandardError().contains("already running"));
    ::kill(pid_t(next.processId()), SIGTERM);
    EXPECT_TRUE(next.waitForFinished(20000));
}

// Fifty first starts, each killed (kill -9) at another step of its copying:
// after the next start every shipped file is there whole, with its own
// permissions, and no temporary is left.
TEST_F(DataDirProgram, AFirstStartKilledWhileCopyingIsMadeWholeByTheNext) {
    const QString suite = HX_SUITE_DIR;
    const auto shipped = [&] {
        std::map<QString, QByteArray> files;
        for (const auto& [name, bytes] : Files(suite)) {
            const QFileInfo info(suite + "/" + name);
            if (!info.isExecutable()) files[name] = bytes;
        }
        return files;
    }();
    ASSERT_GT(shipped.size(), 5u);
    for (int attempt = 0; attempt < 50; ++attempt) {
        const QString xdg = tmp.filePath("xdg" + QString::number(attempt));
        auto start = [&](int killAt) {
            QProcess p;
            QProcessEnvironment e = env;
            e.insert("XDG_DATA_HOME", xdg);
            e.insert("DBUS_SESSION_BUS_ADDRESS", kNoBus);
            e.insert("HX_SEED_TEST_KILL_AT", QString::number(killAt));
            p.setProcessEnvironment(e);
            p.start(suite + "/horolux", {});
            EXPECT_TRUE(p.waitForStarted(10000));
            EXPECT_TRUE(p.waitForFinished(20000));
            EXPECT_EQ(p.exitStatus(), QProcess::CrashExit) << "not killed while it copied";
        };
        start(1 + attempt * 6); // cut at step 1, 7, 13, ...: the last ones after the marker
        start(1000000);         // the next start: killed once it has copied everything
        std::map<QString, QByteArray> copied = Files(xdg + "/horolux");
        ASSERT_TRUE(copied.count(".seeded")) << attempt;
        copied.erase(".seeded");
        for (const auto& [name, bytes] : copied) {
            EXPECT_TRUE(shipped.count(name)) << "left over: " << name.toStdString();
            if (!shipped.count(name)) continue;
            EXPECT_EQ(QFileInfo(xdg + "/horolux/" + name).permissions(),
                      QFileInfo(suite + "/" + name).permissions())
                << name.toStdString();
        }
        ASSERT_EQ(copied, shipped) << "attempt " << attempt;
        QDir(xdg).removeRecursively();
    }
}
