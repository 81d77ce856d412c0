// THXSocket with a numeric port, settings that survive the reset after a
// close, whole-block receive that names the sender, and a send-to.
#pragma once

#include "net/HXSocket.h"

#include <cstdint>
#include <functional>
#include <string>

class THXSocketExt;

using TReceiveBufferEvent = std::function<void(THXSocketExt* Sender, const char* Buf, int32_t Count,
                                               const std::string& FromAddr, uint16_t FromPort)>;

class THXSocketExt : public THXSocket {
public:
    THXSocketExt() = default;

    // Port as a number; 0 when Port is not a decimal number (a service name).
    uint16_t PortNumber() const;
    void SetPortNumber(uint16_t value);

    // When true, Proto, Addr and Port survive the reset that follows a close.
    bool PreserveSettings = false;
    // Every block read when data arrives, with its sender.
    TReceiveBufferEvent OnReceiveBuffer;

    // A datagram socket also hears the peer's refusals (ICMP errors).
    void Connect() override;
    void Close() override;
    using THXSocket::SendTo;
    // One datagram to Address:Port, or, with an empty Address, to Addr and
    // PortNumber. The result of the send.
    virtual int SendTo(const void* Buf, int Len, uint16_t Port, const std::string& Address);

protected:
    void ResetToDefaults() override;
    bool HandleDataAvailable(uint16_t error) override;
    virtual void TriggerReceiveBuffer(const char* Buf, int32_t Count, const std::string& FromAddr,
                                      uint16_t FromPort);
    // What is waiting, read whole; the sender's port in host order.
    void ReceiveBlock(std::string& Buf, std::string& FromAddr, uint16_t& FromPort);
};
