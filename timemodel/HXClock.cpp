#include "timemodel/HXClock.h"

#include "timemodel/Alarm.h"
#include "timemodel/HXString.h"
#include "timemodel/RecordField.h"

namespace {

const char* const Keywords[9] = {"Location", "Local",  "UTC",  "SwatchBeat", "Universal",
                                 "Julian",   "Metric", "GMST", "LMST"};

// Font texts are TAB-separated inside and closed by "!" in the record.
TFont RecordFont(const TFont& font, char separator) {
    TFont f = font;
    f.Name = OneLineField(OneLineField(f.Name, '!'), separator);
    return f;
}

} // namespace

THXClock::THXClock() {
    ClockFaceFont.Name = "Arial";
    ClockFaceFont.Color = clBlack;
    TimeFont.Name = "Arial";
    TimeFont.Color = clLime;
}

TDateTime THXClock::CurrentDateTime() const {
    return ClockType == 1 ? Location.UTC() + Location.HostOffset / 24.0
                          : Location.CurrentDateTime();
}

TDateTime THXClock::StandardDateTime() const {
    return ClockType == 1 ? Location.UTC() + Location.HostOffset / 24.0
                          : Location.StandardDateTime();
}

TTimeLocation THXClock::TimeLocation() const {
    TTimeLocation shown = Location;
    if (ClockType == 1) {
        shown.StdOffset = Location.HostOffset;
        shown.Rule.None();
    }
    return shown;
}

TDateTime THXClock::ClockDateTime() const {
    switch (ClockType) {
    case 2:
    case 3:
    case 4:
        return UTC();
    case 7:
        return Location.GMST();
    case 8:
        return Location.LMST();
    default:
        return CurrentDateTime();
    }
}

void THXClock::Copy(const THXClock& source) {
    Location.Copy(source.Location);
    ClockType = source.ClockType;
    TimeFormat = source.TimeFormat;
    DateFormat = source.DateFormat;
    ShowDate = source.ShowDate;
    Analog = source.Analog;
    ClockFaceFont.Assign(source.ClockFaceFont);
    TimeFont.Assign(source.TimeFont);
    BackColour = source.BackColour;
}

void THXClock::AssignTimeFormats(std::vector<std::string>& list) const {
    list.clear();
    if (ClockType <= 2)
        list = {"HH:MM:SS", "HH:MM", "h:mm:ss am/pm", "h:mm am/pm", "h:mm:ss a/p", "h:mm a/p",
                "H:MM:SS",  "H:MM",  "h:mm:ss",       "h:mm",       "H.M.S",       "h.m.s"};
    else if (ClockType == 4)
        list = {"U", "u", "W", "w", "D", "d", "V", "v", "T", "t"};
}

bool THXClock::AnalogClockType() const {
    return TimeFormat.find('H') != std::string::npos;
}

std::string THXClock::TitleString() const {
    switch (ClockType) {
    case 0:
    case 1:
        return Location.Name;
    case 2:
        return "UTC";
    case 3:
        return "Swatch Beat";
    case 4:
        return "Universal Time";
    case 5:
        return "JD";
    case 6:
        return "Metric Time";
    case 7:
        return "GMST";
    case 8:
        return "LMST";
    default:
        return {};
    }
}

std::string THXClock::HintString() const {
    switch (ClockType) {
    case 0:
        return "Time at the specified location";
    case 1:
        return "Local Time";
    case 2:
        return "Universal Coordinated Time aka GMT";
    case 3:
        return "Swatch Internet Time: 1000 beats a day (see the user guide for more)";
    case 4:
        return "Universal Time: day of the year and millidays (see the user guide for more)";
    case 5:
        return "Julian Date";
    case 6:
        return "Metric Time";
    case 7:
        return "Greenwich Mean Sidreal Time";
    case 8:
        return "Local Mean Sidreal Time";
    default:
        return {};
    }
}

std::string THXClock::TitleHintString() const {
    const auto withOffset = [this] {
        const double offset = ClockType == 1 ? Location.HostOffset : Location.CurrentUTCOffset();
        return Location.LocationString() + " {" + FloatToStr(offset) + "}  <click to change>";
    };
    switch (ClockType) {
    case 0:
        return withOffset();
    case 1:
        return "Local: " + withOffset();
    case 8:
        return "LMST: " + Location.LocationString();
    default:
        return HintString();
    }
}

std::string THXClock::DisplayTime() const {
    switch (ClockType) {
    case 1:
        return FormatDateTime(TimeFormat, StandardDateTime());
    case 2:
        return FormatDateTime(TimeFormat, UTC());
    case 3:
        return "@" + IntToStr(Location.SwatchBeats());
    case 4:
        // The editor offers only the ten letters; a clock without one shows the first.
        return Location.UdtString(TimeFormat.empty() ? 'U' : TimeFormat[0]);
    case 5:
        return FloatToStrF(Location.JulianDate(), TFloatFormat::ffFixed, 15, 5);
    case 6:
        return FloatToStrF(Location.MetricTime(), TFloatFormat::ffFixed, 15, 5);
    case 7:
        return FormatDateTime("HH:MM:SS", Location.GMST());
    case 8:
        return FormatDateTime("HH:MM:SS", Location.LMST());
    default:
        return FormatDateTime(TimeFormat, CurrentDateTime());
    }
}

std::string THXClock::DisplayDate() const {
    switch (ClockType) {
    case 2:
        return FormatDateTime(DateFormat, UTC());
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
        return {};
    default:
        return FormatDateTime(DateFormat, CurrentDateTime());
    }
}

std::string THXClock::DisplayString() const {
    return ShowDate ? DisplayDate() + " " + DisplayTime() : DisplayTime();
}

std::string THXClock::ClockTypeString() const {
    return ClockType <= 8 ? Keywords[ClockType] : "";
}

void THXClock::SetClockTypeString(const std::string& keyword) {
    ClockType = 0;
    for (int t = 0; t <= 8; ++t)
        if (keyword == Keywords[t]) ClockType = uint8_t(t);
    if (keyword == "Universial") ClockType = 4;
}

std::string THXClock::DataString(char separator) const {
    const std::string s(1, separator);
    return std::string(ClockDataHeader) + s + ClockTypeString() + s +
           OneLineField(DateFormat, separator) + s + OneLineField(TimeFormat, separator) + s +
           DisplayKindString() + s + BoolToText(ShowDate) + s + IntToStr(BackColour) + s +
           FontToString(RecordFont(ClockFaceFont, separator)) + "!" + s +
           FontToString(RecordFont(TimeFont, separator)) + "!" + s +
           Location.LocationDataStr(separator);
}

void THXClock::ParseDataString(const std::string& text, char separator) {
    int p = 1;
    const auto field = [&]() {
        std::string f = ReadToken(text, separator, p);
        p += int(f.size()) + 1;
        return f;
    };
    const auto font = [&](TFont& target) {
        const std::string f = ReadToken(text, '!', p);
        target.Assign(StringToFont(f));
        p += int(f.size()) + 2; // the "!" and the separator after it
    };
    try {
        if (ReadToken(text, separator, 1) != ClockDataHeader) {
            // A record of the first format: the location alone.
            Location.ParseDataString(text, separator);
            return;
        }
        field();
        SetClockTypeString(field());
        DateFormat = field();
        TimeFormat = field();
        SetDisplayKindString(field());
        ShowDate = TextToBool(field());
        const std::string colour = ReadToken(text, separator, p);
        BackColour = StrToInt(colour);
        p += int(colour.size()) + 1;
        font(ClockFaceFont);
        font(TimeFont);
        Location.ParseDataString(SubString(text, p, int(text.size()) - p), separator);
    } catch (const Exception&) {
        throw EAlarmDataParseError("Error in Clock Data: " + text + " at " + IntToStr(p));
    }
}
