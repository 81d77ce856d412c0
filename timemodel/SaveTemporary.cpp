#include "timemodel/SaveTemporary.h"

#include "timemodel/DSTRuleFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether fd is still the file at path (not unlinked or replaced meanwhile).
bool StillAt(int fd, const std::string& path) {
    struct stat open {}, named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// Another program's save holds the lock for as long as it writes: a few
// milliseconds. One that never lets go (a stopped process) makes this save
// fail after two seconds instead of hanging the window.
int LockWaiting(int fd) {
    for (int waited = 0;; waited += 10) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return 0;
        if (errno != EWOULDBLOCK && errno != EINTR) return -1;
        if (waited >= 2000) {
            errno = EBUSY;
            return -1;
        }
        ::usleep(10000);
    }
}

} // namespace

int OpenSaveTemporary(const std::string& path) {
    // Truncated only once locked: a save of another program that is still
    // writing the same temporary finishes first. A temporary removed while
    // this one waited is created anew.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return -1;
        if (LockWaiting(fd) != 0) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return -1;
        }
        if (!StillAt(fd, path)) {
            ::close(fd);
            continue;
        }
        if (::ftruncate(fd, 0) != 0) {
            const int e = errno;
            ::close(fd);
            errno = e;
            return -1;
        }
        return fd;
    }
    errno = EAGAIN;
    return -1;
}

bool RemoveStaleTemporary(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT;
    bool removed = false;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        StillAt(fd, path))
        removed = ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

void RemoveStaleTemporaries(const std::string& dataDir, const std::vector<std::string>& dataFiles) {
    for (const std::string& file : dataFiles)
        RemoveStaleTemporary(DSTRuleFileTemporary(dataDir + file));
}

TFileStamp StampOfText(const std::string& text) {
    // FNV-1a: not against an attacker, only to tell one content from another.
    uint64_t h = 1469598103934665603ull;
    for (const unsigned char c : text) {
        h ^= c;
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
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
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

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
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
    if (!WriteAll(fd, text) || ::fsync(fd) != 0) return dropOwn("cannot write " + tmp, TSharedSave::WriteFailed);
    // Checked under the lock every writer of the file takes, right before
    // the rename: no save of the suite can come between.
    if (!MayReplace(path, read)) {
        errno = 0;
        if (error) *error = path + " was changed by another program since it was read";
        ::unlink(tmp.c_str());
        ::close(fd);
        return TSharedSave::Changed;
    }
    // Renamed while still locked: a start never takes a finished temporary
    // for a stale one.
    if (std::rename(tmp.c_str(), path.c_str()) != 0)
        return dropOwn("cannot replace " + path, TSharedSave::WriteFailed);
    ::close(fd);
    read = StampOfText(text);
    return TSharedSave::Written;
}
