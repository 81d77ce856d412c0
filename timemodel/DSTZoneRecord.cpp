// Conversions between the rules and the system's 44-byte time-zone record.
#include "timemodel/DST.h"

#include <cmath>

int DayOfWeekFromName(const std::string& name) {
    for (int d = 1; d <= 7; ++d)
        if (name == DayName(d)) return d;
    return 0;
}

void TDSTEvent::SaveToSystemTime(TSystemTime& st) const {
    st = TSystemTime{};
    if (Kind == 0) return;
    st.wMonth = uint16_t(Month);
    int64_t ms = std::llround(FracOfDate(Time) * 86400000.0);
    if (ms >= 86400000) ms = 86400000 - 1;
    if (ms < 0) ms = 0;
    st.wHour = uint16_t(ms / 3600000);
    st.wMinute = uint16_t(ms / 60000 % 60);
    st.wSecond = uint16_t(ms / 1000 % 60);
    st.wMilliseconds = uint16_t(ms % 1000);
    if (Kind == 6) {
        st.wYear = uint16_t(YearOfDate(Now()));
        st.wDayOfWeek = 0;
        st.wDay = uint16_t(Day);
    } else {
        st.wYear = 0;
        st.wDayOfWeek = uint16_t(Day - 1);
        st.wDay = Kind;
    }
}

void TDSTEvent::LoadFromSystemTime(const TSystemTime& st) {
    if (st.wMonth == 0) return;
    const TDateTime time = EncodeTime(st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
    Month = st.wMonth;
    if (st.wYear != 0) {
        Kind = 6;
        Day = st.wDay;
    } else {
        if (st.wDay >= 1 && st.wDay <= 5) Kind = uint8_t(st.wDay);
        Day = st.wDayOfWeek + 1;
    }
    Time = time;
}

namespace {

// Negation that cannot overflow: -INT32_MIN wraps to itself as the record would.
int32_t Negated(int64_t v) {
    return int32_t(uint32_t(-v));
}

int32_t Long(const std::vector<uint8_t>& r, size_t at) {
    return int32_t(uint32_t(r[at]) | uint32_t(r[at + 1]) << 8 | uint32_t(r[at + 2]) << 16 |
                   uint32_t(r[at + 3]) << 24);
}
uint16_t Word(const std::vector<uint8_t>& r, size_t at) {
    return uint16_t(r[at] | r[at + 1] << 8);
}
TSystemTime SystemTimeAt(const std::vector<uint8_t>& r, size_t at) {
    TSystemTime st;
    uint16_t* f[8] = {&st.wYear, &st.wMonth,  &st.wDayOfWeek, &st.wDay,
                      &st.wHour, &st.wMinute, &st.wSecond,    &st.wMilliseconds};
    for (int i = 0; i < 8; ++i) *f[i] = Word(r, at + 2 * i);
    return st;
}
void PutLong(std::vector<uint8_t>& r, int32_t v) {
    for (int i = 0; i < 4; ++i) r.push_back(uint8_t(uint32_t(v) >> (8 * i)));
}
void PutSystemTime(std::vector<uint8_t>& r, const TSystemTime& st) {
    for (uint16_t v : {st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute,
                       st.wSecond, st.wMilliseconds}) {
        r.push_back(uint8_t(v));
        r.push_back(uint8_t(v >> 8));
    }
}

} // namespace

bool TDSTRule::LoadFromTZI(const std::vector<uint8_t>& record) {
    if (record.size() != TZIRecordSize) return false;
    // Read into copies, so a bad time of day leaves the rule whole.
    TDSTEvent start(StartDate), stop(StopDate);
    start.LoadFromSystemTime(SystemTimeAt(record, 28));
    stop.LoadFromSystemTime(SystemTimeAt(record, 12));
    start.Bias = Negated(Long(record, 8));
    stop.Bias = Negated(Long(record, 4));
    Bias = Long(record, 0);
    StartDate = start;
    StopDate = stop;
    return true;
}

std::vector<uint8_t> TDSTRule::SaveToTZI() const {
    std::vector<uint8_t> r;
    r.reserve(TZIRecordSize);
    PutLong(r, Bias);
    PutLong(r, Negated(StopDate.Bias));
    PutLong(r, Negated(StartDate.Bias));
    TSystemTime st;
    StopDate.SaveToSystemTime(st);
    PutSystemTime(r, st);
    StartDate.SaveToSystemTime(st);
    PutSystemTime(r, st);
    return r;
}
