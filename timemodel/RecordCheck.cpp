#include "timemodel/RecordCheck.h"

#include <vector>

namespace {

// What a field must keep to.
constexpr unsigned kLineStart = 1; // the first field of its line
constexpr unsigned kNotEmpty = 2;
constexpr unsigned kNoSlash = 4;    // inside a rule text
constexpr unsigned kNoBang = 8;     // read up to a "!"
constexpr unsigned kNoVersion = 16; // in a file whose reader takes "VERSION:" lines for the version

struct TField {
    const char* Label;
    const std::string* Text;
    unsigned Rules;
};
using TFields = std::vector<TField>;

std::string FieldFault(const std::string& t, unsigned rules) {
    if ((rules & kNotEmpty) && t.empty()) return "it may not be empty";
    if (rules & kLineStart) {
        if (!t.empty() && t[0] == ' ')
            return "it begins with a blank, which the file does not keep";
        if (t.rfind(kUtf8ByteOrderMark, 0) == 0)
            return "it begins with an invisible byte-order mark, which the file does not keep";
        if (!t.empty() && t[0] == '#')
            return "it begins with \"#\", which marks a comment line that is never read";
    }
    for (const char ch : t) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\r' || c == '\n') return "it holds a line break, which would split the record";
        if (c == '\t') return "it holds a TAB, which separates the fields of the record";
        if (c < 0x20) return "it holds a control character";
    }
    if ((rules & kNoSlash) && t.find('/') != std::string::npos)
        return "it holds \"/\", which separates the parts of a daylight-saving rule";
    if ((rules & kNoBang) && t.find('!') != std::string::npos)
        return "it holds \"!\", which ends a field of the record";
    if ((rules & kNoVersion) && t.find("VERSION:") != std::string::npos)
        return "it holds \"VERSION:\", which marks the file's version line, never a record";
    return {};
}

// A location on a line of its own (the location file) or inside another
// record (clocks, alarms, events). Its rule always goes into the rule file
// too when the place is shown in the location manager.
void AddLocationFields(TFields& f, const TTimeLocation& l, bool ownLine) {
    const unsigned v = ownLine ? kNoVersion : 0;
    f.push_back({"Name", &l.Name, ownLine ? kLineStart | kNotEmpty | v : 0});
    f.push_back({"City", &l.City, v});
    f.push_back({"Region", &l.Region, v});
    f.push_back({"Country", &l.Country, v});
    f.push_back({"Code", &l.Code, kNoBang | v});
    f.push_back({"Daylight Saving Time Rule", &l.Rule.Name, kNoSlash | kNoBang | v});
    f.push_back({"Daylight Saving Time Rule notes", &l.Rule.Notes, kNoSlash | kNoBang | v});
}

TFields LocationFields(const TTimeLocation& l) {
    TFields f;
    AddLocationFields(f, l, true);
    return f;
}

TFields ClockFields(const THXClock& c) {
    TFields f = {{"Time Fmt", &c.TimeFormat, 0},
                 {"Date Fmt", &c.DateFormat, 0},
                 {"Clock Face Font", &c.ClockFaceFont.Name, kNoBang},
                 {"Time Font", &c.TimeFont.Name, kNoBang}};
    AddLocationFields(f, c.Location, false);
    return f;
}

TFields AlarmFields(const TAlarm& a) {
    TFields f = {{"Text", &a.Text, 0}};
    AddLocationFields(f, a.Location, false);
    return f;
}

TFields EventFields(const TTemperalEvent& e) {
    TFields f = {{"Description", &e.Title, 0}};
    AddLocationFields(f, e.Location, false);
    return f;
}

TFields RuleFields(const TDSTRule& r) {
    return {{"Name", &r.Name, kLineStart | kNoSlash | kNoBang | kNoVersion},
            {"Notes", &r.Notes, kNoSlash | kNoBang | kNoVersion}};
}

// What a list-file reader hands over of a written line: the blanks, tabs and
// line ends before it skipped, the line cut at its LF, less a CR before that.
// False when the text would not come back as exactly one line.
bool AsRead(const std::string& written, std::string& line) {
    const char* blank = " \t\r\n";
    const size_t start = written.find_first_not_of(blank);
    if (start == std::string::npos) return false;
    const size_t end = written.find('\n', start);
    if (end != std::string::npos && written.find_first_not_of(blank, end) != std::string::npos)
        return false;
    line = written.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// The field named when the whole line is too long: the longest one.
std::string LongestField(const TFields& fields) {
    const TField* longest = nullptr;
    for (const TField& f : fields)
        if (!longest || f.Text->size() > longest->Text->size()) longest = &f;
    return longest ? longest->Label : "Record";
}

// The line with every number in it (digits, signs, separators, the colons
// of a time) reduced to one "0": what a record's writer may change of a line
// without changing what it holds is the form of its numbers ("+060" for
// "60", "2:00:00" for "02:00:00", either decimal separator), never a text.
std::string NumberSkeleton(const std::string& line) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    auto numeric = [&](char c) {
        return digit(c) || c == '+' || c == '-' || c == '.' || c == ',' || c == ':';
    };
    std::string out;
    out.reserve(line.size());
    for (size_t i = 0; i < line.size();) {
        if (!numeric(line[i])) {
            out += line[i++];
            continue;
        }
        for (++i; i < line.size(); ++i) {
            // An exponent belongs to its number: "1.5E-7".
            const bool exponent = (line[i] == 'E' || line[i] == 'e') && digit(line[i - 1]) &&
                                  i + 1 < line.size() && numeric(line[i + 1]);
            if (!numeric(line[i]) && !exponent) break;
        }
        out += '0';
    }
    return out;
}

// A location of the old form ends in a one-character rule code and "!";
// it is written back with the code's rule text and the empty city,
// region, country and code: the line as written, turned back into the code.
std::string WithRuleCodes(std::string written, char sep) {
    for (const char code : std::string("01234567")) {
        TDSTRule rule;
        rule.ReadDataString(std::string(1, code));
        const std::string text = sep + rule.DataString() + sep + sep + sep + sep + "!";
        const std::string old = std::string(1, sep) + code + "!";
        for (size_t at = written.find(text); at != std::string::npos; at = written.find(text, at + 1))
            written.replace(at, text.size(), old);
    }
    return written;
}

template <class T, class FieldsOf, class Write, class Parse>
TRecordFault Judge(const T& record, TRecordUse use, FieldsOf fieldsOf, Write write, Parse parse,
                   bool skipsCommentsAndVersion, const std::string* readLine = nullptr) {
    const std::string written = write(record);
    // Read from exactly the line it is written as: nothing can change on the
    // way back (the common case at load, so it is the cheap one).
    if (readLine && written == *readLine && written.size() <= kMaxRecordLine) return {};
    const TFields fields = fieldsOf(record);
    if (use == TRecordUse::Edit)
        for (const TField& f : fields)
            if (std::string why = FieldFault(*f.Text, f.Rules); !why.empty())
                return {f.Label, why, 0};
    if (written.size() > kMaxRecordLine)
        return {LongestField(fields), "the record is too long", written.size()};
    const TRecordFault unread{"Record", "it would not read back as it was written", 0};
    std::string line;
    if (!AsRead(written, line)) return unread;
    if (skipsCommentsAndVersion && (line[0] == '#' || line.find("VERSION:") != std::string::npos))
        return unread;
    T back;
    try {
        if (!parse(back, line)) return unread;
    } catch (const std::exception&) {
        return unread;
    }
    const TFields backFields = fieldsOf(back);
    for (size_t i = 0; i < fields.size() && i < backFields.size(); ++i)
        if (*fields[i].Text != *backFields[i].Text)
            return {fields[i].Label, "it would not read back as it was written", 0};
    if (write(back) != written) return unread;
    // Read from another line: only the form of its numbers may differ, or
    // the save would change what the file held (a type or flag the reader
    // took for its default, a character the writer flattens, a field the
    // reader dropped).
    if (readLine) {
        const std::string was = NumberSkeleton(*readLine);
        if (was != NumberSkeleton(written) &&
            was != NumberSkeleton(WithRuleCodes(written, '\t')))
            return {"Record", "it would be written back otherwise than it was read", 0};
    }
    return {};
}

} // namespace

std::string RecordFaultText(const TRecordFault& fault) {
    if (!fault) return {};
    if (fault.LineLength > 0)
        return "\"" + fault.Field +
               "\" is too long to be stored.\n\rOne record of the list file holds at most " +
               std::to_string(kMaxRecordLine) + " characters (64 KiB); this one would take " +
               std::to_string(fault.LineLength) + ".";
    return "\"" + fault.Field + "\" cannot be stored: " + fault.Reason + ".\n\rNothing was stored.";
}

namespace {

// How a list file's loader reads a line back: the record and whether the
// line held it whole.
template <class T> auto ReadBackAs(THXRecordKind kind) {
    return [kind](T& record, const std::string& line) {
        record.ParseDataString(line, '\t');
        return WholeRecord(kind, line, '\t');
    };
}

} // namespace

TRecordFault CheckLocationRecord(const TTimeLocation& location, TRecordUse use,
                                 const std::string* readLine) {
    return Judge(
        location, use, LocationFields,
        [](const TTimeLocation& l) { return l.LocationDataStr('\t'); },
        ReadBackAs<TTimeLocation>(THXRecordKind::Location), true, readLine);
}

TRecordFault CheckClockRecord(const THXClock& clock, TRecordUse use, const std::string* readLine) {
    // A clock line of the old form (a bare location record) is written in
    // the new one: only its fields are compared.
    if (readLine && readLine->compare(0, readLine->find('\t'), ClockDataHeader) != 0)
        readLine = nullptr;
    return Judge(
        clock, use, ClockFields, [](const THXClock& c) { return c.DataString('\t'); },
        ReadBackAs<THXClock>(THXRecordKind::Clock), false, readLine);
}

TRecordFault CheckAlarmRecord(const TAlarm& alarm, TRecordUse use, const std::string* readLine) {
    return Judge(
        alarm, use, AlarmFields, [](const TAlarm& a) { return a.DataString('\t'); },
        ReadBackAs<TAlarm>(THXRecordKind::Alarm), false, readLine);
}

TRecordFault CheckEventRecord(const TTemperalEvent& event, TRecordUse use,
                              const std::string* readLine) {
    return Judge(
        event, use, EventFields, [](const TTemperalEvent& e) { return e.EventDataString('\t'); },
        ReadBackAs<TTemperalEvent>(THXRecordKind::Event), false, readLine);
}

TRecordFault CheckRuleRecord(const TDSTRule& rule, TRecordUse use, const std::string* readLine) {
    // Every place carries its rule in its own record: a rule that not even
    // a place with nothing else in it could carry is too long for the rule
    // file as well.
    TTimeLocation carrier;
    carrier.Name.clear();
    carrier.Rule.Copy(rule);
    if (const size_t carried = carrier.LocationDataStr('\t').size(); carried > kMaxRecordLine)
        return {LongestField(RuleFields(rule)), "the record is too long", carried};
    // A whole line that is a built-in code is written as the code's rule.
    if (readLine && !BuiltInRuleText(*readLine).empty()) readLine = nullptr;
    return Judge(
        rule, use, RuleFields, [](const TDSTRule& r) { return r.DataString(); },
        [](TDSTRule& r, const std::string& line) {
            r.ReadDataString(line);
            return true;
        },
        true, readLine);
}

// ------------------------------------------------------------ whole lines

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
    if (t.compare(0, t.find(sep), ClockDataHeader) != 0) return WholeLocation(t, 0, sep);
    size_t pos = 0;
    for (int i = 0; i < 7; ++i) { // header, type, formats, kind, date, colour
        const size_t at = t.find(sep, pos);
        if (at == std::string::npos) return false;
        pos = at + 1;
    }
    for (int i = 0; i < 2; ++i) { // the two fonts, each closed by "!" and a separator
        const size_t bang = t.find('!', pos);
        if (bang == std::string::npos || bang + 1 >= t.size() || t[bang + 1] != sep) return false;
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
