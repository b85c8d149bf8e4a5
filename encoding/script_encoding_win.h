// The bytes of a capture script: cmd.exe reads a batch file in the console's code page, which by
// default is the OEM code page, so the script is written in that one and not in the ANSI one.
#pragma once

#include <string>

namespace corvane {

enum class CodePageConversion { Ok, Unrepresentable, Unsupported, ChangesAscii };

// The code page a newly opened console uses, and so the one cmd.exe reads the script with: the
// OEM code page, 65001 when the system uses UTF-8 throughout.
[[nodiscard]] unsigned scriptCodePage() noexcept;

// Converts exactly or not at all: Unrepresentable, with `bytes` empty, when any character (an
// unpaired surrogate included) has no exact counterpart in the code page; Unsupported when the
// platform cannot convert to that code page; ChangesAscii for a code page that does not write ASCII
// as ASCII, which cmd.exe cannot read a script in. No best fit, no byte-order mark, no terminating
// NUL.
[[nodiscard]] CodePageConversion toCodePage(const std::wstring& text, unsigned codePage,
                                            std::string& bytes) noexcept;

// The way back, for a script read again: Unrepresentable, with `text` empty, when the bytes are
// not text in the code page.
[[nodiscard]] CodePageConversion fromCodePage(const std::string& bytes, unsigned codePage,
                                              std::wstring& text) noexcept;

} // namespace corvane
