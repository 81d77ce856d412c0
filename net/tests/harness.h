// Loopback test harness for the socket component: scripted peers on
// 127.0.0.1 in a thread of their own, an event recorder, a fake resolver and
// a call table that refuses to reach any address outside 127.0.0.0/8.
#pragma once

#include "net/HXSocket.h"

#include <atomic>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>

namespace hxt {

// Pumps the event loop until pred holds, at most ms milliseconds; ends as soon
// as it holds.
bool WaitUntil(const std::function<bool()>& pred, int ms = 15000);
// Pumps for ms milliseconds; only used to show that something does NOT happen.
void Settle(int ms);

// True for 127.0.0.0/8 (network order).
bool IsLoopback(uint32_t addrNet);

// The guarded call table: the C library's, but connect, sendto and bind fail
// the test for any address outside 127.0.0.0/8 (bind also takes 0.0.0.0), and
// name look-ups come from the fake host table.
const hxws::TSocketApi& GuardedApi();
void RestoreApi();

// Fake host table shared by the blocking look-up and the fake resolver.
// "localhost" and every name in it resolve to loopback addresses; any other
// name is not found.
void SetFakeHost(const std::string& name, std::vector<std::string> addresses);

// Asynchronous look-ups answered from the event loop, never by the network.
class TFakeResolver : public hxws::THostResolver {
public:
    int LookupName(const std::string& name, hxws::THostLookupCallback done) override;
    int LookupAddress(uint32_t addrNet, hxws::THostLookupCallback done) override;
    bool Cancel(int handle) override;

    bool FailStart = false;  // LookupName/LookupAddress return 0
    bool FailCancel = false; // Cancel fails
    int Started = 0;
    std::map<int, hxws::THostLookupCallback> Pending;

private:
    int Next = 1;
    void Answer(int id, hxws::THostLookupResult r);
};
TFakeResolver& FakeResolver();

// Records a socket's events as strings, in order.
struct TRecorder {
    std::vector<std::string> Events;
    bool Closed = false;
    // Hooks the session, state, error and SOCKS events; data events are left
    // to the test.
    void Hook(TCustomHXSocket& s, bool states = false);
    void HookSocks(TCustomSocksHXSocket& s);
    void Add(const std::string& e) { Events.push_back(e); }
};

// One accepted (or connected) peer connection, used from the peer thread.
class TPeerConn {
public:
    TPeerConn(int fd, unsigned seed) : Fd(fd), Rng(seed) {}
    // Sends data split at random points into pieces of 1..maxChunk bytes
    // (1 = byte by byte), each piece its own segment.
    void Send(const std::string& data, int maxChunk = 0);
    // Exactly n bytes, or fewer when the stream ends or ms pass.
    std::string Recv(size_t n, int ms = 15000);
    // Everything until the end of the stream.
    std::string RecvAll(int ms = 15000);
    // True once the client closed its side (end of stream seen).
    bool WaitEof(int ms = 15000);
    void Close();
    void Reset(); // abortive close: the client sees a reset
    int Fd;
    std::mt19937 Rng;
};

// A scripted TCP peer: listens on 127.0.0.1 at a port the system picks and
// runs the script on each accepted connection (count connections), in its
// own thread.
class TPeer {
public:
    using Script = std::function<void(TPeerConn&)>;
    explicit TPeer(Script script, int connections = 1, unsigned seed = 1);
    ~TPeer();
    uint16_t Port() const { return FPort; }
    std::string PortText() const { return std::to_string(FPort); }
    bool Done() const { return FDone; }
    // Pumps the client's loop until the script has finished.
    bool Finish(int ms = 15000);

private:
    int FListen = -1;
    uint16_t FPort = 0;
    std::atomic<bool> FDone{false};
    std::thread FThread;
};

// A UDP peer on 127.0.0.1: answers each datagram with reply(datagram).
class TUdpPeer {
public:
    explicit TUdpPeer(std::function<std::string(const std::string&)> reply, int datagrams = 1);
    ~TUdpPeer();
    uint16_t Port() const { return FPort; }
    std::vector<std::string> Received() const;
    bool Finish(int ms = 15000);

private:
    int FFd = -1;
    uint16_t FPort = 0;
    std::atomic<bool> FDone{false};
    std::vector<std::string> FReceived;
    std::thread FThread;
};

// A port on 127.0.0.1 where nothing listens.
uint16_t ClosedPort();
// Connects a plain socket to 127.0.0.1:port (blocking); -1 on failure.
int ConnectTo(uint16_t port);

} // namespace hxt
