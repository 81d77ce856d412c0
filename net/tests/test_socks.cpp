// SOCKS 4, 4A and 5 against a scripted proxy on loopback, replies split byte
// by byte.
#include "net/tests/harness.h"

#include <gtest/gtest.h>

using hxt::TPeer;
using hxt::TPeerConn;
using hxt::TRecorder;
using hxt::WaitUntil;
using Events = std::vector<std::string>;

namespace {

std::string B(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes)
        s += static_cast<char>(b);
    return s;
}

// One step of the proxy: read exactly Expect's length, then send Reply split
// into pieces of at most Chunk bytes (0 = one piece).
struct TStep {
    std::string Expect;
    std::string Reply;
    int Chunk = 1;
    bool Hangup = false; // close after reading, instead of replying
};

struct TSocksSetup {
    std::string Level = "5";
    std::string Addr = "dest.example";
    std::string Port = "8080";
    bool Auth = false;
    std::string User = "user";
    std::string Pass = "secret";
};

struct TOutcome {
    std::vector<std::string> Events;
    std::vector<std::string> ProxyRead;
    std::string Data; // what the owner received through the tunnel
};

const std::string kDestName = "dest.example";
const std::string kGreet = B({5, 1, 0});
const std::string kGreetAuth = B({5, 1, 2});
const std::string kRequest5 = B({5, 1, 0, 3, 12}) + kDestName + B({0x1F, 0x90});
const std::string kGranted5 = B({5, 0, 0, 1, 127, 0, 0, 1, 0, 80});
const std::string kAuthRequest = B({1, 4}) + "user" + B({6}) + "secret";

// Runs a session through the proxy. With tunnel set, the owner sends
// "through" once connected and the proxy answers "back" after its steps.
TOutcome RunSocks(const TSocksSetup& setup, const std::vector<TStep>& steps, bool tunnel,
                  unsigned seed = 7) {
    TOutcome out;
    TPeer proxy(
        [&](TPeerConn& c) {
            for (const TStep& st : steps) {
                out.ProxyRead.push_back(c.Recv(st.Expect.size(), 5000));
                if (st.Hangup) return;
                if (!st.Reply.empty()) c.Send(st.Reply, st.Chunk);
            }
            if (tunnel) {
                out.ProxyRead.push_back(c.Recv(7, 5000));
                c.Send("back", 1);
            }
            c.WaitEof(5000);
        },
        1, seed);
    THXSocket s;
    TRecorder rec;
    rec.HookSocks(s);
    s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t e) {
        rec.Add("Connected " + std::to_string(e));
        if (e == 0 && tunnel) x->SendStr("through");
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { out.Data += x->ReceiveStr(); };
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(proxy.PortText());
    s.SetSocksLevel(setup.Level);
    s.SocksAuthentication = setup.Auth ? socksAuthenticateUsercode : socksNoAuthentication;
    s.SocksUsercode = setup.User;
    s.SocksPassword = setup.Pass;
    s.SetAddr(setup.Addr);
    s.SetPort(setup.Port);
    s.Connect();
    EXPECT_TRUE(WaitUntil([&] {
        return rec.Closed ||
               (tunnel ? out.Data.find("back") != std::string::npos : out.Data.size() >= 4);
    }));
    if (!rec.Closed) s.Close();
    EXPECT_TRUE(proxy.Finish());
    out.Events = rec.Events;
    return out;
}

Events Failed(int code, const std::string& text, Events before = {"SocksConnected 0"}) {
    before.push_back("SocksError " + std::to_string(code) + " " + text);
    before.push_back("Connected " + std::to_string(code));
    before.push_back("Closed " + std::to_string(code));
    return before;
}

} // namespace

// ------------------------------------------------------------ SOCKS 5

TEST(Socks5, NoAuthenticationGrantsTheTunnel) {
    for (unsigned seed : {1u, 2u}) {
        TOutcome o = RunSocks({}, {{kGreet, B({5, 0})}, {kRequest5, kGranted5}}, true, seed);
        EXPECT_EQ(o.ProxyRead, (Events{kGreet, kRequest5, "through"}));
        EXPECT_EQ(o.Events, (Events{"SocksConnected 0", "Connected 0", "Closed 0"}));
        EXPECT_EQ(o.Data, "back");
    }
}

TEST(Socks5, DottedDestinationIsStillSentAsAName) {
    TSocksSetup st;
    st.Addr = "127.0.0.9";
    st.Port = "21";
    const std::string req = B({5, 1, 0, 3, 9}) + "127.0.0.9" + B({0, 21});
    TOutcome o = RunSocks(st, {{kGreet, B({5, 0})}, {req, kGranted5}}, true);
    EXPECT_EQ(o.ProxyRead, (Events{kGreet, req, "through"}));
    EXPECT_EQ(o.Data, "back");
}

TEST(Socks5, UserAndPasswordAccepted) {
    TSocksSetup st;
    st.Auth = true;
    TOutcome o = RunSocks(
        st, {{kGreetAuth, B({5, 2})}, {kAuthRequest, B({1, 0})}, {kRequest5, kGranted5}}, true);
    EXPECT_EQ(o.ProxyRead, (Events{kGreetAuth, kAuthRequest, kRequest5, "through"}));
    EXPECT_EQ(o.Events, (Events{"SocksConnected 0", "Auth started", "Auth accepted", "Connected 0",
                                "Closed 0"}));
    EXPECT_EQ(o.Data, "back");
}

TEST(Socks5, ServerSkippingOfferedAuthentication) {
    TSocksSetup st;
    st.Auth = true;
    TOutcome o = RunSocks(st, {{kGreetAuth, B({5, 0})}, {kRequest5, kGranted5}}, true);
    EXPECT_EQ(o.Events, (Events{"SocksConnected 0", "Auth skipped", "Connected 0", "Closed 0"}));
    EXPECT_EQ(o.Data, "back");
}

TEST(Socks5, AuthenticationFailures) {
    TSocksSetup st;
    st.Auth = true;
    const Events started = {"SocksConnected 0", "Auth started", "Auth rejected"};
    EXPECT_EQ(RunSocks(st, {{kGreetAuth, B({5, 2})}, {kAuthRequest, B({1, 1})}}, false).Events,
              Failed(20015, "socks authentication failed", started));
    EXPECT_EQ(RunSocks(st, {{kGreetAuth, B({5, 2})}, {kAuthRequest, B({2, 0})}}, false).Events,
              Failed(20002, "socks version error", started));
    // Three bytes at once where two were due.
    EXPECT_EQ(
        RunSocks(st, {{kGreetAuth, B({5, 2})}, {kAuthRequest, B({1, 0, 0}), 0}}, false).Events,
        Failed(20001, "too much data availaible", started));
    // The proxy hangs up during authentication.
    EXPECT_EQ(RunSocks(st, {{kGreetAuth, B({5, 2})}, {kAuthRequest, "", 1, true}}, false).Events,
              (Events{"SocksConnected 0", "Auth started", "Auth rejected", "Closed 0"}));
}

TEST(Socks5, MethodReplyErrors) {
    EXPECT_EQ(RunSocks({}, {{kGreet, B({5, 0xFF})}}, false).Events,
              Failed(20003, "authentification method not acceptable"));
    EXPECT_EQ(RunSocks({}, {{kGreet, B({4, 0})}}, false).Events,
              Failed(20002, "socks version error"));
    // A method that was never offered.
    EXPECT_EQ(RunSocks({}, {{kGreet, B({5, 2})}}, false).Events,
              Failed(20003, "authentification method not acceptable"));
}

TEST(Socks5, EveryReplyCode) {
    const std::vector<std::pair<int, std::string>> codes = {
        {1, "general SOCKS server failure"}, {2, "connection not allowed by ruleset"},
        {3, "network unreachable"},          {4, "host unreachable"},
        {5, "connection refused"},           {6, "time to live expired"},
        {7, "command not supported"},        {8, "address type not supported"}};
    for (const auto& [rep, text] : codes) {
        TOutcome o = RunSocks(
            {}, {{kGreet, B({5, 0})}, {kRequest5, B({5, rep, 0, 1, 127, 0, 0, 1, 0, 80})}}, false);
        EXPECT_EQ(o.Events, Failed(20003 + rep, text)) << "REP " << rep;
    }
    TOutcome o = RunSocks({}, {{kGreet, B({5, 0})}, {kRequest5, B({5, 9, 0, 1})}}, false);
    EXPECT_EQ(o.Events, Failed(20012, "unassigned error #9"));
    o = RunSocks({}, {{kGreet, B({5, 0})}, {kRequest5, B({6, 0, 0, 1})}}, false);
    EXPECT_EQ(o.Events, Failed(20002, "socks version error"));
}

TEST(Socks5, AddressTypesOfTheReply) {
    // A domain-name reply of the longest legal name.
    const std::string name(255, 'n');
    const std::string longReply = B({5, 0, 0, 3, 255}) + name + B({0, 80});
    for (int chunk : {1, 0}) {
        TOutcome o =
            RunSocks({}, {{kGreet, B({5, 0})}, {kRequest5, longReply + "tail", chunk}}, false);
        EXPECT_EQ(o.Events[0], "SocksConnected 0");
        ASSERT_GE(o.Events.size(), 2u);
        EXPECT_EQ(o.Events[1], "Connected 0");
        EXPECT_EQ(o.Data, "tail");
    }
    // An IPv6 reply is not understood.
    TOutcome o = RunSocks(
        {}, {{kGreet, B({5, 0})}, {kRequest5, B({5, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0})}}, false);
    EXPECT_EQ(o.Events, Failed(20011, "address type not supported"));
}

TEST(Socks5, DataInTheReplySegmentComesFirst) {
    TOutcome o = RunSocks({}, {{kGreet, B({5, 0})}, {kRequest5, kGranted5 + "early", 0}}, true);
    EXPECT_EQ(o.Data.substr(0, 5), "early");
    EXPECT_EQ(o.Data, "earlyback");
}

TEST(Socks5, LeftoverIsCountedAndReadInPieces) {
    TPeer proxy([](TPeerConn& c) {
        c.Recv(3);
        c.Send(B({5, 0}));
        c.Recv(kRequest5.size());
        c.Send(kGranted5 + "abcdef");
        c.WaitEof();
    });
    THXSocket s;
    std::string got;
    int counted = -1;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        if (counted < 0) counted = x->RcvdCount();
        char b[4];
        int n = x->Receive(b, 4);
        if (n > 0) got.append(b, n);
    };
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(proxy.PortText());
    s.SetAddr(kDestName);
    s.SetPort("8080");
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return got == "abcdef"; }));
    EXPECT_EQ(counted, 6);
    s.Close();
}

// ------------------------------------------------------------ SOCKS 4 and 4A

TEST(Socks4, RequestAndEveryReplyCode) {
    TSocksSetup st;
    st.Level = "4";
    st.Addr = "127.0.0.7";
    const std::string req = B({4, 1, 0x1F, 0x90, 127, 0, 0, 7}) + "user" + B({0});
    TOutcome o = RunSocks(st, {{req, B({0, 90, 0, 0, 0, 0, 0, 0})}}, true);
    EXPECT_EQ(o.ProxyRead, (Events{req, "through"}));
    EXPECT_EQ(o.Events, (Events{"SocksConnected 0", "Connected 0", "Closed 0"}));
    EXPECT_EQ(o.Data, "back");

    const std::vector<std::tuple<int, int, std::string>> codes = {
        {91, 20016, "request rejected or failed"},
        {92, 20008, "connection refused"},
        {93, 20015, "authentification failed"},
        {94, 20012, "unassigned error #94"}};
    for (const auto& [cd, code, text] : codes)
        EXPECT_EQ(RunSocks(st, {{req, B({0, cd, 0, 0, 0, 0, 0, 0})}}, false).Events,
                  Failed(code, text))
            << cd;
    EXPECT_EQ(RunSocks(st, {{req, B({4, 90, 0, 0, 0, 0, 0, 0})}}, false).Events,
              Failed(20002, "socks version error"));
}

TEST(Socks4, NameForTheProxyWith4A) {
    TSocksSetup st;
    st.Level = "4a";
    const std::string req =
        B({4, 1, 0x1F, 0x90, 0, 0, 0, 1}) + "user" + B({0}) + kDestName + B({0});
    TOutcome o = RunSocks(st, {{req, B({0, 90, 0, 0, 0, 0, 0, 0})}}, true);
    EXPECT_EQ(o.ProxyRead, (Events{req, "through"}));
    EXPECT_EQ(o.Data, "back");
}

TEST(Socks4, UnresolvableDestinationSendsNoRequest) {
    TSocksSetup st;
    st.Level = "4";
    st.Addr = "nowhere.test";
    TOutcome o = RunSocks(st, {{"x", ""}}, false);
    EXPECT_EQ(o.ProxyRead, (Events{""}));
    EXPECT_EQ(o.Events,
              (Events{"SocksConnected 0",
                      "SocksError 20017 ESocketException HXSocketResolveHost: Cannot convert host "
                      "address 'nowhere.test'",
                      "Closed 20017"}));
}

// ------------------------------------------------------------ configuration

TEST(SocksConfig, LevelsLimitsAndReset) {
    THXSocket s;
    s.SetSocksLevel("4a");
    EXPECT_EQ(s.SocksLevel(), "4A");
    auto err = [&](auto f) -> std::string {
        try {
            f();
        } catch (ESocketException& e) {
            return e.Message;
        }
        return "(none)";
    };
    EXPECT_EQ(err([&] { s.SetSocksLevel("6"); }), "Invalid socks level. Must be 4, 4A or 5.");
    EXPECT_EQ(s.SocksLevel(), "4A");
    s.SetSocksServer(" 127.0.0.1 ");
    EXPECT_EQ(s.SocksServer(), "127.0.0.1");
    s.SetSocksPort("1080");
    s.SetAddr(kDestName);
    s.SetPort("80");
    s.SetProto("udp");
    EXPECT_EQ(err([&] { s.Connect(); }), "tcp is the only protocol supported thru socks server");
    EXPECT_EQ(err([&] { s.Listen(); }), "listening is not supported thru socks server");
    s.SetProto("tcp");
    s.SocksUsercode = std::string(256, 'u');
    EXPECT_NE(err([&] { s.Connect(); }), "(none)") << "a user code no length byte can carry";
    EXPECT_EQ(s.State(), wsClosed);
    s.SocksUsercode = "u";
    s.SetAddr(std::string(256, 'h'));
    EXPECT_NE(err([&] { s.Connect(); }), "(none)");
    EXPECT_EQ(s.State(), wsClosed);
}

TEST(SocksConfig, ChangesWhileOpenAndResetAfterClose) {
    TPeer proxy([](TPeerConn& c) {
        c.Recv(3);
        c.WaitEof();
    });
    THXSocket s;
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(proxy.PortText());
    s.SetSocksLevel("4A");
    s.SocksUsercode = "kept";
    s.SetSocksLevel("5");
    s.SetAddr(kDestName);
    s.SetPort("80");
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.State() == wsConnected; }));
    auto err = [&](auto f) -> std::string {
        try {
            f();
        } catch (ESocketException& e) {
            return e.Message;
        }
        return "(none)";
    };
    EXPECT_EQ(err([&] { s.SetSocksLevel("4"); }), "Can't change socks level if not closed");
    EXPECT_EQ(err([&] { s.SetSocksPort("1"); }), "Can't change socks port if not closed");
    EXPECT_EQ(err([&] { s.SetSocksServer("x"); }), "Can't change socks server if not closed");
    s.Close();
    EXPECT_EQ(s.SocksServer(), "");
    EXPECT_EQ(s.SocksPort(), "");
    EXPECT_EQ(s.SocksLevel(), "5");
    EXPECT_EQ(s.SocksUsercode, "kept");
    ASSERT_TRUE(proxy.Finish());
}

TEST(SocksConfig, RefusedProxy) {
    THXSocket s;
    TRecorder rec;
    rec.HookSocks(s);
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(std::to_string(hxt::ClosedPort()));
    s.SetAddr(kDestName);
    s.SetPort("80");
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_EQ(rec.Events, (Events{"SocksConnected 10061", "Connected 10061", "Closed 0"}));
}

// A greeting the proxy never gets ends the session where the owner hears it,
// instead of leaving it waiting for a reply that cannot come.
TEST(Socks5, GreetingThatCannotBeSentEndsTheSession) {
    TPeer proxy([](TPeerConn& c) { c.WaitEof(60000); });
    THXSocket s;
    TRecorder rec;
    rec.HookSocks(s);
    s.OnBgException = [&](TCustomHXSocket*, Exception& e, bool&) { rec.Add("Bg " + e.Message); };
    s.SetSocksServer("127.0.0.1");
    s.SetSocksPort(proxy.PortText());
    s.SetAddr(kDestName);
    s.SetPort("8080");
    hxws::SocketApi().send = [](int, const void*, int, int) {
        hxws::WSASetLastError(10055); // no buffer space
        return -1;
    };
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }, 60000));
    hxt::RestoreApi();
    EXPECT_EQ(rec.Events, (Events{"SocksConnected 0",
                                  "Bg Error 10055 in function TryToSend failed\r\n" +
                                      WSocketErrorDesc(10055),
                                  "Closed 0"}));
    EXPECT_TRUE(proxy.Finish());
}
