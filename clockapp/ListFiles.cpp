#include "clockapp/ListFiles.h"

#include "platform/rtl/SysUtils.h"
#include "timemodel/SaveTemporary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

bool THXLineReader::Open(const std::string& path) {
    std::string text;
    if (!ReadStampedFile(path, text, FStamp)) return false;
    FSize = static_cast<int64_t>(text.size());
    FIn.str(std::move(text));
    FIn.clear();
    return true;
}

int64_t THXLineReader::Position() {
    if (!FIn) return FSize;
    const auto p = FIn.tellg();
    return p < 0 ? FSize : static_cast<int64_t>(p);
}

bool THXLineReader::Next(std::string& line) {
    int c;
    while ((c = FIn.peek()) != EOF && (c == ' ' || c == '\t' || c == '\r' || c == '\n'))
        FIn.get();
    if (c == EOF) return false;
    std::getline(FIn, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void RewriteListFile(const std::string& dataDir, const std::string& baseName, TFileStamp& read,
                     const std::function<bool(std::string& line)>& nextLine) {
    std::string text, line;
    while (nextLine(line)) {
        text += line;
        text += "\r\n";
    }
    std::string error;
    errno = 0;
    const TSharedSave result = SaveSharedFile(dataDir + baseName + ".hxd", text, read, &error);
    const std::string reason = std::strerror(errno ? errno : EIO);
    std::string what;
    switch (result) {
    case TSharedSave::Written:
        return;
    case TSharedSave::Changed:
        throw EListFileChanged("Unable to save " + baseName +
                               ".hxd: another program changed it since it was read, and it "
                               "was not written over");
    case TSharedSave::CannotCreate:
        what = "cannot create " + baseName + ".hx_";
        break;
    case TSharedSave::WriteFailed:
        what = error.rfind("cannot replace", 0) == 0 ? "cannot replace " + baseName + ".hxd"
                                                      : std::string("write error");
        break;
    }
    throw Exception("Unable to save " + baseName + ".hxd: " + what + " (" + reason + ")");
}

bool KeepDamagedCopy(const std::string& path) {
    std::error_code ec;
    fs::copy_file(path, path + ".bak", fs::copy_options::overwrite_existing, ec);
    return !ec;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

namespace {

// The location record from pos: five fields up to the separator, then either
// a one-character legacy rule code or the rule, city, region and country up
// to the separator and the code up to "!", which is then the line's end (the
// clock reader hands the record over without its "!").
bool WholeLocation(const std::string& t, size_t pos, char sep) {
    for (int i = 0; i < 5; ++i) {
        const size_t at = t.find(sep, pos);
        if (at == std::string::npos) return false;
        pos = at + 1;
    }
    const size_t bang = t.find('!', pos);
    const size_t upToBang = (bang == std::string::npos ? t.size() : bang) - pos;
    if (upToBang < 2) return upToBang == 1 && (bang == std::string::npos || bang + 1 == t.size());
    for (int i = 0; i < 4; ++i) {
        const size_t at = t.find(sep, pos);
        if (at == std::string::npos) return false;
        pos = at + 1;
    }
    const size_t end = t.find('!', pos);
    return end == std::string::npos || end + 1 == t.size();
}

// A record of `fields` fields up to the separator, then a location record
// closed by one more "!" that ends the line.
bool WholeWithLocation(const std::string& t, size_t pos, int fields, char sep) {
    for (int i = 0; i < fields; ++i) {
        const size_t at = t.find(sep, pos);
        if (at == std::string::npos) return false;
        pos = at + 1;
    }
    if (pos >= t.size() || t.back() != '!') return false;
    return WholeLocation(t.substr(pos, t.size() - 1 - pos), 0, sep);
}

bool WholeClock(const std::string& t, char sep) {
    static const std::string header = "HXClockData-1.0.0:";
    if (t.compare(0, t.find(sep), header) != 0) return WholeLocation(t, 0, sep);
    size_t pos = 0;
    for (int i = 0; i < 7; ++i) { // header, type, formats, kind, date, colour
        const size_t at = t.find(sep, pos);
        if (at == std::string::npos) return false;
        pos = at + 1;
    }
    for (int i = 0; i < 2; ++i) { // the two fonts, each closed by "!" and a separator
        const size_t bang = t.find('!', pos);
        if (bang == std::string::npos || bang + 1 >= t.size() || t[bang + 1] != sep)
            return false;
        pos = bang + 2;
    }
    return WholeWithLocation(t, pos, 0, sep);
}

} // namespace

bool WholeRecord(THXRecordKind kind, const std::string& line, char separator) {
    if (line.size() > kMaxRecordLine) return false;
    switch (kind) {
    case THXRecordKind::Location:
        return WholeLocation(line, 0, separator);
    case THXRecordKind::Clock:
        return WholeClock(line, separator);
    case THXRecordKind::Alarm:
        return WholeWithLocation(line, 0, 6, separator);
    case THXRecordKind::Event:
        return WholeWithLocation(line, 0, 3, separator);
    }
    return false;
}

std::string ShortenedLineText(const std::string& text, const std::string& line) {
    constexpr size_t kShown = 200;
    if (line.size() <= kShown) return text;
    const size_t at = text.find(line);
    const std::string cut = line.substr(0, kShown) + "...";
    if (at == std::string::npos) return text.size() <= kShown ? text : text.substr(0, kShown) + "...";
    return text.substr(0, at) + cut + text.substr(at + line.size());
}

std::string RecordTooLong(const std::string& field, const std::string& line) {
    if (line.size() <= kMaxRecordLine) return "";
    return "\"" + field + "\" is too long to be stored.\n\rOne record of the list file holds at most " +
           std::to_string(kMaxRecordLine) + " characters (64 KiB); this one would take " +
           std::to_string(line.size()) + ".";
}
