// Reading and rewriting the line-per-record list files of the data directory.
#pragma once

#include "platform/rtl/StoredLines.h"
#include "platform/rtl/SysUtils.h"
#include "timemodel/RecordCheck.h"
#include "timemodel/SaveTemporary.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

// Reads a list file the way the loaders walk it (TStoredLines, records):
// blanks, tabs, line ends and byte-order marks before a line are skipped,
// so empty lines and leading white space are never seen; the rest of the
// line is returned without its CR LF, LF or CR. The file is read whole at
// Open, so its stamp is of exactly what the lines are.
class THXLineReader {
public:
    bool Open(const std::string& path);
    bool Next(std::string& line);
    int64_t Size() const { return int64_t(FText.size()); }
    int64_t Position() const { return int64_t(FLines.Position()); }
    const TFileStamp& Stamp() const { return FStamp; }

private:
    std::string FText;
    TStoredLines FLines{std::string_view()};
    TFileStamp FStamp;
};

// Raised by RewriteListFile when another program saved the list file since
// it was read: nothing was written.
class EListFileChanged : public Exception {
public:
    using Exception::Exception;
};

// Writes base + ".hx_" line by line (CR LF ends) and renames it over
// base + ".hxd" in one step, so a failure never leaves the list without its
// file, and only while the file is still what `read` describes (see
// SaveSharedFile); read then describes the new file. The writer is called
// until it returns false. Raises Exception with a readable text on failure
// (EListFileChanged when another program changed the file); the old file
// then stays as it was.
void RewriteListFile(const std::string& dataDir, const std::string& baseName, TFileStamp& read,
                     const std::function<bool(std::string& line)>& nextLine);

// Copies a damaged list file before it can be rewritten: to path + ".bak",
// or, not to lose an earlier damaged file's copy, path + ".1.bak" and so on.
// The copy's file name; empty when no copy could be made.
std::string KeepDamagedCopy(const std::string& path);

bool FileExists(const std::string& path);

// The error text of a parse error with the line in it cut to its first 200
// characters, so a message box stays readable.
std::string ShortenedLineText(const std::string& text, const std::string& line);
