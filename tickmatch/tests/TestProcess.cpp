#include "tickmatch/tests/TestProcess.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool TChildProcess::Start(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    // The environment: ours, changed by env.
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e)
        entries.emplace_back(*e);
    for (const auto& change : env) {
        std::string name = change.substr(0, change.find('=') + 1);
        std::erase_if(entries, [&](const std::string& s) { return s.rfind(name, 0) == 0; });
        if (change.size() > name.size()) entries.push_back(change);
    }
    std::vector<char*> envp, args;
    for (auto& s : entries)
        envp.push_back(s.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (auto& s : argCopy)
        args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    int rc = posix_spawn(&ChildPid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        ChildPid = -1;
        return false;
    }
    OutFd = fds[0];
    return true;
}

void TChildProcess::Drain(int timeoutMs) {
    if (OutFd < 0) return;
    pollfd p{OutFd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return;
    char buf[4096];
    ssize_t n = read(OutFd, buf, sizeof buf);
    if (n <= 0) {
        close(OutFd);
        OutFd = -1;
        return;
    }
    Pending.append(buf, size_t(n));
    AllOutput.append(buf, size_t(n));
}

bool TChildProcess::ReadLine(std::string& line, int timeoutMs) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        auto eol = Pending.find('\n');
        if (eol != std::string::npos) {
            line = Pending.substr(0, eol);
            Pending.erase(0, eol + 1);
            return true;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || OutFd < 0) return false;
        Drain(int(left));
    }
}

int TChildProcess::Wait(int timeoutMs) {
    if (ChildPid < 0) return Status;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int st = 0;
        pid_t r = waitpid(ChildPid, &st, WNOHANG);
        if (r == ChildPid) {
            ChildPid = -1;
            while (OutFd >= 0)
                Drain(1000);
            Status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
            return Status;
        }
        if (std::chrono::steady_clock::now() >= end) return -1;
        Drain(20);
    }
}

std::string TChildProcess::Output() {
    Drain(0);
    return AllOutput;
}

void TChildProcess::Stop() {
    if (ChildPid > 0) {
        kill(ChildPid, SIGTERM);
        if (Wait(3000) < 0) {
            kill(ChildPid, SIGKILL);
            Wait(3000);
        }
    }
    if (OutFd >= 0) {
        close(OutFd);
        OutFd = -1;
    }
}

bool TPrivateBus::Start(const std::string& dir, const std::string& name) {
    std::string sockDir = dir + "/" + name;
    std::filesystem::create_directories(sockDir);
    std::string config = sockDir + "/bus.conf";
    std::ofstream(config)
        << R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-BUS Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>)"
        << name << R"(</type>
  <listen>unix:dir=)"
        << sockDir << R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
    <allow eavesdrop="true"/>
  </policy>
</busconfig>
)";
    if (!Daemon.Start({"/usr/bin/dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile",
                       "--print-address=1"}))
        return false;
    return Daemon.ReadLine(BusAddress, 10000) && !BusAddress.empty();
}

bool TFakeTimeService::Start(const std::string& busAddress, const std::string& recordFile,
                             const std::string& mode) {
    Record = recordFile;
    std::string line;
    return Service.Start({HX_TEST_DIR "/fake_timedated", busAddress, recordFile, mode}) &&
           Service.ReadLine(line, 10000) && line == "ready";
}

std::string TFakeTimeService::Calls() const {
    return ReadFile(Record);
}

std::string MakeTempDir(const std::string& tag) {
    std::string base = "/tmp";
    if (const char* t = std::getenv("HX_TEST_TMP"); t && *t) base = t;
    std::string tmpl = base + "/" + tag + "-XXXXXX";
    if (!mkdtemp(tmpl.data())) return {};
    return tmpl;
}

void RemoveTree(const std::string& dir) {
    std::error_code ec;
    if (!dir.empty()) std::filesystem::remove_all(dir, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}
