#include "platform/keystore/Registry.h"

#include "platform/rtl/AtomicFile.h"

#include "platform/rtl/KeptCopy.h"
#include "platform/rtl/RetryOnEintr.h"

#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ErrnoText(int err) {
    return std::strerror(err);
}

std::vector<std::string>& Reports() {
    static std::vector<std::string> reports;
    return reports;
}

// One warning per damaged text of a file per process, however often it is
// read. The next write drops the lines that could not be read, so the file as
// it was is kept as "<file>.bad" first; a file damaged again later is kept as
// "<file>.1.bad" and so on, never over an earlier copy.
void WarnBadLines(TRootKey, const std::string& file, const TRegParseResult& r,
                  const std::string& text) {
    static std::set<std::string> warned;
    if (!warned.insert(file + '\n' + text).second) return;
    const std::string kept = KeepNumberedCopy(file, text, ".bad", 0600);
    std::fprintf(stderr, "%s: key store %s: %d unreadable line(s) skipped, the first is line %d\n",
                 program_invocation_short_name, file.c_str(), r.BadLines, r.FirstBadLine);
    Reports().push_back(
        "The settings file " + file + " could not be read in full: " + std::to_string(r.BadLines) +
        " line(s) were skipped, the first is line " + std::to_string(r.FirstBadLine) + ".\n\r" +
        (!kept.empty() ? "The file as it was has been kept as " + kept
                       : "A copy of the file could not be kept; it will be "
                         "rewritten without those lines"));
}

// Under the root's lock no writer of this store is at work: a temporary of
// its file that is still there was left by a writer that was killed.
void RemoveStaleTemporaries(const std::string& dir, const std::string& fileName) {
    std::error_code ec;
    const std::string prefix = fileName + ".";
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        bool generated = true;
        for (size_t i = prefix.size(); i < name.size(); ++i)
            generated = generated && std::isalnum(static_cast<unsigned char>(name[i]));
        std::error_code rc;
        if (generated && e.is_regular_file(rc)) fs::remove(e.path(), rc);
    }
}

void WarnWriteFailure(const std::string& what) {
    std::fprintf(stderr, "%s: key store not written: %s\n", program_invocation_short_name,
                 what.c_str());
}

std::string HomeDirectory() {
    if (const char* h = std::getenv("HOME"); h != nullptr && *h != '\0') return h;
    if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return pw->pw_dir;
    return "/tmp";
}

void EnsureDirectory(const std::string& dir) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return;
    fs::create_directories(fs::path(dir).parent_path(), ec);
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        throw ERegistryException("cannot create " + dir + ": " + ErrnoText(errno));
}

// Holds the root's lock file for the duration of a read-modify-write.
class TFileLock {
public:
    explicit TFileLock(const std::string& path) {
        Fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (Fd < 0) throw ERegistryException("cannot open " + path + ": " + ErrnoText(errno));
        if (RetryOnEintr([this] { return ::flock(Fd, LOCK_EX); }) != 0) {
            const int err = errno;
            ::close(Fd);
            throw ERegistryException("cannot lock " + path + ": " + ErrnoText(err));
        }
    }
    ~TFileLock() {
        ::flock(Fd, LOCK_UN);
        ::close(Fd);
    }
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

private:
    int Fd = -1;
};

// Writes the whole text to a new file beside the target and renames it over
// the target, so readers see either the old or the new file, never a part.
void ReplaceFile(const std::string& target, const std::string& text) {
    std::string tmpl = target + ".XXXXXX";
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) throw ERegistryException("cannot create " + tmpl + ": " + ErrnoText(errno));
    auto fail = [&](const char* what) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmpl.c_str());
        throw ERegistryException(std::string(what) + " " + tmpl + ": " + ErrnoText(err));
    };
    if (::fchmod(fd, 0600) != 0) fail("cannot set the mode of");
    switch (FinishAtomicWrite(fd, tmpl, target, text)) {
    case TAtomicWrite::Written:
        break;
    case TAtomicWrite::RenameFailed: {
        const int err = errno;
        ::close(fd);
        throw ERegistryException("cannot replace " + target + ": " + ErrnoText(err));
    }
    default:
        fail("cannot write");
    }
    ::close(fd); // renamed and synced: the file is whole
}

bool ValidKeyPath(const std::string& path) {
    for (char c : path)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
    return true;
}

TRegDataType DataTypeOf(uint32_t type) {
    switch (type) {
    case REG_SZ:
        return TRegDataType::rdString;
    case REG_EXPAND_SZ:
        return TRegDataType::rdExpandString;
    case REG_DWORD:
        return TRegDataType::rdInteger;
    case REG_BINARY:
        return TRegDataType::rdBinary;
    default:
        return TRegDataType::rdUnknown;
    }
}

} // namespace

std::vector<std::string> TakeKeyStoreReports() {
    std::vector<std::string> taken;
    taken.swap(Reports());
    return taken;
}

const char* RootKeyName(TRootKey root) {
    return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

std::string KeyStoreDirectory() {
    if (const char* d = std::getenv("HOROLUX_KEYSTORE_DIR"); d != nullptr && *d != '\0') return d;
    const char* x = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        (x != nullptr && x[0] == '/') ? std::string(x) : HomeDirectory() + "/.config";
    return base + "/horolux";
}

std::string KeyStoreFileName(TRootKey root) {
    return KeyStoreDirectory() + "/" + RootKeyName(root) + ".reg";
}

TRegistry::TRegistry() : TRegistry(HKEY_CURRENT_USER) {}

TRegistry::TRegistry(TRootKey root) : Root(root) {}

TRegistry::~TRegistry() {
    FlushQuietly();
}

void TRegistry::SetRootKey(TRootKey root) {
    CloseKey();
    if (root == Root) return;
    Root = root;
    Loaded = false;
    Tree = TRegTree();
}

bool TRegistry::LoadFile(TRegTree& tree, TSignature& sig, std::string& error) const {
    const std::string file = KeyStoreFileName(Root);
    sig = TSignature{};
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true; // no file yet: an empty store
        error = "cannot read " + file + ": " + ErrnoText(errno);
        return false;
    }
    struct stat st {};
    std::string text;
    bool ok = ::fstat(fd, &st) == 0;
    char buf[65536];
    while (ok) {
        const ssize_t n = RetryOnEintr([&] { return ::read(fd, buf, sizeof buf); });
        if (n == 0) break;
        if (n < 0) {
            ok = false;
            break;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    const int err = errno;
    ::close(fd);
    if (!ok) {
        error = "cannot read " + file + ": " + ErrnoText(err);
        return false;
    }
    sig.Exists = true;
    sig.Dev = st.st_dev;
    sig.Ino = st.st_ino;
    sig.Size = st.st_size;
    sig.MTimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    const TRegParseResult r = ParseRegText(text, RootKeyName(Root), tree);
    if (r.BadLines > 0) WarnBadLines(Root, file, r, text);
    return true;
}

// Takes up what other programs wrote, unless our own changes are pending
// (they are replayed on the fresh file when written).
void TRegistry::Refresh() {
    if (!Pending.empty()) return;
    const std::string file = KeyStoreFileName(Root);
    struct stat st {};
    TSignature now;
    if (::stat(file.c_str(), &st) == 0) {
        now.Exists = true;
        now.Dev = st.st_dev;
        now.Ino = st.st_ino;
        now.Size = st.st_size;
        now.MTimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    if (Loaded && now == Sig) return;
    TRegTree fresh;
    TSignature sig;
    std::string error;
    if (!LoadFile(fresh, sig, error)) {
        // Unreadable: nothing to show; writes will refuse rather than clobber it.
        Tree = TRegTree();
        Loaded = false;
        return;
    }
    Tree = std::move(fresh);
    Sig = sig;
    Loaded = true;
}

void TRegistry::Flush() {
    if (Pending.empty()) return;
    const std::string dir = KeyStoreDirectory();
    EnsureDirectory(dir);
    const std::string file = KeyStoreFileName(Root);
    TFileLock lock(dir + "/" + RootKeyName(Root) + ".lock");
    TRegTree fresh;
    TSignature sig;
    std::string error;
    if (!LoadFile(fresh, sig, error)) throw ERegistryException(error);
    RemoveStaleTemporaries(dir, std::string(RootKeyName(Root)) + ".reg");
    for (const TOp& op : Pending) {
        switch (op.K) {
        case TOp::CreateKey:
            fresh.EnsureKey(op.Path);
            break;
        case TOp::SetValue:
            fresh.SetValue(op.Path, op.Name, op.Type, op.Data);
            break;
        case TOp::DeleteValue:
            fresh.DeleteValue(op.Path, op.Name);
            break;
        case TOp::DeleteKey:
            fresh.DeleteTree(op.Path);
            break;
        }
    }
    ReplaceFile(file, FormatRegText(fresh, RootKeyName(Root)));
    Pending.clear();
    Tree = std::move(fresh);
    Loaded = false; // take the new file's signature at the next refresh
    Refresh();
}

void TRegistry::FlushQuietly() {
    try {
        Flush();
    } catch (const std::exception& e) {
        WarnWriteFailure(e.what());
        Pending.clear();
        Loaded = false; // show the store as it really is again
    }
}

void TRegistry::Record(TOp op) {
    Pending.push_back(std::move(op));
    if (!LazyWrite) Flush();
}

// A key that cannot be written is reported as not opened or created.
bool TRegistry::RecordCreate(const std::string& path) {
    try {
        Record(TOp{TOp::CreateKey, path, {}, REG_NONE, {}});
        return true;
    } catch (const ERegistryException& e) {
        WarnWriteFailure(e.what());
        Pending.clear();
        Loaded = false;
        Refresh();
        return false;
    }
}

std::string TRegistry::Resolve(const std::string& key) const {
    if (!key.empty() && key[0] == '\\') return NormalizeKeyPath(key);
    return NormalizeKeyPath(Current + "\\" + key);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    const std::string path = Resolve(key);
    if (!ValidKeyPath(path)) return false;
    if (!KeepPendingOnOpen) FlushQuietly();
    Refresh();
    const TRegKeyNode* node = Tree.FindKey(path);
    if (node == nullptr) {
        if (!canCreate || path.empty()) return false;
        const std::string stored = Tree.EnsureKey(path).Path;
        if (!RecordCreate(stored)) return false;
        Current = stored;
        KeyOpen = true;
        ReadOnly = false;
        return true;
    }
    Current = node->Path;
    KeyOpen = true;
    ReadOnly = false;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
    if (!OpenKey(key, false)) return false;
    ReadOnly = true;
    return true;
}

void TRegistry::CloseKey() {
    FlushQuietly();
    Current.clear();
    KeyOpen = false;
    ReadOnly = false;
}

bool TRegistry::KeyExists(const std::string& key) {
    Refresh();
    return Tree.HasKey(Resolve(key));
}

bool TRegistry::CreateKey(const std::string& key) {
    const std::string path = Resolve(key);
    if (!ValidKeyPath(path)) return false;
    Refresh();
    if (path.empty() || Tree.HasKey(path)) return true;
    return RecordCreate(Tree.EnsureKey(path).Path);
}

bool TRegistry::DeleteKey(const std::string& key) {
    const std::string path = Resolve(key);
    Refresh();
    if (path.empty() || !Tree.DeleteTree(path)) return false;
    Record(TOp{TOp::DeleteKey, path, {}, REG_NONE, {}});
    return true;
}

bool TRegistry::HasSubKeys() {
    return !GetKeyNames().empty();
}

std::vector<std::string> TRegistry::GetKeyNames() {
    return Tree.SubKeyNames(Current);
}

std::vector<std::string> TRegistry::GetValueNames() {
    std::vector<std::string> names;
    if (const TRegKeyNode* node = Tree.FindKey(Current))
        for (const TRegValue& v : node->Values)
            names.push_back(v.Name);
    return names;
}

const TRegValue* TRegistry::Value(const std::string& name) {
    const TRegKeyNode* node = Tree.FindKey(Current);
    return node == nullptr ? nullptr : node->FindValue(name);
}

bool TRegistry::ValueExists(const std::string& name) {
    return Value(name) != nullptr;
}

bool TRegistry::DeleteValue(const std::string& name) {
    CheckWritable(name);
    if (!Tree.DeleteValue(Current, name)) return false;
    Record(TOp{TOp::DeleteValue, Current, name, REG_NONE, {}});
    return true;
}

bool TRegistry::GetDataInfo(const std::string& name, TRegDataInfo& info) {
    const TRegValue* v = Value(name);
    if (v == nullptr) {
        info = TRegDataInfo{};
        return false;
    }
    info.RegData = DataTypeOf(v->Type);
    info.DataSize = static_cast<int>(v->Data.size());
    return true;
}

TRegDataType TRegistry::GetDataType(const std::string& name) {
    TRegDataInfo info;
    GetDataInfo(name, info);
    return info.RegData;
}

int TRegistry::GetDataSize(const std::string& name) {
    TRegDataInfo info;
    return GetDataInfo(name, info) ? info.DataSize : -1;
}

const TRegValue& TRegistry::TypedValue(const std::string& name, uint32_t type) {
    const TRegValue* v = Value(name);
    if (v == nullptr || v->Type != type || (type == REG_DWORD && v->Data.size() != 4))
        throw ERegistryException("Invalid data type for '" + name + "'");
    return *v;
}

std::string TRegistry::ReadString(const std::string& name) {
    const TRegValue* v = Value(name);
    if (v == nullptr) return {};
    if (v->Type != REG_SZ && v->Type != REG_EXPAND_SZ)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return v->Data;
}

int32_t TRegistry::ReadInteger(const std::string& name) {
    const TRegValue& v = TypedValue(name, REG_DWORD);
    uint32_t d = 0;
    for (int i = 3; i >= 0; --i)
        d = d * 256 + static_cast<unsigned char>(v.Data[i]);
    return static_cast<int32_t>(d);
}

bool TRegistry::ReadBool(const std::string& name) {
    return ReadInteger(name) != 0;
}

double TRegistry::ReadFloat(const std::string& name) {
    const TRegValue& v = TypedValue(name, REG_BINARY);
    if (v.Data.size() != sizeof(double))
        throw ERegistryException("Invalid data type for '" + name + "'");
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits * 256 + static_cast<unsigned char>(v.Data[i]);
    return std::bit_cast<double>(bits);
}

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize) {
    const TRegValue* v = Value(name);
    if (v == nullptr) return 0;
    const int size = static_cast<int>(v->Data.size());
    if ((v->Type != REG_BINARY && DataTypeOf(v->Type) != TRegDataType::rdUnknown) || size > bufSize)
        throw ERegistryException("Invalid data type for '" + name + "'");
    if (size > 0) std::memcpy(buffer, v->Data.data(), static_cast<size_t>(size));
    return size;
}

void TRegistry::CheckWritable(const std::string& name) const {
    if (ReadOnly) throw ERegistryException("Failed to set data for '" + name + "'");
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    CheckWritable(name);
    Tree.SetValue(Current, name, REG_SZ, value);
    Record(TOp{TOp::SetValue, Current, name, REG_SZ, value});
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
    CheckWritable(name);
    const auto u = static_cast<uint32_t>(value);
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>((u >> (8 * i)) & 0xFF);
    Tree.SetValue(Current, name, REG_DWORD, data);
    Record(TOp{TOp::SetValue, Current, name, REG_DWORD, data});
}

void TRegistry::WriteBool(const std::string& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void TRegistry::WriteFloat(const std::string& name, double value) {
    const auto bits = std::bit_cast<uint64_t>(value);
    unsigned char data[8];
    for (int i = 0; i < 8; ++i)
        data[i] = static_cast<unsigned char>((bits >> (8 * i)) & 0xFF);
    WriteBinaryData(name, data, 8);
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize) {
    CheckWritable(name);
    std::string data;
    if (bufSize > 0) data.assign(static_cast<const char*>(buffer), static_cast<size_t>(bufSize));
    Tree.SetValue(Current, name, REG_BINARY, data);
    Record(TOp{TOp::SetValue, Current, name, REG_BINARY, data});
}
