// Hexadecimal digits as the protocol library writes and reads them (MAC texts,
// preset lines). Locale-independent; used inside this library only.
#pragma once

#include <cstdint>
#include <string>

namespace tq50r::protocol::hex {

inline constexpr unsigned Base = 16;

// Appends the two upper-case hexadecimal digits of `byte`.
inline void appendByte(std::string& text, std::uint8_t byte) {
    constexpr char Digits[] = "0123456789ABCDEF";
    constexpr unsigned NibbleBits = 4;
    constexpr unsigned NibbleMask = 0x0F;
    text.push_back(Digits[byte >> NibbleBits]);
    text.push_back(Digits[byte & NibbleMask]);
}

// The value of a hexadecimal digit of either case; -1 for any other character.
inline int digitValue(char c) {
    constexpr int DecimalDigits = 10;
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + DecimalDigits;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + DecimalDigits;
    }
    return -1;
}

} // namespace tq50r::protocol::hex
