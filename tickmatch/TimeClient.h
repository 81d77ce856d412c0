// The time-protocol client: asks one server for the time over TIME or
// DAYTIME (TCP) or SNTP (UDP) and reports the decoded reply. It sets no clock.
#pragma once

#include "platform/rtl/SysUtils.h"
#include "tickmatch/TimeProtocol.h"

#include <QObject>
#include <functional>
#include <memory>
#include <string>

class QTcpSocket;
class QUdpSocket;
class QHostInfo;

class TWSTimeClient : public QObject {
    Q_OBJECT
public:
    explicit TWSTimeClient(QObject* owner = nullptr);
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

    void RequestTime();
    void RequestDayTime();
    void RequestNTPTime();
    // Drops the connection; nothing is reported afterwards.
    void Abort();

private:
    void RequestStream(uint16_t port, tickmatch::TReplyCollector::TKind kind);
    void StreamData();
    void StreamClosed();
    void DatagramData();
    void SendDatagram(const QHostInfo& host, uint16_t port);
    void Fail(const std::string& message);

    std::unique_ptr<QTcpSocket> Stream;
    std::unique_ptr<QUdpSocket> Datagram;
    std::unique_ptr<tickmatch::TReplyCollector> Collector;
    // The SNTP request in flight: where it went and what it carried.
    std::string ServerAddress;
    uint16_t ServerPort = 0;
    tickmatch::TNtpTimestamp Sent;
    TDateTime SentAt = 0;
    tickmatch::TReplyCollector::TKind StreamKind = tickmatch::TReplyCollector::TKind::Time;
    int LookupId = -1;
    bool Done = true;
};
