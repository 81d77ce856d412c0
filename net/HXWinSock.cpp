#include "net/HXWinSock.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <netdb.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace hxws {

namespace {

thread_local int tLastError = 0;

int Fail() {
    tLastError = WinSockErrorFromErrno(errno);
    return -1;
}

int LibcSocket(int family, int type, int protocol) {
    int fd = ::socket(family, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    return fd < 0 ? Fail() : fd;
}
int LibcBind(int fd, const sockaddr_in* a) {
    return ::bind(fd, reinterpret_cast<const sockaddr*>(a), sizeof(*a)) < 0 ? Fail() : 0;
}
int LibcConnect(int fd, const sockaddr_in* a) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(a), sizeof(*a)) == 0) return 0;
    // A non-blocking connect reports "in progress"; WinSock says "would block".
    if (errno == EINPROGRESS) {
        tLastError = WSAEWOULDBLOCK;
        return -1;
    }
    return Fail();
}
int LibcListen(int fd, int backlog) {
    return ::listen(fd, backlog) < 0 ? Fail() : 0;
}
int LibcAccept(int fd, sockaddr_in* a) {
    socklen_t len = sizeof(*a);
    int r = ::accept4(fd, reinterpret_cast<sockaddr*>(a), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
    return r < 0 ? Fail() : r;
}
int LibcSend(int fd, const void* data, int len, int flags) {
    // MSG_NOSIGNAL: a write to a closed peer is an error code, never SIGPIPE.
    ssize_t r = ::send(fd, data, len, flags | MSG_NOSIGNAL);
    return r < 0 ? Fail() : static_cast<int>(r);
}
int LibcSendTo(int fd, const void* data, int len, int flags, const sockaddr_in* to) {
    ssize_t r = ::sendto(fd, data, len, flags | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(to),
                         sizeof(*to));
    return r < 0 ? Fail() : static_cast<int>(r);
}
int LibcRecv(int fd, void* buf, int len, int flags) {
    ssize_t r = ::recv(fd, buf, len, flags);
    return r < 0 ? Fail() : static_cast<int>(r);
}
int LibcRecvFrom(int fd, void* buf, int len, int flags, sockaddr_in* from) {
    socklen_t fl = sizeof(*from);
    ssize_t r = ::recvfrom(fd, buf, len, flags, reinterpret_cast<sockaddr*>(from), &fl);
    return r < 0 ? Fail() : static_cast<int>(r);
}
int LibcShutdown(int fd, int how) {
    int h = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    return ::shutdown(fd, h) < 0 ? Fail() : 0;
}
int LibcClose(int fd) {
    return ::close(fd) < 0 ? Fail() : 0;
}
int LibcSetSockOpt(int fd, int level, int name, const void* value, int len) {
    return ::setsockopt(fd, level, name, value, len) < 0 ? Fail() : 0;
}
int LibcGetSockName(int fd, sockaddr_in* a) {
    socklen_t len = sizeof(*a);
    return ::getsockname(fd, reinterpret_cast<sockaddr*>(a), &len) < 0 ? Fail() : 0;
}
int LibcGetPeerName(int fd, sockaddr_in* a) {
    socklen_t len = sizeof(*a);
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(a), &len) < 0 ? Fail() : 0;
}
int LibcBytesWaiting(int fd, int* count) {
    return ::ioctl(fd, FIONREAD, count) < 0 ? Fail() : 0;
}
int LibcPendingError(int fd, int* code) {
    int err = 0;
    socklen_t len = sizeof(err);
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) < 0) return Fail();
    *code = err == 0 ? 0 : WinSockErrorFromErrno(err);
    return 0;
}
bool LibcGetHostByName(const char* name, uint32_t* addrNet) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    int r = ::getaddrinfo(name, nullptr, &hints, &res);
    if (r != 0 || res == nullptr) {
        tLastError = r == EAI_AGAIN ? WSATRY_AGAIN : WSAHOST_NOT_FOUND;
        return false;
    }
    *addrNet = reinterpret_cast<sockaddr_in*>(res->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(res);
    return true;
}
bool LibcGetServByName(const char* name, const char* proto, uint16_t* portHost) {
    servent se{};
    servent* out = nullptr;
    char buf[1024];
    if (::getservbyname_r(name, proto, &se, buf, sizeof(buf), &out) != 0 || out == nullptr) {
        tLastError = WSANO_DATA;
        return false;
    }
    *portHost = ntohs(static_cast<uint16_t>(out->s_port));
    return true;
}
bool LibcGetProtoByName(const char* name, int* proto) {
    protoent pe{};
    protoent* out = nullptr;
    char buf[1024];
    if (::getprotobyname_r(name, &pe, buf, sizeof(buf), &out) != 0 || out == nullptr) {
        // Minimal systems may lack the protocols database; the two the suite
        // uses are fixed numbers.
        if (std::strcmp(name, "tcp") == 0) return *proto = 6, true;
        if (std::strcmp(name, "udp") == 0) return *proto = 17, true;
        tLastError = WSANO_DATA;
        return false;
    }
    *proto = out->p_proto;
    return true;
}

const TSocketApi kLibc = {
    LibcSocket,       LibcBind,          LibcConnect,       LibcListen,         LibcAccept,
    LibcSend,         LibcSendTo,        LibcRecv,          LibcRecvFrom,       LibcShutdown,
    LibcClose,        LibcSetSockOpt,    LibcGetSockName,   LibcGetPeerName,    LibcBytesWaiting,
    LibcPendingError, LibcGetHostByName, LibcGetServByName, LibcGetProtoByName,
};

TSocketApi gApi = kLibc;

} // namespace

int WinSockErrorFromErrno(int err) {
    switch (err) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    // A write after the peer reset the connection.
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return err;
    }
}

std::string WinSockErrorText(int code) {
    static const std::map<int, const char*> texts = {
        {0, "No Error"},
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open files"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Message too long"},
        {10041, "Protocol wrong type for socket"},
        {10042, "Protocol not available"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"},
        {10048, "Address already in use"},
        {10049, "Address not available"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Network dropped connection on reset"},
        {10053, "Connection aborted"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Can't send after socket shutdown"},
        {10059, "Too many references: can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc quota exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network sub-system is unusable"},
        {10092, "WinSock DLL cannot support this application"},
        {10093, "WinSock not initialized"},
        {11001, "Host not found"},
        {11002, "Non-authoritative host not found"},
        {11003, "Non-recoverable error"},
        {11004, "No Data"},
    };
    auto it = texts.find(code);
    return it == texts.end() ? "Not a WinSock error" : it->second;
}

int WSAGetLastError() {
    return tLastError;
}
void WSASetLastError(int code) {
    tLastError = code;
}

TSocketApi& SocketApi() {
    return gApi;
}
void ResetSocketApi() {
    gApi = kLibc;
}
const TSocketApi& LibcSocketApi() {
    return kLibc;
}

uint32_t InetAddr(const std::string& text) {
    // inet_aton reads the same forms as WinSock's inet_addr (octal and short
    // forms included); 255.255.255.255 comes back as INADDR_NONE there too.
    in_addr a{};
    if (::inet_aton(text.c_str(), &a) == 0) return INADDR_NONE_NET;
    return a.s_addr;
}

std::string InetNtoa(uint32_t addrNet) {
    in_addr a{};
    a.s_addr = addrNet;
    char buf[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buf, sizeof(buf));
    return buf;
}

void PumpWait(int ms) {
    QTimer wake;
    wake.setSingleShot(true);
    wake.start(ms);
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// ------------------------------------------------------------ QHostInfo

namespace {

class TQtResolver : public THostResolver {
public:
    int LookupName(const std::string& name, THostLookupCallback done) override {
        return Start(QString::fromStdString(name), false, std::move(done));
    }
    int LookupAddress(uint32_t addrNet, THostLookupCallback done) override {
        return Start(QString::fromStdString(InetNtoa(addrNet)), true, std::move(done));
    }
    bool Cancel(int handle) override {
        auto it = Pending.find(handle);
        if (it == Pending.end()) {
            WSASetLastError(WSAEINVAL);
            return false;
        }
        QHostInfo::abortHostLookup(handle);
        Pending.erase(it);
        return true;
    }

private:
    int Start(const QString& what, bool reverse, THostLookupCallback done) {
        if (!Receiver) Receiver = new QObject();
        auto id = std::make_shared<int>(0);
        *id = QHostInfo::lookupHost(what, Receiver, [this, id, reverse](const QHostInfo& info) {
            auto it = Pending.find(*id);
            if (it == Pending.end()) return; // cancelled
            THostLookupCallback cb = std::move(it->second);
            Pending.erase(it);
            THostLookupResult r;
            if (info.error() != QHostInfo::NoError) {
                r.Error =
                    info.error() == QHostInfo::HostNotFound ? WSAHOST_NOT_FOUND : WSANO_RECOVERY;
            } else if (reverse) {
                r.HostName = info.hostName().toStdString();
            } else {
                for (const QHostAddress& a : info.addresses())
                    if (a.protocol() == QAbstractSocket::IPv4Protocol)
                        r.Addresses.push_back(a.toString().toStdString());
                if (r.Addresses.empty()) r.Error = WSANO_DATA;
            }
            cb(r);
        });
        Pending[*id] = std::move(done);
        return *id;
    }

    QObject* Receiver = nullptr; // lives as long as the process
    std::map<int, THostLookupCallback> Pending;
};

THostResolver* gResolver = nullptr;

} // namespace

THostResolver& DefaultResolver() {
    static TQtResolver r;
    return r;
}

THostResolver& Resolver() {
    return gResolver ? *gResolver : DefaultResolver();
}
void SetResolver(THostResolver* resolver) {
    gResolver = resolver;
}

} // namespace hxws
