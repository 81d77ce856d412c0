#include "net/http/HttpClient.h"

#include <QObject>
#include <QTimer>

#include "net/http/HttpRequest.h"
#include "net/http/HxSocketConnection.h"

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

} // namespace

THttpClient::THttpClient() : THttpClient(std::make_unique<THxSocketConnection>()) {}

THttpClient::THttpClient(std::unique_ptr<IHttpConnection> connection)
    : window_(std::make_unique<QObject>()), conn_(std::move(connection)) {
    timer_ = new QTimer(window_.get());
    timer_->setSingleShot(true);
    QObject::connect(timer_, &QTimer::timeout, window_.get(), [this] {
        if (state_ != hsIdle && state_ != hsAborting) AbortWith(10060, conn_->ErrorText(10060));
    });
    Bind();
}

THttpClient::~THttpClient() {
    if (conn_) {
        conn_->OnDnsLookupDone = nullptr;
        conn_->OnSessionConnected = nullptr;
        conn_->OnSessionClosed = nullptr;
        conn_->OnDataAvailable = nullptr;
    }
}

void THttpClient::Bind() {
    conn_->OnDnsLookupDone = [this](uint16_t e) { LookupDone(e); };
    conn_->OnSessionConnected = [this](uint16_t e) { Connected(e); };
    conn_->OnSessionClosed = [this](uint16_t e) { Closed(e); };
    conn_->OnDataAvailable = [this](uint16_t e) { DataAvailable(e); };
}

void THttpClient::SetMultiThreaded(bool value) {
    multiThreaded_ = value;
    conn_->SetMultiThreaded(value);
}

void THttpClient::Post(std::function<void()> fn) {
    QMetaObject::invokeMethod(window_.get(), std::move(fn), Qt::QueuedConnection);
}

void THttpClient::SetState(THttpState s) {
    if (s == state_) return;
    state_ = s;
    if (OnStateChange) OnStateChange(this);
    if (s == hsIdle) {
        timer_->stop();
        const THttpRequest kind = kind_;
        Post([this, kind] {
            if (OnRequestDone) OnRequestDone(this, kind, DoneError);
        });
    }
}

void THttpClient::RestartTimer() {
    if (Timeout > 0) timer_->start(Timeout);
}

void THttpClient::StartGet() {
    StartRequest(rqGet);
}

void THttpClient::StartRequest(THttpRequest kind) {
    if (state_ != hsIdle) throw EHttpException("HTTP component is busy", 1);
    HeaderLines.clear();
    AuthHeaders.clear();
    kind_ = kind;
    DoneError = 0;
    failed_ = false;
    closeForRedirect_ = false;
    Redirecting = false;
    redirects_ = 0;
    SetState(hsStarting);
    DocFileName.clear();
    Status = 0;
    StatusText.clear();
    BytesReceived = 0;
    bodyChunks_ = 0;
    DocLength = -1;
    DocType.clear();
    CurrentUrl = URL;
    ++serial_;
    sessionEnded_ = false;

    std::string error;
    TUrlParts parts;
    if (!MakeHttpTarget(URL, Proxy, ProxyPort, target_, parts, error)) {
        Fail(httpErrBadUrl, error);
        Closed(0);
        return;
    }
    if (!parts.User.empty() || !parts.Password.empty()) {
        Username = parts.User;
        Password = parts.Password;
    }
    authUser_ = Username;
    authPassword_ = Password;
    HostHeader = target_.HostHeader();
    RequestPath = target_.RequestPath();
    DocFileName = DocumentFileName(target_.Path);
    ConnectHost = target_.ConnectHost();
    ConnectPort = target_.ConnectPort();
    StartLookup();
}

void THttpClient::StartLookup() {
    NewParser();
    sessionEnded_ = false;
    SetState(hsResolving);
    RestartTimer();
    try {
        conn_->DnsLookup(ConnectHost);
    } catch (const Exception&) {
        if (state_ == hsResolving) {
            Fail(static_cast<uint16_t>(conn_->LastError() ? conn_->LastError() : 11001),
                 "can't resolve hostname to IP address");
            Closed(0);
        }
    }
}

void THttpClient::LookupDone(uint16_t error) {
    if (state_ != hsResolving) return;
    if (error != 0) {
        Fail(error, "can't resolve hostname to IP address");
        Closed(0);
        return;
    }
    SetState(hsResolved);
    try {
        conn_->Connect(conn_->DnsResult(), ConnectPort);
    } catch (const Exception&) {
        const int code = conn_->LastError() ? conn_->LastError() : 10061;
        Fail(static_cast<uint16_t>(code),
             "can't connect: " + conn_->ErrorText(code) + " (Error #" + std::to_string(code) + ")");
        conn_->Close();
        Closed(0);
    }
}

void THttpClient::Connected(uint16_t error) {
    if (state_ != hsResolved) return;
    if (error != 0) {
        Fail(error, conn_->ErrorText(error) + " (Error #" + std::to_string(error) + ")");
        Closed(0);
        return;
    }
    IsConnected = true;
    SetState(hsConnected);
    if (OnSessionConnected) OnSessionConnected(this);
    if (state_ != hsConnected) return; // aborted from the event
    SetState(hsAwaitHeader);
    RestartTimer();
    try {
        SendRequest();
    } catch (const Exception&) {
        conn_->Close();
        IsConnected = false;
    }
}

void THttpClient::SendLine(const std::string& line) {
    if (OnCommand) OnCommand(this, line);
    commands_ += line;
    commands_ += "\r\n";
}

void THttpClient::SendRequest() {
    THttpRequestFields f;
    f.Method = "GET";
    f.RequestPath = RequestPath;
    f.Sender = Sender;
    f.Accept = Accept;
    f.Reference = Reference;
    f.Agent = Agent;
    f.HostHeader = HostHeader;
    f.NoCache = NoCache;
    f.ModifiedSince = ModifiedSince;
    f.Username = authUser_;
    f.Password = authPassword_;
    f.ViaProxy = target_.ViaProxy();
    f.ProxyUsername = ProxyUsername;
    f.ProxyPassword = ProxyPassword;
    f.Cookie = Cookie;
    f.RangeBegin = ContentRangeBegin;
    f.RangeEnd = ContentRangeEnd;
    std::vector<std::string> lines;
    if (!BuildHttpRequest(f, lines)) {
        AbortWith(httpErrBadUrl, "Invalid request");
        return;
    }
    ContentRangeBegin.clear();
    ContentRangeEnd.clear();
    commands_.clear();
    if (OnRequestHeaderBegin) OnRequestHeaderBegin(this);
    for (const auto& line : lines)
        SendLine(line);
    AcceptRanges.clear();
    if (OnRequestHeaderEnd) OnRequestHeaderEnd(this);
    SendLine("");
    std::string data;
    data.swap(commands_);
    if (state_ == hsAwaitHeader) conn_->Send(data);
}

void THttpClient::NewParser() {
    parser_ = std::make_unique<THttpReplyParser>();
    auto* p = parser_.get();
    auto stopped = [this, p] {
        if (state_ == hsIdle || state_ == hsAborting) p->Fail(httpErrAborted, StatusText);
    };
    p->OnHeaderBegin = [this, stopped] {
        if (OnHeaderBegin) OnHeaderBegin(this);
        stopped();
    };
    p->OnHeaderData = [this, stopped](const std::string&) {
        CopyReply();
        if (OnHeaderData) OnHeaderData(this);
        stopped();
    };
    p->OnCookie = [this](const std::string& value) {
        bool accept = true;
        if (OnCookie) OnCookie(this, value, accept);
    };
    p->OnHeaderEnd = [this, p, stopped] {
        CopyReply();
        if (!p->Redirecting) {
            // A program sent as an HTML page is an error page: name it so.
            const auto dot = DocFileName.rfind('.');
            if (dot != std::string::npos && Lower(DocFileName.substr(dot)) == ".exe" &&
                DocType == "text/html")
                DocFileName = DocFileName.substr(0, dot) + ".htm";
            SetState(hsBody);
        }
        Redirecting = p->Redirecting;
        if (OnHeaderEnd) OnHeaderEnd(this);
        stopped();
    };
    p->OnBody = [this, stopped](const char* data, size_t len) {
        if (bodyChunks_++ == 0 && OnDocBegin) OnDocBegin(this);
        BytesReceived += static_cast<int>(len);
        if (ResponseStream) ResponseStream->write(data, static_cast<std::streamsize>(len));
        if (OnDocData) OnDocData(this, data, static_cast<int>(len));
        stopped();
    };
}

void THttpClient::CopyReply() {
    Status = parser_->Status;
    StatusText = parser_->StatusText;
    DocLength = parser_->DocLength;
    DocType = parser_->DocType;
    HeaderLines = parser_->HeaderLines;
    AuthHeaders = parser_->AuthHeaders;
    AcceptRanges = parser_->AcceptRanges;
    if (!parser_->ContentRangeBegin.empty() || !parser_->ContentRangeEnd.empty()) {
        ContentRangeBegin = parser_->ContentRangeBegin;
        ContentRangeEnd = parser_->ContentRangeEnd;
    }
}

void THttpClient::DataAvailable(uint16_t) {
    char buffer[HttpLineBufferSize];
    while (true) {
        const int n = conn_->Receive(buffer, sizeof buffer);
        if (n <= 0) return;
        if (state_ != hsAwaitHeader && state_ != hsBody)
            continue; // nothing more is wanted from this session
        RestartTimer();
        parser_->Feed(buffer, static_cast<size_t>(n));
        AfterFeed();
    }
}

void THttpClient::AfterFeed() {
    if (state_ != hsAwaitHeader && state_ != hsBody) return;
    switch (parser_->Phase()) {
    case THttpReplyParser::TPhase::Failed:
        AbortWith(parser_->Error, parser_->ErrorText);
        break;
    case THttpReplyParser::TPhase::Done:
        CopyReply();
        if (parser_->Redirecting)
            FollowRedirect();
        else {
            conn_->Close(); // complete, or the server reported an error
            if (!sessionEnded_) Closed(0);
        }
        break;
    default:
        break;
    }
}

void THttpClient::FollowRedirect() {
    if (++redirects_ > MaxRedirects) {
        AbortWith(httpErrTooManyRedirects, "Too many redirects");
        return;
    }
    bool sameOrigin = true;
    std::string error;
    if (!ApplyRedirect(target_, parser_->Location, sameOrigin, error)) {
        AbortWith(httpErrBadUrl, error);
        return;
    }
    if (!sameOrigin) {
        // The user's password is for the host it was given for.
        authUser_.clear();
        authPassword_.clear();
    }
    CurrentUrl = target_.Absolute();
    RequestPath = target_.RequestPath();
    HostHeader = target_.HostHeader();
    ConnectHost = target_.ConnectHost();
    ConnectPort = target_.ConnectPort();
    Redirecting = true;
    closeForRedirect_ = true;
    conn_->Close();
    if (!sessionEnded_) Closed(0);
}

void THttpClient::RedirectClosed() {
    IsConnected = false;
    Redirecting = false;
    closeForRedirect_ = false;
    if (OnLocationChange) OnLocationChange(this);
    Post([this, serial = serial_] {
        if (serial == serial_ && (state_ == hsAwaitHeader || state_ == hsBody)) StartLookup();
    });
}

void THttpClient::Fail(uint16_t error, const std::string& text) {
    if (failed_) return;
    failed_ = true;
    DoneError = error;
    Status = 404;
    StatusText = text;
}

void THttpClient::AbortWith(uint16_t error, const std::string& text) {
    const THttpState was = state_;
    SetState(hsAborting);
    if (was == hsResolving) {
        try {
            conn_->CancelDnsLookup();
        } catch (...) {
            // Aborting anyway: a look-up that cannot be cancelled answers a request already gone.
        }
    }
    closeForRedirect_ = false;
    Fail(error, text);
    if (!conn_->IsClosed()) conn_->Close();
    if (!sessionEnded_) Closed(0);
    SetState(hsIdle);
}

void THttpClient::AbortRequest() {
    if (state_ == hsIdle) {
        if (!conn_->IsClosed()) conn_->Close();
        return;
    }
    if (state_ == hsAborting) return;
    AbortWith(httpErrAborted, "Connection aborted on request");
}

void THttpClient::Closed(uint16_t error) {
    if (sessionEnded_) return;
    sessionEnded_ = true;
    IsConnected = false;
    if (closeForRedirect_) {
        RedirectClosed();
        return;
    }
    if (!failed_ && state_ != hsAborting) {
        const bool complete = parser_->Phase() == THttpReplyParser::TPhase::Done;
        if (!complete && error != 0) {
            // Reset by the peer: what arrived cannot be trusted to be all.
            Fail(error, conn_->ErrorText(error) + " (Error #" + std::to_string(error) + ")");
        } else {
            parser_->Finish();
            if (parser_->Phase() == THttpReplyParser::TPhase::Failed)
                Fail(parser_->Error, parser_->ErrorText);
            else
                CopyReply();
        }
    }
    if (bodyChunks_ > 0 && OnDocEnd) OnDocEnd(this);
    Post([this, serial = serial_] {
        if (serial == serial_) SetState(hsIdle);
    });
}
