// What the programs that write capture scripts tell the user when a script cannot be written as
// it is: the dialog in a message box, corvane-script on standard error.
#pragma once

namespace corvane {

inline constexpr wchar_t kUnrepresentableScriptMessage[] =
    L"The script contains characters that the command prompt's code page cannot represent.";

} // namespace corvane
