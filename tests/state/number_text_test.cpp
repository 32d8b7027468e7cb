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
#include <utility>

namespace ranvik {
namespace {

constexpr double kMax = std::numeric_limits<double>::max();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Shown {
    double value;
    const char* text;
};

TEST(FormatNumber, FifteenSignificantDigitsPlainFrom1eMinus4To1e15AndExponentsBeyond) {
    for (const Shown c :
         {Shown{0.1, "0.1"}, Shown{1.0 / 3.0, "0.333333333333333"},
          Shown{2.0 / 3.0, "0.666666666666667"}, Shown{0.1 + 0.2, "0.3"}, Shown{-56.1, "-56.1"},
          Shown{100.0, "100"}, Shown{557123.25, "557123.25"},
          Shown{12345678901234.56, "12345678901234.6"}, Shown{0.0, "0"}, Shown{-0.0, "0"},
          Shown{0.0001, "0.0001"}, Shown{0.00012345, "0.00012345"}, Shown{1e-5, "1E-05"},
          Shown{1.5e-7, "1.5E-07"}, Shown{-2.25e-12, "-2.25E-12"}, Shown{1e-100, "1E-100"},
          Shown{999999999999999.0, "999999999999999"}, Shown{1e15, "1E+15"},
          Shown{123456789012345678.0, "1.23456789012346E+17"}, Shown{kMax, "1.79769313486232E+308"},
          // Rounding at the fifteenth digit can change the form: up to 1E+15, or up to
          // 0.0001, which is written plainly.
          Shown{999999999999999.9, "1E+15"}, Shown{0.00009999999999999999, "0.0001"},
          Shown{0.123456789012345678, "0.123456789012346"},
          Shown{std::numeric_limits<double>::quiet_NaN(), "NaN"}, Shown{kInf, "Infinity"},
          Shown{-kInf, "-Infinity"}}) {
        EXPECT_EQ(FormatNumber(c.value), c.text);
    }
}

struct Rounded {
    double value;
    int decimals;
    double rounded;
};

TEST(RoundHalfEven, HalvesGoToTheEvenDigitAtNineThreeAndNoDecimals) {
    // 1.5e-9, 2.5e-9 and 3.5e-9 scale to exact halves; 2.0000000025 is stored a little above
    // the half and so rounds up; a northing has no fraction left to round at nine decimals.
    for (const Rounded c :
         {Rounded{1.5e-9, 9, 2e-9}, Rounded{2.5e-9, 9, 2e-9}, Rounded{3.5e-9, 9, 4e-9},
          Rounded{-2.5e-9, 9, -2e-9}, Rounded{0.1234567885, 9, 0.123456788},
          Rounded{2.0000000025, 9, 2.000000003}, Rounded{0.0000001234567891, 9, 1.23e-7},
          Rounded{4e-10, 9, 0.0}, Rounded{557000.123456789123, 9, 557000.123456789},
          Rounded{5424000.123456789, 9, 5424000.123456789}, Rounded{12.3456, 3, 12.346},
          Rounded{-56.1, 3, -56.1}, Rounded{0.0004, 3, 0.0}, Rounded{0.5, 0, 0.0},
          Rounded{1.5, 0, 2.0}, Rounded{2.5, 0, 2.0}}) {
        EXPECT_EQ(RoundHalfEven(c.value, c.decimals), c.rounded) << c.value;
    }
    EXPECT_EQ(FormatNumber(RoundHalfEven(0.0000001234567891, 9)), "1.23E-07");
    EXPECT_EQ(FormatNumber(RoundHalfEven(4e-10, 9)), "0");
}

TEST(ParseNumber, ReadsDecimalAndExponentTextAndRejectsWhatIsNotAFiniteNumber) {
    const std::pair<const char*, double> cases[] = {
        {"42", 42.0}, {" -56.1 ", -56.1}, {"+3.5", 3.5}, {"1.5E-07", 1.5e-7}, {".25", 0.25}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseNumber(text), value) << text;
    }
    EXPECT_EQ(ParseNumber(FormatNumber(1.0 / 3.0)), 0.333333333333333);
    for (const char* text :
         {"", "  ", "abc", "12,5", "1.2.3", "nan", "inf", "1e999", "+-1", "--1", "0x10", "12 34"}) {
        EXPECT_FALSE(ParseNumber(text).has_value()) << '"' << text << '"';
    }
    EXPECT_EQ(AsShown(1.0 / 3.0), 0.333333333333333);
    EXPECT_EQ(AsShown(80.43961234567891234), 80.4396123456789);
    EXPECT_EQ(AsShown(0.5), 0.5);
}

// True when `t` has the form -?(0|[1-9][0-9]*)(\.[0-9]*[1-9])?(E[+-][0-9]{2,3})?.
bool HasNumberForm(const std::string& t) {
    const auto digit = [&](std::size_t i) { return i < t.size() && t[i] >= '0' && t[i] <= '9'; };
    std::size_t i = t.starts_with('-') ? 1 : 0;
    if (!digit(i)) {
        return false;
    }
    if (t[i++] != '0') {
        while (digit(i)) {
            ++i;
        }
    }
    if (i < t.size() && t[i] == '.') {
        const std::size_t first = ++i;
        while (digit(i)) {
            ++i;
        }
        if (i == first || t[i - 1] == '0') {
            return false;
        }
    }
    if (i < t.size() && t[i] == 'E') {
        if (++i >= t.size() || (t[i] != '+' && t[i] != '-')) {
            return false;
        }
        const std::size_t first = ++i;
        while (digit(i)) {
            ++i;
        }
        if (i - first < 2 || i - first > 3) {
            return false;
        }
    }
    return i == t.size();
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
