// Number text: the class library's float and integer conversions, written
// and read with the user's decimal separator and independent of the C locale.
#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace {

// A value as decimal digits: 0.d1d2d3... x 10^Exponent, Digits without
// trailing zeros ("" for zero).
struct TDecimal {
    bool Negative = false;
    std::string Digits;
    int Exponent = 0;
};

// Rounds to `precision` significant digits (correctly from the binary value).
TDecimal ToDecimal(double value, int precision) {
    TDecimal d;
    d.Negative = std::signbit(value) && value != 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", precision - 1, std::fabs(value));
    // buf: d.ddddde[+-]xx
    std::string digits;
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    const int exp10 = *p == 'e' ? std::atoi(p + 1) : 0;
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    d.Digits = digits;
    d.Exponent = digits.empty() ? 0 : exp10 + 1;
    if (digits.empty()) d.Negative = false;
    return d;
}

// Rounds the digit string half away from zero so that at most `decimals`
// digits stand after the decimal point.
void RoundToDecimals(TDecimal& d, int decimals) {
    const int keep = d.Exponent + decimals; // digits to keep
    if (keep >= int(d.Digits.size())) return;
    if (keep < 0) {
        d.Digits.clear();
        d.Exponent = 0;
        d.Negative = false;
        return;
    }
    const bool up = d.Digits[size_t(keep)] >= '5';
    d.Digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        for (; i >= 0; --i) {
            if (d.Digits[size_t(i)] == '9') {
                d.Digits[size_t(i)] = '0';
            } else {
                ++d.Digits[size_t(i)];
                break;
            }
        }
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            ++d.Exponent;
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0')
        d.Digits.pop_back();
    if (d.Digits.empty()) {
        d.Exponent = 0;
        d.Negative = false;
    }
}

char DigitAt(const TDecimal& d, int i) {
    return i < int(d.Digits.size()) ? d.Digits[size_t(i)] : '0';
}

// Plain notation with exactly `decimals` digits after the separator (none
// and no separator when 0); thousands grouped when `sep` is given.
std::string FixedText(const TDecimal& d, int decimals, char decimalSep, char thousandSep) {
    std::string intPart;
    if (d.Exponent <= 0) {
        intPart = "0";
    } else {
        for (int i = 0; i < d.Exponent; ++i)
            intPart += DigitAt(d, i);
    }
    if (thousandSep) {
        std::string grouped;
        const int n = int(intPart.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0) grouped += thousandSep;
            grouped += intPart[size_t(i)];
        }
        intPart = grouped;
    }
    std::string s = d.Negative ? "-" : "";
    s += intPart;
    if (decimals > 0) {
        s += decimalSep;
        for (int i = 0; i < decimals; ++i) {
            const int pos = d.Exponent + i;
            s += pos < 0 ? '0' : DigitAt(d, pos);
        }
    }
    return s;
}

std::string SpecialText(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

locale_t CLocale() {
    static locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return loc;
}

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

} // namespace

std::string FloatToStr(double value) {
    return FloatToStr(value, FormatSettings);
}

std::string FloatToStr(double value, const TFormatSettings& settings) {
    return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0, settings);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    return FloatToStrF(value, format, precision, digits, FormatSettings);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& settings) {
    if (!std::isfinite(value)) return SpecialText(value);
    precision = std::clamp(precision, 1, 18);
    digits = std::clamp(digits, 0, 18);
    const char sep = settings.DecimalSeparator;
    TDecimal d = ToDecimal(value, precision);

    auto exponentText = [&](int minExpDigits, bool plusSign, int mantissaDigits) {
        std::string s = d.Negative ? "-" : "";
        s += DigitAt(d, 0);
        if (mantissaDigits > 1) {
            s += sep;
            for (int i = 1; i < mantissaDigits; ++i)
                s += DigitAt(d, i);
        }
        const int e = d.Digits.empty() ? 0 : d.Exponent - 1;
        s += 'E';
        if (e < 0)
            s += '-';
        else if (plusSign)
            s += '+';
        std::string ed = std::to_string(e < 0 ? -e : e);
        while (int(ed.size()) < minExpDigits)
            ed.insert(ed.begin(), '0');
        return s + ed;
    };

    switch (format) {
    case TFloatFormat::ffGeneral: {
        if (d.Digits.empty()) return "0";
        if (d.Exponent <= precision && d.Exponent > -5) {
            const int decimals = std::max(0, int(d.Digits.size()) - d.Exponent);
            return FixedText(d, decimals, sep, 0);
        }
        return exponentText(0, false, std::max(1, int(d.Digits.size())));
    }
    case TFloatFormat::ffExponent:
        return exponentText(std::min(digits, 4), true, precision);
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber: {
        if (d.Exponent > precision)
            return exponentText(0, false, std::max(1, int(d.Digits.size())));
        RoundToDecimals(d, digits);
        const char thousands =
            format == TFloatFormat::ffNumber ? settings.ThousandSeparator : char(0);
        return FixedText(d, digits, sep, thousands);
    }
    }
    return {};
}

std::string RecordFloatText(double value) {
    return RecordFloatText(value, FormatSettings);
}

namespace {

// A number of at most six decimals between 0.001 and 10^9 (an offset, a
// coordinate): its shortest digits are those of the fewest decimals that read
// back as it, found by scaling. Below 10^9 a double's spacing is under half
// a millionth, so at most one such text has each count of decimals, and it
// is the one the general search finds. False for any other number.
bool ShortDecimalText(double value, char sep, std::string& out) {
    const double a = std::fabs(value);
    if (!(a >= 1e-3 && a < 1e9)) return false;
    double scale = 1;
    for (int d = 0; d <= 6; ++d, scale *= 10) {
        const double m = std::nearbyint(a * scale);
        if (m / scale != a) continue;
        char buf[24];
        char* end = std::to_chars(buf, buf + sizeof buf, uint64_t(m)).ptr;
        size_t n = size_t(end - buf);
        if (value < 0) out += '-';
        if (n <= size_t(d)) { // below 1: "0", the separator, leading zeros
            out += '0';
            out += sep;
            out.append(size_t(d) - n, '0');
            out.append(buf, n);
            return true;
        }
        out.append(buf, n - size_t(d));
        if (d > 0) {
            out += sep;
            out.append(buf + n - size_t(d), size_t(d));
        }
        return true;
    }
    return false;
}

} // namespace

std::string RecordFloatText(double value, const TFormatSettings& settings) {
    if (!std::isfinite(value)) return FloatToStr(value, settings);
    if (value == 0) return "0";
    if (std::string s; ShortDecimalText(value, settings.DecimalSeparator, s)) return s;
    // The shortest digits that read back as the value, then laid out as
    // FloatToStr lays out its 15.
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const std::string_view sci(buf, size_t(r.ptr - buf));
    const bool negative = sci[0] == '-';
    const size_t e = sci.find('e');
    std::string digits;
    digits.reserve(18);
    for (size_t i = negative ? 1 : 0; i < e; ++i)
        if (sci[i] != '.') digits += sci[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exp10 = 0;
    std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exp10);
    const int exponent = exp10 + 1; // digits before the decimal separator
    const char sep = settings.DecimalSeparator;
    std::string s = negative ? "-" : "";
    if (exponent <= 15 && exponent > -5) {
        const int n = int(digits.size());
        if (exponent <= 0) {
            s += '0';
            s += sep;
            s.append(size_t(-exponent), '0');
            s += digits;
        } else if (n <= exponent) {
            s += digits;
            s.append(size_t(exponent - n), '0');
        } else {
            s.append(digits, 0, size_t(exponent));
            s += sep;
            s.append(digits, size_t(exponent), std::string::npos);
        }
        return s;
    }
    s += digits[0];
    if (digits.size() > 1) {
        s += sep;
        s.append(digits, 1, std::string::npos);
    }
    s += 'E';
    if (exp10 < 0) s += '-';
    s += std::to_string(exp10 < 0 ? -exp10 : exp10);
    return s;
}

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

std::string Format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string s;
    if (n > 0) {
        std::vector<char> buf(size_t(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), fmt, args);
        s.assign(buf.data(), size_t(n));
    }
    va_end(args);
    return s;
}

int64_t Round(double value) {
    // 2^63 is exactly representable; everything at or beyond it does not fit.
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value < -9223372036854775808.0)
        throw EConvertError("Invalid floating point operation");
    const double r = std::nearbyint(value); // default mode: ties to even
    if (r >= 9223372036854775808.0) throw EConvertError("Invalid floating point operation");
    return int64_t(r);
}

int64_t Trunc(double value) {
    if (!std::isfinite(value) || value >= 9223372036854775808.0 || value <= -9223372036854777856.0)
        throw EConvertError("Invalid floating point operation");
    return int64_t(value);
}

bool TryStrToInt(const std::string& text, int& value) {
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    while (n > i && IsBlank(text[n - 1]))
        --n;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= n) return false;
    int64_t v = 0;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
        if (v > int64_t(INT_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    value = int(v);
    return true;
}

int StrToInt(const std::string& text) {
    int v;
    if (!TryStrToInt(text, v)) throw EConvertError("'" + text + "' is not a valid integer value");
    return v;
}

int StrToIntDef(const std::string& text, int def) {
    int v;
    return TryStrToInt(text, v) ? v : def;
}

bool TryStrToFloat(const std::string& text, double& value) {
    return TryStrToFloat(text, value, FormatSettings.DecimalSeparator);
}

bool TryStrToFloat(const std::string& text, double& value, char decimalSeparator) {
    size_t i = 0, n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    while (n > i && IsBlank(text[n - 1]))
        --n;
    // Checked against the grammar first, then rewritten for the C reader:
    // [sign] digits [sep digits] [e [sign] digits], at least one mantissa digit.
    std::string c;
    if (i < n && (text[i] == '+' || text[i] == '-')) c += text[i++];
    int mantissaDigits = 0;
    while (i < n && text[i] >= '0' && text[i] <= '9') {
        c += text[i++];
        ++mantissaDigits;
    }
    if (i < n && text[i] == decimalSeparator) {
        c += '.';
        ++i;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            c += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) return false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        c += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-')) c += text[i++];
        int expDigits = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            c += text[i++];
            ++expDigits;
        }
        if (expDigits == 0) return false;
    }
    if (i != n) return false;
    char* end = nullptr;
    errno = 0;
    double v = strtod_l(c.c_str(), &end, CLocale());
    if (end != c.c_str() + c.size()) return false;
    if (std::isinf(v)) {
        // The 15-digit text of the largest doubles rounds just past the
        // double range; those still read back as the largest double.
        const long double lv = strtold_l(c.c_str(), nullptr, CLocale());
        constexpr long double limit = 1.7976931348623157e308L * (1.0L + 1e-14L);
        if (!(std::fabs(lv) <= limit)) return false; // a real overflow
        v = lv < 0 ? -1.7976931348623157e308 : 1.7976931348623157e308;
    }
    value = v; // underflow keeps the tiny or zero value
    return true;
}

double StrToFloat(const std::string& text) {
    return StrToFloat(text, FormatSettings.DecimalSeparator);
}

double StrToFloat(const std::string& text, char decimalSeparator) {
    double v;
    if (!TryStrToFloat(text, v, decimalSeparator))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return v;
}
