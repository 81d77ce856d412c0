// Against the real thing: inetd's built-in TIME and DAYTIME services, from
// xinetd run by this test on 127.0.0.1 and ports of its own.
#include "tickmatch/tests/FlowFixture.h"

#include <arpa/inet.h>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool Accepts(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(fd);
    return ok;
}

long long ShiftOf(const std::string& calls) {
    long long us = 0;
    int rel = 0, inter = 0;
    if (std::sscanf(calls.c_str(), "SetTime %lld %d %d", &us, &rel, &inter) != 3) return -1;
    return us / 1000;
}

} // namespace

class WithXinetd : public Flow {
protected:
    void SetUp() override {
        if (access("/usr/sbin/xinetd", X_OK) != 0)
            GTEST_SKIP() << "xinetd is not installed (scripts/install-deps.sh installs it)";
        Flow::SetUp();
        ResetClockSource(); // the real clock: the server tells the real time
        TimePort = TTestTimeServer::ClosedPort();
        DaytimePort = TTestTimeServer::ClosedPort();
        std::string conf = Dir + "/xinetd.conf";
        std::ofstream(conf) << "defaults\n{\n    instances = 10\n}\n"
                            << Service("time", "time-stream", TimePort)
                            << Service("daytime", "daytime-stream", DaytimePort);
        ASSERT_TRUE(Xinetd.Start({"/usr/sbin/xinetd", "-f", conf, "-dontfork", "-pidfile",
                                  Dir + "/xinetd.pid", "-filelog", Dir + "/xinetd.log"}));
        RunUntil([&] { return Accepts(TimePort) && Accepts(DaytimePort); }, 10000);
        ASSERT_TRUE(Accepts(TimePort) && Accepts(DaytimePort)) << ReadFile(Dir + "/xinetd.log");
    }
    void TearDown() override {
        Xinetd.Stop();
        Flow::TearDown();
    }
    static std::string Service(const char* name, const char* id, uint16_t port) {
        return std::string("service ") + name +
               "\n{\n    type = INTERNAL UNLISTED\n    id = " + id +
               "\n    socket_type = stream\n    protocol = tcp\n    wait = no\n    port = " +
               std::to_string(port) + "\n    bind = 127.0.0.1\n}\n";
    }
    uint16_t TimePort = 0, DaytimePort = 0;
    TChildProcess Xinetd;
};

TEST_F(WithXinetd, TimeAndDaytime) {
    Run(Args("1", "0", "0", "1"), TimePort);
    EXPECT_EQ(Reporter.Events,
              (std::vector<std::string>{"HXM_SyncAttempt", "TimeChanged", "HXM_SyncSuccess"}));
    // Whole seconds from the server, one second allowed for the trip.
    long long ms = ShiftOf(Calls());
    EXPECT_GE(ms, -100);
    EXPECT_LE(ms, 2100);

    Reporter.Events.clear();
    Ended = false;
    Run(Args("0"), DaytimePort);
    EXPECT_EQ(Reporter.Events.back(), "HXM_SyncSuccess");
    std::string calls = Calls();
    ms = ShiftOf(calls.substr(calls.find('\n') + 1));
    EXPECT_GE(ms, 1900);
    EXPECT_LE(ms, 4100);
    std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
    EXPECT_EQ(log.find("FAIL"), std::string::npos) << log;
}
