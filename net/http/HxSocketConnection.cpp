#include "net/http/HxSocketConnection.h"

#include "net/HXSocket.h"

THxSocketConnection::THxSocketConnection() : socket_(std::make_unique<THXSocket>()) {
    socket_->OnDnsLookupDone = [this](TCustomHXSocket*, uint16_t e) {
        if (OnDnsLookupDone) OnDnsLookupDone(e);
    };
    socket_->OnSessionConnected = [this](TCustomHXSocket*, uint16_t e) {
        if (OnSessionConnected) OnSessionConnected(e);
    };
    socket_->OnSessionClosed = [this](TCustomHXSocket*, uint16_t e) {
        if (OnSessionClosed) OnSessionClosed(e);
    };
    socket_->OnDataAvailable = [this](TCustomHXSocket*, uint16_t e) {
        if (OnDataAvailable) OnDataAvailable(e);
    };
}

THxSocketConnection::~THxSocketConnection() {
    // No event reaches the client while the socket goes away.
    socket_->OnDnsLookupDone = nullptr;
    socket_->OnSessionConnected = nullptr;
    socket_->OnSessionClosed = nullptr;
    socket_->OnDataAvailable = nullptr;
}

void THxSocketConnection::DnsLookup(const std::string& host) {
    socket_->DnsLookup(host);
}

void THxSocketConnection::CancelDnsLookup() {
    socket_->CancelDnsLookup();
}

std::string THxSocketConnection::DnsResult() const {
    return socket_->DnsResult();
}

void THxSocketConnection::Connect(const std::string& addr, const std::string& port) {
    socket_->SetAddr(addr);
    socket_->SetPort(port);
    socket_->SetProto("tcp");
    socket_->Connect();
}

int THxSocketConnection::LastError() const {
    return socket_->LastError();
}

void THxSocketConnection::Send(const std::string& data) {
    socket_->Send(data.data(), static_cast<int>(data.size()));
}

int THxSocketConnection::Receive(char* buffer, int size) {
    if (socket_->State() != wsConnected) return -1;
    return socket_->Receive(buffer, size);
}

void THxSocketConnection::Close() {
    socket_->Close();
}

bool THxSocketConnection::IsClosed() const {
    return socket_->State() == wsClosed;
}

void THxSocketConnection::SetMultiThreaded(bool value) {
    socket_->MultiThreaded = value;
}

std::string THxSocketConnection::ErrorText(int code) const {
    return WSocketErrorDesc(code);
}
