#include "platform/keystore/RegFile.h"

#include "platform/rtl/StoredLines.h"

#include <cstdio>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool StartsWithFolded(const std::string& s, size_t pos, const char* prefix) {
    for (size_t i = 0; prefix[i] != '\0'; ++i) {
        if (pos + i >= s.size()) return false;
        char c = s[pos + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

// A quoted string starting at s[pos] == '"'; pos ends after the closing quote.
bool ParseQuoted(const std::string& s, size_t& pos, std::string& out) {
    if (pos >= s.size() || s[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < s.size()) {
        const char c = s[pos++];
        if (c == '"') return true;
        if (c != '\\') {
            out += c;
            continue;
        }
        if (pos >= s.size()) return false;
        const char e = s[pos++];
        switch (e) {
        case '\\':
        case '"':
            out += e;
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'x':
            if (pos + 1 < s.size() && HexDigit(s[pos]) >= 0 && HexDigit(s[pos + 1]) >= 0) {
                out += static_cast<char>(HexDigit(s[pos]) * 16 + HexDigit(s[pos + 1]));
                pos += 2;
            } else {
                out += "\\x";
            }
            break;
        default: // a lone backslash in a hand-edited file stays as it is
            out += '\\';
            out += e;
            break;
        }
    }
    return false;
}

bool ParseHexList(const std::string& s, std::string& out) {
    out.clear();
    size_t pos = 0;
    bool expectByte = true;
    while (pos < s.size()) {
        const char c = s[pos];
        if (IsBlank(c)) {
            ++pos;
        } else if (c == ',') {
            if (expectByte) return false;
            expectByte = true;
            ++pos;
        } else {
            if (!expectByte || pos + 1 >= s.size()) return false;
            const int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            expectByte = false;
            pos += 2;
        }
    }
    return out.empty() || !expectByte; // no trailing comma
}

bool ParseData(const std::string& s, uint32_t& type, std::string& data) {
    if (!s.empty() && s[0] == '"') {
        size_t pos = 0;
        if (!ParseQuoted(s, pos, data)) return false;
        if (!TrimBlanks(s.substr(pos)).empty()) return false;
        type = REG_SZ;
        return true;
    }
    if (StartsWithFolded(s, 0, "dword:")) {
        const std::string digits = TrimBlanks(s.substr(6));
        if (digits.empty() || digits.size() > 8) return false;
        uint32_t v = 0;
        for (char c : digits) {
            const int d = HexDigit(c);
            if (d < 0) return false;
            v = v * 16 + static_cast<uint32_t>(d);
        }
        type = REG_DWORD;
        data.assign(4, '\0');
        for (int i = 0; i < 4; ++i)
            data[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        return true;
    }
    if (StartsWithFolded(s, 0, "hex:")) {
        type = REG_BINARY;
        return ParseHexList(s.substr(4), data);
    }
    if (StartsWithFolded(s, 0, "hex(")) {
        const size_t close = s.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12) return false;
        uint32_t t = 0;
        for (size_t i = 4; i < close; ++i) {
            const int d = HexDigit(s[i]);
            if (d < 0) return false;
            t = t * 16 + static_cast<uint32_t>(d);
        }
        type = t;
        return ParseHexList(s.substr(close + 2), data);
    }
    return false;
}

void AppendQuoted(std::string& out, const std::string& s) {
    static const char* hex = "0123456789abcdef";
    out += '"';
    for (char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '\\' || ch == '"') {
            out += '\\';
            out += ch;
        } else if (ch == '\n') {
            out += "\\n";
        } else if (ch == '\r') {
            out += "\\r";
        } else if ((c < 0x20 && ch != '\t') || c == 0x7F) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    out += '"';
}

void AppendHex(std::string& out, const std::string& data) {
    static const char* hex = "0123456789abcdef";
    for (size_t i = 0; i < data.size(); ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (i > 0) out += ',';
        out += hex[c >> 4];
        out += hex[c & 15];
    }
}

// Lines as every stored file of the suite is cut (CR LF, LF or CR; a mark
// at the start of any line read past), empty ones kept for the line count.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    TStoredLines all(text, TStoredLines::TMode::Every);
    std::string line;
    while (all.Next(line))
        lines.push_back(line);
    return lines;
}

} // namespace

std::string FoldName(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

std::string NormalizeKeyPath(const std::string& path) {
    std::string out;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) {
            if (!out.empty()) out += '\\';
            out.append(path, start, end - start);
        }
        start = end + 1;
    }
    return out;
}

TRegValue* TRegKeyNode::FindValue(const std::string& name) {
    const std::string f = FoldName(name);
    for (TRegValue& v : Values)
        if (FoldName(v.Name) == f) return &v;
    return nullptr;
}

const TRegValue* TRegKeyNode::FindValue(const std::string& name) const {
    return const_cast<TRegKeyNode*>(this)->FindValue(name);
}

TRegTree::TRegTree() {
    KeyMap.emplace("", TRegKeyNode{});
}

bool TRegTree::HasKey(const std::string& path) const {
    return FindKey(path) != nullptr;
}

const TRegKeyNode* TRegTree::FindKey(const std::string& path) const {
    auto it = KeyMap.find(FoldName(NormalizeKeyPath(path)));
    return it == KeyMap.end() ? nullptr : &it->second;
}

TRegKeyNode* TRegTree::FindKey(const std::string& path) {
    auto it = KeyMap.find(FoldName(NormalizeKeyPath(path)));
    return it == KeyMap.end() ? nullptr : &it->second;
}

TRegKeyNode& TRegTree::EnsureKey(const std::string& path) {
    const std::string norm = NormalizeKeyPath(path);
    size_t pos = 0;
    TRegKeyNode* node = &KeyMap.at("");
    while (pos < norm.size()) {
        size_t end = norm.find('\\', pos);
        if (end == std::string::npos) end = norm.size();
        const std::string sub = norm.substr(0, end);
        auto [it, inserted] = KeyMap.try_emplace(FoldName(sub));
        if (inserted) it->second.Path = sub;
        node = &it->second;
        pos = end + 1;
    }
    return *node;
}

bool TRegTree::DeleteTree(const std::string& path) {
    const std::string f = FoldName(NormalizeKeyPath(path));
    if (f.empty() || KeyMap.erase(f) == 0) return false;
    const std::string prefix = f + '\\';
    auto it = KeyMap.lower_bound(prefix);
    while (it != KeyMap.end() && it->first.compare(0, prefix.size(), prefix) == 0)
        it = KeyMap.erase(it);
    return true;
}

std::vector<std::string> TRegTree::SubKeyNames(const std::string& path) const {
    std::vector<std::string> names;
    const std::string f = FoldName(NormalizeKeyPath(path));
    const std::string prefix = f.empty() ? std::string() : f + '\\';
    for (auto it = KeyMap.lower_bound(prefix);
         it != KeyMap.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
        if (it->first.size() == prefix.size()) continue; // the key itself (root)
        if (it->first.find('\\', prefix.size()) != std::string::npos) continue;
        names.push_back(it->second.Path.substr(prefix.size()));
    }
    return names;
}

void TRegTree::SetValue(const std::string& path, const std::string& name, uint32_t type,
                        const std::string& data) {
    TRegKeyNode& key = EnsureKey(path);
    if (TRegValue* v = key.FindValue(name)) {
        v->Type = type;
        v->Data = data;
    } else {
        key.Values.push_back(TRegValue{name, type, data});
    }
}

bool TRegTree::DeleteValue(const std::string& path, const std::string& name) {
    TRegKeyNode* key = FindKey(path);
    if (key == nullptr) return false;
    const std::string f = FoldName(name);
    for (auto it = key->Values.begin(); it != key->Values.end(); ++it) {
        if (FoldName(it->Name) == f) {
            key->Values.erase(it);
            return true;
        }
    }
    return false;
}

TRegParseResult ParseRegText(const std::string& text, const std::string& rootName, TRegTree& tree) {
    TRegParseResult result;
    const std::vector<std::string> lines = SplitLines(text);
    const std::string rootFolded = FoldName(rootName);
    bool haveKey = false;
    std::string current;
    auto bad = [&](size_t lineIndex) {
        if (result.BadLines++ == 0) result.FirstBadLine = static_cast<int>(lineIndex) + 1;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t first = i;
        std::string line = TrimBlanks(lines[i]);
        // Long binary values may continue on following lines after a '\'.
        while (!line.empty() && line.back() == '\\' && line[0] != '[' && i + 1 < lines.size()) {
            const std::string next = TrimBlanks(lines[i + 1]);
            if (!next.empty() && (next[0] == '[' || next[0] == '"' || next[0] == '@')) break;
            line.pop_back();
            line += next;
            ++i;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line == "REGEDIT4") continue;

        if (line[0] == '[') {
            haveKey = false;
            if (line.back() != ']') {
                bad(first);
                continue;
            }
            const std::string inner = line.substr(1, line.size() - 2);
            const size_t sep = inner.find('\\');
            const std::string root = inner.substr(0, sep);
            if (FoldName(root) != rootFolded) {
                bad(first);
                continue;
            }
            current = sep == std::string::npos ? std::string() : inner.substr(sep + 1);
            tree.EnsureKey(current);
            haveKey = true;
            continue;
        }

        if (!haveKey) {
            bad(first);
            continue;
        }
        std::string name;
        size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!ParseQuoted(line, pos, name)) {
            bad(first);
            continue;
        }
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        if (pos >= line.size() || line[pos] != '=') {
            bad(first);
            continue;
        }
        ++pos;
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        uint32_t type = REG_SZ;
        std::string data;
        if (!ParseData(line.substr(pos), type, data)) {
            bad(first);
            continue;
        }
        tree.SetValue(current, name, type, data);
    }
    return result;
}

std::string FormatRegText(const TRegTree& tree, const std::string& rootName) {
    std::string out = "REGEDIT4\n";
    for (const auto& [folded, key] : tree.Keys()) {
        if (key.Path.empty() && key.Values.empty()) continue;
        out += "\n[";
        out += rootName;
        if (!key.Path.empty()) {
            out += '\\';
            out += key.Path;
        }
        out += "]\n";
        for (const TRegValue& v : key.Values) {
            if (v.Name.empty())
                out += '@';
            else
                AppendQuoted(out, v.Name);
            out += '=';
            if (v.Type == REG_SZ) {
                AppendQuoted(out, v.Data);
            } else if (v.Type == REG_DWORD && v.Data.size() == 4) {
                uint32_t d = 0;
                for (int i = 3; i >= 0; --i)
                    d = d * 256 + static_cast<unsigned char>(v.Data[i]);
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", d);
                out += buf;
            } else if (v.Type == REG_BINARY) {
                out += "hex:";
                AppendHex(out, v.Data);
            } else {
                char buf[16];
                std::snprintf(buf, sizeof buf, "hex(%x):", v.Type);
                out += buf;
                AppendHex(out, v.Data);
            }
            out += '\n';
        }
    }
    return out;
}
