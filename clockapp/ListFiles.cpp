#include "clockapp/ListFiles.h"

#include "platform/rtl/KeptCopy.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/SaveTemporary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

bool THXLineReader::Open(const std::string& path) {
    FIn.open(path, std::ios::binary);
    if (!FIn) return false;
    FAtStart = true;
    std::error_code ec;
    FSize = static_cast<int64_t>(fs::file_size(path, ec));
    if (ec) FSize = 0;
    return true;
}

int64_t THXLineReader::Position() {
    if (!FIn) return FSize;
    const auto p = FIn.tellg();
    return p < 0 ? FSize : static_cast<int64_t>(p);
}

bool THXLineReader::Next(std::string& line) {
    if (std::exchange(FAtStart, false)) {
        // An editor's byte-order mark is no part of the first record.
        char mark[3] = {};
        if (!FIn.read(mark, 3) || std::string(mark, 3) != kUtf8ByteOrderMark) {
            FIn.clear();
            FIn.seekg(0);
        }
    }
    int c;
    while ((c = FIn.peek()) != EOF && (c == ' ' || c == '\t' || c == '\r' || c == '\n'))
        FIn.get();
    if (c == EOF) return false;
    std::getline(FIn, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void RewriteListFile(const std::string& dataDir, const std::string& baseName,
                     const std::function<bool(std::string& line)>& nextLine) {
    const std::string tmp = dataDir + baseName + ".hx_";
    const std::string target = dataDir + baseName + ".hxd";
    auto fail = [&](const std::string& what) {
        const std::string reason = std::strerror(errno ? errno : EIO);
        ::unlink(tmp.c_str());
        throw Exception("Unable to save " + baseName + ".hxd: " + what + " (" + reason + ")");
    };
    errno = 0;
    const int fd = OpenSaveTemporary(tmp);
    if (fd < 0) fail("cannot create " + baseName + ".hx_");
    std::string buffer, line;
    auto flush = [&]() {
        size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = ::write(fd, buffer.data() + done, buffer.size() - done);
            if (n < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += static_cast<size_t>(n);
        }
        buffer.clear();
        return true;
    };
    while (nextLine(line)) {
        buffer += line;
        buffer += "\r\n";
        if (buffer.size() > (1 << 16) && !flush()) {
            ::close(fd);
            fail("write error");
        }
    }
    if (!flush() || ::fsync(fd) != 0) {
        ::close(fd);
        fail("write error");
    }
    // Renamed while still locked: a start never takes a finished temporary
    // for a stale one.
    if (std::rename(tmp.c_str(), target.c_str()) != 0) {
        ::close(fd);
        fail("cannot replace " + baseName + ".hxd");
    }
    ::close(fd);
}

std::string KeepDamagedCopy(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return {};
    std::error_code ec;
    const auto perms = fs::status(path, ec).permissions();
    const mode_t mode = ec ? 0600 : static_cast<mode_t>(perms & fs::perms::all);
    return KeptCopyName(KeepNumberedCopy(path, text, ".bak", mode));
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string ShortenedLineText(const std::string& text, const std::string& line) {
    constexpr size_t kShown = 200;
    if (line.size() <= kShown) return text;
    const size_t at = text.find(line);
    const std::string cut = line.substr(0, kShown) + "...";
    if (at == std::string::npos) return text.size() <= kShown ? text : text.substr(0, kShown) + "...";
    return text.substr(0, at) + cut + text.substr(at + line.size());
}
