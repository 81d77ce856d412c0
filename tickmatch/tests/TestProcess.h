// Child processes for the tests: a private D-Bus daemon, the fake time
// service, tickmatch itself. Each is stopped by its own pid when the test ends.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class TChildProcess {
public:
    TChildProcess() = default;
    TChildProcess(const TChildProcess&) = delete;
    TChildProcess& operator=(const TChildProcess&) = delete;
    ~TChildProcess() { Stop(); }

    // Starts argv[0] with argv and extra environment entries ("NAME=value";
    // "NAME=" with nothing after removes NAME). stdout is read through ReadLine.
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    // One line of the child's output, waiting at most timeoutMs. False on time-out or end.
    bool ReadLine(std::string& line, int timeoutMs);
    // Waits for the child to end on its own; its exit status, or -1 on time-out.
    int Wait(int timeoutMs);
    // Everything the child wrote to stdout so far (and until it ends, when it has).
    std::string Output();
    void Stop();
    pid_t Pid() const { return ChildPid; }

private:
    pid_t ChildPid = -1;
    int OutFd = -1;
    std::string Pending;
    std::string AllOutput;
    int Status = -1;
    void Drain(int timeoutMs);
};

// A dbus-daemon of our own with a policy that lets everyone own and call
// everything, listening in dir. Address() is what clients connect to.
class TPrivateBus {
public:
    bool Start(const std::string& dir, const std::string& name);
    const std::string& Address() const { return BusAddress; }

private:
    TChildProcess Daemon;
    std::string BusAddress;
};

// The fake time service on a bus, recording its calls in recordFile.
class TFakeTimeService {
public:
    bool Start(const std::string& busAddress, const std::string& recordFile,
               const std::string& mode);
    std::string Calls() const;

private:
    TChildProcess Service;
    std::string Record;
};

std::string MakeTempDir(const std::string& tag);
void RemoveTree(const std::string& dir);
std::string ReadFile(const std::string& path);
