// The one way the suite's stored files are cut into lines: list files, the
// rule file, the key store, the globe's ini and the sync log. CR LF, LF and
// a lone CR each end a line, whatever mix a file holds (a file moved between
// systems, or two files joined), and a UTF-8 byte-order mark at the start of
// any line, not only the first, is read past.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::string_view kLineByteOrderMark = "\xEF\xBB\xBF";

inline bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The line without byte-order marks at its start.
inline std::string_view WithoutLineMark(std::string_view line) {
    while (line.substr(0, kLineByteOrderMark.size()) == kLineByteOrderMark)
        line.remove_prefix(kLineByteOrderMark.size());
    return line;
}

class TStoredLines {
public:
    // Records: blanks, tabs, line ends and marks before a line are skipped,
    // so empty lines and leading white space are never seen. Every: each
    // line is handed over, an empty one too (a CR LF is one end, not two);
    // only the mark is read past.
    enum class TMode { Records, Every };

    explicit TStoredLines(std::string_view text, TMode mode = TMode::Records)
        : FText(text), FMode(mode) {}

    // The next line without its end; false at the end of the text.
    bool Next(std::string_view& line);
    bool Next(std::string& line) {
        std::string_view v;
        if (!Next(v)) return false;
        line.assign(v);
        return true;
    }
    // Bytes read so far, and where the line last handed over began in the
    // text (its mark and leading blanks not counted).
    size_t Position() const { return FPos; }
    size_t LineStart() const { return FStart; }

private:
    std::string_view FText;
    TMode FMode;
    size_t FPos = 0;
    size_t FStart = 0;
};
