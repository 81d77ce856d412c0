// Shared pieces of the Qt tests: the application object and a private
// session bus that each test starts for itself.
#pragma once

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

inline QApplication* EnsureApp() {
    static int argc = 1;
    static char name[] = "platform_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// True under the full test command, where every test must really run.
inline bool UnderTestCommand() {
    return std::getenv("HX_TEST_TMP") != nullptr;
}

// A dbus-daemon of our own on a socket in a temporary directory, so the tests
// never talk to the user's desktop session.
class TPrivateBus {
public:
    TPrivateBus() {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !Dir.isValid()) return;
        Daemon.setProgram(daemon);
        Daemon.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                             QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1"),
                             QStringLiteral("--address=unix:path=") + Dir.filePath("bus")});
        Daemon.setProcessChannelMode(QProcess::SeparateChannels);
        Daemon.start();
        if (!Daemon.waitForStarted(10000)) return;
        while (!Daemon.canReadLine())
            if (!Daemon.waitForReadyRead(10000)) return;
        Address = QString::fromUtf8(Daemon.readLine()).trimmed();
    }
    ~TPrivateBus() {
        Daemon.terminate();
        if (!Daemon.waitForFinished(5000)) Daemon.kill();
        Daemon.waitForFinished(5000);
    }
    bool Running() const { return !Address.isEmpty(); }
    QString Address;

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), Address);
        return env;
    }

private:
    QTemporaryDir Dir;
    QProcess Daemon;
};

#define HX_REQUIRE_BUS(bus)                                                                        \
    do {                                                                                           \
        if (!(bus).Running()) {                                                                    \
            if (UnderTestCommand()) FAIL() << "cannot start a private dbus-daemon";                \
            GTEST_SKIP() << "no dbus-daemon to start a private bus";                               \
        }                                                                                          \
    } while (0)
