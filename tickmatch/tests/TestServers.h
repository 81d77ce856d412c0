// Time servers for the tests, on 127.0.0.1 with a port the system picks, each
// on a thread of its own with plain blocking sockets.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TTestTimeServer {
public:
    enum class TKind {
        Time,    // TCP: four bytes, then close
        Daytime, // TCP: a line of text, then close
        Silent,  // TCP: accepts and never answers
        Sntp,    // UDP: answers 48-byte requests
    };

    ~TTestTimeServer() { Stop(); }
    bool Start(TKind kind);
    void Stop();
    uint16_t Port() const { return BoundPort; }

    // The time the server tells (UTC); by default the real clock.
    std::function<TDateTime()> ServerTime;
    // DAYTIME: the text to send instead of the ctime form of ServerTime.
    std::string DaytimeText;
    // TCP: bytes to send instead of the kind's own reply.
    std::string RawReply;
    // TCP: byte positions where the reply is cut into separate sends.
    std::vector<std::size_t> SplitAt;
    // SNTP: first answer from another port, then with a wrong originate,
    // then the real answer.
    bool SendStrayRepliesFirst = false;

    int Requests() const { return RequestCount; }
    // The last SNTP request as received.
    std::string LastRequest();

    // A port on 127.0.0.1 where nothing listens (TCP, or UDP with datagram).
    static uint16_t ClosedPort(bool datagram = false);
    // The ctime form of a UTC time, as inetd's daytime service sends it.
    static std::string CtimeText(TDateTime utc);

private:
    void RunTcp();
    void RunUdp();
    void Answer(int fd);
    TDateTime TimeNow() const;

    TKind Kind = TKind::Time;
    int ListenFd = -1;
    uint16_t BoundPort = 0;
    std::thread Worker;
    std::atomic<bool> Stopping{false};
    std::atomic<int> RequestCount{0};
    std::mutex Lock;
    std::string Request;
};
