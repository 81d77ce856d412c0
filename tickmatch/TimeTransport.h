// The sockets under the time client, behind a small interface so the client's
// protocol rules can be driven by a script in tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TTimeTransport {
public:
    virtual ~TTimeTransport() = default;

    // A stream connection to host:port; its bytes go to OnData, its end to
    // OnClosed.
    virtual void OpenStream(const std::string& host, uint16_t port) = 0;
    // Resolves host and opens a datagram socket for it; OnDatagramReady then
    // gives the address (dotted) that datagrams go to.
    virtual void OpenDatagram(const std::string& host, uint16_t port) = 0;
    // One datagram to the address of OpenDatagram.
    virtual void SendDatagram(const std::string& data) = 0;
    // Drops everything; nothing is reported afterwards.
    virtual void Abort() = 0;

    std::function<void(const std::string& data)> OnData;
    std::function<void()> OnClosed;
    std::function<void(const std::string& address)> OnDatagramReady;
    std::function<void(const std::string& data, const std::string& fromAddr, uint16_t fromPort)>
        OnDatagram;
    // Resolve, connect, send or receive failed.
    std::function<void(const std::string& message)> OnFailure;
};

// Over the suite's socket component, THXSocket (as THXSocketExt).
std::unique_ptr<TTimeTransport> CreateHXTimeTransport();
