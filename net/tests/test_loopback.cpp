#include "net/HXSocket.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

namespace {
template <class P> bool WaitUntil(P pred, int ms = 10000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred() && std::chrono::steady_clock::now() < end)
        hxws::PumpWait(10);
    return pred();
}
} // namespace

TEST(Loopback, ConnectReceiveAndPeerClose) {
    int ls = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(ls, reinterpret_cast<sockaddr*>(&a), sizeof(a)), 0);
    socklen_t len = sizeof(a);
    ::getsockname(ls, reinterpret_cast<sockaddr*>(&a), &len);
    ::listen(ls, 1);
    std::thread peer([ls] {
        int c = ::accept(ls, nullptr, nullptr);
        for (char ch : std::string("hello")) {
            ::send(c, &ch, 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ::close(c);
    });
    std::vector<std::string> events;
    std::string got;
    THXSocket s;
    s.OnSessionConnected = [&](TCustomHXSocket*, uint16_t e) {
        events.push_back("Connected " + std::to_string(e));
    };
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { got += x->ReceiveStr(); };
    s.OnSessionClosed = [&](TCustomHXSocket*, uint16_t e) {
        events.push_back("Closed " + std::to_string(e));
    };
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(ntohs(a.sin_port)));
    s.Connect();
    EXPECT_TRUE(WaitUntil([&] { return s.State() == wsClosed; }));
    peer.join();
    ::close(ls);
    EXPECT_EQ(got, "hello");
    EXPECT_EQ(events, (std::vector<std::string>{"Connected 0", "Closed 0"}));
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
