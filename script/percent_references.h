// What the command prompt makes of a '%' in a line of the script. The writer asks whether a line
// takes in the script's own path; the checks ask which references may stand in a value.
#pragma once

#include <cstddef>
#include <string_view>

namespace corvane {

enum class PercentReading {
    Literal,        // "%%": one '%'
    Variable,       // "%NAME%": an environment variable's text
    ScriptPath,     // "%~dp0" and the like: the script's own path taken apart, never quoted
    QuotesPossible, // the script's arguments, %CMDCMDLINE%, %PATH% or a variable cut with ':'
    Unpaired,       // no '%' in the text closes it
};

struct PercentReference {
    PercentReading reading;
    std::size_t end;
    bool fromDrive = false; // a part of the script's path that starts with its drive
};

// The reference that starts with the '%' at `at`, and where it ends.
[[nodiscard]] PercentReference readPercent(std::wstring_view text, std::size_t at) noexcept;

// Whether the text takes in a part of the script's own path (%~dp0, %~f0, ...): cmd puts in the
// folder the script runs from, whose name its writer never saw.
[[nodiscard]] bool takesScriptPath(std::wstring_view text) noexcept;

} // namespace corvane
