// A connection for the client tests over Qt's own TCP socket.
#pragma once

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include "net/http/HttpClient.h"

class TQtTestConnection : public IHttpConnection {
public:
    TQtTestConnection() {
        QObject::connect(&socket_, &QTcpSocket::connected, [this] {
            open_ = true;
            if (OnSessionConnected) OnSessionConnected(0);
        });
        QObject::connect(&socket_, &QTcpSocket::readyRead, [this] {
            if (OnDataAvailable) OnDataAvailable(0);
        });
        QObject::connect(&socket_, &QTcpSocket::errorOccurred, [this](auto e) {
            const int code = e == QAbstractSocket::ConnectionRefusedError  ? 10061
                             : e == QAbstractSocket::RemoteHostClosedError ? 0
                                                                           : 10054;
            if (!open_) {
                if (connecting_) {
                    connecting_ = false;
                    if (OnSessionConnected) OnSessionConnected(static_cast<uint16_t>(code));
                }
                return;
            }
            EndSession(static_cast<uint16_t>(code));
        });
        QObject::connect(&socket_, &QTcpSocket::disconnected, [this] { EndSession(0); });
    }
    void DnsLookup(const std::string& host) override {
        QHostAddress a;
        if (a.setAddress(QString::fromStdString(host))) {
            dns_ = host;
            if (OnDnsLookupDone) OnDnsLookupDone(0);
            return;
        }
        QTimer::singleShot(0, [this] {
            if (OnDnsLookupDone) OnDnsLookupDone(11001);
        });
    }
    void CancelDnsLookup() override {}
    std::string DnsResult() const override { return dns_; }
    void Connect(const std::string& addr, const std::string& port) override {
        connecting_ = true;
        socket_.connectToHost(QString::fromStdString(addr), static_cast<quint16>(std::stoi(port)));
    }
    int LastError() const override { return 0; }
    void Send(const std::string& data) override { socket_.write(data.data(), data.size()); }
    int Receive(char* buffer, int size) override {
        if (!open_ && socket_.bytesAvailable() == 0) return -1;
        return static_cast<int>(socket_.read(buffer, size));
    }
    void Close() override {
        if (!open_) return;
        // Read what is left first, as the socket component does on close.
        EndSession(0);
    }
    bool IsClosed() const override { return !open_; }
    std::string ErrorText(int code) const override {
        switch (code) {
        case 10054:
            return "Connection reset by peer";
        case 10060:
            return "Connection timed out";
        case 10061:
            return "Connection refused";
        case 11001:
            return "Host not found";
        default:
            return "Not a WinSock error";
        }
    }

private:
    void EndSession(uint16_t error) {
        if (!open_) return;
        if (error == 0 && socket_.bytesAvailable() > 0 && OnDataAvailable) OnDataAvailable(0);
        if (!open_) return;
        open_ = false;
        socket_.abort();
        if (OnSessionClosed) OnSessionClosed(error);
    }
    QTcpSocket socket_;
    std::string dns_;
    bool open_ = false;
    bool connecting_ = false;
};
