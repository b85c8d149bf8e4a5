// Text from outside (a file's line, a value, a key, a path) as a message shows it: a terminal or a
// message box must never receive a character that moves the cursor, clears the screen or turns
// the text around, or the message could be made to say something else.
#pragma once

#include <string>
#include <string_view>

namespace corvane {

// Whether `c` would act on the terminal or the text's direction rather than show: C0, DEL, C1
// and the bidirectional controls. Tab acts too, as it can hide what stands after it.
[[nodiscard]] bool isHiddenCharacter(wchar_t c) noexcept;

// `text` with each such character written out: "\t", "\x1b", "\x7f", "U+009B", "U+202E".
[[nodiscard]] std::wstring visibleText(std::wstring_view text);

} // namespace corvane
