// The time-protocol client: asks one server for the time over TIME or
// DAYTIME (TCP) or SNTP (UDP) and reports the decoded reply. It sets no clock.
#pragma once

#include "platform/rtl/SysUtils.h"
#include "tickmatch/TimeProtocol.h"
#include "tickmatch/TimeTransport.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class TWSTimeClient : public QObject {
    Q_OBJECT
public:
    explicit TWSTimeClient(QObject* owner = nullptr,
                           std::unique_ptr<TTimeTransport> transport = CreateHXTimeTransport());
    ~TWSTimeClient() override;

    // The server: a host name or dotted address.
    std::string Addr;
    // Tests only: a port to use instead of the service's own.
    uint16_t PortOverride = 0;

    // TIME: the server's time (UTC), exact to the second.
    std::function<void(TWSTimeClient* sender, TDateTime dateTime)> OnTime;
    // DAYTIME: the reply text up to its first line end, unchanged.
    std::function<void(TWSTimeClient* sender, const std::string& dateTime)> OnDayTime;
    // SNTP: the server's time at the moment the reply arrived (UTC), and its
    // transmit time in seconds since 1900.
    std::function<void(TWSTimeClient* sender, TDateTime dateTime, long double rawTime)> OnNTPTime;
    // The server could not be reached, refused, or closed without a reply.
    std::function<void(TWSTimeClient* sender, const std::string& message)> OnError;

    // Each starts one request, dropping any other; one of the events follows.
    void RequestTime();
    void RequestDayTime();
    void RequestNTPTime();
    // Drops the request; nothing is reported afterwards.
    void Abort();

private:
    enum class TRequest { None, Time, Daytime, Ntp };
    void RequestStream(TRequest request, uint16_t port);
    void StreamData(const std::string& data);
    void StreamClosed();
    void DatagramReady(const std::string& address);
    void Datagram(const std::string& data, const std::string& fromAddr, uint16_t fromPort);
    void Fail(const std::string& message);
    void Finish();

    std::unique_ptr<TTimeTransport> Transport;
    TRequest Request = TRequest::None;
    std::unique_ptr<tickmatch::TReplyCollector> Collector;
    // The SNTP request in flight: where it went and what it carried.
    std::string ServerAddress;
    uint16_t ServerPort = 0;
    tickmatch::TNtpTimestamp Sent;
    TDateTime SentAt = 0;
};
