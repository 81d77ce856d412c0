#include "tickmatch/HXSocketExt.h"
#include "tickmatch/TimeProtocol.h"
#include "tickmatch/tests/TestApp.h"
#include "tickmatch/tests/TestServers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

TEST(SocketExt, PortNumberIsTheNumericPort) {
    THXSocketExt s;
    s.SetPort("37");
    EXPECT_EQ(s.PortNumber(), 37);
    s.SetPort("time");
    EXPECT_EQ(s.PortNumber(), 0);
    s.SetPort("70000");
    EXPECT_EQ(s.PortNumber(), 0);
    s.SetPortNumber(123);
    EXPECT_EQ(s.Port(), "123");
}

TEST(SocketExt, PreserveSettingsKeepsThemAcrossTheCloseReset) {
    TestApp();
    for (bool preserve : {true, false}) {
        THXSocketExt s;
        s.PreserveSettings = preserve;
        s.SetProto("udp");
        s.SetAddr("127.0.0.1");
        s.SetPortNumber(9);
        s.Connect();
        EXPECT_EQ(s.State(), wsConnected);
        s.Close();
        EXPECT_EQ(s.State(), wsClosed);
        EXPECT_EQ(s.Proto(), preserve ? "udp" : "tcp") << preserve;
        EXPECT_EQ(s.Addr(), "127.0.0.1");
        EXPECT_EQ(s.Port(), "9");
    }
}

TEST(SocketExt, ReceiveBufferNamesTheSender) {
    TestApp();
    TTestTimeServer server;
    ASSERT_TRUE(server.Start(TTestTimeServer::TKind::Sntp));
    THXSocketExt s;
    s.SetProto("udp");
    s.SetAddr("127.0.0.1");
    s.SetPortNumber(server.Port());
    std::string from;
    uint16_t fromPort = 0;
    int32_t count = 0;
    s.OnReceiveBuffer = [&](THXSocketExt*, const char*, int32_t n, const std::string& addr,
                            uint16_t port) {
        count = n;
        from = addr;
        fromPort = port;
    };
    s.Connect();
    auto request = tickmatch::BuildSntpRequest({4005676800u, 1});
    EXPECT_EQ(s.SendTo(request.data(), int(request.size()), 0, std::string()), 48);
    QElapsedTimer t;
    t.start();
    while (count == 0 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(count, 48);
    EXPECT_EQ(from, "127.0.0.1");
    EXPECT_EQ(fromPort, server.Port());
    s.Close();
}
