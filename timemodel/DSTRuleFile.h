// The daylight-saving rule file "hxdst.hxd", shared by horolux's location
// manager and rulewick: one rule record a line.
#pragma once
#include <string>
#include <vector>
#include "timemodel/DST.h"
#include "timemodel/SaveTemporary.h"

// What one read of a rule file found.
struct TDSTRuleFileRead {
    bool Opened = false;         // false: the file could not be opened
    std::vector<TDSTRule> Rules; // rules read, in file order; a failing line is not among them
    std::string Version;         // second TAB field of the "VERSION:" line, if any
    bool Failed = false;         // a line did not parse
    std::string Error;           // then: the parser's message
    std::string UnreadRest;      // then: the failing line and all after it, verbatim
    TFileStamp Stamp;            // what was read, for the next save
};
// Lines as every stored file of the suite is read (TStoredLines): CR LF, LF
// or CR end one; blanks, tabs, empty lines and byte-order marks before a
// line are skipped; lines starting with "#" and lines holding "VERSION:"
// carry no rule. A line that does not parse, or that would be written back
// otherwise than it was read, fails the read there.
TDSTRuleFileRead ReadDSTRuleFile(const std::string& path);

// After a failed read: the file as it is kept beside it (".bak", then
// ".1.bak" ...), never replacing an earlier copy. The copy's file name;
// empty when none could be made.
std::string KeepDamagedRuleFile(const std::string& path);

enum class TDSTRuleFileWrite { Written, CannotCreate, WriteFailed };
// Saves rules, one DataString a line, then base.UnreadRest unchanged, as the
// file base was read from; through the ".hx_" sibling of path, which then
// replaces path in one step. When another program saved the file since base
// was read, nothing of its work is lost: what changed from base.Rules to
// rules (see MergeDSTRules) is applied to what the file holds now, and rules becomes that list. After Written, base
// describes the file as written. On failure the file is left as it was and
// *error (if given) says why.
TDSTRuleFileWrite WriteDSTRuleFile(const std::string& path, TDSTRuleFileRead& base,
                                   std::vector<TDSTRule>& rules, std::string* error = nullptr);

// The rules of theirs with the changes from base to ours applied, rules
// told apart by their whole DataString: a rule of ours that neither base
// nor theirs holds is added (in the place of the rule of its name that it
// was changed from, or at the end); a rule of base that ours lacks is
// removed. Where both changed one rule, both versions are kept.
std::vector<TDSTRule> MergeDSTRules(const std::vector<TDSTRule>& base,
                                    const std::vector<TDSTRule>& ours,
                                    const std::vector<TDSTRule>& theirs);

// The ".hx_" sibling a write goes through: the extension replaced (or added).
std::string DSTRuleFileTemporary(const std::string& path);
