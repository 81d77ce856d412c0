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
