// Whether the command prompt will run a capture script as it was written: no value may carry a
// control character that would end a line or the file, no value may be read as command-line
// syntax instead of data, and no line may be longer than the prompt reads. The dialog and
// corvane-script refuse such a script with these findings.
#pragma once

#include "script/capture_script.h"
#include "settings/trace_settings.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// The longest batch line, without its CR LF, that the command prompt reads whole; it cuts a
// longer one without a word.
inline constexpr std::size_t kCommandPromptLineLimit = 8191;

// Where a value stands on its lines, which decides the characters it may hold.
enum class ValuePlacement {
    Quoted,     // between double quotes: the log paths and ETL Out Path
    BareName,   // a single bare argument: the session names and the file mode
    HeapTarget, // bare after -pids in PID form, inside the quoted registry key in name form
};

// A text value of the settings with the dialog's label for it.
struct ScriptTextValue {
    std::wstring TraceSettings::*field;
    const wchar_t* label;
    ValuePlacement placement;
};

// In the order in which the dialog checks its fields, so both programs name the same one first.
inline constexpr ScriptTextValue kScriptTextValues[] = {
    {&TraceSettings::kernelPath, L"Kernel Path", ValuePlacement::Quoted},
    {&TraceSettings::userPath, L"User Path", ValuePlacement::Quoted},
    {&TraceSettings::etlOutPath, L"ETL Out Path", ValuePlacement::Quoted},
    {&TraceSettings::sessionName, L"Session name", ValuePlacement::BareName},
    {&TraceSettings::heapProcess, L"ProcessName or PID", ValuePlacement::HeapTarget},
    {&TraceSettings::heapSessionName, L"Heap Session Name", ValuePlacement::BareName},
    {&TraceSettings::heapPath, L"Heap Path", ValuePlacement::Quoted},
    {&TraceSettings::fileMode, L"File Mode", ValuePlacement::BareName},
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

// A text as the bytes of the code page the script is written in, or nothing when that code page
// cannot hold it (the writer then refuses the script on its own). An empty encoder stands for a
// script that must be ASCII.
using ScriptEncoder = std::function<std::optional<std::string>(std::wstring_view text)>;

// What would make the command prompt or xperf read a value as something other than data.
enum class UnsafeValueRule {
    DoubleQuote,           // '"' anywhere: it would end the quotes around a value or open some
    TrailingBackslash,     // a quoted value ending in '\': with the closing quote it reads as '\"'
    BareArgumentOperator,  // & | < > ^ in a value written without quotes
    BareArgumentBlank,     // a space or TAB in a bare session name or the file mode
    LeadingDash,           // a value, or a bare process id, that starts with '-': an xperf option
    UnpairedPercent,       // a '%' that the prompt would pair with one further along the line
    BareArgumentReference, // a '%' reference other than "%%" in a value written without quotes
    UnsafeReference,       // a '%' reference other than "%%" and the script's path ("%~dp0"):
                           // its text comes from the environment of whatever prompt runs it
    DelayedExpansion,      // '!' anywhere: a prompt with delayed expansion reads !NAME!
    NonAsciiBareValue,     // a character beyond ASCII in a value written without quotes
    CodePageByte,          // a character whose last byte another code page reads as '\' or as
                           // the first of two bytes, before the closing quote or a '%'
    ProviderPlus,          // '+' in a provider name: xperf's separator between providers
    ProviderColon,         // ':' in a provider name: xperf's separator before its keywords
    ProviderCaseTwin,      // a provider name that differs from an earlier one only in case
};

struct UnsafeValueFinding {
    const ScriptTextValue* value; // null when it is in a provider name
    std::size_t provider;         // index into the providers, when value is null
    wchar_t character;
    UnsafeValueRule rule;
    std::string bytes = {}; // CodePageByte: the character's bytes in the script's code page
    std::size_t twin = 0;   // ProviderCaseTwin: the index of the earlier provider
};

// The first text value, in the dialog's checking order, then the providers, that the script could
// not carry as data in every prompt that may run it. Every value is looked at, also those the
// script leaves out. Only "%%" and the script's own path taken apart ("%~dp0", between quotes and
// not at a value's end) may stand of '%': everything else names the environment of whatever
// prompt runs the script, which anyone who can set a variable there controls. `encoder` gives the
// bytes in the script's code page; cmd may read them in another one (chcp).
[[nodiscard]] std::optional<UnsafeValueFinding> findUnsafeValue(const TraceSettings& settings,
                                                                const ScriptEncoder& encoder = {});

// The first of two provider names that differ only in case: ETW matches names without case, so
// both enable the same provider. Nothing when there is none.
struct ProviderCaseTwins {
    std::size_t first;
    std::size_t second;
};
[[nodiscard]] std::optional<ProviderCaseTwins>
findProviderCaseTwins(const std::vector<std::wstring>& names);

// "holds '&', which ...": what the finding means, for a message.
[[nodiscard]] std::wstring unsafeValueProblem(const UnsafeValueFinding& finding);

// The number of UTF-16 units that `text` takes, on every platform: a character beyond the BMP
// counts twice also where wchar_t holds it in one unit.
[[nodiscard]] std::size_t utf16Length(std::wstring_view text) noexcept;

enum class LineMeasure { Characters, Bytes };

struct OverlongLine {
    ScriptLine line;
    std::size_t number; // 1-based, as an editor counts
    std::size_t length; // without the CR LF, in UTF-16 units or in bytes as `measure` says
    LineMeasure measure;
};

// The first line longer than the command prompt reads, in the script made from the settings:
// more than 8,191 UTF-16 units, or, when `encoder` is given, more than 8,191 bytes in the
// script's code page (the prompt counts bytes, so a multi-byte code page reaches the limit with
// fewer characters).
[[nodiscard]] std::optional<OverlongLine> findOverlongLine(std::wstring_view script,
                                                           const TraceSettings& settings,
                                                           const ScriptEncoder& encoder = {});

// How many of the selected providers, taken in list order, fit on the user session's line,
// counted as findOverlongLine counts.
[[nodiscard]] std::size_t providersThatFit(const TraceSettings& settings,
                                           const ScriptEncoder& encoder = {});

// The value that takes the most room on the user session's line when not even one provider fits
// there: the Session name, the User Path, or the first provider.
struct CrowdingValue {
    const ScriptTextValue* value; // null for the first provider
    std::size_t length;           // UTF-16 units
};
[[nodiscard]] CrowdingValue userLineCrowdingValue(const TraceSettings& settings);

// The line in the user's words ("the user session's command line") and what shortens it.
[[nodiscard]] const wchar_t* scriptLineName(ScriptLine line) noexcept;
[[nodiscard]] const wchar_t* scriptLineRemedy(ScriptLine line) noexcept;

// 8921 as "8,921".
[[nodiscard]] std::wstring groupedNumber(std::size_t number);

// The dialog's message when the script would not run as written, or nothing when it would.
// Without `encoder` lines are measured in UTF-16 units only, and values are taken as ASCII.
[[nodiscard]] std::optional<std::wstring> scriptRefusal(const TraceSettings& settings,
                                                        std::wstring_view script,
                                                        const ScriptEncoder& encoder = {});

} // namespace corvane
