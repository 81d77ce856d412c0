#include "timemodel/DSTRuleFile.h"

#include "platform/rtl/KeptCopy.h"
#include "platform/rtl/StoredLines.h"
#include "timemodel/RecordCheck.h"
#include "timemodel/SaveTemporary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <algorithm>
#include <iterator>
#include <unistd.h>

namespace {

// The second TAB-separated field.
std::string SecondTabField(const std::string& line) {
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) return {};
    const size_t end = line.find('\t', tab + 1);
    return line.substr(tab + 1, end == std::string::npos ? std::string::npos : end - tab - 1);
}

} // namespace

TDSTRuleFileRead ReadDSTRuleFile(const std::string& path) {
    TDSTRuleFileRead result;
    std::string text;
    if (!ReadStampedFile(path, text, result.Stamp)) return result;
    result.Opened = true;
    TStoredLines lines(text);
    std::string line;
    auto fail = [&](const std::string& error) {
        result.Failed = true;
        result.Error = error;
        result.UnreadRest = text.substr(lines.LineStart());
    };
    while (lines.Next(line)) {
        if (line.size() > kMaxRecordLine) {
            // Too long to be a rule, whatever it begins with.
            fail("Error in DST Rule Data: a line is longer than 64 KiB");
            break;
        }
        if (line[0] == '#') continue;
        if (line.find("VERSION:") != std::string::npos) {
            if (result.Version.empty()) result.Version = SecondTabField(line);
            continue;
        }
        TDSTRule rule;
        try {
            rule.ReadDataString(line);
        } catch (const std::exception& e) {
            fail(e.what());
            break;
        }
        // A line that parses only by dropping or changing what it holds
        // (fields beyond the fourth, a TAB in the name) would be written
        // back otherwise: it is damage, kept with all after it.
        if (const TRecordFault fault = CheckRuleRecord(rule, TRecordUse::Reload, &line)) {
            fail("Error in DST Rule Data: " + (line.size() > 200 ? line.substr(0, 200) + "..." : line) +
                 (fault.LineLength > 0 ? " (the rule is too long for a place to carry)"
                                       : " (written back, the rule would not read back as it was read)"));
            break;
        }
        result.Rules.push_back(std::move(rule));
    }
    return result;
}

std::string KeepDamagedRuleFile(const std::string& path) {
    std::string text;
    TFileStamp stamp;
    if (!ReadStampedFile(path, text, stamp)) return {};
    return KeptCopyName(KeepNumberedCopy(path, text, ".bak"));
}

std::string DSTRuleFileTemporary(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExt ? path.substr(0, dot) : path) + ".hx_";
}

namespace {

bool Holds(const std::vector<TDSTRule>& rules, const std::string& text) {
    return std::any_of(rules.begin(), rules.end(),
                       [&](const TDSTRule& r) { return r.DataString() == text; });
}

} // namespace

std::vector<TDSTRule> MergeDSTRules(const std::vector<TDSTRule>& base,
                                    const std::vector<TDSTRule>& ours,
                                    const std::vector<TDSTRule>& theirs) {
    std::vector<TDSTRule> merged = theirs;
    for (const TDSTRule& mine : ours) {
        const std::string text = mine.DataString();
        if (Holds(base, text) || Holds(merged, text)) continue;
        // Changed from a rule of that name that theirs still holds as it was
        // read: it takes that rule's place.
        auto at = std::find_if(merged.begin(), merged.end(), [&](const TDSTRule& r) {
            const std::string was = r.DataString();
            return r.Name == mine.Name && Holds(base, was) && !Holds(ours, was);
        });
        if (at != merged.end())
            *at = mine;
        else
            merged.push_back(mine);
    }
    for (const TDSTRule& was : base) {
        const std::string text = was.DataString();
        if (!Holds(ours, text))
            std::erase_if(merged, [&](const TDSTRule& r) { return r.DataString() == text; });
    }
    return merged;
}

TDSTRuleFileWrite WriteDSTRuleFile(const std::string& path, TDSTRuleFileRead& base,
                                   std::vector<TDSTRule>& rules, std::string* error) {
    // A few rounds at most: each one follows a save that another program
    // finished meanwhile.
    for (int round = 0; round < 5; ++round) {
        std::string text;
        for (const TDSTRule& rule : rules) {
            text += rule.DataString();
            text += "\r\n";
        }
        text += base.UnreadRest;
        switch (SaveSharedFile(path, text, base.Stamp, error)) {
        case TSharedSave::Written: {
            std::vector<TDSTRule> written = rules;
            base.Opened = true;
            base.Rules = std::move(written);
            return TDSTRuleFileWrite::Written;
        }
        case TSharedSave::CannotCreate:
            return TDSTRuleFileWrite::CannotCreate;
        case TSharedSave::WriteFailed:
            return TDSTRuleFileWrite::WriteFailed;
        case TSharedSave::Changed:
            break;
        }
        TDSTRuleFileRead now = ReadDSTRuleFile(path);
        if (!now.Opened && errno != ENOENT) {
            if (error)
                *error = "cannot read " + path + ", which another program changed (" +
                         std::strerror(errno) + ")";
            return TDSTRuleFileWrite::WriteFailed;
        }
        std::vector<TDSTRule> merged = MergeDSTRules(base.Rules, rules, now.Rules);
        base = std::move(now);
        rules = std::move(merged);
    }
    if (error) *error = path + " kept being changed by another program";
    return TDSTRuleFileWrite::WriteFailed;
}
