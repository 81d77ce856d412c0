// Line mode, line editing and the flag wait over loopback.
#include "net/tests/harness.h"

#include <gtest/gtest.h>

using hxt::TPeer;
using hxt::TPeerConn;
using hxt::TRecorder;
using hxt::WaitUntil;
using Events = std::vector<std::string>;

namespace {

// A line-mode client that records every line it is offered.
struct TLineClient {
    THXSocket S;
    TRecorder Rec;
    Events Lines;
    explicit TLineClient(uint16_t port, bool readLines = true) {
        Rec.Hook(S);
        S.SetLineMode(true);
        if (readLines)
            S.OnDataAvailable = [this](TCustomHXSocket* x, uint16_t) {
                Lines.push_back(x->ReceiveStr());
            };
        S.SetAddr("127.0.0.1");
        S.SetPort(std::to_string(port));
    }
};

} // namespace

TEST(Lines, TerminatorSplitAcrossTwoReads) {
    std::atomic<bool> go{false};
    TPeer peer([&](TPeerConn& c) {
        c.Send("ab\r");
        while (!go)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        c.Send("\ncd");
        c.WaitEof();
    });
    TLineClient cl(peer.Port());
    cl.S.Connect();
    ASSERT_TRUE(WaitUntil([&] { return cl.S.HeldBytes() == "ab\r"; }));
    EXPECT_TRUE(cl.Lines.empty());
    EXPECT_EQ(cl.S.RcvdCount(), 0);
    go = true;
    ASSERT_TRUE(WaitUntil([&] { return cl.S.HeldBytes() == "cd"; }));
    EXPECT_EQ(cl.Lines, (Events{"ab\r\n"}));
    cl.S.Close();
}

TEST(Lines, RandomSplitsGiveTheSameLines) {
    const std::string text = "first line\r\nsecond\r\n\r\nfourth has more words\r\nend\r\n";
    const Events want = {"first line\r\n", "second\r\n", "\r\n", "fourth has more words\r\n",
                         "end\r\n"};
    for (unsigned seed = 1; seed <= 4; ++seed) {
        TPeer peer(
            [&](TPeerConn& c) {
                c.Send(text, seed == 1 ? 1 : static_cast<int>(seed * 3));
                c.WaitEof();
            },
            1, seed);
        TLineClient cl(peer.Port());
        cl.S.Connect();
        ASSERT_TRUE(WaitUntil([&] { return cl.Lines.size() == want.size(); }));
        EXPECT_EQ(cl.Lines, want) << "seed " << seed;
        cl.S.Close();
    }
}

TEST(Lines, OtherTerminatorsAndPartialReads) {
    TPeer peer([](TPeerConn& c) {
        c.Send("oneENDtwoEENDthree", 2);
        c.WaitEof();
    });
    THXSocket s;
    s.LineEnd = "END";
    s.SetLineMode(true);
    Events lines;
    std::string current;
    int counted = -1;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        if (counted < 0) counted = x->RcvdCount();
        char b[2];
        int n = x->Receive(b, 2); // two bytes at a time: called again until the line is used up
        if (n > 0) current.append(b, n);
        if (x->RcvdCount() == 0) {
            lines.push_back(current);
            current.clear();
        }
    };
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return lines.size() == 2 && s.HeldBytes() == "three"; }));
    EXPECT_EQ(counted, 6);
    EXPECT_EQ(lines, (Events{"oneEND", "twoEEND"}));
    EXPECT_EQ(s.HeldBytes(), "three");
    s.Close();
}

TEST(Lines, PartialLineIsOfferedOnceAtClose) {
    TPeer peer([](TPeerConn& c) { c.Send("line1\r\npartial", 3); });
    TLineClient cl(peer.Port());
    cl.S.OnSessionClosed = [&](TCustomHXSocket*, uint16_t e) {
        cl.Lines.push_back("Closed " + std::to_string(e));
        cl.Rec.Closed = true;
    };
    cl.S.Connect();
    ASSERT_TRUE(WaitUntil([&] { return cl.Rec.Closed; }));
    EXPECT_EQ(cl.Lines, (Events{"line1\r\n", "partial", "Closed 0"}));
}

TEST(Lines, HandlerThatTakesNothingDoesNotLoop) {
    TPeer peer([](TPeerConn& c) {
        c.Send("a\r\nb\r\n");
        c.WaitEof();
    });
    THXSocket s;
    s.SetLineMode(true);
    int calls = 0;
    s.OnDataAvailable = [&](TCustomHXSocket*, uint16_t) { ++calls; };
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return calls > 0; }));
    hxt::Settle(100);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.RcvdCount(), 3);
    EXPECT_EQ(s.ReceiveStr(), "a\r\n");
    s.Close();
}

TEST(Lines, WithoutAHandlerLinesAreDropped) {
    TPeer peer([](TPeerConn& c) { c.Send("a\r\nb\r\nrest"); });
    THXSocket s;
    TRecorder rec;
    rec.Hook(s);
    s.SetLineMode(true);
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return rec.Closed; }));
    EXPECT_EQ(s.HeldBytes(), "");
}

TEST(Lines, SwitchingLineModeOffHandsHeldBytesOutAsData) {
    TPeer peer([](TPeerConn& c) {
        c.Send("no end yet");
        c.WaitEof();
    });
    THXSocket s;
    s.SetLineMode(true);
    std::string data;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { data += x->ReceiveStr(); };
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return s.HeldBytes() == "no end yet"; }));
    EXPECT_EQ(data, "");
    s.SetLineMode(false);
    ASSERT_TRUE(WaitUntil([&] { return data == "no end yet"; }));
    EXPECT_EQ(s.HeldBytes(), "");
    s.Close();
}

TEST(Lines, SwitchingOffInsideTheHandlerKeepsTheRestAsData) {
    TPeer peer([](TPeerConn& c) {
        c.Send("head\r\nbody bytes");
        c.WaitEof();
    });
    THXSocket s;
    s.SetLineMode(true);
    Events got;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        got.push_back(x->ReceiveStr());
        static_cast<THXSocket*>(x)->SetLineMode(false);
    };
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.Connect();
    ASSERT_TRUE(WaitUntil([&] { return got.size() == 2; }));
    EXPECT_EQ(got, (Events{"head\r\n", "body bytes"}));
    s.Close();
}

TEST(Lines, OverlongLineIsReportedAndOfferedWithinTheLimit) {
    TPeer peer([](TPeerConn& c) {
        c.Send(std::string(40, 'x') + "\r\n", 7);
        c.WaitEof();
    });
    TLineClient cl(peer.Port());
    cl.S.LineLimit = 16;
    int tooLong = 0;
    cl.S.OnLineTooLong = [&](TCustomHXSocket*) { ++tooLong; };
    cl.S.Connect();
    ASSERT_TRUE(WaitUntil([&] {
        std::string all;
        for (auto& l : cl.Lines)
            all += l;
        return all == std::string(40, 'x') + "\r\n";
    }));
    EXPECT_GE(tooLong, 1);
    for (const std::string& l : cl.Lines)
        EXPECT_LE(l.size(), 16u + 7u) << "held bytes stay near the limit";
    cl.S.Close();
}

// ------------------------------------------------------------ editing

TEST(EditLine, BackspaceAndEcho) {
    const std::string typed = std::string("ab") + '\b' + "c\r\n";
    for (int chunk : {0, 1}) {
        for (bool echo : {false, true}) {
            std::string echoed;
            TPeer peer([&](TPeerConn& c) {
                c.Send(typed, chunk);
                if (echo) echoed = c.Recv(typed.size() + 2);
                c.WaitEof();
            });
            TLineClient cl(peer.Port());
            cl.S.LineEdit = true;
            cl.S.LineEcho = echo;
            cl.S.Connect();
            ASSERT_TRUE(WaitUntil([&] { return !cl.Lines.empty(); }));
            EXPECT_EQ(cl.Lines, (Events{"ac\r\n"}));
            if (echo) {
                cl.S.Close();
                ASSERT_TRUE(peer.Finish());
                EXPECT_EQ(echoed, std::string("ab") + "\b \b" + "c\r\n");
            }
            cl.S.Close();
        }
    }
}

TEST(EditLine, TabToTheNextMultipleOfEight) {
    TPeer peer([](TPeerConn& c) {
        c.Send("abc\tx\r\n\tb\r\n");
        c.WaitEof();
    });
    TLineClient cl(peer.Port());
    cl.S.LineEdit = true;
    cl.S.Connect();
    ASSERT_TRUE(WaitUntil([&] { return cl.Lines.size() == 2; }));
    // Tab stops count from each line's start, also within one read.
    EXPECT_EQ(cl.Lines, (Events{"abc     x\r\n", "        b\r\n"}));
    cl.S.Close();
}

TEST(EditLine, BackspaceAtTheStartAndEchoWithoutEditing) {
    std::string echoed;
    TPeer peer([&](TPeerConn& c) {
        c.Send(std::string("\b\bz\r\n"));
        echoed = c.Recv(3);
        c.WaitEof();
    });
    TLineClient cl(peer.Port());
    cl.S.LineEdit = true;
    cl.S.Connect();
    ASSERT_TRUE(WaitUntil([&] { return !cl.Lines.empty(); }));
    EXPECT_EQ(cl.Lines, (Events{"z\r\n"}));
    cl.S.Close();
    ASSERT_TRUE(peer.Finish());
    EXPECT_EQ(echoed, "") << "no echo asked";

    TPeer peer2([&](TPeerConn& c) {
        c.Send("hi\r\n");
        echoed = c.Recv(4);
        c.WaitEof();
    });
    TLineClient cl2(peer2.Port());
    cl2.S.LineEcho = true; // echo alone, without editing
    cl2.S.Connect();
    ASSERT_TRUE(WaitUntil([&] { return !cl2.Lines.empty(); }));
    cl2.S.Close();
    ASSERT_TRUE(peer2.Finish());
    EXPECT_EQ(echoed, "hi\r\n");
}

// ------------------------------------------------------------ wait

TEST(WaitFlag, ReturnsZeroOnceAnEventSetsTheFlag) {
    TPeer peer([](TPeerConn& c) {
        c.Send("x");
        c.WaitEof();
    });
    THXSocket s;
    uint8_t flag = 0;
    s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) {
        x->ReceiveStr();
        flag = 1;
    };
    s.SetAddr("127.0.0.1");
    s.SetPort(peer.PortText());
    s.Connect();
    EXPECT_EQ(s.WaitFlag(flag), 0);
    EXPECT_EQ(flag, 1);
    flag = 5;
    EXPECT_EQ(s.WaitFlag(flag), 0) << "an already set flag returns at once";
    s.Close();
}

TEST(WaitFlag, TimeOutGives12001) {
    THXSocket s;
    s.Timeout = 60;
    uint8_t flag = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(s.WaitFlag(flag), 12001);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
}

TEST(WaitFlag, RunAndWaitClearsTheFlagThenRunsTheProcedure) {
    THXSocket s;
    uint8_t flag = 9;
    bool cleared = false;
    EXPECT_EQ(s.RunAndWait(flag,
                           [&] {
                               cleared = flag == 0;
                               s.PostMessage(WM_SOCKET_CLOSE); // any message; the flag is set below
                               flag = 1;
                           }),
              0);
    EXPECT_TRUE(cleared);
    s.Timeout = 30;
    EXPECT_EQ(s.RunAndWait(flag, nullptr), 12001);
}

TEST(EditLine, BackspaceNeverReachesIntoAnEndedLine) {
    TPeer peer([](TPeerConn& c) {
        c.Send(std::string("ab\r\n\bc\r\n"));
        c.WaitEof();
    });
    TLineClient cl(peer.Port());
    cl.S.LineEdit = true;
    cl.S.Connect();
    ASSERT_TRUE(WaitUntil([&] { return cl.Lines.size() == 2; }));
    EXPECT_EQ(cl.Lines, (Events{"ab\r\n", "c\r\n"}));
    cl.S.Close();
}
