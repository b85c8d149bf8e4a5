// Whether the command prompt will run a capture script as it was written: no value may carry a
// control character that would end a line or the file, and no line may be longer than the prompt
// reads. The dialog and corvane-script refuse such a script with these findings.
#pragma once

#include "script/capture_script.h"
#include "settings/trace_settings.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The longest batch line, without its CR LF, that the command prompt reads whole; it cuts a
// longer one without a word.
inline constexpr std::size_t kCommandPromptLineLimit = 8191;

// A text value of the settings with the dialog's label for it.
struct ScriptTextValue {
    std::wstring TraceSettings::*field;
    const wchar_t* label;
};

// U+0000 to U+001F except TAB, and U+007F.
[[nodiscard]] bool isRefusedControlCharacter(wchar_t c) noexcept;

struct ControlCharacterFinding {
    const ScriptTextValue* value; // null when it is in a provider name
    std::size_t provider;         // index into the providers, when value is null
    wchar_t character;
};

// The first text value, in the dialog's checking order, then the providers, that holds a refused
// control character. Every value is looked at, also those the script leaves out.
[[nodiscard]] std::optional<ControlCharacterFinding>
findControlCharacter(const TraceSettings& settings);

// "holds a control character (U+000A), which ...": what the finding means, for a message.
[[nodiscard]] std::wstring controlCharacterProblem(wchar_t character);

struct OverlongLine {
    ScriptLine line;
    std::size_t number; // 1-based, as an editor counts
    std::size_t length; // UTF-16 units without the CR LF
};

// The first line longer than the command prompt reads. Lengths are counted in UTF-16 units, so a
// character beyond the BMP counts twice: never less than the prompt counts.
[[nodiscard]] std::optional<OverlongLine> findOverlongLine(std::wstring_view script);

// How many of the selected providers, taken in list order, fit on the user session's line.
[[nodiscard]] std::size_t providersThatFit(const TraceSettings& settings);

// The line in the user's words ("the user session's command line") and what shortens it.
[[nodiscard]] const wchar_t* scriptLineName(ScriptLine line) noexcept;
[[nodiscard]] const wchar_t* scriptLineRemedy(ScriptLine line) noexcept;

// 8921 as "8,921".
[[nodiscard]] std::wstring groupedNumber(std::size_t number);

// The dialog's message when the script would not run as written, or nothing when it would.
[[nodiscard]] std::optional<std::wstring> scriptRefusal(const TraceSettings& settings,
                                                        std::wstring_view script);

} // namespace corvane
