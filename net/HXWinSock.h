// The socket platform the component is written against: WinSock 1.1's calls,
// error numbers and asynchronous notifications, stood in for by non-blocking
// POSIX sockets and the Qt event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/socket.h>

namespace hxws {

// ------------------------------------------------------------ error numbers

constexpr int WSABASEERR = 10000;
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_RECOVERY = 11003;
constexpr int WSANO_DATA = 11004;

// Linux errno numbers differ from BSD's, so each is mapped by name. An errno
// without a WinSock counterpart is passed through (its text is then "Not a
// WinSock error").
int WinSockErrorFromErrno(int err);
// The text of a WinSock code, as the component shows it.
std::string WinSockErrorText(int code);

// The calling thread's last error, as WSAGetLastError/WSASetLastError.
int WSAGetLastError();
void WSASetLastError(int code);

// ------------------------------------------------------------ notifications

constexpr int FD_READ = 1;
constexpr int FD_WRITE = 2;
constexpr int FD_OOB = 4;
constexpr int FD_ACCEPT = 8;
constexpr int FD_CONNECT = 16;
constexpr int FD_CLOSE = 32;

constexpr int WM_USER = 0x0400;
constexpr uint32_t INADDR_NONE_NET = 0xFFFFFFFFu;

// --------------------------------------------------------- the call table

// Every socket call goes through this table, so tests can make any one of them
// fail. The defaults are the C library's; results follow WinSock: -1 on
// failure with the WinSock code left for WSAGetLastError.
struct TSocketApi {
    int (*socket)(int family, int type, int protocol);
    int (*bind)(int fd, const sockaddr_in* addr);
    int (*connect)(int fd, const sockaddr_in* addr);
    int (*listen)(int fd, int backlog);
    int (*accept)(int fd, sockaddr_in* addr);
    int (*send)(int fd, const void* data, int len, int flags);
    int (*sendto)(int fd, const void* data, int len, int flags, const sockaddr_in* to);
    int (*recv)(int fd, void* buf, int len, int flags);
    int (*recvfrom)(int fd, void* buf, int len, int flags, sockaddr_in* from);
    int (*shutdown)(int fd, int how);
    int (*closesocket)(int fd);
    int (*setsockopt)(int fd, int level, int name, const void* value, int len);
    int (*getsockname)(int fd, sockaddr_in* addr);
    int (*getpeername)(int fd, sockaddr_in* addr);
    int (*bytesWaiting)(int fd, int* count); // ioctlsocket(FIONREAD)
    int (*pendingError)(int fd, int* code);  // the outcome of a connect in progress
    // Blocking look-ups. Return false with the WinSock code set when not found.
    bool (*gethostbyname)(const char* name, uint32_t* addrNet);
    bool (*getservbyname)(const char* name, const char* proto, uint16_t* portHost);
    bool (*getprotobyname)(const char* name, int* proto);
};

TSocketApi& SocketApi();
void ResetSocketApi(); // back to the C library
const TSocketApi& LibcSocketApi();

// inet_addr / inet_ntoa over network-order addresses.
uint32_t InetAddr(const std::string& text); // INADDR_NONE_NET when not dotted
std::string InetNtoa(uint32_t addrNet);

// Lets the calling thread's event loop run once, waiting at most about ms for
// something to happen, so waiting loops do not spin the processor.
void PumpWait(int ms);

// ----------------------------------------------------------- host look-ups

// Asynchronous name and address look-ups. A look-up's result is handed to its
// callback from the event loop, never from inside the starting call.
struct THostLookupResult {
    int Error = 0;                      // WinSock code, 0 on success
    std::vector<std::string> Addresses; // dotted IPv4 texts, in order
    std::string HostName;               // for address look-ups
};
using THostLookupCallback = std::function<void(const THostLookupResult&)>;

class THostResolver {
public:
    virtual ~THostResolver() = default;
    // Return a non-zero look-up handle, or 0 with the WinSock code set.
    virtual int LookupName(const std::string& name, THostLookupCallback done) = 0;
    virtual int LookupAddress(uint32_t addrNet, THostLookupCallback done) = 0;
    // False (with the code set) when the handle is not pending.
    virtual bool Cancel(int handle) = 0;
};

// Qt's QHostInfo, IPv4 results only.
THostResolver& DefaultResolver();
THostResolver& Resolver();
void SetResolver(THostResolver* resolver); // nullptr restores the default

} // namespace hxws
