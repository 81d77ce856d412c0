#include "tickmatch/TimeProtocol.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tickmatch;

namespace {

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int v : b)
        s.push_back(char(v));
    return s;
}

// Whole milliseconds, to compare decoded times without float noise.
long long Ms(TDateTime dt) {
    return std::llround(dt * MSecsPerDay);
}

} // namespace

TEST(TimeDecode, IsExactSecondsSince1900) {
    // 4,005,676,800 s after 1900: midnight of 2026-12-08 UTC.
    auto dt = DecodeTimeReply(Bytes({0xEE, 0xC1, 0xC7, 0x00}));
    ASSERT_TRUE(dt);
    EXPECT_EQ(Ms(*dt), Ms(EncodeDate(2026, 12, 8)));
    // 2^31 + 1 s is still the first era (1968).
    dt = DecodeTimeReply(Bytes({0x80, 0x00, 0x00, 0x01}));
    ASSERT_TRUE(dt);
    EXPECT_EQ(Ms(*dt), Ms(2 + 2147483649.0 / 86400));
}

TEST(TimeDecode, WrapsInto2036Era) {
    // Zero is the start of the second era: 2036-02-07 06:28:16 UTC.
    auto dt = DecodeTimeReply(Bytes({0, 0, 0, 0}));
    ASSERT_TRUE(dt);
    EXPECT_EQ(Ms(*dt), Ms(EncodeDate(2036, 2, 7) + EncodeTime(6, 28, 16, 0)));
    dt = DecodeTimeReply(Bytes({0, 0, 0, 10}));
    EXPECT_EQ(Ms(*dt), Ms(EncodeDate(2036, 2, 7) + EncodeTime(6, 28, 26, 0)));
}

TEST(TimeDecode, NeedsFourBytesAndReadsOnlyThem) {
    EXPECT_FALSE(DecodeTimeReply(Bytes({0xEE, 0xC1, 0xC7})));
    EXPECT_FALSE(DecodeTimeReply(""));
    auto dt = DecodeTimeReply(Bytes({0xEE, 0xC1, 0xC7, 0x00, 0xFF, 0xFF}));
    ASSERT_TRUE(dt);
    EXPECT_EQ(Ms(*dt), Ms(EncodeDate(2026, 12, 8)));
}

TEST(DaytimeDecode, FindsTheFirstTimeInCommonFormats) {
    auto tod = [](const std::string& reply) { return Ms(DecodeDaytimeReply(reply).value()); };
    // inetd's ctime form, NIST's form, a bare time, a one-digit hour.
    EXPECT_EQ(tod("Tue Dec  8 07:30:15 2026\r\n"), Ms(EncodeTime(7, 30, 15, 0)));
    EXPECT_EQ(tod("61382 26-12-08 21:04:10 00 0 0 123.4 UTC(NIST) *\n"),
              Ms(EncodeTime(21, 4, 10, 0)));
    EXPECT_EQ(tod("23:59:59"), Ms(EncodeTime(23, 59, 59, 0)));
    EXPECT_EQ(tod("Tuesday, December 8, 2026 7:05:09-UTC"), Ms(EncodeTime(7, 5, 9, 0)));
    EXPECT_EQ(tod("2026-12-08T10:00:00Z"), Ms(EncodeTime(10, 0, 0, 0)));
}

TEST(DaytimeDecode, SkipsWhatIsNotATime) {
    EXPECT_FALSE(DecodeDaytimeReply("abc"));
    EXPECT_FALSE(DecodeDaytimeReply(""));
    EXPECT_FALSE(DecodeDaytimeReply("12:3:45"));
    // Out of range, or part of a longer number, then a real time.
    EXPECT_EQ(Ms(DecodeDaytimeReply("24:00:00 123:45:12 12:345:12 05:06:07").value()),
              Ms(EncodeTime(5, 6, 7, 0)));
    EXPECT_FALSE(DecodeDaytimeReply("10:00:000"));
    // A leap second is read as the second before it.
    EXPECT_EQ(Ms(DecodeDaytimeReply("23:59:60").value()), Ms(EncodeTime(23, 59, 59, 0)));
}

TEST(DaytimeDecode, CleansTheReplyForTheLog) {
    EXPECT_EQ(CleanReplyText("  abc \r\n"), "abc");
    EXPECT_EQ(CleanReplyText("\tbad\r\nsecond line\x01\n"), "bad  second line");
    EXPECT_EQ(CleanReplyText("\r\n"), "");
}

TEST(Sntp, RequestCarriesVersionModeAndTransmit) {
    auto p = BuildSntpRequest({0x01020304, 0xA0B0C0D0});
    EXPECT_EQ(p[0], 0x23); // version 4, client
    for (int i = 1; i < 40; ++i)
        EXPECT_EQ(p[i], 0) << i;
    EXPECT_EQ(p[40], 0x01);
    EXPECT_EQ(p[43], 0x04);
    EXPECT_EQ(p[44], 0xA0);
    EXPECT_EQ(p[47], 0xD0);
}

TEST(Sntp, TimestampsRoundTrip) {
    TDateTime t = EncodeDate(2026, 12, 8) + EncodeTime(10, 0, 0, 250);
    TNtpTimestamp ts = DateTimeToNtp(t);
    EXPECT_EQ(ts.Seconds, 4005676800u + 36000u);
    // A TDateTime holds about a microsecond near today's date.
    EXPECT_NEAR(double(ts.Fraction), double(0x40000000u), 4295.0);
    EXPECT_EQ(Ms(NtpToDateTime(ts)), Ms(t));
    // After the 2036 wrap.
    TDateTime later = EncodeDate(2040, 1, 1);
    EXPECT_EQ(Ms(NtpToDateTime(DateTimeToNtp(later))), Ms(later));
}

namespace {

std::string Reply(int first, int stratum, TNtpTimestamp orig, TNtpTimestamp recv,
                  TNtpTimestamp xmit) {
    std::string p(48, '\0');
    p[0] = char(first);
    p[1] = char(stratum);
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            p[at + i] = char(v >> (24 - 8 * i));
    };
    put(24, orig.Seconds);
    put(28, orig.Fraction);
    put(32, recv.Seconds);
    put(36, recv.Fraction);
    put(40, xmit.Seconds);
    put(44, xmit.Fraction);
    return p;
}

} // namespace

TEST(Sntp, AcceptsOnlyAMatchingServerReply) {
    TNtpTimestamp sent{4005676800u, 77}, srv{4005676800u + 3600, 0};
    const int good = (0 << 6) | (4 << 3) | 4;
    auto r = DecodeSntpReply(Reply(good, 2, sent, srv, srv), sent);
    ASSERT_TRUE(r);
    EXPECT_EQ(Ms(r->Transmit), Ms(EncodeDate(2026, 12, 8) + EncodeTime(1, 0, 0, 0)));

    EXPECT_FALSE(DecodeSntpReply(Reply(good, 2, {sent.Seconds, 78}, srv, srv), sent));
    EXPECT_FALSE(DecodeSntpReply(Reply(good, 2, sent, srv, srv).substr(0, 47), sent));
    EXPECT_FALSE(DecodeSntpReply(Reply((4 << 3) | 3, 2, sent, srv, srv), sent)); // client mode
    EXPECT_FALSE(DecodeSntpReply(Reply(good, 0, sent, srv, srv), sent));         // kiss-o'-death
    EXPECT_FALSE(DecodeSntpReply(Reply((3 << 6) | (4 << 3) | 4, 2, sent, srv, srv), sent));
    EXPECT_FALSE(DecodeSntpReply(Reply(good, 2, sent, srv, {0, 0}), sent));
    // Version 3 servers answer too.
    EXPECT_TRUE(DecodeSntpReply(Reply((3 << 3) | 4, 1, sent, srv, srv), sent));
}

TEST(Sntp, AddsHalfTheRoundTrip) {
    TSntpReply r;
    r.Receive = EncodeDate(2026, 12, 8);
    r.Transmit = r.Receive + EncodeTime(0, 0, 0, 100); // held 100 ms
    TDateTime sent = EncodeDate(2026, 12, 7);
    TDateTime received = sent + EncodeTime(0, 0, 0, 500); // 400 ms on the wire
    EXPECT_EQ(Ms(SntpServerTimeAt(r, sent, received)), Ms(r.Transmit) + 200);
    // A clock that stepped back while waiting adds nothing.
    EXPECT_EQ(Ms(SntpServerTimeAt(r, received, sent)), Ms(r.Transmit));
}

TEST(ReplyCollector, TimeWaitsForFourBytes) {
    TReplyCollector c(TReplyCollector::TKind::Time);
    c.Add("\xEE\xC1", 2);
    EXPECT_FALSE(c.Complete());
    c.Add("\xC7", 1);
    EXPECT_FALSE(c.Complete());
    c.Add("\x00\x99", 2);
    ASSERT_TRUE(c.Complete());
    EXPECT_EQ(c.Reply(), Bytes({0xEE, 0xC1, 0xC7, 0x00}));
}

TEST(ReplyCollector, DaytimeEndsAtLineEndCloseOrCap) {
    TReplyCollector c(TReplyCollector::TKind::Daytime);
    c.Add("Tue Dec  8 07:", 14);
    EXPECT_FALSE(c.Complete());
    c.Add("30:15 2026\r\nmore", 16);
    ASSERT_TRUE(c.Complete());
    EXPECT_EQ(c.Reply(), "Tue Dec  8 07:30:15 2026\r\n");

    c.Clear();
    c.Add("07:30:15", 8);
    EXPECT_FALSE(c.Complete());
    c.Closed();
    EXPECT_TRUE(c.Complete());
    EXPECT_EQ(c.Reply(), "07:30:15");

    c.Clear();
    std::string flood(5000, 'x');
    c.Add(flood.data(), flood.size());
    EXPECT_TRUE(c.Complete());
    EXPECT_EQ(c.Reply().size(), TReplyCollector::DaytimeCap);
}
