#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "globe/core/GlobeUnits.h"

TEST(GlobeUnits, ConversionsAndTexts) {
    EXPECT_EQ(WrapLongitude(972000000), -972000000);
    EXPECT_EQ(WrapLongitude(-972000000), -972000000);
    EXPECT_EQ(WrapLongitude(-972000001), 971999999);
    EXPECT_EQ(WrapLongitude(5LL * 972000000), -972000000);  // several turns still land in range

    EXPECT_EQ(FormatLatLong(-5490000, "%D.%M%N"), "1.01S");
    EXPECT_EQ(FormatLatLong(1999, "%S.%T.%U"), "01.01.249");
    EXPECT_EQ(FormatLatLong(std::numeric_limits<int32_t>::min(), "%D%E"), "397W");
    EXPECT_EQ(FormatLatLong(0, "100%% %x"), "100% x");

    struct { long double deg; int32_t gu; } dec[] = {
        {1.5L, 8100000}, {-0.5L, -2700000}, {0.1L, 540000}, {179.999999L, 971999995},
        {1e30L, INT32_MAX}, {-1e30L, INT32_MIN}, {NAN, 0}};
    for (auto& c : dec)
        EXPECT_EQ(DecimalToGlobeUnits(c.deg), c.gu) << static_cast<double>(c.deg);
    GlobePoint p;
    DecimalLLToPoint(p, 540.0L, 95.0L);  // a longitude past a turn and a latitude past the pole
    EXPECT_EQ(p, (GlobePoint{-972000000, 486000000, 0}));

    EXPECT_EQ(StrToUnits("km"), TGlobeUnits::Kilometer);
    EXPECT_EQ(StrToUnits("t"), TGlobeUnits::Third);
    EXPECT_EQ(StrToUnits(UnitAbbreviation(TGlobeUnits::Thousanth)), TGlobeUnits::GlobeUnit);
    EXPECT_EQ(ToGU(TGlobeUnits::Third, 1), 250);
    EXPECT_EQ(ToGU(TGlobeUnits::Kilometer, 1.852L), 90000);
    EXPECT_EQ(ToGU(TGlobeUnits::Degree, 1e12L), INT32_MAX);
    try {
        StrToUnits("parsec");
        FAIL();
    } catch (const EGlobeException& e) {
        EXPECT_STREQ(e.what(), "StrToUnits: Unknown Unit parsec");
    }
}

TEST(GlobeUnits, ArithmeticNeverWrapsOrPoisons) {
    EXPECT_EQ(Rnd(2.5L), 2);
    EXPECT_EQ(Rnd(3.5L), 4);
    EXPECT_EQ(Rnd(-2.5L), -2);
    EXPECT_EQ(Rnd(1e20L), INT32_MAX);
    EXPECT_EQ(Rnd(NAN), 0);
    EXPECT_EQ(MulDiv(2000000000, 3, 2), INT32_MAX);
    EXPECT_EQ(MulDiv(9, 96, 72), 12);
    EXPECT_EQ(MulDiv(5, 1, 2), 3);
    EXPECT_EQ(MulDiv(-5, 1, 2), -3);
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_FALSE(std::isnan(ArcSinExt(1.0000001L)));
    EXPECT_NEAR(static_cast<double>(ArcSinExt(-1.5L)), -M_PI / 2, 1e-12);
    EXPECT_EQ(Hypot(3, 0), 3);
    EXPECT_NEAR(static_cast<double>(Hypot(3e300L, 4e300L)), 5e300, 1e288);
}

TEST(GlobeUnits, PointListGrowsInSteps) {
    TPoint3DList l;
    std::vector<int> caps;
    for (int i = 0; i < 95; ++i) {
        const int before = l.Capacity();
        l.Add({i, 0, 0});
        if (l.Capacity() != before)
            caps.push_back(l.Capacity());
    }
    EXPECT_EQ(caps, (std::vector<int>{4, 8, 12, 28, 44, 60, 76, 95}));
    EXPECT_THROW(l.SetCapacity(10), EGlobeException);
    EXPECT_THROW(l.SetCapacity(134217728), EGlobeException);
}

TEST(GlobeUnits, Cp1252SurvivesEveryByte) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all += static_cast<char>(c);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");
    EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC\xC3\xA9\xE4\xB8\xAD"), "\x80\xE9?");
}
