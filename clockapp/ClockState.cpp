#include "clockapp/ClockState.h"

#include <cmath>
#include <cstring>

TStartOptions ParseStartOptions(const std::string& defaultDir,
                                const std::vector<std::string>& args) {
    auto withSlash = [](std::string d) {
        if (d.empty() || d.back() != '/') d += '/';
        return d;
    };
    TStartOptions o;
    o.DataDir = withSlash(defaultDir);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-datadir") {
            if (i + 1 < args.size()) o.DataDir = withSlash(args[i + 1]);
        } else if (args[i] == "-readonly") {
            o.ReadOnly = true;
        }
    }
    return o;
}

TClockState::TClockState(IHXPrefsStore& store) : Store(store) {}
TClockState::~TClockState() = default;

void TClockState::SetDefaults() {
    const std::string version = CurrentVersion;
    static_cast<TClockPrefs&>(*this) = TClockPrefs();
    CurrentVersion = version; // the program's own, not a preference
    CurrentClock = 0;
    CreateHomeClock();
}

namespace {

std::vector<uint8_t> DoubleBytes(double v) {
    std::vector<uint8_t> b(8);
    std::memcpy(b.data(), &v, 8);
    return b;
}

bool InRange(double v, const TPrefDef& d) {
    return std::isfinite(v) && v >= d.Min && v <= d.Max;
}

} // namespace

// Each value on its own: one that is unusable keeps its default and the rest
// still load, so the write at start never saves defaults over good settings.
void TClockState::ReadPrefValue(THXRootKey root, const std::string& key, const TPrefDef& def) {
    using TKind = THXStoredValue::TKind;
    using S = TPrefDef::TSpecial;
    const std::optional<THXStoredValue> v = Store.GetValue(root, key, def.Name);
    const TClockPrefs defaults;
    auto reject = [&] { RejectedPrefs.push_back(def.Name); };

    if (def.Special == S::CurrentVersion) return;
    if (def.Special == S::LocalClock) {
        if (!v) return;
        if (v->Kind != TKind::String) return reject();
        try {
            ReadHomeClockRecord(v->Text);
        } catch (...) {
            // A damaged record: start again from the default home clock.
            CreateHomeClock();
            reject();
        }
        return;
    }
    if (def.Special == S::WindowPos) {
        int& field = this->*std::get<int TClockPrefs::*>(def.Field);
        if (!v)
            field = 0;
        else if (v->Kind != TKind::Integer)
            field = 0, reject();
        else
            field = std::max<int>(v->Number, -5);
        return;
    }
    if (!v) {
        if (std::strcmp(def.Name, "UserEmailAddress") == 0) UserEmailAddress.clear();
        return;
    }
    std::visit(
        [&](auto member) {
            using M = decltype(member);
            if constexpr (std::is_same_v<M, std::string TClockPrefs::*>) {
                if (v->Kind != TKind::String) return reject();
                if (def.Special == S::Password) {
                    try {
                        this->*member = UnscramblePassword(v->Text);
                    } catch (...) {
                        this->*member = defaults.*member;
                        reject();
                    }
                } else {
                    this->*member = v->Text;
                }
            } else if constexpr (std::is_same_v<M, int TClockPrefs::*>) {
                if (v->Kind != TKind::Integer || !InRange(v->Number, def)) return reject();
                this->*member = v->Number;
            } else if constexpr (std::is_same_v<M, bool TClockPrefs::*>) {
                if (v->Kind != TKind::Integer) return reject();
                this->*member = v->Number != 0;
            } else if constexpr (std::is_same_v<M, double TClockPrefs::*>) {
                if (v->Kind != TKind::Binary || v->Bytes.size() != 8) return reject();
                double d;
                std::memcpy(&d, v->Bytes.data(), 8);
                if (!InRange(d, def)) return reject();
                this->*member = d;
            } else if constexpr (std::is_same_v<M, uint8_t TClockPrefs::*>) {
                if (v->Kind != TKind::Binary || v->Bytes.empty() || !InRange(v->Bytes[0], def))
                    return reject();
                this->*member = v->Bytes[0];
            }
        },
        def.Field);
}

void TClockState::LoadPrefs() {
    using R = THXRootKey;
    RejectedPrefs.clear();
    R root = R::HKEY_CURRENT_USER;
    if (Store.KeyExists(R::HKEY_CURRENT_USER, kHoroluxKey)) {
        Store.DeleteKey(R::HKEY_LOCAL_MACHINE, kHoroluxKey);
    } else {
        // Settings of the machine-wide older version are taken over once; the
        // next start, with the user's key written, removes the old key.
        Store.DeleteKey(R::HKEY_LOCAL_MACHINE, std::string(kHoroluxKey) + "\\Alarms");
        Store.DeleteKey(R::HKEY_LOCAL_MACHINE, std::string(kHoroluxKey) + "\\Dayloom");
        root = R::HKEY_LOCAL_MACHINE;
    }

    // An old "AutoSize" set to true meant automatic sizing; a stored
    // ConstrainWindowType read below still wins.
    if (auto a = Store.GetValue(root, kPrefsKey, "AutoSize");
        a && a->Kind == THXStoredValue::TKind::Integer && a->Number != 0) {
        Store.DeleteValue(root, kPrefsKey, "AutoSize");
        ConstrainWindowType = 1;
    }
    for (const TPrefDef& def : PrefTable())
        ReadPrefValue(root, kPrefsKey, def);
    StartMinimizedPending = AlwaysStartMinimized;
    for (const std::string& name : ObsoletePrefNames())
        if (Store.GetValue(root, kPrefsKey, name)) Store.DeleteValue(root, kPrefsKey, name);
    PrefsLoaded();
}

void TClockState::WritePrefs() {
    using S = TPrefDef::TSpecial;
    CaptureWindowState();
    const THXRootKey root = THXRootKey::HKEY_CURRENT_USER;
    Store.BeginUpdate();
    try {
        Store.CreateKey(root, kPrefsKey);
        for (const TPrefDef& def : PrefTable()) {
            THXStoredValue value;
            if (def.Special == S::LocalClock) {
                value = THXStoredValue::FromString(HomeClockRecord());
            } else {
                std::visit(
                    [&](auto member) {
                        using M = decltype(member);
                        if constexpr (std::is_same_v<M, std::string TClockPrefs::*>)
                            value = THXStoredValue::FromString(def.Special == S::Password
                                                                   ? ScramblePassword(this->*member)
                                                                   : this->*member);
                        else if constexpr (std::is_same_v<M, int TClockPrefs::*>)
                            value = THXStoredValue::FromInteger(this->*member);
                        else if constexpr (std::is_same_v<M, bool TClockPrefs::*>)
                            value = THXStoredValue::FromInteger(this->*member ? 1 : 0);
                        else if constexpr (std::is_same_v<M, double TClockPrefs::*>)
                            value = THXStoredValue::FromBinary(DoubleBytes(this->*member));
                        else if constexpr (std::is_same_v<M, uint8_t TClockPrefs::*>)
                            value = THXStoredValue::FromBinary({this->*member});
                    },
                    def.Field);
            }
            Store.SetValue(root, kPrefsKey, def.Name, value);
        }
    } catch (...) {
        Store.EndUpdate();
        throw;
    }
    Store.EndUpdate();
}

void TClockState::LoadCLockInfo() {}
void TClockState::LoadAlarms() {}
void TClockState::LoadTemperalEvents() {}
void TClockState::LoadStandardLocations() {}
void TClockState::LoadStandardTimeServers() {}
void TClockState::WriteClockInfo() {}
void TClockState::WriteAlarms() {}
void TClockState::WriteTemperalEvents() {}
void TClockState::WriteStandardLocations() {}
