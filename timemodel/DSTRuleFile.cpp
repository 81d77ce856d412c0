#include "timemodel/DSTRuleFile.h"

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

bool IsLeadingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The second TAB-separated field, without a trailing CR.
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
    // An editor's byte-order mark is no part of the first rule.
    size_t pos = text.rfind(kUtf8ByteOrderMark, 0) == 0 ? 3 : 0;
    while (true) {
        while (pos < text.size() && IsLeadingSpace(text[pos])) ++pos;
        if (pos >= text.size()) break;
        const size_t start = pos;
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        pos = end + 1;
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line[0] == '#') continue;
        if (line.find("VERSION:") != std::string::npos) {
            if (result.Version.empty()) result.Version = SecondTabField(line);
            continue;
        }
        TDSTRule rule;
        try {
            rule.ReadDataString(line);
        } catch (const std::exception& e) {
            result.Failed = true;
            result.Error = e.what();
            result.UnreadRest = text.substr(start);
            break;
        }
        result.Rules.push_back(std::move(rule));
    }
    return result;
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
