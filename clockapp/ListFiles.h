// Reading and rewriting the line-per-record list files of the data directory.
#pragma once

#include "platform/rtl/SysUtils.h"
#include "timemodel/SaveTemporary.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

// Reads a list file the way the loaders walk it: blanks, tabs and line ends
// before a line are skipped, so empty lines and leading white space are never
// seen; the rest of the line is returned without its CR LF or LF. The file
// is read whole at Open, so its stamp is of exactly what the lines are.
class THXLineReader {
public:
    bool Open(const std::string& path);
    bool Next(std::string& line);
    int64_t Size() const { return FSize; }
    int64_t Position();
    const TFileStamp& Stamp() const { return FStamp; }

private:
    std::istringstream FIn;
    int64_t FSize = 0;
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

// Copies a damaged list file to path + ".bak" before it can be rewritten;
// false when the copy could not be made.
bool KeepDamagedCopy(const std::string& path);

bool FileExists(const std::string& path);

// Whether a record's reader uses the whole line: every field is there and
// nothing follows the record's end. A reader fills what a line cut short
// lacks and ignores what follows the end, so such a line, rewritten, loses
// data. Legacy forms (location records with a one-digit daylight-saving
// code, clock lines that are a location record) count as whole.
enum class THXRecordKind { Location, Clock, Alarm, Event };
bool WholeRecord(THXRecordKind kind, const std::string& line, char separator);

// Lines longer than this are not records of ours.
inline constexpr size_t kMaxRecordLine = 64 * 1024;

// Empty when a record's line fits its list file; otherwise the message an
// editor refuses the entry with, naming the field and the limit. The
// editors ask before they store, so a file never holds a line that the next
// start would refuse.
std::string RecordTooLong(const std::string& field, const std::string& line);

// The error text of a parse error with the line in it cut to its first 200
// characters, so a message box stays readable.
std::string ShortenedLineText(const std::string& text, const std::string& line);
