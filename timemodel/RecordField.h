// Text fields of the one-line records (locations, rules, clocks, alarms,
// events). A field that carried a line break or the record's own separator
// would split its record, so the writers flatten such characters to blanks;
// the editors never hand one over, as the record check refuses it first.
#pragma once

#include <string>
#include <string_view>

inline std::string OneLineField(std::string text, char separator = '\t') {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n' || c == separator) c = ' ';
    return text;
}

// The same appended to out, without a copy of its own.
inline void AppendOneLineField(std::string& out, std::string_view text, char separator = '\t') {
    const size_t from = out.size();
    out += text;
    for (size_t i = from; i < out.size(); ++i)
        if (out[i] == '\t' || out[i] == '\r' || out[i] == '\n' || out[i] == separator) out[i] = ' ';
}
