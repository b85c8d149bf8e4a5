// cmd.exe finds the commands of a script by their ASCII letters, digits and signs, so a code page
// can carry a script only when it writes each ASCII character as that same byte. EBCDIC code
// pages (500, 1026, 1140 and others) do not, nor does UTF-7 with its '+' and '~'.
#pragma once

#include <cstddef>
#include <string>

namespace corvane {

inline constexpr std::size_t kAsciiCount = 128;

// Every ASCII character, U+0000 to U+007F, in order.
[[nodiscard]] inline std::wstring asciiCharacters() {
    std::wstring characters(kAsciiCount, L'\0');
    for (std::size_t i = 0; i < kAsciiCount; ++i) {
        characters[i] = static_cast<wchar_t>(i);
    }
    return characters;
}

// Whether `bytes`, what a code page made of asciiCharacters(), are those characters unchanged.
[[nodiscard]] inline bool keepsAscii(const std::string& bytes) noexcept {
    if (bytes.size() != kAsciiCount) {
        return false;
    }
    for (std::size_t i = 0; i < kAsciiCount; ++i) {
        if (static_cast<unsigned char>(bytes[i]) != i) {
            return false;
        }
    }
    return true;
}

} // namespace corvane
