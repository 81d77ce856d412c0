// The daylight-saving rule file "hxdst.hxd", shared by horolux's location
// manager and rulewick: one rule record a line.
#pragma once
#include <string>
#include <vector>
#include "timemodel/DST.h"

// What one read of a rule file found.
struct TDSTRuleFileRead {
    bool Opened = false;         // false: the file could not be opened
    std::vector<TDSTRule> Rules; // rules read, in file order; a failing line is not among them
    std::string Version;         // second TAB field of the "VERSION:" line, if any
    bool Failed = false;         // a line did not parse
    std::string Error;           // then: the parser's message
    std::string UnreadRest;      // then: the failing line and all after it, verbatim
};
// A UTF-8 byte-order mark at the start is read past; blanks, tabs and empty
// lines before a line are skipped; lines starting with "#" and lines holding
// "VERSION:" carry no rule.
TDSTRuleFileRead ReadDSTRuleFile(const std::string& path);

enum class TDSTRuleFileWrite { Written, CannotCreate, WriteFailed };
// One rule's DataString a line, in order, then unreadRest unchanged; through
// the ".hx_" sibling of path, which then replaces path in one step. On
// failure the old file is left as it was and *error (if given) says why.
TDSTRuleFileWrite WriteDSTRuleFile(const std::string& path, const std::vector<TDSTRule>& rules,
                                   const std::string& unreadRest = {}, std::string* error = nullptr);

// The ".hx_" sibling a write goes through: the extension replaced (or added).
std::string DSTRuleFileTemporary(const std::string& path);
