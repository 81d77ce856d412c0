#include "clockapp/state/ListFiles.h"

#include "platform/rtl/KeptCopy.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/SaveTemporary.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iterator>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

bool THXLineReader::Open(const std::string& path) {
    FText.clear();
    FLines = TStoredLines(std::string_view());
    if (!ReadStampedFile(path, FText, FStamp)) return false;
    FLines = TStoredLines(FText);
    return true;
}

bool THXLineReader::Next(std::string& line) {
    return FLines.Next(line);
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

std::string KeepDamagedCopy(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return {};
    std::error_code ec;
    const auto perms = fs::status(path, ec).permissions();
    const mode_t mode = ec ? 0600 : static_cast<mode_t>(perms & fs::perms::all);
    return KeptCopyName(KeepNumberedCopy(path, text, ".bak", mode));
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

std::string ShortenedLineText(const std::string& text, const std::string& line) {
    constexpr size_t kShown = 200;
    if (line.size() <= kShown) return text;
    const size_t at = text.find(line);
    const std::string cut = line.substr(0, kShown) + "...";
    if (at == std::string::npos) return text.size() <= kShown ? text : text.substr(0, kShown) + "...";
    return text.substr(0, at) + cut + text.substr(at + line.size());
}
