#include "tickmatch/TimeClient.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QUdpSocket>

using tickmatch::TReplyCollector;

TWSTimeClient::TWSTimeClient(QObject* owner) : QObject(owner) {}

TWSTimeClient::~TWSTimeClient() {
    Abort();
}

void TWSTimeClient::Abort() {
    Done = true;
    if (LookupId >= 0) QHostInfo::abortHostLookup(LookupId);
    LookupId = -1;
    if (Stream) {
        Stream->disconnect(this);
        Stream->abort();
        Stream.release()->deleteLater();
    }
    if (Datagram) {
        Datagram->disconnect(this);
        Datagram->abort();
        Datagram.release()->deleteLater();
    }
    Collector.reset();
}

void TWSTimeClient::Fail(const std::string& message) {
    if (Done) return;
    Abort();
    if (OnError) OnError(this, message);
}

void TWSTimeClient::RequestTime() {
    RequestStream(PortOverride ? PortOverride : tickmatch::TimePort, TReplyCollector::TKind::Time);
}

void TWSTimeClient::RequestDayTime() {
    RequestStream(PortOverride ? PortOverride : tickmatch::DaytimePort,
                  TReplyCollector::TKind::Daytime);
}

void TWSTimeClient::RequestStream(uint16_t port, TReplyCollector::TKind kind) {
    Abort();
    Done = false;
    StreamKind = kind;
    Collector = std::make_unique<TReplyCollector>(kind);
    Stream = std::make_unique<QTcpSocket>();
    connect(Stream.get(), &QTcpSocket::readyRead, this, &TWSTimeClient::StreamData);
    connect(Stream.get(), &QTcpSocket::disconnected, this, &TWSTimeClient::StreamClosed);
    connect(Stream.get(), &QTcpSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError)
                    StreamClosed();
                else if (Stream)
                    Fail(Stream->errorString().toStdString());
            });
    // The request of TIME and DAYTIME is the connection itself.
    Stream->connectToHost(QString::fromStdString(Addr), port);
}

void TWSTimeClient::StreamData() {
    if (Done || !Stream || !Collector) return;
    QByteArray data = Stream->readAll();
    Collector->Add(data.constData(), std::size_t(data.size()));
    if (!Collector->Complete()) return;
    // The decode follows the protocol asked for, whatever the port.
    std::string reply = Collector->Reply();
    auto kind = StreamKind;
    Abort();
    if (kind == TReplyCollector::TKind::Time) {
        if (OnTime) OnTime(this, *tickmatch::DecodeTimeReply(reply));
    } else if (OnDayTime) {
        OnDayTime(this, reply);
    }
}

void TWSTimeClient::StreamClosed() {
    if (Done || !Stream || !Collector) return;
    QByteArray rest = Stream->readAll();
    Collector->Add(rest.constData(), std::size_t(rest.size()));
    Collector->Closed();
    if (Collector->Complete() && !Collector->Reply().empty())
        StreamData();
    else
        Fail("The server closed the connection without a reply");
}

void TWSTimeClient::RequestNTPTime() {
    Abort();
    Done = false;
    uint16_t port = PortOverride ? PortOverride : tickmatch::NtpPort;
    LookupId = QHostInfo::lookupHost(QString::fromStdString(Addr), this,
                                     [this, port](const QHostInfo& host) {
                                         LookupId = -1;
                                         SendDatagram(host, port);
                                     });
}

void TWSTimeClient::SendDatagram(const QHostInfo& host, uint16_t port) {
    if (Done) return;
    QHostAddress address;
    for (const QHostAddress& a : host.addresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            address = a;
            break;
        }
    if (address.isNull()) {
        Fail("Host not found");
        return;
    }
    Datagram = std::make_unique<QUdpSocket>();
    connect(Datagram.get(), &QUdpSocket::readyRead, this, &TWSTimeClient::DatagramData);
    if (!Datagram->bind(QHostAddress::AnyIPv4, 0)) {
        Fail(Datagram->errorString().toStdString());
        return;
    }
    ServerAddress = address.toString().toStdString();
    ServerPort = port;
    SentAt = NowUTC();
    Sent = tickmatch::DateTimeToNtp(SentAt);
    auto packet = tickmatch::BuildSntpRequest(Sent);
    if (Datagram->writeDatagram(reinterpret_cast<const char*>(packet.data()), qint64(packet.size()),
                                address, port) != qint64(packet.size()))
        Fail(Datagram->errorString().toStdString());
}

void TWSTimeClient::DatagramData() {
    while (!Done && Datagram && Datagram->hasPendingDatagrams()) {
        QNetworkDatagram d = Datagram->receiveDatagram(2048);
        TDateTime receivedAt = NowUTC();
        // Only the server asked may answer, and only this request.
        QHostAddress from(d.senderAddress().toIPv4Address());
        if (from.toString().toStdString() != ServerAddress || d.senderPort() != ServerPort)
            continue;
        QByteArray data = d.data();
        auto reply =
            tickmatch::DecodeSntpReply(std::string(data.constData(), size_t(data.size())), Sent);
        if (!reply) continue;
        TDateTime serverNow = tickmatch::SntpServerTimeAt(*reply, SentAt, receivedAt);
        long double raw = (long double)(reply->Transmit - tickmatch::Epoch1900) * 86400.0L;
        Abort();
        if (OnNTPTime) OnNTPTime(this, serverNow, raw);
    }
}
