// The key store's file form: one REGEDIT4-style text file per root key. Keys
// and value names compare without regard to (ASCII) case and keep the case
// they were created with.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Value types, numbered as the registry numbers them.
inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;

struct TRegValue {
    std::string Name; // empty = the key's default value ("@" in the file)
    uint32_t Type = REG_SZ;
    std::string Data; // strings as text; REG_DWORD as 4 little-endian bytes
};

struct TRegKeyNode {
    std::string Path;              // below the root, components joined by '\'; "" = the root itself
    std::vector<TRegValue> Values; // in creation order

    TRegValue* FindValue(const std::string& name);
    const TRegValue* FindValue(const std::string& name) const;
};

// ASCII case folding used for every key and value name comparison.
std::string FoldName(const std::string& s);
// Splits on '\', drops empty components and joins again.
std::string NormalizeKeyPath(const std::string& path);

class TRegTree {
public:
    TRegTree(); // holds the root key

    bool HasKey(const std::string& path) const;
    const TRegKeyNode* FindKey(const std::string& path) const;
    TRegKeyNode* FindKey(const std::string& path);
    // Creates the key and every missing parent.
    TRegKeyNode& EnsureKey(const std::string& path);
    // Removes the key with all its subkeys; the root cannot be removed.
    bool DeleteTree(const std::string& path);
    // Names of the direct subkeys, in folded-name order.
    std::vector<std::string> SubKeyNames(const std::string& path) const;

    void SetValue(const std::string& path, const std::string& name, uint32_t type,
                  const std::string& data);
    bool DeleteValue(const std::string& path, const std::string& name);

    const std::map<std::string, TRegKeyNode>& Keys() const { return KeyMap; }

private:
    std::map<std::string, TRegKeyNode> KeyMap; // folded path -> key
};

struct TRegParseResult {
    int BadLines = 0;
    int FirstBadLine = 0; // 1-based line number
};

// Reads the text of one root's file into tree (merging). rootName is e.g.
// "HKEY_CURRENT_USER"; sections of another root count as unreadable. Lines
// that cannot be read are skipped and counted; the rest is kept.
TRegParseResult ParseRegText(const std::string& text, const std::string& rootName, TRegTree& tree);
std::string FormatRegText(const TRegTree& tree, const std::string& rootName);
