// UTF-8 to and from the program's UTF-16 (Windows) or UTF-32 (elsewhere) wide text.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Strict: false, with `text` unspecified, for any byte sequence that is not well-formed UTF-8
// (overlong forms, encoded surrogates and values above U+10FFFF included).
[[nodiscard]] bool fromUtf8(std::string_view bytes, std::wstring& text);

// Every character encoded; a lone surrogate, which has no UTF-8 form, becomes U+FFFD.
[[nodiscard]] std::string toUtf8(std::wstring_view text);

[[nodiscard]] bool isAscii(std::wstring_view text) noexcept;

} // namespace corvane
