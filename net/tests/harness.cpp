#include "net/tests/harness.h"

#include <QCoreApplication>
#include <QTimer>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hxt {

using Clock = std::chrono::steady_clock;

bool WaitUntil(const std::function<bool()>& pred, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (Clock::now() >= end) return pred();
        hxws::PumpWait(5);
    }
    return true;
}

void Settle(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end)
        hxws::PumpWait(5);
}

bool IsLoopback(uint32_t addrNet) {
    return (ntohl(addrNet) >> 24) == 127;
}

// ------------------------------------------------------------ guarded calls

namespace {

std::mutex gHostsMutex;
std::map<std::string, std::vector<std::string>>& Hosts() {
    static std::map<std::string, std::vector<std::string>> h = {{"localhost", {"127.0.0.1"}}};
    return h;
}
bool FindHost(const std::string& name, std::vector<std::string>& out) {
    std::lock_guard<std::mutex> lock(gHostsMutex);
    auto it = Hosts().find(name);
    if (it == Hosts().end()) return false;
    out = it->second;
    return true;
}

int GuardConnect(int fd, const sockaddr_in* a) {
    if (!IsLoopback(a->sin_addr.s_addr)) {
        ADD_FAILURE() << "connect to " << hxws::InetNtoa(a->sin_addr.s_addr);
        hxws::WSASetLastError(10051);
        return -1;
    }
    return hxws::LibcSocketApi().connect(fd, a);
}
int GuardSendTo(int fd, const void* d, int len, int flags, const sockaddr_in* a) {
    if (!IsLoopback(a->sin_addr.s_addr)) {
        ADD_FAILURE() << "sendto " << hxws::InetNtoa(a->sin_addr.s_addr);
        hxws::WSASetLastError(10051);
        return -1;
    }
    return hxws::LibcSocketApi().sendto(fd, d, len, flags, a);
}
int GuardBind(int fd, const sockaddr_in* a) {
    if (a->sin_addr.s_addr != 0 && !IsLoopback(a->sin_addr.s_addr)) {
        ADD_FAILURE() << "bind to " << hxws::InetNtoa(a->sin_addr.s_addr);
        hxws::WSASetLastError(10049);
        return -1;
    }
    return hxws::LibcSocketApi().bind(fd, a);
}
bool FakeGetHostByName(const char* name, uint32_t* addrNet) {
    std::vector<std::string> list;
    if (!FindHost(name, list) || list.empty()) {
        hxws::WSASetLastError(hxws::WSAHOST_NOT_FOUND);
        return false;
    }
    *addrNet = hxws::InetAddr(list.front());
    return true;
}

hxws::TSocketApi MakeGuarded() {
    hxws::TSocketApi api = hxws::LibcSocketApi();
    api.connect = GuardConnect;
    api.sendto = GuardSendTo;
    api.bind = GuardBind;
    api.gethostbyname = FakeGetHostByName;
    return api;
}

} // namespace

const hxws::TSocketApi& GuardedApi() {
    static const hxws::TSocketApi api = MakeGuarded();
    return api;
}

void RestoreApi() {
    hxws::SocketApi() = GuardedApi();
}

void SetFakeHost(const std::string& name, std::vector<std::string> addresses) {
    for (const std::string& a : addresses)
        if (!IsLoopback(hxws::InetAddr(a))) ADD_FAILURE() << "fake host outside loopback: " << a;
    std::lock_guard<std::mutex> lock(gHostsMutex);
    Hosts()[name] = std::move(addresses);
}

// ------------------------------------------------------------ fake resolver

void TFakeResolver::Answer(int id, hxws::THostLookupResult r) {
    QTimer::singleShot(0, QCoreApplication::instance(), [this, id, r] {
        auto it = Pending.find(id);
        if (it == Pending.end()) return; // cancelled
        auto cb = std::move(it->second);
        Pending.erase(it);
        cb(r);
    });
}

int TFakeResolver::LookupName(const std::string& name, hxws::THostLookupCallback done) {
    if (FailStart) {
        hxws::WSASetLastError(hxws::WSAENOBUFS);
        return 0;
    }
    ++Started;
    int id = Next++;
    Pending[id] = std::move(done);
    hxws::THostLookupResult r;
    if (!FindHost(name, r.Addresses) || r.Addresses.empty()) {
        r.Addresses.clear();
        r.Error = hxws::WSAHOST_NOT_FOUND;
    }
    Answer(id, r);
    return id;
}

int TFakeResolver::LookupAddress(uint32_t addrNet, hxws::THostLookupCallback done) {
    if (FailStart) {
        hxws::WSASetLastError(hxws::WSAENOBUFS);
        return 0;
    }
    ++Started;
    int id = Next++;
    Pending[id] = std::move(done);
    hxws::THostLookupResult r;
    const std::string text = hxws::InetNtoa(addrNet);
    std::lock_guard<std::mutex> lock(gHostsMutex);
    for (const auto& [name, list] : Hosts())
        for (const std::string& a : list)
            if (a == text && r.HostName.empty()) r.HostName = name;
    if (r.HostName.empty()) r.Error = hxws::WSAHOST_NOT_FOUND;
    Answer(id, r);
    return id;
}

bool TFakeResolver::Cancel(int handle) {
    if (FailCancel || Pending.erase(handle) == 0) {
        hxws::WSASetLastError(hxws::WSAEINVAL);
        return false;
    }
    return true;
}

TFakeResolver& FakeResolver() {
    static TFakeResolver r;
    return r;
}

// ------------------------------------------------------------ recorder

void TRecorder::Hook(TCustomHXSocket& s, bool states) {
    s.OnSessionConnected = [this](TCustomHXSocket*, uint16_t e) {
        Add("Connected " + std::to_string(e));
    };
    s.OnSessionClosed = [this](TCustomHXSocket*, uint16_t e) {
        Add("Closed " + std::to_string(e));
        Closed = true;
    };
    if (states)
        s.OnChangeState = [this](TCustomHXSocket*, TSocketState o, TSocketState n) {
            Add("State " + std::to_string(o) + ">" + std::to_string(n));
        };
}

void TRecorder::HookSocks(TCustomSocksHXSocket& s) {
    Hook(s);
    s.OnSocksConnected = [this](TCustomHXSocket*, uint16_t e) {
        Add("SocksConnected " + std::to_string(e));
    };
    s.OnSocksError = [this](TCustomHXSocket*, int e, const std::string& m) {
        Add("SocksError " + std::to_string(e) + " " + m);
    };
    s.OnSocksAuthState = [this](TCustomHXSocket*, TSocksAuthState a) {
        static const char* const names[] = {"started", "accepted", "rejected", "skipped"};
        Add(std::string("Auth ") + names[a]);
    };
}

// ------------------------------------------------------------ peers

namespace {
int MakeListener(int type, uint16_t& port) {
    int fd = ::socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) ADD_FAILURE() << "bind";
    socklen_t len = sizeof(a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    if (type == SOCK_STREAM) ::listen(fd, 8);
    return fd;
}

bool PollFor(int fd, short events, int ms) {
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, ms) > 0;
}
} // namespace

void TPeerConn::Send(const std::string& data, int maxChunk) {
    size_t i = 0;
    while (i < data.size()) {
        size_t n = data.size() - i;
        if (maxChunk > 0) {
            std::uniform_int_distribution<int> d(1, maxChunk);
            n = std::min(n, static_cast<size_t>(d(Rng)));
        }
        ssize_t r = ::send(Fd, data.data() + i, n, MSG_NOSIGNAL);
        if (r <= 0) {
            if (r < 0 && errno == EAGAIN) {
                PollFor(Fd, POLLOUT, 1000);
                continue;
            }
            return;
        }
        i += static_cast<size_t>(r);
        // Each piece is its own segment, read by the client on its own.
        if (maxChunk > 0 && i < data.size())
            std::this_thread::sleep_for(std::chrono::microseconds(800));
    }
}

std::string TPeerConn::Recv(size_t n, int ms) {
    std::string out;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (out.size() < n) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (left <= 0 || !PollFor(Fd, POLLIN, left)) break;
        char buf[65536];
        ssize_t r = ::recv(Fd, buf, std::min(sizeof(buf), n - out.size()), 0);
        if (r <= 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    return out;
}

std::string TPeerConn::RecvAll(int ms) {
    std::string out;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (left <= 0 || !PollFor(Fd, POLLIN, left)) break;
        char buf[65536];
        ssize_t r = ::recv(Fd, buf, sizeof(buf), 0);
        if (r <= 0) break;
        out.append(buf, static_cast<size_t>(r));
    }
    return out;
}

bool TPeerConn::WaitEof(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        int left = static_cast<int>(
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count());
        if (left <= 0 || !PollFor(Fd, POLLIN, left)) return false;
        char buf[4096];
        ssize_t r = ::recv(Fd, buf, sizeof(buf), 0);
        if (r <= 0) return true;
    }
}

void TPeerConn::Close() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
}

void TPeerConn::Reset() {
    if (Fd < 0) return;
    linger l{1, 0};
    ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
    ::close(Fd);
    Fd = -1;
}

TPeer::TPeer(Script script, int connections, unsigned seed) {
    FListen = MakeListener(SOCK_STREAM, FPort);
    FThread = std::thread([this, script, connections, seed] {
        for (int i = 0; i < connections; ++i) {
            if (!PollFor(FListen, POLLIN, 15000)) {
                ADD_FAILURE() << "peer: no connection";
                break;
            }
            int c = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) break;
            int one = 1;
            ::setsockopt(c, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
            TPeerConn conn(c, seed + static_cast<unsigned>(i));
            script(conn);
            conn.Close();
        }
        FDone = true;
    });
}

TPeer::~TPeer() {
    Finish();
    if (FThread.joinable()) FThread.join();
    ::close(FListen);
}

bool TPeer::Finish(int ms) {
    return WaitUntil([this] { return FDone.load(); }, ms);
}

TUdpPeer::TUdpPeer(std::function<std::string(const std::string&)> reply, int datagrams) {
    FFd = MakeListener(SOCK_DGRAM, FPort);
    FThread = std::thread([this, reply, datagrams] {
        for (int i = 0; i < datagrams; ++i) {
            if (!PollFor(FFd, POLLIN, 15000)) {
                ADD_FAILURE() << "udp peer: no datagram";
                break;
            }
            char buf[65536];
            sockaddr_in from{};
            socklen_t fl = sizeof(from);
            ssize_t r =
                ::recvfrom(FFd, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &fl);
            if (r < 0) break;
            std::string d(buf, static_cast<size_t>(r));
            FReceived.push_back(d);
            std::string answer = reply(d);
            if (!answer.empty() && IsLoopback(from.sin_addr.s_addr))
                ::sendto(FFd, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&from),
                         fl);
        }
        FDone = true;
    });
}

TUdpPeer::~TUdpPeer() {
    Finish();
    if (FThread.joinable()) FThread.join();
    ::close(FFd);
}

bool TUdpPeer::Finish(int ms) {
    return WaitUntil([this] { return FDone.load(); }, ms);
}

std::vector<std::string> TUdpPeer::Received() const {
    return FDone ? FReceived : std::vector<std::string>{};
}

uint16_t ClosedPort() {
    uint16_t port = 0;
    int fd = MakeListener(SOCK_STREAM, port);
    ::close(fd);
    return port;
}

int ConnectTo(uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace hxt

namespace {
// Every test starts with the guarded call table and the fake resolver.
class TGuardListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        hxt::RestoreApi();
        hxws::SetResolver(&hxt::FakeResolver());
        hxt::FakeResolver().FailStart = hxt::FakeResolver().FailCancel = false;
    }
    void OnTestEnd(const ::testing::TestInfo&) override { hxt::RestoreApi(); }
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new TGuardListener);
    return RUN_ALL_TESTS();
}
