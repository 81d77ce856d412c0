// The time client's sockets as THXSocketExt.
#include "tickmatch/HXSocketExt.h"
#include "tickmatch/TimeTransport.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace {

class THXTimeTransport : public TTimeTransport {
public:
    THXTimeTransport() {
        Socket.PreserveSettings = true;
        Socket.OnReceiveBuffer = [this](THXSocketExt*, const char* buf, int32_t count,
                                        const std::string& from, uint16_t port) {
            std::string data(buf, std::size_t(count));
            if (Datagram) {
                if (OnDatagram) OnDatagram(data, from, port);
            } else if (OnData) {
                OnData(data);
            }
        };
        Socket.OnSessionConnected = [this](TCustomHXSocket*, uint16_t error) {
            if (error != 0) Failed(WSocketErrorDesc(error));
        };
        Socket.OnSessionClosed = [this](TCustomHXSocket*, uint16_t error) {
            if (!Active) return;
            if (error != 0)
                Failed(WSocketErrorDesc(error));
            else if (!Datagram && OnClosed)
                OnClosed();
        };
        Socket.OnError = [this](TCustomHXSocket*) { Failed(WSocketErrorDesc(Socket.LastError())); };
    }
    ~THXTimeTransport() override {
        Active = false;
        Socket.OnSessionClosed = nullptr;
        Socket.OnReceiveBuffer = nullptr;
    }

    void OpenStream(const std::string& host, uint16_t port) override {
        Abort();
        Active = true;
        Datagram = false;
        try {
            Socket.SetProto("tcp");
            Socket.SetAddr(host);
            Socket.SetPortNumber(port);
            // The request of TIME and DAYTIME is the connection itself.
            Socket.Connect();
        } catch (const Exception& e) {
            Failed(e.Message);
        }
    }

    void OpenDatagram(const std::string& host, uint16_t port) override {
        Abort();
        Active = true;
        Datagram = true;
        try {
            in_addr a{};
            a.s_addr = HXSocketResolveHost(host);
            char dotted[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &a, dotted, sizeof dotted);
            Socket.SetProto("udp");
            Socket.SetAddr(dotted);
            Socket.SetPortNumber(port);
            Socket.Connect();
            if (Active && OnDatagramReady) OnDatagramReady(dotted);
        } catch (const Exception& e) {
            Failed(e.Message);
        }
    }

    void SendDatagram(const std::string& data) override {
        if (!Active) return;
        try {
            if (Socket.SendTo(data.data(), int(data.size()), 0, std::string()) != int(data.size()))
                Failed(WSocketErrorDesc(Socket.LastError()));
        } catch (const Exception& e) {
            Failed(e.Message);
        }
    }

    void Abort() override {
        Active = false;
        if (Socket.State() != wsClosed) {
            try {
                Socket.Abort();
            } catch (const Exception&) {
                // Already gone is as good as aborted.
            }
        }
    }

private:
    void Failed(const std::string& message) {
        if (!Active) return;
        Abort();
        if (OnFailure) OnFailure(message);
    }

    THXSocketExt Socket;
    bool Active = false;
    bool Datagram = false;
};

} // namespace

std::unique_ptr<TTimeTransport> CreateHXTimeTransport() {
    return std::make_unique<THXTimeTransport>();
}
