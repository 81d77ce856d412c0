// Bounded random-input runs of the reply and page parsers: no crash, no hang,
// no sanitizer report, and the results stay within their limits.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "net/http/HttpReply.h"
#include "net/http/UpdatePage.h"

namespace {

// Random text biased towards the bytes and words the parsers look for.
std::string RandomReply(std::mt19937& rng) {
    static const char* pieces[] = {"HTTP/1.0 ",
                                   "HTTP/1.1 200 OK",
                                   "\r\n",
                                   "\n",
                                   "\r",
                                   ":",
                                   "Content-Length: ",
                                   "Transfer-Encoding: chunked",
                                   "Location: /x",
                                   "302",
                                   "404",
                                   "100",
                                   "0",
                                   "ff",
                                   ";",
                                   " ",
                                   "<HTML>",
                                   "Set-Cookie: a",
                                   "Content-Range: bytes 1-2/3",
                                   "\0",
                                   "\xff",
                                   "-",
                                   "/",
                                   "99999999999"};
    std::uniform_int_distribution<int> count(0, 60), pick(0, 2 * std::size(pieces) - 1),
        byte(0, 255);
    std::string s;
    for (int i = count(rng); i > 0; --i) {
        const int p = pick(rng);
        if (p < static_cast<int>(std::size(pieces)))
            s += std::string(pieces[p], pieces[p][0] == '\0' ? 1 : std::strlen(pieces[p]));
        else
            s += static_cast<char>(byte(rng));
    }
    return s;
}

} // namespace

TEST(Fuzz, ReplyParserSurvivesRandomInput) {
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<size_t> split(1, 40);
    for (int round = 0; round < 20000; ++round) {
        const std::string reply = RandomReply(rng);
        THttpReplyParser p;
        int64_t delivered = 0;
        p.OnBody = [&](const char*, size_t n) { delivered += static_cast<int64_t>(n); };
        for (size_t i = 0; i < reply.size();) {
            const size_t n = std::min(split(rng), reply.size() - i);
            p.Feed(reply.data() + i, n);
            i += n;
        }
        p.Finish();
        ASSERT_NE(p.Phase(), THttpReplyParser::TPhase::Header);
        ASSERT_NE(p.Phase(), THttpReplyParser::TPhase::Body);
        ASSERT_EQ(delivered, p.BodyBytes);
        ASSERT_LE(p.HeaderLines.size(), HttpMaxHeaderLines);
        if (p.DocLength >= 0 && !p.Chunked) {
            ASSERT_LE(p.BodyBytes, p.DocLength);
        }
        if (p.Phase() == THttpReplyParser::TPhase::Failed) {
            ASSERT_NE(p.Error, 0);
        }
    }
}

TEST(Fuzz, MetaParserSurvivesRandomLines) {
    std::mt19937 rng(8122026);
    static const char* pieces[] = {"META HTTP-EQUIV",
                                   "meta http-equiv",
                                   "=",
                                   "\"",
                                   "CONTENT=",
                                   "content=",
                                   "hxLVersion",
                                   " ",
                                   "<",
                                   ">",
                                   "1.2.3"};
    std::uniform_int_distribution<int> count(0, 12), pick(0, std::size(pieces) - 1);
    TWfiTags tags;
    tags.VersionTag = "hxLVersion";
    for (int round = 0; round < 20000; ++round) {
        std::string line;
        for (int i = count(rng); i > 0; --i)
            line += pieces[pick(rng)];
        std::string tag, value;
        if (ParseMetaLine(line, tag, value)) {
            ASSERT_EQ(tag.find('"'), std::string::npos);
            ASSERT_EQ(value.find('"'), std::string::npos);
            ASSERT_LE(tag.size() + value.size(), line.size());
        }
        const auto v = ParseUpdatePage({line, line}, tags);
        ASSERT_LE(v.ProductVersion.size(), line.size());
        (void)IsNewerBuildNumber(value, tag);
        (void)BareFileName(line);
    }
}
