// What the update check reads from the product's update page, and the small
// rules around it: META tags, version and date comparison, file names taken
// from the page and the safe download file. Plain C++.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "platform/rtl/SysUtils.h"

// The names of the META tags to read (empty: not read).
struct TWfiTags {
    std::string AuthorTag, AuthorEMailTag, DateTag, DownloadTag, ProductNameTag, ReadMeTag,
        ReadMeExtTag, RedirectTag, RunParamsTag, VersionTag;
};

// Values found on a page.
struct TWfiPageValues {
    std::string ProductName, ProductReadMe, ProductReadMeExt, ProductVersion, ProductDateStr,
        ProductAuthor, ProductAuthorEMail, DownloadURL, RedirectURL, RunParams;
};

// One page line: the tag of its first META HTTP-EQUIV and the value of the
// CONTENT= after it. False when the line carries no complete pair.
bool ParseMetaLine(const std::string& line, std::string& tag, std::string& value);

// Every line of a page, later lines overwriting earlier ones.
TWfiPageValues ParseUpdatePage(const std::vector<std::string>& lines, const TWfiTags& tags);

// Dotted numbers, missing parts counting 0, non-numbers 0: true when
// published is newer than current.
bool IsNewerBuildNumber(const std::string& current, const std::string& published);
// Case-sensitive ordinal comparison.
bool IsNewerSimpleString(const std::string& current, const std::string& published);

// "Mar 15, 2001": raises EConvertError for anything else.
TDateTime ParseDFSDate(const std::string& text);

// A name from the page reduced to a bare file name (no folder part, no
// control characters); empty when nothing usable is left.
std::string BareFileName(const std::string& name);

// Groups of three digits separated by ",": 1234567 -> "1,234,567".
std::string ThousandsText(long long value);

// A download that lands in a temporary file beside its target and replaces
// the target only when committed; anything else leaves nothing behind.
class TDownloadFile {
public:
    TDownloadFile() = default;
    TDownloadFile(const TDownloadFile&) = delete;
    TDownloadFile& operator=(const TDownloadFile&) = delete;
    ~TDownloadFile() { Discard(); }

    bool Open(const std::string& target); // false when the folder cannot take a file
    std::ostream& Stream() { return stream_; }
    bool Commit();  // flushes, closes, renames over the target
    void Discard(); // closes and removes the temporary file
    const std::string& TempPath() const { return temp_; }

private:
    std::ofstream stream_;
    std::string target_, temp_;
};
