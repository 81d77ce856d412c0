// Text fields of the one-line records (locations, rules, clocks, alarms,
// events). A field that carried a line break or the record's own separator
// would split its record, and every loader stops at the first bad line, so
// the writers flatten such characters to blanks.
#pragma once

#include <string>

inline std::string OneLineField(std::string text, char separator = '\t') {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n' || c == separator) c = ' ';
    return text;
}
