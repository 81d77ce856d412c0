#include "tickmatch/TimeClient.h"

using tickmatch::TReplyCollector;

TWSTimeClient::TWSTimeClient(QObject* owner, std::unique_ptr<TTimeTransport> transport)
    : QObject(owner), Transport(std::move(transport)) {
    Transport->OnData = [this](const std::string& data) { StreamData(data); };
    Transport->OnClosed = [this] { StreamClosed(); };
    Transport->OnDatagramReady = [this](const std::string& address) { DatagramReady(address); };
    Transport->OnDatagram = [this](const std::string& data, const std::string& from,
                                   uint16_t port) { Datagram(data, from, port); };
    Transport->OnFailure = [this](const std::string& message) { Fail(message); };
}

TWSTimeClient::~TWSTimeClient() {
    Abort();
}

void TWSTimeClient::Finish() {
    Request = TRequest::None;
    Collector.reset();
    Transport->Abort();
}

void TWSTimeClient::Abort() {
    Finish();
}

void TWSTimeClient::Fail(const std::string& message) {
    if (Request == TRequest::None) return;
    Finish();
    if (OnError) OnError(this, message);
}

void TWSTimeClient::RequestTime() {
    RequestStream(TRequest::Time, PortOverride ? PortOverride : tickmatch::TimePort);
}

void TWSTimeClient::RequestDayTime() {
    RequestStream(TRequest::Daytime, PortOverride ? PortOverride : tickmatch::DaytimePort);
}

void TWSTimeClient::RequestStream(TRequest request, uint16_t port) {
    Finish();
    Request = request;
    Collector = std::make_unique<TReplyCollector>(
        request == TRequest::Time ? TReplyCollector::TKind::Time : TReplyCollector::TKind::Daytime);
    // The request of TIME and DAYTIME is the connection itself.
    Transport->OpenStream(Addr, port);
}

void TWSTimeClient::StreamData(const std::string& data) {
    if (!Collector) return;
    Collector->Add(data.data(), data.size());
    if (!Collector->Complete()) return;
    // The decode follows the protocol asked for, whatever the port.
    std::string reply = Collector->Reply();
    TRequest request = Request;
    Finish();
    if (request == TRequest::Time) {
        if (OnTime) OnTime(this, *tickmatch::DecodeTimeReply(reply));
    } else if (OnDayTime) {
        OnDayTime(this, reply);
    }
}

void TWSTimeClient::StreamClosed() {
    if (!Collector) return;
    Collector->Closed();
    if (Collector->Complete() && !Collector->Reply().empty())
        StreamData({});
    else
        Fail("The server closed the connection without a reply");
}

void TWSTimeClient::RequestNTPTime() {
    Finish();
    Request = TRequest::Ntp;
    ServerPort = PortOverride ? PortOverride : tickmatch::NtpPort;
    Transport->OpenDatagram(Addr, ServerPort);
}

void TWSTimeClient::DatagramReady(const std::string& address) {
    if (Request != TRequest::Ntp) return;
    ServerAddress = address;
    SentAt = NowUTC();
    Sent = tickmatch::DateTimeToNtp(SentAt);
    auto packet = tickmatch::BuildSntpRequest(Sent);
    Transport->SendDatagram(std::string(packet.begin(), packet.end()));
}

void TWSTimeClient::Datagram(const std::string& data, const std::string& fromAddr,
                             uint16_t fromPort) {
    if (Request != TRequest::Ntp) return;
    TDateTime receivedAt = NowUTC();
    // Only the server asked may answer, and only this request.
    if (fromAddr != ServerAddress || fromPort != ServerPort) return;
    auto reply = tickmatch::DecodeSntpReply(data, Sent);
    if (!reply) return;
    TDateTime serverNow = tickmatch::SntpServerTimeAt(*reply, SentAt, receivedAt);
    long double raw = (long double)(reply->Transmit - tickmatch::Epoch1900) * 86400.0L;
    Finish();
    if (OnNTPTime) OnNTPTime(this, serverNow, raw);
}
