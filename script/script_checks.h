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

// What would make the command prompt or xperf read a value as something other than data.
enum class UnsafeValueRule {
    DoubleQuote,           // '"' anywhere: it would end the quotes around a value or open some
    TrailingBackslash,     // a quoted value ending in '\': with the closing quote it reads as '\"'
    BareArgumentOperator,  // & | < > ^ in a value written without quotes
    BareArgumentBlank,     // a space or TAB in a bare session name or the file mode
    BareArgumentOption,    // a bare argument that starts with '-', which xperf takes for an option
    UnpairedPercent,       // a '%' that the prompt would pair with one further along the line
    BareArgumentReference, // a '%' reference other than "%%" in a value written without quotes
    UnsafeReference,       // a '%' reference whose text may hold quotes, or may end in '\'
};

struct UnsafeValueFinding {
    const ScriptTextValue* value; // null when it is in a provider name
    std::size_t provider;         // index into the providers, when value is null
    wchar_t character;
    UnsafeValueRule rule;
};

// The first text value, in the dialog's checking order, then the providers, that the script could
// not carry as data. Every value is looked at, also those the script leaves out. "%%" is allowed
// everywhere. Between quotes so are a variable ("%TEMP%") and the script's own path taken apart
// ("%~dp0"), but not at the value's end (they may end in '\'), nor what may hold quotes: the
// script's arguments ("%1", "%*", "%0"), %CMDCMDLINE%, %PATH%, or a variable cut or edited with
// ':' ("%CMDCMDLINE:~0,1%" is a '"'). cmd puts their text in before it looks for quotes and
// operators, so a bare value takes none of them: their text may hold blanks or operators.
[[nodiscard]] std::optional<UnsafeValueFinding> findUnsafeValue(const TraceSettings& settings);

// "holds '&', which ...": what the finding means, for a message.
[[nodiscard]] std::wstring unsafeValueProblem(const UnsafeValueFinding& finding);

// The number of UTF-16 units that `text` takes, on every platform: a character beyond the BMP
// counts twice also where wchar_t holds it in one unit.
[[nodiscard]] std::size_t utf16Length(std::wstring_view text) noexcept;

// The bytes one line of the script takes in the code page it is written in, or nothing when that
// code page cannot hold it (the writer then refuses the script on its own).
using LineByteCount = std::function<std::optional<std::size_t>(std::wstring_view line)>;

enum class LineMeasure { Characters, Bytes };

struct OverlongLine {
    ScriptLine line;
    std::size_t number; // 1-based, as an editor counts
    std::size_t length; // without the CR LF, in UTF-16 units or in bytes as `measure` says
    LineMeasure measure;
};

// The first line longer than the command prompt reads, in the script made from the settings:
// more than 8,191 UTF-16 units, or, when `bytesOf` is given, more than 8,191 bytes in the
// script's code page (the prompt counts bytes, so a multi-byte code page reaches the limit with
// fewer characters).
[[nodiscard]] std::optional<OverlongLine> findOverlongLine(std::wstring_view script,
                                                           const TraceSettings& settings,
                                                           const LineByteCount& bytesOf = {});

// How many of the selected providers, taken in list order, fit on the user session's line,
// counted as findOverlongLine counts.
[[nodiscard]] std::size_t providersThatFit(const TraceSettings& settings,
                                           const LineByteCount& bytesOf = {});

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
// Without `bytesOf` lines are measured in UTF-16 units only.
[[nodiscard]] std::optional<std::wstring> scriptRefusal(const TraceSettings& settings,
                                                        std::wstring_view script,
                                                        const LineByteCount& bytesOf = {});

} // namespace corvane
