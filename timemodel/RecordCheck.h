// The one judge of what a record may hold. A record is stored only when,
// written as its writer writes it into its file, it reads back as the same
// record: every editor asks here before it stores anything, and the list-file
// loaders ask here of every record they read, so that no save turns a record
// into a line the next start would skip, split, cut or refuse.
#pragma once

#include "timemodel/Alarm.h"
#include "timemodel/DST.h"
#include "timemodel/HXClock.h"
#include "timemodel/TimeLocation.h"

#include <cstddef>
#include <string>

// Lines longer than this are not records of ours.
inline constexpr size_t kMaxRecordLine = 64 * 1024;

// Why a record cannot be stored: the field, as the editors label it, and the
// reason. Empty Reason: the record may be stored.
struct TRecordFault {
    std::string Field;
    std::string Reason;
    size_t LineLength = 0; // when the record's line is too long: its length
    explicit operator bool() const { return !Reason.empty(); }
};

// The message an editor refuses the record with.
std::string RecordFaultText(const TRecordFault& fault);

// Edit: everything a stored field must keep to (no line breaks, TABs or
// other control characters, no separators, nothing the reader skips), so a
// record that is stored reads back field for field. Reload: whether a
// record just read from its file comes back as it was read after the next
// save: given the line it was read from, the record must be written back
// as that line, or as it with only the form of its numbers changed (a type
// or flag read as its default, a character the writer flattens, a field the
// reader dropped would be lost); a field that is odd but survives is kept.
enum class TRecordUse { Edit, Reload };

// A line of the location file "hxzones.hxd".
TRecordFault CheckLocationRecord(const TTimeLocation& location, TRecordUse use = TRecordUse::Edit,
                                 const std::string* readLine = nullptr);
// A line of "hxclocks.hxd".
TRecordFault CheckClockRecord(const THXClock& clock, TRecordUse use = TRecordUse::Edit,
                              const std::string* readLine = nullptr);
// A line of "hxalarms.hxd".
TRecordFault CheckAlarmRecord(const TAlarm& alarm, TRecordUse use = TRecordUse::Edit,
                              const std::string* readLine = nullptr);
// A line of the Dayloom file "hxdayloom.hxd".
TRecordFault CheckEventRecord(const TTemperalEvent& event, TRecordUse use = TRecordUse::Edit,
                              const std::string* readLine = nullptr);
// A line of the rule file "hxdst.hxd"; as the rule also travels inside
// location records, what those cannot hold is refused too.
TRecordFault CheckRuleRecord(const TDSTRule& rule, TRecordUse use = TRecordUse::Edit,
                             const std::string* readLine = nullptr);

// Whether a record's reader uses the whole line: every field is there and
// nothing follows the record's end. A reader fills what a line cut short
// lacks and ignores what follows the end, so such a line, rewritten, loses
// data. Legacy forms (location records with a one-digit daylight-saving
// code, clock lines that are a location record) count as whole.
enum class THXRecordKind { Location, Clock, Alarm, Event };
bool WholeRecord(THXRecordKind kind, const std::string& line, char separator);

// A UTF-8 byte-order mark, which an editor may put before a file's first line.
inline constexpr const char* kUtf8ByteOrderMark = "\xEF\xBB\xBF";
