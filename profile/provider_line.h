// The value of a profile's `provider` line: a name as it stands or in double quotes, or a name in
// double quotes followed by what to enable of it, such as
//     "Microsoft-Windows-DxgKrnl" keywords=0xFFFF level=5 stack=off
// A name may hold blanks and '=' ("Acme Tool v=2"), but never a double quote, which the script
// could not carry; so the closing quote always ends the name. The script's checks refuse ':'
// and '+', which xperf would split the name at.
#pragma once

#include "settings/trace_settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

struct ProviderLine {
    std::wstring name;
    std::optional<ProviderOptions> options; // only in the form with options
};

// `value` with the blanks at its ends removed. false with the reason, for a message that names
// the line, when the options cannot be read.
[[nodiscard]] bool readProviderLine(std::wstring_view value, ProviderLine& line,
                                    std::wstring& error);

// The forms, as the template shows them in its comments.
[[nodiscard]] const wchar_t* providerLineHelp() noexcept;

} // namespace corvane
