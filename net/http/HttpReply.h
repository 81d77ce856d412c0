// The HTTP client's reply reader: status line, header fields, and the body
// with its end (server close, Content-Length or chunked framing). It knows
// nothing of sockets; the client feeds it what arrives. Plain C++.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Errors the client reports in DoneError besides WinSock codes.
enum : uint16_t {
    httpErrAborted = 3,          // AbortRequest
    httpErrLineTooLong = 4,      // a header line beyond the line buffer
    httpErrBadReply = 5,         // not an HTTP reply we can read
    httpErrIncomplete = 6,       // the connection ended before the document did
    httpErrTooManyRedirects = 7, // a redirect loop
    httpErrBadUrl = 8,           // a URL or redirect we will not fetch
};

constexpr size_t HttpLineBufferSize = 8192; // longest header line
constexpr size_t HttpMaxHeaderLines = 256;

class THttpReplyParser {
public:
    enum class TPhase { Header, Body, Done, Failed };

    // Each is called only when set; Body gets the decoded document bytes.
    std::function<void()> OnHeaderBegin;
    std::function<void(const std::string& line)> OnHeaderData; // after every non-empty line
    std::function<void(const std::string& value)> OnCookie;
    std::function<void()> OnHeaderEnd;
    std::function<void(const char* data, size_t len)> OnBody;

    // Feeds what arrived. Stops early when the phase becomes Done or Failed
    // (also when a callback calls Fail).
    void Feed(const char* data, size_t len);
    // The server closed the connection: ends the body, or fails when the
    // reply is incomplete.
    void Finish();
    void Fail(uint16_t error, const std::string& text);

    TPhase Phase() const { return phase_; }
    bool HeaderDone() const { return phase_ == TPhase::Body || headerEnded_; }

    // Reply data.
    int Status = 0;
    std::string StatusText;
    int DocLength = -1; // Content-Length, -1 when absent
    std::string DocType;
    std::vector<std::string> HeaderLines;
    std::vector<std::string> AuthHeaders;
    std::string ContentRangeBegin, ContentRangeEnd, AcceptRanges;
    std::string Location; // of a 3xx reply
    bool Redirecting = false;
    bool Chunked = false;
    int64_t BodyBytes = 0; // decoded bytes delivered

    uint16_t Error = 0;
    std::string ErrorText;

private:
    void HeaderLine(const std::string& line);
    void EndHeader();
    void BodyBytesIn(const char* data, size_t len);
    void Deliver(const char* data, size_t len);
    void ChunkBytes(const char* data, size_t len);
    bool TakeLine(std::string& line, bool& tooLong);

    TPhase phase_ = TPhase::Header;
    bool headerEnded_ = false;
    bool sawStatusLine_ = false;
    size_t lineCount_ = 0;
    std::string pending_; // bytes not yet taken as a line

    // Chunked decoding.
    enum class TChunk { Size, Data, DataEnd, Trailer };
    TChunk chunk_ = TChunk::Size;
    uint64_t chunkLeft_ = 0;
    std::string chunkLine_;
};
