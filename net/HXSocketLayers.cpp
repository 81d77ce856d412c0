// The SOCKS, line and wait layers of the socket component.
#include "net/HXSocket.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/rtl/SysUtils.h"

using namespace hxws;

namespace {
std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}
std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}
// The longest name, user code or password one SOCKS length byte can carry.
constexpr size_t kSocksFieldMax = 255;
} // namespace

// ================================================================== SOCKS

TCustomSocksHXSocket::TCustomSocksHXSocket() = default;

void TCustomSocksHXSocket::SetSocksLevel(const std::string& value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks level if not closed");
        return;
    }
    if (value != "4" && value != "5" && value != "4A" && value != "4a") {
        RaiseError("Invalid socks level. Must be 4, 4A or 5.");
        return;
    }
    FSocksLevel = Upper(value);
}

void TCustomSocksHXSocket::SetSocksPort(const std::string& value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks port if not closed");
        return;
    }
    FSocksPort = Trim(value);
    FSocksPortAssigned = !FSocksPort.empty();
}

void TCustomSocksHXSocket::SetSocksServer(const std::string& value) {
    if (FState != wsClosed) {
        RaiseError("Can't change socks server if not closed");
        return;
    }
    FSocksServer = Trim(value);
    FSocksServerAssigned = !FSocksServer.empty();
}

void TCustomSocksHXSocket::ResetToDefaults() {
    TCustomHXSocket::ResetToDefaults();
    FSocksServer.clear();
    FSocksPort.clear();
    FSocksServerAssigned = FSocksPortAssigned = false;
    FSocksLevel = "5";
    FSocksState = 0;
    FSocksRcvdCnt = 0;
    FSocksRcvdPtr = 0;
    FRcvCnt = 0;
}

int TCustomSocksHXSocket::RcvdCount() {
    if (FSocksRcvdCnt > 0) return FSocksRcvdCnt;
    return TCustomHXSocket::RcvdCount();
}

void TCustomSocksHXSocket::Listen() {
    if (FSocksServerAssigned) {
        RaiseError("listening is not supported thru socks server");
        return;
    }
    TCustomHXSocket::Listen();
}

void TCustomSocksHXSocket::Connect() {
    if (!FSocksServerAssigned) {
        TCustomHXSocket::Connect();
        return;
    }
    if (Lower(FProto) != "tcp") {
        RaiseError("tcp is the only protocol supported thru socks server");
        return;
    }
    // Every field of the requests is prefixed by one length byte or ended by
    // a 0 byte; longer values are refused before anything is sent.
    if (SocksUsercode.size() > kSocksFieldMax) {
        RaiseError("Socks usercode too long");
        return;
    }
    if (SocksPassword.size() > kSocksFieldMax) {
        RaiseError("Socks password too long");
        return;
    }
    if (FAddr.size() > kSocksFieldMax) {
        RaiseError("Socks destination name too long");
        return;
    }
    std::string failure;
    try {
        if (!FPortKnown) FSin.sin_port = htons(HXSocketResolvePort(FSocksPort, FProto));
        if (!FAddrKnown) FSin.sin_addr.s_addr = HXSocketResolveHost(FSocksServer);
        FPortKnown = FAddrKnown = true;
        FSocksDestPort = HXSocketResolvePort(FPort, FProto);
        FSocksState = 1;
        FRcvCnt = 0;
    } catch (Exception& e) {
        failure = e.Message;
    }
    if (!failure.empty()) {
        RaiseError("connect: " + failure);
        return;
    }
    TCustomHXSocket::Connect();
}

void TCustomSocksHXSocket::HandleSocksConnected(uint16_t error) {
    if (OnSocksConnected) OnSocksConnected(this, error);
}

void TCustomSocksHXSocket::HandleSocksError(int error, const std::string& msg) {
    if (OnSocksError) OnSocksError(this, error, msg);
}

void TCustomSocksHXSocket::SocksAuthState(TSocksAuthState state) {
    if (OnSocksAuthState) OnSocksAuthState(this, state);
}

void TCustomSocksHXSocket::HandleSessionConnected(uint16_t error) {
    if (FSocksState == 1) {
        auto life = Life();
        HandleSocksConnected(error);
        if (!*life) return;
        if (error == 0) {
            // The owner hears of the session once the tunnel stands.
            if (!FSocksLevel.empty() && FSocksLevel[0] == '4') {
                SocksDoConnect();
            } else {
                FSocksMethod = SocksAuthentication == socksAuthenticateUsercode ? 2 : 0;
                const uint8_t greeting[3] = {5, 1, FSocksMethod};
                // A greeting that cannot be sent goes to the background
                // error handling, which aborts: the owner hears the close.
                Send(greeting, 3);
            }
            return;
        }
    }
    TCustomHXSocket::HandleSessionConnected(error);
}

void TCustomSocksHXSocket::SocksDoConnect() {
    FSocksState = 3;
    std::string req;
    if (!FSocksLevel.empty() && FSocksLevel[0] == '4') {
        req += static_cast<char>(4);
        req += static_cast<char>(1);
        req += static_cast<char>(FSocksDestPort >> 8);
        req += static_cast<char>(FSocksDestPort & 0xFF);
        uint32_t addr = htonl(1); // 0.0.0.1: SOCKS 4A, the proxy resolves the name
        if (FSocksLevel != "4A") {
            std::string failure;
            try {
                addr = HXSocketResolveHost(FAddr);
            } catch (Exception& e) {
                failure =
                    (dynamic_cast<ESocketException*>(&e) ? "ESocketException " : "Exception ") +
                    e.Message;
            }
            if (!failure.empty()) {
                auto life = Life();
                HandleSocksError(20017, failure);
                if (!*life) return;
                InternalClose(true, 20017);
                return;
            }
        }
        req.append(reinterpret_cast<const char*>(&addr), 4);
        req += SocksUsercode;
        req += '\0';
        if (FSocksLevel == "4A") {
            req += FAddr;
            req += '\0';
        }
    } else {
        req += static_cast<char>(5);
        req += static_cast<char>(1);
        req += static_cast<char>(0);
        req += static_cast<char>(3); // always by name, dotted addresses too
        req += static_cast<char>(FAddr.size());
        req += FAddr;
        req += static_cast<char>(FSocksDestPort >> 8);
        req += static_cast<char>(FSocksDestPort & 0xFF);
    }
    try {
        SendStr(req);
    } catch (Exception&) {
        // Not this step's to tell: a reset has closed the session, and any other
        // failure went to OnError where one is set.
    }
}

void TCustomSocksHXSocket::SocksDoAuthenticate() {
    FSocksState = 2;
    auto life = Life();
    SocksAuthState(authStarted);
    if (!*life) return;
    std::string req;
    req += static_cast<char>(1);
    req += static_cast<char>(SocksUsercode.size());
    req += SocksUsercode;
    req += static_cast<char>(SocksPassword.size());
    req += SocksPassword;
    try {
        SendStr(req);
    } catch (Exception&) {
        // Not this step's to tell: a reset has closed the session, and any other
        // failure went to OnError where one is set.
    }
}

void TCustomSocksHXSocket::SocksFail(int error, const std::string& msg) {
    // The handshake is over: the close that follows must not report a
    // rejected authentication a second time.
    FSocksState = 0;
    FRcvCnt = 0;
    auto life = Life();
    HandleSocksError(error, msg);
    if (!*life) return;
    TCustomHXSocket::HandleSessionConnected(static_cast<uint16_t>(error));
    if (!*life) return;
    InternalClose(true, static_cast<uint16_t>(error));
}

int TCustomSocksHXSocket::ReadReply(int upTo) {
    upTo = std::min(upTo, ReplyBufferSize - FRcvCnt);
    if (upTo <= 0) return 0;
    int r = TCustomHXSocket::RawRecv(FRcvBuf + FRcvCnt, upTo, 0);
    if (r > 0) FRcvCnt += r;
    return r;
}

bool TCustomSocksHXSocket::HandleDataAvailable(uint16_t error) {
    if (FSocksState == 0) return TCustomHXSocket::HandleDataAvailable(error);
    if (error != 0) {
        SocksFail(error, "data receive error");
        return false;
    }
    auto life = Life();
    const bool level4 = !FSocksLevel.empty() && FSocksLevel[0] == '4';
    switch (FSocksState) {
    case 1: { // method reply
        ReadReply(ReplyBufferSize);
        if (level4) {
            SocksFail(20001, "THXSocket logic error");
            return true;
        }
        if (FRcvCnt < 2) return true;
        FRcvCnt = 0;
        if (FRcvBuf[0] != 5) {
            SocksFail(20002, "socks version error");
        } else if (FRcvBuf[1] == 0) {
            if (FSocksMethod == 2) {
                SocksAuthState(authSkipped);
                if (!*life) return true;
            }
            SocksDoConnect();
        } else if (FRcvBuf[1] == 2 && FSocksMethod == 2) {
            SocksDoAuthenticate();
        } else {
            // Also a method that was never offered.
            SocksFail(20003, "authentification method not acceptable");
        }
        return true;
    }
    case 2: { // user name and password reply
        ReadReply(ReplyBufferSize);
        if (FRcvCnt >= 1 && FRcvBuf[0] != 1) {
            SocksAuthState(authRejected);
            if (!*life) return true;
            SocksFail(20002, "socks version error");
        } else if (FRcvCnt == 2) {
            if (FRcvBuf[1] == 0) {
                FRcvCnt = 0;
                SocksAuthState(authAccepted);
                if (!*life) return true;
                SocksDoConnect();
            } else {
                SocksAuthState(authRejected);
                if (!*life) return true;
                SocksFail(20015, "socks authentication failed");
            }
        } else if (FRcvCnt > 2) {
            SocksAuthState(authRejected);
            if (!*life) return true;
            SocksFail(20001, "too much data availaible");
        }
        return true;
    }
    case 3:
        if (level4) {
            ReadReply(8 - FRcvCnt);
            if (FRcvCnt < 8) return true;
            FRcvCnt = 0;
            if (FRcvBuf[0] != 0) {
                SocksFail(20002, "socks version error");
                return true;
            }
            switch (FRcvBuf[1]) {
            case 90:
                break;
            case 91:
                SocksFail(20016, "request rejected or failed");
                return true;
            case 92:
                SocksFail(20008, "connection refused");
                return true;
            case 93:
                SocksFail(20015, "authentification failed");
                return true;
            default:
                SocksFail(20012, "unassigned error #" + std::to_string(FRcvBuf[1]));
                return true;
            }
            FSocksRcvdCnt = 0;
        } else {
            ReadReply(ReplyBufferSize);
            if (FRcvCnt >= 1 && FRcvBuf[0] != 5) {
                SocksFail(20002, "socks version error");
                return true;
            }
            if (FRcvCnt >= 2 && FRcvBuf[1] != 0) {
                static const char* const texts[] = {
                    "general SOCKS server failure", "connection not allowed by ruleset",
                    "network unreachable",          "host unreachable",
                    "connection refused",           "time to live expired",
                    "command not supported",        "address type not supported"};
                int rep = FRcvBuf[1];
                if (rep >= 1 && rep <= 8)
                    SocksFail(20003 + rep, texts[rep - 1]);
                else
                    SocksFail(20012, "unassigned error #" + std::to_string(rep));
                return true;
            }
            if (FRcvCnt <= 4) return true;
            const int atyp = FRcvBuf[3];
            const int len = atyp == 1 ? 10 : atyp == 3 ? 7 + FRcvBuf[4] : 5;
            if (FRcvCnt < len) return true;
            if (atyp != 1 && atyp != 3) {
                SocksFail(20011, "address type not supported");
                return true;
            }
            // Bytes that came with the reply belong to the application.
            FSocksRcvdCnt = FRcvCnt - len;
            FSocksRcvdPtr = len;
            FRcvCnt = 0;
        }
        // Granted: the tunnel stands.
        FSocksState = 0;
        TCustomHXSocket::HandleSessionConnected(0);
        if (!*life || FHSocket < 0) return true;
        return TCustomHXSocket::HandleDataAvailable(0);
    default:
        SocksFail(20013, "internal error");
        return false;
    }
}

void TCustomSocksHXSocket::HandleSessionClosed(uint16_t error) {
    if (FSocksState == 2) {
        auto life = Life();
        SocksAuthState(authRejected);
        if (!*life) return;
    }
    TCustomHXSocket::HandleSessionClosed(error);
}

int TCustomSocksHXSocket::RawRecv(void* buffer, int bufferSize, int flags) {
    if (FSocksRcvdCnt > 0) {
        int n = std::min(std::max(bufferSize, 0), FSocksRcvdCnt);
        std::memcpy(buffer, FRcvBuf + FSocksRcvdPtr, n);
        FSocksRcvdPtr += n;
        FSocksRcvdCnt -= n;
        if (n > 0) ++FReads;
        return n;
    }
    return TCustomHXSocket::RawRecv(buffer, bufferSize, flags);
}

// ================================================================== lines

TCustomLineHXSocket::TCustomLineHXSocket() = default;
TCustomLineHXSocket::~TCustomLineHXSocket() = default;

void TCustomLineHXSocket::SetLineMode(bool value) {
    if (value == FLineMode) return;
    FLineMode = value;
    // Out of line mode a pending line is just held bytes again.
    if (!value) FLineLength = 0;
    if (!FRcvdBuf.empty()) PostMessage(WM_SOCKET_RESCAN, FHSocket);
}

int TCustomLineHXSocket::RcvdCount() {
    if (FLineMode && !LineEnd.empty()) return FLineLength;
    if (!FRcvdBuf.empty()) {
        int held = static_cast<int>(FRcvdBuf.size());
        if (FHSocket < 0) return held;
        return held + std::max(0, TCustomSocksHXSocket::RcvdCount());
    }
    return TCustomSocksHXSocket::RcvdCount();
}

int TCustomLineHXSocket::RawRecv(void* buffer, int bufferSize, int flags) {
    const bool lineMode = FLineMode && !LineEnd.empty();
    if (lineMode && FLineLength > 0) {
        int n = std::min(std::max(bufferSize, 0), FLineLength);
        std::memcpy(buffer, FRcvdBuf.data(), n);
        FRcvdBuf.erase(0, n);
        FLineLength -= n;
        FScanPos = 0;
        if (n > 0) ++FReads;
        return n;
    }
    if (lineMode && FSocksState == 0 && FHSocket >= 0) {
        // Between lines the socket's bytes belong behind the held ones.
        WSASetLastError(WSAEWOULDBLOCK);
        return -1;
    }
    if (!lineMode && !FRcvdBuf.empty()) {
        int n = std::min(std::max(bufferSize, 0), static_cast<int>(FRcvdBuf.size()));
        std::memcpy(buffer, FRcvdBuf.data(), n);
        FRcvdBuf.erase(0, n);
        FScanPos = 0;
        if (n > 0) ++FReads;
        return n;
    }
    return TCustomSocksHXSocket::RawRecv(buffer, bufferSize, flags);
}

bool TCustomLineHXSocket::HandleDataAvailable(uint16_t error) {
    // The SOCKS handshake is not the owner's data.
    if (!FLineMode || LineEnd.empty() || FSocksState != 0)
        return TCustomSocksHXSocket::HandleDataAvailable(error);
    auto life = Life();
    int n = TCustomSocksHXSocket::RcvdCount();
    if (!*life) return true;
    if (n > 0) {
        const size_t old = FRcvdBuf.size();
        FRcvdBuf.resize(old + static_cast<size_t>(n));
        int r = TCustomSocksHXSocket::RawRecv(&FRcvdBuf[old], n, 0);
        if (r <= 0) {
            FRcvdBuf.resize(old);
        } else {
            FRcvdBuf.resize(old + static_cast<size_t>(r));
            int count = r;
            if (LineEdit) {
                EditLine(count);
                if (!*life) return true;
            } else if (LineEcho) {
                Send(FRcvdBuf.data() + old, r);
                if (!*life) return true;
            }
        }
    }
    DeliverLines();
    return true;
}

bool TCustomLineHXSocket::OfferPending() {
    auto life = Life();
    while (FLineMode && !LineEnd.empty() && FLineLength > 0) {
        const int before = FLineLength;
        const size_t heldBefore = FRcvdBuf.size();
        bool handled = TCustomSocksHXSocket::HandleDataAvailable(0);
        if (!*life) return false;
        if (!handled) { // nobody listens: the line is dropped
            FRcvdBuf.erase(0, std::min(FRcvdBuf.size(), static_cast<size_t>(FLineLength)));
            FLineLength = 0;
            FScanPos = 0;
            break;
        }
        // A handler that takes nothing keeps the line pending; it is offered
        // again with the next data instead of in an endless loop.
        if (FLineLength == before && FRcvdBuf.size() == heldBefore) break;
    }
    return true;
}

bool TCustomLineHXSocket::DeliverLines() {
    auto life = Life();
    for (;;) {
        if (FLineLength == 0) {
            if (!FLineMode || LineEnd.empty() || FRcvdBuf.empty()) return true;
            if (FScanLineEnd != LineEnd) {
                FScanLineEnd = LineEnd;
                FScanPos = 0;
            }
            const size_t le = LineEnd.size();
            size_t pos = FRcvdBuf.find(LineEnd, std::min(FScanPos, FRcvdBuf.size()));
            if (pos != std::string::npos) {
                FLineLength = static_cast<int32_t>(pos + le);
            } else if (LineLimit > 0 && FRcvdBuf.size() > static_cast<size_t>(LineLimit)) {
                // No terminator within the limit: said, then offered as a line.
                if (OnLineTooLong) {
                    OnLineTooLong(this);
                    if (!*life) return false;
                    if (FLineLength > 0 || FRcvdBuf.size() <= static_cast<size_t>(LineLimit))
                        continue;
                }
                FLineLength = static_cast<int32_t>(FRcvdBuf.size());
            } else {
                FScanPos = FRcvdBuf.size() >= le ? FRcvdBuf.size() - le + 1 : 0;
                return true;
            }
        }
        if (!OfferPending()) return false;
        if (FLineLength > 0) return true; // still pending
        FScanPos = 0;
    }
}

void TCustomLineHXSocket::EditLine(int& count) {
    const size_t old = FRcvdBuf.size() - static_cast<size_t>(count);
    bool special = false;
    for (size_t i = old; i < FRcvdBuf.size(); ++i)
        if (FRcvdBuf[i] == 8 || FRcvdBuf[i] == 9) special = true;
    if (!special) {
        if (LineEcho) Send(FRcvdBuf.data() + old, count);
        return;
    }
    std::string out = FRcvdBuf.substr(0, old);
    std::string echo;
    // Editing works within the current line: a backspace never reaches into a
    // line already ended, and tab stops count from the line's start, also
    // when one read brings several lines.
    size_t lineStart = 0;
    if (!LineEnd.empty()) {
        size_t p = out.rfind(LineEnd);
        if (p != std::string::npos) lineStart = p + LineEnd.size();
    }
    for (size_t i = old; i < FRcvdBuf.size(); ++i) {
        const char c = FRcvdBuf[i];
        if (c == 8) {
            if (out.size() > lineStart) {
                if (LineEcho) echo += "\b \b";
                out.pop_back();
            }
        } else if (c == 9) {
            do {
                out += ' ';
                if (LineEcho) echo += ' ';
            } while ((out.size() - lineStart) % 8 != 0);
        } else {
            if (LineEcho) echo += c;
            out += c;
            if (!LineEnd.empty() && out.size() - lineStart >= LineEnd.size() &&
                out.compare(out.size() - LineEnd.size(), LineEnd.size(), LineEnd) == 0)
                lineStart = out.size();
        }
    }
    FRcvdBuf = std::move(out);
    count = static_cast<int>(FRcvdBuf.size() - std::min(old, FRcvdBuf.size()));
    FScanPos = 0; // editing may have touched held bytes
    if (!echo.empty()) SendStr(echo);
}

void TCustomLineHXSocket::HandleSessionClosed(uint16_t error) {
    auto life = Life();
    if (!FRcvdBuf.empty() && FLineMode && !LineEnd.empty()) {
        // The unterminated rest is offered once as a last line.
        FLineLength = static_cast<int32_t>(FRcvdBuf.size());
        if (!OfferPending()) return;
    }
    FRcvdBuf.clear();
    FRcvdBuf.shrink_to_fit();
    FLineLength = 0;
    FScanPos = 0;
    TCustomSocksHXSocket::HandleSessionClosed(error);
}

void TCustomLineHXSocket::WndProc(TMessage& msg) {
    if (msg.Msg != WM_SOCKET_RESCAN) {
        TCustomSocksHXSocket::WndProc(msg);
        return;
    }
    auto life = Life();
    if (FLineMode && !LineEnd.empty()) {
        DeliverLines();
        return;
    }
    // Out of line mode the held bytes are handed out as plain data, for as
    // long as the owner takes them.
    while (!FRcvdBuf.empty()) {
        const size_t before = FRcvdBuf.size();
        bool handled = TCustomSocksHXSocket::HandleDataAvailable(0);
        if (!*life) return;
        if (!handled) {
            FRcvdBuf.clear();
            break;
        }
        if (FRcvdBuf.size() == before) break;
    }
}

// ================================================================== wait

int TCustomSyncHXSocket::RunAndWait(uint8_t& flag, const std::function<void()>& proc) {
    flag = 0;
    if (proc) proc();
    return WaitFlag(flag);
}

int TCustomSyncHXSocket::WaitFlag(uint8_t& flag) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(Timeout);
    auto life = Life();
    while (flag == 0) {
        if (Timeout > 0 && Clock::now() >= deadline) return 12001;
        if (!QCoreApplication::instance() || QCoreApplication::closingDown() || FQuitSeen)
            return 12001;
        PumpMessages();
        if (flag != 0) break;
        PumpWait(10);
        if (!*life) return flag != 0 ? 0 : 12001;
    }
    return 0;
}
