// Stand-ins for the few services the main program gives the other windows,
// so that a window can be tested on a plain clock state: each records what
// the window asked of it and answers as set.
#pragma once

#include "clockapp/state/ClockState.h"
#include "clockapp/state/WindowServices.h"
#include "platform/rtl/SysUtils.h"

#include <deque>
#include <string>
#include <vector>

// The state as the program's start leaves it: preferences, then the lists of
// the data directory (missing ones are reported through the state's dialogs).
inline void StartClockState(TClockState& state, std::string dataDir, bool readOnly = false) {
    if (dataDir.empty() || dataDir.back() != '/') dataDir += '/';
    state.StartTime = Now();
    state.DataDir = dataDir;
    state.ReadOnly = readOnly;
    state.SetDefaults();
    auto guarded = [](auto&& step) {
        try {
            step();
        } catch (...) {
            // As at the start: one failing step keeps none of the others from running.
        }
    };
    guarded([&] { state.LoadPrefs(); });
    guarded([&] { state.RemoveStaleSaveTemporaries(); });
    guarded([&] { state.LoadCLockInfo(); });
    guarded([&] { state.LoadAlarms(); });
    guarded([&] { state.LoadTemperalEvents(); });
    guarded([&] { state.TakeEarlierHomePlaces(); });
    if (state.LoadLocations) guarded([&] { state.LoadStandardLocations(); });
    guarded([&] { state.LoadStandardTimeServers(); });
}

// Saves write the list files, as the program's do, and are counted.
class TFakeListSaver : public IListSaver {
public:
    explicit TFakeListSaver(TClockState& state) : State(state) {}
    int AlarmSaves = 0;
    int EventSaves = 0;
    bool SaveAlarms() override {
        ++AlarmSaves;
        return Save([this] { State.WriteAlarms(); });
    }
    bool SaveTemperalEvents() override {
        ++EventSaves;
        return Save([this] { State.WriteTemperalEvents(); });
    }

private:
    template <class F> static bool Save(F&& write) {
        try {
            write();
            return true;
        } catch (...) {
            return false;
        }
    }
    TClockState& State;
};

class TFakeSound : public ISoundService {
public:
    std::vector<std::string> Played;
    void PlaySound(const std::string& sound) override { Played.push_back(sound); }
};

// Hands back the places queued, one a pick; none left: the pick is cancelled.
class TFakePicker : public ILocationPicker {
public:
    std::deque<TTimeLocation> Picks;
    int Asked = 0;
    bool PickLocation(TTimeLocation& location) override {
        ++Asked;
        if (Picks.empty()) return false;
        location.Copy(Picks.front());
        Picks.pop_front();
        return true;
    }
};

class TFakeClockEditing : public IClockEditing {
public:
    struct TApplied {
        int Index;
        std::string Clock; // its record
        bool ForTitle, ForChimes;
    };
    std::vector<TApplied> Applied;
    int Refreshes = 0;
    bool ApplyClockSettings(int index, const THXClock& clock, bool useForTitle,
                            bool useForChimes) override {
        Applied.push_back({index, clock.DataString('\t'), useForTitle, useForChimes});
        return true;
    }
    void RefreshClockObjects(bool, bool) override { ++Refreshes; }
};

// The other windows: the calls are recorded. A map or manager set here is the
// one handed out; ShowOnMap drives a map set here as the main window does.
class TFakeWindowOpener : public IWindowOpener {
public:
    bool MapAvailable = true;
    IMapWindow* Map = nullptr;
    std::vector<std::string> ShownOnMap; // the places' names
    int MapReleases = 0;

    bool ManagerAvailable = true;
    ITimeZoneManager* Manager = nullptr;
    int ManagerActivations = 0;
    int ManagerReleases = 0;

    bool AstronomyAvailable = false;
    std::vector<std::string> AstronomyShown; // the places' names
    int RulewickOpened = 0;
    int UpgradeChecks = 0;

    bool MapWindowAvailable() const override { return MapAvailable; }
    void ShowOnMap(const TTimeLocation& location) override {
        ShownOnMap.push_back(location.Name);
        if (!Map) return;
        Map->SetHomeLocation(location);
        Map->SetCentrePending();
        Map->ShowAndRaise();
    }
    void ReleaseMapWindow() override {
        ++MapReleases;
        Map = nullptr;
    }
    bool ActivateTimeZoneManager() override {
        ++ManagerActivations;
        return ManagerAvailable;
    }
    ITimeZoneManager* TimeZoneManager() const override { return Manager; }
    void ReleaseTimeZoneManager() override {
        ++ManagerReleases;
        Manager = nullptr;
    }
    bool AstronomyWindowAvailable() const override { return AstronomyAvailable; }
    void ShowAstronomyWindow(QWidget*, const TTimeLocation& location, bool) override {
        AstronomyShown.push_back(location.Name);
    }
    void OpenRulewick() override { ++RulewickOpened; }
    void CheckForUpgrade() override { ++UpgradeChecks; }
};

// Keeps the factories a part installs.
class TFakeWindowFactories : public IWindowFactories {
public:
    TToolWindowFactory Tools[kToolWindowCount];
    TAstronomyWindowFactory Astronomy;
    TAlarmMessageFactory AlarmMessage;
    TAlarmExplorerFactory AlarmExplorer;
    TMapWindowFactory Map;
    TTimeZoneManagerFactory Manager;
    void SetToolWindowFactory(TToolWindow which, TToolWindowFactory factory) override {
        Tools[int(which)] = std::move(factory);
    }
    void SetAstronomyWindowFactory(TAstronomyWindowFactory factory) override {
        Astronomy = std::move(factory);
    }
    void SetAlarmWindowFactories(TAlarmMessageFactory message,
                                 TAlarmExplorerFactory explorer) override {
        AlarmMessage = std::move(message);
        AlarmExplorer = std::move(explorer);
    }
    void SetMapWindowFactory(TMapWindowFactory factory) override { Map = std::move(factory); }
    void SetTimeZoneManagerFactory(TTimeZoneManagerFactory factory) override {
        Manager = std::move(factory);
    }
};

// All of them, for the state given.
struct TFakeServices {
    explicit TFakeServices(TClockState& state) : Lists(state) {}
    TFakeListSaver Lists;
    TFakeSound Sound;
    TFakePicker Locations;
    TFakeClockEditing Clocks;
    TFakeWindowOpener Windows;
    TFakeWindowFactories Factories;
    TWindowServices Services() { return {Lists, Sound, Locations, Clocks, Windows, Factories}; }
};
