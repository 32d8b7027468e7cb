#include "state/number_text.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace ranvik {
namespace {

TEST(FormatNumber, WritesShortestTextOfFifteenSignificantDigits) {
    EXPECT_EQ(FormatNumber(0.1), "0.1");
    EXPECT_EQ(FormatNumber(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatNumber(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(FormatNumber(0.1 + 0.2), "0.3");
    EXPECT_EQ(FormatNumber(-56.1), "-56.1");
    EXPECT_EQ(FormatNumber(100.0), "100");
    EXPECT_EQ(FormatNumber(557123.25), "557123.25");
    EXPECT_EQ(FormatNumber(12345678901234.56), "12345678901234.6");
    EXPECT_EQ(FormatNumber(0.0), "0");
    EXPECT_EQ(FormatNumber(-0.0), "0");
}

TEST(FormatNumber, ExponentFormBelowOneTenThousandthAndFromTenToTheFifteenth) {
    EXPECT_EQ(FormatNumber(0.0001), "0.0001");
    EXPECT_EQ(FormatNumber(0.00012345), "0.00012345");
    EXPECT_EQ(FormatNumber(1e-5), "1E-05");
    EXPECT_EQ(FormatNumber(1.5e-7), "1.5E-07");
    EXPECT_EQ(FormatNumber(-2.25e-12), "-2.25E-12");
    EXPECT_EQ(FormatNumber(1e-100), "1E-100");
    EXPECT_EQ(FormatNumber(999999999999999.0), "999999999999999");
    EXPECT_EQ(FormatNumber(1e15), "1E+15");
    EXPECT_EQ(FormatNumber(123456789012345678.0), "1.23456789012346E+17");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::max()), "1.79769313486232E+308");
}

TEST(FormatNumber, RoundingAtTheFifteenthDigitCanChangeTheForm) {
    // 999999999999999.9 has sixteen significant digits; fifteen round it up to 1E+15.
    EXPECT_EQ(FormatNumber(999999999999999.9), "1E+15");
    // Just below 0.0001, fifteen digits round up to 0.0001, which is written plainly.
    EXPECT_EQ(FormatNumber(0.00009999999999999999), "0.0001");
    EXPECT_EQ(FormatNumber(0.123456789012345678), "0.123456789012346");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(FormatNumber(std::numeric_limits<double>::infinity()), "Infinity");
    EXPECT_EQ(FormatNumber(-std::numeric_limits<double>::infinity()), "-Infinity");
}

TEST(RoundHalfEven, NineDecimalsRoundHalvesToTheEvenDigit) {
    // 1.5e-9, 2.5e-9 and 3.5e-9 scale to exact halves.
    EXPECT_EQ(RoundHalfEven(1.5e-9, 9), 2e-9);
    EXPECT_EQ(RoundHalfEven(2.5e-9, 9), 2e-9);
    EXPECT_EQ(RoundHalfEven(3.5e-9, 9), 4e-9);
    EXPECT_EQ(RoundHalfEven(0.1234567885, 9), 0.123456788);
    EXPECT_EQ(RoundHalfEven(-2.5e-9, 9), -2e-9);
    // 2.0000000025 is stored a little above the half and so rounds up.
    EXPECT_EQ(RoundHalfEven(2.0000000025, 9), 2.000000003);
}

TEST(RoundHalfEven, GridProbabilityKeepsNineDecimals) {
    const double rounded = RoundHalfEven(0.0000001234567891, 9);
    EXPECT_EQ(rounded, 1.23e-7);
    EXPECT_EQ(FormatNumber(rounded), "1.23E-07");
    EXPECT_EQ(FormatNumber(RoundHalfEven(4e-10, 9)), "0");
    EXPECT_EQ(FormatNumber(RoundHalfEven(557000.123456789123, 9)), "557000.123456789");
}

TEST(RoundHalfEven, ThreeDecimalsForTheComparisonTable) {
    EXPECT_EQ(FormatNumber(RoundHalfEven(12.3456, 3)), "12.346");
    EXPECT_EQ(FormatNumber(RoundHalfEven(-56.1, 3)), "-56.1");
    EXPECT_EQ(FormatNumber(RoundHalfEven(0.0004, 3)), "0");
    EXPECT_EQ(RoundHalfEven(0.5, 0), 0.0);
    EXPECT_EQ(RoundHalfEven(1.5, 0), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5, 0), 2.0);
    // A northing has no fraction left to round at nine decimals.
    EXPECT_EQ(RoundHalfEven(5424000.123456789, 9), 5424000.123456789);
}

TEST(ParseNumber, ReadsPlainDecimalAndExponentText) {
    EXPECT_EQ(ParseNumber("42"), 42.0);
    EXPECT_EQ(ParseNumber(" -56.1 "), -56.1);
    EXPECT_EQ(ParseNumber("+3.5"), 3.5);
    EXPECT_EQ(ParseNumber("1.5E-07"), 1.5e-7);
    EXPECT_EQ(ParseNumber(".25"), 0.25);
    EXPECT_EQ(ParseNumber(FormatNumber(1.0 / 3.0)), 0.333333333333333);
}

TEST(AsShown, IsTheValueToFifteenSignificantDigits) {
    EXPECT_EQ(AsShown(1.0 / 3.0), 0.333333333333333);
    EXPECT_EQ(AsShown(80.43961234567891234), 80.4396123456789);
    EXPECT_EQ(AsShown(0.5), 0.5);
}

TEST(ParseNumber, RejectsTextThatIsNotAFiniteNumber) {
    for (const char* text :
         {"", "  ", "abc", "12,5", "1.2.3", "nan", "inf", "1e999", "+-1", "--1", "0x10", "12 34"}) {
        EXPECT_FALSE(ParseNumber(text).has_value()) << '"' << text << '"';
    }
}

// -?(0|[1-9][0-9]*)(.[0-9]*[1-9])?(E[+-][0-9]{2,3})?: the documented form of the number text.
bool HasNumberForm(const std::string& text) {
    std::size_t i = text.starts_with('-') ? 1 : 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    const std::size_t whole_start = i;
    const std::size_t whole = digits();
    if (whole == 0 || (whole > 1 && text[whole_start] == '0')) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (digits() == 0 || text[i - 1] == '0') {
            return false;
        }
    }
    if (i < text.size() && text[i] == 'E') {
        ++i;
        if (i >= text.size() || (text[i] != '+' && text[i] != '-')) {
            return false;
        }
        ++i;
        const std::size_t exponent = digits();
        if (exponent < 2 || exponent > 3) {
            return false;
        }
    }
    return i == text.size();
}

// Random bit patterns cover every exponent, subnormals and both zeros: the text always reads
// back as the value rounded to 15 significant digits, and has the documented form.
TEST(FormatNumber, AnyDoubleReadsBackAsItsFifteenDigitValue) {
    std::mt19937_64 random(2026);
    for (int i = 0; i < 200'000; ++i) {
        const double value = std::bit_cast<double>(random());
        if (!std::isfinite(value)) {
            continue;
        }
        const std::string text = FormatNumber(value);
        ASSERT_TRUE(HasNumberForm(text)) << text;
        // The C library's own 15-digit rounding (this program never changes its locale).
        std::array<char, 40> reference{};
        std::snprintf(reference.data(), reference.size(), "%.15g", value);
        const double expected = std::strtod(reference.data(), nullptr);
        const auto parsed = ParseNumber(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        ASSERT_EQ(*parsed, expected == 0.0 ? 0.0 : expected) << text;
    }
}

} // namespace
} // namespace ranvik
