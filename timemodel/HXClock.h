// One clock of the main window: a location, the time scale it shows, its
// patterns, face and colours; it turns the location's instants into the
// texts the window paints, and reads and writes the clock record.
#pragma once

#include "platform/rtl/Graphics.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/TimeLocation.h"

#include <cstdint>
#include <string>
#include <vector>

// The time scale a clock shows. The clock record names it by its keyword;
// the menu items carry it as their Tag.
enum TClockType : uint8_t {
    ctLocation = 0,
    ctLocal = 1, // the computer's time
    ctUTC = 2,
    ctSwatchBeat = 3,
    ctUniversal = 4,
    ctJulian = 5,
    ctMetric = 6,
    ctGMST = 7,
    ctLMST = 8,
};

// The type a stored number stands for; one beyond ctLMST keeps its value
// and shows its time like a Location clock.
constexpr TClockType ClockTypeOf(int stored) { return TClockType(uint8_t(stored)); }

class THXClock {
public:
    THXClock();

    TTimeLocation Location;
    uint8_t ClockType = ctLocation; // a TClockType

    std::string TimeFormat = "HH:MM:SS"; // type 4: its first letter picks the form
    std::string DateFormat = "MMM DD";
    bool Analog = false;
    bool ShowDate = false;
    TFont ClockFaceFont;
    TFont TimeFont;
    TColor BackColour = 0;

    // A Local clock tells the computer's time: its whole current offset
    // (HostOffset) and no rule. The place it keeps is never changed for
    // that, so it shows its own time again once the clock is a Location
    // clock.
    TDateTime CurrentDateTime() const;
    TDateTime StandardDateTime() const;
    TDateTime UTC() const { return Location.UTC(); }
    // The place as this clock tells its time (a copy: for a Local clock the
    // computer's offset and no rule).
    TTimeLocation TimeLocation() const;
    TDateTime ClockDateTime() const;

    void Copy(const THXClock& source);
    void AssignTimeFormats(std::vector<std::string>& list) const;
    bool AnalogClockType() const; // 24-hour dial
    std::string TitleString() const;
    std::string HintString() const;
    std::string TitleHintString() const;
    bool DateApplicable() const { return ClockType <= ctUTC; }
    std::string DisplayString() const;
    std::string DisplayTime() const;
    std::string DisplayDate() const;
    std::string DataString(char separator) const;
    void ParseDataString(const std::string& text, char separator);

    std::string ClockTypeString() const;
    void SetClockTypeString(const std::string& keyword);
    std::string DisplayKindString() const { return Analog ? "Analog" : "Digital"; }
    void SetDisplayKindString(const std::string& kind) { Analog = kind == "Analog"; }
};

// The first field of a clock record in the current format.
inline const char* const ClockDataHeader = "HXClockData-1.0.0:";
