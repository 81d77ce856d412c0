// The key store: our stand-in for the registry. Two roots, each kept in one
// REGEDIT4-style file under $XDG_CONFIG_HOME/horolux/ (or $HOROLUX_KEYSTORE_DIR
// when set), readable by the user only.
//
// Several programs of the suite write at once, so changes are kept as a list
// of operations and written by a locked read-modify-write: the file is read
// again under the lock, the operations are replayed on it and the result
// replaces the file atomically. No program loses another's keys.
//
// Changes are written when the key is closed, another key is opened, the
// object is destroyed or Flush runs; with LazyWrite off, after every change.
#pragma once

#include "platform/keystore/RegFile.h"
#include "platform/rtl/SysUtils.h"

#include <cstdint>
#include <string>
#include <sys/types.h>
#include <vector>

class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

enum class TRootKey { CurrentUser, LocalMachine };
inline constexpr TRootKey HKEY_CURRENT_USER = TRootKey::CurrentUser;
inline constexpr TRootKey HKEY_LOCAL_MACHINE = TRootKey::LocalMachine;

enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
    TRegDataType RegData = TRegDataType::rdUnknown;
    int DataSize = 0;
};

// The directory of the store files (created on first write).
std::string KeyStoreDirectory();
// The file of one root, e.g. ".../HKEY_CURRENT_USER.reg".
std::string KeyStoreFileName(TRootKey root);
const char* RootKeyName(TRootKey root);
// What the store found wrong in its files since the last call (a file read
// only in part, kept as "<file>.bad"), for the program to tell the user.
std::vector<std::string> TakeKeyStoreReports();

class TRegistry {
public:
    TRegistry(); // HKEY_CURRENT_USER
    explicit TRegistry(TRootKey root);
    ~TRegistry(); // writes what is pending
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    TRootKey RootKey() const { return Root; }
    void SetRootKey(TRootKey root); // closes the current key
    bool LazyWrite = true;
    // While set, opening another key keeps the changes pending, so a batch of
    // keys is written in one step (by Flush, CloseKey or the destructor).
    bool KeepPendingOnOpen = false;

    // Key paths are relative to the current key unless they begin with '\'.
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    std::string CurrentPath() const { return Current; }

    bool KeyExists(const std::string& key);
    bool CreateKey(const std::string& key);
    // Deletes the key with all its subkeys.
    bool DeleteKey(const std::string& key);
    bool HasSubKeys();
    std::vector<std::string> GetKeyNames();
    std::vector<std::string> GetValueNames();

    // Value operations act on the current key (the root when none is open).
    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    bool GetDataInfo(const std::string& name, TRegDataInfo& info);
    TRegDataType GetDataType(const std::string& name);
    int GetDataSize(const std::string& name); // -1 when absent

    // Reads raise ERegistryException when the value has another type;
    // ReadString of an absent value gives "", ReadBinaryData 0.
    std::string ReadString(const std::string& name);
    int32_t ReadInteger(const std::string& name); // the 32 bits as signed
    bool ReadBool(const std::string& name);
    double ReadFloat(const std::string& name); // 8-byte binary IEEE double
    int ReadBinaryData(const std::string& name, void* buffer, int bufSize);

    void WriteString(const std::string& name, const std::string& value);
    void WriteInteger(const std::string& name, int32_t value);
    void WriteBool(const std::string& name, bool value);
    void WriteFloat(const std::string& name, double value);
    void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

    // Writes pending changes now; raises ERegistryException when the store
    // cannot be read or written (the changes stay pending).
    void Flush();

private:
    struct TOp {
        enum Kind { CreateKey, SetValue, DeleteValue, DeleteKey } K;
        std::string Path;
        std::string Name;
        uint32_t Type = REG_NONE;
        std::string Data;
    };
    struct TSignature {
        bool Exists = false;
        dev_t Dev = 0;
        ino_t Ino = 0;
        off_t Size = 0;
        int64_t MTimeNs = 0;
        bool operator==(const TSignature&) const = default;
    };

    std::string Resolve(const std::string& key) const;
    void Refresh();
    void FlushQuietly();
    void Record(TOp op);
    bool RecordCreate(const std::string& path);
    void CheckWritable(const std::string& name) const;
    const TRegValue* Value(const std::string& name);
    const TRegValue& TypedValue(const std::string& name, uint32_t type);
    bool LoadFile(TRegTree& tree, TSignature& sig, std::string& error) const;

    TRootKey Root;
    std::string Current;
    bool KeyOpen = false;
    bool ReadOnly = false;
    bool Loaded = false;
    TRegTree Tree; // the file as last read, with our pending changes applied
    TSignature Sig;
    std::vector<TOp> Pending;
};
