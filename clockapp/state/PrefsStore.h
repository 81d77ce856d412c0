// The narrow view of the key store that the stored preferences need: typed
// values under keys of two roots. The program plugs the suite's key store in;
// tests use the in-memory one.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class THXRootKey { HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE };

struct THXStoredValue {
    enum class TKind { String, Integer, Binary };
    TKind Kind = TKind::String;
    std::string Text;           // String
    int32_t Number = 0;         // Integer
    std::vector<uint8_t> Bytes; // Binary

    static THXStoredValue FromString(std::string s);
    static THXStoredValue FromInteger(int32_t v);
    static THXStoredValue FromBinary(std::vector<uint8_t> b);
    bool operator==(const THXStoredValue&) const = default;
};

class IHXPrefsStore {
public:
    virtual ~IHXPrefsStore() = default;
    virtual bool KeyExists(THXRootKey root, const std::string& key) = 0;
    virtual void CreateKey(THXRootKey root, const std::string& key) = 0;
    // Removes the key with every subkey; nothing when it does not exist.
    virtual void DeleteKey(THXRootKey root, const std::string& key) = 0;
    virtual std::optional<THXStoredValue> GetValue(THXRootKey root, const std::string& key,
                                                   const std::string& name) = 0;
    virtual void SetValue(THXRootKey root, const std::string& key, const std::string& name,
                          const THXStoredValue& value) = 0;
    virtual void DeleteValue(THXRootKey root, const std::string& key, const std::string& name) = 0;
    // Batches writes: a store that persists may write once at EndUpdate.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
    // What the store found damaged since the last call, to tell the user.
    virtual std::string TakeDamageReport() { return {}; }
};

// Key and value names compare without regard to ASCII case and keep the case
// they were first written with, as in the system registry.
class THXMemoryPrefsStore : public IHXPrefsStore {
public:
    bool KeyExists(THXRootKey root, const std::string& key) override;
    void CreateKey(THXRootKey root, const std::string& key) override;
    void DeleteKey(THXRootKey root, const std::string& key) override;
    std::optional<THXStoredValue> GetValue(THXRootKey root, const std::string& key,
                                           const std::string& name) override;
    void SetValue(THXRootKey root, const std::string& key, const std::string& name,
                  const THXStoredValue& value) override;
    void DeleteValue(THXRootKey root, const std::string& key, const std::string& name) override;

    // Value names of one key in their stored case (tests).
    std::vector<std::string> ValueNames(THXRootKey root, const std::string& key);
    int WriteCount = 0;

private:
    struct TKey {
        std::string DisplayName;
        std::map<std::string, std::pair<std::string, THXStoredValue>> Values; // folded name
    };
    static std::string Fold(const std::string& s);
    std::string KeyId(THXRootKey root, const std::string& key);
    std::map<std::string, TKey> Keys; // folded "root\key\path"
};
