#include "linkhold/PppdRAS.h"

#include "platform/rtl/AtomicFile.h"

#include <QProcess>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <limits.h>
#include <memory>
#include <unistd.h>

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && *v != '\0' ? std::string(v) : fallback;
}

// The peer's options, as far as they fit a sensible options file.
std::string ReadPeerFile(const std::string& path) {
    constexpr std::streamsize kMax = 1 << 20;
    std::ifstream f(path, std::ios::binary);
    std::string text(size_t(kMax), '\0');
    f.read(text.data(), kMax);
    text.resize(size_t(f.gcount()));
    return text;
}

} // namespace

TPppdBackend::TPaths TPppdBackend::TPaths::FromEnvironment() {
    TPaths p;
    p.PeersDir = EnvOr("HOROLUX_PPP_PEERS_DIR", p.PeersDir);
    p.Pon = EnvOr("HOROLUX_PON", p.Pon);
    p.Poff = EnvOr("HOROLUX_POFF", p.Poff);
    p.NetClassDir = EnvOr("HOROLUX_NET_CLASS_DIR", p.NetClassDir);
    return p;
}

TPppdBackend::TPppdBackend(TPaths paths, QObject* parent) : QObject(parent), P(std::move(paths)) {}

TPppdBackend::~TPppdBackend() {
    // pon and poff report to nobody now; a pppd already in the background
    // keeps its link.
    for (QProcess* proc : Running) {
        proc->disconnect(this);
        proc->terminate();
        if (!proc->waitForFinished(2000)) proc->kill();
        proc->waitForFinished(1000);
        delete proc;
    }
}

std::vector<std::string> TPppdBackend::EnumEntries() {
    return ListPeers(P.PeersDir);
}

std::vector<TRASConnection> TPppdBackend::EnumConnections() {
    return ListPppLinks(P.NetClassDir);
}

void TPppdBackend::Dial(const std::string& entry, const std::string& userName,
                        const std::string& password, TDone done) {
    // pon reads any file name and pppd takes a leading "-" as an option.
    if (!IsDiallablePeerName(entry) || IsBackupPeerName(entry)) {
        done(false);
        return;
    }
    QStringList args{QString::fromStdString(entry)};
    if (!userName.empty()) args << QStringLiteral("user") << QString::fromStdString(userName);
    int readEnd = -1;
    if (PeerLoadsPasswordFd(ReadPeerFile(P.PeersDir + "/" + entry))) {
        // Written whole before the start: a pipe takes PIPE_BUF bytes at once.
        int fds[2];
        if (password.size() >= PIPE_BUF || ::pipe2(fds, O_CLOEXEC) != 0) {
            done(false);
            return;
        }
        const bool written = WriteAllTo(fds[1], password);
        ::close(fds[1]);
        if (!written) {
            ::close(fds[0]);
            done(false);
            return;
        }
        // Never 0-2: pppd points those at /dev/null when it goes to the background.
        readEnd = fds[0];
        args << QStringLiteral("passwordfd") << QString::number(readEnd);
    }
    Run(P.Pon, args, readEnd, true, std::move(done));
}

void TPppdBackend::HangUp(const std::string& entry, TDone done) {
    // poff takes its argument as a pattern over every pppd's command line.
    if (!IsDiallablePeerName(entry) || IsBackupPeerName(entry)) {
        done(false);
        return;
    }
    Run(P.Poff, {QString::fromStdString(entry)}, -1, false, std::move(done));
}

void TPppdBackend::Run(const std::string& program, const QStringList& args, int passwordFd,
                       bool isDial, TDone done) {
    auto* proc = new QProcess(this);
    proc->setProgram(QString::fromStdString(program));
    proc->setArguments(args);
    proc->setStandardInputFile(QProcess::nullDevice());
    proc->setStandardOutputFile(QProcess::nullDevice());
    proc->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (passwordFd >= 0)
        // Runs in the child before exec: the pipe stays open across it under
        // the number on the command line (fcntl is safe after fork).
        proc->setChildProcessModifier([passwordFd] { ::fcntl(passwordFd, F_SETFD, 0); });

    auto finish = std::make_shared<TDone>(std::move(done));
    auto report = [this, proc, isDial, finish](bool ok) {
        if (!*finish) return;
        const TDone d = std::move(*finish);
        *finish = nullptr;
        std::erase(Running, proc);
        if (isDial) --DialsRunning;
        proc->deleteLater();
        d(ok);
    };
    // A crash ends in finished as well.
    connect(proc, &QProcess::errorOccurred, this, [report](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) report(false);
    });
    connect(proc, &QProcess::finished, this,
            [isDial, report](int code, QProcess::ExitStatus status) {
                // A poff that finds no pppd ends with an error: nothing was up.
                report(!isDial || (status == QProcess::NormalExit && code == 0));
            });
    Running.push_back(proc);
    if (isDial) ++DialsRunning;
    proc->start();
    if (passwordFd >= 0) ::close(passwordFd);
}
