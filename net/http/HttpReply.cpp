#include "net/http/HttpReply.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "HTTP/1.x NNN reason": the status code and the reason text.
bool ParseStatusLine(const std::string& line, int& status, std::string& text) {
    if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || !IsDigit(line[7]) ||
        line[8] != ' ' || !IsDigit(line[9]) || !IsDigit(line[10]) || !IsDigit(line[11]))
        return false;
    if (line.size() > 12 && line[12] != ' ') return false;
    status = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    text = line.size() > 13 ? line.substr(13) : std::string();
    return true;
}

constexpr size_t MaxChunkLine = 1024;

} // namespace

void THttpReplyParser::Fail(uint16_t error, const std::string& text) {
    if (phase_ == TPhase::Done || phase_ == TPhase::Failed) return;
    phase_ = TPhase::Failed;
    Error = error;
    ErrorText = text;
}

void THttpReplyParser::Feed(const char* data, size_t len) {
    if (phase_ == TPhase::Done || phase_ == TPhase::Failed || len == 0) return;
    if (phase_ == TPhase::Body) {
        BodyBytesIn(data, len);
    } else {
        pending_.append(data, len);
        size_t pos = 0;
        while (phase_ == TPhase::Header) {
            const auto lf = pending_.find('\n', pos);
            if (lf == std::string::npos) {
                if (pending_.size() - pos >= HttpLineBufferSize)
                    Fail(httpErrLineTooLong, "HTTP line too long");
                break;
            }
            size_t end = lf;
            if (end > pos && pending_[end - 1] == '\r') --end;
            if (end - pos > HttpLineBufferSize) {
                Fail(httpErrLineTooLong, "HTTP line too long");
                break;
            }
            std::string line = pending_.substr(pos, end - pos);
            if (!sawStatusLine_ && lineCount_ == 0 && line.size() >= 6 &&
                Lower(line.substr(0, 6)) == "<html>") {
                // A document sent without any header: all of it is body.
                if (OnHeaderBegin) OnHeaderBegin();
                if (DocType.empty()) DocType = "text/html";
                Status = 200;
                headerEnded_ = true;
                phase_ = TPhase::Body;
                if (OnHeaderEnd) OnHeaderEnd();
                break; // the body starts at pos, line end included
            }
            pos = lf + 1;
            HeaderLine(line);
        }
        std::string rest = pending_.substr(pos);
        pending_.clear();
        if (phase_ == TPhase::Body && !rest.empty())
            BodyBytesIn(rest.data(), rest.size());
        else if (phase_ == TPhase::Header)
            pending_ = std::move(rest);
    }
    // A server error ends the reading at once; what arrived has been handled.
    if (Status >= 400 && phase_ != TPhase::Failed) phase_ = TPhase::Done;
}

void THttpReplyParser::HeaderLine(const std::string& line) {
    if (line.empty()) {
        if (lineCount_ > 0) EndHeader();
        return; // blank lines before the status line are ignored
    }
    if (++lineCount_ > HttpMaxHeaderLines) {
        Fail(httpErrBadReply, "Invalid HTTP reply");
        return;
    }
    if (lineCount_ == 1 && OnHeaderBegin) OnHeaderBegin();
    if (!sawStatusLine_) {
        if (!ParseStatusLine(line, Status, StatusText)) {
            Fail(httpErrBadReply, "Invalid HTTP reply");
            return;
        }
        sawStatusLine_ = true;
    } else if (const auto colon = line.find(':'); colon != std::string::npos) {
        const std::string name = Lower(line.substr(0, colon));
        const std::string value = TrimBlanks(line.substr(colon + 1));
        if (name == "location") {
            if (Status / 100 == 3) {
                Location = value;
                Redirecting = !value.empty();
            }
        } else if (name == "content-length") {
            int64_t n = 0;
            bool ok = !value.empty() && value.size() <= 10;
            for (char c : value)
                ok = ok && IsDigit(c);
            if (ok)
                for (char c : value)
                    n = n * 10 + (c - '0');
            if (!ok || n > INT_MAX || (DocLength >= 0 && DocLength != n)) {
                Fail(httpErrBadReply, "Invalid HTTP reply");
                return;
            }
            DocLength = static_cast<int>(n);
        } else if (name == "content-range") {
            // "bytes first-last/length"
            const std::string v = value.rfind("bytes ", 0) == 0 ? value.substr(6) : value;
            const auto dash = v.find('-');
            const auto slash = v.find('/');
            if (dash != std::string::npos) {
                ContentRangeBegin = v.substr(0, dash);
                ContentRangeEnd = v.substr(dash + 1, slash == std::string::npos || slash < dash
                                                         ? std::string::npos
                                                         : slash - dash - 1);
            }
        } else if (name == "accept-ranges") {
            AcceptRanges = value;
        } else if (name == "content-type") {
            DocType = Lower(value);
        } else if (name == "www-authenticate") {
            AuthHeaders.push_back(value);
        } else if (name == "set-cookie") {
            if (OnCookie) OnCookie(value);
        } else if (name == "transfer-encoding") {
            const std::string v = Lower(value);
            if (v == "chunked") {
                Chunked = true;
            } else if (v != "identity") {
                Fail(httpErrBadReply, "Unsupported transfer encoding");
                return;
            }
        }
    }
    HeaderLines.push_back(line);
    if (OnHeaderData) OnHeaderData(line);
}

void THttpReplyParser::EndHeader() {
    if (Status >= 100 && Status < 200) {
        // An interim reply: the real one follows.
        sawStatusLine_ = false;
        Redirecting = false;
        return;
    }
    headerEnded_ = true;
    if (Chunked) DocLength = -1;
    if (Redirecting) {
        if (OnHeaderEnd) OnHeaderEnd();
        if (phase_ == TPhase::Header) phase_ = TPhase::Done;
        return;
    }
    phase_ = TPhase::Body;
    if (OnHeaderEnd) OnHeaderEnd();
    if (phase_ == TPhase::Body && !Chunked && DocLength == 0) phase_ = TPhase::Done;
}

void THttpReplyParser::Deliver(const char* data, size_t len) {
    if (len == 0) return;
    BodyBytes += static_cast<int64_t>(len);
    if (OnBody) OnBody(data, len);
}

void THttpReplyParser::BodyBytesIn(const char* data, size_t len) {
    if (Chunked) {
        ChunkBytes(data, len);
        return;
    }
    if (DocLength >= 0) {
        const auto left = static_cast<size_t>(DocLength - BodyBytes);
        Deliver(data, std::min(len, left));
        if (phase_ == TPhase::Body && BodyBytes >= DocLength) phase_ = TPhase::Done;
        return;
    }
    Deliver(data, len);
}

void THttpReplyParser::ChunkBytes(const char* data, size_t len) {
    size_t i = 0;
    while (i < len && phase_ == TPhase::Body) {
        if (chunk_ == TChunk::Data) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(chunkLeft_, len - i));
            chunkLeft_ -= take;
            if (chunkLeft_ == 0) chunk_ = TChunk::DataEnd;
            Deliver(data + i, take);
            i += take;
            continue;
        }
        const char c = data[i++];
        if (c != '\n') {
            if (chunkLine_.size() >= MaxChunkLine) {
                Fail(httpErrBadReply, "Invalid chunked encoding");
                return;
            }
            chunkLine_ += c;
            continue;
        }
        std::string line;
        line.swap(chunkLine_);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        switch (chunk_) {
        case TChunk::Size: {
            const std::string digits = TrimBlanks(line.substr(0, line.find(';')));
            bool ok = !digits.empty() && digits.size() <= 15;
            uint64_t n = 0;
            for (char d : digits) {
                const int v = std::isxdigit(static_cast<unsigned char>(d))
                                  ? (IsDigit(d) ? d - '0' : (std::tolower(d) - 'a' + 10))
                                  : -1;
                ok = ok && v >= 0;
                if (ok) n = n * 16 + static_cast<uint64_t>(v);
            }
            if (!ok) {
                Fail(httpErrBadReply, "Invalid chunked encoding");
                return;
            }
            chunkLeft_ = n;
            chunk_ = n == 0 ? TChunk::Trailer : TChunk::Data;
            break;
        }
        case TChunk::DataEnd:
            if (!line.empty()) {
                Fail(httpErrBadReply, "Invalid chunked encoding");
                return;
            }
            chunk_ = TChunk::Size;
            break;
        case TChunk::Trailer:
            if (line.empty())
                phase_ = TPhase::Done;
            else if (++lineCount_ > HttpMaxHeaderLines)
                Fail(httpErrBadReply, "Invalid chunked encoding");
            break;
        case TChunk::Data:
            break;
        }
    }
}

void THttpReplyParser::Finish() {
    switch (phase_) {
    case TPhase::Header:
        Fail(httpErrIncomplete, "Incomplete HTTP reply");
        break;
    case TPhase::Body:
        if (Chunked || (DocLength >= 0 && BodyBytes < DocLength))
            Fail(httpErrIncomplete, "Document incomplete");
        else
            phase_ = TPhase::Done;
        break;
    default:
        break;
    }
}
