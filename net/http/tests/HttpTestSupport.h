// Event-loop helpers shared by the HTTP client and update-check tests.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

// Runs the event loop until the condition holds or the time is up.
inline bool RunUntil(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Python's http.server on 127.0.0.1 and a free port, serving one folder.
class TPythonServer {
public:
    explicit TPythonServer(const std::filesystem::path& root) {
        process_.setProgram("python3");
        process_.setArguments({"-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                               QString::fromStdString(root.string()), "0"});
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start();
        if (!process_.waitForStarted(5000)) return;
        QString out;
        const QRegularExpression re("port (\\d+)");
        RunUntil(
            [&] {
                out += QString::fromUtf8(process_.readAll());
                const auto m = re.match(out);
                if (m.hasMatch()) port_ = m.captured(1).toInt();
                return port_ != 0 || process_.state() == QProcess::NotRunning;
            },
            10000);
    }
    ~TPythonServer() {
        process_.kill();
        process_.waitForFinished(5000);
    }
    int Port() const { return port_; }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }

private:
    QProcess process_;
    int port_ = 0;
};

#include <QTimer>

#include "net/HXWinSock.h"

// Name look-ups in tests never leave the machine: every name but a dotted
// address fails as an unknown host.
class TNoDnsResolver : public hxws::THostResolver {
public:
    int LookupName(const std::string&, hxws::THostLookupCallback done) override {
        return Later(std::move(done));
    }
    int LookupAddress(uint32_t, hxws::THostLookupCallback done) override {
        return Later(std::move(done));
    }
    bool Cancel(int handle) override { return pending_.erase(handle) > 0; }

private:
    int Later(hxws::THostLookupCallback done) {
        const int handle = ++next_;
        pending_.insert(handle);
        QTimer::singleShot(0, [this, handle, done] {
            if (pending_.erase(handle) == 0) return;
            hxws::THostLookupResult r;
            r.Error = hxws::WSAHOST_NOT_FOUND;
            done(r);
        });
        return handle;
    }
    int next_ = 0;
    std::set<int> pending_;
};

inline void InstallTestConnections() {
    static TNoDnsResolver resolver;
    hxws::SetResolver(&resolver);
}
