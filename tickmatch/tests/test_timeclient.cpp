// The time client's rules over a scripted transport: what counts as a reply,
// from whom, and that each request ends in exactly one event.
#include "tickmatch/TimeClient.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class TScriptedTransport : public TTimeTransport {
public:
    std::vector<std::string> Calls;
    std::string LastDatagram;
    void OpenStream(const std::string& host, uint16_t port) override {
        Calls.push_back("stream " + host + ":" + std::to_string(port));
    }
    void OpenDatagram(const std::string& host, uint16_t port) override {
        Calls.push_back("datagram " + host + ":" + std::to_string(port));
    }
    void SendDatagram(const std::string& data) override {
        Calls.push_back("send " + std::to_string(data.size()));
        LastDatagram = data;
    }
    void Abort() override { Calls.push_back("abort"); }
};

class TimeClient : public ::testing::Test {
protected:
    void SetUp() override {
        auto t = std::make_unique<TScriptedTransport>();
        Transport = t.get();
        Client = std::make_unique<TWSTimeClient>(nullptr, std::move(t));
        Client->Addr = "server.test";
        Client->OnTime = [this](TWSTimeClient*, TDateTime dt) {
            Events.push_back("time " + std::to_string(std::llround(dt * MSecsPerDay)));
        };
        Client->OnDayTime = [this](TWSTimeClient*, const std::string& s) {
            Events.push_back("daytime " + s);
        };
        Client->OnNTPTime = [this](TWSTimeClient*, TDateTime dt, long double) {
            Events.push_back("ntp " + std::to_string(std::llround(dt * MSecsPerDay)));
        };
        Client->OnError = [this](TWSTimeClient*, const std::string&) { Events.push_back("error"); };
        PinClock(EncodeDate(2026, 12, 8), 0);
    }
    void TearDown() override { ResetClockSource(); }
    std::string SntpReply(const std::string& request, uint32_t seconds) {
        std::string r(48, '\0');
        r[0] = char((4 << 3) | 4);
        r[1] = 1;
        r.replace(24, 8, request.substr(40, 8));
        for (int at : {32, 40})
            for (int i = 0; i < 4; ++i)
                r[at + i] = char(seconds >> (24 - 8 * i));
        return r;
    }

    TScriptedTransport* Transport = nullptr;
    std::unique_ptr<TWSTimeClient> Client;
    std::vector<std::string> Events;
};

const long long Dec8 = 46364LL * 86400000;

} // namespace

TEST_F(TimeClient, TimeCollectsFourBytesOverSeveralPieces) {
    Client->RequestTime();
    EXPECT_EQ(Transport->Calls.back(), "stream server.test:37");
    Transport->OnData("\xEE");
    Transport->OnData("\xC1\xC7");
    EXPECT_TRUE(Events.empty());
    Transport->OnData(std::string("\x00\x01", 2));
    EXPECT_EQ(Events, (std::vector<std::string>{"time " + std::to_string(Dec8)}));
    Transport->OnClosed(); // the close that follows reports nothing more
    EXPECT_EQ(Events.size(), 1u);
}

TEST_F(TimeClient, ClosedBeforeTheReplyIsAnError) {
    Client->PortOverride = 4000;
    Client->RequestTime();
    EXPECT_EQ(Transport->Calls.back(), "stream server.test:4000");
    Transport->OnData("\xEE\xC1");
    Transport->OnClosed();
    EXPECT_EQ(Events, (std::vector<std::string>{"error"}));
    Client->RequestDayTime();
    Transport->OnClosed();
    EXPECT_EQ(Events, (std::vector<std::string>{"error", "error"}));
}

TEST_F(TimeClient, DaytimeEndsAtTheLineOrTheClose) {
    Client->RequestDayTime();
    EXPECT_EQ(Transport->Calls.back(), "stream server.test:13");
    Transport->OnData("Tue Dec  8 07:3");
    Transport->OnData("0:15 2026\r\nrest");
    Client->RequestDayTime();
    Transport->OnData("07:30:15");
    Transport->OnClosed();
    EXPECT_EQ(Events, (std::vector<std::string>{"daytime Tue Dec  8 07:30:15 2026\r\n",
                                                "daytime 07:30:15"}));
}

TEST_F(TimeClient, SntpAcceptsOnlyTheServersAnswerToThisRequest) {
    Client->RequestNTPTime();
    EXPECT_EQ(Transport->Calls.back(), "datagram server.test:123");
    Transport->OnDatagramReady("192.0.2.7");
    EXPECT_EQ(Transport->Calls.back(), "send 48");
    std::string request = Transport->LastDatagram;
    std::string reply = SntpReply(request, 4005676800u + 60);
    Transport->OnDatagram(reply, "192.0.2.8", 123); // another host
    Transport->OnDatagram(reply, "192.0.2.7", 124); // another port
    std::string stale = reply;
    stale[30] = char(stale[30] ^ 0x10);
    Transport->OnDatagram(stale, "192.0.2.7", 123); // not this request
    Transport->OnDatagram(reply.substr(0, 40), "192.0.2.7", 123);
    EXPECT_TRUE(Events.empty());
    Transport->OnDatagram(reply, "192.0.2.7", 123);
    EXPECT_EQ(Events, (std::vector<std::string>{"ntp " + std::to_string(Dec8 + 60000)}));
    Transport->OnDatagram(reply, "192.0.2.7", 123);
    EXPECT_EQ(Events.size(), 1u);
}

TEST_F(TimeClient, AbortSilencesTheRequest) {
    Client->RequestTime();
    Client->Abort();
    Transport->OnData("\xEE\xC1\xC7\x00");
    Transport->OnFailure("late");
    EXPECT_TRUE(Events.empty());
}
