#include "platform/rtl/AtomicFile.h"
#include "platform/rtl/RetryOnEintr.h"

#include <cerrno>
#include <cstdio>
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

int Failing(int fd) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
}

} // namespace

bool WriteAllTo(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = RetryOnEintr([&] { return ::write(fd, data.data(), data.size()); });
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        data.remove_prefix(size_t(n));
    }
    return true;
}

bool SyncDirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot
    ::close(fd);
    return ok;
}

int OpenSaveTemporary(const std::string& path, mode_t mode) {
    // Truncated only once locked: a save of another program that is still
    // writing the same temporary finishes first. A temporary removed while
    // this one waited is created anew.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, mode);
        if (fd < 0) return -1;
        if (LockWaiting(fd) != 0) return Failing(fd);
        if (!StillAt(fd, path)) {
            ::close(fd);
            continue;
        }
        if (::ftruncate(fd, 0) != 0) return Failing(fd);
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

bool PutFileInPlace(const std::string& temp, const std::string& target) {
    if (::rename(temp.c_str(), target.c_str()) != 0) return false;
    // The rename itself lasts only once the directory is on the disk; the
    // file is already whole, so a failure here loses nothing but that.
    SyncDirectoryOf(target);
    return true;
}

TAtomicWrite FinishAtomicWrite(int fd, const std::string& tmp, const std::string& path,
                               std::string_view text, const std::function<bool()>& mayRename) {
    auto drop = [&](TAtomicWrite result) {
        const int e = errno;
        ::unlink(tmp.c_str());
        errno = e;
        return result;
    };
    if (!WriteAllTo(fd, text) || ::fsync(fd) != 0) return drop(TAtomicWrite::WriteFailed);
    if (mayRename && !mayRename()) return drop(TAtomicWrite::Refused);
    if (!PutFileInPlace(tmp, path)) return drop(TAtomicWrite::RenameFailed);
    return TAtomicWrite::Written;
}

bool WriteFileAtomically(const std::string& path, std::string_view text, mode_t mode,
                         const std::string& tmp) {
    const std::string temporary = tmp.empty() ? path + ".hx_" : tmp;
    const int fd = OpenSaveTemporary(temporary, mode);
    if (fd < 0) return false;
    // The mode asked for, whatever the umask or an older temporary had.
    ::fchmod(fd, mode);
    const bool ok = FinishAtomicWrite(fd, temporary, path, text) == TAtomicWrite::Written;
    const int e = errno;
    ::close(fd);
    errno = e;
    return ok;
}

namespace {

int LockExclusive(int fd) {
    return RetryOnEintr([fd] { return ::flock(fd, LOCK_EX); });
}

} // namespace

bool AppendLockedLine(const std::string& path, std::string_view text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = LockExclusive(fd) == 0 && WriteAllTo(fd, text);
    int e = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        e = errno;
    }
    errno = e;
    return ok;
}

bool ClearLockedLog(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool ok = LockExclusive(fd) == 0 && ::ftruncate(fd, 0) == 0 && ::fsync(fd) == 0;
    const int e = errno;
    ::close(fd);
    errno = e;
    return ok;
}
