#include "clockapp/state/PrefsStore.h"

#include <cctype>

THXStoredValue THXStoredValue::FromString(std::string s) {
    THXStoredValue v;
    v.Kind = TKind::String;
    v.Text = std::move(s);
    return v;
}

THXStoredValue THXStoredValue::FromInteger(int32_t n) {
    THXStoredValue v;
    v.Kind = TKind::Integer;
    v.Number = n;
    return v;
}

THXStoredValue THXStoredValue::FromBinary(std::vector<uint8_t> b) {
    THXStoredValue v;
    v.Kind = TKind::Binary;
    v.Bytes = std::move(b);
    return v;
}

std::string THXMemoryPrefsStore::Fold(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string THXMemoryPrefsStore::KeyId(THXRootKey root, const std::string& key) {
    std::string k = key;
    while (!k.empty() && k.back() == '\\')
        k.pop_back();
    return (root == THXRootKey::HKEY_CURRENT_USER ? "hkcu\\" : "hklm\\") + Fold(k);
}

bool THXMemoryPrefsStore::KeyExists(THXRootKey root, const std::string& key) {
    const std::string id = KeyId(root, key);
    for (const auto& [k, v] : Keys)
        if (k == id || k.rfind(id + "\\", 0) == 0) return true;
    return false;
}

void THXMemoryPrefsStore::CreateKey(THXRootKey root, const std::string& key) {
    auto& k = Keys[KeyId(root, key)];
    if (k.DisplayName.empty()) k.DisplayName = key;
}

void THXMemoryPrefsStore::DeleteKey(THXRootKey root, const std::string& key) {
    const std::string id = KeyId(root, key);
    for (auto it = Keys.begin(); it != Keys.end();) {
        if (it->first == id || it->first.rfind(id + "\\", 0) == 0)
            it = Keys.erase(it);
        else
            ++it;
    }
}

std::optional<THXStoredValue> THXMemoryPrefsStore::GetValue(THXRootKey root, const std::string& key,
                                                            const std::string& name) {
    auto k = Keys.find(KeyId(root, key));
    if (k == Keys.end()) return std::nullopt;
    auto v = k->second.Values.find(Fold(name));
    if (v == k->second.Values.end()) return std::nullopt;
    return v->second.second;
}

void THXMemoryPrefsStore::SetValue(THXRootKey root, const std::string& key, const std::string& name,
                                   const THXStoredValue& value) {
    CreateKey(root, key);
    auto& slot = Keys[KeyId(root, key)].Values[Fold(name)];
    if (slot.first.empty()) slot.first = name;
    slot.second = value;
    ++WriteCount;
}

void THXMemoryPrefsStore::DeleteValue(THXRootKey root, const std::string& key,
                                      const std::string& name) {
    auto k = Keys.find(KeyId(root, key));
    if (k != Keys.end()) k->second.Values.erase(Fold(name));
}

std::vector<std::string> THXMemoryPrefsStore::ValueNames(THXRootKey root, const std::string& key) {
    std::vector<std::string> names;
    auto k = Keys.find(KeyId(root, key));
    if (k != Keys.end())
        for (const auto& [folded, v] : k->second.Values)
            names.push_back(v.first);
    return names;
}
