// How cmd.exe reads one line of a batch file and how the called program's C runtime splits the
// command line it receives: what a capture script hands xperf and reg, checked without Windows.
// The prompt need not be clean: its variables may hold quotes and operators, delayed expansion
// may be on, and it may read the file's bytes in another code page than they were written in.
#pragma once

#include "settings/trace_settings.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::testing {

// What the prompt that runs the script brings to it.
struct Prompt {
    std::vector<std::pair<std::wstring, std::wstring>> variables; // names match without case
    std::wstring scriptPath;       // the script's full path, what %~f0 gives
    bool delayedExpansion = false; // the DelayedExpansion registry value, or cmd /V:ON
};

// A prompt an attacker has prepared: variables that end quotes and start commands, a script
// whose name starts with '-', and delayed expansion on or off.
[[nodiscard]] Prompt hostilePrompt(bool delayedExpansion);

// The code page the script's bytes were written in, and the one the prompt reads them in (chcp);
// 0 for both: the UTF-16 text as it is.
struct CodePages {
    unsigned written = 0;
    unsigned read = 0;
};

// The text in a code page, exactly, or nothing when the code page cannot hold it.
[[nodiscard]] std::optional<std::string> encodeIn(std::wstring_view text, unsigned codePage);

// The bytes as a prompt reads them in a code page: a sequence that is not valid gives U+FFFD,
// and the first byte of a double-byte character takes the next byte along whatever it is.
[[nodiscard]] std::wstring decodeIn(std::string_view bytes, unsigned codePage);

// Percent expansion of a batch line, for a script run without arguments: "%%" gives "%",
// "%NAME%" the variable's text or nothing, "%1" nothing, "%~dp0" and the other parts of %0 the
// script's path, an undefined "%NAME:" is dropped and the scan goes on behind it, a lone "%" is
// dropped. Nothing when a malformed "%~" makes cmd stop the script.
[[nodiscard]] std::optional<std::wstring> expandPercents(std::wstring_view line,
                                                         const Prompt& prompt = {});

// The command line that the line's single command receives, its escaping carets removed. Nothing
// when "&", "|", "<" or ">" outside quotes start another command or a redirection, or a final
// caret joins the next line.
[[nodiscard]] std::optional<std::wstring> singleCommand(std::wstring_view expandedLine);

// Delayed expansion of that command line, after the split into commands: when it holds a '!',
// "!NAME!" gives the variable's text, a lone '!' is dropped and a caret escapes the next
// character, between quotes too.
[[nodiscard]] std::wstring expandDelayed(std::wstring_view command, const Prompt& prompt);

// The argument vector that CommandLineToArgvW and the C runtime make of a command line.
[[nodiscard]] std::vector<std::wstring> splitArguments(std::wstring_view commandLine);

// OtherProviders: the arguments are as written, but xperf, which splits its provider list at '+'
// and each entry at ':' and takes names without regard to case, would enable other providers.
enum class Reading { AsMeant, StopsScript, SplitsCommand, OtherArguments, OtherProviders };

struct ScriptReading {
    Reading reading = Reading::AsMeant;
    std::wstring line;             // the first line not read as meant
    bool bareValueEmptied = false; // a bare value's own expansion left nothing of it
    bool optionFromValue = false;  // an argument that starts with a value starts with '-'
};

// Whether every xperf.exe and reg line of the settings' script reaches its program as one command
// with the arguments the settings mean: each value expanded on its own, each argument's bytes
// read back in the prompt's code page, and no argument that starts with a value taken for an
// option. A line whose value alone already stops cmd counts as
// StopsScript; a bare value that expands to nothing is no argument. The script must be writable
// in `pages.written`.
[[nodiscard]] ScriptReading readScript(const TraceSettings& settings, std::wstring_view script,
                                       const Prompt& prompt = {}, CodePages pages = {});

} // namespace corvane::testing
