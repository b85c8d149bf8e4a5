// Which characters a value may hold where the script writes it: the command prompt reads each
// line for its own syntax first, and xperf and reg then split what is left into arguments.
#include "script/script_checks.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace corvane {
namespace {

bool isDigit(wchar_t c) noexcept {
    return c >= L'0' && c <= L'9';
}

// Outside quotes these end the command, pipe or redirect it, or escape the next character.
bool isCommandOperator(wchar_t c) noexcept {
    return c == L'&' || c == L'|' || c == L'<' || c == L'>' || c == L'^';
}

// What the prompt makes of the '%' at a position of a value, and where that reading ends.
enum class PercentReading {
    Literal,        // "%%": one '%'
    Variable,       // "%NAME%": an environment variable's text
    ScriptPath,     // "%~dp0" and the like: the script's own path taken apart, never quoted
    QuotesPossible, // the script's arguments, %CMDCMDLINE%, %PATH% or a variable cut with ':'
    Unpaired,       // no '%' in the value closes it
};

struct PercentReference {
    PercentReading reading;
    std::size_t end;
};

bool equalsIgnoringCase(std::wstring_view text, std::wstring_view upper) noexcept {
    return text.size() == upper.size() &&
           std::equal(text.begin(), text.end(), upper.begin(), [](wchar_t c, wchar_t u) {
               return (c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c) == u;
           });
}

PercentReference readPercent(std::wstring_view text, std::size_t at) noexcept {
    const std::size_t next = at + 1;
    if (next < text.size()) {
        const wchar_t c = text[next];
        if (c == L'%') {
            return {PercentReading::Literal, next + 1};
        }
        if (c == L'*' || isDigit(c)) {
            return {PercentReading::QuotesPossible, next + 1};
        }
        if (c == L'~') {
            // The path operators' modifiers; the argument must be the script itself, %0, whose
            // parts hold no quotes (an argument given to the script may).
            std::size_t end = next + 1;
            while (end < text.size() &&
                   std::wstring_view(L"fdpnxsatz").find(text[end]) != std::wstring_view::npos) {
                ++end;
            }
            const bool scriptPath = end > next + 1 && end < text.size() && text[end] == L'0';
            if (end < text.size() && isDigit(text[end])) {
                return {scriptPath ? PercentReading::ScriptPath : PercentReading::QuotesPossible,
                        end + 1};
            }
            // Anything else after "%~" is no path operator: Windows stops the script there.
            return {PercentReading::QuotesPossible, next + 1};
        }
    }
    const std::size_t closing = text.find(L'%', next);
    if (closing == std::wstring_view::npos) {
        return {PercentReading::Unpaired, closing};
    }
    const std::wstring_view name = text.substr(next, closing - next);
    const bool quotesPossible = name.find(L':') != std::wstring_view::npos ||
                                equalsIgnoringCase(name, L"CMDCMDLINE") ||
                                equalsIgnoringCase(name, L"PATH");
    return {quotesPossible ? PercentReading::QuotesPossible : PercentReading::Variable,
            closing + 1};
}

struct UnsafeCharacter {
    wchar_t character;
    UnsafeValueRule rule;
};

std::optional<UnsafeCharacter> unsafeCharacterIn(std::wstring_view text, ValuePlacement placement) {
    const bool pidList =
        placement == ValuePlacement::HeapTarget && heapTargetForm(text) == HeapTargetForm::Pid;
    const bool bareName = placement == ValuePlacement::BareName;
    for (const wchar_t c : text) {
        if (c == L'"') {
            return UnsafeCharacter{c, UnsafeValueRule::DoubleQuote};
        }
        if ((bareName || pidList) && isCommandOperator(c)) {
            return UnsafeCharacter{c, UnsafeValueRule::BareArgumentOperator};
        }
        if (bareName && (c == L' ' || c == L'\t')) {
            return UnsafeCharacter{c, UnsafeValueRule::BareArgumentBlank};
        }
    }
    // A bare argument that starts with '-' is an option to xperf, not a name or a process id.
    for (std::size_t i = 0; (bareName || pidList) && i < text.size(); ++i) {
        const bool startsArgument = i == 0 || text[i - 1] == L' ' || text[i - 1] == L'\t';
        if (text[i] == L'-' && startsArgument) {
            return UnsafeCharacter{L'-', UnsafeValueRule::BareArgumentOption};
        }
    }
    const bool quoted = !(bareName || pidList);
    bool endsInReference = false;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != L'%') {
            endsInReference = false;
            ++i;
            continue;
        }
        const PercentReference reference = readPercent(text, i);
        switch (reference.reading) {
        case PercentReading::Unpaired:
            return UnsafeCharacter{L'%', UnsafeValueRule::UnpairedPercent};
        case PercentReading::Literal:
            break;
        case PercentReading::Variable:
        case PercentReading::ScriptPath:
            if (!quoted) {
                return UnsafeCharacter{L'%', UnsafeValueRule::BareArgumentReference};
            }
            break;
        case PercentReading::QuotesPossible:
            return UnsafeCharacter{L'%', quoted ? UnsafeValueRule::UnsafeReference
                                                : UnsafeValueRule::BareArgumentReference};
        }
        endsInReference = reference.reading != PercentReading::Literal;
        i = reference.end;
    }
    if (placement == ValuePlacement::Quoted && endsInReference) {
        return UnsafeCharacter{L'%', UnsafeValueRule::TrailingBackslash};
    }
    if (placement == ValuePlacement::Quoted && !text.empty() && text.back() == L'\\') {
        return UnsafeCharacter{L'\\', UnsafeValueRule::TrailingBackslash};
    }
    return std::nullopt;
}

struct OperatorWords {
    wchar_t character;
    const wchar_t* meaning;
};

constexpr OperatorWords kOperatorWords[] = {
    {L'&', L"the start of another command"},
    {L'|', L"a pipe into another command"},
    {L'<', L"a file to read the command's input from"},
    {L'>', L"a file to write the command's output to"},
    {L'^', L"an escape, and drops it"},
};

} // namespace

std::optional<UnsafeValueFinding> findUnsafeValue(const TraceSettings& settings) {
    for (const ScriptTextValue& value : kScriptTextValues) {
        if (const auto found = unsafeCharacterIn(settings.*(value.field), value.placement)) {
            return UnsafeValueFinding{&value, 0, found->character, found->rule};
        }
    }
    for (std::size_t i = 0; i < settings.providers.size(); ++i) {
        if (const auto found = unsafeCharacterIn(settings.providers[i], ValuePlacement::Quoted)) {
            return UnsafeValueFinding{nullptr, i, found->character, found->rule};
        }
    }
    return std::nullopt;
}

std::wstring unsafeValueProblem(const UnsafeValueFinding& finding) {
    switch (finding.rule) {
    case UnsafeValueRule::DoubleQuote:
        return L"holds '\"', which the command prompt and xperf read as the start or end of "
               L"quotes, so the rest of the line would not be read as written";
    case UnsafeValueRule::TrailingBackslash:
        return std::wstring(finding.character == L'%'
                                ? L"ends in a variable, whose text may end in '\\' (%~dp0 always "
                                  L"does), and a '\\'"
                                : L"ends in '\\', which") +
               L" together with the closing quote after it reads as a '\"' inside the value, so "
               L"xperf would take the rest of the line into it";
    case UnsafeValueRule::BareArgumentReference:
        return L"holds a '%' reference, whose text the command prompt puts in before it reads the "
               L"line, and a value written without quotes must not change: the text may hold "
               L"blanks or operators, or be empty; type %% for one %";
    case UnsafeValueRule::UnsafeReference:
        return L"holds a '%' reference whose text may hold quotes: the script's arguments (%1, "
               L"%*), %CMDCMDLINE%, %PATH%, or a variable cut or edited with ':'; plain variables "
               L"such as %TEMP% and the script's folder %~dp0 may stand inside a value";
    case UnsafeValueRule::BareArgumentOption:
        return L"starts with '-', which xperf reads as the start of one of its options";
    case UnsafeValueRule::BareArgumentBlank:
        return std::wstring(L"holds a ") + (finding.character == L'\t' ? L"tab" : L"space") +
               L", which splits it into two arguments for xperf";
    case UnsafeValueRule::UnpairedPercent:
        return L"holds a '%' without a partner, which the command prompt would pair with a '%' "
               L"further along the line; type %% for one %";
    case UnsafeValueRule::BareArgumentOperator:
        break;
    }
    const auto* const words = std::find_if(
        std::begin(kOperatorWords), std::end(kOperatorWords),
        [&](const OperatorWords& entry) { return entry.character == finding.character; });
    const wchar_t* const meaning = words != std::end(kOperatorWords) ? words->meaning : L"syntax";
    return L"holds '" + std::wstring(1, finding.character) +
           L"', which the command prompt reads as " + meaning;
}

} // namespace corvane
