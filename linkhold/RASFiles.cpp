#include "linkhold/RAS.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The names in a directory, "." and ".." left out; false when it cannot be read.
bool ReadDirectory(const std::string& dir, std::vector<std::string>& names, std::string& error) {
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return true;
}

} // namespace

bool IsDiallablePeerName(const std::string& name) {
    if (name.empty() || name[0] == '.' || name[0] == '-') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '.' || c == '_' || c == '-';
    });
}

bool IsBackupPeerName(const std::string& name) {
    static const char* const kSuffixes[] = {
        "~",         ".bak",     ".old",      ".orig",     ".rej",       ".swp",
        ".tmp",      ".save",    ".dpkg-old", ".dpkg-new", ".dpkg-dist", ".dpkg-bak",
        ".dpkg-tmp", ".ucf-old", ".ucf-new",  ".ucf-dist", ".rpmsave",   ".rpmnew"};
    return std::any_of(std::begin(kSuffixes), std::end(kSuffixes),
                       [&](const char* s) { return EndsWith(name, s); });
}

bool PeerLoadsPasswordFd(const std::string& text) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream words(line.substr(0, line.find('#')));
        std::string option, value;
        if (!(words >> option) || option != "plugin" || !(words >> value)) continue;
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        const std::string base = value.substr(value.find_last_of('/') + 1);
        if (base == "passwordfd.so" || base == "passwordfd") return true;
    }
    return false;
}

bool InterfaceFlagsConnected(const std::string& flagsText) {
    constexpr unsigned long kUp = 0x1, kRunning = 0x40;
    const char* s = flagsText.c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long flags = std::strtoul(s, &end, 0);
    if (end == s || errno != 0) return false;
    while (*end == '\n' || *end == ' ')
        ++end;
    if (*end != '\0') return false;
    return (flags & kUp) != 0 && (flags & kRunning) != 0;
}

std::vector<std::string> ListPeers(const std::string& peersDir) {
    std::vector<std::string> names, entries;
    std::string error;
    if (!ReadDirectory(peersDir, names, error)) return entries;
    for (const std::string& n : names)
        if (IsDiallablePeerName(n) && !IsBackupPeerName(n) && IsRegularFile(peersDir + "/" + n))
            entries.push_back(n);
    return entries;
}

std::vector<TRASConnection> ListPppLinks(const std::string& netClassDir) {
    std::vector<std::string> names;
    std::string error;
    if (!ReadDirectory(netClassDir, names, error)) throw ERASError(error);
    std::vector<TRASConnection> links;
    for (const std::string& n : names) {
        if (n.rfind("ppp", 0) != 0) continue;
        std::ifstream f(netClassDir + "/" + n + "/flags");
        std::string text;
        // A link that goes while it is looked at is simply not connected.
        if (f) std::getline(f, text, '\0');
        links.push_back({n, f.is_open() && InterfaceFlagsConnected(text)});
    }
    return links;
}
