#include "platform/rtl/DataDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

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

void SeedDataDirectory(const std::string& installDir, const std::string& dataDir) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(installDir, ec)) {
        const fs::path target = fs::path(dataDir) / e.path().filename();
        if (fs::exists(target, ec)) continue;
        if (e.is_directory(ec)) {
            fs::copy(e.path(), target, fs::copy_options::recursive, ec);
        } else if (e.is_regular_file(ec)) {
            const auto perms = e.status(ec).permissions();
            if ((perms & fs::perms::owner_exec) != fs::perms::none)
                continue; // the programs stay where they are installed
            fs::copy_file(e.path(), target, ec);
        }
    }
}

std::string ResolveDataDirectory(const std::string& programDir) {
    std::error_code ec;
    if (const char* given = std::getenv(kDataDirVariable); given && *given) {
        const std::string dir = WithSlash(fs::absolute(given, ec).string());
        fs::create_directories(dir, ec);
        return dir;
    }
    const std::string user = UserDataDirectory();
    // A marker says the seeding is done: a directory that another program
    // created first (tickmatch's log) is still seeded, and files the user
    // removed later are not brought back.
    const std::string marker = user + ".seeded";
    if (!fs::exists(marker, ec)) {
        fs::create_directories(user, ec);
        if (!ec) {
            SeedDataDirectory(WithSlash(programDir), user);
            std::ofstream(marker) << "The installed data was copied here; delete this file to "
                                     "copy missing files again.\n";
        }
    }
    return user;
}
