#include "tickmatch/tests/TestServers.h"

#include "tickmatch/TimeProtocol.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

bool WaitReadable(int fd, const std::atomic<bool>& stopping) {
    while (!stopping) {
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, 50);
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
    return false;
}

void PutBigEndian32(std::string& s, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = char(v >> (24 - 8 * i));
}

} // namespace

bool TTestTimeServer::Start(TKind kind) {
    Kind = kind;
    ListenFd = socket(AF_INET, (kind == TKind::Sntp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    if (ListenFd < 0) return false;
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    if (bind(ListenFd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        (kind != TKind::Sntp && listen(ListenFd, 8) != 0) ||
        getsockname(ListenFd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return false;
    BoundPort = ntohs(a.sin_port);
    Worker = std::thread([this] { Kind == TKind::Sntp ? RunUdp() : RunTcp(); });
    return true;
}

void TTestTimeServer::Stop() {
    Stopping = true;
    if (Worker.joinable()) Worker.join();
    if (ListenFd >= 0) close(ListenFd);
    ListenFd = -1;
}

TDateTime TTestTimeServer::TimeNow() const {
    return ServerTime ? ServerTime() : NowUTC();
}

std::string TTestTimeServer::CtimeText(TDateTime utc) {
    static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(utc, y, mo, d, h, mi, s, ms);
    char buf[64];
    snprintf(buf, sizeof buf, "%s %s %2d %02d:%02d:%02d %d\r\n", days[DayOfWeek(utc) - 1],
             months[mo - 1], d, h, mi, s, y);
    return buf;
}

void TTestTimeServer::Answer(int fd) {
    std::string reply;
    if (!RawReply.empty()) {
        reply = RawReply;
    } else if (Kind == TKind::Time) {
        reply.assign(4, '\0');
        auto ts = tickmatch::DateTimeToNtp(TimeNow());
        PutBigEndian32(reply, 0, ts.Seconds);
    } else if (Kind == TKind::Daytime) {
        reply = DaytimeText.empty() ? CtimeText(TimeNow()) : DaytimeText;
    } else {
        // Silent: hold the connection until the client gives up or we stop.
        char buf[64];
        while (WaitReadable(fd, Stopping) && read(fd, buf, sizeof buf) > 0) {
        }
        return;
    }
    std::size_t from = 0;
    std::vector<std::size_t> cuts = SplitAt;
    cuts.push_back(reply.size());
    for (std::size_t cut : cuts) {
        if (cut <= from || cut > reply.size()) continue;
        if (send(fd, reply.data() + from, cut - from, MSG_NOSIGNAL) < 0) return;
        from = cut;
        if (from < reply.size()) std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
}

void TTestTimeServer::RunTcp() {
    while (WaitReadable(ListenFd, Stopping)) {
        int fd = accept4(ListenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        ++RequestCount;
        Answer(fd);
        close(fd);
    }
}

std::string TTestTimeServer::LastRequest() {
    std::lock_guard<std::mutex> g(Lock);
    return Request;
}

void TTestTimeServer::RunUdp() {
    while (WaitReadable(ListenFd, Stopping)) {
        char buf[1024];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n =
            recvfrom(ListenFd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) continue;
        ++RequestCount;
        {
            std::lock_guard<std::mutex> g(Lock);
            Request.assign(buf, size_t(n));
        }
        if (n < 48) continue;
        auto now = tickmatch::DateTimeToNtp(TimeNow());
        std::string reply(48, '\0');
        reply[0] = char((4 << 3) | 4);
        reply[1] = 2;
        std::memcpy(&reply[24], buf + 40, 8); // originate := the client's transmit
        PutBigEndian32(reply, 32, now.Seconds);
        PutBigEndian32(reply, 36, now.Fraction);
        PutBigEndian32(reply, 40, now.Seconds);
        PutBigEndian32(reply, 44, now.Fraction);
        if (SendStrayRepliesFirst) {
            // A stranger's answer, a day off, from another port.
            std::string stray = reply;
            PutBigEndian32(stray, 40, now.Seconds - 86400);
            int other = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sendto(other, stray.data(), stray.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
            close(other);
            // And a stale one from the right port.
            stray[31] = char(stray[31] ^ 1);
            sendto(ListenFd, stray.data(), stray.size(), 0, reinterpret_cast<sockaddr*>(&from),
                   len);
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        sendto(ListenFd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), len);
    }
}

uint16_t TTestTimeServer::ClosedPort(bool datagram) {
    int fd = socket(AF_INET, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    sockaddr_in a = Loopback(0);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}
