#include "plot/core/float_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tq50r::plot {

namespace {

// A finite non-zero value rounded to a number of significant digits: value = 0.d1d2d3... x
// 10^(exp+1), that is d1.d2d3... x 10^exp.
struct Decimal {
    bool negative = false;
    std::string digits; // significant digits, no leading zero, trailing zeros kept
    int exponent = 0;   // power of ten of the first digit
};

Decimal toDecimal(double value, int precision) {
    Decimal d;
    d.negative = std::signbit(value);
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(value),
                                   std::chars_format::scientific, precision - 1);
    const std::string text(buf.data(), res.ptr);
    const auto ePos = text.find('e');
    for (std::size_t i = 0; i < ePos; ++i) {
        if (text[i] != '.') {
            d.digits.push_back(text[i]);
        }
    }
    d.exponent = std::atoi(text.c_str() + ePos + 1);
    return d;
}

std::string stripTrailingZeros(std::string s) {
    while (!s.empty() && s.back() == '0') {
        s.pop_back();
    }
    return s;
}

std::string exponentText(int exponent, int minDigits, bool alwaysSign) {
    std::string e = "E";
    if (exponent < 0) {
        e.push_back('-');
    } else if (alwaysSign) {
        e.push_back('+');
    }
    std::string mag = std::to_string(std::abs(exponent));
    if (static_cast<int>(mag.size()) < minDigits) {
        mag.insert(0, static_cast<std::size_t>(minDigits) - mag.size(), '0');
    }
    return e + mag;
}

// d1.d2d3...E<exp>; trailing zeros of the mantissa removed when trim is set.
std::string scientific(const Decimal& d, int expDigits, bool alwaysSign, bool trim) {
    std::string frac = d.digits.substr(1);
    if (trim) {
        frac = stripTrailingZeros(frac);
    }
    std::string s = d.negative ? "-" : "";
    s += d.digits.front();
    if (!frac.empty()) {
        s += '.';
        s += frac;
    }
    return s + exponentText(d.exponent, expDigits, alwaysSign);
}

// The integer and fraction digit strings of a rounded decimal.
void splitFixed(const Decimal& d, std::string& intPart, std::string& fracPart) {
    if (d.exponent >= 0) {
        std::string digits = d.digits;
        const auto intLen = static_cast<std::size_t>(d.exponent) + 1;
        if (digits.size() < intLen) {
            digits.append(intLen - digits.size(), '0');
        }
        intPart = digits.substr(0, intLen);
        fracPart = digits.substr(intLen);
    } else {
        intPart = "0";
        fracPart = std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
    }
}

std::string groupThousands(const std::string& intPart) {
    std::string out;
    const auto n = intPart.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) {
            out.push_back(',');
        }
        out.push_back(intPart[i]);
    }
    return out;
}

// Fixed notation with exactly `decimals` decimals of a value already rounded to its significant
// digits (the remaining places are zero or rounded once more at `decimals`).
std::string fixedText(double value, int precision, int decimals, bool thousands) {
    Decimal d = toDecimal(value, precision);
    // Round the significant-digit value again to the requested decimals.
    std::string intPart;
    std::string fracPart;
    const std::string rounded = (d.negative ? "-" : "") + d.digits.substr(0, 1) + "." +
                                d.digits.substr(1) + "e" + std::to_string(d.exponent);
    double r = 0.0;
    std::from_chars(rounded.data(), rounded.data() + rounded.size(), r);
    std::array<char, 400> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), std::fabs(r),
                                   std::chars_format::fixed, decimals);
    std::string text(buf.data(), res.ptr);
    const auto dot = text.find('.');
    intPart = text.substr(0, dot);
    fracPart = dot == std::string::npos ? "" : text.substr(dot + 1);
    const bool allZero =
        std::all_of(text.begin(), text.end(), [](char c) { return c == '0' || c == '.'; });
    std::string s = (d.negative && !allZero) ? "-" : "";
    s += thousands ? groupThousands(intPart) : intPart;
    if (decimals > 0) {
        s += '.';
        s += fracPart;
    }
    return s;
}

} // namespace

std::string FloatToText(double value, TStringFloatFormat format, int precision, int digits) {
    precision = std::clamp(precision, MinFloatPrecision, MaxFloatPrecision);
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    const int expDigits = std::clamp(digits, 0, MaxExponentDigits);
    const int decimals = std::clamp(digits, 0, MaxFixedDigits);

    if (format == TStringFloatFormat::sffExponent) {
        if (value == 0.0) {
            value = 0.0; // no negative zero
        }
        return scientific(toDecimal(value, precision), expDigits, true, false);
    }

    if (value == 0.0) {
        if (format == TStringFloatFormat::sffGeneral) {
            return "0";
        }
        value = 0.0;
    }
    const Decimal d = toDecimal(value, precision);
    const bool tooManyIntegerDigits = d.exponent >= precision;

    switch (format) {
    case TStringFloatFormat::sffGeneral: {
        if (tooManyIntegerDigits || std::fabs(value) < GeneralScientificBelow) {
            return scientific(d, expDigits, false, true);
        }
        std::string intPart;
        std::string fracPart;
        splitFixed(d, intPart, fracPart);
        fracPart = stripTrailingZeros(fracPart);
        std::string s = d.negative ? "-" : "";
        s += intPart;
        if (!fracPart.empty()) {
            s += '.';
            s += fracPart;
        }
        return s;
    }
    case TStringFloatFormat::sffFixed:
    case TStringFloatFormat::sffNumber:
    case TStringFloatFormat::sffCurrency: {
        if (tooManyIntegerDigits) {
            return scientific(d, expDigits, true, false);
        }
        const bool thousands = format != TStringFloatFormat::sffFixed;
        std::string s = fixedText(value, precision, decimals, thousands);
        if (format == TStringFloatFormat::sffCurrency) {
            if (!s.empty() && s.front() == '-') {
                return std::string("-") + CurrencySign + s.substr(1);
            }
            return CurrencySign + s;
        }
        return s;
    }
    case TStringFloatFormat::sffExponent:
        break;
    }
    return scientific(d, expDigits, true, false);
}

} // namespace tq50r::plot
