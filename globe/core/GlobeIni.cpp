#include "globe/core/GlobeIni.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "globe/core/GlobeUnits.h"
#include "platform/rtl/AtomicFile.h"
#include "platform/rtl/StoredLines.h"

namespace {
std::string Trim(const std::string& s) {
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        --b;
    return s.substr(a, b - a);
}
}  // namespace

TIniFile::TIniFile(std::string path) : Path(std::move(path)) {
    RemoveStaleTemporary(Path + ".hx_");
    std::ifstream in(Path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Cut as every stored file of the suite is: CR LF, LF or CR, a mark at
    // the start of any line read past.
    TStoredLines lines(text, TStoredLines::TMode::Every);
    std::string line;
    Section* cur = nullptr;
    while (lines.Next(line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const size_t e = line.find(']');
            const std::string name = Trim(line.substr(1, e == std::string::npos ? std::string::npos : e - 1));
            cur = const_cast<Section*>(Find(name));
            if (!cur) {
                Sections.push_back({name, {}});
                cur = &Sections.back();
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (!cur || eq == std::string::npos)
            continue;
        const std::string key = Trim(line.substr(0, eq));
        bool found = false;
        for (auto& kv : cur->Keys)
            if (SameTextCI(kv.first, key)) {
                found = true;
                break;
            }
        if (!found)
            cur->Keys.emplace_back(key, Trim(line.substr(eq + 1)));
    }
}

const TIniFile::Section* TIniFile::Find(const std::string& section) const {
    for (const auto& s : Sections)
        if (SameTextCI(s.Name, section))
            return &s;
    return nullptr;
}

bool TIniFile::SectionExists(const std::string& section) const { return Find(section) != nullptr; }

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) const {
    if (const Section* s = Find(section))
        for (const auto& kv : s->Keys)
            if (SameTextCI(kv.first, key))
                return kv.second;
    return def;
}

int TIniFile::ReadInteger(const std::string& section, const std::string& key, int def) const {
    const std::string v = ReadString(section, key, "");
    if (v.empty())
        return def;
    char* end = nullptr;
    const long long n = std::strtoll(v.c_str(), &end, v.size() > 2 && (v[1] == 'x' || v[1] == 'X') ? 16 : 10);
    if (end == v.c_str() || *end)
        return def;
    return Sat32(n);
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) const {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    Section* s = const_cast<Section*>(Find(section));
    if (!s) {
        Sections.push_back({section, {}});
        s = &Sections.back();
    }
    for (auto& kv : s->Keys)
        if (SameTextCI(kv.first, key)) {
            kv.second = value;
            return;
        }
    s->Keys.emplace_back(key, value);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::EraseSection(const std::string& section) {
    for (auto it = Sections.begin(); it != Sections.end(); ++it)
        if (SameTextCI(it->Name, section)) {
            Sections.erase(it);
            return;
        }
}

std::string TIniFile::Text() const {
    std::ostringstream o;
    for (const auto& s : Sections) {
        o << '[' << s.Name << "]\r\n";
        for (const auto& kv : s.Keys)
            o << kv.first << '=' << kv.second << "\r\n";
        o << "\r\n";
    }
    return o.str();
}

bool TIniFile::UpdateFile() const {
    // Synced and renamed in one step; a temporary a killed save left is
    // removed when the file is next read.
    return WriteFileAtomically(Path, Text(), 0644, Path + ".hx_");
}
