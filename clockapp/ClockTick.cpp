#include "clockapp/ClockTick.h"

#include <algorithm>
#include <cmath>

std::string FirstChars(const std::string& text, size_t n) {
    size_t i = 0, chars = 0;
    while (i < text.size() && chars < n) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
        ++chars;
    }
    return text.substr(0, i);
}

TTitleTexts ComposeTitleTexts(const std::vector<std::unique_ptr<THXClock>>& clocks, int& hintClock,
                              const THXClock& home, const TTitleSettings& s) {
    TTitleTexts t;
    if (hintClock < 0 || hintClock >= int(clocks.size())) {
        hintClock = -1;
        const TDateTime utc = home.UTC();
        t.Tray = FormatDateTime(s.TrayDateFormat + " " + s.TrayTimeFormat, utc);
        if (s.ShowTrayName) t.Tray += " UTC";
        t.Title = FormatDateTime(s.TitleDateFormat + " " + s.TitleTimeFormat, utc);
        if (s.ShowTitleName) t.Title += " UTC";
    } else {
        const THXClock& c = *clocks[size_t(hintClock)];
        auto build = [&](const std::string& dateFmt, const std::string& timeFmt, bool name,
                         bool location) {
            std::string r = c.ClockType <= ctLocal
                                ? FormatDateTime(dateFmt + " " + timeFmt, c.CurrentDateTime())
                                : c.DisplayTime();
            if (name) r += " " + c.TitleString();
            if (location)
                r += " " + c.Location.City + " " + c.Location.Region + " " + c.Location.Country;
            return r;
        };
        t.Tray = build(s.TrayDateFormat, s.TrayTimeFormat, s.ShowTrayName, s.ShowTrayLocation);
        t.Title = build(s.TitleDateFormat, s.TitleTimeFormat, s.ShowTitleName, s.ShowTitleLocation);
    }
    t.TrayHint = FirstChars(t.Tray, 50);
    return t;
}

std::string TimeString(bool withSeconds, TDateTime reference, TDateTime time, int timeType) {
    std::string fmt = timeType == 0 ? (withSeconds ? "h:mm:ss a/p" : "h:mm am/pm")
                                    : (withSeconds ? "HH:MM:SS" : "HH:MM");
    std::string r = FormatDateTime(fmt, time);
    const double d = std::floor(time), ref = std::floor(reference);
    if (d > ref) return "+" + r;
    if (d < ref) return "-" + r;
    return r;
}

void TTickClock::ResetCountdown(int autoSyncDuration) {
    FCountdown = std::max(60, autoSyncDuration);
}

bool TTickClock::CountDown(int autoSyncDuration) {
    if (--FCountdown > 0) return false;
    ResetCountdown(autoSyncDuration);
    return true;
}

bool TTickClock::ZoneReloadDue(TDateTime localNow, double hostOffsetNow) {
    bool due = false;
    // The first tick reads the zone too: the start-up may have read it a
    // while ago.
    if (!FHaveOffset || std::fabs(hostOffsetNow - FLastOffset) > 1e-9) due = true;
    FHaveOffset = true;
    FLastOffset = hostOffsetNow;
    int h, m, s, ms;
    DecodeTime(localNow, h, m, s, ms);
    const int day = int(std::floor(localNow));
    if (h == 2 && m == 10 && day != FLastReloadDay) {
        FLastReloadDay = day;
        due = true;
    }
    return due;
}

bool TTickClock::ShouldReportZoneFailure(bool failed) {
    if (!failed) {
        FFailureShown = false;
        return false;
    }
    if (FFailureShown) return false;
    FFailureShown = true;
    return true;
}
