// Bounded random input, fixed seeds: random SOCKS replies and random line
// traffic, split at random points. The parsers must stay within their
// buffers (the sanitizer build watches), report every failure by the rules,
// and never lose or invent line bytes.
#include "net/tests/harness.h"

#include <gtest/gtest.h>

using hxt::TPeer;
using hxt::TPeerConn;
using hxt::WaitUntil;

namespace {

std::string RandomBytes(std::mt19937& rng, size_t maxLen, const std::string& alphabet = "") {
    std::uniform_int_distribution<size_t> len(0, maxLen);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(len(rng), '\0');
    for (char& c : s)
        c = alphabet.empty() ? static_cast<char>(byte(rng))
                             : alphabet[static_cast<size_t>(byte(rng)) % alphabet.size()];
    return s;
}

struct TSocksRun {
    std::string Level;
    bool Auth = false;
    bool ValidMethod = false; // the proxy first answers the greeting properly
    std::string Reply;
    int Chunk = 1;
};

} // namespace

TEST(Fuzz, RandomSocksReplies) {
    std::mt19937 rng(20240611);
    const int runs = 120;
    std::vector<TSocksRun> plan(runs);
    const char* const levels[] = {"4", "4A", "5"};
    for (TSocksRun& r : plan) {
        r.Level = levels[rng() % 3];
        r.Auth = rng() % 2 == 0;
        r.ValidMethod = r.Level == "5" && rng() % 2 == 0;
        r.Reply = RandomBytes(rng, rng() % 4 == 0 ? 300 : 24);
        // Now and then a plausible start, so the deeper states are reached.
        if (rng() % 3 == 0 && r.Reply.size() >= 2) {
            r.Reply[0] = static_cast<char>(r.Level == "5" ? 5 : 0);
            if (rng() % 2) r.Reply[1] = static_cast<char>(r.Level == "5" ? 0 : 90);
        }
        r.Chunk = 1 + static_cast<int>(rng() % 8);
    }
    std::atomic<int> index{0};
    TPeer proxy(
        [&](TPeerConn& c) {
            const TSocksRun& r = plan[static_cast<size_t>(index.load())];
            // The client's first message: greeting or SOCKS 4 request.
            const size_t first = r.Level == "5" ? 3 : r.Level == "4" ? 8 + 5 : 8 + 5 + 13;
            c.Recv(first, 5000);
            if (r.ValidMethod) {
                c.Send(std::string("\x05") + static_cast<char>(r.Auth ? 2 : 0), 1);
                c.Recv(r.Auth ? 3 + 4 + 6 : 5 + 12 + 2, 5000);
            }
            c.Send(r.Reply, r.Chunk);
        },
        runs, 99);
    for (int i = 0; i < runs; ++i) {
        index = i;
        const TSocksRun& r = plan[static_cast<size_t>(i)];
        THXSocket s;
        std::vector<std::string> ev;
        int closed = 0, connected = -1, socksError = 0;
        bool done = false;
        s.OnSocksError = [&](TCustomHXSocket*, int e, const std::string& m) {
            EXPECT_FALSE(m.empty());
            EXPECT_TRUE((e >= 20001 && e <= 20016) || e < 20000) << e;
            socksError = e;
        };
        s.OnSessionConnected = [&](TCustomHXSocket* x, uint16_t e) {
            connected = e;
            if (socksError != 0) {
                EXPECT_EQ(e, socksError);
            }
            if (e == 0) {
                x->ReceiveStr();
                done = true;
            }
        };
        s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { x->ReceiveStr(); };
        s.OnSessionClosed = [&](TCustomHXSocket*, uint16_t) {
            ++closed;
            done = true;
        };
        s.SetSocksServer("127.0.0.1");
        s.SetSocksPort(proxy.PortText());
        s.SetSocksLevel(r.Level);
        s.SocksAuthentication = r.Auth ? socksAuthenticateUsercode : socksNoAuthentication;
        s.SocksUsercode = "user";
        s.SocksPassword = "secret";
        s.SetAddr(r.Level == "4" ? "127.0.0.3" : "dest.example");
        s.SetPort("8080");
        s.Connect();
        ASSERT_TRUE(WaitUntil([&] { return done; })) << "run " << i;
        if (s.State() != wsClosed) s.Close();
        EXPECT_LE(closed, 1) << "run " << i;
        if (socksError != 0) {
            EXPECT_EQ(connected, socksError) << "run " << i;
        }
    }
    ASSERT_TRUE(proxy.Finish(60000));
}

TEST(Fuzz, RandomLineTraffic) {
    std::mt19937 rng(777);
    const int runs = 40;
    std::vector<std::string> inputs(runs);
    std::vector<int> chunks(runs);
    for (int i = 0; i < runs; ++i) {
        inputs[static_cast<size_t>(i)] = RandomBytes(rng, 600, "ab\r\n\r\n\b\tx ");
        chunks[static_cast<size_t>(i)] = 1 + static_cast<int>(rng() % 40);
    }
    std::atomic<int> index{0};
    TPeer peer(
        [&](TPeerConn& c) {
            const size_t i = static_cast<size_t>(index.load());
            c.Send(inputs[i], chunks[i]);
        },
        runs, 5);
    for (int i = 0; i < runs; ++i) {
        index = i;
        const bool edit = i % 2 == 1;
        THXSocket s;
        s.SetLineMode(true);
        s.LineEdit = edit;
        s.LineLimit = 64;
        std::vector<std::string> lines;
        bool closed = false;
        s.OnDataAvailable = [&](TCustomHXSocket* x, uint16_t) { lines.push_back(x->ReceiveStr()); };
        s.OnSessionClosed = [&](TCustomHXSocket*, uint16_t) { closed = true; };
        s.SetAddr("127.0.0.1");
        s.SetPort(peer.PortText());
        s.Connect();
        ASSERT_TRUE(WaitUntil([&] { return closed; })) << "run " << i;
        std::string all;
        for (size_t k = 0; k < lines.size(); ++k) {
            const std::string& l = lines[k];
            EXPECT_FALSE(l.empty());
            EXPECT_LE(l.size(), edit ? 64u + 8u * 40u : 64u + 40u) << "run " << i;
            // A line holds no terminator before its end.
            const size_t p = l.find("\r\n");
            EXPECT_TRUE(p == std::string::npos || p + 2 == l.size()) << "run " << i;
            all += l;
        }
        if (!edit) {
            EXPECT_EQ(all, inputs[static_cast<size_t>(i)]) << "run " << i;
        }
        if (edit) {
            EXPECT_EQ(all.find('\b'), std::string::npos);
            EXPECT_EQ(all.find('\t'), std::string::npos);
        }
    }
    ASSERT_TRUE(peer.Finish(60000));
}
