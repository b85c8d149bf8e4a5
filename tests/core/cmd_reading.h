// How cmd.exe reads one line of a batch file and how the called program's C runtime splits the
// command line it receives: what a capture script hands xperf and reg, checked without Windows.
#pragma once

#include "settings/trace_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::testing {

// Percent expansion of a batch line, for a script run without arguments and without any of the
// variables a value names: "%%" gives "%", "%NAME%" and "%1" nothing, an undefined "%NAME:" is
// dropped and the scan goes on behind it, a lone "%" is dropped. Nothing when a malformed "%~"
// makes cmd stop the script.
[[nodiscard]] std::optional<std::wstring> expandPercents(std::wstring_view line);

// The command line that the line's single command receives, its escaping carets removed. Nothing
// when "&", "|", "<" or ">" outside quotes start another command or a redirection, or a final
// caret joins the next line.
[[nodiscard]] std::optional<std::wstring> singleCommand(std::wstring_view expandedLine);

// The argument vector that CommandLineToArgvW and the C runtime make of a command line.
[[nodiscard]] std::vector<std::wstring> splitArguments(std::wstring_view commandLine);

enum class Reading { AsMeant, StopsScript, SplitsCommand, OtherArguments };

struct ScriptReading {
    Reading reading = Reading::AsMeant;
    std::wstring line;             // the first line not read as meant
    bool bareValueEmptied = false; // a bare value's own expansion left nothing of it
};

// Whether every xperf.exe and reg line of the settings' script reaches its program as one command
// with the arguments the settings mean, each value expanded on its own. A line whose value alone
// already stops cmd counts as StopsScript; a bare value that expands to nothing is no argument.
[[nodiscard]] ScriptReading readScript(const TraceSettings& settings, std::wstring_view script);

} // namespace corvane::testing
