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
    return ClockType == ctLocal ? Location.UTC() + Location.HostOffset / 24.0
                          : Location.CurrentDateTime();
}

TDateTime THXClock::StandardDateTime() const {
    return ClockType == ctLocal ? Location.UTC() + Location.HostOffset / 24.0
                          : Location.StandardDateTime();
}

TTimeLocation THXClock::TimeLocation() const {
    TTimeLocation shown = Location;
    if (ClockType == ctLocal) {
        shown.StdOffset = Location.HostOffset;
        shown.Rule.None();
    }
    return shown;
}

TDateTime THXClock::ClockDateTime() const {
    switch (ClockType) {
    case ctUTC:
    case ctSwatchBeat:
    case ctUniversal:
        return UTC();
    case ctGMST:
        return Location.GMST();
    case ctLMST:
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
    if (ClockType <= ctUTC)
        list = {"HH:MM:SS", "HH:MM", "h:mm:ss am/pm", "h:mm am/pm", "h:mm:ss a/p", "h:mm a/p",
                "H:MM:SS",  "H:MM",  "h:mm:ss",       "h:mm",       "H.M.S",       "h.m.s"};
    else if (ClockType == ctUniversal)
        list = {"U", "u", "W", "w", "D", "d", "V", "v", "T", "t"};
}

bool THXClock::AnalogClockType() const {
    return TimeFormat.find('H') != std::string::npos;
}

std::string THXClock::TitleString() const {
    switch (ClockType) {
    case ctLocation:
    case ctLocal:
        return Location.Name;
    case ctUTC:
        return "UTC";
    case ctSwatchBeat:
        return "Swatch Beat";
    case ctUniversal:
        return "Universal Time";
    case ctJulian:
        return "JD";
    case ctMetric:
        return "Metric Time";
    case ctGMST:
        return "GMST";
    case ctLMST:
        return "LMST";
    default:
        return {};
    }
}

std::string THXClock::HintString() const {
    switch (ClockType) {
    case ctLocation:
        return "Time at the specified location";
    case ctLocal:
        return "Local Time";
    case ctUTC:
        return "Universal Coordinated Time aka GMT";
    case ctSwatchBeat:
        return "Swatch Internet Time: 1000 beats a day (see the user guide for more)";
    case ctUniversal:
        return "Universal Time: day of the year and millidays (see the user guide for more)";
    case ctJulian:
        return "Julian Date";
    case ctMetric:
        return "Metric Time";
    case ctGMST:
        return "Greenwich Mean Sidreal Time";
    case ctLMST:
        return "Local Mean Sidreal Time";
    default:
        return {};
    }
}

std::string THXClock::TitleHintString() const {
    const auto withOffset = [this] {
        const double offset =
            ClockType == ctLocal ? Location.HostOffset : Location.CurrentUTCOffset();
        return Location.LocationString() + " {" + FloatToStr(offset) + "}  <click to change>";
    };
    switch (ClockType) {
    case ctLocation:
        return withOffset();
    case ctLocal:
        return "Local: " + withOffset();
    case ctLMST:
        return "LMST: " + Location.LocationString();
    default:
        return HintString();
    }
}

std::string THXClock::DisplayTime() const {
    switch (ClockType) {
    case ctLocal:
        return FormatDateTime(TimeFormat, StandardDateTime());
    case ctUTC:
        return FormatDateTime(TimeFormat, UTC());
    case ctSwatchBeat:
        return "@" + IntToStr(Location.SwatchBeats());
    case ctUniversal:
        // The editor offers only the ten letters; a clock without one shows the first.
        return Location.UdtString(TimeFormat.empty() ? 'U' : TimeFormat[0]);
    case ctJulian:
        return FloatToStrF(Location.JulianDate(), TFloatFormat::ffFixed, 15, 5);
    case ctMetric:
        return FloatToStrF(Location.MetricTime(), TFloatFormat::ffFixed, 15, 5);
    case ctGMST:
        return FormatDateTime("HH:MM:SS", Location.GMST());
    case ctLMST:
        return FormatDateTime("HH:MM:SS", Location.LMST());
    default:
        return FormatDateTime(TimeFormat, CurrentDateTime());
    }
}

std::string THXClock::DisplayDate() const {
    switch (ClockType) {
    case ctUTC:
        return FormatDateTime(DateFormat, UTC());
    case ctSwatchBeat:
    case ctUniversal:
    case ctJulian:
    case ctMetric:
    case ctGMST:
    case ctLMST:
        return {};
    default:
        return FormatDateTime(DateFormat, CurrentDateTime());
    }
}

std::string THXClock::DisplayString() const {
    return ShowDate ? DisplayDate() + " " + DisplayTime() : DisplayTime();
}

std::string THXClock::ClockTypeString() const {
    return ClockType <= ctLMST ? Keywords[ClockType] : "";
}

void THXClock::SetClockTypeString(const std::string& keyword) {
    ClockType = ctLocation;
    for (int t = ctLocation; t <= ctLMST; ++t)
        if (keyword == Keywords[t]) ClockType = ClockTypeOf(t);
    if (keyword == "Universial") ClockType = ctUniversal;
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
