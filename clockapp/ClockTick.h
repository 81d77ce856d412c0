// The parts of the one-second tick that decide rather than draw: the
// auto-sync countdown, when the host zone is read again, and the title and
// tray texts.
#pragma once

#include "timemodel/HXClock.h"

#include <memory>
#include <string>
#include <vector>

struct TTitleSettings {
    std::string TitleDateFormat, TitleTimeFormat, TrayDateFormat, TrayTimeFormat;
    bool ShowTitleName = true, ShowTitleLocation = false, ShowTrayName = true,
         ShowTrayLocation = false;
};

struct TTitleTexts {
    std::string Title;
    std::string Tray;
    std::string TrayHint; // the first 50 characters of Tray
};

// HintClock is set to -1 when it is out of range; Home is the home clock.
TTitleTexts ComposeTitleTexts(const std::vector<std::unique_ptr<THXClock>>& clocks, int& hintClock,
                              const THXClock& home, const TTitleSettings& s);
// The first N characters of UTF-8 text.
std::string FirstChars(const std::string& text, size_t n);

// 12- or 24-hour time text, "+"/"-" when the day differs from the reference.
std::string TimeString(bool withSeconds, TDateTime reference, TDateTime time, int timeType);

class TTickClock {
public:
    // The countdown in seconds; an interval under a minute counts as one.
    void ResetCountdown(int autoSyncDuration);
    // One tick: true when a sync is due (the countdown has been reloaded).
    bool CountDown(int autoSyncDuration);
    int Countdown() const { return FCountdown; }

    // Whether the host zone is to be read again this tick: when the host's
    // offset has changed since the last look, or once on the day at 02:10.
    bool ZoneReloadDue(TDateTime localNow, double hostOffsetNow);
    // After a reading: failures report once until a reading succeeds.
    bool ShouldReportZoneFailure(bool failed);

private:
    int FCountdown = 600;
    bool FHaveOffset = false;
    double FLastOffset = 0;
    int FLastReloadDay = -1;
    bool FFailureShown = false;
};
