#include "timemodel/HXFiles.h"

#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

char Up(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool Wild(const char* m, const char* s) {
    // Iterative '*' matching with one backtrack point.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*s) {
        if (*m == '*') {
            star = m++;
            resume = s;
        } else if (*m == '?' || (*m && Up(*m) == Up(*s))) {
            ++m;
            ++s;
        } else if (star) {
            m = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (*m == '*')
        ++m;
    return *m == 0;
}

// Masks as the original platform reads them: "*.*" is everything and a
// trailing ".*" also matches names without an extension.
bool MatchesMask(const std::string& mask, const std::string& name) {
    if (mask == "*.*" || Wild(mask.c_str(), name.c_str())) return true;
    if (mask.size() >= 2 && mask.compare(mask.size() - 2, 2, ".*") == 0 &&
        name.find('.') == std::string::npos)
        return Wild(mask.substr(0, mask.size() - 2).c_str(), name.c_str());
    return false;
}

} // namespace

void ListFiles(const std::string& directory, const std::string& mask,
               std::vector<std::string>& list, bool recurse) {
    const std::string m = mask.empty() ? "*.*" : mask;
    std::string dir = directory.empty() ? std::string("./") : directory;
    if (dir.back() != '/') dir += '/';

    struct TEntry {
        std::string Name;
        bool Directory;
        bool Link;
    };
    std::vector<TEntry> entries;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.' || !MatchesMask(m, name)) continue;
        std::error_code e2;
        const bool isDir = it->is_directory(e2);
        const bool isLink = it->is_symlink(e2);
        entries.push_back({name, isDir, isLink});
    }
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) {
        const int c = CompareText(a.Name, b.Name);
        return c != 0 ? c < 0 : a.Name < b.Name;
    });
    for (const TEntry& e : entries) {
        if (!e.Directory)
            list.push_back(e.Name);
        else if (recurse && !e.Link) // linked folders could loop forever
            ListFiles(dir + e.Name + "/", m, list, recurse);
    }
}
