#include "platform/rtl/SysUtils.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {
TFormatSettings WithSeparator(char sep) {
    TFormatSettings fs;
    fs.DecimalSeparator = sep;
    return fs;
}
} // namespace

TEST(FloatToStr, GeneralFormat) {
    EXPECT_EQ(FloatToStr(0.0), "0");
    EXPECT_EQ(FloatToStr(-0.0), "0");
    EXPECT_EQ(FloatToStr(1.0), "1");
    EXPECT_EQ(FloatToStr(-1.5), "-1.5");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(FloatToStr(2.0 / 3), "0.666666666666667");
    EXPECT_EQ(FloatToStr(123456789012345.0), "123456789012345");
    EXPECT_EQ(FloatToStr(1e15), "1E15");
    EXPECT_EQ(FloatToStr(1.5e20), "1.5E20");
    EXPECT_EQ(FloatToStr(0.00001), "0.00001");
    EXPECT_EQ(FloatToStr(0.0000099), "9.9E-6");
    EXPECT_EQ(FloatToStr(-2.5e-300), "-2.5E-300");
    EXPECT_EQ(FloatToStr(46364.5), "46364.5");
    EXPECT_EQ(FloatToStr(NAN), "NAN");
    EXPECT_EQ(FloatToStr(-INFINITY), "-INF");
    EXPECT_EQ(FloatToStr(0.0000125, WithSeparator(',')), "0,0000125");
    EXPECT_EQ(FloatToStr(1.5e-7, WithSeparator(',')), "1,5E-7");
}

TEST(FloatToStr, RoundTripsEveryMagnitudeUnderBothSeparators) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    for (const char sep : {'.', ','}) {
        const TFormatSettings fs = WithSeparator(sep);
        for (int e = -307; e <= 307; ++e) {
            for (int k = 0; k < 4; ++k) {
                double v = mantissa(rng) * std::pow(10.0, e);
                if (k % 2) v = -v;
                const std::string text = FloatToStr(v, fs);
                ASSERT_EQ(text.find(sep == '.' ? ',' : '.'), std::string::npos) << text;
                const double back = StrToFloat(text, sep);
                ASSERT_NEAR(back, v, std::fabs(v) * 1e-14) << text;
                // The text is stable: written again it reads the same.
                ASSERT_EQ(FloatToStr(back, fs), text);
            }
        }
        // Values of up to 15 digits come back exactly.
        for (double v : {0.1, 0.2, 0.3, 1.25, 99.99, 46364.0416666667, 123456.789, -0.000123, 1e-5,
                         5.75, 1e300}) {
            EXPECT_EQ(StrToFloat(FloatToStr(v, fs), sep), v);
        }
        // The edges of the double range.
        EXPECT_EQ(StrToFloat(FloatToStr(DBL_MAX, fs), sep), DBL_MAX);
        EXPECT_EQ(StrToFloat(FloatToStr(-DBL_MAX, fs), sep), -DBL_MAX);
        EXPECT_GT(StrToFloat(FloatToStr(DBL_MIN, fs), sep), 0);
        EXPECT_GT(StrToFloat(FloatToStr(4.9e-324, fs), sep), 0);
    }
}

// A record's number is written as the fewest decimals that read back as it
// exactly, whatever the magnitude, however many decimals it was made with.
TEST(RecordFloatText, FewestDecimalsThatReadBackExactly) {
    std::mt19937_64 rng(2027);
    std::vector<double> values = {0.001, 0.00099, 0.1 + 0.2, 1.0 / 3, 52.00167, -4.16528, 5.75,
                                  -12.5, 999999999.999999, 1e9, 123456789012.3456, 0.0001};
    for (int k = 0; k < 20000; ++k) {
        const int decimals = int(rng() % 9);
        const double v = double(int64_t(rng() % 10000000000ULL)) / std::pow(10.0, decimals);
        values.push_back(k % 2 ? -v : v);
    }
    for (const char sep : {'.', ','}) {
        const TFormatSettings fs = WithSeparator(sep);
        for (const double v : values) {
            if (std::fabs(v) < 1e-4) continue; // written with an exponent
            std::string expected;
            for (int d = 0; d <= 17 && expected.empty(); ++d) {
                char buf[64];
                const auto end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d).ptr;
                double back = 0;
                std::from_chars(buf, end, back);
                if (back == v) expected.assign(buf, end);
            }
            std::replace(expected.begin(), expected.end(), '.', sep);
            ASSERT_EQ(RecordFloatText(v, fs), expected) << v;
        }
    }
}

TEST(FloatToStrF, FixedNumberAndExponent) {
    EXPECT_EQ(FloatToStrF(-3.5, TFloatFormat::ffFixed, 15, 2), "-3.50");
    EXPECT_EQ(FloatToStrF(5.75, TFloatFormat::ffFixed, 15, 2, WithSeparator(',')), "5,75");
    EXPECT_EQ(FloatToStrF(1.005, TFloatFormat::ffFixed, 15, 2), "1.01");
    EXPECT_EQ(FloatToStrF(0.125, TFloatFormat::ffFixed, 15, 2), "0.13");
    EXPECT_EQ(FloatToStrF(9.999, TFloatFormat::ffFixed, 15, 2), "10.00");
    EXPECT_EQ(FloatToStrF(-0.001, TFloatFormat::ffFixed, 15, 2), "0.00");
    EXPECT_EQ(FloatToStrF(3.14159, TFloatFormat::ffFixed, 15, 0), "3");
    EXPECT_EQ(FloatToStrF(12.3456, TFloatFormat::ffFixed, 7, 2), "12.35");
    EXPECT_EQ(FloatToStrF(123456789.0, TFloatFormat::ffFixed, 7, 2), "1.234568E8");
    EXPECT_EQ(FloatToStrF(1234567.891, TFloatFormat::ffNumber, 15, 2), "1,234,567.89");
    EXPECT_EQ(FloatToStrF(12345.678, TFloatFormat::ffExponent, 6, 2), "1.23457E+04");
    EXPECT_EQ(FloatToStrF(-0.00012, TFloatFormat::ffExponent, 3, 0), "-1.20E-4");
    EXPECT_EQ(FloatToStrF(INFINITY, TFloatFormat::ffFixed, 15, 2), "INF");
}

TEST(Integers, FormatRoundAndTrunc) {
    EXPECT_EQ(IntToStr(-42), "-42");
    EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Format("%5.5d", 31746), "31746");
    EXPECT_EQ(Format("%5.5d", 7), "00007");
    EXPECT_EQ(Format("%s-%d", "x", 3), "x-3");
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
    EXPECT_EQ(Round(-2.6), -3);
    EXPECT_EQ(Round(0.49999999999999994), 0);
    EXPECT_EQ(Trunc(-2.9), -2);
    EXPECT_THROW(Round(NAN), EConvertError);
    EXPECT_THROW(Round(1e19), EConvertError);
    EXPECT_THROW(Trunc(-INFINITY), EConvertError);
}

TEST(StrToInt, StrictDecimal32Bit) {
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt(" -13 "), -13);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("0065280"), 65280);
    for (const char* bad : {"", " ", "-", "+", "2147483648", "-2147483649", "99999999999999999999",
                            "12a", "1 2", "$1F", "0x10", "1.0", "--1", "1e3", "\xEF\xBC\x91"}) {
        SCOPED_TRACE(bad);
        int v = 99;
        EXPECT_FALSE(TryStrToInt(bad, v));
        EXPECT_EQ(v, 99);
        EXPECT_EQ(StrToIntDef(bad, -5), -5);
        EXPECT_THROW(StrToInt(bad), EConvertError);
    }
    try {
        StrToInt("abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'abc' is not a valid integer value");
    }
}

TEST(StrToFloat, GrammarAndSeparator) {
    EXPECT_EQ(StrToFloat(" 1.5 "), 1.5);
    EXPECT_EQ(StrToFloat("-.5"), -0.5);
    EXPECT_EQ(StrToFloat("5."), 5.0);
    EXPECT_EQ(StrToFloat("+1e3"), 1000.0);
    EXPECT_EQ(StrToFloat("2.5E-3"), 0.0025);
    EXPECT_EQ(StrToFloat("1,5", ','), 1.5);
    EXPECT_EQ(StrToFloat("1e-400"), 0.0); // underflow reads as zero
    double v = 7;
    for (const char* bad : {"", " ", ".", "-", "1e", "1e+", "e5", "nan", "NaN", "inf", "-Infinity",
                            "0x1p3", "1.5.2", "1 5", "1e400", "1,5", "12abc"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TryStrToFloat(bad, v, '.'));
        EXPECT_THROW(StrToFloat(bad, '.'), EConvertError);
    }
    EXPECT_FALSE(TryStrToFloat("1.5", v, ','));
    EXPECT_EQ(v, 7);
    FormatSettings.DecimalSeparator = ',';
    EXPECT_EQ(StrToFloat("2,25"), 2.25);
    EXPECT_THROW(StrToFloat("2.25"), EConvertError);
    ResetFormatSettings();
    try {
        StrToFloat("x1");
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(std::string(e.what()), "'x1' is not a valid floating point value");
    }
}

TEST(Strings, TrimCaseCompareAndPositions) {
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(Trim("\xC3\xA9"), "\xC3\xA9"); // UTF-8 bytes are not blanks
    EXPECT_EQ(UpperCase("abc\xC3\xA9z"), "ABC\xC3\xA9Z");
    EXPECT_EQ(LowerCase("ABC"), "abc");
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_LT(CompareText("ab", "ABC"), 0);
    EXPECT_TRUE(SameText("Paris", "PARIS"));
    EXPECT_GT(CompareStr("a", "B"), 0);
    EXPECT_EQ(Pos("lo", "hello"), 4);
    EXPECT_EQ(Pos("x", "hello"), 0);
    EXPECT_EQ(Pos("", "hello"), 0);
    EXPECT_EQ(Copy("hello", 2, 3), "ell");
    EXPECT_EQ(Copy("hello", 4, 100), "lo");
    EXPECT_EQ(Copy("hello", 6, 1), "");
    EXPECT_EQ(Copy("hello", 0, 2), "he");
    EXPECT_EQ(Copy("hello", 2, -1), "");
}
