#include "clockapp/ListFiles.h"

#include "platform/rtl/SysUtils.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

bool THXLineReader::Open(const std::string& path) {
    FIn.open(path, std::ios::binary);
    if (!FIn) return false;
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
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
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
    if (::close(fd) != 0) fail("write error");
    if (std::rename(tmp.c_str(), target.c_str()) != 0) fail("cannot replace " + baseName + ".hxd");
}

bool KeepDamagedCopy(const std::string& path) {
    std::error_code ec;
    fs::copy_file(path, path + ".bak", fs::copy_options::overwrite_existing, ec);
    return !ec;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}
