// The script's bytes in a Windows code page off Windows, through the C library's iconv.
#pragma once

#include <string>

namespace corvane {

enum class IconvConversion {
    Ok,
    Unrepresentable,
    UnknownCodePage,
    AsciiChanged, // the code page does not write ASCII as it is
};

// The iconv name of a Windows code page: "UTF-8" for 65001, otherwise "CP" and the number.
[[nodiscard]] std::string iconvNameOfCodePage(unsigned codePage);

// UTF-8 text into the code page, exactly or not at all: no transliteration, no replacement
// characters, and each character only as bytes that Windows reads back as that one character.
// iconv's code page 932 turns U+00A5 into 0x5C, a backslash; its 1258 writes a Vietnamese letter
// as a base letter and a combining mark, which Windows reads as two characters. `bytes` is empty
// unless the result is Ok.
[[nodiscard]] IconvConversion utf8ToCodePage(const std::string& utf8, unsigned codePage,
                                             std::string& bytes);

// The way back, for a script read again: Unrepresentable, with `utf8` empty, when the bytes are
// not text in the code page.
[[nodiscard]] IconvConversion codePageToUtf8(const std::string& bytes, unsigned codePage,
                                             std::string& utf8);

} // namespace corvane
