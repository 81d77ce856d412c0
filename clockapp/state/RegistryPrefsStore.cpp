#include "clockapp/state/RegistryPrefsStore.h"

#include "platform/keystore/Registry.h"

namespace {
std::string Absolute(const std::string& key) {
    return key.rfind('\\', 0) == 0 ? key : "\\" + key;
}
} // namespace

THXRegistryPrefsStore::THXRegistryPrefsStore() = default;

THXRegistryPrefsStore::~THXRegistryPrefsStore() {
    // The registry objects write what is still pending when they go.
}

TRegistry& THXRegistryPrefsStore::Reg(THXRootKey root) {
    auto& slot = root == THXRootKey::HKEY_CURRENT_USER ? FUser : FMachine;
    if (!slot)
        slot = std::make_unique<TRegistry>(
            root == THXRootKey::HKEY_CURRENT_USER ? TRootKey::CurrentUser : TRootKey::LocalMachine);
    return *slot;
}

std::string& THXRegistryPrefsStore::OpenFor(THXRootKey root) {
    return root == THXRootKey::HKEY_CURRENT_USER ? FOpenUser : FOpenMachine;
}

// Outside a batch every change goes to the file at once.
void THXRegistryPrefsStore::Changed(TRegistry& r) {
    if (FBatch == 0) r.Flush();
}

bool THXRegistryPrefsStore::KeyExists(THXRootKey root, const std::string& key) {
    return Reg(root).KeyExists(Absolute(key));
}

void THXRegistryPrefsStore::CreateKey(THXRootKey root, const std::string& key) {
    TRegistry& r = Reg(root);
    if (!r.CreateKey(Absolute(key))) throw ERegistryException("Unable to create the key " + key);
    Changed(r);
}

void THXRegistryPrefsStore::DeleteKey(THXRootKey root, const std::string& key) {
    TRegistry& r = Reg(root);
    if (!r.KeyExists(Absolute(key))) return;
    OpenFor(root).clear();
    r.CloseKey();
    r.DeleteKey(Absolute(key));
    Changed(r);
}

std::optional<THXStoredValue>
THXRegistryPrefsStore::GetValue(THXRootKey root, const std::string& key, const std::string& name) {
    TRegistry& r = Reg(root);
    OpenFor(root).clear();
    if (!r.KeyExists(Absolute(key)) || !r.OpenKeyReadOnly(Absolute(key))) return std::nullopt;
    std::optional<THXStoredValue> result;
    if (r.ValueExists(name)) {
        switch (r.GetDataType(name)) {
        case TRegDataType::rdString:
        case TRegDataType::rdExpandString:
            result = THXStoredValue::FromString(r.ReadString(name));
            break;
        case TRegDataType::rdInteger:
            result = THXStoredValue::FromInteger(r.ReadInteger(name));
            break;
        case TRegDataType::rdBinary: {
            std::vector<uint8_t> bytes(size_t(std::max(0, r.GetDataSize(name))));
            if (!bytes.empty()) r.ReadBinaryData(name, bytes.data(), int(bytes.size()));
            result = THXStoredValue::FromBinary(std::move(bytes));
            break;
        }
        default:
            // A type the preferences never write: unusable, like a wrong type.
            result = THXStoredValue::FromBinary({});
            break;
        }
    }
    r.CloseKey();
    return result;
}

void THXRegistryPrefsStore::SetValue(THXRootKey root, const std::string& key,
                                     const std::string& name, const THXStoredValue& value) {
    TRegistry& r = Reg(root);
    // Reopening flushes, so a batch of writes to one key stays one write.
    std::string& open = OpenFor(root);
    if (open != key) {
        open.clear();
        if (!r.OpenKey(Absolute(key), true))
            throw ERegistryException("Unable to open the key " + key);
        open = key;
    }
    switch (value.Kind) {
    case THXStoredValue::TKind::String:
        r.WriteString(name, value.Text);
        break;
    case THXStoredValue::TKind::Integer:
        r.WriteInteger(name, value.Number);
        break;
    case THXStoredValue::TKind::Binary:
        r.WriteBinaryData(name, value.Bytes.data(), int(value.Bytes.size()));
        break;
    }
    Changed(r);
}

void THXRegistryPrefsStore::DeleteValue(THXRootKey root, const std::string& key,
                                        const std::string& name) {
    TRegistry& r = Reg(root);
    OpenFor(root).clear();
    if (!r.KeyExists(Absolute(key)) || !r.OpenKey(Absolute(key), false)) return;
    r.DeleteValue(name);
    r.CloseKey();
    Changed(r);
}

void THXRegistryPrefsStore::BeginUpdate() {
    ++FBatch;
}

void THXRegistryPrefsStore::EndUpdate() {
    if (FBatch > 0 && --FBatch == 0) {
        if (FUser) FUser->Flush();
        if (FMachine) FMachine->Flush();
    }
}

std::string THXRegistryPrefsStore::TakeDamageReport() {
    std::string text;
    for (const std::string& r : TakeKeyStoreReports())
        text += (text.empty() ? "" : "\n\r\n\r") + r;
    return text;
}
