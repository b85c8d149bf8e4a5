// How cmd.exe reads one line of a batch file and how the called program's C runtime splits the
// command line it receives: what a capture script hands xperf and reg, checked without Windows.
// The prompt need not be clean: its variables may hold quotes and operators, delayed expansion
// may be on, and it may read the bytes in another code page (chcp) than they were written in.
#pragma once

#include "settings/trace_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::testing {

struct Prompt {
    std::vector<std::wstring> variables; // "NAME=text", names in upper case
    std::wstring scriptPath;             // what %~f0 gives
    bool delayedExpansion = false;       // the DelayedExpansion registry value, or cmd /V:ON
    unsigned written = 0, read = 0;      // the script's code page and the prompt's; 0: UTF-16
};

// Variables that end quotes and start commands, and a script whose name starts with '-'.
[[nodiscard]] Prompt hostilePrompt(bool delayedExpansion, unsigned written, unsigned read);

// The text in a code page exactly, or nothing. Reading bytes back, a bad sequence gives U+FFFD,
// and the first byte of a double-byte character takes the next byte along whatever it is.
[[nodiscard]] std::optional<std::string> encodeIn(std::wstring_view text, unsigned codePage);
[[nodiscard]] std::wstring decodeIn(std::string_view bytes, unsigned codePage);

// Percent expansion of a batch line, for a script run without arguments: "%%" gives "%",
// "%NAME%" the variable's text or nothing, "%1" nothing, "%~dp0" the script's folder, an undefined
// "%NAME:" is dropped and the scan goes on behind it, a lone "%" is dropped. Nothing when a
// malformed "%~" makes cmd stop the script.
[[nodiscard]] std::optional<std::wstring> expandPercents(std::wstring_view line,
                                                         const Prompt& prompt = {});

// The command line that the line's single command receives, its escaping carets removed. Nothing
// when "&", "|", "<" or ">" outside quotes start another command or a redirection, or a final
// caret joins the next line.
[[nodiscard]] std::optional<std::wstring> singleCommand(std::wstring_view expandedLine);

// The argument vector that CommandLineToArgvW and the C runtime make of a command line.
[[nodiscard]] std::vector<std::wstring> splitArguments(std::wstring_view commandLine);

// OtherProviders: xperf, which splits its provider list at '+' and each entry at ':' and takes
// names without regard to case, would enable other providers than the arguments name.
enum class Reading { AsMeant, StopsScript, SplitsCommand, OtherArguments, OtherProviders };

struct ScriptReading {
    Reading reading = Reading::AsMeant;
    std::wstring line;             // the first line not read as meant
    bool bareValueEmptied = false; // a bare value's own expansion left nothing of it
    bool optionFromValue = false;  // an argument that starts with a value starts with '-'
};

// Whether every xperf.exe and reg line of the settings' script reaches its program as one command
// with the arguments the settings mean, each value expanded on its own and each argument's bytes
// read back in the prompt's code page, after delayed expansion where it is on; an argument that
// starts with a value must not start with '-'. A line whose value alone already stops cmd counts
// as StopsScript; a bare value that expands to nothing is no argument.
[[nodiscard]] ScriptReading readScript(const TraceSettings& settings, std::wstring_view script,
                                       const Prompt& prompt = {});

} // namespace corvane::testing
