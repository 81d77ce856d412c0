#include "tickmatch/HXSocketExt.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

uint16_t THXSocketExt::PortNumber() const {
    const std::string& p = Port();
    if (p.empty() || p.size() > 5) return 0;
    unsigned v = 0;
    for (char c : p) {
        if (c < '0' || c > '9') return 0;
        v = v * 10 + unsigned(c - '0');
    }
    return v > 65535 ? 0 : uint16_t(v);
}

void THXSocketExt::SetPortNumber(uint16_t value) {
    SetPort(std::to_string(value));
}

void THXSocketExt::Connect() {
    THXSocket::Connect();
    // The datagram socket is not connected, so without IP_RECVERR the
    // kernel keeps a "port unreachable" to itself and only the time-out
    // would tell.
    if (FType == 2 && FHSocket >= 0) {
        int on = 1;
        hxws::SocketApi().setsockopt(FHSocket, IPPROTO_IP, IP_RECVERR, &on, int(sizeof on));
    }
}

void THXSocketExt::Close() {
    THXSocket::Close();
}

void THXSocketExt::ResetToDefaults() {
    if (!PreserveSettings) {
        THXSocket::ResetToDefaults();
        return;
    }
    std::string proto = Proto(), addr = Addr(), port = Port();
    THXSocket::ResetToDefaults();
    SetProto(proto);
    SetAddr(addr);
    SetPort(port);
}

void THXSocketExt::ReceiveBlock(std::string& Buf, std::string& FromAddr, uint16_t& FromPort) {
    Buf.clear();
    FromAddr.clear();
    FromPort = 0;
    int count = RcvdCount();
    if (count < 0) return;
    // Nothing waiting on a datagram socket may still be an empty datagram or
    // a refusal from the peer (ICMP port unreachable), which only a read
    // takes off the socket; LastError then tells.
    if (count == 0 && FType != 2) return;
    Buf.assign(std::size_t(count > 0 ? count : 1), '\0');
    sockaddr_in from{};
    int fromLen = sizeof from;
    int got = ReceiveFrom(Buf.data(), int(Buf.size()), from, fromLen);
    if (got < 0 && LastError() == hxws::WSAEWOULDBLOCK) FLastError = 0;
    if (got < 0 && FType == 2) {
        // The refusal was taken by the read; its copy in the error queue
        // would keep the socket signalled.
        char scratch[512];
        iovec io{scratch, sizeof scratch};
        msghdr m{};
        m.msg_iov = &io;
        m.msg_iovlen = 1;
        for (int i = 0; i < 64 && ::recvmsg(FHSocket, &m, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0; ++i)
            m.msg_controllen = 0;
    }
    if (got <= 0) {
        Buf.clear();
        return;
    }
    Buf.resize(std::size_t(got));
    const auto* a = reinterpret_cast<const unsigned char*>(&from.sin_addr.s_addr);
    FromAddr = std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) +
               "." + std::to_string(a[3]);
    FromPort = ntohs(from.sin_port);
}

bool THXSocketExt::HandleDataAvailable(uint16_t error) {
    THXSocket::HandleDataAvailable(error);
    std::string buf, fromAddr;
    uint16_t fromPort = 0;
    ReceiveBlock(buf, fromAddr, fromPort);
    if (!buf.empty())
        TriggerReceiveBuffer(buf.data(), int32_t(buf.size()), fromAddr, fromPort);
    else if (FType == 2 && LastError() != 0)
        HandleError(); // a refused datagram fails now, not at the time-out
    return true;
}

void THXSocketExt::TriggerReceiveBuffer(const char* Buf, int32_t Count, const std::string& FromAddr,
                                        uint16_t FromPort) {
    if (OnReceiveBuffer) OnReceiveBuffer(this, Buf, Count, FromAddr, FromPort);
}

int THXSocketExt::SendTo(const void* Buf, int Len, uint16_t Port, const std::string& Address) {
    sockaddr_in dest{};
    dest.sin_family = AF_INET;
    if (!Address.empty()) {
        dest.sin_addr.s_addr = HXSocketResolveHost(Address);
        dest.sin_port = htons(Port);
    } else {
        dest.sin_addr.s_addr = HXSocketResolveHost(Addr());
        dest.sin_port = htons(PortNumber());
    }
    return THXSocket::SendTo(dest, int(sizeof dest), Buf, Len);
}
