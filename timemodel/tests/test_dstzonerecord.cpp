#include "timemodel/DST.h"

#include "TimeTestSupport.h"

#include <random>

namespace {

std::vector<uint8_t> Record(int32_t bias, int32_t stdBias, int32_t dltBias, TSystemTime stdDate,
                            TSystemTime dltDate) {
    std::vector<uint8_t> r;
    for (int32_t v : {bias, stdBias, dltBias})
        for (int i = 0; i < 4; ++i) r.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    for (const TSystemTime& st : {stdDate, dltDate})
        for (uint16_t v : {st.wYear, st.wMonth, st.wDayOfWeek, st.wDay, st.wHour, st.wMinute,
                           st.wSecond, st.wMilliseconds}) {
            r.push_back(uint8_t(v));
            r.push_back(uint8_t(v >> 8));
        }
    return r;
}

} // namespace

class DSTZoneRecordTest : public PinnedClockTest {};

TEST_F(DSTZoneRecordTest, DayOfWeekFromName) {
    const std::pair<const char*, int> cases[] = {
        {"Sunday", 1},    {"Monday", 2}, {"Tuesday", 3}, {"Wenesday", 4}, {"Thursday", 5},
        {"Saturday", 7},  {"Wednesday", 0}, {"monday", 0}, {"", 0}, {"15", 0}};
    for (const auto& [name, day] : cases) EXPECT_EQ(DayOfWeekFromName(name), day) << name;
}

TEST_F(DSTZoneRecordTest, EuropeanRuleBytes) {
    TDSTRule r;
    r.ReadDataString("EU/L.1.3.60.02:00:00/L.1.10.0.03:00:00/notes");
    r.Bias = -60;
    const std::vector<uint8_t> expected =
        Record(-60, 0, -60, {0, 10, 0, 5, 3, 0, 0, 0}, {0, 3, 0, 5, 2, 0, 0, 0});
    EXPECT_EQ(r.SaveToTZI(), expected);
    TDSTRule back;
    ASSERT_TRUE(back.LoadFromTZI(expected));
    EXPECT_EQ(back.RuleString(), r.RuleString());
    EXPECT_EQ(back.Bias, -60);
}

TEST_F(DSTZoneRecordTest, SystemTimeCases) {
    // Pinned to 2026: a fixed date carries the current year.
    TDSTEvent fixed;
    fixed.ReadDataString("S.15.4.30.01:30:15");
    TSystemTime st;
    fixed.SaveToSystemTime(st);
    EXPECT_EQ(st, (TSystemTime{2026, 4, 0, 15, 1, 30, 15, 0}));
    TDSTEvent e;
    e.LoadFromSystemTime(st);
    EXPECT_EQ(e.Kind, 6);
    EXPECT_EQ(e.Day, 15);
    EXPECT_EQ(e.Month, 4);
    EXPECT_EQ(FormatTimeOfDay(e.Time), "01:30:15");

    TDSTEvent none;
    none.SaveToSystemTime(st);
    EXPECT_EQ(st, TSystemTime{});

    // Month 0 leaves the event as it was; a wDay outside 1-5 keeps the kind.
    TDSTEvent kept;
    kept.ReadDataString("2.3.11.60.04:00:00");
    const std::string before = kept.DataString();
    kept.LoadFromSystemTime({0, 0, 6, 5, 9, 9, 9, 9});
    EXPECT_EQ(kept.DataString(), before);
    kept.LoadFromSystemTime({0, 7, 6, 9, 1, 0, 0, 0});
    EXPECT_EQ(kept.DataString(), "2.7.7.60.01:00:00");
    kept.LoadFromSystemTime({0, 7, 6, 0, 1, 0, 0, 0});
    EXPECT_EQ(kept.Kind, 2);

    // A zone without daylight saving: a new rule keeps kind none.
    TDSTRule plain;
    ASSERT_TRUE(plain.LoadFromTZI(Record(300, 0, 0, {}, {})));
    EXPECT_EQ(plain.Bias, 300);
    EXPECT_EQ(plain.StartDate.Kind, 0);
    EXPECT_EQ(plain.StopDate.Kind, 0);
    EXPECT_EQ(plain.CurrentBias(At(2026, 7, 1)), 0);
}

TEST_F(DSTZoneRecordTest, ForeignBlobsAndRandomRules) {
    std::mt19937 rng(44);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int i = 0; i < 2000; ++i) {
        // Blobs of any length: only 44 bytes are read, and only when whole.
        std::vector<uint8_t> blob(size_t(pick(0, 100)));
        for (uint8_t& b : blob) b = uint8_t(pick(0, 255));
        if (i % 3 == 0) blob.resize(TZIRecordSize);
        TDSTRule r;
        const std::string before = r.DataString();
        bool loaded = false;
        try {
            loaded = r.LoadFromTZI(blob);
        } catch (const EConvertError&) {
            EXPECT_EQ(r.DataString(), before); // a bad time leaves the rule whole
        }
        if (blob.size() != TZIRecordSize) {
            EXPECT_FALSE(loaded);
            EXPECT_EQ(r.DataString(), before);
        }
        EXPECT_EQ(r.SaveToTZI().size(), TZIRecordSize);

        // Representable rules come back unchanged.
        TDSTRule rule;
        rule.Bias = pick(-900, 900);
        for (TDSTEvent* ev : {&rule.StartDate, &rule.StopDate}) {
            ev->Kind = uint8_t(pick(1, 6));
            ev->Month = pick(1, 12);
            ev->Day = ev->Kind == 6 ? pick(1, 31) : pick(1, 7);
            ev->Bias = pick(-120, 120);
            ev->Time = EncodeTime(pick(0, 23), pick(0, 59), pick(0, 59), 0);
        }
        TDSTRule back;
        ASSERT_TRUE(back.LoadFromTZI(rule.SaveToTZI()));
        ASSERT_EQ(back.DataString(), rule.DataString());
        ASSERT_EQ(back.Bias, rule.Bias);
    }
}
