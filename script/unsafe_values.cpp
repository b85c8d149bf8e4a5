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

bool isAsciiLetter(wchar_t c) noexcept {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Outside quotes these end the command, pipe or redirect it, or escape the next character.
bool isCommandOperator(wchar_t c) noexcept {
    return c == L'&' || c == L'|' || c == L'<' || c == L'>' || c == L'^';
}

// Where the prompt's reading of the '%' at `at` ends: after "%%", after a batch argument ("%1",
// "%*", "%~dp0"), or after the '%' that closes a variable name; npos when no '%' in the text
// closes it, so that it would pair with one in a later value or vanish.
std::size_t percentReferenceEnd(std::wstring_view text, std::size_t at) noexcept {
    const std::size_t next = at + 1;
    if (next < text.size()) {
        const wchar_t c = text[next];
        if (c == L'%' || c == L'*' || isDigit(c)) {
            return next + 1;
        }
        if (c == L'~') {
            std::size_t end = next + 1;
            while (end < text.size() && isAsciiLetter(text[end])) {
                ++end;
            }
            if (end < text.size() && isDigit(text[end])) {
                return end + 1;
            }
        }
    }
    const std::size_t closing = text.find(L'%', next);
    return closing == std::wstring_view::npos ? closing : closing + 1;
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
    // The last character that reaches the tools whatever the variables hold.
    wchar_t last = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != L'%') {
            last = text[i++];
            continue;
        }
        const std::size_t end = percentReferenceEnd(text, i);
        if (end == std::wstring_view::npos) {
            return UnsafeCharacter{L'%', UnsafeValueRule::UnpairedPercent};
        }
        last = text[i + 1] == L'%' ? L'%' : last;
        i = end;
    }
    if (placement == ValuePlacement::Quoted && last == L'\\') {
        return UnsafeCharacter{last, UnsafeValueRule::TrailingBackslash};
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
        return L"ends in '\\', which together with the closing quote after it reads as a '\"' "
               L"inside the value, so xperf would take the rest of the line into it";
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
