// Every stored preference of the main window, under the name of its value in
// "SOFTWARE\Horolux\Prefs", with its default, and the table that reads and
// writes them in their stored order.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

struct TClockPrefs {
    std::string CurrentVersion;
    std::string LocationDataVersion;
    std::string TitleTimeFormat = "HH:MM:SS";
    std::string TitleDateFormat = "DDD MMM d, YYYY  ";
    std::string TrayTimeFormat = "HH:MM:SS";
    std::string TrayDateFormat = "DDD MMM d, YYYY  ";
    bool ShowTitleName = true;
    bool ShowTitleLocation = false;
    bool ShowTrayName = true;
    bool ShowTrayLocation = false;
    bool ShowClockBorders = true;
    int AnalogClockSize = 50;
    int ClockPosTop = 0;
    int ClockPosLeft = 0;
    bool XtoClose = true;
    int FormWidth = 600;
    int FormHeight = 120;
    int ConstrainWindowType = 1;
    bool ActivateMap = false;
    bool LoadLocations = false;
    bool ClockSize = true;
    bool ShowStatus = true;
    int HintClock = -1;
    bool ClocksVisable = true;
    // LocalClock: the home clock record, held by the state as a clock object.
    int ChimeType = 1;
    int ChimeClock = 0;
    double ChimeStartTime = 8.0 / 24.0;
    double ChimeEndTime = 21.0 / 24.0;
    bool RestrictChimeTimes = false;
    bool AlwaysOnTop = false;
    bool ShowSplash = true;
    bool AddToAllTitles = false;
    bool AlwaysStartMinimized = false;
    bool VisibleTaskBar = true;
    bool TitlebarVisible = true;
    bool OverrideLocalOffset = false;
    double LocalOffsetOverride = 0;
    bool Chime60mins = true;
    bool Chime30mins = true;
    bool Chime15mins = true;
    bool Chime45mins = true;
    std::string Chime60Sound = "sounds/wchimes60.wav";
    std::string TollHourSound = "sounds/BigBen.wav";
    std::string Chime30Sound = "sounds/wchimes30.wav";
    std::string Chime45Sound = "sounds/wchimes45.wav";
    std::string Chime15Sound = "sounds/wchimes15.wav";
    bool FirstRun = true;
    bool InstallUpgrade = true;
    std::string UserEmailAddress;
    bool MuteChimes = false;
    bool SuspendSync = false;
    bool SyncOnConnect = true;
    bool ConnectIfRequired = false;
    uint8_t ConnectionType = 2;
    std::string RASServer;
    std::string RASUserName;
    std::string RASPassword; // in clear; stored scrambled
    bool UseProxySettings = false;
    std::string ProxyServer;
    std::string HTTPProxyPort = "80";
    std::string SOCKSProxyPort = "123";
    bool CheckForUpgrades = false;
    bool ResetTrayOnDisc = false;
    int AutoSyncDuration = 600;
    int ServerUTCOffset = 0;
    bool PlayConnectSound = true;
    bool PlaySyncSound = true;
    bool AutoSyncOn = false;
    bool CycleTimeServers = true;
    bool SetTimeAtStartup = false;
    bool KeepSyncLog = true;
    bool SetDateToo = false;
    int NTPProtocol = 1;
    std::string TimeServer = "time.nist.gov";
    std::string SyncSound = "sounds/sync.wav";
    std::string ConnectSound = "sounds/connect.wav";
    bool WarnLargeSync = true;
    std::string MajorAlarmSound = "sounds/alarm1.wav";
    std::string NormalAlarmSound = "sounds/alarm2.wav";
    std::string MinorAlarmSound = "sounds/alarm3.wav";
    std::string CountDownSound = "sounds/alarm3.wav";
    int AstroDataTop = 0;
    int AstroDataLeft = 0;
    int TimeType = 1;
    // The map's read-outs by the shipped layers: the zone's offset from
    // 01-timezones, the country under the mouse from 02-countries.
    int ZoneLayer = 1;
    int ObjectLayer = 2;
    bool AutoRefreshMap = false;
};

// One stored value. Numeric values outside [Min, Max] are not taken: the
// field keeps its default, as the preferences dialog could never set them.
struct TPrefDef {
    enum class TSpecial { None, CurrentVersion, LocalClock, Password, WindowPos };
    using TField = std::variant<std::string TClockPrefs::*, int TClockPrefs::*, bool TClockPrefs::*,
                                double TClockPrefs::*, uint8_t TClockPrefs::*, std::monostate>;
    const char* Name;
    TField Field;
    double Min = 0;
    double Max = 0;
    TSpecial Special = TSpecial::None;
};

// In the order in which WritePrefs writes them.
const std::vector<TPrefDef>& PrefTable();

// Values of older versions that LoadPrefs removes.
std::vector<std::string> ObsoletePrefNames();
