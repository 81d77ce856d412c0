// Text fields of the one-line records (locations, rules, clocks, alarms,
// events). A field that carried a line break or the record's own separator
// would split its record, so the writers flatten such characters to blanks;
// the editors never hand one over, as the record check refuses it first.
#pragma once

#include <string>

inline std::string OneLineField(std::string text, char separator = '\t') {
    for (char& c : text)
        if (c == '\t' || c == '\r' || c == '\n' || c == separator) c = ' ';
    return text;
}
