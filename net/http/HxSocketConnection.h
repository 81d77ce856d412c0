// The HTTP client's connection over the suite's socket component.
#pragma once

#include <memory>

#include "net/http/HttpClient.h"

class THXSocket;

class THxSocketConnection : public IHttpConnection {
public:
    THxSocketConnection();
    ~THxSocketConnection() override;

    void DnsLookup(const std::string& host) override;
    void CancelDnsLookup() override;
    std::string DnsResult() const override;
    void Connect(const std::string& addr, const std::string& port) override;
    int LastError() const override;
    void Send(const std::string& data) override;
    int Receive(char* buffer, int size) override;
    void Close() override;
    bool IsClosed() const override;
    void SetMultiThreaded(bool value) override;
    std::string ErrorText(int code) const override;

    THXSocket& Socket() { return *socket_; }

private:
    std::unique_ptr<THXSocket> socket_;
};
