// The preferences over the suite's key store.
#pragma once

#include "clockapp/state/PrefsStore.h"

#include <memory>

class TRegistry;

class THXRegistryPrefsStore : public IHXPrefsStore {
public:
    THXRegistryPrefsStore();
    ~THXRegistryPrefsStore() override;

    bool KeyExists(THXRootKey root, const std::string& key) override;
    void CreateKey(THXRootKey root, const std::string& key) override;
    void DeleteKey(THXRootKey root, const std::string& key) override;
    std::optional<THXStoredValue> GetValue(THXRootKey root, const std::string& key,
                                           const std::string& name) override;
    void SetValue(THXRootKey root, const std::string& key, const std::string& name,
                  const THXStoredValue& value) override;
    void DeleteValue(THXRootKey root, const std::string& key, const std::string& name) override;
    void BeginUpdate() override;
    void EndUpdate() override;
    std::string TakeDamageReport() override;

private:
    TRegistry& Reg(THXRootKey root);
    void Changed(TRegistry& r);
    std::string& OpenFor(THXRootKey root);
    std::string FOpenUser, FOpenMachine;
    std::unique_ptr<TRegistry> FUser, FMachine;
    int FBatch = 0;
};
