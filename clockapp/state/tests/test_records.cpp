// What is written is read back whole: the record check that every editor asks
// before it stores, against the writers and a fresh start's loaders; and the
// copies a damaged start keeps.
#include "clockapp/state/ClockState.h"
#include "clockapp/state/ListFiles.h"
#include "platform/keystore/RegFile.h"
#include "platform/rtl/AtomicFile.h"
#include "timemodel/DSTRuleFile.h"
#include "timemodel/RecordCheck.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A headless start: what it would show is recorded.
class RecordState : public TClockState {
public:
    explicit RecordState(IHXPrefsStore& s) : TClockState(s) {}
    std::vector<std::string> Messages;

protected:
    void ShowError(const std::string& t) override { Messages.push_back(t); }
    void ShowInfo(const std::string& t) override { Messages.push_back(t); }
    void ShowErrorCode(int c) override { Messages.push_back("code:" + std::to_string(c)); }
    TAnswer AskYesNoCancel(const std::string&) override { return Answer; }
    bool ConfirmYes(const std::string&) override { return Answer != TAnswer::Cancel; }

public:
    TAnswer Answer = TAnswer::Cancel;

protected:
    void LoadRegTimeInfo() override {
        LocalClock.Location.StdOffset = 1;
        LocalClock.Location.HostOffset = 1;
        LocalClock.Location.Rule.None();
    }
};

class RecordFiles : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tmp = std::getenv("HX_TEST_TMP");
        dir = fs::path(tmp ? tmp : fs::temp_directory_path().string()) /
              ("hxrecords-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Dir() const { return dir.string() + "/"; }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name, std::ios::binary) << text;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // A fresh start on the data directory.
    std::unique_ptr<RecordState> Start() {
        auto s = std::make_unique<RecordState>(store);
        s->DataDir = Dir();
        return s;
    }
    fs::path dir;
    THXMemoryPrefsStore store;
};

using RecordContract = RecordFiles;
using DamagedCopies = RecordFiles;

TTimeLocation Place(const std::string& name) {
    TTimeLocation l;
    l.Name = name;
    l.City = "City of " + name;
    l.StdOffset = 2;
    return l;
}

// One list file with what loads and saves it, and its records as text.
struct TListCase {
    const char* File;
    std::function<void(RecordState&)> Load, Save;
    std::function<std::vector<std::string>(RecordState&)> Records;
};

std::vector<TListCase> ListCases() {
    return {
        {"hxzones.hxd", [](RecordState& s) { s.LoadStandardLocations(); },
         [](RecordState& s) { s.WriteStandardLocations(); },
         [](RecordState& s) {
             std::vector<std::string> r;
             for (auto& l : s.StandardLocations)
                 r.push_back(l->LocationDataStr('\t'));
             return r;
         }},
        {"hxclocks.hxd", [](RecordState& s) { s.LoadCLockInfo(); },
         [](RecordState& s) { s.WriteClockInfo(); },
         [](RecordState& s) {
             std::vector<std::string> r;
             for (auto& c : s.Clocks)
                 r.push_back(c->DataString('\t'));
             return r;
         }},
        {"hxalarms.hxd", [](RecordState& s) { s.LoadAlarms(); },
         [](RecordState& s) { s.WriteAlarms(); },
         [](RecordState& s) {
             std::vector<std::string> r;
             for (auto& a : s.Alarms)
                 r.push_back(a->DataString('\t'));
             return r;
         }},
        {"hxdayloom.hxd", [](RecordState& s) { s.LoadTemperalEvents(); },
         [](RecordState& s) { s.WriteTemperalEvents(); },
         [](RecordState& s) {
             std::vector<std::string> r;
             for (auto& e : s.TemperalEvents)
                 r.push_back(e->EventDataString('\t'));
             return r;
         }},
    };
}

// Two records of each list file's kind, named A and B.
std::vector<std::string> TwoRecords(const std::string& file) {
    std::vector<std::string> out;
    for (const char* name : {"Alpha", "Bravo"}) {
        if (file == "hxzones.hxd") {
            out.push_back(Place(name).LocationDataStr('\t'));
        } else if (file == "hxclocks.hxd") {
            THXClock c;
            c.Location = Place(name);
            out.push_back(c.DataString('\t'));
        } else if (file == "hxalarms.hxd") {
            TAlarm a;
            a.AlarmTime = 46000.5;
            a.Text = name;
            out.push_back(a.DataString('\t'));
        } else {
            TTemperalEvent e;
            e.EventDate = 46000.25;
            e.Title = name;
            out.push_back(e.EventDataString('\t'));
        }
    }
    return out;
}

} // namespace

// A byte-order mark that an editor put before the first line is no part of
// the first record: every record comes back as written, without a word.
TEST_F(RecordContract, AByteOrderMarkCostsNoRecord) {
    const std::string bom = "\xEF\xBB\xBF";
    for (const TListCase& c : ListCases()) {
        SCOPED_TRACE(c.File);
        const std::vector<std::string> two = TwoRecords(c.File);
        Write(c.File, bom + two[0] + "\r\n" + two[1] + "\r\n");
        auto s = Start();
        c.Load(*s);
        EXPECT_TRUE(s->Messages.empty()) << s->Messages[0];
        EXPECT_EQ(c.Records(*s), two);
    }
    const std::string europe = "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU";
    const std::string none = "None/N.1.1.0.02:00:00/N.1.1.0.02:00:00/No DST applies";
    Write("hxdst.hxd", bom + europe + "\r\n" + none + "\r\n");
    const TDSTRuleFileRead read = ReadDSTRuleFile(Dir() + "hxdst.hxd");
    EXPECT_FALSE(read.Failed) << read.Error;
    ASSERT_EQ(read.Rules.size(), 2u);
    EXPECT_EQ(read.Rules[0].DataString(), europe);
    EXPECT_EQ(read.Rules[1].DataString(), none);
}

// A line just under 64 KiB whose record is written back longer (a legacy
// one-digit rule code written out in full) is told at the first load, while
// the line is whole and kept in the copy; it never becomes a line that a
// later start refuses.
TEST_F(RecordContract, ARecordThatWouldGrowPastTheLimitIsToldAtTheFirstLoad) {
    const auto legacyPlace = [](size_t length) {
        const std::string tail = "\t1\t1\t0\t0\t3!";
        return std::string(length - tail.size(), 'n') + tail;
    };
    const auto legacyAlarm = [&](size_t length) {
        const std::string head = "46000.5\tAlarm - Normal\t0\tN\tY\tText\t";
        return head + legacyPlace(length - head.size() - 1) + "!";
    };
    const struct {
        const char* File;
        std::function<std::string(size_t)> Line;
        std::function<void(RecordState&)> Load, Save;
    } cases[] = {
        {"hxzones.hxd", legacyPlace, [](RecordState& s) { s.LoadStandardLocations(); },
         [](RecordState& s) { s.WriteStandardLocations(); }},
        {"hxalarms.hxd", legacyAlarm, [](RecordState& s) { s.LoadAlarms(); },
         [](RecordState& s) { s.WriteAlarms(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const std::string near = c.Line(kMaxRecordLine - 10);
        ASSERT_EQ(near.size(), kMaxRecordLine - 10);
        const std::string small = c.Line(200);
        const std::string text = small + "\r\n" + near + "\r\n";
        Write(c.File, text);
        auto first = Start();
        c.Load(*first);
        ASSERT_EQ(first->Messages.size(), 1u);
        EXPECT_NE(first->Messages[0].find("written back, the record would be longer than 64 KiB"),
                  std::string::npos)
            << first->Messages[0];
        EXPECT_EQ(Read(std::string(c.File) + ".bak"), text);
        c.Save(*first);
        auto second = Start();
        c.Load(*second);
        EXPECT_TRUE(second->Messages.empty()) << second->Messages[0];
    }
}

// Every damaged start keeps its own copy of the file, never over an earlier
// one, and says which; the same damaged file met again makes no second copy.
TEST_F(DamagedCopies, EveryDamagedStartKeepsItsOwnCopy) {
    for (const TListCase& c : ListCases()) {
        SCOPED_TRACE(c.File);
        const std::string good = TwoRecords(c.File)[0] + "\r\n";
        const std::string first = good + "the first damaged line\r\n";
        const std::string second = good + "the second damaged line\r\n";
        const std::string file = c.File;
        const struct {
            const std::string& Text;
            std::string Copy;
            bool Save;
        } starts[] = {{first, file + ".bak", true},
                      {second, file + ".1.bak", false},
                      {second, file + ".1.bak", false}};
        for (const auto& st : starts) {
            Write(c.File, st.Text);
            auto s = Start();
            c.Load(*s);
            ASSERT_EQ(s->Messages.size(), 1u);
            EXPECT_NE(s->Messages[0].find("The file as it was has been kept as " + st.Copy),
                      std::string::npos)
                << s->Messages[0];
            EXPECT_EQ(Read(st.Copy), st.Text);
            if (st.Save) {
                c.Save(*s);
                EXPECT_EQ(Read(c.File), good);
            }
        }
        EXPECT_EQ(Read(file + ".bak"), first);
        EXPECT_FALSE(fs::exists(dir / (file + ".2.bak")));
    }
}

// ------------------------------------------------------------ the property

namespace {

// Field texts made of the pieces that a list file's reader treats specially,
// now and then near the length of a whole record.
class FieldMaker {
public:
    explicit FieldMaker(uint32_t seed) : rng(seed) {}
    int Pick(int n) { return int(rng() % uint32_t(n)); }
    std::string Text() {
        static const std::vector<std::string> pieces = {"#",        " ",
                                                        "VERSION:", "\t",
                                                        "!",        "^",
                                                        "/",        "\r",
                                                        "\n",       std::string(1, '\0'),
                                                        "\xc3\xa9", "\xe2\x82\xac",
                                                        "Base",     "Camp",
                                                        "9.9",      ".",
                                                        ":",        "-",
                                                        "x"};
        std::string t;
        const int roll = Pick(20);
        if (roll == 0) return t; // empty
        if (roll == 1) {
            // Around the limit of one line, with the rest of the record.
            t.assign(size_t(int(kMaxRecordLine) - 600 + Pick(900)), 'y');
        }
        for (int n = 1 + Pick(5); n > 0; --n) {
            // Mostly plain, so that many records are whole.
            const std::string& p = Pick(3) == 0 ? pieces[size_t(Pick(int(pieces.size())))]
                                                : pieces[size_t(12 + Pick(2))];
            if (Pick(2) == 0)
                t = p + t;
            else
                t += p;
        }
        return t;
    }
    double Number() { return Pick(4) == 0 ? Pick(2000) / 7.0 - 140 : Pick(97) / 4.0 - 12; }

private:
    std::mt19937 rng;
};

void Fill(FieldMaker& m, TTimeLocation& l) {
    for (std::string* t :
         {&l.Name, &l.City, &l.Region, &l.Country, &l.Code, &l.Rule.Name, &l.Rule.Notes})
        if (m.Pick(3) == 0) *t = m.Text();
    l.StdOffset = m.Number();
    l.HostOffset = m.Number();
    l.Latitude = m.Number();
    l.Longitude = m.Number();
    l.Rule.StartDate.Kind = uint8_t(m.Pick(7));
    l.Rule.StartDate.Month = 1 + m.Pick(12);
    l.Rule.StartDate.Bias = 60;
}

} // namespace

// Every kind of record with generated fields goes through the check the
// editors ask, then, when taken, through the writer and a fresh start: what
// is taken comes back equal, between two neighbours that come back equal
// too; what is refused leaves the file as it was.
TEST_F(RecordContract, EveryRecordTakenReadsBackEqualAndEveryRefusalChangesNothing) {
    FieldMaker m(20261209);
    int taken = 0, refused = 0, nearLimit = 0;
    const std::vector<TListCase> lists = ListCases();
    for (int i = 0; i < 400; ++i) {
        const int kind = i % 5;
        SCOPED_TRACE("record " + std::to_string(i));
        if (kind == 4) {
            TDSTRule rule;
            rule.Name = m.Text();
            rule.Notes = m.Text();
            rule.StartDate.Kind = uint8_t(m.Pick(7));
            rule.StartDate.Day = 1 + m.Pick(7);
            rule.StartDate.Bias = 60;
            std::vector<TDSTRule> list = {TDSTRule(), TDSTRule()};
            list[0].Name = "Alpha";
            list[1].Name = "Bravo";
            TDSTRuleFileRead base = ReadDSTRuleFile(Dir() + "hxdst.hxd");
            ASSERT_EQ(WriteDSTRuleFile(Dir() + "hxdst.hxd", base, list), TDSTRuleFileWrite::Written);
            const std::string file = Read("hxdst.hxd");
            if (CheckRuleRecord(rule)) {
                ++refused;
                EXPECT_EQ(Read("hxdst.hxd"), file);
                continue;
            }
            ++taken;
            list.insert(list.begin() + 1, rule);
            ASSERT_EQ(WriteDSTRuleFile(Dir() + "hxdst.hxd", base, list), TDSTRuleFileWrite::Written);
            const TDSTRuleFileRead read = ReadDSTRuleFile(Dir() + "hxdst.hxd");
            EXPECT_FALSE(read.Failed) << read.Error;
            ASSERT_EQ(read.Rules.size(), 3u) << rule.DataString();
            EXPECT_EQ(read.Rules[1].Name, rule.Name);
            EXPECT_EQ(read.Rules[1].Notes, rule.Notes);
            for (size_t r = 0; r < 3; ++r)
                EXPECT_EQ(read.Rules[r].DataString(), list[r].DataString());
            continue;
        }
        const TListCase& c = lists[size_t(kind)];
        auto s = Start();
        const std::vector<std::string> two = TwoRecords(c.File);
        Write(c.File, two[0] + "\r\n" + two[1] + "\r\n");
        c.Load(*s);
        ASSERT_TRUE(s->Messages.empty()) << s->Messages[0];
        const std::string file = Read(c.File);
        TRecordFault fault;
        std::string line;
        std::vector<std::string> values;
        // The record as an editor would store it, asked about first.
        if (kind == 0) {
            auto l = std::make_unique<TTimeLocation>();
            Fill(m, *l);
            fault = CheckLocationRecord(*l);
            line = l->LocationDataStr('\t');
            values = {l->Name, l->City,      l->Region,    l->Country,
                      l->Code, l->Rule.Name, l->Rule.Notes};
            if (!fault) s->StandardLocations.insert(s->StandardLocations.begin() + 1, std::move(l));
        } else if (kind == 1) {
            auto clock = std::make_unique<THXClock>();
            Fill(m, clock->Location);
            clock->ClockType = uint8_t(m.Pick(2) == 0 ? 0 : 2 + m.Pick(7)); // Local aside
            if (m.Pick(2) == 0) clock->TimeFormat = m.Text();
            if (m.Pick(2) == 0) clock->DateFormat = m.Text();
            if (m.Pick(4) == 0) clock->TimeFont.Name = m.Text();
            if (m.Pick(4) == 0) clock->ClockFaceFont.Name = m.Text();
            fault = CheckClockRecord(*clock);
            line = clock->DataString('\t');
            values = {clock->TimeFormat,         clock->DateFormat,    clock->TimeFont.Name,
                      clock->ClockFaceFont.Name, clock->Location.Name, clock->Location.Code};
            if (!fault) s->Clocks.insert(s->Clocks.begin() + 1, std::move(clock));
        } else if (kind == 2) {
            auto a = std::make_unique<TAlarm>();
            Fill(m, a->Location);
            a->AlarmTime = 46000 + m.Pick(1000) / 8.0;
            a->AlarmType = uint8_t(m.Pick(8));
            a->Text = m.Text();
            fault = CheckAlarmRecord(*a);
            line = a->DataString('\t');
            values = {a->Text, a->Location.Name, a->Location.Code};
            if (!fault) s->Alarms.insert(s->Alarms.begin() + 1, std::move(a));
        } else {
            auto e = std::make_unique<TTemperalEvent>();
            Fill(m, e->Location);
            e->EventDate = 46000 + m.Pick(1000) / 8.0;
            e->IntervalDays = m.Pick(3);
            e->Title = m.Text();
            fault = CheckEventRecord(*e);
            line = e->EventDataString('\t');
            values = {e->Title, e->Location.Name, e->Location.Code};
            if (!fault) s->TemperalEvents.insert(s->TemperalEvents.begin() + 1, std::move(e));
        }
        if (line.size() > kMaxRecordLine - 1000) ++nearLimit;
        if (fault) {
            ++refused;
            EXPECT_FALSE(fault.Field.empty());
            EXPECT_EQ(Read(c.File), file);
            continue;
        }
        ++taken;
        const std::vector<std::string> stored = c.Records(*s);
        ASSERT_EQ(stored.size(), 3u);
        c.Save(*s);
        auto fresh = Start();
        c.Load(*fresh);
        EXPECT_TRUE(fresh->Messages.empty()) << fresh->Messages[0];
        EXPECT_EQ(c.Records(*fresh), stored);
        // The texts themselves, not only as the writer puts them.
        std::vector<std::string> back;
        if (kind == 0 && fresh->StandardLocations.size() == 3) {
            const TTimeLocation& l = *fresh->StandardLocations[1];
            back = {l.Name, l.City, l.Region, l.Country, l.Code, l.Rule.Name, l.Rule.Notes};
        } else if (kind == 1 && fresh->Clocks.size() == 3) {
            const THXClock& k = *fresh->Clocks[1];
            back = {k.TimeFormat,         k.DateFormat,    k.TimeFont.Name,
                    k.ClockFaceFont.Name, k.Location.Name, k.Location.Code};
        } else if (kind == 2 && fresh->Alarms.size() == 3) {
            const TAlarm& a = *fresh->Alarms[1];
            back = {a.Text, a.Location.Name, a.Location.Code};
        } else if (kind == 3 && fresh->TemperalEvents.size() == 3) {
            const TTemperalEvent& e = *fresh->TemperalEvents[1];
            back = {e.Title, e.Location.Name, e.Location.Code};
        }
        EXPECT_EQ(back, values) << line.substr(0, 300);
    }
    // The fields made reach both answers and the length limit.
    EXPECT_GT(taken, 80);
    EXPECT_GT(refused, 80);
    EXPECT_GT(nearLimit, 10);
}

// ------------------------------------------------- any bytes, read back

namespace {

// A stored file made of whole records, cut and joined the ways files get
// damaged: every line end (CR LF, LF, a lone CR, mixed), a byte-order mark
// or blanks before any line, and bytes put in, dropped or changed.
class FileMaker {
public:
    explicit FileMaker(uint32_t seed) : rng(seed) {}
    int Pick(int n) { return int(rng() % uint32_t(n)); }
    std::string File(std::vector<std::string> lines) {
        static const char* ends[] = {"\r\n", "\n", "\r"};
        const int style = Pick(4); // one end for all, or mixed
        std::string text;
        for (std::string& line : lines) {
            if (Pick(4) == 0) Damage(line);
            if (Pick(5) == 0) text += "\xEF\xBB\xBF";
            if (Pick(6) == 0) text += Pick(2) ? " " : "\t ";
            text += line;
            text += ends[style < 3 ? style : Pick(3)];
            if (Pick(10) == 0) text += ends[Pick(3)]; // an empty line
        }
        if (Pick(8) == 0 && !text.empty()) text.resize(size_t(Pick(int(text.size()))));
        return text;
    }

private:
    void Damage(std::string& line) {
        static const std::vector<std::string> bytes = {
            "\t", "/", "!", std::string(1, '\0'), "\x01", "\xEF\xBB\xBF", "#", "\r", " ", "9", ",", "x"};
        const size_t at = line.empty() ? 0 : size_t(Pick(int(line.size())));
        switch (Pick(3)) {
        case 0:
            line.insert(at, bytes[size_t(Pick(int(bytes.size())))]);
            break;
        case 1:
            if (!line.empty()) line.erase(at, 1);
            break;
        default:
            if (!line.empty()) line[at] = bytes[size_t(Pick(int(bytes.size())))][0];
        }
    }
    std::mt19937 rng;
};

std::vector<std::string> SomeRecords(const std::string& file, FileMaker& m) {
    std::vector<std::string> out;
    const int n = 1 + m.Pick(4);
    for (int i = 0; i < n; ++i) {
        const std::string name = "Place " + std::to_string(m.Pick(100));
        TTimeLocation l = Place(name);
        l.Latitude = m.Pick(18000) / 100.0 - 90;
        if (m.Pick(3) == 0) l.Rule.ReadDataString(std::to_string(m.Pick(8)));
        if (file == "hxzones.hxd") {
            out.push_back(m.Pick(6) == 0 ? name + "\t1\t0\t52.5\t-13.4\t3!" // the old form
                                         : l.LocationDataStr('\t'));
        } else if (file == "hxclocks.hxd") {
            THXClock c;
            c.Location = l;
            c.ClockType = uint8_t(m.Pick(2) == 0 ? 0 : 2);
            out.push_back(c.DataString('\t'));
        } else if (file == "hxalarms.hxd") {
            TAlarm a;
            a.AlarmTime = 46000 + m.Pick(100000) / 86400.0;
            a.AlarmType = uint8_t(m.Pick(8));
            a.Text = name;
            a.Location = l;
            out.push_back(a.DataString('\t'));
        } else if (file == "hxdayloom.hxd") {
            TTemperalEvent e;
            e.EventDate = 46000.25 + m.Pick(1000);
            e.Title = name;
            e.Location = l;
            out.push_back(e.EventDataString('\t'));
        } else {
            out.push_back(m.Pick(5) == 0 ? "#a comment" : l.Rule.DataString());
        }
    }
    return out;
}

std::vector<std::string> RuleTexts(const std::vector<TDSTRule>& rules) {
    std::vector<std::string> out;
    for (const TDSTRule& r : rules)
        out.push_back(r.DataString());
    return out;
}

} // namespace

// For any bytes: read, write, read gives the first read's records byte for
// byte, or the first read said the file is damaged and kept it as a copy;
// the list files, the rule file and the key store alike.
TEST_F(RecordContract, AnyFileReadWrittenAndReadAgainKeepsItsRecordsOrIsToldAndCopied) {
    FileMaker m(20261210);
    const std::vector<TListCase> lists = ListCases();
    int damaged = 0, whole = 0;
    for (int i = 0; i < 600; ++i) {
        const int kind = i % 6;
        SCOPED_TRACE("file " + std::to_string(i));
        for (const auto& e : fs::directory_iterator(dir))
            fs::remove(e.path());
        if (kind < 4) {
            const TListCase& c = lists[size_t(kind)];
            const std::string text = m.File(SomeRecords(c.File, m));
            Write(c.File, text);
            auto first = Start();
            c.Load(*first);
            const std::vector<std::string> records = c.Records(*first);
            if (!first->Messages.empty()) {
                ++damaged;
                EXPECT_EQ(first->Messages.size(), 1u);
                EXPECT_EQ(Read(std::string(c.File) + ".bak"), text) << first->Messages[0];
            } else {
                ++whole;
            }
            c.Save(*first);
            auto second = Start();
            c.Load(*second);
            EXPECT_TRUE(second->Messages.empty()) << second->Messages[0];
            EXPECT_EQ(c.Records(*second), records);
        } else if (kind == 4) {
            const std::string text = m.File(SomeRecords("hxdst.hxd", m));
            Write("hxdst.hxd", text);
            TDSTRuleFileRead read = ReadDSTRuleFile(Dir() + "hxdst.hxd");
            ASSERT_TRUE(read.Opened);
            const std::vector<std::string> rules = RuleTexts(read.Rules);
            const bool failed = read.Failed;
            failed ? ++damaged : ++whole;
            if (failed) {
                EXPECT_FALSE(KeepDamagedRuleFile(Dir() + "hxdst.hxd").empty());
            }
            std::vector<TDSTRule> list = read.Rules;
            ASSERT_EQ(WriteDSTRuleFile(Dir() + "hxdst.hxd", read, list), TDSTRuleFileWrite::Written);
            const TDSTRuleFileRead again = ReadDSTRuleFile(Dir() + "hxdst.hxd");
            EXPECT_EQ(RuleTexts(again.Rules), rules);
            // What could not be read is kept after the rules, and fails again.
            EXPECT_EQ(again.Failed, failed) << again.Error;
            if (failed) {
                EXPECT_EQ(Read("hxdst.hxd.bak"), text);
            }
        } else {
            std::vector<std::string> lines = {"REGEDIT4", "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Prefs]",
                                              "\"FormWidth\"=dword:00000" + std::to_string(100 + m.Pick(800)),
                                              "\"Server\"=\"time" + std::to_string(m.Pick(9)) + ".example\"",
                                              "[HKEY_CURRENT_USER\\SOFTWARE\\Horolux\\Other]",
                                              "\"Flag\"=hex:01,02,03"};
            const std::string text = m.File(lines);
            TRegTree tree;
            const TRegParseResult first = ParseRegText(text, "HKEY_CURRENT_USER", tree);
            first.BadLines ? ++damaged : ++whole;
            const std::string written = FormatRegText(tree, "HKEY_CURRENT_USER");
            TRegTree back;
            const TRegParseResult second = ParseRegText(written, "HKEY_CURRENT_USER", back);
            EXPECT_EQ(second.BadLines, 0);
            EXPECT_EQ(FormatRegText(back, "HKEY_CURRENT_USER"), written);
        }
    }
    EXPECT_GT(damaged, 60);
    EXPECT_GT(whole, 60);
}

// ------------------------------------------------ faults of the read back

namespace {
using ReadBackFaults = RecordFiles;

std::string Joined(const std::vector<std::string>& lines, const std::string& end) {
    std::string t;
    for (const std::string& l : lines)
        t += l + end;
    return t;
}
} // namespace

// CR-only and mixed line ends lose no rule and no place; a mark or blanks
// before any line, not only the first, are no part of its record.
TEST_F(ReadBackFaults, EveryLineEndAndAMarkOnAnyLineKeepEveryRecord) {
    std::vector<std::string> rules, places;
    for (int i = 0; i < 21; ++i) {
        TDSTRule r;
        r.ReadDataString(std::to_string(i % 8));
        r.Name = "Rule " + std::to_string(i);
        rules.push_back(r.DataString());
        places.push_back(Place("Place " + std::to_string(i)).LocationDataStr('\t'));
    }
    rules[0] = "# the rules\r" + rules[0];
    const std::string mark = "\xEF\xBB\xBF";
    for (const char* end : {"\r", "\n", "\r\n", "mixed"}) {
        SCOPED_TRACE(std::string("end ") + (end[0] == '\r' ? (end[1] ? "CR LF" : "CR") : end[0] == '\n' ? "LF" : end));
        auto join = [&](std::vector<std::string> lines) {
            if (std::string(end) != "mixed") return Joined(lines, end);
            std::string t;
            for (size_t i = 0; i < lines.size(); ++i)
                t += (i % 4 == 1 ? mark : i % 4 == 2 ? " \t" : "") + lines[i] +
                     (i % 3 == 0 ? "\r" : i % 3 == 1 ? "\n" : "\r\n");
            return t;
        };
        Write("hxdst.hxd", join(rules));
        const TDSTRuleFileRead read = ReadDSTRuleFile(Dir() + "hxdst.hxd");
        EXPECT_FALSE(read.Failed) << read.Error;
        ASSERT_EQ(read.Rules.size(), 21u);
        EXPECT_EQ(read.Rules[20].DataString(), rules[20]);

        Write("hxzones.hxd", "# places\r" + join(places));
        auto s = Start();
        s->LoadStandardLocations();
        EXPECT_TRUE(s->Messages.empty()) << s->Messages[0];
        ASSERT_EQ(s->StandardLocations.size(), 21u);
        for (size_t i = 0; i < 21; ++i)
            EXPECT_EQ(s->StandardLocations[i]->LocationDataStr('\t'), places[i]);
    }
}

// What a reader would take only by dropping or changing what the line holds
// is damage, told once and kept as a copy: a rule with fields past the
// fourth (a lone CR that the reader once missed joined two rules), a TAB in
// a rule's name, a type that is no type's name, a comment line too long to
// be one, a rule too long for any place to carry.
TEST_F(ReadBackFaults, ALineReadOnlyByChangingItIsToldAndCopied) {
    const std::string europe = "Europe/L.1.3.60.02:00:00/L.1.10.0.02:00:00/EU";
    const std::string longRule = "Long/L.1.3.60.02:00:00/L.1.10.0.02:00:00/" +
                                 std::string(kMaxRecordLine - 50, 'n');
    for (const std::string& bad : {europe + "/" + europe, std::string("Eu\trope/N.1.1.0.02:00:00/N.1.1.0.02:00:00/"), longRule}) {
        SCOPED_TRACE(bad.substr(0, 60));
        Write("hxdst.hxd", europe + "\r\n" + bad + "\r\n" + europe + "x\r\n");
        const TDSTRuleFileRead read = ReadDSTRuleFile(Dir() + "hxdst.hxd");
        EXPECT_TRUE(read.Failed);
        EXPECT_EQ(read.Rules.size(), 1u);
        EXPECT_EQ(read.UnreadRest, bad + "\r\n" + europe + "x\r\n");
    }
    TDSTRule tooLong;
    tooLong.ReadDataString(longRule);
    const TRecordFault fault = CheckRuleRecord(tooLong);
    EXPECT_TRUE(fault);
    EXPECT_GT(fault.LineLength, kMaxRecordLine);

    TAlarm a;
    a.AlarmTime = 46000.5;
    a.Text = "wake";
    const std::string good = a.DataString('\t');
    std::string nul = good, unknown = good;
    nul.replace(nul.find("Alarm - Normal"), 14, std::string("Alarm - \0ormal", 14));
    unknown.replace(unknown.find("Alarm - Normal"), 14, "Alarm - normal");
    for (const std::string& line : {nul, unknown}) {
        const std::string text = good + "\r\n" + line + "\r\n";
        Write("hxalarms.hxd", text);
        auto s = Start();
        s->LoadAlarms();
        ASSERT_EQ(s->Messages.size(), 1u);
        EXPECT_NE(s->Messages[0].find("written back, the record would not read back as it was read"),
                  std::string::npos)
            << s->Messages[0];
        EXPECT_EQ(s->Alarms.size(), 1u);
        EXPECT_EQ(Read("hxalarms.hxd.bak"), text);
        fs::remove(dir / "hxalarms.hxd.bak");
    }

    // A CR-only file of over 64 KiB beginning with "#" was once one comment.
    const std::string longComment = "# " + std::string(kMaxRecordLine, 'c');
    Write("hxzones.hxd", longComment + "\r\n" + Place("Kept").LocationDataStr('\t') + "\r\n");
    auto s = Start();
    s->LoadStandardLocations();
    ASSERT_EQ(s->Messages.size(), 1u);
    EXPECT_NE(s->Messages[0].find("longer than 64 KiB"), std::string::npos);
    EXPECT_NE(s->Messages[0].find("kept as hxzones.hxd.bak"), std::string::npos);
    EXPECT_EQ(s->StandardLocations.size(), 1u);
}

// A time is stored with the digits it needs to read back as itself, so the
// second shown before a save is the second shown, and rung, after it.
TEST_F(ReadBackFaults, AnAlarmTimeComesBackAsTheSameValue) {
    for (const double t : {46000.000034716446, 46000.5 + 1e-12, 0.1 + 0.2, 46000.999999999993}) {
        TAlarm a;
        a.AlarmTime = t;
        const std::string line = a.DataString('\t');
        TAlarm back;
        back.ParseDataString(line, '\t');
        EXPECT_EQ(back.AlarmTime, t) << line;
        EXPECT_EQ(FormatDateTime("hh:nn:ss.zzz", back.AlarmTime), FormatDateTime("hh:nn:ss.zzz", t));
        EXPECT_FALSE(CheckAlarmRecord(back, TRecordUse::Reload, &line));
    }
    // Where 15 digits are enough the text is what it always was.
    for (const double v : {46000.5, -13.4, 52.00167, 0.0001, 1e-7, 123456789012345.0, 1e20})
        EXPECT_EQ(RecordFloatText(v), FloatToStr(v));
}

// Clearing the sync log while tickmatch has it open to append keeps the
// line it then writes: the log is emptied in place, not removed.
TEST_F(ReadBackFaults, ClearingTheSyncLogKeepsALineWrittenMeanwhile) {
    const std::string path = Dir() + "hxsync.log";
    ASSERT_TRUE(AppendLockedLine(path, "old line\r\n"));
    const int tickmatch = ::open(path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(tickmatch, 0);
    ASSERT_TRUE(ClearLockedLog(path));
    ASSERT_TRUE(WriteAllTo(tickmatch, "new line\r\n"));
    ::close(tickmatch);
    EXPECT_EQ(Read("hxsync.log"), "new line\r\n");
    EXPECT_FALSE(ClearLockedLog(Dir() + "missing.log"));
    EXPECT_FALSE(fs::exists(dir / "missing.log"));
}

// "-readonly" writes none of the list files: the master list taken in place
// of the places replaces them in memory only.
TEST_F(ReadBackFaults, ReadOnlyReplacesThePlacesInMemoryOnly) {
    const std::string mine = Place("Mine").LocationDataStr('\t') + "\r\n";
    const std::string master = Place("Master").LocationDataStr('\t') + "\r\n";
    Write("hxzones.hxd", mine);
    Write("hxzones.new", master);
    auto s = Start();
    s->ReadOnly = true;
    s->Answer = TClockState::TAnswer::No;
    EXPECT_FALSE(s->CheckNewLocations());
    ASSERT_EQ(s->StandardLocations.size(), 1u);
    EXPECT_EQ(s->StandardLocations[0]->Name, "Master");
    EXPECT_EQ(Read("hxzones.hxd"), mine);
    EXPECT_EQ(Read("hxzones.new"), master);
}
