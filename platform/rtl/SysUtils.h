// The class-library runtime the suite is written against: date-time values,
// their text forms, number conversion and the exception root. Plain C++.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

// ---------------------------------------------------------------- exceptions

class Exception : public std::exception {
public:
    explicit Exception(std::string msg) : Message(std::move(msg)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    std::string Message;
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// ---------------------------------------------------------- format settings

// Separators, names and default formats. English defaults; a program fills
// them from the user's locale at start.
struct TFormatSettings {
    char DecimalSeparator = '.';
    char ThousandSeparator = ','; // ffNumber only
    char DateSeparator = '/';
    char TimeSeparator = ':';
    std::string ShortMonthNames[12];
    std::string LongMonthNames[12];
    std::string ShortDayNames[7]; // index 0 = Sunday
    std::string LongDayNames[7];
    std::string ShortDateFormat = "m/d/yyyy";
    std::string LongDateFormat = "dddd, mmmm d, yyyy";
    std::string ShortTimeFormat = "h:nn AMPM";
    std::string LongTimeFormat = "h:nn:ss AMPM";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";

    TFormatSettings(); // English names
};

// The process-wide settings every conversion uses unless given others.
extern TFormatSettings FormatSettings;
// Back to the English defaults (tests).
void ResetFormatSettings();

// ------------------------------------------------------------ date and time

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

constexpr double MSecsPerDay = 86400000.0;
constexpr double SecsPerDay = 86400.0;

bool IsLeapYear(int year);
int DaysInAMonth(int year, int month); // 0 for a month outside 1-12

// Proleptic Gregorian, years 1-9999. EncodeDate/EncodeTime raise EConvertError.
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
TDateTime EncodeDate(int year, int month, int day);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result);
TDateTime EncodeTime(int hour, int min, int sec, int msec);

// Milliseconds are rounded; 23:59:59.9996 carries into the next day.
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec);
void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec);

int DayOfWeek(TDateTime dt);    // 1 = Sunday .. 7 = Saturday
int DayOfTheWeek(TDateTime dt); // ISO: 1 = Monday .. 7 = Sunday

TDateTime DateOf(TDateTime dt); // whole days (floor)
TDateTime TimeOf(TDateTime dt); // fraction of the day (dt - floor(dt))

// Host local wall-clock time and UTC. Both come from one injectable source so
// tests can pin the instant; the default reads the system clock and the host zone.
TDateTime Now();
TDateTime Date();
TDateTime Time();
TDateTime NowUTC();
struct TClockSource {
    std::function<TDateTime()> Local; // host local wall time
    std::function<TDateTime()> UTC;   // system UTC
};
void SetClockSource(TClockSource source); // empty functions restore the system clock
// Pins both to one instant: local = utc + offsetHours/24.
void PinClock(TDateTime utc, double offsetHours);
void ResetClockSource();

// Monotonic milliseconds, 32-bit wrap as the original's tick count; injectable.
uint32_t GetTickCount();
void SetTickSource(std::function<uint32_t()> source); // empty restores the real one

// Pattern language of the class library, case-insensitive tokens. See the .cpp.
std::string FormatDateTime(const std::string& format, TDateTime dt);
std::string FormatDateTime(const std::string& format, TDateTime dt,
                           const TFormatSettings& settings);
std::string DateToStr(TDateTime dt);
std::string TimeToStr(TDateTime dt);
std::string DateTimeToStr(TDateTime dt);

// ------------------------------------------------------------------ numbers

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber };

// General format, 15 significant digits, trailing zeros dropped, the user's
// decimal separator, exponent form for very small or large values.
std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& settings);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings);

// The number field of a stored record: FloatToStr's form, with as many
// significant digits as the value needs to read back as itself (at most
// 17), so a value stored is the value read. Where 15 digits suffice, the
// text is FloatToStr's.
std::string RecordFloatText(double value);
std::string RecordFloatText(double value, const TFormatSettings& settings);

std::string IntToStr(int64_t value);
// printf-style formatting for the class library's Format ("%5.5d", "%s", "%d").
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Ties to even, as the class library's Round. Raises EConvertError when the
// value does not fit in 64 bits (NaN, infinities, huge values).
int64_t Round(double value);
int64_t Trunc(double value);

// Strict: optional sign, decimal digits, 32-bit range; blanks around allowed.
bool TryStrToInt(const std::string& text, int& value);
int StrToInt(const std::string& text); // EConvertError "'x' is not a valid integer value"
int StrToIntDef(const std::string& text, int def);

// Blanks, sign, digits, the decimal separator, exponent; rejects nan, inf, hex.
bool TryStrToFloat(const std::string& text, double& value);
bool TryStrToFloat(const std::string& text, double& value, char decimalSeparator);
// EConvertError "'x' is not a valid floating point value"
double StrToFloat(const std::string& text);
double StrToFloat(const std::string& text, char decimalSeparator);

// ------------------------------------------------------------------ strings

std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string UpperCase(const std::string& s); // ASCII letters only
std::string LowerCase(const std::string& s);
int CompareText(const std::string& a, const std::string& b); // ASCII case-insensitive
bool SameText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
// 1-based position of sub in s, 0 when absent.
int Pos(const std::string& sub, const std::string& s);
// 1-based copy, clamped to the string.
std::string Copy(const std::string& s, int index, int count);
