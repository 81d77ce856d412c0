#include "tickmatch/tests/FlowFixture.h"

#include <QString>

using namespace tickmatch;
using Kind = TTestTimeServer::TKind;
using Events = std::vector<std::string>;

const Events SuccessEvents{"HXM_SyncAttempt", "TimeChanged", "HXM_SyncSuccess"};
const Events FailEvents{"HXM_SyncAttempt", "HXM_SyncFail"};

TEST_F(Flow, TimeSetsTheClockAndLogsTheLine) {
    auto& server = Server(Kind::Time, EncodeTime(0, 10, 0, 0));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1"), server.Port());
    EXPECT_TRUE(Ended);
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    // Ten minutes ahead, plus the second TIME allows for the trip.
    EXPECT_EQ(Calls(), Shift(601000));
    // New 10:55:46, old 10:45:45 UTC, old minus new in days.
    EXPECT_EQ(Log(),
              Start() + "\tSUCCESS\t46364.4553935185\t46364.4484375\t-0.00695601851475658!\r\n");
    EXPECT_TRUE(Dialogs.Shown.empty());
    EXPECT_TRUE(Form->isHidden());
}

TEST_F(Flow, TimeReplySplitAcrossPackets) {
    auto& server = Server(Kind::Time, -Sec(30));
    server.SplitAt = {1, 3};
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1"), server.Port());
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    EXPECT_EQ(Calls(), Shift(-29000));
}

TEST_F(Flow, TimeReplyCutShortFailsAtOnce) {
    auto& server = Server(Kind::Time);
    server.RawReply = "\xEE\xC1\xC7";
    ASSERT_TRUE(server.Start(Kind::Time));
    QElapsedTimer t;
    t.start();
    Run(Args("1"), server.Port());
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(Reporter.Events, FailEvents);
    EXPECT_EQ(Log(), Start() +
                         "\tFAIL: Response From Time Server Timed Out - The server closed the "
                         "connection without a reply\r\n");
    EXPECT_EQ(Calls(), "");
}

TEST_F(Flow, DaytimeReplyWithALineBreakInsideIsLoggedOnOneLine) {
    auto& server = Server(Kind::Daytime);
    server.RawReply = "no\ttime\rhere";
    ASSERT_TRUE(server.Start(Kind::Daytime));
    Run(Args("0"), server.Port());
    EXPECT_EQ(Log(), Start() + "\tFAIL: Invalid TimeStamp Format: no time here\r\n");
}

TEST_F(Flow, SetDateOnTakesTheServersDateOffKeepsTheClocks) {
    auto& server = Server(Kind::Time, 3 + Sec(20));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1", "0", "0", "0"), server.Port());
    EXPECT_EQ(Calls(), Shift(21000));
    Reporter.Events.clear();
    Ended = false;
    Run(Args("1", "0", "0", "1"), server.Port());
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    EXPECT_EQ(Calls(), Shift(21000) + Shift(3LL * 86400000 + 21000));
}

TEST_F(Flow, DaytimeInPiecesWithTheOffset) {
    // The server gives its time in pieces; it is two hours behind UTC, so +2.
    auto& server = Server(Kind::Daytime, Sec(5) - EncodeTime(2, 0, 0, 0));
    server.SplitAt = {3, 12, 15};
    ASSERT_TRUE(server.Start(Kind::Daytime));
    Run(Args("0", "2", "0", "1"), server.Port());
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    // Five seconds ahead plus the three DAYTIME allows; set-date plays no part.
    EXPECT_EQ(Calls(), Shift(8000));
}

TEST_F(Flow, DaytimeNearMidnightKeepsTheNearestDate) {
    PinClock(EncodeDate(2026, 12, 8) + EncodeTime(23, 59, 58, 0), 0);
    auto& server = Server(Kind::Daytime);
    server.DaytimeText = "Wed Dec  9 00:00:04 2026\r\n";
    ASSERT_TRUE(server.Start(Kind::Daytime));
    Run(Args("0"), server.Port());
    EXPECT_EQ(Calls(), Shift(9000));
}

TEST_F(Flow, DaytimeWithoutATimeFails) {
    auto& server = Server(Kind::Daytime);
    server.DaytimeText = "abc";
    ASSERT_TRUE(server.Start(Kind::Daytime));
    Run(Args("0"), server.Port());
    EXPECT_TRUE(Ended);
    EXPECT_EQ(Reporter.Events, FailEvents);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Log(), Start() + "\tFAIL: Invalid TimeStamp Format: abc\r\n");
}

TEST_F(Flow, SntpWithANegativeOffsetIgnoringStrayReplies) {
    auto& server = Server(Kind::Sntp, Sec(1.25));
    server.SendStrayRepliesFirst = true;
    ASSERT_TRUE(server.Start(Kind::Sntp));
    Run(Args("2", "-5"), server.Port());
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    EXPECT_EQ(Calls(), Shift(1250 - 5 * 3600000LL));
    std::string request = server.LastRequest();
    ASSERT_EQ(request.size(), 48u);
    EXPECT_EQ(request[0], char(0x23));
}

TEST_F(Flow, SilentServerTimesOut) {
    auto& server = Server(Kind::Silent);
    ASSERT_TRUE(server.Start(Kind::Silent));
    QElapsedTimer t;
    t.start();
    Run(Args("1"), server.Port(), 15000);
    EXPECT_GE(t.elapsed(), 6900);
    EXPECT_TRUE(Ended);
    EXPECT_EQ(Reporter.Events, FailEvents);
    EXPECT_EQ(Log(), Start() + "\tFAIL: Response From Time Server Timed Out\r\n");
    EXPECT_EQ(Calls(), "");
}

// TIME over TCP and SNTP over UDP alike: a refusal needs no time-out (a
// refused loopback port answers in microseconds; the bound leaves room for
// a loaded machine but not for the seven seconds).
TEST_F(Flow, RefusedPortFailsAtOnce) {
    for (const char* protocol : {"1", "2"}) {
        Form.reset();
        Ended = false;
        Reporter.Events.clear();
        std::filesystem::remove(Dir + "/hxsynclog.hxd");
        QElapsedTimer t;
        t.start();
        Run(Args(protocol), TTestTimeServer::ClosedPort(protocol[0] == '2'));
        EXPECT_LT(t.elapsed(), 2000) << protocol;
        EXPECT_EQ(Reporter.Events, FailEvents) << protocol;
        // The time-out's text, then what the socket said: the status of
        // horolux tells the user the server refused.
        const std::string log = Log();
        EXPECT_EQ(log.rfind(Start() + "\tFAIL: Response From Time Server Timed Out - ", 0), 0u)
            << protocol << ": " << log;
        EXPECT_NE(QString::fromStdString(log).toLower().indexOf("refused"), -1) << log;
        EXPECT_EQ(log.find('\r'), log.size() - 2) << log;
    }
}

TEST_F(Flow, UnknownHostFails) {
    Form.reset();
    auto args = Args("2");
    args[1] = "no-such-host.invalid";
    Run(args, 9);
    EXPECT_EQ(Reporter.Events, FailEvents);
    EXPECT_EQ(Calls(), "");
}

TEST_F(Flow, LargeChangeAnsweredYes) {
    auto& server = Server(Kind::Time, EncodeTime(2, 0, 0, 0));
    ASSERT_TRUE(server.Start(Kind::Time));
    // The user takes half a minute to answer: the correction is unchanged.
    Dialogs.WhileAsking = [this] { PinClock(Pinned + Sec(30), 1.0); };
    Run(Args("1", "0", "0", "0", "1"), server.Port());
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0],
              "Ask: " + LargeChangeQuestion(Pinned, Pinned + EncodeTime(2, 0, 1, 0)));
    EXPECT_NE(Dialogs.Shown[0].find("from: 10:45:45 UTC to: 12:45:46 UTC"), std::string::npos);
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    EXPECT_EQ(Calls(), Shift(7201000));
}

TEST_F(Flow, LargeChangeAnsweredNo) {
    auto& server = Server(Kind::Time, -EncodeTime(1, 0, 0, 0));
    ASSERT_TRUE(server.Start(Kind::Time));
    Dialogs.Answer = false;
    Run(Args("1", "0", "0", "0", "1"), server.Port());
    EXPECT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Reporter.Events, FailEvents);
    EXPECT_EQ(Calls(), "");
    EXPECT_EQ(Log(), Start() + "\tFAIL: User aborted sync due to large differential\r\n");
}

TEST_F(Flow, FortyFiveMinutesExactlyIsNotAsked) {
    // 44:59 ahead plus the allowed second.
    auto& server = Server(Kind::Time, EncodeTime(0, 44, 59, 0));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1", "0", "0", "0", "1"), server.Port());
    EXPECT_TRUE(Dialogs.Shown.empty());
    EXPECT_EQ(Calls(), Shift(45 * 60000));
}

TEST_F(Flow, LargeChangeWithoutConfirmIsApplied) {
    auto& server = Server(Kind::Time, EncodeTime(5, 0, 0, 0));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1"), server.Port());
    EXPECT_TRUE(Dialogs.Shown.empty());
    EXPECT_EQ(Calls(), Shift(5 * 3600000LL + 1000));
}

TEST_F(Flow, RefusedByTheTimeService) {
    StartService("ntp");
    auto& server = Server(Kind::Time, Sec(10));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1"), server.Port());
    EXPECT_EQ(Reporter.Events, FailEvents);
    EXPECT_EQ(Log(), Start() +
                         "\tFAIL: Could not set system time - automatic time synchronisation is "
                         "on\r\n");
}

TEST_F(Flow, NoLogForBangOrABadName) {
    auto& server = Server(Kind::Time, Sec(10));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1", "0", "0", "0", "0", "!"), server.Port());
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    for (const char* bad : {"../escaped.hxd", "sub/log.hxd", "..", "."}) {
        Ended = false;
        Reporter.Events.clear();
        Run(Args("1", "0", "0", "0", "0", bad), server.Port());
        EXPECT_TRUE(Ended) << bad;
    }
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(Dir))
        if (e.is_regular_file() && e.path().filename().string().rfind("calls", 0) != 0)
            files.push_back(e.path().filename());
    EXPECT_TRUE(files.empty()) << files.front();
    EXPECT_FALSE(std::filesystem::exists(Dir + "/../escaped.hxd"));
}

TEST_F(Flow, UnwritableLogStillEnds) {
    auto& server = Server(Kind::Time, Sec(10));
    ASSERT_TRUE(server.Start(Kind::Time));
    std::filesystem::create_directory(Dir + "/hxsynclog.hxd"); // a directory: cannot append
    Run(Args("1"), server.Port());
    EXPECT_TRUE(Ended);
    EXPECT_EQ(Reporter.Events, SuccessEvents);
}

TEST_F(Flow, WrongArgumentCount) {
    for (std::size_t n : {0u, 7u, 9u}) {
        Dialogs.Shown.clear();
        Ended = false;
        auto args = Args("1");
        args.resize(n, "x");
        Run(args, 9, 1000);
        EXPECT_TRUE(Ended) << n;
        EXPECT_EQ(Dialogs.Shown,
                  (std::vector<std::string>{"Error: Incorrect Tickmatch Parameters - Exiting..."}));
        EXPECT_TRUE(Reporter.Events.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(Dir + "/hxsynclog.hxd"));
}

TEST_F(Flow, NonNumericArgumentEndsWithoutAttempt) {
    Run({"-s", "127.0.0.1", "one", "0", "0", "0", "0", "hxsynclog.hxd"}, 9, 1000);
    EXPECT_TRUE(Ended);
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_EQ(Dialogs.Shown[0], "Error: 'one' is not a valid integer value");
    EXPECT_TRUE(Reporter.Events.empty());
}

TEST_F(Flow, OtherModeMakesNoAttempt) {
    auto args = Args("1");
    args[0] = "-x";
    Run(args, 9, 1000);
    EXPECT_TRUE(Ended);
    EXPECT_TRUE(Reporter.Events.empty());
    EXPECT_FALSE(std::filesystem::exists(Dir + "/hxsynclog.hxd"));
}

TEST_F(Flow, MissingMainWindowWarnsAndGoesOn) {
    Reporter.MainWindow = false;
    auto& server = Server(Kind::Time, Sec(10));
    ASSERT_TRUE(server.Start(Kind::Time));
    Run(Args("1"), server.Port());
    EXPECT_EQ(Dialogs.Shown,
              (std::vector<std::string>{"Warning: Horolux Not Found - This is unusual!"}));
    EXPECT_EQ(Reporter.Events, SuccessEvents);
}

TEST_F(Flow, StayingWindowLogsOnceAndEndsOnTerminate) {
    auto& server = Server(Kind::Time, Sec(10));
    ASSERT_TRUE(server.Start(Kind::Time));
    Form.reset();
    Run(Args("1", "0", "1"), server.Port());
    EXPECT_FALSE(Ended);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_EQ(Form->windowTitle(), "Time Sync");
    Form->ReplyTimeoutMs = 100;
    Pump(2500); // past the time-out of the attempt
    EXPECT_EQ(Reporter.Events, SuccessEvents);
    std::string log = Log();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1);
    Reporter.Deliver("HXM_SyncAttempt");
    EXPECT_FALSE(Ended);
    Reporter.Deliver("HXM_TerminateTickmatch");
    EXPECT_TRUE(Ended);
}

TEST_F(Flow, TerminateDuringAnAttemptEndsQuietly) {
    auto& server = Server(Kind::Silent);
    ASSERT_TRUE(server.Start(Kind::Silent));
    Clock = std::make_unique<TSystemClockSetter>(Bus.Address());
    Form = std::make_unique<TF_Tickmatch>(
        Args("1"), Dir, TF_Tickmatch::TServices{&Reporter, &Dialogs, Clock.get()});
    Form->TC_TimeClient->PortOverride = server.Port();
    Form->Terminate = [this] { Ended = true; };
    Form->FormCreate();
    Pump(200);
    Reporter.Deliver("HXM_TerminateTickmatch");
    EXPECT_TRUE(Ended);
    Pump(200);
    EXPECT_EQ(Reporter.Events, (Events{"HXM_SyncAttempt"}));
    EXPECT_FALSE(std::filesystem::exists(Dir + "/hxsynclog.hxd"));
}
