#include "platform/rtl/DataDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
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

// The installed data: every file and folder of the installation directory
// but the programs themselves.
std::vector<fs::directory_entry> InstalledData(const std::string& installDir) {
    std::vector<fs::directory_entry> entries;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(installDir, ec)) {
        if (e.is_directory(ec)) {
            entries.push_back(e);
        } else if (e.is_regular_file(ec)) {
            const auto perms = e.status(ec).permissions();
            if ((perms & fs::perms::owner_exec) == fs::perms::none) entries.push_back(e);
        }
    }
    return entries;
}

void SeedEntry(const fs::directory_entry& e, const std::string& dataDir) {
    std::error_code ec;
    const fs::path target = fs::path(dataDir) / e.path().filename();
    if (fs::exists(target, ec)) return;
    if (e.is_directory(ec))
        fs::copy(e.path(), target, fs::copy_options::recursive, ec);
    else
        fs::copy_file(e.path(), target, ec);
}

constexpr const char* kMarkerHeader =
    "# The installed data was copied here; delete this file to copy missing files again.";

} // namespace

void SeedDataDirectory(const std::string& installDir, const std::string& dataDir) {
    for (const fs::directory_entry& e : InstalledData(installDir))
        SeedEntry(e, dataDir);
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
    // folder of maps, say) is copied once.
    const std::string marker = user + ".seeded";
    std::set<std::string> seeded;
    {
        std::ifstream in(marker);
        for (std::string line; std::getline(in, line);)
            if (!line.empty() && line[0] != '#') seeded.insert(line);
    }
    std::vector<std::string> added;
    for (const fs::directory_entry& e : InstalledData(WithSlash(programDir))) {
        const std::string name = e.path().filename().string();
        if (seeded.count(name)) continue;
        fs::create_directories(user, ec);
        if (ec) return user;
        SeedEntry(e, user);
        added.push_back(name);
    }
    if (!added.empty()) {
        const bool fresh = !fs::exists(marker, ec) || seeded.empty();
        std::ofstream out(marker, fresh ? std::ios::trunc : std::ios::app);
        if (fresh) {
            out << kMarkerHeader << "\n";
            for (const std::string& name : seeded) out << name << "\n";
        }
        for (const std::string& name : added) out << name << "\n";
    }
    return user;
}
