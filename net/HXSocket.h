// The suite's asynchronous TCP/UDP socket component: a base socket driven by
// event-loop notifications, a SOCKS 4/4A/5 layer, a line layer and a wait
// layer, published together as THXSocket. Everything runs on the thread that
// created the socket.
#pragma once

#include "net/HXWinSock.h"
#include "net/WSockBuf.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ESocketException : public Exception {
public:
    using Exception::Exception;
};

enum TSocketState {
    wsInvalidState = 0,
    wsOpened = 1,
    wsBound = 2,
    wsConnecting = 3,
    wsConnected = 4,
    wsAccepting = 5,
    wsListening = 6,
    wsClosed = 7
};
enum TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };
enum TSocketLingerOnOff { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };
enum TSocksAuthentication { socksNoAuthentication, socksAuthenticateUsercode };
enum TSocksAuthState { authStarted = 0, authAccepted = 1, authRejected = 2, authSkipped = 3 };

// The socket's private messages.
constexpr int WM_SOCKET_NOTIFY = hxws::WM_USER + 1;   // wParam handle, lParam events | error << 16
constexpr int WM_SOCKET_NAMEDONE = hxws::WM_USER + 2; // wParam lookup handle, error << 16
constexpr int WM_SOCKET_ADDRDONE = hxws::WM_USER + 3;
constexpr int WM_SOCKET_CLOSE = hxws::WM_USER + 4;
constexpr int WM_SOCKET_RELEASE = hxws::WM_USER + 5;
constexpr int WM_SOCKET_TEST = hxws::WM_USER + 6;
constexpr int WM_SOCKET_RESCAN = hxws::WM_USER + 20;

struct TMessage {
    int Msg = 0;
    intptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;
    std::shared_ptr<hxws::THostLookupResult> Lookup; // look-up messages only
};

// Plain functions; they always raise ESocketException.
uint32_t HXSocketResolveHost(const std::string& host);                           // network order
uint16_t HXSocketResolvePort(const std::string& port, const std::string& proto); // host order
int HXSocketResolveProto(const std::string& proto);
// The WinSock text of a code ("Connection refused", ...).
std::string WSocketErrorDesc(int code);

class TCustomHXSocket;
class TSocketWindow;

using TSessionEvent = std::function<void(TCustomHXSocket* Sender, uint16_t Error)>;
using TChangeStateEvent =
    std::function<void(TCustomHXSocket* Sender, TSocketState OldState, TSocketState NewState)>;
using TSendDataEvent = std::function<void(TCustomHXSocket* Sender, int BytesSent)>;
using TNotifyEvent = std::function<void(TCustomHXSocket* Sender)>;
using TBgExceptionEvent =
    std::function<void(TCustomHXSocket* Sender, Exception& E, bool& CanClose)>;
using TSocksErrorEvent =
    std::function<void(TCustomHXSocket* Sender, int Error, const std::string& Msg)>;
using TSocksAuthStateEvent = std::function<void(TCustomHXSocket* Sender, TSocksAuthState State)>;

class TCustomHXSocket {
public:
    TCustomHXSocket();
    virtual ~TCustomHXSocket();
    TCustomHXSocket(const TCustomHXSocket&) = delete;
    TCustomHXSocket& operator=(const TCustomHXSocket&) = delete;

    // ------------------------------------------------------------ properties
    const std::string& Addr() const { return FAddr; }
    void SetAddr(const std::string& value);
    const std::string& Port() const { return FPort; }
    virtual void SetPort(const std::string& value);
    const std::string& Proto() const { return FProto; }
    virtual void SetProto(const std::string& value);
    const std::string& LocalAddr() const { return FLocalAddr; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return FLocalPort; }
    void SetLocalPort(const std::string& value);
    virtual std::string PeerAddr();
    virtual std::string PeerPort();
    const std::string& DnsResult() const { return FDnsResult; }
    const std::vector<std::string>& DnsResultList() const { return FDnsResultList; }
    TSocketState State() const { return FState; }
    int32_t ReadCount() const { return FReadCount; }
    virtual int RcvdCount();
    int32_t LastError() const { return FLastError; }
    TSocketSendFlags SendFlags();
    void SetSendFlags(TSocketSendFlags value);
    int Handle() const { return FHSocket; }
    bool AllSent() const { return FAllSent; }
    bool IsPaused() const { return FPaused; }

    bool MultiThreaded = false;
    int32_t FlushTimeout = 60;
    TSocketLingerOnOff LingerOnOff = wsLingerOn;
    int32_t LingerTimeout = 0;

    TSessionEvent OnDataAvailable, OnDataSent, OnSessionClosed, OnSessionAvailable,
        OnSessionConnected, OnDnsLookupDone;
    TSendDataEvent OnSendData;
    TChangeStateEvent OnChangeState;
    TNotifyEvent OnLineTooLong, OnError;
    TBgExceptionEvent OnBgException;

    // ------------------------------------------------------------ operations
    virtual void WndProc(TMessage& msg);
    virtual void Connect();
    virtual void Close();
    virtual void CloseLater();
    virtual void ReleaseLater();
    virtual void Abort();
    virtual void Flush();
    virtual void WaitForClose();
    virtual void Listen();
    virtual int Accept();
    virtual int Receive(void* buffer, int bufferSize);
    virtual std::string ReceiveStr();
    virtual int ReceiveFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen);
    virtual int Send(const void* data, int len);
    virtual int SendTo(const sockaddr_in& dest, int destLen, const void* data, int len);
    virtual int SendStr(const std::string& str);
    virtual void DnsLookup(const std::string& hostName);
    virtual void ReverseDnsLookup(const std::string& hostAddr);
    virtual void CancelDnsLookup();
    virtual int GetPeerName(sockaddr_in& name, int nameLen);
    virtual std::string GetLocalPortText();
    virtual int GetSockName(sockaddr_in& name, int& nameLen);
    virtual void Dup(int newHandle);
    virtual void Shutdown(int how);
    virtual void Pause();
    virtual void Resume();
    virtual void PumpMessages();

    // Posts a message to the socket's own queue, stamped with the session.
    void PostMessage(int msg, intptr_t wParam = 0, intptr_t lParam = 0);

protected:
    virtual void ResetToDefaults();
    virtual void InternalClose(bool shutdown, uint16_t error);
    virtual void BindSocket();
    virtual int RawSend(const void* data, int len);
    virtual void RaiseErrorFmt(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    virtual void RaiseError(const std::string& msg);
    std::string ResolveEndpoint(bool withLocalPort);
    bool SetWhileClosed(const std::string& value, const char* name, std::string& field, bool& has,
                        bool& known);
    virtual void HandleBgException(Exception& e);
    virtual bool HandleDataAvailable(uint16_t error);
    virtual void HandleSessionAvailable(uint16_t error);
    virtual void HandleSessionConnected(uint16_t error);
    virtual void HandleSessionClosed(uint16_t error);
    virtual void HandleDataSent(uint16_t error);
    virtual void HandleChangeState(TSocketState oldState, TSocketState newState);
    virtual void HandleDnsLookupDone(uint16_t error);
    virtual void HandleError();
    virtual int RawRecv(void* buffer, int bufferSize, int flags);
    virtual int RawRecvFrom(void* buffer, int bufferSize, sockaddr_in& from, int& fromLen);

    // Runs one message through WndProc, never letting an exception out.
    void DispatchGuarded(TMessage& msg);
    void ChangeState(TSocketState newState);
    void SocketError(const std::string& function);
    void SetLingerOption();
    void TryToSend();
    void ClearQueue();
    void AppendToQueue(const void* data, int len);
    void Drain(uint16_t error);
    // A token that turns false when the object is destroyed: checked after
    // every user callback, since a handler may free its own socket.
    std::shared_ptr<bool> Life() const { return FAlive; }
    bool Destroying() const { return FDestroying; }

    // Platform glue: notifiers follow the handle and the armed flags.
    void AdoptHandle(int fd);
    void DropHandle();
    void UpdateNotifiers();
    void OnReadReady();
    void OnWriteReady();

    std::string FDnsResult;
    std::vector<std::string> FDnsResultList;
    int FAcceptedHandle = -1;
    std::deque<std::unique_ptr<TBuffer>> FBufList;
    int32_t FBufSize = TBuffer::DefaultSize;
    uint8_t FSendFlags = 0;
    int32_t FLastError = 0;
    int FDnsLookupHandle = 0;
    int FHSocket = -1;
    std::string FAddr;
    bool FHasAddr = false, FAddrKnown = false;
    int FAddrFormat = 2;
    int FProtocol = 6;
    std::string FProto;
    bool FHasProto = true, FProtoKnown = false;
    std::string FPort;
    bool FHasPort = false, FPortKnown = false;
    uint16_t FPortNum = 0;
    std::string FLocalPort;
    bool FLocalPortKnown = false;
    uint16_t FLocalPortNum = 0;
    std::string FLocalAddr;
    int FType = 1;
    bool FAllSent = true;
    int32_t FReadCount = 0;
    bool FPaused = false;
    bool FCloseReported = false;
    TSocketState FState = wsClosed;
    bool FQuitSeen = false;
    sockaddr_in FSin{};
    // Successful reads, from the kernel or from bytes a layer holds: how the
    // drain sees that a handler made progress.
    uint64_t FReads = 0;
    // Bytes a layer holds for the owner beyond what the kernel has waiting.
    virtual int HeldCount() const { return 0; }

    friend class TSocketWindow;

private:
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
    bool FDestroying = false;
    TSocketWindow* FWindow = nullptr;
    uint32_t FSession = 1;
    bool FReadArmed = false;  // WinSock's "FD_READ re-enabled by the next recv"
    bool FWriteArmed = false; // waiting for the connect outcome or send space
    bool FAcceptMode = false;
    bool FEofSeen = false;
};

// ------------------------------------------------------------------ SOCKS

class TCustomSocksHXSocket : public TCustomHXSocket {
public:
    TCustomSocksHXSocket();

    const std::string& SocksServer() const { return FSocksServer; }
    virtual void SetSocksServer(const std::string& value);
    const std::string& SocksLevel() const { return FSocksLevel; }
    void SetSocksLevel(const std::string& value);
    const std::string& SocksPort() const { return FSocksPort; }
    virtual void SetSocksPort(const std::string& value);
    std::string SocksUsercode;
    std::string SocksPassword;
    TSocksAuthentication SocksAuthentication = socksNoAuthentication;

    TSocksErrorEvent OnSocksError;
    TSessionEvent OnSocksConnected;
    TSocksAuthStateEvent OnSocksAuthState;

    int RcvdCount() override;
    void Connect() override;
    void Listen() override;

    // The longest legal SOCKS reply: 4 + 1 + 255 + 2 bytes (a domain-name reply).
    static constexpr int ReplyBufferSize = 262;

protected:
    void ResetToDefaults() override;
    bool HandleDataAvailable(uint16_t error) override;
    void HandleSessionConnected(uint16_t error) override;
    void HandleSessionClosed(uint16_t error) override;
    int RawRecv(void* buffer, int bufferSize, int flags) override;
    int HeldCount() const override { return FSocksRcvdCnt; }
    virtual void HandleSocksConnected(uint16_t error);
    virtual void HandleSocksError(int error, const std::string& msg);

    void SocksDoConnect();
    void SocksDoAuthenticate();
    void SocksFail(int error, const std::string& msg);
    void SocksAuthState(TSocksAuthState state);
    int ReadReply(int upTo);

    uint8_t FSocksState = 0;
    std::string FSocksServer, FSocksLevel = "5", FSocksPort;
    bool FSocksPortAssigned = false, FSocksServerAssigned = false;
    uint8_t FSocksMethod = 0;
    uint8_t FRcvBuf[ReplyBufferSize] = {};
    int FRcvCnt = 0;
    int FSocksRcvdCnt = 0; // leftover application bytes after the reply
    int FSocksRcvdPtr = 0;
    uint16_t FSocksDestPort = 0;
};

// ------------------------------------------------------------------ lines

class TCustomLineHXSocket : public TCustomSocksHXSocket {
public:
    TCustomLineHXSocket();
    ~TCustomLineHXSocket() override;

    bool LineMode() const { return FLineMode; }
    virtual void SetLineMode(bool value);
    std::string LineEnd = "\r\n";
    bool LineEcho = false;
    bool LineEdit = false;
    // Longest line held without a terminator; a longer run fires OnLineTooLong
    // and is offered as a line of its own, so the buffer stays bounded.
    int32_t LineLimit = 65536;

    int RcvdCount() override;
    void WndProc(TMessage& msg) override;

    // Held bytes, for inspection.
    std::string HeldBytes() const { return FRcvdBuf; }

protected:
    bool HandleDataAvailable(uint16_t error) override;
    void HandleSessionClosed(uint16_t error) override;
    int RawRecv(void* buffer, int bufferSize, int flags) override;
    virtual void EditLine(int& count);

    // Offers every complete line held; false when the socket went away.
    bool DeliverLines();
    // Offers the pending line while line mode is on; false when the socket went away.
    bool OfferPending();

    std::string FRcvdBuf; // held bytes
    bool FLineMode = false;
    int32_t FLineLength = 0; // pending line length, 0 when none
    size_t FScanPos = 0;     // no terminator begins before this position
    std::string FScanLineEnd;
};

// ------------------------------------------------------------------ wait

class TCustomSyncHXSocket : public TCustomLineHXSocket {
public:
    // Milliseconds; 0 waits without limit.
    int32_t Timeout = 0;
    virtual int RunAndWait(uint8_t& flag, const std::function<void()>& proc);
    // 0 once flag is non-zero; 12001 on time-out or when the program ends.
    virtual int WaitFlag(uint8_t& flag);
};

class THXSocket : public TCustomSyncHXSocket {};
