// Calendar arithmetic on day numbers (days since 1899-12-30) and the clock
// sources behind Now and GetTickCount.
#include "platform/rtl/SysUtils.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <mutex>

namespace {

// Day 0 of TDateTime (1899-12-30) counted from 1970-01-01.
constexpr int64_t UnixEpochDay = 25569;

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2));
}

// First and one-past-last day numbers of years 1-9999.
const double MinDay = double(DaysFromCivil(1, 1, 1) + UnixEpochDay);
const double EndDay = double(DaysFromCivil(10000, 1, 1) + UnixEpochDay);

// Splits a value into a day number and rounded milliseconds of the day,
// carrying a rounded 86400000 into the next day. False when the value lies
// outside years 1-9999 (or is not a number).
bool Split(TDateTime dt, int64_t& days, int64_t& msec) {
    if (!std::isfinite(dt) || dt < MinDay || dt >= EndDay) return false;
    const double whole = std::floor(dt);
    days = int64_t(whole);
    msec = std::llround((dt - whole) * MSecsPerDay);
    if (msec >= int64_t(MSecsPerDay)) {
        ++days;
        msec -= int64_t(MSecsPerDay);
    }
    return double(days) < EndDay;
}

std::mutex clockMutex;
TClockSource clockSource;
std::function<uint32_t()> tickSource;

TDateTime SystemUTC() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return double(ms) / MSecsPerDay + double(UnixEpochDay);
}

TDateTime SystemLocal() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count();
    return (double(ms) + double(tm.tm_gmtoff) * 1000.0) / MSecsPerDay + double(UnixEpochDay);
}

} // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInAMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInAMonth(year, month))
        return false;
    result = double(DaysFromCivil(year, month, day) + UnixEpochDay);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime result;
    if (!TryEncodeDate(year, month, day, result))
        throw EConvertError("Invalid argument to date encode");
    return result;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& result) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
        msec > 999)
        return false;
    result = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime result;
    if (!TryEncodeTime(hour, min, sec, msec, result))
        throw EConvertError("Invalid argument to time encode");
    return result;
}

void DecodeDateTime(TDateTime dt, int& year, int& month, int& day, int& hour, int& min, int& sec,
                    int& msec) {
    int64_t days = 0, ms = 0;
    if (!Split(dt, days, ms)) {
        year = month = day = hour = min = sec = msec = 0;
        return;
    }
    CivilFromDays(days - UnixEpochDay, year, month, day);
    msec = int(ms % 1000);
    ms /= 1000;
    sec = int(ms % 60);
    ms /= 60;
    min = int(ms % 60);
    hour = int(ms / 60);
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    int h, n, s, z;
    DecodeDateTime(dt, year, month, day, h, n, s, z);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
    int y, m, d;
    DecodeDateTime(dt, y, m, d, hour, min, sec, msec);
}

int DayOfWeek(TDateTime dt) {
    int64_t days = 0, ms = 0;
    if (!Split(dt, days, ms))
        days = std::isfinite(dt) ? int64_t(std::fmod(std::floor(dt), 7.0)) : 0;
    // Day 0 was a Saturday.
    return int(((days - 1) % 7 + 7) % 7) + 1;
}

int DayOfTheWeek(TDateTime dt) {
    const int d = DayOfWeek(dt);
    return d == 1 ? 7 : d - 1;
}

TDateTime DateOf(TDateTime dt) {
    return std::floor(dt);
}
TDateTime TimeOf(TDateTime dt) {
    return dt - std::floor(dt);
}

TDateTime Now() {
    std::function<TDateTime()> f;
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        f = clockSource.Local;
    }
    return f ? f() : SystemLocal();
}

TDateTime NowUTC() {
    std::function<TDateTime()> f;
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        f = clockSource.UTC;
    }
    return f ? f() : SystemUTC();
}

TDateTime Date() {
    return std::floor(Now());
}

TDateTime Time() {
    return TimeOf(Now());
}

void SetClockSource(TClockSource source) {
    std::lock_guard<std::mutex> lock(clockMutex);
    clockSource = std::move(source);
}

void PinClock(TDateTime utc, double offsetHours) {
    const TDateTime local = utc + offsetHours / 24.0;
    SetClockSource({[local] { return local; }, [utc] { return utc; }});
}

void ResetClockSource() {
    SetClockSource({});
}

uint32_t GetTickCount() {
    std::function<uint32_t()> f;
    {
        std::lock_guard<std::mutex> lock(clockMutex);
        f = tickSource;
    }
    if (f) return f();
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return uint32_t(uint64_t(ms));
}

void SetTickSource(std::function<uint32_t()> source) {
    std::lock_guard<std::mutex> lock(clockMutex);
    tickSource = std::move(source);
}
