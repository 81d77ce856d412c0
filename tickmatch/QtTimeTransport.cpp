#include "tickmatch/TimeTransport.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkDatagram>
#include <QObject>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {

class TQtTimeTransport : public TTimeTransport {
public:
    ~TQtTimeTransport() override { Abort(); }

    void OpenStream(const std::string& host, uint16_t port) override {
        Abort();
        Stream = new QTcpSocket;
        QObject::connect(Stream, &QTcpSocket::readyRead, Stream, [this] {
            QByteArray data = Stream->readAll();
            if (OnData && !data.isEmpty())
                OnData(std::string(data.constData(), std::size_t(data.size())));
        });
        QObject::connect(Stream, &QTcpSocket::disconnected, Stream, [this] { Closed(); });
        QObject::connect(Stream, &QTcpSocket::errorOccurred, Stream,
                         [this](QAbstractSocket::SocketError error) {
                             if (error == QAbstractSocket::RemoteHostClosedError)
                                 Closed();
                             else
                                 Failed(Stream->errorString().toStdString());
                         });
        Stream->connectToHost(QString::fromStdString(host), port);
    }

    void OpenDatagram(const std::string& host, uint16_t port) override {
        Abort();
        Port = port;
        LookupId =
            QHostInfo::lookupHost(QString::fromStdString(host), [this](const QHostInfo& info) {
                LookupId = -1;
                Resolved(info);
            });
    }

    void SendDatagram(const std::string& data) override {
        if (!Datagram) return;
        if (Datagram->writeDatagram(data.data(), qint64(data.size()), Address, Port) !=
            qint64(data.size()))
            Failed(Datagram->errorString().toStdString());
    }

    void Abort() override {
        if (LookupId >= 0) QHostInfo::abortHostLookup(LookupId);
        LookupId = -1;
        // Deleted later: Abort may run inside one of the socket's own signals.
        if (Stream) {
            Stream->disconnect();
            Stream->abort();
            Stream->deleteLater();
            Stream = nullptr;
        }
        if (Datagram) {
            Datagram->disconnect();
            Datagram->abort();
            Datagram->deleteLater();
            Datagram = nullptr;
        }
    }

private:
    void Closed() {
        if (!Stream) return;
        QByteArray rest = Stream->readAll();
        if (OnData && !rest.isEmpty())
            OnData(std::string(rest.constData(), std::size_t(rest.size())));
        if (Stream && OnClosed) OnClosed();
    }

    void Failed(const std::string& message) {
        Abort();
        if (OnFailure) OnFailure(message);
    }

    void Resolved(const QHostInfo& info) {
        Address = QHostAddress();
        for (const QHostAddress& a : info.addresses())
            if (a.protocol() == QAbstractSocket::IPv4Protocol) {
                Address = a;
                break;
            }
        if (Address.isNull()) {
            Failed("Host not found");
            return;
        }
        Datagram = new QUdpSocket;
        if (!Datagram->bind(QHostAddress::AnyIPv4, 0)) {
            Failed(Datagram->errorString().toStdString());
            return;
        }
        QObject::connect(Datagram, &QUdpSocket::readyRead, Datagram, [this] {
            while (Datagram && Datagram->hasPendingDatagrams()) {
                QNetworkDatagram d = Datagram->receiveDatagram(2048);
                QByteArray data = d.data();
                if (OnDatagram)
                    OnDatagram(
                        std::string(data.constData(), std::size_t(data.size())),
                        QHostAddress(d.senderAddress().toIPv4Address()).toString().toStdString(),
                        uint16_t(d.senderPort()));
            }
        });
        if (OnDatagramReady) OnDatagramReady(Address.toString().toStdString());
    }

    QTcpSocket* Stream = nullptr;
    QUdpSocket* Datagram = nullptr;
    QHostAddress Address;
    uint16_t Port = 0;
    int LookupId = -1;
};

} // namespace

std::unique_ptr<TTimeTransport> CreateQtTimeTransport() {
    return std::make_unique<TQtTimeTransport>();
}
