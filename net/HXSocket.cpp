#include "net/HXSocket.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "platform/rtl/SysUtils.h"

using namespace hxws;

namespace {

std::string Formatted(const char* fmt, va_list args) {
    char buf[1024];
    vsnprintf(buf, sizeof(buf), fmt, args);
    return buf;
}

std::string Fmt(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Fmt(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = Formatted(fmt, args);
    va_end(args);
    return s;
}

const QEvent::Type kSocketEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// A posted message. Linux hands out a closed descriptor's number again at
// once, so every message carries the session it was posted in and a late one
// never reaches the next session.
class TSocketEvent : public QEvent {
public:
    TSocketEvent(TMessage msg, uint32_t session, bool bound)
        : QEvent(kSocketEvent), Msg(std::move(msg)), Session(session), Bound(bound) {}
    TMessage Msg;
    uint32_t Session;
    bool Bound;
};

} // namespace

// The stand-in for the socket's hidden window: receives its posted messages and
// watches its descriptor.
class TSocketWindow : public QObject {
public:
    explicit TSocketWindow(TCustomHXSocket* owner) : Owner(owner) {}

    TCustomHXSocket* Owner;
    int Depth = 0; // > 0 while a notification is being handled
    QSocketNotifier* Read = nullptr;
    QSocketNotifier* Write = nullptr;

    void CreateNotifiers(int fd) {
        DropNotifiers();
        Read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        Read->setEnabled(false);
        Write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        Write->setEnabled(false);
        connect(Read, &QSocketNotifier::activated, this, [this] { Run(true); });
        connect(Write, &QSocketNotifier::activated, this, [this] { Run(false); });
    }

    // Before the descriptor is closed. A notifier may be the one whose signal
    // is running right now, so it is then deleted from the event loop.
    void DropNotifiers() {
        for (QSocketNotifier* n : {Read, Write}) {
            if (!n) continue;
            n->setEnabled(false);
            n->disconnect(this);
            if (Depth > 0)
                n->deleteLater();
            else
                delete n;
        }
        Read = Write = nullptr;
    }

    void Run(bool read) {
        ++Depth;
        try {
            if (Owner) {
                if (read)
                    Owner->OnReadReady();
                else
                    Owner->OnWriteReady();
            }
        } catch (...) {
            // Nothing may leave into the event loop.
        }
        --Depth;
    }

    bool event(QEvent* e) override {
        if (e->type() != kSocketEvent) return QObject::event(e);
        auto* se = static_cast<TSocketEvent*>(e);
        if (!Owner || (se->Bound && se->Session != Owner->FSession)) return true;
        ++Depth;
        try {
            Owner->DispatchGuarded(se->Msg);
        } catch (...) {
            // DispatchGuarded gave the error to OnBgException; nothing more escapes.
        }
        --Depth;
        return true;
    }
};

// ------------------------------------------------------------ plain functions

std::string WSocketErrorDesc(int code) {
    return WinSockErrorText(code);
}

namespace {
// Leading blanks, then digits and dots only, each dot followed by a digit, at
// most three dots, no part above 255; trailing blanks end the text.
bool IsDottedForm(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    if (i >= s.size() || s[i] == '.') return false;
    int dots = 0;
    long part = 0;
    for (; i < s.size(); ++i) {
        char c = s[i];
        if (c >= '0' && c <= '9') {
            part = part * 10 + (c - '0');
            if (part > 255) return false;
        } else if (c == '.') {
            if (++dots > 3) return false;
            if (i + 1 >= s.size() || s[i + 1] < '0' || s[i + 1] > '9') return false;
            part = 0;
        } else if (c == ' ') {
            break;
        } else {
            return false;
        }
    }
    return dots == 3 && part <= 255;
}

// The leading decimal number after blanks; -1 when it passes the limit.
long LeadingNumber(const std::string& s, long limit) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    long n = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        n = n * 10 + (s[i] - '0');
        if (n > limit) return -1;
    }
    return n;
}

bool StartsWithDigit(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    return i < s.size() && s[i] >= '0' && s[i] <= '9';
}
} // namespace

uint32_t HXSocketResolveHost(const std::string& host) {
    if (host.empty() || host.size() > 256)
        throw ESocketException("HXSocketResolveHost: '" + host + "' Invalid Hostname.");
    std::string t = Trim(host);
    if (IsDottedForm(t)) {
        uint32_t a = InetAddr(t);
        if (a == INADDR_NONE_NET && t != "255.255.255.255")
            throw ESocketException("HXSocketResolveHost: '" + host + "' Invalid IP address.");
        return a;
    }
    uint32_t a = 0;
    if (t.empty() || !SocketApi().gethostbyname(t.c_str(), &a))
        throw ESocketException(
            Fmt("HXSocketResolveHost: Cannot convert host address '%s'", host.c_str()));
    return a;
}

uint16_t HXSocketResolvePort(const std::string& port, const std::string& proto) {
    if (port.empty() || port.size() >= 32)
        throw ESocketException("HXSocketResolvePort: Invalid Port.");
    if (StartsWithDigit(port)) {
        // A port number past 65535 is refused rather than wrapped.
        long n = LeadingNumber(port, 65535);
        if (n < 0) throw ESocketException("HXSocketResolvePort: Invalid Port.");
        return static_cast<uint16_t>(n);
    }
    std::string p = Trim(port), pr = Trim(proto);
    uint16_t result = 0;
    if (!SocketApi().getservbyname(p.c_str(), pr.empty() ? nullptr : pr.c_str(), &result))
        throw ESocketException(Fmt("HXSocketResolvePort: Cannot convert port '%s'", port.c_str()));
    return result;
}

int HXSocketResolveProto(const std::string& proto) {
    if (proto.empty() || proto.size() >= 32)
        throw ESocketException("HXSocketResolveProto: Invalid Protocol.");
    std::string p = Trim(proto);
    if (StartsWithDigit(p)) {
        long n = LeadingNumber(p, 255);
        if (n < 0) throw ESocketException("HXSocketResolveProto: Invalid Protocol.");
        return static_cast<int>(n);
    }
    int result = 0;
    if (!SocketApi().getprotobyname(p.c_str(), &result))
        throw ESocketException(
            Fmt("HXSocketResolveProto: Cannot convert protocol '%s'", proto.c_str()));
    return result;
}

// ------------------------------------------------------------ construction

TCustomHXSocket::TCustomHXSocket() {
    FWindow = new TSocketWindow(this);
    FBufSize = TBuffer::DefaultSize;
    TCustomHXSocket::ResetToDefaults();
}

TCustomHXSocket::~TCustomHXSocket() {
    FDestroying = true;
    try {
        CancelDnsLookup();
    } catch (...) {
        // A destructor must not throw: the socket goes either way.
    }
    if (FState != wsClosed) {
        try {
            TCustomHXSocket::InternalClose(true, 0);
        } catch (...) {
            // A destructor must not throw: the socket goes either way.
        }
    }
    if (FHSocket >= 0) { // a handle left in state closed by a failed step
        int fd = FHSocket;
        DropHandle();
        SocketApi().closesocket(fd);
    }
    *FAlive = false;
    ClearQueue();
    FWindow->Owner = nullptr;
    FWindow->DropNotifiers();
    if (FWindow->Depth > 0)
        FWindow->deleteLater(); // freed from inside its own notification
    else
        delete FWindow;
    FWindow = nullptr;
}

void TCustomHXSocket::ResetToDefaults() {
    if (FHSocket >= 0) { // never lose an open descriptor
        int fd = FHSocket;
        DropHandle();
        SocketApi().closesocket(fd);
    }
    FSin = sockaddr_in{};
    FSin.sin_family = AF_INET;
    FAddrFormat = AF_INET;
    FHasAddr = FAddrKnown = FHasPort = FPortKnown = FProtoKnown = FLocalPortKnown = false;
    FHasProto = true;
    FProtocol = 6;
    FProto = "tcp";
    FType = 1;
    FLocalPort = "0";
    FLocalAddr = "0.0.0.0";
    LingerOnOff = wsLingerOn;
    LingerTimeout = 0;
    FHSocket = -1;
    FState = wsClosed;
    FAllSent = true;
    FPaused = false;
    FCloseReported = false;
    FReadCount = 0;
    FlushTimeout = 60;
}

// ------------------------------------------------------------ properties

// Resolves what is not yet known of protocol, port(s) and address; the
// failure text, or empty when all is known.
std::string TCustomHXSocket::ResolveEndpoint(bool withLocalPort) {
    try {
        if (!FProtoKnown) {
            FProtocol = HXSocketResolveProto(FProto);
            FType = FProtocol == 17 ? 2 : 1;
            FProtoKnown = true;
        }
        if (!FPortKnown) {
            FPortNum = HXSocketResolvePort(FPort, FProto);
            FSin.sin_port = htons(FPortNum);
            FPortKnown = true;
        }
        if (withLocalPort && !FLocalPortKnown) {
            FLocalPortNum = HXSocketResolvePort(FLocalPort, FProto);
            FLocalPortKnown = true;
        }
        if (!FAddrKnown) {
            FSin.sin_addr.s_addr = HXSocketResolveHost(FAddr);
            FAddrKnown = true;
        }
    } catch (Exception& e) {
        return e.Message.empty() ? std::string("resolution failed") : e.Message;
    }
    return {};
}

// Addr, Port and Proto change only while closed; a new value is resolved again.
bool TCustomHXSocket::SetWhileClosed(const std::string& value, const char* name, std::string& field,
                                     bool& has, bool& known) {
    if (has && value == field) return false;
    if (FState != wsClosed) {
        RaiseError(std::string("Cannot change ") + name + " if not closed");
        return false;
    }
    field = Trim(value);
    has = !field.empty();
    known = false;
    return true;
}

void TCustomHXSocket::SetAddr(const std::string& value) {
    SetWhileClosed(value, "Addr", FAddr, FHasAddr, FAddrKnown);
}

void TCustomHXSocket::SetPort(const std::string& value) {
    SetWhileClosed(value, "Port", FPort, FHasPort, FPortKnown);
}

void TCustomHXSocket::SetProto(const std::string& value) {
    SetWhileClosed(value, "Proto", FProto, FHasProto, FProtoKnown);
}

void TCustomHXSocket::SetLocalPort(const std::string& value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change LocalPort if not closed");
        return;
    }
    FLocalPort = value;
    FLocalPortKnown = false;
}

void TCustomHXSocket::SetLocalAddr(const std::string& value) {
    if (FState != wsClosed) {
        RaiseError("Cannot change LocalAddr if not closed");
        return;
    }
    uint32_t a = InetAddr(value.empty() ? "0.0.0.0" : value);
    if (a == INADDR_NONE_NET) {
        RaiseError("SetLocalAddr(): Invalid IP address");
        return;
    }
    FLocalAddr = InetNtoa(a);
}

TSocketSendFlags TCustomHXSocket::SendFlags() {
    if (FSendFlags == 0) return wsSendNormal;
    if (FSendFlags == 1) return wsSendUrgent;
    RaiseError("Invalid internal SendFlags");
    return wsSendNormal;
}

void TCustomHXSocket::SetSendFlags(TSocketSendFlags value) {
    switch (value) {
    case wsSendNormal:
        FSendFlags = 0;
        break;
    case wsSendUrgent:
        FSendFlags = 1;
        break;
    default:
        RaiseError("Invalid SendFlags");
    }
}

int TCustomHXSocket::RcvdCount() {
    int n = 0;
    if (SocketApi().bytesWaiting(FHSocket, &n) < 0) {
        SocketError("ioctlSocket");
        return -1;
    }
    return n;
}

std::string TCustomHXSocket::PeerAddr() {
    if (FState != wsConnected) return "error";
    sockaddr_in a{};
    if (SocketApi().getpeername(FHSocket, &a) < 0) {
        SocketError("GetPeerName");
        return "error";
    }
    return InetNtoa(a.sin_addr.s_addr);
}

std::string TCustomHXSocket::PeerPort() {
    if (FState != wsConnected) return "error";
    sockaddr_in a{};
    if (SocketApi().getpeername(FHSocket, &a) < 0) {
        SocketError("GetPeerPort");
        return "error";
    }
    return std::to_string(ntohs(a.sin_port));
}

int TCustomHXSocket::GetPeerName(sockaddr_in& name, int /*nameLen*/) {
    if (FState != wsConnected) return -1;
    return SocketApi().getpeername(FHSocket, &name);
}

int TCustomHXSocket::GetSockName(sockaddr_in& name, int& nameLen) {
    nameLen = sizeof(sockaddr_in);
    return SocketApi().getsockname(FHSocket, &name);
}

std::string TCustomHXSocket::GetLocalPortText() {
    if (FState != wsBound && FState != wsConnected && FState != wsListening) return "error";
    sockaddr_in a{};
    if (SocketApi().getsockname(FHSocket, &a) < 0) return "error";
    return Fmt("%d", ntohs(a.sin_port));
}

// ------------------------------------------------------------ errors

void TCustomHXSocket::RaiseError(const std::string& msg) {
    if (OnError)
        HandleError();
    else
        throw ESocketException(msg);
}

void TCustomHXSocket::RaiseErrorFmt(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string s = Formatted(fmt, args);
    va_end(args);
    RaiseError(s);
}

void TCustomHXSocket::SocketError(const std::string& function) {
    int n = WSAGetLastError();
    std::string text =
        "Error " + std::to_string(n) + " in function " + function + "\r\n" + WSocketErrorDesc(n);
    if (n == WSAECONNRESET || n == WSAENOTCONN) {
        if (FHSocket >= 0) {
            int fd = FHSocket;
            DropHandle();
            SocketApi().closesocket(fd);
        }
        auto life = Life();
        ChangeState(wsClosed);
        if (!*life) return;
    }
    FLastError = n;
    RaiseError(text);
}

void TCustomHXSocket::HandleBgException(Exception& e) {
    bool canClose = true;
    auto life = Life();
    if (OnBgException) {
        try {
            OnBgException(this, e, canClose);
        } catch (...) {
            // The owner's handler failed on an error being handled; the abort still runs.
        }
    }
    if (!*life || !canClose) return;
    try {
        Abort();
    } catch (...) {
        // The last resort for a background error: there is no one left to tell.
    }
}

void TCustomHXSocket::DispatchGuarded(TMessage& msg) {
    auto life = Life();
    try {
        WndProc(msg);
    } catch (Exception& e) {
        if (*life) HandleBgException(e);
    } catch (std::exception& e) {
        Exception wrapped(e.what());
        if (*life) HandleBgException(wrapped);
    } catch (...) {
        Exception wrapped("Unknown exception");
        if (*life) HandleBgException(wrapped);
    }
}

// ------------------------------------------------------------ events

bool TCustomHXSocket::HandleDataAvailable(uint16_t error) {
    if (!OnDataAvailable) return false;
    OnDataAvailable(this, error);
    return true;
}
void TCustomHXSocket::HandleSessionAvailable(uint16_t error) {
    if (OnSessionAvailable) OnSessionAvailable(this, error);
}
void TCustomHXSocket::HandleSessionConnected(uint16_t error) {
    if (OnSessionConnected) OnSessionConnected(this, error);
}
void TCustomHXSocket::HandleSessionClosed(uint16_t error) {
    if (OnSessionClosed) OnSessionClosed(this, error);
}
void TCustomHXSocket::HandleDataSent(uint16_t error) {
    if (OnDataSent) OnDataSent(this, error);
}
void TCustomHXSocket::HandleChangeState(TSocketState oldState, TSocketState newState) {
    if (OnChangeState) OnChangeState(this, oldState, newState);
}
void TCustomHXSocket::HandleDnsLookupDone(uint16_t error) {
    if (OnDnsLookupDone) OnDnsLookupDone(this, error);
}
void TCustomHXSocket::HandleError() {
    if (OnError) OnError(this);
}

void TCustomHXSocket::ChangeState(TSocketState newState) {
    TSocketState old = FState;
    FState = newState;
    HandleChangeState(old, newState);
}

// ------------------------------------------------------------ platform glue

void TCustomHXSocket::AdoptHandle(int fd) {
    FHSocket = fd;
    ++FSession;
    FReadArmed = FWriteArmed = FAcceptMode = FEofSeen = false;
    FWindow->CreateNotifiers(fd);
}

void TCustomHXSocket::DropHandle() {
    if (FWindow) FWindow->DropNotifiers();
    FHSocket = -1;
    ++FSession;
    FReadArmed = FWriteArmed = false;
}

void TCustomHXSocket::UpdateNotifiers() {
    if (!FWindow || FHSocket < 0) return;
    if (FWindow->Read) FWindow->Read->setEnabled(FReadArmed && !FPaused);
    if (FWindow->Write) FWindow->Write->setEnabled(FWriteArmed && !FPaused);
}

void TCustomHXSocket::OnReadReady() {
    int fd = FHSocket;
    if (fd < 0) return;
    int events = FD_READ, error = 0;
    if (FAcceptMode) {
        events = FD_ACCEPT;
    } else if (FType == 1) {
        // Tell data from the end of the stream without taking anything.
        char probe;
        int r = SocketApi().recv(fd, &probe, 1, MSG_PEEK);
        if (r < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return;
        if (r <= 0) {
            events = FD_CLOSE;
            error = r < 0 ? WSAGetLastError() : 0;
            FEofSeen = true;
        }
    }
    // As WinSock: no further FD_READ or FD_ACCEPT until the socket is read or
    // accepted again, so a handler that takes nothing cannot make the loop spin.
    FReadArmed = false;
    UpdateNotifiers();
    TMessage msg{WM_SOCKET_NOTIFY, fd, (events & 0xFFFF) | ((error & 0xFFFF) << 16), 0, {}};
    DispatchGuarded(msg);
}

void TCustomHXSocket::OnWriteReady() {
    int fd = FHSocket;
    if (fd < 0) return;
    FWriteArmed = false;
    UpdateNotifiers();
    int events = FD_WRITE, error = 0;
    if (FState == wsConnecting) {
        events = FD_CONNECT;
        if (SocketApi().pendingError(fd, &error) < 0) error = WSAGetLastError();
    }
    TMessage msg{WM_SOCKET_NOTIFY, fd, (events & 0xFFFF) | ((error & 0xFFFF) << 16), 0, {}};
    DispatchGuarded(msg);
}

void TCustomHXSocket::PostMessage(int msg, intptr_t wParam, intptr_t lParam) {
    if (!FWindow) return;
    QCoreApplication::postEvent(FWindow, new TSocketEvent(TMessage{msg, wParam, lParam, 0, {}},
                                                          FSession, msg != WM_SOCKET_RELEASE));
}

// ------------------------------------------------------------ messages

void TCustomHXSocket::WndProc(TMessage& msg) {
    auto life = Life();
    switch (msg.Msg) {
    case WM_SOCKET_NOTIFY: {
        const int fd = static_cast<int>(msg.WParam);
        if (fd != FHSocket || FPaused) return;
        const int events = static_cast<int>(msg.LParam & 0xFFFF);
        const uint16_t e = static_cast<uint16_t>((msg.LParam >> 16) & 0xFFFF);
        auto same = [&] { return *life && FHSocket == fd; };
        if (events & FD_CONNECT) {
            ChangeState(wsConnected);
            if (!same()) return;
            if (e == 0) {
                FReadArmed = true;
                UpdateNotifiers();
            }
            HandleSessionConnected(e);
            if (!same()) return;
            if (e != 0 && FState != wsClosed) Close();
            if (!same()) return;
        }
        if (events & FD_READ) {
            Drain(e);
            if (!same()) return;
        }
        if (events & FD_WRITE) {
            TryToSend();
            if (!same()) return;
            if (FAllSent) HandleDataSent(e);
            if (!same()) return;
        }
        if (events & FD_ACCEPT) {
            HandleSessionAvailable(e);
            if (!same()) return;
        }
        if ((events & FD_CLOSE) && FState != wsConnecting) {
            Drain(0);
            if (!same()) return;
            if (!FCloseReported) {
                FCloseReported = true;
                HandleSessionClosed(e);
                if (!same()) return;
            }
            if (FState != wsClosed) Close();
        }
        return;
    }
    case WM_SOCKET_NAMEDONE:
    case WM_SOCKET_ADDRDONE: {
        if (msg.WParam != FDnsLookupHandle || FDnsLookupHandle == 0) return;
        FDnsLookupHandle = 0;
        uint16_t e = static_cast<uint16_t>((msg.LParam >> 16) & 0xFFFF);
        if (e == 0 && msg.Lookup) {
            FDnsResultList.clear();
            if (msg.Msg == WM_SOCKET_NAMEDONE) {
                FDnsResultList = msg.Lookup->Addresses;
                FDnsResult = FDnsResultList.empty() ? "" : FDnsResultList.front();
            } else {
                FDnsResult = msg.Lookup->HostName;
                FDnsResultList.push_back(FDnsResult);
            }
        }
        HandleDnsLookupDone(e);
        return;
    }
    case WM_SOCKET_CLOSE:
        Close();
        return;
    case WM_SOCKET_RELEASE:
        delete this;
        return;
    case WM_SOCKET_TEST:
        throw ESocketException("Test exception in HXSocket");
    default:
        return;
    }
}

void TCustomHXSocket::Drain(uint16_t error) {
    auto life = Life();
    const int fd = FHSocket;
    for (;;) {
        FLastError = 0;
        const uint64_t before = FReads;
        bool handled = HandleDataAvailable(error);
        if (!*life || FHSocket != fd) return;
        if (!handled) {
            char scratch[1024];
            int r = RawRecv(scratch, sizeof(scratch), 0);
            if (r < 0) {
                int c = WSAGetLastError();
                FLastError = c == WSAEWOULDBLOCK ? 0 : c;
                return;
            }
            if (r == 0) return; // end of stream
        } else if (FReads == before) {
            // The handler took nothing: wait for it to read, as WinSock does.
            return;
        }
        if (FLastError != 0) return;
        int n = 0;
        if (SocketApi().bytesWaiting(fd, &n) < 0) {
            FLastError = WSAGetLastError();
            return;
        }
        // Bytes a layer still holds count as waiting too.
        if (n <= 0 && HeldCount() <= 0) return;
    }
}

// ------------------------------------------------------------ send queue

void TCustomHXSocket::ClearQueue() {
    FBufList.clear();
}

void TCustomHXSocket::AppendToQueue(const void* data, int len) {
    auto* p = static_cast<const uint8_t*>(data);
    if (FBufList.empty()) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
    while (len > 0) {
        int n = FBufList.back()->Append(p, len);
        p += n;
        len -= n;
        if (len > 0) FBufList.push_back(std::make_unique<TBuffer>(FBufSize));
    }
}

void TCustomHXSocket::TryToSend() {
    if (FHSocket < 0) return;
    if (FBufList.empty()) {
        FAllSent = true;
        return;
    }
    auto life = Life();
    while (!FBufList.empty()) {
        TBuffer* b = FBufList.front().get();
        int32_t len = 0;
        const uint8_t* p = b->PeekData(len);
        if (len == 0) {
            if (FBufList.size() > 1) {
                FBufList.pop_front();
                continue;
            }
            FAllSent = true;
            return;
        }
        int r = RawSend(p, len);
        int code = r < 0 ? WSAGetLastError() : 0;
        // OnSendData ran: the handler may have closed or freed the socket.
        if (!*life || FBufList.empty() || FBufList.front().get() != b) return;
        if (r == 0) return;
        if (r < 0) {
            switch (code) {
            case 10022:
            case 10038:
            case 10053:
            case 10054:
            case 10057:
                FCloseReported = true;
                Close();
                if (!*life) return;
                HandleSessionClosed(static_cast<uint16_t>(code));
                return;
            case WSAEWOULDBLOCK:
                FWriteArmed = true;
                UpdateNotifiers();
                return;
            default:
                WSASetLastError(code);
                SocketError("TryToSend failed");
                return;
            }
        }
        b->Consume(r);
        if (r < len) {
            FWriteArmed = true;
            UpdateNotifiers();
            return;
        }
    }
}

int TCustomHXSocket::RawSend(const void* data, int len) {
    int r = FType == 2 ? SocketApi().sendto(FHSocket, data, len, FSendFlags, &FSin)
                       : SocketApi().send(FHSocket, data, len, FSendFlags);
    if (r > 0 && OnSendData) {
        int saved = WSAGetLastError();
        OnSendData(this, r);
        WSASetLastError(saved);
    }
    return r;
}

int TCustomHXSocket::Send(const void* data, int len) {
    if (FState != wsConnected) {
        WSASetLastError(WSAENOTCONN);
        SocketError("Send");
        return -1;
    }
    FAllSent = false;
    if (len <= 0)
        len = 0;
    else
        AppendToQueue(data, len);
    auto life = Life();
    const int fd = FHSocket;
    TryToSend();
    if (!*life) return len;
    if (FAllSent && FHSocket == fd) PostMessage(WM_SOCKET_NOTIFY, fd, FD_WRITE);
    return len;
}

int TCustomHXSocket::SendStr(const std::string& str) {
    return Send(str.data(), static_cast<int>(str.size()));
}

int TCustomHXSocket::SendTo(const sockaddr_in& dest, int /*destLen*/, const void* data, int len) {
    sockaddr_in to = dest;
    int r = SocketApi().sendto(FHSocket, data, len, FSendFlags, &to);
    if (r > 0 && OnSendData) OnSendData(this, r);
    return r;
}

// ------------------------------------------------------------ receive

int TCustomHXSocket::RawRecv(void* buffer, int bufferSize, int flags) {
    int r = SocketApi().recv(FHSocket, buffer, bufferSize, flags);
    if (r > 0) ++FReads;
    int saved = WSAGetLastError();
    // Reading re-enables the read notification, as in WinSock.
    if (!FEofSeen && FHSocket >= 0) {
        FReadArmed = true;
        UpdateNotifiers();
    }
    WSASetLastError(saved);
    return r;
}

int TCustomHXSocket::RawRecvFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen) {
    int r = SocketApi().recvfrom(FHSocket, buffer, bufferSize, 0, &from);
    fromLen = sizeof(sockaddr_in);
    if (r > 0) ++FReads;
    int saved = WSAGetLastError();
    if (FHSocket >= 0) {
        FReadArmed = true;
        UpdateNotifiers();
    }
    WSASetLastError(saved);
    return r;
}

int TCustomHXSocket::Receive(void* buffer, int bufferSize) {
    int r = RawRecv(buffer, bufferSize, 0);
    if (r < 0)
        FLastError = WSAGetLastError();
    else
        FReadCount += r;
    return r;
}

int TCustomHXSocket::ReceiveFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen) {
    int r = RawRecvFrom(buffer, bufferSize, from, fromLen);
    if (r < 0)
        FLastError = WSAGetLastError();
    else
        FReadCount += r;
    return r;
}

std::string TCustomHXSocket::ReceiveStr() {
    int n = RcvdCount();
    if (n <= 0) return "";
    std::string s(static_cast<size_t>(n), '\0');
    int r = Receive(s.data(), n);
    s.resize(r > 0 ? static_cast<size_t>(r) : 0);
    return s;
}

// ------------------------------------------------------------ connect and listen

void TCustomHXSocket::SetLingerOption() {
    if (LingerOnOff == wsLingerNoSet) return;
    if (FHSocket < 0) {
        RaiseError("Cannot set linger option at this time");
        return;
    }
    linger l{};
    l.l_onoff = static_cast<int>(LingerOnOff);
    l.l_linger = static_cast<uint16_t>(LingerTimeout);
    if (SocketApi().setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof(l)) < 0)
        SocketError("setsockopt(SO_LINGER)");
}

void TCustomHXSocket::BindSocket() {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(FLocalPortNum);
    local.sin_addr.s_addr = HXSocketResolveHost(FLocalAddr);
    if (SocketApi().bind(FHSocket, &local) < 0) {
        RaiseErrorFmt("winsock.bind failed, error #%d", WSAGetLastError());
        return;
    }
    if (SocketApi().getsockname(FHSocket, &local) < 0) {
        RaiseErrorFmt("winsock.getsockname failed, error #%d", WSAGetLastError());
        return;
    }
    FLocalPortNum = ntohs(local.sin_port);
    FLocalPort = std::to_string(FLocalPortNum);
}

void TCustomHXSocket::Connect() {
    if (FHSocket >= 0 && FState != wsClosed) {
        RaiseError("Connect: Socket already in use");
        return;
    }
    if (!FHasPort) {
        RaiseError("Connect: No Port Specified");
        return;
    }
    if (!FHasAddr) {
        RaiseError("Connect: No IP Address Specified");
        return;
    }
    if (!FHasProto) {
        RaiseError("Connect: No Protocol Specified");
        return;
    }
    if (const std::string failure = ResolveEndpoint(true); !failure.empty()) {
        RaiseError("connect: " + failure);
        return;
    }

    ClearQueue();
    int fd = SocketApi().socket(AF_INET, FType == 2 ? SOCK_DGRAM : SOCK_STREAM, FProtocol);
    if (fd < 0) {
        SocketError("Connect (socket)");
        return;
    }
    AdoptHandle(fd);
    auto life = Life();
    auto same = [&] { return *life && FHSocket == fd; };
    ChangeState(wsOpened);
    if (!same()) return;

    if (FType == 2) {
        BindSocket();
        if (!same()) return;
        if (FSin.sin_addr.s_addr == INADDR_NONE_NET) {
            int one = 1;
            if (SocketApi().setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof(one)) < 0) {
                SocketError("setsockopt(SO_BROADCAST)");
                return;
            }
        }
    } else {
        if (FLocalPortNum != 0 || FLocalAddr != "0.0.0.0") BindSocket();
        if (!same()) return;
        SetLingerOption();
        if (!same()) return;
        int on = -1;
        if (SocketApi().setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on)) < 0) {
            SocketError("setsockopt(SO_KEEPALIVE)");
            return;
        }
        if (SocketApi().setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) < 0) {
            SocketError("setsockopt(SO_REUSEADDR)");
            return;
        }
    }

    if (FType == 2) {
        FReadArmed = true;
        UpdateNotifiers();
        ChangeState(wsConnected);
        if (!same()) return;
        HandleSessionConnected(0);
        return;
    }
    int r = SocketApi().connect(fd, &FSin);
    if (r == 0 || WSAGetLastError() == WSAEWOULDBLOCK) {
        FWriteArmed = true; // the outcome arrives as FD_CONNECT
        UpdateNotifiers();
        ChangeState(wsConnecting);
    } else {
        FLastError = WSAGetLastError();
        SocketError("Connect");
    }
}

void TCustomHXSocket::Listen() {
    if (!FHasPort) {
        WSASetLastError(WSAEINVAL);
        SocketError("listen: port not assigned");
        return;
    }
    if (!FHasProto) {
        WSASetLastError(WSAEINVAL);
        SocketError("listen: protocol not assigned");
        return;
    }
    if (!FHasAddr) {
        WSASetLastError(WSAEINVAL);
        SocketError("listen: address not assigned");
        return;
    }
    if (const std::string failure = ResolveEndpoint(false); !failure.empty()) {
        RaiseError("listen: " + failure);
        return;
    }
    ClearQueue();
    int fd = SocketApi().socket(AF_INET, FType == 2 ? SOCK_DGRAM : SOCK_STREAM, FProtocol);
    if (fd < 0) {
        SocketError("socket");
        return;
    }
    AdoptHandle(fd);
    if (SocketApi().bind(fd, &FSin) < 0) {
        // The handle is released before reporting, so no descriptor is left
        // behind whatever the error handler does.
        int code = WSAGetLastError();
        DropHandle();
        SocketApi().closesocket(fd);
        WSASetLastError(code);
        SocketError("Bind");
        return;
    }
    auto life = Life();
    auto same = [&] { return *life && FHSocket == fd; };
    ChangeState(wsBound);
    if (!same()) return;
    if (FType == 2) {
        ChangeState(wsListening);
        if (!same()) return;
        ChangeState(wsConnected);
        if (!same()) return;
        HandleSessionConnected(0);
        if (!same()) return;
    } else {
        if (SocketApi().listen(fd, 5) < 0) {
            SocketError("Listen");
            return;
        }
        ChangeState(wsListening);
        if (!same()) return;
        FAcceptMode = true;
    }
    FReadArmed = true;
    UpdateNotifiers();
}

int TCustomHXSocket::Accept() {
    if (FState != wsListening) {
        WSASetLastError(WSAEINVAL);
        SocketError("not a listening socket");
        return -1;
    }
    int h = SocketApi().accept(FHSocket, &FSin);
    int code = WSAGetLastError();
    FReadArmed = true; // the next connection may be announced again
    UpdateNotifiers();
    if (h < 0) {
        WSASetLastError(code);
        SocketError("Accept");
        return -1;
    }
    FAcceptedHandle = h;
    return h;
}

void TCustomHXSocket::Dup(int newHandle) {
    if (newHandle == 0 || newHandle == -1) {
        WSASetLastError(WSAEINVAL);
        SocketError("Dup");
        return;
    }
    auto life = Life();
    if (FState != wsClosed) {
        int fd = FHSocket;
        if (fd >= 0) {
            DropHandle();
            if (SocketApi().closesocket(fd) < 0) {
                SocketError("Dup (closesocket)");
                return;
            }
        }
        ChangeState(wsClosed);
        if (!*life) return;
    }
    AdoptHandle(newHandle);
    SetLingerOption();
    if (!*life || FHSocket != newHandle) return;
    FReadArmed = true;
    UpdateNotifiers();
    ChangeState(wsConnected);
}

// ------------------------------------------------------------ close

void TCustomHXSocket::Close() {
    InternalClose(true, 0);
}

void TCustomHXSocket::InternalClose(bool shutdown, uint16_t error) {
    auto life = Life();
    if (FHSocket < 0) {
        if (FState != wsClosed) {
            ChangeState(wsClosed);
            if (!*life) return;
            try {
                ResetToDefaults();
            } catch (...) {
                // Closed either way: a reset that fails must not make the close fail.
            }
        }
        return;
    }
    if (FState == wsClosed) return;
    if (shutdown) {
        Shutdown(1);
        // "Linger on, 0 seconds" would reset the connection and drop what is
        // still queued in the kernel; an orderly close lets it go out.
        if (LingerOnOff == wsLingerOn && LingerTimeout == 0) {
            linger l{};
            SocketApi().setsockopt(FHSocket, SOL_SOCKET, SO_LINGER, &l, sizeof(l));
        }
    }
    int fd = FHSocket;
    DropHandle();
    if (SocketApi().closesocket(fd) < 0) {
        int code = WSAGetLastError();
        FLastError = code;
        if (code != WSANOTINITIALISED) {
            SocketError("Disconnect (closesocket)");
            return;
        }
    }
    ChangeState(wsClosed);
    if (!*life) return;
    const uint32_t session = FSession;
    if (!FDestroying && !FCloseReported) {
        FCloseReported = true;
        HandleSessionClosed(error);
        if (!*life) return;
    }
    // A closed handler that started a new session keeps it.
    if (FSession != session) return;
    try {
        ResetToDefaults();
    } catch (...) {
        // Closed either way: a reset that fails must not make the close fail.
    }
}

void TCustomHXSocket::Abort() {
    CancelDnsLookup();
    ClearQueue();
    if (FState == wsConnected && FProtocol == 6) {
        LingerOnOff = wsLingerOff;
        SetLingerOption();
    }
    InternalClose(false, 0);
}

void TCustomHXSocket::CloseLater() {
    PostMessage(WM_SOCKET_CLOSE);
}
void TCustomHXSocket::ReleaseLater() {
    PostMessage(WM_SOCKET_RELEASE);
}

void TCustomHXSocket::Shutdown(int how) {
    if (FHSocket >= 0) SocketApi().shutdown(FHSocket, how);
}

void TCustomHXSocket::Flush() {
    auto life = Life();
    while (FHSocket >= 0 && !FAllSent) {
        TryToSend();
        if (!*life) return;
        if (FHSocket < 0 || FAllSent) return;
        PumpWait(50);
        if (!*life) return;
    }
}

void TCustomHXSocket::WaitForClose() {
    auto life = Life();
    while (FHSocket >= 0 && FState != wsClosed) {
        PumpMessages();
        if (!*life || FHSocket < 0) return;
        int n = 0;
        if (SocketApi().bytesWaiting(FHSocket, &n) < 0) return;
        if (n > 0) {
            HandleDataAvailable(0);
            if (!*life || FHSocket < 0) return;
        }
        // A peek tells the end of the stream from "nothing yet".
        char probe;
        int r = SocketApi().recv(FHSocket, &probe, 1, MSG_PEEK);
        if (r <= 0) {
            int code = r < 0 ? WSAGetLastError() : 0;
            FLastError = code;
            if (code != WSAEWOULDBLOCK) return;
        }
        PumpWait(20);
        if (!*life) return;
    }
}

void TCustomHXSocket::Pause() {
    FPaused = true;
    UpdateNotifiers();
}

void TCustomHXSocket::Resume() {
    FPaused = false;
    // As a new WSAAsyncSelect, announces what is waiting.
    if (FState == wsConnected || FState == wsListening) FReadArmed = !FEofSeen || FAcceptMode;
    UpdateNotifiers();
}

void TCustomHXSocket::PumpMessages() {
    // Both ways pump the calling thread's own event queue: Qt gives every
    // thread its dispatcher.
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// ------------------------------------------------------------ look-ups

void TCustomHXSocket::DnsLookup(const std::string& hostName) {
    if (hostName.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        HandleDnsLookupDone(WSAEINVAL);
        return;
    }
    if (FDnsLookupHandle != 0) {
        Resolver().Cancel(FDnsLookupHandle);
        FDnsLookupHandle = 0;
    }
    FDnsResult.clear();
    FDnsResultList.clear();
    uint32_t a = InetAddr(hostName);
    if (a != INADDR_NONE_NET) {
        FDnsResult = InetNtoa(a);
        HandleDnsLookupDone(0);
        return;
    }
    QPointer<TSocketWindow> window(FWindow);
    auto id = std::make_shared<int>(0);
    int h = Resolver().LookupName(hostName, [window, id](const THostLookupResult& r) {
        if (!window) return;
        TMessage msg{WM_SOCKET_NAMEDONE, *id, (r.Error & 0xFFFF) << 16, 0,
                     std::make_shared<THostLookupResult>(r)};
        QCoreApplication::postEvent(window, new TSocketEvent(std::move(msg), 0, false));
    });
    if (h == 0) {
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", hostName.c_str(), WSAGetLastError());
        return;
    }
    *id = h;
    FDnsLookupHandle = h;
}

void TCustomHXSocket::ReverseDnsLookup(const std::string& hostAddr) {
    if (hostAddr.empty()) {
        RaiseError("DNS lookup: invalid host name.");
        HandleDnsLookupDone(WSAEINVAL);
        return;
    }
    if (FDnsLookupHandle != 0) {
        Resolver().Cancel(FDnsLookupHandle);
        FDnsLookupHandle = 0;
    }
    FDnsResult.clear();
    FDnsResultList.clear();
    QPointer<TSocketWindow> window(FWindow);
    auto id = std::make_shared<int>(0);
    int h = Resolver().LookupAddress(InetAddr(hostAddr), [window, id](const THostLookupResult& r) {
        if (!window) return;
        TMessage msg{WM_SOCKET_ADDRDONE, *id, (r.Error & 0xFFFF) << 16, 0,
                     std::make_shared<THostLookupResult>(r)};
        QCoreApplication::postEvent(window, new TSocketEvent(std::move(msg), 0, false));
    });
    if (h == 0) {
        RaiseErrorFmt("%s: can't start DNS lookup, error #%d", hostAddr.c_str(), WSAGetLastError());
        return;
    }
    *id = h;
    FDnsLookupHandle = h;
}

void TCustomHXSocket::CancelDnsLookup() {
    if (FDnsLookupHandle == 0) return;
    if (!Resolver().Cancel(FDnsLookupHandle)) {
        FDnsLookupHandle = 0;
        SocketError("WSACancelAsyncRequest");
        return;
    }
    FDnsLookupHandle = 0;
    if (!FDestroying) HandleDnsLookupDone(WSAEINTR);
}
