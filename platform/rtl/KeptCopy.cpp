#include "platform/rtl/KeptCopy.h"

#include "platform/rtl/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

constexpr int kMostCopies = 10000;

bool SameBytes(const std::string& path, const std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string held((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return held == text;
}

// 1: written; 0: the name is taken; -1: it cannot be written at all.
int WriteNew(const std::string& path, const std::string& text, mode_t mode) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) return errno == EEXIST ? 0 : -1;
    bool ok = WriteAllTo(fd, text);
    ok = ::fsync(fd) == 0 && ok;
    if (::close(fd) != 0) ok = false;
    if (!ok) ::unlink(path.c_str()); // a cut copy would pass for the whole file
    return ok ? 1 : -1;
}

} // namespace

std::string KeepNumberedCopy(const std::string& path, const std::string& text,
                             const std::string& suffix, mode_t mode) {
    for (int n = 0; n < kMostCopies; ++n) {
        const std::string name = path + (n == 0 ? "" : "." + std::to_string(n)) + suffix;
        if (SameBytes(name, text)) return name;
        const int written = WriteNew(name, text, mode);
        if (written > 0) return name;
        if (written < 0) return {};
    }
    return {};
}

std::string KeptCopyName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
