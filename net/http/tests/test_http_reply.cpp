#include <gtest/gtest.h>

#include "net/http/HttpReply.h"

namespace {

struct Collected {
    std::string body;
    std::vector<std::string> events;
};

// Feeds a reply in pieces of the given size, then the server's close.
THttpReplyParser Parse(const std::string& reply, size_t piece, Collected& out, bool close = true) {
    THttpReplyParser p;
    p.OnHeaderBegin = [&] { out.events.push_back("begin"); };
    p.OnHeaderEnd = [&] { out.events.push_back("end"); };
    p.OnCookie = [&](const std::string& v) { out.events.push_back("cookie " + v); };
    p.OnBody = [&](const char* d, size_t n) { out.body.append(d, n); };
    for (size_t i = 0; i < reply.size(); i += piece)
        p.Feed(reply.data() + i, std::min(piece, reply.size() - i));
    if (close) p.Finish();
    return p;
}

} // namespace

TEST(HttpReply, StatusHeadersAndBodyInAnySplit) {
    const std::string reply = "HTTP/1.0 200 OK\r\n"
                              "Content-Type: Text/HTML; charset=x\r\n"
                              "content-length:   11 \r\n"
                              "Accept-Ranges: bytes\r\n"
                              "WWW-Authenticate: Basic realm=\"r\"\r\n"
                              "Set-Cookie: a=1\r\n"
                              "X-Other: kept\r\n"
                              "\r\n"
                              "hello\nworld";
    for (size_t piece : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        Collected c;
        const auto p = Parse(reply, piece, c);
        ASSERT_EQ(p.Phase(), THttpReplyParser::TPhase::Done) << piece;
        EXPECT_EQ(p.Status, 200);
        EXPECT_EQ(p.StatusText, "OK");
        EXPECT_EQ(p.DocType, "text/html; charset=x");
        EXPECT_EQ(p.DocLength, 11);
        EXPECT_EQ(p.AcceptRanges, "bytes");
        ASSERT_EQ(p.AuthHeaders.size(), 1u);
        EXPECT_EQ(p.HeaderLines.size(), 7u);
        EXPECT_EQ(p.HeaderLines.front(), "HTTP/1.0 200 OK");
        EXPECT_EQ(c.body, "hello\nworld");
        EXPECT_EQ(c.events, (std::vector<std::string>{"begin", "cookie a=1", "end"}));
    }
}

TEST(HttpReply, BodyEndsAtCloseOrContentLength) {
    Collected c;
    auto p = Parse("HTTP/1.1 200 OK\n\nno length given, ends at close", 5, c);
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Done);
    EXPECT_EQ(c.body, "no length given, ends at close");
    EXPECT_EQ(p.DocLength, -1);

    Collected d;
    p = Parse("HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nabcTRAILING", 4, d, false);
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Done) << "complete without waiting for close";
    EXPECT_EQ(d.body, "abc");
}

TEST(HttpReply, ShortBodyOrEarlyCloseIsAFailure) {
    Collected c;
    auto p = Parse("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nonly this", 3, c);
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Failed);
    EXPECT_EQ(p.Error, httpErrIncomplete);
    EXPECT_EQ(p.ErrorText, "Document incomplete");

    for (const char* cut : {"", "HTTP/1.0 200 OK\r\n", "HTTP/1.0 200 OK\r\nContent-Le"}) {
        Collected e;
        p = Parse(cut, 2, e);
        EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Failed) << cut;
        EXPECT_EQ(p.Error, httpErrIncomplete);
    }
}

TEST(HttpReply, MalformedRepliesFail) {
    for (const char* bad :
         {"HTTP/1.0 2x0 OK\r\n\r\n", "HTTP/1.0 20 OK\r\n\r\n", "ICY 200 OK\r\n\r\n",
          "garbage\r\n\r\nbody", "HTTP/1.0 200 OK\r\nContent-Length: 12a\r\n\r\n",
          "HTTP/1.0 200 OK\r\nContent-Length: -1\r\n\r\n",
          "HTTP/1.0 200 OK\r\nContent-Length: 99999999999\r\n\r\n",
          "HTTP/1.0 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
          "HTTP/1.0 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n"}) {
        Collected c;
        const auto p = Parse(bad, 1, c);
        EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Failed) << bad;
        EXPECT_NE(p.Error, 0) << bad;
        EXPECT_TRUE(c.body.empty()) << bad;
    }
}

TEST(HttpReply, LineLengthLimit) {
    Collected c;
    const std::string longLine = "X-Long: " + std::string(HttpLineBufferSize, 'a');
    auto p = Parse("HTTP/1.0 200 OK\r\n" + longLine + "\r\n\r\nbody", 1000, c);
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Failed);
    EXPECT_EQ(p.Error, httpErrLineTooLong);
    EXPECT_EQ(p.ErrorText, "HTTP line too long");

    // Without any line end at all the limit holds too.
    Collected d;
    p = Parse(std::string(HttpLineBufferSize * 3, 'z'), 5000, d, false);
    EXPECT_EQ(p.Error, httpErrLineTooLong);

    Collected e;
    std::string many = "HTTP/1.0 200 OK\r\n";
    for (size_t i = 0; i < HttpMaxHeaderLines + 1; ++i)
        many += "X: y\r\n";
    p = Parse(many + "\r\n", 512, e);
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Failed);
}

TEST(HttpReply, ChunkedIsDecoded) {
    const std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                              "Content-Length: 999\r\n\r\n"
                              "5\r\nhello\r\n6;ext=1\r\n world\r\n0\r\nX-Trailer: t\r\n\r\n";
    for (size_t piece : {1u, 4u, 1000u}) {
        Collected c;
        const auto p = Parse(reply, piece, c, false);
        EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Done) << piece;
        EXPECT_EQ(c.body, "hello world");
        EXPECT_EQ(p.DocLength, -1);
    }
    for (const char* bad : {"zz\r\n", "5\r\nhelloXX\r\n", "5\r\nhel"}) {
        Collected c;
        const auto p =
            Parse(std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n") + bad, 1, c);
        EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Failed) << bad;
        EXPECT_NE(c.body, std::string(bad)) << "framing never ends up in the document";
    }
}

TEST(HttpReply, RedirectsOnlyFrom3xx) {
    Collected c;
    auto p = Parse("HTTP/1.0 302 Found\r\nLocation: /new\r\n\r\nignored", 3, c, false);
    EXPECT_TRUE(p.Redirecting);
    EXPECT_EQ(p.Location, "/new");
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Done);
    EXPECT_TRUE(c.body.empty());

    Collected d;
    p = Parse("HTTP/1.0 201 Created\r\nLocation: /new\r\n\r\nbody", 3, d);
    EXPECT_FALSE(p.Redirecting);
    EXPECT_EQ(d.body, "body");
}

TEST(HttpReply, ServerErrorStopsReadingWithItsStatus) {
    Collected c;
    THttpReplyParser p;
    const std::string head = "HTTP/1.0 404 Not Found\r\nContent-Type: text/html\r\n";
    p.Feed(head.data(), head.size());
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Done);
    EXPECT_EQ(p.Status, 404);
    EXPECT_EQ(p.StatusText, "Not Found");
    EXPECT_EQ(p.DocType, "text/html") << "lines already received are handled";
    EXPECT_EQ(p.Error, 0);
}

TEST(HttpReply, InterimRepliesAndHeaderlessDocuments) {
    Collected c;
    auto p = Parse("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\ndata", 2, c);
    EXPECT_EQ(p.Status, 200);
    EXPECT_EQ(c.body, "data");

    Collected d;
    p = Parse("<html>\r\n<body>x</body>\r\n</html>", 4, d);
    EXPECT_EQ(p.Phase(), THttpReplyParser::TPhase::Done);
    EXPECT_EQ(p.DocType, "text/html");
    EXPECT_EQ(d.body, "<html>\r\n<body>x</body>\r\n</html>") << "line ends are kept";
}
