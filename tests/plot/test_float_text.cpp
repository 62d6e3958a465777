#include "plot/core/float_text.h"

#include <gtest/gtest.h>
#include <limits>
#include <locale>
#include <ostream>

namespace tq50r::plot {
namespace {

using F = TStringFloatFormat;

struct Case {
    double value;
    F format;
    int precision;
    int digits;
    const char* text;
};

// Cases are named by the text they expect, so test listings are the same from build to build.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.text;
}

class FloatTextTable : public ::testing::TestWithParam<Case> {};

TEST_P(FloatTextTable, Formats) {
    const Case& c = GetParam();
    EXPECT_EQ(FloatToText(c.value, c.format, c.precision, c.digits), c.text)
        << c.value << " format " << static_cast<int>(c.format) << " P" << c.precision << " D"
        << c.digits;
}

INSTANTIATE_TEST_SUITE_P(
    General, FloatTextTable,
    ::testing::Values(Case{3.14159, F::sffGeneral, 4, 0, "3.142"},
                      Case{1000.0, F::sffGeneral, 4, 0, "1000"},
                      Case{10000.0, F::sffGeneral, 4, 0, "1E4"},      // more than P digits
                      Case{12346.0, F::sffGeneral, 4, 2, "1.235E04"}, // exponent padded to D
                      Case{9.99996, F::sffGeneral, 4, 0, "10"},       // rounding carries
                      Case{-2.50, F::sffGeneral, 4, 0, "-2.5"},       // trailing zeros go
                      Case{0.0, F::sffGeneral, 4, 0, "0"},
                      Case{0.00001234, F::sffGeneral, 4, 0, "0.00001234"},
                      Case{0.000001234, F::sffGeneral, 4, 2, "1.234E-06"}, // below 0.00001
                      Case{3.141592653589793e-100, F::sffGeneral, 4, 4, "3.142E-0100"},
                      Case{3.141592653589793e100, F::sffGeneral, 4, 9, "3.142E0100"}, // D <= 4
                      Case{2.0, F::sffGeneral, 0, 0, "2"})); // precision below 1 counts as 1

INSTANTIATE_TEST_SUITE_P(
    ExponentFixedNumber, FloatTextTable,
    ::testing::Values(Case{1234.5, F::sffExponent, 3, 2, "1.23E+03"},
                      Case{-0.000123, F::sffExponent, 4, 0, "-1.230E-4"},
                      Case{0.0, F::sffExponent, 3, 2, "0.00E+00"},
                      Case{3.14159, F::sffFixed, 15, 2, "3.14"}, Case{2.6, F::sffFixed, 4, 0, "3"},
                      Case{1234.5678, F::sffFixed, 4, 2, "1235.00"}, // P significant digits first
                      Case{-0.001, F::sffFixed, 4, 2, "0.00"},       // no negative zero
                      Case{123456.0, F::sffFixed, 4, 2, "1.235E+05"},
                      Case{1234567.891, F::sffNumber, 15, 2, "1,234,567.89"},
                      Case{-1234.5, F::sffNumber, 6, 1, "-1,234.5"},
                      Case{999.0, F::sffNumber, 6, 0, "999"},
                      Case{1234.5, F::sffCurrency, 15, 2, "$1,234.50"},
                      Case{-12.0, F::sffCurrency, 15, 2, "-$12.00"}));

TEST(FloatText, NotFiniteValues) {
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::quiet_NaN(), F::sffGeneral, 4, 0), "NAN");
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::infinity(), F::sffFixed, 4, 2), "INF");
    EXPECT_EQ(FloatToText(-std::numeric_limits<double>::infinity(), F::sffGeneral, 4, 0), "-INF");
}

// The output must not follow the process locale, whatever its decimal separator.
struct CommaDecimal : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

TEST(FloatText, IgnoresTheLocale) {
    const std::locale previous =
        std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    const auto general = FloatToText(3.25, F::sffGeneral, 4, 0);
    const auto number = FloatToText(1234.5, F::sffNumber, 6, 1);
    std::locale::global(previous);
    EXPECT_EQ(general, "3.25");
    EXPECT_EQ(number, "1,234.5");
}

} // namespace
} // namespace tq50r::plot
