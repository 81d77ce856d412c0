#include "platform/rtl/DataDir.h"

#include "platform/rtl/AtomicFile.h"
#include "platform/rtl/RetryOnEintr.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
std::string WithSlash(std::string d) {
    if (d.empty() || d.back() != '/') d += '/';
    return d;
}
} // namespace

std::string ProgramDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return WithSlash(fs::current_path(ec).string());
    return WithSlash(exe.parent_path().string());
}

bool DirectoryWritable(const std::string& dir) {
    // Try it: access() says yes to root even on a read-only mount.
    std::string probe = WithSlash(dir) + ".hxwrite-XXXXXX";
    const int fd = mkstemp(probe.data());
    if (fd < 0) return false;
    close(fd);
    unlink(probe.c_str());
    return true;
}

std::string UserDataDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && *xdg == '/')
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else
        base = "/tmp";
    return WithSlash(base) + "horolux/";
}

namespace {

// A seeding copy goes through ".NAME.seeding" beside its target.
constexpr const char* kSeedingSuffix = ".seeding";

bool IsSeedingTemporary(const std::string& name) {
    const size_t n = std::strlen(kSeedingSuffix);
    return name.size() > n + 1 && name[0] == '.' &&
           name.compare(name.size() - n, n, kSeedingSuffix) == 0;
}

fs::path SeedingTemporary(const fs::path& target) {
    return target.parent_path() / ("." + target.filename().string() + kSeedingSuffix);
}

// For the tests of starts killed while they copy: with HX_SEED_TEST_KILL_AT=N
// the process kills itself (SIGKILL) at the Nth step of the copying (each
// block written, each rename, the marker), or after its last step when there
// are fewer.
long gSeedSteps = 0;
void SeedStep() {
    static const long killAt = [] {
        const char* v = std::getenv("HX_SEED_TEST_KILL_AT");
        return v && *v ? std::atol(v) : 0L;
    }();
    if (killAt > 0 && ++gSeedSteps >= killAt) ::kill(::getpid(), SIGKILL);
}
void SeedDone() {
    if (std::getenv("HX_SEED_TEST_KILL_AT")) ::kill(::getpid(), SIGKILL);
}

// The installed data: every file and folder of the installation directory
// but the programs themselves (and what a horolux started there as its data
// directory left: its lock, a seeding temporary).
std::vector<fs::directory_entry> InstalledData(const std::string& installDir) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(installDir, ec)) {
        const std::string name = e.path().filename().string();
        if (name == kDataDirLockFile || name == ".seeded" || IsSeedingTemporary(name)) continue;
        if (e.is_directory(ec)) {
            entries.push_back(e);
        } else if (e.is_regular_file(ec)) {
            const auto perms = e.status(ec).permissions();
            if ((perms & fs::perms::owner_exec) == fs::perms::none) entries.push_back(e);
        }
    }
    return entries;
}

// Copies from to a temporary beside to, gives it from's permissions and
// renames it into place: to is either whole or not there at all.
bool CopyWhole(const fs::path& from, const fs::path& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat st {};
    const fs::path tmp = SeedingTemporary(to);
    const int out = ::fstat(in, &st) == 0
                        ? ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)
                        : -1;
    bool ok = out >= 0;
    char buffer[16384];
    while (ok) {
        const ssize_t n = RetryOnEintr([&] { return ::read(in, buffer, sizeof buffer); });
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = WriteAllTo(out, std::string_view(buffer, size_t(n)));
        SeedStep();
    }
    ::close(in);
    if (out >= 0) {
        ok = ok && ::fchmod(out, st.st_mode & 07777) == 0 &&
             FinishAtomicWrite(out, tmp.string(), to.string(), {}) == TAtomicWrite::Written;
        ok = ::close(out) == 0 && ok;
    }
    if (!ok) ::unlink(tmp.c_str());
    SeedStep();
    return ok;
}

// A copy that a start killed before copies were whole may have left: empty,
// cut short, or never given its permissions (write-only).
bool CutCopy(const fs::path& copy, const fs::path& shipped) {
    struct stat c {}, s {};
    if (::stat(copy.c_str(), &c) != 0 || ::stat(shipped.c_str(), &s) != 0) return false;
    if (!S_ISREG(c.st_mode)) return false;
    if ((c.st_mode & S_IRUSR) == 0) return true;
    if (c.st_size >= s.st_size) return false;
    std::ifstream a(copy, std::ios::binary), b(shipped, std::ios::binary);
    char x[16384], y[16384];
    for (off_t left = c.st_size; left > 0;) {
        const std::streamsize n = std::streamsize(std::min<off_t>(left, sizeof x));
        if (!a.read(x, n) || !b.read(y, n) || std::memcmp(x, y, size_t(n)) != 0) return false;
        left -= n;
    }
    return true;
}

void RemoveSeedingTemporaries(const fs::path& dir) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
        if (IsSeedingTemporary(e.path().filename().string())) fs::remove(e.path(), ec);
}

// Copies what is missing of from into target; a file already there stays,
// unless it is a cut copy of from. True when target is then whole.
bool SeedEntry(const fs::path& from, const fs::path& target) {
    std::error_code ec;
    if (fs::is_directory(from, ec)) {
        if (!fs::is_directory(target, ec) && !fs::create_directory(target, ec)) return false;
        RemoveSeedingTemporaries(target);
        bool whole = true;
        for (const fs::directory_entry& e : fs::directory_iterator(from, ec))
            whole = SeedEntry(e.path(), target / e.path().filename()) && whole;
        return whole && !ec;
    }
    if (fs::symlink_status(target, ec).type() != fs::file_type::not_found && !CutCopy(target, from))
        return true;
    return CopyWhole(from, target);
}

// Held while a directory is seeded: programs that start at once take turns,
// and a temporary seen under it is one that a killed start left.
class TSeedingLock {
public:
    explicit TSeedingLock(const std::string& dir)
        : Fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        // A lock refused outright leaves the seeding to go on unguarded.
        if (Fd >= 0) RetryOnEintr([this] { return ::flock(Fd, LOCK_EX); });
    }
    ~TSeedingLock() {
        if (Fd >= 0) ::close(Fd);
    }
    TSeedingLock(const TSeedingLock&) = delete;
    TSeedingLock& operator=(const TSeedingLock&) = delete;

private:
    int Fd;
};

constexpr const char* kMarkerHeader =
    "# The installed data was copied here; delete this file to copy missing files again.";

std::set<std::string> SeededNames(const std::string& marker) {
    std::set<std::string> seeded;
    std::ifstream in(marker);
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') seeded.insert(line);
    return seeded;
}

} // namespace

void SeedDataDirectory(const std::string& installDir, const std::string& dataDir) {
    TSeedingLock lock(dataDir);
    RemoveSeedingTemporaries(dataDir);
    for (const fs::directory_entry& e : InstalledData(installDir))
        SeedEntry(e.path(), fs::path(dataDir) / e.path().filename());
}

std::string ResolveDataDirectory(const std::string& programDir) {
    std::error_code ec;
    if (const char* given = std::getenv(kDataDirVariable); given && *given) {
        const std::string dir = WithSlash(fs::absolute(given, ec).string());
        fs::create_directories(dir, ec);
        return dir;
    }
    const std::string user = UserDataDirectory();
    // A marker lists what was seeded: a directory that another program
    // created first (tickmatch's log) is still seeded, files the user removed
    // later are not brought back, and data a newer installation brings (a
    // folder of maps, say) is copied once. It is written last, whole, so an
    // entry is listed only once it is whole.
    const std::string marker = user + ".seeded";
    const std::vector<fs::directory_entry> installed = InstalledData(WithSlash(programDir));
    auto missing = [&](const std::set<std::string>& seeded) {
        for (const fs::directory_entry& e : installed)
            if (!seeded.count(e.path().filename().string())) return true;
        return false;
    };
    if (!missing(SeededNames(marker))) {
        SeedDone();
        return user;
    }
    fs::create_directories(user, ec);
    if (ec) return user;
    TSeedingLock lock(user);
    std::set<std::string> seeded = SeededNames(marker);
    RemoveSeedingTemporaries(user);
    bool added = false;
    for (const fs::directory_entry& e : installed) {
        const std::string name = e.path().filename().string();
        if (seeded.count(name)) continue;
        if (SeedEntry(e.path(), fs::path(user) / name)) {
            seeded.insert(name);
            added = true;
        }
    }
    if (added) {
        std::string text = std::string(kMarkerHeader) + "\n";
        for (const std::string& name : seeded) text += name + "\n";
        if (!WriteFileAtomically(marker, text, 0644, SeedingTemporary(marker).string()))
            return user;
        SeedStep();
    }
    SeedDone();
    return user;
}

THXDataDirLock::~THXDataDirLock() {
    if (Fd >= 0) ::close(Fd);
}

TDataDirLock THXDataDirLock::Take(const std::string& dataDir) {
    if (Fd >= 0) return TDataDirLock::Held;
    const std::string path = WithSlash(dataDir) + kDataDirLockFile;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return TDataDirLock::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd);
        return busy ? TDataDirLock::InUse : TDataDirLock::Unavailable;
    }
    Fd = fd;
    return TDataDirLock::Held;
}
