// The class library's date-time pattern language. Tokens are case-insensitive:
//   d dd ddd dddd ddddd dddddd   day, day-00, short/long day name, short/long date format
//   m mm mmm mmmm                month, month-00, short/long month name; m and mm
//                                directly after an hour token are minutes (h:mm, HHMM, H.M.S)
//   n nn  s ss  z zzz            minutes, seconds, milliseconds
//   yy yyyy                      two- and four-digit year
//   h hh                         hour; 12-hour when the pattern holds am/pm, a/p or ampm
//   am/pm a/p                    the pattern's own letters for morning/afternoon
//   ampm                         the AM/PM strings of the settings
//   t tt c                       short/long time format, short date + long time
//   / :                          date and time separators of the settings
//   "..." '...'                  literal text
// Anything else is copied.
#include "platform/rtl/SysUtils.h"

namespace {

char Up(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool StartsWithCI(const std::string& s, size_t pos, const char* word) {
    for (size_t i = 0; word[i]; ++i)
        if (pos + i >= s.size() || Up(s[pos + i]) != Up(word[i])) return false;
    return true;
}

void AppendNumber(std::string& out, int value, int width) {
    std::string s = std::to_string(value);
    while (int(s.size()) < width)
        s.insert(s.begin(), '0');
    out += s;
}

// True when the pattern, outside its quoted parts, holds an am/pm marker.
bool UsesTwelveHours(const std::string& f) {
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '"' || c == '\'') {
            const size_t end = f.find(c, i + 1);
            if (end == std::string::npos) return false;
            i = end;
        } else if (StartsWithCI(f, i, "am/pm") || StartsWithCI(f, i, "a/p") ||
                   StartsWithCI(f, i, "ampm")) {
            return true;
        }
    }
    return false;
}

struct TParts {
    int Year, Month, Day, Hour, Min, Sec, MSec, WeekDay;
};

void FormatInto(std::string& out, const std::string& f, const TParts& p, const TFormatSettings& fs,
                int depth) {
    // Nested formats (t, c, ddddd) that name themselves would never end.
    if (depth > 3) return;
    const bool twelve = UsesTwelveHours(f);
    bool afterHour = false;
    size_t i = 0;
    auto run = [&](char token) {
        size_t n = 0;
        while (i < f.size() && Up(f[i]) == token) {
            ++i;
            ++n;
        }
        return int(n);
    };
    while (i < f.size()) {
        const char c = f[i];
        switch (Up(c)) {
        case '"':
        case '\'': {
            const size_t end = f.find(c, i + 1);
            if (end == std::string::npos) {
                out += f.substr(i + 1);
                i = f.size();
            } else {
                out += f.substr(i + 1, end - i - 1);
                i = end + 1;
            }
            break;
        }
        case 'D': {
            const int n = run('D');
            afterHour = false;
            if (n == 1)
                AppendNumber(out, p.Day, 1);
            else if (n == 2)
                AppendNumber(out, p.Day, 2);
            else if (n == 3)
                out += fs.ShortDayNames[p.WeekDay - 1];
            else if (n == 4)
                out += fs.LongDayNames[p.WeekDay - 1];
            else if (n == 5)
                FormatInto(out, fs.ShortDateFormat, p, fs, depth + 1);
            else
                FormatInto(out, fs.LongDateFormat, p, fs, depth + 1);
            break;
        }
        case 'Y': {
            const int n = run('Y');
            afterHour = false;
            if (n <= 2)
                AppendNumber(out, p.Year % 100, 2);
            else
                AppendNumber(out, p.Year, 4);
            break;
        }
        case 'M': {
            const int n = run('M');
            if (afterHour) {
                AppendNumber(out, p.Min, n == 1 ? 1 : 2);
            } else if (n <= 2) {
                AppendNumber(out, p.Month, n);
            } else if (p.Month >= 1 && p.Month <= 12) {
                out += n == 3 ? fs.ShortMonthNames[p.Month - 1] : fs.LongMonthNames[p.Month - 1];
            }
            afterHour = false;
            break;
        }
        case 'N': {
            const int n = run('N');
            afterHour = false;
            AppendNumber(out, p.Min, n == 1 ? 1 : 2);
            break;
        }
        case 'S': {
            const int n = run('S');
            afterHour = false;
            AppendNumber(out, p.Sec, n == 1 ? 1 : 2);
            break;
        }
        case 'Z': {
            const int n = run('Z');
            afterHour = false;
            AppendNumber(out, p.MSec, n >= 3 ? 3 : 1);
            break;
        }
        case 'H': {
            const int n = run('H');
            int h = p.Hour;
            if (twelve) {
                h %= 12;
                if (h == 0) h = 12;
            }
            AppendNumber(out, h, n == 1 ? 1 : 2);
            afterHour = true;
            break;
        }
        case 'A': {
            const bool pm = p.Hour >= 12;
            if (StartsWithCI(f, i, "am/pm")) {
                out += f.substr(pm ? i + 3 : i, 2);
                i += 5;
            } else if (StartsWithCI(f, i, "a/p")) {
                out += f[pm ? i + 2 : i];
                i += 3;
            } else if (StartsWithCI(f, i, "ampm")) {
                out += pm ? fs.TimePMString : fs.TimeAMString;
                i += 4;
            } else {
                out += c;
                ++i;
                break;
            }
            afterHour = false;
            break;
        }
        case 'T': {
            const int n = run('T');
            afterHour = false;
            FormatInto(out, n == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, p, fs, depth + 1);
            break;
        }
        case 'C': {
            ++i;
            afterHour = false;
            FormatInto(out, fs.ShortDateFormat, p, fs, depth + 1);
            if (p.Hour || p.Min || p.Sec || p.MSec) {
                out += ' ';
                FormatInto(out, fs.LongTimeFormat, p, fs, depth + 1);
            }
            break;
        }
        case '/':
            out += fs.DateSeparator;
            ++i;
            break;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            break;
        default:
            out += c;
            ++i;
            break;
        }
    }
}

} // namespace

std::string FormatDateTime(const std::string& format, TDateTime dt) {
    return FormatDateTime(format, dt, FormatSettings);
}

std::string FormatDateTime(const std::string& format, TDateTime dt,
                           const TFormatSettings& settings) {
    TParts p{};
    DecodeDateTime(dt, p.Year, p.Month, p.Day, p.Hour, p.Min, p.Sec, p.MSec);
    p.WeekDay = DayOfWeek(dt);
    if (p.Month != 0) {
        // The rounded milliseconds may have carried into the next day.
        TDateTime day;
        if (TryEncodeDate(p.Year, p.Month, p.Day, day)) p.WeekDay = DayOfWeek(day);
    }
    std::string out;
    FormatInto(out, format.empty() ? std::string("c") : format, p, settings, 0);
    return out;
}

std::string DateToStr(TDateTime dt) {
    return FormatDateTime("ddddd", dt);
}
std::string TimeToStr(TDateTime dt) {
    return FormatDateTime("tt", dt);
}
std::string DateTimeToStr(TDateTime dt) {
    return FormatDateTime("c", dt);
}
