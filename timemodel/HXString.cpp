#include "timemodel/HXString.h"

#include "platform/rtl/SysUtils.h"

#include <cstdint>

namespace {
// Shared by the writer and the reader of scrambled passwords.
constexpr int PasswordOffset = 31746;
constexpr int MaxPasswordGroups = 128; // the 256-byte buffer
} // namespace

std::string AddBackslash(const std::string& path) {
    if (path.empty()) return path; // no directory: nothing to append to
    return path.back() == '\\' ? path : path + "\\";
}

std::string SubString(const std::string& text, int start, int count) {
    if (text.empty() || count <= 0) return {};
    const int64_t end = int64_t(start) + count; // exclusive, 1-based
    const int64_t first = start < 1 ? 1 : start;
    const int64_t last = std::min<int64_t>(end - 1, int64_t(text.size()));
    if (first > last) return {};
    return text.substr(size_t(first - 1), size_t(last - first + 1));
}

std::string ReadToken(const std::string& text, char delimiter, int start) {
    if (text.empty() || start < 1 || size_t(start) > text.size()) return {};
    const size_t from = size_t(start - 1);
    const size_t to = text.find(delimiter, from);
    return text.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

std::string UpToLast(const std::string& text, char c) {
    const size_t p = text.rfind(c);
    return p == std::string::npos ? std::string() : text.substr(0, p + 1);
}

bool ContainsStr(const std::string& text, const std::string& pattern) {
    return text.find(pattern) != std::string::npos;
}

double ParseFloat(const std::string& text) {
    if (text.empty()) return 0;
    // A plain number (every number of a record) needs no rewriting first.
    if (double v; text.find_first_of("$%") == std::string::npos && TryStrToFloat(text, v))
        return v;
    const bool percent = ContainsStr(text, "%");
    const std::string t = ReplaceChar(ReplaceChar(text, '$', '0'), '%', ' ');
    double v;
    if (!TryStrToFloat(t, v) && !TryStrToFloat(ReplaceChar(t, '.', ','), v))
        v = StrToFloat(ReplaceChar(t, ',', '.'));
    return percent ? v / 100 : v;
}

std::string ReplaceChar(const std::string& text, char oldChar, char newChar) {
    std::string r = text;
    for (char& c : r)
        if (c == oldChar) c = newChar;
    return r;
}

std::string RemoveChar(const std::string& text, char c) {
    std::string r;
    r.reserve(text.size());
    for (char ch : text)
        if (ch != c) r += ch;
    return r;
}

std::string ScramblePassword(const std::string& password) {
    // A length-prefixed string of at most 255 characters in a zeroed buffer.
    unsigned char buf[256] = {};
    const int len = int(std::min<size_t>(password.size(), 255));
    buf[0] = uint8_t(len);
    for (int i = 0; i < len; ++i)
        buf[1 + i] = uint8_t(password[size_t(i)]);
    int bytes = len % 2 ? len + 1 : len + 2;
    if (bytes < 10) bytes = 10;
    if (len > 0 && len < 10) {
        // Short passwords are repeated so the groups do not show the length.
        std::string filler = password.substr(0, size_t(len));
        while (filler.size() < 10)
            filler += filler;
        for (size_t i = 0; i < filler.size() && i < 255; ++i)
            buf[1 + i] = uint8_t(filler[i]);
    } else if (len == 0) {
        const std::string ticks = std::to_string(GetTickCount());
        for (size_t i = 0; i < ticks.size() && i < 255; ++i)
            buf[1 + i] = uint8_t(ticks[i]);
    }
    std::string out;
    for (int i = 0; i < bytes; i += 2) {
        const int word = buf[i] | (buf[i + 1] << 8);
        out += Format("%5.5d", word + PasswordOffset);
    }
    return out;
}

std::string UnscramblePassword(const std::string& digits) {
    unsigned char buf[256] = {};
    buf[0] = 35;
    for (int i = 1; i <= 35; ++i)
        buf[i] = ' ';
    int group = 0;
    for (size_t pos = 1; pos <= digits.size(); pos += 5, ++group) {
        // The text comes from a user-editable store: never past the buffer.
        if (group >= MaxPasswordGroups) throw EConvertError("Scrambled password is too long");
        const int value = StrToInt(SubString(digits, int(pos), 5));
        const uint16_t word = uint16_t(uint32_t(value - PasswordOffset) & 0xFFFF);
        buf[2 * group] = uint8_t(word & 0xFF);
        buf[2 * group + 1] = uint8_t(word >> 8);
    }
    return std::string(reinterpret_cast<const char*>(buf + 1), buf[0]);
}

std::string ExtractDirPart(const std::string& commandLine) {
    return UpToLast(commandLine, '\\');
}

std::string ExtractProgramName(const std::string& commandLine) {
    return ReadToken(commandLine, ' ', int(ExtractDirPart(commandLine).size()) + 1);
}

std::string ExtractProgramParams(const std::string& commandLine) {
    const int d = int(ExtractDirPart(commandLine).size());
    const int n = int(ExtractProgramName(commandLine).size());
    return SubString(commandLine, d + n + 1, int(commandLine.size()) - d - n + 1);
}

std::string FontToString(const TFont& font) {
    std::string s = font.Name + "\t" + IntToStr(font.Color) + "\t" + IntToStr(font.Height) + "\t" +
                    IntToStr(font.Size) + "\t" + IntToStr(font.Charset) + "\t";
    s += font.Bold ? 'Y' : 'N';
    s += font.Italic ? 'Y' : 'N';
    s += font.Underline ? 'Y' : 'N';
    s += font.StrikeOut ? 'Y' : 'N';
    return s;
}

TFont StringToFont(const std::string& text) {
    TFont font;
    font.Name = GetField(text, '\t', 1);
    font.Color = StrToInt(GetField(text, '\t', 2));
    font.Height = StrToInt(GetField(text, '\t', 3));
    font.Size = StrToInt(GetField(text, '\t', 4));
    font.Charset = StrToInt(GetField(text, '\t', 5));
    const std::string styles = GetField(text, '\t', 6);
    font.Bold = SubString(styles, 1, 1) == "Y";
    font.Italic = SubString(styles, 2, 1) == "Y";
    font.Underline = SubString(styles, 3, 1) == "Y";
    font.StrikeOut = SubString(styles, 4, 1) == "Y";
    return font;
}

std::string GetField(const std::string& text, char delimiter, int n) {
    if (n <= 0) return {};
    size_t pos = 1;
    std::string field;
    for (int i = 0; i < n; ++i) {
        if (pos > text.size() + 1) return {};
        field = ReadToken(text, delimiter, int(pos));
        pos += field.size() + 1;
    }
    return field;
}

bool IsInteger(const std::string& text) {
    int v;
    return TryStrToInt(text, v);
}

std::string BoolToText(bool value) {
    return value ? "True" : "False";
}

bool TextToBool(const std::string& text) {
    return text == "True" || text == "T";
}
