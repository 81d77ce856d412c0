#include "clockapp/state/ClockState.h"

#include "clockapp/state/AlarmFiring.h"
#include "clockapp/state/ListFiles.h"
#include "platform/media/HostZone.h"
#include "platform/qt/TextFold.h"
#include "platform/rtl/AtomicFile.h"
#include "timemodel/HXMessageBoxes.h"
#include "timemodel/HXString.h"
#include "timemodel/SaveTemporary.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <utility>

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
                        this->*member = UnscramblePasswordText(v->Text);
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
                            value = THXStoredValue::FromString(
                                def.Special == S::Password ? ScramblePasswordText(this->*member)
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

// ------------------------------------------------------------ home clock

std::string TClockState::HomeClockRecord() const {
    return LocalClock.DataString('\t');
}

void TClockState::ReadHomeClockRecord(const std::string& text) {
    LocalClock.ParseDataString(text, '\t');
}

void TClockState::CreateHomeClock() {
    LocalClock = THXClock();
    LocalClock.ClockType = ctLocal;
    LocalClock.TimeFormat = "HH:MM:SS";
    LocalClock.DateFormat = "MMMM dd, YYYY";
    LocalClock.Analog = false;
}

std::string TClockState::ScramblePasswordText(const std::string& p) const {
    return ScramblePassword(p);
}

std::string TClockState::UnscramblePasswordText(const std::string& d) const {
    return UnscramblePassword(d);
}

void TClockState::LoadRegTimeInfo() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    if (!localtime_r(&t, &local))
        throw Exception("Error Accessing Time Zone Information from the System");
    LocalClock.Location.HostOffset = double(local.tm_gmtoff) / 3600.0;
    HomeZone = ReadHomeZone();
    if (HomeZone.Ok) {
        SetHomeRule(LocalClock.Location, HomeZone);
    } else {
        LocalClock.Location.StdOffset = LocalClock.Location.HostOffset;
        LocalClock.Location.Rule.None();
    }
    if (local.tm_zone) LocalZoneName = local.tm_zone;
}

double TClockState::HostOffsetNow() {
    return std::round((Now() - NowUTC()) * 1440.0) / 60.0;
}

bool TClockState::ReloadHostZone() {
    const THostZone z = ReadHostZone();
    const double offset = HostOffsetNow();
    LocalZoneName = z.Ok && !z.Name.empty() ? z.Name : "Unknown Local Location";
    LocalClock.Location.StdOffset = offset;
    LocalClock.Location.HostOffset = offset;
    FHostOffset = offset;
    HomeZone = z.Ok ? ReadHomeZone(NowUTC()) : THomeZone();
    if (!z.Ok) {
        LocalClock.Location.Rule.None();
        return false;
    }
    UpdateLocalOffsets();
    return true;
}

void TClockState::UpdateLocalOffsets() {
    TTimeLocation& home = LocalClock.Location;
    if (OverrideLocalOffset) {
        // The user's offset stands for the computer's, all year round.
        home.StdOffset = LocalOffsetOverride;
        home.HostOffset = home.StdOffset;
        home.Rule.None();
    } else {
        if (FHostOffset) home.HostOffset = *FHostOffset;
        LocalOffsetOverride = home.HostOffset;
        // The home place follows the zone, so what is set at home for the
        // other side of a clock change happens at the wall time typed; the
        // home clock itself tells the computer's time from the host offset.
        if (HomeZone.Ok) {
            SetHomeRule(home, HomeZone);
        } else {
            home.StdOffset = home.HostOffset;
            home.Rule.None();
        }
    }
    FollowHostOffset();
    UpdateAlarmOffsets();
    UpdateEventOffsets();
}

// Only the computer's offset is set; the place a clock keeps is never
// written from here (a Local clock tells the computer's time from this
// offset by itself).
void TClockState::FollowHostOffset() {
    for (auto& c : Clocks)
        c->Location.HostOffset = LocalClock.Location.HostOffset;
}

void TClockState::UpdateAlarmOffsets() {
    SetAlarmHostOffsets(Alarms, LocalClock.Location.HostOffset);
}

void TClockState::UpdateEventOffsets() {
    SetEventHostOffsets(TemperalEvents, LocalClock.Location.HostOffset);
}

int TClockState::TitleClock() {
    if (HintClock < 0 || HintClock >= int(Clocks.size())) HintClock = -1;
    return HintClock;
}

void TClockState::TakeEarlierHomePlaces() {
    // Only a home place that follows the zone: a fixed offset the user set
    // says nothing about the records' days.
    const TTimeLocation& home = LocalClock.Location;
    if (!HomeZone.Ok || home.Rule.Name == "Unknown") return;
    for (auto& a : Alarms) TakeEarlierHomePlace(a->Location, home, HomeZone);
    for (auto& e : TemperalEvents) TakeEarlierHomePlace(e->Location, home, HomeZone);
}

// ------------------------------------------------------------ list files

namespace {

constexpr const char* kClockDataKey = "SOFTWARE\\Horolux\\ClockData";

template <class T> void CutTo(std::vector<std::unique_ptr<T>>& list, size_t n) {
    if (list.size() > n) list.resize(n);
}

std::optional<double> StoredDouble(const std::optional<THXStoredValue>& v) {
    if (v && v->Kind == THXStoredValue::TKind::Binary && v->Bytes.size() == 8) {
        double d;
        std::memcpy(&d, v->Bytes.data(), 8);
        if (std::isfinite(d)) return d;
    }
    return std::nullopt;
}

} // namespace

namespace {
TRecordFault ReloadFault(const THXClock& c, const std::string& line) {
    return CheckClockRecord(c, TRecordUse::Reload, &line);
}
TRecordFault ReloadFault(const TAlarm& a, const std::string& line) {
    return CheckAlarmRecord(a, TRecordUse::Reload, &line);
}
TRecordFault ReloadFault(const TTemperalEvent& e, const std::string& line) {
    return CheckEventRecord(e, TRecordUse::Reload, &line);
}
TRecordFault ReloadFault(const TTimeLocation& l, const std::string& line) {
    return CheckLocationRecord(l, TRecordUse::Reload, &line);
}

// Reads one line into a record and tells what went wrong, if anything: the
// parser's error, a line too long to be a record, or a line the record does
// not use whole. The line shows cut short in the text.
template <class T>
std::string ReadRecord(T& record, const std::string& line, THXRecordKind kind,
                       const char* prefix) {
    if (line.size() > kMaxRecordLine)
        return ShortenedLineText(prefix + line, line) + " (the line is longer than 64 KiB)";
    try {
        record.ParseDataString(line, '\t');
    } catch (const std::exception& e) {
        return ShortenedLineText(e.what(), line);
    }
    if (!WholeRecord(kind, line, '\t'))
        return ShortenedLineText(prefix + line, line) +
               " (the line does not hold exactly one record)";
    // Kept, the record would be written back at the next save otherwise
    // than it was read, or as a line the start after it could not read:
    // told now, while the line is whole.
    if (const TRecordFault fault = ReloadFault(record, line))
        return ShortenedLineText(prefix + line, line) +
               (fault.LineLength > 0 ? " (written back, the record would be longer than 64 KiB)"
                                     : " (written back, the record would not read back as it was read)");
    return {};
}

// How many more bad lines followed the first one, which the message shows.
std::string MoreBadLines(size_t bad) {
    if (bad <= 1) return "";
    return "\n\r" + std::to_string(bad - 1) + " more line" + (bad == 2 ? "" : "s") +
           " could not be read either";
}
} // namespace

// Said when a load met a bad line: the file as it was is kept beside the
// list, because the next save rewrites it with only the records read.
std::string TClockState::DamagedNote(const std::string& file) {
    if (ReadOnly) return "";
    // Every damaged start keeps its own copy: an earlier one is never replaced.
    if (const std::string copy = KeepDamagedCopy(DataDir + file); !copy.empty())
        return "\n\rThe file as it was has been kept as " + copy;
    return "\n\rA copy of the file could not be kept; it will be rewritten at the next save";
}

void TClockState::ReadLegacyClocks() {
    const THXRootKey lm = THXRootKey::HKEY_LOCAL_MACHINE;
    for (int i = 0; i <= 10; ++i) {
        auto clock = std::make_unique<THXClock>();
        TTimeLocation& loc = clock->Location;
        const std::string n = std::to_string(i);
        auto name = Store.GetValue(lm, kClockDataKey, "ZoneName" + n);
        loc.Name = name && name->Kind == THXStoredValue::TKind::String ? name->Text : "<default>";
        auto diff = Store.GetValue(lm, kClockDataKey, "ZoneDiff" + n);
        if (auto d = StoredDouble(diff))
            loc.StdOffset = *d;
        else if (diff && diff->Kind == THXStoredValue::TKind::Integer)
            loc.StdOffset = diff->Number / 60.0;
        else
            loc.StdOffset = 0;
        auto code = Store.GetValue(lm, kClockDataKey, "Daylight" + n);
        int rule = 2;
        if (code && code->Kind == THXStoredValue::TKind::Integer) rule = code->Number;
        try {
            loc.Rule.ReadDataString(std::to_string(rule));
        } catch (...) {
            // An unknown rule code leaves the place without a rule.
        }
        loc.Latitude = StoredDouble(Store.GetValue(lm, kClockDataKey, "Latitude" + n)).value_or(0);
        loc.Longitude =
            StoredDouble(Store.GetValue(lm, kClockDataKey, "Longitude" + n)).value_or(0);
        Clocks.push_back(std::move(clock));
    }
    Store.DeleteKey(lm, kClockDataKey);
}

void TClockState::ReadHostZoneAfterClocks() {
    try {
        LoadRegTimeInfo();
    } catch (...) {
        try {
            LoadRegTimeInfo();
        } catch (...) {
            ShowErrorCode(11);
        }
    }
}

// A list file that is missing is reported once: an empty one is made in its
// place, so the message's "New file created" is true and the next start is
// quiet. Where none can be made (read-only, or the directory refuses it) the
// message does not claim one.
void TClockState::ReportMissingList(const std::string& baseName, int code) {
    bool created = false;
    if (!ReadOnly) {
        try {
            // Made only where there is still none.
            RewriteListFile(DataDir, baseName, ListStamps[baseName],
                            [](std::string&) { return false; });
            created = true;
        } catch (...) {
            // None could be made: the message then does not claim one.
        }
    }
    const std::string claim = ", New file created";
    std::string text = HXErrorMessage(code).Text;
    const size_t at = text.rfind(claim);
    if (created || at == std::string::npos) {
        ShowErrorCode(code);
        return;
    }
    text.erase(at, claim.size());
    ShowError(text);
}

// A list file that is there but cannot be read is not missing: it is told,
// nothing is loaded from it, and no save writes over it (the data in it would
// be gone) until a later load reads it.
bool TClockState::OpenList(THXLineReader& in, const std::string& baseName, int missingCode) {
    const std::string path = DataDir + baseName + ".hxd";
    if (in.Open(path)) {
        UnreadLists.erase(baseName);
        ListStamps[baseName] = in.Stamp();
        return true;
    }
    const int why = errno;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) {
        UnreadLists.erase(baseName);
        ListStamps[baseName] = TFileStamp{};
        if (missingCode) ReportMissingList(baseName, missingCode);
        return false;
    }
    UnreadLists.insert(baseName);
    ShowError("Unable to read " + baseName + ".hxd: " + std::strerror(why) +
              "\n\rNothing was loaded from it, and it will not be written over while it "
              "cannot be read.");
    return false;
}

void TClockState::CheckListWritable(const std::string& baseName) const {
    if (UnreadLists.count(baseName))
        throw Exception("Unable to save " + baseName + ".hxd: it could not be read, and "
                        "writing would replace what it holds");
}

void TClockState::RemoveStaleSaveTemporaries() {
    std::vector<std::string> files = {"hxdst.hxd"};
    if (!ReadOnly)
        files.insert(files.end(), {"hxclocks.hxd", "hxalarms.hxd", "hxdayloom.hxd", "hxzones.hxd"});
    RemoveStaleTemporaries(DataDir, files);
}

void TClockState::LoadCLockInfo() {
    if (Store.KeyExists(THXRootKey::HKEY_LOCAL_MACHINE, kClockDataKey)) {
        // The clocks of the old key replace whatever the file holds.
        {
            THXLineReader file;
            ListStamps["hxclocks"] =
                file.Open(DataDir + "hxclocks.hxd") ? file.Stamp() : TFileStamp{};
        }
        ReadLegacyClocks();
        ReadHostZoneAfterClocks();
        return;
    }
    THXLineReader in;
    if (!OpenList(in, "hxclocks", 2)) {
        return;
    }
    std::vector<std::unique_ptr<THXClock>> read;
    bool localSeen = false;
    bool firstLine = true;
    std::string line, firstError;
    size_t bad = 0;
    while (in.Next(line)) {
        const bool first = std::exchange(firstLine, false);
        auto clock = std::make_unique<THXClock>();
        THXClock& c = *clock;
        read.push_back(std::move(clock));
        const std::string error =
            ReadRecord(c, line, THXRecordKind::Clock, "Error in Clock Data: ");
        if (!error.empty()) {
            // A line that is not exactly one record adds nothing (it may be
            // any text); the lines after it are read all the same.
            read.pop_back();
            if (bad++ == 0) firstError = error;
            continue;
        }
        if (first && line.find("HXClockData") == std::string::npos) c.ClockType = ctLocal;
        if (c.ClockType == ctLocal && !localSeen) {
            LocalClock.Copy(c);
            LocalClock.ClockType = ctLocal;
            try {
                LoadRegTimeInfo();
            } catch (...) {
                // The host offset known so far stays until the next time change reads it again.
            }
            // The clock keeps its own place; it tells the computer's time
            // from the host offset alone.
            c.Location.HostOffset = LocalClock.Location.HostOffset;
            if (c.Location.Name.empty()) c.Location.Name = LocalZoneName;
            localSeen = true;
        } else if (c.ClockType == ctLocal) {
            c.ClockType = ctLocation;
        }
    }
    if (bad > 0)
        ShowError("Error in Clock Data File\n\r" + firstError + "\n\r" + "Clocks loaded: " +
                  std::to_string(read.size()) + MoreBadLines(bad) + DamagedNote("hxclocks.hxd"));
    if (!read.empty()) Clocks = std::move(read);
    ReadHostZoneAfterClocks();
}

void TClockState::LoadAlarms() {
    THXLineReader in;
    if (!OpenList(in, "hxalarms", 3)) {
        Alarms.clear();
        return;
    }
    std::vector<std::unique_ptr<TAlarm>> read;
    std::string line, firstError;
    size_t bad = 0;
    while (in.Next(line)) {
        auto a = std::make_unique<TAlarm>();
        const std::string error =
            ReadRecord(*a, line, THXRecordKind::Alarm, "Error in Alarm Data: ");
        // A line that is not exactly one record adds nothing (it may be any
        // text) and costs no line after it.
        if (!error.empty()) {
            if (bad++ == 0) firstError = error;
            continue;
        }
        read.push_back(std::move(a));
    }
    if (bad > 0) {
        ShowError(firstError + "-- alarms loaded: " + std::to_string(read.size()) +
                  MoreBadLines(bad) + DamagedNote("hxalarms.hxd"));
        Alarms = std::move(read);
        return;
    }
    if (!read.empty()) Alarms = std::move(read);
}

void TClockState::LoadTemperalEvents() {
    THXLineReader in;
    if (!OpenList(in, "hxdayloom", 8)) {
        TemperalEvents.clear();
        return;
    }
    std::vector<std::unique_ptr<TTemperalEvent>> read;
    std::string line, firstError;
    size_t bad = 0;
    while (in.Next(line)) {
        auto ev = std::make_unique<TTemperalEvent>();
        const std::string error =
            ReadRecord(*ev, line, THXRecordKind::Event, "Error in Event Data: ");
        if (!error.empty()) {
            if (bad++ == 0) firstError = error;
            continue;
        }
        read.push_back(std::move(ev));
    }
    if (bad > 0) {
        ShowError(firstError + " -- events loaded " + std::to_string(read.size()) +
                  MoreBadLines(bad) + DamagedNote("hxdayloom.hxd"));
        TemperalEvents = std::move(read);
        return;
    }
    if (!read.empty()) TemperalEvents = std::move(read);
}

namespace {
// The data version of a "VERSION:" line: its second TAB field.
std::string VersionField(const std::string& line) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) return "";
    const size_t end = line.find('\t', tab + 1);
    return line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
}
} // namespace

// Reads the location file (merge false) or the waiting update (merge true).
// False after a bad line, which has been reported.
bool TClockState::ReadLocationFile(const std::string& path, bool merge, THXLineReader* opened) {
    THXLineReader own;
    THXLineReader& in = opened ? *opened : own;
    if (!opened) in.Open(path);
    if (!merge) ListStamps["hxzones"] = in.Stamp();
    std::vector<std::unique_ptr<TTimeLocation>> read;
    size_t count = 0, bad = 0;
    std::string line, firstError;
    while (in.Next(line)) {
        if ((count & 255) == 0) ProgressPosition(in.Size(), in.Position());
        // A line too long to be a record is damage, whatever it begins with:
        // never taken for a comment.
        if (line.size() > kMaxRecordLine) {
            if (bad++ == 0)
                firstError = ShortenedLineText("Error in Location Data: " + line, line) +
                             " (the line is longer than 64 KiB)";
            continue;
        }
        if (line[0] == '#') continue;
        if (line.find("VERSION:") != std::string::npos) {
            LocationDataVersion = VersionField(line);
            continue;
        }
        auto loc = std::make_unique<TTimeLocation>();
        const std::string error =
            ReadRecord(*loc, line, THXRecordKind::Location, "Error in Location Data: ");
        if (!error.empty()) {
            // Told once the whole file is read: a line that is not exactly
            // one record adds nothing and costs no line after it.
            if (bad++ == 0) firstError = error;
            continue;
        }
        ++count;
        if (!merge) {
            read.push_back(std::move(loc));
            continue;
        }
        auto same = std::find_if(StandardLocations.begin(), StandardLocations.end(),
                                 [&](const auto& l) { return l->Name == loc->Name; });
        if (same != StandardLocations.end())
            (*same)->Copy(*loc);
        else
            StandardLocations.push_back(std::move(loc));
    }
    ProgressPosition(in.Size(), in.Size());
    if (bad > 0) {
        const std::string note = merge ? "" : DamagedNote("hxzones.hxd");
        ShowError(firstError + " -- Loctions loaded: " + std::to_string(count) +
                  MoreBadLines(bad) + note);
        if (!merge) StandardLocations = std::move(read);
        return false;
    }
    if (!merge && !read.empty()) StandardLocations = std::move(read);
    return true;
}

void TClockState::LoadStandardLocations() {
    const std::string path = DataDir + "hxzones.hxd";
    THXLineReader file;
    if (!OpenList(file, "hxzones", 0)) {
        if (!UnreadLists.count("hxzones")) ShowErrorCode(4);
        StandardLocations.clear();
        return;
    }
    BeginProgress("Loading Locations", "Please Wait...\rLocation data is being loaded...", true);
    bool complete = false;
    try {
        complete = ReadLocationFile(path, false, &file);
    } catch (...) {
        EndProgress();
        throw;
    }
    EndProgress();
    if (complete) TakeWaitingLocations();
}

void TClockState::LoadStandardTimeServers() {
    THXLineReader in;
    if (!in.Open(DataDir + "hxservers.hxd")) return;
    std::vector<std::string> servers;
    std::string line;
    while (in.Next(line))
        servers.push_back(line);
    if (!servers.empty()) TimeServers = std::move(servers);
}

// The one save of every list file. A file that another program changed
// since it was read is replaced only when the user says so; with nobody to
// ask (the program is ending) it is kept, and the save fails.
void TClockState::WriteListLines(const std::string& baseName,
                                 const std::vector<std::string>& lines) {
    for (int round = 0;; ++round) {
        size_t i = 0;
        try {
            RewriteListFile(DataDir, baseName, ListStamps[baseName], [&](std::string& line) {
                if (i >= lines.size()) return false;
                line = lines[i++];
                return true;
            });
            return;
        } catch (const EListFileChanged&) {
            if (round >= 2 ||
                !ConfirmYes(baseName + ".hxd was changed by another program since Horolux read "
                            "it.\n\rDo you want to replace it with Horolux's list?"))
                throw;
        }
        // Replaced as it is now, on the user's word; what cannot be read is
        // never replaced.
        THXLineReader now;
        if (now.Open(DataDir + baseName + ".hxd"))
            ListStamps[baseName] = now.Stamp();
        else if (errno == ENOENT)
            ListStamps[baseName] = TFileStamp{};
        else
            throw Exception("Unable to save " + baseName + ".hxd: it cannot be read (" +
                            std::strerror(errno) + "), and writing would replace what it holds");
    }
}

namespace {
template <class T, class F>
std::vector<std::string> ListLines(const std::vector<std::unique_ptr<T>>& list, F record) {
    std::vector<std::string> lines;
    lines.reserve(list.size());
    for (const auto& item : list)
        lines.push_back(record(*item));
    return lines;
}
} // namespace

void TClockState::WriteClockInfo() {
    if (ReadOnly) return;
    CheckListWritable("hxclocks");
    WriteListLines("hxclocks",
                   ListLines(Clocks, [](const THXClock& c) { return c.DataString('\t'); }));
}

void TClockState::WriteAlarms() {
    if (ReadOnly) return;
    CheckListWritable("hxalarms");
    WriteListLines("hxalarms",
                   ListLines(Alarms, [](const TAlarm& a) { return a.DataString('\t'); }));
}

void TClockState::WriteTemperalEvents() {
    if (ReadOnly) return;
    CheckListWritable("hxdayloom");
    WriteListLines("hxdayloom", ListLines(TemperalEvents, [](const TTemperalEvent& e) {
                       return e.EventDataString('\t');
                   }));
}

void TClockState::WriteStandardLocations() {
    if (ReadOnly) return;
    CheckListWritable("hxzones");
    WriteListLines("hxzones", ListLines(StandardLocations, [](const TTimeLocation& l) {
                       return l.LocationDataStr('\t');
                   }));
}

// ------------------------------------------------------ location update

bool TClockState::CheckNewLocations() {
    const std::string downloaded = DataDir + "NEW_hxzones.hxd";
    const std::string waiting = DataDir + "hxzones.new";
    // A move that never overwrites: an older waiting file is offered first.
    // One that cannot be moved stays where it is and is offered next time.
    if (FileExists(downloaded) && !FileExists(waiting)) PutFileInPlace(downloaded, waiting);
    if (!FileExists(waiting)) return false;
    const TAnswer answer = AskYesNoCancel(
        "New Horolux locations were detected.\r\n'Yes' to MERGE with your existing locations "
        "list?\r\n(replacing duplicate locations with the new data)\n\r\n\r'No' to overwrite "
        "your existing list?\n\r(This will keep your list identical to the master)");
    if (answer == TAnswer::Yes) return true;
    if (answer == TAnswer::No &&
        ConfirmYes("Are you sure you want to REPLACE\n\ryour list with a copy of the "
                   "master?\n\rAny custom locations that you created will be erased\n\r(this "
                   "will not alter your clocks)")) {
        if (ReadOnly) {
            // "-readonly" writes none of the list files: the master list
            // replaces the places in memory only.
            BeginProgress("Loading Locations", "Please Wait...\rLocation data is being loaded...",
                          true);
            try {
                ReadLocationFile(waiting, false);
            } catch (...) {
                EndProgress();
                throw;
            }
            EndProgress();
        } else {
            // One rename replaces the list: there is no moment without a list file.
            if (!PutFileInPlace(waiting, DataDir + "hxzones.hxd"))
                throw Exception("Unable to replace hxzones.hxd: " +
                                std::error_code(errno, std::generic_category()).message());
            LoadStandardLocations();
        }
        RebuildLocationTree();
        ShowInfo("Location Update Complete!\n\rYour list is now identical to the Master "
                 "List\n\rand contains " +
                 std::to_string(StandardLocations.size()) + " locations");
    }
    return false;
}

void TClockState::MergeNewLocations() {
    BeginProgress("Merging Locations",
                  "Please Wait...\n\r\n\rThe new and existing data sets are being merged.\n\rThis "
                  "may take a while...",
                  true);
    const size_t oldLength = StandardLocations.size();
    BusyCursor(true);
    auto finish = [&] {
        BusyCursor(false);
        EndProgress();
    };
    const std::string waiting = DataDir + "hxzones.new";
    if (!FileExists(waiting)) {
        ShowErrorCode(12);
        finish();
        return;
    }
    try {
        if (!ReadLocationFile(waiting, true)) {
            finish();
            return;
        }
        BeginProgress("Sorting Locations", "Stand By...", false);
        SortLocationsByName(0, int(StandardLocations.size()) - 1);
        BeginProgress("Updating Database", "Stand By...", false);
        WriteStandardLocations();
        // Read-only: the merged list lives in memory only, so the update is
        // kept to be offered again rather than lost.
        if (!ReadOnly) std::filesystem::remove(waiting);
        RebuildLocationTree();
        ShowInfo("Location Merge Complete!\n\r" +
                 std::to_string(StandardLocations.size() - oldLength) +
                 " new locations were added");
    } catch (...) {
        finish();
        throw;
    }
    finish();
}

// ---------------------------------------------------------------- sorts

namespace {

// The quicksort of the lists: the middle element as pivot, and exchanges of
// contents, so every slot keeps its object. less(i, j) compares the elements
// at positions i and j, swap(i, j) exchanges them.
template <class Less, class Swap>
void QuickSortPositions(int first, int last, const Less& less, const Swap& swap) {
    while (first < last) {
        // The pivot is followed where the swaps take it rather than copied:
        // a place's record is large, and a copy per partition was most of a sort.
        int p = first + (last - first) / 2;
        int i = first, j = last;
        while (i <= j) {
            while (less(i, p))
                ++i;
            while (less(p, j))
                --j;
            if (i <= j) {
                swap(i, j);
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        }
        // Recurse into the smaller part, loop on the larger: bounded depth.
        if (j - first < last - i) {
            if (first < j) QuickSortPositions(first, j, less, swap);
            first = i;
        } else {
            if (i < last) QuickSortPositions(i, last, less, swap);
            last = j;
        }
    }
}

using TTracks = std::array<int*, 3>;

template <class T, class Less>
void QuickSort(std::vector<std::unique_ptr<T>>& list, int first, int last, const Less& less,
               const TTracks& tracks = {}) {
    QuickSortPositions(
        first, last, [&](int a, int b) { return less(*list[size_t(a)], *list[size_t(b)]); },
        [&](int a, int b) {
            std::swap(*list[size_t(a)], *list[size_t(b)]);
            for (int* track : tracks) {
                if (track && *track == a)
                    *track = b;
                else if (track && *track == b)
                    *track = a;
            }
        });
}

// The places are sorted as slot numbers, by sort keys taken once per place
// (folding a name at every comparison, and moving whole records at every
// swap, was most of a sort), with the same steps as QuickSort so that the
// order, equal keys included, is the one it gives. Each record then moves
// once, into its place.
template <class Key> struct TSlotSort {
    std::vector<Key> Keys; // by the slot the place was in
    std::vector<int> From; // the slot whose place goes to each slot
    explicit TSlotSort(size_t n) : Keys(n), From(n) {
        for (size_t k = 0; k < n; ++k)
            From[k] = int(k);
    }
    const Key& At(int position) const { return Keys[size_t(From[size_t(position)])]; }
    template <class Less> void Sort(int first, int last, const Less& less) {
        QuickSortPositions(
            first, last, [&](int a, int b) { return less(At(a), At(b)); },
            [&](int a, int b) { std::swap(From[size_t(a)], From[size_t(b)]); });
    }
    // Sorts each run of places equal under same() by less(); runs of one stay.
    template <class Same, class Less>
    void SortRuns(int first, int last, const Same& same, const Less& less) {
        int start = first;
        for (int k = first + 1; k <= last + 1; ++k) {
            if (k <= last && same(At(start), At(k))) continue;
            if (k - 1 > start) Sort(start, k - 1, less);
            start = k;
        }
    }
    template <class T> void Apply(std::vector<std::unique_ptr<T>>& list) {
        std::vector<bool> done(From.size());
        for (size_t s = 0; s < From.size(); ++s) {
            if (done[s] || From[s] == int(s)) continue;
            T held = std::move(*list[s]);
            size_t k = s;
            while (size_t(From[k]) != s) {
                *list[k] = std::move(*list[size_t(From[k])]);
                done[k] = true;
                k = size_t(From[k]);
            }
            *list[k] = std::move(held);
            done[k] = true;
        }
    }
};

template <class T> bool ValidRange(const std::vector<T>& list, int& first, int& last) {
    first = std::max(first, 0);
    last = std::min(last, int(list.size()) - 1);
    return first < last;
}

} // namespace

void TClockState::SortClocksByName(int First, int Last, int* Track, int* Track2, int* Track3) {
    if (!ValidRange(Clocks, First, Last)) return;
    QuickSort(
        Clocks, First, Last,
        [](const THXClock& a, const THXClock& b) {
            return CompareText(a.Location.Name, b.Location.Name) < 0;
        },
        TTracks{Track, Track2, Track3});
}

void TClockState::SortClocksByOffset(int First, int Last, int* Track, int* Track2,
                                     int* Track3) {
    ProcessMessages();
    if (!ValidRange(Clocks, First, Last)) return;
    // The offsets are taken once, before anything moves: a sort that
    // straddles a daylight-saving change still sees one consistent order.
    struct TKeyed {
        double Offset;
        int From;
        THXClock Clock;
    };
    std::vector<TKeyed> keyed;
    for (int k = First; k <= Last; ++k)
        keyed.push_back(
            {Clocks[size_t(k)]->TimeLocation().CurrentUTCOffset(), k, *Clocks[size_t(k)]});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const TKeyed& a, const TKeyed& b) { return a.Offset < b.Offset; });
    const TTracks tracks{Track, Track2, Track3};
    std::array<int, 3> moved{};
    for (size_t t = 0; t < tracks.size(); ++t)
        moved[t] = tracks[t] ? *tracks[t] : -1;
    for (int k = First; k <= Last; ++k) {
        TKeyed& e = keyed[size_t(k - First)];
        for (size_t t = 0; t < tracks.size(); ++t)
            if (tracks[t] && e.From == *tracks[t]) moved[t] = k;
        *Clocks[size_t(k)] = std::move(e.Clock);
    }
    for (size_t t = 0; t < tracks.size(); ++t)
        if (tracks[t]) *tracks[t] = moved[t];
}

// The location sorts let pending messages run before they start, never while
// the list is half sorted. Names sort as finding matches them: without
// regard to case or accents.
void TClockState::SortLocationsByName(int First, int Last) {
    ProcessMessages();
    if (!ValidRange(StandardLocations, First, Last)) return;
    TSlotSort<std::string> sort(StandardLocations.size());
    for (int k = First; k <= Last; ++k)
        FoldText(StandardLocations[size_t(k)]->Name, sort.Keys[size_t(k)]);
    sort.Sort(First, Last, std::less<std::string>());
    sort.Apply(StandardLocations);
}

void TClockState::SortLocationsByRegion() {
    ProcessMessages();
    int first = 0, last = int(StandardLocations.size()) - 1;
    if (!ValidRange(StandardLocations, first, last)) return;
    // One comparison without regard to case or accents decides the order and
    // the runs alike, so "usa" and "USA" are one country, and "Åland" sorts
    // with the A's.
    struct TKey {
        std::string Country, Region, City;
    };
    TSlotSort<TKey> sort(StandardLocations.size());
    for (size_t k = 0; k < StandardLocations.size(); ++k) {
        const TTimeLocation& l = *StandardLocations[k];
        FoldText(l.Country, sort.Keys[k].Country);
        FoldText(l.Region, sort.Keys[k].Region);
        FoldText(l.City, sort.Keys[k].City);
    }
    sort.Sort(first, last, [](const TKey& a, const TKey& b) { return a.Country < b.Country; });
    sort.SortRuns(
        first, last, [](const TKey& a, const TKey& b) { return a.Country == b.Country; },
        [](const TKey& a, const TKey& b) { return a.Region < b.Region; });
    sort.SortRuns(
        first, last,
        [](const TKey& a, const TKey& b) { return a.Country == b.Country && a.Region == b.Region; },
        [](const TKey& a, const TKey& b) { return a.City < b.City; });
    sort.Apply(StandardLocations);
}

void TClockState::SortLocationsByZone() {
    ProcessMessages();
    int first = 0, last = int(StandardLocations.size()) - 1;
    if (!ValidRange(StandardLocations, first, last)) return;
    struct TKey {
        double Offset;
        std::string Name;
    };
    TSlotSort<TKey> sort(StandardLocations.size());
    for (size_t k = 0; k < StandardLocations.size(); ++k) {
        sort.Keys[k].Offset = StandardLocations[k]->StdOffset;
        FoldText(StandardLocations[k]->Name, sort.Keys[k].Name);
    }
    sort.Sort(first, last, [](const TKey& a, const TKey& b) { return a.Offset < b.Offset; });
    sort.SortRuns(
        first, last, [](const TKey& a, const TKey& b) { return a.Offset == b.Offset; },
        [](const TKey& a, const TKey& b) { return a.Name < b.Name; });
    sort.Apply(StandardLocations);
}
