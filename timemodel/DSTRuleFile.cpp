#include "timemodel/DSTRuleFile.h"

#include "timemodel/RecordCheck.h"
#include "timemodel/SaveTemporary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

bool IsLeadingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The second TAB-separated field, without a trailing CR.
std::string SecondTabField(const std::string& line) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) return {};
    const size_t end = line.find('\t', tab + 1);
    return line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
}

} // namespace

TDSTRuleFileRead ReadDSTRuleFile(const std::string& path) {
    TDSTRuleFileRead result;
    std::ifstream in(path, std::ios::binary);
    if (!in) return result;
    result.Opened = true;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // An editor's byte-order mark is no part of the first rule.
    size_t pos = text.rfind(kUtf8ByteOrderMark, 0) == 0 ? 3 : 0;
    while (true) {
        while (pos < text.size() && IsLeadingSpace(text[pos])) ++pos;
        if (pos >= text.size()) break;
        const size_t start = pos;
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        pos = end + 1;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line[0] == '#') continue;
        if (line.find("VERSION:") != std::string::npos) {
            if (result.Version.empty()) result.Version = SecondTabField(line);
            continue;
        }
        TDSTRule rule;
        try {
            rule.ReadDataString(line);
        } catch (const std::exception& e) {
            result.Failed = true;
            result.Error = e.what();
            result.UnreadRest = text.substr(start);
            break;
        }
        result.Rules.push_back(std::move(rule));
    }
    return result;
}

std::string DSTRuleFileTemporary(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExt ? path.substr(0, dot) : path) + ".hx_";
}

TDSTRuleFileWrite WriteDSTRuleFile(const std::string& path, const std::vector<TDSTRule>& rules,
                                   const std::string& unreadRest, std::string* error) {
    const std::string tmp = DSTRuleFileTemporary(path);
    auto say = [&](const std::string& what) {
        if (error) *error = what + " (" + std::strerror(errno ? errno : EIO) + ")";
    };
    errno = 0;
    const int fd = OpenSaveTemporary(tmp);
    if (fd < 0) {
        say("cannot create " + tmp);
        return TDSTRuleFileWrite::CannotCreate;
    }
    std::string buffer;
    for (const TDSTRule& rule : rules) {
        buffer += rule.DataString();
        buffer += "\r\n";
    }
    buffer += unreadRest;
    bool ok = true;
    size_t done = 0;
    while (ok && done < buffer.size()) {
        const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    // Renamed while still locked: a start never takes a finished temporary
    // for a stale one.
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        say("cannot replace " + path);
        ::unlink(tmp.c_str());
        ::close(fd);
        return TDSTRuleFileWrite::WriteFailed;
    }
    if (!ok) {
        say("cannot write " + tmp);
        ::unlink(tmp.c_str());
        ::close(fd);
        return TDSTRuleFileWrite::WriteFailed;
    }
    ::close(fd);
    return TDSTRuleFileWrite::Written;
}
