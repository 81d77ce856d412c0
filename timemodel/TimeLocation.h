// A named place: standard offset, daylight-saving rule and coordinates. It
// tells the time there in local, standard and universal time and in the
// other time scales, can be frozen at a chosen instant, and reads and writes
// its one-line location record.
#pragma once

#include "platform/rtl/SysUtils.h"
#include "timemodel/DST.h"

#include <string>

class ELocationDataParseError : public Exception {
public:
    using Exception::Exception;
};

// What a wall time of a place stands for. On the day the clocks go forward
// the wall times from the change's old reading up to its new one do not
// exist (Skipped); on the day they go back the wall times from the new
// reading up to the old one happen twice (Repeated).
struct TWallTime {
    enum TKind { Unique, Skipped, Repeated };
    TKind Kind = Unique;
    // UTC instants: Pre read with the offset in force before the change,
    // Post with the one after it, Trans the change itself; all three the
    // one instant when Unique.
    TDateTime Pre = 0, Trans = 0, Post = 0;
    double PreOffset = 0, PostOffset = 0; // hours, daylight saving included
    // The wall times the clocks go from and to at the change (not Unique).
    TDateTime From = 0, To = 0;
    // The instant a caller that cannot refuse takes: the wall time's own,
    // the first of two, or the first instant after the gap.
    TDateTime Instant() const { return Kind == Repeated ? Pre : Trans; }
};

class TTimeLocation {
public:
    TTimeLocation();

    TDateTime ImposedTime;    // local (ImposeAlternate) or UTC (ImposeAlternateUTC)
    double ImposedOffset = 0; // hours subtracted from ImposedTime while imposed
    bool Imposed = false;
    std::string Name = "<New Location>";
    std::string City;
    std::string Region;
    std::string Country;
    std::string Code;
    double StdOffset = 0;  // hours east of Greenwich, without daylight saving
    double HostOffset = 0; // the computer's own current offset, daylight saving included
    double Latitude = 0;   // north positive
    double Longitude = 0;  // WEST positive
    TDSTRule Rule;

    void UpdateLocation(const std::string& name, const TDSTRule& rule, double latitude,
                        double longitude, double stdOffset, double hostOffset,
                        TDateTime imposedTime, bool imposed);
    void Copy(const TTimeLocation& source);
    // Freezes the location at local time T, with the offset in force at T.
    void ImposeAlternate(TDateTime t);
    void ImposeAlternateUTC(TDateTime u);

    std::string LocationString() const;
    bool IsNorth() const { return Latitude > 0; }
    bool IsWest() const { return Longitude > 0; }
    std::string LatString(bool withHemisphere) const;
    std::string LongString(bool withHemisphere) const;
    std::string UTCOffsetString() const;
    std::string DaylightRuleString() const { return Rule.Description(); }

    TDateTime CurrentDateTime() const;
    TDateTime StandardDateTime() const;
    TDateTime UTC() const;
    double CurrentUTCOffset() const;
    // The offset, daylight saving included, in force at a UTC instant.
    double UTCOffsetAt(TDateTime utc) const;
    // The wall time (a local date-time of this place) looked up in its rule.
    TWallTime LookupWallTime(TDateTime wall) const;
    // For a wall time the clocks skip, why it is refused: "01:30 does not
    // exist on 29/03/2026 in London: clocks go forward from 01:00 to 02:00",
    // with the date written as the caller shows dates. Empty for a wall time
    // that exists.
    std::string SkippedWallTimeText(TDateTime wall, const std::string& dateText) const;
    std::string CurrentUTCOffsetStr() const;
    std::string UTCOffsetStr() const;
    std::string DaylightStartStr() const;
    std::string DaylightEndStr() const;

    double JulianDateLOC() const;
    double JulianDate() const;
    TDateTime GMST() const;
    TDateTime LMST() const;
    double MetricTime() const;
    std::string MillitaryJulianDate() const;
    double DayInYear() const;
    double DaysLeftInYear() const;
    TDateTime TimeIn(const TTimeLocation& other) const;
    int SwatchBeats() const;
    std::string UdtString(char format) const;

    void ParseDataString(const std::string& text, char separator);
    std::string LocationDataStr(char separator) const;

private:
    double OffsetAtStandardTime(TDateTime standardTime) const;
};

// Universal-time text of a UTC instant; the letter picks the form (U, W, D,
// V, T; lower case with three decimals of millidays).
std::string FormatUniversalTime(char format, TDateTime utc);
