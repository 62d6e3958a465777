// Number-to-text conversion of the plot's labels. The output never depends on the process
// locale: the decimal separator is always '.', the thousands separator ','.
#pragma once

#include <cstdint>
#include <string>

namespace tq50r::plot {

enum class TStringFloatFormat : std::uint8_t {
    sffGeneral,  // shortest of fixed and scientific, at most P significant digits
    sffExponent, // d.dddE+xx with P significant digits, at least D exponent digits
    sffFixed,    // D decimals (scientific when more than P integer digits)
    sffNumber,   // as sffFixed with thousands separators
    sffCurrency, // as sffNumber with D decimals and the currency sign
};

// Limits of the precision (significant digits) and digit count arguments.
inline constexpr int MinFloatPrecision = 1;
inline constexpr int MaxFloatPrecision = 17;
inline constexpr int MaxExponentDigits = 4;
inline constexpr int MaxFixedDigits = 18;
// sffGeneral switches to scientific notation below this magnitude.
inline constexpr double GeneralScientificBelow = 0.00001;
inline constexpr char CurrencySign = '$';

// value as text in the given format with precision (significant digits) and digits.
std::string FloatToText(double value, TStringFloatFormat format, int precision, int digits);

} // namespace tq50r::plot
