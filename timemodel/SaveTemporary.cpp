#include "timemodel/SaveTemporary.h"

#include "timemodel/DSTRuleFile.h"

#include <cerrno>
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
