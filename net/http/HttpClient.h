// THttpClient: fetches one document over HTTP/1.0 without blocking. It runs
// from the Qt event loop: the socket's events drive it, and the end of every
// request arrives as OnRequestDone from the loop, never from inside StartGet.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "net/http/HttpReply.h"
#include "net/http/HttpUrl.h"
#include "platform/rtl/SysUtils.h"

class QObject;
class QTimer;

class EHttpException : public Exception {
public:
    EHttpException(const std::string& msg, int code) : Exception(msg), ErrorCode(code) {}
    int ErrorCode;
};

enum THttpRequest { rqNone = 0, rqGet = 1, rqPost = 2, rqHead = 3 };

enum THttpState : uint8_t {
    hsIdle = 0,
    hsStarting = 1,
    hsConnected = 2,
    hsResolving = 3,
    hsResolved = 4,
    hsAwaitHeader = 5,
    hsBody = 6,
    hsAborting = 7,
};

// The connection under the client: the embedded socket in the program, any
// other stream socket in principle. Events come from the event loop (a
// lookup of a dotted address may complete inside DnsLookup).
class IHttpConnection {
public:
    virtual ~IHttpConnection() = default;
    std::function<void(uint16_t error)> OnDnsLookupDone, OnSessionConnected, OnSessionClosed,
        OnDataAvailable;

    virtual void DnsLookup(const std::string& host) = 0;
    virtual void CancelDnsLookup() = 0;
    virtual std::string DnsResult() const = 0;
    virtual void Connect(const std::string& addr, const std::string& port) = 0; // may raise
    virtual int LastError() const = 0;
    virtual void Send(const std::string& data) = 0;
    virtual int Receive(char* buffer, int size) = 0; // <= 0: nothing waiting
    virtual void Close() = 0;                        // fires OnSessionClosed once per session
    virtual bool IsClosed() const = 0;
    virtual void SetMultiThreaded(bool) {}
    virtual std::string ErrorText(int code) const = 0; // the socket's text for an error code
};

class THttpClient {
public:
    THttpClient(); // over the suite's socket component
    explicit THttpClient(std::unique_ptr<IHttpConnection> connection);
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Settings, read when a request starts.
    std::string URL, Proxy, ProxyPort = "80";
    std::string Username, Password, ProxyUsername, ProxyPassword;
    std::string Sender, Reference,
        Agent = "Mozilla/3.0 (compatible)",
        Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    TDateTime ModifiedSince = 0; // UTC; 0: not sent
    bool NoCache = false;
    std::string Cookie, ContentTypePost = "application/x-www-form-urlencoded";
    std::string ContentRangeBegin, ContentRangeEnd;
    std::ostream* ResponseStream = nullptr; // not owned; receives the document
    int Timeout = 30000;                    // ms without progress before the request fails; 0: none
    int MaxRedirects = 5;                   // redirects one request follows

    bool MultiThreaded() const { return multiThreaded_; }
    void SetMultiThreaded(bool value);

    // Results, valid after OnRequestDone (and as they arrive, in the events).
    int Status = 0; // the server's status; 404 for local failures
    std::string StatusText;
    int DocLength = -1;
    std::string DocType;
    std::vector<std::string> HeaderLines, AuthHeaders;
    std::string AcceptRanges;
    std::string CurrentUrl, RequestPath, DocFileName, ConnectHost, ConnectPort, HostHeader;
    bool Redirecting = false;
    bool IsConnected = false;
    int BytesReceived = 0;
    uint16_t DoneError = 0; // 0 success; a socket code, or one of httpErr*

    THttpState State() const { return state_; }

    // Events (called only when set).
    std::function<void(THttpClient*)> OnStateChange, OnSessionConnected, OnHeaderBegin, OnHeaderEnd,
        OnHeaderData, OnRequestHeaderBegin, OnRequestHeaderEnd, OnDocBegin, OnDocEnd,
        OnLocationChange, OnTrace;
    std::function<void(THttpClient*, const std::string&)> OnCommand;
    std::function<void(THttpClient*, const char*, int)> OnDocData;
    std::function<void(THttpClient*, THttpRequest, uint16_t)> OnRequestDone;
    std::function<void(THttpClient*, const std::string&, bool&)> OnCookie;

    // Starts a GET of URL; returns at once. Raises EHttpException (code 1)
    // while a request runs.
    void StartGet();
    void AbortRequest();

private:
    void StartRequest(THttpRequest kind);
    void SetState(THttpState s);
    void Post(std::function<void()> fn);
    void StartLookup();
    void LookupDone(uint16_t error);
    void Connected(uint16_t error);
    void SendRequest();
    void SendLine(const std::string& line);
    void DataAvailable(uint16_t error);
    void Closed(uint16_t error);
    void RedirectClosed();
    void Fail(uint16_t error, const std::string& text); // ends the request with 404
    void AbortWith(uint16_t error, const std::string& text);
    void AfterFeed();
    void FollowRedirect();
    void NewParser();
    void CopyReply();
    void Bind();
    void RestartTimer();

    std::unique_ptr<QObject> window_; // posted steps run through it
    QTimer* timer_ = nullptr;         // owned by window_
    std::unique_ptr<IHttpConnection> conn_;
    std::unique_ptr<THttpReplyParser> parser_;
    THttpState state_ = hsIdle;
    THttpRequest kind_ = rqNone;
    THttpTarget target_;
    std::string authUser_, authPassword_; // credentials for the current origin
    std::string commands_;
    bool multiThreaded_ = false;
    bool closeForRedirect_ = false;
    bool sessionEnded_ = true;
    bool failed_ = false;
    int redirects_ = 0;
    unsigned serial_ = 0; // tells a late posted step from the current request
    int bodyChunks_ = 0;
};
