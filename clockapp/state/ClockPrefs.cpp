#include "clockapp/state/ClockPrefs.h"

#include <climits>

namespace {

using P = TClockPrefs;
using S = TPrefDef::TSpecial;
constexpr double kIntMax = INT_MAX;

TPrefDef Str(const char* n, std::string P::*f, S s = S::None) {
    return {n, f, 0, 0, s};
}
TPrefDef Int(const char* n, int P::*f, double lo, double hi, S s = S::None) {
    return {n, f, lo, hi, s};
}
TPrefDef Bool(const char* n, bool P::*f) {
    return {n, f, 0, 1, S::None};
}
TPrefDef Flt(const char* n, double P::*f, double lo, double hi) {
    return {n, f, lo, hi};
}

} // namespace

const std::vector<TPrefDef>& PrefTable() {
    static const std::vector<TPrefDef> table = {
        Str("CurrentVersion", &P::CurrentVersion, S::CurrentVersion),
        Str("LocationDataVersion", &P::LocationDataVersion),
        Str("TitleTimeFormat", &P::TitleTimeFormat),
        Str("TitleDateFormat", &P::TitleDateFormat),
        Str("TrayTimeFormat", &P::TrayTimeFormat),
        Str("TrayDateFormat", &P::TrayDateFormat),
        Bool("ShowTitleName", &P::ShowTitleName),
        Bool("ShowTitleLocation", &P::ShowTitleLocation),
        Bool("ShowTrayName", &P::ShowTrayName),
        Bool("ShowTrayLocation", &P::ShowTrayLocation),
        Bool("ShowClockBorders", &P::ShowClockBorders),
        Int("AnalogClockSize", &P::AnalogClockSize, 25, 400),
        Int("ClockPosTop", &P::ClockPosTop, -kIntMax, kIntMax, S::WindowPos),
        Int("ClockPosLeft", &P::ClockPosLeft, -kIntMax, kIntMax, S::WindowPos),
        Bool("XtoClose", &P::XtoClose),
        Int("FormWidth", &P::FormWidth, 1, 32767),
        Int("FormHeight", &P::FormHeight, 1, 32767),
        Int("ConstrainWindowType", &P::ConstrainWindowType, 0, 3),
        Bool("ActivateMap", &P::ActivateMap),
        Bool("LoadLocations", &P::LoadLocations),
        Bool("ClockSize", &P::ClockSize),
        Bool("ShowStatus", &P::ShowStatus),
        Int("HintClock", &P::HintClock, -1, kIntMax),
        Bool("ClocksVisable", &P::ClocksVisable),
        TPrefDef{"LocalClock", std::monostate{}, 0, 0, S::LocalClock},
        Int("ChimeType", &P::ChimeType, 0, 4),
        Int("ChimeClock", &P::ChimeClock, -1, kIntMax),
        Flt("ChimeStartTime", &P::ChimeStartTime, 0, 1),
        Flt("ChimeEndTime", &P::ChimeEndTime, 0, 1),
        Bool("RestrictChimeTimes", &P::RestrictChimeTimes),
        Bool("AlwaysOnTop", &P::AlwaysOnTop),
        Bool("ShowSplash", &P::ShowSplash),
        Bool("AddToAllTitles", &P::AddToAllTitles),
        Bool("AlwaysStartMinimized", &P::AlwaysStartMinimized),
        Bool("VisibleTaskBar", &P::VisibleTaskBar),
        Bool("TitlebarVisible", &P::TitlebarVisible),
        Bool("OverrideLocalOffset", &P::OverrideLocalOffset),
        Flt("LocalOffsetOverride", &P::LocalOffsetOverride, -24, 24),
        Bool("Chime60mins", &P::Chime60mins),
        Bool("Chime30mins", &P::Chime30mins),
        Bool("Chime15mins", &P::Chime15mins),
        Bool("Chime45mins", &P::Chime45mins),
        Str("Chime60Sound", &P::Chime60Sound),
        Str("TollHourSound", &P::TollHourSound),
        Str("Chime30Sound", &P::Chime30Sound),
        Str("Chime45Sound", &P::Chime45Sound),
        Str("Chime15Sound", &P::Chime15Sound),
        Bool("FirstRun", &P::FirstRun),
        Bool("InstallUpgrade", &P::InstallUpgrade),
        Str("UserEmailAddress", &P::UserEmailAddress),
        Bool("MuteChimes", &P::MuteChimes),
        Bool("SuspendSync", &P::SuspendSync),
        Bool("SyncOnConnect", &P::SyncOnConnect),
        Bool("ConnectIfRequired", &P::ConnectIfRequired),
        TPrefDef{"ConnectionType", &P::ConnectionType, 0, 2},
        Str("RASServer", &P::RASServer),
        Str("RASUserName", &P::RASUserName),
        Str("RASPassword", &P::RASPassword, S::Password),
        Bool("UseProxySettings", &P::UseProxySettings),
        Str("ProxyServer", &P::ProxyServer),
        Str("HTTPProxyPort", &P::HTTPProxyPort),
        Str("SOCKSProxyPort", &P::SOCKSProxyPort),
        Bool("CheckForUpgrades", &P::CheckForUpgrades),
        Bool("ResetTrayOnDisc", &P::ResetTrayOnDisc),
        // The dialog edits it as HH:MM:SS; zero would start a sync every second.
        Int("AutoSyncDuration", &P::AutoSyncDuration, 1, 99 * 3600 + 59 * 60 + 59),
        Int("ServerUTCOffset", &P::ServerUTCOffset, -24, 24),
        Bool("PlayConnectSound", &P::PlayConnectSound),
        Bool("PlaySyncSound", &P::PlaySyncSound),
        Bool("AutoSyncOn", &P::AutoSyncOn),
        Bool("CycleTimeServers", &P::CycleTimeServers),
        Bool("SetTimeAtStartup", &P::SetTimeAtStartup),
        Bool("KeepSyncLog", &P::KeepSyncLog),
        Bool("SetDateToo", &P::SetDateToo),
        Int("NTPProtocol", &P::NTPProtocol, 0, 1),
        Str("TimeServer", &P::TimeServer),
        Str("SyncSound", &P::SyncSound),
        Str("ConnectSound", &P::ConnectSound),
        Bool("WarnLargeSync", &P::WarnLargeSync),
        Str("MajorAlarmSound", &P::MajorAlarmSound),
        Str("NormalAlarmSound", &P::NormalAlarmSound),
        Str("MinorAlarmSound", &P::MinorAlarmSound),
        Str("CountDownSound", &P::CountDownSound),
        Int("AstroDataTop", &P::AstroDataTop, -kIntMax, kIntMax),
        Int("AstroDataLeft", &P::AstroDataLeft, -kIntMax, kIntMax),
        Int("TimeType", &P::TimeType, -kIntMax, kIntMax),
        Int("ZoneLayer", &P::ZoneLayer, 0, kIntMax),
        Int("ObjectLayer", &P::ObjectLayer, 0, kIntMax),
        Bool("AutoRefreshMap", &P::AutoRefreshMap),
    };
    return table;
}

std::vector<std::string> ObsoletePrefNames() {
    std::vector<std::string> names;
    for (int i = 0; i <= 11; ++i)
        names.push_back("CZColWidth" + std::to_string(i));
    for (const char* n :
         {"NumClocks", "BackgroundColour", "MajorTimeFont", "MajorTimeFontName",
          "MajorTimeFontColor", "MajorTimeFontSize", "MajorTimeFontHeight", "MinorTimeFont",
          "MinorTimeFontName", "MinorTimeFontColor", "MinorTimeFontSize", "MinorTimeFontHeight",
          "ClockFaceFont", "ClockFaceFontColor", "ClockFaceFontHeight", "ClockFaceFontName",
          "ClockFaceFontSize"})
        names.push_back(n);
    return names;
}
