// Numbers as the settings, the script and the WPR profile write them: decimal, zero-padded to a
// least number of digits where asked (like "%0Nu"), and hexadecimal digits in lower case, without
// the C runtime's locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvane {

inline void appendDecimal(std::wstring& out, std::uint64_t value, std::size_t minDigits = 1) {
    wchar_t digits[20];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10U);
        value /= 10U;
    } while (value != 0U);
    for (std::size_t i = count; i < minDigits; ++i) {
        out.push_back(L'0');
    }
    while (count > 0) {
        out.push_back(digits[--count]);
    }
}

inline void appendHexDigits(std::wstring& out, std::uint64_t value) {
    constexpr wchar_t kHexDigits[] = L"0123456789abcdef";
    wchar_t digits[16];
    std::size_t count = 0;
    do {
        digits[count++] = kHexDigits[value & 0xFU];
        value >>= 4;
    } while (value != 0U);
    while (count > 0) {
        out.push_back(digits[--count]);
    }
}

} // namespace corvane
