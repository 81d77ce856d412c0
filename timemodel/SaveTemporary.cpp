#include "timemodel/SaveTemporary.h"

#include "platform/rtl/AtomicFile.h"
#include "platform/rtl/RetryOnEintr.h"
#include "timemodel/DSTRuleFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

void RemoveStaleTemporaries(const std::string& dataDir, const std::vector<std::string>& dataFiles) {
    for (const std::string& file : dataFiles)
        RemoveStaleTemporary(DSTRuleFileTemporary(dataDir + file));
}

TFileStamp StampOfText(const std::string& text) {
    // FNV-1a over eight bytes at a time: not against an attacker, only to
    // tell one content from another within a run (the place list is read
    // at every opening of the manager).
    uint64_t h = 1469598103934665603ull;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        h ^= word;
        h *= 1099511628211ull;
        h ^= h >> 29;
    }
    for (; i < text.size(); ++i) {
        h ^= static_cast<unsigned char>(text[i]);
        h *= 1099511628211ull;
    }
    return TFileStamp{true, text.size(), h};
}

bool ReadStampedFile(const std::string& path, std::string& text, TFileStamp& stamp) {
    text.clear();
    stamp = TFileStamp{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    for (;;) {
        const ssize_t n = RetryOnEintr([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n < 0) {
            const int e = errno;
            ::close(fd);
            text.clear();
            errno = e;
            return false;
        }
        if (n == 0) break;
        text.append(buffer, size_t(n));
    }
    ::close(fd);
    stamp = StampOfText(text);
    return true;
}

namespace {

// Whether a save may replace path: it still holds what `read` describes, or
// it is gone (nothing newer is there to lose). A file that cannot be read is
// not taken for the one that was read.
bool MayReplace(const std::string& path, const TFileStamp& read) {
    std::string text;
    TFileStamp now;
    if (!ReadStampedFile(path, text, now)) return errno == ENOENT;
    return now == read;
}

} // namespace

TSharedSave SaveSharedFile(const std::string& path, const std::string& text, TFileStamp& read,
                           std::string* error) {
    const std::string tmp = DSTRuleFileTemporary(path);
    auto say = [&](const std::string& what) {
        if (error) *error = what + " (" + std::strerror(errno ? errno : EIO) + ")";
    };
    errno = 0;
    const int fd = OpenSaveTemporary(tmp);
    if (fd < 0) {
        // The temporary may be another save's, still being written: it is
        // not ours to remove.
        say("cannot create " + tmp);
        return TSharedSave::CannotCreate;
    }
    // From here the temporary is this save's own, and locked.
    auto dropOwn = [&](const std::string& what, TSharedSave result) {
        say(what);
        const int e = errno;
        ::unlink(tmp.c_str());
        ::close(fd);
        errno = e;
        return result;
    };
    // Checked under the lock every writer of the file takes, right before
    // the rename: no save of the suite can come between. Renamed while
    // still locked: a start never takes a finished temporary for a stale one.
    switch (FinishAtomicWrite(fd, tmp, path, text, [&] { return MayReplace(path, read); })) {
    case TAtomicWrite::Written:
        break;
    case TAtomicWrite::Refused:
        errno = 0;
        if (error) *error = path + " was changed by another program since it was read";
        ::close(fd);
        return TSharedSave::Changed;
    case TAtomicWrite::WriteFailed:
        return dropOwn("cannot write " + tmp, TSharedSave::WriteFailed);
    case TAtomicWrite::RenameFailed:
        return dropOwn("cannot replace " + path, TSharedSave::WriteFailed);
    }
    ::close(fd);
    read = StampOfText(text);
    return TSharedSave::Written;
}
