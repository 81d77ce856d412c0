#include "net/http/UpdatePage.h"

#include "platform/rtl/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace {

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The parts of a dotted version as digit strings without leading zeros, so
// parts of any length compare as numbers; a part that is not a number is 0.
std::vector<std::string> VersionParts(const std::string& v) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const auto dot = v.find('.', start);
        std::string part = v.substr(start, dot == std::string::npos ? dot : dot - start);
        bool number = !part.empty();
        for (char c : part)
            number = number && c >= '0' && c <= '9';
        if (!number) part = "0";
        part.erase(0, std::min(part.find_first_not_of('0'), part.size() - 1));
        parts.push_back(part);
        if (dot == std::string::npos) break;
        start = dot + 1;
    }
    return parts;
}

// -1, 0, 1 as a is below, equal to or above b.
int ComparePart(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

bool ParseMetaLine(const std::string& line, std::string& tag, std::string& value) {
    static const std::string key = "META HTTP-EQUIV";
    const auto m = Upper(line).find(key);
    if (m == std::string::npos) return false;
    const size_t tagStart = m + key.size() + 2; // past '=' and the opening quote
    if (tagStart > line.size()) return false;
    const auto tagEnd = line.find('"', tagStart);
    if (tagEnd == std::string::npos) return false;
    const auto c = line.find("CONTENT=", tagEnd + 1);
    if (c == std::string::npos) return false;
    const size_t valueStart = c + 9;
    if (valueStart > line.size()) return false;
    const auto valueEnd = line.find('"', valueStart);
    if (valueEnd == std::string::npos) return false;
    tag = line.substr(tagStart, tagEnd - tagStart);
    value = line.substr(valueStart, valueEnd - valueStart);
    return true;
}

TWfiPageValues ParseUpdatePage(const std::vector<std::string>& lines, const TWfiTags& tags) {
    TWfiPageValues v;
    const std::pair<const std::string*, std::string*> table[] = {
        {&tags.ProductNameTag, &v.ProductName},
        {&tags.ReadMeTag, &v.ProductReadMe},
        {&tags.ReadMeExtTag, &v.ProductReadMeExt},
        {&tags.VersionTag, &v.ProductVersion},
        {&tags.DateTag, &v.ProductDateStr},
        {&tags.AuthorTag, &v.ProductAuthor},
        {&tags.AuthorEMailTag, &v.ProductAuthorEMail},
        {&tags.DownloadTag, &v.DownloadURL},
        {&tags.RedirectTag, &v.RedirectURL},
        {&tags.RunParamsTag, &v.RunParams},
    };
    std::string tag, value;
    for (const auto& line : lines) {
        if (!ParseMetaLine(line, tag, value)) continue;
        for (const auto& [name, field] : table)
            if (!name->empty() && *name == tag) *field = value;
    }
    return v;
}

bool IsNewerBuildNumber(const std::string& current, const std::string& published) {
    const auto a = VersionParts(current);
    const auto b = VersionParts(published);
    for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
        const int c = ComparePart(i < a.size() ? a[i] : "0", i < b.size() ? b[i] : "0");
        if (c != 0) return c < 0;
    }
    return false;
}

bool IsNewerSimpleString(const std::string& current, const std::string& published) {
    return published.compare(current) > 0;
}

TDateTime ParseDFSDate(const std::string& text) {
    static const std::string months = "JANFEBMARAPRMAYJUNJULAUGSEPOCTNOVDEC";
    const auto fail = [&]() -> TDateTime {
        throw EConvertError("'" + text + "' is not a valid date");
    };
    if (text.size() < 3) return fail();
    const auto m = months.find(Upper(text.substr(0, 3)));
    const auto comma = text.find(',');
    if (m == std::string::npos || m % 3 != 0 || comma == std::string::npos || comma < 2 ||
        text.size() < 4)
        return fail();
    int day = 0, year = 0;
    if (!TryStrToInt(text.substr(comma - 2, 2), day) ||
        !TryStrToInt(text.substr(text.size() - 4), year))
        return fail();
    return EncodeDate(year, static_cast<int>(m / 3) + 1, day);
}

std::string BareFileName(const std::string& name) {
    std::string bare = name.substr(name.find_last_of("/\\") + 1);
    const auto query = bare.find_first_of("?#");
    if (query != std::string::npos) bare.resize(query);
    for (char c : bare)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
    if (bare == "." || bare == "..") return {};
    return bare;
}

std::string ThousandsText(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

bool TDownloadFile::Open(const std::string& target) {
    Discard();
    namespace fs = std::filesystem;
    fs::path t(target);
    std::string pattern = (t.parent_path().empty() ? fs::path(".") : t.parent_path()) /
                          ("." + t.filename().string() + ".XXXXXX");
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd < 0) return false;
    ::close(fd);
    temp_ = buf.data();
    target_ = target;
    stream_.open(temp_, std::ios::binary | std::ios::trunc);
    if (!stream_) {
        Discard();
        return false;
    }
    return true;
}

bool TDownloadFile::Commit() {
    if (temp_.empty()) return false;
    stream_.flush();
    bool written = static_cast<bool>(stream_);
    stream_.close();
    // Synced before and after the rename, as every file the suite replaces.
    const int fd = written ? ::open(temp_.c_str(), O_WRONLY | O_CLOEXEC) : -1;
    written = fd >= 0 && FinishAtomicWrite(fd, temp_, target_, {}) == TAtomicWrite::Written;
    if (fd >= 0) ::close(fd);
    if (!written) {
        Discard();
        return false;
    }
    temp_.clear();
    return true;
}

void TDownloadFile::Discard() {
    if (stream_.is_open()) stream_.close();
    if (!temp_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        temp_.clear();
    }
}
