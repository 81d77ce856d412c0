// The base socket over loopback: sessions, the send queue, closes, UDP,
// listening, look-ups, pausing, background exceptions and handlers that free
// their own socket.
#include "net/tests/harness.h"

#include <arpa/inet.h>
#include <cerrno>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using hxt::TPeer;
using hxt::TPeerConn;
using hxt::TRecorder;
using hxt::WaitUntil;
using Events = std::vector<std::string>;

namespace {

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

template <class F> std::string ErrorOf(F f) {
    try {
        f();
    } catch (ESocketException& e) {
        return e.Message;
    }
    return "(no exception)";
}

void Aim(TCustomHXSocket& s, uint16_t port, const std::string& proto = "tcp") {
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(port));
    s.SetProto(proto);
}

} // namespace

// ------------------------------------------------------------ sessions

TEST(Session, ConnectSendReceiveCloseInOrder) {
    const std::string reply = Pattern(3000);
    std::string gotByPeer;
    TPeer peer(
        [&](TPeerConn& c) {
            gotByPeer = c.Recv(6);
            c.Send(reply, 97); // split at random points
            c.WaitEof();
        },
        1, 42);
    THXSocket s;
    TRecorder rec;
    rec.Hook(s, true);
    std::string got;
    bool inSend = false;
    s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t e) {
        rec.Add("Connected " + std::to_string(e));
        inSend = true;
        EXPECT_EQ(x->SendStr("ping\r\n"), 6);
        inSend = false;
    };
    s.OnDataSent = [&](TCustomHXSocket*, uint16_t e) {
        EXPECT_FALSE(inSend) << "OnDataSent comes from the loop, after Send returned";
        rec.Add("DataSent " + std::to_string(e));
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        got += x->ReceiveStr();
        if (got.size() == reply.size()) x->Close();
    };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_TRUE(peer.Finish());
    EXPECT_EQ(gotByPeer, "ping\r\n");
    EXPECT_EQ(got, reply);
    EXPECT_EQ(rec.Events, (Events{"State 7>1", "State 1>3", "State 3>4", "Connected 0",
                                  "DataSent 0", "State 4>7", "Closed 0"}));
    EXPECT_EQ(s.State(), wsClosed);
}

TEST(Session, PeerCloseDeliversEverySplitThenClosedOnce) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::string data = Pattern(500);
        TPeer peer([&](TPeerConn& c) { c.Send(data, seed == 1 ? 1 : 13); }, 1, seed);
        THXSocket s;
        TRecorder rec;
        rec.Hook(s);
        std::string got;
        s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { got += x->ReceiveStr(); };
        Aim(s, peer.Port());
        s.Connect();
        ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
        hxt::Settle(30);
        EXPECT_EQ(got, data);
        EXPECT_EQ(s.ReadCount(), 0) << "reset after the close";
        EXPECT_EQ(rec.Events, (Events{"Connected 0", "Closed 0"}));
    }
}

TEST(Session, PeerResetGivesClosedWithResetCode) {
    TPeer peer([](TPeerConn& c) {
        c.Recv(1);
        c.Reset();
    });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t e) {
        rec.Add("Connected " + std::to_string(e));
        x->SendStr("x");
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { x->ReceiveStr(); };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_EQ(rec.Events, (Events{"Connected 0", "Closed 10054"}));
    EXPECT_EQ(s.State(), wsClosed);
}

TEST(Session, ConnectionRefusedReportsThroughConnectedThenCloses) {
    THXSocket s;
    TRecorder rec;
    rec.Hook(s, true);
    Aim(s, hxt::ClosedPort());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_EQ(rec.Events, (Events{"State 7>1", "State 1>3", "State 3>4", "Connected 10061",
                                  "State 4>7", "Closed 0"}));
}

TEST(Session, LargeSendResumesAfterTheQueueBlocks) {
    const std::string data = Pattern(24 * 1024 * 1024 + 333);
    std::string got;
    TPeer peer([&](TPeerConn& c) {
        // Reads late, so the client's kernel buffer fills and the queue blocks.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        got = c.RecvAll(30000);
    });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    int sent = 0, dataSent = 0;
    bool allSentAfterSend = true;
    s.OnSendData = [&](TCustomHXSocket*, int n) { sent += n; };
    s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t) {
        EXPECT_EQ(x->Send(data.data(), static_cast<int>(data.size())),
                  static_cast<int>(data.size()));
        allSentAfterSend = x->AllSent();
    };
    s.OnDataSent = [&](TCustomHXSocket* x, uint16_t e) {
        EXPECT_EQ(e, 0);
        ++dataSent;
        x->Close();
    };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }, 60000));
    ASSERT_TRUE(peer.Finish(60000));
    EXPECT_FALSE(allSentAfterSend) << "the queue must have blocked for this test to mean much";
    EXPECT_EQ(dataSent, 1);
    EXPECT_EQ(sent, static_cast<int>(data.size()));
    EXPECT_EQ(got.size(), data.size());
    EXPECT_TRUE(got == data);
}

TEST(Session, FlushSendsTheWholeQueue) {
    const std::string data = Pattern(8 * 1024 * 1024);
    std::string got;
    TPeer peer([&](TPeerConn& c) { got = c.RecvAll(30000); });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    s.Send(data.data(), static_cast<int>(data.size()));
    s.Flush();
    EXPECT_TRUE(s.AllSent());
    s.Close();
    ASSERT_TRUE(peer.Finish(60000));
    EXPECT_TRUE(got == data);
}

TEST(Session, SendBeforeConnectedFailsWithNotConnected) {
    TPeer peer([](TPeerConn& c) { c.WaitEof(); });
    THXSocket s;
    Aim(s, peer.Port());
    s.Connect();
    EXPECT_EQ(ErrorOf([&] { s.SendStr("x"); }),
              "Error 10057 in function Send\r\nSocket is not connected");
    EXPECT_EQ(s.LastError(), 10057);
    EXPECT_EQ(s.State(), wsClosed); // 10057 drops the handle
    EXPECT_EQ(s.Handle(), -1);
}

TEST(Session, ConnectWhileConnectedIsRefusedAndLeavesTheSession) {
    std::string got;
    TPeer peer([&](TPeerConn& c) { got = c.Recv(2); });
    THXSocket s;
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    EXPECT_EQ(ErrorOf([&] { s.Connect(); }), "Connect: Socket already in use");
    int errors = 0;
    s.OnError = [&](TCustomHXSocket*) { ++errors; };
    s.Connect(); // with OnError: only the event
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(s.State(), wsConnected);
    s.SendStr("ok");
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(got, "ok");
}

TEST(Session, DefaultsReturnAfterEveryClose) {
    TPeer peer([](TPeerConn& c) { c.WaitEof(); });
    THXSocket s;
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.SetProto("TCP");
    s.SetLocalAddr("127.0.0.1");
    s.LingerOnOff = wsLingerNoSet;
    s.LingerTimeout = 7;
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    EXPECT_EQ(ErrorOf([&] { s.SetPort("1"); }), "Cannot change Port if not closed");
    EXPECT_EQ(ErrorOf([&] { s.SetAddr("x"); }), "Cannot change Addr if not closed");
    EXPECT_EQ(ErrorOf([&] { s.SetProto("udp"); }), "Cannot change Proto if not closed");
    EXPECT_EQ(ErrorOf([&] { s.SetLocalAddr("127.0.0.1"); }),
              "Cannot change LocalAddr if not closed");
    EXPECT_EQ(ErrorOf([&] { s.SetLocalPort("1"); }), "Cannot change LocalPort if not closed");
    s.Close();
    EXPECT_EQ(s.Proto(), "tcp");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
    EXPECT_EQ(s.LingerOnOff, wsLingerOn);
    EXPECT_EQ(s.LingerTimeout, 0);
    EXPECT_EQ(s.Port(), peer.PortText()); // the text stays, but counts as unassigned
    EXPECT_EQ(ErrorOf([&] { s.Connect(); }), "Connect: No Port Specified");
    s.SetPort(peer.PortText());
    EXPECT_EQ(ErrorOf([&] { s.Connect(); }), "Connect: No IP Address Specified");
    s.SetProto("");
    s.SetAddr("127.0.0.1");
    EXPECT_EQ(ErrorOf([&] { s.Connect(); }), "Connect: No Protocol Specified");
}

TEST(Session, AbortClosesAtOnceAndDropsTheQueue) {
    bool eof = false;
    TPeer peer([&](TPeerConn& c) { eof = c.WaitEof(); });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    s.Abort();
    EXPECT_EQ(s.State(), wsClosed);
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(eof);
    EXPECT_EQ(rec.Events, (Events{"Connected 0", "Closed 0"}));
}

TEST(Session, PeerAddressAndLocalPort) {
    TPeer peer([](TPeerConn& c) { c.WaitEof(); });
    THXSocket s;
    EXPECT_EQ(s.PeerAddr(), "error");
    EXPECT_EQ(s.PeerPort(), "error");
    EXPECT_EQ(s.GetLocalPortText(), "error");
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    EXPECT_EQ(s.PeerAddr(), "127.0.0.1");
    EXPECT_EQ(s.PeerPort(), peer.PortText());
    EXPECT_NE(s.GetLocalPortText(), "error");
    sockaddr_in a{};
    EXPECT_EQ(s.GetPeerName(a, sizeof(a)), 0);
    EXPECT_EQ(ntohs(a.sin_port), peer.Port());
    s.Close();
}

// ------------------------------------------------------------ receiving

TEST(Receive, HandlerReadingNothingIsNotCalledInALoop) {
    TPeer peer([](TPeerConn& c) {
        c.Send("first");
        c.Recv(1); // the client asks for more
        c.Send("second");
        c.WaitEof();
    });
    THXSocket s;
    int calls = 0;
    s.OnDataAvailable = [&](TCustomHXSocket*, uint16_t) { ++calls; };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
    hxt::Settle(150);
    EXPECT_EQ(calls, 1) << "no new notice until the socket is read";
    std::string got = s.ReceiveStr();
    EXPECT_EQ(got, "first");
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { got += x->ReceiveStr(); };
    s.SendStr("m");
    ASSERT_TRUE(WaitUntil([&] { return got == "firstsecond"; }));
    s.Close();
}

TEST(Receive, PartialReaderIsCalledAgainUntilDrained) {
    const std::string data = Pattern(1000);
    TPeer peer([&](TPeerConn& c) {
        c.Send(data);
        c.WaitEof();
    });
    THXSocket s;
    std::string got;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        char b[3];
        int n = x->Receive(b, 3);
        if (n > 0) got.append(b, n);
    };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return got.size() == data.size(); }));
    EXPECT_EQ(got, data);
    EXPECT_EQ(s.ReadCount(), 1000);
    s.Close();
}

TEST(Receive, DataWithoutAHandlerIsThrownAway) {
    TPeer peer([](TPeerConn& c) { c.Send(Pattern(5000), 700); });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_EQ(rec.Events, (Events{"Connected 0", "Closed 0"}));
}

TEST(Receive, PauseHoldsNoticesUntilResume) {
    TPeer peer([](TPeerConn& c) {
        c.Send("held");
        c.WaitEof();
    });
    THXSocket s;
    std::string got;
    s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t) { x->Pause(); };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { got += x->ReceiveStr(); };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    hxt::Settle(150);
    EXPECT_TRUE(s.IsPaused());
    EXPECT_EQ(got, "");
    s.Resume();
    ASSERT_TRUE(WaitUntil([&] { return got == "held"; }));
    s.Close();
}

TEST(Receive, PausedSocketIgnoresAPeerCloseUntilResumed) {
    TPeer peer([](TPeerConn& c) { c.Send("bye"); });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    std::string got;
    s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t) {
        rec.Add("Connected");
        x->Pause();
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { got += x->ReceiveStr(); };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(peer.Finish());
    hxt::Settle(100);
    EXPECT_FALSE(rec.Closed);
    s.Resume();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_EQ(got, "bye");
    EXPECT_EQ(rec.Events, (Events{"Connected", "Closed 0"}));
}

// ------------------------------------------------------------ UDP

TEST(Udp, DatagramsBothWays) {
    hxt::TUdpPeer peer([](const std::string& d) { return "re:" + d; }, 2);
    THXSocket s;
    TRecorder rec;
    rec.Hook(s, true);
    std::vector<std::string> got;
    std::string fromAddr;
    int fromPort = 0;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        char b[256];
        sockaddr_in from{};
        int fl = sizeof(from);
        int n = x->ReceiveFrom(b, sizeof(b), from, fl);
        if (n >= 0) got.emplace_back(b, n);
        fromAddr = hxws::InetNtoa(from.sin_addr.s_addr);
        fromPort = ntohs(from.sin_port);
    };
    Aim(s, peer.Port(), "udp");
    s.Connect();
    EXPECT_EQ(rec.Events, (Events{"State 7>1", "State 1>4", "Connected 0"}));
    EXPECT_EQ(s.SendStr("one"), 3);
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 1; }));
    s.SendStr("two");
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (Events{"re:one", "re:two"}));
    EXPECT_EQ(fromAddr, "127.0.0.1");
    EXPECT_EQ(fromPort, peer.Port());
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(peer.Received(), (Events{"one", "two"}));
    s.Close();
}

TEST(Udp, ListeningDatagramSocketAnswersWithSendTo) {
    THXSocket s;
    TRecorder rec;
    rec.Hook(s, true);
    std::string got;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        char b[256];
        sockaddr_in from{};
        int fl = sizeof(from);
        int n = x->ReceiveFrom(b, sizeof(b), from, fl);
        if (n <= 0) return;
        got.assign(b, n);
        x->SendTo(from, fl, "pong", 4);
    };
    s.SetAddr("127.0.0.1");
    s.SetPort("0");
    s.SetProto("udp");
    s.Listen();
    EXPECT_EQ(rec.Events, (Events{"State 7>2", "State 2>6", "State 6>4", "Connected 0"}));
    const std::string port = s.GetLocalPortText();
    ASSERT_NE(port, "error");
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<uint16_t>(std::stoi(port)));
    ::sendto(fd, "ping", 4, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
    ASSERT_TRUE(WaitUntil([&] { return got == "ping"; }));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 15000), 1);
    char b[16];
    EXPECT_EQ(::recv(fd, b, sizeof(b), 0), 4);
    EXPECT_EQ(std::string(b, 4), "pong");
    ::close(fd);
    s.Close();
}

TEST(Udp, BroadcastAddressSetsTheBroadcastOptionWithoutSending) {
    static bool broadcastSet;
    broadcastSet = false;
    hxws::SocketApi().setsockopt = [](int fd, int level, int name, const void* v, int len) {
        if (level == SOL_SOCKET && name == SO_BROADCAST) broadcastSet = true;
        return hxws::LibcSocketApi().setsockopt(fd, level, name, v, len);
    };
    THXSocket s;
    s.SetAddr("255.255.255.255");
    s.SetPort("9");
    s.SetProto("udp");
    s.Connect();
    EXPECT_EQ(s.State(), wsConnected);
    EXPECT_TRUE(broadcastSet);
    s.Close();
}

// ------------------------------------------------------------ listen and accept

TEST(Listen, AcceptedConnectionCarriesData) {
    THXSocket server;
    TRecorder rec;
    rec.Hook(server, true);
    std::unique_ptr<THXSocket> child;
    std::string got;
    bool childClosed = false;
    server.OnSessionAvailable = [&](TCustomHXSocket* x, uint16_t e) {
        rec.Add("Available " + std::to_string(e));
        int h = x->Accept();
        ASSERT_GE(h, 0);
        child = std::make_unique<THXSocket>();
        child->OnDataAvailable = [&](TCustomHXSocket* c, uint16_t) {
            got += c->ReceiveStr();
            if (got == "hi") c->SendStr("yo");
        };
        child->OnSessionClosed = [&](TCustomHXSocket*, uint16_t) { childClosed = true; };
        child->Dup(h);
    };
    server.SetAddr("127.0.0.1");
    server.SetPort("0");
    server.Listen();
    const std::string port = server.GetLocalPortText();
    ASSERT_NE(port, "error");
    std::string answer;
    std::atomic<bool> done{false};
    std::thread client([&] {
        int fd = hxt::ConnectTo(static_cast<uint16_t>(std::stoi(port)));
        ::send(fd, "hi", 2, MSG_NOSIGNAL);
        TPeerConn c(fd, 1);
        answer = c.Recv(2);
        c.Close();
        done = true;
    });
    ASSERT_TRUE(WaitUntil([&] { return done && childClosed; }));
    client.join();
    EXPECT_EQ(answer, "yo");
    EXPECT_EQ(got, "hi");
    EXPECT_EQ(rec.Events, (Events{"State 7>2", "State 2>6", "Available 0"}));
    EXPECT_EQ(ErrorOf([&] {
                  THXSocket t;
                  t.Accept();
              }),
              "Error 10022 in function not a listening socket\r\nInvalid argument");
    server.Close();
}

TEST(Listen, MissingSettingsAndBindFailure) {
    THXSocket s;
    EXPECT_EQ(ErrorOf([&] { s.Listen(); }),
              "Error 10022 in function listen: port not assigned\r\nInvalid argument");
    s.SetPort("0");
    EXPECT_EQ(ErrorOf([&] { s.Listen(); }),
              "Error 10022 in function listen: address not assigned\r\nInvalid argument");
    // A port in use on the same address.
    THXSocket first;
    first.SetAddr("127.0.0.1");
    first.SetPort("0");
    first.Listen();
    s.SetAddr("127.0.0.1");
    s.SetPort(first.GetLocalPortText());
    EXPECT_EQ(ErrorOf([&] { s.Listen(); }),
              "Error 10048 in function Bind\r\nAddress already in use");
    EXPECT_EQ(s.State(), wsClosed);
    EXPECT_EQ(s.Handle(), -1);
}

// ------------------------------------------------------------ look-ups

TEST(Lookup, NameAddressFailureAndCancel) {
    hxt::SetFakeHost("peer.test", {"127.0.0.5", "127.0.0.6"});
    THXSocket s;
    Events ev;
    s.OnDnsLookupDone = [&](TCustomHXSocket*, uint16_t e) {
        ev.push_back("Dns " + std::to_string(e));
    };

    s.DnsLookup("peer.test");
    EXPECT_TRUE(ev.empty()) << "the answer comes from the loop";
    ASSERT_TRUE(WaitUntil([&] { return ev.size() == 1; }));
    EXPECT_EQ(ev.back(), "Dns 0");
    EXPECT_EQ(s.DnsResult(), "127.0.0.5");
    EXPECT_EQ(s.DnsResultList(), (Events{"127.0.0.5", "127.0.0.6"}));

    s.DnsLookup("nosuch.test");
    ASSERT_TRUE(WaitUntil([&] { return ev.size() == 2; }));
    EXPECT_EQ(ev.back(), "Dns 11001");
    EXPECT_EQ(s.DnsResult(), "");
    EXPECT_TRUE(s.DnsResultList().empty());

    const int started = hxt::FakeResolver().Started;
    s.DnsLookup("127.0.0.9");
    EXPECT_EQ(ev.size(), 3u) << "a dotted address is answered at once";
    EXPECT_EQ(ev.back(), "Dns 0");
    EXPECT_EQ(s.DnsResult(), "127.0.0.9");
    EXPECT_EQ(hxt::FakeResolver().Started, started);

    s.ReverseDnsLookup("127.0.0.6");
    ASSERT_TRUE(WaitUntil([&] { return ev.size() == 4; }));
    EXPECT_EQ(ev.back(), "Dns 0");
    EXPECT_EQ(s.DnsResult(), "peer.test");
    EXPECT_EQ(s.DnsResultList(), (Events{"peer.test"}));

    s.DnsLookup("peer.test");
    s.CancelDnsLookup();
    EXPECT_EQ(ev.back(), "Dns 10004");
    s.DnsLookup("peer.test");
    s.DnsLookup("nosuch.test"); // replaces the first
    hxt::Settle(50);
    EXPECT_EQ(ev, (Events{"Dns 0", "Dns 11001", "Dns 0", "Dns 0", "Dns 10004", "Dns 11001"}));
    s.CancelDnsLookup(); // nothing pending: nothing happens
    EXPECT_EQ(ev.size(), 6u);
}

TEST(Lookup, Failures) {
    THXSocket s;
    Events ev;
    s.OnDnsLookupDone = [&](TCustomHXSocket*, uint16_t e) {
        ev.push_back("Dns " + std::to_string(e));
    };
    EXPECT_EQ(ErrorOf([&] { s.DnsLookup(""); }), "DNS lookup: invalid host name.");
    s.OnError = [&](TCustomHXSocket*) { ev.push_back("Error"); };
    s.DnsLookup("");
    EXPECT_EQ(ev, (Events{"Error", "Dns 10022"}));
    s.OnError = nullptr;
    hxt::FakeResolver().FailStart = true;
    EXPECT_EQ(ErrorOf([&] { s.DnsLookup("peer.test"); }),
              "peer.test: can't start DNS lookup, error #10055");
    hxt::FakeResolver().FailStart = false;
    s.DnsLookup("peer.test");
    hxt::FakeResolver().FailCancel = true;
    EXPECT_EQ(ErrorOf([&] { s.CancelDnsLookup(); }),
              "Error 10022 in function WSACancelAsyncRequest\r\nInvalid argument");
    hxt::FakeResolver().FailCancel = false;
    hxt::Settle(30);
    EXPECT_EQ(ev.size(), 2u) << "a lookup whose cancel failed is forgotten";
}

TEST(Lookup, DestroyedSocketGetsNoLateAnswer) {
    auto* s = new THXSocket;
    int calls = 0;
    s->OnDnsLookupDone = [&](TCustomHXSocket*, uint16_t) { ++calls; };
    s->DnsLookup("localhost");
    delete s;
    hxt::Settle(50);
    EXPECT_EQ(calls, 0);
}

TEST(Lookup, ConnectByNameGoesThroughTheHostTable) {
    hxt::SetFakeHost("loop.test", {"127.0.0.1"});
    std::string got;
    TPeer peer([&](TPeerConn& c) { got = c.Recv(2); });
    THXSocket s;
    s.OnSessionConnected = [](TCustomHXSocket* x, uint16_t) { x->SendStr("ok"); };
    s.SetAddr("loop.test");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(got, "ok");
    THXSocket t;
    t.SetAddr("nowhere.test");
    t.SetPort("80");
    EXPECT_EQ(ErrorOf([&] { t.Connect(); }),
              "connect: HXSocketResolveHost: Cannot convert host address 'nowhere.test'");
}

// ------------------------------------------------------------ background exceptions

TEST(Background, HandlerExceptionAbortsUnlessCanCloseIsCleared) {
    for (bool keep : {false, true}) {
        TPeer peer([](TPeerConn& c) {
            c.Send("a");
            c.Recv(1);
            c.Send("b");
            c.WaitEof();
        });
        THXSocket s;
        TRecorder rec;
        rec.Hook(s);
        int calls = 0;
        std::string got;
        s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
            got += x->ReceiveStr();
            if (++calls == 1) throw ESocketException("boom");
        };
        s.OnBgException = [&](TCustomHXSocket*, Exception& e, bool& canClose) {
            rec.Add("Bg " + e.Message);
            if (keep) {
                canClose = false;
                s.SendStr("k");
            }
        };
        Aim(s, peer.Port());
        s.Connect();
        ASSERT_TRUE(WaitUntil([&] { return rec.Closed || got == "ab"; }));
        if (keep) {
            EXPECT_EQ(got, "ab");
            EXPECT_EQ(s.State(), wsConnected);
            s.Close();
            EXPECT_EQ(rec.Events, (Events{"Connected 0", "Bg boom", "Closed 0"}));
        } else {
            EXPECT_EQ(s.State(), wsClosed);
            EXPECT_EQ(rec.Events, (Events{"Connected 0", "Bg boom", "Closed 0"}));
        }
    }
}

TEST(Background, TestMessageAndForeignExceptionsReachTheEvent) {
    TPeer peer([](TPeerConn& c) {
        c.Send("x");
        c.WaitEof();
    });
    THXSocket s;
    Events ev;
    s.OnBgException = [&](TCustomHXSocket*, Exception& e, bool& canClose) {
        ev.push_back(e.Message);
        canClose = false;
        throw std::runtime_error("the handler's own fault is swallowed");
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        x->ReceiveStr();
        throw std::runtime_error("plain");
    };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return ev.size() == 1; }));
    s.PostMessage(WM_SOCKET_TEST);
    ASSERT_TRUE(WaitUntil([&] { return ev.size() == 2; }));
    EXPECT_EQ(ev, (Events{"plain", "Test exception in HXSocket"}));
    EXPECT_EQ(s.State(), wsConnected);
    s.OnBgException = nullptr; // without a handler the socket is aborted
    s.PostMessage(WM_SOCKET_TEST);
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsClosed; }));
}

// ------------------------------------------------------------ freeing inside events

namespace {
struct TCounted : THXSocket {
    explicit TCounted(int& gone) : Gone(gone) {}
    ~TCounted() override { ++Gone; }
    int& Gone;
};
} // namespace

TEST(Lifetime, HandlerMayDeleteItsSocketInAnyEvent) {
    enum Where { InConnected, InData, InClosed, InDataSent, InState, InSendData };
    for (Where where : {InConnected, InData, InClosed, InDataSent, InState, InSendData}) {
        TPeer peer([](TPeerConn& c) {
            c.Send("data to read", 3);
            c.Recv(4, 3000);
        });
        int gone = 0;
        auto* s = new TCounted(gone);
        auto kill = [&gone](TCustomHXSocket* x) {
            if (gone == 0) delete x;
        };
        s->OnSessionConnected = [&](TCustomHXSocket* x, uint16_t) {
            if (where == InConnected) return kill(x);
            x->SendStr("ping");
        };
        s->OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
            if (where == InData) return kill(x);
            x->ReceiveStr();
        };
        s->OnSessionClosed = [&](TCustomHXSocket* x, uint16_t) {
            if (where == InClosed) kill(x);
        };
        s->OnDataSent = [&](TCustomHXSocket* x, uint16_t) {
            if (where == InDataSent) kill(x);
        };
        s->OnSendData = [&](TCustomHXSocket* x, int) {
            if (where == InSendData) kill(x);
        };
        s->OnChangeState = [&](TCustomHXSocket* x, TSocketState, TSocketState n) {
            if (where == InState && n == wsConnected) kill(x);
        };
        Aim(*s, peer.Port());
        s->Connect();
        ASSERT_TRUE(WaitUntil([&] { return gone == 1; })) << "case " << where;
        ASSERT_TRUE(peer.Finish());
        hxt::Settle(20);
        EXPECT_EQ(gone, 1);
    }
}

TEST(Lifetime, ReleaseLaterAndCloseLaterActFromTheLoop) {
    TPeer peer([](TPeerConn& c) {
        c.Send("x");
        c.WaitEof();
    });
    int gone = 0;
    auto* s = new TCounted(gone);
    TRecorder rec;
    rec.Hook(*s);
    s->OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        x->ReceiveStr();
        x->CloseLater();
        EXPECT_EQ(x->State(), wsConnected);
    };
    s->OnSessionClosed = [&](TCustomHXSocket* x, uint16_t e) {
        rec.Add("Closed " + std::to_string(e));
        x->ReleaseLater();
        EXPECT_EQ(gone, 0);
    };
    Aim(*s, peer.Port());
    s->Connect();
    ASSERT_TRUE(WaitUntil([&] { return gone == 1; }));
    EXPECT_EQ(rec.Events, (Events{"Connected 0", "Closed 0"}));
}

TEST(Lifetime, DestroyingAnOpenSocketGivesNoClosedEvent) {
    bool eof = false;
    TPeer peer([&](TPeerConn& c) { eof = c.WaitEof(); });
    auto s = std::make_unique<THXSocket>();
    TRecorder rec;
    rec.Hook(*s);
    Aim(*s, peer.Port());
    s->Connect();
    ASSERT_TRUE(WaitUntil([&] { return s->State() == wsConnected; }));
    s.reset();
    ASSERT_TRUE(peer.Finish());
    EXPECT_TRUE(eof);
    EXPECT_EQ(rec.Events, (Events{"Connected 0"}));
}

TEST(Lifetime, LateNoticeNeverReachesTheNextSession) {
    // A close followed at once by a new connect: Linux hands out the same
    // descriptor number again, and notices of the first session must not
    // count for the second.
    TPeer peer(
        [](TPeerConn& c) {
            c.Send("one");
            c.WaitEof(3000);
        },
        2);
    THXSocket s;
    std::string got;
    int connects = 0;
    s.OnSessionConnected = [&](TCustomHXSocket*, uint16_t e) {
        EXPECT_EQ(e, 0);
        ++connects;
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { got += x->ReceiveStr(); };
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return got == "one"; }));
    s.SendStr("z"); // posts a data-sent notice for this session
    s.Close();
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return got == "oneone"; }));
    EXPECT_EQ(connects, 2);
    s.Close();
}

// ------------------------------------------------------------ injected failures

TEST(Failures, SocketCallFailuresGiveTheirTexts) {
    hxws::SocketApi().socket = [](int, int, int) {
        hxws::WSASetLastError(10024);
        return -1;
    };
    THXSocket s;
    Aim(s, 80);
    EXPECT_EQ(ErrorOf([&] { s.Connect(); }),
              "Error 10024 in function Connect (socket)\r\nToo many open files");
    EXPECT_EQ(s.LastError(), 10024);
    hxt::RestoreApi();
    hxws::SocketApi().setsockopt = [](int, int, int name, const void*, int) {
        hxws::WSASetLastError(name == SO_KEEPALIVE ? 10042 : 0);
        return name == SO_KEEPALIVE ? -1 : 0;
    };
    Aim(s, 80);
    EXPECT_EQ(ErrorOf([&] { s.Connect(); }),
              "Error 10042 in function setsockopt(SO_KEEPALIVE)\r\nProtocol not available");
}

TEST(Failures, SendFailingWithResetClosesOnce) {
    TPeer peer([](TPeerConn& c) { c.WaitEof(); });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    hxws::SocketApi().send = [](int, const void*, int, int) {
        hxws::WSASetLastError(10054);
        return -1;
    };
    s.SendStr("lost");
    hxt::RestoreApi();
    EXPECT_EQ(s.State(), wsClosed);
    hxt::Settle(20);
    EXPECT_EQ(rec.Events, (Events{"Connected 0", "Closed 10054"}));
}

TEST(Failures, PartialSendsResumeInOrder) {
    static int calls;
    calls = 0;
    std::string got;
    const std::string data = Pattern(10000);
    TPeer peer([&](TPeerConn& c) { got = c.Recv(data.size()); });
    THXSocket s;
    Aim(s, peer.Port());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    // The kernel takes at most 100 bytes per call, and every third call none.
    hxws::SocketApi().send = [](int fd, const void* d, int len, int flags) {
        if (++calls % 3 == 0) {
            hxws::WSASetLastError(hxws::WSAEWOULDBLOCK);
            return -1;
        }
        return hxws::LibcSocketApi().send(fd, d, std::min(len, 100), flags);
    };
    s.Send(data.data(), static_cast<int>(data.size()));
    ASSERT_TRUE(WaitUntil([&] { return s.AllSent(); }));
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(got, data);
    s.Close();
}

// ------------------------------------------------------------ resolution and texts

TEST(Resolve, Ports) {
    EXPECT_EQ(HXSocketResolvePort("80abc", "tcp"), 80);
    EXPECT_EQ(HXSocketResolvePort("  8080", "tcp"), 8080);
    EXPECT_EQ(HXSocketResolvePort("65535", "tcp"), 65535);
    EXPECT_EQ(HXSocketResolvePort("0", "tcp"), 0);
    EXPECT_EQ(ErrorOf([] { HXSocketResolvePort("65536", "tcp"); }),
              "HXSocketResolvePort: Invalid Port.");
    EXPECT_EQ(ErrorOf([] { HXSocketResolvePort("99999999999999999999", "tcp"); }),
              "HXSocketResolvePort: Invalid Port.");
    EXPECT_EQ(ErrorOf([] { HXSocketResolvePort("", "tcp"); }),
              "HXSocketResolvePort: Invalid Port.");
    EXPECT_EQ(ErrorOf([] { HXSocketResolvePort(std::string(32, '1'), "tcp"); }),
              "HXSocketResolvePort: Invalid Port.");
    static std::string askedName, askedProto;
    hxws::SocketApi().getservbyname = [](const char* n, const char* p, uint16_t* port) {
        askedName = n;
        askedProto = p ? p : "(nil)";
        if (askedName != "echo") {
            hxws::WSASetLastError(11004);
            return false;
        }
        *port = 7;
        return true;
    };
    EXPECT_EQ(HXSocketResolvePort(" echo ", " tcp "), 7);
    EXPECT_EQ(askedName, "echo");
    EXPECT_EQ(askedProto, "tcp");
    EXPECT_EQ(HXSocketResolvePort("echo", ""), 7);
    EXPECT_EQ(askedProto, "(nil)");
    EXPECT_EQ(ErrorOf([] { HXSocketResolvePort("nosuchservice", "tcp"); }),
              "HXSocketResolvePort: Cannot convert port 'nosuchservice'");
}

TEST(Resolve, HostsAndProtocols) {
    EXPECT_EQ(HXSocketResolveHost("127.0.0.1"), htonl(0x7F000001));
    EXPECT_EQ(HXSocketResolveHost(" 127.0.0.2 "), htonl(0x7F000002));
    EXPECT_EQ(HXSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(HXSocketResolveHost("localhost"), htonl(0x7F000001));
    EXPECT_EQ(ErrorOf([] { HXSocketResolveHost(""); }),
              "HXSocketResolveHost: '' Invalid Hostname.");
    EXPECT_EQ(ErrorOf([] { HXSocketResolveHost(std::string(257, 'a')); }),
              "HXSocketResolveHost: '" + std::string(257, 'a') + "' Invalid Hostname.");
    // Not of dotted form: looked up as a name.
    for (const char* t : {"1.2.3", "256.1.1.1", "1.2.3.4.5", ".1.2.3", "1..2.3"})
        EXPECT_EQ(ErrorOf([&] { HXSocketResolveHost(t); }),
                  std::string("HXSocketResolveHost: Cannot convert host address '") + t + "'");
    EXPECT_EQ(HXSocketResolveProto("tcp"), 6);
    EXPECT_EQ(HXSocketResolveProto(" udp "), 17);
    EXPECT_EQ(HXSocketResolveProto("17"), 17);
    EXPECT_EQ(ErrorOf([] { HXSocketResolveProto(""); }), "HXSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(ErrorOf([] { HXSocketResolveProto(std::string(32, 'x')); }),
              "HXSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(ErrorOf([] { HXSocketResolveProto("bogus"); }),
              "HXSocketResolveProto: Cannot convert protocol 'bogus'");
}

TEST(Resolve, PropertiesAndTexts) {
    THXSocket s;
    s.SetLocalAddr("");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
    s.SetLocalAddr("127.000.0.1");
    EXPECT_EQ(s.LocalAddr(), "127.0.0.1");
    EXPECT_EQ(ErrorOf([&] { s.SetLocalAddr("localhost"); }), "SetLocalAddr(): Invalid IP address");
    s.SetSendFlags(wsSendUrgent);
    EXPECT_EQ(s.SendFlags(), wsSendUrgent);
    EXPECT_EQ(ErrorOf([&] { s.SetSendFlags(static_cast<TSocketSendFlags>(5)); }),
              "Invalid SendFlags");
    s.SetAddr("  host  ");
    EXPECT_EQ(s.Addr(), "host");
    EXPECT_EQ(hxws::WinSockErrorText(10061), "Connection refused");
    EXPECT_EQ(hxws::WinSockErrorText(0), "No Error");
    EXPECT_EQ(hxws::WinSockErrorText(11001), "Host not found");
    EXPECT_EQ(hxws::WinSockErrorText(12345), "Not a WinSock error");
    EXPECT_EQ(hxws::WinSockErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(hxws::WinSockErrorFromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(hxws::WinSockErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(hxws::WinSockErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(hxws::WinSockErrorFromErrno(ETIMEDOUT), 10060);
}
