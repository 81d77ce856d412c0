// Byte-string helpers of the class library and the process-wide format settings.
#include "platform/rtl/SysUtils.h"

#include <algorithm>

TFormatSettings::TFormatSettings() {
    static const char* const shortMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const longMonths[12] = {"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    static const char* const shortDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const longDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    for (int i = 0; i < 12; ++i) {
        ShortMonthNames[i] = shortMonths[i];
        LongMonthNames[i] = longMonths[i];
    }
    for (int i = 0; i < 7; ++i) {
        ShortDayNames[i] = shortDays[i];
        LongDayNames[i] = longDays[i];
    }
}

TFormatSettings FormatSettings;

void ResetFormatSettings() {
    FormatSettings = TFormatSettings();
}

namespace {
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}
} // namespace

std::string Trim(const std::string& s) {
    return TrimLeft(TrimRight(s));
}

std::string TrimLeft(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && IsBlank(s[i]))
        ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s) {
    size_t n = s.size();
    while (n > 0 && IsBlank(s[n - 1]))
        --n;
    return s.substr(0, n);
}

std::string UpperCase(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), Upper);
    return r;
}

std::string LowerCase(const std::string& s) {
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), Lower);
    return r;
}

int CompareText(const std::string& a, const std::string& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(Upper(a[i]));
        const auto cb = static_cast<unsigned char>(Upper(b[i]));
        if (ca != cb) return int(ca) - int(cb);
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool SameText(const std::string& a, const std::string& b) {
    return CompareText(a, b) == 0;
}

int CompareStr(const std::string& a, const std::string& b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int Pos(const std::string& sub, const std::string& s) {
    if (sub.empty()) return 0;
    const size_t p = s.find(sub);
    return p == std::string::npos ? 0 : int(p) + 1;
}

std::string Copy(const std::string& s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || size_t(index) > s.size()) return {};
    return s.substr(size_t(index - 1), size_t(count));
}
