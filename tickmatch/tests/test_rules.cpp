#include "tickmatch/SyncRules.h"

#include <gtest/gtest.h>

#include <cmath>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

using namespace tickmatch;

namespace {

long long Ms(TDateTime dt) {
    return std::llround(dt * MSecsPerDay);
}
TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms = 0) {
    return EncodeDate(y, mo, d) + EncodeTime(h, mi, s, ms);
}

} // namespace

TEST(Arguments, ReadInTheirOrder) {
    auto a = ParseArguments({"-s", "time.example", "2", "-5", "0", "1", "1", "hxsynclog.hxd"});
    EXPECT_EQ(a.Mode, "-s");
    EXPECT_EQ(a.Server, "time.example");
    EXPECT_EQ(ProtocolFromArgument(a.Protocol), TProtocol::Sntp);
    EXPECT_DOUBLE_EQ(a.UtcOffset, -5);
    EXPECT_EQ(a.Stay, 0);
    EXPECT_TRUE(a.SetDate);
    EXPECT_TRUE(a.ConfirmLargeChange);
    EXPECT_EQ(a.LogName, "hxsynclog.hxd");
    // Flags are true only for exactly "1".
    a = ParseArguments({"-x", "h", "0", "0", "3", "yes", "01", "!"});
    EXPECT_FALSE(a.SetDate);
    EXPECT_FALSE(a.ConfirmLargeChange);
    EXPECT_EQ(a.Stay, 3);
}

TEST(Arguments, NonNumbersRaise) {
    EXPECT_THROW(ParseArguments({"-s", "h", "x", "0", "0", "0", "0", "!"}), EConvertError);
    EXPECT_THROW(ParseArguments({"-s", "h", "1", "five", "0", "0", "0", "!"}), EConvertError);
    EXPECT_THROW(ParseArguments({"-s", "h", "1", "0", "", "0", "0", "!"}), EConvertError);
}

TEST(Arguments, ProtocolValues) {
    EXPECT_EQ(ProtocolFromArgument(0), TProtocol::Daytime);
    EXPECT_EQ(ProtocolFromArgument(1), TProtocol::Time);
    EXPECT_EQ(ProtocolFromArgument(2), TProtocol::Sntp);
    EXPECT_EQ(ProtocolFromArgument(7), TProtocol::Time);
    EXPECT_EQ(ProtocolFromArgument(-1), TProtocol::Time);
}

TEST(Correction, TimeAddsOneSecondAndKeepsTodaysDate) {
    TDateTime clock = At(2026, 12, 8, 9, 58, 0);
    // Server says 10:00:00 on another date; set-date off keeps the clock's date.
    TDateTime server = At(2026, 11, 30, 10, 0, 0);
    EXPECT_EQ(Ms(CorrectedTime(server, true, TProtocol::Time, 0, false, clock)),
              Ms(At(2026, 12, 8, 10, 0, 1)));
    EXPECT_EQ(Ms(CorrectedTime(server, true, TProtocol::Time, 0, true, clock)),
              Ms(At(2026, 11, 30, 10, 0, 1)));
}

TEST(Correction, OffsetOfEitherSignIsAdded) {
    TDateTime clock = At(2026, 12, 8, 4, 0, 0);
    TDateTime server = At(2026, 12, 8, 10, 0, 0);
    EXPECT_EQ(Ms(CorrectedTime(server, true, TProtocol::Time, -5, true, clock)),
              Ms(At(2026, 12, 8, 5, 0, 1)));
    EXPECT_EQ(Ms(CorrectedTime(server, true, TProtocol::Sntp, -5, true, clock)),
              Ms(At(2026, 12, 8, 5, 0, 0)));
    EXPECT_EQ(Ms(CorrectedTime(server, true, TProtocol::Sntp, 2.5, true, clock)),
              Ms(At(2026, 12, 8, 12, 30, 0)));
}

TEST(Correction, DaytimeTakesTheDateNearestTheClock) {
    TDateTime tod = EncodeTime(7, 30, 15, 0);
    EXPECT_EQ(Ms(CorrectedTime(tod, false, TProtocol::Daytime, 0, true, At(2026, 12, 8, 7, 0, 0))),
              Ms(At(2026, 12, 8, 7, 30, 18)));
    // Clock just before midnight, server just after: tomorrow, not 24 h back.
    tod = EncodeTime(0, 0, 2, 0);
    EXPECT_EQ(
        Ms(CorrectedTime(tod, false, TProtocol::Daytime, 0, false, At(2026, 12, 8, 23, 59, 50))),
        Ms(At(2026, 12, 9, 0, 0, 5)));
    // And the other way round.
    tod = EncodeTime(23, 59, 50, 0);
    EXPECT_EQ(Ms(CorrectedTime(tod, false, TProtocol::Daytime, 0, false, At(2026, 12, 9, 0, 0, 5))),
              Ms(At(2026, 12, 8, 23, 59, 53)));
    // The offset carrying the time over midnight.
    tod = EncodeTime(22, 0, 0, 0);
    EXPECT_EQ(Ms(CorrectedTime(tod, false, TProtocol::Daytime, 3, false, At(2026, 12, 9, 1, 0, 0))),
              Ms(At(2026, 12, 9, 1, 0, 3)));
}

TEST(Correction, SetDateOffNearMidnightForTime) {
    TDateTime server = At(2026, 12, 9, 0, 0, 10);
    EXPECT_EQ(
        Ms(CorrectedTime(server, true, TProtocol::Time, 0, false, At(2026, 12, 8, 23, 59, 58))),
        Ms(At(2026, 12, 9, 0, 0, 11)));
}

TEST(LargeChange, FortyFiveMinutesExactlyDoesNotAsk) {
    TDateTime old = At(2026, 12, 8, 9, 0, 0);
    EXPECT_FALSE(IsLargeChange(old, old + EncodeTime(0, 45, 0, 0)));
    EXPECT_FALSE(IsLargeChange(old + EncodeTime(0, 45, 0, 0), old));
    EXPECT_TRUE(IsLargeChange(old, old + EncodeTime(0, 45, 0, 1)));
    EXPECT_TRUE(IsLargeChange(old, old - EncodeTime(0, 45, 1, 0)));
    EXPECT_FALSE(IsLargeChange(old, old));
}

TEST(LargeChange, QuestionText) {
    std::string q = LargeChangeQuestion(At(2026, 12, 8, 9, 5, 0), At(2026, 12, 8, 10, 0, 3));
    EXPECT_EQ(q, "This Clock Sync will alter your system clock by more than 45 minutes\n\r"
                 "which is an unusually large change...\n\r"
                 "You may wish to check that this server is returning UTC and/or that the\n\r"
                 "Time Server UTC offset is set correctly in the Sync Preferences screen\n\r"
                 "(see the Horolux userguide for more information)\n\r"
                 "Proceed with clock Adjustment from: 09:05:00 UTC to: 10:00:03 UTC");
}

TEST(SyncLog, LinesAsTheLogHoldsThem) {
    std::string line = LogLineStart("time.example", At(2026, 12, 8, 2, 45, 45));
    EXPECT_EQ(line, "SYNC-ATTEMPT\tHost: time.example\tDec-08-2026 02:45:45");
    TDateTime newUtc = At(2026, 12, 8, 10, 0, 3);
    TDateTime oldUtc = At(2026, 12, 8, 10, 0, 0);
    EXPECT_EQ(LogSuccessFields(newUtc, oldUtc), "\tSUCCESS\t" + FloatToStr(newUtc) + "\t" +
                                                    FloatToStr(oldUtc) + "\t" +
                                                    FloatToStr(oldUtc - newUtc) + "!");
    EXPECT_EQ(LogSuccessFields(46364.5, 46364.25), "\tSUCCESS\t46364.5\t46364.25\t-0.25!");
    EXPECT_EQ(LogFailField(FailTimedOut), "\tFAIL: Response From Time Server Timed Out");
    // A host name cannot add fields or lines.
    EXPECT_EQ(LogLineStart("a\tb\nc", At(2026, 1, 2, 3, 4, 5)),
              "SYNC-ATTEMPT\tHost: a b c\tJan-02-2026 03:04:05");
}

TEST(SyncLog, NameMustBeAPlainFileName) {
    EXPECT_TRUE(IsValidLogName("hxsynclog.hxd"));
    EXPECT_TRUE(IsValidLogName("my log.txt"));
    EXPECT_FALSE(IsValidLogName(""));
    EXPECT_FALSE(IsValidLogName("."));
    EXPECT_FALSE(IsValidLogName(".."));
    EXPECT_FALSE(IsValidLogName("../hxsynclog.hxd"));
    EXPECT_FALSE(IsValidLogName("/etc/passwd"));
    EXPECT_FALSE(IsValidLogName("sub/log"));
}

class SyncLogFile : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tickmatch-log-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        Dir = tmpl;
    }
    void TearDown() override {
        chmod(Dir.c_str(), 0700);
        std::filesystem::remove_all(Dir);
    }
    std::string Read(const std::string& path) {
        std::ifstream f(path, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    std::string Dir;
};

TEST_F(SyncLogFile, AppendsWithCrLfAndCreatesWhenMissing) {
    std::string path = Dir + "/hxsynclog.hxd", error;
    ASSERT_TRUE(AppendLogLine(path, "one", error)) << error;
    ASSERT_TRUE(AppendLogLine(path, "two\tfields", error)) << error;
    EXPECT_EQ(Read(path), "one\r\ntwo\tfields\r\n");
}

TEST_F(SyncLogFile, WriteErrorIsReported) {
    std::string error;
    EXPECT_FALSE(AppendLogLine(Dir + "/no/such/dir/log", "x", error));
    EXPECT_NE(error.find("/no/such/dir/log"), std::string::npos);
    if (geteuid() != 0) {
        chmod(Dir.c_str(), 0500);
        error.clear();
        EXPECT_FALSE(AppendLogLine(Dir + "/log", "x", error));
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(SyncLogFile, DataDirectoryIsTheUsersOrTheOneHoroluxHandsOver) {
    const char* was = getenv("XDG_DATA_HOME");
    std::string saved = was ? was : "";
    std::string xdg = Dir + "/xdg";
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    // Never the program's directory, even when it can be written.
    EXPECT_EQ(DataDirectory(Dir), xdg + "/horolux");
    setenv("HOROLUX_DATADIR", (Dir + "/given/").c_str(), 1);
    EXPECT_EQ(DataDirectory(Dir), Dir + "/given");
    unsetenv("HOROLUX_DATADIR");
    if (was)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}
